// The main window's menus: every tool command against its row of the menu
// table, the Playlist menu, "Add Playlist", the association window on a
// private XDG_CONFIG_HOME, and the tag editor opened on the main window.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTableView>

#include <array>
#include <map>

#include "../mainwindow/mainwindowfixture.h"
#include "../mainwindow/mainwindowsupport.h"
#include "library/about.h"
#include "library/associate.h"
#include "library/desktopentry.h"
#include "library/id3.h"
#include "library/mainfilter.h"
#include "library/playlist.h"

namespace fs = std::filesystem;

namespace {

// The tool and disc windows as plain dialogs; records the jobs handed over.
class FakeToolWindows final : public ToolWindows {
public:
    FakeToolWindows() {
        for (auto& w : windows_) w = std::make_unique<QDialog>();
    }
    QWidget* toolWindow(ToolWindow which) const override { return windows_[static_cast<std::size_t>(which)].get(); }
    void setJobMode(ToolWindow which, int mode) const override { jobs[toolWindow(which)] = mode; }
    mutable std::map<QWidget*, int> jobs;  // by the window the job went to

private:
    std::array<std::unique_ptr<QDialog>, 10> windows_;
};

class Menus : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        fm_dir = new Tfm_dir;
        fm_associate = new Tfm_associate;
        fm_about = new Tfm_about;
        fm_Id3 = new Tfm_Id3;
        fm_Id3->setHost(window_);
        window_->Tools = &tools_;
    }
    void TearDown() override {
        delete std::exchange(fm_dir, nullptr);
        delete std::exchange(fm_associate, nullptr);
        delete std::exchange(fm_about, nullptr);
        delete std::exchange(fm_Id3, nullptr);
        delete std::exchange(fm_playlist, nullptr);
        MainWindow::TearDown();
    }
    // One WAV track in "All Title", playing.
    void play() {
        if (!window_->IsPlaying) playRow(0);
        ASSERT_TRUE(window_->IsPlaying);
    }
    QWidget* tool(ToolWindow which) const { return tools_.toolWindow(which); }

    FakeToolWindows tools_;
    FakeWindowPresenter presenter_;
};

TEST_F(Menus, EachToolCommandStopsCaptionsAndShowsAsItsRowSays) {
    showAllTitle({wavTrack("tone.wav", "Tone", 8000)});

    struct Row {
        QAction* Tfm_main::*item;
        QWidget* window;
        const char* caption;  // nullptr: left as it is
        int Tfm_main::*jobMode;
        int mode;
        bool modal, stops;
    };
    using T = ToolWindow;
    const Row rows[] = {
        {&Tfm_main::CDRipper1, tool(T::Ripper), nullptr, nullptr, 0, true, true},
        {&Tfm_main::AudioCDRecorder1, tool(T::AudioWriter), nullptr, nullptr, 0, true, true},
        {&Tfm_main::DataCD1, tool(T::DataWriter), nullptr, nullptr, 0, true, true},
        {&Tfm_main::Recorder1, tool(T::Recorder), nullptr, nullptr, 0, false, false},
        {&Tfm_main::MPNormalize1, tool(T::Mp3Converter), "MP3 Normalize", &Tfm_main::Mp3JobMode, 0, true, true},
        {&Tfm_main::WAVOGGWMAtoMP31, tool(T::Mp3Converter), "TO MP3", &Tfm_main::Mp3JobMode, 1, true, true},
        {&Tfm_main::MP3OGGWMAtoWAV1, tool(T::WavConverter), "To WAV", &Tfm_main::WavJobMode, 1, true, true},
        {&Tfm_main::WAVMP3WMAtoOGG1, tool(T::OggConverter), "To OGG", &Tfm_main::OggJobMode, 1, true, true},
        {&Tfm_main::WAVMP3OGGtoWMA1, tool(T::WmaConverter), "To WMA", &Tfm_main::WmaJobMode, 1, true, true},
        {&Tfm_main::WAVNormalize1, tool(T::WavConverter), "WAV Normalize", &Tfm_main::WavJobMode, 0, true, true},
        {&Tfm_main::OGGNormalize1, tool(T::OggConverter), "OGG Normalize", &Tfm_main::OggJobMode, 0, true, true},
        {&Tfm_main::WMANormalize1, tool(T::WmaConverter), "WMA Normalize", &Tfm_main::WmaJobMode, 0, true, true},
        {&Tfm_main::Cut1, tool(T::Cutter), nullptr, nullptr, 0, true, true},
        {&Tfm_main::Combine1, tool(T::Combine), nullptr, nullptr, 0, true, true},
        {&Tfm_main::Rescan1, fm_dir, nullptr, nullptr, 0, true, true},
        {&Tfm_main::Rescan2, fm_dir, nullptr, nullptr, 0, true, true},
        {&Tfm_main::ID31, fm_Id3, nullptr, nullptr, 0, true, false},
        {&Tfm_main::ID3Tag1, fm_Id3, nullptr, nullptr, 0, true, false},
        {&Tfm_main::Connection1, fm_associate, nullptr, nullptr, 0, true, false},
        {&Tfm_main::About1, fm_about, nullptr, nullptr, 0, false, false},
    };
    for (const Row& row : rows) {
        QAction* item = window_->*row.item;
        SCOPED_TRACE(item->text().toStdString());
        play();
        const QString before = row.window->windowTitle();
        item->trigger();
        ASSERT_EQ(presenter_.last(), row.window);
        EXPECT_EQ(presenter_.shown().back().modal, row.modal);
        EXPECT_EQ(!window_->IsPlaying && !window_->Playback.isOpen(), row.stops);
        EXPECT_EQ(row.window->windowTitle(), row.caption ? QString::fromLatin1(row.caption) : before);
        if (row.jobMode) {
            EXPECT_EQ(window_->*row.jobMode, row.mode);
            EXPECT_EQ(tools_.jobs.at(row.window), row.mode);
        }
        if (row.modal && row.window != fm_Id3) {
            const QRect main = window_->frameGeometry();
            EXPECT_EQ(row.window->frameGeometry().left(), main.left() + (main.width() - row.window->frameGeometry().width()) / 2);
        }
        row.window->hide();
    }
    EXPECT_EQ(tool(T::Recorder)->frameGeometry().left(),
              window_->frameGeometry().left() + window_->lv_playlist->mapTo(window_, QPoint(0, 0)).x() + 105);

    // The About window closes on a click on its picture.
    fm_about->show();
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(fm_about->Image1, &release);
    EXPECT_FALSE(fm_about->isVisible());
}

