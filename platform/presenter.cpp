#include "platform/presenter.h"

#include "platform/modalguard.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

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

// Sets the window's transient parent each time it shows: the native window
// may have been made anew since the last time.
class TransientParent final : public QObject {
public:
    TransientParent(QWidget* window, const QWidget* opener) : QObject(window), opener_(opener) {
        window->installEventFilter(this);
    }
    void setOpener(const QWidget* opener) { opener_ = opener; }
    const QWidget* opener() const { return opener_; }
    void apply(QWidget* window) const {
        QWindow* handle = window->windowHandle();
        const QWidget* above = opener_ ? opener_->window() : nullptr;
        if (handle && above && above != window) handle->setTransientParent(above->windowHandle());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched == parent()) apply(static_cast<QWidget*>(watched));
        return false;
    }

private:
    QPointer<const QWidget> opener_;
};

// What opens while a window of the program is kept on top is kept on top too.
void KeepOnTopWithTheProgram(QWidget* window) {
    if (window->isVisible()) return;
    const bool onTop = OnTopWindowShown(window);
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != onTop)
        window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
}

class RealPresenter final : public WindowPresenter {
public:
    int showModal(QWidget* window) override {
        KeepOnTopWithTheProgram(window);
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
        KeepOnTopWithTheProgram(window);
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

namespace {

TransientParent* keeperOf(QWidget* window) {
    for (QObject* child : window->children())
        if (auto* keeper = dynamic_cast<TransientParent*>(child)) return keeper;
    return nullptr;
}

// The window a window is opened over: the one it is kept above, else its
// parent's.
const QWidget* openerOf(QWidget* window) {
    if (const TransientParent* keeper = keeperOf(window); keeper && keeper->opener()) return keeper->opener();
    return window->parentWidget();
}

}  // namespace

int ShowModal(QWidget* window) {
    // An opener that a modal box blocks opens nothing: its modal loop would
    // run inside the box's, and the two could end out of order and leave
    // the program blocked with no dialog shown.
    if (const QWidget* opener = openerOf(window); opener && ModalBlocking(opener)) {
        LogRefusedInput(window, "modal show");
        return QDialog::Rejected;
    }
    return CurrentWindowPresenter().showModal(window);
}

void ShowModeless(QWidget* window) { CurrentWindowPresenter().showModeless(window); }

void KeepAbove(QWidget* window, const QWidget* opener) {
    TransientParent* keeper = keeperOf(window);
    if (keeper) keeper->setOpener(opener);
    else keeper = new TransientParent(window, opener);
    keeper->apply(window);
}

bool OnTopWindowShown(const QWidget* except) {
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w != except && w->isVisible() && w->windowType() != Qt::Popup &&
            w->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
            return true;
    return false;
}

void CentreOver(QWidget* window, const QWidget* opener) {
    if (opener) KeepAbove(window, opener);
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
