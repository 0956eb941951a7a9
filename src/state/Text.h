// Fixed-size texts: every write to one of the player's char arrays goes
// through these helpers, which never write past the array and always leave
// it zero-terminated. Also the two readers of user text that the
// configuration and the command line share: blanks and numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ostrel {

// Copies at most size - 1 bytes of `source` and terminates `dest`. Returns
// false when `source` did not fit whole.
inline bool copyText(char* dest, std::size_t size, const char* source) {
    if (size == 0) return false;
    std::size_t length = std::strlen(source);
    bool fits = length < size;
    if (!fits) length = size - 1;
    std::memmove(dest, source, length);
    dest[length] = '\0';
    return fits;
}

template <std::size_t N>
bool copyText(char (&dest)[N], const char* source) {
    return copyText(dest, N, source);
}

// Appends `source` to the text in `dest`, cutting it to the array.
template <std::size_t N>
bool appendText(char (&dest)[N], const char* source) {
    std::size_t used = ::strnlen(dest, N - 1);
    return copyText(dest + used, N - used, source);
}

// White space as the C library knows it in its default locale; a locale of
// the user's must not change how a file or a command line reads.
inline bool isWhite(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A number read as the C library's text-to-long conversion reads it (white
// space, a sign, the digits of `base`, the rest ignored), held to the 32-bit
// range instead of running past it. Base 0 picks it from the text: "0x"
// hexadecimal, another leading "0" octal, else decimal.
std::int32_t readNumber(const char* text, int base);

}  // namespace ostrel
