#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <QHeaderView>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include "disc/cdburner.h"
#include "disc/cdrecsett.h"
#include "disc/discinformation.h"
#include "disc/erase.h"
#include "disc/newfolder.h"
#include <QElapsedTimer>
#include <iterator>
#include "isoreader.h"
#include "platform/fakes.h"
#include "platform/inifile.h"
#include "platform/paths.h"
#include "skin/trackbar.h"
#include "windowkit/disctoolservices.h"
#include "pumpevents.h"
#include "testenv.h"

namespace {

using testenv::writeFile;

// The program's dialogs, made as the program makes them at start.
class DataCdWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        images_ = testenv::makeTempDir("images");
        fm_newfolder = new Tfm_newfolder;
        fm_recsett = new Tfm_recsett;
        fm_discinfo = new Tfm_discinfo;
        fm_erase = new Tfm_erase;
        window_ = new Tfm_burner;
        window_->DataCDWriter.setDrivesListed(false);
        window_->DataCDWriter.setImageFolder(QString::fromStdString(images_));
        window_->FormShow();
        boxes_.clear();
    }
    void TearDown() override
    {
        window_->FormClose();
        delete window_;
        delete fm_erase;
        delete fm_discinfo;
        delete fm_recsett;
        delete fm_newfolder;
    }

    void stage(const std::string& name, const std::string& bytes, CompilationFolder* folder = nullptr)
    {
        if (sources_.empty())
            sources_ = testenv::makeTempDir("src");
        writeFile(sources_ + "/" + name, bytes);
        window_->adder().stageFile(sources_ + "/" + name, folder ? folder : window_->compilation().root(),
                                   CompilationAdder::Entry::AddFile);
    }

    // The folder name prompt (new folder, rename) gets name typed and OK.
    void typeInFolderPrompt(const QString& name)
    {
        presenter_.setModalHandler([name](QWidget* w) {
            if (auto* prompt = qobject_cast<Tfm_newfolder*>(w)) {
                prompt->edt_name->setText(name);
                prompt->btn_okClick();
            }
            return 0;
        });
    }

    bool writeAndWait()
    {
        window_->btn_writeClick();
        return testenv::pumpUntil([&] { return !window_->IsWriting; });
    }

    std::string images_;
    std::string sources_;
    Tfm_burner* window_ = nullptr;
    FakeMessageBoxes boxes_;
    FakeWindowPresenter presenter_;
};

