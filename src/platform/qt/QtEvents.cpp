// The main window's Qt events as the messages the window procedure
// expects, and the files of a drop as the procedure reads them.
#include <QGuiApplication>
#include <cstring>

#include "platform/qt/QtWindowSystem.h"

namespace ostrel::platform::qt {

namespace {

constexpr WParam kWaActive = 1;
constexpr WParam kMkLButton = 1;

}  // namespace

void WindowSystem::windowClosing() {
    if (mainWindow()) postMessage(mainHandle(), kWmClose, 0, 0);
}

void WindowSystem::windowActivated(bool active) {
    if (!mainWindow() || creating_) return;
    sendMessage(mainHandle(), kWmActivate, active ? kWaActive : kWaInactive, 0);
}

void WindowSystem::applicationStateChanged(bool active) {
    if (active == appActive_) return;
    appActive_ = active;
    if (!mainWindow()) return;
    sendMessage(mainHandle(), kWmActivateApp, active ? 1 : 0, 0);
}

void WindowSystem::clientResized(QSize size) {
    if (creating_ || !mainWindow() || size == lastClientSize_) return;
    lastClientSize_ = size;
    sendMessage(mainHandle(), kWmSize, kSizeRestored, makeLParam(size.width(), size.height()));
}

void WindowSystem::keyPressed(std::uint32_t virtualKey, bool repeat) {
    if (!mainWindow()) return;
    // Repeat count 1; bit 30 tells a key that was down already.
    LParam flags = 1 | (repeat ? (1 << 30) : 0);
    postMessage(mainHandle(), kWmKeyDown, virtualKey, flags);
}

void WindowSystem::leftButtonPressed(QPoint position) {
    if (!mainWindow()) return;
    postMessage(mainHandle(), kWmLButtonDown, kMkLButton, makeLParam(position.x(), position.y()));
}

void WindowSystem::filesDropped(std::vector<std::string> paths) {
    if (!mainWindow()) return;
    auto* drop = new DroppedFiles{std::move(paths)};
    postMessage(mainHandle(), kWmDropFiles, reinterpret_cast<WParam>(drop), 0);
}

void WindowSystem::commandChosen(int id, WindowHandle source) {
    if (!mainWindow()) return;
    postMessage(mainHandle(), kWmCommand, static_cast<WParam>(id),
                reinterpret_cast<LParam>(source));
}

std::uint32_t WindowSystem::dragQueryFile(DropHandle drop, std::uint32_t index, char* buffer,
                                          std::uint32_t bufferSize) {
    auto* files = reinterpret_cast<DroppedFiles*>(drop);
    if (!files) return 0;
    if (index == 0xFFFFFFFFu) return static_cast<std::uint32_t>(files->paths.size());
    if (index >= files->paths.size()) return 0;
    const std::string& path = files->paths[index];
    // Without a buffer: the length the path needs, without its terminator.
    if (!buffer || bufferSize == 0) return static_cast<std::uint32_t>(path.size());
    std::size_t length = std::min<std::size_t>(path.size(), bufferSize - 1);
    std::memcpy(buffer, path.data(), length);
    buffer[length] = '\0';
    return static_cast<std::uint32_t>(length);
}

void WindowSystem::dragFinish(DropHandle drop) {
    delete reinterpret_cast<DroppedFiles*>(drop);
}

}  // namespace ostrel::platform::qt
