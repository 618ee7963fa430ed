// The skin reader: the shipped skins hold what the program looks up, and a
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
    const char* path;
    QJsonValue value;
};
const QJsonValue kRemoved(QJsonValue::Undefined);

}  // namespace

TEST(SkinFile, ShippedSkinsHoldEveryRequiredElementWithItsTypeAndRange) {
    std::shared_ptr<const SkinData> skins[2];
    for (int n : {1, 2}) {
        SCOPED_TRACE(n);
        QString error;
        auto& data = skins[n - 1];
        data = parseSkin(shippedSkin(n), &error);
        ASSERT_NE(data, nullptr) << error.toStdString();
        for (const RequiredSection& req : requiredSections()) {
            const SectionDef* s = data->findSection(req.name);
            ASSERT_NE(s, nullptr) << req.name;
            EXPECT_EQ(s->skinned, req.skinned) << req.name;
            for (const RequiredElement& want : req.elements) {
                const ElementDef* found = nullptr;
                for (const ElementDef& e : s->elements)
                    if (e.name == want.name || e.aliases.contains(want.name)) found = &e;
                ASSERT_NE(found, nullptr) << req.name << "/" << want.name;
                EXPECT_EQ(found->type, want.type) << want.name;
            }
        }
        auto range = [&](const char* section, const char* name) {
            for (const ElementDef& e : data->findSection(section)->elements)
                if (e.name == name) return std::pair(e.min, e.max);
            return std::pair(-1, -1);
        };
        EXPECT_EQ(range("Tunevale", "mediabar"), std::pair(0, 1000));
        EXPECT_EQ(range("Playlist", "Listmediabar"), std::pair(0, 1000));
        EXPECT_EQ(range("Tunevale", "soundbar"), std::pair(0, 65535));
        // Section names compare without case.
        EXPECT_EQ(data->findSection("Windows"), data->findSection("windows"));
        EXPECT_EQ(data->findSection("PLAYLIST"), data->findSection("Playlist"));
        EXPECT_EQ(data->findSection("nothing"), nullptr);
    }
    // The two skins look different.
    EXPECT_NE(skins[0]->name, skins[1]->name);
    EXPECT_NE(skins[0]->style("window").fill, skins[1]->style("window").fill);
    EXPECT_NE(skins[0]->findSection("windows")->palette, skins[1]->findSection("windows")->palette);
}

TEST(SkinFile, PlacesBoxesFromEveryEdge) {
    const QSize part(200, 100);
    EXPECT_EQ((Rect{10, 5, 30, 20}.place(part)), QRect(10, 5, 30, 20));
    EXPECT_EQ((Rect{-40, -30, 30, 20}.place(part)), QRect(160, 70, 30, 20));
    EXPECT_EQ((Rect{10, 5, -10, -5}.place(part)), QRect(10, 5, 180, 90));
    // A stretch that ends before it starts collapses instead of going negative.
    EXPECT_EQ((Rect{150, 0, -100, 10}.place(part)).width(), 0);
}

TEST(SkinFile, StatesOverrideOnlyWhatTheyName) {
    Style s;
    s.fill = Fill{Qt::white};
    s.glyph = QColor(Qt::black);
    s.hover = std::make_shared<Style>();
    s.hover->glyph = QColor(Qt::blue);
    s.hover->border = QColor(Qt::red);
    s.down = std::make_shared<Style>();
    s.down->fill = Fill{Qt::gray};
    s.on = std::make_shared<Style>();
    s.on->fill = Fill{Qt::green};
    s.on->border = QColor(Qt::darkGreen);

    EXPECT_EQ(s.forState(false, true, false).glyph, QColor(Qt::blue));
    EXPECT_EQ(s.forState(false, true, false).fill, Fill{Qt::white});
    EXPECT_EQ(s.forState(false, true, true).fill, Fill{Qt::gray});
    EXPECT_EQ(s.forState(false, true, true).glyph, QColor(Qt::black));  // pressed wins over hover
    // A button that is on keeps its colour under the mouse.
    EXPECT_EQ(s.forState(true, true, false).fill, Fill{Qt::green});
    EXPECT_EQ(s.forState(true, true, false).border, QColor(Qt::red));
}

