// Qt event processing until a condition holds, for the Qt platform's tests.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

namespace ostrel::platform::qt::test {

// Processes Qt events until `done` holds or `ms` have passed; returns `done`.
inline bool processUntil(const std::function<bool()>& done, int ms = 2000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

}  // namespace ostrel::platform::qt::test
