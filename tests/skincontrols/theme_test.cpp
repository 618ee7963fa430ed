// The theme tables, the built-in pictures, the drawing helpers and the theme
// file reader, checked by values and pixels.

#include <gtest/gtest.h>

#include <QPainter>
#include <QTemporaryDir>
#include <sys/stat.h>

#include "skin/art.h"
#include "skin/combobox.h"
#include "skin/drawing.h"
#include "skin/filetheme.h"
#include "skin/progressbar.h"
#include "skin/uistyle.h"
#include "themefilebuilder.h"

namespace {

using S = TvsUIStyle;
using K = TvsThemeKind;

QRgb rgb(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }

// ------------------------------------------------------------------ tables

struct Entry {
    S style;
    int key;
    K kind;
    int value;
    const char* image = "";  // the picture's name
};

TEST(ThemeTables, EntriesOfEachColumnAndOutsideTheTableThroughEveryGetter) {
    // One entry of each kind from each style's column, then keys and styles
    // outside the table; a typed getter gives its default for other kinds.
    // Three styles share one scroll button.
    const Entry rows[] = {
        {S::BlueGlass, 8, K::Int, -3},         {S::Graphite, 7, K::Int, 3},   {S::Meadow, 16, K::Color, 0xC82C00},
        {S::DeepBlue, 19, K::Color, 0xA04A44}, {S::Protein, 6, K::Bool, 1},   {S::BlueGlass, 2, K::Bool, 1},
        {S::DeepBlue, 28, K::Image, 0, "DEEPBLUE_TRACKBAR_BAR"},
        {S::Meadow, 38, K::Image, 0, "MEADOW_SCROLLBUTTON"},
        {S::DeepBlue, 38, K::Image, 0, "MORE_SCROLLBUTTON"},
        {S::Protein, 38, K::Image, 0, "MORE_SCROLLBUTTON"},
        {S::BlueGlass, 38, K::Image, 0, "MORE_SCROLLBUTTON"},
        {S::FromThemeFile, 28, K::Int, -1},    {S(6), 8, K::Int, -1},         {S::DeepBlue, 0, K::Int, -1},
        {S::DeepBlue, 43, K::Int, -1},
    };
    for (const Entry& r : rows) {
        K kind = K::Image;
        EXPECT_EQ(GetInsideThemeEntry(r.style, r.key, &kind), r.value) << int(r.style) << " key " << r.key;
        EXPECT_EQ(kind, r.kind) << int(r.style) << " key " << r.key;
        EXPECT_EQ(GetInsideThemeInt(r.style, r.key), r.kind == K::Int ? r.value : -1) << r.key;
        const QColor colour = r.kind == K::Color ? ColorFromBgr(r.value) : QColor(Qt::black);
        EXPECT_EQ(GetInsideThemeColor(r.style, r.key), colour) << r.key;
        EXPECT_EQ(GetInsideThemeBool(r.style, r.key), r.kind == K::Bool && r.value) << r.key;
        EXPECT_EQ(InsideThemeImageName(r.style, r.key), r.image) << int(r.style) << " key " << r.key;
    }
    // Colours are kept blue first.
    EXPECT_EQ(ColorFromBgr(11437686), QColor(0x76, 0x86, 0xAE));
    EXPECT_EQ(ThemeKeyName(1), "ButtonImage");
    EXPECT_EQ(ThemeKeyName(42), "SideChannelBarImage");
    EXPECT_EQ(ThemeKeyName(43), "");
    EXPECT_EQ(ThemeKeyIndex("trackbarbarimage"), vskey::TrackBarBarImage);
}

// ----------------------------------------------------------- built-in art

TEST(BuiltinArt, SizesAndTheRulesTheControlsRelyOn) {
    for (S s : {S::Graphite, S::Meadow, S::DeepBlue, S::Protein, S::BlueGlass}) {
        const QImage bar = GetInsideThemeBitmap(s, vskey::TrackBarBarImage);
        EXPECT_EQ(bar.size(), QSize(30, 5)) << int(s);  // three equal parts
        EXPECT_EQ(bar.pixel(0, 0), 0xFFFF00FFu) << "the key pixel";
        EXPECT_EQ(GetInsideThemeBitmap(s, vskey::ProgressBarImage).size(), QSize(8, 10)) << int(s);
        const QImage thumb = GetInsideThemeBitmap(s, vskey::TrackBarSliderImage);
        EXPECT_EQ(thumb.size(), QSize(11, 18));
        EXPECT_EQ(GetInsideThemeBitmap(s, vskey::TrackBarSliderVImage), RotateBitmap90(thumb));
        EXPECT_TRUE(GetInsideThemeBitmap(s, vskey::ButtonImage).isNull()) << "no control draws buttons";
    }
    for (const char* name : {"GRAPHITE_COMBOBOX_BUTTON", "MEADOW_COMBOBOX_BUTTON"})
        EXPECT_EQ(BuiltinArt(name).size(), QSize(17, 19)) << name;
    EXPECT_EQ(BuiltinArt("MENU_CHECKED").size(), QSize(16, 16));
    EXPECT_EQ(BuiltinArt("MENU_CHECKED").pixel(0, 0), 0xFFFFFFFFu) << "white is its key";
    EXPECT_EQ(BuiltinArt("GRAPHITE_MENU_BAR").size(), QSize(8, 20));
    EXPECT_EQ(BuiltinArt("GRAPHITE_MENU_SELECT").size(), QSize(8, 20));
    EXPECT_TRUE(BuiltinArt("NO_SUCH_PICTURE").isNull());
    EXPECT_EQ(BuiltinArt("DEEPBLUE_PROGRESSBAR").cacheKey(), BuiltinArt("DEEPBLUE_PROGRESSBAR").cacheKey());
    EXPECT_EQ(GetInsideThemeSplitBitmap(S::DeepBlue, vskey::TrackBarBarImage, 3, 2).size(), QSize(10, 5));
}

// The title pictures: 18 equal button cells that fit below their top in a
// strip of one height per style, and a key in the lower-left of the styles
// whose buttons are transparent.
TEST(BuiltinArt, TitleStripsAndFormBackgrounds) {
    struct Row {
        S style;
        QSize cell;
        int height;
    };
    for (const Row& row : {Row{S::Graphite, {19, 17}, 26}, Row{S::Meadow, {21, 19}, 30}, Row{S::DeepBlue, {20, 18}, 22},
                           Row{S::Protein, {20, 18}, 22}, Row{S::BlueGlass, {22, 20}, 30}}) {
        const QImage strip = GetInsideThemeBitmap(row.style, vskey::TitleBarButtonImage);
        EXPECT_EQ(strip.size(), QSize(row.cell.width() * 18, row.cell.height())) << int(row.style);
        for (int key : {vskey::TitleBarLeftImage, vskey::TitleBarClientImage, vskey::TitleBarRightImage})
            EXPECT_EQ(GetInsideThemeBitmap(row.style, key).height(), row.height) << int(row.style) << " " << key;
        EXPECT_LE(GetInsideThemeInt(row.style, vskey::TitleBarButtonTopInt) + row.cell.height(), row.height);
        const bool keyed = GetInsideThemeBool(row.style, vskey::TitleBarButtonTransparentBool);
        for (int cell = 1; cell <= 18; ++cell) {
            const QImage c = GetInsideThemeSplitBitmap(row.style, vskey::TitleBarButtonImage, 18, cell);
            const QRgb corner = c.pixel(0, c.height() - 1);
            if (keyed) {
                EXPECT_EQ(corner, 0xFFFF00FFu) << int(row.style) << " cell " << cell;
                EXPECT_NE(c.pixel(c.width() / 2, c.height() / 2), corner) << "the key is only around the button";
            } else {
                EXPECT_EQ(qAlpha(corner), 255) << int(row.style) << " cell " << cell;
            }
        }
        // Normal, hover and down differ.
        const QImage close = GetInsideThemeSplitBitmap(row.style, vskey::TitleBarButtonImage, 18, 16);
        const QImage hot = GetInsideThemeSplitBitmap(row.style, vskey::TitleBarButtonImage, 18, 17);
        const QImage down = GetInsideThemeSplitBitmap(row.style, vskey::TitleBarButtonImage, 18, 18);
        EXPECT_NE(close, hot);
        EXPECT_NE(hot, down);
    }
    for (const char* name : {"GRAPHITE_FORM_BACKGROUND", "PROTEIN_FORM_BACKGROUND"})
        EXPECT_EQ(BuiltinArt(name).size(), QSize(32, 32)) << name;
    // Graphite's strip is light, the others dark: the caption's colour
    // (black on Graphite, white elsewhere) must stand out.
    for (S s : {S::Graphite, S::Meadow, S::DeepBlue, S::Protein, S::BlueGlass}) {
        const QImage client = GetInsideThemeBitmap(s, vskey::TitleBarClientImage);
        const int lightness = QColor(client.pixel(4, client.height() / 2)).lightness();
        if (s == S::Graphite) EXPECT_GT(lightness, 150);
        else EXPECT_LT(lightness, 130) << int(s);
    }
}

// --------------------------------------------------------- drawing helpers

// A 30 x 4 strip: red, green and blue thirds, with its corner pixel marked.
QImage strip(QRgb corner) {
    QImage img(30, 4, QImage::Format_ARGB32);
    for (int x = 0; x < 30; ++x)
        for (int y = 0; y < 4; ++y) img.setPixel(x, y, x < 10 ? 0xFFFF0000 : x < 20 ? 0xFF00FF00 : 0xFF0000FF);
    img.setPixel(0, 0, corner);
    img.setPixel(25, 1, 0xFFFF00FF);
    return img;
}

QImage white(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

TEST(DrawingHelpers, Stretch3PartKeepsTheEndsAndMakesTheKeyTransparent) {
    for (bool corner : {false, true}) {
        QImage out = white(200, 4);
        QPainter p(&out);
        DrawStretch3Part(strip(0xFFFFFF00), p, out.rect(), corner);
        p.end();
        for (auto [x, y, colour] : {std::tuple{0, 1, 0xFF0000u}, {9, 0, 0xFF0000u}, {10, 0, 0x00FF00u},
                                    {189, 3, 0x00FF00u}, {190, 0, 0x0000FFu}, {199, 3, 0x0000FFu}})
            EXPECT_EQ(rgb(out, x, y), colour) << x << "," << y;
        // The corner pixel is the key with the flag, magenta without it.
        EXPECT_EQ(rgb(out, 0, 0), corner ? 0xFFFFFFu : 0xFFFF00u);
        EXPECT_EQ(rgb(out, 195, 1), corner ? 0xFF00FFu : 0xFFFFFFu);
    }
    QImage narrow = white(12, 4);
    QPainter p(&narrow);
    DrawStretch3Part(strip(0xFFFF0000), p, narrow.rect(), false);
    p.end();
    EXPECT_EQ(rgb(narrow, 11, 0), 0x0000FFu) << "too narrow for the middle: the ends only";
}

TEST(DrawingHelpers, SplitRotateAndTile) {
    QImage strip40(40, 2, QImage::Format_ARGB32);
    for (int x = 0; x < 40; ++x) strip40.setPixel(x, 0, qRgb(x, 0, 0)), strip40.setPixel(x, 1, qRgb(x, 1, 0));
    const QImage first = SplitBitmap(strip40, 4, 1);
    ASSERT_EQ(first.size(), QSize(10, 2));
    EXPECT_EQ(qRed(first.pixel(9, 0)), 9);
    EXPECT_EQ(qRed(SplitBitmap(strip40, 4, 4).pixel(0, 1)), 30);
    for (auto [count, index] : {std::pair{0, 1}, {4, 5}, {4, 0}, {-1, 1}, {41, 1}})
        EXPECT_TRUE(SplitBitmap(strip40, count, index).isNull()) << count << "/" << index;

    QImage small(3, 2, QImage::Format_ARGB32);
    for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 2; ++y) small.setPixel(x, y, qRgb(x, y, 7));
    const QImage turned = RotateBitmap90(small);
    ASSERT_EQ(turned.size(), QSize(2, 3));
    for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 2; ++y) EXPECT_EQ(turned.pixel(y, 2 - x), small.pixel(x, y));

