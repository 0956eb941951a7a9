#include "state/Text.h"

namespace ostrel {

namespace {

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

}  // namespace

std::int32_t readNumber(const char* text, int base) {
    while (isWhite(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    if (base == 0) {
        base = 10;
        if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && digitValue(text[2]) < 16) {
            base = 16;
            text += 2;
        } else if (text[0] == '0') {
            base = 8;
        }
    }
    constexpr std::int64_t kLimit = std::int64_t{INT32_MAX} + 1;
    std::int64_t magnitude = 0;
    for (int digit = digitValue(*text); digit < base; digit = digitValue(*++text)) {
        magnitude = magnitude * base + digit;
        if (magnitude > kLimit) magnitude = kLimit;
    }
    if (negative) return static_cast<std::int32_t>(-magnitude);
    return static_cast<std::int32_t>(magnitude < kLimit ? magnitude : INT32_MAX);
}

}  // namespace ostrel
