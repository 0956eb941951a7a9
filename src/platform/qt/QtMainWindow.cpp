// The player's top-level widget: title, frame, menu bar, client area, drops.
#include "platform/qt/QtMainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include "platform/qt/QtWindowSystem.h"
#include "resource_ids.h"
#include "ui/CommandTable.h"

namespace ostrel::platform::qt {

namespace {

// A menu bar label: the command's text with its Alt letter marked, the
// desktop's habit.
QString menuLabel(const CommandFace& command) {
    QString label = QString::fromLatin1(command.menuText);
    label.insert(command.altLetter, QLatin1Char('&'));
    return label;
}

}  // namespace

MainWindow::MainWindow(WindowSystem& system, const QString& title, bool frameless, bool acceptDrops,
                       bool withMenu)
    : QWidget(nullptr), system_(system) {
    setWindowTitle(title);
    if (frameless) setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAcceptDrops(acceptDrops);
    setMouseTracking(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    if (withMenu) {
        menuBar_ = new QMenuBar(this);
        // Desktops that move menus out of the window would take the client
        // area's size with them.
        menuBar_->setNativeMenuBar(false);
        // One flat row of commands, each sending its identifier.
        for (const CommandFace& command : kCommandFaces) {
            QAction* action = menuBar_->addAction(menuLabel(command));
            int id = command.id;
            QObject::connect(action, &QAction::triggered, this,
                             [this, id] { system_.commandChosen(id, nullptr); });
        }
        layout->setMenuBar(menuBar_);
    }
    client_ = new ClientArea(system, this);
    layout->addWidget(client_);
    setFocusProxy(client_);
}

void MainWindow::setOuterGeometry(const QRect& outer) {
    outer_ = outer;
    frameFitted_ = false;
    move(outer.topLeft());
    resize(outer.size());
    fitFrame();
}

void MainWindow::fitFrame() {
    if (frameFitted_ || !windowHandle()) return;
    QMargins frame = windowHandle()->frameMargins();
    if (frame.isNull()) return;
    // The window manager's frame is known now: the outer rectangle, frame
    // included, is what was asked for.
    frameFitted_ = true;
    resize(outer_.width() - frame.left() - frame.right(),
           outer_.height() - frame.top() - frame.bottom());
    move(outer_.topLeft());
}

bool MainWindow::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::WindowActivate:
            system_.windowActivated(true);
            break;
        case QEvent::WindowDeactivate:
            system_.windowActivated(false);
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
            fitFrame();
            break;
        default:
            break;
    }
    return QWidget::event(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The close box and the window manager's close ask; the player decides.
    event->ignore();
    system_.windowClosing();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // F10 is a system key: it takes the keyboard to the menu bar.
    if (event->key() == Qt::Key_F10 && !(event->modifiers() & ~Qt::KeypadModifier)) {
        enterMenuBar();
        event->accept();
        return;
    }
    std::uint32_t key = virtualKeyFor(event->key());
    // Keys with Alt are system keys, which the window's key handling never
    // sees.
    if (key != 0 && !(event->modifiers() & Qt::AltModifier)) {
        system_.keyPressed(key, event->isAutoRepeat());
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::enterMenuBar() {
    if (!menuBar_ || !menuBar_->isVisible() || menuBar_->actions().isEmpty()) return;
    menuBar_->installEventFilter(this);
    menuBar_->setActiveAction(menuBar_->actions().constFirst());
    menuBar_->setFocus(Qt::MenuBarFocusReason);
}

void MainWindow::leaveMenuBar() {
    menuBar_->removeEventFilter(this);
    menuBar_->setActiveAction(nullptr);
    if (menuBar_->hasFocus()) client_->setFocus(Qt::MenuBarFocusReason);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // The menu bar moves its light with Left and Right itself; choosing and
    // leaving give the keyboard back to the client area.
    if (watched != menuBar_) return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::FocusOut) {
        leaveMenuBar();
    } else if (event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Space:
            case Qt::Key_Up:
            case Qt::Key_Down: {
                QAction* chosen = menuBar_->activeAction();
                leaveMenuBar();
                if (chosen) chosen->trigger();
                return true;
            }
            case Qt::Key_Escape:
            case Qt::Key_F10:
                leaveMenuBar();
                return true;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    system_.pointerMoved();
    QWidget::mouseMoveEvent(event);
}

namespace {
std::vector<std::string> localFiles(const QMimeData* data) {
    std::vector<std::string> paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        QByteArray path = QFile::encodeName(url.toLocalFile());
        if (!path.isEmpty()) paths.emplace_back(path.constData(), path.size());
    }
    return paths;
}
}  // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths = localFiles(event->mimeData());
    if (paths.empty()) return;
    event->acceptProposedAction();
    system_.filesDropped(std::move(paths));
}

}  // namespace ostrel::platform::qt
