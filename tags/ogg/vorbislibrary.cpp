// libvorbis, loaded when the tag editor or the Ogg encoder first calls it
// rather than with the program (platform/lazylibrary.h says why). The
// functions below stand in for every one of its functions the program calls,
// here and in the encoder above; each looks up its real one once. libogg,
// which the tag code calls throughout and which is a small library without
// dependencies, stays linked.

#include <vorbis/codec.h>

#include "platform/lazylibrary.h"

namespace {

LazyLibrary vorbisLibrary("libvorbis.so.0");

}  // namespace

extern "C" {

TUNEVALE_LAZY_FUNCTION(vorbisLibrary, int, vorbis_analysis, (vorbis_block* vb, ogg_packet* op), (vb, op))
TUNEVALE_LAZY_FUNCTION(vorbisLibrary, int, vorbis_analysis_blockout, (vorbis_dsp_state* v, vorbis_block* vb), (v, vb))
TUNEVALE_LAZY_FUNCTION(vorbisLibrary, float**, vorbis_analysis_buffer, (vorbis_dsp_state* v, int vals), (v, vals))
TUNEVALE_LAZY_FUNCTION(vorbisLibrary, int, vorbis_analysis_headerout,
                       (vorbis_dsp_state* v, vorbis_comment* vc, ogg_packet* op, ogg_packet* op_comm,
                        ogg_packet* op_code),
                       (v, vc, op, op_comm, op_code))
TUNEVALE_LAZY_FUNCTION(vorbisLibrary, int, vorbis_analysis_init, (vorbis_dsp_state* v, vorbis_info* vi), (v, vi))
TUNEVALE_LAZY_FUNCTION(vorbisLibrary, int, vorbis_analysis_wrote, (vorbis_dsp_state* v, int vals), (v, vals))
TUNEVALE_LAZY_FUNCTION(vorbisLibrary, int, vorbis_bitrate_addblock, (vorbis_block* vb), (vb))
TUNEVALE_LAZY_FUNCTION(vorbisLibrary, int, vorbis_bitrate_flushpacket, (vorbis_dsp_state* vd, ogg_packet* op), (vd, op))
TUNEVALE_LAZY_FUNCTION(vorbisLibrary, int, vorbis_block_clear, (vorbis_block* vb), (vb))
TUNEVALE_LAZY_FUNCTION(vorbisLibrary, int, vorbis_block_init, (vorbis_dsp_state* v, vorbis_block* vb), (v, vb))
TUNEVALE_LAZY_FUNCTION(vorbisLibrary, void, vorbis_comment_add, (vorbis_comment* vc, const char* comment), (vc, comment))
TUNEVALE_LAZY_FUNCTION(vorbisLibrary, void, vorbis_comment_clear, (vorbis_comment* vc), (vc))
TUNEVALE_LAZY_FUNCTION(vorbisLibrary, void, vorbis_comment_init, (vorbis_comment* vc), (vc))
TUNEVALE_LAZY_FUNCTION(vorbisLibrary, int, vorbis_commentheader_out, (vorbis_comment* vc, ogg_packet* op), (vc, op))
TUNEVALE_LAZY_FUNCTION(vorbisLibrary, void, vorbis_dsp_clear, (vorbis_dsp_state* v), (v))
TUNEVALE_LAZY_FUNCTION(vorbisLibrary, void, vorbis_info_clear, (vorbis_info* vi), (vi))
TUNEVALE_LAZY_FUNCTION(vorbisLibrary, void, vorbis_info_init, (vorbis_info* vi), (vi))
TUNEVALE_LAZY_FUNCTION(vorbisLibrary, int, vorbis_synthesis_headerin, (vorbis_info* vi, vorbis_comment* vc, ogg_packet* op),
                       (vi, vc, op))

}  // extern "C"
