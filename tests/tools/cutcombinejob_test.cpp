// The cut and combine jobs on generated audio: what lands in the output,
// how they end, and what they leave behind when stopped or when a source
// or the disk fails (the disk also for a conversion batch).

#include <gtest/gtest.h>

#include <QDir>

#include <iostream>

#include "audiotestutil.h"
#include "conversiontestutil.h"
#include "testenv.h"
#include "tools/combinejob.h"
#include "tools/cutjob.h"

#include <QFile>

#include <csignal>
#include <filesystem>

#include "components/audio/audiofile.h"
#include "tags/mpeg/id3v2.h"

using namespace audiotest;

namespace {

// Ten seconds whose every second has its own tone (300, 400, ... Hz), so a
// misplaced range shows in what it contains.
AudioBlock Steps(int rate, int channels, int seconds = 10, int extraFrames = 0) {
    AudioBlock all;
    for (int s = 0; s < seconds; ++s) {
        AudioBlock one = sine(rate, channels, 1.0, {300.0 + 100 * s});
        all.samples.insert(all.samples.end(), one.samples.begin(), one.samples.end());
    }
    all.samples.resize(all.samples.size() + static_cast<size_t>(extraFrames * channels), 0);
    return all;
}

const std::vector<double> kStepTones = {300, 400, 500, 600, 700, 800, 900, 1000, 1100, 1200};

QStringList Entries(const std::string& dir) {
    return QDir(Q(dir)).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

CutSettings Cut(const std::string& source, int start, int end, const std::string& folder) {
    return {Q(source), start, end, Q(folder)};
}

// ------------------------------------------------------------------- cut

struct CutFormat {
    const char* name;
    const char* ext;
    int channels, extraFrames;  // frames beyond the ten seconds
    int64_t frames;             // exactly, when the format is not coded
    int64_t lengthTolerance;    // frames after decoding
};

class CutRange : public ::testing::TestWithParam<CutFormat> {};

// Bars at 250 and 750 of a 10-second file: 2.5 s to 7.5 s, in the source's
// format. WAV comes out sample for sample, also from a length of no whole
// seconds (the rest is measured in samples, as blocks are); the coded
// formats hold the same audio at the same place, within one coded frame.
TEST_P(CutRange, WritesTheRangeInTheSourcesFormat) {
    const CutFormat f = GetParam();
    const std::string dir = testenv::makeTempDir(f.name);
    const std::string source = dir + "/song." + f.ext;
    encode(source, Steps(44100, f.channels, 10, f.extraFrames), 44100, f.channels);
    const Decoded whole = decode(source);

    ScriptedHandler answers;
    CutJob job(Cut(source, 250, 750, dir + "/out"), &answers, &answers);
    ASSERT_TRUE(RunToolJob(job));
    EXPECT_TRUE(answers.texts.isEmpty()) << answers.texts.join("|").toStdString();
    const std::string out = dir + "/out/cutsong." + f.ext;
    ASSERT_EQ(CutOutputPath(Q(dir + "/out"), Q(source)).toStdString(), out);

    const Decoded cut = decode(out);
    ASSERT_TRUE(cut.ok);
    EXPECT_EQ(cut.rate, 44100);
    EXPECT_EQ(cut.channels, f.channels);
    const int64_t start = CutFrameAt(250, whole.length), end = CutFrameAt(750, whole.length);
    EXPECT_NEAR(cut.frames(), end - start, f.lengthTolerance);
    if (f.lengthTolerance == 0) {
        ASSERT_EQ(cut.frames(), end - start);
        EXPECT_EQ(cut.frames(), f.frames);
        const auto from = whole.samples.begin() + start * f.channels;
        EXPECT_TRUE(std::equal(cut.samples.begin(), cut.samples.end(), from));
    }
    // 2.5 s in: the rest of second 2, then seconds 3 to 7.
    const int ch = f.channels;
    EXPECT_EQ(dominantFrequency(cut.samples, ch, 0, 44100, 4410, 13230, kStepTones), 500);
    EXPECT_EQ(dominantFrequency(cut.samples, ch, ch - 1, 44100, 22050 + 4410, 35280, kStepTones), 600);
    EXPECT_EQ(dominantFrequency(cut.samples, ch, 0, 44100, 4 * 44100 + 26460, 13230, kStepTones), 1000);
}

INSTANTIATE_TEST_SUITE_P(Formats, CutRange,
                         ::testing::Values(CutFormat{"wav", "wav", 2, 0, 220500, 0},
                                           CutFormat{"wavOddStereo", "wav", 2, 1, 220501, 0},
                                           CutFormat{"wavOddMono", "wav", 1, 1, 220501, 0},
                                           CutFormat{"mp3", "mp3", 2, 0, 0, 1152},
                                           CutFormat{"ogg", "ogg", 2, 0, 0, 1152},
                                           CutFormat{"wma", "wma", 2, 0, 0, 2048}),
                         [](const auto& info) { return std::string(info.param.name); });

// Equal bars give an empty file that plays; an end before the start says so
// and writes nothing; a refused overwrite keeps the old file.
TEST(CutJob, EmptyRangesReversedRangesAndRefusedOverwrites) {
    const std::string dir = testenv::makeTempDir("ranges");
    const std::string source = dir + "/s.wav";
    encode(source, sine(22050, 1, 2.0, {440}), 22050, 1);
    struct Row {
        int start, end;
        int overwrite;  // -1: no old file, else the answer
        bool endStep;
        const char* text;
        int64_t frames;  // -1: no new file
    };
    const Row rows[] = {
        {400, 400, -1, true, nullptr, 0},
        {600, 300, -1, false, "The start-time must be smaller than end-time", -1},
        {0, 500, 0, false, " already exists.Overwrite?", -1},
        {0, 500, 1, true, " already exists.Overwrite?", 22050},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.start * 10000 + r.end);
        const std::string out = dir + "/out" + std::to_string(&r - rows);
        if (r.overwrite >= 0) {
            QDir().mkpath(Q(out));
            testenv::writeFile(out + "/cuts.wav", "old take");
        }
        ScriptedHandler answers;
        answers.answer = [&](const QString&) { return r.overwrite == 1; };
        CutJob job(Cut(source, r.start, r.end, out), &answers, &answers);
        EXPECT_EQ(RunToolJob(job, false), r.endStep);
        if (r.text) {
            ASSERT_EQ(answers.texts.size(), 1);
            EXPECT_TRUE(answers.texts[0].endsWith(QLatin1String(r.text))) << answers.texts[0].toStdString();
        } else {
            EXPECT_TRUE(answers.texts.isEmpty());
        }
        if (r.frames < 0) {
            if (r.overwrite < 0) EXPECT_FALSE(QFileInfo::exists(Q(out + "/cuts.wav")));
            else EXPECT_EQ(testenv::readFile(out + "/cuts.wav"), "old take");
        } else {
            const Decoded d = decode(out + "/cuts.wav");
            ASSERT_TRUE(d.ok);
            EXPECT_EQ(d.frames(), r.frames);
        }
    }
}

// ------------------------------------------------------------------- combine

CombineSettings Combine(const QStringList& sources, const std::string& folder, const QString& name,
                        CombineFormat format) {
    CombineSettings s;
    s.sources = sources;
    s.outputFolder = Q(folder);
    s.fileName = name;
    s.format = format;
    return s;
}

struct JoinCase {
    CombineFormat format;
    const char* ext;
    int64_t lengthTolerance;
};

class CombineJoin : public ::testing::TestWithParam<JoinCase> {};

// 3 s of 44.1 kHz stereo at 1 kHz, then 2 s of 22.05 kHz mono at 2 kHz: one
// 44.1 kHz stereo file of 5 s, the tones in their places, and at the join
// neither a gap (a short window gone quiet) nor a click (a step no sine of
// these makes).
TEST_P(CombineJoin, JoinsSourcesOfOtherRatesAndChannelsWithoutAGapOrClick) {
    const JoinCase c = GetParam();
    const std::string dir = testenv::makeTempDir(c.ext);
    encode(dir + "/a.wav", sine(44100, 2, 3.0, {1000}), 44100, 2);
    encode(dir + "/b.ogg", sine(22050, 1, 2.0, {2000}), 22050, 1);
    ScriptedHandler answers;
    const QStringList sources = {Q(dir + "/a.wav"), Q(dir + "/b.ogg")};
    CombineJob job(Combine(sources, dir, "joined", c.format), &answers, &answers);
    int lastTotal = -1;
    QObject::connect(&job, &ToolJob::percent, [&](int p) { lastTotal = p; });
    ASSERT_TRUE(RunToolJob(job, false));
    EXPECT_TRUE(answers.texts.isEmpty()) << answers.texts.join("|").toStdString();
    EXPECT_EQ(lastTotal, 100);

    const Decoded d = decode(dir + "/joined" + c.ext);
    ASSERT_TRUE(d.ok);
    ASSERT_EQ(d.rate, 44100);
    ASSERT_EQ(d.channels, 2);
    EXPECT_NEAR(d.frames(), 5 * 44100, c.lengthTolerance);
    EXPECT_EQ(dominantFrequency(d.samples, 2, 0, 44100, 44100, 44100, {1000, 2000}), 1000);
    EXPECT_EQ(dominantFrequency(d.samples, 2, 1, 44100, 3 * 44100 + 22050, 44100, {1000, 2000}), 2000);
    const double level = 0.5 / std::sqrt(2.0);
    const int64_t join = 3 * 44100;
    for (int64_t at = join - 2205; at < join + 2205; at += 110) {
        EXPECT_GT(rms(d.samples, 2, 0, at, at + 220), level * 0.6) << "gap at frame " << at;
        EXPECT_GT(rms(d.samples, 2, 1, at, at + 220), level * 0.6) << "gap at frame " << at;
    }
    // The steepest step a 2 kHz sine of this level takes at 44.1 kHz, with room.
    const int steepest = static_cast<int>(0.5 * 32767 * 2 * M_PI * 2000 / 44100 * 1.3);
    for (int64_t f = join - 2205; f < join + 2205; ++f)
        for (int ch = 0; ch < 2; ++ch)
            ASSERT_LT(std::abs(d.samples[static_cast<size_t>((f + 1) * 2 + ch)] - d.samples[static_cast<size_t>(f * 2 + ch)]),
                      steepest)
                << "click at frame " << f;
}

INSTANTIATE_TEST_SUITE_P(Formats, CombineJoin,
                         ::testing::Values(JoinCase{CombineFormat::Wav, ".wav", 32},
                                           JoinCase{CombineFormat::Mp3, ".mp3", 1152}),
                         [](const auto& info) { return std::string(info.param.ext + 1); });

TEST(CombineJob, TheOutputIsNamedFromTheCleanedNameOrNewcombine) {
    const struct {
        const char* typed;
        const char* name;
    } rows[] = {{"", "Newcombine"}, {"*?:", "Newcombine"}, {"a*b?c:d|e\"f/g\\h<i>j", "abcdefghij"},
                {"Best of", "Best of"}};
    for (const auto& r : rows) EXPECT_EQ(CombineOutputName(QString::fromUtf8(r.typed)), QString::fromUtf8(r.name));
    CombineJob job(Combine({}, "/music", "x/y", CombineFormat::Ogg), nullptr, nullptr);
    EXPECT_EQ(job.outputPath(), "/music/xy.ogg");
}

// An output that is one of the sources: the old file is read whole before
// the joined one replaces it, and a stopped job leaves it as it was.
TEST(CombineJob, AnOutputThatIsOneOfTheSourcesReplacesItOnlyWhenComplete) {
    for (bool stop : {false, true}) {
        SCOPED_TRACE(stop);
        const std::string dir = testenv::makeTempDir("self");
        encode(dir + "/a.wav", sine(44100, 2, 3.0, {1000}), 44100, 2);
        encode(dir + "/b.wav", sine(44100, 2, 2.0, {2000}), 44100, 2);
        const std::string before = testenv::readFile(dir + "/a.wav");
        ScriptedHandler answers;
        CombineJob job(Combine({Q(dir + "/a.wav"), Q(dir + "/b.wav")}, dir, "a", CombineFormat::Wav),
                       &answers, &answers);
        if (stop)
            QObject::connect(&job, &ToolJob::percent, [&](int p) {
                if (p >= 50) job.stop();
            });
        EXPECT_TRUE(RunToolJob(job, false));
        ASSERT_EQ(answers.texts.size(), 1);
        EXPECT_EQ(answers.texts[0].toStdString(), dir + "/a.wav aleardy exists. Overwrite?");
        if (stop) {
            EXPECT_EQ(testenv::readFile(dir + "/a.wav"), before);
        } else {
            EXPECT_EQ(decode(dir + "/a.wav").frames(), 5 * 44100);
        }
        EXPECT_EQ(Entries(dir), QStringList({"a.wav", "b.wav"}));
    }
}

// A stop mid-job, a source that is missing or no audio at all, and a list
// that fails half way: each is reported and leaves no output at all.
TEST(CombineJob, AStoppedOrFailedJobLeavesNoOutput) {
    const std::string dir = testenv::makeTempDir("fail");
    encode(dir + "/a.wav", sine(44100, 2, 4.0, {1000}), 44100, 2);
    testenv::writeFile(dir + "/text.wav", "not audio at all");
    const QString a = Q(dir + "/a.wav");
    struct Row {
        QStringList sources;
        bool stop;
        QString text;
    };
    const Row rows[] = {
        {{a, a}, true, {}},
        {{a, Q(dir + "/gone.wav")}, false, Q(dir + "/gone.wav has been removed!")},
        {{a, Q(dir + "/text.wav")}, false, "text.wav is an invalid audio file!"},
    };
    for (const Row& r : rows) {
        ScriptedHandler answers;
        CombineJob job(Combine(r.sources, dir + "/out", "joined", CombineFormat::Mp3), &answers, &answers);
        if (r.stop)
            QObject::connect(&job, &ToolJob::subPercent, [&](int p) {
                if (p > 0) job.stop();
            });
        EXPECT_TRUE(RunToolJob(job, false));
        EXPECT_EQ(answers.texts, r.text.isEmpty() ? QStringList() : QStringList{r.text});
        EXPECT_TRUE(Entries(dir + "/out").isEmpty()) << Entries(dir + "/out").join(",").toStdString();
    }
    // A stopped cut leaves nothing either.
    ScriptedHandler answers;
    CutJob cut(Cut(dir + "/a.wav", 0, 1000, dir + "/cutout"), &answers, &answers);
    QObject::connect(&cut, &ToolJob::percent, [&](int p) {
        if (p > 0) cut.stop();
    });
    EXPECT_TRUE(RunToolJob(cut, false));
    EXPECT_TRUE(Entries(dir + "/cutout").isEmpty());
}

// An output folder whose parents are missing too, as a default one under a
// fresh home may be, is made with them.
TEST(ToolJobs, CutAndCombineMakeTheOutputFolderWithItsParents) {
    const std::string dir = testenv::makeTempDir("deep");
    encode(dir + "/a.wav", sine(44100, 2, 1.0, {1000}), 44100, 2);
    ScriptedHandler answers;
    CutJob cut(Cut(dir + "/a.wav", 0, 1000, dir + "/cut/new/deeper"), &answers, &answers);
    EXPECT_TRUE(RunToolJob(cut, false));
    CombineJob join(Combine({Q(dir + "/a.wav"), Q(dir + "/a.wav")}, dir + "/join/new/deeper", "joined",
                            CombineFormat::Wav),
                    &answers, &answers);
    EXPECT_TRUE(RunToolJob(join, false));
    EXPECT_TRUE(answers.texts.isEmpty()) << answers.texts.join("|").toStdString();
    EXPECT_EQ(Entries(dir + "/cut/new/deeper"), QStringList{"cuta.wav"});
    EXPECT_EQ(Entries(dir + "/join/new/deeper"), QStringList{"joined.wav"});
}

// A disk that fills up (a file size limit in a child process): the cut,
// the combine and a conversion batch report the write error instead of
// finishing and leave no output; No to the batch's question ends the batch.
TEST(ToolJobs, AFullDiskIsReportedAndLeavesNoOutput) {
    const std::string dir = testenv::makeTempDir("full");
    encode(dir + "/a.wav", Steps(44100, 2), 44100, 2);
    const QString a = Q(dir + "/a.wav");
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        const std::string out = dir + "/out" + std::to_string(row);
        QDir().mkpath(Q(out));
        const QStringList expected =
            row < 2 ? QStringList{"File write error!"}
                    : QStringList{"0 Converting", "0 failed", "File write error! Continue?"};
        const int status = testenv::inChild(
            [&] {
                ScriptedHandler h;
                h.answer = [](const QString&) { return false; };
                ConversionSettings toWav;
                toWav.target = TargetFormat::Wav;
                toWav.outputFolder = Q(out);
                CutJob cut(Cut(dir + "/a.wav", 0, 1000, out), &h, &h);
                CombineJob combine(Combine({a, a}, out, "x", CombineFormat::Wav), &h, &h);
                ConversionJob batch(toWav, {a, a}, &h, &h);
                QObject::connect(&batch, &ToolJob::itemState, [&](int r, const QString& state) {
                    h.texts << QString::number(r) + " " + state;
                });
                ToolJob* jobs[] = {&cut, &combine, &batch};
                const bool ended = RunToolJob(*jobs[row], false);
                if (h.texts != expected) std::cerr << h.texts.join(" | ").toStdString() << "\n";
                return ended && h.texts == expected ? 0 : 1;
            },
            256 * 1024);
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(Entries(out).isEmpty()) << Entries(out).join(",").toStdString();
    }
}

