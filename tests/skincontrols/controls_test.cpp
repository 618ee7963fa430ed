// The track bar, progress bar, combo box and menus: their rules for values,
// the mouse and keys, and what they paint.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include "skin/art.h"
#include "skin/combobox.h"
#include "skin/imagepanel.h"
#include "skin/menu.h"
#include "skin/progressbar.h"
#include "skin/trackbar.h"

namespace {

using S = TvsUIStyle;

QRgb at(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }
QRgb rgbOf(const QColor& c) { return c.rgb() & 0xFFFFFF; }
QImage grab(QWidget& w) { return w.grab().toImage(); }

// ------------------------------------------------------------- track bar

TEST(TrackBar, PositionClampsReportsOnlyRealChangesAndOddRangesPaint) {
    TvsTrackBar bar;
    QSignalSpy changes(&bar, &TvsTrackBar::changed);
    bar.setPosition(15);
    EXPECT_EQ(bar.position(), 10);
    EXPECT_EQ(bar.delta(), 10);
    bar.setPosition(15);
    EXPECT_EQ(changes.count(), 1);
    bar.setMax(-5);
    EXPECT_EQ(bar.max(), 0);
    EXPECT_EQ(bar.position(), 0);
    EXPECT_EQ(bar.delta(), -10);
    bar.setMin(3);
    EXPECT_EQ(bar.min(), 0) << "Min never passes Max";
    bar.setMax(100);
    for (auto [size, kept] : {std::pair{200, 2}, {-1, 2}, {100, 100}, {0, 0}}) {
        bar.setPageSize(size);
        EXPECT_EQ(bar.pageSize(), kept) << size;
    }
    bar.setLineSize(101);
    EXPECT_EQ(bar.lineSize(), 1);

    bar.resize(111, 18);
    EXPECT_EQ(bar.height(), 18) << "as thick as the thumb";
    bar.setMax(0);
    EXPECT_EQ(bar.thumbRect().left(), 0) << "Max = Min: the thumb sits at the start";
    bar.setMax(10);
    // Room of 100 pixels for 10 values: halves of a step round to even.
    for (auto [x, value] : {std::pair{30, 2}, {40, 4}, {35, 3}, {5, 0}, {-50, 0}, {500, 10}})
        EXPECT_EQ(bar.valueAt(QPoint(x, 5)), value) << x;
    bar.setPosition(5);
    EXPECT_EQ(bar.thumbRect(), QRect(50, 0, 11, 18));

    bar.setFrequency(0);
    grab(bar);
    bar.setMin(INT_MIN);
    bar.setMax(INT_MAX);
    bar.setFrequency(1);
    bar.setPosition(0);
    EXPECT_EQ(bar.thumbRect().left(), 50) << "wide ranges do not overflow";
    grab(bar);
    bar.resize(3, 18);
    grab(bar);
    bar.setOrientation(TvsTrackBar::vsVertical);
    EXPECT_EQ(bar.width(), 18);
    EXPECT_EQ(bar.sliderImage().size(), QSize(18, 11));
    grab(bar);
    bar.setUIStyle(S::Graphite);
    EXPECT_TRUE(bar.transparent());
}

TEST(TrackBar, DragClickRepeatAndKeys) {
    TvsTrackBar bar;
    bar.resize(1011, 18);
    bar.setMax(100);
    bar.setPosition(4);
    bar.show();
    QSignalSpy changes(&bar, &TvsTrackBar::changed);
    // Thumb at 40..50; the value 5 lies at x = 55: one page would pass it.
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(55, 9));
    EXPECT_EQ(bar.position(), 5);

