// The display objects of the Linux build. The primary surface is the screen
// the main window is on, in screen coordinates; drawing on it lands in the
// main window's client area only (the clipper's window), painted at once.
// The off-screen surface is a 32-bit RGB image of the screen's size in
// memory, which the stream samples write their frames into. Only the part
// drawn on is kept, from the top-left corner, in rows as wide as that part
// (a clip's frames), the rest being black.
#pragma once

#include <QImage>
#include <memory>

#include "platform/DirectDraw.h"

namespace ostrel::platform::qt {

class WindowSystem;

// The pixel format of every surface here: 32-bit RGB, red in the high byte,
// in the platform's 32-byte record.
PixelFormat rgb32PixelFormat();

class QtDirectDrawClipper final : public DirectDrawClipper {
public:
    Status setHWnd(std::uint32_t flags, WindowHandle window) override;
    // Shared with the surfaces it is attached to, which may outlive it.
    std::shared_ptr<WindowHandle> window() const { return window_; }

private:
    std::shared_ptr<WindowHandle> window_ = std::make_shared<WindowHandle>(nullptr);
};

class QtPrimarySurface final : public DirectDrawSurface {
public:
    explicit QtPrimarySurface(WindowSystem& system) : system_(system) {}
    Status getSurfaceDesc(SurfaceDesc& desc) override;
    Status setClipper(DirectDrawClipper* clipper) override;
    Status blt(const Rect* destRect, DirectDrawSurface* source, const Rect* sourceRect,
               std::uint32_t flags, const BltFx* fx) override;

private:
    WindowSystem& system_;
    std::shared_ptr<WindowHandle> clipWindow_;
};

class QtOffscreenSurface final : public DirectDrawSurface {
public:
    QtOffscreenSurface(int width, int height);
    Status getSurfaceDesc(SurfaceDesc& desc) override;
    Status setClipper(DirectDrawClipper* clipper) override;
    Status blt(const Rect* destRect, DirectDrawSurface* source, const Rect* sourceRect,
               std::uint32_t flags, const BltFx* fx) override;
    // The part drawn on so far, from the top-left corner (empty at first).
    // The object stays the same when the part grows, so a stream sample and
    // the window may hold it.
    const std::shared_ptr<QImage>& image() const { return image_; }
    // Grows the part drawn on to cover `area` (within the surface; what is
    // new is black). False when it is outside or memory cannot be had.
    bool cover(const QRect& area);

private:
    QSize size_;
    std::shared_ptr<QImage> image_ = std::make_shared<QImage>();
};

class QtDirectDraw final : public DirectDraw {
public:
    explicit QtDirectDraw(WindowSystem& system) : system_(system) {}
    Status createSurface(SurfaceDesc& desc, std::unique_ptr<DirectDrawSurface>& surface) override;
    Status createClipper(std::uint32_t flags, std::unique_ptr<DirectDrawClipper>& clipper) override;

private:
    WindowSystem& system_;
};

class QtDirectDrawFactory final : public DirectDrawFactory {
public:
    explicit QtDirectDrawFactory(WindowSystem& system) : system_(system) {}
    Status createDirectDraw(WindowHandle window, std::uint32_t cooperativeLevel,
                            std::unique_ptr<DirectDraw>& directDraw) override;

private:
    WindowSystem& system_;
};

}  // namespace ostrel::platform::qt
