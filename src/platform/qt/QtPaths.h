// Small pieces of the Linux build that need no toolkit: paths as the player
// resolves them, and the command-line text built from the program's
// arguments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ostrel::platform::qt {

// `path` made absolute against `currentFolder` (itself absolute) and
// normalised by its text alone: "." and empty parts dropped, ".." taking
// away the part before it (never above the root). Links are not followed,
// so the result names the path the user gave. A trailing slash stays.
// Empty when `path` is empty.
std::string lexicalFullPath(const std::string& path, const std::string& currentFolder);

// The size protocol of a full-path query into a caller's buffer: when the
// path and its terminator fit in `bufferSize` bytes the path is written and
// its length returned; otherwise nothing is written and the size needed,
// terminator included, is returned. 0 for an empty path.
std::uint32_t copyPathResult(const std::string& path, std::uint32_t bufferSize, char* buffer);

// The command-line text of the program's arguments (without the program's
// own name): the arguments joined by single blanks, each one that holds
// white space (or is empty) put in double quotes, so that the player's
// command-line reader gives the same words back.
std::string joinCommandLine(const std::vector<std::string>& arguments);

// The clip the program's arguments name, made absolute against
// `currentFolder` as the player will find it: the last word that is neither
// an option nor an option's number. Empty when there is none, or when it is
// a sound (".wav"), which no clip is opened for.
std::string clipArgument(const std::vector<std::string>& arguments,
                         const std::string& currentFolder);

}  // namespace ostrel::platform::qt
