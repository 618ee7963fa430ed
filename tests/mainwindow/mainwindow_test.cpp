#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <array>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>

#include "app/application.h"
#include "components/skin/skinobject.h"
#include "library/mainfilter.h"
#include "library/treetext.h"
#include "mainwindowfixture.h"
#include "mainwindowsupport.h"
#include "platform/errors.h"
#include "platform/inifile.h"
#include "skin/menu.h"
#include "pumpevents.h"

namespace fs = std::filesystem;
using mwtest::rec;
using mwtest::slurp;

namespace {

// The four options of the file manager: loop, random play, confirm save on
// close, automatic save of the last playlist.
std::array<bool, 4> options(const Tfm_main* w) {
    return {w->LoopPlaylist1->isChecked(), w->RandomPlay1->isChecked(), w->ConfirmSaveonClose1->isChecked(),
            w->AutoSaveLoadLastPlaylist1->isChecked()};
}

TEST_F(MainWindow, FirstStartMakesFoldersFilesAndDesktopEntryAndTheSkinSettingChoosesTheLook) {
    start();
    EXPECT_TRUE(fs::is_directory(PlaylistFolder()));
    EXPECT_TRUE(fs::exists(data_ + "music.dat") && fs::file_size(data_ + "music.dat") == 0);
    EXPECT_EQ(slurp(data_ + "treetext.txt"), FormatTreeText({}));
    EXPECT_TRUE(boxes_.requests().empty());

    const std::string entry = slurp(ShellVerbEntryPath().toStdString());
    EXPECT_NE(entry.find("Exec=\"" + ProgramPath() + "\" %f"), std::string::npos) << entry;
    EXPECT_NE(entry.find("audio/mpeg"), std::string::npos);

    // The four options' defaults, also handed to the playlist window.
    EXPECT_EQ(options(window_), (std::array{true, false, false, true}));

    // Skin 1: elements bound, the soundbar at the player's volume.
    EXPECT_EQ(window_->SkinNumber, 1);
    ASSERT_TRUE(window_->SkinMediabar && window_->SkinSoundbar && window_->SkinTimeText && window_->SkinFileNameText);
    EXPECT_EQ(window_->SkinSoundbar->getPosition(), window_->AudioPlayer21->volume());
    EXPECT_EQ(window_->Image->height(), 52);
    EXPECT_TRUE(window_->Image2->isVisibleTo(window_));
    EXPECT_TRUE(window_->AudioFile21.readyFlag && !window_->ClosingAfterError && !window_->MiniMode);
    EXPECT_EQ(LibraryTree::imageOf(tree()->itemAtIndex(0)), 1);

    // Skin 3 has no file, yet the section and its elements are there.
    IniFile().writeInteger("basic", "skin", 3);
    remake();
    start();
    EXPECT_TRUE(window_->SkinMediabar && window_->SkinFileNameText);
    EXPECT_EQ(window_->Image->height(), 52);
    EXPECT_TRUE(window_->Image2->isVisibleTo(window_));

    IniFile().writeInteger("basic", "skin", 2);
    remake();
    start();
    // The rest of skin 2's look is the skin switch's test.
    EXPECT_EQ(window_->SkinNumber, 2);
    EXPECT_EQ(window_->Image->height(), 53);
    EXPECT_FALSE(window_->Image2->isVisibleTo(window_));
    EXPECT_EQ(window_->vsPopupMenu1->look().barColor, ColorFromBgr(0xE7EBEF));
    EXPECT_EQ(window_->vsPopupMenu2->look().separatorColor, ColorFromBgr(0xBD9A8C));
    EXPECT_TRUE(window_->SkinMediabar && window_->SkinSoundbar);
}

TEST(DesktopEntry, WrittenOnlyWhenItsTextChanges) {
    const std::string path = ShellVerbEntryPath().toStdString();
    auto inode = [&] {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
    };
    fs::remove(path);
    ASSERT_TRUE(WriteShellVerbEntry("/opt/tunevale/tunevale"));
    const auto first = inode();
    ASSERT_TRUE(WriteShellVerbEntry("/opt/tunevale/tunevale"));
    EXPECT_EQ(inode(), first) << "an unchanged entry was written again";
    const std::string wanted = ShellVerbEntryText("/opt/tunevale/tunevale").toStdString();
    std::string sameSize = wanted;
    sameSize[0] = '#';
    for (const std::string& text : {std::string(), sameSize}) {
        testenv::writeFile(path, text);
        ASSERT_TRUE(WriteShellVerbEntry("/opt/tunevale/tunevale"));
        EXPECT_EQ(slurp(path), wanted);
    }
    ASSERT_TRUE(WriteShellVerbEntry("/usr/bin/tunevale"));
    EXPECT_EQ(slurp(path), ShellVerbEntryText("/usr/bin/tunevale").toStdString());
}

TEST_F(MainWindow, CloseAsksAndOnYesSavesTheTreeAndTheFourOptionsReadAtTheNextStart) {
    start();
    window_->LoopPlaylist1->setChecked(false);
    window_->RandomPlay1->setChecked(true);
    tree()->ensureArtist("Unsaved");
    fs::remove(data_ + "treetext.txt");

    boxes_.answerNext(MessageAnswer::No);
    window_->Exit1Click();
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(boxes_.texts(), QStringList{"Are you sure to quit?"});
    EXPECT_EQ(boxes_.requests()[0].buttons, MessageButtons::YesNo);
    EXPECT_FALSE(fs::exists(data_ + "treetext.txt"));
    EXPECT_EQ(IniFile().readString("File Manager", "loop playlist", "unset"), "unset");

    boxes_.answerNext(MessageAnswer::Yes);
    window_->close();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(slurp(data_ + "treetext.txt"), FormatTreeText({{"Unsaved"}, {}, {}}));
    for (auto [key, value] : {std::pair{"loop playlist", "0"}, {"random play", "1"}, {"confirm save", "0"}, {"auto save", "1"}})
        EXPECT_EQ(IniFile().readString("File Manager", key, ""), value) << key;

    // Read back at the next start, which reads the tree file ahead as the
    // program's start does.
    remake();
    TrackLibrary(DataFolder(), PlaylistFolder()).prefetchTree();
    start();
    EXPECT_EQ(options(window_), (std::array{false, true, false, true}));
    EXPECT_EQ(tree()->content(), (LibraryTreeContent{{"Unsaved"}, {}, {}}));
    EXPECT_FALSE(fs::exists(data_ + "treetext.txt.bad"));

    // A damaged tree file is kept aside and repaired.
    const std::string damaged = "My Artist\r\n\tKestrel\r\n\t\t\tDeep\r\nMy Playlist\r\n\tRoad Trip\r\n";
    testenv::writeFile(data_ + "treetext.txt", damaged);
    boxes_.clear();
    remake();
    TrackLibrary(DataFolder(), PlaylistFolder()).prefetchTree();
    start();
    EXPECT_EQ(boxes_.texts(), QStringList{"Invalid level (3) for item \"Deep\""});
    EXPECT_EQ(boxes_.titles(), QStringList{"Error"});
    EXPECT_EQ(slurp(data_ + "treetext.txt.bad"), damaged);
    EXPECT_EQ(slurp(data_ + "treetext.txt"), FormatTreeText({{"Kestrel"}, {"Road Trip"}, {}}));
    EXPECT_EQ(tree()->absoluteIndex(tree()->allTitleNode()), 29);
}

TEST_F(MainWindow, EscapeClosesAMenuOrElseOnlyTheActiveMainWindowAndF1OpensHelpAnywhere) {
    start();
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QTest::keyClick(other.windowHandle(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes_.requests().empty());

    QTest::keyClick(other.windowHandle(), Qt::Key_F1);
    ASSERT_EQ(launcher_.openedUrls().size(), 1u);
    EXPECT_TRUE(launcher_.openedUrls()[0].toLocalFile().endsWith("/help/tunevale.html"));
    EXPECT_TRUE(QFileInfo::exists(launcher_.openedUrls()[0].toLocalFile()));

    // Escape in an open menu, a popup or one of the menu bar's, closes only
    // the menu.
    auto escape = [this] {
        // The offscreen platform leaves a closed popup the active window.
        if (!QApplication::activePopupWidget()) QApplication::setActiveWindow(window_);
        QTest::keyClick(window_->windowHandle(), Qt::Key_Escape);
        QCoreApplication::processEvents();
    };
    for (QMenu* menu : std::initializer_list<QMenu*>{window_->vsPopupMenu1, window_->vsPopupMenu2,
                                                     window_->menuBar()->actions().first()->menu()}) {
        menu->popup(window_->mapToGlobal(QPoint(40, 40)));
        ASSERT_EQ(QApplication::activePopupWidget(), menu);
        escape();
        EXPECT_FALSE(menu->isVisible());
    }
    EXPECT_TRUE(boxes_.requests().empty()) << boxes_.texts().join('|').toStdString();
    boxes_.answerNext(MessageAnswer::No);
    escape();
    EXPECT_EQ(boxes_.texts(), QStringList{"Are you sure to quit?"});
    EXPECT_TRUE(window_->isVisible());

    window_->Content1Click();
    EXPECT_EQ(launcher_.openedUrls().size(), 2u);

    // Nothing on the desktop opens the help: the user is told so.
    launcher_.setResult(false);
    boxes_.clear();
    window_->Content1Click();
    QTest::keyClick(window_->windowHandle(), Qt::Key_F1);
    ASSERT_EQ(boxes_.requests().size(), 2u);
    EXPECT_EQ(boxes_.requests()[0].kind, MessageKind::Error);
    EXPECT_TRUE(boxes_.texts()[1].startsWith("The help cannot be shown")) << boxes_.texts()[1].toStdString();
}

// The keyboard reaches the menu bar (F10) and plays a row (Enter does what
// a double click does).
TEST_F(MainWindow, F10OpensTheMenuBarAndEnterPlaysTheCurrentRow) {
    showAllTitle({track("one.wav", "One")});
    QApplication::setActiveWindow(window_);
    QTest::keyClick(window_->windowHandle(), Qt::Key_F10);
    QMenu* file = window_->menuBar()->actions().first()->menu();
    EXPECT_EQ(QApplication::activePopupWidget(), file);
    QTest::keyClick(file, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_FALSE(file->isVisible());

    window_->lv_playlist->setCurrentIndex(window_->ListModel->index(0, 0));
    QTest::keyClick(window_->lv_playlist, Qt::Key_Return);
    EXPECT_TRUE(window_->IsPlaying);
    EXPECT_EQ(window_->CurrentFile, dir_ + "/one.wav");
    EXPECT_TRUE(boxes_.requests().empty());
}

struct Thrower : QObject {
    std::function<void()> fail;
    bool event(QEvent*) override {
        fail();
        return true;
    }
};

bool throwThroughEvent(std::function<void()> fail) {
    Thrower t;
    t.fail = std::move(fail);
    QEvent e(QEvent::User);
    return DeliverGuarded([&] { return QCoreApplication::sendEvent(&t, &e); });
}

TEST_F(MainWindow, AnUncaughtErrorIsLoggedAndARestartOfferedAndAnIgnoredOneDropped) {
    start();
    window_->IgnoreNextException = true;
    throwThroughEvent([] { throw std::runtime_error("dropped"); });
    EXPECT_FALSE(window_->IgnoreNextException);
    EXPECT_TRUE(boxes_.requests().empty());
    EXPECT_FALSE(fs::exists(data_ + "Error.txt"));
    EXPECT_TRUE(window_->isVisible());

    fs::remove(data_ + "treetext.txt");
    boxes_.answerNext(MessageAnswer::Yes);
    EXPECT_TRUE(throwThroughEvent([] { throw FileOpenError("/gone/music.dat"); }));

    // The message, the kind of error, the time and an empty line.
    QStringList lines = QString::fromStdString(slurp(data_ + "Error.txt")).split("\r\n");
    ASSERT_EQ(lines.size(), 4) << lines.join('|').toStdString();
    EXPECT_FALSE(lines.takeAt(2).isEmpty());
    EXPECT_EQ(lines, (QStringList{"Cannot open file /gone/music.dat", "EFOpenError", ""}));
    // One question only: the restart offer, not the quit question.
    EXPECT_EQ(boxes_.texts(), QStringList{"A system error occurs,click Yes to execute again,click No to exit!"});
    EXPECT_EQ(boxes_.titles(), QStringList{"Confirmation"});
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(fs::exists(data_ + "treetext.txt")) << "the tree was saved after an error";
    ASSERT_EQ(launcher_.started().size(), 1u);
    EXPECT_EQ(launcher_.started()[0].program.toStdString(), ProgramPath());
    EXPECT_TRUE(launcher_.started()[0].arguments.isEmpty());

    // No closes without a restart; the log keeps the first error.
    remake();
    start();
    boxes_.answerNext(MessageAnswer::No);
    throwThroughEvent([] { throw std::runtime_error("second"); });
    EXPECT_EQ(QString::fromStdString(slurp(data_ + "Error.txt")).split("\r\n").mid(3, 2),
              (QStringList{"second", "std::runtime_error"}));
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(launcher_.started().size(), 1u);
}

TEST_F(MainWindow, CommandLineFileIsAddedOnceSelectedAndOpenedButNotAgainAfterTheMiniWindow) {
    mwtest::makeMp3(dir_ + "/Song.MP3", {"Cmd Song", "Kestrel", "Sky", "", "", ""});
    const QString before = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir_));
    for (int run = 0; run < 2; ++run) {
        if (run) remake();
        window_->Parameters = {"Song.MP3"};
        start();
        ASSERT_EQ(TrackRecordCount(data_ + "music.dat"), 1u) << "run " << run;
        EXPECT_EQ(ReadTrackRecordAt(data_ + "music.dat", 0).Path, dir_ + "/Song.MP3");
        EXPECT_EQ(tree()->currentItem(), tree()->allTitleNode());
        EXPECT_EQ(window_->SelectedRows(), std::vector<int>{0});
        EXPECT_EQ(std::tuple(window_->PlayIndex, window_->CurrentFile, window_->PlayNodeText),
                  std::tuple(0, dir_ + "/Song.MP3", QString("All Title")));
        EXPECT_TRUE(window_->AudioFile21.isOpen());
        EXPECT_EQ(window_->SkinFileNameText->getText(), "Song.MP3");
        EXPECT_EQ(tree()->content(), (LibraryTreeContent{{"Kestrel"}, {}, {"Sky"}}));
        EXPECT_TRUE(boxes_.requests().empty());
    }

    // Back from the mini window only the window is dressed again: the
    // command-line file is neither added nor selected again.
    QPointer<SkinScrollBar> oldBar = window_->SkinMediabar;
    window_->LoopPlaylist1->setChecked(false);
    tree()->ensurePlaylist("Imported");
    click(tree()->findArtist("Kestrel"));
    window_->MiniMode = true;
    fs::remove(data_ + "music.dat");
    window_->FormShowAfterMiniWindow();
    QDir::setCurrent(before);
    EXPECT_FALSE(window_->MiniMode);
    EXPECT_FALSE(window_->LoopPlaylist1->isChecked()) << "the options were read again";
    EXPECT_EQ(tree()->content().playlists, std::vector<std::string>{"Imported"});
    EXPECT_EQ(tree()->currentItem(), tree()->findArtist("Kestrel"));
    EXPECT_FALSE(fs::exists(data_ + "music.dat"));
    EXPECT_EQ(slurp(data_ + "treetext.txt"), FormatTreeText(tree()->content()));
    EXPECT_TRUE(oldBar.isNull());
    ASSERT_TRUE(window_->SkinMediabar && window_->SkinSoundbar);
    EXPECT_EQ(window_->SkinSoundbar->getPosition(), window_->AudioPlayer21->volume());

    // Other extensions are not the program's to add.
    remake();
    window_->Parameters = {QString::fromStdString(dir_ + "/notes.txt")};
    start();
    EXPECT_EQ(TrackRecordCount(data_ + "music.dat"), 0u);
    EXPECT_TRUE(window_->CurrentFile.empty());
    EXPECT_EQ(window_->ListModel->rowCount(), 0);
}

TEST_F(MainWindow, AddingFilesOfEveryKindListsThemUnderTheSelectedNodeAndRemakesAMissingLibrary) {
    const std::string dir = testenv::makeTempDir("add");
    const std::string ogg = mwtest::makeOgg(dir + "/one.ogg", {"Ogg Song", "Kestrel", "Sky", "Rock", "1999", ""});
    const std::string mp3 = mwtest::makeMp3(dir + "/two.mp3", {"Mp3 Song", "Harbour", "Sea", "", "2001", ""});
    const std::string wav = mwtest::makeWav(dir + "/Three.WAV");
    const std::string wma = mwtest::makeWma(dir + "/four.wma", {"Wma Song", "Kestrel", "Night", "", "2003", ""});
    testenv::writeFile(dir + "/five.flac", "fLaC");
    testenv::writeFile(dir + "/foreign.ogg", "not an ogg file");
    start();
    fs::remove(data_ + "music.dat");  // the add makes it again, and the click says nothing of it
    click(tree()->allTitleNode());
    EXPECT_EQ(window_->ListModel->rowCount(), 0);

    auto q = [](const std::string& s) { return QString::fromStdString(s); };
    dialogs_.chooseNext({q(ogg), q(mp3), q(wav), q(wma), q(dir + "/five.flac"), q(dir + "/foreign.ogg")});
    window_->AddFilesToLibrary();

    ASSERT_EQ(dialogs_.requests().size(), 1u);
    const FileDialogRequest& asked = dialogs_.requests()[0];
    EXPECT_EQ(std::pair(asked.title, asked.mode), std::pair(QString("Add File(s) to Playlist"), FileDialogMode::OpenMany));
    EXPECT_TRUE(asked.filter.startsWith("All Supported Formats (*.mp3,*.wav,*.ogg,*.wma)|"));
    EXPECT_EQ(IniFile().readString("File Manager", "add path", ""), dir);

    EXPECT_EQ(listed(), (QStringList{"Ogg Song", "Mp3 Song", "Three.WAV", "Wma Song"}));
    EXPECT_EQ(listed(4), (QStringList{"1999", "2001", "", "2003"}));
    EXPECT_EQ(TrackRecordCount(data_ + "music.dat"), 4u);
    EXPECT_EQ(tree()->content(),
              (LibraryTreeContent{{"Kestrel", "Harbour", "Unknown Artist"}, {}, {"Sky", "Sea", "Unknown Album", "Night"}}));
    EXPECT_EQ(slurp(data_ + "treetext.txt"), FormatTreeText(tree()->content()));
    EXPECT_EQ(boxes_.texts(), QStringList{"1 file(s) could not be read and were skipped."});
    EXPECT_EQ(boxes_.requests()[0].details, q(dir + "/foreign.ogg"));
    EXPECT_EQ(LibraryTree::imageOf(tree()->findAlbum("Night")), 4);

    // An artist's list grows by that artist's new files only; a second add
    // of a known file writes nothing and shows nothing.
    const std::string six = mwtest::makeMp3(dir + "/six.mp3", {"Six", "Kestrel", "Sky", "", "", ""});
    const std::string seven = mwtest::makeMp3(dir + "/seven.mp3", {"Seven", "Harbour", "Sea", "", "", ""});
    click(tree()->findArtist("Kestrel"));
    EXPECT_EQ(listed(), (QStringList{"Ogg Song", "Wma Song"}));
    dialogs_.chooseNext({q(six), q(seven), q(ogg)});
    window_->AddFilesToLibrary();
    EXPECT_EQ(listed(), (QStringList{"Ogg Song", "Wma Song", "Six"}));
    EXPECT_EQ(TrackRecordCount(data_ + "music.dat"), 6u);

    // A letter's list waits for the next click.
    const std::string eight = mwtest::makeMp3(dir + "/eight.mp3", {"Sun", "Harbour", "Sea", "", "", ""});
    click(tree()->itemAtIndex(2 + ('S' - 'A')));
    EXPECT_EQ(listed(), (QStringList{"Six", "Seven"}));
    dialogs_.chooseNext({q(eight)});
    window_->AddFilesToLibrary();
    EXPECT_EQ(listed(), (QStringList{"Six", "Seven"}));
    window_->TreeView1Click();
    EXPECT_EQ(listed(), (QStringList{"Six", "Seven", "Sun"}));

    // Cancel does nothing, not even the setting.
    IniFile().writeString("File Manager", "add path", "/elsewhere");
    dialogs_.cancelNext();
    window_->AddFilesToLibrary();
    EXPECT_EQ(IniFile().readString("File Manager", "add path", ""), "/elsewhere");
    EXPECT_EQ(dialogs_.requests().back().folder, "/elsewhere");
}

TEST_F(MainWindow, LibraryCommandsWaitForARunningAdd) {
    QStringList files;
    for (int i = 0; i < 3000; ++i) {
        const std::string path = dir_ + "/t" + std::to_string(i) + ".mp3";
        files << QString::fromStdString(path);
        mwtest::makeMp3(path, {"T" + std::to_string(i), "Artist " + std::to_string(i % 50), "", "", "", ""});
    }
    start();
    click(tree()->allTitleNode());
    int reentered = 0;
    // Runs inside the add's event pump.
    QTimer::singleShot(0, window_, [&] {
        EXPECT_TRUE(window_->LibraryBusy);
        dialogs_.chooseNext({files.first()});
        window_->AddFilesToLibrary();
        window_->AddChosenFiles({files.first()});
        window_->close();
        ++reentered;
    });
    boxes_.setHandler([&](const MessageRequest& r) {
        EXPECT_FALSE(window_->LibraryBusy) << r.text.toStdString();
        return MessageAnswer::Yes;
    });
    window_->AddChosenFiles(files);
    EXPECT_EQ(reentered, 1) << "the add never let events run";
    EXPECT_TRUE(dialogs_.requests().empty());
    EXPECT_EQ(window_->ListModel->rowCount(), 3000);
    EXPECT_EQ(TrackRecordCount(data_ + "music.dat"), 3000u);
    // The close asked for during the add runs after it.
    EXPECT_TRUE(window_->isVisible());
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes_.texts(), QStringList{"Are you sure to quit?"});
    EXPECT_FALSE(window_->isVisible());
}

