// The engine with real widgets (offscreen): the windows the program skins, the
// events of the elements in the order handlers rely on, and that bindings and
// skins survive resets, re-skinning and broken files.

#include "components/skin/skinengine.h"
#include "components/skin/skinlabel.h"
#include "components/skin/skinview.h"

#include "testenv.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <memory>

namespace {

QString shipped(int n) {
    return QString::fromStdString(testenv::sourceDir()) + QStringLiteral("/components/skin/skins/skin%1.skn").arg(n);
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

// The main window as the program builds it: a header band "Image", the
// library in the middle and a footer band "Image2", which skin 2 hides.
std::unique_ptr<QWidget> mainWindow(int skinNumber = 1) {
    auto w = std::make_unique<QWidget>();
    w->setWindowTitle("Tunevale");
    auto* col = new QVBoxLayout(w.get());
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    auto* header = new QWidget;
    header->setObjectName("Image");
    header->setFixedHeight(skinNumber == 2 ? 53 : 52);
    col->addWidget(header);
    col->addWidget(new QTreeWidget, 1);
    auto* footer = new QWidget;
    footer->setObjectName("Image2");
    footer->setFixedHeight(78);
    footer->setVisible(skinNumber != 2);
    col->addWidget(footer);
    return w;
}

std::unique_ptr<QWidget> playlistWindow() {
    auto w = std::make_unique<QWidget>();
    w->setWindowTitle("Playlist");
    (new QTreeWidget(w.get()))->setObjectName("lv");
    w->resize(253, 321);
    return w;
}

void mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, at, w->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button, held, {});
    QApplication::sendEvent(w, &e);
}

void click(QWidget* w, Qt::MouseButton button = Qt::LeftButton) {
    const QPoint c = w->rect().center();
    mouse(w, QEvent::MouseButtonPress, c, button);
    mouse(w, QEvent::MouseButtonRelease, c, button);
}
void click(SkinObject* o, Qt::MouseButton button = Qt::LeftButton) { click(o->widget(), button); }

// Records the engine's events as text, in the order they came.
struct EventLog {
    QStringList lines;
    int lastTrack = -1;
    explicit EventLog(SkinEngine& e) {
        auto add = [this](const QString& what, SkinObject* s, int n) {
            lines << QStringLiteral("%1 %2 %3").arg(what, s->getName()).arg(n);
        };
        using E = SkinEngine;
        QObject::connect(&e, &E::onClick, [this](SkinObject* s) { lines << "click " + s->getName(); });
        QObject::connect(&e, &E::onMouseDown, [add](SkinObject* s, int b, int, int) { add("down", s, b); });
        QObject::connect(&e, &E::onMouseUp, [add](SkinObject* s, int b, int, int) { add("up", s, b); });
        QObject::connect(&e, &E::onScrollTrack, [this, add](SkinObject* s, int pos) {
            add("track", s, lastTrack = pos);
        });
    }
    QStringList take() { return std::exchange(lines, {}); }
};

class SkinEngineTest : public ::testing::Test {
protected:
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    // The window dressed in a section and, unless asked not to, on screen.
    std::unique_ptr<QWidget> skinned(std::unique_ptr<QWidget> w, const char* section, bool show = true) {
        EXPECT_TRUE(engine.applySkinSection(w.get(), section)) << section;
        if (show) w->show();
        return w;
    }
    template <class T = SkinObject>
    T* find(QWidget* w, const char* name) {
        SkinObject* o = engine.findSkinObject(w, name);
        return o ? o->as<T>() : nullptr;
    }
    SkinEngine engine;
};

