#include "components/skin/skinfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>

#include <cmath>

namespace skin {

QRect Rect::place(const QSize& part) const {
    const int left = x >= 0 ? x : part.width() + x;
    const int top = y >= 0 ? y : part.height() + y;
    const int width = w > 0 ? w : part.width() + w - left;
    const int height = h > 0 ? h : part.height() + h - top;
    return QRect(left, top, std::max(0, width), std::max(0, height));
}

namespace {

template <typename T>
void take(std::optional<T>& into, const std::optional<T>& from) {
    if (from) into = from;
}

}  // namespace

Style Style::mergedWith(const Style& over) const {
    Style s = *this;
    take(s.fill, over.fill);
    take(s.border, over.border);
    take(s.borderWidth, over.borderWidth);
    take(s.radius, over.radius);
    take(s.highlight, over.highlight);
    take(s.glyph, over.glyph);
    take(s.glyphSize, over.glyphSize);
    take(s.text, over.text);
    take(s.shadow, over.shadow);
    take(s.font, over.font);
    take(s.padding, over.padding);
    take(s.groove, over.groove);
    take(s.progress, over.progress);
    take(s.thumb, over.thumb);
    take(s.thumbBorder, over.thumbBorder);
    take(s.thumbSize, over.thumbSize);
    take(s.grooveHeight, over.grooveHeight);
    if (over.hover) s.hover = over.hover;
    if (over.down) s.down = over.down;
    if (over.on) s.on = over.on;
    return s;
}

Style Style::forState(bool isOn, bool hovered, bool isDown) const {
    Style s = *this;
    if (isOn && on) s = s.mergedWith(*on);
    if (isDown && down) return s.mergedWith(*down);
    if (hovered && hover) {
        // A button that is on keeps its colours; hovering only outlines it.
        if (isOn && on) take(s.border, hover->border);
        else s = s.mergedWith(*hover);
    }
    return s;
}

const SectionDef* SkinData::findSection(const QString& name) const {
    for (const SectionDef& s : sections)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0) return &s;
    return nullptr;
}

const Style& SkinData::style(const QString& name) const {
    static const Style none;
    auto it = styles.constFind(name);
    return it == styles.constEnd() ? none : *it;
}

const QStringList& glyphNames() {
    static const QStringList names = {
        "play",   "pause",  "stop",    "prev",   "next",    "add",     "remove", "tag",    "clear",
        "rescan", "rip",    "audiocd", "datacd", "mic",     "cut",     "join",   "list",   "mini",
        "maxi",   "close",  "minimize", "random", "open",   "save",    "up",     "down",   "shrink",
        "expand", "resume", "volume",  "logo",   "note",
    };
    return names;
}

const QList<RequiredSection>& requiredSections() {
    using T = ElementType;
    static const QList<RequiredSection> required = {
        {"Tunevale",
         true,
         {{"Min", T::Button},         {"rescan", T::Button},      {"ripper", T::Button},
          {"AudioWriter", T::Button}, {"DataWriter", T::Button},  {"recorder", T::Button},
          {"cutter", T::Button},      {"combine", T::Button},     {"playlist", T::Button},
          {"BoxAdd", T::Button},      {"Boxdelete", T::Button},   {"Boxplay", T::Button},
          {"Boxpause", T::Button},    {"Boxstop", T::Button},     {"Boxprevious", T::Button},
          {"Boxnext", T::Button},     {"BoxID3", T::Button},      {"Boxclear", T::Button},
          // The position bar is per mille; the volume bar hands its value
          // straight to the player, whose volume runs over 16 bits.
          {"mediabar", T::ScrollBar, 0, 1000}, {"soundbar", T::ScrollBar, 0, 65535},
          {"time", T::Text},          {"filename", T::Text}},
         {}},
        {"minTunevale", true, {{"mMax", T::Button}, {"mClose", T::Button}, {"mfilename", T::Text}}, {}},
        {"Playlist",
         true,
         {{"Listopen", T::Button},     {"Listsave", T::Button},  {"Listplay", T::Button},
          {"Listplay2", T::Button},    {"Listadd", T::Button},   {"Listdelete", T::Button},
          {"Listup", T::Button},       {"Listdown", T::Button},  {"Listclear", T::Button},
          {"Listprevious", T::Button}, {"Listpause", T::Button}, {"Liststop", T::Button},
          {"Listnext", T::Button},     {"Listmin", T::Button},   {"button2", T::Button},
          {"Listrandom", T::Toggle},   {"Listmediabar", T::ScrollBar, 0, 1000}},
         {"lv"}},
        {"minPlaylist", true, {{"Minlistmin", T::Button}, {"Minbutton2", T::Button}, {"mListrandom", T::Toggle}}, {}},
        {"filter", false, {}, {}},
        {"windows", false, {}, {}},
    };
    return required;
}

