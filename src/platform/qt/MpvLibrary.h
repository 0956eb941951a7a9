// libmpv, loaded while the player starts. Loading it and the hundred-odd
// libraries it needs takes longer than starting the toolkit and making the
// window, so it is not linked in: the player starts loading it in the
// background as soon as the toolkit is up, and the engine waits for it only
// when it first needs it.
#pragma once

#include <mpv/client.h>
#include <mpv/render.h>

#include <string>

namespace ostrel::platform::qt {

// The libmpv calls the engine makes.
struct MpvApi {
    decltype(&::mpv_client_api_version) client_api_version;
    decltype(&::mpv_create) create;
    decltype(&::mpv_initialize) initialize;
    decltype(&::mpv_terminate_destroy) terminate_destroy;
    decltype(&::mpv_set_option_string) set_option_string;
    decltype(&::mpv_set_wakeup_callback) set_wakeup_callback;
    decltype(&::mpv_wait_event) wait_event;
    decltype(&::mpv_observe_property) observe_property;
    decltype(&::mpv_get_property) get_property;
    decltype(&::mpv_get_property_string) get_property_string;
    decltype(&::mpv_set_property) set_property;
    decltype(&::mpv_set_property_async) set_property_async;
    decltype(&::mpv_command) command;
    decltype(&::mpv_command_async) command_async;
    decltype(&::mpv_free) free;
    decltype(&::mpv_get_time_us) get_time_us;
    decltype(&::mpv_render_context_create) render_context_create;
    decltype(&::mpv_render_context_set_update_callback) render_context_set_update_callback;
    decltype(&::mpv_render_context_update) render_context_update;
    decltype(&::mpv_render_context_get_info) render_context_get_info;
    decltype(&::mpv_render_context_render) render_context_render;
    decltype(&::mpv_render_context_free) render_context_free;
};

// Starts loading libmpv on a thread of its own; later calls do nothing.
void preloadMpv();

// libmpv's calls, once it is loaded (waiting for a load under way, or
// loading it now); null when it cannot be loaded, and `mpvLoadError` says
// why.
const MpvApi* mpvApi();
const std::string& mpvLoadError();

}  // namespace ostrel::platform::qt
