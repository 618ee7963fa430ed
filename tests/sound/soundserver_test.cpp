#include <gtest/gtest.h>

#include <QAudioDevice>
#include <QMediaDevices>

#include <cstdlib>

// The test run starts a private sound server whose default sink is the null
// sink "ci_out" and whose default source is "ci_in". Every audio test relies
// on it, so its absence is a failure here, never a skip.
TEST(SoundServer, QtMultimediaSeesTheTestRunsDevices) {
    ASSERT_NE(std::getenv("PULSE_SERVER"), nullptr) << "run the tests through make test (scripts/with-sound-server)";

    const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
    ASSERT_FALSE(outputs.isEmpty()) << "no audio output: the sound server is not reachable";
    const QAudioDevice out = QMediaDevices::defaultAudioOutput();
    ASSERT_FALSE(out.isNull());
    EXPECT_EQ(out.id(), QByteArray("ci_out")) << "default output " << out.description().toStdString();
    EXPECT_TRUE(out.isFormatSupported(out.preferredFormat()));

    const QAudioDevice in = QMediaDevices::defaultAudioInput();
    ASSERT_FALSE(in.isNull()) << "no audio input: the remapped source is missing";
    EXPECT_EQ(in.id(), QByteArray("ci_in"));
}
