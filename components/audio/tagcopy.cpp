#include "components/audio/tagcopy.h"

#include "tags/ogg/oggtag.h"
#include "tags/textcodec.h"

namespace {

void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

}  // namespace

bool TagSnapshot::take(const std::string& fileName, std::string* error) {
    *this = TagSnapshot();
    kind_ = AudioKindOfPath(fileName);
    switch (kind_) {
    case AudioKind::Mp3: {
        tags::Id3v2Tag frames;
        ID3v1Block block;
        if (!tags::ReadId3v2Frames(fileName, frames, error) || !ReadID3v1Tag(fileName, block, error)) return false;
        if (!frames.frames().empty()) id3v2_ = std::move(frames);
        if (block.hasMagic()) id3v1_ = block;
        return true;
    }
    case AudioKind::Ogg: {
        TStrComments comments;
        // A file without a Vorbis header has no comments to keep.
        if (!tags::ReadOggComments(fileName, comments)) return true;
        for (const TStrComment& c : comments) comments_.emplace_back(c.Key, c.Value);
        return true;
    }
    case AudioKind::Wma: {
        auto file = tags::AsfFile::Load(fileName, error);
        if (!file) return false;
        asf_ = std::move(file->header());
        return true;
    }
    case AudioKind::Wav:
        // Not RIFF: no INFO list to keep.
        audio::readRiffInfo(fileName, riff_);
        return true;
    case AudioKind::None: return true;
    }
    return true;
}

bool TagSnapshot::empty() const { return !id3v2_ && !id3v1_ && comments_.empty() && !asf_ && riff_.empty(); }

bool TagSnapshot::put(const std::string& fileName, std::string* error) const {
    if (empty()) return true;
    if (AudioKindOfPath(fileName) != kind_) {
        setError(error, "Cannot write the tags of " + fileName + ": the format differs");
        return false;
    }
    switch (kind_) {
    case AudioKind::Mp3: {
        // The ID3v2 tag first: it may move the audio, the block only ends it.
        if (id3v2_) {
            const TagWriteResult r = tags::WriteId3v2Frames(fileName, *id3v2_);
            if (!r) return setError(error, r.error), false;
        }
        if (id3v1_) {
            const TagWriteResult r = WriteID3v1Tag(fileName, *id3v1_);
            if (!r) return setError(error, r.error), false;
        }
        return true;
    }
    case AudioKind::Ogg: {
        // Every key of the source replaces the output's comments of that key;
        // a key the source repeats is written as often.
        const TagWriteResult r = tags::WriteOggComments(fileName, comments_);
        if (!r) setError(error, r.error);
        return r.ok;
    }
    case AudioKind::Wma: {
        auto file = tags::AsfFile::Load(fileName, error);
        if (!file) return false;
        tags::AsfHeader& header = file->header();
        for (int f = 0; f < tags::AsfHeader::kFieldCount; ++f) {
            const auto field = static_cast<tags::AsfHeader::Field>(f);
            if (!asf_->field(field).empty()) header.setField(field, asf_->field(field));
        }
        for (const tags::AsfDescriptor& d : asf_->descriptors()) header.remove(tags::Utf16ToUtf8(d.name));
        for (const tags::AsfDescriptor& d : asf_->descriptors()) header.append(d);
        const TagWriteResult r = file->Save();
        if (!r) setError(error, r.error);
        return r.ok;
    }
    case AudioKind::Wav: {
        const AtomicWriteResult r = audio::writeRiffInfo(fileName, riff_);
        if (!r) setError(error, r.error);
        return r.ok;
    }
    case AudioKind::None: break;
    }
    return true;
}
