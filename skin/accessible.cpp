#include "skin/accessible.h"

#include <QAccessibleWidget>

#include <mutex>

#include "skin/imagepanel.h"
#include "skin/progressbar.h"
#include "skin/trackbar.h"

namespace {

class TrackBarAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit TrackBarAccessible(TvsTrackBar* bar) : QAccessibleWidget(bar, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return QString::number(bar()->position());
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return bar()->position(); }
    // A disabled bar takes no value from here either, as it takes none
    // from the mouse or the keys.
    void setCurrentValue(const QVariant& value) override {
        if (bar()->isEnabled()) bar()->setPosition(value.toInt());
    }
    QVariant maximumValue() const override { return bar()->max(); }
    QVariant minimumValue() const override { return bar()->min(); }
    QVariant minimumStepSize() const override { return bar()->lineSize(); }

private:
    TvsTrackBar* bar() const { return static_cast<TvsTrackBar*>(widget()); }
};

class ProgressBarAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ProgressBarAccessible(TvsProgressBar* bar) : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return bar()->caption();
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return bar()->position(); }
    // Progress is the job's to set.
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return bar()->max(); }
    QVariant minimumValue() const override { return bar()->min(); }
    QVariant minimumStepSize() const override { return 0; }

private:
    TvsProgressBar* bar() const { return static_cast<TvsProgressBar*>(widget()); }
};

// A picture, named by its caption unless the program names it.
class ImagePanelAccessible final : public QAccessibleWidget {
public:
    explicit ImagePanelAccessible(TvsImagePanel* panel) : QAccessibleWidget(panel, QAccessible::Graphic) {}

    QString text(QAccessible::Text t) const override {
        const QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && own.isEmpty()) return static_cast<TvsImagePanel*>(widget())->caption();
        return own;
    }
};

QAccessibleInterface* SkinAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("TvsTrackBar")) return new TrackBarAccessible(static_cast<TvsTrackBar*>(object));
    if (className == QLatin1String("TvsProgressBar"))
        return new ProgressBarAccessible(static_cast<TvsProgressBar*>(object));
    if (className == QLatin1String("TvsImagePanel"))
        return new ImagePanelAccessible(static_cast<TvsImagePanel*>(object));
    return nullptr;
}

}  // namespace

void EnsureSkinAccessibility() {
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(SkinAccessibleFactory); });
}

void NotifyValueChanged(QWidget* control, int value) {
    if (!QAccessible::isActive()) return;
    QAccessibleValueChangeEvent event(control, value);
    QAccessible::updateAccessibility(&event);
}
