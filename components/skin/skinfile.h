#pragma once
// A skin file is UTF-8 JSON: named styles, and sections that say how one kind
// of window looks (its frame, bands, hosted widgets, palette) and which
// elements it shows. Parsing and validation live here, apart from any widget,
// so that the loader can be fed arbitrary bytes without a window in sight.
//
// Everything that the program looks up by name is checked at load time: a
// file that lacks a section or an element, names an unknown style or glyph,
// holds an unknown key or an absurd number is refused as a whole.

#include <QColor>
#include <QHash>
#include <QList>
#include <QMargins>
#include <QPalette>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace skin {

// A box in a part of a window. A negative x or y counts from the right or
// bottom edge; a negative w or h stretches to that distance from the right or
// bottom edge, so elements follow a window that is resized.
struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    QRect place(const QSize& part) const;
};

struct Font {
    QString family;
    int px = 12;
    bool bold = false;
};

// Colours of a fill: one is flat, more run from top to bottom.
using Fill = QList<QColor>;

// Every key is optional; a state ("hover", "down", "on") overrides only what
// it names. Elements paint with their style merged for their current state.
struct Style {
    std::optional<Fill> fill;
    std::optional<QColor> border;
    std::optional<int> borderWidth;
    std::optional<int> radius;
    std::optional<QColor> highlight;  // a one-pixel bevel line inside the top edge
    std::optional<QColor> glyph;
    std::optional<int> glyphSize;
    std::optional<QColor> text;
    std::optional<QColor> shadow;     // a one-pixel drop shadow under glyphs and texts
    std::optional<Font> font;
    std::optional<int> padding;
    std::optional<Fill> groove;
    std::optional<Fill> progress;
    std::optional<Fill> thumb;
    std::optional<QColor> thumbBorder;
    std::optional<QSize> thumbSize;
    std::optional<int> grooveHeight;

    std::shared_ptr<Style> hover, down, on;

    // This style with the keys that `over` sets taken from it.
    Style mergedWith(const Style& over) const;
    // The look for one state of an element.
    Style forState(bool on, bool hovered, bool down) const;
};

enum class ElementType { Button, Toggle, ScrollBar, Text, Panel, Close, Minimize };

struct ElementDef {
    QString name;        // empty for panels and frame actions, which nobody looks up
    ElementType type = ElementType::Panel;
    QString in = QStringLiteral("window");  // "window", "title" or a band
    Rect rect;
    QString style;
    QString glyph;
    QString text;
    QString tip;
    QStringList aliases;
    int min = 0, max = 1000;
    Qt::Orientation orientation = Qt::Horizontal;
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
};

struct SectionDef {
    QString name;
    bool skinned = true;                 // false: the window keeps its native frame
    std::optional<QSize> size;           // a fixed window size
    std::optional<QSize> minSize;
    QString style;                       // the window's background and border
    int titleHeight = 0;
    QString titleStyle;
    QString titleText;                   // empty: the window's own title
    QString titleGlyph;
    QMargins margins;                    // where the window's own widgets live
    int radius = 0;                      // rounded corners of the window's shape
    bool movable = true;
    QList<QPair<QString, QString>> bands;   // child widget name, style
    QList<QPair<QString, Rect>> hosts;      // child widget name, place in the window
    QList<QPair<QPalette::ColorRole, QColor>> palette;
    QString labelStyle;                  // colours and font of the window's SkinLabels
    QList<ElementDef> elements;

    bool resizable() const { return skinned && !size; }
};

struct SkinData {
    QString name;
    QHash<QString, Style> styles;
    QList<SectionDef> sections;

    // Section names compare without case, so a skin file may name a section
    // "Windows" where a window asks for "windows".
    const SectionDef* findSection(const QString& name) const;
    const Style& style(const QString& name) const;
};

// Reads and validates a skin. On failure returns null and says why in *error
// (one line, naming where in the file the fault is).
std::shared_ptr<const SkinData> parseSkin(const QByteArray& bytes, QString* error);

// Limits that keep a hostile file from making the engine allocate or draw
// without bound.
constexpr qint64 kMaxSkinFileBytes = 4 << 20;
constexpr int kMaxCoordinate = 4096;

// What the program looks up, section by section; a skin must provide all of it.
struct RequiredElement {
    const char* name;   // the element's name or one of its aliases
    ElementType type;
    int min = 0, max = 0;  // scroll bars only
};
struct RequiredSection {
    const char* name;
    bool skinned;
    QList<RequiredElement> elements;
    QStringList hosts;
};
const QList<RequiredSection>& requiredSections();

// Names of the glyphs the engine can draw.
const QStringList& glyphNames();

}  // namespace skin
