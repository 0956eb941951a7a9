// The video path's display objects: a DirectDraw factory makes the DirectDraw
// object for the desktop; that object makes the primary surface (the screen),
// an off-screen surface the streams decode into, and a clipper that keeps all
// drawing on the primary surface inside the main window.
//
// Every object is owned through std::unique_ptr: destroying the pointer is
// the platform's Release of the one reference the player holds.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/Types.h"

namespace ostrel::platform {

// Flags and capabilities, with the platform's values.
inline constexpr std::uint32_t kDdsdCaps = 0x1;
inline constexpr std::uint32_t kDdsdHeight = 0x2;
inline constexpr std::uint32_t kDdsdWidth = 0x4;
inline constexpr std::uint32_t kDdsdPixelFormat = 0x1000;
inline constexpr std::uint32_t kDdsCapsOffscreenPlain = 0x40;
inline constexpr std::uint32_t kDdsCapsPrimarySurface = 0x200;
inline constexpr std::uint32_t kDdsclNormal = 8;
inline constexpr std::uint32_t kDdbltColorFill = 0x400;
inline constexpr std::uint32_t kDdbltWait = 0x01000000;

// The surface description record. Only the fields the player reads or sets
// are named; the pixel format travels as the platform's 32 opaque bytes.
struct PixelFormat {
    std::uint8_t bytes[32] = {};
};

struct SurfaceDesc {
    std::uint32_t size = 108;
    std::uint32_t flags = 0;
    std::uint32_t height = 0;
    std::uint32_t width = 0;
    std::uint32_t caps = 0;
    PixelFormat pixelFormat;
};

// The blit effects record: only the fill colour is used.
struct BltFx {
    std::uint32_t size = 100;
    std::uint32_t fillColor = 0;
};

class DirectDrawClipper {
public:
    virtual ~DirectDrawClipper() = default;
    // Binds the clipper to a window: blits through it land only in the
    // window's visible part.
    virtual Status setHWnd(std::uint32_t flags, WindowHandle window) = 0;
};

class DirectDrawSurface {
public:
    virtual ~DirectDrawSurface() = default;
    // Fills `desc` (its size field must be 108) with the surface's width,
    // height and pixel format.
    virtual Status getSurfaceDesc(SurfaceDesc& desc) = 0;
    virtual Status setClipper(DirectDrawClipper* clipper) = 0;
    // Copies `sourceRect` of `source`, scaled, to `destRect` of this surface,
    // or with kDdbltColorFill paints `destRect` with fx->fillColor. On the
    // primary surface rectangles are screen coordinates. May answer
    // kStillDrawing (only without kDdbltWait) or kSurfaceLost.
    virtual Status blt(const Rect* destRect, DirectDrawSurface* source, const Rect* sourceRect,
                       std::uint32_t flags, const BltFx* fx) = 0;
};

class DirectDraw {
public:
    virtual ~DirectDraw() = default;
    virtual Status createSurface(SurfaceDesc& desc,
                                 std::unique_ptr<DirectDrawSurface>& surface) = 0;
    virtual Status createClipper(std::uint32_t flags,
                                 std::unique_ptr<DirectDrawClipper>& clipper) = 0;
};

class DirectDrawFactory {
public:
    virtual ~DirectDrawFactory() = default;
    // Makes the DirectDraw object of the default display, owned by `window`
    // (the desktop), at the given cooperative level.
    virtual Status createDirectDraw(WindowHandle window, std::uint32_t cooperativeLevel,
                                    std::unique_ptr<DirectDraw>& directDraw) = 0;
};

}  // namespace ostrel::platform
