#include "library/tageditor.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "library/librarytree.h"
#include "library/playlists/playlistrow.h"
#include "library/recordbuilder.h"
#include "platform/atomicfile.h"
#include "platform/paths.h"
#include "platform/texthelpers.h"
#include "library/tracklibrary.h"
#include "platform/utf8.h"
#include "tags/mpeg/id3genres.h"
#include "tags/mpeg/id3v1.h"
#include "tags/tagfile.h"
#include "tags/mpeg/id3v2.h"
#include "tags/ogg/oggtag.h"
#include "tags/textcodec.h"
#include "tags/asf/wmatag.h"
#include "tags/commontags.h"

namespace {

constexpr int kLastGenre = static_cast<int>(Id3GenreNames.size()) - 1;

std::string cut(std::string_view text, std::size_t width) { return std::string(Utf8Cut(text, width)); }
std::string trimmed(std::string_view text) { return std::string(tags::TrimTagText(text)); }

std::string& fieldOf(id3tag& tag, TagField field) {
    switch (field) {
    case TagField::Title: return tag.Title;
    case TagField::Artist: return tag.Artist;
    case TagField::Album: return tag.Album;
    case TagField::Year: return tag.Year;
    case TagField::Comment: return tag.Comment;
    case TagField::Track: break;
    }
    return tag.Track;
}

// Every text field cut to the editor's widths.
id3tag cutFields(id3tag tag) {
    for (TagField f : {TagField::Title, TagField::Artist, TagField::Album, TagField::Year, TagField::Comment,
                       TagField::Track})
        fieldOf(tag, f) = CutToField(f, fieldOf(tag, f));
    tag.GenreText = cut(tag.GenreText, id3tag::kGenreTextWidth);
    return tag;
}

std::string genreName(int item) {
    return item >= 0 && item <= kLastGenre ? std::string(Id3GenreNames[static_cast<std::size_t>(item)]) : std::string();
}

// "12" as 12; anything that is not a number in the field's range as 0.
// A row's page holds the seven common fields as texts.
void putPage(id3tag& page, const CommonTags& t) {
    page.Title = t.title;
    page.Artist = t.artist;
    page.Album = t.album;
    page.Year = t.year;
    page.Comment = t.comment;
    page.Track = t.track;
    page.GenreText = t.genre;
}

CommonTags pageTags(const id3tag& page) {
    return {page.Title, page.Artist, page.Album, page.Year, page.Comment, page.Track, page.GenreText};
}

}  // namespace

std::size_t TagFieldWidth(TagField field) {
    switch (field) {
    case TagField::Title: return id3tag::kTitleWidth;
    case TagField::Artist: return id3tag::kArtistWidth;
    case TagField::Album: return id3tag::kAlbumWidth;
    case TagField::Year: return id3tag::kYearWidth;
    case TagField::Comment: return id3tag::kCommentWidth;
    case TagField::Track: break;
    }
    return id3tag::kTrackWidth;
}

std::string CutToField(TagField field, std::string_view text) {
    // Tracks above 99 are whole numbers too, written in the ID3v1 block as
    // a number: cut to two characters they would name another track.
    if (field == TagField::Track && Id3v1TrackNumber(text)) return trimmed(text);
    return cut(text, TagFieldWidth(field));
}

bool TagFiles::readId3v1(const std::string& path, ID3v1Block& block, std::string* error) const {
    return ReadID3v1Tag(path, block, error);
}
bool TagFiles::readId3v2(const std::string& path, ID3StructV2& tag, std::string* error) const {
    return ReadID3v2Tag(path, tag, error);
}
bool TagFiles::readOgg(const std::string& path, OGGTag& tag, std::string* error) const {
    return ReadOggTag(path, tag, error);
}
bool TagFiles::readWma(const std::string& path, WmaTagInfo& info, std::string* error) const {
    return ReadWmaInfo(path, info, error);
}
TagWriteResult TagFiles::writeId3v1(const std::string& path, const ID3v1Block& block) const {
    return WriteID3v1Tag(path, block);
}
TagWriteResult TagFiles::writeId3v2(const std::string& path, const ID3StructV2& tag) const {
    return WriteID3v2Tag(path, tag);
}
TagWriteResult TagFiles::writeOgg(const std::string& path, const OGGTag& tag) const { return WriteOggTag(path, tag); }
TagWriteResult TagFiles::writeWma(const std::string& path, const WmaTagInfo& info) const {
    return WriteWmaTag(path, info);
}

