#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "platform/paths.h"
#include "testenv.h"

namespace {

// Sets an environment variable for one scope.
class EnvOverride {
public:
    EnvOverride(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~EnvOverride() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

TEST(Paths, JoinPutsExactlyOneSeparator) {
    EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
    EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(JoinPath("/a/", "/b"), "/a/b");
    EXPECT_EQ(JoinPath("/", "b"), "/b");
    EXPECT_EQ(JoinPath("", "b"), "b");
    EXPECT_EQ(JoinPath("/a", ""), "/a");
    EXPECT_EQ(ParentFolder("/a/b.ini"), "/a");
    EXPECT_EQ(ParentFolder("/b.ini"), "/");
    EXPECT_EQ(ParentFolder("b.ini"), ".");
    EXPECT_EQ(WithTrailingSeparator("/a"), "/a/");
    EXPECT_EQ(WithTrailingSeparator("/a/"), "/a/");
    EXPECT_EQ(WithTrailingSeparator("/"), "/");
}

TEST(Paths, DataAndConfigFollowTheEnvironment) {
    EnvOverride home("HOME", "/h");
    {
        EnvOverride a("TUNEVALE_HOME", "/data/tv");
        EnvOverride b("TUNEVALE_CONFIG_DIR", "/conf/tv");
        EXPECT_EQ(DataRoot(), "/data/tv");
        EXPECT_EQ(DataFolder(), "/data/tv/record/");
        EXPECT_EQ(PlaylistFolder(), "/data/tv/playlist");
        EXPECT_EQ(SettingsFilePath(), "/conf/tv/Tunevale.ini");
    }
    EnvOverride a("TUNEVALE_HOME", nullptr);
    EnvOverride b("TUNEVALE_CONFIG_DIR", nullptr);
    {
        EnvOverride c("XDG_DATA_HOME", "/xd");
        EnvOverride d("XDG_CONFIG_HOME", "/xc");
        EXPECT_EQ(DataRoot(), "/xd/tunevale");
        EXPECT_EQ(ConfigFolder(), "/xc/tunevale");
    }
    // Relative XDG values do not count.
    EnvOverride c("XDG_DATA_HOME", "relative");
    EnvOverride d("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(DataRoot(), "/h/.local/share/tunevale");
    EXPECT_EQ(ConfigFolder(), "/h/.config/tunevale");
}

TEST(Paths, WindowsFolderValuesAreRecognised) {
    EXPECT_TRUE(IsWindowsPath("c:\\music"));
    EXPECT_TRUE(IsWindowsPath("D:"));
    EXPECT_TRUE(IsWindowsPath("music\\rips"));
    EXPECT_FALSE(IsWindowsPath("/home/u/Music"));
    EXPECT_FALSE(IsWindowsPath("relative/c:"));
    EXPECT_FALSE(IsWindowsPath(""));
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
