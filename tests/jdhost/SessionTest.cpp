// The session engine driving a dialog of our own as a user would: every
// dialog verb, nested dialogs, message boxes and the context menu of a list
// box, and what happens to the open dialogs when a script goes wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "TestDialogs.h"
#include "host/MapFile.h"
#include "jdhost/Cli.h"
#include "jdhost/Session.h"
#include "platform/CDialog.h"
#include "platform/Gbk.h"

namespace {

using testdlg::TestCommandHost;

struct Outcome {
    int code = -1;
    std::string transcript;
    std::string failure;
    std::vector<std::string> calls;
    std::vector<INT_PTR> results;
};

// Runs `text` as the script "t.jds" on `map`, with the test dialog's command
// host unless `withHost` is false.
Outcome RunParsed(const jdhost::Script& script, host::MapDocument& map, bool withHost = true) {
    testdlg::RegisterTestResources();
    std::ostringstream out;
    jdhost::Session session(map, out);
    TestCommandHost commandHost(map, session);
    if (withHost) session.SetCommandHost(&commandHost);
    Outcome o;
    o.code = session.Run(script);
    o.transcript = out.str();
    o.failure = session.failure();
    o.calls = commandHost.calls;
    o.results = commandHost.results;
    // Whatever happened, no dialog may be left open for the next test.
    EXPECT_TRUE(GetOpenDialogs().empty());
    return o;
}

Outcome RunScript(const std::string& text, host::MapDocument& map, bool withHost = true) {
    return RunParsed(jdhost::ParseScript(text, "t.jds"), map, withHost);
}

Outcome RunScript(const std::string& text, bool withHost = true) {
    host::MapDocument map = testdlg::MakeTestMap();
    return RunScript(text, map, withHost);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The prologue that opens the test dialog for 1#变压器 (lines 1 to 3).
const std::string kOpen = "launch\npick #1\nclick\n";

std::filesystem::path TempPath(const std::string& name) {
    return std::filesystem::temp_directory_path() / ("jdhost-session-" + std::to_string(::getpid()) + "-" + name);
}

}  // namespace

TEST(SessionDialogVerbs, AScriptDrivesTheTestDialogThroughEveryVerb) {
    const std::filesystem::path saved = TempPath("every-verb.json");
    std::filesystem::remove(saved);
    const std::string script = R"(# Every dialog verb, on the test dialog.
launch
expect-prompt "请选择变压器:"
pick 1#变压器
expect-prompt 单击打开对话框:
click
expect-dialog 7000
expect-dialog 测试对话框
expect 7001 1#变压器
expect-items 7002 "动力变压器|移动变电站"
expect-selected 7002 动力变压器
expect-enabled 7005 0
select 7002 移动变电站           # enables the details button
expect-enabled 7005 1
expect-selected 7002 #1
type 7003 2500
expect 7003 2500
expect-selected 7003 ""          # a typed text that is no item leaves no selection
select 7003 #1
expect-selected 7003 1000
expect-visible 7012 0
expect-visible 7001 1
expect-enabled 7008 0
press 7007                       # check box: enables Kr
expect-selected 7007 1
expect-enabled 7008 1
set 7008 1.5
blur 7008                        # the range check runs on focus loss
expect-message "Kr 应在 0 到 1 之间" stop
press 7010
expect-selected 7010 1
expect-selected 7009 0
rclick 7004 KBSG-315
menu 7101                        # forwarded by the list box to the dialog
expect 7006 查看:KBSG-315
rclick 7004 #0
answer yes
menu 删除
expect-message "是否删除 KBSG-200 这个型号？" question
expect-items 7004 "KBSG-315|无适用设备"
rclick 7004 无适用设备           # the last row is selected but shows no menu
expect-selected 7004 无适用设备
rclick 7004 below
expect-selected 7004 ""
select 7004 KBSG-315
dblclick 7004
expect 7006 双击:KBSG-315
dblclick 7004 #1
expect 7006 双击:无适用设备
press 7005                       # opens the nested dialog
expect-dialog 说明
set 7021 "井下 采区"
answer ok
cancel
expect-message 说明未修改 info
expect 7006 双击:无适用设备
press 7005
expect-dialog 7020
set 7021 "井下 采区"
ok
expect-dialog 7000
expect 7006 "井下 采区"
dump
set 7001 ""
ok
expect-message 名称不能为空 info
set 7001 3#变压器
answer no
ok
expect-message "保存 3#变压器？" question
expect-dialog 7000
answer yes
ok
expect-record 3#变压器 151 0 3#变压器
expect-record #1 151 1 移动变电站
expect-record #1 151 2 1000
expect-record #1 151 3 1
expect-record #1 151 4 "井下 采区"
records #1 151
key esc
key 13
repaint
ctrl down
ctrl up
save )" + saved.string() + "\n";
    host::MapDocument map = testdlg::MakeTestMap();
    const Outcome o = RunScript(script, map);
    ASSERT_EQ(o.code, jdhost::kExitDone) << o.failure << "\n" << o.transcript;
    EXPECT_EQ(o.failure, "");
    EXPECT_EQ(o.results, std::vector<INT_PTR>{IDOK});
    EXPECT_EQ(o.calls, (std::vector<std::string>{"launch", "pick 1", "click", "key 27", "key 13", "repaint", "ctrl 1",
                                                 "ctrl 0"}));

