// The fixed formatter against snprintf, its plain form: every text must be
// printf's, byte for byte, for the formats the records and paths use, on
// random doubles of every magnitude, exact ties, values a hair either side of
// a rounding boundary, signed zeros, and what only snprintf prints.
#include "platform/FixedDecimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

const char* const kFormats[] = {"%.4f", "%0.2f", "%.0f", "%0.0f", "%.0fA", "%0.3f", "%.2f", "%0.4f", "%.1f"};

std::string Printf(const char* format, double value) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// The formatter's text, or what its caller's general path gives when it declines.
std::string Fixed(const char* format, double value) {
    char buffer[64];
    const int length = jdfixed::FormatFixed(buffer, sizeof buffer, format, value);
    if (length < 0) return Printf(format, value);
    EXPECT_EQ(std::strlen(buffer), static_cast<size_t>(length)) << "terminator after " << format;
    return std::string(buffer, static_cast<size_t>(length));
}

void ExpectSameAsPrintf(double value) {
    for (const char* format : kFormats) {
        ASSERT_EQ(Fixed(format, value), Printf(format, value)) << format << " of " << std::hexfloat << value;
    }
}

TEST(FixedDecimal, HandPickedTextsAreRoundedHalfToEvenAsPrintfDoes) {
    // 0.125 and 2.5 are exact binary ties: printf rounds them to the even digit.
    EXPECT_EQ(Fixed("%.2f", 0.125), "0.12");
    EXPECT_EQ(Fixed("%.0f", 2.5), "2");
    EXPECT_EQ(Fixed("%.0f", 3.5), "4");
    // 0.0093 is stored as 0.00929999…: "%.4f" gives the digits as written.
    EXPECT_EQ(Fixed("%.4f", 0.0093), "0.0093");
    // 2.675 is stored below the tie (2.67499999…), so it rounds down.
    EXPECT_EQ(Fixed("%0.2f", 2.675), "2.67");
    EXPECT_EQ(Fixed("%.0fA", 1234.5), "1234A");
    EXPECT_EQ(Fixed("%.4f", -0.0), "-0.0000");
    EXPECT_EQ(Fixed("%0.2f", -0.001), "-0.00");
}

TEST(FixedDecimal, RandomDoublesOfEveryMagnitudeGivePrintfsText) {
    std::mt19937_64 rng(20261209);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-12, 25);
    for (int i = 0; i < 20000; ++i) ExpectSameAsPrintf(mantissa(rng) * std::pow(10.0, exponent(rng)));
    // Raw bit patterns: subnormals, huge values (too long for the buffer,
    // left to snprintf), NaNs of either sign and the infinities among them.
    for (int i = 0; i < 20000; ++i) {
        const uint64_t bits = rng();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        ExpectSameAsPrintf(value);
    }
}

TEST(FixedDecimal, TiesAndNeighboursOfRoundingBoundariesGivePrintfsText) {
    // k / 2^n are exact binary values; with n up to 6 many are exact ties at
    // 0 to 4 decimals. Their neighbours one unit in the last place either side
    // sit just off the tie.
    for (int n = 0; n <= 6; ++n) {
        for (int k = -3000; k <= 3000; ++k) {
            const double tie = std::ldexp(static_cast<double>(k), -n);
            ExpectSameAsPrintf(tie);
            ExpectSameAsPrintf(std::nextafter(tie, 1e300));
            ExpectSameAsPrintf(std::nextafter(tie, -1e300));
        }
    }
    // Decimal halves as written in records ("…5" after the kept digits).
    for (int k = 0; k < 20000; ++k) {
        ExpectSameAsPrintf(k / 10000.0 + 0.00005);
        ExpectSameAsPrintf(k / 100.0 + 0.005);
        ExpectSameAsPrintf(-(k / 2.0));
    }
}

TEST(FixedDecimal, SpecialValuesAndSignedZerosGivePrintfsText) {
    for (double value : {0.0, -0.0, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(),
                         -std::numeric_limits<double>::max(), std::numeric_limits<double>::min(), 1e15, 1e16, 1e17,
                         9.9999999999999995e22}) {
        ExpectSameAsPrintf(value);
    }
}

TEST(FixedDecimal, OnlyOneFixedConversionWithLiteralTextAfterItIsTakenOver) {
    EXPECT_EQ(jdfixed::ParseFixedFormat("%.4f").precision, 4);
    EXPECT_EQ(jdfixed::ParseFixedFormat("%0.2f").precision, 2);
    EXPECT_EQ(jdfixed::ParseFixedFormat("%.0fA").precision, 0);
    EXPECT_EQ(jdfixed::ParseFixedFormat("%.0fA").suffix, "A");
    EXPECT_EQ(jdfixed::ParseFixedFormat("%.12f").precision, 12);
    // Widths, other flags, other conversions, a prefix, a second conversion,
    // a precision without digits: printf's business.
    for (const char* format : {"%5.2f", "%-0.2f", "%+.2f", "%g", "%d", "%f", "x%.2f", "%.2f%%", "%.2f%d", "%.f",
                               "%.2e", "%.2", "", "%", "%.123f"}) {
        EXPECT_FALSE(jdfixed::ParseFixedFormat(format).valid()) << format;
    }
    // Whatever it declines still gives printf's text.
    for (const char* format : {"%5.2f", "%+.2f", "%g", "%f", "x%.2f", "%.2e"}) {
        char buffer[64];
        const int length = jdfixed::FormatFixed(buffer, sizeof buffer, format, 12.345);
        ASSERT_GT(length, 0) << format;
        EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), Printf(format, 12.345)) << format;
    }
}

TEST(FixedDecimal, ATextThatDoesNotFitIsRefusedNotCut) {
    // The formats as a caller's variables hold them (not folded into the call).
    const std::string four = "%.4f", amperes = "%.0fA", two = "%.2f";
    char buffer[8];
    EXPECT_EQ(jdfixed::FormatFixed(buffer, sizeof buffer, four.c_str(), 123.0), -1);  // "123.0000" needs 9 bytes
    EXPECT_EQ(jdfixed::FormatFixed(buffer, sizeof buffer, amperes.c_str(), 1234567.0), -1);
    EXPECT_EQ(jdfixed::FormatFixed(buffer, sizeof buffer, two.c_str(), 12.5), 5);
    EXPECT_STREQ(buffer, "12.50");
}

}  // namespace