    const QPoint thumb = bar.thumbRect().center();
    QTest::mousePress(&bar, Qt::LeftButton, {}, thumb);
    EXPECT_TRUE(bar.dragging());
    QTest::mouseMove(&bar, QPoint(2000, 9));
    EXPECT_EQ(bar.position(), 100);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(2000, 9));
    EXPECT_FALSE(bar.dragging());

    // Held far right of the thumb: one page, then three pages a tick, never
    // past the point (value 30 at x = 305).
    bar.setPosition(0);
    const QPoint point(305, 9);
    QTest::mouseMove(&bar, point);
    QTest::mousePress(&bar, Qt::LeftButton, {}, point);
    EXPECT_EQ(bar.position(), 2);
    EXPECT_TRUE(bar.repeating());
    changes.clear();
    ASSERT_TRUE(changes.wait(2000));
    EXPECT_EQ(bar.position(), 8);
    for (int i = 0; i < 20 && bar.position() != 30; ++i) changes.wait(500);
    EXPECT_EQ(bar.position(), 30);
    changes.clear();
    QTest::qWait(250);
    EXPECT_EQ(changes.count(), 0) << "the thumb has reached the point";
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, point);
    EXPECT_FALSE(bar.repeating());

    bar.setPageSize(10);
    bar.setLineSize(3);
    const std::pair<Qt::Key, int> keys[] = {{Qt::Key_Home, 0},  {Qt::Key_PageDown, 10}, {Qt::Key_Right, 13},
                                            {Qt::Key_Down, 16}, {Qt::Key_Up, 13},       {Qt::Key_Left, 10},
                                            {Qt::Key_PageUp, 0}, {Qt::Key_Left, 0},     {Qt::Key_End, 100}};
    for (auto [key, position] : keys) {
        QTest::keyClick(&bar, key);
        EXPECT_EQ(bar.position(), position) << key;
    }
    bar.setEnabled(false);
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(5, 9));
    EXPECT_EQ(bar.position(), 100) << "a disabled bar ignores the mouse";
}

// ----------------------------------------------------------- progress bar

TEST(ProgressBar, CaptionsAndFillKeepWhatTheyAreGivenAndPaintInLayers) {
    struct Row {
        int min, max, position;
        const char* caption;
        int filledOf200;
    } rows[] = {
        {0, 100, 150, "150%", 200}, {0, 100, 37, "37%", 74},   {0, 0, 0, "0%", 0},
        {0, 100, -20, "-20%", 0},   {50, 50, 80, "0%", 0},     {0, INT_MAX, INT_MAX / 2, "49%", 99},
        {INT_MIN, INT_MAX, 0, "50%", 100},
    };
    for (const Row& r : rows) {
        TvsProgressBar bar;
        bar.setMin(r.min);
        bar.setMax(r.max);
        bar.setPosition(r.position);
        EXPECT_EQ(bar.caption(), r.caption) << r.caption;
        EXPECT_EQ(bar.filledLength(200), r.filledOf200) << r.caption;
        grab(bar);
    }
    TvsProgressBar bar;
    EXPECT_EQ(bar.size(), QSize(150, 12));
    EXPECT_EQ(bar.caption(), "50%");
    bar.resize(200, 20);
    EXPECT_EQ(bar.size(), QSize(200, 12));

    // The picture, then the colour, then the frame.
    bar.resize(201, 12);
    bar.setPosition(37);
    const QImage img = grab(bar);
    const QImage art = BuiltinArt("DEEPBLUE_PROGRESSBAR");
    EXPECT_EQ(at(img, 10, 5), at(art, 0, 4));
    EXPECT_EQ(at(img, 73, 1), at(art, 0, 0));
    EXPECT_EQ(at(img, 74, 5), 0xE8E8E8u) << "the rest in the theme's control colour";
    EXPECT_EQ(at(img, 190, 10), 0xE8E8E8u);
    for (auto [x, y] : {std::pair{0, 0}, {200, 11}, {100, 0}, {0, 6}}) EXPECT_EQ(at(img, x, y), 0u) << x << "," << y;

    bar.setPosition(0);
    bar.setShowCaption(false);
    const QImage bare = grab(bar);
    bar.setShowCaption(true);
    bar.setSmartShowCaption(true);
    EXPECT_EQ(grab(bar), bare) << "no caption at Min";
    bar.setPosition(1);
    bar.setShowCaption(false);
    const QImage bareAt1 = grab(bar);
    bar.setShowCaption(true);
    EXPECT_NE(grab(bar), bareAt1) << "a caption at Min + 1";
}