namespace {

constexpr int kMaxStyles = 256;
constexpr int kMaxSections = 64;
constexpr int kMaxElements = 256;
constexpr int kMaxName = 256;
constexpr int kMaxText = 1024;
constexpr int kMaxExtendsDepth = 16;

struct Fault {
    QString message;
};

// Walks the document keeping the path to the value at hand, so that every
// refusal says where the fault is.
class Reader {
public:
    [[noreturn]] void fail(const QString& what) const {
        QString where = path_.join(QString());
        if (where.startsWith('.')) where.remove(0, 1);
        throw Fault{where.isEmpty() ? what : where + ": " + what};
    }

    struct Scope {
        Reader& r;
        Scope(Reader& reader, const QString& step) : r(reader) { r.path_.append(step); }
        ~Scope() { r.path_.removeLast(); }
    };
    Scope at(const QString& key) { return Scope(*this, "." + key); }
    Scope at(int index) { return Scope(*this, QStringLiteral("[%1]").arg(index)); }

    void onlyKeys(const QJsonObject& o, std::initializer_list<const char*> allowed) {
        for (auto it = o.begin(); it != o.end(); ++it) {
            bool known = false;
            for (const char* a : allowed)
                if (it.key() == QLatin1String(a)) known = true;
            if (!known) fail(QStringLiteral("unknown key \"%1\"").arg(it.key().left(kMaxName)));
        }
    }

