// A framed window on a real X server with a window manager: a drag on the
// title bar moves the window and a drag on its edge resizes it, through the
// manager's own move and resize. The test starts an Xvfb display and openbox
// of its own and moves the pointer with xdotool; it is skipped when one of
// them is not installed.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <string>
#include <vector>

#include "privatexserver.h"
#include "skin/form.h"

namespace {


// A private X server with openbox managing it.
class Desktop {
public:
    ~Desktop() { StopProcess(wm_); }

    bool start() {
        if (!server_.start()) return false;
        ::setenv("DISPLAY", server_.name().c_str(), 1);
        wm_ = SpawnProcess({"openbox", "--sm-disable"});
        // The manager is up once it names itself on the root window.
        for (int i = 0; i < 100; ++i) {
            QProcess probe;
            probe.start("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"});
            probe.waitForFinished(2000);
            if (probe.readAllStandardOutput().contains("window id")) return true;
            ::usleep(50000);
        }
        return false;
    }

private:
    PrivateXServer server_;
    pid_t wm_ = 0;
};

// One step of the hand, then time for the program and the manager to see it.
void hand(const QStringList& args) {
    QProcess::execute("xdotool", args);
    for (int i = 0; i < 15; ++i) {
        QApplication::processEvents();
        QTest::qWait(10);
    }
}

void drag(QPoint from, QPoint by) {
    hand({"mousemove", QString::number(from.x()), QString::number(from.y())});
    hand({"mousedown", "1"});
    // Just past the drag distance first, as a hand moves; the manager takes
    // over from there.
    const QPoint nudge(by.x() > 0 ? 3 : by.x() < 0 ? -3 : 0, by.y() > 0 ? 3 : by.y() < 0 ? -3 : 0);
    hand({"mousemove", QString::number(from.x() + nudge.x()), QString::number(from.y() + nudge.y())});
    for (int i = 1; i <= 4; ++i) {
        const QPoint at = from + by * i / 4;
        hand({"mousemove", QString::number(at.x()), QString::number(at.y())});
    }
    hand({"mouseup", "1"});
}

template <class Done>
bool waitFor(Done done) {
    for (int i = 0; i < 200 && !done(); ++i) QTest::qWait(10);
    return done();
}

TEST(FramedWindowOnX11, ADragOnTheBarMovesItAndOneOnTheEdgeResizesIt) {
    for (const char* tool : {"Xvfb", "openbox", "xdotool", "xprop"})
        if (QStandardPaths::findExecutable(tool).isEmpty()) GTEST_SKIP() << tool << " is not installed";
    Desktop desktop;
    ASSERT_TRUE(desktop.start()) << "no X display with a window manager";
    qputenv("QT_QPA_PLATFORM", "xcb");
    int argc = 1;
    char name[] = "test_skinframe_x11";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    QWidget form;
    form.setWindowTitle("Framed");
    form.resize(400, 300);
    form.move(200, 150);
    auto* frame = new TvsForm(&form);
    frame->setUIStyle(TvsUIStyle::BlueGlass);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::qWait(300);
    TvsTitleBar* bar = frame->titleBar();

    const QPoint before = form.pos();
    drag(bar->mapToGlobal(QPoint(bar->width() / 2, bar->height() / 2)), QPoint(120, 80));
    EXPECT_TRUE(waitFor([&] { return (form.pos() - (before + QPoint(120, 80))).manhattanLength() <= 8; }))
        << "from " << before.x() << "," << before.y() << " to " << form.pos().x() << "," << form.pos().y();
    EXPECT_EQ(form.size(), QSize(400, 300));

    // Nothing follows the pointer once the button is up.
    const QPoint moved = form.pos();
    hand({"mousemove_relative", "--", "60", "40"});
    QTest::qWait(100);
    EXPECT_EQ(form.pos(), moved);

    // The right edge: a 1-pixel border with a grip the hand can catch.
    ASSERT_EQ(frame->borderWidth(), 1);
    const QPoint edge = form.mapToGlobal(QPoint(form.width() - 2, form.height() / 2));
    drag(edge, QPoint(60, 0));
    EXPECT_TRUE(waitFor([&] { return std::abs(form.width() - 460) <= 6; })) << "width " << form.width();
    EXPECT_TRUE(waitFor([&] { return std::abs(frame->width() - (form.width() - 2)) == 0; }));
    EXPECT_EQ(form.height(), 300);

    // A double click on the empty bar maximises.
    const QPoint empty = bar->mapToGlobal(QPoint(bar->width() / 2, bar->height() / 2));
    hand({"mousemove", QString::number(empty.x()), QString::number(empty.y())});
    hand({"click", "--repeat", "2", "--delay", "60", "1"});
    EXPECT_TRUE(waitFor([&] { return form.isMaximized(); }));
    EXPECT_TRUE(waitFor([&] { return form.mask().isEmpty(); }));
}

}  // namespace
