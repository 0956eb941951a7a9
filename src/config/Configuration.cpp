#include "config/Configuration.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "app/PlayerState.h"
#include "app/Text.h"

namespace ostrel {

namespace {

// One read of the file takes at most this many bytes (the last holds the
// terminator), so a longer line comes in several pieces.
constexpr int kLineBuffer = 4096;
// The longest key the table could hold; a longer run of letters and digits
// cannot be one of ours.
constexpr std::size_t kMaxKey = 31;

enum ConfigKey {
    kUndefined,
    kAuthorId,
    kDiscTitle,
    kAuthorSite,
    kAuthorNet,
    kForceNet,
    kTracking,
    kVersionCheck,
    kSoundOn,
    kMenuBar,
    kReadOnly,
    kFileName,
    kFullScreen,
    kXCoord,
    kYCoord,
    kWidth,
    kHeight,
    kKeyCount
};

// The reader's table, by key index.
constexpr const char* kKeyNames[kKeyCount] = {
    "Undefined",  "AuthorId",     "DiscTitle", "AuthorSite", "AuthorNet", "ForceNet",
    "Tracking",   "VersionCheck", "SoundOn",   "MenuBar",    "ReadOnly",  "FileName",
    "FullScreen", "XCoord",       "YCoord",    "Width",      "Height"};

bool isWhite(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isKeyChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// The decimal value of a number key, read as the C library's text-to-integer
// conversion reads it (white space, a sign, digits, the rest ignored), but a
// value past the 32-bit range stops at its largest or smallest value instead
// of being undefined.
std::int32_t decimalValue(const char* text) {
    while (isWhite(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    constexpr std::int64_t kLimit = std::int64_t{INT32_MAX} + 1;
    std::int64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        magnitude = magnitude * 10 + (*text - '0');
        if (magnitude > kLimit) magnitude = kLimit;
    }
    if (negative) return static_cast<std::int32_t>(-magnitude);
    return static_cast<std::int32_t>(magnitude < kLimit ? magnitude : INT32_MAX);
}

int keyIndex(const char* key) {
    for (int i = 0; i < kKeyCount; ++i)
        if (std::strcmp(key, kKeyNames[i]) == 0) return i;
    return kUndefined;
}

// A FileName line: the n-th one that is no WAV item fills slot n-1. Returns
// false when the item is missing, which ends the reading.
bool addConfiguredItem(const char* value) {
    if (std::strcmp(value, "none") == 0 || state.itemCount >= kPlaylistSlots) return true;
    std::unique_ptr<char[]> full;
    switch (resolveFullPath(value, full)) {
        case FullPathResult::NoMemory:
            return true;
        case FullPathResult::Failed:
            state.itemCount = 0;
            setFailure(Failure::ConfigMissingItem, value);
            return false;
        case FullPathResult::Resolved:
            break;
    }
    // A path that does not fit a slot could only be stored cut, naming some
    // other file: it is refused as if it were missing.
    if (std::strlen(full.get()) >= kPathSize) {
        state.itemCount = 0;
        setFailure(Failure::ConfigMissingItem, full.get());
        return false;
    }
    char* slot = state.playlist[state.itemCount];
    copyText(slot, kPathSize, full.get());
    state.haveInput = 1;
    if (!files().fileExists(slot)) {
        state.itemCount = 0;
        setFailure(Failure::ConfigMissingItem, slot);
        return false;
    }
    // A WAV item is played without a window; the next FileName line, if
    // any, takes its slot.
    if (isWavPath(slot))
        state.audioOnly = 1;
    else
        ++state.itemCount;
    return true;
}

// Stores a text value, cut to its field. A cut can end in blanks, which the
// reader never keeps at the end of a value: they go too, so that the file the
// player writes reads back as the same text.
template <std::size_t N>
void copyValue(char (&field)[N], const char* value) {
    copyText(field, value);
    std::size_t length = std::strlen(field);
    while (length > 0 && isWhite(field[length - 1]))
        field[--length] = '\0';
}

// Applies one key line (or piece of a line). Returns false when reading must
// stop with a failure.
bool applyLine(char* line) {
    if (line[0] == '#' || isWhite(line[0])) return true;

    std::size_t keyLength = 0;
    while (isKeyChar(line[keyLength]))
        ++keyLength;
    if (keyLength == 0 || keyLength > kMaxKey) return true;
    char key[kMaxKey + 1];
    std::memcpy(key, line, keyLength);
    key[keyLength] = '\0';

    char* value = line + keyLength;
    while (*value != '\n' && isWhite(*value))
        ++value;
    std::size_t valueLength = 0;
    while (value[valueLength] != '\0' && value[valueLength] != '\n')
        ++valueLength;
    while (valueLength > 0 && isWhite(value[valueLength - 1]))
        --valueLength;
    if (valueLength == 0) return true;
    value[valueLength] = '\0';

    bool yes = std::strcmp(value, "yes") == 0;
    switch (keyIndex(key)) {
        case kAuthorId:
            copyValue(state.authorId, value);
            break;
        case kDiscTitle:
            copyValue(state.discTitle, value);
            break;
        case kAuthorSite:
            copyValue(state.authorSite, value);
            break;
        case kAuthorNet:
            copyValue(state.authorNet, value);
            break;
        case kForceNet:
            state.forceNet = yes ? 1 : 0;
            break;
        case kTracking:
            // Tracking is kept only to be written out again, always off.
            state.tracking = 0;
            break;
        case kSoundOn:
            state.soundOn = yes ? 1 : 0;
            break;
        case kMenuBar:
            if (std::strcmp(value, "graphic") == 0)
                state.menuBarMode = kMenuGraphic;
            else if (std::strcmp(value, "none") == 0)
                state.menuBarMode = kMenuNone;
            else
                state.menuBarMode = kMenuText;
            break;
        case kReadOnly:
            if (yes) state.readOnly = 1;
            break;
        case kFileName:
            return addConfiguredItem(value);
        case kFullScreen:
            if (yes) state.fullScreen = 1;
            break;
        case kXCoord:
            state.windowX = decimalValue(value);
            break;
        case kYCoord:
            state.windowY = decimalValue(value);
            break;
        case kWidth:
            state.windowWidth = decimalValue(value);
            break;
        case kHeight:
            state.windowHeight = decimalValue(value);
            break;
        default:  // Undefined and VersionCheck
            break;
    }
    return true;
}

// The outer rectangle of the live main window gives the placement to save;
// only edges and sizes greater than 0 are taken.
void capturePlacement() {
    platform::WindowHandle window = windows().findWindow(kWindowClassName, kWindowTitle);
    if (!window) return;
    platform::Rect rect;
    if (!windows().getWindowRect(window, rect)) return;
    auto size = [](std::int32_t from, std::int32_t to) {
        std::int64_t extent = std::int64_t{to} - from;
        return static_cast<std::int32_t>(extent > INT32_MAX ? INT32_MAX : extent);
    };
    if (rect.left > 0) state.windowX = rect.left;
    if (rect.top > 0) state.windowY = rect.top;
    if (std::int32_t width = size(rect.left, rect.right); width > 0) state.windowWidth = width;
    if (std::int32_t height = size(rect.top, rect.bottom); height > 0) state.windowHeight = height;
}

const char* yesNo(std::int32_t flag) {
    return flag ? "yes" : "no";
}

const char* menuBarWord(std::int32_t mode) {
    switch (mode) {
        case kMenuGraphic:
            return "graphic";
        case kMenuNone:
            return "none";
        default:
            return "text";
    }
}

// The whole file in its fixed layout. Lines end in CR LF on every platform,
// so one file serves both builds; the last line has no line end.
bool writeLayout(std::FILE* file, const platform::LocalTime& now) {
    static constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char* weekday = now.weekday >= 0 && now.weekday < 7 ? kWeekdays[now.weekday] : "???";
    const char* month = now.month >= 0 && now.month < 12 ? kMonths[now.month] : "???";
    // The version is written as text, not formatted from a number, so that a
    // locale with a decimal comma cannot change the header.
    std::fprintf(file, "# ostrel v%s configuration - %s %s %02d %02d:%02d:%02d %d\r\n# --\r\n\r\n",
                 kVersionText, weekday, month, now.day, now.hour, now.minute, now.second, now.year);

    char number[4][16];
    std::snprintf(number[0], sizeof number[0], "%d", state.windowX);
    std::snprintf(number[1], sizeof number[1], "%d", state.windowY);
    std::snprintf(number[2], sizeof number[2], "%d", state.windowWidth);
    std::snprintf(number[3], sizeof number[3], "%d", state.windowHeight);
    struct Line {
        const char* comment;
        const char* key;
        const char* value;
    };
    const Line lines[] = {
        {"# Author ID", "AuthorId", state.authorId},
        {"# Disc Title", "DiscTitle", state.discTitle},
        {"# Author Site", "AuthorSite", state.authorSite},
        {"# Host Network", "AuthorNet", state.authorNet},
        {"# Enforce internet connection ( yes/no)", "ForceNet", yesNo(state.forceNet)},
        {"# Tracking activation ( yes/no)", "Tracking", yesNo(state.tracking)},
        {"# Intro sound activation ( yes/no)", "SoundOn", yesNo(state.soundOn)},
        {"# Menu bar activation ( text/graphic/none)", "MenuBar", menuBarWord(state.menuBarMode)},
        {"# Read only configuration ( yes/no)", "ReadOnly", yesNo(state.readOnly)},
        {"# Input file name ( set to \"none\" for no file input)", "FileName", "none"},
        {"# Play in full screen mode ( yes/no)", "FullScreen", "no"},
        {"# X-coordinate of left window corner in pixels", "XCoord", number[0]},
        {"# Y-coordinate of left window corner in pixels", "YCoord", number[1]},
        {"# Window width in pixels", "Width", number[2]},
        {"# Window height in pixels", "Height", number[3]},
    };
    // Every value starts in column 14.
    for (const Line& line : lines)
        std::fprintf(file, "%s\r\n\r\n%-13s%s\r\n\r\n", line.comment, line.key, line.value);
    std::fputs("# --\r\n# End of configuration file", file);
    return std::ferror(file) == 0;
}

}  // namespace

void lowerCaseCopy(const char* source, char* dest) {
    std::size_t i = 0;
    for (; source[i] != '\0' && source[i] != '\n'; ++i) {
        char c = source[i];
        dest[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    dest[i] = '\0';
}

const char* extensionOf(const char* path) {
    const char* dot = std::strrchr(path, '.');
    return dot ? dot : path + std::strlen(path);
}

bool isWavPath(const char* path) {
    const char* extension = extensionOf(path);
    if (std::strlen(extension) != 4) return false;
    char lowered[5];
    lowerCaseCopy(extension, lowered);
    return std::strcmp(lowered, ".wav") == 0;
}

FullPathResult resolveFullPath(const char* path, std::unique_ptr<char[]>& full) {
    std::uint32_t needed = files().getFullPathName(path, 0, nullptr);
    if (needed == 0) return FullPathResult::Failed;
    full.reset(new (std::nothrow) char[needed]);
    if (!full) return FullPathResult::NoMemory;
    std::uint32_t length = files().getFullPathName(path, needed, full.get());
    if (length == 0 || length >= needed) {
        full.reset();
        return FullPathResult::Failed;
    }
    full[length] = '\0';
    return FullPathResult::Resolved;
}

int readConfiguration(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        setFailure(Failure::ConfigUnreadable, path);
        return 0;
    }
    char line[kLineBuffer];
    while (std::fgets(line, kLineBuffer, file)) {
        if (!applyLine(line)) {
            std::fclose(file);
            return 0;
        }
    }
    // A file that opens but cannot be read (a folder, a failing disk) is as
    // unreadable as one that does not open.
    bool readFailed = std::ferror(file) != 0;
    std::fclose(file);
    if (readFailed) {
        setFailure(Failure::ConfigUnreadable, path);
        return 0;
    }
    return 1;
}

void writeConfiguration(const char* path) {
    if (state.readOnly) return;
    platform::LocalTime now = files().localTime();

    // The new file is written whole beside the old one, then renamed over
    // it: an interrupted or failed write leaves the old file as it was.
    char temporary[kPathSize + 16];
    if (!copyText(temporary, path) || !appendText(temporary, ".new")) return;
    std::FILE* file = std::fopen(temporary, "wb");
    if (!file) return;

    if (!state.fullScreen) capturePlacement();
    bool written = writeLayout(file, now);
    written = std::fclose(file) == 0 && written;
    if (!written || !files().replaceFile(temporary, path)) std::remove(temporary);
}

}  // namespace ostrel
