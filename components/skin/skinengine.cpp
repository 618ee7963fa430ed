#include "components/skin/skinengine.h"

#include "components/skin/skinlabel.h"
#include "components/skin/skinpaint.h"
#include "components/skin/skinview.h"
#include "platform/framelesswindow.h"
#include "platform/posixfile.h"

#include <cerrno>

#include <QFile>
#include <QTimer>

// Resources of a static library have to be registered by hand, and only from
// the global namespace.
static void registerSkinResources() { Q_INIT_RESOURCE(skins); }

using skin::ElementType;
using skin::SectionDef;

struct SkinEngine::WindowSkin {
    QPointer<QWidget> window;
    std::shared_ptr<const skin::SkinData> skin;
    QString section;
    bool skinned = false;

    // The window as it was before the engine first touched it.
    Qt::WindowFlags flags;
    QMargins margins;
    QSize minSize, maxSize;
    bool ownPalette = false;
    QPalette palette;
    QRegion mask;
    struct Hosted {
        QPointer<QWidget> widget;
        QRect geometry;
    };
    QList<Hosted> hosts;
    struct Label {
        QPointer<SkinLabel> label;
        bool ownPalette, ownFont;
        QPalette palette;
        QFont font;
    };
    QList<Label> labels;

    // What the engine made for the section the window wears.
    QList<QPointer<SkinObject>> objects;
    QList<QPointer<QWidget>> views;
    QList<QPointer<skin::PartWatcher>> watchers;
};

