// mulDiv64: x * y / z over a 128-bit product, truncated toward zero,
// saturating when the quotient needs more than 64 bits.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "playback/MediaStream.h"

namespace ostrel {
namespace {

__extension__ typedef __int128 Int128;

constexpr std::int64_t kMax = INT64_MAX;
constexpr std::int64_t kMin = INT64_MIN;

TEST(MulDivTest, TheWorkedValues) {
    EXPECT_EQ(mulDiv64(250, 100000000, 500), 50000000);
    EXPECT_EQ(mulDiv64(-7, 3, 2), -10);
    EXPECT_EQ(mulDiv64(7, -3, -2), 10);
    EXPECT_EQ(mulDiv64(1, 1, 0), kMax);
    EXPECT_EQ(mulDiv64(-1, 1, 0), kMin);
    EXPECT_EQ(mulDiv64(0, -5, 0), kMin);  // a zero operand still carries a sign
    EXPECT_EQ(mulDiv64(std::int64_t{1} << 32, std::int64_t{1} << 32, 1), kMax);
    // The quotient 2^63 comes back as its bit pattern.
    EXPECT_EQ(mulDiv64(std::int64_t{1} << 62, 2, 1), kMin);
}

TEST(MulDivTest, SignsAndTruncationTowardZero) {
    EXPECT_EQ(mulDiv64(7, 1, 2), 3);
    EXPECT_EQ(mulDiv64(-7, 1, 2), -3);
    EXPECT_EQ(mulDiv64(7, 1, -2), -3);
    EXPECT_EQ(mulDiv64(-7, -1, -2), -3);
    EXPECT_EQ(mulDiv64(0, -5, 3), 0);
    EXPECT_EQ(mulDiv64(0, 5, 0), kMax);
    EXPECT_EQ(mulDiv64(0, 5, -1), 0);
    EXPECT_EQ(mulDiv64(5, 0, -1), 0);
}

TEST(MulDivTest, TheExtremes) {
    // The magnitude of the most negative value is 2^63.
    EXPECT_EQ(mulDiv64(kMin, 1, 1), kMin);
    EXPECT_EQ(mulDiv64(kMin, -1, 1), kMin);  // +2^63 as its bit pattern
    EXPECT_EQ(mulDiv64(kMin, kMin, kMin), kMin);
    EXPECT_EQ(mulDiv64(kMin, kMin, kMax),
              kMin + 1);  // 2^126 / (2^63 - 1) = 2^63 + 1, as its pattern
    EXPECT_EQ(mulDiv64(kMax, kMax, kMax), kMax);
    EXPECT_EQ(mulDiv64(kMax, kMax, kMin), -kMax + 1);  // (2^63-1)^2 / -2^63, truncated
    EXPECT_EQ(mulDiv64(kMax, 2, 2), kMax);
    EXPECT_EQ(mulDiv64(kMax, -2, 2), -kMax);
    EXPECT_EQ(mulDiv64(1, 1, kMin), 0);
    EXPECT_EQ(mulDiv64(kMax, kMin, 1), kMin);  // saturated, negative
    // A stream position: frame 1 of 2^31-1 in the longest stream.
    EXPECT_EQ(mulDiv64(1, kMax, 0x7FFFFFFF), 0x100000002);
}

// The value by plain signed 128-bit arithmetic: the exact quotient,
// truncated toward zero, kept as its low 64 bits, or saturated (by the sign
// of the operands) when it needs more than 64 bits or z is 0.
std::int64_t reference(std::int64_t x, std::int64_t y, std::int64_t z) {
    bool negative = ((x < 0) != (y < 0)) != (z < 0);
    std::int64_t saturated = negative ? kMin : kMax;
    if (z == 0) return saturated;
    Int128 quotient = static_cast<Int128>(x) * y / z;
    Int128 limit = static_cast<Int128>(1) << 64;
    if (quotient >= limit || quotient <= -limit) return saturated;
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(quotient));
}

TEST(MulDivTest, MatchesA128BitReferenceOverTheWholeSignedRange) {
    std::mt19937_64 random(20260203);
    const std::int64_t special[] = {0,
                                    1,
                                    -1,
                                    2,
                                    -2,
                                    3,
                                    0x7FFFFFFF,
                                    -0x7FFFFFFF,
                                    0x80000000,
                                    0xFFFFFFFF,
                                    0x100000000,
                                    kMax,
                                    kMin,
                                    kMax - 1,
                                    kMin + 1,
                                    std::int64_t{1} << 62,
                                    -(std::int64_t{1} << 62)};
    auto draw = [&]() -> std::int64_t {
        switch (random() % 4) {
            case 0:  // anywhere in the range
                return static_cast<std::int64_t>(random());
            case 1:  // a random bit length, either sign
            {
                int bits = static_cast<int>(random() % 64);
                auto v = static_cast<std::int64_t>(random() >> (63 - bits) >> 1);
                return (random() & 1) ? -v : v;
            }
            case 2:
                return special[random() % std::size(special)];
            default:  // small values, the frame and position scale
                return static_cast<std::int64_t>(random() % 20001) - 10000;
        }
    };
    int saturated = 0, exact = 0, wrapped = 0;
    for (int i = 0; i < 200000; ++i) {
        std::int64_t x = draw(), y = draw(), z = draw();
        std::int64_t expected = reference(x, y, z);
        std::int64_t got = mulDiv64(x, y, z);
        ASSERT_EQ(got, expected) << x << " * " << y << " / " << z;
        if (expected == kMax || expected == kMin)
            ++saturated;
        else
            ++exact;
        Int128 q = z ? static_cast<Int128>(x) * y / z : 0;
        if (q > kMax || q < kMin) ++wrapped;
    }
    // Each kind of answer was exercised many times.
    EXPECT_GT(saturated, 10000);
    EXPECT_GT(exact, 10000);
    EXPECT_GT(wrapped, 100);
}

}  // namespace
}  // namespace ostrel
