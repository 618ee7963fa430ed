// The yardstick of the start-up benchmark: a Qt Widgets program that shows
// an empty main window of the program's size and does nothing else; with
// --text the window shows one line of text, so that fonts are loaded as in
// any window that has words. It marks the shown window as the program does
// under TUNEVALE_EXIT_WHEN_SHOWN: on the turn of the event loop after the
// show, painted, "shown" on standard output, then the end.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

class EmptyWindow : public QMainWindow {
protected:
    void showEvent(QShowEvent* event) override {
        QMainWindow::showEvent(event);
        if (shown_) return;
        shown_ = true;
        QTimer::singleShot(0, this, [this] {
            repaint();
            std::puts("shown");
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        });
    }

private:
    bool shown_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    EmptyWindow window;
    window.setWindowTitle(QStringLiteral("Tunevale"));
    window.resize(820, 560);
    if (argc > 1 && std::strcmp(argv[1], "--text") == 0) window.setCentralWidget(new QLabel(QStringLiteral("Tunevale")));
    window.show();
    return app.exec();
}
