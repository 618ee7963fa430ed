#include "platform/modalguard.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QByteArray>
#include <QLoggingCategory>
#include <QWidget>
#include <QWindow>

#include <cstdint>
#include <cstring>

Q_LOGGING_CATEGORY(lcModal, "tunevale.modal", QtWarningMsg)

namespace {

QString describe(const QObject* object) {
    if (!object) return QStringLiteral("none");
    QString text = QString::fromLatin1(object->metaObject()->className());
    if (!object->objectName().isEmpty()) text += QLatin1Char(' ') + object->objectName();
    if (const auto* widget = qobject_cast<const QWidget*>(object)) {
        if (!widget->windowTitle().isEmpty()) text += QStringLiteral(" \"%1\"").arg(widget->windowTitle());
        if (!widget->isVisible()) text += QStringLiteral(" (hidden)");
    } else if (const auto* window = qobject_cast<const QWindow*>(object)) {
        if (!window->title().isEmpty()) text += QStringLiteral(" \"%1\"").arg(window->title());
        if (!window->isVisible()) text += QStringLiteral(" (hidden)");
    }
    return text;
}

// X delivers presses to a blocked window as to any other; Qt drops them
// without a trace.
class RefusedPressLog final : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t" || !message) return false;
        const auto* bytes = static_cast<const unsigned char*>(message);
        const int kind = bytes[0] & 0x7f;
        constexpr int kKeyPress = 2;
        constexpr int kButtonPress = 4;
        if (kind != kKeyPress && kind != kButtonPress) return false;
        // Key and button presses share one layout: the event window follows
        // the type, detail, sequence, time and root fields.
        std::uint32_t target = 0;
        std::memcpy(&target, bytes + 12, sizeof target);
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            QWindow* handle = widget->windowHandle();
            if (!handle || !handle->handle() || handle->winId() != target) continue;
            if (ModalBlocking(widget)) LogRefusedInput(widget, kind == kKeyPress ? "key press" : "mouse press");
            break;
        }
        return false;
    }
};

}  // namespace

QWidget* ModalBlocking(const QWidget* window) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !window) return nullptr;
    const QWidget* top = window->window();
    // An open menu or completer list takes its keys whatever is modal.
    if (top->windowType() == Qt::Popup) return nullptr;
    for (const QWidget* w = top; w; w = w->parentWidget())
        if (w == modal) return nullptr;
    if (modal->windowModality() != Qt::WindowModal) return modal;
    // A window-modal dialog blocks only the windows it was opened over.
    for (const QWidget* w = modal->parentWidget(); w; w = w->parentWidget())
        if (w->window() == top) return modal;
    return nullptr;
}

void LogRefusedInput(const QObject* target, const char* what) {
    qCWarning(lcModal, "%s for %s refused: modal widget %s, modal window %s", what, qPrintable(describe(target)),
              qPrintable(describe(QApplication::activeModalWidget())),
              qPrintable(describe(QGuiApplication::modalWindow())));
}

void LogInputRefusedWhileModal() {
    static bool installed = false;
    if (installed || !qApp || QGuiApplication::platformName() != QLatin1String("xcb")) return;
    installed = true;
    // Not a static: a filter destroyed with the statics would unregister
    // itself from an event dispatcher that is gone. It goes when the loop
    // ends instead, while the dispatcher still exists.
    auto* log = new RefusedPressLog;
    qApp->installNativeEventFilter(log);
    QObject::connect(
        qApp, &QCoreApplication::aboutToQuit, qApp,
        [log] {
            qApp->removeNativeEventFilter(log);
            delete log;
            installed = false;
        },
        Qt::SingleShotConnection);
}
