// The ripper window on generated disc images: the drive list and its
// choice, the rows, the genre rule, renaming and what stays of it when the
// disc is read again, the online lookup against a loopback database (also
// one that never answers), a disc library that blocks, and the window with
// no drive at all.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QButtonGroup>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>

#include "cdimagemaker.h"
#include "components/audio/audiofile.h"
#include "components/audio/audioinformation.h"
#include "components/skin/skinlabel.h"
#include "skin/progressbar.h"
#include "windowkit/disctoolservices.h"
#include "windowkit/toolcontrols.h"
#include "components/disc/cddbclient.h"
#include "disc/cdrip.h"
#include "platform/fakes.h"
#include "platform/inifile.h"
#include "platform/paths.h"
#include "skin/combobox.h"
#include "skin/menu.h"
#include "testenv.h"

namespace {

using cdtest::Pcm;

struct RipperWindowFixture : ::testing::Test {
    std::string images = testenv::makeTempDir("images");
    testenv::ScopedEnv env{"TUNEVALE_CD_IMAGES", images.c_str()};
    FakeMessageBoxes boxes;
    std::unique_ptr<Tfm_cdripper> window;

    void open(const std::string& cache = testenv::makeTempDir("cddb")) {
        window = std::make_unique<Tfm_cdripper>();
        window->AudioGrabber.setCddbCacheFolder(cache);
        window->show();
        idle();
    }
    // Until the drive's worker and the lookup have answered.
    void idle() {
        for (int i = 0; i < 3000 && (window->driveBusy() || window->lookupRunning()); ++i) QTest::qWait(5);
        ASSERT_FALSE(window->driveBusy() || window->lookupRunning());
    }
    void TearDown() override {
        if (window) window->close();
    }
};

TEST_F(RipperWindowFixture, NoDriveLeavesOnlyCloseAndOptions) {
    open();
    if (window->AudioGrabber.driveCount() > 0) GTEST_SKIP() << "this machine has an optical drive";
    EXPECT_EQ(boxes.texts(), QStringList{"CD-Rom is not ready!"});
    for (QPushButton* b : {window->btn_play, window->btn_freedb, window->btn_stop, window->btn_rip, window->btn_pause,
                           window->btn_refresh})
        EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
    EXPECT_TRUE(window->btn_close->isEnabled());
    EXPECT_TRUE(window->btn_option->isEnabled());
    // No disc says a genre.
    EXPECT_EQ(window->cb_genre->currentIndex(), -1);
    EXPECT_TRUE(window->cb_genre->currentText().isEmpty());
}

// The list's popup menu is the skinned one the writers use, in the colours
// of the program's skin.
TEST_F(RipperWindowFixture, ThePopupMenuIsSkinned) {
    IniFile().writeInteger("basic", "skin", 2);
    open();
    EXPECT_EQ(window->PopupMenu1->look().barColor, ColorFromBgr(15199215));
    EXPECT_EQ(window->PopupMenu1->look().separatorColor, ColorFromBgr(12962253));
    EXPECT_TRUE(window->PopupMenu1->styleSheet().isEmpty());
}

TEST_F(RipperWindowFixture, PrefersTheDiscWithMoreThanOneTrackAndFillsTheRows) {
    std::vector<cdtest::TrackSpec> ten;
    for (int i = 0; i < 10; ++i) ten.push_back({cdtest::tone(i == 0 ? 185.0 : 1.0), i == 6 ? "" : "Song " + std::to_string(i + 1), ""});
    cdtest::makeImage(images, "a-ten", ten, "Album A", "Artist A");
    cdtest::makeImage(images, "b-one", {{cdtest::tone(10.0), "Only", ""}});
    open();
    const int images0 = window->cbx_cdrom->count() - 2;
    ASSERT_GE(images0, 0);
    EXPECT_EQ(window->cbx_cdrom->currentIndex(), images0);
    EXPECT_EQ(window->cbx_cdrom->itemText(images0), "(a-ten.cue)  Image " + QString::fromStdString(images) + "/a-ten.cue");
    ASSERT_EQ(window->lv->topLevelItemCount(), 10);
    QTreeWidgetItem* first = window->lv->topLevelItem(0);
    EXPECT_EQ(first->text(0), "01");
    EXPECT_EQ(first->text(1), "Song 1");
    EXPECT_EQ(first->text(2), "03:05");
    EXPECT_EQ(first->checkState(0), Qt::Checked);
    EXPECT_EQ(window->lv->topLevelItem(6)->text(1), "Track 07");
    EXPECT_EQ(window->edt_artist->text(), "Artist A");
    EXPECT_EQ(window->edt_album->text(), "Album A");
    EXPECT_EQ(window->cb_genre->currentIndex(), 12);  // nothing known: "Other"
    EXPECT_TRUE(window->btn_play->isEnabled());
    EXPECT_TRUE(window->btn_rip->isEnabled());
    EXPECT_FALSE(window->btn_stop->isEnabled());

    window->cbx_cdrom->setCurrentIndex(images0 + 1);
    window->cbx_cdromChange();
    idle();
    ASSERT_EQ(window->lv->topLevelItemCount(), 1);
    EXPECT_EQ(window->edt_artist->text(), "Unknown Artist");
    EXPECT_EQ(window->lv->topLevelItem(0)->text(3), "1.68MB");  // 441000 frames
    EXPECT_EQ(window->lv->topLevelItem(0)->text(2), "00:10");
}

TEST_F(RipperWindowFixture, RenamingAndSelection) {
    cdtest::makeThreeTrackImage(images);
    open();
    ASSERT_EQ(window->lv->topLevelItemCount(), 3);
    window->lv->setCurrentItem(window->lv->topLevelItem(1));
    window->lvDblClick();
    ASSERT_TRUE(window->Edit1->isVisible());
    EXPECT_EQ(window->Edit1->text(), "Quiet");
    window->Edit1->setText("a:b");
    window->Edit1Exit();
    EXPECT_EQ(window->rowTitle(1), "ab");
    window->lvDblClick();
    window->Edit1->setText("");
    window->Edit1Exit();
    EXPECT_EQ(window->rowTitle(1), "ab");
    window->edt_artist->setText("AC/DC");
    window->edt_artistExit();
    EXPECT_EQ(window->edt_artist->text(), "ACDC");

    window->UneslectAll1Click();
    EXPECT_FALSE(window->rowChecked(0) || window->rowChecked(1) || window->rowChecked(2));
    window->SelectAll1Click();
    EXPECT_TRUE(window->rowChecked(0) && window->rowChecked(1) && window->rowChecked(2));

    window->rb_oggClick();
    window->close();
    EXPECT_EQ(IniFile().readInteger("cd ripper", "cdrip type", -1), 2);
    window.reset();
}

// Enter ends the typing and Escape gives up a title being edited; neither
// reaches the window (a preview started by the default button, the window
// closed with the titles typed so far).
TEST_F(RipperWindowFixture, EnterAndEscapeStayInTheTextFields) {
    cdtest::makeThreeTrackImage(images);
    open();
    ASSERT_EQ(window->lv->topLevelItemCount(), 3);
    window->lv->setCurrentItem(window->lv->topLevelItem(0));
    window->lvDblClick();
    window->Edit1->setText("New:Name");
    QTest::keyClick(window->Edit1, Qt::Key_Return);
    EXPECT_EQ(window->rowTitle(0), "NewName");
    EXPECT_FALSE(window->Edit1->isVisible());
    EXPECT_FALSE(window->CdPlaying);

    window->lvDblClick();
    window->Edit1->setText("Typed");
    QTest::keyClick(window->Edit1, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->Edit1->isVisible());
    EXPECT_EQ(window->rowTitle(0), "NewName");

    window->edt_artist->setText("AC/DC");
    QTest::keyClick(window->edt_artist, Qt::Key_Return);
    EXPECT_EQ(window->edt_artist->text(), "ACDC");
    EXPECT_FALSE(window->CdPlaying);
    EXPECT_TRUE(window->isVisible());
}

// The track list from the keyboard alone: Enter on a row opens its title
// for typing, as a double click does, and starts no preview; Space checks
// the row; Shift+F10 and the Menu key open the popup menu.
TEST_F(RipperWindowFixture, TheTrackListFromTheKeyboard) {
    cdtest::makeThreeTrackImage(images);
    open();
    ASSERT_EQ(window->lv->topLevelItemCount(), 3);
    window->lv->setFocus();
    window->lv->setCurrentItem(window->lv->topLevelItem(1));
    QTest::keyClick(window->lv, Qt::Key_Return);
    EXPECT_FALSE(window->CdPlaying);
    ASSERT_TRUE(window->Edit1->isVisible());
    EXPECT_EQ(window->Edit1->text(), "Quiet");
    window->Edit1->setText("Typed");
    QTest::keyClick(window->Edit1, Qt::Key_Return);
    EXPECT_EQ(window->rowTitle(1), "Typed");
    EXPECT_FALSE(window->CdPlaying);

    // Space checks and unchecks the current row, also after a click on its
    // title has made another column current.
    for (int column : {0, 1, 3}) {
        window->lv->setCurrentItem(window->lv->topLevelItem(2), column);
        QTest::keyClick(window->lv, Qt::Key_Space);
        EXPECT_FALSE(window->rowChecked(2)) << column;
        QTest::keyClick(window->lv, Qt::Key_Space);
        EXPECT_TRUE(window->rowChecked(2)) << column;
    }
    EXPECT_TRUE(window->rowChecked(0) && window->rowChecked(1));

    // Shift+F10 and the Menu key open the list's popup menu.
    for (const auto& [k, modifiers] : {std::pair{Qt::Key_F10, Qt::ShiftModifier}, std::pair{Qt::Key_Menu, Qt::NoModifier}}) {
        QTest::keyClick(window->lv, k, modifiers);
        EXPECT_EQ(QApplication::activePopupWidget(), window->PopupMenu1) << k;
        window->PopupMenu1->close();
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(window->isVisible());
}

TEST_F(RipperWindowFixture, OnlineLookupFillsTheListAndTheGenre) {
    cdtest::makeImage(images, "plain",
                      {{cdtest::tone(5.0), "", ""}, {cdtest::silence(4.2), "", ""}, {cdtest::noise(6.013, 5), "", ""}});
    std::string query = "200 rock 0b000f03 x\r\n";
    cdtest::LoopbackServer loop([&](const std::string& line) -> cdtest::LoopbackServer::Answer {
        if (line.find("cddb+query") != std::string::npos) return {cdtest::httpOk(query), 100};
        return {cdtest::httpOk("210 rock 0b000f03\r\nDTITLE=Band / Record\r\nDGENRE=Rock\r\nTTITLE1=Middle\r\n.\r\n")};
    });
    IniFile ini;
    ini.writeString("cd ripper", "cddb server", "127.0.0.1");
    ini.writeString("cd ripper", "port", std::to_string(loop.port()));
    ini.writeInteger("cd ripper", "timeout", 3000);
    open();
    ASSERT_EQ(window->lv->topLevelItemCount(), 3);
    EXPECT_EQ(window->edt_artist->text(), "Unknown Artist");
    window->lv->setCurrentItem(window->lv->topLevelItem(1));
    window->lvDblClick();
    window->Edit1->setText("Typed");
    window->Edit1Exit();
    window->lv->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
    bool disabledWhileAsking = false;
    QTimer::singleShot(50, [&] { disabledWhileAsking = window->lookupRunning() && !window->btn_rip->isEnabled(); });
    window->btn_freedbClick();
    idle();
    EXPECT_TRUE(disabledWhileAsking);
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_EQ(window->edt_artist->text(), "Band");
    EXPECT_EQ(window->edt_album->text(), "Record");
    EXPECT_EQ(window->cb_genre->currentIndex(), 17);  // "Rock"
    EXPECT_EQ(window->rowTitle(1), "Middle");  // found texts replace typed ones
    EXPECT_EQ(window->rowTitle(0), "Track 01");
    EXPECT_FALSE(window->rowChecked(2));        // the checks stay
    EXPECT_TRUE(window->btn_rip->isEnabled());

    // From now on the cache answers after each table read, server or not.
    query = "202 No match\r\n";
    window->btn_refreshClick();
    idle();
    EXPECT_EQ(window->edt_artist->text(), "Band");
    EXPECT_EQ(window->rowTitle(1), "Middle");
}

TEST_F(RipperWindowFixture, LookupWithoutMatchSaysSo) {
    cdtest::makeThreeTrackImage(images);
    cdtest::LoopbackServer loop([](const std::string&) -> cdtest::LoopbackServer::Answer {
        return {cdtest::httpOk("202 No match\r\n")};
    });
    IniFile ini;
    ini.writeString("cd ripper", "cddb server", "127.0.0.1");
    ini.writeString("cd ripper", "port", std::to_string(loop.port()));
    open();
    window->btn_freedbClick();
    idle();
    EXPECT_EQ(boxes.texts(), QStringList{"Can not find freedb info!"});
    EXPECT_EQ(window->rowTitle(0), "Tone");  // the list keeps its texts
}

// A server that takes the connection and never answers: the lookup runs
// on a worker under one deadline for the whole of it, the window says what
// it waits for, and Escape (as Close) ends the lookup and closes the window
// at once.
TEST_F(RipperWindowFixture, ASilentServerNeitherLocksTheWindowNorOutlastsItsDeadline) {
    cdtest::makeThreeTrackImage(images);
    cdtest::LoopbackServer loop([](const std::string&) -> cdtest::LoopbackServer::Answer {
        return {cdtest::httpOk("202 No match\r\n"), 60000};
    });
    IniFile ini;
    ini.writeString("cd ripper", "cddb server", "127.0.0.1");
    ini.writeString("cd ripper", "port", std::to_string(loop.port()));
    ini.writeInteger("cd ripper", "timeout", 1000);
    open();
    QElapsedTimer clock;
    clock.start();
    window->btn_freedbClick();
    EXPECT_LT(clock.elapsed(), 300);
    EXPECT_TRUE(window->lookupRunning());
    EXPECT_FALSE(window->st_wait->text().isEmpty());
    EXPECT_TRUE(window->btn_close->isEnabled());
    EXPECT_FALSE(window->btn_rip->isEnabled());
    idle();
    // One deadline: not one per request, and not two lookups.
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_LT(clock.elapsed(), 1800);
    EXPECT_EQ(boxes.texts(), QStringList{"Can not find freedb info!"});
    EXPECT_TRUE(window->st_wait->text().isEmpty());
    EXPECT_TRUE(window->btn_rip->isEnabled());

    ini.writeInteger("cd ripper", "timeout", 20000);
    window->btn_freedbClick();
    ASSERT_TRUE(window->lookupRunning());
    QTest::qWait(100);
    clock.restart();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_LT(clock.elapsed(), 300);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->lookupRunning());
    EXPECT_EQ(boxes.texts().size(), 1);
    QTest::qWait(300);  // the stopped worker's end changes nothing more
    EXPECT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(window->btn_rip->isEnabled());
}

// The answer found is used even where the cache cannot keep it (a file
// stands where its folder would be made).
TEST_F(RipperWindowFixture, AnAnswerTheCacheCannotKeepIsStillShown) {
    cdtest::makeImage(images, "plain",
                      {{cdtest::tone(5.0), "", ""}, {cdtest::silence(4.2), "", ""}, {cdtest::noise(6.013, 5), "", ""}});
    cdtest::LoopbackServer loop([&](const std::string& line) -> cdtest::LoopbackServer::Answer {
        if (line.find("cddb+query") != std::string::npos) return {cdtest::httpOk("200 rock 0b000f03 x\r\n")};
        return {cdtest::httpOk("210 rock 0b000f03\r\nDTITLE=Band / Record\r\nTTITLE1=Middle\r\n.\r\n")};
    });
    IniFile ini;
    ini.writeString("cd ripper", "cddb server", "127.0.0.1");
    ini.writeString("cd ripper", "port", std::to_string(loop.port()));
    const std::string blocked = testenv::makeTempDir("blocked") + "/file";
    testenv::writeFile(blocked, "not a folder");
    open(blocked + "/cddb");
    window->btn_freedbClick();
    idle();
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_EQ(window->edt_artist->text(), "Band");
    EXPECT_EQ(window->rowTitle(1), "Middle");
    // Read again, the disc still shows what was found for it.
    window->btn_refreshClick();
    idle();
    EXPECT_EQ(window->edt_album->text(), "Record");
}

// A disc read again (a media change, Refresh) keeps what the user typed
// when it is the same disc; another disc shows its own texts.
TEST_F(RipperWindowFixture, TheSameDiscReadAgainKeepsWhatTheUserTyped) {
    cdtest::makeThreeTrackImage(images);
    open();
    ASSERT_EQ(window->lv->topLevelItemCount(), 3);
    const QString secondTitle = window->rowTitle(2);
    window->lv->setCurrentItem(window->lv->topLevelItem(1));
    window->lvDblClick();
    window->Edit1->setText("Typed Title");
    window->Edit1Exit();
    window->edt_artist->clear();
    QTest::keyClicks(window->edt_artist, "Typed Artist");
    window->edt_album->clear();
    QTest::keyClicks(window->edt_album, "Typed Album");
    window->cb_genre->setCurrentIndex(17);
    emit window->cb_genre->activated(17);
    window->lv->topLevelItem(0)->setCheckState(0, Qt::Unchecked);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        if (round == 0)
            window->AudioGrabberMediaChange();
        else
            window->btn_refreshClick();
        idle();
        ASSERT_EQ(window->lv->topLevelItemCount(), 3);
        EXPECT_EQ(window->rowTitle(1), "Typed Title");
        EXPECT_EQ(window->rowTitle(2), secondTitle);
        EXPECT_EQ(window->edt_artist->text(), "Typed Artist");
        EXPECT_EQ(window->edt_album->text(), "Typed Album");
        EXPECT_EQ(window->cb_genre->currentIndex(), 17);
        EXPECT_FALSE(window->rowChecked(0));
        EXPECT_TRUE(window->rowChecked(1));
    }

