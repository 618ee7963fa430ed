// Every disc window and dialog as a screen reader sees it: each control a
// user acts on says what it is and has a name, Tab reaches it, and each
// dialog closes on Escape and, where it has a default button, takes Return.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <filesystem>
#include <functional>
#include <set>

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
#include "skin/progressbar.h"
#include "skin/trackbar.h"
#include "testenv.h"
#include "tools/cdrippersettings.h"

namespace {

// Roles that say nothing of what a control does.
const std::set<QAccessible::Role> kBlankRoles{QAccessible::NoRole, QAccessible::Client, QAccessible::Pane,
                                              QAccessible::Window, QAccessible::Grouping, QAccessible::Dialog};

bool IsControl(QWidget* w) {
    return (w->focusPolicy() & Qt::TabFocus) || qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
           qobject_cast<QLineEdit*>(w) || qobject_cast<QProgressBar*>(w) || qobject_cast<TvsTrackBar*>(w) ||
           qobject_cast<TvsProgressBar*>(w);
}

// The controls shown now (a tab widget's hidden pages are walked apart).
std::vector<QWidget*> ShownControls(QWidget* window) {
    std::vector<QWidget*> controls;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisible() || !IsControl(w)) continue;
        // What hands its focus on (a tab widget to its bar, a combo box to its
        // line edit) is read through what takes it.
        if (w->focusProxy() || qobject_cast<QComboBox*>(w->parentWidget())) continue;
        if (w->window() != window) continue;
        controls.push_back(w);
    }
    return controls;
}

std::string Describe(QWidget* w) {
    QString text = QString::fromLatin1(w->metaObject()->className()) + " " + w->objectName();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) text += " \"" + b->text() + "\"";
    return text.toStdString();
}

void ExpectReadable(const std::vector<QWidget*>& controls) {
    for (QWidget* w : controls) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr) << Describe(w);
        EXPECT_EQ(kBlankRoles.count(a->role()), 0u) << Describe(w) << " role " << a->role();
        EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty()) << Describe(w) << " has no name";
        // A combo box reads its value as its name: its label is its own.
        if (qobject_cast<QComboBox*>(w)) {
            EXPECT_TRUE(!w->accessibleName().isEmpty() || !a->relations(QAccessible::Label).isEmpty())
                << Describe(w) << " has no label";
        }
        if (qobject_cast<TvsTrackBar*>(w)) {
            EXPECT_EQ(a->role(), QAccessible::Slider) << Describe(w);
        }
        if (qobject_cast<TvsProgressBar*>(w)) {
            EXPECT_EQ(a->role(), QAccessible::ProgressBar) << Describe(w);
        }
    }
}

// Tab from the first control goes round every enabled control that takes the
// focus, and comes back where it started.
void ExpectTabReaches(QWidget* window, const std::vector<QWidget*>& controls) {
    std::set<QWidget*> wanted;
    for (QWidget* w : controls)
        if (w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) wanted.insert(w);
    if (wanted.empty()) return;
    QApplication::setActiveWindow(window);
    QWidget* first = *wanted.begin();
    first->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    std::set<QWidget*> seen;
    for (int i = 0; i < 200 && seen.size() < wanted.size(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus) break;
        if (wanted.count(focus)) seen.insert(focus);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    // Tab reaches a group of radio buttons at its checked button; the arrows
    // move within it.
    auto reached = [&](QWidget* w) {
        auto* radio = qobject_cast<QRadioButton*>(w);
        if (!radio || !radio->autoExclusive()) return seen.count(w) > 0;
        for (QWidget* s : seen)
            if (qobject_cast<QRadioButton*>(s) && s->parentWidget() == w->parentWidget()) return true;
        return false;
    };
    for (QWidget* w : wanted) EXPECT_TRUE(reached(w)) << Describe(w) << " is not reached by Tab";
}

void Walk(QWidget* window) {
    window->show();
    QApplication::setActiveWindow(window);
    QCoreApplication::processEvents();
    // The editors a list shows over a row are named before they show.
    for (QLineEdit* edit : window->findChildren<QLineEdit*>())
        if (edit->parentWidget() && qobject_cast<QAbstractItemView*>(edit->parentWidget()->parentWidget())) {
            EXPECT_FALSE(QAccessible::queryAccessibleInterface(edit)->text(QAccessible::Name).isEmpty())
                << Describe(edit) << " has no name";
        }
    auto walkShown = [&] {
        const std::vector<QWidget*> controls = ShownControls(window);
        ExpectReadable(controls);
        ExpectTabReaches(window, controls);
    };
    const auto tabs = window->findChildren<QTabWidget*>();
    if (tabs.isEmpty()) {
        walkShown();
        return;
    }
    for (QTabWidget* t : tabs)
        for (int page = 0; page < t->count(); ++page) {
            if (!t->isTabVisible(page)) continue;
            SCOPED_TRACE(t->tabText(page).toStdString());
            t->setCurrentIndex(page);
            QCoreApplication::processEvents();
            walkShown();
        }
}

// Where a dialog's keys start: its first field, or its first button where it
// has no field.
QWidget* FirstField(QDialog* dialog) {
    QWidget* button = nullptr;
    for (QWidget* w = dialog->nextInFocusChain(); w != dialog; w = w->nextInFocusChain()) {
        if (!w->isVisible() || !w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus) || w->window() != dialog)
            continue;
        if (!qobject_cast<QPushButton*>(w)) return w;
        if (!button) button = w;
    }
    return button ? button : dialog;
}

