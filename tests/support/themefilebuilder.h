#pragma once
// Writes theme files for tests, the control gallery and the fuzzer's seeds;
// the program itself only reads them. Layout: a 28-byte header whose first
// entry is at 28, the entries one after the other ending with a closing
// entry, then the values.

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QtEndian>
#include <vector>

class ThemeFileBuilder {
public:
    static constexpr int kHeader = 28, kEntry = 77;

    ThemeFileBuilder& image(const QByteArray& name, const QImage& picture) {
        QByteArray bmp;
        QBuffer out(&bmp);
        out.open(QIODevice::WriteOnly);
        picture.save(&out, "BMP");
        return raw(name, 0, bmp);
    }
    ThemeFileBuilder& integer(const QByteArray& name, qint32 value) {
        QByteArray b(4, '\0');
        qToLittleEndian(value, b.data());
        return raw(name, 1, b);
    }
    ThemeFileBuilder& boolean(const QByteArray& name, bool value) { return raw(name, 2, QByteArray(1, value ? 1 : 0)); }
    ThemeFileBuilder& text(const QByteArray& name, const QByteArray& value) { return raw(name, 3, value); }
    ThemeFileBuilder& raw(const QByteArray& name, quint8 kind, const QByteArray& data) {
        entries_.push_back({name, kind, data});
        return *this;
    }

    // Offset of entry i (the closing entry is number count()).
    static int entryOffset(int i) { return kHeader + i * kEntry; }
    int count() const { return int(entries_.size()); }

    QByteArray build(const QByteArray& closingName = "end") const {
        QByteArray file(kHeader, '\0');
        file.replace(0, 8, "TVTHEME1");
        put(file, 12, kHeader);
        put(file, 20, kHeader);
        const int n = count();
        quint32 data = entryOffset(n + 1);
        for (int i = 0; i <= n; ++i) {
            QByteArray e(kEntry, '\0');
            const QByteArray& name = i < n ? entries_[size_t(i)].name : closingName;
            e.replace(0, std::min<int>(64, name.size()), name.left(64));
            if (i < n) {
                e[64] = char(entries_[size_t(i)].kind);
                put(e, 65, data);
                put(e, 69, quint32(entries_[size_t(i)].data.size()));
                put(e, 73, quint32(entryOffset(i + 1)));
                data += quint32(entries_[size_t(i)].data.size());
            }
            file += e;
        }
        for (const Entry& entry : entries_) file += entry.data;
        return file;
    }

    static void put(QByteArray& bytes, int at, quint32 value) { qToLittleEndian(value, bytes.data() + at); }

private:
    struct Entry {
        QByteArray name;
        quint8 kind;
        QByteArray data;
    };
    std::vector<Entry> entries_;
};