// Every element shows, lies inside its window and overlaps no other element
// that takes the mouse, nor the window's list.
void expectLaidOut(SkinEngine& engine, QWidget* window, const QString& what, QWidget* list = nullptr) {
    const QList<SkinObject*> objects = engine.skinObjects(window);
    ASSERT_FALSE(objects.isEmpty()) << what.toStdString();
    QList<QPair<QString, QRect>> boxes;
    if (list) boxes.append({"the list", QRect(list->mapTo(window, QPoint(0, 0)), list->size())});
    for (SkinObject* o : objects) {
        const std::string name = (what + "/" + o->getName()).toStdString();
        QWidget* v = o->widget();
        ASSERT_NE(v, nullptr) << name;
        EXPECT_TRUE(v->isVisibleTo(window)) << name;
        const QRect box(v->mapTo(window, QPoint(0, 0)), v->size());
        EXPECT_GE(box.width(), 8) << name;
        EXPECT_GE(box.height(), 8) << name;
        EXPECT_TRUE(window->rect().contains(box)) << name << " at " << box.x() << "," << box.y() << " "
                                                   << box.width() << "x" << box.height();
        EXPECT_TRUE(v->parentWidget()->rect().contains(v->geometry())) << name << " leaves its band";
        for (const auto& [other, otherBox] : boxes)
            EXPECT_FALSE(box.intersects(otherBox)) << name << " overlaps " << other.toStdString();
        boxes.append({o->getName(), box});
    }
}

}  // namespace

TEST_F(SkinEngineTest, EveryElementFitsItsWindowAtTheSizesTheProgramUses) {
    for (int n : {1, 2}) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(engine.loadSkin(shipped(n))) << engine.lastError().toStdString();
        auto main = skinned(mainWindow(n), "Tunevale");
        for (QSize size : {main->minimumSize(), QSize(1280, 800)}) {
            main->resize(size);
            QCoreApplication::processEvents();
            ASSERT_EQ(main->size(), size);
            expectLaidOut(engine, main.get(), QStringLiteral("Tunevale %1x%2").arg(size.width()).arg(size.height()));
        }

        auto mini = skinned(std::make_unique<QWidget>(), "minTunevale");
        EXPECT_EQ(mini->size(), QSize(373, 55));
        expectLaidOut(engine, mini.get(), "minTunevale");

        auto playlist = skinned(playlistWindow(), "Playlist");
        EXPECT_EQ(playlist->size(), QSize(253, 321));
        // The list sits between the elements, inside the window.
        QWidget* lv = playlist->findChild<QWidget*>("lv");
        expectLaidOut(engine, playlist.get(), "Playlist", lv);
        EXPECT_TRUE(playlist->rect().contains(lv->geometry()));
        EXPECT_GT(lv->height(), 150);

        lv->hide();
        engine.resetWindow(playlist.get());
        ASSERT_TRUE(engine.applySkinSection(playlist.get(), "minPlaylist"));
        expectLaidOut(engine, playlist.get(), "minPlaylist");
    }
}

// A file that cannot be read or checked keeps the skin there was, or the
// built-in one when there was none, and says which file failed and why.
TEST_F(SkinEngineTest, FailedLoadKeepsThePreviousSkin) {
    const QString dir = QString::fromStdString(testenv::makeTempDir());
    QSignalSpy errors(&engine, &SkinEngine::skinError);
    EXPECT_FALSE(engine.loadSkin(dir + QStringLiteral("/missing.skn")));
    EXPECT_EQ(errors.count(), 1);
    EXPECT_EQ(engine.skinFile(), SkinEngine::builtInSkinPath());
    QWidget mini;
    EXPECT_TRUE(engine.applySkinSection(&mini, "minTunevale"));
    EXPECT_NE(find(&mini, "mfilename"), nullptr);

    ASSERT_TRUE(engine.loadSkin(shipped(2)));
    const QString name = engine.skinName();
    const QByteArray bytes = bytesOf(shipped(1));
    const QList<QByteArray> broken = {bytes.left(bytes.size() / 2), "{}",
                                      QByteArray(bytes).replace("\"Boxplay\"", "\"BoxPlay\"")};
    for (int i = 0; i < broken.size(); ++i) {
        const QString path = dir + QStringLiteral("/broken%1.skn").arg(i);
        testenv::writeFile(path.toStdString(), broken[i].toStdString());
        EXPECT_FALSE(engine.loadSkin(path));
        EXPECT_TRUE(engine.lastError().contains(path)) << engine.lastError().toStdString();
        EXPECT_EQ(engine.skinName(), name);
        EXPECT_EQ(engine.skinFile(), shipped(2));
    }
    EXPECT_EQ(errors.count(), broken.size() + 1);
    EXPECT_TRUE(errors.last().first().toString().contains("Boxplay"));
    EXPECT_TRUE(engine.applySkinSection(mainWindow(2).get(), "Tunevale"));
}