    QJsonObject object(const QJsonValue& v) {
        if (!v.isObject()) fail("an object is expected");
        return v.toObject();
    }
    QJsonArray array(const QJsonValue& v) {
        if (!v.isArray()) fail("a list is expected");
        return v.toArray();
    }
    QString string(const QJsonValue& v, int maxLength = kMaxName) {
        if (!v.isString()) fail("a text is expected");
        QString s = v.toString();
        if (s.size() > maxLength) fail(QStringLiteral("text longer than %1 characters").arg(maxLength));
        return s;
    }
    QString name(const QJsonValue& v) {
        QString s = string(v);
        if (s.isEmpty()) fail("an empty name");
        return s;
    }
    QString styleName(const QJsonValue& v, const QHash<QString, Style>& styles) {
        QString n = name(v);
        if (!styles.contains(n)) fail(QStringLiteral("unknown style \"%1\"").arg(n));
        return n;
    }
    QString glyphName(const QJsonValue& v) {
        QString n = name(v);
        if (!glyphNames().contains(n)) fail(QStringLiteral("unknown glyph \"%1\"").arg(n));
        return n;
    }
    bool boolean(const QJsonValue& v) {
        if (!v.isBool()) fail("true or false is expected");
        return v.toBool();
    }
    int integer(const QJsonValue& v, int lo, int hi) {
        if (!v.isDouble()) fail("a number is expected");
        const double d = v.toDouble();
        if (d != std::floor(d)) fail("a whole number is expected");
        if (!(d >= lo && d <= hi)) fail(QStringLiteral("%1 is outside %2..%3").arg(d).arg(lo).arg(hi));
        return static_cast<int>(d);
    }
    QList<int> integers(const QJsonValue& v, int count, int lo, int hi) {
        QJsonArray a = array(v);
        if (a.size() != count) fail(QStringLiteral("%1 numbers are expected").arg(count));
        QList<int> out;
        for (int i = 0; i < count; ++i) {
            auto s = at(i);
            out.append(integer(a[i], lo, hi));
        }
        return out;
    }
    QColor color(const QJsonValue& v) {
        QString s = string(v);
        // #rrggbb, or #aarrggbb for a translucent colour.
        if (!s.startsWith('#') || (s.size() != 7 && s.size() != 9)) fail("a colour #rrggbb or #aarrggbb is expected");
        QColor c = QColor::fromString(s);
        if (!c.isValid()) fail(QStringLiteral("\"%1\" is not a colour").arg(s));
        return c;
    }
    Fill fill(const QJsonValue& v) {
        if (v.isString()) return {color(v)};
        QJsonArray a = array(v);
        if (a.isEmpty() || a.size() > 8) fail("one to eight colours are expected");
        Fill f;
        for (int i = 0; i < a.size(); ++i) {
            auto s = at(i);
            f.append(color(a[i]));
        }
        return f;
    }
    QSize size(const QJsonValue& v, int lo, int hi) {
        QList<int> n = integers(v, 2, lo, hi);
        return QSize(n[0], n[1]);
    }
    Rect rect(const QJsonValue& v) {
        QList<int> n = integers(v, 4, -kMaxCoordinate, kMaxCoordinate);
        if (n[2] == 0 || n[3] == 0) fail("a width or height of 0");
        return Rect{n[0], n[1], n[2], n[3]};
    }

private:
    QStringList path_;
};

void readStyleKeys(Reader& r, const QJsonObject& o, Style& s, bool allowStates) {
    if (allowStates)
        r.onlyKeys(o, {"extends", "fill", "border", "borderWidth", "radius", "highlight", "glyph", "glyphSize",
                       "text", "shadow", "font", "padding", "groove", "progress", "thumb", "thumbBorder",
                       "thumbSize", "grooveHeight", "hover", "down", "on"});
    else
        r.onlyKeys(o, {"fill", "border", "borderWidth", "radius", "highlight", "glyph", "glyphSize", "text", "shadow",
                       "font", "padding", "groove", "progress", "thumb", "thumbBorder", "thumbSize", "grooveHeight"});
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QString k = it.key();
        const QJsonValue v = it.value();
        auto scope = r.at(k);
        if (k == "fill") s.fill = r.fill(v);
        else if (k == "border") s.border = r.color(v);
        else if (k == "borderWidth") s.borderWidth = r.integer(v, 0, 16);
        else if (k == "radius") s.radius = r.integer(v, 0, 64);
        else if (k == "highlight") s.highlight = r.color(v);
        else if (k == "glyph") s.glyph = r.color(v);
        else if (k == "glyphSize") s.glyphSize = r.integer(v, 4, 128);
        else if (k == "text") s.text = r.color(v);
        else if (k == "shadow") s.shadow = r.color(v);
        else if (k == "padding") s.padding = r.integer(v, 0, 64);
        else if (k == "groove") s.groove = r.fill(v);
        else if (k == "progress") s.progress = r.fill(v);
        else if (k == "thumb") s.thumb = r.fill(v);
        else if (k == "thumbBorder") s.thumbBorder = r.color(v);
        else if (k == "thumbSize") s.thumbSize = r.size(v, 1, 256);
        else if (k == "grooveHeight") s.grooveHeight = r.integer(v, 1, 128);
        else if (k == "font") {
            QJsonObject f = r.object(v);
            r.onlyKeys(f, {"family", "px", "bold"});
            Font font;
            if (f.contains("family")) {
                auto fs = r.at("family");
                font.family = r.string(f["family"]);
            }
            if (f.contains("px")) {
                auto fs = r.at("px");
                font.px = r.integer(f["px"], 4, 96);
            }
            if (f.contains("bold")) {
                auto fs = r.at("bold");
                font.bold = r.boolean(f["bold"]);
            }
            s.font = font;
        } else if (k == "hover" || k == "down" || k == "on") {
            auto state = std::make_shared<Style>();
            readStyleKeys(r, r.object(v), *state, false);
            (k == "hover" ? s.hover : k == "down" ? s.down : s.on) = state;
        }
    }
}

