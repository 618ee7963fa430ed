// The title bar and the form frame: where the bar puts its buttons and
// caption, what its buttons and menu do, what it refuses, and how the frame
// places itself, paints its border, shapes and resizes its window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QVBoxLayout>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QMouseEvent>
#include <QTest>

#include <cmath>
#include <functional>
#include <memory>

#include "platform/fakes.h"
#include "skin/art.h"
#include "skin/form.h"
#include "skin/progressbar.h"
#include "themefilebuilder.h"

namespace {

using S = TvsUIStyle;
using B = TvsTitleBarBtnType;

const QString kControlBoxTwice = "Sorry, only one button's ButtonType property can be \"vsControlBox\"";
const QString kClientTwice = "Sorry, only one section's Align property can be \"vsClient\"";
const QString kSecondFrame = "Sorry, You can create only one TvsForm component in one form!";
const QString kPanelIsFrame = "Sorry, you can't select the Form assign to FormPanel property";

constexpr S kStyles[] = {S::Graphite, S::Meadow, S::DeepBlue, S::Protein, S::BlueGlass};

QRgb at(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }
QRgb rgbOf(const QColor& c) { return c.rgb() & 0xFFFFFF; }

void send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons = Qt::LeftButton) {
    QMouseEvent e(type, pos, w->mapToGlobal(pos), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                  {});
    QApplication::sendEvent(w, &e);
}

void click(QWidget* w, QPoint pos) {
    send(w, QEvent::MouseButtonPress, pos);
    send(w, QEvent::MouseButtonRelease, pos, {});
}

// Two clicks as the platform reports them: the second press comes as a
// double click.
void doubleClick(QWidget* w, QPoint pos) {
    click(w, pos);
    send(w, QEvent::MouseButtonDblClick, pos);
    send(w, QEvent::MouseButtonRelease, pos, {});
}

// A window with a frame in a style, shown.
struct Framed {
    std::unique_ptr<QWidget> form = std::make_unique<QWidget>();
    TvsForm* frame;
    explicit Framed(S style = S::DeepBlue, QSize size = QSize(400, 300)) {
        form->setWindowTitle("Framed window");
        form->move(100, 80);  // away from the screen's edges, which push menus
        form->resize(size);
        frame = new TvsForm(form.get());
        frame->setUIStyle(style);
        form->resize(size);
        form->show();
        QApplication::processEvents();
    }
    TvsTitleBar* bar() const { return frame->titleBar(); }
    QRect rectOf(int button) const { return bar()->layout(bar()->width()).buttons[size_t(button)]; }
};

// ------------------------------------------------------------- the bar

TEST(TitleBar, ButtonsSitFromTheRightInCollectionOrderInEveryStyle) {
    struct Row {
        S style;
        int interval, rightOffset;
    };
    for (const Row& row : {Row{S::DeepBlue, 0, 0}, Row{S::Graphite, 0, 0}, Row{S::Meadow, 3, 0},
                           Row{S::Protein, 0, -4}, Row{S::BlueGlass, 2, 5}}) {
        Framed f(row.style);
        TvsTitleBar* bar = f.bar();
        bar->setButtonInterval(row.interval);
        bar->setRightBtnXOffset(row.rightOffset);
        const int w = bar->width();
        EXPECT_EQ(w, f.frame->width());
        EXPECT_EQ(bar->height(), GetInsideThemeBitmap(row.style, vskey::TitleBarLeftImage).height());
        // Default buttons: control box, close, maximise, minimise.
        const QRect close = f.rectOf(1), max = f.rectOf(2), min = f.rectOf(3);
        const int cell = GetInsideThemeBitmap(row.style, vskey::TitleBarButtonImage).width() / 18;
        EXPECT_EQ(close.width(), cell);
        EXPECT_EQ(close.left(), w - cell - row.interval + row.rightOffset) << int(row.style);
        EXPECT_EQ(close.top(), GetInsideThemeInt(row.style, vskey::TitleBarButtonTopInt));
        EXPECT_EQ(close.left() - (max.left() + max.width()), 1 + row.interval);
        EXPECT_EQ(max.left() - (min.left() + min.width()), 1 + row.interval);
        EXPECT_LE(close.top() + close.height(), bar->height()) << "the buttons fit the strip";
        EXPECT_EQ(bar->buttonAt(close.topLeft()), 1) << "edges count";
        EXPECT_EQ(bar->buttonAt(QPoint(close.left() + close.width(), close.top() + close.height())), 1);
        EXPECT_EQ(bar->buttonAt(QPoint(w / 2, bar->height() / 2)), -1);
        // A hidden button leaves its place to the next.
        bar->buttons()->items(2)->setVisible(false);
        EXPECT_EQ(f.rectOf(3).left(), close.left() - 1 - row.interval - min.width());
        EXPECT_TRUE(f.rectOf(2).isEmpty());
    }
}

