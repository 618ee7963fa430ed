#pragma once
// The attribute interface the WMA tag code works through: open a file's
// attribute set, get and set attributes by name, close to commit. It is backed
// by our own ASF 1.0 layer (tags/asf/asfattributes.h), so it is always there.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tags/bytes.h"

namespace tags {
class AsfFile;
}

struct WMAudioInfo {
    static constexpr std::array<std::string_view, 22> AttributeNames = {
        "Duration",      "Bitrate",        "Seekable",      "Broadcast",       "Is_Protected", "Is_Trusted",
        "Signature_Name", "Title",         "Author",        "Description",     "Rating",       "Copyright",
        "Use_DRM",       "DRM_Flags",      "DRM_Level",     "WM/AlbumTitle",   "WM/Track",     "WM/PromotionURL",
        "WM/AlbumCoverURL", "WM/Genre",    "WM/Year",       "WM/TrackNumber"};
    static constexpr std::string_view Title = "Title";
    static constexpr std::string_view Author = "Author";
    static constexpr std::string_view Description = "Description";
    static constexpr std::string_view AlbumTitle = "WM/AlbumTitle";
    static constexpr std::string_view Year = "WM/Year";
    static constexpr std::string_view Genre = "WM/Genre";
    static constexpr std::string_view TrackNumber = "WM/TrackNumber";
    static constexpr std::string_view Track = "WM/Track";
};

// The attribute layer is our own code, so it is always there.
inline constexpr bool WMAudioSdkAvailable = true;

// Attribute value types of the interface (not ASF's numbering).
inline constexpr uint32_t kWmaTypeDword = 0;
inline constexpr uint32_t kWmaTypeString = 1;
inline constexpr int32_t kWmaFail = static_cast<int32_t>(0x80004005u);

// An open attribute set of one file. Sets are staged; Close writes them.
class WmaAttributeObject {
public:
    explicit WmaAttributeObject(std::unique_ptr<tags::AsfFile> file);
    ~WmaAttributeObject();

    // 0 on success. String values are UTF-16LE with their terminator, numbers
    // four bytes little-endian.
    int32_t GetAttributeByName(std::string_view name, uint32_t& type, tags::ByteVector& value) const;
    int32_t SetAttribute(std::string_view name, uint32_t type, tags::ByteSpan value);
    // Commits the staged sets; 0 on success, else kWmaFail with *error.
    int32_t Close(std::string* error = nullptr);

private:
    std::unique_ptr<tags::AsfFile> file_;
    bool dirty_ = false;
};

// 0 and an open object when the file holds an ASF 1.0 header we can parse;
// kWmaFail with *error otherwise.
int32_t WMAudioCreateInfo(const std::string& fileName, std::unique_ptr<WmaAttributeObject>& info,
                          std::string* error = nullptr);

// Text attributes as UTF-8 (empty when missing or not a text); numbers also
// accept WORD, QWORD, BOOL and decimal text values, clamped to 32 bits.
std::string GetStringAttribute(const WmaAttributeObject& info, std::string_view name);
uint32_t GetDwordAttribute(const WmaAttributeObject& info, std::string_view name);
int32_t SetStringAttribute(WmaAttributeObject& info, std::string_view name, std::string_view value);
int32_t SetDwordAttribute(WmaAttributeObject& info, std::string_view name, uint32_t value);
