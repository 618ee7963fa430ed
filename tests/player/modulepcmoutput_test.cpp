// The program's output before and without the sound output module: nothing
// is loaded until the output is needed, a missing module fails every open as
// a missing device does and says so once, and the volume reaches the device
// on the curve it always took.

#include <gtest/gtest.h>

#include "components/audio/audioblock.h"
#include "components/player/modulepcmoutput.h"
#include "components/player/qtpcmoutput.h"
#include "playerharness.h"

#include <QAudio>
#include <QStringList>
#include <QTest>

namespace {

TEST(ModulePcmOutput, AMissingModuleIsLoadedOnlyWhenNeededAndFailsEveryOpenSayingWhyOnce) {
    QStringList logged;
    SoundOutModule::setErrorLog([&](const QString& message, const QString&) { logged << message; });
    SoundOutModule missing("/nonexistent/tunevale/libtunevale_soundout.so");
    {
        ModulePcmOutput output(missing);
        EXPECT_TRUE(missing.problem().isEmpty()) << "loaded while the window is still being built";
        QTest::qWait(QtPcmOutput::kHoldAfterMs + 100);
        EXPECT_TRUE(missing.problem().startsWith("Cannot load /nonexistent/tunevale/libtunevale_soundout.so: "))
            << missing.problem().toStdString();

        output.setVolume(0.5);
        EXPECT_EQ(output.open(44100, 2), AudioErrorNoDevice);
        EXPECT_FALSE(output.isOpen());
        EXPECT_EQ(output.bytesFree(), 0);
        EXPECT_EQ(output.write("abcd", 4), 0);
        EXPECT_EQ(output.playedFrames(), 0);
        output.finish();
        output.close();
    }
    ModulePcmOutput another(missing);
    EXPECT_EQ(another.open(22050, 1), AudioErrorNoDevice);
    ASSERT_EQ(logged.size(), 1);
    EXPECT_TRUE(logged[0].contains(missing.problem())) << logged[0].toStdString();
    SoundOutModule::setErrorLog({});
}

TEST(ModulePcmOutput, ThePlayerGivesTheDeviceTheGainQtsVolumeCurveGives) {
    Harness h;
    for (int volume = 0; volume <= 65535; volume += 1111) {
        h.player->setVolume(volume);
        const float position = static_cast<float>(volume) / 65535.0f;
        EXPECT_FLOAT_EQ(static_cast<float>(h.output->gain()),
                        QAudio::convertVolume(position, QAudio::LogarithmicVolumeScale, QAudio::LinearVolumeScale))
            << volume;
    }
}

}  // namespace