    // What the user saw, in order; nested events are indented by their depth.
    const std::vector<std::string> expectedInOrder = {
        "prompt \"请选择变压器:\"\n",
        "prompt \"单击打开对话框:\"\n",
        "dialog 7000 \"测试对话框\" opened\n",
        "  message box [stop, ok] \"Kr 应在 0 到 1 之间\" -> ok\n",
        "  menu shown on 7004: 7101 查看详细参数 | 7102 删除\n",
        "  message box [question, yesno] \"请确认\": \"是否删除 KBSG-200 这个型号？\" -> yes\n",
        "  dialog 7020 \"说明\" opened\n",
        "  dialog 7020 \"说明\" closed: Cancel\n",
        "  message box [info, okcancel] \"说明未修改\" -> ok\n",
        "  dialog 7020 \"说明\" opened\n",
        "  dialog 7020 \"说明\" closed: OK\n",
        "  dump of 7000 \"测试对话框\":\n",
        "  message box [info, ok] \"名称不能为空\" -> ok\n",
        "  message box [question, yesno] \"保存 3#变压器？\" -> no\n",
        "  message box [question, yesno] \"保存 3#变压器？\" -> yes\n",
        "dialog 7000 \"测试对话框\" closed: OK\n",
        "#1 3#变压器 (移动变电站)\nfield 151\n  0: 3#变压器\n  1: 移动变电站\n  2: 1000\n  3: 1\n  4: 井下 采区\n",
        "saved " + saved.string() + "\n",
    };
    size_t at = 0;
    for (const std::string& part : expectedInOrder) {
        const size_t found = o.transcript.find(part, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << part << "\n" << o.transcript;
        at = found + part.size();
    }
    // The right click on the last row and below the rows showed no menu: one per menu verb.
    size_t menus = 0;
    for (size_t p = o.transcript.find("menu shown"); p != std::string::npos; p = o.transcript.find("menu shown", p + 1)) {
        ++menus;
    }
    EXPECT_EQ(menus, 2u);

    // The dialog wrote the map the session saved.
    const host::MapObject* object = map.FindByEntity(1);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->name, FromUtf8("3#变压器"));
    host::MapDocument reloaded;
    ASSERT_TRUE(host::LoadMapFile(saved.string(), reloaded).ok);
    ASSERT_NE(reloaded.FindByEntity(1), nullptr);
    EXPECT_EQ(reloaded.FindByEntity(1)->fields, object->fields);
    std::filesystem::remove(saved);
}

