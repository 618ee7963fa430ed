#pragma once
// The vocabulary of the skinned controls: the five built-in themes, the 42
// theme keys with their kinds and values, and the rule by which a control
// picks between a theme file and a built-in table.

#include <QColor>
#include <QImage>
#include <QString>
#include <cstdint>

class QWidget;
class TvsFileTheme;

enum class TvsUIStyle : uint8_t { FromThemeFile = 0, Graphite = 1, Meadow = 2, DeepBlue = 3, Protein = 4, BlueGlass = 5 };

// Kinds of the built-in table; a theme file numbers its kinds differently.
enum class TvsThemeKind { Int = 0, Color = 1, Image = 2, Bool = 3 };

namespace vskey {
// Theme keys by index, as the tables and theme files number them.
enum : int {
    ButtonImage = 1, ButtonTransparentBool, CheckBoxImage, RadioButtonImage, TitleBarButtonImage,
    TitleBarButtonTransparentBool, TitleBarButtonLeftOffsetInt, TitleBarButtonRightOffsetInt, TitleBarButtonTopInt,
    TitleBarLeftImage, TitleBarClientImage, TitleBarRightImage, FormMinWidthInt, FormRoundCornerInt,
    FormBackgroundColor, FormBorderColor, FormBorderWidthInt, MenuSelectedBorderColor, MenuSelectedBackgroundColor,
    MenuSelectedFontColor, MenuBackgroundColor, MenuFontColor, MenuBarColor, ProgressBarImage, ControlBorderColor,
    ControlBackgroundColor, ControlFontColor, TrackBarBarImage, TrackBarSliderImage, TrackBarSliderVImage,
    ScrollBarBackgroundColor, ScrollBarButtonImage, ScrollBarSliderImage, CheckListBoxImage,
    ToolBarButtonBorderColor, ToolBarButtonBackgroundColor, ToolBarButtonDownBackgroundColor, ScrollButtonImage,
    TabControlTabImage, TabControlBarImage, SideChannelHandleImage, SideChannelBarImage,
};
constexpr int kCount = 42;
}  // namespace vskey

// Colours are kept in the platform's 0x00BBGGRR form wherever they are
// numbers (tables, theme files, the windows' settings); this is the one
// place they become QColors.
QColor ColorFromBgr(uint32_t bgr);

// The key's name (also its name in a theme file); empty outside 1..42.
QString ThemeKeyName(int key);
// The key's index for a name, 0 when unknown.
int ThemeKeyIndex(const QString& name);

// Value and kind of a key in a built-in table. Image keys give 0 here and
// their resource name through InsideThemeImageName. Other styles and keys
// outside 1..42: kind Int and -1.
int GetInsideThemeEntry(TvsUIStyle style, int key, TvsThemeKind* kind);
int GetInsideThemeInt(TvsUIStyle style, int key);         // -1 unless an integer key
QColor GetInsideThemeColor(TvsUIStyle style, int key);    // black unless a colour key
bool GetInsideThemeBool(TvsUIStyle style, int key);       // false unless a Boolean key
QString InsideThemeImageName(TvsUIStyle style, int key);  // empty unless an image key
QImage GetInsideThemeBitmap(TvsUIStyle style, int key);   // null when there is no art
// Part `index` (from 1) of `count` equal parts of the image; count 0 gives
// the whole image.
QImage GetInsideThemeSplitBitmap(TvsUIStyle style, int key, int count, int index);

// The style of the form's skinned frame, DeepBlue when it has none.
TvsUIStyle GetVSFormStyle(const QWidget* form);

// True when the controls take their values from the file theme; otherwise
// *style is the built-in table to use.
bool UsingFileTheme(const TvsFileTheme* fileTheme, TvsUIStyle uiStyle, TvsUIStyle* style);

// What a control reads while it rebuilds its look: the file theme or the
// built-in table, chosen once.
class TvsThemeValues {
public:
    TvsThemeValues(const TvsFileTheme* fileTheme, TvsUIStyle uiStyle);
    bool fromFile() const { return file_ != nullptr; }
    TvsUIStyle style() const { return style_; }  // the built-in table when not fromFile
    int intValue(int key) const;                  // -1 when absent
    bool boolValue(int key) const;
    // A file that lacks the colour (or holds no colour under its name) leaves
    // `current` as it is.
    QColor color(int key, const QColor& current) const;
    QImage image(int key) const;
    QImage splitImage(int key, int count, int index) const;

private:
    const TvsFileTheme* file_ = nullptr;
    TvsUIStyle style_;
};
