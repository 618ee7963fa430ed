#include "components/audio/audioinformation.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <sys/stat.h>

#include "components/audio/audiodecoder.h"
#include "components/audio/encoderlimits.h"
#include "components/audio/riffinfo.h"
#include "tags/audiokind.h"
#include "tags/mpeg/id3genres.h"
#include "tags/tagfile.h"
#include "tags/mpeg/id3v1.h"
#include "tags/mpeg/id3v2.h"
#include "tags/ogg/oggtag.h"
#include "tags/textcodec.h"
#include "tags/asf/wmatag.h"
#include "tags/asf/wmaudioinfo.h"
#include "tags/commontags.h"

namespace {

// The leading number of a text such as "1999", "3/12" or " 7"; 0 when none.
int leadingNumber(std::string_view text) {
    text = tags::TrimTagText(text);
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && value > 0 ? value : 0;
}

std::string numberText(int value) { return value > 0 ? std::to_string(value) : std::string(); }

int genreIndexOf(std::string_view name) {
    for (size_t i = 0; i < Id3GenreNames.size(); ++i)
        if (tags::EqualsIgnoringAsciiCase(Id3GenreNames[i], name)) return static_cast<int>(i);
    return -1;
}

// The ID3v2 frames beyond the seven of the tag editor.
struct ExtraFrame {
    const char* id;
    std::string AudioInformation::*field;
};
const ExtraFrame kExtraFrames[] = {
    {"TCOP", &AudioInformation::infoCopyright}, {"TCOM", &AudioInformation::infoComposer},
    {"TOPE", &AudioInformation::infoOriginalArtist}, {"TENC", &AudioInformation::infoEncodedBy}};

// A WXXX frame body with an empty description; its URL is Latin-1.
tags::ByteVector encodeUrlFrame(const std::string& url) {
    tags::ByteVector body = {0, 0};
    const std::string bytes = tags::Utf8ToWindows1252(url);
    body.insert(body.end(), bytes.begin(), bytes.end());
    return body;
}

std::string decodeUrlFrame(const tags::Id3v2Frame& frame) {
    if (frame.data.empty()) return {};
    // Skip the encoding byte and the description up to its terminator.
    const uint8_t encoding = frame.data[0];
    size_t at = 1;
    const size_t step = encoding == 1 || encoding == 2 ? 2 : 1;
    while (at + step <= frame.data.size()) {
        bool zero = frame.data[at] == 0 && (step == 1 || frame.data[at + 1] == 0);
        at += step;
        if (zero) break;
    }
    if (at > frame.data.size()) return {};
    std::string_view url = tags::AsText(tags::ByteSpan(frame.data).subspan(at));
    url = url.substr(0, url.find('\0'));
    return tags::Windows1252ToUtf8(url);
}

// Vorbis comment keys of the fields.
constexpr const char* kOggTitle = "TITLE";
constexpr const char* kOggArtist = "ARTIST";
constexpr const char* kOggAlbum = "ALBUM";
constexpr const char* kOggComment = "COMMENT";
constexpr const char* kOggGenre = "GENRE";
constexpr const char* kOggDate = "DATE";
constexpr const char* kOggTrack = "TRACKNUMBER";
constexpr const char* kOggCopyright = "COPYRIGHT";
constexpr const char* kOggComposer = "COMPOSER";
constexpr const char* kOggOriginalArtist = "ORIGINALARTIST";
constexpr const char* kOggEncodedBy = "ENCODEDBY";
constexpr const char* kOggUrl = "URL";

// WMA attributes beyond those of WmaTagInfo.
constexpr std::string_view kWmaCopyright = "Copyright";
constexpr std::string_view kWmaComposer = "WM/Composer";
constexpr std::string_view kWmaOriginalArtist = "WM/OriginalArtist";
constexpr std::string_view kWmaEncodedBy = "WM/EncodedBy";
constexpr std::string_view kWmaUrl = "WM/AuthorURL";

// RIFF INFO ids.
constexpr const char* kWavTitle = "INAM";
constexpr const char* kWavArtist = "IART";
constexpr const char* kWavAlbum = "IPRD";
constexpr const char* kWavComment = "ICMT";
constexpr const char* kWavCopyright = "ICOP";
constexpr const char* kWavYear = "ICRD";
constexpr const char* kWavGenre = "IGNR";
constexpr const char* kWavTrack = "ITRK";
constexpr const char* kWavEncodedBy = "ITCH";
constexpr const char* kWavComposer = "IMUS";
constexpr const char* kWavOriginalArtist = "IOAR";
constexpr const char* kWavUrl = "IURL";

}  // namespace

