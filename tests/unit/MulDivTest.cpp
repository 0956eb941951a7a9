// mulDiv64: x * y / z over a 128-bit product, truncated toward zero,
// saturating when the quotient needs more than 64 bits.
#include "PlayerFixture.h"

namespace ostrel::test {
namespace {

constexpr std::int64_t kMax = INT64_MAX, kMin = INT64_MIN, k32 = std::int64_t{1} << 32;

TEST(MulDivTest, WorkedValuesSignsAndExtremes) {
    // x, y, z, x * y / z in turn. A zero divisor saturates by the operands'
    // signs, a zero operand's too (5 * 0 / 0 is the largest, last); 2^63 comes back as its bit
    // pattern. Frame 1 of 2^31 - 1 in the longest stream; last, a product just over 64 bits.
    const std::int64_t cases[] = {
        250,  100000000, 500,       50000000, -7,   3,     2,          -10,         7,    -3,
        -2,   10,        1,         1,        0,    kMax,  -1,         1,           0,    kMin,
        0,    -5,        0,         kMin,     0,    5,     0,          kMax,        k32,  k32,
        1,    kMax,      k32 << 30, 2,        1,    kMin,  7,          1,           2,    3,
        -7,   1,         2,         -3,       7,    1,     -2,         -3,          -7,   -1,
        -2,   -3,        0,         -5,       3,    0,     0,          5,           -1,   0,
        5,    0,         -1,        0,        kMin, 1,     1,          kMin,        kMin, -1,
        1,    kMin,      kMin,      kMin,     kMin, kMin,  kMin,       kMin,        kMax, kMin + 1,
        kMax, kMax,      kMax,      kMax,     kMax, kMax,  kMin,       -kMax + 1,   kMax, 2,
        2,    kMax,      kMax,      -2,       2,    -kMax, 1,          1,           kMin, 0,
        kMax, kMin,      1,         kMin,     1,    kMax,  0x7FFFFFFF, 0x100000002, k32,  k32,
        4,    k32 << 30, 5,         0,        0,    kMax};
    for (std::size_t i = 0; i < std::size(cases); i += 4)
        EXPECT_EQ(mulDiv64(cases[i], cases[i + 1], cases[i + 2]), cases[i + 3]) << "row " << i / 4;
}

}  // namespace
}  // namespace ostrel::test
