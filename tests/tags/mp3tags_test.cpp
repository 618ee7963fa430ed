#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tags/bytes.h"
#include "tags/mpeg/mp3tags.h"
#include "testenv.h"

namespace {

std::string v23(const std::string& frames, size_t padding) {
    tags::ByteWriter w;
    w.text("ID3").u8(3).u8(0).u8(0).synchsafe32(static_cast<uint32_t>(frames.size() + padding));
    w.text(frames).zeros(padding);
    return std::string(tags::AsText(w.data()));
}

const std::string kAudio = std::string("\xFF\xFB\x90\x64", 4) + std::string(400, '\x55');

ID3v1Block block(const std::string& title) {
    ID3v1Block b = ID3v1Block::Empty();
    b.setTitle(title);
    return b;
}

}  // namespace

// Both tags saved as one: in the old tag's room, with the file grown, on a
// read-only file (replaced, its mode kept), over an old block or none. A
// first write that fails leaves the block unwritten and the file as it was.
TEST(Mp3Tags, BothTagsOrNeither) {
    const std::string oldBlock = std::string(tags::AsText(block("Old block").bytes));
    const struct {
        const char* what;
        std::string bytes;
        mode_t mode;
        ID3StructV2 v2;
    } rows[] = {
        {"room, no block", v23("", 4000) + kAudio, 0644, {"In place"}},
        {"room, old block", v23("", 4000) + kAudio + oldBlock, 0644, {"In place"}},
        {"grows", v23("", 0) + kAudio + oldBlock, 0644, {"Grown", std::string(200, 'a')}},
        {"read-only", v23("", 4000) + kAudio + oldBlock, 0444, {"Kept mode"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string path = testenv::makeTempDir() + "/t.mp3";
        testenv::writeFile(path, row.bytes);
        ::chmod(path.c_str(), row.mode);
        ASSERT_TRUE(WriteMp3Tags(path, row.v2, block("New block")).ok);
        ID3StructV2 v2;
        ASSERT_TRUE(ReadID3v2Tag(path, v2));
        EXPECT_EQ(v2, row.v2);
        ID3v1Block v1;
        ASSERT_TRUE(ReadID3v1Tag(path, v1));
        EXPECT_EQ(v1.title(), "New block");
        const std::string bytes = testenv::readFile(path);
        EXPECT_EQ(bytes.substr(bytes.size() - 128 - kAudio.size(), kAudio.size()), kAudio);
        struct stat st {};
        ::stat(path.c_str(), &st);
        EXPECT_EQ(st.st_mode & 07777, row.mode);
    }

    // A tag that says it is larger than the file cannot be replaced safely.
    const std::string path = testenv::makeTempDir() + "/bad.mp3";
    std::string bad = v23("", 0) + kAudio + oldBlock;
    bad[6] = 0x7f;
    testenv::writeFile(path, bad);
    EXPECT_FALSE(WriteMp3Tags(path, {"New"}, block("New block")).ok);
    EXPECT_EQ(testenv::readFile(path), bad);
}