TEST(TitleBar, CaptionPlaceShorteningAndDimming) {
    Framed f;
    TvsTitleBar* bar = f.bar();
    const QRect box = f.rectOf(0);
    TvsTitleBar::Layout l = bar->layout(bar->width());
    EXPECT_EQ(l.controlBox, 0);
    EXPECT_EQ(l.captionLeft, box.width() + 5);
    EXPECT_EQ(l.captionText, "Framed window");

    bar->setDrawAppIcon(true);
    l = bar->layout(bar->width());
    EXPECT_EQ(l.captionLeft, 21);
    EXPECT_EQ(l.iconAt, QPoint(3, box.top()));
    EXPECT_EQ(bar->buttonAt(box.center()), 0) << "the control box still answers over its picture";

    bar->buttons()->items(0)->setVisible(false);
    EXPECT_EQ(bar->layout(bar->width()).captionLeft, 6);
    bar->setLeftBtnXOffset(9);
    EXPECT_EQ(bar->layout(bar->width()).captionLeft, 9);

    const QFontMetrics fm(bar->font());
    f.frame->setCaption(QString(200, 'W'));
    EXPECT_EQ(f.form->windowTitle(), QString(200, 'W'));
    l = bar->layout(bar->width());
    EXPECT_TRUE(l.captionText.endsWith("...")) << l.captionText.toStdString();
    EXPECT_LE(fm.horizontalAdvance(l.captionText), l.captionRoom);
    EXPECT_GT(fm.horizontalAdvance(l.captionText + "W"), l.captionRoom) << "no more is dropped than needed";
    EXPECT_EQ(TvsTitleBar::ElideCaption("Caption", fm, 2), "") << "not even the dots fit";
    EXPECT_EQ(TvsTitleBar::ElideCaption("Caption", fm, 1000), "Caption");

    f.form->setWindowTitle("Renamed");
    EXPECT_EQ(bar->caption(), "Renamed");

    // The caption dims while the window is not the active one.
    f.frame->setCaption(QString(20, QChar(0x2588)));  // full blocks: solid ink
    auto inked = [&](QRgb ink) {
        const QImage shot = bar->grab().toImage();
        const TvsTitleBar::Layout l = bar->layout(bar->width());
        int n = 0;
        for (int x = l.captionLeft; x < l.captionLeft + l.captionRoom; ++x)
            for (int y = 0; y < bar->height(); ++y) n += at(shot, x, y) == ink;
        return n;
    };
    EXPECT_GT(inked(0xFFFFFF), 50);
    QEvent change(QEvent::ActivationChange);
    QApplication::sendEvent(f.form.get(), &change);
    EXPECT_EQ(bar->formActive(), f.form->isActiveWindow());
    bar->setFormActive(false);
    EXPECT_EQ(inked(0xFFFFFF), 0);
    EXPECT_GT(inked(0x808080), 50);
}