const TagFiles& FileTagFiles() {
    static const TagFiles files;
    return files;
}

int GenreItemOf(std::string_view text) {
    auto upper = [](unsigned char c) { return static_cast<char>(std::toupper(c)); };
    for (int item = 0; item <= kLastGenre; ++item) {
        const std::string_view name = Id3GenreNames[static_cast<std::size_t>(item)];
        if (name.size() != text.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < name.size() && same; ++k) same = upper(name[k]) == upper(text[k]);
        if (same) return item;
    }
    return -1;
}

uint8_t Id3v1GenreByte(int genreIndex) {
    if (genreIndex < 0 || genreIndex > 255) return 255;
    return static_cast<uint8_t>(genreIndex);
}

TagEditor::TagEditor(const TagFiles& files) : files_(files) {}

void TagEditor::load(const std::vector<TagEditTrack>& tracks) {
    rows_.clear();
    rows_.reserve(tracks.size());
    std::string error;
    for (const TagEditTrack& track : tracks) {
        TagEditRow row;
        row.track = track;
        row.kind = AudioKindOfPath(track.path);
        const std::string& path = track.path;
        // A tag that cannot be read opens empty; it is only written once the
        // user changes its page.
        switch (row.kind) {
        case AudioKind::Mp3: {
            ID3v1Block block;
            if (files_.readId3v1(path, block, &error) && block.hasMagic()) {
                row.hasV1Block = true;
                CommonTags texts = CommonTagsOf(block);
                for (std::string* field : CommonTagFields(texts)) *field = trimmed(*field);
                putPage(row.v1, texts);
                row.v1TrackBytes = {block.bytes[125], block.bytes[126]};
                row.v1.GenreIndex = block.genre();
            } else {
                row.v1.GenreIndex = 255;
            }
            ID3StructV2 v2;
            if (files_.readId3v2(path, v2, &error)) putPage(row.v2, CommonTagsOf(v2));
            break;
        }
        case AudioKind::Wma: {
            WmaTagInfo info;
            if (files_.readWma(path, info, &error)) putPage(row.v1, CommonTagsOf(info));
            break;
        }
        case AudioKind::Ogg: {
            OGGTag tag;
            if (files_.readOgg(path, tag, &error)) putPage(row.v1, CommonTagsOf(tag));
            break;
        }
        default: break;
        }
        // What was read stays whole: only a value the user types is cut, so
        // that an edit of one field never shortens another ("3/12" as a
        // track, a long title) when OK writes the tag back.
        rows_.push_back(std::move(row));
    }
}

int TagEditor::shownGenre(std::size_t i, TagPage page) const {
    const TagEditRow& r = rows_[i];
    if (page == TagPage::V1 && r.kind == AudioKind::Mp3) {
        // A byte beyond the list (255 is "none") selects nothing rather than
        // the list's last name, which a copy would then carry on as a genre
        // the user never chose.
        return r.v1.GenreIndex <= kLastGenre ? r.v1.GenreIndex : -1;
    }
    return GenreItemOf(page == TagPage::V1 ? r.v1.GenreText : r.v2.GenreText);
}

void TagEditor::markChanged(TagEditRow& row, TagPage p) {
    row.changed = true;
    (p == TagPage::V1 ? row.v1Changed : row.v2Changed) = true;
}