TEST_F(SkinEngineTest, LookUpsByNameAndKindInTheBuiltInSkin) {
    // [basic] skin = 3: no file is loaded, yet the sections apply.
    EXPECT_EQ(bytesOf(SkinEngine::builtInSkinPath()), bytesOf(shipped(1)))
        << "the built-in copy of skin 1 drifted";
    QSignalSpy errors(&engine, &SkinEngine::skinError);
    QWidget bare;
    EXPECT_FALSE(engine.applySkinSection(&bare, "nonexistent"));
    EXPECT_EQ(errors.count(), 1);
    // A window without the bands has every element all the same, shown nowhere.
    ASSERT_TRUE(engine.applySkinSection(&bare, "Tunevale"));
    EXPECT_EQ(errors.count(), 3);  // "Image" and "Image2"
    EXPECT_TRUE(errors.at(1).first().toString().contains("Image"));
    ASSERT_NE(find(&bare, "Boxplay"), nullptr);
    EXPECT_FALSE(find(&bare, "Boxplay")->widget()->isVisibleTo(&bare));
    find(&bare, "Boxplay")->setButtonUp(false);  // bindings work; the element just shows nowhere

    // Element names compare with case.
    auto main = skinned(mainWindow(), "Tunevale", false);
    EXPECT_EQ(engine.skinFile(), SkinEngine::builtInSkinPath());
    for (const char* name : {"mediabar", "soundbar", "time", "filename", "Boxplay", "Min"})
        EXPECT_NE(find(main.get(), name), nullptr) << name;
    EXPECT_EQ(find(main.get(), "min"), nullptr);
    EXPECT_EQ(find(main.get(), "boxplay"), nullptr);
    auto playlist = skinned(playlistWindow(), "Playlist", false);
    SkinObject* button2 = find(playlist.get(), "button2");
    ASSERT_NE(button2, nullptr);
    // Clicks on the play button are told by its own name.
    EXPECT_EQ(button2->getName(), "Listplay");
    EXPECT_EQ(find(playlist.get(), "Minbutton2"), nullptr);

    // Typed access matches the element's kind. The position bars are per
    // mille, the volume bar runs over the player's 16 bits.
    SkinObject* bar = find(main.get(), "soundbar");
    ASSERT_NE(bar->as<SkinScrollBar>(), nullptr);
    EXPECT_EQ(bar->as<SkinText>(), nullptr);
    auto range = [](SkinScrollBar* b) { return std::pair(b->minimum(), b->maximum()); };
    EXPECT_EQ(range(bar->as<SkinScrollBar>()), std::pair(0, 65535));
    EXPECT_EQ(range(find<SkinScrollBar>(main.get(), "mediabar")), std::pair(0, 1000));
    EXPECT_EQ(range(find<SkinScrollBar>(playlist.get(), "Listmediabar")), std::pair(0, 1000));
    ASSERT_NE(find<SkinText>(main.get(), "time"), nullptr);
    EXPECT_EQ(find<SkinText>(main.get(), "time")->getText(), "00:00:00");
    EXPECT_EQ(find(main.get(), "Boxplay")->kind(), SkinObject::Kind::Button);
    auto* media = find<SkinScrollBar>(main.get(), "mediabar");
    media->setPosition(5000);
    EXPECT_EQ(media->getPosition(), 1000);
    media->setPosition(-3);
    EXPECT_EQ(media->getPosition(), 0);
}

