// One player per user. The first start takes a lock in a private per-user
// folder; once its window exists it listens on a local socket there. A
// second start finds the lock taken, asks the running player over the
// socket for its window, has it raised and hands it the command line, and
// waits for the answer, as a message sent to another program's window
// waits for that window's procedure.
#pragma once

#include <QByteArray>
#include <functional>
#include <memory>
#include <string>

#include "platform/Platform.h"

class QSocketNotifier;

namespace ostrel::platform::qt {

class SingleInstance {
public:
    // What the running player does for a second start.
    struct Receiver {
        std::function<bool(const std::string& className, const std::string& title)> hasWindow;
        std::function<void()> raise;
        std::function<LResult(const CopyData& data)> copyData;
    };

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

    // Second start, each call over one connection to the running player.
    bool findRemote(const char* className, const char* title);
    bool raiseRemote();
    // Returns the running player's answer (0 when it could not be reached).
    LResult sendCopyData(const CopyData& data);

private:
    struct Connection;
    enum class Outcome { Answered, Incomplete, Bad };
    // Answers the request at the start of `buffer` and takes it out.
    Outcome answer(QByteArray& buffer, QByteArray& reply);
    void accept();
    void serve(Connection* connection);
    static void drop(Connection* connection);
    bool connectToRunning();
    bool request(const QByteArray& frame, void* reply, std::size_t replySize, int timeoutMs);

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
