#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/inifile.h"
#include "platform/paths.h"
#include "testenv.h"

namespace {

std::string FreshIni(const std::string& content = {}) {
    std::string path = JoinPath(testenv::makeTempDir("ini"), "Tunevale.ini");
    if (!content.empty()) testenv::writeFile(path, content);
    return path;
}

TEST(IniFile, NamesMeetWhateverTheirCase) {
    IniFile ini(FreshIni("[File Manager]\r\nLoop Playlist=0\r\n[BASIC]\r\nskin=2\r\n"));
    EXPECT_FALSE(ini.readBool("file manager", "loop playlist", true));
    EXPECT_EQ(ini.readInteger("basic", "SKIN", 1), 2);

    ASSERT_TRUE(ini.writeInteger("Basic", "Skin", 1));
    EXPECT_EQ(testenv::readFile(ini.path()), "[File Manager]\r\nLoop Playlist=0\r\n[BASIC]\r\nskin=1\r\n");
}

TEST(IniFile, ADuplicatedSectionHoldsTheKeysOfBothCopies) {
    // The first occurrence of a key across every copy wins, on read and on
    // write; a key in no copy goes into the first one.
    const std::string text = "[a]\nk=1\nk=2\n[b]\nj=5\n[A]\nk=3\nj=4\n";
    struct Row {
        const char* key;
        const char* read;
        const char* afterWrite;
    };
    for (const Row& row : {Row{"k", "1", "[a]\nk=9\nk=2\n[b]\nj=5\n[A]\nk=3\nj=4\n"},
                           Row{"J", "4", "[a]\nk=1\nk=2\n[b]\nj=5\n[A]\nk=3\nj=9\n"},
                           Row{"new", "none", "[a]\nk=1\nk=2\nnew=9\r\n[b]\nj=5\n[A]\nk=3\nj=4\n"}}) {
        IniFile ini(FreshIni(text));
        EXPECT_EQ(ini.readString("a", row.key, "none"), row.read) << row.key;
        ASSERT_TRUE(ini.writeString("A", row.key, "9"));
        EXPECT_EQ(testenv::readFile(ini.path()), row.afterWrite) << row.key;
        EXPECT_EQ(ini.readString("a", row.key, "none"), "9") << row.key;
    }
}

TEST(IniFile, WriteKeepsEveryOtherLine) {
    const std::string before =
        "; written by hand\n"
        "stray line before any section\r\n"
        "[recorder]\r\n"
        "  output directory = /home/u/rec  \r\n"
        "garbage without equals\r\n"
        "format=1\r\n"
        "\r\n"
        "# comment\r\n"
        "[cut]\r"
        "add path=/tmp\r";
    IniFile ini(FreshIni(before));
    EXPECT_EQ(ini.readString("recorder", "output directory", ""), "/home/u/rec");

    ASSERT_TRUE(ini.writeString("recorder", "silence", "1"));
    ASSERT_TRUE(ini.writeString("cut", "output directory", "/m"));
    ASSERT_TRUE(ini.writeBool("new section", "flag", true));
    ASSERT_TRUE(ini.writeString("recorder", "OUTPUT DIRECTORY", "/x y"));
    EXPECT_EQ(testenv::readFile(ini.path()),
              "; written by hand\n"
              "stray line before any section\r\n"
              "[recorder]\r\n"
              "  output directory =/x y\r\n"
              "garbage without equals\r\n"
              "format=1\r\n"
              "silence=1\r\n"
              "\r\n"
              "# comment\r\n"
              "[cut]\r"
              "add path=/tmp\r"
              "output directory=/m\r\n"
              "[new section]\r\n"
              "flag=1\r\n");
}

TEST(IniFile, MissingFileAndFolderAreCreatedOnWrite) {
    std::string folder = JoinPath(testenv::makeTempDir("ini"), "deep/config");
    IniFile ini(JoinPath(folder, "Tunevale.ini"));
    EXPECT_EQ(ini.readString("basic", "skin", "dflt"), "dflt");
    EXPECT_TRUE(ini.readBool("File Manager", "auto save", true));
    ASSERT_TRUE(ini.writeBool("File Manager", "auto save", false));
    EXPECT_EQ(testenv::readFile(ini.path()), "[File Manager]\r\nauto save=0\r\n");
    EXPECT_FALSE(ini.readBool("File Manager", "auto save", true));
}

TEST(IniFile, NumbersAndBooleans) {
    IniFile ini(FreshIni("[n]\nneg=-12\nhex=$1F\nhex2=0x10\nbig=2147483648\nword=abc\nempty=\nbool=7\n"
                         "min=-2147483648\n"));
    for (auto [key, want] : {std::pair{"neg", -12}, {"hex", 31}, {"hex2", 16}, {"big", 5},
                             {"min", -2147483647 - 1}, {"word", 5}, {"empty", 5}})
        EXPECT_EQ(ini.readInteger("n", key, 5), want) << key;
    EXPECT_EQ(ini.readString("n", "empty", "dflt"), "");
    EXPECT_TRUE(ini.readBool("n", "bool", false));
    EXPECT_FALSE(ini.readBool("n", "word", false));
}

TEST(IniFile, RefusesWhatTheLineFormatCannotHold) {
    const std::string before = "[a]\r\nk=1\r\n";
    IniFile ini(FreshIni(before));
    for (auto [section, key, value] : {std::tuple{"a", "k", "one\r\n[evil]\r\nx=1"}, {"a]", "k", "v"},
                                       {"a", "k=j", "v"}, {"a", "", "v"}, {"a", ";k", "v"}}) {
        EXPECT_FALSE(ini.writeString(section, key, value)) << section << " " << key;
        EXPECT_FALSE(ini.lastError().empty());
    }
    EXPECT_EQ(testenv::readFile(ini.path()), before);
}

TEST(IniFile, WriteReplacesTheFileAtomically) {
    std::string path = FreshIni("[a]\nk=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    struct stat before;
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    IniFile ini(path);
    ASSERT_TRUE(ini.writeString("a", "k", "2"));
    struct stat after;
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "rewritten in place instead of replaced";
    EXPECT_EQ(after.st_mode & 07777, 0600u);

    // A write that fails half way (here: the file size limit) leaves the
    // original whole and says so.
    const auto failsAndSaysSo = [&] {
        return ini.writeString("a", "k", "a value longer than the limit") || ini.lastError().empty();
    };
    EXPECT_EQ(testenv::inChild(failsAndSaysSo, 12), 0);
    EXPECT_EQ(testenv::readFile(path), "[a]\nk=2\n");
}

TEST(IniText, SetThenFindRoundTripsOnOddText) {
    const std::string texts[] = {"", "[a", "k=v", "[a]", "[a]k=v", "\r\r\n\n", "[ a ]\n k = v \n", "[a]\nk"};
    for (const std::string& text : texts) {
        std::string out = SetIniValue(text, "a", "k", "new value");
        EXPECT_EQ(FindIniValue(out, "A", "K"), "new value") << "on: " << text;
        EXPECT_EQ(SetIniValue(out, "a", "k", "new value"), out) << "a repeated write changed the text: " << text;
    }
}

}  // namespace

TEST(IniFile, TwoInstancesWritingAtOnceLoseNoSetting) {
    // Each write reads the file, changes a line and replaces the file; two
    // instances doing that at once must not write over each other's line.
    const std::string path = FreshIni("[Basic]\r\nskin=1\r\n");
    constexpr int kEach = 60;
    auto writer = [&](int c) {
        IniFile ini(path);
        bool ok = true;
        for (int i = 0; i < kEach; ++i)
            ok = ini.writeInteger("Window " + std::to_string(c), "Key " + std::to_string(i), i) && ok;
        return ok ? 0 : 1;
    };
    const pid_t first = ::fork();
    if (first == 0) ::_exit(writer(0));
    EXPECT_EQ(testenv::inChild([&] { return writer(1); }), 0);
    int status = 0;
    ::waitpid(first, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    IniFile ini(path);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < kEach; ++i)
            EXPECT_EQ(ini.readInteger("Window " + std::to_string(c), "Key " + std::to_string(i), -1), i)
                << c << " " << i;
    EXPECT_EQ(ini.readInteger("Basic", "skin", 0), 1);
}
