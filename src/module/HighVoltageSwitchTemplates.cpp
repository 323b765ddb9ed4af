// Templates 12012 (the Set High-Voltage Switch dialog) and 12014 (the
// high-voltage switch detail dialog): registered when the module is loaded,
// unregistered when it is unloaded. Data only; the behaviour is in
// SetHighVoltageSwitchDlg.cpp and JDHighVoltageSwitchParaDlg.cpp.
#include "module/ModuleResources.h"
#include "platform/Resources.h"

namespace {

ControlTemplate Group(const char* caption, int x, int y, int w, int h) {
    return {.kind = ControlKind::GroupBox, .caption = caption, .x = x, .y = y, .w = w, .h = h};
}

ControlTemplate Unit(const char* caption, int x, int y) {
    return {.kind = ControlKind::Static, .caption = caption, .x = x, .y = y, .w = 16, .h = 10};
}

ControlTemplate Field(int id, const char* caption, DWORD style, int x, int y, int w = 60) {
    return {.id = static_cast<UINT>(id), .kind = ControlKind::Edit, .caption = caption, .style = style, .x = x,
            .y = y, .w = w, .h = 14};
}

DialogTemplate SetHighVoltageSwitchTemplate() {
    return {
        .id = IDD_SET_HIGH_VOLTAGE_SWITCH,
        .caption = "设置高压开关",
        .width = 418,
        .height = 260,
        .controls = {
            // What the choice depends on: the device, the voltage, the check point, Kx.
            Group("开关选取条件", 7, 7, 200, 92),
            Field(IDC_HVS_NAME, "名称：", CTL_READONLY, 70, 20, 120),
            {.id = IDC_HVS_VOLTAGE, .kind = ControlKind::DropList, .caption = "额定电压：",
             .items = {"10000", "6000"}, .x = 70, .y = 38, .w = 100, .h = 80},
            Unit("V", 174, 40),
            {.id = IDC_HVS_SHORT_POINT, .kind = ControlKind::DropList, .caption = "校验短路点:", .x = 70,
             .y = 56, .w = 120, .h = 120},
            Field(IDC_HVS_DEMAND_COEF, "需用系数:", 0, 70, 74),

            // The catalogue models and the chosen one's data.
            Group("开关参数", 7, 104, 200, 130),
            {.id = IDC_HVS_MODEL_LIST, .kind = ControlKind::ListBox, .caption = "型号列表：", .x = 14, .y = 126,
             .w = 90, .h = 100},
            Field(IDC_HVS_RATED_CURRENT, "额定电流:", CTL_READONLY, 110, 126, 60),
            Unit("A", 174, 128),
            Field(IDC_HVS_BREAKING_CAPACITY, "开断容量:", CTL_READONLY, 110, 150, 60),
            Unit("KVA", 174, 152),
            {.id = IDC_HVS_STOCK, .kind = ControlKind::PushButton, .caption = "查看库存", .x = 110, .y = 172,
             .w = 80, .h = 14},
            {.id = IDC_HVS_DETAILS, .kind = ControlKind::PushButton, .caption = "详细参数>>>",
             .style = CTL_DISABLED, .x = 110, .y = 192, .w = 80, .h = 14},

            // Overload: the computed load current and the step the user sets.
            Group("过载保护档位选取", 214, 7, 197, 82),
            Field(IDC_HVS_OVERLOAD_CALC, "过载整定计算值:", CTL_READONLY, 300, 18),
            Unit("A", 364, 20),
            Field(IDC_HVS_STEP_CALC, "过载整定计算档位:", CTL_DISABLED, 300, 36),
            {.id = IDC_HVS_BY_STEP, .kind = ControlKind::CheckBox, .x = 222, .y = 56, .w = 10, .h = 10},
            Field(IDC_HVS_CHOSEN_STEP, "选定档位值:", 0, 300, 54),
            Field(IDC_HVS_USER_OVERLOAD, "用户选择过载整定值:", 0, 300, 72),

            // Short circuit, electronic protection: multiples of Ie.
            Group("电子保护短路整定", 214, 92, 197, 58),
            Field(IDC_HVS_SETTING_CALC, "短路整定计算值:", CTL_READONLY, 300, 102),
            Unit("A", 364, 104),
            Field(IDC_HVS_MULTIPLE_CALC, "短路整定计算倍数:", CTL_READONLY, 300, 118),
            Field(IDC_HVS_USER_MULTIPLE, "用户选择整定倍数:", 0, 300, 134),

            // Short circuit, electromagnetic protection: the relay terminal.
            Group("电磁保护端子位置选取", 214, 153, 197, 40),
            Field(IDC_HVS_TERMINAL_CALC, "计算端子值：", CTL_READONLY, 300, 162),
            Field(IDC_HVS_TERMINAL_SET, "整定端子值：", 0, 300, 177),

            // The check of the setting the user chose.
            Group("校验灵敏度:", 214, 196, 197, 38),
            Field(IDC_HVS_USER_CURRENT, "用户整定电流：", 0, 300, 206),
            {.id = IDC_HVS_CHECK_SENSITIVITY, .kind = ControlKind::PushButton, .caption = "校验灵敏度", .x = 300,
             .y = 220, .w = 60, .h = 12},

            {.id = IDOK, .kind = ControlKind::DefPushButton, .caption = "确定", .style = CTL_GROUP, .x = 290,
             .y = 240, .w = 55, .h = 14},
            {.id = IDCANCEL, .kind = ControlKind::PushButton, .caption = "取消", .x = 354, .y = 240, .w = 55,
             .h = 14},
        }};
}

DialogTemplate HighVoltageSwitchParaTemplate() {
    constexpr int kLabelled = 100;  // x of the fields; their captions are the labels
    constexpr int kUnitX = 178;
    auto row = [](int i) { return 10 + i * 19; };
    return {
        .id = IDD_HIGH_VOLTAGE_SWITCH_PARA,
        .caption = "高压开关详细参数",
        .width = 240,
        .height = 287,
        .controls = {
            Field(IDC_HVS_PARA_MODEL, "型号：", 0, kLabelled, row(0), 120),
            {.id = IDC_HVS_PARA_VOLTAGE, .kind = ControlKind::DropDown, .caption = "额定电压：",
             .items = {"10000", "6000"}, .x = kLabelled, .y = row(1), .w = 74, .h = 80},
            Unit("V", kUnitX, row(1) + 2),
            Field(IDC_HVS_PARA_CURRENT, "额定电流：", 0, kLabelled, row(2), 74),
            Unit("A", kUnitX, row(2) + 2),
            Field(IDC_HVS_PARA_CAPACITY, "断流容量：", 0, kLabelled, row(3), 74),
            Unit("MVA", kUnitX, row(3) + 2),
            Group("保护方式", 10, row(4) - 4, 220, 24),
            {.id = IDC_HVS_PARA_ELECTROMAGNETIC, .kind = ControlKind::RadioButton, .caption = "电磁式保护",
             .style = CTL_GROUP, .x = 30, .y = row(4) + 4, .w = 70, .h = 10},
            {.id = IDC_HVS_PARA_ELECTRONIC, .kind = ControlKind::RadioButton, .caption = "电子式保护", .x = 130,
             .y = row(4) + 4, .w = 70, .h = 10},
            Field(IDC_HVS_PARA_MAX_VOLTAGE, "最高工作电压：", CTL_GROUP, kLabelled, row(5) + 6, 74),
            Unit("V", kUnitX, row(5) + 8),
            Field(IDC_HVS_PARA_CUT_CURRENT, "额定断开电流：", 0, kLabelled, row(6) + 6, 74),
            Unit("A", kUnitX, row(6) + 8),
            Field(IDC_HVS_PARA_MAX_CURRENT, "极限通过峰值电流：", 0, kLabelled, row(7) + 6, 74),
            Unit("A", kUnitX, row(7) + 8),
            Field(IDC_HVS_PARA_VALID_CURRENT, "极限通过有效值电流：", 0, kLabelled, row(8) + 6, 74),
            Unit("A", kUnitX, row(8) + 8),
            Field(IDC_HVS_PARA_S_CURRENT, "热稳定电流：", 0, kLabelled, row(9) + 6, 74),
            Unit("A", kUnitX, row(9) + 8),
            Field(IDC_HVS_PARA_LONG_MULTIPLE, "长时整定电流倍数：", 0, kLabelled, row(10) + 6, 74),
            Unit("A", kUnitX, row(10) + 8),
            Field(IDC_HVS_PARA_SHORT_MULTIPLE, "短时整定电流倍数：", 0, kLabelled, row(11) + 6, 74),
            Unit("A", kUnitX, row(11) + 8),
            {.id = IDOK, .kind = ControlKind::DefPushButton, .caption = "确定", .style = CTL_GROUP, .x = 110,
             .y = 266, .w = 55, .h = 14},
            {.id = IDCANCEL, .kind = ControlKind::PushButton, .caption = "取消", .x = 175, .y = 266, .w = 55,
             .h = 14},
        }};
}

const ResourceRegistration g_highVoltageSwitchResources({SetHighVoltageSwitchTemplate(),
                                                         HighVoltageSwitchParaTemplate()});

}  // namespace
