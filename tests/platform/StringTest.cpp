// CString formatting, searching and number parsing; GBK conversion; arrays.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "TestPrint.h"

#include "platform/Arrays.h"
#include "platform/CString.h"
#include "platform/DataExchange.h"
#include "platform/Gbk.h"

TEST(CStringFormat, FixedPointRoundsTheWayStoredValuesAreRounded) {
    // "%0.0f" of 399.6: the nearest integer is 400.
    EXPECT_EQ(CString::Formatted("%0.0f", 399.6), "400");
    EXPECT_EQ(CString::Formatted("%0.2f", 3.14159), "3.14");
    EXPECT_EQ(CString::Formatted("%0.2f", 2.0 / 3.0), "0.67");
    // 2.675 is held as 2.67499999999999982236431605997495353221893310546875,
    // and 1.005 as 1.00499999999999989341858963598497211933135986328125:
    // both round down at two decimals.
    EXPECT_EQ(CString::Formatted("%0.2f", 2.675), "2.67");
    EXPECT_EQ(CString::Formatted("%.2f", 1.005), "1.00");
    EXPECT_EQ(CString::Formatted("%.3f", 0.3574), "0.357");
    // 0.12345 is held as 0.12345000000000000417...: above the half, rounds up.
    EXPECT_EQ(CString::Formatted("%.4f", 0.12345), "0.1235");
    EXPECT_DOUBLE_EQ(RoundByFormat(399.6, "%0.0f"), 400.0);
    EXPECT_DOUBLE_EQ(RoundByFormat(1234.5678, "%0.2f"), 1234.57);
    CString s = "a";
    s.AppendFormat("%d-%s", 5, "b");
    EXPECT_EQ(s, "a5-b");
}

TEST(CStringSearch, FindLeftMidRightWorkOnBytes) {
    const CString model = "KBSG-100/6";
    EXPECT_EQ(model.Find("-"), 4);
    EXPECT_EQ(model.Find('/'), 8);
    EXPECT_EQ(model.Find("-", 5), -1);
    EXPECT_EQ(model.Find("x"), -1);
    EXPECT_EQ(model.Find("1", 99), -1);
    EXPECT_EQ(model.Find("1", -1), -1);
    EXPECT_EQ(model.Left(model.Find("-")), "KBSG");
    EXPECT_EQ(model.Mid(5), "100/6");
    EXPECT_EQ(model.Mid(5, 3), "100");
    EXPECT_EQ(model.Mid(8, 50), "/6");     // clamped to the end
    EXPECT_EQ(model.Mid(50), "");
    EXPECT_EQ(model.Left(-2), "");
    EXPECT_EQ(model.Right(2), "/6");
    EXPECT_EQ(model.ReverseFind('-'), 4);
}

TEST(CStringSearch, GbkTrailBytesAreNeverMatchedAsAscii) {
    // U+4E04 is 0x81 0x41 in GBK: its trail byte is the code of 'A'.
    const CString gbk = FromUtf8("丄");
    ASSERT_EQ(gbk, "\x81\x41");
    const CString text = gbk + "A";
    EXPECT_EQ(text.Find("A"), 2);
    EXPECT_EQ(text.Find('A'), 2);
    EXPECT_EQ(text.ReverseFind('A'), 2);
    EXPECT_EQ(gbk.Find('A'), -1);
    CString replaced = text;
    EXPECT_EQ(replaced.Replace("A", "B"), 1);
    EXPECT_EQ(replaced, gbk + "B");
    // Case folding touches single-byte letters only: 0x81 0x41 and 0x81 0x61 differ.
    EXPECT_NE(CString("\x81\x41").CompareNoCase("\x81\x61"), 0);
    EXPECT_EQ(CString("KBSG").CompareNoCase("kbsg"), 0);
    EXPECT_TRUE(HasPrefixNoCase("KBSG-100", "kbsg-"));
    EXPECT_FALSE(HasPrefixNoCase("KB", "kbsg"));
}

TEST(ParseNumbers, LeadingNumberOrZero) {
    EXPECT_DOUBLE_EQ(ParseDouble("abc"), 0.0);
    EXPECT_DOUBLE_EQ(ParseDouble("12.5kV"), 12.5);
    EXPECT_DOUBLE_EQ(ParseDouble("  -3.25"), -3.25);
    EXPECT_DOUBLE_EQ(ParseDouble(""), 0.0);
    EXPECT_DOUBLE_EQ(ParseDouble(nullptr), 0.0);
    EXPECT_EQ(ParseLong("abc"), 0);
    EXPECT_EQ(ParseLong("12.5kV"), 12);
    EXPECT_EQ(ParseLong(" -40"), -40);
    EXPECT_EQ(ParseLong("99999999999"), INT32_MAX);
    EXPECT_EQ(ParseLong("-99999999999"), INT32_MIN);
}

