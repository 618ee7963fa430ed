// The skinned progress bar and track bar beside Qt's own doing the same:
// a bar moved 10,000 times by a worker thread through queued signals, and a
// thumb dragged across 1,000 positions. Prints the time per update and per
// repaint, their ratio to Qt's, and the longest the GUI thread was kept
// from its event loop: each the median of 5 alternating rounds, with the
// range of the rounds.

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QProgressBar>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench/support/benchsupport.h"
#include "skin/progressbar.h"
#include "skin/trackbar.h"

namespace {

constexpr int kRounds = 5;
constexpr int kUpdates = 10000;
constexpr int kRepaints = 1000;
constexpr int kDragPositions = 1000;

class Worker : public QThread {
    Q_OBJECT
signals:
    void progress(int value);

protected:
    void run() override {
        for (int i = 1; i <= kUpdates; ++i) emit progress(i);
    }
};

// The longest gap between two ticks of a 1 ms timer.
class StallMeter {
public:
    StallMeter() {
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] { worst_ = std::max(worst_, since_.nsecsElapsed()), since_.restart(); });
    }
    void start() {
        worst_ = 0;
        since_.start();
        timer_.start();
    }
    double stopMs() {
        timer_.stop();
        return double(std::max(worst_, since_.nsecsElapsed())) / 1e6;
    }

private:
    QTimer timer_;
    QElapsedTimer since_;
    qint64 worst_ = 0;
};

struct Figures {
    double perUpdateUs = 0, perRepaintUs = 0, stallMs = 0;
};

// A bar on screen, moved by a worker as fast as it can send, then repainted
// on demand at every step.
Figures progress(QWidget* bar, const std::function<void(int)>& setPosition, const std::function<int()>& position) {
    bar->resize(300, bar->sizeHint().height());
    bar->show();
    QApplication::processEvents();
    Figures f;
    Worker worker;
    QObject::connect(&worker, &Worker::progress, bar, [&](int v) { setPosition(v); }, Qt::QueuedConnection);
    StallMeter stall;
    QElapsedTimer t;
    stall.start();
    t.start();
    worker.start();
    while (position() != kUpdates || worker.isRunning()) QApplication::processEvents(QEventLoop::AllEvents, 5);
    QApplication::processEvents();
    f.perUpdateUs = double(t.nsecsElapsed()) / 1e3 / kUpdates;
    f.stallMs = stall.stopMs();
    worker.wait();

    t.restart();
    for (int i = 0; i < kRepaints; ++i) {
        setPosition(i * kUpdates / kRepaints);
        bar->repaint();
    }
    f.perRepaintUs = double(t.nsecsElapsed()) / 1e3 / kRepaints;
    bar->hide();
    return f;
}

// A thumb caught and dragged across every position, one repaint a step.
Figures drag(QWidget* bar, QPoint thumb, const std::function<int()>& position) {
    Figures f;
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent e(type, at, bar->mapToGlobal(at), Qt::LeftButton, buttons, {});
        QApplication::sendEvent(bar, &e);
    };
    send(QEvent::MouseButtonPress, thumb, Qt::LeftButton);
    QElapsedTimer t, step;
    qint64 worst = 0;
    t.start();
    for (int i = 1; i <= kDragPositions; ++i) {
        step.start();
        send(QEvent::MouseMove, QPoint(thumb.x() + i, thumb.y()), Qt::LeftButton);
        bar->repaint();
        worst = std::max(worst, step.nsecsElapsed());
    }
    f.perUpdateUs = double(t.nsecsElapsed()) / 1e3 / kDragPositions;
    send(QEvent::MouseButtonRelease, QPoint(thumb.x() + kDragPositions, thumb.y()), {});
    f.stallMs = double(worst) / 1e6;
    if (position() < kDragPositions - 1) std::fprintf(stderr, "drag reached only %d\n", position());
    return f;
}

void row(const char* what, const std::vector<Figures>& ours, const std::vector<Figures>& qt, double Figures::*field,
         const char* unit) {
    std::vector<double> o, t;
    for (const Figures& f : ours) o.push_back(f.*field);
    for (const Figures& f : qt) t.push_back(f.*field);
    std::printf("  %-30s %s %s   Qt %s %s   ratio %s\n", what, bench::Figure(o, 1, 2).c_str(), unit,
                bench::Figure(t, 1, 2).c_str(), unit, bench::RatioFigure(o, t).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    TvsProgressBar ours;
    ours.setMax(kUpdates);
    QProgressBar theirs;
    theirs.setRange(0, kUpdates);
    // A first round fills the font and style caches of both.
    progress(&ours, [&](int v) { ours.setPosition(v); }, [&] { return ours.position(); });
    progress(&theirs, [&](int v) { theirs.setValue(v); }, [&] { return theirs.value(); });
    std::vector<Figures> a, b;
    bench::InTurns(kRounds, [&] { a.push_back(progress(&ours, [&](int v) { ours.setPosition(v); }, [&] { return ours.position(); })); },
                   [&] { b.push_back(progress(&theirs, [&](int v) { theirs.setValue(v); }, [&] { return theirs.value(); })); });
    std::printf("progress bar, %d updates from a worker thread (queued signals), median [range] of %d rounds:\n",
                kUpdates, kRounds);
    row("time per update", a, b, &Figures::perUpdateUs, "us");
    row("time per repaint", a, b, &Figures::perRepaintUs, "us");
    row("longest GUI stall", a, b, &Figures::stallMs, "ms");

    // Both bars give one pixel to each of the 1,000 positions.
    TvsTrackBar track;
    track.setMax(kDragPositions);
    track.resize(kDragPositions + track.sliderImage().width(), track.height());
    track.show();
    QSlider slider(Qt::Horizontal);
    slider.setRange(0, kDragPositions);
    // Ticks at every value, as the track bar draws them by default.
    slider.setTickPosition(QSlider::TicksBothSides);
    slider.setTickInterval(1);
    slider.show();
    QStyleOptionSlider opt;
    opt.initFrom(&slider);
    const int handle = slider.style()->pixelMetric(QStyle::PM_SliderLength, &opt, &slider);
    slider.resize(kDragPositions + handle, slider.sizeHint().height());
    QApplication::processEvents();
    std::vector<Figures> c, d;
    bench::InTurns(kRounds, [&] {
        track.setPosition(0);
        QApplication::processEvents();
        c.push_back(drag(&track, track.thumbRect().center(), [&] { return track.position(); }));
    }, [&] {
        slider.setValue(0);
        QApplication::processEvents();
        opt.initFrom(&slider);
        opt.minimum = slider.minimum();
        opt.maximum = slider.maximum();
        opt.sliderPosition = opt.sliderValue = slider.value();
        opt.orientation = Qt::Horizontal;
        const QRect knob = slider.style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, &slider);
        d.push_back(drag(&slider, knob.center(), [&] { return slider.value(); }));
    });
    std::printf("track bar dragged across %d positions (one move and one repaint each), median [range] of %d rounds:\n",
                kDragPositions, kRounds);
    row("time per move and repaint", c, d, &Figures::perUpdateUs, "us");
    row("longest step", c, d, &Figures::stallMs, "ms");
    return 0;
}

#include "bench_skincontrols.moc"