TEST_F(SkinEngineTest, SettersRaiseNothingAndElementsReportTheHandInOrder) {
    auto main = skinned(mainWindow(), "Tunevale");
    auto playlist = skinned(playlistWindow(), "Playlist");
    auto* random = find<SkinToggle>(playlist.get(), "Listrandom");
    ASSERT_NE(random, nullptr);
    auto* bar = find<SkinScrollBar>(main.get(), "mediabar");
    EventLog log(engine);
    for (int p : {0, 500, 986, 1000}) bar->setPosition(p);
    find<SkinScrollBar>(main.get(), "soundbar")->setPosition(30000);
    find<SkinText>(main.get(), "time")->setText("00:03:25");
    find(main.get(), "time")->redraw();
    for (bool on : {true, false}) random->setState(on);
    find(playlist.get(), "button2")->setButtonUp(false);
    find(playlist.get(), "button2")->setButtonUp(true);
    QCoreApplication::processEvents();
    EXPECT_TRUE(log.lines.isEmpty()) << log.lines.join("; ").toStdString();

    SkinObject* play = find(main.get(), "Boxplay");
    click(play);
    EXPECT_EQ(log.take(), QStringList({"down Boxplay 1", "up Boxplay 1", "click Boxplay"}));
    click(play, Qt::RightButton);
    EXPECT_EQ(log.take(), QStringList({"down Boxplay 2", "up Boxplay 2"}));
    // Letting go outside the button is no click.
    mouse(play->widget(), QEvent::MouseButtonPress, QPoint(2, 2));
    mouse(play->widget(), QEvent::MouseButtonRelease, QPoint(-20, -20));
    EXPECT_EQ(log.take(), QStringList({"down Boxplay 1", "up Boxplay 1"}));

    // A toggle has its new state when its click is told.
    QList<bool> seen;
    QObject::connect(&engine, &SkinEngine::onClick, [&](SkinObject* s) {
        if (auto* toggle = s->as<SkinToggle>()) seen << toggle->getState();
    });
    click(random);
    click(random);
    EXPECT_EQ(seen, QList<bool>({true, false}));
    EXPECT_FALSE(random->getState());

    // A scroll bar reports the press, every change of a drag and the release,
    // and no click.
    log.lines.clear();
    QWidget* v = bar->widget();
    auto track = [](int pos) { return QStringLiteral("track mediabar %1").arg(pos); };
    const int y = v->height() / 2;
    mouse(v, QEvent::MouseButtonPress, QPoint(v->width() / 2, y));
    EXPECT_NEAR(log.lastTrack, 500, 15);
    EXPECT_EQ(log.take(), QStringList({"down mediabar 1", track(log.lastTrack)}));
    EXPECT_TRUE(bar->isDragging());
    // While the hand holds the thumb, the player's timer does not move it.
    bar->setPosition(10);
    EXPECT_EQ(bar->getPosition(), log.lastTrack);

    mouse(v, QEvent::MouseMove, QPoint(v->width() * 3 / 4, y));
    const int threeQuarters = log.lastTrack;
    mouse(v, QEvent::MouseMove, QPoint(v->width() * 3 / 4, y));  // no change, no event
    mouse(v, QEvent::MouseMove, QPoint(v->width() + 50, y));     // beyond the end: the maximum
    mouse(v, QEvent::MouseButtonRelease, QPoint(v->width() + 50, y));
    EXPECT_EQ(log.take(), QStringList({track(threeQuarters), track(1000), "up mediabar 1"}));
    EXPECT_EQ(bar->getPosition(), 1000);
    EXPECT_FALSE(bar->isDragging());

    // The left edge is the minimum, and a right press moves nothing.
    mouse(v, QEvent::MouseButtonPress, QPoint(0, y));
    mouse(v, QEvent::MouseButtonRelease, QPoint(0, y));
    EXPECT_EQ(bar->getPosition(), 0);
    log.lines.clear();
    mouse(v, QEvent::MouseButtonPress, QPoint(v->width() - 1, y), Qt::RightButton);
    mouse(v, QEvent::MouseButtonRelease, QPoint(v->width() - 1, y), Qt::RightButton);
    EXPECT_EQ(log.lines, QStringList({"down mediabar 2", "up mediabar 2"}));
    EXPECT_EQ(bar->getPosition(), 0);

    // The frame's own buttons act on the window and report nothing.
    log.lines.clear();
    QWidget* close = nullptr;
    for (auto* child : playlist->findChildren<QWidget*>())
        if (child->toolTip() == "Close" && child->isVisible()) close = child;
    ASSERT_NE(close, nullptr);
    click(close);
    EXPECT_FALSE(playlist->isVisible());
    EXPECT_TRUE(log.lines.isEmpty());
}