TEST(ParseNumbers, RecordDecimalsAreOnlySignDigitsPointDigitsAndExponent) {
    // Hexadecimal, nan and inf used to pass strtod into calculations and records.
    for (const char* text : {"0x1A", "0X10", "nan", "NaN", "-nan", "inf", "-Infinity", "+inf", " nan(1)", ".5", "-.5",
                             "+", "-", "e5", "\t", "１２"}) {
        EXPECT_EQ(ParseDouble(text), 0.0) << text;
    }
    // The longest prefix of the form, after leading blanks.
    EXPECT_DOUBLE_EQ(ParseDouble("0x1A"), 0.0) << "the leading 0 only, not 26";
    EXPECT_DOUBLE_EQ(ParseDouble("12x"), 12.0);
    EXPECT_DOUBLE_EQ(ParseDouble(" \t\n+7.25abc"), 7.25);
    EXPECT_DOUBLE_EQ(ParseDouble("5."), 5.0);
    EXPECT_DOUBLE_EQ(ParseDouble("5.e3"), 5.0) << "a point without digits ends the number";
    EXPECT_DOUBLE_EQ(ParseDouble("2.5e3"), 2500.0);
    EXPECT_DOUBLE_EQ(ParseDouble("2.5E-2"), 0.025);
    EXPECT_DOUBLE_EQ(ParseDouble("-2e+1kV"), -20.0);
    EXPECT_DOUBLE_EQ(ParseDouble("2e"), 2.0);
    EXPECT_DOUBLE_EQ(ParseDouble("2e+"), 2.0);
    EXPECT_DOUBLE_EQ(ParseDouble("1,5"), 1.0) << "a comma is no decimal point, whatever the locale";
    // Results beyond a double read as 0 rather than infinity.
    EXPECT_EQ(ParseDouble("1e400"), 0.0);
    EXPECT_EQ(ParseDouble("-1e400"), 0.0);
    EXPECT_DOUBLE_EQ(ParseDouble("1.7976931348623157e308"), 1.7976931348623157e308);

    EXPECT_EQ(DecimalPrefixLength("-12.50e+3;"), 9u);
    EXPECT_EQ(DecimalPrefixLength(" 1"), 0u) << "blanks are the caller's";
    double value = -1.0;
    EXPECT_FALSE(ParseDecimalText("inf", value));
    EXPECT_FALSE(ParseDecimalText("1e999", value));
    EXPECT_EQ(value, -1.0) << "untouched on failure";
    EXPECT_TRUE(ParseDecimalText("+0.5", value));
    EXPECT_DOUBLE_EQ(value, 0.5);
}

TEST(ParseNumbers, DataExchangeAcceptsOnlyWholeNumbers) {
    double d = -1.0;
    EXPECT_TRUE(ParseExchangeDouble(" 2.5\t", d));
    EXPECT_DOUBLE_EQ(d, 2.5);
    EXPECT_TRUE(ParseExchangeDouble("-1e3", d));
    EXPECT_DOUBLE_EQ(d, -1000.0);
    for (const char* bad : {"", "  ", "12.5kV", "abc", "1e", ".", "inf", "nan", "0x10", "1 2", "1e999"}) {
        d = 7.0;
        EXPECT_FALSE(ParseExchangeDouble(bad, d)) << bad;
        EXPECT_DOUBLE_EQ(d, 7.0) << bad;
    }
    int i = 0;
    EXPECT_TRUE(ParseExchangeInt("+12", i));
    EXPECT_EQ(i, 12);
    EXPECT_TRUE(ParseExchangeInt("-2147483648", i));
    EXPECT_EQ(i, INT32_MIN);
    EXPECT_FALSE(ParseExchangeInt("2147483648", i));
    EXPECT_FALSE(ParseExchangeInt("1.5", i));
    UINT u = 0;
    EXPECT_TRUE(ParseExchangeUInt("4294967295", u));
    EXPECT_EQ(u, 4294967295u);
    EXPECT_FALSE(ParseExchangeUInt("-1", u));
    // The load side: "%.*g" with 15 significant digits.
    EXPECT_EQ(FormatExchangeDouble(0.3574), "0.3574");
    EXPECT_EQ(FormatExchangeDouble(1.0), "1");
    EXPECT_EQ(FormatExchangeDouble(0.1 + 0.2), "0.3");   // 0.30000000000000004 to 15 digits
    EXPECT_EQ(FormatExchangeDouble(1250000.0), "1250000");
}

TEST(GbkConversion, RoundTripsChineseText) {
    // GB 2312 code table: 变 B1E4, 压 D1B9, 器 C6F7.
    EXPECT_EQ(Utf8ToGbk("变压器"), "\xB1\xE4\xD1\xB9\xC6\xF7");
    EXPECT_EQ(GbkToUtf8("\xB1\xE4\xD1\xB9\xC6\xF7"), "变压器");
    EXPECT_EQ(ToUtf8(FromUtf8("cosφ 无适用设备")), "cosφ 无适用设备");
    EXPECT_EQ(GbkByteLength("移动变电站"), 10u);
}