// ------------------------------------------------------------------- bad names and links

namespace fs = std::filesystem;

// A link at the output's name, to a file elsewhere or to nothing, is asked
// about by name like a file, and Yes replaces the link, never what it names.
TEST(ToolJobs, ALinkAtTheOutputsNameIsAskedAboutAndReplaced) {
    const std::string dir = testenv::makeTempDir("links");
    const std::string elsewhere = testenv::makeTempDir("elsewhere");
    encode(dir + "/a.wav", sine(44100, 2, 2.0, {1000}), 44100, 2);
    testenv::writeFile(elsewhere + "/outside.wav", "not ours");
    for (const bool dangling : {false, true}) {
        for (const bool cut : {true, false}) {
            SCOPED_TRACE(std::string(cut ? "cut" : "combine") + (dangling ? " dangling" : " to a file"));
            const std::string out = testenv::makeTempDir("out");
            const std::string name = out + (cut ? "/cuta.wav" : "/joined.wav");
            fs::create_symlink(elsewhere + (dangling ? "/nothing.wav" : "/outside.wav"), name);
            ScriptedHandler answers;
            CutJob cutJob(Cut(dir + "/a.wav", 0, 1000, out), &answers, &answers);
            CombineJob combineJob(Combine({Q(dir + "/a.wav")}, out, "joined", CombineFormat::Wav), &answers, &answers);
            EXPECT_TRUE(RunToolJob(cut ? static_cast<ToolJob&>(cutJob) : combineJob, false));
            ASSERT_EQ(answers.texts.size(), 1);
            EXPECT_TRUE(answers.texts[0].startsWith(Q(name) + (cut ? " already exists" : " aleardy exists")));
            EXPECT_FALSE(fs::is_symlink(name));
            EXPECT_EQ(decode(name).frames(), 2 * 44100);
        }
    }
    EXPECT_EQ(testenv::readFile(elsewhere + "/outside.wav"), "not ours");
    EXPECT_FALSE(fs::exists(elsewhere + "/nothing.wav"));
}

