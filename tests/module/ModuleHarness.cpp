#include "ModuleHarness.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "equipment/JDBase.h"
#include "platform/CallPointers.h"
#include "platform/KeyState.h"
#include "platform/Gbk.h"
#include "platform/RecordingDC.h"

namespace moduletest {

host::MapDocument MakeCommandTestMap() {
    host::MapDocument map;
    host::Layer layer;
    layer.id = 0;
    layer.name = FromUtf8("供电");
    map.layers().push_back(layer);

    host::SymbolDefinition box;
    box.id = 1;
    box.name = FromUtf8("变压器");
    box.x0 = -10;
    box.y0 = -5;
    box.x1 = 10;
    box.y1 = 5;
    map.symbols().push_back(box);
    host::SymbolDefinition line = box;
    line.id = 2;
    line.name = FromUtf8("竖线");
    line.x0 = line.x1 = 0;
    map.symbols().push_back(line);

    auto add = [&](LONG id, LONG type, const char* kind, double x, double y, double width, double height,
                   double rotation, LONG symbol) {
        host::MapObject o;
        o.entityId = id;
        o.handle = 100 + id;
        o.entityType = type;
        o.kind = FromUtf8(kind);
        o.name = FromUtf8(std::to_string(id) + "#" + kind);
        o.insertion = {x, y, 0};
        o.width = width;
        o.height = height;
        o.rotation = rotation;
        o.symbol = symbol;
        map.AddObject(std::move(o));
    };
    add(kFlatTransformer, host::EntityType::Transformer, "移动变电站", 100, 50, 40, 10, 0, 1);
    add(kTurnedTransformer, host::EntityType::Transformer, "矿用变压器", 300, 100, 20, 10, 30, 1);
    add(kBoxOfType28, host::EntityType::Transformer, "高压配电箱", 500, 100, 20, 10, 0, 1);
    add(kMotor, host::EntityType::Symbol, "电动机", 100, 150, 20, 10, 0, 1);
    add(kPointOfType28, host::EntityType::Transformer, "短路点", 150, 150, 20, 10, 0, 1);
    add(kFlatSymbolTransformer, host::EntityType::Transformer, "移动变电站", 200, 150, 10, 10, 0, 2);
    map.view() = host::MapView{0.25, 200.25, 2.0};
    return map;
}

namespace {

std::filesystem::path TestDataHome() {
    return std::filesystem::temp_directory_path() / ("jd-module-test-" + std::to_string(::getpid()));
}

}  // namespace

void ModuleTest::SetUpTestSuite() {
    // A per-user catalogue of our own, created from the seed on first use, so
    // that the click finds a catalogue to open without touching the user's.
    const std::filesystem::path home = TestDataHome();
    std::filesystem::create_directories(home);
    ::setenv("XDG_DATA_HOME", home.c_str(), 1);
    ::unsetenv("JDHOST_CATALOGUE");
    SetCataloguePath(nullptr);
}

void ModuleTest::TearDownTestSuite() {
    std::error_code ignored;
    std::filesystem::remove_all(TestDataHome(), ignored);
}

void ModuleTest::SetUp() {
    std::string error;
    m_module = jdhost::CommandModule::Load(kModulePath, error);
    ASSERT_TRUE(m_module) << error;
    m_map = MakeCommandTestMap();
    m_session.emplace(m_map, &m_log);
    ResetKeyboardState();
    ClearAutomationFailures();
    module().AttachMoMap(&session().mapControl());
    module().SetMoAction(kActionValue);
    module().SetMoStatus(kCommandId);
    module().SetMoUserCmdID(kUserCommandId);
    // Replaces the module's own launcher (registered when it loaded).
    RegisterSetTransformerLauncher([this](CMorvaObjects* map, CKernelObjectArray* objects, CEntityIdArray* ids,
                                          LONG entityId, LONG handle) {
        LauncherCall call{map, objects, ids, {}, {}, entityId, handle};
        if (objects) call.objectsAtCall = objects->items();
        if (ids) call.idsAtCall = ids->items();
        m_launches.push_back(call);
        return 1;
    });
}

void ModuleTest::TearDown() {
    RegisterSetTransformerLauncher(SetTransformerLauncher());
    if (m_module) m_module->AttachMoMap(nullptr);
    m_session.reset();
    m_module.reset();
    // Every test starts from the module's initial state: unloading it must work.
    if (void* still = ::dlopen(kModulePath.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
        ::dlclose(still);
        ADD_FAILURE() << kModulePath << " stayed loaded after it was closed; its state would leak into the next test";
    }
    ResetKeyboardState();
    SetClassCreationFailure(host::kIntArrayProgId, S_OK);
    SetCataloguePath(nullptr);
    EXPECT_EQ(LiveCallPointerCount(), 0u) << "a pointer token outlived its call";
}

void ModuleTest::Launch() { ASSERT_EQ(module().LaunchCommand(), TRUE); }

void ModuleTest::Pick(const std::vector<LONG>& ids) {
    std::string error;
    ASSERT_TRUE(session().FinishPick(ids, &error)) << error;
    module().MouseStatus(0, 0, 0);
}

std::string ModuleTest::QueryPrompt(const char* key, const std::string& initial) {
    CString answer = FromUtf8(initial);
    const CCallPointer keyToken(CallPointerKind::KeyText, key);
    const CCallPointer answerToken(CallPointerKind::AnswerString, &answer);
    module().MouseStatus(21, keyToken.token(), answerToken.token());
    return ToUtf8(answer);
}

std::vector<std::string> ModuleTest::Repaint(int rop) {
    CRecordingDC dc;
    dc.SetROP2(rop);
    dc.Clear();
    const CCallPointer token(CallPointerKind::DrawingContext, &dc);
    module().MouseStatus(9, token.token(), 0);
    return dc.Lines();
}

std::string ModuleTest::Prompt() const { return ToUtf8(m_session->state().prompt); }

std::vector<std::string> ModuleTest::Calls(const std::string& operation) const {
    std::vector<std::string> calls;
    for (const host::CallEntry& e : m_log.Filter(operation)) {
        std::string text = operation + "(";
        for (size_t i = 0; i < e.args.size(); ++i) text += (i ? ", " : "") + e.args[i];
        calls.push_back(text + ")");
    }
    return calls;
}

std::vector<LONG> ModuleTest::PendingPickValues() const {
    const host::HostIntArray* array = m_session->pendingPickArray();
    return array ? array->values() : std::vector<LONG>();
}

}  // namespace moduletest
