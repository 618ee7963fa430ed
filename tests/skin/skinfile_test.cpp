// The skin reader: the shipped skins hold what the program looks up, and a
// damaged or hostile file is refused with a reason, never half taken.

#include "components/skin/skinfile.h"

#include "testenv.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <functional>

using namespace skin;

namespace {

QByteArray shippedSkin(int n) {
    QFile f(QString::fromStdString(testenv::sourceDir()) + QStringLiteral("/components/skin/skins/skin%1.skn").arg(n));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << f.fileName().toStdString();
    return f.readAll();
}

QJsonObject skinObject(int n) { return QJsonDocument::fromJson(shippedSkin(n)).object(); }

QByteArray bytesOf(const QJsonObject& o) { return QJsonDocument(o).toJson(); }

// Edits one element of a section of skin 1 and returns the file's bytes.
QByteArray withElement(const QString& section, const QString& name, const std::function<void(QJsonObject&)>& edit) {
    QJsonObject root = skinObject(1);
    QJsonObject sections = root["sections"].toObject();
    QJsonObject s = sections[section].toObject();
    QJsonArray elements = s["elements"].toArray();
    for (int i = 0; i < elements.size(); ++i) {
        QJsonObject e = elements[i].toObject();
        if (e["name"].toString() != name) continue;
        edit(e);
        if (e.isEmpty()) elements.removeAt(i);
        else elements[i] = e;
        break;
    }
    s["elements"] = elements;
    sections[section] = s;
    root["sections"] = sections;
    return bytesOf(root);
}

std::string refusal(const QByteArray& bytes) {
    QString error;
    auto data = parseSkin(bytes, &error);
    EXPECT_EQ(data, nullptr);
    EXPECT_FALSE(error.isEmpty());
    return error.toStdString();
}

}  // namespace

TEST(SkinFile, ShippedSkinsHoldEveryRequiredElementWithItsTypeAndRange) {
    for (int n : {1, 2}) {
        SCOPED_TRACE(n);
        QString error;
        auto data = parseSkin(shippedSkin(n), &error);
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
    }
}

TEST(SkinFile, TheTwoSkinsLookDifferent) {
    auto one = parseSkin(shippedSkin(1), nullptr);
    auto two = parseSkin(shippedSkin(2), nullptr);
    ASSERT_TRUE(one && two);
    EXPECT_NE(one->name, two->name);
    EXPECT_NE(one->style("window").fill, two->style("window").fill);
    EXPECT_NE(one->findSection("windows")->palette, two->findSection("windows")->palette);
}

TEST(SkinFile, SectionNamesCompareWithoutCase) {
    auto data = parseSkin(shippedSkin(1), nullptr);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->findSection("Windows"), data->findSection("windows"));
    EXPECT_EQ(data->findSection("PLAYLIST"), data->findSection("Playlist"));
    EXPECT_EQ(data->findSection("nothing"), nullptr);
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
    s.down = std::make_shared<Style>();
    s.down->fill = Fill{Qt::gray};
    s.on = std::make_shared<Style>();
    s.on->fill = Fill{Qt::green};
    s.on->border = QColor(Qt::darkGreen);
    s.hover->border = QColor(Qt::red);

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
    for (qsizetype cut : {qsizetype(0), qsizetype(1), good.size() / 3, good.size() / 2, good.size() - 2}) {
        SCOPED_TRACE(cut);
        refusal(good.left(cut));
    }
    EXPECT_NE(refusal("[1, 2, 3]").find("no JSON object"), std::string::npos);
    EXPECT_NE(refusal("not json at all").find("JSON error"), std::string::npos);
    refusal(QByteArray("\x00\xff\xfe{", 4));
    EXPECT_NE(refusal(R"({"format": 2, "sections": {}})").find("format"), std::string::npos);
    EXPECT_NE(refusal(QByteArray(kMaxSkinFileBytes + 1, ' ')).find("larger"), std::string::npos);
}

TEST(SkinFile, RefusesASkinThatLacksWhatTheProgramLooksUp) {
    auto removed = withElement("Tunevale", "Boxplay", [](QJsonObject& e) { e = QJsonObject(); });
    EXPECT_NE(refusal(removed).find("\"Boxplay\""), std::string::npos);

    auto noAlias = withElement("Playlist", "Listplay", [](QJsonObject& e) { e.remove("aliases"); });
    EXPECT_NE(refusal(noAlias).find("\"button2\""), std::string::npos);

    auto asText = withElement("Tunevale", "soundbar", [](QJsonObject& e) {
        e["type"] = "text";
        e.remove("min");
        e.remove("max");
    });
    EXPECT_NE(refusal(asText).find("scroll bar"), std::string::npos);

    auto shortBar = withElement("Tunevale", "mediabar", [](QJsonObject& e) { e["max"] = 100; });
    EXPECT_NE(refusal(shortBar).find("0 to 1000"), std::string::npos);

    QJsonObject root = skinObject(1);
    QJsonObject sections = root["sections"].toObject();
    sections.remove("filter");
    root["sections"] = sections;
    EXPECT_NE(refusal(bytesOf(root)).find("\"filter\""), std::string::npos);

    QJsonObject playlist = skinObject(1)["sections"].toObject()["Playlist"].toObject();
    playlist.remove("hosts");
    root = skinObject(1);
    sections = root["sections"].toObject();
    sections["Playlist"] = playlist;
    root["sections"] = sections;
    EXPECT_NE(refusal(bytesOf(root)).find("\"lv\""), std::string::npos);
}

