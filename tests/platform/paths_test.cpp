#include <gtest/gtest.h>

#include <string>

#include "platform/inifile.h"
#include "platform/paths.h"
#include "testenv.h"

namespace {

TEST(Paths, JoinPutsExactlyOneSeparator) {
    const struct { std::string got, want; } cases[] = {
        {JoinPath("/a", "b"), "/a/b"},       {JoinPath("/a/", "b"), "/a/b"},     {JoinPath("/a/", "/b"), "/a/b"},
        {JoinPath("/", "b"), "/b"},          {JoinPath("", "b"), "b"},           {JoinPath("/a", ""), "/a"},
        {ParentFolder("/a/b.ini"), "/a"},    {ParentFolder("/b.ini"), "/"},      {ParentFolder("b.ini"), "."},
        {WithTrailingSeparator("/a"), "/a/"}, {WithTrailingSeparator("/a/"), "/a/"}, {WithTrailingSeparator("/"), "/"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(Paths, DataAndConfigFollowTheEnvironment) {
    testenv::ScopedEnv home("HOME", "/h");
    {
        testenv::ScopedEnv a("TUNEVALE_HOME", "/data/tv"), b("TUNEVALE_CONFIG_DIR", "/conf/tv");
        EXPECT_EQ(DataRoot(), "/data/tv");
        EXPECT_EQ(DataFolder(), "/data/tv/record/");
        EXPECT_EQ(PlaylistFolder(), "/data/tv/playlist");
        EXPECT_EQ(SettingsFilePath(), "/conf/tv/Tunevale.ini");
        EXPECT_EQ(IniFile().path(), "/conf/tv/Tunevale.ini");
    }
    testenv::ScopedEnv a("TUNEVALE_HOME", nullptr), b("TUNEVALE_CONFIG_DIR", nullptr);
    {
        testenv::ScopedEnv c("XDG_DATA_HOME", "/xd"), d("XDG_CONFIG_HOME", "/xc");
        EXPECT_EQ(DataRoot(), "/xd/tunevale");
        EXPECT_EQ(ConfigFolder(), "/xc/tunevale");
    }
    // Relative XDG values do not count.
    testenv::ScopedEnv c("XDG_DATA_HOME", "relative"), d("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(DataRoot(), "/h/.local/share/tunevale");
    EXPECT_EQ(ConfigFolder(), "/h/.config/tunevale");
}

TEST(Paths, WindowsFolderValuesAreRecognised) {
    for (const char* windows : {"c:\\music", "D:", "music\\rips"}) EXPECT_TRUE(IsWindowsPath(windows)) << windows;
    for (const char* other : {"/home/u/Music", "relative/c:", ""}) EXPECT_FALSE(IsWindowsPath(other)) << other;
}

TEST(Paths, AssetRootIsTheProgramFolderInTheBuildTree) {
    std::string program = ProgramPath();
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(AssetRoot(), program.substr(0, program.rfind('/')));
}

TEST(Paths, FolderPathCreatesParentsAndAcceptsExisting) {
    std::string base = testenv::makeTempDir("folders");
    std::string deep = JoinPath(base, "a/b/c/");
    EXPECT_TRUE(CreateFolderPath(deep));
    EXPECT_TRUE(CreateFolderPath(deep));
    EXPECT_TRUE(CreateFolder(JoinPath(base, "a")));
    testenv::writeFile(JoinPath(base, "file"), "x");
    EXPECT_FALSE(CreateFolder(JoinPath(base, "file")));
    EXPECT_FALSE(CreateFolderPath(JoinPath(base, "file/sub")));
}

}  // namespace
