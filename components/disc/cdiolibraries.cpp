// libcdio, libcdio_cdda and libcdio_paranoia, loaded when the grabber first
// calls them rather than with the program (platform/lazylibrary.h says why). The
// functions below stand in for the ones the grabber calls: the first call
// opens the library it belongs to, and each function looks up its real one
// once, in that library alone, so a stand-in never finds itself (a test or
// bench that links the real libraries as well still works). The
// declarations come from libcdio's own headers.
//
// A library that cannot be loaded makes the calls that open something
// (the device list, a drive, an image, a reading session) fail as an absent
// drive does; CdioLibrariesProblem() tells the user which library and why.
// Every other call needs what those return, so it never comes without them.

#include "components/disc/cdiolibraries.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <string>

#include "platform/lazylibrary.h"

namespace {

LazyLibrary cdioLibrary("libcdio.so.19");
LazyLibrary cddaLibrary("libcdio_cdda.so.2");
LazyLibrary paranoiaLibrary("libcdio_paranoia.so.2");

}  // namespace

std::string CdioLibrariesProblem() { return FirstLoadProblem({&cdioLibrary, &cddaLibrary, &paranoiaLibrary}); }

extern "C" {

TUNEVALE_LAZY_FUNCTION(cddaLibrary, bool, cdio_cddap_close_no_free_cdio, (cdrom_drive_t* d), (d))
TUNEVALE_LAZY_OPENING(cddaLibrary, nullptr, cdrom_drive_t*, cdio_cddap_identify_cdio,
                      (CdIo_t* p_cdio, int messagedest, char** ppsz_messages), (p_cdio, messagedest, ppsz_messages))
TUNEVALE_LAZY_FUNCTION(cddaLibrary, int, cdio_cddap_open, (cdrom_drive_t* d), (d))
TUNEVALE_LAZY_FUNCTION(cddaLibrary, lsn_t, cdio_cddap_track_lastsector, (cdrom_drive_t* d, track_t i_track),
                       (d, i_track))
TUNEVALE_LAZY_FUNCTION(cdioLibrary, void, cdio_destroy, (CdIo_t* p_cdio), (p_cdio))
TUNEVALE_LAZY_FUNCTION(cdioLibrary, void, cdio_free_device_list, (char* device_list[]), (device_list))
TUNEVALE_LAZY_OPENING(cdioLibrary, nullptr, char**, cdio_get_devices, (driver_id_t driver_id), (driver_id))
TUNEVALE_LAZY_FUNCTION(cdioLibrary, track_t, cdio_get_first_track_num, (const CdIo_t* p_cdio), (p_cdio))
TUNEVALE_LAZY_FUNCTION(cdioLibrary, bool, cdio_get_hwinfo, (const CdIo_t* p_cdio, cdio_hwinfo_t* p_hw_info),
                       (p_cdio, p_hw_info))
TUNEVALE_LAZY_FUNCTION(cdioLibrary, track_t, cdio_get_num_tracks, (const CdIo_t* p_cdio), (p_cdio))
TUNEVALE_LAZY_FUNCTION(cdioLibrary, track_format_t, cdio_get_track_format, (const CdIo_t* p_cdio, track_t i_track),
                       (p_cdio, i_track))
TUNEVALE_LAZY_FUNCTION(cdioLibrary, lsn_t, cdio_get_track_lsn, (const CdIo_t* p_cdio, track_t i_track),
                       (p_cdio, i_track))
TUNEVALE_LAZY_OPENING(cdioLibrary, nullptr, cdio_log_handler_t, cdio_log_set_handler, (cdio_log_handler_t new_handler),
                      (new_handler))
TUNEVALE_LAZY_OPENING(cdioLibrary, nullptr, CdIo_t*, cdio_open, (const char* psz_source, driver_id_t driver_id),
                      (psz_source, driver_id))
TUNEVALE_LAZY_FUNCTION(paranoiaLibrary, void, cdio_paranoia_free, (cdrom_paranoia_t* p), (p))
TUNEVALE_LAZY_OPENING(paranoiaLibrary, nullptr, cdrom_paranoia_t*, cdio_paranoia_init, (cdrom_drive_t* d), (d))
TUNEVALE_LAZY_FUNCTION(paranoiaLibrary, void, cdio_paranoia_modeset, (cdrom_paranoia_t* p, int mode_flags),
                       (p, mode_flags))
TUNEVALE_LAZY_FUNCTION(paranoiaLibrary, int16_t*, cdio_paranoia_read_limited,
                       (cdrom_paranoia_t* p, void (*callback)(long int, paranoia_cb_mode_t), int max_retries),
                       (p, callback, max_retries))
TUNEVALE_LAZY_FUNCTION(paranoiaLibrary, lsn_t, cdio_paranoia_seek, (cdrom_paranoia_t* p, int32_t seek, int whence),
                       (p, seek, whence))
TUNEVALE_LAZY_FUNCTION(cdioLibrary, driver_return_code_t, cdio_set_speed, (const CdIo_t* p_cdio, int i_drive_speed),
                       (p_cdio, i_drive_speed))

}  // extern "C"
