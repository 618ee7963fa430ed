// libvorbisenc, libvorbisfile and libmp3lame, loaded when a decode or an
// encode first calls them rather than with the program (platform/
// lazylibrary.h says why; libvorbisenc's mode tables alone cost the loader
// thousands of relocations). libvorbis's own stand-ins are with the tag
// code, which calls it too.
//
// The calls that open something (a decoder on a file, an MP3 encoder, an Ogg
// encoder's mode) fail without their library, as they do for a file or a
// setting they refuse, and the caller's error says so; every other call
// comes only after one of those succeeded.

#include <lame/lame.h>
#include <vorbis/vorbisenc.h>
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include "platform/lazylibrary.h"

namespace {

LazyLibrary vorbisencLibrary("libvorbisenc.so.2");
LazyLibrary vorbisfileLibrary("libvorbisfile.so.3");
LazyLibrary lameLibrary("libmp3lame.so.0");

}  // namespace

extern "C" {

TUNEVALE_LAZY_FUNCTION(vorbisencLibrary, int, vorbis_encode_ctl, (vorbis_info* vi, int number, void* arg),
                       (vi, number, arg))
TUNEVALE_LAZY_OPENING(vorbisencLibrary, OV_EIMPL, int, vorbis_encode_init_vbr,
                      (vorbis_info* vi, long channels, long rate, float base_quality), (vi, channels, rate, base_quality))
TUNEVALE_LAZY_FUNCTION(vorbisencLibrary, int, vorbis_encode_setup_init, (vorbis_info* vi), (vi))
TUNEVALE_LAZY_OPENING(vorbisencLibrary, OV_EIMPL, int, vorbis_encode_setup_managed,
                      (vorbis_info* vi, long channels, long rate, long max_bitrate, long nominal_bitrate,
                       long min_bitrate),
                      (vi, channels, rate, max_bitrate, nominal_bitrate, min_bitrate))

TUNEVALE_LAZY_FUNCTION(vorbisfileLibrary, long, ov_bitrate, (OggVorbis_File* vf, int i), (vf, i))
TUNEVALE_LAZY_FUNCTION(vorbisfileLibrary, int, ov_clear, (OggVorbis_File* vf), (vf))
TUNEVALE_LAZY_OPENING(vorbisfileLibrary, OV_EFAULT, int, ov_fopen, (const char* path, OggVorbis_File* vf), (path, vf))
TUNEVALE_LAZY_FUNCTION(vorbisfileLibrary, vorbis_info*, ov_info, (OggVorbis_File* vf, int link), (vf, link))
TUNEVALE_LAZY_FUNCTION(vorbisfileLibrary, int, ov_pcm_seek, (OggVorbis_File* vf, ogg_int64_t pos), (vf, pos))
TUNEVALE_LAZY_FUNCTION(vorbisfileLibrary, ogg_int64_t, ov_pcm_total, (OggVorbis_File* vf, int i), (vf, i))
TUNEVALE_LAZY_FUNCTION(vorbisfileLibrary, long, ov_read,
                       (OggVorbis_File* vf, char* buffer, int length, int bigendianp, int word, int sgned,
                        int* bitstream),
                       (vf, buffer, length, bigendianp, word, sgned, bitstream))

TUNEVALE_LAZY_FUNCTION(lameLibrary, int, lame_close, (lame_global_flags* gfp), (gfp))
TUNEVALE_LAZY_FUNCTION(lameLibrary, int, lame_encode_buffer,
                       (lame_global_flags* gfp, const short int buffer_l[], const short int buffer_r[],
                        const int nsamples, unsigned char* mp3buf, const int mp3buf_size),
                       (gfp, buffer_l, buffer_r, nsamples, mp3buf, mp3buf_size))
TUNEVALE_LAZY_FUNCTION(lameLibrary, int, lame_encode_buffer_interleaved,
                       (lame_global_flags* gfp, short int pcm[], int num_samples, unsigned char* mp3buf,
                        int mp3buf_size),
                       (gfp, pcm, num_samples, mp3buf, mp3buf_size))
TUNEVALE_LAZY_FUNCTION(lameLibrary, int, lame_encode_flush, (lame_global_flags* gfp, unsigned char* mp3buf, int size),
                       (gfp, mp3buf, size))
TUNEVALE_LAZY_FUNCTION(lameLibrary, size_t, lame_get_lametag_frame,
                       (const lame_global_flags* gfp, unsigned char* buffer, size_t size), (gfp, buffer, size))
TUNEVALE_LAZY_OPENING(lameLibrary, nullptr, lame_global_flags*, lame_init, (void), ())
TUNEVALE_LAZY_FUNCTION(lameLibrary, int, lame_init_params, (lame_global_flags* gfp), (gfp))
TUNEVALE_LAZY_FUNCTION(lameLibrary, int, lame_set_VBR, (lame_global_flags* gfp, vbr_mode mode), (gfp, mode))
TUNEVALE_LAZY_FUNCTION(lameLibrary, int, lame_set_bWriteVbrTag, (lame_global_flags* gfp, int write), (gfp, write))
TUNEVALE_LAZY_FUNCTION(lameLibrary, int, lame_set_brate, (lame_global_flags* gfp, int kbps), (gfp, kbps))
TUNEVALE_LAZY_FUNCTION(lameLibrary, int, lame_set_force_ms, (lame_global_flags* gfp, int force), (gfp, force))
TUNEVALE_LAZY_FUNCTION(lameLibrary, int, lame_set_in_samplerate, (lame_global_flags* gfp, int rate), (gfp, rate))
TUNEVALE_LAZY_FUNCTION(lameLibrary, int, lame_set_mode, (lame_global_flags* gfp, MPEG_mode mode), (gfp, mode))
TUNEVALE_LAZY_FUNCTION(lameLibrary, int, lame_set_num_channels, (lame_global_flags* gfp, int channels), (gfp, channels))
TUNEVALE_LAZY_FUNCTION(lameLibrary, int, lame_set_out_samplerate, (lame_global_flags* gfp, int rate), (gfp, rate))

}  // extern "C"
