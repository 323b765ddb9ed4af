// The set-transformer command's state machine, driven through the loaded
// module as the host drives it, with the host's call log as the witness.
#include <gtest/gtest.h>

#include <algorithm>

#include "ModuleHarness.h"
#include "equipment/JDBase.h"
#include "platform/KeyState.h"
#include "platform/Gbk.h"
#include "platform/Services.h"

namespace moduletest {
namespace {

const std::string kLaunchPrompt = "<设置变压器/settransformer/st>";
const std::string kPickPrompt = "请选择变压器或[ESC取消命令]:";
const std::string kClickPrompt = "单击图例弹出对话框,设置变压器参数:";
const std::string kExitPrompt = "退出设置变压器命令";

std::vector<std::string> PromptsUtf8(const host::MapControlState& state) {
    std::vector<std::string> prompts;
    for (const CString& p : state.promptHistory) prompts.push_back(ToUtf8(p));
    return prompts;
}

using CommandStates = ModuleTest;

TEST_F(CommandStates, LaunchMakesTheCommandCurrentAndStartsThePick) {
    Launch();
    // In the order of the launch, then of the start event it sends itself.
    const std::vector<std::string> ops = m_log.Operations();
    const std::vector<std::string> expected{"GetCurrentCommand", "GetCommandManager", "CanStart", "IsCommandBlocked",
                                            "EndCommand",        "SetCurrentCommand", "ShowPrompt", "Action",
                                            "GetCurrentCommand", "GetSelectionSet",   "ClearSelection"};
    ASSERT_GE(ops.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(ops.begin(), ops.begin() + static_cast<long>(expected.size())), expected);
    EXPECT_EQ(Calls("IsCommandBlocked"), std::vector<std::string>{"IsCommandBlocked(1001)"});
    EXPECT_EQ(Calls("SetCurrentCommand"), std::vector<std::string>{"SetCurrentCommand(1001, 0)"});
    EXPECT_EQ(state().action, kActionValue);
    EXPECT_EQ(PromptsUtf8(state()), (std::vector<std::string>{kLaunchPrompt, kPickPrompt}));
    ASSERT_EQ(Calls("BeginSelection").size(), 1u);
    EXPECT_EQ(Calls("BeginSelection")[0], "BeginSelection(IntArray#1, 0, 2, 63, null)");
    // The cursor is updated after the pick has begun.
    EXPECT_GT(m_log.IndexOf("SendMessage"), m_log.IndexOf("BeginSelection"));
    EXPECT_EQ(Calls("SendMessage"), std::vector<std::string>{"SendMessage(WM_SETCURSOR, 0, 0)"});
    EXPECT_TRUE(PendingPickValues().empty());
}

TEST_F(CommandStates, LaunchWhileCurrentReturnsZeroAndChangesNothing) {
    Launch();
    const host::MapControlState before = state();
    m_log.Clear();
    EXPECT_EQ(module().LaunchCommand(), FALSE);
    // Only the three questions were asked; nothing was set.
    EXPECT_EQ(m_log.Operations(),
              (std::vector<std::string>{"GetCurrentCommand", "GetCommandManager", "CanStart", "IsCommandBlocked"}));
    EXPECT_EQ(state().current, before.current);
    EXPECT_EQ(state().commandHistory.size(), before.commandHistory.size());
    EXPECT_EQ(state().promptHistory.size(), before.promptHistory.size());
    EXPECT_EQ(state().actionPuts, before.actionPuts);
    EXPECT_EQ(state().beginSelectionCount, before.beginSelectionCount);
}

TEST_F(CommandStates, LaunchIsRefusedWhenTheHostSaysNo) {
    state().canStart = false;
    EXPECT_EQ(module().LaunchCommand(), FALSE);
    EXPECT_EQ(m_log.Count("IsCommandBlocked"), 0u);  // CanStart answered first
    state().canStart = true;
    state().blockedCommands.insert(kCommandId);
    EXPECT_EQ(module().LaunchCommand(), FALSE);
    EXPECT_EQ(m_log.Count("SetCurrentCommand"), 0u);
    EXPECT_EQ(state().current, host::CommandPair{});
}

TEST_F(CommandStates, ANonZeroStepHandedOnAtLaunchShowsNoPickPrompt) {
    state().current = {900, 1};  // another command, in its step 1
    Launch();
    EXPECT_EQ(Calls("SetCurrentCommand"), std::vector<std::string>{"SetCurrentCommand(1001, 1)"});
    EXPECT_EQ(PromptsUtf8(state()), std::vector<std::string>{kLaunchPrompt});
    EXPECT_EQ(state().beginSelectionCount, 0);
    EXPECT_EQ(m_log.Count("ClearSelection"), 1u);
    EXPECT_EQ(m_log.Count("SendMessage"), 0u);
    EXPECT_TRUE(AutomationFailures().empty());
}

TEST_F(CommandStates, APromptQueryAnswersOnlyTheQuestionMarkWhileCurrent) {
    // Not current: the string is left as it was.
    EXPECT_EQ(QueryPrompt("?", "unchanged"), "unchanged");
    Launch();
    EXPECT_EQ(QueryPrompt("?", "unchanged"), kPickPrompt);
    EXPECT_EQ(QueryPrompt("help", "unchanged"), "unchanged");
    state().current.step = 1;
    EXPECT_EQ(QueryPrompt("?", ""), kClickPrompt);
    state().current.step = 2;
    EXPECT_EQ(QueryPrompt("?", "unchanged"), "unchanged");
    state().current = {900, 0};
    EXPECT_EQ(QueryPrompt("?", "unchanged"), "unchanged");
}

TEST_F(CommandStates, OnePickedTransformerMovesToTheClickStep) {
    Launch();
    m_log.Clear();
    Pick({kFlatTransformer});
    EXPECT_EQ(state().current, (host::CommandPair{kCommandId, 1}));
    EXPECT_EQ(Prompt(), kClickPrompt);
    EXPECT_EQ(state().redrawMapCount, 1);
    EXPECT_EQ(state().selection, std::vector<LONG>{kFlatTransformer});
    EXPECT_EQ(state().beginSelectionCount, 1);  // no restart
}

TEST_F(CommandStates, TheFilterRemovesRejectedEntitiesWithoutSkippingTheirNeighbours) {
    Launch();
    m_log.Clear();
    // Two refused type-28 entities side by side, then the transformer, then a motor.
    Pick({kBoxOfType28, kPointOfType28, kFlatTransformer, kMotor});
    // Each removal tests the same index again: 0, 0, then the motor at 1.
    EXPECT_EQ(Calls("RemoveAt"), (std::vector<std::string>{"RemoveAt(0)", "RemoveAt(0)", "RemoveAt(1)"}));
    std::vector<std::string> notes;
    for (const host::CallEntry& e : m_log.Filter("RemoveAt")) notes.push_back(e.note);
    EXPECT_EQ(notes, (std::vector<std::string>{"removed 3", "removed 5", "removed 4"}));
    EXPECT_EQ(state().current.step, 1);
    // The selection shows everything picked, before the filter.
    EXPECT_EQ(state().selection, (std::vector<LONG>{3, 5, 1, 4}));
}

TEST_F(CommandStates, TwoTransformersRestartThePickEmptiedWithoutCtrl) {
    Launch();
    Pick({kFlatTransformer, kTurnedTransformer});
    EXPECT_EQ(state().current, (host::CommandPair{kCommandId, 0}));
    EXPECT_EQ(state().beginSelectionCount, 2);
    EXPECT_EQ(Prompt(), kPickPrompt);
    EXPECT_TRUE(PendingPickValues().empty());
    // Nothing is highlighted while picking again.
    EXPECT_TRUE(Repaint().empty());
}

TEST_F(CommandStates, TwoTransformersRestartThePickKeptWithCtrlAndTheNextPickAddsToThem) {
    Launch();
    SetKeyDown(VK_CONTROL, true);
    Pick({kFlatTransformer, kTurnedTransformer});
    EXPECT_EQ(state().beginSelectionCount, 2);
    EXPECT_EQ(PendingPickValues(), (std::vector<LONG>{1, 2}));
    SetKeyDown(VK_CONTROL, false);
    m_log.Clear();
    Pick({kMotor});
    // The array held 1 2 4 when the pick ended; the motor is filtered out.
    ASSERT_EQ(Calls("AddToSelection").size(), 1u);
    EXPECT_EQ(Calls("AddToSelection")[0], "AddToSelection(IntArray#1 [1, 2, 4])");
    EXPECT_EQ(state().beginSelectionCount, 3);
    EXPECT_TRUE(PendingPickValues().empty());  // Ctrl was up at this restart
}

TEST_F(CommandStates, EscInTheClickStepEndsWithoutSettingAndRefreshesThePickedIds) {
    Launch();
    Pick({kFlatTransformer});
    m_log.Clear();
    module().MouseStatus(7, 'A', 0);  // any other key does nothing
    EXPECT_EQ(m_log.Operations(), std::vector<std::string>{"GetCurrentCommand"});
    m_log.Clear();
    module().MouseStatus(7, 27, 0);
    EXPECT_TRUE(m_launches.empty());
    EXPECT_EQ(Prompt(), kExitPrompt);
    EXPECT_EQ(state().current, host::CommandPair{});
    EXPECT_EQ(Calls("SetCurrentCommand").front(), "SetCurrentCommand(0, 0)");
    ASSERT_EQ(state().refreshedItems.size(), 1u);
    EXPECT_EQ(state().refreshedItems[0].ids, std::vector<LONG>{kFlatTransformer});
    EXPECT_TRUE(state().refreshedItems[0].passedAsSafeArray);
    EXPECT_EQ(state().refreshedItems[0].arg3, 0);
    ASSERT_EQ(state().redrawnItems.size(), 1u);
    EXPECT_EQ(state().redrawnItems[0].ids, std::vector<LONG>{kFlatTransformer});
    EXPECT_TRUE(state().selection.empty());
    // Cursor update, prompt, refresh, then the selection cleared and the map redrawn.
    const std::vector<std::string> ops = m_log.Operations();
    const auto at = [&](const char* op) { return std::find(ops.begin(), ops.end(), op) - ops.begin(); };
    EXPECT_LT(at("SendMessage"), at("ShowPrompt"));
    EXPECT_LT(at("ShowPrompt"), at("RefreshItems"));
    EXPECT_LT(at("RedrawItems"), at("ClearSelection"));
    EXPECT_EQ(ops.back(), "RedrawMap");
    // Later events find the command gone.
    m_log.Clear();
    module().MouseStatus(7, 27, 0);
    EXPECT_EQ(m_log.Operations(), std::vector<std::string>{"GetCurrentCommand"});
}

TEST_F(CommandStates, TheClickHandsThePickedTransformerAndTheListsToTheLibrary) {
    Launch();
    Pick({kTurnedTransformer});
    module().MouseStatus(1, 0, 0);
    ASSERT_EQ(m_launches.size(), 1u);
    const LauncherCall& call = m_launches[0];
    EXPECT_EQ(call.map, &session().mapControl());
    EXPECT_EQ(call.entityId, kTurnedTransformer);
    EXPECT_EQ(call.handle, 100 + kTurnedTransformer);
    // The lists were filled at the start of the pick, one entry per map object, in parallel.
    EXPECT_EQ(call.idsAtCall, (std::vector<LONG>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(call.objectsAtCall, (std::vector<LONG>{101, 102, 103, 104, 105, 106}));
    EXPECT_EQ(Prompt(), kExitPrompt);
    EXPECT_EQ(state().current, host::CommandPair{});
    // After the end both lists are empty.
    EXPECT_TRUE(call.objects->IsEmpty());
    EXPECT_TRUE(call.ids->IsEmpty());
}

TEST_F(CommandStates, AfterTheEndThePickedIdIsMinusOneAndTheListsAreEmpty) {
    Launch();
    Pick({kFlatTransformer});
    module().MouseStatus(7, 27, 0);
    // Make the command current in its click step again without a pick: the
    // click hands on what the end left behind.
    state().current = {kCommandId, 1};
    module().MouseStatus(1, 0, 0);
    ASSERT_EQ(m_launches.size(), 1u);
    EXPECT_EQ(m_launches[0].entityId, -1);
    EXPECT_EQ(m_launches[0].handle, 0);
    EXPECT_TRUE(m_launches[0].idsAtCall.empty());
    EXPECT_TRUE(m_launches[0].objectsAtCall.empty());
}

TEST_F(CommandStates, ACatalogueThatCannotBeOpenedEndsTheCommandSilently) {
    const std::string unreachable = "/nonexistent-dir-" + std::to_string(::getpid()) + "/catalogue.db";
    SetCataloguePath(unreachable.c_str());
    HeadlessMessageService boxes;
    MessageServiceScope scope(boxes);
    Launch();
    Pick({kFlatTransformer});
    const size_t promptsBefore = state().promptHistory.size();
    module().MouseStatus(1, 0, 0);
    EXPECT_TRUE(m_launches.empty());
    // The command ends; its only word is the exit prompt. What the library
    // said about the catalogue is the library's (stop icon).
    const std::vector<std::string> prompts = PromptsUtf8(state());
    EXPECT_EQ(std::vector<std::string>(prompts.begin() + static_cast<long>(promptsBefore), prompts.end()),
              std::vector<std::string>{kExitPrompt});
    EXPECT_EQ(state().current, host::CommandPair{});
    for (const MessageBoxRecord& box : boxes.Records()) EXPECT_EQ(box.type & MB_ICONMASK, MB_ICONSTOP);
}

TEST_F(CommandStates, AnIntegerArrayThatCannotBeCreatedRefusesThePickWithAPrompt) {
    SetClassCreationFailure(host::kIntArrayProgId, REGDB_E_CLASSNOTREG);
    Launch();
    EXPECT_EQ(state().beginSelectionCount, 0);
    EXPECT_EQ(Prompt(),
              "无法创建选择用的整数数组(MorvaObjects.MOIntArray, REGDB_E_CLASSNOTREG)，不能开始选择；请按ESC取消命令");
    EXPECT_EQ(state().current, (host::CommandPair{kCommandId, 0}));
    // ESC still ends it, and a later start creates the array.
    module().MouseStatus(7, 27, 0);
    EXPECT_EQ(Prompt(), kExitPrompt);
    SetClassCreationFailure(host::kIntArrayProgId, S_OK);
    Launch();
    EXPECT_EQ(state().beginSelectionCount, 1);
    EXPECT_EQ(Prompt(), kPickPrompt);
}

TEST_F(CommandStates, EventsOfAnotherCommandAreIgnored) {
    state().current = {900, 1};
    module().MouseStatus(1, 0, 0);
    module().MouseStatus(0, 0, 0);
    module().MouseStatus(11, 0, 0);
    EXPECT_EQ(m_log.Operations(), std::vector<std::string>(3, "GetCurrentCommand"));
    EXPECT_TRUE(m_launches.empty());
}

}  // namespace
}  // namespace moduletest