void TagEditor::setField(TagPage p, TagField field, std::string_view text, const std::vector<int>& rows) {
    const std::string value = CutToField(field, text);
    for (int i : rows) {
        if (!valid(i)) continue;
        fieldOf(page(at(i), p), field) = value;
        if (p == TagPage::V1 && field == TagField::Track) at(i).v1TrackSet = true;
        markChanged(at(i), p);
    }
}

void TagEditor::setGenre(TagPage p, int item, const std::vector<int>& rows) {
    const std::string text = genreName(item);
    for (int i : rows) {
        if (!valid(i)) continue;
        id3tag& tag = page(at(i), p);
        if (p == TagPage::V1) tag.GenreIndex = item;
        tag.GenreText = text;
        markChanged(at(i), p);
    }
}

void TagEditor::copyToPage(TagPage p, const id3tag& shown, int genreItem, const std::vector<int>& rows) {
    id3tag values = cutFields(shown);
    for (int i : rows) {
        if (!valid(i)) continue;
        id3tag& tag = page(at(i), p);
        for (TagField f : {TagField::Title, TagField::Artist, TagField::Album, TagField::Year, TagField::Comment,
                           TagField::Track})
            fieldOf(tag, f) = fieldOf(values, f);
        if (p == TagPage::V1) {
            tag.GenreIndex = genreItem;
            at(i).v1TrackSet = true;
        }
        tag.GenreText = genreName(genreItem);
        markChanged(at(i), p);
    }
}

void TagEditor::clearPage(TagPage p, const std::vector<int>& rows) {
    for (int i : rows) {
        if (!valid(i)) continue;
        id3tag& tag = page(at(i), p);
        tag = id3tag{};
        tag.GenreIndex = -1;
        if (p == TagPage::V1) at(i).v1TrackSet = true;
        markChanged(at(i), p);
    }
}

std::vector<std::size_t> TagEditor::changedRows() const {
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].changed) changed.push_back(i);
    return changed;
}

std::optional<std::string> TagEditor::writeTags(std::size_t i) {
    TagEditRow& r = rows_[i];
    const std::string& path = r.track.path;
    const id3tag& v1 = r.v1;
    TagWriteResult result{true, {}};
    switch (r.kind) {
    case AudioKind::Mp3: {
        // The ID3v2 write may fail half way through a full disk; the block
        // at the end is written only once it has not. Both reach the disk
        // with one flush.
        tags::DeferredSync deferred;
        if (r.v2Changed) {
            ID3StructV2 tag;
            PutCommonTags(tag, pageTags(r.v2));
            result = files_.writeId3v2(path, tag);
        }
        if (result && r.v1Changed) {
            ID3v1Block block = ID3v1Block::Empty();
            PutCommonTags(block, pageTags(v1));
            if (!r.v1TrackSet) {
                block.bytes[125] = r.v1TrackBytes[0];
                block.bytes[126] = r.v1TrackBytes[1];
            }
            block.bytes[127] = Id3v1GenreByte(v1.GenreIndex);
            result = files_.writeId3v1(path, block);
            if (result) r.hasV1Block = true;
        }
        if (const TagWriteResult synced = deferred.sync(); result && !synced) result = synced;
        break;
    }
    case AudioKind::Wma:
        if (r.v1Changed) {
            WmaTagInfo info;
            PutCommonTags(info, pageTags(v1));
            result = files_.writeWma(path, info);
        }
        break;
    case AudioKind::Ogg:
        if (r.v1Changed) {
            OGGTag tag;
            PutCommonTags(tag, pageTags(v1));
            result = files_.writeOgg(path, tag);
        }
        break;
    default: break;
    }
    if (result) return std::nullopt;
    return result.error.empty() ? "Cannot write " + path : result.error;
}

std::string TagEditor::WriteFailureText(const std::string& path) { return "Cannot write the tag of " + path + "."; }

