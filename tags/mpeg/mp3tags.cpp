#include "tags/mpeg/mp3tags.h"

TagWriteResult WriteMp3Tags(const std::string& fileName, const ID3StructV2& v2, const ID3v1Block& v1) {
    tags::DeferredSync deferred;
    const TagWriteResult first = WriteID3v2Tag(fileName, v2);
    if (!first) return first;
    const TagWriteResult second = WriteID3v1Tag(fileName, v1);
    const TagWriteResult synced = deferred.sync();
    return !second ? second : synced;
}
