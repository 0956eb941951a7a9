// Files and paths on the file system, the clock, the lock of the single
// instance, and the shell: the network's state and the desktop's browser.
#include "platform/qt/QtFiles.h"

#include <net/if.h>
#include <net/route.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDesktopServices>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/qt/QtHandOver.h"
#include "platform/qt/QtPaths.h"

namespace ostrel::platform::qt {

namespace {

bool environmentIs(const char* name, const char* value) {
    const char* set = std::getenv(name);
    return set && std::strcmp(set, value) == 0;
}

// A route in use over an interface that is up. The loopback is left out: it
// holds the routes the system keeps to refuse traffic it has no way out for.
bool routeUsable(const std::string& flags, const std::string& device) {
    unsigned long route = std::strtoul(flags.c_str(), nullptr, 16);
    if (!(route & RTF_UP) || (route & RTF_REJECT)) return false;
    if (device.empty() || device.find('/') != std::string::npos || device[0] == '.') return false;
    std::ifstream file("/sys/class/net/" + device + "/flags");
    std::string text;
    // An interface whose state cannot be read counts as up.
    if (!(file >> text)) return true;
    unsigned long state = std::strtoul(text.c_str(), nullptr, 16);
    return (state & IFF_UP) && !(state & IFF_LOOPBACK);
}

// Whether the system has a way out: a default route (IPv4 or IPv6) that is
// usable. Unknown when neither routing table can be read.
std::optional<bool> hasDefaultRoute() {
    std::ifstream ipv4("/proc/net/route"), ipv6("/proc/net/ipv6_route");
    if (!ipv4 && !ipv6) return std::nullopt;
    std::string line;
    std::getline(ipv4, line);  // the column titles
    while (std::getline(ipv4, line)) {
        std::istringstream fields(line);
        std::string device, destination, gateway, flags, uses, used, metric, mask;
        if (fields >> device >> destination >> gateway >> flags >> uses >> used >> metric >> mask &&
            destination == "00000000" && mask == "00000000" && routeUsable(flags, device))
            return true;
    }
    while (std::getline(ipv6, line)) {
        std::istringstream fields(line);
        std::string destination, length, source, sourceLength, nextHop, metric, uses, used, flags,
            device;
        if (fields >> destination >> length >> source >> sourceLength >> nextHop >> metric >>
                uses >> used >> flags >> device &&
            destination == std::string(32, '0') && length == "00" && routeUsable(flags, device))
            return true;
    }
    return false;
}

}  // namespace

bool QtFiles::fileExists(const char* path) {
    struct stat info {};
    return path && *path && ::stat(path, &info) == 0;
}

std::uint32_t QtFiles::getFullPathName(const char* path, std::uint32_t bufferSize, char* buffer) {
    if (!path || !*path) return 0;
    std::string current;
    if (path[0] != '/') {
        char* folder = ::getcwd(nullptr, 0);
        if (!folder) return 0;
        current = folder;
        std::free(folder);
    }
    return copyPathResult(lexicalFullPath(path, current), bufferSize, buffer);
}

std::uint32_t QtFiles::getModuleFileName(char* buffer, std::uint32_t bufferSize) {
    if (!buffer || bufferSize == 0) return 0;
    std::string path(4096, '\0');
    ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return 0;
    path.resize(static_cast<std::size_t>(length));
    if (path.size() + 1 > bufferSize) {
        // Cut to the buffer, terminated, as the system does.
        std::memcpy(buffer, path.data(), bufferSize - 1);
        buffer[bufferSize - 1] = '\0';
        return bufferSize;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<std::uint32_t>(path.size());
}

bool QtFiles::replaceFile(const char* source, const char* target) {
    return source && target && std::rename(source, target) == 0;
}

void QtFiles::configurationNotWritten(const char* path, int error) {
    // Once a run: Save and the end of the player would say it again.
    static bool said = false;
    if (said) return;
    said = true;
    std::fprintf(stderr, "ostrel: cannot write the configuration %s: %s\n", path,
                 std::strerror(error));
}

LocalTime QtFiles::localTime() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    LocalTime result;
    if (!::localtime_r(&now, &parts)) return result;
    result.year = parts.tm_year + 1900;
    result.month = parts.tm_mon;
    result.day = parts.tm_mday;
    result.weekday = parts.tm_wday;
    result.hour = parts.tm_hour;
    result.minute = parts.tm_min;
    result.second = parts.tm_sec;
    return result;
}

MutexHandle QtFiles::createMutex(const char* name, bool& alreadyExists) {
    MutexHandle mutex = instance_.createMutex(name, alreadyExists);
    if (!alreadyExists && firstStart) firstStart();
    return mutex;
}

void QtFiles::closeHandle(MutexHandle handle) {
    instance_.closeHandle(handle);
}

std::int32_t QtFiles::inetIsOffline() {
    // Tests say which way the network is.
    if (environmentIs("OSTREL_NETWORK", "offline")) return 1;
    if (environmentIs("OSTREL_NETWORK", "online")) return 0;
    // Offline only without a way out; where nobody can tell, it counts as online.
    std::optional<bool> route = hasDefaultRoute();
    return route && !*route ? 1 : 0;
}

void QtFiles::openUrl(WindowHandle, const char* url) {
    if (!url) return;
    // The desktop's handler opens it; no command line is ever built.
    QUrl address(QString::fromLocal8Bit(url), QUrl::TolerantMode);
    if (address.isValid() && !address.isRelative()) QDesktopServices::openUrl(address);
}

}  // namespace ostrel::platform::qt
