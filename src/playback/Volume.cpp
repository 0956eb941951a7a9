// The output volume in nine levels. Every operation opens the wave mapper
// with the same PCM format, reads or writes the volume and closes it again.
#include "playback/Volume.h"

#include <cstdint>

#include "state/PlayerState.h"

namespace ostrel {

namespace {

using platform::kMmNoError;

// What the setter writes for each level: both channels the same, the
// middle of the level's band (the ends for levels 0 and 8).
constexpr std::uint32_t kLevelVolume[9] = {
    0x00000000, 0x11111111, 0x33333333, 0x55555555, 0x77777777,
    0x99999999, 0xBBBBBBBB, 0xDDDDDDDD, 0xFFFFFFFF,
};

// Each band above level 0 is this wide; level n covers
// (kBandWidth * (n - 1), kBandWidth * n], level 8 everything above level 7.
constexpr std::uint32_t kBandWidth = 0x22222222;

constexpr std::int32_t kPositionPerLevel = 1250;  // 0.125 of the bar's 10000

platform::MmResult openWaveOut() {
    return sound().waveOutOpen(state.probeFormat, state.waveOut);
}

void closeWaveOut() {
    state.waveOut.reset();
}

}  // namespace

int volumeToLevel(std::uint32_t volume) {
    if (volume == 0) return 0;
    std::uint32_t band = (volume - 1) / kBandWidth;  // 0..7 (7 only above 0xEEEEEEEE)
    return static_cast<int>(band) + 1;
}

bool probeVolume() {
    state.probeFormat = platform::WaveFormat{platform::kWaveFormatPcm, 2, 44100, 88200, 2, 8, 0};
    if (openWaveOut() != kMmNoError) {
        closeWaveOut();
        setFailure(Failure::NoWaveDevice, "the wave output cannot be opened");
        return false;
    }
    if (state.waveOut->getVolume(state.currentVolume) != kMmNoError) {
        closeWaveOut();
        setFailure(Failure::NoWaveDevice, "the output volume cannot be read");
        return false;
    }
    state.volumeLevel = volumeToLevel(state.currentVolume);
    state.initialVolume = state.currentVolume;
    state.volumePos = state.volumeLevel * kPositionPerLevel;
    closeWaveOut();
    state.volumeProbed = true;
    return true;
}

void setVolumeLevel() {
    if (state.volumeLevel >= 0 && state.volumeLevel <= 8)
        state.currentVolume = kLevelVolume[state.volumeLevel];
    openWaveOut();
    if (state.waveOut) state.waveOut->setVolume(state.currentVolume);
    closeWaveOut();
}

void restoreVolume() {
    // Before the probe there is no volume of the user's to give back, and
    // writing the empty value would silence the machine.
    if (!state.volumeProbed) return;
    openWaveOut();
    if (state.waveOut) state.waveOut->setVolume(state.initialVolume);
    closeWaveOut();
}

}  // namespace ostrel
