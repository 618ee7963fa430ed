// The main window's skin elements: the click dispatch, the skin switch and
// its look, the playlist window beside the list, and the mini window.

#include <gtest/gtest.h>

#include <QTableView>

#include <filesystem>

#include "../playlistwindow/wavfiles.h"
#include "components/skin/skinobject.h"
#include "library/mmain.h"
#include "library/playlist.h"
#include "mainwindowfixture.h"
#include "platform/inifile.h"
#include "skin/menu.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 8000;

class SkinElements : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        fm_playlist = new Tfm_playlist;
        fm_mmain = new Tfm_mmain;
    }
    void TearDown() override {
        MainWindow::TearDown();
        delete fm_mmain;
        fm_mmain = nullptr;
        delete fm_playlist;
        fm_playlist = nullptr;
    }

    // Two tracks of an artist, three seconds each, listed under "All Title".
    void startWithTracks() {
        const std::string dir = testenv::makeTempDir("skin");
        std::vector<TrackRecord> records;
        for (const char* name : {"first", "second"}) {
            records.push_back(mwtest::rec(name, "Kestrel", "Sky"));
            files_.push_back(records.back().Path = dir + "/" + name + ".wav");
            WriteWav(files_.back(), kRate * 3, kRate, 1);
        }
        writeLibrary(records);
        start();
        tree()->setContent({{"Kestrel"}, {}, {"Sky"}});
        click(tree()->allTitleNode());
    }

    // A click on an element, as the engine reports it.
    void press(QWidget* window, const char* name) {
        SkinObject* e = window_->Skin->findSkinObject(window, QString::fromLatin1(name));
        ASSERT_TRUE(e) << name;
        emit window_->Skin->onClick(e);
    }

    QString fileNameText() const { return window_->SkinFileNameText->getText(); }

    std::vector<std::string> files_;
};

TEST_F(SkinElements, ClicksGoByTheExactNameAndPlayTheList) {
    startWithTracks();
    skin::ElementDef lower;
    lower.name = QStringLiteral("min");
    lower.type = skin::ElementType::Button;
    SkinButton stray(window_->Skin, window_, lower);
    emit window_->Skin->onClick(&stray);
    EXPECT_FALSE(window_->MiniMode) << "\"min\" is not \"Min\"";

    press(window_, "Boxplay");
    EXPECT_EQ(std::pair(window_->IsPlaying, window_->CurrentFile), std::pair(true, files_[0]))
        << "with no row selected the first plays";
    EXPECT_EQ(window_->PlayCategory, "Title");
    EXPECT_EQ(mwtest::slurp(window_->PlayQueueFile()).size(), 2 * 121u);
    press(window_, "Boxpause");
    EXPECT_TRUE(window_->IsPaused);
    press(window_, "Boxpause");
    EXPECT_FALSE(window_->IsPaused);
    press(window_, "Boxnext");
    EXPECT_EQ(window_->CurrentFile, files_[1]);
    press(window_, "Boxprevious");
    EXPECT_EQ(window_->CurrentFile, files_[0]);
    window_->SelectRows({1});
    press(window_, "Boxplay");
    EXPECT_EQ(window_->CurrentFile, files_[1]) << "while playing, the selected row starts afresh";
    press(window_, "Boxstop");
    EXPECT_FALSE(window_->IsPlaying);

    window_->SelectRows({});
    press(window_, "BoxID3");
    EXPECT_EQ(boxes_.texts(), QStringList{"Please selete the file you want to edit."});
    EXPECT_EQ(boxes_.titles(), QStringList{"mtInformation"});
}

TEST_F(SkinElements, SkinSwitchWritesTheSettingRedressesAndKeepsWhatWasShown) {
    startWithTracks();
    press(window_, "playlist");
    ASSERT_TRUE(fm_playlist->isVisible());
    window_->SelectRows({1});
    window_->lv_playlistDblClick();
    clock_->advance(1200);
    window_->PauseResume();
    const QString pausedTime = window_->SkinTimeText->getText();
    const int pausedBar = window_->SkinMediabar->getPosition();
    QPointer<SkinScrollBar> oldBar = window_->SkinMediabar;
    const QColor treeSeparator = window_->vsPopupMenu2->look().separatorColor;

    window_->Skin21Click();
    EXPECT_EQ(window_->SkinNumber, 2);
    EXPECT_EQ(IniFile().readInteger("basic", "skin", 0), 2);
    EXPECT_TRUE(window_->Skin->skinFile().endsWith("skin2.skn"));
    EXPECT_EQ(window_->vsPopupMenu2->look().barColor, ColorFromBgr(0xE7EBEF));
    EXPECT_EQ(window_->vsPopupMenu2->look().separatorColor, treeSeparator) << "the tree's popup keeps its separator";
    EXPECT_TRUE(window_->Image->height() == 53 && window_->Image2->isHidden());
    EXPECT_TRUE(oldBar.isNull());
    ASSERT_TRUE(window_->SkinMediabar && window_->SkinSoundbar && window_->SkinTimeText && window_->SkinFileNameText);
    EXPECT_EQ(fileNameText().toStdString(), files_[1]) << "the playing file's name survives the switch";
    EXPECT_EQ(window_->SkinTimeText->getText(), pausedTime);
    EXPECT_EQ(window_->SkinMediabar->getPosition(), pausedBar);
    EXPECT_EQ(window_->SkinSoundbar->getPosition(), window_->AudioPlayer21->volume());
    EXPECT_TRUE(window_->IsPlaying);
    const QRect main = window_->frameGeometry();
    EXPECT_EQ(fm_playlist->frameGeometry().right(), main.right());
    EXPECT_EQ(fm_playlist->y(), main.top() + window_->lv_playlist->mapTo(window_, QPoint(0, 0)).y() + 40);
    EXPECT_EQ(window_->Skin->appliedSection(fm_playlist), "Playlist");

    fs::remove(SettingsFilePath());
    window_->Skin21Click();
    EXPECT_FALSE(fs::exists(SettingsFilePath())) << "the skin in use: nothing changes, nothing is written";

    window_->Skin11Click();
    EXPECT_EQ(IniFile().readInteger("basic", "skin", 0), 1);
    EXPECT_EQ(window_->vsPopupMenu2->look().separatorColor, ColorFromBgr(0xBD9A8C));
    EXPECT_TRUE(window_->Image->height() == 52 && window_->Image2->height() == 78 && !window_->Image2->isHidden());
}