TEST_F(MainWindow, NodesFillTheListColumnsSortAndThePopupSparesTheFixedNodes) {
    writeLibrary({rec("beta", "Kestrel", "Sky", 3), rec("Alpha", "Harbour", "Sea", 9), rec("abc", "Kestrel", "Sea"),
                  rec("9 Lives", "Kestrel", "Sky", 1)});
    CreateFolderPath(PlaylistFolder());
    {
        TrackFileWriter list(JoinPath(PlaylistFolder(), "Road Trip.dat"));
        list.append(rec("listed", "X", "Y"));
        list.close();
    }
    testenv::writeFile(data_ + "treetext.txt", FormatTreeText({{"Kestrel", "Harbour"}, {"Road Trip"}, {"Sky", "Sea"}}));
    start();

    for (int i : {0, 1, 30, 34, 36}) {  // Title, Alphabetic, the roots with leaves
        click(tree()->itemAtIndex(i));
        EXPECT_EQ(window_->ListModel->rowCount(), 0) << "node " << i;
    }
    click(tree()->itemAtIndex(2));  // "A"
    EXPECT_EQ(listed(), (QStringList{"Alpha", "abc"}));
    click(tree()->itemAtIndex(28));  // "Extra"
    EXPECT_EQ(listed(), QStringList{"9 Lives"});
    click(tree()->findArtist("Kestrel"));
    EXPECT_EQ(listed(), (QStringList{"beta", "abc", "9 Lives"}));
    click(tree()->findAlbum("Sea"));
    EXPECT_EQ(listed(), (QStringList{"Alpha", "abc"}));
    click(tree()->findPlaylist("Road Trip"));
    EXPECT_EQ(listed(), QStringList{"listed"});
    click(tree()->myHabitNode());
    EXPECT_EQ(listed(), (QStringList{"Alpha", "beta", "9 Lives", "abc"}));
    EXPECT_EQ(listed(TrackListModel::kTimeColumn), (QStringList{"", "", "", ""}));
    window_->lv_playlistColumnClick(0);  // not in "My Habit"
    EXPECT_EQ(listed(), (QStringList{"Alpha", "beta", "9 Lives", "abc"}));
    EXPECT_EQ(window_->ListModel->headerImage(0), -1);

    click(tree()->allTitleNode());
    window_->lv_playlistColumnClick(0);
    EXPECT_EQ(listed(), (QStringList{"9 Lives", "abc", "Alpha", "beta"}));
    EXPECT_EQ(window_->ListModel->headerImage(0), 0);
    window_->lv_playlistColumnClick(0);
    EXPECT_EQ(listed(), (QStringList{"beta", "Alpha", "abc", "9 Lives"}));
    EXPECT_EQ(window_->ListModel->headerImage(0), 1);
    window_->lv_playlistColumnClick(1);
    EXPECT_EQ(listed(1), (QStringList{"Harbour", "Kestrel", "Kestrel", "Kestrel"}));
    EXPECT_EQ(window_->ListModel->headerImage(0), -1);
    EXPECT_EQ(window_->ListModel->headerImage(1), 0);
    // The header's own click reaches the same sort.
    emit window_->lv_playlist->horizontalHeader()->sectionClicked(1);
    EXPECT_EQ(window_->ListModel->headerImage(1), 1);
    // A refill keeps the flags: the next click on "Title" sorts ascending.
    click(tree()->allTitleNode());
    window_->lv_playlistColumnClick(0);
    EXPECT_EQ(window_->ListModel->headerImage(0), 0);

    // The popup deletes leaves only.
    auto deletable = [&](QTreeWidgetItem* node) {
        tree()->setCurrentItem(node);
        window_->TreeView1ContextPopup();
        return window_->DeletePlaylist1->isEnabled();
    };
    EXPECT_TRUE(deletable(tree()->findArtist("Kestrel")));
    EXPECT_TRUE(deletable(tree()->findPlaylist("Road Trip")));
    EXPECT_TRUE(deletable(tree()->findAlbum("Sky")));
    for (QTreeWidgetItem* fixed : {tree()->allTitleNode(), tree()->myArtistNode(), tree()->myHabitNode(),
                                   tree()->myAlbumNode(), tree()->itemAtIndex(5)})
        EXPECT_FALSE(deletable(fixed)) << fixed->text(0).toStdString();
    EXPECT_TRUE(window_->AddPlyalist1->isEnabled());
    EXPECT_TRUE(window_->Rescan2->isEnabled());

    // A right press selects the node under the mouse and lists it.
    tree()->setCurrentItem(tree()->itemAtIndex(0));
    tree()->scrollToItem(tree()->allTitleNode());
    const QPoint at = tree()->visualItemRect(tree()->allTitleNode()).center();
    QTest::mousePress(tree()->viewport(), Qt::RightButton, {}, at);
    EXPECT_EQ(tree()->currentItem(), tree()->allTitleNode());
    EXPECT_EQ(window_->ListModel->rowCount(), 4);

    window_->TreeFocused = true;
    QTest::mousePress(window_->lv_playlist->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(window_->TreeFocused);

    // Fixed nodes are known by identity; indexes follow the sections.
    tree()->setContent({{"A1", "A2"}, {"P1"}, {"B1", "B2", "B3"}});
    for (int i = 0; i < 40; ++i) EXPECT_EQ(tree()->absoluteIndex(tree()->itemAtIndex(i)), i);
    EXPECT_EQ(tree()->itemAtIndex(40), nullptr);
    EXPECT_EQ(tree()->itemAtIndex(33), tree()->myHabitNode());
    // An album that is called like a fixed node is an album.
    QTreeWidgetItem* album = tree()->ensureAlbum("All Title");
    EXPECT_NE(album, tree()->allTitleNode());
    EXPECT_EQ(tree()->fillOf(album).kind, NodeKind::Album);
    EXPECT_TRUE(tree()->removeLeaf(album));
    EXPECT_FALSE(tree()->removeLeaf(tree()->allTitleNode()));
}

}  // namespace

