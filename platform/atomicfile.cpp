#include "atomicfile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "paths.h"
#include "posixfile.h"
#include "utf8.h"

namespace {

std::string errnoText(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// The file that a write must replace: the target of a symlink, so the link
// survives and points at the new content. A link whose file does not exist
// yet gets that file made where it points.
std::string resolveTarget(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        char buf[PATH_MAX];
        if (::realpath(current.c_str(), buf)) return buf;
        const ssize_t n = ::readlink(current.c_str(), buf, sizeof buf - 1);
        if (n <= 0) return current;
        const std::string to(buf, static_cast<size_t>(n));
        current = to.front() == '/' ? to : JoinPath(ParentFolder(current), to);
    }
    return path;
}

// A name of our own beside target. It starts with the target's name so that
// a left-over file shows what it belonged to, but that part is cut so the
// whole name stays within the folder's name limit: a file whose name is
// already near the limit must still be replaceable.
std::string temporaryTemplate(const std::string& target, const std::string& folder) {
    constexpr std::string_view suffix = ".tmp-XXXXXX";
    long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0) nameMax = NAME_MAX;
    const size_t slash = target.rfind('/');
    const std::string_view base = slash == std::string::npos ? std::string_view(target)
                                                             : std::string_view(target).substr(slash + 1);
    const size_t room = static_cast<size_t>(nameMax) > suffix.size() ? static_cast<size_t>(nameMax) - suffix.size() : 0;
    std::string tmpl = target.substr(0, target.size() - base.size());
    tmpl.append(Utf8Cut(base, room)).append(suffix);
    return tmpl;
}

void syncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

AtomicWriteResult RewriteFileAtomically(const std::string& path,
                                        const std::function<bool(PosixFile&, std::string*)>& producer) {
    AtomicWriteResult result;
    const std::string target = resolveTarget(path);
    const std::string folder = ParentFolder(target);

    struct stat original {};
    const bool exists = ::stat(target.c_str(), &original) == 0;
    if (exists && !S_ISREG(original.st_mode)) {
        result.error = "Not a regular file: " + target;
        return result;
    }

    // mkstemp gives O_EXCL and a name no other writer uses.
    std::string tmpl = temporaryTemplate(target, folder);
    int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) {
        result.error = errnoText("Cannot create a temporary file in", folder);
        return result;
    }
    ::close(fd);
    PosixFile out(tmpl, O_RDWR);
    auto fail = [&](std::string message) {
        out.close();
        ::unlink(tmpl.c_str());
        result.ok = false;
        result.error = std::move(message);
        return result;
    };
    if (!out.isOpen()) return fail(errnoText("Cannot open", tmpl));

    std::string producerError;
    if (!producer(out, &producerError))
        return fail(producerError.empty() ? "Cannot write " + target : producerError);

    if (exists) {
        if (::fchmod(out.fd(), original.st_mode & 07777) != 0) return fail(errnoText("Cannot set the mode of", tmpl));
        // Keeping the owner only works for root or the same owner; a
        // different owner is not worth failing the write for.
        if (::fchown(out.fd(), original.st_uid, original.st_gid) != 0) { /* keep our own */ }
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(out.fd(), 0666 & ~mask);
    }
    if (!out.sync()) return fail(errnoText("Cannot flush", tmpl));
    if (!out.close()) return fail(errnoText("Cannot close", tmpl));
    if (::rename(tmpl.c_str(), target.c_str()) != 0) return fail(errnoText("Cannot replace", target));
    syncFolder(folder);
    result.ok = true;
    return result;
}

AtomicWriteResult WriteFileAtomically(const std::string& path, std::string_view content) {
    return RewriteFileAtomically(path, [&](PosixFile& out, std::string* error) {
        if (!out.write({reinterpret_cast<const uint8_t*>(content.data()), content.size()})) {
            *error = std::string("Cannot write ") + path + ": " + std::strerror(errno);
            return false;
        }
        return true;
    });
}
