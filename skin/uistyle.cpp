#include "skin/uistyle.h"

#include "skin/art.h"
#include "skin/drawing.h"
#include "skin/filetheme.h"

#include <QWidget>

namespace {

struct KeyRow {
    const char* name;
    TvsThemeKind kind;
    // Graphite, Meadow, DeepBlue, Protein, BlueGlass; colours 0x00BBGGRR.
    int values[5];
    // The image's resource name is STYLE_PART.
    const char* part;
};

constexpr TvsThemeKind I = TvsThemeKind::Int, C = TvsThemeKind::Color, P = TvsThemeKind::Image,
                       B = TvsThemeKind::Bool;

const KeyRow kKeys[vskey::kCount] = {
    {"ButtonImage", P, {}, "BUTTON"},
    {"ButtonTransparentBool", B, {1, 0, 0, 0, 1}, nullptr},
    {"CheckBoxImage", P, {}, "CHECKBOX"},
    {"RadioButtonImage", P, {}, "RADIOBUTTON"},
    {"TitleBarButtonImage", P, {}, "TITLEBTN"},
    {"TitleBarButtonTransparentBool", B, {0, 0, 0, 1, 1}, nullptr},
    {"TitleBarButtonLeftOffsetInt", I, {3, 2, 0, 0, 4}, nullptr},
    {"TitleBarButtonRightOffsetInt", I, {-2, -2, 0, 0, -3}, nullptr},
    {"TitleBarButtonTopInt", I, {4, 5, 2, 2, 6}, nullptr},
    {"TitleBarLeftImage", P, {}, "TITLE_LEFT"},
    {"TitleBarClientImage", P, {}, "TITLE_CLIENT"},
    {"TitleBarRightImage", P, {}, "TITLE_RIGHT"},
    {"FormMinWidthInt", I, {130, 150, 130, 130, 270}, nullptr},
    {"FormRoundCornerInt", I, {0, 13, 0, 0, 11}, nullptr},
    {"FormBackgroundColor", C, {0xE7E7E7, 0xDEEBEF, 0xE8E8E8, 0xFBFBFB, 0xE7E7E7}, nullptr},
    {"FormBorderColor", C, {0x7F7F7F, 0xC82C00, 0, 0, 0}, nullptr},
    {"FormBorderWidthInt", I, {1, 3, 1, 1, 1}, nullptr},
    {"MenuSelectedBorderColor", C, {0xC47339, 0xC66931, 0xA04A44, 0xC4302D, 0xEC5E5E}, nullptr},
    {"MenuSelectedBackgroundColor", C, {0xC47339, 0xEFD3C6, 0xA04A44, 0xC4302D, 0xEC5E5E}, nullptr},
    {"MenuSelectedFontColor", C, {0xFFFFFF, 0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}, nullptr},
    {"MenuBackgroundColor", C, {0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xE7E7E7}, nullptr},
    {"MenuFontColor", C, {0, 0, 0, 0, 0}, nullptr},
    {"MenuBarColor", C, {0, 0xCED3D6, 0xCED3D6, 0xCED3D6, 0xCED3D6}, nullptr},
    {"ProgressBarImage", P, {}, "PROGRESSBAR"},
    {"ControlBorderColor", C, {0x7F7F7F, 0x686868, 0, 0, 0}, nullptr},
    {"ControlBackgroundColor", C, {0xE7E7E7, 0xDEEBEF, 0xE8E8E8, 0xFBFBFB, 0xE7E7E7}, nullptr},
    {"ControlFontColor", C, {0, 0xCF4602, 0, 0, 0}, nullptr},
    {"TrackBarBarImage", P, {}, "TRACKBAR_BAR"},
    {"TrackBarSliderImage", P, {}, "TRACKBAR_SLIDER"},
    {"TrackBarSliderVImage", P, {}, "TRACKBAR_SLIDER_V"},
    {"ScrollBarBackgroundColor", C, {0xC9C9C9, 0xF9F9F9, 0xF5F5F5, 0xF5F5F5, 0xF4F4F4}, nullptr},
    {"ScrollBarButtonImage", P, {}, "SCROLLBAR_BUTTON"},
    {"ScrollBarSliderImage", P, {}, "SCROLLBAR_TRACK"},
    {"CheckListBoxImage", P, {}, "CHECKLIST"},
    {"ToolBarButtonBorderColor", C, {0x474747, 0xC66931, 0x474747, 0x474747, 0x474747}, nullptr},
    {"ToolBarButtonBackgroundColor", C, {0xEFEFEF, 0xEFD3C6, 0xEFEFEF, 0xEFEFEF, 0xEFEFEF}, nullptr},
    {"ToolBarButtonDownBackgroundColor", C, {0xD8D8D8, 0xE1AC93, 0xD8D8D8, 0xD8D8D8, 0xD8D8D8}, nullptr},
    {"ScrollButtonImage", P, {}, "SCROLLBUTTON"},
    {"TabControlTabImage", P, {}, "TAB"},
    {"TabControlBarImage", P, {}, "TAB_LINE"},
    {"SideChannelHandleImage", P, {}, "SIDECHENNEL_HANDLE"},
    {"SideChannelBarImage", P, {}, "SIDECHENNEL_BAR"},
};

const char* const kStyleNames[5] = {"GRAPHITE", "MEADOW", "DEEPBLUE", "PROTEIN", "BLUEGLASS"};

// The table row of a built-in style and key, or null.
const KeyRow* rowOf(TvsUIStyle style, int key, int* column) {
    const int s = static_cast<int>(style);
    if (s < 1 || s > 5 || key < 1 || key > vskey::kCount) return nullptr;
    *column = s - 1;
    return &kKeys[key - 1];
}

}  // namespace