// Under the quit question no command of the main window starts a dialog,
// whatever road reaches it: the keys F10, Right, Return, which Qt keeps from
// the window, or a skin button pressed by an assistive tool, which it does
// not. Rescan's dialog ran its loop inside the question's; the two could end
// out of order and leave the window blocked for good. Once the question is
// answered the window takes clicks again.
TEST_F(MainWindow, UnderTheQuitQuestionNoDialogStartsAndTheWindowAnswersAfterIt) {
    Tfm_dir filter;
    fm_dir = &filter;
    start();
    InstallMessageBoxes(nullptr);

    struct Step {
        std::function<bool()> ready;
        std::function<void()> act;
    };
    bool filterShown = false;
    auto question = [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); };
    std::vector<Step> steps = {
        {[&] { return question() != nullptr; },
         [&] {
             QApplication::setActiveWindow(window_);
             QTest::keyClick(window_, Qt::Key_F10);
             if (QWidget* popup = QApplication::activePopupWidget()) QTest::keyClick(popup, Qt::Key_Right);
             if (QWidget* popup = QApplication::activePopupWidget()) QTest::keyClick(popup, Qt::Key_Return);
         }},
        {[] { return true; },
         [&] {
             if (QApplication::activeModalWidget() == &filter) QTest::keyClick(&filter, Qt::Key_Escape);
         }},
        {[&] { return question() != nullptr; },
         [&] {
             SkinObject* rescan = window_->Skin->findSkinObject(window_, "rescan");
             QAccessibleInterface* button = rescan ? QAccessible::queryAccessibleInterface(rescan->widget()) : nullptr;
             if (button && button->actionInterface())
                 button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
         }},
        {[] { return true; },
         [&] {
             if (QApplication::activeModalWidget() == &filter) QTest::keyClick(&filter, Qt::Key_Escape);
         }},
        {[&] { return question() != nullptr; }, [&] { question()->button(QMessageBox::No)->click(); }},
    };
    std::size_t next = 0;
    QTimer driver;
    // Each step runs from a timer of its own: a dialog it opens runs its
    // loop there while the driver goes on.
    QObject::connect(&driver, &QTimer::timeout, [&] {
        filterShown = filterShown || filter.isVisible();
        if (next < steps.size() && steps[next].ready()) QTimer::singleShot(0, &driver, steps[next++].act);
    });
    driver.start(10);
    QCoreApplication::processEvents();
    QApplication::setActiveWindow(window_);
    QTest::keyClick(window_->windowHandle(), Qt::Key_Escape);
    EXPECT_TRUE(testenv::pumpUntil([&] { return next == steps.size() && !QApplication::activeModalWidget(); }, 10000));
    driver.stop();
    // Whatever is left open is closed, so that a failure ends here.
    for (int i = 0; i < 5 && QApplication::activeModalWidget(); ++i) {
        QApplication::activeModalWidget()->close();
        QCoreApplication::processEvents();
    }
    if (QApplication::activePopupWidget()) QApplication::activePopupWidget()->close();
    InstallMessageBoxes(&boxes_);

    EXPECT_FALSE(filterShown);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    QApplication::setActiveWindow(window_);
    QMenuBar* bar = window_->menuBar();
    // Through the window, where Qt refuses a click to a blocked window.
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {},
                      bar->mapTo(window_, bar->actionGeometry(bar->actions().first()).center()));
    QMenu* file = bar->actions().first()->menu();
    EXPECT_EQ(QApplication::activePopupWidget(), file);
    file->close();
    fm_dir = nullptr;
}

