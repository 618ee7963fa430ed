#include "isoreader.h"

#include <stdint.h>
#include <libisofs/libisofs.h>

#include <QString>

#include <dirent.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>

namespace {

void Walk(IsoDir* dir, const std::string& prefix, std::map<std::string, std::string>* out,
          std::map<std::string, unsigned>* modes)
{
    IsoDirIter* iter = nullptr;
    if (iso_dir_get_children(dir, &iter) < 0)
        return;
    IsoNode* node = nullptr;
    while (iso_dir_iter_next(iter, &node) == 1) {
        std::string path = prefix + "/" + iso_node_get_name(node);
        const unsigned mode = static_cast<unsigned>(iso_node_get_permissions(node)) & 07777u;
        if (iso_node_get_type(node) == LIBISO_DIR) {
            (*out)[path + "/"] = "";
            (*modes)[path + "/"] = mode;
            Walk(reinterpret_cast<IsoDir*>(node), path, out, modes);
        } else if (iso_node_get_type(node) == LIBISO_FILE) {
            IsoStream* stream = iso_file_get_stream(reinterpret_cast<IsoFile*>(node));
            std::string bytes;
            if (iso_stream_open(stream) >= 0) {
                char buffer[65536];
                int got;
                while ((got = iso_stream_read(stream, buffer, sizeof buffer)) > 0)
                    bytes.append(buffer, static_cast<size_t>(got));
                iso_stream_close(stream);
            }
            (*out)[path] = bytes;
            (*modes)[path] = mode;
        } else {
            (*out)[path + "@"] = "";
        }
    }
    iso_dir_iter_free(iter);
}

std::string Trimmed(std::string s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    return s;
}

// The volume ids straight from the descriptors of the last session, which
// an image file keeps at its start.
void ReadDescriptors(const std::string& path, IsoContents* c)
{
    std::ifstream in(path, std::ios::binary);
    for (int sector = 16; sector < 32; ++sector) {
        char block[2048];
        in.seekg(int64_t(sector) * 2048);
        if (!in.read(block, sizeof block))
            return;
        unsigned char type = static_cast<unsigned char>(block[0]);
        if (type == 255)
            return;
        if (type == 1)
            c->primaryVolumeId = Trimmed(std::string(block + 40, 32));
        if (type == 2 && block[88] == '%' && block[89] == '/') {
            QString text;
            for (int i = 0; i < 32; i += 2)
                text += QChar(static_cast<char16_t>((static_cast<unsigned char>(block[40 + i]) << 8) |
                                                    static_cast<unsigned char>(block[41 + i])));
            c->jolietVolumeId = text.trimmed().remove(QChar(0)).toStdString();
        }
    }
}

}  // namespace

IsoContents ReadIso(const std::string& path, bool jolietNames)
{
    IsoContents c;
    iso_init();
    IsoDataSource* source = nullptr;
    if (iso_data_source_new_from_file(path.c_str(), &source) < 0)
        return c;
    IsoReadOpts* opts = nullptr;
    iso_read_opts_new(&opts, 0);
    if (jolietNames) {
        iso_read_opts_set_no_rockridge(opts, 1);
        iso_read_opts_set_preferjoliet(opts, 1);
    }
    IsoImage* image = nullptr;
    iso_image_new("check", &image);
    IsoReadImageFeatures* features = nullptr;
    if (iso_image_import(image, source, opts, &features) >= 0) {
        c.readable = true;
        c.hasJoliet = iso_read_image_features_has_joliet(features) != 0;
        c.hasRockRidge = iso_read_image_features_has_rockridge(features) != 0;
        const char* id = iso_image_get_volume_id(image);
        c.volumeId = id ? id : "";
        Walk(iso_image_get_root(image), "", &c.entries, &c.modes);
        iso_read_image_features_destroy(features);
    }
    iso_image_unref(image);
    iso_read_opts_free(opts);
    iso_data_source_unref(source);
    ReadDescriptors(path, &c);
    return c;
}

void ReadFolderTree(const std::string& folder, const std::string& prefix, std::map<std::string, std::string>* out)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        std::string full = folder + "/" + name;
        struct stat st {};
        if (lstat(full.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            (*out)[prefix + "/" + name + "/"] = "";
            ReadFolderTree(full, prefix + "/" + name, out);
        } else if (S_ISREG(st.st_mode)) {
            std::ifstream in(full, std::ios::binary);
            std::stringstream bytes;
            bytes << in.rdbuf();
            (*out)[prefix + "/" + name] = bytes.str();
        }
    }
    closedir(dir);
}

// Points the record of the root's folder `name` (its ISO name) at the root
// itself, so that the folder leads back into its own tree.
bool MakeFolderLoop(const std::string& iso, const std::string& name)
{
    std::ifstream in(iso, std::ios::binary);
    std::string d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    auto le32 = [&](size_t at) {
        return uint32_t(uint8_t(d[at])) | uint32_t(uint8_t(d[at + 1])) << 8 | uint32_t(uint8_t(d[at + 2])) << 16 |
               uint32_t(uint8_t(d[at + 3])) << 24;
    };
    auto put = [&](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            d[at + i] = char((value >> (8 * i)) & 0xff);
            d[at + 7 - i] = char((value >> (8 * i)) & 0xff);
        }
    };
    const size_t root = 16 * 2048 + 156;
    if (d.size() < root + 34)
        return false;
    const uint32_t extent = le32(root + 2), size = le32(root + 10);
    for (size_t at = size_t(extent) * 2048; at < size_t(extent) * 2048 + size && at < d.size() && d[at];
         at += uint8_t(d[at])) {
        const size_t nameLength = uint8_t(d[at + 32]);
        if ((d[at + 25] & 2) && d.compare(at + 33, nameLength, name) == 0) {
            put(at + 2, extent);
            put(at + 10, size);
            std::ofstream out(iso, std::ios::binary | std::ios::trunc);
            out << d;
            return bool(out);
        }
    }
    return false;
}
