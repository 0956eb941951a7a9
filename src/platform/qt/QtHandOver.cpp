#include "platform/qt/QtSingleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace ostrel::platform::qt {

namespace {

// Requests of a second start; each is answered before the next is read.
constexpr char kFindWindow = 'F';
constexpr char kRaise = 'R';
constexpr char kCopyData = 'C';

constexpr std::uint32_t kMaxName = 4096;
constexpr std::uint32_t kMaxCopyData = 1u << 20;
// A second start sends one request and waits for its answer, so more than
// the largest request at once is not one of ours.
constexpr qsizetype kMaxPending = 1 + 8 + 4 + kMaxCopyData;
// How long a second start waits for the running player: short for the
// questions its loop answers at once, long for a hand-over, which opens the
// new item (and may show a message box) before it answers.
constexpr int kQuestionTimeoutMs = 5000;
constexpr int kHandOverTimeoutMs = 120000;
// How long the running player waits for the rest of a request it has begun
// to receive (or for the first one after a connection) before it hangs up.
constexpr int kRequestDeadlineMs = 5000;

bool safeFolder(const std::string& path) {
    if (path.empty() || path.front() != '/') return false;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

std::string fileName(const char* name) {
    std::string clean;
    for (const char* p = name; p && *p; ++p) {
        char c = *p;
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '_';
        clean += plain ? c : '_';
    }
    return clean.empty() ? std::string("player") : clean;
}

void putU32(QByteArray& frame, std::uint32_t value) {
    frame.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void putText(QByteArray& frame, const char* text) {
    std::uint32_t length = text ? static_cast<std::uint32_t>(std::strlen(text)) : 0;
    putU32(frame, length);
    if (length) frame.append(text, static_cast<qsizetype>(length));
}

// Reads a fixed-size value at `offset` of `buffer` when it is all there.
template <typename T>
bool readAt(const QByteArray& buffer, qsizetype& offset, T& value) {
    if (buffer.size() - offset < static_cast<qsizetype>(sizeof(T))) return false;
    std::memcpy(&value, buffer.constData() + offset, sizeof(T));
    offset += sizeof(T);
    return true;
}

bool readText(const QByteArray& buffer, qsizetype& offset, std::string& text, bool& bad) {
    std::uint32_t length = 0;
    if (!readAt(buffer, offset, length)) return false;
    if (length > kMaxName) {
        bad = true;
        return false;
    }
    if (buffer.size() - offset < static_cast<qsizetype>(length)) return false;
    text.assign(buffer.constData() + offset, length);
    offset += length;
    return true;
}

}  // namespace

struct SingleInstance::Connection : QObject {
    Connection(int socket, QObject* parent)
        : QObject(parent), fd(socket), notifier(socket, QSocketNotifier::Read) {
        deadline.setSingleShot(true);
    }
    ~Connection() override {
        notifier.setEnabled(false);
        if (fd >= 0) ::close(fd);
    }
    int fd;
    QSocketNotifier notifier;
    QTimer deadline;
    QByteArray buffer;
    bool busy = false;
};

SingleInstance::SingleInstance() = default;

SingleInstance::~SingleInstance() {
    if (server_) {
        server_.reset();
        ::close(serverFd_);
        ::unlink((folder_ + "/" + name_ + ".sock").c_str());
    }
    if (clientFd_ >= 0) ::close(clientFd_);
    if (lockFd_ >= 0) ::close(lockFd_);
}

std::string SingleInstance::privateFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        std::string folder = std::string(runtime) + "/ostrel";
        if (safeFolder(folder)) return folder;
    }
    std::string folder = "/tmp/ostrel-" + std::to_string(::getuid());
    return safeFolder(folder) ? folder : std::string();
}

MutexHandle SingleInstance::createMutex(const char* name, bool& alreadyExists) {
    alreadyExists = false;
    if (lockFd_ >= 0) return nullptr;
    folder_ = privateFolder();
    if (folder_.empty()) return nullptr;
    name_ = fileName(name);
    std::string lockPath = folder_ + "/" + name_ + ".lock";
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return nullptr;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        holder_ = true;
    } else if (errno == EWOULDBLOCK) {
        alreadyExists = true;
        secondStart_ = true;
    } else {
        ::close(fd);
        return nullptr;
    }
    lockFd_ = fd;
    return reinterpret_cast<MutexHandle>(this);
}

void SingleInstance::closeHandle(MutexHandle handle) {
    if (handle != reinterpret_cast<MutexHandle>(this) || lockFd_ < 0) return;
    ::close(lockFd_);
    lockFd_ = -1;
    holder_ = false;
}

bool SingleInstance::listen(Receiver receiver) {
    if (!holdsLock() || server_) return false;
    std::string path = folder_ + "/" + name_ + ".sock";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    // A socket left by a player that ended without removing it: the lock
    // says nobody else listens there. Only the user may connect (the folder
    // already keeps others out).
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        ::unlink(path.c_str());
        return false;
    }
    receiver_ = std::move(receiver);
    serverFd_ = fd;
    server_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(server_.get(), &QSocketNotifier::activated, server_.get(),
                     [this] { accept(); });
    return true;
}

