#include "bench/support/covers.h"

#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/asftag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <random>

namespace bench {

std::string CoverBytes() {
    std::mt19937 random(7);
    std::string bytes = "\xFF\xD8\xFF\xE0\x00\x10JFIF";
    while (bytes.size() < kCoverBytes) bytes.push_back(static_cast<char>(random()));
    return bytes;
}

bool AddCover(const std::string& path) {
    const std::string ext = path.size() > 4 ? path.substr(path.size() - 4) : std::string();
    const std::string cover = CoverBytes();
    const TagLib::ByteVector data(cover.data(), static_cast<unsigned>(cover.size()));
    if (ext == ".mp3") {
        TagLib::MPEG::File f(path.c_str(), false);
        auto* picture = new TagLib::ID3v2::AttachedPictureFrame;
        picture->setMimeType("image/jpeg");
        picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        picture->setPicture(data);
        f.ID3v2Tag(true)->addFrame(picture);
        return f.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v3);
    }
    if (ext == ".ogg") {
        TagLib::Ogg::Vorbis::File f(path.c_str(), false);
        auto* picture = new TagLib::FLAC::Picture;
        picture->setMimeType("image/jpeg");
        picture->setType(TagLib::FLAC::Picture::FrontCover);
        picture->setData(data);
        f.tag()->addPicture(picture);
        return f.save();
    }
    if (ext == ".wma") {
        TagLib::ASF::File f(path.c_str(), false);
        TagLib::ASF::Picture picture;
        picture.setMimeType("image/jpeg");
        picture.setType(TagLib::ASF::Picture::FrontCover);
        picture.setPicture(data);
        f.tag()->setAttribute("WM/Picture", TagLib::ASF::Attribute(picture));
        return f.save();
    }
    return true;
}

}  // namespace bench