    const std::string other = testenv::makeTempDir("other");
    cdtest::makeImage(other, "disc", {{cdtest::tone(1.0), "New", ""}, {cdtest::tone(2.0), "Two", ""}});
    ASSERT_EQ(::rename((other + "/disc.bin").c_str(), (images + "/disc.bin").c_str()), 0);
    ASSERT_EQ(::rename((other + "/disc.cue").c_str(), (images + "/disc.cue").c_str()), 0);
    window->AudioGrabberMediaChange();
    idle();
    ASSERT_EQ(window->lv->topLevelItemCount(), 2);
    EXPECT_EQ(window->rowTitle(1), "Two");
    EXPECT_EQ(window->edt_artist->text(), "Unknown Artist");
    EXPECT_EQ(window->cb_genre->currentIndex(), 12);
    EXPECT_TRUE(window->rowChecked(0));
}

// The format choice is a set of radio buttons: one checked once chosen, a
// click on the checked one keeps it, and screen readers hear radio buttons.
TEST_F(RipperWindowFixture, TheFormatsAreRadioButtons) {
    IniFile().writeInteger("cd ripper", "cdrip type", 7);
    open();
    const std::array<QRadioButton*, 4> buttons{window->rb_wav, window->rb_mp3, window->rb_ogg, window->rb_wma};
    auto checked = [&] { return std::count_if(buttons.begin(), buttons.end(), [](auto* b) { return b->isChecked(); }); };
    EXPECT_EQ(checked(), 0);  // an unknown stored format
    for (QRadioButton* b : buttons) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(b);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->role(), QAccessible::RadioButton) << b->text().toStdString();
        EXPECT_TRUE(b->autoExclusive() || (b->group() && b->group()->exclusive()));
    }
    QTest::mouseClick(window->rb_ogg, Qt::LeftButton);
    EXPECT_EQ(window->RipFormat, 2);
    QTest::mouseClick(window->rb_ogg, Qt::LeftButton);
    EXPECT_TRUE(window->rb_ogg->isChecked());
    EXPECT_EQ(checked(), 1);
    QTest::mouseClick(window->rb_wav, Qt::LeftButton);
    EXPECT_EQ(window->RipFormat, 0);
    EXPECT_TRUE(window->rb_wav->isChecked());
    EXPECT_EQ(checked(), 1);
    window->rb_mp3->setFocus();
    QTest::keyClick(window->rb_mp3, Qt::Key_Space);
    QTest::keyClick(window->rb_mp3, Qt::Key_Space);
    EXPECT_EQ(window->RipFormat, 1);
    EXPECT_EQ(checked(), 1);
}