void SingleInstance::accept() {
    int fd;
    while ((fd = ::accept4(serverFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0) {
        auto* connection = new Connection(fd, server_.get());
        QObject::connect(&connection->notifier, &QSocketNotifier::activated, connection,
                         [this, connection] { serve(connection); });
        // While a request is answered its deadline does not count.
        QObject::connect(&connection->deadline, &QTimer::timeout, connection, [connection] {
            if (!connection->busy) drop(connection);
        });
        connection->deadline.start(kRequestDeadlineMs);
    }
}

void SingleInstance::drop(Connection* connection) {
    connection->notifier.setEnabled(false);
    connection->deadline.stop();
    if (connection->fd >= 0) ::close(connection->fd);
    connection->fd = -1;
    connection->deleteLater();
}

SingleInstance::Outcome SingleInstance::answer(QByteArray& buffer, QByteArray& reply) {
    qsizetype offset = 1;
    bool bad = false;
    switch (buffer.at(0)) {
        case kFindWindow: {
            std::string className, title;
            if (!readText(buffer, offset, className, bad) || !readText(buffer, offset, title, bad))
                return bad ? Outcome::Bad : Outcome::Incomplete;
            bool found = receiver_.hasWindow && receiver_.hasWindow(className, title);
            reply.append(found ? char(1) : char(0));
            break;
        }
        case kRaise:
            if (receiver_.raise) receiver_.raise();
            reply.append(char(1));
            break;
        case kCopyData: {
            std::uint64_t tag = 0;
            std::uint32_t size = 0;
            if (!readAt(buffer, offset, tag) || !readAt(buffer, offset, size))
                return Outcome::Incomplete;
            if (size > kMaxCopyData) return Outcome::Bad;
            if (buffer.size() - offset < static_cast<qsizetype>(size)) return Outcome::Incomplete;
            // The receiver gets its own copy of exactly the bytes sent.
            QByteArray bytes = buffer.mid(offset, size);
            offset += size;
            buffer.remove(0, offset);
            CopyData data{static_cast<std::uintptr_t>(tag), size, bytes.constData()};
            std::int64_t result = receiver_.copyData ? receiver_.copyData(data) : 0;
            reply.append(reinterpret_cast<const char*>(&result), sizeof result);
            return Outcome::Answered;
        }
        default:
            return Outcome::Bad;
    }
    buffer.remove(0, offset);
    return Outcome::Answered;
}

void SingleInstance::serve(Connection* connection) {
    // A request is served to its end before the next one of the same start
    // is looked at, even when serving it runs a modal loop.
    if (connection->busy || connection->fd < 0) return;
    bool ended = false;
    char chunk[16384];
    for (;;) {
        ssize_t got = ::recv(connection->fd, chunk, sizeof chunk, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ended = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
            break;
        }
        connection->buffer.append(chunk, got);
        if (connection->buffer.size() > kMaxPending) return drop(connection);
    }
    connection->busy = true;
    connection->notifier.setEnabled(false);
    QPointer<Connection> alive(connection);
    while (!connection->buffer.isEmpty()) {
        QByteArray reply;
        Outcome outcome = answer(connection->buffer, reply);
        if (!alive) return;
        if (outcome == Outcome::Bad) return drop(connection);
        if (outcome == Outcome::Incomplete) break;
        // The answer is a few bytes to a start that waits for it: one that
        // does not take it is dropped rather than waited for.
        if (::send(connection->fd, reply.constData(), static_cast<std::size_t>(reply.size()),
                   MSG_NOSIGNAL) != reply.size())
            return drop(connection);
    }
    connection->busy = false;
    // A start that hung up is done with, once its last whole request is served.
    if (ended) return drop(connection);
    // Bytes that came while a request was served wake the notifier again.
    connection->notifier.setEnabled(true);
    if (connection->buffer.isEmpty())
        connection->deadline.stop();
    else if (!connection->deadline.isActive())
        connection->deadline.start(kRequestDeadlineMs);
}

bool SingleInstance::connectToRunning() {
    if (clientFd_ >= 0) return true;
    if (!secondStart_ || folder_.empty()) return false;
    std::string path = folder_ + "/" + name_ + ".sock";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        // Nobody listens: the running player has no window (yet).
        ::close(fd);
        return false;
    }
    clientFd_ = fd;
    return true;
}

bool SingleInstance::request(const QByteArray& frame, void* reply, std::size_t replySize,
                             int timeoutMs) {
    if (!connectToRunning()) return false;
    const char* data = frame.constData();
    std::size_t left = static_cast<std::size_t>(frame.size());
    while (left > 0) {
        ssize_t sent = ::send(clientFd_, data, left, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        data += sent;
        left -= static_cast<std::size_t>(sent);
    }
    auto* out = static_cast<char*>(reply);
    std::size_t got = 0;
    while (got < replySize) {
        pollfd waiting{clientFd_, POLLIN, 0};
        int ready = ::poll(&waiting, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        ssize_t n = ::recv(clientFd_, out + got, replySize - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool SingleInstance::findRemote(const char* className, const char* title) {
    QByteArray frame(1, kFindWindow);
    putText(frame, className);
    putText(frame, title);
    char found = 0;
    return request(frame, &found, 1, kQuestionTimeoutMs) && found == 1;
}

bool SingleInstance::raiseRemote() {
    QByteArray frame(1, kRaise);
    char done = 0;
    return request(frame, &done, 1, kQuestionTimeoutMs) && done == 1;
}

LResult SingleInstance::sendCopyData(const CopyData& data) {
    if (data.size > kMaxCopyData || (data.size > 0 && !data.data)) return 0;
    QByteArray frame(1, kCopyData);
    std::uint64_t tag = data.tag;
    frame.append(reinterpret_cast<const char*>(&tag), sizeof tag);
    putU32(frame, data.size);
    frame.append(static_cast<const char*>(data.data), static_cast<qsizetype>(data.size));
    std::int64_t result = 0;
    if (!request(frame, &result, sizeof result, kHandOverTimeoutMs)) return 0;
    return static_cast<LResult>(result);
}

}  // namespace ostrel::platform::qt
