// A recording driven without its window: on a null input and a virtual
// clock, the session pauses, ends by itself at its time limit or when the
// input breaks off, keeps what it wrote, and refuses without a file.

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>

#include <memory>

#include "components/player/virtualclock.h"
#include "components/recorder/linerecorder.h"
#include "components/recorder/nullpcminput.h"
#include "jobs/recordingsession.h"
#include "jobs/tooljob.h"
#include "testenv.h"

#include "../audio/audiotestutil.h"

namespace {

class Answers : public JobHandler {
public:
    bool answer = false;
    QStringList titles, texts;
    bool askYesNo(const QString& title, const QString& text) override {
        titles << title;
        texts << text;
        return answer;
    }
    void tell(const QString& title, const QString& text) override {
        titles << title;
        texts << text;
    }
};

class RecordingSessionTest : public testing::Test {
protected:
    void SetUp() override {
        LineRecorder::setInputFactory([this] {
            auto in = std::make_unique<NullPcmInput>(&clock);
            input = in.get();
            return in;
        });
        recorder = std::make_unique<LineRecorder>();
        session = std::make_unique<RecordingSession>(*recorder, answers);
        settings.format = 0;  // WAV, 44100 Hz stereo
        settings.silence = false;
    }
    void TearDown() override {
        session.reset();
        recorder.reset();
        LineRecorder::setInputFactory({});
    }

    VirtualClock clock{10};
    NullPcmInput* input = nullptr;
    Answers answers;
    std::unique_ptr<LineRecorder> recorder;
    std::unique_ptr<RecordingSession> session;
    RecorderSettings settings;
    std::string dir = testenv::makeTempDir("session");
};

TEST_F(RecordingSessionTest, PausesLeaveNoGapAndTheTimeLimitEndsItOnce) {
    settings.timeLimit = true;
    settings.minute = 0;
    settings.second = 3;
    QSignalSpy ended(session.get(), &RecordingSession::ended);
    QSignalSpy elapsed(session.get(), &RecordingSession::elapsed);
    ASSERT_TRUE(session->start(settings, QString::fromStdString(dir + "/takes"), "take"));
    const QString file = session->recordedFile();
    EXPECT_EQ(file.toStdString(), dir + "/takes/take.wav");
    clock.advance(1000);
    EXPECT_TRUE(QFile::exists(file + ".part"));
    session->pause();
    clock.advance(5000);  // paused: neither recorded nor counted
    EXPECT_TRUE(session->isPaused());
    EXPECT_EQ(ended.count(), 0);
    session->resume();
    clock.advance(4000);
    EXPECT_FALSE(session->isActive());
    ASSERT_EQ(ended.count(), 1);
    EXPECT_FALSE(ended[0][0].toBool());
    EXPECT_GT(elapsed.constLast()[0].toLongLong(), 3000);
    session->stop();  // nothing left to end
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(answers.texts.isEmpty());

    EXPECT_FALSE(QFile::exists(file + ".part"));
    const audiotest::Decoded d = audiotest::decode(file.toStdString());
    ASSERT_TRUE(d.ok);
    EXPECT_GE(d.frames(), 44100 * 3);
    EXPECT_LT(d.frames(), 44100 * 4);
}

TEST_F(RecordingSessionTest, AnInputThatBreaksOffEndsTheRecordingAndKeepsIt) {
    QSignalSpy ended(session.get(), &RecordingSession::ended);
    ASSERT_TRUE(session->start(settings, QString::fromStdString(dir), "broken"));
    clock.advance(1500);
    input->breakOff();
    clock.advance(1000);
    EXPECT_FALSE(session->isActive());
    EXPECT_EQ(ended.count(), 1);
    EXPECT_GE(audiotest::decode(session->recordedFile().toStdString()).frames(), 44100);
}

// Each refusal says why once and leaves no recording and no file behind.
TEST_F(RecordingSessionTest, RefusedStartsTellWhyAndMakeNothing) {
    QSignalSpy ended(session.get(), &RecordingSession::ended);
    testenv::writeFile(dir + "/kept.wav", "older");
    answers.answer = false;
    EXPECT_FALSE(session->start(settings, QString::fromStdString(dir), "kept"));
    EXPECT_EQ(answers.titles, QStringList{"Confirmation"});
    EXPECT_EQ(testenv::readFile(dir + "/kept.wav"), "older");

    answers.titles.clear();
    input->setOpenError(1);
    EXPECT_FALSE(session->start(settings, QString::fromStdString(dir), "noopen"));
    EXPECT_EQ(answers.titles, QStringList{"Error"});
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir + "/noopen.wav")));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir + "/noopen.wav.part")));

    answers.titles.clear();
    input->setSources({}, "");
    EXPECT_FALSE(session->start(settings, QString::fromStdString(dir), "none"));
    EXPECT_EQ(answers.titles, QStringList{"Error"});
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir + "/none.wav")));
    EXPECT_FALSE(session->isActive());
    EXPECT_EQ(ended.count(), 0);
}

}  // namespace