TEST(SessionFailures, AFailedExpectationInANestedDialogCancelsEveryOpenDialog) {
    const std::filesystem::path notSaved = TempPath("not-saved.json");
    std::filesystem::remove(notSaved);
    host::MapDocument map = testdlg::MakeTestMap();
    const host::MapDocument before = map;
    const Outcome o = RunScript(kOpen +
                                    "select 7002 移动变电站\n"
                                    "press 7005\n"
                                    "set 7021 abc\n"
                                    "expect 7021 abd\n"  // line 7
                                    "ok\n"
                                    "answer yes\n"
                                    "ok\n"
                                    "save " + notSaved.string() + "\n",
                                map);
    EXPECT_EQ(o.code, jdhost::kExitFailed);
    EXPECT_EQ(o.failure, "t.jds: line 7: expect: expected \"abd\", found \"abc\"");
    // Both dialogs ended with Cancel; the outer handler's box after the
    // cancelled nested dialog got its default button (the second: cancel).
    const size_t failedAt = o.transcript.find("FAILED t.jds: line 7");
    ASSERT_NE(failedAt, std::string::npos) << o.transcript;
    const size_t nestedClosed = o.transcript.find("  dialog 7020 \"说明\" closed: Cancel\n", failedAt);
    const size_t box = o.transcript.find("  message box [info, okcancel] \"说明未修改\" -> cancel\n", failedAt);
    const size_t outerClosed = o.transcript.find("dialog 7000 \"测试对话框\" closed: Cancel\n", failedAt);
    EXPECT_NE(nestedClosed, std::string::npos) << o.transcript;
    EXPECT_NE(box, std::string::npos) << o.transcript;
    EXPECT_NE(outerClosed, std::string::npos) << o.transcript;
    EXPECT_LT(nestedClosed, box);
    EXPECT_LT(box, outerClosed);
    EXPECT_EQ(o.results, std::vector<INT_PTR>{IDCANCEL});
    // Nothing after the failure ran: the map is as it was and nothing was saved.
    EXPECT_TRUE(map == before);
    EXPECT_FALSE(std::filesystem::exists(notSaved));
}

TEST(SessionFailures, AnUnansweredQuestionFailsTheRunAndIsAnsweredNoSoNothingIsWritten) {
    host::MapDocument map = testdlg::MakeTestMap();
    const host::MapDocument before = map;
    // OK asks "保存 …？" and writes only on Yes; no answer is queued for it,
    // and a queued answer the next box cannot take fails the same way.
    for (const std::string& prelude : {std::string(), std::string("answer ok\n")}) {
        const Outcome o = RunScript(kOpen + "set 7001 3#变压器\n" + prelude + "ok\n", map);
        EXPECT_EQ(o.code, jdhost::kExitFailed);
        EXPECT_TRUE(Contains(o.transcript, "message box [question, yesno] \"保存 3#变压器？\" -> no\n")) << o.transcript;
        EXPECT_EQ(o.results, std::vector<INT_PTR>{IDCANCEL});
        EXPECT_TRUE(map == before);
    }
}

TEST(SessionFailures, AScriptThatEndsWithADialogOpenFailsAtItsLastLine) {
    const Outcome o = RunScript(kOpen + "set 7001 x\n\n# trailing comment\n");
    EXPECT_EQ(o.code, jdhost::kExitFailed);
    EXPECT_EQ(o.failure, "t.jds: line 4: set: the script ended while the dialog 7000 \"测试对话框\" is still open");
    EXPECT_EQ(o.results, std::vector<INT_PTR>{IDCANCEL});
    EXPECT_TRUE(Contains(o.transcript, "dialog 7000 \"测试对话框\" closed: Cancel\n"));
}

TEST(SessionFailures, ADialogVerbWithoutAnOpenDialogFails) {
    const Outcome o = RunScript("launch\nok\n");
    EXPECT_EQ(o.code, jdhost::kExitFailed);
    EXPECT_EQ(o.failure,
              "t.jds: line 2: ok: expected an open dialog, found none (dialog verbs act on the innermost open dialog)");
}

