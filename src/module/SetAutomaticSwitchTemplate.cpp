// Templates 12000 (the Set Feeder Switch dialog) and 12005 (the feeder switch
// detail dialog). Data only; the behaviour is in SetAutomaticSwitchDlg.cpp and
// JDAutomaticSwitchParaDlg.cpp. Registered when the module is loaded and
// unregistered when it is unloaded; the dialogs check again when constructed,
// as the detail and stock templates do (ParaStockTemplates.cpp).
#include <memory>
#include <vector>

#include "module/ModuleResources.h"
#include "module/SetAutomaticSwitchDlg.h"
#include "platform/Resources.h"

namespace {

ControlTemplate Group(const char* caption, int x, int y, int w, int h) {
    return {.kind = ControlKind::GroupBox, .caption = caption, .x = x, .y = y, .w = w, .h = h};
}

ControlTemplate Unit(const char* caption, int x, int y) {
    return {.kind = ControlKind::Static, .caption = caption, .x = x, .y = y, .w = 12, .h = 10};
}

ControlTemplate Edit(int id, const char* caption, int x, int y, DWORD style = 0, int w = 70) {
    return {.id = static_cast<UINT>(id), .kind = ControlKind::Edit, .caption = caption, .style = style, .x = x,
            .y = y, .w = w, .h = 12};
}

DialogTemplate SetAutomaticSwitchTemplate() {
    return {
        .id = IDD_SET_AUTOMATIC_SWITCH,
        .caption = "设置自动馈电开关",
        .width = 430,
        .height = 300,
        .controls = {
            Edit(IDC_SWITCH_NAME, "名称：", 40, 7, CTL_READONLY, 120),

            // Model selection.
            Group("馈电开关型号选择", 7, 24, 200, 180),
            {.id = IDC_SWITCH_VOLTAGE, .kind = ControlKind::DropList, .caption = "额定电压：",
             .items = {"6000", "3300", "1140", "660", "380", "127"}, .x = 70, .y = 38, .w = 100, .h = 80},
            Unit("V", 174, 40),
            {.id = IDC_SWITCH_PROTECTION, .kind = ControlKind::DropList, .caption = "保护类型：",
             .items = {"过流继电器", "电子式保护"}, .x = 70, .y = 56, .w = 100, .h = 50},
            {.id = IDC_SWITCH_MODEL_LIST, .kind = ControlKind::ListBox, .caption = "型号列表：", .x = 14, .y = 86,
             .w = 120, .h = 110},
            {.id = IDC_SWITCH_MOTORS, .kind = ControlKind::PushButton, .caption = "控制的电动机", .x = 140,
             .y = 86, .w = 60, .h = 14},

            // Basic data of the chosen switch.
            Group("开关基本参数", 214, 24, 209, 40),
            Edit(IDC_SWITCH_RATED_CURRENT, "额定电流：", 270, 38, CTL_READONLY),
            Unit("A", 344, 40),
            {.id = IDC_SWITCH_DETAILS, .kind = ControlKind::PushButton, .caption = "详细参数>>>",
             .style = CTL_DISABLED, .x = 358, .y = 36, .w = 60, .h = 14},

            // Short-circuit setting and its check.
            Group("短路整定计算及校验", 214, 68, 209, 136),
            Edit(IDC_SWITCH_SETTING_CALC, "短路整定计算值：", 300, 82, CTL_READONLY),
            Unit("A", 374, 84),
            {.id = IDC_SWITCH_SHORT_POINT, .kind = ControlKind::DropList, .caption = "校验短路点：",
             .items = {" "}, .x = 300, .y = 100, .w = 70, .h = 80},
            {.id = IDC_SWITCH_RANGE_LABEL, .kind = ControlKind::Static, .x = 222, .y = 120, .w = 76, .h = 10},
            Edit(IDC_SWITCH_SETTING_RANGE, "", 300, 118, CTL_READONLY, 116),
            {.id = IDC_SWITCH_USER_VALUE_LABEL, .kind = ControlKind::Static, .x = 222, .y = 138, .w = 76, .h = 10},
            Edit(IDC_SWITCH_USER_VALUE, "", 300, 136),
            {.id = IDC_SWITCH_USER_CURRENT_LABEL, .kind = ControlKind::Static, .x = 222, .y = 156, .w = 76,
             .h = 10},
            Edit(IDC_SWITCH_USER_CURRENT, "", 300, 154),
            {.id = IDC_SWITCH_CHECK_SENSITIVITY, .kind = ControlKind::PushButton, .caption = "校验灵敏度",
             .x = 300, .y = 178, .w = 60, .h = 14},

            // Overload setting and step.
            Group("过载整定及档位选取", 7, 208, 416, 62),
            Edit(IDC_SWITCH_OVERLOAD_CALC, "过载整定计算值:", 90, 222, CTL_READONLY),
            Unit("A", 164, 224),
            Edit(IDC_SWITCH_STEP_CALC, "过载整定计算档:", 300, 222, CTL_DISABLED),
            {.id = IDC_SWITCH_BY_STEP, .kind = ControlKind::CheckBox, .x = 14, .y = 244, .w = 10, .h = 10},
            Edit(IDC_SWITCH_CHOSEN_STEP, "选定档位:", 90, 242),
            Edit(IDC_SWITCH_USER_OVERLOAD, "用户选择过载整定值:", 300, 242),

            {.id = IDOK, .kind = ControlKind::DefPushButton, .caption = "确定", .style = CTL_GROUP, .x = 300,
             .y = 278, .w = 55, .h = 16},
            {.id = IDCANCEL, .kind = ControlKind::PushButton, .caption = "取消", .x = 365, .y = 278, .w = 55,
             .h = 16},
        }};
}

DialogTemplate AutomaticSwitchParaTemplate() {
    return {
        .id = IDD_AUTOMATIC_SWITCH_PARA,
        .caption = "馈电开关详细参数",
        .width = 300,
        .height = 190,
        .controls = {
            Edit(IDC_SWITCH_PARA_MODEL, "型号：", 75, 10),
            {.id = IDC_SWITCH_PARA_VOLTAGE, .kind = ControlKind::DropDown, .caption = "额定电压：",
             .items = {"6000", "3300", "1140", "660", "380", "127"}, .x = 215, .y = 10, .w = 60, .h = 80},
            Unit("V", 279, 12),
            Edit(IDC_SWITCH_PARA_RATED_CURRENT, "额定电流：", 75, 30),
            Group("保护方式", 7, 50, 286, 110),
            {.id = IDC_SWITCH_PARA_RELAY, .kind = ControlKind::CheckBox, .caption = "过流继电器保护", .x = 14,
             .y = 62, .w = 100, .h = 10},
            Edit(IDC_SWITCH_PARA_RELEASE_CURRENT, "脱扣电流：", 75, 76, CTL_DISABLED, 210),
            Edit(IDC_SWITCH_PARA_MAX_RELEASE, "最大脱扣电流：", 75, 92, CTL_DISABLED),
            {.id = IDC_SWITCH_PARA_ELECTRONIC, .kind = ControlKind::CheckBox, .caption = "电子式保护", .x = 14,
             .y = 108, .w = 100, .h = 10},
            Edit(IDC_SWITCH_PARA_LONG_MULTIPLE, "长时整定倍数：", 75, 122, CTL_DISABLED, 210),
            Edit(IDC_SWITCH_PARA_SHORT_MULTIPLE, "瞬时整定倍数：", 75, 136, CTL_DISABLED, 210),
            Edit(IDC_SWITCH_PARA_MAX_SHORT_MULTIPLE, "最大瞬时整定倍数：", 75, 150, CTL_DISABLED),
            {.id = IDOK, .kind = ControlKind::DefPushButton, .caption = "确定", .x = 180, .y = 170, .w = 50,
             .h = 14},
            {.id = IDCANCEL, .kind = ControlKind::PushButton, .caption = "取消", .x = 240, .y = 170, .w = 50,
             .h = 14},
        }};
}

std::vector<std::unique_ptr<ResourceRegistration>>& OwnRegistrations() {
    static std::vector<std::unique_ptr<ResourceRegistration>> registrations;
    return registrations;
}

struct RegisterAtLoad {
    RegisterAtLoad() { EnsureFeederSwitchResources(); }
};
const RegisterAtLoad g_registerAtLoad;

}  // namespace

void EnsureFeederSwitchResources() {
    const bool needSet = !FindDialogResource(IDD_SET_AUTOMATIC_SWITCH);
    const bool needPara = !FindDialogResource(IDD_AUTOMATIC_SWITCH_PARA);
    if (!needSet && !needPara) return;
    auto& own = OwnRegistrations();
    if (needSet) {
        own.push_back(std::make_unique<ResourceRegistration>(std::vector<DialogTemplate>{SetAutomaticSwitchTemplate()}));
    }
    if (needPara) {
        own.push_back(
            std::make_unique<ResourceRegistration>(std::vector<DialogTemplate>{AutomaticSwitchParaTemplate()}));
    }
}