TEST_F(Menus, PlaylistMenuActsOnThePlaylistWindow) {
    fm_playlist = new Tfm_playlist;
    start();
    const std::string b = dir_ + "/b.wav", a = dir_ + "/a.wav";
    WriteWav(b, 800);
    WriteWav(a, 800);
    dialogs_.chooseNext({QString::fromStdString(b), QString::fromStdString(a)});
    fm_playlist->AddFilesToPlaylist();
    ASSERT_EQ(fm_playlist->rowCount(), 2);
    window_->SelectAll1->trigger();
    EXPECT_EQ(fm_playlist->selectedRows(), (std::vector<int>{0, 1}));
    window_->UnselectAll1->trigger();
    EXPECT_TRUE(fm_playlist->selectedRows().empty());
    window_->Sort1->trigger();
    EXPECT_EQ(fm_playlist->rows()[0].path, a);

    // Random Play only while the window is there; Loop Playlist always.
    const bool random = window_->RandomPlay1->isChecked();
    window_->RandomPlay1->trigger();
    EXPECT_EQ(window_->RandomPlay1->isChecked(), random);
    EXPECT_EQ(fm_playlist->RandomPlay, random);
    window_->LoopPlaylist1->trigger();
    EXPECT_EQ(fm_playlist->LoopPlay, window_->LoopPlaylist1->isChecked());
    fm_playlist->OpenPlaylistWindow();
    window_->RandomPlay1->trigger();
    EXPECT_NE(window_->RandomPlay1->isChecked(), random);
    EXPECT_NE(fm_playlist->RandomPlay, random);
    ASSERT_TRUE(fm_playlist->SkinListrandom);
    EXPECT_EQ(fm_playlist->SkinListrandom->getState(), !random);
}

