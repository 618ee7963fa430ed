// The window's playlist files: "last.m3u" at show and close, the question
// before a list is lost, and the open and save dialogs with their filters,
// names and remembered folders.

#include "playlistwindowfixture.h"

#include <sys/stat.h>

#include <filesystem>

#include "library/playlists/m3u.h"
#include "platform/inifile.h"
#include "platform/paths.h"
#include "platform/userfolders.h"

namespace {

namespace fs = std::filesystem;
using PlaylistFiles = PlaylistWindowTest;

TEST_F(PlaylistFiles, AutoSaveKeepsTheListFromOneShowToTheNext) {
    host.autoSave = true;
    open();
    EXPECT_EQ(w->rowCount(), 0);
    addThree();
    const std::vector<PlaylistRow> rows = w->rows();
    click("Listplay");
    w->close();
    EXPECT_FALSE(w->PlaylistPlaying) << "closing stops the player";
    EXPECT_EQ(w->rowCount(), 0);
    const std::string last = Tfm_playlist::LastPlaylistPath();
    EXPECT_EQ(last, PlaylistFolder() + "/last.m3u");
    EXPECT_EQ(testenv::readFile(last), RenderM3u(rows));
    EXPECT_TRUE(boxes.texts().isEmpty()) << "the automatic save asks nothing";

    open();
    EXPECT_EQ(w->rows(), rows);
    EXPECT_EQ(w->rows()[0].time, "00:01");
    EXPECT_TRUE(w->PlaylistSaved);

    // An unchanged list is not written again.
    ASSERT_EQ(std::remove(last.c_str()), 0);
    w->close();
    EXPECT_FALSE(fs::exists(last));

    // A cleared list is saved empty, so the rows do not come back.
    testenv::writeFile(last, RenderM3u(rows));
    open();
    ASSERT_EQ(w->rowCount(), 3);
    w->ClearPlaylist();
    w->close();
    EXPECT_EQ(testenv::readFile(last), "#EXTM3U\r\n");
    open();
    EXPECT_EQ(w->rowCount(), 0);
}

TEST_F(PlaylistFiles, WithoutAutoSaveTheListStartsEmptyAndCloseMayAsk) {
    CreateFolderPath(PlaylistFolder());
    testenv::writeFile(Tfm_playlist::LastPlaylistPath(), "#EXTM3U\r\n#EXTINF:1,x\r\n/x.wav\r\n");
    open();
    EXPECT_EQ(w->rowCount(), 0) << "automatic save off: always an empty list";

    addThree();
    w->close();
    EXPECT_TRUE(boxes.texts().isEmpty()) << "no question unless asked for";
    EXPECT_EQ(w->rowCount(), 0);

    host.confirmSave = true;
    open();
    addThree();
    boxes.answerNext(MessageAnswer::Yes);
    dialogs.cancelNext();
    w->close();
    EXPECT_EQ(boxes.texts(), QStringList{"The current playlist has not been saved. Save first?"});
    EXPECT_EQ(boxes.titles(), QStringList{"Confirmation"});
    ASSERT_EQ(dialogs.requests().size(), 3u) << "Yes opens the save dialog";
    EXPECT_EQ(dialogs.requests().back().mode, FileDialogMode::Save);

    boxes.clear();
    open();
    w->close();
    EXPECT_TRUE(boxes.texts().isEmpty()) << "an empty list has nothing to save";
}

TEST_F(PlaylistFiles, SaveAsNamesTheFileByTheFilterRemembersTheFolderAndSaysWhenItFails) {
    open();
    addThree();
    const std::string out = testenv::makeTempDir("lists");
    dialogs.chooseNext({Q(out + "/mix.pls")}, 1);
    w->SavePlaylistAs();

    const FileDialogRequest& asked = dialogs.requests().back();
    EXPECT_EQ(std::tuple(asked.mode, asked.title, asked.filter, asked.folder),
              std::tuple(FileDialogMode::Save, QString("Load From Playlist File.."),
                         QString("m3u files(*.m3u)|*.m3u|pls files(*.pls)|*.pls"), DialogStartFolder()));
    EXPECT_EQ(testenv::readFile(out + "/mix.m3u"), RenderM3u(w->rows())) << "the M3U filter gives .m3u";
    EXPECT_FALSE(fs::exists(out + "/mix.pls"));
    EXPECT_TRUE(w->PlaylistSaved);
    EXPECT_EQ(host.registered, std::vector<std::string>{out + "/mix.m3u"});
    for (const char* key : {"list file directory", "list file save directory"})
        EXPECT_EQ(IniFile().readString("PlayList", key, ""), out) << key;

    const size_t before = dialogs.requests().size();
    w->SavePlaylistAs();
    EXPECT_EQ(dialogs.requests().size(), before) << "an unchanged list is not saved again";

    w->selectRows({1});
    w->MoveSelectedUp();
    dialogs.chooseNext({Q(out + "/best.of")}, 2);
    w->SavePlaylistAs();
    EXPECT_EQ(dialogs.requests().back().folder, Q(out));
    const std::string pls = testenv::readFile(out + "/best.pls");
    EXPECT_EQ(pls.substr(0, pls.find("File1")), "[playlist]\r\nPlaylistName=Playlist best.of\r\n");

    // An existing file is replaced only after the question.
    w->MoveSelectedDown();
    boxes.answerNext(MessageAnswer::No);
    dialogs.chooseNext({Q(out + "/best")}, 2);
    w->SavePlaylistAs();
    EXPECT_EQ(boxes.texts().back(), Q(out + "/best.pls") + " already exists. Overwrite it?");
    EXPECT_EQ(testenv::readFile(out + "/best.pls"), pls) << "No keeps the file";
    EXPECT_FALSE(w->PlaylistSaved);
    EXPECT_EQ(host.registered.size(), 2u);

    // A typed name of the other format is not the file written: neither the
    // dialog nor the window asks about it.
    boxes.clear();
    dialogs.chooseNext({Q(out + "/best.pls")}, 1);
    w->SavePlaylistAs();
    EXPECT_FALSE(dialogs.requests().back().confirmOverwrite);
    EXPECT_TRUE(boxes.requests().empty()) << boxes.texts().join('|').toStdString();
    EXPECT_EQ(testenv::readFile(out + "/best.pls"), pls);
    EXPECT_EQ(testenv::readFile(out + "/best.m3u"), RenderM3u(w->rows()));

    // A file that cannot be made is an error, and is not registered.
    w->MoveSelectedUp();
    ASSERT_EQ(::mkdir((out + "/taken.m3u").c_str(), 0755), 0);
    dialogs.chooseNext({Q(out + "/taken")}, 1);
    boxes.answerNext(MessageAnswer::Yes);
    w->SavePlaylistAs();
    ASSERT_EQ(boxes.requests().size(), 2u);
    EXPECT_EQ(std::pair(boxes.titles().back(), boxes.texts().back()),
              std::pair(QString("Error"), "Cannot create file " + Q(out + "/taken.m3u")));
    EXPECT_FALSE(w->PlaylistSaved);
    EXPECT_EQ(host.registered.size(), 3u) << "nothing registered that was not saved";

    // The automatic save at close fails the same way and the window still closes.
    host.autoSave = true;
    ASSERT_TRUE(CreateFolderPath(PlaylistFolder()));
    ASSERT_EQ(::mkdir(Tfm_playlist::LastPlaylistPath().c_str(), 0755), 0);
    boxes.clear();
    w->close();
    EXPECT_EQ(boxes.titles(), QStringList{"Error"});
    EXPECT_FALSE(w->isVisible());
}

TEST_F(PlaylistFiles, OpenAsksFirstClearsAndReadsByContent) {
    open();
    addThree();
    const std::string out = testenv::makeTempDir("open");
    dialogs.chooseNext({Q(out + "/keep")}, 2);
    w->SavePlaylistAs();
    const std::vector<PlaylistRow> saved = w->rows();
    w->PlaylistIndex = 1;

    // Unsaved rows: the question, then the list is emptied even if the dialog
    // is cancelled.
    w->MoveSelectedUp();
    w->selectRows({1});
    w->RemoveSelectedEntries();
    boxes.answerNext(MessageAnswer::No);
    dialogs.cancelNext();
    w->OpenPlaylistFile();
    EXPECT_EQ(boxes.texts().back(), "The current playlist has not been saved. Save first?");
    EXPECT_EQ(w->rowCount(), 0);
    EXPECT_EQ(w->PlaylistIndex, -1);
    EXPECT_EQ(std::pair(dialogs.requests().back().title, dialogs.requests().back().mode),
              std::pair(QString("Load From Playlist File.."), FileDialogMode::Open));

    // A PLS file chosen under the M3U filter is still read as PLS; damaged
    // files are the readers' tests.
    dialogs.chooseNext({Q(out + "/keep.pls")}, 1);
    w->OpenPlaylistFile();
    EXPECT_EQ(w->rows(), saved);
    EXPECT_TRUE(w->PlaylistSaved);
    EXPECT_EQ(IniFile().readString("PlayList", "list file directory", ""), out);

    // A file that cannot be read is an error, not a closed program.
    dialogs.chooseNext({Q(out + "/nothing.m3u")}, 1);
    w->OpenPlaylistFile();
    EXPECT_EQ(boxes.titles().back(), "Error");
    EXPECT_EQ(w->rowCount(), 0);
}

}  // namespace
