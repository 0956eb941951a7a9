// Shared pieces of the Qt platform's tests: a window procedure that records
// what reaches it, and Qt event processing until a condition holds.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>
#include <vector>

#include "platform/Platform.h"

namespace ostrel::platform::qt::test {

struct Recorded {
    WindowHandle window;
    std::uint32_t message;
    WParam wParam;
    LParam lParam;
};

// The messages the recording procedure received, in order.
inline std::vector<Recorded>& received() {
    static std::vector<Recorded> log;
    return log;
}

// What the procedure does besides recording (e.g. pass WM_CLOSE on).
inline std::function<LResult(WindowHandle, std::uint32_t, WParam, LParam)>& reaction() {
    static std::function<LResult(WindowHandle, std::uint32_t, WParam, LParam)> then;
    return then;
}

inline LResult recordingProc(WindowHandle window, std::uint32_t message, WParam wParam,
                             LParam lParam) {
    received().push_back({window, message, wParam, lParam});
    return reaction() ? reaction()(window, message, wParam, lParam) : 0;
}

inline std::vector<Recorded> receivedOf(std::uint32_t message) {
    std::vector<Recorded> some;
    for (const Recorded& r : received())
        if (r.message == message) some.push_back(r);
    return some;
}

// Processes Qt events until `done` holds or `ms` have passed; returns `done`.
inline bool processUntil(const std::function<bool()>& done, int ms = 2000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

}  // namespace ostrel::platform::qt::test
