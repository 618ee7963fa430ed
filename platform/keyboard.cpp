#include "platform/keyboard.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPointer>
#include <QShortcut>

namespace {

class EnterFilter final : public QObject {
public:
    EnterFilter(QAbstractItemView* list, std::function<void()> handler)
        : QObject(list), list_(list), handler_(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != list_ || event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        if (key->modifiers() & ~Qt::KeypadModifier) return false;
        if (!list_->currentIndex().isValid()) return false;
        handler_();
        return true;
    }

private:
    QAbstractItemView* list_;
    std::function<void()> handler_;
};

}  // namespace

void OpenMenuBarOnF10(QWidget* window, QMenuBar* bar) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_F10), window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, bar, [bar = QPointer<QMenuBar>(bar)] {
        if (!bar || !bar->isVisible()) return;
        for (QAction* menu : bar->actions()) {
            if (menu->isVisible() && menu->isEnabled() && !menu->isSeparator()) {
                bar->setFocus(Qt::ShortcutFocusReason);
                bar->setActiveAction(menu);
                return;
            }
        }
    });
}

void RunOnEnter(QAbstractItemView* list, std::function<void()> handler) {
    list->installEventFilter(new EnterFilter(list, std::move(handler)));
}
