// The player's top-level window: a Qt widget with the menu bar of the nine
// commands over the client area.
#pragma once

#include <QRect>
#include <QWidget>

class QMenuBar;

namespace ostrel::platform::qt {

class WindowSystem;
class ClientArea;

class MainWindow final : public QWidget {
public:
    MainWindow(WindowSystem& system, const QString& title, bool frameless, bool acceptDrops,
               bool withMenu);

    ClientArea* client() const { return client_; }
    QMenuBar* menuBar() const { return menuBar_; }
    // Places the outer frame at `outer`; a window manager's frame, known only
    // once the window is on the screen, is taken out of the size then.
    void setOuterGeometry(const QRect& outer);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void fitFrame();
    // F10: the keyboard on the menu bar, its first command lit, until a
    // command is chosen or Escape (or F10) leaves.
    void enterMenuBar();
    void leaveMenuBar();

    WindowSystem& system_;
    QMenuBar* menuBar_ = nullptr;
    ClientArea* client_ = nullptr;
    QRect outer_;
    bool frameFitted_ = false;
};

}  // namespace ostrel::platform::qt