TEST_F(Menus, TheTagEditorOnTheMainWindowFollowsRowsByPath) {
    const std::string a = mwtest::makeMp3(dir_ + "/a.mp3", {"Alpha", "Old One", "Disc", "", "1", "c", 17});
    const std::string b = mwtest::makeMp3(dir_ + "/b.mp3", {"Beta", "Old Two", "Disc", "", "1", "c", 17});
    TrackRecord ra = mwtest::rec("Alpha", "Old One", "Disc"), rb = mwtest::rec("Beta", "Old Two", "Disc");
    std::tie(ra.Path, rb.Path) = std::tie(a, b);
    writeLibrary({ra, rb});
    testenv::writeFile(data_ + "treetext.txt", FormatTreeText({{"Old One", "Old Two"}, {}, {"Disc"}}));
    start();
    click(tree()->allTitleNode());
    window_->SelectRows({0, 1});
    fs::remove(b);  // a missing file leaves the selection
    presenter_.setModalHandler([&](QWidget* w) {
        EXPECT_EQ(w, fm_Id3);
        fm_Id3->FormShow();
        EXPECT_EQ(fm_Id3->lv->rowCount(), 1);
        // The list is sorted the other way while the editor is open.
        window_->lv_playlistColumnClick(0);
        window_->lv_playlistColumnClick(0);
        fm_Id3->editor().setField(TagPage::V1, TagField::Artist, "AC/DC", {0});
        fm_Id3->btn_okClick();
        fm_Id3->Button1Click();
        return QDialog::Accepted;
    });
    window_->ID31->trigger();
    EXPECT_EQ(window_->SelectedRows(), std::vector<int>{});  // nothing played: no row
    EXPECT_EQ(window_->ListModel->cellText(1, 1), "ACDC");
    EXPECT_EQ(window_->ListModel->path(1), a);
    EXPECT_EQ(window_->ListModel->cellText(0, 1), "Old Two");
    EXPECT_EQ(ReadTrackRecordAt(data_ + "music.dat", 0).Artist, "ACDC");
    EXPECT_EQ(tree()->content().artists, (std::vector<std::string>{"Old Two", "ACDC"}));
    EXPECT_EQ(mwtest::slurp(data_ + "treetext.txt"), FormatTreeText({{"Old One", "Old Two", "ACDC"}, {}, {"Disc"}}));
}

TEST(MimeApps, TheProgramBecomesTheFirstDefaultAndOtherLinesStay) {
    const QStringList ogg = MimeTypesOfExtension(".OGG");
    EXPECT_EQ(ogg, (QStringList{"audio/ogg", "audio/x-vorbis+ogg"}));
    EXPECT_TRUE(MimeTypesOfExtension(".flac").isEmpty());
    struct Row {
        const char* before;
        const char* after;
    };
    const Row rows[] = {
        {"", "[Default Applications]\naudio/ogg=t.desktop;\naudio/x-vorbis+ogg=t.desktop;\n"},
        {"[Added Associations]\ntext/plain=ed.desktop;\n",
         "[Added Associations]\ntext/plain=ed.desktop;\n\n[Default Applications]\naudio/ogg=t.desktop;\n"
         "audio/x-vorbis+ogg=t.desktop;\n"},
        {"[Default Applications]\naudio/ogg=vlc.desktop;t.desktop;\n\n[Other]\naudio/x-vorbis+ogg=x;\n",
         "[Default Applications]\naudio/ogg=t.desktop;vlc.desktop;\naudio/x-vorbis+ogg=t.desktop;\n\n[Other]\n"
         "audio/x-vorbis+ogg=x;\n"},
        {"# mine\n[Default Applications]\nimage/png=eog.desktop;", "# mine\n[Default Applications]\nimage/png=eog.desktop;\n"
                                                                  "audio/ogg=t.desktop;\naudio/x-vorbis+ogg=t.desktop;\n"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(SetDefaultApplication(row.before, ogg, "t.desktop").toStdString(), row.after) << row.before;
}

TEST(Associate, OnlyCheckedTypesAreRegisteredAndAFailureIsTold) {
    FakeMessageBoxes boxes;
    const std::string config = testenv::makeTempDir("config");
    testenv::ScopedEnv xdg("XDG_CONFIG_HOME", config.c_str());
    const std::string list = config + "/mimeapps.list";
    testenv::writeFile(list, "[Default Applications]\ntext/plain=ed.desktop;\n");

    Tfm_associate window;
    window.btn_associateClick();
    EXPECT_EQ(testenv::readFile(list), "[Default Applications]\ntext/plain=ed.desktop;\n");
    window.cbx_ogg->setChecked(true);
    window.show();
    window.btn_associate->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(testenv::readFile(list), "[Default Applications]\ntext/plain=ed.desktop;\naudio/ogg=tunevale.desktop;\n"
                                       "audio/x-vorbis+ogg=tunevale.desktop;\n");
    EXPECT_TRUE(fs::exists(ShellVerbEntryPath().toStdString()));
    if (fs::exists("/usr/bin/xdg-mime")) {
        EXPECT_EQ(testenv::capture("xdg-mime query default audio/x-vorbis+ogg"), "tunevale.desktop\n");
    }
    EXPECT_TRUE(boxes.requests().empty());

    // A config folder that cannot be made: each type is skipped and told once.
    testenv::ScopedEnv blocked("XDG_CONFIG_HOME", (list + "/sub").c_str());
    window.cbx_mp3->setChecked(true);
    window.btn_associateClick();
    EXPECT_EQ(boxes.texts(), QStringList{QString::fromStdString("Cannot create file " + list + "/sub/mimeapps.list")});
    EXPECT_EQ(boxes.titles(), QStringList{"Error"});
}

}  // namespace