// A source whose name is not valid UTF-8 reaches the cut as Qt decodes it:
// it is cut all the same.
TEST(CutJob, ASourceNamedInBytesThatAreNotUtf8IsCut) {
    const std::string dir = testenv::makeTempDir("bytes");
    const QByteArray raw = QFile::encodeName(Q(dir)) + "/caf\xe9.wav";
    encode(raw.toStdString(), sine(44100, 2, 2.0, {1000}), 44100, 2);
    ScriptedHandler answers;
    CutJob job({QFile::decodeName(raw), 0, 500, Q(dir + "/out")}, &answers, &answers);
    EXPECT_TRUE(RunToolJob(job, false));
    EXPECT_TRUE(answers.texts.isEmpty()) << answers.texts.join("|").toStdString();
    EXPECT_EQ(decode(dir + "/out/cutcaf\xef\xbf\xbd.wav").frames(), 44100);
}

// A WMA recording kept after a full disk holds a header that counts what
// it holds, so a cut of it holds the audio; a source that reads as holding
// nothing is an error, not an empty output reported as done.
TEST(CutJob, AWmaKeptAfterAFullDiskIsCutAndAnEmptySourceIsAnError) {
    const std::string dir = testenv::makeTempDir("keptwma");
    const std::string kept = dir + "/take.wma";
    const int status = testenv::inChild(
        [&] {
            AudioFile w;
            w.setKeepIncomplete(true);
            if (!w.create(kept)) return 10;
            w.setInputFormat(44100, 2);
            const AudioBlock second = Steps(44100, 2, 1);
            for (int i = 0; i < 200 && w.getError() == 0; ++i) w.writeBlock(second);
            w.close();
            return w.getError() == 0 ? 11 : 0;
        },
        200 * 1024);
    ASSERT_EQ(status, 0);
    const Decoded all = decode(kept);
    ASSERT_GT(all.frames(), 5 * 44100);
    EXPECT_NEAR(all.length, all.frames(), 0.5 * 44100);

    ScriptedHandler answers;
    CutJob job(Cut(kept, 0, 1000, dir + "/out"), &answers, &answers);
    EXPECT_TRUE(RunToolJob(job, false));
    EXPECT_TRUE(answers.texts.isEmpty()) << answers.texts.join("|").toStdString();
    EXPECT_NEAR(decode(dir + "/out/cuttake.wma").frames(), all.frames(), 0.5 * 44100);

    // A header that counts no audio at all.
    encode(dir + "/empty.wav", AudioBlock{}, 44100, 2);
    ScriptedHandler told;
    CutJob empty(Cut(dir + "/empty.wav", 0, 1000, dir + "/out2"), &told, &told);
    EXPECT_FALSE(RunToolJob(empty, false));
    EXPECT_EQ(told.told, QStringList({"Error|File read error: " + Q(dir) + "/empty.wav"}));
    EXPECT_FALSE(fs::exists(dir + "/out2/cutempty.wav"));
}