// -------------------------------------------------------------- combo box

// The middle of the arrow's top edge.
QPoint arrowOf(const TvsComboBox& combo) {
    const QRect b = combo.buttonRect();
    return {b.left() + b.width() / 2, b.top() + b.height() / 2};
}

TEST(ComboBox, FrameButtonAndArrowPerStyleThenTheProgramsColoursWin) {
    TvsComboBox combo;
    combo.addItems({"one", "two"});
    combo.resize(120, 21);
    for (S style : {S::DeepBlue, S::Protein, S::BlueGlass, S::Graphite, S::Meadow}) {
        combo.setUIStyle(style);
        const QImage img = grab(combo);
        const QPoint a = arrowOf(combo), face = combo.buttonRect().topLeft() + QPoint(1, 1);
        EXPECT_EQ(at(img, 0, 0), rgbOf(GetInsideThemeColor(style, vskey::ControlBorderColor))) << int(style);
        EXPECT_EQ(at(img, 1, 1), rgbOf(combo.palette().color(QPalette::Base))) << int(style);
        if (style == S::Meadow) {
            EXPECT_NE(at(img, a.x(), a.y()), 0u) << "its picture has its own arrow";
            EXPECT_NE(at(img, face.x(), face.y()), rgbOf(combo.buttonColor()));
            continue;
        }
        EXPECT_EQ(at(img, a.x(), a.y()), 0u) << "a black arrow, " << int(style);
        EXPECT_EQ(at(img, a.x(), a.y() + 3), 0u);
        if (style == S::Graphite) continue;
        EXPECT_EQ(at(img, face.x(), face.y()), rgbOf(combo.buttonColor()));
        EXPECT_EQ(at(img, face.x() - 2, face.y() + 1), rgbOf(combo.borderColor()));
    }

    combo.setUIStyle(S::DeepBlue);
    combo.setBorderColor(ColorFromBgr(11437686));
    combo.setArrowColor(ColorFromBgr(11437686));
    combo.setButtonColor(ColorFromBgr(15263976));
    const QPoint a = arrowOf(combo), face = combo.buttonRect().topLeft() + QPoint(1, 1);
    QImage img = grab(combo);
    EXPECT_EQ(at(img, 0, 0), 0x7686AEu);
    EXPECT_EQ(at(img, a.x(), a.y()), 0x7686AEu);
    EXPECT_EQ(at(img, face.x(), face.y()), 0xE8E8E8u);

    combo.setEnabled(false);
    img = grab(combo);
    EXPECT_EQ(at(img, a.x(), a.y()), 0x808080u);
    EXPECT_EQ(at(img, a.x() + 1, a.y() + 4), 0xFFFFFFu) << "the white shadow";
    combo.setEnabled(true);

    combo.setEditable(true);
    EXPECT_EQ(at(grab(combo), 0, 0), 0x7686AEu) << "an editable box keeps the frame";
    combo.setEditable(false);
    combo.setUIStyle(S::DeepBlue);
    EXPECT_EQ(combo.arrowColor(), QColor(Qt::black)) << "a new style resets the arrow";

    combo.setBorderColor(Qt::red);
    combo.addItem("three");
    combo.show();
    combo.showPopup();
    QWidget* list = combo.view()->parentWidget();
    ASSERT_TRUE(list && list->isVisible());
    EXPECT_EQ(at(grab(*list), 0, 0), 0xFF0000u) << "the open list is framed";
    EXPECT_GE(list->mapToGlobal(QPoint(0, 0)).y(), combo.mapToGlobal(QPoint(0, combo.height())).y() - 1)
        << "the list drops below the box";
    combo.hidePopup();
}