void AudioInformation::clear() {
    infoFrequency = infoChannels = infoBitsPerSample = infoFormatTag = 0;
    infoBitrate = infoDuration = infoSize = infoSamples = 0;
    infoTitle.clear();
    infoArtist.clear();
    infoAlbum.clear();
    infoComments.clear();
    infoCopyright.clear();
    infoURL.clear();
    infoEncodedBy.clear();
    infoComposer.clear();
    infoOriginalArtist.clear();
    infoGenre = 12;
    infoGenreS.clear();
    infoYear = infoTrack = 0;
    loadedGenre_ = -1;
    loadedGenreText_.clear();
    lastError_.clear();
}

void AudioInformation::setCommonTags(const CommonTags& t) {
    infoTitle = t.title;
    infoArtist = t.artist;
    infoAlbum = t.album;
    infoComments = t.comment;
    infoYear = leadingNumber(t.year);
    infoTrack = leadingNumber(t.track);
    setGenreText(t.genre);
}

CommonTags AudioInformation::commonTags() const {
    return {infoTitle, infoArtist, infoAlbum, numberText(infoYear), infoComments, numberText(infoTrack), genreText()};
}

void AudioInformation::setGenreText(const std::string& text) {
    const int index = genreIndexOf(text);
    infoGenre = index >= 0 ? index : 12;
    loadedGenre_ = infoGenre;
    loadedGenreText_ = text;
}

std::string AudioInformation::genreText() const {
    if (!infoGenreS.empty()) return infoGenreS;
    if (infoGenre == loadedGenre_) return loadedGenreText_;
    return infoGenre >= 0 && infoGenre <= 147 ? std::string(Id3GenreName(infoGenre)) : std::string();
}

int AudioInformation::genreNumber() const {
    if (!infoGenreS.empty()) {
        const int index = genreIndexOf(infoGenreS);
        return index >= 0 ? index : 12;
    }
    // A source that had no genre at all (a WAV, an Ogg or WMA file without
    // one) has none in an ID3v1 block either: 255, not "Other".
    if (infoGenre == 12 && loadedGenre_ == 12 && loadedGenreText_.empty()) return 255;
    return infoGenre;
}

bool AudioInformation::startLoad(const std::string& fileName) {
    clear();
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        lastError_ = "Cannot open " + fileName;
        return false;
    }
    infoSize = st.st_size;
    return true;
}

bool AudioInformation::load(const std::string& fileName) {
    if (!startLoad(fileName)) return false;
    {
        audio::AudioDecoder decoder;
        if (decoder.open(fileName) == 0) {
            infoFrequency = decoder.sampleRate();
            infoChannels = decoder.channels();
            infoSamples = decoder.length();
            infoDuration = decoder.durationMs();
            infoBitrate = decoder.bitRate();
            infoBitsPerSample = decoder.bitsPerSample();
            infoFormatTag = decoder.formatTag();
        }
    }
    return loadTagsOf(fileName);
}

bool AudioInformation::loadTags(const std::string& fileName) { return startLoad(fileName) && loadTagsOf(fileName); }

