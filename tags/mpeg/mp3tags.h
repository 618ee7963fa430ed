#pragma once
// Both tags of an MP3 file saved as one: the ID3v2 tag first (it may move
// the audio), then the ID3v1 block, and one flush to the disk for the two
// when both are written in place. A failed ID3v2 write leaves the ID3v1
// block unwritten; the file is whole either way.

#include <string>

#include "tags/mpeg/id3v1.h"
#include "tags/mpeg/id3v2.h"
#include "tags/tagfile.h"

TagWriteResult WriteMp3Tags(const std::string& fileName, const ID3StructV2& v2, const ID3v1Block& v1);