QHash<QString, Style> readStyles(Reader& r, const QJsonValue& v) {
    QJsonObject all = r.object(v);
    if (all.size() > kMaxStyles) r.fail(QStringLiteral("more than %1 styles").arg(kMaxStyles));
    QHash<QString, Style> own;
    QHash<QString, QString> parent;
    for (auto it = all.begin(); it != all.end(); ++it) {
        auto scope = r.at(it.key());
        if (it.key().isEmpty() || it.key().size() > kMaxName) r.fail("a style needs a name of 1 to 256 characters");
        QJsonObject o = r.object(it.value());
        Style s;
        readStyleKeys(r, o, s, true);
        if (o.contains("extends")) {
            auto e = r.at("extends");
            parent.insert(it.key(), r.name(o["extends"]));
        }
        own.insert(it.key(), s);
    }
    // A style may build on another; the chain is resolved here once, so that
    // painting never follows names.
    QHash<QString, Style> resolved;
    for (auto it = own.begin(); it != own.end(); ++it) {
        auto scope = r.at(it.key());
        QList<QString> chain{it.key()};
        QString p = parent.value(it.key());
        while (!p.isEmpty()) {
            if (!own.contains(p)) r.fail(QStringLiteral("extends the unknown style \"%1\"").arg(p));
            if (chain.contains(p) || chain.size() > kMaxExtendsDepth) r.fail("styles extend each other in a loop");
            chain.prepend(p);
            p = parent.value(p);
        }
        Style s;
        for (const QString& n : chain) s = s.mergedWith(own[n]);
        resolved.insert(it.key(), s);
    }
    return resolved;
}

ElementType elementType(Reader& r, const QJsonValue& v) {
    const QString t = r.string(v);
    if (t == "button") return ElementType::Button;
    if (t == "toggle") return ElementType::Toggle;
    if (t == "scrollbar") return ElementType::ScrollBar;
    if (t == "text") return ElementType::Text;
    if (t == "panel") return ElementType::Panel;
    if (t == "close") return ElementType::Close;
    if (t == "minimize") return ElementType::Minimize;
    r.fail(QStringLiteral("unknown element type \"%1\"").arg(t));
}

bool isNamedType(ElementType t) {
    return t == ElementType::Button || t == ElementType::Toggle || t == ElementType::ScrollBar ||
           t == ElementType::Text;
}

QPalette::ColorRole paletteRole(Reader& r, const QString& name) {
    static const QHash<QString, QPalette::ColorRole> roles = {
        {"window", QPalette::Window},
        {"windowText", QPalette::WindowText},
        {"base", QPalette::Base},
        {"alternateBase", QPalette::AlternateBase},
        {"text", QPalette::Text},
        {"button", QPalette::Button},
        {"buttonText", QPalette::ButtonText},
        {"highlight", QPalette::Highlight},
        {"highlightedText", QPalette::HighlightedText},
        {"light", QPalette::Light},
        {"midlight", QPalette::Midlight},
        {"mid", QPalette::Mid},
        {"dark", QPalette::Dark},
        {"shadow", QPalette::Shadow},
        {"toolTipBase", QPalette::ToolTipBase},
        {"toolTipText", QPalette::ToolTipText},
        {"placeholderText", QPalette::PlaceholderText},
    };
    auto it = roles.constFind(name);
    if (it == roles.constEnd()) r.fail(QStringLiteral("unknown palette colour \"%1\"").arg(name.left(kMaxName)));
    return *it;
}

