// libcdio, libcdio_cdda and libcdio_paranoia, loaded when the grabber first
// calls them rather than with the program. Having them among the program's
// libraries cost every start the loader's look-ups in them, though a start
// reads no disc. The functions below stand in for the ones the grabber
// calls: the first call opens the library it belongs to, and each function
// looks up its real one once, in that library alone, so a stand-in never
// finds itself (a test that links the real libraries as well still works).
// The declarations come from libcdio's own headers, so a signature that
// differs does not compile.
//
// A library that cannot be loaded makes the calls that open something
// (the device list, a drive, an image, a reading session) fail as an absent
// drive does; CdioLibrariesProblem() tells the user which library and why.
// Every other call needs what those return, so it never comes without them.

#include "components/disc/cdiolibraries.h"

#include <QLoggingCategory>

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

Q_DECLARE_LOGGING_CATEGORY(lcDisc)

namespace {

enum Library { Cdio, Cdda, Paranoia };

// The versions this program was built against.
constexpr const char* kNames[] = {"libcdio.so.19", "libcdio_cdda.so.2", "libcdio_paranoia.so.2"};

std::mutex problemMutex;
std::string firstProblem;

template <Library L>
void* library() {
    static void* const handle = [] {
        void* h = ::dlopen(kNames[L], RTLD_NOW | RTLD_LOCAL);
        if (!h) {
            const char* why = ::dlerror();
            const std::string problem = std::string("Cannot load ") + kNames[L] + ": " + (why ? why : "unknown error");
            qCWarning(lcDisc, "%s", problem.c_str());
            std::lock_guard lock(problemMutex);
            if (firstProblem.empty()) firstProblem = problem;
        }
        return h;
    }();
    return handle;
}

template <Library L>
void* cdioFunction(const char* name) {
    void* const handle = library<L>();
    if (void* function = handle ? ::dlsym(handle, name) : nullptr) return function;
    std::fprintf(stderr, "Cannot find %s in %s\n", name, kNames[L]);
    std::abort();
}

}  // namespace

std::string CdioLibrariesProblem() {
    std::lock_guard lock(problemMutex);
    return firstProblem;
}

#define TUNEVALE_CDIO(library, result, name, parameters, arguments)                                   \
    result name parameters {                                                                          \
        static const auto function = reinterpret_cast<decltype(&name)>(cdioFunction<library>(#name)); \
        return function arguments;                                                                    \
    }

// A call that opens something: without its library it fails as it does
// without a drive.
#define TUNEVALE_CDIO_OPENING(library_, failure, result, name, parameters, arguments)                  \
    result name parameters {                                                                           \
        if (!library<library_>()) return failure;                                                      \
        static const auto function = reinterpret_cast<decltype(&name)>(cdioFunction<library_>(#name)); \
        return function arguments;                                                                     \
    }

extern "C" {

TUNEVALE_CDIO(Cdda, bool, cdio_cddap_close_no_free_cdio, (cdrom_drive_t* d), (d))
TUNEVALE_CDIO_OPENING(Cdda, nullptr, cdrom_drive_t*, cdio_cddap_identify_cdio,
                      (CdIo_t* p_cdio, int messagedest, char** ppsz_messages), (p_cdio, messagedest, ppsz_messages))
TUNEVALE_CDIO(Cdda, int, cdio_cddap_open, (cdrom_drive_t* d), (d))
TUNEVALE_CDIO(Cdda, lsn_t, cdio_cddap_track_lastsector, (cdrom_drive_t* d, track_t i_track), (d, i_track))
TUNEVALE_CDIO(Cdio, void, cdio_destroy, (CdIo_t* p_cdio), (p_cdio))
TUNEVALE_CDIO(Cdio, void, cdio_free_device_list, (char* device_list[]), (device_list))
TUNEVALE_CDIO(Cdio, cdtext_t*, cdio_get_cdtext, (CdIo_t* p_cdio), (p_cdio))
TUNEVALE_CDIO_OPENING(Cdio, nullptr, char**, cdio_get_devices, (driver_id_t driver_id), (driver_id))
TUNEVALE_CDIO(Cdio, track_t, cdio_get_first_track_num, (const CdIo_t* p_cdio), (p_cdio))
TUNEVALE_CDIO(Cdio, bool, cdio_get_hwinfo, (const CdIo_t* p_cdio, cdio_hwinfo_t* p_hw_info), (p_cdio, p_hw_info))
TUNEVALE_CDIO(Cdio, track_t, cdio_get_num_tracks, (const CdIo_t* p_cdio), (p_cdio))
TUNEVALE_CDIO(Cdio, track_format_t, cdio_get_track_format, (const CdIo_t* p_cdio, track_t i_track), (p_cdio, i_track))
TUNEVALE_CDIO(Cdio, lsn_t, cdio_get_track_lsn, (const CdIo_t* p_cdio, track_t i_track), (p_cdio, i_track))
TUNEVALE_CDIO_OPENING(Cdio, nullptr, cdio_log_handler_t, cdio_log_set_handler, (cdio_log_handler_t new_handler),
                      (new_handler))
TUNEVALE_CDIO_OPENING(Cdio, nullptr, CdIo_t*, cdio_open, (const char* psz_source, driver_id_t driver_id),
                      (psz_source, driver_id))
TUNEVALE_CDIO(Paranoia, void, cdio_paranoia_free, (cdrom_paranoia_t* p), (p))
TUNEVALE_CDIO_OPENING(Paranoia, nullptr, cdrom_paranoia_t*, cdio_paranoia_init, (cdrom_drive_t* d), (d))
TUNEVALE_CDIO(Paranoia, void, cdio_paranoia_modeset, (cdrom_paranoia_t* p, int mode_flags), (p, mode_flags))
TUNEVALE_CDIO(Paranoia, int16_t*, cdio_paranoia_read_limited,
              (cdrom_paranoia_t* p, void (*callback)(long int, paranoia_cb_mode_t), int max_retries),
              (p, callback, max_retries))
TUNEVALE_CDIO(Paranoia, lsn_t, cdio_paranoia_seek, (cdrom_paranoia_t* p, int32_t seek, int whence), (p, seek, whence))
TUNEVALE_CDIO(Cdio, driver_return_code_t, cdio_set_speed, (const CdIo_t* p_cdio, int i_drive_speed),
              (p_cdio, i_drive_speed))
TUNEVALE_CDIO(Cdio, const char*, cdtext_get_const, (const cdtext_t* p_cdtext, cdtext_field_t field, track_t track),
              (p_cdtext, field, track))

}  // extern "C"
