// The skin reader: boxes and states as the painter asks for them, and a
// damaged or hostile file is refused with a reason, never half taken.

#include "components/skin/skinfile.h"

#include "testenv.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <vector>

using namespace skin;

namespace {

QByteArray shippedSkin(int n) {
    QFile f(QString::fromStdString(testenv::sourceDir()) + QStringLiteral("/components/skin/skins/skin%1.skn").arg(n));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << f.fileName().toStdString();
    return f.readAll();
}

QJsonObject skinOne() { return QJsonDocument::fromJson(shippedSkin(1)).object(); }

// node with the value at path (object keys; in an array, an element's name)
// replaced, or removed when the value is undefined.
QJsonValue withValue(const QJsonValue& node, QStringList path, const QJsonValue& value) {
    if (path.isEmpty()) return value;
    const QString key = path.takeFirst();
    if (node.isArray()) {
        QJsonArray a = node.toArray();
        for (int i = 0; i < a.size(); ++i) {
            if (a[i].toObject()["name"].toString() != key) continue;
            const QJsonValue v = withValue(a[i], path, value);
            if (v.isUndefined()) a.removeAt(i);
            else a[i] = v;
            break;
        }
        return a;
    }
    QJsonObject o = node.toObject();
    const QJsonValue v = withValue(o[key], path, value);
    if (v.isUndefined()) o.remove(key);
    else o[key] = v;
    return o;
}

struct Edit {
    QString path;
    QJsonValue value;
};
const QJsonValue kRemoved(QJsonValue::Undefined);

// Skin 1 with some things changed, as a file.
QByteArray edited(const std::vector<Edit>& edits) {
    QJsonValue root = skinOne();
    for (const Edit& e : edits) root = withValue(root, e.path.split('/'), e.value);
    return QJsonDocument(root.toObject()).toJson();
}

}  // namespace

TEST(SkinFile, PlacesBoxesFromEveryEdge) {
    const QSize part(200, 100);
    EXPECT_EQ((Rect{10, 5, 30, 20}.place(part)), QRect(10, 5, 30, 20));
    EXPECT_EQ((Rect{-40, -30, 30, 20}.place(part)), QRect(160, 70, 30, 20));
    EXPECT_EQ((Rect{10, 5, -10, -5}.place(part)), QRect(10, 5, 180, 90));
    // A stretch that ends before it starts collapses instead of going negative.
    EXPECT_EQ((Rect{150, 0, -100, 10}.place(part)).width(), 0);
}

TEST(SkinFile, StatesOverrideOnlyWhatTheyName) {
    Style s{.fill = Fill{Qt::white}, .glyph = QColor(Qt::black)};
    s.hover = std::make_shared<Style>(Style{.border = QColor(Qt::red), .glyph = QColor(Qt::blue)});
    s.down = std::make_shared<Style>(Style{.fill = Fill{Qt::gray}});
    s.on = std::make_shared<Style>(Style{.fill = Fill{Qt::green}, .border = QColor(Qt::darkGreen)});

    EXPECT_EQ(s.forState(false, true, false).glyph, QColor(Qt::blue));
    EXPECT_EQ(s.forState(false, true, false).fill, Fill{Qt::white});
    EXPECT_EQ(s.forState(false, true, true).fill, Fill{Qt::gray});
    EXPECT_EQ(s.forState(false, true, true).glyph, QColor(Qt::black));  // pressed wins over hover
    // A button that is on keeps its colour under the mouse.
    EXPECT_EQ(s.forState(true, true, false).fill, Fill{Qt::green});
    EXPECT_EQ(s.forState(true, true, false).border, QColor(Qt::red));
}

// Damaged, foreign and edited files are refused as a whole, saying what and
// where.
TEST(SkinFile, RefusesWhatIsNotASkinSayingWhy) {
    const QByteArray good = shippedSkin(1);
    const QJsonValue windows = skinOne()["sections"].toObject()["windows"];
    const QString tv = QStringLiteral("sections/Tunevale/elements/");
    const struct {
        QByteArray bytes;
        std::vector<const char*> says;  // parts of the reason
    } cases[] = {
        {good.left(0), {}}, {good.left(1), {}}, {good.left(good.size() / 3), {}},
        {good.left(good.size() / 2), {}}, {good.left(good.size() - 2), {}},
        {"[1, 2, 3]", {"no JSON object"}},
        {"not json at all", {"JSON error"}},
        {QByteArray("\x00\xff\xfe{", 4), {}},
        {R"({"format": 2, "sections": {}})", {"format"}},
        {QByteArray(kMaxSkinFileBytes + 1, ' '), {"larger"}},
        // What the program looks up is missing or of another kind.
        {edited({{tv + "Boxplay", kRemoved}}), {"\"Boxplay\""}},
        {edited({{"sections/Playlist/elements/Listplay/aliases", kRemoved}}), {"\"button2\""}},
        {edited({{tv + "soundbar/type", "text"}, {tv + "soundbar/min", kRemoved},
                 {tv + "soundbar/max", kRemoved}}), {"scroll bar"}},
        {edited({{tv + "mediabar/max", 100}}), {"0 to 1000"}},
        {edited({{"sections/filter", kRemoved}}), {"\"filter\""}},
        {edited({{"sections/Playlist/hosts", kRemoved}}), {"\"lv\""}},
        // Unknown keys and names.
        {edited({{"colour", "#ffffff"}}), {"unknown key \"colour\""}},
        {edited({{tv + "time/allign", "right"}}), {"sections.Tunevale.elements[", "\"allign\""}},
        {edited({{tv + "Boxplay/glyph", "rocket"}}), {"unknown glyph"}},
        {edited({{tv + "Boxplay/style", "nowhere"}}), {"unknown style"}},
        {edited({{tv + "Boxplay/in", "Image9"}}), {"Image9"}},
        {edited({{tv + "Boxstop/name", "Boxplay"}}), {"used twice"}},
        {edited({{"styles/btn/extends", "btnPlay"}}), {"loop"}},  // btnPlay extends btn
        {edited({{"sections/WINDOWS", windows}}), {"case"}},
        // Absurd numbers.
        {edited({{tv + "Boxplay/rect", QJsonArray{1000000, 0, 10, 10}}}), {"outside"}},
        {edited({{tv + "Boxplay/rect", QJsonArray{1e98, 0, 10, 10}}}), {"outside"}},
        {edited({{tv + "Boxplay/rect", QJsonArray{0, 0, 0, 10}}}), {}},
        {edited({{tv + "Boxplay/rect", QJsonArray{0.5, 0, 10, 10}}}), {"whole number"}},
        {edited({{tv + "Boxplay/rect", QJsonArray{0, 0, 10}}}), {}},
        {edited({{tv + "soundbar/min", 65535}, {tv + "soundbar/max", 0}}), {}},
        {edited({{"sections/minTunevale/size", QJsonArray{373, 99999}}}), {}},
        {edited({{"styles/lcdtime/font", QJsonObject{{"px", 5000}}}}), {}},
        {edited({{"styles/btn/border", "blue"}}), {"colour"}},  // names are not taken: only #rrggbb
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        QString error;
        EXPECT_EQ(parseSkin(cases[i].bytes, &error), nullptr) << "case " << i;
        EXPECT_FALSE(error.isEmpty()) << "case " << i;
        for (const char* part : cases[i].says)
            EXPECT_TRUE(error.contains(part)) << "case " << i << ": " << error.toStdString();
    }
}
