// mulDiv64: x * y / z over a 128-bit product, truncated toward zero,
// saturating when the quotient needs more than 64 bits.
#include <random>

#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

__extension__ typedef __int128 Int128;
constexpr std::int64_t kMax = INT64_MAX, kMin = INT64_MIN;

TEST(MulDivTest, WorkedValuesSignsAndExtremes) {
    struct Case {
        std::int64_t x, y, z, expected;
    };
    const Case cases[] = {
        {250, 100000000, 500, 50000000},
        {-7, 3, 2, -10},
        {7, -3, -2, 10},
        {1, 1, 0, kMax},
        {-1, 1, 0, kMin},
        {0, -5, 0, kMin},  // a zero operand still carries its sign
        {0, 5, 0, kMax},
        {std::int64_t{1} << 32, std::int64_t{1} << 32, 1, kMax},
        {std::int64_t{1} << 62, 2, 1, kMin},  // the quotient 2^63 as its bit pattern
        {7, 1, 2, 3},
        {-7, 1, 2, -3},
        {7, 1, -2, -3},
        {-7, -1, -2, -3},
        {0, -5, 3, 0},
        {0, 5, -1, 0},
        {5, 0, -1, 0},
        {kMin, 1, 1, kMin},
        {kMin, -1, 1, kMin},  // +2^63 as its bit pattern
        {kMin, kMin, kMin, kMin},
        {kMin, kMin, kMax, kMin + 1},  // 2^126 / (2^63 - 1) = 2^63 + 1, as its pattern
        {kMax, kMax, kMax, kMax},
        {kMax, kMax, kMin, -kMax + 1},  // (2^63 - 1)^2 / -2^63, truncated
        {kMax, 2, 2, kMax},
        {kMax, -2, 2, -kMax},
        {1, 1, kMin, 0},
        {kMax, kMin, 1, kMin},               // saturated, negative
        {1, kMax, 0x7FFFFFFF, 0x100000002},  // frame 1 of 2^31 - 1 in the longest stream
    };
    for (const Case& c : cases)
        EXPECT_EQ(mulDiv64(c.x, c.y, c.z), c.expected) << c.x << " * " << c.y << " / " << c.z;
}

// The value by plain signed 128-bit arithmetic: the exact quotient truncated
// toward zero, kept as its low 64 bits, or saturated by the operands' signs
// when it needs more than 64 bits or z is 0.
std::int64_t reference(std::int64_t x, std::int64_t y, std::int64_t z) {
    std::int64_t saturated = ((x < 0) != (y < 0)) != (z < 0) ? kMin : kMax;
    if (z == 0) return saturated;
    Int128 quotient = static_cast<Int128>(x) * y / z, limit = static_cast<Int128>(1) << 64;
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
                                    0x7FFFFFFF,
                                    -0x7FFFFFFF,
                                    0x80000000,
                                    kMax,
                                    kMin,
                                    kMax - 1,
                                    kMin + 1,
                                    0xFFFFFFFF,
                                    0x100000000,
                                    std::int64_t{1} << 62,
                                    -(std::int64_t{1} << 62)};
    auto draw = [&]() -> std::int64_t {
        switch (random() % 4) {
            case 0:  // anywhere in the range
                return static_cast<std::int64_t>(random());
            case 1: {  // a random bit length, either sign
                auto v = static_cast<std::int64_t>(random() >> (63 - random() % 64) >> 1);
                return (random() & 1) ? -v : v;
            }
            case 2:
                return special[random() % std::size(special)];
            default:  // small values: frames and bar positions
                return static_cast<std::int64_t>(random() % 20001) - 10000;
        }
    };
    int saturated = 0, exact = 0, wrapped = 0;
    for (int i = 0; i < 20000; ++i) {
        std::int64_t x = draw(), y = draw(), z = draw(), expected = reference(x, y, z);
        ASSERT_EQ(mulDiv64(x, y, z), expected) << x << " * " << y << " / " << z;
        (expected == kMax || expected == kMin ? saturated : exact)++;
        Int128 q = z ? static_cast<Int128>(x) * y / z : 0;
        wrapped += q > kMax || q < kMin;
    }
    // Each kind of answer came up many times.
    EXPECT_GT(saturated, 1000);
    EXPECT_GT(exact, 1000);
    EXPECT_GT(wrapped, 10);
}

}  // namespace
}  // namespace ostrel::test