TEST(SessionFailures, AnUnknownControlIdFailsNamingTheDialog) {
    const Outcome o = RunScript(kOpen + "press 7999\nok\n");
    EXPECT_EQ(o.code, jdhost::kExitFailed);
    EXPECT_EQ(o.failure, "t.jds: line 4: press: the dialog 7000 \"测试对话框\" has no control 7999");
    EXPECT_EQ(o.results, std::vector<INT_PTR>{IDCANCEL});
}

TEST(SessionFailures, VerbsThatDoNotFitTheDialogFail) {
    // A menu command with no menu shown.
    Outcome o = RunScript(kOpen + "menu 7101\n");
    EXPECT_EQ(o.failure, "t.jds: line 4: menu: expected a menu to be shown, found none");
    // "no" queued for a box that only has OK.
    o = RunScript(kOpen + "set 7001 \"\"\nanswer no\nok\ncancel\n");
    EXPECT_EQ(o.code, jdhost::kExitFailed);
    EXPECT_EQ(o.failure,
              "t.jds: line 6: ok: expected a box that can answer \"no\" (queued at line 5), found the ok box "
              "\"名称不能为空\"");
    // A question with no answer queued.
    o = RunScript(kOpen + "ok\n");
    EXPECT_EQ(o.failure,
              "t.jds: line 4: ok: expected an answer for the yesno box \"保存 1#变压器？\", found none queued "
              "(write `answer ...` before the action that shows it)");
    // That box got the safe answer (no): the dialog did not save and was cancelled.
    EXPECT_EQ(o.results, std::vector<INT_PTR>{IDCANCEL});
    // An answer no box took.
    o = RunScript("answer yes\n");
    EXPECT_EQ(o.failure,
              "t.jds: line 1: answer: expected a message box to take the answer \"yes\", found none shown before the "
              "script ended");
    // A message expected when none was shown.
    o = RunScript(kOpen + "expect-message hello\n");
    EXPECT_EQ(o.failure, "t.jds: line 4: expect-message: expected the message \"hello\", found no message box since "
                         "the last check");
    // A wrong icon.
    o = RunScript(kOpen + "set 7001 \"\"\nok\nexpect-message 名称不能为空 stop\n");
    EXPECT_EQ(o.failure, "t.jds: line 6: expect-message: expected the icon stop on \"名称不能为空\", found info");
    // Acting on the map while a modal dialog is open.
    o = RunScript(kOpen + "click\n");
    EXPECT_EQ(o.failure,
              "t.jds: line 4: click: the dialog 7000 \"测试对话框\" is open; finish it before acting on the map");
    // A click on a disabled button is refused by the dialog.
    o = RunScript(kOpen + "press 7005\n");
    EXPECT_EQ(o.code, jdhost::kExitFailed);
    EXPECT_TRUE(Contains(o.failure, "t.jds: line 4: press: ")) << o.failure;
    // A row that the list does not have.
    o = RunScript(kOpen + "rclick 7004 KBSG-999\n");
    EXPECT_EQ(o.failure,
              "t.jds: line 4: rclick: expected a row \"KBSG-999\" in 7004, found rows \"KBSG-200|KBSG-315|无适用设备\"");
    // Double click with nothing selected.
    o = RunScript(kOpen + "dblclick 7004\n");
    EXPECT_EQ(o.failure, "t.jds: line 4: dblclick: expected a selected row in 7004 to double-click, found none selected");
}

TEST(SessionFailures, FailedExpectationsSayWhatWasExpectedAndFound) {
    Outcome o = RunScript(kOpen + "expect-enabled 7005 1\n");
    EXPECT_EQ(o.failure, "t.jds: line 4: expect-enabled: expected 7005 enabled, found it not enabled");
    o = RunScript(kOpen + "expect-visible 7012 1\n");
    EXPECT_EQ(o.failure, "t.jds: line 4: expect-visible: expected 7012 visible, found it not visible");
    o = RunScript(kOpen + "expect-items 7002 \"动力变压器\"\n");
    EXPECT_EQ(o.failure, "t.jds: line 4: expect-items: expected items \"动力变压器\", found \"动力变压器|移动变电站\"");
    o = RunScript(kOpen + "expect-selected 7004 KBSG-200\n");
    EXPECT_EQ(o.failure, "t.jds: line 4: expect-selected: expected \"KBSG-200\" selected, found none");
    o = RunScript(kOpen + "expect-selected 7002 #1\n");
    EXPECT_EQ(o.failure, "t.jds: line 4: expect-selected: expected row #1 selected, found #0");
    o = RunScript(kOpen + "expect-selected 7007 1\n");
    EXPECT_EQ(o.failure, "t.jds: line 4: expect-selected: expected the check state 1, found 0");
    o = RunScript(kOpen + "expect-dialog 说明\n");
    EXPECT_EQ(o.failure, "t.jds: line 4: expect-dialog: expected the dialog \"说明\", found 7000 \"测试对话框\"");
}