TEST_F(RipperWindowFixture, ARewrittenImageReloadsTheList) {
    cdtest::makeThreeTrackImage(images);
    open();
    ASSERT_EQ(window->lv->topLevelItemCount(), 3);
    const std::string other = testenv::makeTempDir("other");
    cdtest::makeImage(other, "disc", {{cdtest::tone(1.0), "New", ""}, {cdtest::tone(1.0), "Two", ""}});
    ASSERT_EQ(::rename((other + "/disc.bin").c_str(), (images + "/disc.bin").c_str()), 0);
    ASSERT_EQ(::rename((other + "/disc.cue").c_str(), (images + "/disc.cue").c_str()), 0);
    QSignalSpy spy(&window->AudioGrabber, &CdGrabber::mediaChange);
    ASSERT_TRUE(spy.wait(5000));
    idle();
    EXPECT_EQ(window->lv->topLevelItemCount(), 2);
    EXPECT_EQ(window->rowTitle(0), "New");
}

}  // namespace

namespace {

struct RipWindowFixture : RipperWindowFixture {
    std::string out = testenv::makeTempDir("rips");
    FakeLauncher launcher;
    cdtest::Image image;

    void SetUp() override {
        image = cdtest::makeThreeTrackImage(images);
        IniFile ini;
        ini.writeString("cd ripper", "output directory", out);
        ini.writeInteger("cd ripper", "wav frequency", 2);
        ini.writeInteger("cd ripper", "wav bit", 2);
        ini.writeInteger("cd ripper", "wav channel", 2);
        ini.writeInteger("cd ripper", "filename format", 4);
    }
    void waitForTheRip() {
        for (int i = 0; i < 3000 && (window->Ripping || window->WmaRipRunning || window->RipThread); ++i)
            QTest::qWait(10);
        ASSERT_EQ(window->RipThread, nullptr);
        idle();
    }
    std::vector<std::string> files() { return cdtest::filesUnder(out); }
};

TEST_F(RipWindowFixture, RipsTheCheckedRowsToNamedTaggedFiles) {
    IniFile().writeInteger("cd ripper", "cdrip type", 0);
    open();
    ASSERT_EQ(window->lv->topLevelItemCount(), 3);
    window->lv->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    window->btn_ripClick();
    EXPECT_FALSE(window->btn_rip->isEnabled());
    EXPECT_TRUE(window->btn_stop->isEnabled());
    EXPECT_FALSE(window->btn_play->isEnabled());
    waitForTheRip();
    EXPECT_EQ(files(), (std::vector<std::string>{"Test Artist/1-Tone.wav", "Test Artist/3-Noise.wav"}));
    EXPECT_TRUE(cdtest::decodedPcm(out + "/Test Artist/1-Tone.wav") == image.padded[0]);
    EXPECT_TRUE(cdtest::decodedPcm(out + "/Test Artist/3-Noise.wav") == image.padded[2]);
    ASSERT_EQ(launcher.openedUrls().size(), 1u);
    EXPECT_EQ(launcher.openedUrls()[0].toLocalFile().toStdString(), out + "/Test Artist/");
    EXPECT_EQ(window->st->caption(), "00/00");
    EXPECT_EQ(window->pb->position(), 0);
    EXPECT_TRUE(window->btn_rip->isEnabled());
    EXPECT_FALSE(window->btn_stop->isEnabled());
    EXPECT_TRUE(window->btn_play->isEnabled());
    EXPECT_TRUE(boxes.texts().isEmpty());
}

// A cue another ripper wrote in UTF-8, with lowercase keywords and tabs:
// the list shows its names as they are written, and the rip's files carry
// them, not their Latin-1 misreading.
TEST_F(RipWindowFixture, AUtf8CueFromAnotherRipperNamesTheRipRight) {
    testenv::writeFile(image.cue,
                       "performer\t\"Bj\xC3\xB6rk\"\ntitle\t\"Homogenic\"\nfile\t\"disc.bin\"\tbinary\n"
                       "  track 01 audio\n    title \"J\xC3\xB3ga\"\n    index 01 00:00:00\n"
                       "  track 02 audio\n    index 01 00:05:00\n  track 03 audio\n    index 01 00:09:15\n");
    IniFile().writeInteger("cd ripper", "cdrip type", 0);
    open();
    ASSERT_EQ(window->lv->topLevelItemCount(), 3);
    EXPECT_EQ(window->edt_artist->text().toStdString(), "Bj\xC3\xB6rk");
    EXPECT_EQ(window->rowTitle(0).toStdString(), "J\xC3\xB3ga");
    window->lv->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    window->lv->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
    window->btn_ripClick();
    waitForTheRip();
    EXPECT_EQ(files(), (std::vector<std::string>{"Bj\xC3\xB6rk/1-J\xC3\xB3ga.wav"}));
    EXPECT_TRUE(cdtest::decodedPcm(out + "/Bj\xC3\xB6rk/1-J\xC3\xB3ga.wav") == image.padded[0]);
    EXPECT_TRUE(boxes.texts().isEmpty());
}

// Stop while the rip is paused lets it go on to its end at once: the track
// being written leaves no file, complete tracks stay complete.
TEST_F(RipWindowFixture, StopWhilePausedEndsTheRipWithoutPartialFiles) {
    IniFile().writeInteger("cd ripper", "cdrip type", 0);
    IniFile().writeBool("cd ripper", "normalize", true);
    open();
    window->btn_ripClick();
    window->btn_pauseClick();
    EXPECT_EQ(window->btn_pause->text(), "Resume");
    QTest::qWait(50);
    window->btn_stopClick();
    EXPECT_EQ(window->btn_pause->text(), "Pause");
    waitForTheRip();
    const std::vector<Pcm> want = image.padded;
    for (const auto& name : files()) {
        const int track = name[12] - '0';
        EXPECT_TRUE(cdtest::decodedPcm(out + "/" + name).size() == want[track - 1].size()) << name;
    }
    EXPECT_LT(files().size(), 3u);
    EXPECT_TRUE(window->btn_rip->isEnabled());
}

// Escape closes the window as Close does: the rip stops (nothing is left
// of it) and the format is kept, rather than the rip going on unseen.
TEST_F(RipWindowFixture, EscapeStopsTheRipAndKeepsTheFormat) {
    IniFile().writeInteger("cd ripper", "cdrip type", 0);
    open();
    window->rb_oggClick();
    window->btn_ripClick();
    window->btn_pauseClick();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->Ripping);
    EXPECT_EQ(IniFile().readInteger("cd ripper", "cdrip type", -1), 2);
    waitForTheRip();
    EXPECT_TRUE(files().empty());
}

