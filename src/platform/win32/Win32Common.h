// What every file of the Windows build shares: the system headers in the one
// configuration the player uses, the conversions between the core's opaque
// handles and the system's, and the owning reference to a component object.
#pragma once

// clang-format off
// windows.h must come first: the others build on its types.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <mmsystem.h>
#include <objbase.h>
#include <shellapi.h>
#include <intshcut.h>
#include <ddraw.h>
#include <mmstream.h>
#include <amstream.h>
#include <ddstream.h>
// clang-format on

// The seam has a call of this name; the system's ANSI function is called by
// its full name, sndPlaySoundA.
#undef sndPlaySound

#include <utility>

#include "platform/Types.h"
#include "platform/WindowSystem.h"

namespace ostrel::platform::win32 {

// The core keeps handles as pointers to incomplete types; on Windows each of
// them is the system's own handle value, so a conversion is a plain cast.
inline HWND toHwnd(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}
inline WindowHandle fromHwnd(HWND window) {
    return reinterpret_cast<WindowHandle>(window);
}
inline HINSTANCE toHinstance(InstanceHandle instance) {
    return reinterpret_cast<HINSTANCE>(instance);
}
inline InstanceHandle fromHinstance(HINSTANCE instance) {
    return reinterpret_cast<InstanceHandle>(instance);
}

inline RECT toRect(const Rect& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}
inline Rect fromRect(const RECT& r) {
    return Rect{r.left, r.top, r.right, r.bottom};
}

// Holds one reference to a component object and releases it when it goes.
// The seam owns every object through std::unique_ptr of a wrapper class; the
// wrapper keeps its interface in one of these, so destroying the wrapper is
// exactly one Release.
template <class Interface>
class ComRef {
public:
    ComRef() = default;
    explicit ComRef(Interface* object) : object_(object) {}
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) {
            reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    ~ComRef() { reset(); }

    void reset() {
        if (object_) std::exchange(object_, nullptr)->Release();
    }
    Interface* get() const { return object_; }
    Interface* operator->() const { return object_; }
    // The slot a creating call writes its new reference into.
    Interface** put() {
        reset();
        return &object_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    Interface* release() { return std::exchange(object_, nullptr); }

private:
    Interface* object_ = nullptr;
};

}  // namespace ostrel::platform::win32