TEST(SessionFailures, ARowIndexBeyondAnIntIsRefusedNotWrappedToAnotherRow) {
    // The parser refuses it, naming the line...
    for (const char* verb : {"select 7002", "dblclick 7004", "rclick 7004", "expect-selected 7002"}) {
        try {
            jdhost::ParseScript(kOpen + verb + " #4294967297\n", "t.jds");
            ADD_FAILURE() << verb << " #4294967297 was accepted";
        } catch (const jdhost::ScriptError& e) {
            EXPECT_EQ(e.line(), 4);
            EXPECT_TRUE(Contains(e.what(), "the row index #4294967297 is out of range (0 to 2147483647)")) << e.what();
        }
    }
    // ...and the engine refuses it in a script built without the parser:
    // 4294967297 as a 32-bit int is 1, a row the combo has, which used to be selected.
    jdhost::Script script = jdhost::ParseScript(kOpen + "select 7002 #1\n", "t.jds");
    script.lines.back().args[1] = "#4294967297";
    host::MapDocument map = testdlg::MakeTestMap();
    const Outcome o = RunParsed(script, map);
    EXPECT_EQ(o.code, jdhost::kExitFailed);
    EXPECT_EQ(o.failure, "t.jds: line 4: select: the row index #4294967297 is out of range (0 to 2147483647)");
    EXPECT_FALSE(Contains(o.transcript, "closed: OK"));
}

TEST(SessionMapVerbs, RecordExpectationsAndUnknownObjectsFailWithTheObjectNamed) {
    Outcome o = RunScript("expect-record #1 151 0 x\n", false);
    EXPECT_EQ(o.failure,
              "t.jds: line 1: expect-record: expected \"x\" in field 151[0] of #1 1#变压器 (移动变电站), found "
              "\"1#变压器\"");
    o = RunScript("expect-record #2 999 0 x\n", false);
    EXPECT_EQ(o.failure,
              "t.jds: line 1: expect-record: expected \"x\" in field 999[0] of #2 2#变压器 (矿用变压器), found no "
              "field 999");
    o = RunScript("expect-record #2 151 7 x\n", false);
    EXPECT_EQ(o.failure,
              "t.jds: line 1: expect-record: expected \"x\" in field 151[7] of #2 2#变压器 (矿用变压器), found only 5 "
              "values in the field");
    o = RunScript("records nobody\n", false);
    EXPECT_EQ(o.failure, "t.jds: line 1: records: no object is named \"nobody\"");
    o = RunScript("records #3 151\n", false);
    EXPECT_EQ(o.failure, "t.jds: line 1: records: expected a field 151 on #3 M1 (电动机), found none");
    o = RunScript("expect-record #2 151 1 动力变压器\nrecords M1\n", false);
    EXPECT_EQ(o.code, jdhost::kExitDone) << o.failure;
    EXPECT_EQ(o.transcript, "#3 M1 (电动机)\n(no attribute records)\n");
}