void ShowAtFirstField(QDialog* dialog) {
    dialog->show();
    QApplication::setActiveWindow(dialog);
    FirstField(dialog)->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
}

// Escape closes the dialog; Return from its first field presses the button
// that accepts it (whose own work is cut off here), or the field takes
// Return as that button and closes the dialog itself.
void ExpectDialogKeys(QDialog* dialog, QPushButton* accept) {
    ShowAtFirstField(dialog);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_FALSE(dialog->isVisible()) << "Escape leaves it open";
    if (!accept) return;
    bool pressed = false;
    QObject::disconnect(accept, &QPushButton::clicked, nullptr, nullptr);
    QObject::connect(accept, &QPushButton::clicked, [&] { pressed = true; });
    ShowAtFirstField(dialog);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(pressed || !dialog->isVisible()) << "Return does not press " << Describe(accept);
    dialog->hide();
}

struct DiscWindowAccess : ::testing::Test {
    std::string images = testenv::makeTempDir("access-images");
    testenv::ScopedEnv env{"TUNEVALE_CD_IMAGES", images.c_str()};
    FakeMessageBoxes boxes;
    FakeFileDialogs dialogs;
    FakeWindowPresenter presenter;

    void SetUp() override {
        std::filesystem::remove(SettingsFilePath());
        QAccessible::setActive(true);
    }
};

TEST_F(DiscWindowAccess, EveryDiscWindowAndDialogIsNamedAndReachedByTab) {
    fm_newfolder = new Tfm_newfolder;
    fm_newfolder->edt_name->setText("Pictures");
    fm_recsett = new Tfm_recsett;
    fm_discinfo = new Tfm_discinfo;
    fm_erase = new Tfm_erase;
    auto* data = new Tfm_burner;
    data->DataCDWriter.setDrivesListed(false);
    data->DataCDWriter.setImageFolder(QString::fromStdString(images));
    data->FormShow();
    Tfm_cdripper ripper;
    ripper.AudioGrabber.setCddbCacheFolder(testenv::makeTempDir("access-cddb"));
    Tfm_cdaudioburner audio;
    Tfm_option options;
    CdSetForRecorder = false;
    Tfm_cdset settings;

    struct Row {
        const char* name;
        QWidget* window;
        bool dialog;
        QPushButton* accept;  // what Return presses
    };
    const Row rows[] = {
        {"CD ripper", &ripper, false, nullptr},
        {"audio CD writer", &audio, false, nullptr},
        {"data CD writer", data, false, nullptr},
        {"Erase", fm_erase, true, fm_erase->btn_erase},
        {"Disc Information", fm_discinfo, true, fm_discinfo->btn_ok},
        {"audio writer options", &options, true, options.btn_ok},
        {"recorder settings", fm_recsett, true, fm_recsett->btn_settok},
        {"New Folder", fm_newfolder, true, fm_newfolder->btn_ok},
        {"CD Settings", &settings, true, settings.findChild<QPushButton*>("btn_ok")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Walk(row.window);
        if (row.dialog) ExpectDialogKeys(static_cast<QDialog*>(row.window), row.accept);
        row.window->hide();
    }

    data->FormClose();
    delete data;
    delete fm_erase;
    delete fm_discinfo;
    delete fm_recsett;
    delete fm_newfolder;
    fm_newfolder = nullptr;
}

}  // namespace
