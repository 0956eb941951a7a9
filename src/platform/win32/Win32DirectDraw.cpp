#include "platform/win32/Win32DirectDraw.h"

#include <cstring>

#include "platform/win32/Win32Wrap.h"

namespace ostrel::platform::win32 {

static_assert(sizeof(DDPIXELFORMAT) == sizeof(PixelFormat::bytes),
              "the pixel format travels through the core as the system's bytes");
static_assert(sizeof(RECT) == sizeof(Rect));

DDSURFACEDESC toSystemDesc(const SurfaceDesc& desc) {
    DDSURFACEDESC system;
    std::memset(&system, 0, sizeof system);
    system.dwSize = sizeof(DDSURFACEDESC);
    system.dwFlags = desc.flags;
    system.dwHeight = desc.height;
    system.dwWidth = desc.width;
    system.ddsCaps.dwCaps = desc.caps;
    std::memcpy(&system.ddpfPixelFormat, desc.pixelFormat.bytes, sizeof system.ddpfPixelFormat);
    return system;
}

void fromSystemDesc(const DDSURFACEDESC& system, SurfaceDesc& desc) {
    desc.flags = system.dwFlags;
    desc.height = system.dwHeight;
    desc.width = system.dwWidth;
    desc.caps = system.ddsCaps.dwCaps;
    std::memcpy(desc.pixelFormat.bytes, &system.ddpfPixelFormat, sizeof desc.pixelFormat.bytes);
}

Status Win32DirectDrawClipper::setHWnd(std::uint32_t flags, WindowHandle window) {
    return clipper_->SetHWnd(flags, toHwnd(window));
}

Status Win32DirectDrawSurface::getSurfaceDesc(SurfaceDesc& desc) {
    // DirectDraw refuses a record whose size field is wrong; so do we, so
    // that the player behaves the same whatever it runs on.
    if (desc.size != kSurfaceDescSize) return DDERR_INVALIDPARAMS;
    DDSURFACEDESC system = toSystemDesc(SurfaceDesc{});
    HRESULT result = surface_->GetSurfaceDesc(&system);
    if (SUCCEEDED(result)) fromSystemDesc(system, desc);
    return result;
}

Status Win32DirectDrawSurface::setClipper(DirectDrawClipper* clipper) {
    IDirectDrawClipper* system =
        clipper ? static_cast<Win32DirectDrawClipper*>(clipper)->get() : nullptr;
    return surface_->SetClipper(system);
}

Status Win32DirectDrawSurface::blt(const Rect* destRect, DirectDrawSurface* source,
                                   const Rect* sourceRect, std::uint32_t flags, const BltFx* fx) {
    RECT dest = destRect ? toRect(*destRect) : RECT{};
    RECT src = sourceRect ? toRect(*sourceRect) : RECT{};
    DDBLTFX systemFx;
    std::memset(&systemFx, 0, sizeof systemFx);
    if (fx) {
        if (fx->size != kBltFxSize) return DDERR_INVALIDPARAMS;
        systemFx.dwSize = sizeof(DDBLTFX);
        systemFx.dwFillColor = fx->fillColor;
    }
    return surface_->Blt(destRect ? &dest : nullptr, systemSurface(source),
                         sourceRect ? &src : nullptr, flags, fx ? &systemFx : nullptr);
}

Status Win32DirectDraw::createSurface(SurfaceDesc& desc,
                                      std::unique_ptr<DirectDrawSurface>& surface) {
    if (desc.size != kSurfaceDescSize) return DDERR_INVALIDPARAMS;
    DDSURFACEDESC system = toSystemDesc(desc);
    IDirectDrawSurface* made = nullptr;
    HRESULT result = directDraw_->CreateSurface(&system, &made, nullptr);
    if (FAILED(result)) return result;
    HRESULT wrapped = wrapInto<Win32DirectDrawSurface>(made, surface);
    return FAILED(wrapped) ? wrapped : result;
}

Status Win32DirectDraw::createClipper(std::uint32_t flags,
                                      std::unique_ptr<DirectDrawClipper>& clipper) {
    IDirectDrawClipper* made = nullptr;
    HRESULT result = directDraw_->CreateClipper(flags, &made, nullptr);
    if (FAILED(result)) return result;
    HRESULT wrapped = wrapInto<Win32DirectDrawClipper>(made, clipper);
    return FAILED(wrapped) ? wrapped : result;
}

Status Win32DirectDrawFactory::createDirectDraw(WindowHandle window, std::uint32_t cooperativeLevel,
                                                std::unique_ptr<DirectDraw>& directDraw) {
    IDirectDraw* made = nullptr;
    // The default display (no device identifier), no reserved value, no
    // outer object.
    HRESULT result =
        factory_->CreateDirectDraw(nullptr, toHwnd(window), cooperativeLevel, 0, nullptr, &made);
    if (FAILED(result)) return result;
    HRESULT wrapped = wrapInto<Win32DirectDraw>(made, directDraw);
    return FAILED(wrapped) ? wrapped : result;
}

}  // namespace ostrel::platform::win32
