// libburn, libisofs and libisoburn, loaded when a writer first calls them
// rather than with the program (platform/lazylibrary.h says why; these bring
// readline, acl and more with them). The functions below stand in for the
// ones the writers call: the first call opens the library it belongs to,
// and each function looks up its real one once, in that library alone, so a
// stand-in never finds itself (a test that links the real libraries as well
// still works). The declarations come from the libraries' own headers.
//
// A library that cannot be loaded makes the calls that start one fail
// (burn_initialize, isoburn_initialize), and the writers already refuse to
// go on without them; BurnLibrariesProblem() tells the user which library
// and why. Every other call comes only after those succeeded.

#include "components/discwriter/burnlibraries.h"

// libisofs.h needs the fixed-width types and libburn's declarations first.
#include <stdint.h>
#include <libburn/libburn.h>
#include <libisofs/libisofs.h>
#include <libisoburn/libisoburn.h>

#include <cstdio>
#include <string>

#include "platform/lazylibrary.h"

namespace {

LazyLibrary burnLibrary("libburn.so.4");
LazyLibrary isofsLibrary("libisofs.so.6");
LazyLibrary isoburnLibrary("libisoburn.so.1");

std::string firstProblem() { return FirstLoadProblem({&burnLibrary, &isofsLibrary, &isoburnLibrary}); }

}  // namespace

QString BurnLibrariesProblem() {
    return QString::fromStdString(firstProblem());
}