double luminance(QRgb c) {
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

double contrast(QRgb a, QRgb b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The caption of a window that is not the active one stays readable on the
// blue bars and on Protein's dark one: its ink keeps the contrast asked of
// text against the bar behind it, and is still dimmer than the active
// caption.
TEST(TitleBar, TheInactiveCaptionIsReadableOnEveryBlueAndDarkBar) {
    for (S style : {S::Meadow, S::BlueGlass, S::Protein}) {
        SCOPED_TRACE(int(style));
        Framed f(style);
        TvsTitleBar* bar = f.bar();
        f.frame->setCaption(QString());
        bar->setFormActive(false);
        const QImage empty = bar->grab().toImage();
        f.frame->setCaption(QString(20, QChar(0x2588)));
        const QImage shot = bar->grab().toImage();
        const TvsTitleBar::Layout l = bar->layout(bar->width());
        const QRgb ink = rgbOf(bar->inactiveFontColor());
        int inked = 0;
        double worst = 100, behind = 0;
        for (int x = l.captionLeft; x < l.captionLeft + l.captionRoom; ++x)
            for (int y = 0; y < bar->height(); ++y) {
                if (at(shot, x, y) != ink) continue;
                ++inked;
                worst = std::min(worst, contrast(ink, at(empty, x, y)));
                behind += luminance(at(empty, x, y));
            }
        ASSERT_GT(inked, 50);
        behind /= inked;
        const double average = (std::max(luminance(ink), behind) + 0.05) / (std::min(luminance(ink), behind) + 0.05);
        EXPECT_GE(average, 4.0) << "against the bar behind the caption";
        EXPECT_GE(worst, 3.0) << "against its lightest pixel";
        EXPECT_LT(luminance(ink), luminance(rgbOf(bar->fontColor()))) << "dimmer than the active caption";
    }
}

TEST(TitleBar, PicturesFollowTheWindowStateHoverAndPress) {
    Framed f(S::BlueGlass, QSize(420, 300));
    TvsTitleBar* bar = f.bar();
    TvsTitleBarButton* max = bar->buttons()->items(2);
    auto cell = [](int n) { return GetInsideThemeSplitBitmap(S::BlueGlass, vskey::TitleBarButtonImage, 18, n); };
    EXPECT_EQ(max->picNormal(), cell(7));
    EXPECT_TRUE(max->transparent());
    // Maximised by whatever means, a window manager's key too.
    f.form->setWindowState(Qt::WindowMaximized);
    QApplication::processEvents();
    EXPECT_EQ(max->picNormal(), cell(10));
    EXPECT_EQ(max->picMouseOn(), cell(11));
    EXPECT_TRUE(f.form->mask().isEmpty()) << "square corners while maximised";
    EXPECT_TRUE(f.frame->gripRects().isEmpty()) << "no resizing while maximised";
    f.form->setWindowState(Qt::WindowNoState);
    QApplication::processEvents();
    EXPECT_EQ(max->picNormal(), cell(7));

    // Hover and down cells, found where the pointer is at painting.
    const QRect close = f.rectOf(1);
    const QPoint inside = close.topLeft() + QPoint(3, close.height() / 2);
    auto shown = [&] { return bar->grab().toImage().pixel(inside) & 0xFFFFFF; };
    auto expected = [&](int state) {
        return bar->buttons()->items(1)->drawn(state).pixel(inside - close.topLeft()) & 0xFFFFFF;
    };
    QTest::mouseMove(bar, QPoint(bar->width() / 2, 3));
    EXPECT_EQ(shown(), expected(0));
    EXPECT_EQ(bar->hoverIndex(), -1);
    QTest::mouseMove(bar, inside);
    EXPECT_EQ(shown(), expected(1));
    EXPECT_EQ(bar->hoverIndex(), 1);
    send(bar, QEvent::MouseButtonPress, inside);
    EXPECT_TRUE(bar->pressed());
    EXPECT_EQ(shown(), expected(2));
    EXPECT_NE(expected(1), expected(2));
    // Let go elsewhere: no click.
    send(bar, QEvent::MouseButtonRelease, QPoint(bar->width() / 2, 3), {});
    EXPECT_TRUE(f.form->isVisible());
    EXPECT_FALSE(bar->pressed());

    // A menu that took the pointer leaves no button lit behind it.
    QTest::mouseMove(bar, inside);
    bar->systemMenu()->Popup(bar->mapToGlobal(QPoint(0, bar->height())));
    EXPECT_EQ(shown(), expected(0));
    EXPECT_EQ(bar->hoverIndex(), -1);
    bar->systemMenu()->hide();

    // With Custom set, styles and window states leave the pictures alone.
    bar->setCustom(true);
    bar->setUIStyle(S::Graphite);
    EXPECT_EQ(max->picNormal(), cell(7));
    f.form->setWindowState(Qt::WindowMaximized);
    QApplication::processEvents();
    EXPECT_EQ(max->picNormal(), cell(7));
}

TEST(TitleBar, RefusalsSayWhyAndChangeNothing) {
    FakeMessageBoxes boxes;
    TvsTitleBar bar;
    TvsTitleBarButton* close = bar.buttons()->items(1);
    const QImage before = close->picNormal();
    close->setButtonType(B::vsControlBox);
    bar.buttons()->items(0)->setButtonType(B::vsControlBox);  // even the one that has it
    EXPECT_EQ(boxes.texts(), QStringList({kControlBoxTwice, kControlBoxTwice}));
    EXPECT_EQ(boxes.requests()[0].kind, MessageKind::Error);
    EXPECT_EQ(close->buttonType(), B::vsClose);
    EXPECT_EQ(close->picNormal(), before);

    boxes.clear();
    TvsTitleBarSection* left = bar.sections()->items(0);
    TvsTitleBarSection* client = bar.sections()->items(2);
    ASSERT_EQ(client->align(), TvsTitleBarAlign::vsClient);
    left->setAlign(TvsTitleBarAlign::vsClient);
    client->setAlign(TvsTitleBarAlign::vsClient);
    EXPECT_EQ(boxes.texts(), QStringList({kClientTwice, kClientTwice}));
    EXPECT_EQ(left->align(), TvsTitleBarAlign::vsLeft);
    EXPECT_FALSE(left->stretch());
    client->setStretch(false);
    EXPECT_TRUE(client->stretch()) << "the client section always stretches";

    // A section of its own, copied in: the bar takes the copy.
    TvsTitleBarSections mine(nullptr);
    TvsTitleBarSection* s = mine.add();
    s->setWidth(40);
    s->setAlign(TvsTitleBarAlign::vsRight);
    bar.setSections(mine);
    ASSERT_EQ(bar.sections()->count(), 1);
    EXPECT_EQ(bar.sections()->items(0)->width(), 40);
    EXPECT_EQ(bar.sections()->items(0)->align(), TvsTitleBarAlign::vsRight);

    const int height = bar.height();
    bar.setSections(TvsTitleBarSections(nullptr));
    bar.setAutoSize(true);
    EXPECT_FALSE(bar.autoSize());
    EXPECT_EQ(bar.height(), height);

    // The font colour follows the style, but not a theme file taken away.
    bar.setUIStyle(S::Graphite);
    EXPECT_EQ(bar.fontColor(), QColor(Qt::black));
    bar.setUIStyle(S::Meadow);
    EXPECT_EQ(bar.fontColor(), QColor(Qt::white));
    bar.setUIStyle(S::Graphite);
    TvsFileTheme theme;
    bar.setFileTheme(&theme);
    bar.setUIStyle(S::DeepBlue);
    bar.setFontColor(Qt::red);
    bar.setFileTheme(nullptr);
    EXPECT_EQ(bar.fontColor(), QColor(Qt::red));
}

// Left sections from the left, right ones from the right while they fit,
// the client section stretched over what is left.
TEST(TitleBar, SectionsShareTheWidth) {
    auto solid = [](QRgb c) {
        QImage img(10, 22, QImage::Format_RGB32);
        img.fill(c);
        return img;
    };
    TvsTitleBar bar;
    bar.resize(300, bar.height());
    bar.buttons()->clear();
    TvsTitleBarSections mine(nullptr);
    TvsTitleBarSection* left = mine.add();
    left->setPicture(solid(0xFF0000));
    left->setStretch(true);
    TvsTitleBarSection* client = mine.add();
    client->setAlign(TvsTitleBarAlign::vsClient);
    client->setPicture(solid(0x00FF00));
    TvsTitleBarSection* right = mine.add();
    right->setAlign(TvsTitleBarAlign::vsRight);
    right->setPicture(solid(0x0000FF));
    bar.setSections(mine);
    // Copying goes through AutoSize, which takes the pictures' widths.
    EXPECT_EQ(bar.sections()->items(0)->width(), 10);
    bar.sections()->items(0)->setWidth(100);
    bar.sections()->items(2)->setWidth(60);
    QImage shot = bar.grab().toImage();
    EXPECT_EQ(at(shot, 0, 5), 0xFF0000u);
    EXPECT_EQ(at(shot, 99, 5), 0xFF0000u);
    EXPECT_EQ(at(shot, 100, 5), 0x00FF00u);
    EXPECT_EQ(at(shot, 239, 5), 0x00FF00u);
    EXPECT_EQ(at(shot, 240, 5), 0x0000FFu);
    EXPECT_EQ(at(shot, 249, 5), 0x0000FFu);
    EXPECT_EQ(at(shot, 250, 5), rgbOf(bar.borderColor())) << "an unstretched picture is not repeated";
    // A right section with no room is left out.
    bar.sections()->items(0)->setWidth(290);
    shot = bar.grab().toImage();
    EXPECT_EQ(at(shot, 295, 5), 0x00FF00u);
}

TEST(TitleBar, DragsClicksDoubleClicksAndTheSystemMenu) {
    Framed f;
    TvsTitleBar* bar = f.bar();
    // A drag on the empty bar moves the window, a click does not.
    const QPoint start = f.form->pos();
    const QPoint on(bar->width() / 2, bar->height() / 2);
    send(bar, QEvent::MouseButtonPress, on);
    send(bar, QEvent::MouseMove, on + QPoint(1, 0));
    EXPECT_EQ(f.form->pos(), start) << "within the drag distance";
    send(bar, QEvent::MouseMove, on + QPoint(30, 20));
    send(bar, QEvent::MouseButtonRelease, on + QPoint(30, 20), {});
    EXPECT_EQ(f.form->pos(), start + QPoint(30, 20));
    // Moves without the button after a lost release do not drag.
    send(bar, QEvent::MouseButtonPress, on);
    send(bar, QEvent::MouseMove, on + QPoint(40, 0), Qt::NoButton);
    EXPECT_EQ(f.form->pos(), start + QPoint(30, 20));
    send(bar, QEvent::MouseButtonRelease, on, {});

    const QPoint empty(bar->width() / 2, bar->height() / 2);
    // The empty bar maximises and restores, through the first maximise
    // button even when it is hidden.
    bar->buttons()->items(2)->setVisible(false);
    doubleClick(bar, empty);
    EXPECT_TRUE(f.form->isMaximized());
    doubleClick(bar, empty);
    EXPECT_FALSE(f.form->isMaximized());
    EXPECT_TRUE(f.form->isVisible()) << "a press that does not move is no drag";
    bar->buttons()->items(2)->setVisible(true);

    click(bar, f.rectOf(2).center());
    EXPECT_TRUE(f.form->isMaximized());
    click(bar, f.rectOf(2).center());
    EXPECT_FALSE(f.form->isMaximized());

    // Help and custom buttons only tell.
    TvsTitleBarButton* help = bar->buttons()->add();
    help->setButtonType(B::vsHelp);
    TvsTitleBarButton* custom = bar->buttons()->add();
    custom->setPicNormal(help->picNormal());
    QList<int> helps, customs;
    QObject::connect(f.frame, &TvsForm::titleBarHelpBtnClick, [&](int i) { helps << i; });
    QObject::connect(f.frame, &TvsForm::titleBarCustomBtnsClick, [&](int i) { customs << i; });
    click(bar, f.rectOf(4).center());
    click(bar, f.rectOf(5).center());
    EXPECT_EQ(helps, QList<int>({4}));
    EXPECT_EQ(customs, QList<int>({5}));

    // The system menu: its items enabled by the buttons there are, shown or
    // not.
    TvsTitleBarPopupMenu* menu = bar->systemMenu();
    QStringList texts;
    for (QAction* a : menu->actions()) texts << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(texts, QStringList({"最小化(&N)", "最大化/还原(&X)", "-", "关闭(&C)"}));
    bar->buttons()->remove(3);  // the minimise button
    bar->buttons()->items(2)->setVisible(false);
    click(bar, f.rectOf(0).center());
    EXPECT_FALSE(menu->isVisible()) << "the control box waits for a second click";
    for (int i = 0; i < 200 && !menu->isVisible(); ++i) QTest::qWait(10);
    ASSERT_TRUE(menu->isVisible());
    EXPECT_FALSE(menu->minimizeItem()->isEnabled());
    EXPECT_TRUE(menu->maximizeItem()->isEnabled());
    EXPECT_TRUE(menu->closeItem()->isEnabled());
    EXPECT_EQ(menu->pos(), bar->mapToGlobal(QPoint(0, bar->height())));
    menu->maximizeItem()->trigger();
    EXPECT_TRUE(f.form->isMaximized());
    menu->hide();
    menu->maximizeItem()->trigger();
    EXPECT_FALSE(f.form->isMaximized());

    // A double click on the control box closes the window, the menu never
    // shows; the window's own question still runs.
    int asked = 0;
    struct Guard : QObject {
        int* asked;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() != QEvent::Close) return false;
            ++*asked;
            e->ignore();
            return true;
        }
    } guard;
    guard.asked = &asked;
    f.form->installEventFilter(&guard);
    doubleClick(bar, f.rectOf(0).center());
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    EXPECT_FALSE(menu->isVisible());
    EXPECT_EQ(asked, 1);
    click(bar, f.rectOf(1).center());
    EXPECT_EQ(asked, 2);
    f.form->removeEventFilter(&guard);
    menu->closeItem()->trigger();
    EXPECT_FALSE(f.form->isVisible());
}

