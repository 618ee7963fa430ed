#pragma once
// Reads a theme file: a binary, little-endian file whose header points at a
// chain of 77-byte entries, each naming a key and the bytes of its value.
//
//   file 12..15   u32  header length (24..28); the header is the file's first bytes
//   header 20..23 u32  file offset of the first entry
//   entry +0      char[64] key name, up to its first zero byte
//         +64     u8   kind: 0 image (a BMP), 1 integer or colour, 2 Boolean, 3 text
//         +65     u32  data offset    +69 u32 data size    +73 u32 next entry
// The entry whose next offset is 0 closes the chain and holds no value.
//
// A theme file comes from outside: a file that breaks any of these rules, or
// whose chain loops or leaves the file, or whose picture does not decode, is
// refused whole.

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QString>
#include <memory>

class TvsThemeFileReader {
public:
    static constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;
    static constexpr int kEntryBytes = 77;
    // A picture larger than this is no control's artwork.
    static constexpr qint64 kMaxImagePixels = 4096 * 1024;
    // All the pictures of one file together, counted once per decoding: a
    // file of many entries into one picture's bytes must not decode it over
    // and over into gigabytes.
    static constexpr qint64 kMaxThemePixels = 2 * kMaxImagePixels;

    // Null with *error set when the bytes are not a theme file.
    static std::unique_ptr<TvsThemeFileReader> parse(const QByteArray& bytes, QString* error);
    // The same for a file: only regular files within kMaxFileBytes are read.
    static std::unique_ptr<TvsThemeFileReader> read(const QString& fileName, QString* error);

    // Names are looked up without regard to case; the first entry of a name
    // wins. -1 when the name has no integer.
    int GetInt(const QString& name) const;
    bool GetBool(const QString& name) const;
    QImage GetBitmap(const QString& name) const;  // null when absent

    // The pixels decoded for this file, at most kMaxThemePixels.
    qint64 decodedPixels() const { return decodedPixels_; }

private:
    TvsThemeFileReader() = default;
    QHash<QString, QImage> images_;
    QHash<QString, int> ints_;
    QHash<QString, bool> bools_;
    qint64 decodedPixels_ = 0;
};