// Combining into one of its own inputs keeps that input's tags, picture
// and all.
TEST(CombineJob, AnOutputThatReplacesAnInputKeepsItsTags) {
    const std::string dir = testenv::makeTempDir("selftags");
    MakeTone(dir + "/a.mp3", 2.0);
    MakeTone(dir + "/b.mp3", 1.0);
    tags::Id3v2Tag tag;
    ASSERT_TRUE(tags::ReadId3v2Frames(dir + "/a.mp3", tag));
    const tags::ByteVector picture(200 * 1024, 0x5a);
    tag.frames().push_back({"APIC", 0, picture});
    ASSERT_TRUE(tags::WriteId3v2Frames(dir + "/a.mp3", tag).ok);
    ScriptedHandler answers;
    CombineJob job(Combine({Q(dir + "/a.mp3"), Q(dir + "/b.mp3")}, dir, "a", CombineFormat::Mp3), &answers,
                   &answers);
    EXPECT_TRUE(RunToolJob(job, false));
    EXPECT_EQ(answers.texts, QStringList({Q(dir) + "/a.mp3 aleardy exists. Overwrite?"}));
    tags::Id3v2Tag after;
    ASSERT_TRUE(tags::ReadId3v2Frames(dir + "/a.mp3", after));
    EXPECT_EQ(after.text("TIT2"), "Tone");
    EXPECT_TRUE(std::any_of(after.frames().begin(), after.frames().end(),
                            [&](const tags::Id3v2Frame& f) { return f.id == "APIC" && f.data == picture; }));
    EXPECT_NEAR(decode(dir + "/a.mp3").frames(), 3 * 44100, 0.1 * 44100);
}

}  // namespace
