// The audio CD writer window: its list and its arithmetic, the CD file
// list, the order in which it takes the writer's events (on a scripted
// recorder, errors in the middle included), the cache conversion into a
// private folder that goes on every way out, and a real write to an image.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <sys/stat.h>

#include "audiotestutil.h"
#include "components/discwriter/audiodiscwriter.h"
#include "disc/cdaudioburner.h"
#include "disc/discwindows.h"
#include "disc/erase.h"
#include "disc/option.h"
#include "skin/menu.h"
#include "fakerecorder.h"
#include "platform/fakes.h"
#include "platform/inifile.h"
#include "platform/paths.h"
#include "skin/progressbar.h"
#include "testenv.h"
#include "windowkit/disctoolservices.h"
#include "windowkit/toolcontrols.h"

namespace fs = std::filesystem;

namespace {

using ScriptedAudioWriter = ScriptedRecorder<AudioDiscWriter>;
using Step = ScriptedAudioWriter::Step;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// What the first of a kind of problem asks when more files follow.
const QString kGoOn =
    QStringLiteral("\n\nGo on with the other files? Any more like this one are then passed over without asking.");

class AudioCdWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove(SettingsFilePath());
        dir = testenv::makeTempDir("cdw");
        tmp = testenv::makeTempDir("cdtmp");
        qputenv("TMPDIR", QByteArray::fromStdString(tmp));
        window = new Tfm_cdaudioburner;
    }
    void TearDown() override {
        delete window;
        qunsetenv("TMPDIR");
    }

    // A window on a scripted recorder with one recorder and a blank disc.
    ScriptedAudioWriter* scripted() {
        auto* writer = new ScriptedAudioWriter;
        writer->recorders = {"ACME |Burner |1.0"};
        writer->disc.type = DiscRecorder::Erasable;
        writer->disc.status = DiscRecorder::Blank;
        window->setWriter(writer);
        return writer;
    }
    QString tone(const std::string& name, double seconds, int rate = 44100, int channels = 2) {
        audiotest::encode(dir + "/" + name, audiotest::sine(rate, channels, seconds, {440}), rate, channels);
        return Q(dir + "/" + name);
    }
    QStringList column(int c) const {
        QStringList texts;
        for (int row = 0; row < window->lv->rowCount(); ++row) texts << window->lv->item(row, c)->text();
        return texts;
    }
    void addFiles(const QStringList& files) {
        dialogs.chooseNext(files);
        window->btn_fileClick();
    }
    void waitFor(const std::function<bool()>& done, int ms = 30000) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_TRUE(done());
    }
    // The commands that write, erase, save or change the list, in the menus,
    // the popup and the buttons, that are on now.
    QStringList listCommandsOn() const {
        QStringList on;
        for (QAction* command : {window->New1, window->Open1, window->Save1, window->WriteCD1, window->EraseCDRW1,
                                 window->AddFile1, window->AddPath1, window->RemoveFileRecord1, window->RemoveAll1,
                                 window->MoveUp1, window->MoveDown1})
            if (command->isEnabled()) on << command->text();
        for (QAction* command : window->pm->actions())
            if (!command->isSeparator() && command->isEnabled()) on << "popup " + command->text();
        for (QPushButton* button : {window->btn_file, window->btn_delete, window->btn_up, window->btn_down, window->btn_write})
            if (button->isEnabled()) on << "button " + button->text();
        return on;
    }
    std::vector<std::string> leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(tmp)) names.push_back(entry.path().filename().string());
        return names;
    }

    std::string dir, tmp;
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    FakeWindowPresenter presenter;
    Tfm_cdaudioburner* window = nullptr;
};

}  // namespace

TEST(AudioCdTexts, TotalsAndRowTimes) {
    EXPECT_EQ(AudioCdTotalText(0), "00:00:00 / 01:14:00");
    EXPECT_EQ(AudioCdTotalText(AudioCdMaxSeconds), "01:14:00 / 01:14:00");
    EXPECT_EQ(AudioCdTotalText(3 * 3600 + 61), "03:01:01 / 01:14:00");
    EXPECT_EQ(AudioCdRowTime(205), "03:25");
    EXPECT_EQ(AudioCdRowTime(6100), "101:40");
}

