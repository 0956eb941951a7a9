#include "platform/qt/QtDirectDraw.h"

#include <sys/mman.h>

#include <QPainter>
#include <algorithm>
#include <cstring>

#include "platform/qt/QtWindowSystem.h"

namespace ostrel::platform::qt {

namespace {

constexpr std::uint32_t kSurfaceDescSize = 108;
constexpr std::uint32_t kPixelFormatRgb = 0x40;
constexpr std::uint32_t kPixelFormatSize = 32;

void putWord(PixelFormat& format, int index, std::uint32_t value) {
    std::memcpy(format.bytes + index * 4, &value, 4);
}

QRect toQRect(const Rect& r) {
    return QRect(QPoint(r.left, r.top), QSize(r.right - r.left, r.bottom - r.top));
}

void describe(SurfaceDesc& desc, QSize size, std::uint32_t caps) {
    desc.flags = kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat;
    desc.width = static_cast<std::uint32_t>(size.width());
    desc.height = static_cast<std::uint32_t>(size.height());
    desc.caps = caps;
    desc.pixelFormat = rgb32PixelFormat();
}

}  // namespace

PixelFormat rgb32PixelFormat() {
    // Size, flags, four-character code, bits per pixel, red, green, blue and
    // alpha masks: the layout of the platform's pixel format record.
    PixelFormat format;
    putWord(format, 0, kPixelFormatSize);
    putWord(format, 1, kPixelFormatRgb);
    putWord(format, 2, 0);
    putWord(format, 3, 32);
    putWord(format, 4, 0x00FF0000);
    putWord(format, 5, 0x0000FF00);
    putWord(format, 6, 0x000000FF);
    putWord(format, 7, 0);
    return format;
}

Status QtDirectDrawClipper::setHWnd(std::uint32_t, WindowHandle window) {
    *window_ = window;
    return kOk;
}

Status QtPrimarySurface::getSurfaceDesc(SurfaceDesc& desc) {
    if (desc.size != kSurfaceDescSize) return kFail;
    QSize screen = system_.screenSize();
    if (screen.isEmpty()) return kFail;
    describe(desc, screen, kDdsCapsPrimarySurface);
    return kOk;
}

Status QtPrimarySurface::setClipper(DirectDrawClipper* clipper) {
    auto* own = dynamic_cast<QtDirectDrawClipper*>(clipper);
    if (clipper && !own) return kFail;
    clipWindow_ = own ? own->window() : nullptr;
    return kOk;
}

Status QtPrimarySurface::blt(const Rect* destRect, DirectDrawSurface* source,
                             const Rect* sourceRect, std::uint32_t flags, const BltFx* fx) {
    // The screen is only ever drawn on inside the player's own window: with
    // or without a clipper, that is where the picture goes.
    if (flags & kDdbltColorFill) {
        if (!fx) return kFail;
        system_.fillScreen(destRect, fx->fillColor);
        return kOk;
    }
    auto* offscreen = dynamic_cast<QtOffscreenSurface*>(source);
    if (!offscreen) return kFail;
    system_.blitScreen(destRect, offscreen->image(), sourceRect);
    return kOk;
}

namespace {

// A black image in memory that comes zeroed from the system, its rows on
// 64-byte boundaries, where the video converter writes fastest.
QImage blackImage(int width, int height) {
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * 4 + 63) / 64 * 64;
    const std::size_t bytes = rowBytes * static_cast<std::size_t>(height);
    void* memory =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return QImage();
    struct Mapping {
        void* memory;
        std::size_t bytes;
    };
    auto release = [](void* info) {
        auto* mapping = static_cast<Mapping*>(info);
        ::munmap(mapping->memory, mapping->bytes);
        delete mapping;
    };
    return QImage(static_cast<uchar*>(memory), width, height, static_cast<qsizetype>(rowBytes),
                  QImage::Format_RGB32, release, new Mapping{memory, bytes});
}

}  // namespace

