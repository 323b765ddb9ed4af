// The loop totals' rounding to four decimals without a text, against its
// plain form (format "%.4f", read the text back), kept here as the
// reference: random values of every magnitude, exact ties and their
// neighbours, values beside the fallback's threshold, signed zeros and what
// has no digits. The results must be the same doubles, bit for bit.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>

#include "equipment/PathFields.h"

namespace {

double Plain(double value) {
    char text[512];
    std::snprintf(text, sizeof text, "%.4f", value);
    return ParseDouble(text);
}

void ExpectSame(double value) {
    const double expected = Plain(value);
    const double actual = jdpath::RoundTo4Decimals(value);
    ASSERT_EQ(std::bit_cast<uint64_t>(actual), std::bit_cast<uint64_t>(expected))
        << std::hexfloat << value << ": " << actual << " against " << expected;
}

TEST(PathRounding, HandPickedValuesRoundHalfToEvenOnTheExactValue) {
    // 0.00005 is stored a little above the tie (5.0000000000000002396e-05): up.
    EXPECT_EQ(jdpath::RoundTo4Decimals(0.00005), 0.0001);
    // 1/32 = 0.03125 is an exact tie at 4 decimals: to the even 0.0312.
    EXPECT_EQ(jdpath::RoundTo4Decimals(0.03125), 0.0312);
    EXPECT_EQ(jdpath::RoundTo4Decimals(0.09375), 0.0938);  // 3/32, a tie: to the even 0.0938
    EXPECT_TRUE(std::signbit(jdpath::RoundTo4Decimals(-0.00001)));  // "-0.0000" reads back as -0
    EXPECT_EQ(jdpath::RoundTo4Decimals(std::numeric_limits<double>::quiet_NaN()), 0.0);  // no digits: 0
}

TEST(PathRounding, RandomValuesOfEveryMagnitudeGiveThePlainFormsDouble) {
    std::mt19937_64 rng(9122026);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-8, 13);
    for (int i = 0; i < 100000; ++i) ExpectSame(mantissa(rng) * std::pow(10.0, exponent(rng)));
    for (int i = 0; i < 20000; ++i) ExpectSame(std::bit_cast<double>(rng()));
    // Loop totals as the paths carry them: small sums of ohms.
    std::uniform_real_distribution<double> ohms(0.0, 2.0);
    for (int i = 0; i < 100000; ++i) ExpectSame(ohms(rng));
}

TEST(PathRounding, TiesTheirNeighboursAndTheThresholdGiveThePlainFormsDouble) {
    // k / 2^n: exact binary values, many of them exact ties at four decimals.
    for (int n = 0; n <= 8; ++n) {
        for (int k = -20000; k <= 20000; ++k) {
            const double tie = std::ldexp(static_cast<double>(k), -n);
            ExpectSame(tie);
            ExpectSame(std::nextafter(tie, 1e300));
            ExpectSame(std::nextafter(tie, -1e300));
        }
    }
    // Decimal halves as written: k/10^4 + 0.00005, either side of the tie.
    for (int k = -50000; k <= 50000; ++k) {
        const double half = k / 10000.0 + 0.00005;
        ExpectSame(half);
        ExpectSame(std::nextafter(half, 1e300));
        ExpectSame(std::nextafter(half, -1e300));
    }
    for (double edge : {2.0e11, -2.0e11, 1.999999999e11, 2.0000001e11, 1e15, 0.0, -0.0,
                        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                        std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::denorm_min()}) {
        ExpectSame(edge);
        ExpectSame(std::nextafter(edge, 0.0));
    }
}

}  // namespace