TEST_F(AudioCdWindowTest, ShowListsRecordersAndSpeedsAndTellsAScanFailure) {
    auto* writer = scripted();
    writer->disc.speeds = {4, 16, 48};
    IniFile().writeInteger("Audio CD Burner", "write speed", 1);
    window->FormShow();
    EXPECT_EQ(window->cb_drive->itemText(0), "ACME Burner 1.0");
    ASSERT_EQ(window->cb_writespeed->count(), 3);
    EXPECT_EQ(window->cb_writespeed->currentText(), "16");
    EXPECT_EQ(window->statusText(), "Idle");
    EXPECT_TRUE(boxes.texts().isEmpty());

    // A recorder that reads back no speed gives 64 .. 1 with "54" chosen;
    // a scan that fails is told once, under its own caption.
    writer->disc.speeds.clear();
    writer->readFailure = {DiscRecorder::NoRecorder, "gone"};
    window->FormShow();
    EXPECT_EQ(window->cb_writespeed->count(), 64);
    EXPECT_EQ(window->cb_writespeed->currentText(), "54");
    ASSERT_EQ(boxes.texts(), QStringList{"Compliant CD-RW recorders not found! (Some old recordres not supported)"});
    EXPECT_EQ(boxes.titles(), QStringList{"Scanning IDE/SCSI buses error"});
    EXPECT_FALSE(window->WriterError);
    EXPECT_TRUE(window->btn_file->isEnabled());
    EXPECT_FALSE(window->btn_cancel->isEnabled());
}

TEST_F(AudioCdWindowTest, ListArithmeticReorderingAndTheCdFileList) {
    scripted();
    window->FormShow();
    const QString a = tone("a.wav", 3.5), b = tone("b.mp3", 2.2, 48000), c = tone("c.ogg", 5.0, 22050, 1);
    ASSERT_EQ(::mkfifo((dir + "/fifo.wav").c_str(), 0600), 0);
    testenv::writeFile(dir + "/text.wav", "no audio here");
    addFiles({a, Q(dir + "/gone.wav"), Q(dir + "/fifo.wav"), Q(dir + "/text.wav"), b, c, Q(dir)});
    EXPECT_EQ(column(0), (QStringList{"Track 01", "Track 02", "Track 03"}));
    EXPECT_EQ(column(1), (QStringList{a, b, c}));
    EXPECT_EQ(column(2), (QStringList{"00:03", "00:02", "00:05"}));
    EXPECT_EQ(window->TotalSeconds, 10);
    // One question for each kind of problem; Yes passes over text.wav, which
    // fails as the FIFO did, without asking.
    EXPECT_EQ(window->statusText(), "00:00:10 / 01:14:00 1 more files passed over.");
    EXPECT_EQ(boxes.texts(), (QStringList{Q(dir + "/gone.wav") + " has been removed!" + kGoOn,
                                          Q(dir + "/fifo.wav") + " is an invalid audio file!" + kGoOn}));
    EXPECT_EQ(boxes.titles(), (QStringList{"Error", "Error"}));
    EXPECT_FALSE(window->ListSaved);

    // The block of rows 2 and 3 moves up; the first row cannot.
    window->lv->clearSelection();
    window->lv->selectRow(1);
    window->lv->item(2, 0)->setSelected(true);
    window->btn_upClick();
    EXPECT_EQ(column(1), (QStringList{b, c, a}));
    EXPECT_EQ(column(0), (QStringList{"Track 01", "Track 02", "Track 03"}));
    window->btn_upClick();
    EXPECT_EQ(column(1), (QStringList{b, c, a}));
    window->btn_downClick();
    EXPECT_EQ(column(1), (QStringList{a, b, c}));

    // Saving as mylist.txt writes mylist.cfl, CR LF, in list order.
    dialogs.chooseNext({Q(dir + "/mylist.txt")});
    window->btn_saveClick();
    EXPECT_EQ(testenv::readFile(dir + "/mylist.cfl"), (a + "\r\n" + b + "\r\n" + c + "\r\n").toStdString());
    EXPECT_TRUE(window->ListSaved);

    // Removing the 5-second row lowers the total by its own seconds.
    window->lv->clearSelection();
    window->lv->selectRow(2);
    window->btn_deleteClick();
    EXPECT_EQ(window->TotalSeconds, 5);
    EXPECT_EQ(column(0), (QStringList{"Track 01", "Track 02"}));

    // A list from elsewhere: the good lines load, a FIFO and a device are
    // never opened, and the total starts again from 0.
    testenv::writeFile(dir + "/other.cfl", (c + "\n" + Q(dir + "/fifo.wav") + "\r\n/dev/zero\r\n" +
                                            Q(dir + "/gone.wav") + "\r\n" + a + "\r\n")
                                               .toStdString());
    boxes.clear();
    boxes.answerNext(MessageAnswer::No);  // not saved: no, do not save first
    dialogs.chooseNext({Q(dir + "/other.cfl")});
    window->btn_openClick();
    EXPECT_EQ(boxes.texts().first(), "The current CD playlist has not been saved. Save first?");
    EXPECT_EQ(column(1), (QStringList{c, a}));
    EXPECT_EQ(window->TotalSeconds, 8);
    EXPECT_EQ(boxes.texts(), (QStringList{"The current CD playlist has not been saved. Save first?",
                                          Q(dir + "/fifo.wav") + " is an invalid Audio file!" + kGoOn,
                                          Q(dir + "/gone.wav") + " has been removed!" + kGoOn}))
        << "/dev/zero is passed over as the FIFO was";
    EXPECT_EQ(window->statusText(), "00:00:08 / 01:14:00 1 more files passed over.");
    EXPECT_TRUE(window->ListSaved);

    boxes.clear();
    window->RemoveAll1Click();
    EXPECT_EQ(window->lv->rowCount(), 0);
    EXPECT_EQ(window->statusText(), "00:00:00/ 01:14:00");
    EXPECT_EQ(window->TotalSeconds, 0);
}

