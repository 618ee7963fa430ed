// A framed window resized through 1,000 sizes beside the same window without
// the frame (the window manager's frame, where there is one, is drawn outside
// the program): the time per resize and repaint, their ratio, and the longest
// single frame: the median of 5 alternating rounds with the range of the
// rounds. Goal: at most twice the plain window's time, no frame over 16 ms.

#include <QApplication>
#include <QElapsedTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/support/benchsupport.h"
#include "skin/form.h"
#include "skin/progressbar.h"
#include "skin/trackbar.h"

namespace {

constexpr int kSizes = 1000;
constexpr double kGoalRatio = 2.0;
constexpr double kGoalFrameMs = 16.0;

struct Figures {
    double perResizeUs = 0, worstMs = 0;
};

// The same contents in both windows, in the same style: a menu bar, a
// progress bar and a track bar laid out in the window's margins.
void fill(QWidget& w, TvsForm* frame, TvsUIStyle style) {
    auto* menu = new TvsMainMenu(&w);
    menu->setUIStyle(style);
    for (const char* m : {"File", "Edit", "Playlist", "Help"}) menu->addMenu(QString::fromLatin1(m))->addAction("Open");
    auto* layout = new QVBoxLayout(&w);
    if (frame) frame->SetMenu(menu);
    else layout->setMenuBar(menu);
    auto* progress = new TvsProgressBar(&w);
    progress->setUIStyle(style);
    progress->setPosition(40);
    layout->addWidget(progress);
    auto* track = new TvsTrackBar(&w);
    track->setUIStyle(style);
    layout->addWidget(track);
    layout->addStretch();
}

Figures run(QWidget& w) {
    w.resize(400, 300);
    w.show();
    QApplication::processEvents();
    Figures f;
    QElapsedTimer all, one;
    qint64 worst = 0;
    all.start();
    for (int i = 0; i < kSizes; ++i) {
        one.start();
        w.resize(300 + (i * 7) % 500, 200 + (i * 13) % 300);
        QApplication::processEvents();
        w.repaint();
        worst = std::max(worst, one.nsecsElapsed());
    }
    f.perResizeUs = double(all.nsecsElapsed()) / 1e3 / kSizes;
    f.worstMs = double(worst) / 1e6;
    w.hide();
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform says at every resize that it cannot shape windows.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && !text.contains(QLatin1String("does not support")))
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    QApplication app(argc, argv);
    bool ok = true;
    std::printf("a window resized through %d sizes, one resize and repaint each (%s):\n", kSizes,
                qPrintable(QGuiApplication::platformName()));
    for (TvsUIStyle style : {TvsUIStyle::DeepBlue, TvsUIStyle::Graphite, TvsUIStyle::BlueGlass}) {
        QWidget framed, plain;
        auto* frame = new TvsForm(&framed);
        frame->setUIStyle(style);
        fill(framed, frame, style);
        fill(plain, nullptr, style);
        // A first round each fills the caches of both.
        run(framed);
        run(plain);
        std::vector<double> framedUs, plainUs, framedWorst, plainWorst;
        bench::InTurns(5, [&] {
            const Figures a = run(framed);
            framedUs.push_back(a.perResizeUs);
            framedWorst.push_back(a.worstMs);
        }, [&] {
            const Figures b = run(plain);
            plainUs.push_back(b.perResizeUs);
            plainWorst.push_back(b.worstMs);
        });
        const double ratio = bench::SpreadOf(framedUs).median / bench::SpreadOf(plainUs).median;
        const bool met = ratio <= kGoalRatio && bench::SpreadOf(framedWorst).median <= kGoalFrameMs;
        ok = ok && met;
        std::printf("  %-10s framed %s us (worst frame %s ms)   plain %s us (worst frame %s ms)   ratio %s  %s\n",
                    style == TvsUIStyle::DeepBlue ? "DeepBlue" : style == TvsUIStyle::Graphite ? "Graphite" : "BlueGlass",
                    bench::Figure(framedUs, 1, 1).c_str(), bench::Figure(framedWorst, 1, 2).c_str(),
                    bench::Figure(plainUs, 1, 1).c_str(), bench::Figure(plainWorst, 1, 2).c_str(),
                    bench::RatioFigure(framedUs, plainUs).c_str(), met ? "ok" : "over the goal");
    }
    return ok ? 0 : 1;
}