// "Listmin" resets and re-skins the playlist window from inside its own click,
// as every form show does: the old bindings go at once, no frame shows in
// between, and a reset with no skin following gives the frame back in place.
TEST_F(SkinEngineTest, ReskinFromItsOwnClickThenResetAndDestroyLeaveNothingBehind) {
    auto playlist = skinned(playlistWindow(), "Playlist");
    const QPoint pos = playlist->pos();
    QPointer<SkinObject> listmin = find(playlist.get(), "Listmin");
    QPointer<SkinObject> random = find(playlist.get(), "Listrandom");
    ASSERT_TRUE(listmin && random);
    QPointer<QWidget> oldView = listmin->widget();
    int clicks = 0;
    QObject::connect(&engine, &SkinEngine::onClick, [&](SkinObject* s) {
        ++clicks;
        if (s->getName() != "Listmin") return;
        engine.resetWindow(playlist.get());
        EXPECT_TRUE(random.isNull());
        EXPECT_EQ(find(playlist.get(), "button2"), nullptr);
        engine.applySkinSection(playlist.get(), "minPlaylist");
    });
    click(listmin);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(listmin.isNull());
    EXPECT_TRUE(oldView.isNull() || oldView->isHidden());
    EXPECT_EQ(engine.appliedSection(playlist.get()), "minPlaylist");
    EXPECT_EQ(playlist->size(), QSize(253, 40));
    EXPECT_EQ(find(playlist.get(), "Listrandom"), nullptr);
    QCoreApplication::processEvents();
    EXPECT_TRUE(playlist->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(playlist->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(oldView.isNull());
    click(find(playlist.get(), "Minlistmin"));
    EXPECT_EQ(clicks, 2);

    // Re-applying without a reset (the skin switch) also renews the elements.
    QPointer<SkinObject> mini = find(playlist.get(), "Minbutton2");
    ASSERT_FALSE(mini.isNull());
    engine.applySkinSection(playlist.get(), "minPlaylist");
    EXPECT_TRUE(mini.isNull());
    EXPECT_NE(find(playlist.get(), "Minbutton2"), nullptr);

    engine.resetWindow(playlist.get());
    EXPECT_TRUE(playlist->windowFlags() & Qt::FramelessWindowHint);
    QCoreApplication::processEvents();
    EXPECT_FALSE(playlist->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(playlist->isVisible());
    EXPECT_EQ(playlist->pos(), pos);

    // A window destroyed while skinned leaves nothing dangling.
    engine.applySkinSection(playlist.get(), "minPlaylist");
    QPointer<SkinObject> element = find(playlist.get(), "Minbutton2");
    QWidget* gone = playlist.get();
    playlist.reset();
    EXPECT_TRUE(element.isNull());
    EXPECT_EQ(engine.findSkinObject(gone, "Minbutton2"), nullptr);
    EXPECT_NE(find(skinned(playlistWindow(), "Playlist", false).get(), "Listplay"), nullptr);
}

// A skinned window loses its frame for the skin's, which moves it by dragging;
// a native one keeps its frame and takes the palette and the labels' look. A
// new skin shows once the program applies it again, in place, and a reset
// gives back all the window had.
TEST_F(SkinEngineTest, FramesPalettesSkinSwitchAndReset) {
    auto main = mainWindow();
    const Qt::WindowFlags before = main->windowFlags();
    const QColor window = main->palette().color(QPalette::Window);
    engine.setMainWindow(main.get());
    main = skinned(std::move(main), "Tunevale");
    EXPECT_TRUE(main->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(main->contentsMargins().top(), 28);
    EXPECT_GE(main->minimumWidth(), 680);
    const QColor skin1 = main->palette().color(QPalette::Base);
    EXPECT_NE(skin1, QApplication::palette().color(QPalette::Base));
    QPointer<SkinObject> oldTime = find(main.get(), "time");
    const QString name1 = engine.skinName();
    const QImage look1 = main->grab().toImage();

    // A quick click on the volume icon, whose release the window manager may
    // swallow, must not leave the window following the mouse; a drag with the
    // button held still moves it.
    skin::ElementView* icon = nullptr;
    for (auto* view : main->findChildren<skin::ElementView*>())
        if (view->definition().glyph == "volume") icon = view;
    ASSERT_NE(icon, nullptr);
    const QPoint at = icon->mapTo(main.get(), icon->rect().center());
    QWidget* target = main->childAt(at);  // whatever takes a press there
    ASSERT_NE(target, nullptr);
    const QPoint p = target->mapFrom(main.get(), at), start = main->pos();
    mouse(target, QEvent::MouseButtonPress, p);
    mouse(target, QEvent::MouseMove, p + QPoint(40, 30), Qt::NoButton);  // the release never came
    mouse(target, QEvent::MouseMove, p + QPoint(80, 60), Qt::NoButton);
    EXPECT_EQ(main->pos(), start);

    mouse(target, QEvent::MouseButtonPress, p);
    mouse(target, QEvent::MouseMove, p + QPoint(1, 1));  // with the button held
    EXPECT_EQ(main->pos(), start) << "a press that barely moves is a click";
    mouse(target, QEvent::MouseMove, p + QPoint(40, 30));
    EXPECT_EQ(main->pos(), start + QPoint(40, 30));
    mouse(target, QEvent::MouseButtonRelease, p + QPoint(40, 30));
    mouse(target, QEvent::MouseMove, p + QPoint(90, 90), Qt::NoButton);
    EXPECT_EQ(main->pos(), start + QPoint(40, 30));

    QWidget tool;
    auto* label = new SkinLabel("Recording\rTrack 1", &tool);
    EXPECT_EQ(label->text(), "Recording\nTrack 1");
    EXPECT_EQ(label->caption(), "Recording\rTrack 1");
    const QColor labelBefore = label->palette().color(QPalette::WindowText);
    const Qt::WindowFlags flags = tool.windowFlags();
    engine.applySkinSection(&tool, "Windows");
    EXPECT_EQ(engine.appliedSection(&tool), "windows") << "section names ignore case";
    EXPECT_EQ(tool.palette().color(QPalette::Window), QColor("#d5dae7"));

    ASSERT_TRUE(engine.loadSkin(shipped(2)));
    EXPECT_FALSE(oldTime.isNull());
    engine.applySkinSection(main.get(), "Tunevale");
    EXPECT_TRUE(oldTime.isNull());
    EXPECT_NE(engine.skinName(), name1);
    EXPECT_NE(main->palette().color(QPalette::Base), skin1);
    EXPECT_NE(main->grab().toImage(), look1) << "the two skins look different";
    EXPECT_EQ(find(main.get(), "time")->widget()->parentWidget(), main.get());  // in the title
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(engine.mainWindow(), main.get());

    engine.resetWindow(&tool);
    ASSERT_TRUE(engine.applySkinSection(&tool, "windows"));
    EXPECT_EQ(tool.windowFlags(), flags);
    EXPECT_EQ(tool.palette().color(QPalette::Window), QColor("#efedea"));
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor("#2d2f34"));
    EXPECT_EQ(label->font().pixelSize(), 12);
    EXPECT_TRUE(engine.skinObjects(&tool).isEmpty());
    engine.resetWindow(&tool);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), labelBefore);
    EXPECT_FALSE(tool.testAttribute(Qt::WA_SetPalette));

    main->hide();
    engine.resetWindow(main.get());
    EXPECT_EQ(main->windowFlags(), before);
    EXPECT_EQ(main->contentsMargins(), QMargins());
    EXPECT_EQ(main->minimumWidth(), 0);
    EXPECT_EQ(main->palette().color(QPalette::Window), window);
    EXPECT_EQ(find(main.get(), "Boxplay"), nullptr);
}

// A click whose handler opens a menu takes the pointer away without a leave:
// the button must not keep its hover look; nor may a window that draws its
// own frame take the skin's on top of it.
TEST_F(SkinEngineTest, AClickThatOpensAMenuEndsTheHoverAndAFramedWindowIsRefused) {
    auto main = skinned(mainWindow(), "Tunevale");
    SkinObject* play = find(main.get(), "Boxplay");
    auto* view = qobject_cast<skin::ElementView*>(play->widget());
    ASSERT_NE(view, nullptr);
    QMenu menu;
    menu.addAction("Play");
    QObject::connect(&engine, &SkinEngine::onClick, &menu, [&](SkinObject*) { menu.popup(QPoint(0, 0)); });
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), view->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(view, &enter);
    ASSERT_TRUE(view->hovered());
    click(play);
    EXPECT_TRUE(menu.isVisible());
    EXPECT_FALSE(view->hovered());
    menu.hide();

    QWidget framed;
    SetFrameOwner(&framed, "TvsForm");
    EXPECT_FALSE(engine.applySkinSection(&framed, "Tunevale"));
    EXPECT_TRUE(engine.lastError().contains("draws its own frame")) << engine.lastError().toStdString();
    EXPECT_FALSE(framed.windowFlags() & Qt::FramelessWindowHint);
}