// The box about a missing file comes in the middle of an add; the user
// reaches for every command then, as between two files.
TEST_F(AudioCdWindowTest, WhileFilesAreAddedNothingWritesErasesSavesOrChangesTheList) {
    auto* writer = scripted();
    writer->writeScript = ScriptedAudioWriter::goodWrite(1);
    window->FormShow();
    const QString a = tone("a.wav", 1.0), b = tone("b.wav", 1.0), c = tone("c.wav", 1.0);
    QStringList onWhileAdding;
    bool cancelOn = false, exitOn = true, writeStarted = true;
    boxes.setHandler([&](const MessageRequest&) {
        onWhileAdding = listCommandsOn();
        cancelOn = window->btn_cancel->isEnabled();
        exitOn = window->Exit1->isEnabled() || window->btn_close->isEnabled();
        window->WriteCD1->trigger();
        writeStarted = window->ConversionRunning() || window->IsWriting;
        window->lv->selectRow(0);
        QTest::keyClick(window->lv, Qt::Key_Delete);
        return MessageAnswer::Yes;
    });
    addFiles({a, Q(dir + "/gone.wav"), b, c});
    boxes.setHandler({});
    EXPECT_EQ(onWhileAdding.join(", ").toStdString(), "");
    EXPECT_TRUE(cancelOn);
    EXPECT_FALSE(exitOn);
    EXPECT_FALSE(writeStarted);
    EXPECT_FALSE(window->IsWriting || window->ConversionRunning());
    EXPECT_FALSE(writer->calls.join(' ').contains("write speed")) << "nothing was written";
    EXPECT_EQ(column(1), (QStringList{a, b, c})) << "every file is in the list";
    EXPECT_EQ(boxes.texts(), QStringList{Q(dir + "/gone.wav") + " has been removed!" + kGoOn});
    EXPECT_EQ(listCommandsOn().size(), 11 + 6 + 5) << "all back on after the add";
    EXPECT_FALSE(window->btn_cancel->isEnabled());

    // A CD file list loads the same way.
    window->ListSaved = true;
    testenv::writeFile(dir + "/l.cfl", (a + "\r\n" + Q(dir + "/gone.wav") + "\r\n" + b + "\r\n").toStdString());
    boxes.setHandler([&](const MessageRequest&) {
        onWhileAdding = listCommandsOn();
        return MessageAnswer::Yes;
    });
    dialogs.chooseNext({Q(dir + "/l.cfl")});
    window->btn_openClick();
    boxes.setHandler({});
    EXPECT_EQ(onWhileAdding.join(", ").toStdString(), "");
    EXPECT_EQ(column(1), (QStringList{a, b}));
}

