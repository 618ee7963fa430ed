// Every reader meets every prefix of a valid tag: none may read outside its
// input, hang, or fail to return. Run under AddressSanitizer in the sanitizer
// build this checks every bound the parsers rely on.
#include <gtest/gtest.h>

#include "tags/asf/asfattributes.h"
#include "tags/ogg/vorbiscommenteditor.h"
#include "tags/ogg/vorbiscommentreader.h"
#include "tagsamples.h"
#include "tags/mpeg/id3v1.h"
#include "tags/mpeg/id3v2.h"
#include "tags/ogg/oggtag.h"
#include "tags/asf/wmatag.h"
#include "testenv.h"

#include <vorbis/codec.h>

namespace {

tags::ByteSpan prefix(const std::string& bytes, size_t n) {
    return tags::AsBytes(std::string_view(bytes).substr(0, n));
}

}  // namespace

TEST(Truncation, Id3Tags) {
    const std::string path = tagsamples::copyOf("mp3");
    tagsamples::mutagen("from mutagen.id3 import ID3, TIT2, APIC, COMM, TXXX\n"
                        "t = ID3()\n"
                        "t.add(TIT2(encoding=1, text='Песня'))\n"
                        "t.add(APIC(encoding=3, mime='image/png', type=3, desc='c', data=b'x'*300))\n"
                        "t.add(COMM(encoding=1, lang='eng', desc='d', text='c'))\n"
                        "t.add(TXXX(encoding=3, desc='REPLAYGAIN_TRACK_GAIN', text='1 dB'))\n"
                        "t.save('" + path + "', v2_version=4, padding=lambda info: 0)\n");
    const std::string bytes = testenv::readFile(path);
    const size_t size = tags::Id3v2Tag::SizeOnDisk(tags::AsBytes(bytes));
    ASSERT_GT(size, 400u);
    const std::string whole = bytes.substr(0, size);
    ASSERT_TRUE(tags::Id3v2Tag::Parse(tags::AsBytes(whole)));
    EXPECT_EQ(tags::Id3v2Tag::Parse(tags::AsBytes(whole))->frames().size(), 4u);
    for (size_t n = 0; n <= whole.size(); ++n) {
        auto tag = tags::Id3v2Tag::Parse(prefix(whole, n));
        if (tag) {
            tag->text("TIT2");
            tag->comment();
        }
        ID3v1Block::Parse(prefix(whole, n)).title();
    }
}

TEST(Truncation, OggCommentHeaders) {
    const std::string bytes = testenv::readFile(tagsamples::sample("ogg-tagged"));
    // The three header packets end well within the first 8 KiB.
    const std::string head = bytes.substr(0, std::min<size_t>(bytes.size(), 8192));
    size_t opened = 0;
    for (size_t n = 0; n <= head.size(); ++n) {
        VorbisCommentEditor editor;
        const std::string_view input(head.data(), n);
        size_t at = 0;
        const int rc = editor.open([&](std::span<uint8_t> out) -> long {
            const size_t k = std::min(out.size(), input.size() - at);
            std::copy_n(input.begin() + static_cast<ptrdiff_t>(at), k, out.begin());
            at += k;
            return static_cast<long>(k);
        });
        // The reader that walks the pages itself takes exactly the prefixes
        // the editor takes.
        const tags::MemorySource source(prefix(head, n));
        std::vector<std::string> comments;
        std::string error;
        EXPECT_EQ(tags::ReadVorbisComments(source, [](std::string_view) { return true; }, &comments, &error), rc == 0)
            << n << " " << error << " / " << editor.lastError();
        if (rc == 0) {
            ++opened;
            ParseOggComments(*editor.comments(), 1);
            editor.write([](std::span<const uint8_t>) { return true; });
        } else {
            EXPECT_FALSE(editor.lastError().empty());
            EXPECT_FALSE(error.empty());
        }
    }
    EXPECT_GT(opened, 0u);
}

TEST(Truncation, AsfHeaders) {
    const std::string bytes = testenv::readFile(tagsamples::sample("wma-tagged"));
    tags::ByteReader in(tags::AsBytes(bytes));
    in.skip(16);
    const std::string header = bytes.substr(0, in.u64le());
    ASSERT_TRUE(tags::AsfHeader::Parse(tags::AsBytes(header)));
    for (size_t n = 0; n < header.size(); ++n) {
        auto parsed = tags::AsfHeader::Parse(prefix(header, n));
        EXPECT_FALSE(parsed) << n;
        tags::MemorySource source(prefix(header, n));
        ReadWmaHeaderRecords(source);
    }
}