    QImage tile(3, 3, QImage::Format_RGB32);
    tile.fill(Qt::black);
    tile.setPixel(0, 0, qRgb(255, 0, 0));
    QImage canvas = white(10, 10);
    QPainter p(&canvas);
    DrawTiled(p, tile, QRect(2, 2, 5, 5));
    p.end();
    // Tiles start at the origin; nothing lands outside the rectangle.
    for (auto [x, y, colour] : {std::tuple{3, 3, 0xFF0000u}, {6, 6, 0xFF0000u}, {7, 7, 0xFFFFFFu},
                                {1, 3, 0xFFFFFFu}})
        EXPECT_EQ(rgb(canvas, x, y), colour) << x << "," << y;
}

// ------------------------------------------------------------- theme files

QImage checker() {
    QImage img(6, 4, QImage::Format_RGB32);
    for (int x = 0; x < 6; ++x)
        for (int y = 0; y < 4; ++y) img.setPixel(x, y, (x + y) % 2 ? qRgb(10, 200, 30) : qRgb(240, 20, 90));
    return img;
}

ThemeFileBuilder sample() {
    ThemeFileBuilder b;
    b.integer("FormMinWidthInt", 255)
        .integer("ControlBorderColor", 0x0000FF)
        .boolean("ButtonTransparentBool", true)
        .image("ProgressBarImage", checker())
        .text("Author", "someone")
        .integer("formminwidthint", 9)
        .raw("Unknown", 9, "xx");
    return b;
}