TEST(SkinFile, RefusesUnknownKeysAndNamesSayingWhere) {
    QJsonObject root = skinObject(1);
    root["colour"] = "#ffffff";
    EXPECT_NE(refusal(bytesOf(root)).find("unknown key \"colour\""), std::string::npos);

    auto typo = withElement("Tunevale", "time", [](QJsonObject& e) { e["allign"] = "right"; });
    const std::string why = refusal(typo);
    EXPECT_NE(why.find("sections.Tunevale.elements["), std::string::npos) << why;
    EXPECT_NE(why.find("\"allign\""), std::string::npos) << why;

    auto glyph = withElement("Tunevale", "Boxplay", [](QJsonObject& e) { e["glyph"] = "rocket"; });
    EXPECT_NE(refusal(glyph).find("unknown glyph"), std::string::npos);

    auto style = withElement("Tunevale", "Boxplay", [](QJsonObject& e) { e["style"] = "nowhere"; });
    EXPECT_NE(refusal(style).find("unknown style"), std::string::npos);

    auto part = withElement("Tunevale", "Boxplay", [](QJsonObject& e) { e["in"] = "Image9"; });
    EXPECT_NE(refusal(part).find("Image9"), std::string::npos);

    auto twice = withElement("Tunevale", "Boxstop", [](QJsonObject& e) { e["name"] = "Boxplay"; });
    EXPECT_NE(refusal(twice).find("used twice"), std::string::npos);

    root = skinObject(1);
    QJsonObject styles = root["styles"].toObject();
    QJsonObject a = styles["btn"].toObject();
    a["extends"] = "btnPlay";  // btnPlay extends btn
    styles["btn"] = a;
    root["styles"] = styles;
    EXPECT_NE(refusal(bytesOf(root)).find("loop"), std::string::npos);

    root = skinObject(1);
    QJsonObject sections = root["sections"].toObject();
    sections["WINDOWS"] = sections["windows"];
    root["sections"] = sections;
    EXPECT_NE(refusal(bytesOf(root)).find("case"), std::string::npos);
}

TEST(SkinFile, RefusesAbsurdNumbers) {
    auto far = withElement("Tunevale", "Boxplay", [](QJsonObject& e) { e["rect"] = QJsonArray{1000000, 0, 10, 10}; });
    EXPECT_NE(refusal(far).find("outside"), std::string::npos);
    auto huge = withElement("Tunevale", "Boxplay", [](QJsonObject& e) { e["rect"] = QJsonArray{1e98, 0, 10, 10}; });
    EXPECT_NE(refusal(huge).find("outside"), std::string::npos);
    auto empty = withElement("Tunevale", "Boxplay", [](QJsonObject& e) { e["rect"] = QJsonArray{0, 0, 0, 10}; });
    refusal(empty);
    auto fraction = withElement("Tunevale", "Boxplay", [](QJsonObject& e) { e["rect"] = QJsonArray{0.5, 0, 10, 10}; });
    EXPECT_NE(refusal(fraction).find("whole number"), std::string::npos);
    auto shortRect = withElement("Tunevale", "Boxplay", [](QJsonObject& e) { e["rect"] = QJsonArray{0, 0, 10}; });
    refusal(shortRect);
    auto reversed = withElement("Tunevale", "soundbar", [](QJsonObject& e) {
        e["min"] = 65535;
        e["max"] = 0;
    });
    refusal(reversed);

    QJsonObject root = skinObject(1);
    QJsonObject sections = root["sections"].toObject();
    QJsonObject mini = sections["minTunevale"].toObject();
    mini["size"] = QJsonArray{373, 99999};
    sections["minTunevale"] = mini;
    root["sections"] = sections;
    refusal(bytesOf(root));

    root = skinObject(1);
    QJsonObject styles = root["styles"].toObject();
    QJsonObject lcd = styles["lcdtime"].toObject();
    lcd["font"] = QJsonObject{{"px", 5000}};
    styles["lcdtime"] = lcd;
    root["styles"] = styles;
    refusal(bytesOf(root));

    root = skinObject(1);
    styles = root["styles"].toObject();
    QJsonObject btn = styles["btn"].toObject();
    btn["border"] = "blue";  // names are not taken: only #rrggbb
    styles["btn"] = btn;
    root["styles"] = styles;
    EXPECT_NE(refusal(bytesOf(root)).find("colour"), std::string::npos);
}
