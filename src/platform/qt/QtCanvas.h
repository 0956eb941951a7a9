// The client area of the player's main window: everything under the menu
// bar. It shows the video (the last picture the blits left, on black) and
// holds the tool bars on top.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

class QToolBar;

namespace ostrel::platform::qt {

class WindowSystem;

class ClientArea final : public QWidget {
public:
    ClientArea(WindowSystem& system, QWidget* parent);

    // Paints `area` (client coordinates) with `colour` / draws `sourceRect`
    // of `source` scaled into `area`, and shows it before returning.
    void fill(const QRect& area, QRgb colour);
    void blit(const QRect& area, std::shared_ptr<const QImage> source, const QRect& sourceRect);
    void addToolBar(QToolBar* toolBar);
    // The picture on show, for tests.
    QImage picture() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // What the area shows: the drawings since it was last black, oldest
    // first, each a colour or a rectangle of a surface scaled into its area.
    // A blit keeps its surface, not a copy of its pixels, so each frame is
    // copied once, straight into the window; the surface's pixels change
    // only when the next frame is rendered, just before it is blitted.
    struct Layer {
        QRect area;
        QRgb colour = 0;
        std::shared_ptr<const QImage> source;
        QRect sourceRect;
    };
    void addLayer(Layer layer);
    void paintLayers(QPainter& painter, const QRegion& region) const;

    WindowSystem& system_;
    // Drawings that many are painted once into `base_` (black when null).
    std::vector<Layer> layers_;
    QImage base_;
    std::vector<QPointer<QToolBar>> toolBars_;
};

}  // namespace ostrel::platform::qt