TEST(GbkConversion, InvalidInputReportsTheByteOffset) {
    std::string out;
    size_t offset = 0;
    EXPECT_FALSE(TryUtf8ToGbk("ab\xFF" "cd", out, &offset));
    EXPECT_EQ(offset, 2u);
    // U+1F600 has no GBK code; it starts after "变" (3 bytes) and "a".
    EXPECT_FALSE(TryUtf8ToGbk("变a😀", out, &offset));
    EXPECT_EQ(offset, 4u);
    // A lead byte cut off at the end of a GBK text.
    EXPECT_FALSE(TryGbkToUtf8("a\xB1", out, &offset));
    EXPECT_EQ(offset, 1u);
    try {
        Utf8ToGbk("xyz\xC3");
        FAIL() << "expected EncodingError";
    } catch (const EncodingError& e) {
        EXPECT_EQ(e.offset(), 3u);
    }
    EXPECT_THROW(GbkToUtf8("\xFF\xFF"), EncodingError);
}

TEST(GbkConversion, ReusedDescriptorsConvertRightAfterAFailureOnAnyThreadAndAtAnyLength) {
    std::string out;
    // A failure part-way leaves the thread's descriptor in use: the next
    // conversion must start clean.
    EXPECT_FALSE(TryGbkToUtf8("\xB1\xE4\xB1", out));
    EXPECT_EQ(GbkToUtf8("\xB1\xE4\xD1\xB9"), "变压");
    EXPECT_FALSE(TryUtf8ToGbk("变\xE5", out));
    EXPECT_EQ(Utf8ToGbk("变压器"), "\xB1\xE4\xD1\xB9\xC6\xF7");
    // ASCII passes unchanged, NUL bytes included.
    const std::string ascii("a\0b\x7F", 4);
    EXPECT_EQ(Utf8ToGbk(ascii), ascii);
    EXPECT_EQ(GbkToUtf8(ascii), ascii);
    // Far longer than any first guess of the output's size: 3000 characters
    // of 2 GBK bytes each become 9000 UTF-8 bytes.
    std::string longGbk, longUtf8;
    for (int i = 0; i < 1000; ++i) {
        longGbk += "\xB1\xE4\xD1\xB9\xC6\xF7";
        longUtf8 += "变压器";
    }
    EXPECT_EQ(GbkToUtf8(longGbk), longUtf8);
    EXPECT_EQ(Utf8ToGbk(longUtf8), longGbk);
    // Threads convert at the same time, each with its own descriptors.
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            std::string back;
            for (int i = 0; i < 500; ++i) {
                if (Utf8ToGbk("移动变电站 " + std::to_string(i)) != Utf8ToGbk("移动变电站") + " " + std::to_string(i)) ++wrong;
                if (TryGbkToUtf8("\xFF", back)) ++wrong;  // no GBK character
                if (GbkToUtf8("\xB1\xE4") != "变") ++wrong;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(GbkConversion, CutNeverSplitsATwoByteCharacter) {
    const std::string gbk = Utf8ToGbk("变压器");   // 6 bytes
    EXPECT_EQ(CutGbk(gbk, 5), gbk.substr(0, 4));
    EXPECT_EQ(CutGbk(gbk, 6), gbk);
    EXPECT_EQ(CutGbk(gbk, 1), "");
    const std::string mixed = "a" + gbk;        // a, then characters at 1-2, 3-4, 5-6
    EXPECT_EQ(CutGbk(mixed, 2), "a");
    EXPECT_EQ(CutGbk(mixed, 3), mixed.substr(0, 3));
    EXPECT_EQ(CutGbk("abc", 10), "abc");
    // A name of 31 bytes plus terminator: 16 Chinese characters cut to 15.
    const std::string name = Utf8ToGbk("一二三四五六七八九十一二三四五六");
    EXPECT_EQ(CutGbk(name, 31).size(), 30u);
}

TEST(Arrays, InsertAndRemoveCheckTheirBounds) {
    CKernelObjectArray a;
    a.Add(10);
    a.Add(20);
    a.Add(30);
    a.InsertAt(3, 40);          // at the end is allowed
    a.InsertAt(0, 5);
    EXPECT_EQ(a.items(), (std::vector<LONG>{5, 10, 20, 30, 40}));
    EXPECT_THROW(a.InsertAt(6, 1), std::out_of_range);
    EXPECT_THROW(a.InsertAt(-1, 1), std::out_of_range);
    a.RemoveAt(1, 2);
    EXPECT_EQ(a.items(), (std::vector<LONG>{5, 30, 40}));
    EXPECT_THROW(a.RemoveAt(2, 2), std::out_of_range);
    EXPECT_THROW(a.RemoveAt(-1), std::out_of_range);
    EXPECT_THROW(a.RemoveAt(0, -1), std::out_of_range);
    EXPECT_EQ(a.GetSize(), 3);   // nothing removed by the refused calls
    EXPECT_THROW(a.GetAt(3), std::out_of_range);
    EXPECT_THROW(a.GetAt(-1), std::out_of_range);
    a.RemoveAt(0, 3);
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(a.GetUpperBound(), -1);
}
