// The fixed formatter against snprintf, its plain form: every text must be
// printf's, byte for byte, for the formats the records and paths use, on
// random doubles of every magnitude, exact ties, values a hair either side of
// a rounding boundary, signed zeros, and what only snprintf prints.
#include "platform/FixedDecimal.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

const char* const kFormats[] = {"%.4f", "%0.2f", "%.0f", "%0.0f", "%.0fA", "%0.3f", "%.2f", "%0.4f", "%.1f",
                                "%.6f", "%.9f", "%.10f"};

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

TEST(FixedDecimal, NumbersAroundTheLargestIntegerFormattedByDigitsGivePrintfsText) {
    // Up to a product of 2^51 the text is written from the rounded integer,
    // beyond it by the general conversion: values either side of that edge
    // at every precision, with halves just below, at and above it.
    for (int precision = 0; precision <= 9; ++precision) {
        const double edge = std::ldexp(1.0, 51) / std::pow(10.0, precision);
        for (double value : {edge, -edge, edge * (1 - 1e-15), edge * (1 + 1e-15), std::floor(edge) + 0.5,
                             std::floor(edge) - 0.5, edge / 3, edge / 7 + 0.5}) {
            ExpectSameAsPrintf(value);
            ExpectSameAsPrintf(std::nextafter(value, 1e300));
            ExpectSameAsPrintf(std::nextafter(value, -1e300));
        }
    }
}

// from_chars, the correctly rounded reading, is the reference of the short
// decimals read by integer division.
double Reference(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

TEST(FixedDecimal, ShortDecimalsReadAsTheCorrectlyRoundedReadingReadsThem) {
    std::mt19937_64 rng(91);
    int taken = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string text;
        const int sign = static_cast<int>(rng() % 4);
        if (sign == 1) text += '-';
        if (sign == 2) text += '+';
        const int whole = static_cast<int>(rng() % 12);
        const int fraction = static_cast<int>(rng() % 12);
        for (int k = 0; k < whole; ++k) text += static_cast<char>('0' + rng() % 10);
        if (whole == 0 || rng() % 3 != 0) {
            if (whole == 0) text += '0';
            if (fraction > 0) text += '.';
            for (int k = 0; k < fraction; ++k) text += static_cast<char>('0' + rng() % 10);
        }
        double value = 12345.0;
        if (!jdfixed::ParseShortDecimal(text, value)) {
            EXPECT_EQ(value, 12345.0) << "a refused text leaves the value alone: " << text;
            continue;
        }
        ++taken;
        const double expected = Reference(text);
        ASSERT_EQ(std::bit_cast<uint64_t>(value), std::bit_cast<uint64_t>(expected)) << text;
    }
    EXPECT_GT(taken, 100000);
    // Halfway cases between doubles written with the fewest digits, and signed zeros.
    for (const char* text : {"0.1", "0.3", "90071992547.4099", "-0", "-0.000", "+0.5", "123456789012345",
                             "0.00000000000001", "4.35", "2.675"}) {
        double value = 0.0;
        ASSERT_TRUE(jdfixed::ParseShortDecimal(text, value)) << text;
        EXPECT_EQ(std::bit_cast<uint64_t>(value), std::bit_cast<uint64_t>(Reference(text))) << text;
    }
    // Sixteen digits, an exponent, two points, a stray character, no digit
    // before the point or nothing: left to the general reading.
    for (const char* text : {"1234567890123456", "1e3", "1.5E-2", "1.2.3", "12a", "", "-", ".", "+", ".5", "-.5"}) {
        double value = 7.0;
        EXPECT_FALSE(jdfixed::ParseShortDecimal(text, value)) << text;
        EXPECT_EQ(value, 7.0);
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
