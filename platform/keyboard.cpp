#include "platform/keyboard.h"

#include <QAbstractItemView>
#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QItemSelectionModel>
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
        if (watched != list_) return false;
        // Some platforms make a context menu event of their own from the
        // Menu key, at the current cell; the key press has opened the menu.
        if (event->type() == QEvent::ContextMenu &&
            static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard)
            return true;
        if (event->type() != QEvent::KeyPress) return false;
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

class ListKeysFilter final : public QObject {
public:
    ListKeysFilter(QAbstractItemView* list, QAction* remove) : QObject(list), list_(list), remove_(remove) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != list_) return false;
        // Some platforms make a context menu event of their own from the
        // Menu key, at the current cell; the key press has opened the menu.
        if (event->type() == QEvent::ContextMenu &&
            static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard)
            return true;
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (key->key() == Qt::Key_Delete && modifiers == Qt::NoModifier) {
            if (remove_ && remove_->isEnabled()) remove_->trigger();
            return true;
        }
        if ((key->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
            (key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
            openContextMenu();
            return true;
        }
        return false;
    }

private:
    // At the first selected row (the current one when none is selected),
    // through the list's own context menu handling, so that its policy
    // decides as it does for the mouse.
    void openContextMenu() {
        QModelIndex row;
        if (const QItemSelectionModel* selection = list_->selectionModel()) {
            for (const QModelIndex& index : selection->selectedIndexes())
                if (!row.isValid() || index.row() < row.row()) row = index;
        }
        if (!row.isValid()) row = list_->currentIndex();
        QPoint at(4, 4);
        if (row.isValid()) {
            row = row.sibling(row.row(), 0);
            list_->scrollTo(row);
            const QRect rect = list_->visualRect(row);
            at = QPoint(rect.left() + rect.height() / 2, rect.center().y());
        }
        QWidget* viewport = list_->viewport();
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, viewport->mapToGlobal(at));
        QCoreApplication::sendEvent(viewport, &menu);
    }

    QAbstractItemView* list_;
    QAction* remove_;
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

void GiveListItsKeys(QAbstractItemView* list, QAction* remove) {
    list->setTabKeyNavigation(false);
    list->installEventFilter(new ListKeysFilter(list, remove));
}
