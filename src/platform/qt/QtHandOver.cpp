#include "platform/qt/QtHandOver.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/qt/QtWindowSystem.h"

namespace ostrel::platform::qt {

namespace {

// The request: 'H', the raise flag (0 or 1), the class and the title (each a
// 32-bit length and its bytes), a 64-bit tag, a 32-bit text length (0xFFFFFFFF
// for no text) and the text. The answer: one byte, 1 when taken.
constexpr char kHandOver = 'H';
constexpr std::uint32_t kNoText = 0xFFFFFFFFu;
constexpr std::uint32_t kMaxName = 4096;
constexpr std::uint32_t kMaxCopyData = 1u << 20;
// A second start sends one request, so more than the largest is not one of ours.
constexpr qsizetype kMaxPending = 2 + 2 * (4 + kMaxName) + 8 + 4 + kMaxCopyData;
// How long a second start waits for the answer: the running player answers
// as soon as it has read the request, from its loop's event processing.
constexpr int kAnswerTimeoutMs = 5000;
// How long the running player waits for the whole request after a
// connection before it hangs up.
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
        QObject::connect(&connection->deadline, &QTimer::timeout, connection,
                         [connection] { drop(connection); });
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

namespace {

enum class Parsed { Whole, Incomplete, Bad };

Parsed parse(const QByteArray& buffer, SingleInstance::Request& request) {
    qsizetype offset = 0;
    char kind = 0, raise = 0;
    bool bad = false;
    if (!readAt(buffer, offset, kind)) return Parsed::Incomplete;
    if (kind != kHandOver) return Parsed::Bad;
    if (!readAt(buffer, offset, raise)) return Parsed::Incomplete;
    if (!readText(buffer, offset, request.className, bad) ||
        !readText(buffer, offset, request.title, bad))
        return bad ? Parsed::Bad : Parsed::Incomplete;
    std::uint32_t size = 0;
    if (!readAt(buffer, offset, request.tag) || !readAt(buffer, offset, size))
        return Parsed::Incomplete;
    request.raise = raise != 0;
    request.hasText = size != kNoText;
    if (!request.hasText) size = 0;
    if (size > kMaxCopyData) return Parsed::Bad;
    if (buffer.size() - offset < static_cast<qsizetype>(size)) return Parsed::Incomplete;
    if (buffer.size() - offset > static_cast<qsizetype>(size)) return Parsed::Bad;
    request.text = buffer.mid(offset, size);
    return Parsed::Whole;
}

}  // namespace

void SingleInstance::serve(Connection* connection) {
    if (connection->fd < 0) return;
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
    Request request;
    Parsed parsed = parse(connection->buffer, request);
    if (parsed == Parsed::Incomplete && !ended) return;
    if (parsed != Parsed::Whole) return drop(connection);
    // The receiver only queues the work; the answer goes at once, and the
    // connection is done with.
    const char taken = receiver_ && receiver_(std::move(request)) ? 1 : 0;
    (void)::send(connection->fd, &taken, 1, MSG_NOSIGNAL);
    drop(connection);
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

bool SingleInstance::handOver(const std::string& className, const std::string& title, bool raise,
                              const CopyData* data) {
    if (data && (data->size > kMaxCopyData || (data->size > 0 && !data->data))) return false;
    if (!connectToRunning()) return false;
    QByteArray frame(1, kHandOver);
    frame.append(raise ? char(1) : char(0));
    putText(frame, className.c_str());
    putText(frame, title.c_str());
    std::uint64_t tag = data ? data->tag : 0;
    frame.append(reinterpret_cast<const char*>(&tag), sizeof tag);
    putU32(frame, data ? data->size : kNoText);
    if (data && data->size > 0)
        frame.append(static_cast<const char*>(data->data), static_cast<qsizetype>(data->size));

    // The connection carries this one request; a later one connects anew.
    const int fd = clientFd_;
    clientFd_ = -1;
    bool taken = sendAndWait(fd, frame);
    ::close(fd);
    return taken;
}

bool SingleInstance::sendAndWait(int fd, const QByteArray& frame) {
    const char* bytes = frame.constData();
    std::size_t left = static_cast<std::size_t>(frame.size());
    while (left > 0) {
        ssize_t sent = ::send(fd, bytes, left, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes += sent;
        left -= static_cast<std::size_t>(sent);
    }
    char taken = 0;
    for (;;) {
        pollfd waiting{fd, POLLIN, 0};
        int ready = ::poll(&waiting, 1, kAnswerTimeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        ssize_t n = ::recv(fd, &taken, 1, 0);
        if (n < 0 && errno == EINTR) continue;
        return n == 1 && taken == 1;
    }
}

// ---------------------------------------------------------------------------
// The window system's side of it

namespace {
struct Marker {
    int unused = 0;
};
Marker remoteMarker;

// A handed-over text as the kWmCopyData record points to it, kept with the
// queued message until the window procedure has read it.
struct HandedOver {
    QByteArray bytes;
    CopyData record;
};
}  // namespace

WindowHandle WindowSystem::remoteWindow() {
    return reinterpret_cast<WindowHandle>(&remoteMarker);
}

WindowHandle WindowSystem::findWindow(const char* className, const char* title) {
    if (WindowHandle own = findOwnWindow(className, title)) return own;
    // A second start: the running player listens once it has its window.
    // Whether the window is the one asked for is told by the hand-over.
    if (!instance_ || !instance_->isSecondStart() || !instance_->connectToRunning()) return nullptr;
    remoteClass_ = className ? className : "";
    remoteTitle_ = title ? title : "";
    return remoteWindow();
}

bool WindowSystem::setForegroundWindow(WindowHandle window) {
    if (window != remoteWindow()) return raiseWindow(window);
    // Goes with the hand-over's one request (or alone when the start ends
    // without one).
    raiseRemote_ = true;
    return true;
}

LResult WindowSystem::sendCopyData(WindowHandle window, const CopyData& data) {
    if (window != remoteWindow())
        return sendMessage(window, kWmCopyData, 0, reinterpret_cast<LParam>(&data));
    bool taken = instance_->handOver(remoteClass_, remoteTitle_, raiseRemote_, &data);
    raiseRemote_ = false;
    return taken ? 1 : 0;
}

void WindowSystem::finishHandOver() {
    if (raiseRemote_ && instance_) instance_->handOver(remoteClass_, remoteTitle_, true, nullptr);
    raiseRemote_ = false;
}

void WindowSystem::answerSecondStarts() {
    if (!instance_) return;
    instance_->listen([this](SingleInstance::Request request) {
        WindowHandle window = findOwnWindow(request.className.c_str(), request.title.c_str());
        if (!window) return false;
        if (request.raise) raiseWindow(window);
        if (request.hasText) {
            auto handed = std::make_shared<HandedOver>();
            handed->bytes = std::move(request.text);
            handed->record = CopyData{static_cast<std::uintptr_t>(request.tag),
                                      static_cast<std::uint32_t>(handed->bytes.size()),
                                      handed->bytes.constData()};
            postOwned(kWmCopyData, 0, reinterpret_cast<LParam>(&handed->record), handed);
        }
        return true;
    });
}

}  // namespace ostrel::platform::qt