// The sample file with one 32-bit field overwritten.
QByteArray poked(int at, quint32 value) {
    QByteArray b = sample().build();
    ThemeFileBuilder::put(b, at, value);
    return b;
}

TEST(ThemeFile, RoundTripAndHostileFilesAreRefused) {
    QString error;
    const auto reader = TvsThemeFileReader::parse(sample().build("MenuFontColor"), &error);
    ASSERT_TRUE(reader) << error.toStdString();
    EXPECT_EQ(reader->GetInt("FORMMINWIDTHINT"), 255) << "names ignore case; the first of a name wins";
    EXPECT_EQ(reader->GetInt("ControlBorderColor"), 0xFF);
    EXPECT_TRUE(reader->GetBool("ButtonTransparentBool"));
    EXPECT_FALSE(reader->GetBool("Nothing"));
    EXPECT_EQ(reader->GetInt("MenuFontColor"), -1) << "the closing entry holds no value";
    EXPECT_EQ(reader->GetBitmap("progressbarimage").convertToFormat(QImage::Format_RGB32), checker());
    EXPECT_TRUE(reader->GetBitmap("Author").isNull());
    // A name that fills all 64 bytes is read to its end and no further.
    const QByteArray longName(64, 'n');
    const auto full = TvsThemeFileReader::parse(ThemeFileBuilder().integer(longName, 3).build(), &error);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->GetInt(QString::fromLatin1(longName)), 3);

    // Damaged and hostile files are refused with a reason, and so is every
    // cut of a good one.
    const auto entry = &ThemeFileBuilder::entryOffset;
    const QByteArray good = sample().build();
    QByteArray huge = ThemeFileBuilder().image("p", checker()).build();
    ThemeFileBuilder::put(huge, entry(2) + 18, 60000);
    ThemeFileBuilder::put(huge, entry(2) + 22, 60000);
    const std::pair<const char*, QByteArray> rows[] = {
        {"header length 0", poked(12, 0)},   {"header length 23", poked(12, 23)},
        {"header length 29", poked(12, 29)}, {"header length 40", poked(12, 40)},
        {"first entry past the end", poked(20, 0x7FFFFFF0)},
        {"entry points at itself", poked(entry(1) + 73, entry(1))},
        {"entry points back", poked(entry(3) + 73, entry(0))},
        {"data past the end", poked(entry(0) + 65, good.size() - 2)},
        {"data size 4 GiB", poked(entry(3) + 69, 0xFFFFFFFF)},
        {"integer of 2 bytes", poked(entry(0) + 69, 2)},
        {"switch of 2 bytes", poked(entry(2) + 69, 2)},
        {"junk picture", ThemeFileBuilder().raw("ProgressBarImage", 0, QByteArray(300, '\x5a')).build()},
        {"picture claiming 60000 x 60000", huge},
        {"too short", QByteArray(15, '\0')},
        {"over 4 MiB", QByteArray(4 * 1024 * 1024 + 1, '\0')},
    };
    for (const auto& [why, bytes] : rows) {
        error.clear();
        EXPECT_FALSE(TvsThemeFileReader::parse(bytes, &error)) << why;
        EXPECT_FALSE(error.isEmpty()) << why;
    }
    for (int length = 0; length < good.size(); ++length)
        EXPECT_FALSE(TvsThemeFileReader::parse(good.left(length), nullptr)) << "cut at " << length;
}