bool AudioInformation::loadTagsOf(const std::string& fileName) {
    switch (AudioKindOfPath(fileName)) {
    case AudioKind::Mp3: return loadMp3(fileName);
    case AudioKind::Ogg: return loadOgg(fileName);
    case AudioKind::Wma: return loadWma(fileName);
    case AudioKind::Wav: return loadWav(fileName);
    case AudioKind::None: return true;
    }
    return true;
}

bool AudioInformation::save(const std::string& fileName) {
    lastError_.clear();
    switch (AudioKindOfPath(fileName)) {
    case AudioKind::Mp3: return saveMp3(fileName);
    case AudioKind::Ogg: return saveOgg(fileName);
    case AudioKind::Wma: return saveWma(fileName);
    case AudioKind::Wav: return saveWav(fileName);
    case AudioKind::None: break;
    }
    lastError_ = "Cannot write the tags of " + fileName + ": not an MP3, WAV, OGG or WMA file";
    return false;
}

// ---- MP3 -------------------------------------------------------------------

bool AudioInformation::loadMp3(const std::string& fileName) {
    std::string error;
    bool useV1 = tagVersion == 1;
    if (tagVersion != 1) {
        ID3StructV2 v2;
        if (!ReadID3v2Tag(fileName, v2, &error)) {
            lastError_ = error;
            return false;
        }
        const bool empty = v2 == ID3StructV2{};
        if (!empty || tagVersion == 2) {
            setCommonTags(CommonTagsOf(v2));
            tags::Id3v2Tag frames;
            if (tags::ReadId3v2Frames(fileName, frames)) {
                for (const ExtraFrame& f : kExtraFrames) this->*f.field = std::string(tags::TrimTagText(frames.text(f.id)));
                for (const tags::Id3v2Frame& frame : frames.frames())
                    if (frame.id == "WXXX") {
                        infoURL = decodeUrlFrame(frame);
                        break;
                    }
            }
        }
        useV1 = empty && tagVersion == 0;
    }
    if (useV1) {
        ID3v1Block block;
        if (!ReadID3v1Tag(fileName, block, &error)) {
            lastError_ = error;
            return false;
        }
        if (block.hasMagic()) {
            infoTitle = std::string(tags::TrimTagText(block.title()));
            infoArtist = std::string(tags::TrimTagText(block.artist()));
            infoAlbum = std::string(tags::TrimTagText(block.album()));
            infoComments = std::string(tags::TrimTagText(block.comment()));
            infoYear = leadingNumber(block.year());
            infoTrack = leadingNumber(block.track());
            // The byte as it is (255: none), so that saving it back keeps it.
            infoGenre = block.genre();
            loadedGenre_ = infoGenre;
            loadedGenreText_ = infoGenre <= 147 ? std::string(Id3GenreName(infoGenre)) : std::string();
        }
    }
    return true;
}

bool AudioInformation::saveMp3(const std::string& fileName) {
    // The ID3v2 tag first: its write may move the audio and fail on a full
    // disk, and the block at the end is left alone when it did. What is
    // written in place reaches the disk with one flush at the end.
    tags::DeferredSync deferred;
    if (tagVersion != 1 && !saveMp3V2(fileName)) return false;
    if (tagVersion != 2) {
        const TagWriteResult r = WriteID3v1Tag(fileName, id3v1Block());
        if (!r) {
            lastError_ = r.error;
            return false;
        }
    }
    const TagWriteResult synced = deferred.sync();
    if (!synced) lastError_ = synced.error;
    return synced.ok;
}

void AudioInformation::putExtraFrames(tags::Id3v2Tag& tag) const {
    auto& list = tag.frames();
    std::erase_if(list, [](const tags::Id3v2Frame& f) {
        return f.id == "WXXX" || std::any_of(std::begin(kExtraFrames), std::end(kExtraFrames),
                                             [&](const ExtraFrame& e) { return f.id == e.id; });
    });
    for (const ExtraFrame& e : kExtraFrames)
        if (!(this->*e.field).empty()) list.push_back({e.id, 0, tags::EncodeId3v2Text(this->*e.field, 1024)});
    if (!infoURL.empty()) list.push_back({"WXXX", 0, encodeUrlFrame(infoURL)});
}