// In C++ libburn declares its names inside namespace burn.
namespace burn {
extern "C" {

TUNEVALE_LAZY_FUNCTION(burnLibrary, int, burn_disc_add_session,
                       (struct burn_disc* d, struct burn_session* s, unsigned int pos), (d, s, pos))
TUNEVALE_LAZY_FUNCTION(burnLibrary, struct burn_disc*, burn_disc_create, (void), ())
TUNEVALE_LAZY_FUNCTION(burnLibrary, int, burn_disc_erasable, (struct burn_drive* d), (d))
TUNEVALE_LAZY_FUNCTION(burnLibrary, void, burn_disc_erase, (struct burn_drive* drive, int fast), (drive, fast))
TUNEVALE_LAZY_FUNCTION(burnLibrary, void, burn_disc_free, (struct burn_disc* d), (d))
TUNEVALE_LAZY_FUNCTION(burnLibrary, int, burn_disc_get_profile, (struct burn_drive* d, int* pno, char name[80]),
                       (d, pno, name))
TUNEVALE_LAZY_FUNCTION(burnLibrary, int, burn_disc_get_sectors, (struct burn_disc* d), (d))
TUNEVALE_LAZY_FUNCTION(burnLibrary, enum burn_disc_status, burn_disc_get_status, (struct burn_drive* drive), (drive))
TUNEVALE_LAZY_FUNCTION(burnLibrary, void, burn_disc_write, (struct burn_write_opts* o, struct burn_disc* disc),
                       (o, disc))
TUNEVALE_LAZY_FUNCTION(burnLibrary, void, burn_drive_cancel, (struct burn_drive* drive), (drive))
TUNEVALE_LAZY_FUNCTION(burnLibrary, int, burn_drive_free_speedlist, (struct burn_speed_descriptor** speed_list),
                       (speed_list))
TUNEVALE_LAZY_FUNCTION(burnLibrary, int, burn_drive_get_speedlist,
                       (struct burn_drive* d, struct burn_speed_descriptor** speed_list), (d, speed_list))
TUNEVALE_LAZY_FUNCTION(burnLibrary, enum burn_drive_status, burn_drive_get_status,
                       (struct burn_drive* drive, struct burn_progress* p), (drive, p))
TUNEVALE_LAZY_FUNCTION(burnLibrary, void, burn_drive_info_free, (struct burn_drive_info drive_infos[]), (drive_infos))
TUNEVALE_LAZY_FUNCTION(burnLibrary, int, burn_drive_re_assess, (struct burn_drive* d, int flag), (d, flag))
TUNEVALE_LAZY_FUNCTION(burnLibrary, void, burn_drive_release, (struct burn_drive* drive, int eject), (drive, eject))
TUNEVALE_LAZY_FUNCTION(burnLibrary, int, burn_drive_scan_and_grab,
                       (struct burn_drive_info* drive_infos[], char* adr, int load), (drive_infos, adr, load))
TUNEVALE_LAZY_FUNCTION(burnLibrary, void, burn_drive_set_speed, (struct burn_drive* d, int read, int write),
                       (d, read, write))
TUNEVALE_LAZY_FUNCTION(burnLibrary, int, burn_drive_wrote_well, (struct burn_drive* d), (d))
TUNEVALE_LAZY_FUNCTION(burnLibrary, struct burn_source*, burn_file_source_new, (const char* path, const char* subpath),
                       (path, subpath))
TUNEVALE_LAZY_FUNCTION(burnLibrary, void, burn_finish, (void), ())
TUNEVALE_LAZY_OPENING(burnLibrary, 0, int, burn_initialize, (void), ())
TUNEVALE_LAZY_FUNCTION(burnLibrary, int, burn_msgs_obtain,
                       (char* minimum_severity, int* error_code, char msg_text[], int* os_errno, char severity[]),
                       (minimum_severity, error_code, msg_text, os_errno, severity))
TUNEVALE_LAZY_FUNCTION(burnLibrary, int, burn_msgs_set_severities,
                       (char* queue_severity, char* print_severity, char* print_id),
                       (queue_severity, print_severity, print_id))
TUNEVALE_LAZY_FUNCTION(burnLibrary, int, burn_session_add_track,
                       (struct burn_session* s, struct burn_track* t, unsigned int pos), (s, t, pos))
TUNEVALE_LAZY_FUNCTION(burnLibrary, struct burn_session*, burn_session_create, (void), ())
TUNEVALE_LAZY_FUNCTION(burnLibrary, void, burn_session_free, (struct burn_session* s), (s))
TUNEVALE_LAZY_FUNCTION(burnLibrary, void, burn_source_free, (struct burn_source* s), (s))
TUNEVALE_LAZY_FUNCTION(burnLibrary, struct burn_track*, burn_track_create, (void), ())
TUNEVALE_LAZY_FUNCTION(burnLibrary, void, burn_track_define_data,
                       (struct burn_track* t, int offset, int tail, int pad, int mode), (t, offset, tail, pad, mode))
TUNEVALE_LAZY_FUNCTION(burnLibrary, void, burn_track_free, (struct burn_track* t), (t))
TUNEVALE_LAZY_FUNCTION(burnLibrary, enum burn_source_status, burn_track_set_source,
                       (struct burn_track* t, struct burn_source* s), (t, s))
TUNEVALE_LAZY_FUNCTION(burnLibrary, enum burn_write_types, burn_write_opts_auto_write_type,
                       (struct burn_write_opts* opts, struct burn_disc* disc, char reasons[4096], int flag),
                       (opts, disc, reasons, flag))
TUNEVALE_LAZY_FUNCTION(burnLibrary, void, burn_write_opts_free, (struct burn_write_opts* opts), (opts))
TUNEVALE_LAZY_FUNCTION(burnLibrary, struct burn_write_opts*, burn_write_opts_new, (struct burn_drive* drive), (drive))
TUNEVALE_LAZY_FUNCTION(burnLibrary, void, burn_write_opts_set_multi, (struct burn_write_opts* opts, int multi),
                       (opts, multi))
TUNEVALE_LAZY_FUNCTION(burnLibrary, void, burn_write_opts_set_perform_opc, (struct burn_write_opts* opts, int opc),
                       (opts, opc))
TUNEVALE_LAZY_FUNCTION(burnLibrary, int, burn_write_opts_set_simulate, (struct burn_write_opts* opts, int sim),
                       (opts, sim))
TUNEVALE_LAZY_FUNCTION(burnLibrary, void, burn_write_opts_set_start_byte, (struct burn_write_opts* opts, off_t value),
                       (opts, value))
TUNEVALE_LAZY_FUNCTION(burnLibrary, void, burn_write_opts_set_stdio_fsync, (struct burn_write_opts* opts, int rhythm),
                       (opts, rhythm))
TUNEVALE_LAZY_FUNCTION(burnLibrary, int, burn_write_opts_set_underrun_proof,
                       (struct burn_write_opts* opts, int underrun_proof), (opts, underrun_proof))

}  // extern "C"
}  // namespace burn

