// The conversions remember each character's form, so they are checked here
// against iconv itself, character by character and on whole texts, including
// where and whether they fail.
#include <gtest/gtest.h>

#include <iconv.h>

#include <random>
#include <string>
#include <string_view>

#include "platform/Gbk.h"

namespace {

// One plain iconv conversion: the reference.
bool Iconv(const char* to, const char* from, std::string_view in, std::string& out, size_t& failedAt) {
    iconv_t cd = iconv_open(to, from);
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string result(in.size() * 4 + 8, '\0');
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char* outPtr = result.data();
    size_t outLeft = result.size();
    const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    failedAt = static_cast<size_t>(inPtr - in.data());
    result.resize(result.size() - outLeft);
    out = result;
    return ok;
}

TEST(GbkTables, EveryTwoByteCodeConvertsAsIconvConvertsItBothWays) {
    size_t converted = 0;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            const std::string gbk{static_cast<char>(lead), static_cast<char>(trail)};
            std::string expected, actual;
            size_t failedAt = 0;
            const bool reference = Iconv("UTF-8", "GBK", gbk, expected, failedAt);
            ASSERT_EQ(TryGbkToUtf8(gbk, actual), reference) << std::hex << lead << " " << trail;
            if (!reference) continue;
            ++converted;
            ASSERT_EQ(actual, expected) << std::hex << lead << " " << trail;
            std::string back, backReference;
            const bool backOk = Iconv("GBK", "UTF-8", expected, backReference, failedAt);
            ASSERT_EQ(TryUtf8ToGbk(expected, back), backOk);
            if (backOk) {
                ASSERT_EQ(back, backReference) << std::hex << lead << " " << trail;
            }
            // The writer's form: only characters that come back as the same bytes.
            std::string exact = "x";
            const bool roundTrips = backOk && backReference == gbk;
            ASSERT_EQ(AppendGbkAsUtf8IfExact(gbk, exact), roundTrips) << std::hex << lead << " " << trail;
            if (roundTrips) {
                ASSERT_EQ(exact, "x" + expected);
            }
        }
    }
    // GBK holds 21,886 characters in its two-byte range (GB 13000.1 plus its additions).
    EXPECT_GT(converted, 21000u);
}

TEST(GbkTables, MixedTextsAndTheirFailuresMatchIconv) {
    std::mt19937 random(13);
    const std::string pieces[] = {"变压器", "a", "×", "φ", "😀", "\xFF", "\xE5", "\xED\xA0\x80", "\xC0\xAF", "1#", "€"};
    for (int round = 0; round < 400; ++round) {
        std::string utf8;
        // Mostly short texts, now and then a long one (the conversion's own
        // buffer must grow for it).
        const int count = round % 10 == 0 ? 200 + static_cast<int>(random() % 200) : 1 + static_cast<int>(random() % 6);
        for (int k = 0; k < count; ++k) utf8 += pieces[random() % std::size(pieces)];
        std::string expected, actual = "unchanged";
        size_t expectedAt = 0, actualAt = 0;
        const bool reference = Iconv("GBK", "UTF-8", utf8, expected, expectedAt);
        ASSERT_EQ(TryUtf8ToGbk(utf8, actual, &actualAt), reference) << utf8;
        if (!reference) {
            EXPECT_EQ(actual, "unchanged") << "a refused text leaves the result alone";
        }
        if (reference) {
            EXPECT_EQ(actual, expected) << utf8;
            // And back, with a stray byte now and then.
            std::string gbk = expected;
            if (round % 3 == 0) gbk.insert(random() % (gbk.size() + 1), 1, static_cast<char>(0x80 + random() % 0x80));
            std::string utf8Back, utf8Reference;
            size_t backAt = 0, referenceAt = 0;
            const bool backReference = Iconv("UTF-8", "GBK", gbk, utf8Reference, referenceAt);
            ASSERT_EQ(TryGbkToUtf8(gbk, utf8Back, &backAt), backReference);
            if (backReference) {
                EXPECT_EQ(utf8Back, utf8Reference);
            } else {
                EXPECT_EQ(backAt, referenceAt);
            }
        } else {
            EXPECT_EQ(actualAt, expectedAt) << utf8;
        }
    }
}

