#include "platform/presenter.h"

#include <QDialog>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace {

// Ends a modal loop of a plain widget when the widget is hidden or closed.
class HideWatcher final : public QObject {
public:
    HideWatcher(QWidget* w, QEventLoop* loop) : loop_(loop) { w->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide || event->type() == QEvent::Destroy) loop_->quit();
        return QObject::eventFilter(watched, event);
    }

private:
    QEventLoop* loop_;
};

class RealPresenter final : public WindowPresenter {
public:
    int showModal(QWidget* window) override {
        if (auto* dialog = qobject_cast<QDialog*>(window)) return dialog->exec();
        QPointer<QWidget> guard(window);
        Qt::WindowModality before = window->windowModality();
        window->setWindowModality(Qt::ApplicationModal);
        QEventLoop loop;
        HideWatcher watcher(window, &loop);
        window->show();
        if (window->isVisible()) loop.exec(QEventLoop::DialogExec);
        if (guard) {
            guard->removeEventFilter(&watcher);
            guard->setWindowModality(before);
        }
        return 0;
    }
    void showModeless(QWidget* window) override {
        window->show();
        window->raise();
        window->activateWindow();
    }
};

RealPresenter g_real;
WindowPresenter* g_installed = nullptr;

}  // namespace

void InstallWindowPresenter(WindowPresenter* presenter) { g_installed = presenter; }

WindowPresenter& CurrentWindowPresenter() { return g_installed ? *g_installed : g_real; }

int ShowModal(QWidget* window) { return CurrentWindowPresenter().showModal(window); }

void ShowModeless(QWidget* window) { CurrentWindowPresenter().showModeless(window); }

void CentreOver(QWidget* window, const QWidget* opener) {
    QRect area;
    if (opener) {
        area = opener->frameGeometry();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    } else {
        return;
    }
    const QRect own = window->frameGeometry();
    // Integer division as the windows' own placement rule has it.
    window->move(area.left() + (area.width() - own.width()) / 2, area.top() + (area.height() - own.height()) / 2);
}