TEST_F(DataCdWindowTest, AFreshWindowAndTheWriteChecksInTheirOrder)
{
    EXPECT_EQ(window_->tv->topLevelItemCount(), 1);
    EXPECT_EQ(window_->tv->topLevelItem(0)->text(0), "New Disc");
    EXPECT_EQ(window_->stbPanel1->text(), "0 MB");
    EXPECT_TRUE(window_->compilation().stagingExists());
    EXPECT_EQ(window_->compilation().stagingFolder(), Tfm_burner::DataCdStagingFolder());
    struct stat st {};
    ASSERT_EQ(stat(window_->compilation().stagingFolder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "the staging folder is private";
    EXPECT_EQ(window_->cb_writespeed->count(), 64) << "an image offers every speed";
    EXPECT_EQ(window_->cb_writespeed->currentText(), "54");

    window_->btn_writeClick();
    EXPECT_EQ(boxes_.texts(), QStringList{"No file to burn!"});

    stage("a.txt", "a");
    window_->compilation().TotalSize = DataCdCapacity + 1;
    boxes_.clear();
    window_->btn_writeClick();
    EXPECT_EQ(boxes_.texts(),
              QStringList{"The current files exceed the disc space. Please remove some files to continue."});
    window_->compilation().TotalSize = 1;

    // An image folder that cannot be written comes first of all.
    writeFile(images_ + "/blocked", "x");
    window_->DataCDWriter.setImageFolder(QString::fromStdString(images_ + "/blocked"));
    window_->DataCDWriter.initialize();
    boxes_.clear();
    window_->btn_writeClick();
    EXPECT_EQ(boxes_.texts(),
              QStringList{"Disc is not writable by this control! Please insert the CD-R or CD-RW disc."});
    window_->DataCDWriter.setImageFolder(QString::fromStdString(images_));
    window_->DataCDWriter.initialize();

    DeleteFolderContents(window_->compilation().stagingFolder());
    boxes_.clear();
    window_->btn_writeClick();
    EXPECT_EQ(boxes_.texts(), QStringList{"The temp folder has been removed!"});
    EXPECT_FALSE(window_->IsWriting);
}

TEST_F(DataCdWindowTest, ARealWriteEmptiesTheCompilationATestWriteKeepsIt)
{
    CompilationFolder* music = window_->compilation().createFolder(window_->compilation().root(), "Music");
    stage("song.mp3", "song bytes", music);
    stage("notes.txt", "notes");
    window_->edt_id->setText("Holiday");
    window_->TestWrite1->setChecked(true);
    ASSERT_TRUE(writeAndWait());
    EXPECT_TRUE(boxes_.texts().contains("CD burn Complete!"));
    EXPECT_EQ(window_->compilation().FileCount(), 2) << "a test write keeps the compilation";
    EXPECT_EQ(window_->tv->topLevelItemCount(), 1) << "and the tree shows it";
    EXPECT_NE(access(window_->DataCDWriter.imagePath().toLocal8Bit().constData(), F_OK), 0);

    window_->TestWrite1->setChecked(false);
    boxes_.clear();
    ASSERT_TRUE(writeAndWait());
    EXPECT_EQ(boxes_.texts(), QStringList{"CD burn Complete!"});
    IsoContents iso = ReadIso(window_->DataCDWriter.imagePath().toStdString());
    EXPECT_EQ(iso.entries["/Music/song.mp3"], "song bytes");
    EXPECT_EQ(iso.entries["/notes.txt"], "notes");
    EXPECT_EQ(iso.jolietVolumeId, "Holiday");
    EXPECT_TRUE(iso.hasJoliet) << "Joliet is on without a setting";
    EXPECT_EQ(window_->compilation().FileCount(), 0);
    EXPECT_EQ(window_->tv->topLevelItemCount(), 1);
    EXPECT_EQ(window_->tv->topLevelItem(0)->text(0), "Holiday");
    EXPECT_TRUE(window_->compilation().stagingExists());
    boxes_.clear();
    window_->btn_writeClick();
    EXPECT_EQ(boxes_.texts(), QStringList{"No file to burn!"});

    // Erase through the dialog, twice: each waits for its own end.
    presenter_.setModalHandler([](QWidget* w) {
        if (auto* erase = qobject_cast<Tfm_erase*>(w)) {
            erase->FormShow();
            erase->btn_eraseClick();
        }
        if (auto* info = qobject_cast<Tfm_discinfo*>(w))
            info->FormShow();
        return 0;
    });
    window_->DiscInformation1Click();
    EXPECT_EQ(fm_discinfo->sl_disctype->text(), "Erasable Disc");
    EXPECT_EQ(fm_discinfo->sl_discstatus->text(), "Open");
    EXPECT_NE(fm_discinfo->sl_used->text(), "0");
    EXPECT_TRUE(fm_discinfo->sl_used->text().endsWith(" MB"));
    // The image's own figures, not the host disk's: what it holds, and what
    // a CD would have left.
    const int64_t imageBytes = QFileInfo(window_->DataCDWriter.imagePath()).size();
    EXPECT_EQ(fm_discinfo->sl_used->text(), DiscMegabytes(imageBytes));
    EXPECT_EQ(fm_discinfo->sl_estspace->text(), DiscMegabytes(DataDiscWriter::ImageCapacityBytes - imageBytes));
    for (int round = 0; round < 2; ++round) {
        boxes_.clear();
        window_->EraseDisc1Click();
        EXPECT_EQ(boxes_.texts(), QStringList{"Erase Complete!"});
        EXPECT_EQ(QFileInfo(window_->DataCDWriter.imagePath()).size(), 0);
        EXPECT_EQ(window_->stbPanel0->text(), "Idle");
    }
    window_->DiscInformation1Click();
    EXPECT_EQ(fm_discinfo->sl_discstatus->text(), "Blank");
    EXPECT_EQ(fm_discinfo->sl_used->text(), "0.000 MB");
    EXPECT_EQ(fm_discinfo->sl_estspace->text(), "700.000 MB");
}

TEST_F(DataCdWindowTest, ALinkAtTheImageNameIsRefusedWithItsReasonAndItsTargetStays)
{
    const std::string outside = testenv::makeTempDir("outside") + "/precious.dat";
    writeFile(outside, std::string(300000, 'p'));
    const std::string image = window_->DataCDWriter.imagePath().toStdString();
    ASSERT_EQ(symlink(outside.c_str(), image.c_str()), 0);
    presenter_.setModalHandler([](QWidget* w) {
        if (auto* erase = qobject_cast<Tfm_erase*>(w)) {
            erase->FormShow();
            erase->btn_eraseClick();
        }
        return 0;
    });
    window_->EraseDisc1Click();
    ASSERT_EQ(boxes_.texts().size(), 1);
    EXPECT_TRUE(boxes_.texts().first().startsWith("Error! ")) << boxes_.texts().first().toStdString();
    EXPECT_TRUE(boxes_.texts().first().contains("symbolic link"));
    EXPECT_NE(boxes_.texts().first(), "Erase Complete!");

    stage("a.txt", "a");
    boxes_.clear();
    EXPECT_TRUE(writeAndWait());
    ASSERT_EQ(boxes_.texts().size(), 1);
    EXPECT_TRUE(boxes_.texts().first().contains("symbolic link")) << boxes_.texts().first().toStdString();
    EXPECT_EQ(testenv::readFile(outside), std::string(300000, 'p'));
}

TEST_F(DataCdWindowTest, ADamagedImageFailsTheWriteWithItsReasonAndKeepsTheCompilation)
{
    // A folder on the disc whose record is then made to lead back to the root.
    CompilationFolder* loop = window_->compilation().createFolder(window_->compilation().root(), "Loop");
    stage("a.txt", "a", loop);
    ASSERT_TRUE(writeAndWait());
    const std::string image = window_->DataCDWriter.imagePath().toStdString();
    ASSERT_TRUE(MakeFolderLoop(image, "LOOP"));
    std::ifstream in(image, std::ios::binary);
    const std::string before((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    stage("c.txt", "c");
    boxes_.clear();
    QElapsedTimer clock;
    clock.start();
    window_->btn_writeClick();
    EXPECT_LT(clock.elapsed(), 1000) << "the old session is read off the window's thread";
    EXPECT_TRUE(testenv::pumpUntil([&] { return !window_->IsWriting; }));
    ASSERT_EQ(boxes_.texts().size(), 1);
    EXPECT_TRUE(boxes_.texts().first().startsWith("Error! ")) << boxes_.texts().first().toStdString();
    EXPECT_TRUE(boxes_.texts().first().contains("leads back into its own tree"));
    EXPECT_EQ(window_->stbPanel0->text(), "Error!");
    EXPECT_GE(window_->compilation().FileCount(), 1) << "the compilation stays to be written again";
    EXPECT_TRUE(window_->btn_write->isEnabled());
    EXPECT_EQ(testenv::readFile(image), before);
}

TEST_F(DataCdWindowTest, WriterErrorsPutTheWindowBackAndClosingWaitsForTheWrite)
{
    stage("a.txt", "a");
    // A warning code marks the error and the write goes on until the next
    // progress event, which puts the window back.
    window_->IsWriting = true;
    window_->SetDataControlsEnabled(false);
    window_->DataCDWriterError(-103);
    EXPECT_TRUE(window_->IsWriting);
    EXPECT_TRUE(window_->WriterError);
    window_->DataCDWriterOperationProgress(10);
    EXPECT_FALSE(window_->IsWriting);
    EXPECT_EQ(window_->stbPanel0->text(), "Idle");
    EXPECT_TRUE(window_->btn_write->isEnabled());

    // Any other code ends the write at once with "Error!".
    window_->IsWriting = true;
    window_->DataCDWriterError(-4);
    EXPECT_FALSE(window_->IsWriting);
    EXPECT_EQ(boxes_.texts(), QStringList{"Error!"});
    EXPECT_EQ(window_->stbPanel0->text(), "Error!");
    EXPECT_EQ(window_->compilation().FileCount(), 1) << "the compilation is kept for another try";
    EXPECT_EQ(window_->lv->topLevelItemCount(), 1);

    // Closing is refused while writing; Escape closes and removes the
    // staging folder.
    boxes_.clear();
    window_->show();
    window_->IsWriting = true;
    window_->close();
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(boxes_.texts(), QStringList{"Please stop your writing first!"});
    window_->IsWriting = false;
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window_, &escape);
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(window_->compilation().stagingExists());
    window_->FormShow();
}

TEST_F(DataCdWindowTest, CancellingAWriteLeavesNoImageAndTheCompilationReady)
{
    if (sources_.empty())
        sources_ = testenv::makeTempDir("src");
    {
        std::ofstream big(sources_ + "/big.bin", std::ios::binary);
        const std::string block(1 << 20, '\x33');
        for (int i = 0; i < 200; ++i)
            big << block;
    }
    window_->adder().FreeDiskSpace = int64_t(1) << 40;
    window_->adder().stageFile(sources_ + "/big.bin", window_->compilation().root(), CompilationAdder::Entry::AddFile);
    window_->btn_writeClick();
    ASSERT_TRUE(window_->IsWriting);
    EXPECT_FALSE(window_->btn_close->isEnabled());
    boxes_.clear();
    window_->btn_cancelClick();
    EXPECT_EQ(boxes_.texts(), QStringList{"Are you sure to cancel your writing?"});
    EXPECT_FALSE(window_->IsWriting);
    EXPECT_EQ(window_->stbPanel0->text(), "Cancel operation.");
    const std::string image = window_->DataCDWriter.imagePath().toStdString();
    EXPECT_NE(access(image.c_str(), F_OK), 0);
    EXPECT_NE(access((image + ".part").c_str(), F_OK), 0);
    EXPECT_EQ(window_->compilation().FileCount(), 1);
    EXPECT_TRUE(window_->btn_write->isEnabled());
}

TEST_F(DataCdWindowTest, RemovingAFolderKeepsToTheStagingFolder)
{
    std::string outside = testenv::makeTempDir("outside");
    writeFile(outside + "/keep.txt", "keep");
    typeInFolderPrompt("A");
    window_->CreateNewFolder1Click();
    CompilationFolder* a = window_->compilation().childNamed(window_->compilation().root(), "A");
    ASSERT_TRUE(a);
    EXPECT_EQ(window_->tv->topLevelItem(0)->childCount(), 1);
    window_->CreateNewFolder1Click();
    EXPECT_EQ(boxes_.texts(), QStringList{"The same-named-folder already exists!"});
    stage("x.txt", "xx", a);
    symlink(outside.c_str(), (window_->compilation().TempPathOfNode(a) + "out").c_str());
    window_->selectFolder(a);
    EXPECT_EQ(window_->lv->topLevelItemCount(), 1);
    window_->RemoveFolder1Click();
    EXPECT_EQ(window_->compilation().FileCount(), 0);
    EXPECT_EQ(window_->compilation().TotalSize, 0);
    EXPECT_EQ(testenv::readFile(outside + "/keep.txt"), "keep");
    EXPECT_EQ(window_->stbPanel0->text(), "Finish deleting");
    EXPECT_EQ(window_->tv->topLevelItem(0)->childCount(), 0);

    window_->tv->clearSelection();
    window_->tv->setCurrentItem(nullptr);
    boxes_.clear();
    window_->RemoveFolder1Click();
    EXPECT_EQ(boxes_.texts(), QStringList{"Please selete the folder you want to remove!"});
}

// The file list from the keyboard: Delete removes the selected rows and
// nothing else, Tab leaves the list.
TEST_F(DataCdWindowTest, DeleteInTheFileListRemovesTheSelectedRows)
{
    stage("a.txt", "aa");
    stage("b.txt", "bbb");
    window_->selectFolder(window_->compilation().root());
    ASSERT_EQ(window_->lv->topLevelItemCount(), 2);
    window_->lv->clearSelection();
    window_->lv->topLevelItem(1)->setSelected(true);
    window_->lv->setCurrentItem(window_->lv->topLevelItem(1));
    const QString kept = window_->lv->topLevelItem(0)->text(0);
    QTest::keyClick(window_->lv, Qt::Key_Delete);
    ASSERT_EQ(window_->lv->topLevelItemCount(), 1);
    EXPECT_EQ(window_->lv->topLevelItem(0)->text(0), kept);
    EXPECT_EQ(window_->compilation().FileCount(), 1);
    EXPECT_TRUE(boxes_.texts().isEmpty());
    EXPECT_FALSE(window_->lv->tabKeyNavigation());
}

TEST_F(DataCdWindowTest, DropsAndLayoutsComeBackIntoTheSelectedFolder)
{
    std::string dropped = testenv::makeTempDir("drop") + "/Album";
    mkdir(dropped.c_str(), 0755);
    mkdir((dropped + "/Disc 2").c_str(), 0755);
    writeFile(dropped + "/one.mp3", "1");
    writeFile(dropped + "/Disc 2/two.mp3", "22");
    symlink(".", (dropped + "/Disc 2/again").c_str());
    window_->dropNames({QString::fromStdString(dropped)});
    EXPECT_EQ(window_->stbPanel0->text(), "Finish draging files.");
    EXPECT_EQ(window_->compilation().FileCount(), 2);
    ASSERT_EQ(window_->tv->topLevelItem(0)->childCount(), 1);
    EXPECT_EQ(window_->tv->topLevelItem(0)->child(0)->child(0)->text(0), "Disc 2");

    // Files of the root, saved as a layout under the name typed with another
    // extension, and loaded again after New CD Layout.
    stage("a.txt", "a");
    stage("b.txt", "bb");
    window_->selectFolder(window_->compilation().root());
    ASSERT_EQ(window_->lv->topLevelItemCount(), 2);
    FakeFileDialogs dialogs;
    const std::string layouts = testenv::makeTempDir("layouts");
    dialogs.chooseNext({QString::fromStdString(layouts + "/disc.txt")});
    window_->btn_saveClick();
    EXPECT_EQ(testenv::readFile(layouts + "/disc.cfl"), sources_ + "/a.txt\r\n" + sources_ + "/b.txt\r\n");
    EXPECT_TRUE(window_->LayoutSaved);

    // Renamed in place: the row shows the typed name, the copy keeps its
    // extension, and the row still finds its file.
    window_->lv->topLevelItem(1)->setSelected(true);
    window_->RenameFile2Click();
    window_->edt_name->setText("tune");
    window_->edt_nameExit();
    EXPECT_EQ(window_->lv->topLevelItem(1)->text(0), "tune");
    EXPECT_EQ(testenv::readFile(window_->compilation().stagingFolder() + "/tune.txt"), "bb");
    window_->lv->clearSelection();
    window_->lv->topLevelItem(1)->setSelected(true);
    window_->btn_deleteClick();
    EXPECT_EQ(window_->lv->topLevelItemCount(), 1);
    EXPECT_NE(access((window_->compilation().stagingFolder() + "/tune.txt").c_str(), F_OK), 0);
    stage("b.txt", "bb");
    window_->tvClick();

    window_->btn_newClick();
    EXPECT_EQ(window_->lv->topLevelItemCount(), 0);
    window_->tvClick();
    EXPECT_EQ(window_->lv->topLevelItemCount(), 0) << "New CD Layout empties the whole compilation";
    EXPECT_EQ(window_->compilation().FileCount(), 0);

    boxes_.clear();
    dialogs.chooseNext({QString::fromStdString(layouts + "/disc.cfl")});
    window_->btn_openClick();
    EXPECT_TRUE(boxes_.texts().isEmpty());
    EXPECT_EQ(window_->compilation().FileCount(), 2);
    dialogs.chooseNext({QString::fromStdString(layouts + "/disc.cfl")});
    window_->btn_openClick();
    EXPECT_EQ(boxes_.texts().size(), 2);
    EXPECT_TRUE(boxes_.texts().first().endsWith("a.txt already exists! Overwrite?"));
    EXPECT_EQ(window_->compilation().FileCount(), 2) << "replaced, not added twice";
    EXPECT_EQ(window_->stbPanel0->text(), "Finish loading from file.");
}

// The folder chooser as the program offers it to the disc windows.
struct FakeChooser : DiscToolServices {
    QString folder;
    bool includeSubfolders = true;
    mutable QString prompt;
    QString chooseFolder(QWidget*) const override { return folder; }
    DiscFolderChoice chooseFolderToAdd(QWidget*, const QString& p) const override
    {
        prompt = p;
        return {folder, includeSubfolders};
    }
    bool showEncoderSettings(QWidget*) const override { return false; }
};

// What a user does who knows nothing of the staging folder: every file they
// see listed, and nothing else, must be on the written image, readable by
// everyone.
TEST_F(DataCdWindowTest, TheDiscHoldsExactlyWhatTheWindowLists)
{
    sources_ = testenv::makeTempDir("src");
    writeFile(sources_ + "/old.txt", "old");
    writeFile(sources_ + "/.notes", "hidden by name only");
    writeFile(sources_ + "/inner.txt", "inner");
    FakeFileDialogs dialogs;
    dialogs.chooseNext({QString::fromStdString(sources_ + "/old.txt")});
    window_->btn_addfileClick();
    ASSERT_EQ(window_->compilation().FileCount(), 1);

    // A new layout, not saved first, starts an empty disc.
    boxes_.answerNext(MessageAnswer::No);
    window_->btn_newClick();
    EXPECT_EQ(boxes_.texts(), QStringList{"The current CD playlist has not been saved. Save first?"});
    EXPECT_EQ(window_->compilation().FileCount(), 0);
    EXPECT_EQ(window_->compilation().TotalSize, 0);
    EXPECT_EQ(window_->lv->topLevelItemCount(), 0);
    ASSERT_EQ(window_->tv->topLevelItemCount(), 1);
    EXPECT_EQ(window_->tv->topLevelItem(0)->childCount(), 0);
    std::map<std::string, std::string> staged;
    ReadFolderTree(window_->compilation().stagingFolder(), "", &staged);
    EXPECT_TRUE(staged.empty());
    EXPECT_EQ(window_->tb->position(), 0);

    dialogs.chooseNext({QString::fromStdString(sources_ + "/.notes")});
    window_->btn_addfileClick();
    typeInFolderPrompt("Docs");
    window_->CreateNewFolder1Click();
    CompilationFolder* docs = window_->compilation().childNamed(window_->compilation().root(), "Docs");
    ASSERT_TRUE(docs);
    window_->selectFolder(docs);
    dialogs.chooseNext({QString::fromStdString(sources_ + "/inner.txt")});
    window_->btn_addfileClick();
    window_->selectFolder(window_->compilation().root());
    EXPECT_EQ(window_->lv->topLevelItem(0)->text(0), ".notes");

    boxes_.clear();
    ASSERT_TRUE(writeAndWait());
    EXPECT_EQ(boxes_.texts(), QStringList{"CD burn Complete!"});
    IsoContents iso = ReadIso(window_->DataCDWriter.imagePath().toStdString());
    const std::map<std::string, std::string> want = {
        {"/.notes", "hidden by name only"}, {"/Docs/", ""}, {"/Docs/inner.txt", "inner"}};
    EXPECT_EQ(iso.entries, want);
    EXPECT_EQ(iso.modes["/Docs/"], 0755u) << "everyone can open the disc's folders";
    struct stat st {};
    ASSERT_EQ(stat(window_->compilation().stagingFolder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "the staging root stays private";
    EXPECT_FALSE(window_->btn_cancel->isEnabled()) << "Cancel is off while idle";
}

TEST_F(DataCdWindowTest, AFolderAndAFileNeverShareAName)
{
    stage("Music", "a file");
    stage("song.mp3", "song");
    typeInFolderPrompt("Music");
    window_->CreateNewFolder1Click();
    EXPECT_EQ(boxes_.texts(), QStringList{"Same-named-file already exists! Please rename your folder!"});
    EXPECT_EQ(window_->compilation().root()->children.size(), 0u);

    // A folder renamed to a staged file's name.
    typeInFolderPrompt("Other");
    window_->CreateNewFolder1Click();
    CompilationFolder* album = window_->compilation().childNamed(window_->compilation().root(), "Other");
    ASSERT_TRUE(album);
    stage("Album", "another file");
    window_->selectFolder(album);
    typeInFolderPrompt("Album");
    boxes_.clear();
    window_->RenameFolder1Click();
    EXPECT_EQ(boxes_.texts(), QStringList{"Same-named-file already exists! Please rename your folder!"});
    EXPECT_EQ(album->name, "Other");
    EXPECT_EQ(window_->tv->topLevelItem(0)->child(0)->text(0), "Other");
    EXPECT_EQ(testenv::readFile(window_->compilation().stagingFolder() + "/Album"), "another file");

    // And the reverse: a file renamed to a folder's name. The copy keeps
    // its extension, so song.mp3 renamed "Other" is Other.mp3: no clash.
    window_->selectFolder(window_->compilation().root());
    QTreeWidgetItem* song = window_->lv->findItems("song.mp3", Qt::MatchExactly).value(0);
    ASSERT_TRUE(song);
    song->setSelected(true);
    window_->RenameFile2Click();
    window_->edt_name->setText("Other");
    boxes_.clear();
    window_->edt_nameExit();
    EXPECT_TRUE(boxes_.texts().isEmpty());
    EXPECT_EQ(testenv::readFile(window_->compilation().stagingFolder() + "/Other.mp3"), "song");
    stage("plain", "no extension");
    window_->tvClick();
    QTreeWidgetItem* plain = window_->lv->findItems("plain", Qt::MatchExactly).value(0);
    ASSERT_TRUE(plain);
    window_->lv->clearSelection();
    plain->setSelected(true);
    window_->RenameFile2Click();
    window_->edt_name->setText("Other");
    window_->edt_nameExit();
    EXPECT_EQ(boxes_.texts(), QStringList{"Same-named-folder already exists! Please rename your file!"});
    EXPECT_EQ(testenv::readFile(window_->compilation().stagingFolder() + "/plain"), "no extension");
    EXPECT_EQ(plain->text(0), "plain");
}

TEST_F(DataCdWindowTest, AddPathAsksWithItsOwnBoxAndNeverWalksTheStagingFolder)
{
    const std::string top = testenv::makeTempDir("addpath");
    mkdir((top + "/sub").c_str(), 0755);
    writeFile(top + "/a.txt", "a");
    writeFile(top + "/sub/b.txt", "b");
    FakeChooser chooser;
    chooser.folder = QString::fromStdString(top);
    chooser.includeSubfolders = false;
    IniFile().writeBool("Basic", "subdir", true);  // last set in another window
    SetDiscToolServices(&chooser);
    window_->Adddir1Click();
    EXPECT_EQ(chooser.prompt, "Please select the folder you want to add.");
    EXPECT_EQ(window_->compilation().FileCount(), 1) << "the box said: no subfolders";
    chooser.includeSubfolders = true;
    boxes_.answerNext(MessageAnswer::Yes);
    window_->Adddir1Click();
    EXPECT_EQ(window_->compilation().FileCount(), 2);

    // The data root holds the staging folder: dropped or added, it is
    // walked without the staging folder, which would mirror itself.
    const std::string dataRoot = ParentFolder(window_->compilation().stagingFolder());
    writeFile(dataRoot + "/beside.txt", "beside");
    window_->dropNames({QString::fromStdString(dataRoot)});
    std::function<int(const CompilationFolder*)> depth = [&](const CompilationFolder* f) {
        int deepest = 0;
        for (const auto& c : f->children) {
            EXPECT_NE(c->name, "burnquilltemp");
            deepest = std::max(deepest, depth(c.get()));
        }
        return deepest + 1;
    };
    EXPECT_LE(depth(window_->compilation().root()), 4);
    const int before = window_->compilation().FileCount();
    chooser.folder = QString::fromStdString(dataRoot);
    window_->selectFolder(window_->compilation().root());
    window_->Adddir1Click();
    for (const auto& record : window_->compilation().records())
        EXPECT_FALSE(window_->compilation().isInsideStaging(record.SourcePath)) << record.SourcePath;
    EXPECT_GT(window_->compilation().FileCount(), before);
    // The staging folder itself, dropped, adds nothing.
    boxes_.clear();
    const int all = window_->compilation().FileCount();
    window_->dropNames({QString::fromStdString(window_->compilation().stagingFolder())});
    EXPECT_EQ(window_->compilation().FileCount(), all);
    EXPECT_EQ(boxes_.texts().size(), 1);
    SetDiscToolServices(nullptr);
}

TEST_F(DataCdWindowTest, WhileFilesAreAddedNothingElseMayChangeTheCompilation)
{
    sources_ = testenv::makeTempDir("src");
    writeFile(sources_ + "/one.txt", "1");
    writeFile(sources_ + "/two.txt", "22");
    stage("zero.txt", "0");
    const int before = window_->compilation().FileCount();
    std::map<std::string, bool> seen;
    boxes_.setHandler([&](const MessageRequest&) {
        // Asked in the middle of the add: every command that could change,
        // save, write or erase is off, and a click that slips through does
        // nothing.
        seen["write"] = window_->btn_write->isEnabled();
        seen["add"] = window_->btn_addfile->isEnabled();
        seen["clear"] = window_->btn_clear->isEnabled();
        seen["file menu"] = window_->File1->isEnabled();
        seen["burner menu"] = window_->CDRecorder1->isEnabled();
        seen["cancel"] = window_->btn_cancel->isEnabled();
        window_->btn_newClick();
        window_->btn_writeClick();
        window_->RemoveFolder1Click();
        return MessageAnswer::Yes;
    });
    FakeFileDialogs dialogs;
    dialogs.chooseNext({QString::fromStdString(sources_ + "/missing.txt"), QString::fromStdString(sources_ + "/one.txt"),
                        QString::fromStdString(sources_ + "/two.txt")});
    window_->btn_addfileClick();
    const std::map<std::string, bool> want = {{"write", false},      {"add", false},         {"clear", false},
                                              {"file menu", false}, {"burner menu", false}, {"cancel", true}};
    EXPECT_EQ(seen, want);
    EXPECT_EQ(window_->compilation().FileCount(), before + 2);
    EXPECT_FALSE(window_->IsWriting);
    EXPECT_TRUE(window_->File1->isEnabled());
    EXPECT_TRUE(window_->btn_write->isEnabled());
    EXPECT_FALSE(window_->btn_cancel->isEnabled()) << "Cancel is off again once the add ends";
}

TEST_F(DataCdWindowTest, AProblemThatRepeatsIsAskedAboutOnce)
{
    // A list of many files that are gone: one question, and Yes passes
    // over the rest without asking.
    sources_ = testenv::makeTempDir("src");
    writeFile(sources_ + "/here.txt", "here");
    const std::string list = sources_ + "/gone.cfl";
    {
        std::ofstream out(list, std::ios::binary);
        for (int i = 0; i < 2000; ++i)
            out << sources_ << "/gone" << i << ".txt\r\n";
        out << sources_ << "/here.txt\r\n";
    }
    FakeFileDialogs dialogs;
    dialogs.chooseNext({QString::fromStdString(list)});
    boxes_.answerNext(MessageAnswer::Yes);
    window_->btn_openClick();
    ASSERT_EQ(boxes_.texts().size(), 1);
    EXPECT_TRUE(boxes_.texts().first().startsWith(QString::fromStdString(sources_ + "/gone0.txt has been removed!")));
    EXPECT_EQ(boxes_.requests().front().buttons, MessageButtons::YesNo);
    EXPECT_EQ(window_->compilation().FileCount(), 1) << "the file after them is added";
    EXPECT_TRUE(window_->stbPanel0->text().startsWith("Finish loading from file.")) << window_->stbPanel0->text().toStdString();

    // No stops the whole load.
    window_->btn_newClick();
    boxes_.clear();
    dialogs.chooseNext({QString::fromStdString(list)});
    boxes_.answerNext(MessageAnswer::No);
    window_->btn_openClick();
    EXPECT_EQ(boxes_.texts().size(), 1);
    EXPECT_EQ(window_->compilation().FileCount(), 0);

    // A single file that is gone is simply told.
    boxes_.clear();
    dialogs.chooseNext({QString::fromStdString(sources_ + "/gone1.txt")});
    window_->btn_addfileClick();
    EXPECT_EQ(boxes_.texts(), QStringList{QString::fromStdString(sources_ + "/gone1.txt has been removed!")});
    EXPECT_EQ(boxes_.requests().front().buttons, MessageButtons::Ok);
}

TEST_F(DataCdWindowTest, NothingIsCutAndTheSizeMarksSitUnderTheirTicks)
{
    window_->show();
    QApplication::processEvents();
    EXPECT_FALSE(window_->btn_cancel->isEnabled()) << "Cancel is off while idle";
    const int marks[] = {0, 200, 400, 600, 700, 800};
    int i = 0;
    for (QLabel* label : window_->findChildren<QLabel*>()) {
        if (!QRegularExpression("^[0-9]+MB$").match(label->text()).hasMatch())
            continue;
        const int value = label->text().chopped(2).toInt();
        EXPECT_EQ(value, marks[i++]);
        const int tick = window_->tb->x() + window_->tb->tickAt(value);
        const QRect r = label->geometry();
        EXPECT_TRUE(r.left() <= tick && tick <= r.right()) << label->text().toStdString();
        if (value > 0 && value < 800)
            EXPECT_LE(std::abs(r.center().x() - tick), 2) << label->text().toStdString();
        EXPECT_GE(r.width(), label->sizeHint().width());
    }
    EXPECT_EQ(i, 6);
    for (QComboBox* combo : {window_->cb_writespeed, window_->cb_drive})
        EXPECT_GE(combo->width(), combo->sizeHint().width()) << combo->currentText().toStdString();
    // A row as Add Path makes it, with the time beside the date.
    const std::string folder = testenv::makeTempDir("looks");
    writeFile(folder + "/a rather long file name.txt", "a");
    window_->adder().addPath(folder, false, window_->compilation().root());
    QTreeWidgetItem* row = window_->lv->topLevelItem(0);
    ASSERT_TRUE(row);
    for (int column = 1; column < 3; ++column)
        EXPECT_GE(window_->lv->header()->sectionSize(column),
                  window_->lv->fontMetrics().horizontalAdvance(row->text(column)) + 8)
            << column;
    EXPECT_GE(window_->lv->viewport()->width(), window_->lv->header()->length())
        << "the date column is not pushed out of sight";
}

TEST(DataCdDialogsTest, SettingsRoundTripAndNameChecks)
{
    FakeMessageBoxes boxes;
    Tfm_recsett settings;
    settings.FormShow();
    EXPECT_TRUE(settings.cb_joliet->isChecked());
    EXPECT_FALSE(settings.cd_mode->isChecked());
    EXPECT_FALSE(settings.cd_finalize->isChecked());
    settings.cb_joliet->setChecked(false);
    settings.cd_finalize->setChecked(true);
    settings.btn_settcancelClick();
    EXPECT_TRUE(IniFile().readBool("Data CD Burner", "joliet", true)) << "Cancel writes nothing";
    settings.cb_joliet->setChecked(false);
    settings.cd_finalize->setChecked(true);
    settings.btn_settokClick();
    settings.FormShow();
    EXPECT_FALSE(settings.cb_joliet->isChecked());
    EXPECT_TRUE(settings.cd_finalize->isChecked());
    EXPECT_FALSE(IniFile().readBool("Data CD Burner", "joliet", true));
    IniFile().writeBool("Data CD Burner", "joliet", true);

    Tfm_erase erase;
    for (bool audio : {false, true}) {
        erase.UseAudioWriter = audio;
        erase.rb_fullClick();
        erase.FormShow();
        EXPECT_TRUE(erase.rb_full->isChecked());
        erase.rb_quickClick();
        erase.FormShow();
        EXPECT_TRUE(erase.rb_quick->isChecked());
    }

    Tfm_newfolder name;
    name.FolderName = "Old";
    name.TakenNames = {"Taken"};
    const std::pair<QString, QString> refusals[] = {
        {"a/b", "* ? | : \" \\ / < > are illegal in file name."},
        {"", "Please enter the name of your new folder!"},
        {"..", "Please enter the name of your new folder!"},
        {".", "Please enter the name of your new folder!"},
        {"Taken", "The same-named-folder already exists!"},
    };
    for (const auto& [text, message] : refusals) {
        boxes.clear();
        name.edt_name->setText(text);
        name.btn_okClick();
        EXPECT_EQ(boxes.texts(), QStringList{message}) << text.toStdString();
        EXPECT_EQ(name.FolderName, "Old");
    }
    EXPECT_EQ(name.edt_name->text(), "Taken");
    name.edt_name->setText("a/b");
    name.btn_okClick();
    EXPECT_EQ(name.edt_name->text(), "Old") << "the previous name comes back";
    name.edt_name->setText("New");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(name.edt_name, &enter);
    EXPECT_EQ(name.FolderName, "New") << "Enter acts as Ok";

    EXPECT_EQ(DiscMegabytes(734003200), "700.000 MB");
    EXPECT_EQ(DiscMegabytes(int64_t(5) << 30), "5120.000 MB") << "sizes beyond 32 bits";
}

// A writer window whose erase ends in an error.
class FailingEraseSide : public EraseSide {
public:
    bool error = false;
    int percent = 0;
    bool seen = false;
    QString status;
    EraseNotifier notifier;
    bool writerError() const override { return error; }
    void setWriterError(bool on) override { error = on; }
    int erasePercent() const override { return percent; }
    void setErasePercent(int p) override { percent = p; }
    bool progressSeen() const override { return seen; }
    void setProgressSeen(bool on) override { seen = on; }
    void setEraseStatus(const QString& text) override { status = text; }
    void eraseDisc(bool) override
    {
        QTimer::singleShot(10, [this] {
            percent = 40;
            seen = true;
            emit notifier.changed();
        });
        QTimer::singleShot(30, [this] {
            error = true;
            emit notifier.changed();
        });
    }
    void refreshWriter() override {}
    void cycleWriterIndexes() override {}
    EraseNotifier* eraseNotifier() override { return &notifier; }
};

TEST(DataCdDialogsTest, TheEraseWaitEndsOnAnErrorWithoutCompleting)
{
    FakeMessageBoxes boxes;
    FailingEraseSide side;
    side.percent = 100;  // left from an earlier erase
    Tfm_erase erase;
    erase.DataWriterSide = &side;
    erase.UseAudioWriter = false;
    erase.btn_eraseClick();
    EXPECT_TRUE(boxes.texts().isEmpty()) << "no \"Erase Complete!\" after an error";
    EXPECT_EQ(side.status, "Idle");
    EXPECT_FALSE(side.error);
    EXPECT_TRUE(erase.btn_erase->isEnabled());
}

}  // namespace