TEST(SessionMapVerbs, NameLabelAndColourExpectations) {
    host::MapDocument map = testdlg::MakeTestMap();
    host::MapObject* transformer = map.FindByEntity(1);
    ASSERT_NE(transformer, nullptr);
    transformer->labels = {{FromUtf8("KBSG-200/6/0.69"), 0, 0}, {FromUtf8("200 kVA"), 0, 0}};
    transformer->colour = 0x0000FF;
    Outcome o = RunScript("expect-name #1 1#变压器\nexpect-label #1 0 KBSG-200/6/0.69\nexpect-label 1#变压器 1 \"200 kVA\"\n"
                          "expect-colour #1 255\nexpect-colour #1 0xff\nexpect-colour #1 0x0000FF\n",
                          map, false);
    EXPECT_EQ(o.code, jdhost::kExitDone) << o.failure;
    const std::vector<std::pair<std::string, std::string>> failures = {
        {"expect-name #1 2#变压器", "expect-name: expected the name \"2#变压器\" on #1, found \"1#变压器\""},
        {"expect-label #1 1 \"200kVA\"",
         "expect-label: expected \"200kVA\" in label 1 of #1 1#变压器 (移动变电站), found \"200 kVA\""},
        {"expect-label #1 2 x", "expect-label: expected \"x\" in label 2 of #1 1#变压器 (移动变电站), found 2 labels"},
        {"expect-label M1 0 x", "expect-label: expected \"x\" in label 0 of #3 M1 (电动机), found 0 labels"},
        {"expect-colour #1 0x00FF00",
         "expect-colour: expected the colour 0x00FF00 (65280) on #1 1#变压器 (移动变电站), found 0x0000FF (255)"},
        {"expect-colour nobody 0", "expect-colour: no object is named \"nobody\""},
    };
    for (const auto& [line, message] : failures) {
        o = RunScript(line + "\n", map, false);
        EXPECT_EQ(o.code, jdhost::kExitFailed) << line;
        EXPECT_EQ(o.failure, "t.jds: line 1: " + message);
    }
}

TEST(SessionMessageVerbs, ExpectNoMessageChecksTheBoxesSinceTheLastMessageCheck) {
    // Nothing shown yet, then a box that expect-message takes: none since.
    Outcome o = RunScript(kOpen + "expect-no-message\nset 7001 \"\"\nok\nexpect-message 名称不能为空\nexpect-no-message\n"
                                  "cancel\nexpect-no-message\n");
    EXPECT_EQ(o.code, jdhost::kExitDone) << o.failure << "\n" << o.transcript;
    // A box nobody checked is found, with its text and icon.
    o = RunScript(kOpen + "set 7001 \"\"\nok\nexpect-no-message\ncancel\n");
    EXPECT_EQ(o.code, jdhost::kExitFailed);
    EXPECT_EQ(o.failure,
              "t.jds: line 6: expect-no-message: expected no message box since the last check, found the info box "
              "\"名称不能为空\"");
    EXPECT_EQ(o.results, std::vector<INT_PTR>{IDCANCEL});
}

TEST(SessionCommandVerbs, WithoutACommandModuleTheyFailWithTheLine) {
    for (const std::string verb : {"launch", "pick #1", "ctrl down", "click", "key esc", "repaint", "expect-prompt x"}) {
        const Outcome o = RunScript("# no module\n" + verb + "\n", false);
        EXPECT_EQ(o.code, jdhost::kExitFailed) << verb;
        const std::string name = verb.substr(0, verb.find(' '));
        EXPECT_EQ(o.failure, "t.jds: line 2: " + name + ": no command module is loaded") << verb;
    }
}

TEST(SessionCommandVerbs, AHostRefusalAndAnUnknownPickFail) {
    Outcome o = RunScript("launch\nclick\n");
    EXPECT_EQ(o.failure, "t.jds: line 2: click: nothing is picked");
    o = RunScript("launch\npick #1 nobody\n");
    EXPECT_EQ(o.failure, "t.jds: line 2: pick: no object is named \"nobody\"");
    EXPECT_EQ(o.calls, std::vector<std::string>{"launch"});
    o = RunScript("launch\nexpect-prompt 单击打开对话框:\n");
    EXPECT_EQ(o.failure, "t.jds: line 2: expect-prompt: expected the prompt \"单击打开对话框:\", found \"请选择变压器:\"");
}
