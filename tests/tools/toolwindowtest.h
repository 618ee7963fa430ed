#pragma once
// What the tool window tests start from: a fresh settings file, a folder
// of the test's own, the desktop seams answered by fakes, and tones to
// point the windows at.

#include <gtest/gtest.h>

#include <QTableWidget>

#include <filesystem>

#include "audiotestutil.h"
#include "conversiontestutil.h"
#include "platform/fakes.h"
#include "platform/paths.h"
#include "testenv.h"

class ToolWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove(SettingsFilePath());
        dir = testenv::makeTempDir("w");
    }
    // A 440 Hz stereo tone in the format the name's extension names.
    QString tone(const std::string& name, double seconds = 2.0) {
        audiotest::encode(dir + "/" + name, audiotest::sine(44100, 2, seconds, {440}));
        return Q(dir + "/" + name);
    }
    static QStringList column(QTableWidget* list, int c) {
        QStringList texts;
        for (int row = 0; row < list->rowCount(); ++row) texts << list->item(row, c)->text();
        return texts;
    }

    std::string dir;
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    FakeLauncher launcher;
    FakeWindowPresenter presenter;
};