Mp3TagBytes AudioInformation::mp3TagBytes() const {
    ID3StructV2 v2;
    PutCommonTags(v2, commonTags());
    tags::Id3v2Tag tag = tags::Id3v2TagOf(v2);
    putExtraFrames(tag);
    return {tags::RenderNewId3v2Tag(tag), id3v1Block()};
}

ID3v1Block AudioInformation::id3v1Block() const {
    ID3v1Block block = ID3v1Block::Empty();
    PutCommonTags(block, commonTags());
    block.setGenre(genreNumber());
    return block;
}

bool AudioInformation::saveMp3V2(const std::string& fileName) {
    ID3StructV2 v2;
    PutCommonTags(v2, commonTags());
    TagWriteResult r = WriteID3v2Tag(fileName, v2);
    if (!r) {
        lastError_ = r.error;
        return false;
    }
    // The further fields live in frames of their own; the seven written
    // above are kept as they are now.
    tags::Id3v2Tag frames;
    std::string error;
    if (!tags::ReadId3v2Frames(fileName, frames, &error)) {
        lastError_ = error;
        return false;
    }
    tags::Id3v2Tag updated = frames;
    putExtraFrames(updated);
    if (updated.frames() == frames.frames()) return true;
    r = tags::WriteId3v2Frames(fileName, updated);
    if (!r) lastError_ = r.error;
    return r.ok;
}

// ---- Ogg Vorbis ------------------------------------------------------------

bool AudioInformation::loadOgg(const std::string& fileName) {
    TStrComments comments;
    if (!tags::ReadOggComments(fileName, comments)) return true;  // no Vorbis header: no tag
    auto value = [&](const char* key) {
        for (const TStrComment& c : comments)
            if (tags::EqualsIgnoringAsciiCase(c.Key, key)) return c.Value;
        return std::string();
    };
    CommonTags t;
    const auto fields = CommonTagFields(t);
    for (size_t i = 0; i < fields.size(); ++i) *fields[i] = value(kOggCommonTagKeys[i]);
    if (t.comment.empty()) t.comment = value("DESCRIPTION");
    setCommonTags(t);
    infoCopyright = value(kOggCopyright);
    infoComposer = value(kOggComposer);
    infoOriginalArtist = value(kOggOriginalArtist);
    infoEncodedBy = value(kOggEncodedBy);
    infoURL = value(kOggUrl);
    return true;
}

bool AudioInformation::saveOgg(const std::string& fileName) {
    std::vector<std::pair<std::string, std::string>> fields = {
        {kOggTitle, infoTitle},         {kOggArtist, infoArtist},          {kOggAlbum, infoAlbum},
        {kOggComment, infoComments},    {kOggGenre, genreText()},          {kOggDate, numberText(infoYear)},
        {kOggTrack, numberText(infoTrack)}, {kOggCopyright, infoCopyright}, {kOggComposer, infoComposer},
        {kOggOriginalArtist, infoOriginalArtist}, {kOggEncodedBy, infoEncodedBy}, {kOggUrl, infoURL}};
    TagWriteResult r = tags::WriteOggComments(fileName, fields);
    if (!r) lastError_ = r.error;
    return r.ok;
}

// ---- WMA -------------------------------------------------------------------

bool AudioInformation::loadWma(const std::string& fileName) {
    WmaTagInfo info;
    std::string error;
    if (!ReadWmaInfo(fileName, info, &error)) {
        lastError_ = error;
        return false;
    }
    setCommonTags(CommonTagsOf(info));
    std::unique_ptr<WmaAttributeObject> attributes;
    if (WMAudioCreateInfo(fileName, attributes) == 0) {
        infoCopyright = GetStringAttribute(*attributes, kWmaCopyright);
        infoComposer = GetStringAttribute(*attributes, kWmaComposer);
        infoOriginalArtist = GetStringAttribute(*attributes, kWmaOriginalArtist);
        infoEncodedBy = GetStringAttribute(*attributes, kWmaEncodedBy);
        infoURL = GetStringAttribute(*attributes, kWmaUrl);
        attributes->Close();
    }
    return true;
}

