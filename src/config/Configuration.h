// The configuration file "ostrel.cfg" beside the executable: a lenient
// line reader, a writer of one fixed layout, and the lower-casing used to
// compare file extensions.
#pragma once

namespace ostrel {

// Reads the file at `path` into the player state. 1 when the whole file was
// read, 0 when it cannot be opened or a FileName line names a missing file.
int readConfiguration(const char* path);

// Writes the player state to `path` in the fixed layout, unless the
// configuration is read only. The new file replaces the old one in one step.
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

}  // namespace ostrel