// Many entries into one picture's bytes: shared bytes are decoded once, and
// bytes decoded again under other lengths count against one cap for the
// whole file, so a small file cannot decode into gigabytes.
TEST(ThemeFile, ThePicturesOfOneFileAreCappedInAll) {
    QImage picture(64, 64, QImage::Format_RGB32);
    picture.fill(QColor(0x20, 0x40, 0x60));
    const int entries = int(TvsThemeFileReader::kMaxThemePixels / (64 * 64)) + 2;
    ThemeFileBuilder builder;
    builder.image("Picture0", picture);
    for (int i = 1; i < entries; ++i) builder.raw("Picture" + QByteArray::number(i), 0, {});
    // Room after the picture for the longer lengths below.
    QByteArray file = builder.build() + QByteArray(entries, '\0');
    // Every entry points at the first one's bytes: one picture, decoded once.
    const auto entry = &ThemeFileBuilder::entryOffset;
    const quint32 at = qFromLittleEndian<quint32>(file.constData() + entry(0) + 65);
    const quint32 size = qFromLittleEndian<quint32>(file.constData() + entry(0) + 69);
    for (int i = 1; i < entries; ++i) {
        ThemeFileBuilder::put(file, entry(i) + 65, at);
        ThemeFileBuilder::put(file, entry(i) + 69, size);
    }
    QString error;
    auto reader = TvsThemeFileReader::parse(file, &error);
    ASSERT_TRUE(reader) << error.toStdString();
    EXPECT_EQ(reader->GetBitmap("Picture" + QString::number(entries - 1)).size(), QSize(64, 64));
    EXPECT_EQ(reader->decodedPixels(), 64 * 64);
    // Each entry one byte longer than the last: the same picture, decoded
    // anew each time, until the cap refuses the file.
    for (int i = 1; i < entries; ++i) ThemeFileBuilder::put(file, entry(i) + 69, size + quint32(i));
    error.clear();
    EXPECT_FALSE(TvsThemeFileReader::parse(file, &error));
    EXPECT_TRUE(error.contains("pixels in all")) << error.toStdString();
    // Up to the cap the file is taken.
    QByteArray within = file;
    ThemeFileBuilder::put(within, entry(entries - 3) + 73, 0);
    reader = TvsThemeFileReader::parse(within, &error);
    ASSERT_TRUE(reader) << error.toStdString();
    EXPECT_LE(reader->decodedPixels(), TvsThemeFileReader::kMaxThemePixels);
    EXPECT_EQ(reader->GetBitmap("Picture7").size(), QSize(64, 64));
}

