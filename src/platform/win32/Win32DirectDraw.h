// The display objects on Windows: the DirectDraw factory, the DirectDraw
// object it makes, surfaces and clippers, each a wrapper that holds one
// reference to its system object.
#pragma once

#include "platform/DirectDraw.h"
#include "platform/win32/Guids.h"
#include "platform/win32/Win32Common.h"

namespace ostrel::platform::win32 {

// The x86 size of DDSURFACEDESC and DDBLTFX, which the core writes into the
// records' size fields. The system's own records are larger on x86_64; they
// are filled with the sizes of this build's headers.
inline constexpr std::uint32_t kSurfaceDescSize = 108;
inline constexpr std::uint32_t kBltFxSize = 100;

// The system record for `desc` (size, flags, width, height, caps and pixel
// format), and back again.
DDSURFACEDESC toSystemDesc(const SurfaceDesc& desc);
void fromSystemDesc(const DDSURFACEDESC& system, SurfaceDesc& desc);

class Win32DirectDrawClipper final : public DirectDrawClipper {
public:
    explicit Win32DirectDrawClipper(IDirectDrawClipper* clipper) : clipper_(clipper) {}
    Status setHWnd(std::uint32_t flags, WindowHandle window) override;
    IDirectDrawClipper* get() const { return clipper_.get(); }

private:
    ComRef<IDirectDrawClipper> clipper_;
};

class Win32DirectDrawSurface final : public DirectDrawSurface {
public:
    explicit Win32DirectDrawSurface(IDirectDrawSurface* surface) : surface_(surface) {}
    Status getSurfaceDesc(SurfaceDesc& desc) override;
    Status setClipper(DirectDrawClipper* clipper) override;
    Status blt(const Rect* destRect, DirectDrawSurface* source, const Rect* sourceRect,
               std::uint32_t flags, const BltFx* fx) override;
    IDirectDrawSurface* get() const { return surface_.get(); }

private:
    ComRef<IDirectDrawSurface> surface_;
};

class Win32DirectDraw final : public DirectDraw {
public:
    explicit Win32DirectDraw(IDirectDraw* directDraw) : directDraw_(directDraw) {}
    Status createSurface(SurfaceDesc& desc, std::unique_ptr<DirectDrawSurface>& surface) override;
    Status createClipper(std::uint32_t flags, std::unique_ptr<DirectDrawClipper>& clipper) override;
    IDirectDraw* get() const { return directDraw_.get(); }

private:
    ComRef<IDirectDraw> directDraw_;
};

class Win32DirectDrawFactory final : public DirectDrawFactory {
public:
    explicit Win32DirectDrawFactory(IDirectDrawFactory* factory) : factory_(factory) {}
    Status createDirectDraw(WindowHandle window, std::uint32_t cooperativeLevel,
                            std::unique_ptr<DirectDraw>& directDraw) override;

private:
    ComRef<IDirectDrawFactory> factory_;
};

// Objects of one build only ever meet each other: a surface or clipper the
// core hands back was made by this build.
inline IDirectDrawSurface* systemSurface(DirectDrawSurface* surface) {
    return surface ? static_cast<Win32DirectDrawSurface*>(surface)->get() : nullptr;
}
inline IDirectDraw* systemDirectDraw(DirectDraw* directDraw) {
    return directDraw ? static_cast<Win32DirectDraw*>(directDraw)->get() : nullptr;
}

}  // namespace ostrel::platform::win32
