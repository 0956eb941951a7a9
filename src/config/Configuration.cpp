#include "config/Configuration.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "state/PlayerState.h"
#include "state/Text.h"

namespace ostrel {

namespace {

// One read of the file takes at most this many bytes (the last holds the
// terminator), so a longer line comes in several pieces.
constexpr int kLineBuffer = 4096;
// The longest key the table could hold; a longer run of letters and digits
// cannot be one of ours.
constexpr std::size_t kMaxKey = 31;

bool isKeyChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// The player state field a key reads into and writes from: a text array or
// a number.
struct Field {
    char* text = nullptr;
    std::size_t size{};
    std::int32_t* number = nullptr;

    constexpr Field() = default;
    template <std::size_t N>
    constexpr Field(char (&array)[N]) : text(array), size(N) {}
    constexpr Field(std::int32_t& value) : number(&value) {}
};

// How a key's value is read and written.
enum class Kind {
    Text,       // the text, cut to its field
    Flag,       // "yes" sets it, any other word clears it
    YesOnly,    // "yes" sets it, any other word leaves it
    AlwaysOff,  // kept only to be written out again, always off
    RunOnly,    // "yes" sets it for this run only: it is always written "no"
    MenuBar,    // one of the menu bar words
    Number,     // a decimal number
    Item,       // a playlist item; the file always says "none"
    Ignored,    // known, read over and never written
};

struct Key {
    const char* name;
    const char* comment;  // the line written above it
    Kind kind;
    Field field;
};

// Every key the file knows, in the order the writer puts them.
constexpr Key kKeys[] = {
    {"AuthorId", "# Author ID", Kind::Text, state.authorId},
    {"DiscTitle", "# Disc Title", Kind::Text, state.discTitle},
    {"AuthorSite", "# Author Site", Kind::Text, state.authorSite},
    {"AuthorNet", "# Host Network", Kind::Text, state.authorNet},
    {"ForceNet", "# Enforce internet connection ( yes/no)", Kind::Flag, state.forceNet},
    {"Tracking", "# Tracking activation ( yes/no)", Kind::AlwaysOff, state.tracking},
    {"VersionCheck", nullptr, Kind::Ignored, {}},
    {"SoundOn", "# Intro sound activation ( yes/no)", Kind::Flag, state.soundOn},
    {"MenuBar", "# Menu bar activation ( text/graphic/none)", Kind::MenuBar, state.menuBarMode},
    {"ReadOnly", "# Read only configuration ( yes/no)", Kind::YesOnly, state.readOnly},
    {"FileName", "# Input file name ( set to \"none\" for no file input)", Kind::Item, {}},
    {"FullScreen", "# Play in full screen mode ( yes/no)", Kind::RunOnly, state.fullScreen},
    {"XCoord", "# X-coordinate of left window corner in pixels", Kind::Number, state.windowX},
    {"YCoord", "# Y-coordinate of left window corner in pixels", Kind::Number, state.windowY},
    {"Width", "# Window width in pixels", Kind::Number, state.windowWidth},
    {"Height", "# Window height in pixels", Kind::Number, state.windowHeight},
};

// The menu bar words; any other word reads as text.
struct MenuBarWord {
    const char* word;
    std::int32_t mode;
};
constexpr MenuBarWord kMenuBarWords[] = {
    {"text", kMenuText}, {"graphic", kMenuGraphic}, {"none", kMenuNone}};

std::int32_t menuBarMode(const char* word) {
    for (const MenuBarWord& entry : kMenuBarWords)
        if (std::strcmp(word, entry.word) == 0) return entry.mode;
    return kMenuText;
}

const char* menuBarWord(std::int32_t mode) {
    for (const MenuBarWord& entry : kMenuBarWords)
        if (mode == entry.mode) return entry.word;
    return "text";
}

const Key* findKey(const char* name) {
    for (const Key& key : kKeys)
        if (std::strcmp(name, key.name) == 0) return &key;
    return nullptr;
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
void copyValue(const Field& field, const char* value) {
    copyText(field.text, field.size, value);
    std::size_t length = std::strlen(field.text);
    while (length > 0 && isWhite(field.text[length - 1]))
        field.text[--length] = '\0';
}

// Reads one key's value into its field. Returns false when reading must
// stop with a failure.
bool readValue(const Key& key, const char* value) {
    bool yes = std::strcmp(value, "yes") == 0;
    switch (key.kind) {
        case Kind::Text:
            copyValue(key.field, value);
            break;
        case Kind::Flag:
            *key.field.number = yes ? 1 : 0;
            break;
        case Kind::YesOnly:
        case Kind::RunOnly:
            if (yes) *key.field.number = 1;
            break;
        case Kind::AlwaysOff:
            *key.field.number = 0;
            break;
        case Kind::MenuBar:
            *key.field.number = menuBarMode(value);
            break;
        case Kind::Number:
            *key.field.number = readNumber(value, 10);
            break;
        case Kind::Item:
            return addConfiguredItem(value);
        case Kind::Ignored:
            break;
    }
    return true;
}

// Applies one key line (or piece of a line). Returns false when reading must
// stop with a failure. A line that does not start with a key's letters (a
// comment, an indented line) names no key.
bool applyLine(char* line) {
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

    const Key* known = findKey(key);
    return known ? readValue(*known, value) : true;
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

// The text a key is written with; `number` holds a number's digits.
const char* writtenValue(const Key& key, char (&number)[16]) {
    auto yesNo = [](std::int32_t flag) { return flag ? "yes" : "no"; };
    switch (key.kind) {
        case Kind::Text:
            return key.field.text;
        case Kind::Flag:
        case Kind::YesOnly:
        case Kind::AlwaysOff:
            return yesNo(*key.field.number);
        case Kind::RunOnly:
            return "no";
        case Kind::MenuBar:
            return menuBarWord(*key.field.number);
        case Kind::Number:
            std::snprintf(number, sizeof number, "%d", *key.field.number);
            return number;
        case Kind::Item:
            return "none";
        case Kind::Ignored:
            break;
    }
    return "";
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

    // Every value starts in column 14.
    for (const Key& key : kKeys) {
        if (!key.comment) continue;
        char number[16];
        std::fprintf(file, "%s\r\n\r\n%-13s%s\r\n\r\n", key.comment, key.name,
                     writtenValue(key, number));
    }
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

void configFilePath(char (&buffer)[kPathSize]) {
    copyText(buffer, state.exeDir);
    appendText(buffer, kConfigFileName);
}

void writeConfiguration(const char* path) {
    if (state.readOnly) return;
    platform::LocalTime now = files().localTime();

    // The new file is written whole beside the old one, then renamed over
    // it: an interrupted or failed write leaves the old file as it was.
    char temporary[kPathSize + 16];
    if (!copyText(temporary, path) || !appendText(temporary, ".new")) return;
    std::FILE* file = std::fopen(temporary, "wb");
    if (!file) {
        files().configurationNotWritten(path, errno);
        return;
    }

    if (!state.fullScreen) capturePlacement();
    bool written = writeLayout(file, now);
    written = std::fclose(file) == 0 && written;
    if (written && files().replaceFile(temporary, path)) return;
    const int error = errno;
    std::remove(temporary);
    files().configurationNotWritten(path, error);
}

}  // namespace ostrel