ElementDef readElement(Reader& r, const QJsonObject& o, const SectionDef& section,
                       const QHash<QString, Style>& styles) {
    r.onlyKeys(o, {"name", "type", "in", "rect", "style", "glyph", "text", "tip", "aliases", "min", "max",
                   "orientation", "align"});
    ElementDef e;
    if (!o.contains("type")) r.fail("the key \"type\" is missing");
    {
        auto s = r.at("type");
        e.type = elementType(r, o["type"]);
    }
    if (isNamedType(e.type)) {
        if (!o.contains("name")) r.fail("the key \"name\" is missing");
        auto s = r.at("name");
        e.name = r.name(o["name"]);
    } else if (o.contains("name") || o.contains("aliases")) {
        r.fail("panels and frame buttons have no name");
    }
    if (!o.contains("rect")) r.fail("the key \"rect\" is missing");
    {
        auto s = r.at("rect");
        e.rect = r.rect(o["rect"]);
    }
    if (o.contains("in")) {
        auto s = r.at("in");
        e.in = r.name(o["in"]);
        bool known = e.in == "window" || (e.in == "title" && section.titleHeight > 0);
        for (const auto& band : section.bands)
            if (band.first == e.in) known = true;
        if (!known) r.fail(QStringLiteral("\"%1\" is neither the window, its title nor one of its bands").arg(e.in));
    }
    if (o.contains("style")) {
        auto s = r.at("style");
        e.style = r.styleName(o["style"], styles);
    }
    if (o.contains("glyph")) {
        auto s = r.at("glyph");
        e.glyph = r.glyphName(o["glyph"]);
    }
    if (o.contains("text")) {
        auto s = r.at("text");
        e.text = r.string(o["text"], kMaxText);
    }
    if (o.contains("tip")) {
        auto s = r.at("tip");
        e.tip = r.string(o["tip"], kMaxText);
    }
    if (o.contains("aliases")) {
        auto s = r.at("aliases");
        QJsonArray a = r.array(o["aliases"]);
        if (a.size() > 8) r.fail("more than 8 aliases");
        for (int i = 0; i < a.size(); ++i) {
            auto si = r.at(i);
            e.aliases.append(r.name(a[i]));
        }
    }
    const bool bar = e.type == ElementType::ScrollBar;
    if ((o.contains("min") || o.contains("max") || o.contains("orientation")) && !bar)
        r.fail("only scroll bars have a range and an orientation");
    if (bar) {
        if (!o.contains("min") || !o.contains("max")) r.fail("a scroll bar needs \"min\" and \"max\"");
        {
            auto s = r.at("min");
            e.min = r.integer(o["min"], -1000000, 1000000);
        }
        {
            auto s = r.at("max");
            e.max = r.integer(o["max"], -1000000, 1000000);
        }
        if (e.min >= e.max) r.fail("\"min\" must be below \"max\"");
        if (o.contains("orientation")) {
            auto s = r.at("orientation");
            const QString v = r.string(o["orientation"]);
            if (v == "horizontal") e.orientation = Qt::Horizontal;
            else if (v == "vertical") e.orientation = Qt::Vertical;
            else r.fail("\"horizontal\" or \"vertical\" is expected");
        }
    }
    if (o.contains("align")) {
        auto s = r.at("align");
        const QString v = r.string(o["align"]);
        if (v == "left") e.align = Qt::AlignLeft | Qt::AlignVCenter;
        else if (v == "center") e.align = Qt::AlignCenter;
        else if (v == "right") e.align = Qt::AlignRight | Qt::AlignVCenter;
        else r.fail("\"left\", \"center\" or \"right\" is expected");
    }
    return e;
}