QColor ColorFromBgr(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

QString ThemeKeyName(int key) {
    if (key < 1 || key > vskey::kCount) return {};
    return QString::fromLatin1(kKeys[key - 1].name);
}

int ThemeKeyIndex(const QString& name) {
    for (int k = 1; k <= vskey::kCount; ++k)
        if (name.compare(QLatin1String(kKeys[k - 1].name), Qt::CaseInsensitive) == 0) return k;
    return 0;
}

int GetInsideThemeEntry(TvsUIStyle style, int key, TvsThemeKind* kind) {
    int column = 0;
    const KeyRow* row = rowOf(style, key, &column);
    if (!row) {
        if (kind) *kind = TvsThemeKind::Int;
        return -1;
    }
    if (kind) *kind = row->kind;
    return row->kind == TvsThemeKind::Image ? 0 : row->values[column];
}

int GetInsideThemeInt(TvsUIStyle style, int key) {
    TvsThemeKind kind;
    const int v = GetInsideThemeEntry(style, key, &kind);
    return kind == TvsThemeKind::Int ? v : -1;
}

QColor GetInsideThemeColor(TvsUIStyle style, int key) {
    TvsThemeKind kind;
    const int v = GetInsideThemeEntry(style, key, &kind);
    return ColorFromBgr(kind == TvsThemeKind::Color ? uint32_t(v) : 0);
}

bool GetInsideThemeBool(TvsUIStyle style, int key) {
    TvsThemeKind kind;
    const int v = GetInsideThemeEntry(style, key, &kind);
    return kind == TvsThemeKind::Bool && v != 0;
}

QString InsideThemeImageName(TvsUIStyle style, int key) {
    int column = 0;
    const KeyRow* row = rowOf(style, key, &column);
    if (!row || row->kind != TvsThemeKind::Image) return {};
    // The three plainer themes share one scroll button.
    if (key == vskey::ScrollButtonImage && column >= 2) return QStringLiteral("MORE_SCROLLBUTTON");
    return QStringLiteral("%1_%2").arg(QLatin1String(kStyleNames[column]), QLatin1String(row->part));
}

QImage GetInsideThemeBitmap(TvsUIStyle style, int key) {
    const QString name = InsideThemeImageName(style, key);
    return name.isEmpty() ? QImage() : BuiltinArt(name);
}

QImage GetInsideThemeSplitBitmap(TvsUIStyle style, int key, int count, int index) {
    const QImage whole = GetInsideThemeBitmap(style, key);
    return count == 0 ? whole : SplitBitmap(whole, count, index);
}

TvsUIStyle GetVSFormStyle(const QWidget* form) {
    if (!form) return TvsUIStyle::DeepBlue;
    // The form frame is the one object on a form that carries the form's
    // style; it is found by its class so that this needs nothing of it.
    for (const QObject* child : form->window()->children())
        if (child->inherits("TvsForm")) {
            const QVariant v = child->property("uiStyle");
            if (v.isValid()) return static_cast<TvsUIStyle>(v.toInt());
        }
    return TvsUIStyle::DeepBlue;
}

bool UsingFileTheme(const TvsFileTheme* fileTheme, TvsUIStyle uiStyle, TvsUIStyle* style) {
    if (uiStyle != TvsUIStyle::FromThemeFile) {
        *style = uiStyle;
        return false;
    }
    if (fileTheme && fileTheme->CanUse()) {
        *style = uiStyle;
        return true;
    }
    *style = TvsUIStyle::DeepBlue;
    return false;
}

TvsThemeValues::TvsThemeValues(const TvsFileTheme* fileTheme, TvsUIStyle uiStyle) {
    if (UsingFileTheme(fileTheme, uiStyle, &style_)) file_ = fileTheme;
}

int TvsThemeValues::intValue(int key) const {
    return file_ ? file_->GetInt(key) : GetInsideThemeInt(style_, key);
}

bool TvsThemeValues::boolValue(int key) const {
    return file_ ? file_->GetBool(key) : GetInsideThemeBool(style_, key);
}

QColor TvsThemeValues::color(int key, const QColor& current) const {
    if (!file_) return GetInsideThemeColor(style_, key);
    // A stored colour has nothing in its top byte; -1 is how a file says
    // it has no value.
    const int v = file_->GetColor(key);
    return (uint32_t(v) >> 24) ? current : ColorFromBgr(uint32_t(v));
}

QImage TvsThemeValues::image(int key) const {
    return file_ ? file_->GetBitmap(key) : GetInsideThemeBitmap(style_, key);
}

QImage TvsThemeValues::splitImage(int key, int count, int index) const {
    return file_ ? file_->GetSplitBitmap(key, count, index) : GetInsideThemeSplitBitmap(style_, key, count, index);
}