// ------------------------------------------------------------------ menus

struct Menu {
    TvsPopupMenu menu;
    QAction *first, *second, *separator, *checked, *withIcon;
    Menu() {
        first = menu.addAction("Add File");
        second = menu.addAction("Delete File Record");
        separator = menu.addSeparator();
        checked = menu.addAction("Random Play");
        checked->setCheckable(true);
        checked->setChecked(true);
        QPixmap icon(16, 16);
        icon.fill(Qt::green);
        withIcon = menu.addAction(QIcon(icon), "Loop");
        withIcon->setCheckable(true);
        withIcon->setChecked(true);
    }
    QImage shown() {
        menu.popup(QPoint(100, 100));
        QCoreApplication::processEvents();
        return menu.grab().toImage();
    }
};

// Assistive technologies see the track bar as a slider whose value they
// read and set (within its range, not while it is disabled), the progress
// bar with its value, the combo box with its items, and the image panel as a
// picture.
TEST(Accessibility, SliderProgressBarAndComboBoxShowTheirValues) {
    QWidget window;
    auto* bar = new TvsTrackBar(&window);
    bar->setMax(1000);
    bar->setPosition(250);
    auto* progress = new TvsProgressBar(&window);
    progress->setPosition(40);
    auto* combo = new TvsComboBox(&window);
    combo->addItems({"one", "two", "three"});
    combo->setCurrentIndex(1);

    QAccessibleInterface* slider = QAccessible::queryAccessibleInterface(bar);
    ASSERT_TRUE(slider);
    EXPECT_EQ(slider->role(), QAccessible::Slider);
    QAccessibleValueInterface* value = slider->valueInterface();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->currentValue().toInt(), 250);
    EXPECT_EQ(value->maximumValue().toInt(), 1000);
    EXPECT_EQ(slider->text(QAccessible::Value), "250");
    QSignalSpy changes(bar, &TvsTrackBar::changed);
    value->setCurrentValue(700);
    EXPECT_EQ(bar->position(), 700);
    EXPECT_EQ(changes.count(), 1);
    value->setCurrentValue(5000);
    EXPECT_EQ(bar->position(), 1000);
    bar->setEnabled(false);
    value->setCurrentValue(10);
    EXPECT_EQ(bar->position(), 1000);

    QAccessibleInterface* shown = QAccessible::queryAccessibleInterface(progress);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->role(), QAccessible::ProgressBar);
    ASSERT_TRUE(shown->valueInterface());
    EXPECT_EQ(shown->valueInterface()->currentValue().toInt(), 40);
    EXPECT_EQ(shown->text(QAccessible::Value), "40%");

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(combo);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->role(), QAccessible::ComboBox);
    EXPECT_EQ(list->text(QAccessible::Value), "two");
    QAccessibleInterface* items = list->child(0);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->childCount(), 3);
    EXPECT_EQ(items->child(2)->text(QAccessible::Name), "three");

    // An image panel is a picture named by its caption, or by the name the
    // program gives it.
    auto* picture = new TvsImagePanel(&window);
    picture->setCaption("Cover");
    QAccessibleInterface* graphic = QAccessible::queryAccessibleInterface(picture);
    ASSERT_TRUE(graphic);
    EXPECT_EQ(graphic->role(), QAccessible::Graphic);
    EXPECT_EQ(graphic->text(QAccessible::Name), "Cover");
    picture->setAccessibleName("Album cover");
    EXPECT_EQ(graphic->text(QAccessible::Name), "Album cover");
}

