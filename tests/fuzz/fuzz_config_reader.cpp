// Reads arbitrary bytes as the configuration file, then writes what was read
// and reads it again: the state must stay sound, and a file the player wrote
// must give back the same settings.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "state/PlayerState.h"
#include "config/Configuration.h"
#include "fake/FakePlatform.h"
#include "fuzz/FuzzChecks.h"

namespace {

using namespace ostrel;
using fuzz::require;

const std::string& folder() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/ostrel-fuzz-cfg-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (!made) fuzz::broken("no temporary folder");
        return std::string(made);
    }();
    return dir;
}

void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) fuzz::broken("cannot write the input file");
    if (size > 0 && std::fwrite(data, 1, size, file) != size) fuzz::broken("short write");
    std::fclose(file);
}

struct Settings {
    std::int32_t x, y, width, height, soundOn, menuBarMode, forceNet;
    std::string texts[4];
};

Settings settings() {
    return {
        state.windowX,     state.windowY,
        state.windowWidth, state.windowHeight,
        state.soundOn,     state.menuBarMode,
        state.forceNet,    {state.authorId, state.discTitle, state.authorSite, state.authorNet}};
}

bool same(const Settings& a, const Settings& b) {
    for (int i = 0; i < 4; ++i)
        if (a.texts[i] != b.texts[i]) return false;
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height &&
           a.soundOn == b.soundOn && a.menuBarMode == b.menuBarMode && a.forceNet == b.forceNet;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = folder() + "/ostrel.cfg";
    const std::string output = folder() + "/written.cfg";
    writeFile(input, data, size);

    fake::FakeFixtureState fixture;
    int result = readConfiguration(input.c_str());
    require(result == 0 || result == 1, "result is 0 or 1");
    require((result == 1) == (state.failure == Failure::None), "a failure has a cause");
    fuzz::checkState();
    if (result == 0) require(state.itemCount == 0, "a failed read leaves no items");
    if (result == 0 || state.readOnly) return 0;

    Settings before = settings();
    std::remove(output.c_str());
    writeConfiguration(output.c_str());
    state = PlayerState{};
    require(readConfiguration(output.c_str()) == 1, "a written file reads back");
    fuzz::checkState();
    require(same(before, settings()), "a written file gives back the same settings");
    require(state.itemCount == 0 && state.haveInput == 0 && state.fullScreen == 0 &&
                state.readOnly == 0,
            "a written file has no items, no full screen and is not read only");
    return 0;
}
