// One player per user, and the hand-over of a second start to it. The first
// start takes a lock in a private per-user folder; once its window exists it
// listens on a local socket there. A second start finds the lock taken and,
// when the socket takes a connection, the running player's window. Its
// hand-over is one request on that connection: the window asked for, whether
// to raise it, and the command line. The running player reads it as it
// comes, raises its window, queues the text as a message for its loop and
// answers at once; the second start waits a few seconds at most.
#pragma once

#include <QByteArray>
#include <functional>
#include <memory>
#include <string>

#include "platform/WindowSystem.h"

class QSocketNotifier;

namespace ostrel::platform::qt {

class SingleInstance {
public:
    // A second start's request, as the running player receives it.
    struct Request {
        std::string className;
        std::string title;
        bool raise = false;
        bool hasText = false;
        std::uint64_t tag = 0;
        QByteArray text;  // exactly the bytes sent
    };
    // Takes a request in (true when it was for this player's window); runs
    // inside the socket's event, so it only queues what is to be done.
    using Receiver = std::function<bool(Request request)>;

    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // The folder that holds the lock and the socket: $XDG_RUNTIME_DIR/ostrel,
    // else /tmp/ostrel-<uid>, made with mode 0700 and used only when it is a
    // real folder (not a link) owned by this user that nobody else may
    // enter. Empty when neither is.
    static std::string privateFolder();

    // Takes the lock named `name`. `alreadyExists` tells that another player
    // holds it. Null (and a first start) when the folder or the lock file
    // cannot be had.
    MutexHandle createMutex(const char* name, bool& alreadyExists);
    void closeHandle(MutexHandle handle);
    bool holdsLock() const { return lockFd_ >= 0 && holder_; }
    bool isSecondStart() const { return secondStart_; }

    // First start: answers second starts from now on (the socket's events
    // come through the Qt event processing of the player's loop, so its wait
    // for the next message ends when a second start connects).
    bool listen(Receiver receiver);

    // Second start: whether the running player listens (it has its window).
    // Connects, without a request.
    bool connectToRunning();
    // Second start: sends the one request and waits for the answer; true
    // when the running player took it.
    bool handOver(const std::string& className, const std::string& title, bool raise,
                  const CopyData* data);

private:
    struct Connection;
    void accept();
    void serve(Connection* connection);
    static void drop(Connection* connection);
    static bool sendAndWait(int fd, const QByteArray& frame);

    std::string folder_;
    std::string name_;
    int lockFd_ = -1;
    bool holder_ = false;
    bool secondStart_ = false;
    int serverFd_ = -1;
    // Watches the listening socket; the connections are its children.
    std::unique_ptr<QSocketNotifier> server_;
    Receiver receiver_;
    int clientFd_ = -1;
};

}  // namespace ostrel::platform::qt
