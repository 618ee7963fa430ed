#pragma once
// What the image recorders share about their files in the image folder.
//
// An image name that is a symbolic link is never followed: writing,
// appending to or erasing through it would change a file outside the image
// folder, so the recorders refuse it and say why.
//
// An append to an ISO image writes past the image's old end and, when the
// session is complete, rewrites the image's first blocks. Before the first
// byte is written the old length and those first blocks are kept in a small
// file beside the image ("<image>.undo"); the record is removed once the
// session is complete or taken back. A record still there means the append
// was cut short (the program was killed, the machine went down):
// RestoreInterruptedAppend puts the image back byte for byte as it was. The
// recorder does so before each write and erase; the start-up does so for
// the data image that no running writer holds (RemoveAbandonedImageParts).

#include <QString>

#include <cstdint>
#include <string>

#include "platform/posixfile.h"

namespace imagefiles {

// True when path itself is a symbolic link (dangling or not).
bool IsLink(const std::string& path);
QString LinkRefusal(const std::string& path);

// Cuts the open image back to size bytes, writes head over its first
// bytes and flushes it: the image as it was before an append. False, with
// errno of the first step that failed, when any fails.
bool PutBack(const PosixFile& image, int64_t size, const std::string& head);

std::string AppendRecordPath(const std::string& image);
// Keeps what the image was before an append; false, with *error, when the
// record cannot be made (nothing may be written then).
bool RecordAppend(const std::string& image, int64_t oldSize, const std::string& oldHead, std::string* error);
// The append is complete or has been taken back.
void ForgetAppend(const std::string& image);
// Takes back an append that was cut short. True when there was nothing to
// do or the image is as it was before it; false, with *error, when the
// image could not be put back (the record then stays for the next try,
// unless it is unreadable).
bool RestoreInterruptedAppend(const std::string& image, std::string* error);

}  // namespace imagefiles
