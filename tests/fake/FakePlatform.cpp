#include "fake/FakePlatform.h"

#include <cstdarg>
#include <cstdio>

namespace ostrel::fake {

std::string format(const char* pattern, ...) {
    va_list args, again;
    va_start(args, pattern);
    va_copy(again, args);
    std::string out(static_cast<std::size_t>(std::vsnprintf(nullptr, 0, pattern, args)), '\0');
    std::vsnprintf(out.data(), out.size() + 1, pattern, again);
    va_end(again);
    va_end(args);
    return out;
}

}  // namespace ostrel::fake
