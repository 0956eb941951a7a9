// The configuration file "ostrel.cfg" beside the executable: a lenient
// line reader, a writer of one fixed layout, and the lower-casing used to
// compare file extensions.
#pragma once

#include <memory>

#include "state/PlayerState.h"

namespace ostrel {

// Reads the file at `path` into the player state. 1 when the whole file was
// read, 0 when it cannot be opened or read, or a FileName line names a
// missing file (or a path too long for a Playlist slot).
int readConfiguration(const char* path);

// The path of the configuration file: exeDir followed by its name.
void configFilePath(char (&buffer)[kPathSize]);

// Writes the player state to `path` in the fixed layout, unless the
// configuration is read only. The new file is written beside the old one and
// then renamed over it, so a failed write leaves the old file whole.
void writeConfiguration(const char* path);

// Copies `source` up to the first line feed or its end into `dest`, lowering
// the ASCII letters A..Z; `dest` may be `source` itself.
void lowerCaseCopy(const char* source, char* dest);

// The extension of `path`: the text from its last "." (an empty text when
// there is none).
const char* extensionOf(const char* path);

// True when `path` names a WAV file: its extension, lowered, is ".wav".
// The path itself keeps its letters.
bool isWavPath(const char* path);

// How resolving a path given by the user against the current folder went.
enum class FullPathResult {
    Resolved,  // `full` holds the full path (of any length)
    NoMemory,  // no buffer could be had: the caller ignores the path
    Failed,    // the platform could not resolve it: the path names nothing
};

// Resolves `path` with the platform's full-path call: first asking for the
// size needed, then filling a buffer of that size.
FullPathResult resolveFullPath(const char* path, std::unique_ptr<char[]>& full);

}  // namespace ostrel