extern "C" {

// The caller logs msg when this fails; it names the library that is missing.
int isoburn_initialize(char msg[1024], int flag) {
    if (!isofsLibrary.handle() || !isoburnLibrary.handle()) {
        std::snprintf(msg, 1024, "%s", firstProblem().c_str());
        return 0;
    }
    static const auto function =
        reinterpret_cast<decltype(&isoburn_initialize)>(isoburnLibrary.function("isoburn_initialize"));
    return function(msg, flag);
}

TUNEVALE_LAZY_FUNCTION(isofsLibrary, int, iso_dir_get_node, (IsoDir* dir, const char* name, IsoNode** node),
                       (dir, name, node))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, const char*, iso_error_to_msg, (int errcode), (errcode))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, int, iso_image_create_burn_source,
                       (IsoImage* image, IsoWriteOpts* opts, struct burn_source** burn_src), (image, opts, burn_src))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, IsoDir*, iso_image_get_root, (const IsoImage* image), (image))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, int, iso_image_new, (const char* name, IsoImage** image), (name, image))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, void, iso_image_set_volume_id, (IsoImage* image, const char* volume_id),
                       (image, volume_id))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, void, iso_image_unref, (IsoImage* image), (image))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, enum IsoNodeType, iso_node_get_type, (IsoNode* node), (node))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, int, iso_node_remove, (IsoNode* node), (node))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, int, iso_set_msgs_severities,
                       (char* queue_severity, char* print_severity, char* print_id),
                       (queue_severity, print_severity, print_id))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, int, iso_tree_add_dir_rec, (IsoImage* image, IsoDir* parent, const char* dir),
                       (image, parent, dir))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, int, iso_tree_add_new_node,
                       (IsoImage* image, IsoDir* parent, const char* name, const char* path, IsoNode** node),
                       (image, parent, name, path, node))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, void, iso_tree_set_follow_symlinks, (IsoImage* image, int follow),
                       (image, follow))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, void, iso_tree_set_ignore_hidden, (IsoImage* image, int skip), (image, skip))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, void, iso_tree_set_ignore_special, (IsoImage* image, int skip), (image, skip))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, void, iso_write_opts_free, (IsoWriteOpts* opts), (opts))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, int, iso_write_opts_new, (IsoWriteOpts** opts, int profile), (opts, profile))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, int, iso_write_opts_set_allow_deep_paths, (IsoWriteOpts* opts, int allow),
                       (opts, allow))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, int, iso_write_opts_set_fifo_size, (IsoWriteOpts* opts, size_t fifo_size),
                       (opts, fifo_size))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, int, iso_write_opts_set_ms_block, (IsoWriteOpts* opts, uint32_t ms_block),
                       (opts, ms_block))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, int, iso_write_opts_set_overwrite_buf, (IsoWriteOpts* opts, uint8_t* overwrite),
                       (opts, overwrite))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, int, iso_write_opts_set_iso_level, (IsoWriteOpts* opts, int level), (opts, level))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, int, iso_write_opts_set_joliet, (IsoWriteOpts* opts, int enable), (opts, enable))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, int, iso_write_opts_set_rockridge, (IsoWriteOpts* opts, int enable),
                       (opts, enable))
TUNEVALE_LAZY_FUNCTION(isofsLibrary, int, iso_write_opts_set_sort_files, (IsoWriteOpts* opts, int sort), (opts, sort))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_activate_session, (struct burn_drive* d), (d))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_cancel_prepared_write,
                       (struct burn_drive* input_drive, struct burn_drive* output_drive, int flag),
                       (input_drive, output_drive, flag))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, off_t, isoburn_disc_available_space,
                       (struct burn_drive* d, struct burn_write_opts* o), (d, o))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_disc_erasable, (struct burn_drive* d), (d))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, void, isoburn_disc_erase, (struct burn_drive* drive, int fast), (drive, fast))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, enum burn::burn_disc_status, isoburn_disc_get_status,
                       (struct burn_drive* drive), (drive))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, void, isoburn_disc_write, (struct burn_write_opts* o, struct burn_disc* disc),
                       (o, disc))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_drive_aquire,
                       (struct burn_drive_info* drive_infos[], char* adr, int flag), (drive_infos, adr, flag))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, void, isoburn_drive_release, (struct burn_drive* drive, int eject),
                       (drive, eject))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_drive_wrote_well, (struct burn_drive* d), (d))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_igopt_destroy, (struct isoburn_imgen_opts** o, int flag),
                       (o, flag))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_igopt_new, (struct isoburn_imgen_opts** o, int flag), (o, flag))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_igopt_set_extensions, (struct isoburn_imgen_opts* o, int ext),
                       (o, ext))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_igopt_set_fifo_size, (struct isoburn_imgen_opts* o, int fifo_size),
                       (o, fifo_size))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_igopt_set_level, (struct isoburn_imgen_opts* o, int level),
                       (o, level))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_igopt_set_relaxed, (struct isoburn_imgen_opts* o, int relax),
                       (o, relax))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_igopt_set_sort_files, (struct isoburn_imgen_opts* o, int value),
                       (o, value))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_needs_emulation, (struct burn_drive* d), (d))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_prepare_disc,
                       (struct burn_drive* drive, struct burn_disc** disc, struct isoburn_imgen_opts* opts),
                       (drive, disc, opts))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_read_image,
                       (struct burn_drive* d, struct isoburn_read_opts* read_opts, IsoImage** image),
                       (d, read_opts, image))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_ropt_destroy, (struct isoburn_read_opts** o, int flag), (o, flag))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_ropt_new, (struct isoburn_read_opts** o, int flag), (o, flag))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_ropt_set_extensions, (struct isoburn_read_opts* o, int ext),
                       (o, ext))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_sync_after_write,
                       (struct burn_drive* input_drive, struct burn_drive* output_drive, int flag),
                       (input_drive, output_drive, flag))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, void, isoburn_toc_disc_free, (struct isoburn_toc_disc* disc), (disc))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, int, isoburn_toc_disc_get_sectors, (struct isoburn_toc_disc* disc), (disc))
TUNEVALE_LAZY_FUNCTION(isoburnLibrary, struct isoburn_toc_disc*, isoburn_toc_drive_get_disc, (struct burn_drive* d),
                       (d))

}  // extern "C"
