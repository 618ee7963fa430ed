// What the program's executable asks the loader for before main: none of the
// libraries that only playing, recording or coding audio needs, which are
// loaded when first used. Read from its own dynamic section, as the loader
// does.

#include <gtest/gtest.h>

#include <elf.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string programFolder() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    const std::string self(path, static_cast<size_t>(length));
    return self.substr(0, self.rfind('/'));
}

// The DT_NEEDED entries of a 64-bit ELF file, in order. Only the headers and
// the two sections are read: a sanitizer build's program is large.
std::vector<std::string> neededLibraries(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    auto readAt = [&](uint64_t offset, void* to, size_t size) {
        in.seekg(static_cast<std::streamoff>(offset));
        return static_cast<bool>(in.read(static_cast<char*>(to), static_cast<std::streamsize>(size)));
    };
    Elf64_Ehdr header;
    if (!readAt(0, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64)
        return {};
    auto section = [&](size_t index) {
        Elf64_Shdr s{};
        readAt(header.e_shoff + index * header.e_shentsize, &s, sizeof s);
        return s;
    };
    std::vector<std::string> needed;
    for (size_t i = 0; i < header.e_shnum; ++i) {
        const Elf64_Shdr dynamic = section(i);
        if (dynamic.sh_type != SHT_DYNAMIC) continue;
        const Elf64_Shdr stringSection = section(dynamic.sh_link);
        std::string strings(stringSection.sh_size, '\0');
        if (!readAt(stringSection.sh_offset, strings.data(), strings.size())) return {};
        std::vector<Elf64_Dyn> entries(dynamic.sh_size / sizeof(Elf64_Dyn));
        if (!readAt(dynamic.sh_offset, entries.data(), entries.size() * sizeof(Elf64_Dyn))) return {};
        for (const Elf64_Dyn& entry : entries) {
            if (entry.d_tag == DT_NULL) break;
            if (entry.d_tag == DT_NEEDED && entry.d_un.d_val < strings.size())
                needed.emplace_back(strings.c_str() + entry.d_un.d_val);
        }
    }
    return needed;
}

TEST(ProgramLibraries, TheProgramNeedsNoAudioLibraryBeforeItsFirstUse) {
    const std::vector<std::string> needed = neededLibraries(programFolder() + "/tunevale");
    ASSERT_FALSE(needed.empty()) << "no dynamic section read from " << programFolder() << "/tunevale";
    // The reading works: what every start needs is there.
    EXPECT_NE(std::find(needed.begin(), needed.end(), "libQt6Widgets.so.6"), needed.end());
    for (const std::string& library : needed)
        for (const char* lazy : {"libQt6Multimedia", "libpulse", "libsndfile", "libvorbis", "libmp3lame", "libFLAC",
                                 "libopus", "libmpg123", "libavcodec", "libavformat", "libcdio", "libburn"})
            EXPECT_NE(library.rfind(lazy, 0), 0u) << library << " is loaded with the program";
    // The player's output is the module beside the program.
    EXPECT_EQ(::access((programFolder() + "/libtunevale_soundout.so").c_str(), R_OK), 0);
}

// The network libraries (and the security and proxy libraries they bring)
// are no use to a start: local sockets and the CD database client go
// through the system's own calls.
TEST(ProgramLibraries, TheProgramNeedsNoNetworkLibrary) {
    const std::vector<std::string> needed = neededLibraries(programFolder() + "/tunevale");
    ASSERT_FALSE(needed.empty());
    for (const std::string& library : needed)
        EXPECT_NE(library.rfind("libQt6Network", 0), 0u) << library << " is loaded with the program";
}

}  // namespace
