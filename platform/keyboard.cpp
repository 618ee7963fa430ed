#include "platform/keyboard.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextEdit>

namespace {

// Some platforms make a context menu event of their own from the Menu key, at
// the current cell; the lists open their menu from the key press itself and
// drop that event.
bool IsKeyboardContextMenu(const QEvent* event) {
    return event->type() == QEvent::ContextMenu &&
           static_cast<const QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
}

class EnterFilter final : public QObject {
public:
    EnterFilter(QAbstractItemView* list, std::function<void()> handler)
        : QObject(list), list_(list), handler_(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != list_) return false;
        if (IsKeyboardContextMenu(event)) return true;
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

// A key that Qt hands a text field as typed text although Alt is held: on
// this platform Alt with a letter types the letter where no shortcut or menu
// takes it, and a window would save what was typed over.
class AltLetterGuard final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers held = key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
        if (held != Qt::AltModifier || key->text().isEmpty() || !key->text().at(0).isPrint()) return false;
        return qobject_cast<QLineEdit*>(watched) || qobject_cast<QTextEdit*>(watched) ||
               qobject_cast<QPlainTextEdit*>(watched) || qobject_cast<QAbstractSpinBox*>(watched);
    }
};

// The letter a title underlines, lower case; null for none ("&&" is an
// ampersand).
QChar MnemonicOf(const QString& title) {
    for (qsizetype i = 0; i + 1 < title.size(); ++i) {
        if (title[i] != QLatin1Char('&')) continue;
        if (title[i + 1] != QLatin1Char('&')) return title[i + 1].toLower();
        ++i;
    }
    return {};
}

// The title with its first letter not in `taken` underlined; that letter
// joins `taken`.
QString WithMnemonic(const QString& title, QString& taken) {
    for (qsizetype i = 0; i < title.size(); ++i) {
        const QChar c = title[i].toLower();
        if (!c.isLetterOrNumber() || taken.contains(c)) continue;
        taken += c;
        QString marked = title;
        marked.insert(i, QLatin1Char('&'));
        return marked;
    }
    return title;
}

class ListKeysFilter final : public QObject {
public:
    ListKeysFilter(QAbstractItemView* list, QAction* remove) : QObject(list), list_(list), remove_(remove) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != list_) return false;
        if (IsKeyboardContextMenu(event)) return true;
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
                // The bar takes no focus of its own: the open menu has the
                // keys, and once it closes the focus stays where it was, so
                // Escape closes the window again rather than the bar eating
                // it.
                bar->setActiveAction(menu);
                return;
            }
        }
    });
}

void OpenMenusFromKeyboard(QWidget* window, QMenuBar* bar) {
    OpenMenuBarOnF10(window, bar);
    QString taken;
    // Titles that carry their letter keep it before the others choose.
    for (QAction* menu : bar->actions())
        if (const QChar c = MnemonicOf(menu->text()); !c.isNull()) taken += c;
    for (QAction* menu : bar->actions())
        if (!menu->isSeparator() && MnemonicOf(menu->text()).isNull())
            menu->setText(WithMnemonic(menu->text(), taken));
    KeepAltLettersOutOfText();
}

void KeepAltLettersOutOfText() {
    static QPointer<AltLetterGuard> guard;
    if (guard || !qApp) return;
    guard = new AltLetterGuard(qApp);
    qApp->installEventFilter(guard);
}

void RunOnEnter(QAbstractItemView* list, std::function<void()> handler) {
    list->installEventFilter(new EnterFilter(list, std::move(handler)));
}

void GiveListItsKeys(QAbstractItemView* list, QAction* remove) {
    list->setTabKeyNavigation(false);
    list->installEventFilter(new ListKeysFilter(list, remove));
}
