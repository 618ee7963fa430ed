// libpulse, loaded when the recorder first talks to the sound server rather
// than with the program (platform/lazylibrary.h says why; it brings its own
// common library and libsndfile's codecs with it). The functions below stand
// in for the ones the recorder's input calls. Without the library the
// recorder's first call, which makes its main loop, fails as a server that
// cannot be reached does; every other call needs what that one made.

#include <pulse/pulseaudio.h>
#include <pulse/thread-mainloop.h>

#include "platform/lazylibrary.h"

namespace {

LazyLibrary pulseLibrary("libpulse.so.0");

}  // namespace

extern "C" {

TUNEVALE_LAZY_FUNCTION(pulseLibrary, int, pa_context_connect,
                       (pa_context* c, const char* server, pa_context_flags_t flags, const pa_spawn_api* api),
                       (c, server, flags, api))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, void, pa_context_disconnect, (pa_context* c), (c))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, pa_operation*, pa_context_get_server_info,
                       (pa_context* c, pa_server_info_cb_t cb, void* userdata), (c, cb, userdata))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, pa_operation*, pa_context_get_source_info_list,
                       (pa_context* c, pa_source_info_cb_t cb, void* userdata), (c, cb, userdata))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, pa_context_state_t, pa_context_get_state, (const pa_context* c), (c))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, pa_context*, pa_context_new, (pa_mainloop_api* mainloop, const char* name),
                       (mainloop, name))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, pa_operation*, pa_context_set_source_port_by_name,
                       (pa_context* c, const char* name, const char* port, pa_context_success_cb_t cb, void* userdata),
                       (c, name, port, cb, userdata))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, pa_operation*, pa_context_set_source_volume_by_name,
                       (pa_context* c, const char* name, const pa_cvolume* volume, pa_context_success_cb_t cb,
                        void* userdata),
                       (c, name, volume, cb, userdata))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, void, pa_context_set_state_callback,
                       (pa_context* c, pa_context_notify_cb_t cb, void* userdata), (c, cb, userdata))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, void, pa_context_unref, (pa_context* c), (c))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, pa_volume_t, pa_cvolume_avg, (const pa_cvolume* a), (a))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, pa_cvolume*, pa_cvolume_set, (pa_cvolume* a, unsigned channels, pa_volume_t v),
                       (a, channels, v))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, pa_operation_state_t, pa_operation_get_state, (const pa_operation* o), (o))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, void, pa_operation_unref, (pa_operation* o), (o))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, int, pa_sample_spec_valid, (const pa_sample_spec* spec), (spec))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, int, pa_stream_connect_record,
                       (pa_stream* s, const char* dev, const pa_buffer_attr* attr, pa_stream_flags_t flags),
                       (s, dev, attr, flags))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, int, pa_stream_disconnect, (pa_stream* s), (s))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, int, pa_stream_drop, (pa_stream* p), (p))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, pa_stream_state_t, pa_stream_get_state, (const pa_stream* p), (p))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, pa_stream*, pa_stream_new,
                       (pa_context* c, const char* name, const pa_sample_spec* ss, const pa_channel_map* map),
                       (c, name, ss, map))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, int, pa_stream_peek, (pa_stream* p, const void** data, size_t* nbytes),
                       (p, data, nbytes))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, size_t, pa_stream_readable_size, (const pa_stream* p), (p))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, void, pa_stream_set_read_callback,
                       (pa_stream* p, pa_stream_request_cb_t cb, void* userdata), (p, cb, userdata))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, void, pa_stream_set_state_callback,
                       (pa_stream* s, pa_stream_notify_cb_t cb, void* userdata), (s, cb, userdata))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, void, pa_stream_unref, (pa_stream* s), (s))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, void, pa_threaded_mainloop_free, (pa_threaded_mainloop* m), (m))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, pa_mainloop_api*, pa_threaded_mainloop_get_api, (pa_threaded_mainloop* m), (m))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, void, pa_threaded_mainloop_lock, (pa_threaded_mainloop* m), (m))
TUNEVALE_LAZY_OPENING(pulseLibrary, nullptr, pa_threaded_mainloop*, pa_threaded_mainloop_new, (void), ())
TUNEVALE_LAZY_FUNCTION(pulseLibrary, void, pa_threaded_mainloop_signal, (pa_threaded_mainloop* m, int wait_for_accept),
                       (m, wait_for_accept))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, int, pa_threaded_mainloop_start, (pa_threaded_mainloop* m), (m))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, void, pa_threaded_mainloop_stop, (pa_threaded_mainloop* m), (m))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, void, pa_threaded_mainloop_unlock, (pa_threaded_mainloop* m), (m))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, void, pa_threaded_mainloop_wait, (pa_threaded_mainloop* m), (m))
TUNEVALE_LAZY_FUNCTION(pulseLibrary, size_t, pa_usec_to_bytes, (pa_usec_t t, const pa_sample_spec* spec), (t, spec))

}  // extern "C"