TEST(PopupMenu, HeightsPerStyleBarSelectionSeparatorAndChecks) {
    struct Row {
        S style;
        int item, separator, afterSetting30;
    } rows[] = {{S::DeepBlue, 21, 5, 30}, {S::Graphite, 20, 12, 20}, {S::Meadow, 21, 5, 30}};
    for (const Row& r : rows) {
        Menu m;
        m.menu.setUIStyle(r.style);
        m.shown();
        EXPECT_EQ(m.menu.actionGeometry(m.first).height(), r.item) << int(r.style);
        EXPECT_EQ(m.menu.actionGeometry(m.separator).height(), r.separator) << int(r.style);
        m.menu.setMenuItemHeight(30);
        m.shown();
        EXPECT_EQ(m.menu.actionGeometry(m.first).height(), r.afterSetting30) << int(r.style);
        m.menu.hide();
    }

    Menu m;
    m.menu.setUIStyle(S::DeepBlue);
    // The program's settings, after the style.
    m.menu.setBarColor(ColorFromBgr(14074813));
    m.menu.setSeparatorColor(ColorFromBgr(12425868));
    m.menu.setSelectedColor(ColorFromBgr(12425868));
    m.menu.setSelectedBorderColor(ColorFromBgr(12425868));
    m.menu.setFontColor(Qt::black);
    m.shown();
    m.menu.setActiveAction(m.second);
    const QImage img = m.shown();
    const QRect first = m.menu.actionGeometry(m.first), second = m.menu.actionGeometry(m.second);
    const QRect sep = m.menu.actionGeometry(m.separator), checked = m.menu.actionGeometry(m.checked);
    const QRect icon = m.menu.actionGeometry(m.withIcon);
    EXPECT_EQ(at(img, first.left() + 20, first.top() + 2), 0xBDC3D6u) << "the bar";
    EXPECT_EQ(at(img, first.left() + 30, first.top() + 2), 0xFFFFFFu) << "the menu colour";
    EXPECT_EQ(at(img, second.left() + 30, second.top() + 2), 0x8C9ABDu) << "the selected item";
    EXPECT_EQ(at(img, sep.left() + 60, sep.top() + sep.height() / 2), 0x8C9ABDu) << "the separator line";
    EXPECT_EQ(at(img, sep.left() + 10, sep.top() + sep.height() / 2), 0xBDC3D6u) << "not across the bar";
    // The check picture's first black pixel is at (4, 7) of the picture.
    EXPECT_EQ(at(img, checked.left() + 8, checked.top() + 10), 0u);
    EXPECT_EQ(at(img, checked.left() + 4, checked.top() + 3), 0xBDC3D6u) << "white in the picture shows the bar";
    EXPECT_EQ(at(img, icon.left() + 2, icon.top() + 1), 0u) << "a framed icon";
    EXPECT_EQ(at(img, icon.left() + 3, icon.top() + 2), 0x8C9ABDu);
    EXPECT_EQ(at(img, icon.left() + 8, icon.top() + 8), 0x00FF00u);
    m.menu.hide();
}

TEST(PopupMenu, SubmenusAddedLaterAndTheMenuBarShareTheStyle) {
    TvsPopupMenu menu;
    QMenu* before = menu.addMenu("Before");
    QMenu* later = menu.addMenu("Later");
    QMenu* deeper = later->addMenu("Deeper");
    EXPECT_EQ(before->style(), menu.style());
    EXPECT_EQ(deeper->style(), menu.style());
    menu.setUIStyle(S::Graphite);
    deeper->addAction("x");
    deeper->popup(QPoint(0, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(deeper->actionGeometry(deeper->actions().first()).height(), 20);
    deeper->hide();

    QWidget window;
    TvsMainMenu bar(&window);
    bar.setUIStyle(S::DeepBlue);
    QMenu* file = bar.addMenu("File");
    bar.addMenu("Help");
    EXPECT_EQ(file->style(), bar.style());
    window.resize(300, 100);
    window.show();
    bar.resize(300, bar.height());
    const QImage img = grab(bar);
    EXPECT_EQ(bar.height(), 22);
    EXPECT_EQ(at(img, 290, 10), 0xD6D3CEu) << "the theme's menu bar colour";
}

}  // namespace
