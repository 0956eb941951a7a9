// Cuts arbitrary text into tokens and applies it as a command line: tokens
// must account for the text exactly, and the state must stay sound.
#include "config/CommandLine.h"
#include "fuzz/FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char *cursor = text.c_str(), *before = cursor, *end = cursor + std::strlen(cursor);
    std::size_t length = 0;
    while (auto token = nextToken(cursor, length)) {
        require(cursor > before && cursor <= end, "the cursor moves forward within the text");
        require(std::strlen(token.get()) == length, "the length is the token's length");
        require(length <= static_cast<std::size_t>(cursor - before),
                "a token is no longer than the text it was cut from");
        require(cursor == end || std::isspace(static_cast<unsigned char>(*cursor)),
                "a token ends at white space or the end");
        before = cursor;
    }
    require(cursor == before, "the cursor stays at the end");
    while (cursor < end)
        require(std::isspace(static_cast<unsigned char>(*cursor++)), "only white space is left");

    fake::FakeFixtureState fixture;
    // The last slot: a path written past it would show at once.
    state.currentItem = kPlaylistSlots - 1;
    int result = parseCommandLine(text.c_str());
    require(result == 0 || result == 1, "result is 0 or 1");
    require((result == 1) == (state.failure == Failure::None), "a failure has a cause");
    require(state.failure != Failure::BadCommandLine || state.startFrame == 0 ||
                state.endFrame == 0 || state.totalFrames == 0,
            "a failing option leaves its field at 0");
    require(state.itemCount == 0, "the command line never counts items");
    require(state.currentItem == kPlaylistSlots - 1, "the command line never moves the item");
    for (int i = 0; i < kPlaylistSlots - 1; ++i)
        require(state.playlist[i][0] == '\0', "only the current slot is written");
    require(state.haveInput == (state.playlist[kPlaylistSlots - 1][0] != '\0' ? 1 : 0),
            "input is given exactly when the slot holds a path");
    fuzz::checkState();
    return 0;
}