TEST(SkinFile, RefusesWhatIsNotASkin) {
    const QByteArray good = shippedSkin(1);
    const struct {
        QByteArray bytes;
        const char* says;
    } cases[] = {
        {good.left(0), ""}, {good.left(1), ""}, {good.left(good.size() / 3), ""}, {good.left(good.size() / 2), ""},
        {good.left(good.size() - 2), ""},
        {"[1, 2, 3]", "no JSON object"},
        {"not json at all", "JSON error"},
        {QByteArray("\x00\xff\xfe{", 4), ""},
        {R"({"format": 2, "sections": {}})", "format"},
        {QByteArray(kMaxSkinFileBytes + 1, ' '), "larger"},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_EQ(parseSkin(c.bytes, &error), nullptr) << c.bytes.left(40).toStdString();
        EXPECT_FALSE(error.isEmpty());
        EXPECT_TRUE(error.contains(c.says)) << error.toStdString();
    }
}

// Skin 1 with one thing changed: refused as a whole, saying what and where.
TEST(SkinFile, RefusesAnEditedSkinSayingWhy) {
    const QJsonValue windows = skinOne()["sections"].toObject()["windows"];
    const struct {
        std::vector<Edit> edits;
        std::vector<const char*> says;  // parts of the reason
    } cases[] = {
        // What the program looks up is missing or of another kind.
        {{{"sections/Tunevale/elements/Boxplay", kRemoved}}, {"\"Boxplay\""}},
        {{{"sections/Playlist/elements/Listplay/aliases", kRemoved}}, {"\"button2\""}},
        {{{"sections/Tunevale/elements/soundbar/type", "text"},
          {"sections/Tunevale/elements/soundbar/min", kRemoved},
          {"sections/Tunevale/elements/soundbar/max", kRemoved}},
         {"scroll bar"}},
        {{{"sections/Tunevale/elements/mediabar/max", 100}}, {"0 to 1000"}},
        {{{"sections/filter", kRemoved}}, {"\"filter\""}},
        {{{"sections/Playlist/hosts", kRemoved}}, {"\"lv\""}},
        // Unknown keys and names.
        {{{"colour", "#ffffff"}}, {"unknown key \"colour\""}},
        {{{"sections/Tunevale/elements/time/allign", "right"}}, {"sections.Tunevale.elements[", "\"allign\""}},
        {{{"sections/Tunevale/elements/Boxplay/glyph", "rocket"}}, {"unknown glyph"}},
        {{{"sections/Tunevale/elements/Boxplay/style", "nowhere"}}, {"unknown style"}},
        {{{"sections/Tunevale/elements/Boxplay/in", "Image9"}}, {"Image9"}},
        {{{"sections/Tunevale/elements/Boxstop/name", "Boxplay"}}, {"used twice"}},
        {{{"styles/btn/extends", "btnPlay"}}, {"loop"}},  // btnPlay extends btn
        {{{"sections/WINDOWS", windows}}, {"case"}},
        // Absurd numbers.
        {{{"sections/Tunevale/elements/Boxplay/rect", QJsonArray{1000000, 0, 10, 10}}}, {"outside"}},
        {{{"sections/Tunevale/elements/Boxplay/rect", QJsonArray{1e98, 0, 10, 10}}}, {"outside"}},
        {{{"sections/Tunevale/elements/Boxplay/rect", QJsonArray{0, 0, 0, 10}}}, {}},
        {{{"sections/Tunevale/elements/Boxplay/rect", QJsonArray{0.5, 0, 10, 10}}}, {"whole number"}},
        {{{"sections/Tunevale/elements/Boxplay/rect", QJsonArray{0, 0, 10}}}, {}},
        {{{"sections/Tunevale/elements/soundbar/min", 65535}, {"sections/Tunevale/elements/soundbar/max", 0}}, {}},
        {{{"sections/minTunevale/size", QJsonArray{373, 99999}}}, {}},
        {{{"styles/lcdtime/font", QJsonObject{{"px", 5000}}}}, {}},
        {{{"styles/btn/border", "blue"}}, {"colour"}},  // names are not taken: only #rrggbb
    };
    for (const auto& c : cases) {
        QJsonValue root = skinOne();
        for (const Edit& e : c.edits) root = withValue(root, QString(e.path).split('/'), e.value);
        const std::string first = c.edits[0].path;
        QString error;
        EXPECT_EQ(parseSkin(QJsonDocument(root.toObject()).toJson(), &error), nullptr) << first;
        EXPECT_FALSE(error.isEmpty()) << first;
        for (const char* part : c.says) EXPECT_TRUE(error.contains(part)) << first << ": " << error.toStdString();
    }
}
