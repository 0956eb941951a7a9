#include "platform/qt/MpvLibrary.h"

#include <dlfcn.h>

#include <cstdio>
#include <future>
#include <mutex>

namespace ostrel::platform::qt {

namespace {

// The library of the interface version the engine was built against.
constexpr const char* kLibraryName = "libmpv.so.2";

struct Loaded {
    MpvApi api{};
    bool ok = false;
    std::string error;
};

Loaded load() {
    Loaded loaded;
    // Lazy binding: a call's symbol is looked up when it is first made.
    void* library = ::dlopen(kLibraryName, RTLD_LAZY | RTLD_LOCAL);
    if (!library) {
        const char* reason = ::dlerror();
        loaded.error = std::string("cannot load ") + kLibraryName + (reason ? ": " : "") +
                       (reason ? reason : "");
        return loaded;
    }
    bool complete = true;
    auto bind = [&](auto& function, const char* name) {
        function =
            reinterpret_cast<std::remove_reference_t<decltype(function)>>(::dlsym(library, name));
        if (!function) {
            complete = false;
            loaded.error = std::string(kLibraryName) + " lacks " + name;
        }
    };
    MpvApi& api = loaded.api;
    bind(api.client_api_version, "mpv_client_api_version");
    bind(api.create, "mpv_create");
    bind(api.initialize, "mpv_initialize");
    bind(api.terminate_destroy, "mpv_terminate_destroy");
    bind(api.set_option_string, "mpv_set_option_string");
    bind(api.set_wakeup_callback, "mpv_set_wakeup_callback");
    bind(api.wait_event, "mpv_wait_event");
    bind(api.observe_property, "mpv_observe_property");
    bind(api.get_property, "mpv_get_property");
    bind(api.get_property_string, "mpv_get_property_string");
    bind(api.set_property, "mpv_set_property");
    bind(api.set_property_async, "mpv_set_property_async");
    bind(api.command, "mpv_command");
    bind(api.command_async, "mpv_command_async");
    bind(api.free, "mpv_free");
    bind(api.get_time_us, "mpv_get_time_us");
    bind(api.render_context_create, "mpv_render_context_create");
    bind(api.render_context_set_update_callback, "mpv_render_context_set_update_callback");
    bind(api.render_context_update, "mpv_render_context_update");
    bind(api.render_context_get_info, "mpv_render_context_get_info");
    bind(api.render_context_render, "mpv_render_context_render");
    bind(api.render_context_free, "mpv_render_context_free");
    if (!complete) return loaded;
    // Same interface generation as the headers the engine was built with.
    if (api.client_api_version() >> 16 != MPV_CLIENT_API_VERSION >> 16) {
        loaded.error = std::string(kLibraryName) + " has another interface version";
        return loaded;
    }
    loaded.ok = true;
    return loaded;
}

std::mutex gMutex;
std::shared_future<Loaded> gLoading;

std::shared_future<Loaded> loading() {
    std::lock_guard lock(gMutex);
    if (!gLoading.valid()) {
        gLoading = std::async(std::launch::async, [] {
                       Loaded loaded = load();
                       // An installation without it can play nothing: say so
                       // once, as the loader would have for a linked library.
                       if (!loaded.ok) std::fprintf(stderr, "ostrel: %s\n", loaded.error.c_str());
                       return loaded;
                   }).share();
    }
    return gLoading;
}

}  // namespace

void preloadMpv() {
    loading();
}

const MpvApi* mpvApi() {
    const Loaded& loaded = loading().get();
    return loaded.ok ? &loaded.api : nullptr;
}

const std::string& mpvLoadError() {
    return loading().get().error;
}

}  // namespace ostrel::platform::qt
