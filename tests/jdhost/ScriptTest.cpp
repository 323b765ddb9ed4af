// The script reader: how a line becomes words, and which scripts are refused
// before anything runs.
#include <gtest/gtest.h>

#include <utility>

#include "jdhost/Script.h"

using jdhost::ParseScript;
using jdhost::ScriptError;
using jdhost::SplitWords;
using Words = std::vector<std::string>;

namespace {

// The message of the ScriptError that parsing `text` throws ("" when none).
std::string ParseError(const std::string& text, int* line = nullptr) {
    try {
        ParseScript(text, "t.jds");
    } catch (const ScriptError& e) {
        if (line) *line = e.line();
        return e.what();
    }
    return "";
}

}  // namespace

TEST(SplitWords, BlanksAndTabsSeparateWords) {
    EXPECT_EQ(SplitWords("  set\t5000   abc  ", 1), (Words{"set", "5000", "abc"}));
    EXPECT_EQ(SplitWords("", 1), Words{});
    EXPECT_EQ(SplitWords(" \t ", 1), Words{});
}

TEST(SplitWords, QuotesHoldBlanksEscapedQuotesAndBackslashes) {
    EXPECT_EQ(SplitWords(R"(expect-message "名称 已 存在" info)", 1), (Words{"expect-message", "名称 已 存在", "info"}));
    EXPECT_EQ(SplitWords(R"(set 5000 "say \"hi\"")", 1), (Words{"set", "5000", "say \"hi\""}));
    EXPECT_EQ(SplitWords(R"(set 5000 "a\\b" "c\d")", 1), (Words{"set", "5000", "a\\b", "c\\d"}));
    // An empty quoted word is a word: it sets an edit to the empty text.
    EXPECT_EQ(SplitWords(R"(set 5000 "")", 1), (Words{"set", "5000", ""}));
    // A # or a quoted blank inside quotes is text.
    EXPECT_EQ(SplitWords(R"(expect 5000 "# not a comment")", 1), (Words{"expect", "5000", "# not a comment"}));
}

TEST(SplitWords, HashStartsACommentUnlessDigitsFollow) {
    EXPECT_EQ(SplitWords("# a whole-line comment", 1), Words{});
    EXPECT_EQ(SplitWords("#12 at the start of a line is still a comment", 1), Words{});
    EXPECT_EQ(SplitWords("   # indented comment", 1), Words{});
    EXPECT_EQ(SplitWords("press 5029 # compute", 1), (Words{"press", "5029"}));
    EXPECT_EQ(SplitWords("press 5029 #compute", 1), (Words{"press", "5029"}));
    EXPECT_EQ(SplitWords("press 5029 #", 1), (Words{"press", "5029"}));
    EXPECT_EQ(SplitWords("select 5027 #2", 1), (Words{"select", "5027", "#2"}));
    EXPECT_EQ(SplitWords("records #12 151 # the load record", 1), (Words{"records", "#12", "151"}));
    // Mine equipment is commonly named "1#变压器": a # inside a word belongs to it.
    EXPECT_EQ(SplitWords("pick 1#变压器 2#", 1), (Words{"pick", "1#变压器", "2#"}));
}

TEST(SplitWords, BadQuotesAreRefusedWithLineAndColumn) {
    try {
        SplitWords(R"(set 5000 "abc)", 7);
        FAIL() << "an open quote was accepted";
    } catch (const ScriptError& e) {
        EXPECT_EQ(e.line(), 7);
        EXPECT_STREQ(e.what(), "line 7: the quote opened at column 10 is not closed");
    }
    EXPECT_THROW(SplitWords(R"(set 5000 ab"c")", 1), ScriptError);
    EXPECT_THROW(SplitWords(R"(set 5000 "ab"c)", 1), ScriptError);
    // An escaped quote does not close the word.
    EXPECT_THROW(SplitWords(R"(set 5000 "ab\")", 1), ScriptError);
}

TEST(ParseScript, KeepsFileLineNumbersAcrossCommentsAndBlankLines) {
    const auto script = ParseScript("\xEF\xBB\xBF# header\r\n\r\nexpect-dialog 5000\r\n  # note\nselect 5027 #2\nok", "s.jds");
    ASSERT_EQ(script.lines.size(), 3u);
    EXPECT_EQ(script.fileName, "s.jds");
    EXPECT_EQ(script.lines[0].line, 3);
    EXPECT_EQ(script.lines[0].verb, "expect-dialog");
    EXPECT_EQ(script.lines[0].args, Words{"5000"});
    EXPECT_EQ(script.lines[1].line, 5);
    EXPECT_EQ(script.lines[1].args, (Words{"5027", "#2"}));
    EXPECT_EQ(script.lines[2].line, 6);
    EXPECT_EQ(script.lines[2].verb, "ok");
}

TEST(ParseScript, EveryVerbOfTheTableParsesWithItsArguments) {
    const std::string text =
        "expect-dialog 设置变压器\nset 5000 x\ntype 5001 2000\nselect 5005 #0\npress 1\ndblclick 5005\n"
        "blur 5038\nrclick 5005 below\nmenu 32772\nok\ncancel\nanswer yes\nexpect 5000 \"\"\n"
        "expect-enabled 5007 0\nexpect-visible 5007 1\nexpect-items 5023 \"a|b\"\nexpect-selected 5023 a\n"
        "expect-message \"x y\" info\ndump\nexpect-record #3 151 0 x\nrecords #3\nrecords 1#变压器 151\n"
        "save out.json\nlaunch\npick #3 1#变压器\nctrl down\nclick\nkey esc\nkey 27\nrepaint\nexpect-prompt p\n"
        "set-cell 3028 1 0 KBSGZY-500/6\nexpect-cell 3028 #1 #0 KBSGZY-500/6\nset-feeder-switch #3\n"
        "expect-no-message\nexpect-name #3 1#变压器\nexpect-label #3 0 KBSG-200/6/0.69\nexpect-colour #3 0x00FF00\n"
        "set-hv-switch #1\n";
    const auto script = ParseScript(text, "all.jds");
    EXPECT_EQ(script.lines.size(), 39u);
    // Every verb of the table occurs above, so the documentation cannot list one that does not parse.
    for (const auto& verb : jdhost::Verbs()) {
        bool seen = false;
        for (const auto& line : script.lines) seen = seen || line.verb == verb.name;
        EXPECT_TRUE(seen) << verb.name;
    }
}

TEST(ParseScript, UnknownVerbsAndWrongArgumentCountsAreRefusedWithTheLine) {
    int line = 0;
    EXPECT_EQ(ParseError("ok\n\nfrobnicate 1\n", &line), "line 3: unknown verb \"frobnicate\"");
    EXPECT_EQ(line, 3);
    EXPECT_EQ(ParseError("press\n"), "line 1: press takes 1 argument, found 0 (usage: press ID)");
    EXPECT_EQ(ParseError("ok now\n"), "line 1: ok takes 0 arguments, found 1 (usage: ok)");
    EXPECT_EQ(ParseError("records a 1 2\n"),
              "line 1: records takes 1 to 2 arguments, found 3 (usage: records OBJECT [FIELD])");
    EXPECT_EQ(ParseError("pick\n"), "line 1: pick takes at least 1 argument, found 0 (usage: pick NAME|#ID...)");
    // A comment eats the argument, so the count is short.
    EXPECT_EQ(ParseError("press # 5029\n"), "line 1: press takes 1 argument, found 0 (usage: press ID)");
}

TEST(ParseScript, ArgumentsOfFixedFormAreChecked) {
    EXPECT_NE(ParseError("expect-enabled 5007 yes\n"), "");
    EXPECT_NE(ParseError("answer maybe\n"), "");
    EXPECT_NE(ParseError("expect-message hi loud\n"), "");
    EXPECT_NE(ParseError("expect-record #3 x 0 y\n"), "");
    EXPECT_NE(ParseError("expect-record #3 151 -1 y\n"), "");
    EXPECT_NE(ParseError("records #3 abc\n"), "");
    EXPECT_NE(ParseError("ctrl left\n"), "");
    EXPECT_NE(ParseError("key enter\n"), "");
    EXPECT_NE(ParseError("press 50-29\n"), "");
    EXPECT_NE(ParseError("press IDC_LOAD_TYPE\n"), "");
    EXPECT_EQ(ParseError("press IDOK\n"), "");
    EXPECT_NE(ParseError("expect-label #3 -1 x\n"), "");
    EXPECT_NE(ParseError("expect-label #3 first x\n"), "");
    EXPECT_NE(ParseError("expect-no-message now\n"), "");
    // Colours: decimal up to 0xFFFFFF, or 0x and at most six hex digits.
    EXPECT_EQ(ParseError("expect-colour #3 16777215\n"), "");
    EXPECT_EQ(ParseError("expect-colour #3 0x96f0\n"), "");
    for (const char* bad : {"red", "16777216", "-1", "0x", "0x1000000", "0xGG", "+5", "1e3"}) {
        EXPECT_NE(ParseError(std::string("expect-colour #3 ") + bad + "\n").find("is not a colour"), std::string::npos)
            << bad;
    }
    // Cell indexes: too large is said as such, not as "no number".
    EXPECT_EQ(ParseError("set-cell 3028 #4294967296 0 x\n"),
              "line 1: set-cell: the row index #4294967296 is out of range (0 to 2147483647) (usage: set-cell ID ROW "
              "COL TEXT)");
    EXPECT_EQ(ParseError("expect-cell 3028 1 99999999999 x\n"),
              "line 1: expect-cell: the column index 99999999999 is out of range (0 to 2147483647) (usage: "
              "expect-cell ID ROW COL TEXT)");
    EXPECT_NE(ParseError("set-cell 3028 one 0 x\n").find("the row \"one\" is not a number from 0"), std::string::npos);
    EXPECT_EQ(ParseError("select 5005 #2147483647\n"), "");  // the largest index parses; the run checks the rows
    EXPECT_EQ(ParseError("expect-enabled 5007 0\n"), "");
    EXPECT_EQ(ParseError("expect-message hi\n"), "");
    // Texts the module cannot hold (not GBK) are refused before the run.
    int line = 0;
    const std::string error = ParseError("ok\nset 5000 \"\xF0\x9F\x98\x80\"\n", &line);
    EXPECT_EQ(line, 2);
    EXPECT_NE(error.find("GBK"), std::string::npos) << error;
}

TEST(ParseScript, AnUnreadableFileIsAnErrorWithoutALine) {
    try {
        jdhost::LoadScript("/nonexistent/dir/none.jds");
        FAIL() << "no error for a missing file";
    } catch (const ScriptError& e) {
        EXPECT_EQ(e.line(), 0);
        EXPECT_STREQ(e.what(), "cannot be read: No such file or directory");
    }
    // A folder and a device are no scripts: refused before anything is read
    // (a folder used to read as an empty script, /dev/zero ran out of memory).
    for (const auto& [path, what] : {std::pair<const char*, const char*>{"/tmp", "is a folder, not a file"},
                                     {"/dev/zero", "is a device, not a file"}}) {
        try {
            jdhost::LoadScript(path);
            ADD_FAILURE() << path << " was read as a script";
        } catch (const ScriptError& e) {
            EXPECT_EQ(e.line(), 0);
            EXPECT_STREQ(e.what(), what) << path;
        }
    }
}

TEST(ParseScript, ANulByteIsRefusedWithItsLineNotCut) {
    // Before, "set 5000 ab\0cd" set the edit to "ab": the rest was silently dropped.
    int line = 0;
    const std::string text = std::string("ok\nset 5000 ab") + '\0' + "cd\n";
    EXPECT_EQ(ParseError(text, &line), "line 2: a NUL byte at column 12 (a script is text; NUL cannot be written)");
    EXPECT_EQ(line, 2);
    // In a comment too: the line as a whole is no text.
    EXPECT_NE(ParseError(std::string("# note") + '\0' + "\n"), "");
}

TEST(ParseColour, DecimalOrHexInTheLayoutOfTheMap) {
    EXPECT_EQ(jdhost::ParseColour("255"), 255);
    EXPECT_EQ(jdhost::ParseColour("0xFF"), 255);
    EXPECT_EQ(jdhost::ParseColour("0x0000ff"), 255);
    EXPECT_EQ(jdhost::ParseColour("0x96F0"), 0x96F0);  // 38640
    EXPECT_EQ(jdhost::ParseColour("0"), 0);
    EXPECT_FALSE(jdhost::ParseColour("0x-1"));
}

TEST(HashNumber, OnlyHashFollowedByDigitsIsANumber) {
    EXPECT_EQ(jdhost::HashNumber("#12"), 12);
    EXPECT_EQ(jdhost::HashNumber("#0"), 0);
    EXPECT_FALSE(jdhost::HashNumber("#"));
    EXPECT_FALSE(jdhost::HashNumber("#1a"));
    EXPECT_FALSE(jdhost::HashNumber("12"));
    EXPECT_EQ(jdhost::ParseInt("-5"), -5);
    EXPECT_FALSE(jdhost::ParseInt("2147483648"));
    EXPECT_FALSE(jdhost::ParseInt("-"));
}
