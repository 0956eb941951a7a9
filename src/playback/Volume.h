// The output volume in nine levels: probed at start, set from the settings
// dialog, restored at the end.
#pragma once

#include <cstdint>

namespace ostrel {

// Reads the output volume in force; false when the device cannot be opened
// or its volume cannot be read.
bool probeVolume();

// The level 0..8 of a volume value (the whole value compared unsigned).
int volumeToLevel(std::uint32_t volume);

// Writes the volume of volumeLevel to the device.
void setVolumeLevel();

// Writes back the volume found by the probe (nothing before the probe).
void restoreVolume();

}  // namespace ostrel
