// The script reader: how a line becomes words, and which scripts are refused
// before anything runs.
#include <gtest/gtest.h>

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
        "set-cell 3028 1 0 KBSGZY-500/6\nexpect-cell 3028 #1 #0 KBSGZY-500/6\nset-feeder-switch #3\n";
    const auto script = ParseScript(text, "all.jds");
    EXPECT_EQ(script.lines.size(), 34u);
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
        EXPECT_STREQ(e.what(), "cannot read the script file");
    }
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