bool AudioInformation::saveWma(const std::string& fileName) {
    std::unique_ptr<WmaAttributeObject> attributes;
    std::string error;
    if (WMAudioCreateInfo(fileName, attributes, &error) != 0) {
        lastError_ = "Cannot write the tags of " + fileName + ": " + error;
        return false;
    }
    // One commit for all fields: the file is rewritten once, or not at all.
    SetStringAttribute(*attributes, WMAudioInfo::Title, infoTitle);
    SetStringAttribute(*attributes, WMAudioInfo::Author, infoArtist);
    SetStringAttribute(*attributes, WMAudioInfo::AlbumTitle, infoAlbum);
    SetStringAttribute(*attributes, WMAudioInfo::Description, infoComments);
    SetStringAttribute(*attributes, WMAudioInfo::Year, numberText(infoYear));
    SetStringAttribute(*attributes, WMAudioInfo::Genre, genreText());
    SetDwordAttribute(*attributes, WMAudioInfo::TrackNumber, static_cast<uint32_t>(std::max(infoTrack, 0)));
    SetStringAttribute(*attributes, kWmaCopyright, infoCopyright);
    SetStringAttribute(*attributes, kWmaComposer, infoComposer);
    SetStringAttribute(*attributes, kWmaOriginalArtist, infoOriginalArtist);
    SetStringAttribute(*attributes, kWmaEncodedBy, infoEncodedBy);
    SetStringAttribute(*attributes, kWmaUrl, infoURL);
    if (attributes->Close(&error) != 0) {
        lastError_ = error;
        return false;
    }
    return true;
}

// ---- WAV -------------------------------------------------------------------

bool AudioInformation::loadWav(const std::string& fileName) {
    audio::RiffInfoItems items;
    if (!audio::readRiffInfo(fileName, items)) return true;  // not RIFF: no tag
    auto value = [&](const char* id) {
        for (const auto& [key, text] : items)
            if (key == id) return text;
        return std::string();
    };
    CommonTags t;
    const auto fields = CommonTagFields(t);
    for (size_t i = 0; i < fields.size(); ++i) *fields[i] = value(kWavCommonTagIds[i]);
    setCommonTags(t);
    infoCopyright = value(kWavCopyright);
    infoEncodedBy = value(kWavEncodedBy);
    infoComposer = value(kWavComposer);
    infoOriginalArtist = value(kWavOriginalArtist);
    infoURL = value(kWavUrl);
    return true;
}

audio::RiffInfoItems AudioInformation::wavInfoItems() const {
    return {{kWavTitle, infoTitle},           {kWavArtist, infoArtist},       {kWavAlbum, infoAlbum},
            {kWavComment, infoComments},      {kWavCopyright, infoCopyright}, {kWavYear, numberText(infoYear)},
            {kWavGenre, genreText()},         {kWavTrack, numberText(infoTrack)}, {kWavEncodedBy, infoEncodedBy},
            {kWavComposer, infoComposer},     {kWavOriginalArtist, infoOriginalArtist}, {kWavUrl, infoURL}};
}

bool AudioInformation::saveWav(const std::string& fileName) {
    // Items of ids we do not edit stay.
    audio::RiffInfoItems items;
    audio::readRiffInfo(fileName, items);
    const audio::RiffInfoItems ours = wavInfoItems();
    std::erase_if(items, [&](const auto& item) {
        return std::any_of(ours.begin(), ours.end(), [&](const auto& o) { return o.first == item.first; });
    });
    items.insert(items.begin(), ours.begin(), ours.end());
    AtomicWriteResult r = audio::writeRiffInfo(fileName, items);
    if (!r) lastError_ = r.error;
    return r.ok;
}