TEST_F(SkinElements, PlaylistWindowOpensBesideTheListActsOnceAndTakesTurnsWithTheMainPlayer) {
    startWithTracks();
    press(window_, "playlist");
    ASSERT_TRUE(fm_playlist->isVisible());
    const QRect main = window_->frameGeometry();
    EXPECT_EQ(fm_playlist->frameGeometry().right(), main.right()) << "beside the list";
    EXPECT_EQ(fm_playlist->y(), main.top() + window_->lv_playlist->mapTo(window_, QPoint(0, 0)).y() + 50);

    dialogs_.chooseNext({QString::fromStdString(files_[0])});
    press(fm_playlist, "Listadd");
    EXPECT_EQ(dialogs_.requests().size(), 1u) << "the playlist's own element is handled once";
    ASSERT_EQ(fm_playlist->rowCount(), 1);

    window_->PlayPlaylistSelection();
    EXPECT_TRUE(fm_playlist->PlaylistPlaying);
    press(window_, "Boxplay");
    EXPECT_TRUE(window_->IsPlaying);
    EXPECT_FALSE(fm_playlist->PlaylistPlaying) << "one player sounds at a time";
    window_->PlayPlaylistSelection();
    EXPECT_TRUE(fm_playlist->PlaylistPlaying);
    EXPECT_FALSE(window_->IsPlaying);
    EXPECT_FALSE(window_->AudioFile21.isOpen());

    window_->RandomPlay1->setChecked(true);
    EXPECT_TRUE(fm_playlist->skinEngine() == window_->Skin);
    window_->close();
    EXPECT_FALSE(fm_playlist->isVisible()) << "the program's close closes the playlist window";
    EXPECT_TRUE(fs::exists(Tfm_playlist::LastPlaylistPath())) << "which keeps its list";
}

TEST_F(SkinElements, MiniWindowStandsInAndTheReturnLosesNothing) {
    startWithTracks();
    click(tree()->findArtist("Kestrel"));
    window_->SelectRows({0});
    window_->lv_playlistDblClick();
    clock_->advance(1000);
    window_->PauseResume();
    const int pausedBar = window_->SkinMediabar->getPosition();
    const QString pausedTime = window_->SkinTimeText->getText();
    const int64_t pausedAt = window_->PlayPosition();
    const int mainHeight = window_->height();
    ASSERT_GT(pausedBar, 0);

    press(window_, "Min");
    EXPECT_TRUE(window_->MiniMode && !window_->isVisible());
    ASSERT_TRUE(fm_mmain->isVisible());
    EXPECT_EQ(fm_mmain->size(), QSize(373, 55));
    EXPECT_EQ(window_->Skin->appliedSection(fm_mmain), "minTunevale");
    ASSERT_TRUE(window_->SkinMiniFileNameText);
    EXPECT_EQ(window_->SkinMiniFileNameText->getText().toStdString(), files_[0]);

    fm_mmain->move(40, 50);
    press(fm_mmain, "mMax");
    EXPECT_FALSE(window_->MiniMode || fm_mmain->isVisible());
    ASSERT_TRUE(window_->isVisible());
    EXPECT_EQ(window_->pos(), QPoint(40, 50));
    EXPECT_EQ(window_->height(), mainHeight);
    EXPECT_EQ(window_->SkinMediabar->getPosition(), pausedBar) << "a paused bar stays where it was";
    EXPECT_EQ(window_->SkinTimeText->getText(), pausedTime);
    EXPECT_EQ(tree()->currentItem(), tree()->findArtist("Kestrel"));
    EXPECT_EQ(fileNameText().toStdString(), files_[0]);
    EXPECT_TRUE(window_->IsPaused);

    window_->PauseResume();
    clock_->advance(200);
    EXPECT_TRUE(mwtest::runsOnFrom(outputs_.front()->written(), pausedAt)) << "the pause lost nothing";
    press(window_, "Min");
    clock_->advance(2500);
    EXPECT_EQ(window_->CurrentFile, files_[1]) << "playing goes on behind the mini window";
    EXPECT_EQ(window_->SkinMiniFileNameText->getText().toStdString(), files_[1]);
    press(fm_mmain, "mMax");
    EXPECT_TRUE(window_->IsPlaying && window_->AudioPlayer21->isPlaying());
    EXPECT_EQ(fileNameText().toStdString(), files_[1]);
    EXPECT_TRUE(boxes_.texts().isEmpty());

    press(window_, "Min");
    boxes_.answerNext(MessageAnswer::No);
    fm_mmain->close();
    EXPECT_EQ(boxes_.texts(), QStringList{"Are you sure to quit?"}) << "closing the mini window closes the program";
    EXPECT_TRUE(fm_mmain->isVisible() && window_->MiniMode);
    press(fm_mmain, "mClose");
    EXPECT_EQ(boxes_.texts().size(), 2);
    EXPECT_FALSE(fm_mmain->isVisible());
}

}  // namespace