QtOffscreenSurface::QtOffscreenSurface(int width, int height) : size_(width, height) {}

bool QtOffscreenSurface::cover(const QRect& area) {
    if (!QRect(QPoint(0, 0), size_).contains(area)) return false;
    const QRect drawn = image_->rect();
    if (drawn.contains(area)) return true;
    QImage grown = blackImage(std::max(drawn.width(), area.right() + 1),
                              std::max(drawn.height(), area.bottom() + 1));
    if (grown.isNull()) return false;
    if (!image_->isNull()) QPainter(&grown).drawImage(0, 0, *image_);
    *image_ = std::move(grown);
    return true;
}

Status QtOffscreenSurface::getSurfaceDesc(SurfaceDesc& desc) {
    if (desc.size != kSurfaceDescSize) return kFail;
    describe(desc, size_, kDdsCapsOffscreenPlain);
    return kOk;
}

Status QtOffscreenSurface::setClipper(DirectDrawClipper*) {
    // A clipper belongs to a surface on the screen.
    return kFail;
}

Status QtOffscreenSurface::blt(const Rect* destRect, DirectDrawSurface* source,
                               const Rect* sourceRect, std::uint32_t flags, const BltFx* fx) {
    QRect target = destRect ? toQRect(*destRect) : QRect(QPoint(0, 0), size_);
    if (!cover(target.intersected(QRect(QPoint(0, 0), size_)))) return kFail;
    QPainter painter(image_.get());
    if (flags & kDdbltColorFill) {
        if (!fx) return kFail;
        painter.fillRect(target, QColor::fromRgb(0xFF000000u | fx->fillColor));
        return kOk;
    }
    auto* offscreen = dynamic_cast<QtOffscreenSurface*>(source);
    if (!offscreen || offscreen == this) return kFail;
    const QImage& from = *offscreen->image();
    painter.drawImage(target, from, sourceRect ? toQRect(*sourceRect) : from.rect());
    return kOk;
}

Status QtDirectDraw::createSurface(SurfaceDesc& desc, std::unique_ptr<DirectDrawSurface>& surface) {
    if (desc.size != kSurfaceDescSize || !(desc.flags & kDdsdCaps)) return kFail;
    if (desc.caps & kDdsCapsPrimarySurface) {
        surface = std::make_unique<QtPrimarySurface>(system_);
        return kOk;
    }
    constexpr std::uint32_t kSized = kDdsdWidth | kDdsdHeight;
    if (!(desc.caps & kDdsCapsOffscreenPlain) || (desc.flags & kSized) != kSized) return kFail;
    // Only the one format this build draws with can be made.
    if ((desc.flags & kDdsdPixelFormat) &&
        std::memcmp(desc.pixelFormat.bytes, rgb32PixelFormat().bytes, kPixelFormatSize) != 0) {
        return kFail;
    }
    if (desc.width == 0 || desc.height == 0 || desc.width > 16384 || desc.height > 16384) {
        return kFail;
    }
    surface = std::make_unique<QtOffscreenSurface>(static_cast<int>(desc.width),
                                                   static_cast<int>(desc.height));
    return kOk;
}

Status QtDirectDraw::createClipper(std::uint32_t flags,
                                   std::unique_ptr<DirectDrawClipper>& clipper) {
    if (flags != 0) return kFail;
    clipper = std::make_unique<QtDirectDrawClipper>();
    return kOk;
}

Status QtDirectDrawFactory::createDirectDraw(WindowHandle, std::uint32_t cooperativeLevel,
                                             std::unique_ptr<DirectDraw>& directDraw) {
    // The player runs in a window only: the normal level is the one there is.
    if (cooperativeLevel != kDdsclNormal) return kFail;
    directDraw = std::make_unique<QtDirectDraw>(system_);
    return kOk;
}

}  // namespace ostrel::platform::qt
