// The disc windows from the keyboard: F10 opens the first menu, Alt with a
// title's underlined letter opens that menu, and Alt with a letter that
// opens nothing never types into a text field.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTableWidget>
#include <QTest>

#include <filesystem>

#include "disc/cdaudioburner.h"
#include "disc/cdburner.h"
#include "disc/cdrecsett.h"
#include "disc/cdrip.h"
#include "disc/discinformation.h"
#include "disc/erase.h"
#include "disc/newfolder.h"
#include "disc/option.h"
#include "platform/fakes.h"
#include "platform/paths.h"
#include "testenv.h"

namespace {

QMenuBar* barOf(QWidget* window) { return window->findChild<QMenuBar*>(); }

void activate(QWidget* window) {
    window->show();
    QApplication::setActiveWindow(window);
    QCoreApplication::processEvents();
}

void closePopup() {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    QCoreApplication::processEvents();
}

// Every title underlines a letter of its own; F10 and each Alt+letter open
// the right menu.
void expectMenusFromKeys(QWidget* window, const QStringList& letters) {
    QMenuBar* bar = barOf(window);
    ASSERT_NE(bar, nullptr);
    activate(window);
    QTest::keyClick(window->windowHandle(), Qt::Key_F10);
    EXPECT_EQ(QApplication::activePopupWidget(), bar->actions().first()->menu());
    closePopup();
    QStringList underlined;
    for (QAction* title : bar->actions()) {
        const QString text = title->text();
        const qsizetype amp = text.indexOf(QLatin1Char('&'));
        ASSERT_GE(amp, 0) << text.toStdString();
        underlined << text.mid(amp + 1, 1).toLower();
    }
    EXPECT_EQ(underlined, letters);
    for (int i = 0; i < bar->actions().size(); ++i) {
        const QChar letter = letters[i][0];
        QTest::keyClick(window->windowHandle(), Qt::Key(Qt::Key_A + (letter.unicode() - 'a')), Qt::AltModifier);
        EXPECT_EQ(QApplication::activePopupWidget(), bar->actions()[i]->menu()) << "Alt+" << letter.toLatin1();
        closePopup();
    }
}

// Alt with a letter in a text field: the menu opens where the letter is a
// title's, and the field's text stays in every case.
void expectAltTypesNothing(QLineEdit* edit, const QString& text) {
    activate(edit->window());
    edit->setFocus();
    edit->setText(text);
    edit->selectAll();
    for (Qt::Key key : {Qt::Key_F, Qt::Key_Q, Qt::Key_Z, Qt::Key_1}) {
        QTest::keyClick(edit, key, Qt::AltModifier);
        closePopup();
        QTest::keyClick(edit, key, Qt::AltModifier | Qt::ShiftModifier);
        closePopup();
        EXPECT_EQ(edit->text(), text) << "Alt+" << QKeySequence(key).toString().toStdString();
    }
    // Plain letters still type.
    edit->setFocus();
    edit->end(false);
    QTest::keyClick(edit, Qt::Key_X);
    EXPECT_EQ(edit->text(), text + "x");
}

struct DiscWindowKeys : ::testing::Test {
    std::string images = testenv::makeTempDir("keys-images");
    testenv::ScopedEnv env{"TUNEVALE_CD_IMAGES", images.c_str()};
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    FakeWindowPresenter presenter;

    void SetUp() override { std::filesystem::remove(SettingsFilePath()); }
};

TEST_F(DiscWindowKeys, TheRipperOpensItsMenusAndItsFieldsTakeNoAltLetters) {
    Tfm_cdripper window;
    window.AudioGrabber.setCddbCacheFolder(testenv::makeTempDir("keys-cddb"));
    expectMenusFromKeys(&window, {"f", "a"});
    expectAltTypesNothing(window.edt_artist, "Artist");
    window.close();
}

TEST_F(DiscWindowKeys, TheAudioCdWriterOpensItsMenus) {
    Tfm_cdaudioburner window;
    expectMenusFromKeys(&window, {"f", "e"});
    window.close();
}

// A menu opened with F10 gives the focus back when it closes, by Escape or
// by running its command, so that Escape closes the window again instead of
// staying in the menu bar.
TEST_F(DiscWindowKeys, AMenuOpenedWithF10GivesTheFocusBack) {
    Tfm_cdaudioburner window;
    activate(&window);
    window.lv->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), window.lv);
    // Keys go where the window's focus is once the window is active again.
    auto key = [&](Qt::Key k) { QTest::keyClick(window.focusWidget(), k); };

    key(Qt::Key_F10);
    QMenu* file = barOf(&window)->actions().first()->menu();
    ASSERT_EQ(QApplication::activePopupWidget(), file);
    QTest::keyClick(file, Qt::Key_Escape);
    key(Qt::Key_Escape);
    EXPECT_EQ(window.focusWidget(), window.lv);

    key(Qt::Key_F10);
    ASSERT_EQ(QApplication::activePopupWidget(), file);
    const bool testMode = window.EnableTestMode1->isChecked();
    file->setActiveAction(window.EnableTestMode1);
    QTest::keyClick(file, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_NE(window.EnableTestMode1->isChecked(), testMode);
    EXPECT_EQ(window.focusWidget(), window.lv);
    key(Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(DiscWindowKeys, TheDataCdWriterOpensItsMenusAndAltFLeavesTheVolumeIdAlone) {
    fm_newfolder = new Tfm_newfolder;
    fm_recsett = new Tfm_recsett;
    fm_discinfo = new Tfm_discinfo;
    fm_erase = new Tfm_erase;
    auto* window = new Tfm_burner;
    window->DataCDWriter.setDrivesListed(false);
    window->DataCDWriter.setImageFolder(QString::fromStdString(images));
    window->FormShow();
    expectMenusFromKeys(window, {"f", "c"});
    expectAltTypesNothing(window->edt_id, "HOLIDAY");
    // The name dialog has no menu; its field takes no Alt letter either.
    fm_newfolder->show();
    expectAltTypesNothing(fm_newfolder->edt_name, "Pictures");
    fm_newfolder->hide();
    window->FormClose();
    delete window;
    delete fm_erase;
    delete fm_discinfo;
    delete fm_recsett;
    delete fm_newfolder;
    fm_newfolder = nullptr;
}

}  // namespace