// A rip asked to stop reads on until its block ends: until then nothing
// else may use the drive, neither a second rip, nor a preview, nor the
// window shown again (which reads every drive's table).
TEST_F(RipWindowFixture, NothingUsesTheDriveUntilAStoppedRipHasEnded) {
    IniFile().writeInteger("cd ripper", "cdrip type", 0);
    open();
    window->btn_ripClick();
    window->btn_pauseClick();
    TRipcdThread* const first = window->RipThread;
    window->btn_stopClick();
    EXPECT_FALSE(window->btn_rip->isEnabled());
    EXPECT_FALSE(window->btn_play->isEnabled());
    EXPECT_FALSE(window->btn_refresh->isEnabled());
    window->lv->setCurrentItem(window->lv->topLevelItem(0));
    window->btn_ripClick();
    window->btn_playClick();
    EXPECT_FALSE(window->driveBusy());
    EXPECT_EQ(window->RipThread, first);
    EXPECT_FALSE(window->CdPlaying);
    waitForTheRip();
    EXPECT_TRUE(window->btn_rip->isEnabled());
    EXPECT_TRUE(window->btn_play->isEnabled());
    EXPECT_TRUE(window->btn_refresh->isEnabled());
    EXPECT_TRUE(files().empty());

    window->btn_ripClick();
    window->btn_pauseClick();
    window->close();
    ASSERT_NE(window->RipThread, nullptr);
    window->show();
    EXPECT_EQ(window->RipThread, nullptr);
    idle();
    EXPECT_FALSE(window->btn_stop->isEnabled());
    EXPECT_TRUE(window->btn_rip->isEnabled());
    EXPECT_EQ(window->lv->topLevelItemCount(), 3);
    EXPECT_TRUE(files().empty());
}

