#include "library/playqueue.h"

#include "platform/utf8.h"

std::string EncodePlayQueue(const std::vector<std::string>& paths) {
    std::string bytes(paths.size() * kPlayQueueRecordSize, '\0');
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string_view kept = Utf8Cut(paths[i], kPlayQueuePathBytes);
        char* record = bytes.data() + i * kPlayQueueRecordSize;
        record[0] = static_cast<char>(kept.size());
        kept.copy(record + 1, kept.size());
    }
    return bytes;
}

AtomicWriteResult WritePlayQueue(const std::string& file, const std::vector<std::string>& paths) {
    return WriteFileAtomically(file, EncodePlayQueue(paths));
}