std::vector<std::optional<std::string>> TagEditor::writeTagsOf(const std::vector<std::size_t>& rows,
                                                               const std::function<void()>& waiting) {
    // One job per file, its rows in their order: two threads never write one
    // file.
    std::vector<std::vector<std::size_t>> jobs;
    std::unordered_map<std::string_view, std::size_t> jobOfPath;
    std::vector<std::size_t> slotOfRow(rows_.size());
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const auto [at, added] = jobOfPath.try_emplace(rows_[rows[k]].track.path, jobs.size());
        if (added) jobs.emplace_back();
        jobs[at->second].push_back(k);
    }
    // Temporaries a killed writer left beside the files go too, each folder
    // swept once, by the thread that writes there first.
    std::vector<std::string> folders;
    std::unordered_map<std::string, std::size_t> folderIndex;
    std::vector<std::size_t> folderOfJob;
    for (const std::vector<std::size_t>& job : jobs) {
        std::string folder = ParentFolder(FinalPath(rows_[rows[job.front()]].track.path));
        const auto [at, added] = folderIndex.try_emplace(folder, folders.size());
        if (added) folders.push_back(std::move(folder));
        folderOfJob.push_back(at->second);
    }
    std::vector<std::once_flag> swept(folders.size());
    std::vector<std::optional<std::string>> results(rows.size());
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable cv;
    std::size_t finished = 0;
    auto work = [&] {
        for (std::size_t j; (j = next.fetch_add(1)) < jobs.size();) {
            const std::size_t f = folderOfJob[j];
            std::call_once(swept[f], [&] { RemoveStaleTemporaries(folders[f]); });
            for (std::size_t k : jobs[j]) results[k] = writeTags(rows[k]);
            std::lock_guard lock(mutex);
            ++finished;
            cv.notify_one();
        }
    };
    // The writes wait on the disk, not the processor.
    const std::size_t threads = std::min<std::size_t>(jobs.size(), 8);
    std::vector<std::thread> pool;
    pool.reserve(threads);
    for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(work);
    std::unique_lock lock(mutex);
    while (finished < jobs.size()) {
        cv.wait_for(lock, std::chrono::milliseconds(5));
        lock.unlock();
        if (waiting) waiting();
        lock.lock();
    }
    lock.unlock();
    for (std::thread& t : pool) t.join();
    return results;
}

void TagEditor::markWritten(std::size_t i) {
    TagEditRow& r = rows_[i];
    r.changed = r.v1Changed = r.v2Changed = false;
}

void TagEditor::updateRecord(std::size_t i, TrackRecord& record) const {
    const TagEditRow& r = rows_[i];
    if (r.kind == AudioKind::Mp3) {
        // What a build from the file gives.
        ID3StructV2 v2, v1;
        PutCommonTags(v2, pageTags(r.v2));
        if (r.hasV1Block) {
            PutCommonTags(v1, pageTags(r.v1));
            v1.Genre = Id3GenreName(Id3v1GenreByte(r.v1.GenreIndex));
        }
        Mp3RecordTexts(record, v2, v1);
    } else {
        record.Title = r.v1.Title;
        record.Artist = RemoveInvalidFileNameChars(r.v1.Artist);
        record.Album = RemoveInvalidFileNameChars(r.v1.Album);
        record.Genre = r.v1.GenreText;
        record.Year = r.v1.Year;
        record.Comment = r.v1.Comment;
    }
    FinishRecordTexts(record, FileNamePart(r.track.path));
}

bool PruneUnnamedNodes(const TrackLibrary& library, LibraryTree& tree) {
    const std::optional<NamedTexts> named = library.namedTexts();
    if (!named) return false;
    tree.pruneLeaves(tree.myArtistNode(),
                     [&](const QString& text) { return named->artists.contains(text.toStdString()); });
    tree.pruneLeaves(tree.myAlbumNode(),
                     [&](const QString& text) { return named->albums.contains(text.toStdString()); });
    return true;
}
