// The player's message queue and the loop's calls: messages posted and
// sent to the main window, Qt's events processed while the loop looks for
// or waits for messages, and the stack of modal loops.
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDialog>
#include <QThread>
#include <cstdio>

#include "platform/qt/QtWindowSystem.h"

namespace ostrel::platform::qt {

namespace {

// Rounds of event processing between two frames at most.
constexpr int kEventRounds = 4;

// With OSTREL_TRACE_MESSAGES=1 every message that reaches the window
// procedure is written to standard error (for finding out what the window
// system told the player, and when).
bool traceMessages() {
    static const bool on = qEnvironmentVariableIntValue("OSTREL_TRACE_MESSAGES") == 1;
    return on;
}

void trace(const char* how, std::uint32_t message, WParam wParam, LParam lParam) {
    if (traceMessages()) {
        std::fprintf(stderr, "ostrel: %s 0x%04x %#llx %#llx\n", how, message,
                     static_cast<unsigned long long>(wParam),
                     static_cast<unsigned long long>(lParam));
    }
}

}  // namespace

bool WindowSystem::postMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                               LParam lParam) {
    if (window == remoteWindow()) return false;
    queue_.push_back(Queued{Message{window, message, wParam, lParam}, nullptr});
    return true;
}

void WindowSystem::postOwned(std::uint32_t message, WParam wParam, LParam lParam,
                             std::shared_ptr<const void> owned) {
    queue_.push_back(Queued{Message{mainHandle(), message, wParam, lParam}, std::move(owned)});
}

LResult WindowSystem::sendMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                                  LParam lParam) {
    // Messages reach the main window until it has been destroyed.
    if (!window || window != mainHandle() || !proc_ || destroyed_) return 0;
    trace("send", message, wParam, lParam);
    ++delivered_;
    return proc_(window, message, wParam, lParam);
}

void WindowSystem::postQuitMessage(int exitCode) {
    quitPosted_ = true;
    quitCode_ = exitCode;
    // A modal loop ends when it meets the quit message; the main loop then
    // takes it.
    if (!modal_.empty()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal_.back().data())) dialog->done(0);
    }
}

LResult WindowSystem::defWindowProc(WindowHandle window, std::uint32_t message, WParam, LParam) {
    if (message == kWmClose && window == mainHandle() && main_ && !destroyed_) {
        // Closing destroys the window: its procedure hears of it first (the
        // window can still be found and measured then), then it disappears.
        sendMessage(window, kWmDestroy, 0, 0);
        destroyed_ = true;
        main_->hide();
    }
    return 0;
}

bool WindowSystem::processEvents(bool wait) {
    QAbstractEventDispatcher* dispatcher =
        QAbstractEventDispatcher::instance(QThread::currentThread());
    bool processed = false;
    if (dispatcher) {
        processed =
            dispatcher->processEvents(wait ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
    }
    // No Qt event loop runs, so objects given to deleteLater are freed here.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return processed;
}

bool WindowSystem::peekMessage() {
    // One round takes only the most urgent kind of event that is waiting
    // (the drawing of the last frame, say); a few more let the others
    // through (a second start's request), before the next frame is asked
    // for.
    for (int round = 0; round < kEventRounds && processEvents(false); ++round) {
    }
    return !queue_.empty() || quitPosted_;
}

int WindowSystem::getMessage(Message& message) {
    while (queue_.empty() && !quitPosted_)
        processEvents(true);
    if (!queue_.empty()) {
        message = queue_.front().message;
        dispatching_ = std::move(queue_.front().owned);
        queue_.pop_front();
        return 1;
    }
    // The quit message comes once every posted message has been taken.
    quitPosted_ = false;
    message = Message{nullptr, kWmQuit, static_cast<WParam>(quitCode_), 0};
    return 0;
}

void WindowSystem::translateAndDispatch(const Message& message) {
    if (message.window == mainHandle() && proc_ && !destroyed_) {
        trace("dispatch", message.message, message.wParam, message.lParam);
        proc_(message.window, message.message, message.wParam, message.lParam);
    } else if (message.message == kWmDropFiles) {
        // Nobody will finish with these files.
        delete reinterpret_cast<DroppedFiles*>(message.wParam);
    }
    dispatching_.reset();
}

void WindowSystem::waitMessage() {
    // A message sent to the window while waiting (activation, a hand-over)
    // may have given the loop work: the wait ends after it, as it does for
    // a posted one.
    std::uint64_t seen = delivered_;
    while (queue_.empty() && !quitPosted_ && delivered_ == seen)
        processEvents(true);
}

void WindowSystem::enterModal(QWidget* dialog) {
    modal_.emplace_back(dialog);
}

void WindowSystem::leaveModal(QWidget* dialog) {
    for (auto it = modal_.begin(); it != modal_.end(); ++it) {
        if (it->data() == dialog) {
            modal_.erase(it);
            break;
        }
    }
    // The owner takes the focus back when its modal dialog is gone.
    if (modal_.empty() && main_ && !destroyed_ && main_->isVisible()) main_->activateWindow();
}

}  // namespace ostrel::platform::qt