// The writer's form with stops: it gives up at a marked ASCII character only,
// never at the second byte of a pair that happens to have the same value
// (0x5C is '\\' and the second byte of many GBK characters).
TEST(GbkTables, WritingStopsAtMarkedAsciiCharactersOnly) {
    bool stop[128] = {};
    stop[static_cast<unsigned char>('\\')] = true;
    stop[static_cast<unsigned char>('\n')] = true;
    const auto write = [&](std::string_view gbk, std::string& out) {
        out.assign(gbk.size() * 3 / 2, '?');
        char* end = WriteGbkAsUtf8IfExact(gbk, out.data(), stop);
        if (end) out.resize(static_cast<size_t>(end - out.data()));
        return end != nullptr;
    };
    std::string out;
    ASSERT_TRUE(write(Utf8ToGbk("变压器 T-1"), out));
    EXPECT_EQ(out, "变压器 T-1");
    EXPECT_FALSE(write(Utf8ToGbk("变压器\\1"), out));
    EXPECT_FALSE(write("line\nbreak", out));
    EXPECT_FALSE(write("\xB1", out));      // half a character
    EXPECT_FALSE(write("\x80\x40", out));  // 0x80 starts no pair
    size_t pairs = 0;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        const std::string gbk{static_cast<char>(lead), '\x5C', 'a'};
        std::string exact;
        const bool roundTrips = AppendGbkAsUtf8IfExact(gbk, exact);
        ASSERT_EQ(write(gbk, out), roundTrips) << std::hex << lead;
        if (roundTrips) {
            EXPECT_EQ(out, exact);
            ++pairs;
        }
    }
    EXPECT_GT(pairs, 100u);  // most leads have a character whose second byte is 0x5C
}

// A byte of 0x80 or more anywhere, in texts of every length around the
// eight bytes checked at a time.
TEST(GbkTables, AsciiIsSeenWhereverTheFirstHighByteIs) {
    for (size_t length = 0; length <= 26; ++length) {
        const std::string ascii(length, 'a');
        EXPECT_TRUE(IsAscii(ascii)) << length;
        for (size_t at = 0; at < length; ++at) {
            for (const char high : {'\x80', '\xFF', '\xE5'}) {
                std::string text = ascii;
                text[at] = high;
                EXPECT_FALSE(IsAscii(text)) << length << " " << at;
            }
        }
    }
}

}  // namespace

// The check without conversion against the conversion itself: random byte
// texts of GBK pairs, ASCII, lone lead bytes, bytes that start no pair and
// pairs GBK leaves empty.
TEST(GbkTables, TheValidityCheckAcceptsWhatTheConversionAccepts) {
    std::mt19937 random(29);
    const std::string pieces[] = {"\xB1\xE4", "\xD1\xB9", "a", "1#", " Id(2)=", "\x80", "\xFF", "\x81", "\x81\x7F",
                                  "\xA1\x40", "\xA2\xA1", "\xFE\xFE", "\xAA\xA1"};
    int valid = 0, invalid = 0;
    for (int round = 0; round < 6000; ++round) {
        std::string gbk;
        const int count = static_cast<int>(random() % 9);
        for (int k = 0; k < count; ++k) gbk += pieces[random() % std::size(pieces)];
        std::string converted;
        const bool reference = TryGbkToUtf8(gbk, converted);
        ASSERT_EQ(IsValidGbkText(gbk), reference) << round;
        (reference ? valid : invalid) += 1;
    }
    EXPECT_GT(valid, 500);  // both answers are met often
    EXPECT_GT(invalid, 500);
}