class FileThemeComponent : public ::testing::Test {
protected:
    void write(const QString& name, const QByteArray& bytes) {
        QFile f(dir_.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QTemporaryDir dir_;
};

// A file theme serves only controls that ask for it and only once loaded,
// from a bare name in the program folder; a refused file changes nothing.
TEST_F(FileThemeComponent, UsedWhenAskedForAndLoadedAndRefusedFilesChangeNothing) {
    write("a.theme", ThemeFileBuilder().integer("FormMinWidthInt", 11).build());
    write("bad.theme", sample().build().left(100));
    write("big.theme", QByteArray(4 * 1024 * 1024 + 10, '\0'));
    ASSERT_EQ(mkfifo(dir_.filePath("pipe.theme").toLocal8Bit().constData(), 0600), 0);
    TvsFileTheme theme;
    theme.setProgramFolder(dir_.path());
    int changes = 0;
    QObject::connect(&theme, &TvsFileTheme::changed, [&] { ++changes; });
    theme.SetThemeFile("no/such/folder/a.theme");
    ASSERT_TRUE(theme.CanUse());
    EXPECT_EQ(theme.GetInt(vskey::FormMinWidthInt), 11);
    EXPECT_EQ(theme.ThemeFile(), "no/such/folder/a.theme");
    for (const char* refused : {"bad.theme", "big.theme", "pipe.theme", "missing.theme"}) {
        theme.SetThemeFile(dir_.filePath(refused));
        EXPECT_EQ(theme.ThemeFile(), "no/such/folder/a.theme") << refused;
        EXPECT_EQ(theme.GetInt(vskey::FormMinWidthInt), 11) << refused;
    }
    EXPECT_EQ(changes, 1);

    TvsFileTheme unloaded;
    struct Row {
        const TvsFileTheme* theme;
        S asked, style;
        bool file;
    } rows[] = {
        {nullptr, S::FromThemeFile, S::DeepBlue, false}, {&unloaded, S::FromThemeFile, S::DeepBlue, false},
        {&theme, S::Meadow, S::Meadow, false},           {&theme, S::FromThemeFile, S::FromThemeFile, true},
    };
    for (const Row& r : rows) {
        S style = S::Graphite;
        EXPECT_EQ(UsingFileTheme(r.theme, r.asked, &style), r.file);
        EXPECT_EQ(style, r.style);
    }
    EXPECT_EQ(TvsThemeValues(&theme, S::FromThemeFile).intValue(vskey::FormMinWidthInt), 11);
    EXPECT_EQ(TvsThemeValues(nullptr, S::FromThemeFile).intValue(vskey::FormMinWidthInt), 130);
}

TEST_F(FileThemeComponent, BoundControlsFollowTheFileAndItsEnd) {
    write("red.theme", ThemeFileBuilder()
                           .integer("ControlBorderColor", 0x0000FF)
                           .integer("ControlBackgroundColor", 0x00FF00)
                           .integer("FormBackgroundColor", 0xFF0000)
                           .build());
    auto* theme = new TvsFileTheme;
    TvsProgressBar bar;
    TvsComboBox combo;
    for (TvsThemeable* c : std::initializer_list<TvsThemeable*>{&bar, &combo}) {
        c->setFileTheme(theme);
        c->setUIStyle(S::FromThemeFile);
    }
    EXPECT_EQ(bar.borderColor(), QColor(Qt::black)) << "nothing loaded yet: DeepBlue";
    theme->SetThemeFile(dir_.filePath("red.theme"));
    EXPECT_EQ(bar.borderColor(), QColor(Qt::red));
    EXPECT_EQ(bar.color(), QColor(Qt::green));
    EXPECT_EQ(combo.borderColor(), QColor(Qt::red));
    EXPECT_EQ(combo.buttonColor(), QColor(Qt::blue));
    delete theme;
    EXPECT_EQ(bar.fileTheme(), nullptr);
    EXPECT_EQ(bar.uiStyle(), S::DeepBlue);
    EXPECT_EQ(combo.uiStyle(), S::DeepBlue);
    EXPECT_EQ(combo.borderColor(), QColor(Qt::black));

    QWidget form;
    auto* child = new TvsProgressBar(&form);
    TvsProgressBar grandchild(child);
    ContainerApplyUIStyle(&form, S::Meadow, nullptr);
    EXPECT_EQ(child->uiStyle(), S::Meadow);
    EXPECT_EQ(grandchild.uiStyle(), S::DeepBlue) << "direct children only";
}

}  // namespace
