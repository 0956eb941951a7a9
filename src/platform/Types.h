// Values shared by the player core and every platform layer: status codes,
// geometry records and the opaque handles the core passes around.
#pragma once

#include <cstdint>

namespace ostrel::platform {

// Status values as the platform reports them: negative is failure, 0 and
// above is success (some success values carry meaning of their own).
using Status = std::int32_t;

inline constexpr Status kOk = 0;
inline constexpr Status kFail = static_cast<Status>(0x80004005u);
inline constexpr Status kEndOfStream = 0x00040003;
inline constexpr Status kStillDrawing = static_cast<Status>(0x8876021Cu);
inline constexpr Status kSurfaceLost = static_cast<Status>(0x887601C2u);

inline constexpr bool failed(Status s) {
    return s < 0;
}

// Result codes of the wave output calls (0 is success, anything else fails).
using MmResult = std::uint32_t;
inline constexpr MmResult kMmNoError = 0;
inline constexpr MmResult kMmError = 1;

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// Opaque handles. Each build gives them its own meaning (a Win32 HWND, a Qt
// window object, a number in the test fake); the core only stores, compares
// and hands them back.
struct WindowObject;
struct InstanceObject;
struct CursorObject;
struct IconObject;
struct MutexObject;
struct DropObject;
using WindowHandle = WindowObject*;
using InstanceHandle = InstanceObject*;
using CursorHandle = CursorObject*;
using IconHandle = IconObject*;
using MutexHandle = MutexObject*;
using DropHandle = DropObject*;

// Local calendar time, as the configuration header prints it.
struct LocalTime {
    int year = 1970;  // four digits
    int month = 0;    // 0 = January
    int day = 1;      // day of the month, 1..31
    int weekday = 0;  // 0 = Sunday
    int hour = 0;
    int minute = 0;
    int second = 0;
};

}  // namespace ostrel::platform