TEST_F(RipWindowFixture, WmaRipRunsOnTheWindowsThreadWithoutPause) {
    IniFile().writeInteger("cd ripper", "cdrip type", 3);
    open();
    bool pauseSeen = true;
    QTimer::singleShot(0, [&] { pauseSeen = window->btn_pause->isEnabled(); });
    window->btn_ripClick();
    waitForTheRip();
    EXPECT_FALSE(pauseSeen);
    EXPECT_EQ(files().size(), 3u);
    AudioInformation info;
    ASSERT_TRUE(info.load(out + "/Test Artist/2-Quiet.wma"));
    EXPECT_EQ(info.infoTitle, "Quiet");
    EXPECT_EQ(info.infoAlbum, "Test Album");
    EXPECT_TRUE(window->btn_rip->isEnabled());
}

TEST_F(RipWindowFixture, PreviewPlaysPausesAndStops) {
    open();
    window->lv->clearSelection();
    window->btn_playClick();
    idle();
    EXPECT_EQ(boxes.texts(), QStringList{"Please select the track you want to play!"});
    window->lv->setCurrentItem(window->lv->topLevelItem(0));
    window->btn_playClick();
    EXPECT_TRUE(window->driveBusy());  // the track is opened on the worker
    idle();
    ASSERT_TRUE(window->CdPlaying);
    EXPECT_TRUE(window->AudioPlayer.isPlaying());
    EXPECT_FALSE(window->btn_rip->isEnabled());
    EXPECT_TRUE(window->btn_stop->isEnabled());
    window->btn_pauseClick();
    EXPECT_TRUE(window->CdPlayPaused);
    EXPECT_FALSE(window->AudioPlayer.isPlaying());
    window->btn_pauseClick();
    EXPECT_TRUE(window->AudioPlayer.isPlaying());
    window->btn_stopClick();
    EXPECT_FALSE(window->CdPlaying);
    EXPECT_FALSE(window->AudioGrabber.trackOpen());
    EXPECT_TRUE(window->btn_rip->isEnabled());
    EXPECT_TRUE(window->btn_play->isEnabled());
}

