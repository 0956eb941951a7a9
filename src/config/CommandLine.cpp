#include "config/CommandLine.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "config/Configuration.h"
#include "state/PlayerState.h"
#include "state/Text.h"

namespace ostrel {

namespace {

// At most this many units of tokens are looked at: an option costs 1, a
// path 2, or 1 once full screen was asked for.
constexpr int kTokenBudget = 5;

// "-s", "-e" and "-t" take the token after them as their number, in any of
// the bases readNumber picks from the text; a number of 0 or none at all
// fails the whole command line.
bool applyNumberOption(const char* option, std::int32_t& field, const char*& cursor) {
    std::size_t length{};
    std::unique_ptr<char[]> number = nextToken(cursor, length);
    field = number ? readNumber(number.get(), 0) : 0;
    if (std::strcmp(option, "-t") == 0) state.frameCount = 0;
    if (field != 0) return true;
    char detail[64];
    copyText(detail, option);
    appendText(detail, " ");
    appendText(detail, number ? number.get() : "missing");
    setFailure(Failure::BadCommandLine, detail);
    return false;
}

enum class PathOutcome { Taken, Ignored, Missing };

// A media path goes into the slot of the current item; it must exist.
PathOutcome applyPath(const char* token) {
    std::unique_ptr<char[]> full;
    switch (resolveFullPath(token, full)) {
        case FullPathResult::NoMemory:
            return PathOutcome::Ignored;
        case FullPathResult::Failed:
            setFailure(Failure::MissingItem, token);
            return PathOutcome::Missing;
        case FullPathResult::Resolved:
            break;
    }
    // A path that does not fit a slot could only be stored cut, naming some
    // other file: it is refused as if it were missing.
    if (std::strlen(full.get()) >= kPathSize) {
        setFailure(Failure::MissingItem, full.get());
        return PathOutcome::Missing;
    }
    char* slot = state.playlist[state.currentItem];
    copyText(slot, kPathSize, full.get());
    state.haveInput = 1;
    if (!files().fileExists(slot)) {
        setFailure(Failure::MissingItem, slot);
        return PathOutcome::Missing;
    }
    return PathOutcome::Taken;
}

}  // namespace

std::unique_ptr<char[]> nextToken(const char*& cursor, std::size_t& length) {
    const char* start = cursor;
    while (isWhite(*start))
        ++start;
    if (*start == '\0') return nullptr;

    // `quoted` stays set only while the token is one quoted stretch.
    bool quoted = *start == '"';
    bool insideQuotes = false;
    const char* end = start;
    while (*end != '\0') {
        char c = *end;
        if (c == '"') {
            insideQuotes = !insideQuotes;
        } else if (c == '\\') {
            // The next character is taken as it is. A backslash at the very
            // end of the text has nothing after it to take.
            if (!insideQuotes) quoted = false;
            if (end[1] != '\0') ++end;
        } else if (isWhite(c)) {
            if (!insideQuotes) break;
        } else if (!insideQuotes) {
            quoted = false;
        }
        ++end;
    }

    const char* from = start;
    std::size_t size = static_cast<std::size_t>(end - start);
    if (quoted) {
        ++from;
        size -= std::min<std::size_t>(size, 2);  // the quotes, or the lone one
    }
    std::unique_ptr<char[]> token(new (std::nothrow) char[size + 1]);
    if (!token) return nullptr;
    std::memcpy(token.get(), from, size);
    token[size] = '\0';
    cursor = end;
    length = size;
    return token;
}

int parseCommandLine(const char* text) {
    int spent = 0;
    const char* cursor = text;
    std::size_t length{};
    for (auto token = nextToken(cursor, length); token; token = nextToken(cursor, length)) {
        if (spent >= kTokenBudget) continue;
        const char* t = token.get();
        if (std::strcmp(t, "-fs") == 0) {
            state.fullScreen = 1;
        } else if (std::strcmp(t, "-s") == 0) {
            if (!applyNumberOption(t, state.startFrame, cursor)) return 0;
        } else if (std::strcmp(t, "-e") == 0) {
            if (!applyNumberOption(t, state.endFrame, cursor)) return 0;
        } else if (std::strcmp(t, "-t") == 0) {
            if (!applyNumberOption(t, state.totalFrames, cursor)) return 0;
        } else {
            PathOutcome outcome = applyPath(t);
            if (outcome == PathOutcome::Missing) return 0;
            if (outcome == PathOutcome::Ignored) continue;
            if (!state.fullScreen) ++spent;
        }
        ++spent;
    }
    if (state.haveInput && isWavPath(state.playlist[state.currentItem])) state.audioOnly = 1;
    return 1;
}

}  // namespace ostrel
