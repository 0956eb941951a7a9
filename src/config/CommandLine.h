// The command line: media paths and the options "-fs", "-s", "-e", "-t".
#pragma once

#include <cstddef>
#include <memory>

namespace ostrel {

// Cuts the next token off the text at `cursor`, by the player's rules for
// quotes and backslashes, and moves `cursor` past it. Returns null at the end
// of the text (the cursor stays).
std::unique_ptr<char[]> nextToken(const char*& cursor, std::size_t& length);

// Applies every token of `text` to the player state. 1 on success, 0 when a
// path names nothing that exists or an option's number is 0 or missing.
int parseCommandLine(const char* text);

}  // namespace ostrel