struct FakeServices : DiscToolServices {
    mutable int shown = 0;
    QString chooseFolder(QWidget*) const override { return {}; }
    bool showEncoderSettings(QWidget*) const override { return ++shown > 0; }
};

TEST_F(RipWindowFixture, OptionsOpenTheEncoderSettings) {
    FakeServices services;
    SetDiscToolServices(&services);
    open();
    window->btn_optionClick();
    window->Options1->trigger();
    EXPECT_EQ(services.shown, 2);
    SetDiscToolServices(nullptr);
}

}  // namespace

namespace {

constexpr char kBlockingChild[] = "TUNEVALE_RIPPER_BLOCKING_CDIO";

// Runs in a child whose libcdio is the stand-in: its device list answers
// only once the test releases it.
void checkTheWindowWaitsForTheDrive() {
    FakeMessageBoxes boxes;
    const std::string release = qEnvironmentVariable("TUNEVALE_CDIO_RELEASE").toStdString();
    Tfm_cdripper window;
    QElapsedTimer clock;
    clock.start();
    window.show();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(window.driveBusy());
    EXPECT_FALSE(window.st_wait->text().isEmpty());
    EXPECT_FALSE(window.btn_refresh->isEnabled());
    EXPECT_FALSE(window.btn_rip->isEnabled());
    EXPECT_TRUE(window.btn_close->isEnabled());
    bool ticked = false;
    QTimer::singleShot(20, [&] { ticked = true; });
    QTest::qWait(300);
    EXPECT_TRUE(ticked);
    EXPECT_TRUE(window.driveBusy());
    testenv::writeFile(release, "");
    for (int i = 0; i < 1000 && window.driveBusy(); ++i) QTest::qWait(10);
    ASSERT_FALSE(window.driveBusy());
    EXPECT_TRUE(window.st_wait->text().isEmpty());
    ASSERT_EQ(window.cbx_cdrom->count(), 1);
    EXPECT_EQ(window.cbx_cdrom->itemText(0), "(standin0)  standin0");
    EXPECT_EQ(window.lv->topLevelItemCount(), 0);
    EXPECT_TRUE(boxes.texts().isEmpty());
    window.close();
}

TEST(RipperDrive, ADiscLibraryThatBlocksLeavesTheWindowUsable) {
    if (qEnvironmentVariableIsSet(kBlockingChild)) {
        checkTheWindowWaitsForTheDrive();
        return;
    }
    const std::string folder = testenv::makeTempDir("blocking");
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kBlockingChild, "1");
    env.insert("LD_LIBRARY_PATH", QStringLiteral(TUNEVALE_BLOCKING_CDIO_DIR) + ":" + env.value("LD_LIBRARY_PATH"));
    env.insert("TUNEVALE_CDIO_RELEASE", QString::fromStdString(folder + "/release"));
    env.insert("TUNEVALE_CD_IMAGES", QString::fromStdString(testenv::makeTempDir("noimages")));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=RipperDrive.ADiscLibraryThatBlocksLeavesTheWindowUsable"});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
}

}  // namespace