namespace {

// The flags recorded before the skin took the window, with whether it is
// kept on top as it is now: the engine owns the frame, not the layer, which
// the window's presenter sets afresh at each show.
Qt::WindowFlags FrameFlags(Qt::WindowFlags recorded, const QWidget* window) {
    const Qt::WindowFlags layer = Qt::WindowStaysOnTopHint | Qt::WindowStaysOnBottomHint;
    return (recorded & ~layer) | (window->windowFlags() & layer);
}

constexpr char kFrameOwner[] = "skin engine";

bool isTextRole(QPalette::ColorRole role) {
    return role == QPalette::WindowText || role == QPalette::Text || role == QPalette::ButtonText ||
           role == QPalette::HighlightedText || role == QPalette::ToolTipText || role == QPalette::PlaceholderText;
}

QColor blend(const QColor& a, const QColor& b, qreal t) {
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

}  // namespace

SkinEngine::SkinEngine(QObject* parent) : QObject(parent) { registerSkinResources(); }

SkinEngine::~SkinEngine() { qDeleteAll(windows_); }

QString SkinEngine::builtInSkinPath() { return QStringLiteral(":/tunevale/skins/skin1.skn"); }

void SkinEngine::setMainWindow(QWidget* window) { mainWindow_ = window; }

QString SkinEngine::skinName() const { return skin_ ? skin_->name : QString(); }

void SkinEngine::report(const QString& message) {
    lastError_ = message;
    emit skinError(message);
}

bool SkinEngine::loadSkin(const QString& fileName) {
    QString why;
    std::shared_ptr<const skin::SkinData> data;
    if (fileName.startsWith(QLatin1String(":/"))) {
        // The program's own resources: no FIFO or device hides there.
        QFile file(fileName);
        if (file.open(QIODevice::ReadOnly)) data = skin::parseSkin(file.readAll(), &why);
        else why = file.errorString();
    } else if (std::string bytes; ReadRegularFile(fileName.toStdString(), skin::kMaxSkinFileBytes, &bytes)) {
        data = skin::parseSkin(QByteArray::fromStdString(bytes), &why);
    } else {
        why = QString::fromStdString(FileReadErrorText(errno));
    }
    if (!data) {
        report(QStringLiteral("The skin file %1 was not loaded: %2").arg(fileName, why));
        currentSkin();
        return false;
    }
    skin_ = std::move(data);
    skinFile_ = fileName;
    lastError_.clear();
    return true;
}

std::shared_ptr<const skin::SkinData> SkinEngine::currentSkin() {
    if (skin_) return skin_;
    QFile file(builtInSkinPath());
    QString why = QStringLiteral("it is missing from the program");
    if (file.open(QIODevice::ReadOnly)) skin_ = skin::parseSkin(file.readAll(), &why);
    if (skin_) skinFile_ = builtInSkinPath();
    else report(QStringLiteral("The built-in skin is damaged: %1").arg(why));
    return skin_;
}

SkinEngine::WindowSkin* SkinEngine::stateFor(QWidget* window) {
    if (WindowSkin* ws = windows_.value(window)) return ws;
    auto* ws = new WindowSkin;
    ws->window = window;
    ws->flags = window->windowFlags();
    ws->margins = window->contentsMargins();
    ws->minSize = window->minimumSize();
    ws->maxSize = window->maximumSize();
    ws->ownPalette = window->testAttribute(Qt::WA_SetPalette);
    ws->palette = window->palette();
    ws->mask = window->mask();
    windows_.insert(window, ws);
    connect(window, &QObject::destroyed, this, [this, window] { forget(window); });
    return ws;
}

void SkinEngine::forget(QWidget* window) {
    WindowSkin* ws = windows_.take(window);
    if (!ws) return;
    // The window's children, the views among them, go with the window itself.
    for (const auto& o : ws->objects)
        if (o) {
            o->view_ = nullptr;
            delete o.data();
        }
    for (const auto& w : ws->watchers) delete w.data();
    delete ws;
}

void SkinEngine::takeDown(WindowSkin& ws) {
    for (const auto& o : ws.objects) delete o.data();
    for (const auto& v : ws.views)
        if (v) {
            v->hide();
            v->deleteLater();
        }
    for (const auto& w : ws.watchers) delete w.data();
    ws.objects.clear();
    ws.views.clear();
    ws.watchers.clear();
    ws.section.clear();
    if (ws.window) {
        if (ws.mask.isEmpty()) ws.window->clearMask();
        else ws.window->setMask(ws.mask);
    }
}

void SkinEngine::restoreFrame(WindowSkin& ws) {
    QWidget* w = ws.window;
    if (!w) return;
    if (FrameOwner(w) == QLatin1String(kFrameOwner)) SetFrameOwner(w, {});
    w->setContentsMargins(ws.margins);
    w->setMinimumSize(ws.minSize);
    w->setMaximumSize(ws.maxSize);
    for (const auto& h : ws.hosts)
        if (h.widget) h.widget->setGeometry(h.geometry);
    ws.hosts.clear();
    if (w->windowFlags() == FrameFlags(ws.flags, w)) return;
    if (!w->isVisible()) {
        w->setWindowFlags(FrameFlags(ws.flags, w));
        return;
    }
    // A reset is followed by an apply at once; giving a showing window its
    // frame back in between would make it blink. So the frame comes back only
    // if no skinned section has followed by the next turn of the event loop.
    QPointer<QWidget> guard = w;
    const Qt::WindowFlags flags = ws.flags;
    QTimer::singleShot(0, this, [this, guard, flags] {
        if (!guard) return;
        if (WindowSkin* now = windows_.value(guard.data()); now && now->skinned) return;
        SetFlagsKeepingPlace(guard, FrameFlags(flags, guard));
    });
}

void SkinEngine::applyPaletteAndLabels(WindowSkin& ws, const SectionDef& section) {
    QWidget* w = ws.window;
    for (const auto& l : ws.labels) {
        if (!l.label) continue;
        l.label->setPalette(l.ownPalette ? l.palette : QPalette());
        l.label->setFont(l.ownFont ? l.font : QFont());
    }
    if (section.palette.isEmpty()) {
        w->setPalette(ws.ownPalette ? ws.palette : QPalette());
    } else {
        QPalette p = ws.ownPalette ? ws.palette : QPalette();
        QColor window = ws.palette.color(QPalette::Window);
        for (const auto& [role, color] : section.palette)
            if (role == QPalette::Window) window = color;
        for (const auto& [role, color] : section.palette) {
            p.setColor(QPalette::Active, role, color);
            p.setColor(QPalette::Inactive, role, color);
            // Disabled texts fade towards the background, as the platform's do.
            p.setColor(QPalette::Disabled, role, isTextRole(role) ? blend(color, window, 0.55) : color);
        }
        w->setPalette(p);
    }
    if (section.labelStyle.isEmpty()) return;
    const skin::Style& style = ws.skin->style(section.labelStyle);
    for (SkinLabel* label : w->findChildren<SkinLabel*>()) {
        bool known = false;
        for (const auto& l : ws.labels) known = known || l.label == label;
        if (!known)
            ws.labels.append({label, label->testAttribute(Qt::WA_SetPalette), label->testAttribute(Qt::WA_SetFont),
                              label->palette(), label->font()});
        if (style.text) {
            QPalette lp;
            lp.setColor(QPalette::Active, QPalette::WindowText, *style.text);
            lp.setColor(QPalette::Inactive, QPalette::WindowText, *style.text);
            label->setPalette(lp);
        }
        if (style.font) label->setFont(skin::fontOf(style, QFont()));
    }
}

void SkinEngine::dress(WindowSkin& ws, const SectionDef& section) {
    QWidget* w = ws.window;
    ws.section = section.name;
    ws.skinned = section.skinned;
    if (!section.skinned) {
        restoreFrame(ws);
        applyPaletteAndLabels(ws, section);
        return;
    }
    if (w->isWindow()) {
        SetFlagsKeepingPlace(w, FramelessFlags(FrameFlags(ws.flags, w)));
        SetFrameOwner(w, QLatin1String(kFrameOwner));
    }
    w->setContentsMargins(section.margins);
    if (section.size) {
        w->setFixedSize(*section.size);
    } else {
        w->setMinimumSize(ws.minSize.expandedTo(section.minSize.value_or(QSize(0, 0))));
        w->setMaximumSize(ws.maxSize);
    }
    applyPaletteAndLabels(ws, section);

    const skin::SkinData& data = *ws.skin;
    auto* frame = new skin::FrameView(w, section, data.style(section.style), data.style(section.titleStyle));
    ws.views.append(frame);
    auto* whole = new skin::PartWatcher(this, w, w, section.titleHeight, section.radius, false);
    whole->fill(frame);
    ws.watchers.append(whole);
    QHash<QString, skin::PartWatcher*> parts{{"window", whole}, {"title", whole}};

    for (const auto& [name, style] : section.bands) {
        auto* band = w->findChild<QWidget*>(name);
        if (!band) {
            report(QStringLiteral("The skin section %1 paints the band %2, which the window does not have.")
                       .arg(section.name, name));
            continue;
        }
        auto* background = new skin::BandView(band, data.style(style));
        ws.views.append(background);
        auto* watcher = new skin::PartWatcher(this, band, w, 0, 0, section.movable);
        watcher->fill(background);
        ws.watchers.append(watcher);
        parts.insert(name, watcher);
        background->lower();
        background->show();
    }
    for (const auto& [name, rect] : section.hosts) {
        auto* hosted = w->findChild<QWidget*>(name);
        if (!hosted) continue;  // a window may leave out what it does not use
        bool saved = false;
        for (const auto& h : ws.hosts) saved = saved || h.widget == hosted;
        if (!saved) ws.hosts.append({hosted, hosted->geometry()});
        whole->host(hosted, rect);
    }
    for (const skin::ElementDef& def : section.elements) {
        skin::PartWatcher* part = parts.value(def.in);
        QWidget* parent = part ? part->part() : w;
        SkinObject* object = nullptr;
        switch (def.type) {
        case ElementType::Button: object = new SkinButton(this, w, def); break;
        case ElementType::Toggle: object = new SkinToggle(this, w, def); break;
        case ElementType::ScrollBar: object = new SkinScrollBar(this, w, def); break;
        case ElementType::Text: object = new SkinText(this, w, def); break;
        default: break;
        }
        auto* view = new skin::ElementView(parent, def, data.style(def.style), object, w);
        ws.views.append(view);
        if (object) {
            object->view_ = view;
            ws.objects.append(object);
        }
        // The element of a band the window lacks still exists for the
        // program's bindings, but shows nowhere.
        if (!part) {
            view->hide();
            continue;
        }
        part->place(view, def.rect, def.in == "title");
        view->show();
        view->raise();
    }
    frame->lower();
    frame->show();
    for (const auto& watcher : ws.watchers) watcher->relayout();
}

void SkinEngine::takeFrameBeforeShow(QWidget* window) {
    if (!window || !window->isWindow() || window->isVisible()) return;
    WindowSkin* ws = stateFor(window);
    window->setWindowFlags(FramelessFlags(FrameFlags(ws->flags, window)));
    SetFrameOwner(window, QLatin1String(kFrameOwner));
}

bool SkinEngine::applySkinSection(QWidget* window, const QString& section) {
    if (!window) return false;
    auto data = currentSkin();
    if (!data) return false;
    const SectionDef* def = data->findSection(section);
    if (!def) {
        report(QStringLiteral("The skin %1 has no section %2.").arg(skinFile_, section));
        return false;
    }
    // A window that draws a frame of its own would end up with two.
    if (const QString owner = FrameOwner(window); !owner.isEmpty() && owner != QLatin1String(kFrameOwner)) {
        report(QStringLiteral("The window %1 draws its own frame; the skin section %2 is not applied.")
                   .arg(window->objectName(), section));
        return false;
    }
    WindowSkin* ws = stateFor(window);
    takeDown(*ws);
    ws->skin = data;
    dress(*ws, *def);
    return true;
}

void SkinEngine::resetWindow(QWidget* window) {
    WindowSkin* ws = windows_.value(window);
    if (!ws) return;
    takeDown(*ws);
    ws->skinned = false;
    restoreFrame(*ws);
    applyPaletteAndLabels(*ws, SectionDef{});
    // The record of what the window was stays: its frame may come back only
    // later, and a new section must not take the frameless window for its
    // original.
}

QString SkinEngine::appliedSection(QWidget* window) const {
    const WindowSkin* ws = windows_.value(window);
    return ws ? ws->section : QString();
}

SkinObject* SkinEngine::findSkinObject(QWidget* window, const QString& name) const {
    const WindowSkin* ws = windows_.value(window);
    if (!ws) return nullptr;
    for (const auto& o : ws->objects)
        if (o && o->answersTo(name)) return o;
    return nullptr;
}

QList<SkinObject*> SkinEngine::skinObjects(QWidget* window) const {
    QList<SkinObject*> out;
    if (const WindowSkin* ws = windows_.value(window))
        for (const auto& o : ws->objects)
            if (o) out.append(o);
    return out;
}