// Delete, Tab, Shift+F10 and the Menu key in the list, as a user types them.
TEST_F(AudioCdWindowTest, TheListTakesDeleteTabAndTheMenuKeys) {
    auto* writer = scripted();
    window->FormShow();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    const QString a = tone("a.wav", 3.0), b = tone("b.wav", 2.0), c = tone("c.wav", 5.0);
    addFiles({a, b, c});
    QTableWidget* lv = window->lv;
    lv->setFocus();
    lv->selectRow(1);
    QTest::keyClick(lv, Qt::Key_Delete);
    EXPECT_EQ(column(1), (QStringList{a, c}));
    EXPECT_EQ(column(0), (QStringList{"Track 01", "Track 02"}));
    EXPECT_EQ(window->TotalSeconds, 8);

    for (const auto& [key, modifiers] : {std::pair{Qt::Key_F10, Qt::ShiftModifier}, std::pair{Qt::Key_Menu, Qt::NoModifier}}) {
        lv->clearSelection();
        lv->selectRow(1);
        QTest::keyClick(lv, key, modifiers);
        ASSERT_TRUE(window->pm->isVisible()) << "key " << key;
        const QRect row = lv->visualRect(lv->model()->index(1, 0));
        const QPoint top = lv->viewport()->mapToGlobal(row.topLeft());
        EXPECT_GE(window->pm->pos().y(), top.y());
        EXPECT_LE(window->pm->pos().y(), top.y() + row.height());
        // X makes a context menu event of its own from the Menu key, at
        // the current cell; the menu stays where the key put it.
        const QPoint at = window->pm->pos();
        const QPoint cell = lv->visualRect(lv->model()->index(0, 2)).center();
        QContextMenuEvent platform(QContextMenuEvent::Keyboard, cell, lv->viewport()->mapToGlobal(cell));
        QCoreApplication::sendEvent(lv, &platform);
        EXPECT_EQ(window->pm->pos(), at);
        window->pm->hide();
    }

    // Tab goes on to the next control, not to the next cell.
    lv->setFocus();
    lv->setCurrentCell(0, 0);
    QTest::keyClick(lv, Qt::Key_Tab);
    EXPECT_EQ(lv->currentColumn(), 0);
    EXPECT_NE(window->focusWidget(), lv);
    lv->setFocus();
    QTest::keyClick(lv, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_NE(window->focusWidget(), lv);

    // While a burn runs the list keeps its rows and its popup closed.
    IniFile().writeBool("Audio CD Burner", "cache", false);
    writer->writeScript = {Step{2, 1, 0}, Step{2, 2, 50, 0, false, true}, Step{3, 0, 100, 0, true}};
    window->btn_writeClick();
    ASSERT_TRUE(window->IsWriting);
    lv->setFocus();
    lv->selectRow(0);
    QTest::keyClick(lv, Qt::Key_Delete);
    QTest::keyClick(lv, Qt::Key_Menu);
    EXPECT_EQ(lv->rowCount(), 2);
    EXPECT_FALSE(window->pm->isVisible());
    boxes.answerNext(MessageAnswer::Yes);
    window->btn_cancelClick();
    EXPECT_FALSE(window->IsWriting);
}

// A list from a machine whose music has moved: every entry is gone but the
// first and the last.
TEST_F(AudioCdWindowTest, AListOfManyMissingFilesAsksOnceAndNoStopsTheLoad) {
    scripted();
    window->FormShow();
    const QString first = tone("first.wav", 2.0), last = tone("last.wav", 3.0);
    constexpr int kMissing = 20000;
    QString list = first + "\r\n";
    for (int i = 0; i < kMissing; ++i) list += Q(dir + "/moved/track" + std::to_string(i) + ".mp3") + "\r\n";
    list += last + "\r\n";
    testenv::writeFile(dir + "/moved.cfl", list.toStdString());

    // Yes: the rest are passed over unasked, and the status counts them.
    dialogs.chooseNext({Q(dir + "/moved.cfl")});
    window->btn_openClick();
    ASSERT_EQ(boxes.requests().size(), 1u);
    EXPECT_EQ(boxes.texts().first(), Q(dir + "/moved/track0.mp3") + " has been removed!" + kGoOn);
    EXPECT_EQ(boxes.requests().front().buttons, MessageButtons::YesNo);
    EXPECT_EQ(boxes.titles(), QStringList{"Information"});
    EXPECT_EQ(column(1), (QStringList{first, last}));
    EXPECT_EQ(window->statusText(), QStringLiteral("00:00:05 / 01:14:00 %1 more files passed over.").arg(kMissing - 1));
    EXPECT_TRUE(window->btn_file->isEnabled());

    // No: the load stops at the first missing entry.
    boxes.clear();
    boxes.answerNext(MessageAnswer::No);
    dialogs.chooseNext({Q(dir + "/moved.cfl")});
    window->btn_openClick();
    EXPECT_EQ(boxes.requests().size(), 1u);
    EXPECT_EQ(column(1), QStringList{first});
    EXPECT_EQ(window->statusText(), "00:00:02 / 01:14:00");

    // Nothing follows a list's only or last name: the plain OK box.
    for (const QString& names : {Q(dir + "/gone.wav"), first + "\r\n" + Q(dir + "/gone.wav")}) {
        testenv::writeFile(dir + "/short.cfl", (names + "\r\n").toStdString());
        boxes.clear();
        dialogs.chooseNext({Q(dir + "/short.cfl")});
        window->btn_openClick();
        EXPECT_EQ(boxes.texts(), QStringList{Q(dir + "/gone.wav") + " has been removed!"});
        EXPECT_EQ(boxes.requests().front().buttons, MessageButtons::Ok);
    }
}

// The folder chooser as the program offers it to the disc windows.
struct ChosenFolder : DiscToolServices {
    QString folder;
    QString chooseFolder(QWidget*) const override { return folder; }
    bool showEncoderSettings(QWidget*) const override { return false; }
};

// A folder of broken files, walked by Add Path, and a choice of several
// in Add File, ask once as well.
TEST_F(AudioCdWindowTest, AddsOfManyFilesThatCannotBeAddedAskOnce) {
    scripted();
    window->FormShow();
    const std::string broken = dir + "/broken";
    fs::create_directories(broken + "/sub");
    QStringList brokenFiles;
    for (int i = 0; i < 30; ++i) {
        const std::string name = broken + (i % 2 ? "/sub/" : "/") + "t" + std::to_string(i) + ".wav";
        testenv::writeFile(name, "no audio here");
        brokenFiles << Q(name);
    }
    const QString good = tone("broken/sub/good.wav", 1.0);
    ChosenFolder chooser;
    chooser.folder = Q(broken);
    SetDiscToolServices(&chooser);
    window->AddPath1Click();
    EXPECT_EQ(boxes.requests().size(), 1u);
    EXPECT_EQ(boxes.requests().front().buttons, MessageButtons::YesNo);
    EXPECT_EQ(column(1), QStringList{good});
    EXPECT_EQ(window->statusText(), "00:00:01 / 01:14:00 29 more files passed over.");

    // No ends the walk.
    boxes.clear();
    boxes.answerNext(MessageAnswer::No);
    window->AddPath1Click();
    EXPECT_EQ(boxes.requests().size(), 1u);
    EXPECT_TRUE(window->CancelAdding);
    SetDiscToolServices(nullptr);

    boxes.clear();
    window->lv->setRowCount(0);
    window->TotalSeconds = 0;
    addFiles(brokenFiles + QStringList{good});
    EXPECT_EQ(boxes.texts(), QStringList{brokenFiles.first() + " is an invalid audio file!" + kGoOn});
    EXPECT_EQ(window->statusText(), "00:00:01 / 01:14:00 29 more files passed over.");
    boxes.clear();
    boxes.answerNext(MessageAnswer::No);
    addFiles(brokenFiles + QStringList{good});
    EXPECT_EQ(boxes.requests().size(), 1u);
    EXPECT_EQ(window->lv->rowCount(), 1) << "No stops before the good file";
}

TEST_F(AudioCdWindowTest, DirectBurnFollowsTheWritersEventsAndKeepsTheListAfterAnError) {
    IniFile().writeBool("Audio CD Burner", "cache", false);
    auto* writer = scripted();
    window->FormShow();
    addFiles({tone("a.wav", 1.0), tone("b.wav", 1.0)});

    // Record what the user sees at every event.
    QStringList statuses;
    QObject::connect(writer, &DiscRecorder::onOperationProgress, window, [&](int) {
        if (statuses.isEmpty() || statuses.last() != window->statusText()) statuses << window->statusText();
    });

    writer->writeScript = {Step{2, 1, 0}, Step{2, 2, 20}, Step{2, 2, 30, DiscRecorder::WriteFailed}};
    window->btn_writeClick();
    EXPECT_TRUE(window->IsWriting);
    EXPECT_FALSE(window->btn_write->isEnabled());
    EXPECT_TRUE(window->btn_cancel->isEnabled());
    waitFor([&] { return !window->IsWriting; });
    EXPECT_EQ(statuses, (QStringList{"Filling buffer...", "Writing Track 01"}));
    EXPECT_EQ(boxes.texts(), QStringList{"Error! scripted error -4"}) << "the reason is in the text";
    EXPECT_EQ(window->statusText(), "Error!");
    EXPECT_EQ(window->lv->rowCount(), 2) << "the list is kept after a failed write";
    EXPECT_TRUE(writer->calls.contains("unlockTray"));
    EXPECT_TRUE(window->btn_write->isEnabled());
    EXPECT_TRUE(window->MainMenu->actions().first()->isEnabled());

    // A good write: phases per track, one final 100 %, then the list goes.
    boxes.clear();
    statuses.clear();
    writer->writeScript = ScriptedAudioWriter::goodWrite(2);
    writer->writeScript.insert(writer->writeScript.begin() + 1, Step{2, 0, 0, -101});  // a warning: ignored
    window->btn_writeClick();
    waitFor([&] { return !window->IsWriting; });
    EXPECT_EQ(statuses, (QStringList{"Filling buffer...", "Writing Track 01", "Closing Track 01", "Filling buffer...",
                                     "Writing Track 02", "Closing Track 02", "Finalising Disc...",
                                     "Complete the CD Burn progress!"}));
    EXPECT_EQ(boxes.texts(), QStringList{"Complete the CD Burn progress!"});
    EXPECT_EQ(window->statusText(), "Complete the CD Burn progress!");
    EXPECT_EQ(window->lv->rowCount(), 0);
    EXPECT_TRUE(writer->calls.contains("eject")) << "auto eject is on by default";
    EXPECT_TRUE(writer->calls.contains("write speed=0 test=0 finalize=1"));
}

TEST_F(AudioCdWindowTest, WriteRefusalsAndClosingWhileWriting) {
    IniFile().writeBool("Audio CD Burner", "cache", false);
    auto* writer = scripted();
    window->FormShow();
    window->btn_writeClick();
    EXPECT_EQ(boxes.texts(), QStringList{"No file to burn!"});

    addFiles({tone("a.wav", 1.0)});
    window->TotalSeconds = AudioCdMaxSeconds + 1;
    boxes.clear();
    window->btn_writeClick();
    EXPECT_EQ(boxes.texts(), QStringList{"The current files exceed the disc space. Please remove some files to continue."});
    window->TotalSeconds = AudioCdMaxSeconds;

    writer->disc.status = DiscRecorder::StatusUnknown;
    boxes.clear();
    window->btn_writeClick();
    EXPECT_EQ(boxes.texts(), QStringList{"Disc is not writable by this control! Please insert the CD-R or CD-RW disc."});
    writer->disc.status = DiscRecorder::Blank;

    // Refused by the recorder before it starts: said, and the list kept.
    writer->startFailure = {DiscRecorder::NotWritable, "closed"};
    boxes.clear();
    window->btn_writeClick();
    EXPECT_EQ(boxes.texts(), QStringList{"Error! closed"});
    EXPECT_FALSE(window->IsWriting);
    EXPECT_EQ(window->lv->rowCount(), 1);
    writer->startFailure = {};

    // While the burn runs the window stays open; Cancel aborts it.
    writer->writeScript = {Step{2, 1, 0}, Step{2, 2, 50, 0, false, true}, Step{3, 0, 100, 0, true}};
    window->show();
    window->btn_writeClick();
    boxes.clear();
    EXPECT_FALSE(window->close());
    EXPECT_EQ(boxes.texts(), QStringList{"Please stop your writing first!"});
    boxes.clear();
    window->btn_cancelClick();
    EXPECT_EQ(boxes.texts(), QStringList{"Are you sure to cancel your writing?"});
    EXPECT_FALSE(window->IsWriting);
    EXPECT_FALSE(writer->isBusy());
    EXPECT_EQ(window->statusText(), "Idle");
    EXPECT_EQ(window->lv->rowCount(), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes.texts().size(), 1) << "no event of the aborted burn arrives";
    EXPECT_TRUE(window->close());
    EXPECT_EQ(IniFile().readInteger("Audio CD Burner", "drive", -5), 0);
    EXPECT_TRUE(writer->calls.contains("release"));
}

TEST_F(AudioCdWindowTest, CacheConversionWritesARealImageAndLeavesNoTemporaryFiles) {
    const std::string images = testenv::makeTempDir("images");
    auto* writer = new AudioDiscWriter;
    writer->setDrivesListed(false);
    writer->setImageFolder(Q(images));
    window->setWriter(writer);
    window->FormShow();
    const QString a = tone("a.mp3", 1.5, 48000), b = tone("b.ogg", 2.0, 22050, 1), c = tone("c.wav", 1.0);
    addFiles({a, b, c});

    // The temporary WAVs are named after their tracks inside a private folder.
    QStringList seenTemporaries;
    QObject::connect(writer, &DiscRecorder::onOperationProgress, window, [&](int) {
        if (seenTemporaries.isEmpty()) seenTemporaries = window->TempWavNames;
    });
    window->btn_writeClick();
    EXPECT_TRUE(window->ConversionRunning());
    waitFor([&] { return !window->ConversionRunning() && !window->IsWriting; });
    EXPECT_EQ(boxes.texts(), QStringList{"Complete the CD Burn progress!"});
    ASSERT_EQ(seenTemporaries.size(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(QFileInfo(seenTemporaries[i]).fileName(), QStringLiteral("Track %1.wav").arg(i + 1));
    EXPECT_TRUE(QFileInfo(seenTemporaries[0]).absolutePath().startsWith(Q(tmp)));
    EXPECT_TRUE(leftovers().empty()) << "the private folder is gone";
    EXPECT_TRUE(fs::exists(images + "/Audio CD.cue"));
    EXPECT_EQ(window->lv->rowCount(), 0);

    // A second write finds the image closed before converting anything,
    // says so in its text, and the list stays.
    boxes.clear();
    addFiles({c});
    window->btn_writeClick();
    EXPECT_FALSE(window->ConversionRunning());
    EXPECT_FALSE(window->IsWriting);
    EXPECT_EQ(boxes.texts(), QStringList{ClosedDiscText()});
    EXPECT_EQ(window->lv->rowCount(), 1);
    EXPECT_TRUE(window->btn_write->isEnabled());
    EXPECT_TRUE(leftovers().empty());
}

// The cache decodes several files at once; what it hands the recorder is
// what the recorder makes of the files themselves, in list order, and its
// questions and messages still come row by row.
TEST_F(AudioCdWindowTest, TheCacheWritesWhatTheFilesThemselvesWouldAndTellsRowByRow) {
    const std::string cached = testenv::makeTempDir("cached"), direct = testenv::makeTempDir("direct");
    auto* writer = new AudioDiscWriter;
    writer->setDrivesListed(false);
    writer->setImageFolder(Q(cached));
    window->setWriter(writer);
    window->FormShow();
    const QStringList files = {tone("a.mp3", 2.5, 48000), tone("b.ogg", 1.2, 22050, 1), tone("c.wav", 3.0),
                               tone("d.wav", 1.0, 32000), tone("e.wav", 0.7)};
    const auto write = [&] {
        window->btn_writeClick();
        waitFor([&] { return !window->ConversionRunning() && !window->IsWriting; });
    };
    addFiles(files);
    write();
    ASSERT_EQ(boxes.texts(), QStringList{"Complete the CD Burn progress!"});
    IniFile().writeBool("Audio CD Burner", "cache", false);
    writer->setImageFolder(Q(direct));
    addFiles(files);
    boxes.clear();
    write();
    ASSERT_EQ(boxes.texts(), QStringList{"Complete the CD Burn progress!"});
    EXPECT_EQ(testenv::readFile(cached + "/Audio CD.bin"), testenv::readFile(direct + "/Audio CD.bin"));
    EXPECT_EQ(testenv::readFile(cached + "/Audio CD.cue"), testenv::readFile(direct + "/Audio CD.cue"));

    // A row that is no longer audio and one that went, after the list was
    // made: told and asked at their turns; Yes goes on with the rest.
    // A FIFO in place of a file is never opened.
    IniFile().writeBool("Audio CD Burner", "cache", true);
    writer->setImageFolder(Q(testenv::makeTempDir("third")));
    addFiles(files);
    testenv::writeFile(files[1].toStdString(), "no audio here any more");
    fs::remove(files[3].toStdString());
    fs::remove(files[4].toStdString());
    ASSERT_EQ(::mkfifo(files[4].toLocal8Bit().constData(), 0600), 0);
    boxes.clear();
    boxes.answerNext(MessageAnswer::Yes);
    write();
    EXPECT_EQ(boxes.texts(), (QStringList{"Failed to create CD quality WAV file!",
                                          files[3] + " has been removed. Continue?", "Failed to open file " + files[4],
                                          "Complete the CD Burn progress!"}));
    fs::remove(files[4].toStdString());
    tone("e.wav", 0.7);
    EXPECT_TRUE(leftovers().empty());

    // Answered No, the conversion ends there: what was converted ahead of
    // the answer is neither written nor left behind.
    const std::string fourth = testenv::makeTempDir("fourth");
    writer->setImageFolder(Q(fourth));
    const QString gone = tone("gone.wav", 1.0);
    addFiles({files[0], gone, files[2], files[4]});
    fs::remove(gone.toStdString());
    boxes.clear();
    boxes.answerNext(MessageAnswer::No);
    write();
    EXPECT_EQ(boxes.texts(), (QStringList{gone + " has been removed. Continue?", "Complete the CD Burn progress!"}));
    const std::string cue = testenv::readFile(fourth + "/Audio CD.cue");
    EXPECT_NE(cue.find("TRACK 01"), std::string::npos);
    EXPECT_EQ(cue.find("TRACK 02"), std::string::npos);
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(AudioCdWindowTest, AWriteOnASlowDriveSaysItWaitsAndAClosedDiscIsFoundFirst) {
    IniFile().writeBool("Audio CD Burner", "cache", true);
    auto* writer = scripted();
    window->FormShow();
    addFiles({tone("a.wav", 1.0)});
    const QString idle = window->statusText();
    QStringList seen;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, window, [&] {
        seen << window->statusText();
        if (seen.size() == 10) writer->driveHeld = false;
    });
    timer.start(10);
    writer->disc.status = DiscRecorder::Closed;
    writer->driveHeld = true;
    window->btn_writeClick();
    timer.stop();
    EXPECT_TRUE(seen.contains(DriveWaitText())) << seen.join('|').toStdString();
    EXPECT_EQ(window->statusText(), idle) << "the status comes back";
    EXPECT_EQ(boxes.texts(), QStringList{ClosedDiscText()});
    EXPECT_FALSE(window->ConversionRunning()) << "nothing is converted for a closed disc";
    EXPECT_TRUE(window->btn_write->isEnabled());
}

TEST_F(AudioCdWindowTest, CancelDuringTheConversionRemovesItsFilesAndKeepsTheList) {
    auto* writer = scripted();
    window->FormShow();
    const QString longTrack = tone("long.wav", 120.0, 22050, 1);
    addFiles({tone("a.wav", 1.0), longTrack});
    window->btn_writeClick();
    ASSERT_TRUE(window->ConversionRunning());
    // Wait until the second track is being converted, then cancel.
    waitFor([&] { return window->statusText() == "Preparing Track 2 for CD burning..."; });
    boxes.clear();
    window->btn_cancelClick();
    EXPECT_EQ(boxes.texts(), QStringList{"Are you sure to cancel your writing?"});
    waitFor([&] { return !window->ConversionRunning(); });
    EXPECT_EQ(window->statusText(), "Idle");
    EXPECT_TRUE(leftovers().empty());
    EXPECT_EQ(window->lv->rowCount(), 2);
    EXPECT_TRUE(window->btn_write->isEnabled());
    EXPECT_FALSE(writer->calls.join(' ').contains("write speed"));

    // A source that vanished before its turn: answered No, the conversion
    // ends and what was converted is still written.
    fs::remove(longTrack.toStdString());
    writer->writeScript = ScriptedAudioWriter::goodWrite(1);
    boxes.clear();
    boxes.answerNext(MessageAnswer::No);
    window->btn_writeClick();
    waitFor([&] { return !window->ConversionRunning() && !window->IsWriting; });
    EXPECT_EQ(boxes.texts(), (QStringList{longTrack + " has been removed. Continue?", "Complete the CD Burn progress!"}));
    EXPECT_TRUE(leftovers().empty());
}

// The conversion goes on while Cancel's question waits: answered after it
// has handed its tracks to the burn, Yes cancels the burn.
TEST_F(AudioCdWindowTest, CancelAnsweredAfterTheConversionEndedCancelsTheBurn) {
    auto* writer = scripted();
    std::vector<Step> steps = ScriptedAudioWriter::goodWrite(1);
    steps.front().waitGate = true;
    writer->writeScript = steps;
    window->FormShow();
    addFiles({tone("a.wav", 1.0), tone("b.wav", 1.0, 22050, 1)});
    window->btn_writeClick();
    ASSERT_TRUE(window->ConversionRunning());
    boxes.setHandler([&](const MessageRequest&) {
        waitFor([&] { return window->IsWriting; });
        return MessageAnswer::Yes;
    });
    window->btn_cancelClick();
    boxes.setHandler({});
    EXPECT_FALSE(window->IsWriting);
    EXPECT_TRUE(writer->calls.join(' ').contains("abort"));
    EXPECT_EQ(window->statusText(), "Idle");
    EXPECT_EQ(window->lv->rowCount(), 2);
    EXPECT_TRUE(window->btn_write->isEnabled());
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(AudioCdWindowTest, EraseChecksTheDiscAndTheDialogWaitsForThisErase) {
    auto* writer = scripted();
    window->FormShow();
    writer->disc.type = DiscRecorder::WriteOnce;
    window->EraseCDRW1Click();
    EXPECT_EQ(boxes.texts(), QStringList{"The CD does not support rewriting!"});
    EXPECT_EQ(boxes.titles(), QStringList{"Infirmation"});

    // A recorder that cannot be reached says why, in the details.
    writer->readFailure = {DiscRecorder::NoRecorder, "The disc in /dev/sr0 is mounted at /media/u/CD."};
    boxes.clear();
    window->EraseCDRW1Click();
    ASSERT_EQ(boxes.texts(), QStringList{"Disc is not erasable by this control! Please insert the CD-R or CD-RW disc."});
    EXPECT_EQ(boxes.requests().front().details, "The disc in /dev/sr0 is mounted at /media/u/CD.");
    EXPECT_FALSE(window->WriterError);

    writer->readFailure = {};
    writer->disc = {DiscRecorder::Erasable, DiscRecorder::Closed, {}};
    writer->eraseScript = {Step{1, 0, 40}, Step{1, 0, 100, 0, true}};
    fm_erase = new Tfm_erase;
    window->ErasePercent = 100;  // left from an earlier erase
    presenter.setModalHandler([&](QWidget* shown) {
        EXPECT_EQ(shown, fm_erase);
        EXPECT_TRUE(fm_erase->UseAudioWriter);
        EXPECT_EQ(window->ErasePercent, 0);
        fm_erase->FormShow();
        fm_erase->btn_eraseClick();
        return 1;
    });
    boxes.clear();
    window->EraseCDRW1Click();
    EXPECT_EQ(boxes.texts(), QStringList{"Erase Complete!"});
    EXPECT_EQ(window->ErasePercent, 100);
    EXPECT_TRUE(writer->lastQuick);
    EXPECT_EQ(window->statusText(), "Idle");
    // An erase that fails ends the dialog's wait without the completion
    // message; the reason is told instead.
    writer->eraseScript = {Step{1, 0, 10}, Step{1, 0, 0, DiscRecorder::EraseFailed}};
    boxes.clear();
    window->EraseCDRW1Click();
    EXPECT_EQ(boxes.texts(), QStringList{"Error! scripted error -8"});
    EXPECT_FALSE(window->WriterError);
    delete fm_erase;
    fm_erase = nullptr;
}

TEST_F(AudioCdWindowTest, OptionDialogKeepsItsTwoKeys) {
    Tfm_option option;
    option.FormShow();
    EXPECT_TRUE(option.cbx_eject->isChecked());
    EXPECT_TRUE(option.cbx_cache->isChecked());
    option.cbx_cache->setChecked(false);
    option.btn_cancelClick();
    EXPECT_TRUE(IniFile().readBool("Audio CD Burner", "cache", true));
    option.cbx_cache->setChecked(false);
    option.btn_okClick();
    EXPECT_FALSE(IniFile().readBool("Audio CD Burner", "cache", true));
    EXPECT_TRUE(IniFile().readBool("Audio CD Burner", "auto eject", false));
}