SectionDef readSection(Reader& r, const QString& name, const QJsonObject& o, const QHash<QString, Style>& styles) {
    SectionDef s;
    s.name = name;
    if (!o.contains("frame")) r.fail("the key \"frame\" is missing");
    {
        auto sc = r.at("frame");
        const QString frame = r.string(o["frame"]);
        if (frame == "native") s.skinned = false;
        else if (frame != "skinned") r.fail("\"skinned\" or \"native\" is expected");
    }
    if (s.skinned)
        r.onlyKeys(o, {"frame", "size", "minSize", "style", "title", "margins", "radius", "movable", "bands", "hosts",
                       "palette", "label", "elements"});
    else
        r.onlyKeys(o, {"frame", "palette", "label"});

    auto styleRef = [&](const char* key) {
        auto sc = r.at(key);
        return r.styleName(o[key], styles);
    };
    if (o.contains("size")) {
        auto sc = r.at("size");
        s.size = r.size(o["size"], 16, kMaxCoordinate);
    }
    if (o.contains("minSize")) {
        auto sc = r.at("minSize");
        s.minSize = r.size(o["minSize"], 16, kMaxCoordinate);
    }
    if (o.contains("style")) s.style = styleRef("style");
    if (o.contains("label")) s.labelStyle = styleRef("label");
    if (o.contains("title")) {
        auto sc = r.at("title");
        QJsonObject t = r.object(o["title"]);
        r.onlyKeys(t, {"height", "style", "text", "glyph"});
        if (!t.contains("height")) r.fail("the key \"height\" is missing");
        {
            auto h = r.at("height");
            s.titleHeight = r.integer(t["height"], 1, 256);
        }
        if (t.contains("style")) {
            auto st = r.at("style");
            s.titleStyle = r.styleName(t["style"], styles);
        }
        if (t.contains("text")) {
            auto st = r.at("text");
            s.titleText = r.string(t["text"]);
        }
        if (t.contains("glyph")) {
            auto st = r.at("glyph");
            s.titleGlyph = r.glyphName(t["glyph"]);
        }
    }
    if (o.contains("margins")) {
        auto sc = r.at("margins");
        QList<int> m = r.integers(o["margins"], 4, 0, 512);
        s.margins = QMargins(m[0], m[1], m[2], m[3]);
    }
    if (o.contains("radius")) {
        auto sc = r.at("radius");
        s.radius = r.integer(o["radius"], 0, 64);
    }
    if (o.contains("movable")) {
        auto sc = r.at("movable");
        s.movable = r.boolean(o["movable"]);
    }
    if (o.contains("bands")) {
        auto sc = r.at("bands");
        QJsonObject b = r.object(o["bands"]);
        if (b.size() > 16) r.fail("more than 16 bands");
        for (auto it = b.begin(); it != b.end(); ++it) {
            auto bs = r.at(it.key());
            if (it.key().isEmpty() || it.key().size() > kMaxName || it.key() == "window" || it.key() == "title")
                r.fail("a band needs the name of one of the window's widgets");
            s.bands.append({it.key(), r.styleName(it.value(), styles)});
        }
    }
    if (o.contains("hosts")) {
        auto sc = r.at("hosts");
        QJsonObject h = r.object(o["hosts"]);
        if (h.size() > 16) r.fail("more than 16 hosted widgets");
        for (auto it = h.begin(); it != h.end(); ++it) {
            auto hs = r.at(it.key());
            if (it.key().isEmpty() || it.key().size() > kMaxName) r.fail("a hosted widget needs a name");
            s.hosts.append({it.key(), r.rect(it.value())});
        }
    }
    if (o.contains("palette")) {
        auto sc = r.at("palette");
        QJsonObject p = r.object(o["palette"]);
        for (auto it = p.begin(); it != p.end(); ++it) {
            auto ps = r.at(it.key());
            QPalette::ColorRole role = paletteRole(r, it.key());
            s.palette.append({role, r.color(it.value())});
        }
    }
    if (o.contains("elements")) {
        auto sc = r.at("elements");
        QJsonArray a = r.array(o["elements"]);
        if (a.size() > kMaxElements) r.fail(QStringLiteral("more than %1 elements").arg(kMaxElements));
        QSet<QString> names;
        for (int i = 0; i < a.size(); ++i) {
            auto es = r.at(i);
            ElementDef e = readElement(r, r.object(a[i]), s, styles);
            for (const QString& n : QStringList(e.name) + e.aliases) {
                if (n.isEmpty()) continue;
                if (names.contains(n)) r.fail(QStringLiteral("the name \"%1\" is used twice").arg(n));
                names.insert(n);
            }
            s.elements.append(e);
        }
    }
    return s;
}