// The keyboard reaches what the mouse reaches: Enter or Space on a tree node
// lists it as a click does, Home and End go to the list's first and last
// row; and a screen reader finds every skin button and bar by its caption
// or hint, reads the bars' values and can press and move them.
TEST_F(MainWindow, TheKeyboardListsNodesAndWalksRowsAndScreenReadersNameAndWorkTheSkin) {
    writeLibrary({track("one.wav", "One"), track("two.wav", "Two"), track("three.wav", "Three")});
    start();
    QApplication::setActiveWindow(window_);
    tree()->setFocus();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
        window_->ListModel->setRows({});
        tree()->setCurrentItem(tree()->allTitleNode());
        QTest::keyClick(tree(), key);
        EXPECT_EQ(window_->ListModel->rowCount(), 3) << key;
    }
    window_->lv_playlist->setFocus();
    window_->lv_playlist->setCurrentIndex(window_->ListModel->index(1, 2));
    QTest::keyClick(window_->lv_playlist, Qt::Key_End);
    EXPECT_EQ(window_->lv_playlist->currentIndex().row(), 2);
    EXPECT_EQ(window_->SelectedRows(), std::vector<int>{2});
    QTest::keyClick(window_->lv_playlist, Qt::Key_Home);
    EXPECT_EQ(window_->lv_playlist->currentIndex().row(), 0);
    EXPECT_EQ(window_->SelectedRows(), std::vector<int>{0});

    auto accessible = [this](const char* name) {
        SkinObject* element = window_->Skin->findSkinObject(window_, QString::fromLatin1(name));
        return element ? QAccessible::queryAccessibleInterface(element->widget()) : nullptr;
    };
    const std::vector<std::tuple<const char*, QAccessible::Role, const char*>> named = {
        {"rescan", QAccessible::Button, "Rescan"},     {"playlist", QAccessible::Button, "Playlist"},
        {"Boxplay", QAccessible::Button, "Play"},      {"Boxnext", QAccessible::Button, "Next"},
        {"mediabar", QAccessible::Slider, "Position"}, {"soundbar", QAccessible::Slider, "Volume"},
    };
    for (const auto& [element, role, name] : named) {
        QAccessibleInterface* a = accessible(element);
        ASSERT_NE(a, nullptr) << element;
        EXPECT_EQ(a->role(), role) << element;
        EXPECT_EQ(a->text(QAccessible::Name), name) << element;
    }
    EXPECT_EQ(accessible("rescan")->text(QAccessible::Description), "Add a folder to the library");

    QAccessibleValueInterface* volume = accessible("soundbar")->valueInterface();
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(volume->currentValue().toInt(), window_->SkinSoundbar->getPosition());
    volume->setCurrentValue(400);
    EXPECT_EQ(window_->SkinSoundbar->getPosition(), 400);
    EXPECT_EQ(window_->AudioPlayer21->volume(), 400) << "moved as a tap on the bar moves it";

    window_->lv_playlist->setCurrentIndex(window_->ListModel->index(0, 0));
    window_->SelectRows({0});
    accessible("Boxplay")->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(window_->IsPlaying);
}