// ----------------------------------------------------------- the frame

TEST(FormFrame, PlacesItselfPaintsTheStripsAndStylesItsControls) {
    FakeMessageBoxes boxes;
    Framed f(S::Meadow);  // a 3-pixel border
    ASSERT_EQ(f.frame->borderWidth(), 3);
    EXPECT_EQ(f.frame->geometry(), QRect(3, 0, 394, 297));
    const int barHeight = f.bar()->height();
    EXPECT_EQ(f.form->contentsMargins(), QMargins(3, barHeight, 3, 3));
    const QImage shot = f.form->grab().toImage();
    const QRgb border = rgbOf(f.frame->borderColor());
    for (QPoint p : {QPoint(1, 150), QPoint(398, 150), QPoint(200, 298)}) EXPECT_EQ(at(shot, p.x(), p.y()), border);
    EXPECT_EQ(at(shot, 200, 200), rgbOf(f.frame->color()));
    f.frame->setTitleBarVisible(false);
    EXPECT_EQ(f.frame->geometry(), QRect(3, 3, 394, 294));
    EXPECT_EQ(f.form->contentsMargins(), QMargins(3, 3, 3, 3));
    f.frame->setTitleBarVisible(true);

    f.frame->setFrameHeight(200);
    EXPECT_EQ(f.form->height(), 204);
    f.frame->setBorderWidth(1);
    f.frame->setFrameHeight(200);
    EXPECT_EQ(f.form->height(), 201);
    f.frame->setFrameWidth(300);
    EXPECT_EQ(f.form->width(), 302);

    // The frame as its own panel is refused; another panel fills the rest.
    f.frame->setFormPanel(f.frame);
    EXPECT_EQ(boxes.texts(), QStringList({kPanelIsFrame}));
    EXPECT_EQ(f.frame->formPanel(), nullptr);
    auto* panel = new QFrame(f.form.get());
    panel->setFrameShape(QFrame::Box);
    f.frame->setFormPanel(panel);
    EXPECT_EQ(panel->parentWidget(), f.frame);
    EXPECT_EQ(panel->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(panel->geometry(), QRect(0, barHeight, f.frame->width(), f.frame->height() - barHeight));

    // Styles change the border, background and the bar together.
    f.frame->setUIStyle(S::Graphite);
    EXPECT_EQ(f.frame->borderColor(), GetInsideThemeColor(S::Graphite, vskey::FormBorderColor));
    EXPECT_EQ(f.frame->borderWidth(), 1);
    EXPECT_EQ(f.bar()->uiStyle(), S::Graphite);
    const QImage tile = BuiltinArt("GRAPHITE_FORM_BACKGROUND");
    const QImage graphite = f.frame->grab().toImage();
    EXPECT_EQ(at(graphite, 5, 100), tile.pixel(5 % 32, 100 % 32) & 0xFFFFFF) << "the tiled background";

    // Controls made after the frame take its style, and follow it when asked.
    TvsProgressBar progress(f.form.get());
    EXPECT_EQ(progress.uiStyle(), S::Graphite);
    f.frame->setUIStyleAutoUpdateSub(true);
    f.frame->setUIStyle(S::Protein);
    EXPECT_EQ(progress.uiStyle(), S::Protein);
    // Taking the theme file away puts everything back to DeepBlue.
    auto theme = std::make_unique<TvsFileTheme>();
    f.frame->setFileTheme(theme.get());
    theme.reset();
    EXPECT_EQ(f.frame->uiStyle(), S::DeepBlue);
    EXPECT_EQ(f.bar()->uiStyle(), S::DeepBlue);
    EXPECT_EQ(progress.uiStyle(), S::DeepBlue);
}

// Main windows and dialogs lay their contents out inside the frame.
TEST(FormFrame, MainWindowsAndDialogsKeepTheirContentsInside) {
    for (bool mainWindow : {true, false}) {
        std::unique_ptr<QWidget> w;
        auto* content = new QWidget;
        if (mainWindow) {
            auto* m = new QMainWindow;
            m->setCentralWidget(content);
            w.reset(m);
        } else {
            auto* d = new QDialog;
            auto* l = new QVBoxLayout(d);
            l->setContentsMargins(0, 0, 0, 0);
            l->addWidget(content);
            w.reset(d);
        }
        w->resize(400, 300);
        auto* frame = new TvsForm(w.get());
        w->show();
        QApplication::processEvents();
        const int bar = frame->titleBar()->height();
        EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
        EXPECT_EQ(w->contentsRect(), QRect(1, bar, 398, 299 - bar));
        EXPECT_EQ(QRect(content->mapTo(w.get(), QPoint(0, 0)), content->size()), w->contentsRect()) << mainWindow;
    }
}

TEST(FormFrame, EdgeZonesAndGrips) {
    const QSize s(400, 300);
    struct Row {
        QPoint p;
        Qt::Edges edges;
    };
    for (const Row& row : {Row{{2, 2}, Qt::TopEdge | Qt::LeftEdge}, Row{{397, 1}, Qt::TopEdge | Qt::RightEdge},
                           Row{{399, 299}, Qt::BottomEdge | Qt::RightEdge}, Row{{0, 297}, Qt::BottomEdge | Qt::LeftEdge},
                           Row{{4, 150}, Qt::LeftEdge}, Row{{200, 4}, Qt::TopEdge}, Row{{396, 150}, Qt::RightEdge},
                           Row{{200, 296}, Qt::BottomEdge}, Row{{5, 150}, {}}, Row{{395, 150}, {}},
                           Row{{200, 295}, {}}, Row{{200, 150}, {}}}) {
        EXPECT_EQ(TvsForm::frameEdgesAt(row.p, s, true, false), row.edges) << row.p.x() << "," << row.p.y();
        EXPECT_EQ(TvsForm::frameEdgesAt(row.p, s, true, true), Qt::Edges()) << "maximised";
        EXPECT_EQ(TvsForm::frameEdgesAt(row.p, s, false, false), Qt::Edges()) << "fixed size";
    }
    EXPECT_EQ(TvsForm::frameEdgesAt({7, 150}, s, true, false, 8), Qt::LeftEdge) << "a wide border grips wider";

    // The grips lie over the contents, 5 pixels wide even on a 1-pixel border.
    Framed f(S::DeepBlue);
    ASSERT_EQ(f.frame->borderWidth(), 1);
    const QList<QRect> grips = f.frame->gripRects();
    EXPECT_EQ(grips, QList<QRect>({QRect(0, 0, 5, 300), QRect(0, 0, 400, 5), QRect(396, 0, 4, 300),
                                   QRect(0, 296, 400, 4)}));
    auto* later = new QWidget(f.form.get());
    later->setGeometry(f.form->rect());
    later->show();
    EXPECT_EQ(f.form->childAt(1, 150)->objectName(), "frameGrip") << "made later, still under the grips";
    EXPECT_EQ(f.form->childAt(200, 150), later);
    // A grip drag resizes.
    QWidget* right = f.form->childAt(398, 150);
    ASSERT_NE(right, nullptr);
    send(right, QEvent::MouseButtonPress, QPoint(2, 150));
    send(right, QEvent::MouseMove, QPoint(52, 150));
    send(right, QEvent::MouseButtonRelease, QPoint(52, 150), {});
    EXPECT_EQ(f.form->size(), QSize(450, 300));
    EXPECT_EQ(f.frame->width(), 448);
    EXPECT_EQ(f.bar()->width(), 448);

    // A window of fixed size has none.
    QWidget fixed;
    fixed.setFixedSize(300, 200);
    TvsForm frame(&fixed);
    EXPECT_FALSE(frame.sizeable());
    EXPECT_TRUE(frame.gripRects().isEmpty());
}

TEST(FormFrame, RoundCornersShapeTheWindow) {
    struct Row {
        S style;
        int r;
    };
    for (const Row& row : {Row{S::BlueGlass, 11}, Row{S::Meadow, 13}, Row{S::DeepBlue, 0}}) {
        Framed f(row.style);
        EXPECT_EQ(f.frame->roundCorner(), row.r);
        const QRegion mask = f.form->mask();
        if (row.r == 0) {
            EXPECT_TRUE(mask.isEmpty());
            continue;
        }
        EXPECT_FALSE(mask.contains(QPoint(0, 0)));
        EXPECT_FALSE(mask.contains(QPoint(399, 0)));
        EXPECT_TRUE(mask.contains(QPoint(row.r, 0)));
        EXPECT_TRUE(mask.contains(QPoint(0, 299))) << "square at the bottom";
        EXPECT_TRUE(mask.contains(QPoint(399, 299)));
        EXPECT_TRUE(mask.contains(QPoint(0, row.r)));
        f.form->resize(500, 320);
        EXPECT_TRUE(f.form->mask().contains(QPoint(499, 319))) << "follows the size";
        f.frame->setRoundCorner(0);
        EXPECT_TRUE(f.form->mask().isEmpty());
    }
    EXPECT_EQ(TvsTitleBar::FormRegion(QSize(20, 10), 500).boundingRect(), QRect(0, 0, 20, 10)) << "huge corners";
}

TEST(FormFrame, OneFramePerWindowAndItsMenuBarUnderTheTitle) {
    FakeMessageBoxes boxes;
    Framed f;
    const Qt::WindowFlags flags = f.form->windowFlags();
    try {
        new TvsForm(f.form.get());
        ADD_FAILURE() << "a second frame was made";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(QString::fromStdString(e.what()), kSecondFrame);
    }
    EXPECT_EQ(f.form->findChildren<TvsForm*>().size(), 1);
    EXPECT_EQ(f.form->windowFlags(), flags);

    QWidget dressed;
    SetFrameOwner(&dressed, "skin engine");
    EXPECT_THROW(TvsForm{&dressed}, std::runtime_error);
    EXPECT_FALSE(dressed.windowFlags() & Qt::FramelessWindowHint);

    // Taken off a window that goes on, the frame gives the window back its own.
    QWidget plain;
    plain.resize(300, 200);
    plain.show();
    auto* frame = new TvsForm(&plain);
    EXPECT_TRUE(plain.windowFlags() & Qt::FramelessWindowHint);
    delete frame;
    EXPECT_FALSE(plain.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(plain.contentsMargins(), QMargins());
    EXPECT_TRUE(FrameOwner(&plain).isEmpty());
    EXPECT_TRUE(plain.findChildren<QWidget*>().isEmpty());

    auto* menu = new TvsMainMenu(f.form.get());
    for (const char* m : {"File", "Edit", "Help"}) menu->addMenu(m)->addAction("Item");
    f.frame->setMenuBarHeight(24);
    f.frame->SetMenu(menu);
    const int barHeight = f.bar()->height();
    EXPECT_EQ(menu->geometry(), QRect(0, barHeight, f.frame->width(), 24));
    EXPECT_EQ(f.form->contentsMargins().top(), barHeight + 24);
    int x = -1;
    QStringList order;
    for (QAction* a : menu->actions()) {
        const QRect r = menu->actionGeometry(a);
        EXPECT_GT(r.left(), x);
        x = r.left();
        order << a->text();
    }
    EXPECT_EQ(order, QStringList({"File", "Edit", "Help"}));
    const QImage shot = menu->grab().toImage();
    EXPECT_EQ(at(shot, shot.width() - 2, 12), rgbOf(f.frame->color()));
    f.frame->setMenuBarColor(QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(at(menu->grab().toImage(), menu->width() - 2, 12), 0x123456u);
    delete menu;
    EXPECT_EQ(f.form->contentsMargins().top(), barHeight);
    // A frame that goes with its menu bar still in it.
    f.frame->SetMenu(new TvsMainMenu(f.form.get()));
    f.form.reset();
}

// Values no theme should hold: the window still shows a bar with its close
// button inside, a usable border, and can be closed.
TEST(FormFrame, HostileThemeValuesLeaveAWindowThatWorks) {
    const QString path = QDir::temp().filePath("tunevale_frame_test.theme");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(ThemeFileBuilder()
                   .integer("FormBorderWidthInt", 1000)
                   .integer("FormRoundCornerInt", 5000)
                   .integer("TitleBarButtonRightOffsetInt", -9999)
                   .integer("TitleBarButtonLeftOffsetInt", 9999)
                   .integer("TitleBarButtonTopInt", 500)
                   .integer("FormMinWidthInt", -20)
                   .image("TitleBarButtonImage", QImage(5, 5, QImage::Format_RGB32))
                   .build());
    file.close();
    TvsFileTheme theme;
    theme.SetThemeFile(path);
    ASSERT_TRUE(theme.CanUse());
    Framed f(S::DeepBlue, QSize(125, 50));
    f.frame->setFileTheme(&theme);
    f.frame->setUIStyle(S::FromThemeFile);
    f.form->resize(125, 50);
    QApplication::processEvents();
    TvsTitleBar* bar = f.bar();
    EXPECT_LE(f.frame->borderWidth(), 20);
    EXPECT_GE(bar->height(), TvsTitleBar::kMinHeight);
    EXPECT_GE(f.form->minimumWidth(), 125);
    const QRect close = f.rectOf(1);
    EXPECT_FALSE(close.isEmpty()) << "the style's own strip stands in";
    EXPECT_TRUE(QRect(0, 0, bar->width() + 1, bar->height() + 1).contains(close))
        << close.x() << "," << close.y() << " " << close.width() << "x" << close.height();
    f.form->grab();
    click(bar, close.center());
    EXPECT_FALSE(f.form->isVisible());
    QFile::remove(path);
}

// Themes that try every way of taking a window's close button or control box
// from the user: out of the bar, under a resize grip, cut off by the round
// corner, too small or too large to hit. Whatever such a theme says, the
// middle of both buttons lies in the bar, in the window's shape and under
// no grip, and a click there closes the window or opens the system menu.
TEST(FormFrame, NoThemeTakesTheCloseButtonOrTheControlBoxAway) {
    auto strip = [](int cellWidth, int height) {
        QImage img(cellWidth * 18, height, QImage::Format_RGB32);
        img.fill(QColor(0x30, 0x60, 0x90));
        return img;
    };
    auto bar = [](int height) {
        QImage img(40, height, QImage::Format_RGB32);
        img.fill(QColor(0x10, 0x20, 0x40));
        return img;
    };
    using Theme = std::function<void(ThemeFileBuilder&)>;
    const std::vector<std::pair<const char*, Theme>> themes = {
        {"right offset out", [](auto& b) { b.integer("TitleBarButtonRightOffsetInt", 16); }},
        {"right offset far out", [](auto& b) { b.integer("TitleBarButtonRightOffsetInt", 9999); }},
        {"small cells pushed out", [&](auto& b) {
             b.integer("TitleBarButtonRightOffsetInt", 16).image("TitleBarButtonImage", strip(12, 12));
         }},
        {"left offset out", [](auto& b) { b.integer("TitleBarButtonLeftOffsetInt", -16); }},
        {"left offset far out", [](auto& b) { b.integer("TitleBarButtonLeftOffsetInt", -9999); }},
        {"one-pixel cells", [&](auto& b) { b.image("TitleBarButtonImage", strip(1, 5)); }},
        {"two-pixel cells", [&](auto& b) { b.image("TitleBarButtonImage", strip(2, 2)); }},
        {"flat cells", [&](auto& b) { b.image("TitleBarButtonImage", strip(16, 3)); }},
        {"wide cells", [&](auto& b) { b.image("TitleBarButtonImage", strip(200, 16)); }},
        {"tall cells", [&](auto& b) { b.image("TitleBarButtonImage", strip(16, 90)); }},
        {"huge cells", [&](auto& b) { b.image("TitleBarButtonImage", strip(120, 120)); }},
        {"round corner", [](auto& b) { b.integer("FormRoundCornerInt", 64); }},
        {"round corner, small cells at the corner", [&](auto& b) {
             b.integer("FormRoundCornerInt", 64).integer("TitleBarButtonTopInt", 0)
                 .image("TitleBarButtonImage", strip(12, 12));
         }},
        {"round corner far out", [](auto& b) { b.integer("FormRoundCornerInt", 5000); }},
        {"wide border", [](auto& b) { b.integer("FormBorderWidthInt", 20); }},
        {"wide border, buttons at the top", [&](auto& b) {
             b.integer("FormBorderWidthInt", 20).integer("TitleBarButtonTopInt", 0)
                 .image("TitleBarButtonImage", strip(12, 12));
         }},
        {"low bar, low buttons", [&](auto& b) {
             b.image("TitleBarLeftImage", bar(5)).integer("TitleBarButtonTopInt", 500);
         }},
        {"high bar, buttons at the top", [&](auto& b) {
             b.image("TitleBarLeftImage", bar(200)).integer("TitleBarButtonTopInt", 0);
         }},
        {"narrow window", [](auto& b) { b.integer("FormMinWidthInt", -20); }},
        {"wide window", [](auto& b) { b.integer("FormMinWidthInt", 100000); }},
        {"everything at once", [&](auto& b) {
             b.integer("FormBorderWidthInt", 1000).integer("FormRoundCornerInt", 5000)
                 .integer("TitleBarButtonRightOffsetInt", 9999).integer("TitleBarButtonLeftOffsetInt", -9999)
                 .integer("TitleBarButtonTopInt", -500).image("TitleBarButtonImage", strip(1, 1))
                 .image("TitleBarLeftImage", bar(1));
         }},
        {"keyed strip", [&](auto& b) {
             b.boolean("TitleBarButtonTransparentBool", true).integer("TitleBarButtonRightOffsetInt", 16)
                 .integer("FormRoundCornerInt", 64);
         }},
    };
    ASSERT_EQ(themes.size(), 22u);
    const QString path = QDir::temp().filePath("tunevale_hostile_frame.theme");
    for (const auto& [name, make] : themes) {
        for (const QSize size : {QSize(125, 50), QSize(400, 300)}) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(size.width()));
            ThemeFileBuilder builder;
            make(builder);
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(builder.build());
            file.close();
            TvsFileTheme theme;
            theme.SetThemeFile(path);
            ASSERT_TRUE(theme.CanUse());
            Framed f(S::DeepBlue, size);
            f.frame->setFileTheme(&theme);
            f.frame->setUIStyle(S::FromThemeFile);
            f.form->resize(size);
            QApplication::processEvents();
            TvsTitleBar* tb = f.bar();
            const QRect inBar(QPoint(0, 0), tb->size());
            for (int button : {0, 1}) {
                const QRect r = f.rectOf(button);
                ASSERT_FALSE(r.isEmpty()) << "button " << button;
                EXPECT_GE(std::min(r.width(), r.height()), 10) << "button " << button << " big enough to hit";
                const QPoint middle = r.center();
                EXPECT_TRUE(inBar.contains(middle)) << "button " << button << " at " << middle.x() << "," << middle.y();
                const QPoint onWindow = tb->mapTo(f.form.get(), middle);
                const QRegion shape = f.form->mask();
                EXPECT_TRUE(shape.isEmpty() || shape.contains(onWindow)) << "button " << button << " in the shape";
                for (const QRect& grip : f.frame->gripRects())
                    EXPECT_FALSE(grip.contains(onWindow)) << "button " << button << " under a grip";
                EXPECT_EQ(f.form->childAt(onWindow), tb) << "button " << button << " reached by the pointer";
            }
            // The control box's menu, then the close button.
            const QPoint box = f.rectOf(0).center();
            click(tb, box);
            QTest::qWait(QApplication::doubleClickInterval() + 50);
            EXPECT_EQ(QApplication::activePopupWidget(), tb->systemMenu());
            if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
            click(tb, f.rectOf(1).center());
            EXPECT_FALSE(f.form->isVisible());
        }
    }
    QFile::remove(path);
}

}  // namespace