const char* typeName(ElementType t) {
    switch (t) {
    case ElementType::Button: return "button";
    case ElementType::Toggle: return "toggle";
    case ElementType::ScrollBar: return "scroll bar";
    case ElementType::Text: return "text";
    default: return "decoration";
    }
}

void checkRequired(Reader& r, const SkinData& data) {
    for (const RequiredSection& req : requiredSections()) {
        const SectionDef* s = data.findSection(req.name);
        if (!s) r.fail(QStringLiteral("the section \"%1\" is missing").arg(req.name));
        if (s->skinned != req.skinned)
            r.fail(QStringLiteral("the section \"%1\" must have a %2 frame").arg(req.name, req.skinned ? "skinned" : "native"));
        for (const RequiredElement& want : req.elements) {
            const ElementDef* found = nullptr;
            for (const ElementDef& e : s->elements)
                if (e.name == QLatin1String(want.name) || e.aliases.contains(QLatin1String(want.name))) found = &e;
            if (!found)
                r.fail(QStringLiteral("the section \"%1\" lacks the element \"%2\"").arg(req.name, want.name));
            if (found->type != want.type)
                r.fail(QStringLiteral("the element \"%1\" of \"%2\" must be a %3").arg(want.name, req.name, typeName(want.type)));
            if (want.type == ElementType::ScrollBar && (found->min != want.min || found->max != want.max))
                r.fail(QStringLiteral("the element \"%1\" of \"%2\" must run from %3 to %4")
                           .arg(want.name, req.name)
                           .arg(want.min)
                           .arg(want.max));
        }
        for (const QString& host : req.hosts) {
            bool found = false;
            for (const auto& h : s->hosts) found = found || h.first == host;
            if (!found) r.fail(QStringLiteral("the section \"%1\" does not place \"%2\"").arg(req.name, host));
        }
    }
}

}  // namespace

std::shared_ptr<const SkinData> parseSkin(const QByteArray& bytes, QString* error) {
    auto refuse = [&](const QString& why) -> std::shared_ptr<const SkinData> {
        if (error) *error = why;
        return nullptr;
    };
    if (bytes.size() > kMaxSkinFileBytes) return refuse("the file is larger than 4 MiB");
    QJsonParseError pe;
    QJsonDocument doc = QJsonDocument::fromJson(bytes, &pe);
    if (pe.error != QJsonParseError::NoError)
        return refuse(QStringLiteral("not a skin file (JSON error at byte %1: %2)").arg(pe.offset).arg(pe.errorString()));
    if (!doc.isObject()) return refuse("not a skin file (no JSON object)");

    Reader r;
    try {
        QJsonObject root = doc.object();
        r.onlyKeys(root, {"format", "name", "styles", "sections"});
        if (!root.contains("format")) r.fail("the key \"format\" is missing");
        {
            auto s = r.at("format");
            if (r.integer(root["format"], 1, 1) != 1) r.fail("unsupported format");
        }
        auto data = std::make_shared<SkinData>();
        if (root.contains("name")) {
            auto s = r.at("name");
            data->name = r.string(root["name"]);
        }
        if (root.contains("styles")) {
            auto s = r.at("styles");
            data->styles = readStyles(r, root["styles"]);
        }
        if (!root.contains("sections")) r.fail("the key \"sections\" is missing");
        {
            auto s = r.at("sections");
            QJsonObject sections = r.object(root["sections"]);
            if (sections.size() > kMaxSections) r.fail(QStringLiteral("more than %1 sections").arg(kMaxSections));
            for (auto it = sections.begin(); it != sections.end(); ++it) {
                auto ss = r.at(it.key());
                if (it.key().isEmpty() || it.key().size() > kMaxName)
                    r.fail("a section needs a name of 1 to 256 characters");
                if (data->findSection(it.key())) r.fail("two sections differ only in case");
                data->sections.append(readSection(r, it.key(), r.object(it.value()), data->styles));
            }
        }
        checkRequired(r, *data);
        return data;
    } catch (const Fault& f) {
        return refuse(f.message);
    }
}

}  // namespace skin
