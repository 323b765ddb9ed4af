// Template 5000, the Set Transformer dialog: registered when the module is
// loaded, unregistered when it is unloaded. Data only; the behaviour is in
// JDSetTransformerDlg.cpp.
#include <string>
#include <vector>

#include "module/LoadStatistics.h"
#include "module/ModuleResources.h"
#include "platform/Resources.h"

namespace {

std::vector<std::string> Items(const std::vector<const char*>& utf8) { return {utf8.begin(), utf8.end()}; }

ControlTemplate Group(const char* caption, int x, int y, int w, int h) {
    return {.kind = ControlKind::GroupBox, .caption = caption, .x = x, .y = y, .w = w, .h = h};
}

ControlTemplate Unit(const char* caption, int x, int y) {
    return {.kind = ControlKind::Static, .caption = caption, .x = x, .y = y, .w = 16, .h = 10};
}

DialogTemplate SetTransformerTemplate() {
    return {
        .id = IDD_SET_TRANSFORMER,
        .caption = "设置变压器",
        .width = 470,
        .height = 330,
        .controls = {
            // Basic data: name, type, voltages, state and the heads of a mobile substation.
            Group("基本参数", 7, 7, 220, 150),
            {.id = IDC_NAME, .kind = ControlKind::Edit, .caption = "名称：", .x = 70, .y = 20, .w = 140, .h = 14},
            {.id = IDC_TRANSFORMER_TYPE, .kind = ControlKind::DropList, .caption = "类型：",
             .items = {"移动变电站", "动力变压器"}, .x = 70, .y = 38, .w = 140, .h = 60},
            {.id = IDC_HIGH_VOLTAGE, .kind = ControlKind::DropList, .caption = "一次额定电压：",
             .items = {"10000", "6000"}, .x = 70, .y = 56, .w = 120, .h = 60},
            Unit("V", 194, 58),
            {.id = IDC_LOW_VOLTAGE, .kind = ControlKind::DropList, .caption = "二次额定电压：",
             .items = {"3450", "1200", "690", "400", "133"}, .x = 70, .y = 74, .w = 120, .h = 80},
            Unit("V", 194, 76),
            Group("变压器状态", 14, 92, 206, 26),
            {.id = IDC_STATE_RUNNING, .kind = ControlKind::RadioButton, .caption = "运行", .style = CTL_GROUP,
             .x = 30, .y = 103, .w = 50, .h = 10},
            {.id = IDC_STATE_STOPPED, .kind = ControlKind::RadioButton, .caption = "停止", .x = 110, .y = 103,
             .w = 50, .h = 10},
            {.id = IDC_HV_HEAD_SET, .kind = ControlKind::CheckBox, .style = CTL_GROUP, .x = 20, .y = 124, .w = 10,
             .h = 10},
            {.id = IDC_HV_HEAD, .kind = ControlKind::PushButton, .caption = "整定高压头", .x = 34, .y = 122,
             .w = 70, .h = 14},
            {.id = IDC_LV_HEAD_SET, .kind = ControlKind::CheckBox, .x = 116, .y = 124, .w = 10, .h = 10},
            {.id = IDC_LV_HEAD, .kind = ControlKind::PushButton, .caption = "整定低压头", .x = 130, .y = 122,
             .w = 70, .h = 14},

            // Calculation settings: load type, faces, coefficients, apparent power.
            Group("计算设置", 234, 7, 229, 170),
            {.id = IDC_LOAD_TYPE, .kind = ControlKind::DropList, .caption = "井下采区负荷类型选择：",
             .style = CTL_GROUP, .items = Items(LoadTypeItemsUtf8()), .x = 330, .y = 20, .w = 125, .h = 120},
            {.id = IDC_FACES, .kind = ControlKind::DropList, .caption = "供电工作面数：",
             .items = Items(FacesItemsUtf8()), .x = 330, .y = 38, .w = 125, .h = 60},
            {.id = IDC_SUPPORT_SINGLE, .kind = ControlKind::RadioButton, .caption = "单体支架", .style = CTL_GROUP,
             .x = 250, .y = 58, .w = 60, .h = 10},
            {.id = IDC_SUPPORT_SELF_ADVANCING, .kind = ControlKind::RadioButton, .caption = "自移式支架",
             .x = 330, .y = 58, .w = 60, .h = 10},
            {.id = IDC_KR, .kind = ControlKind::Edit, .caption = "Kr:", .style = CTL_GROUP, .x = 260, .y = 76,
             .w = 45, .h = 14},
            {.id = IDC_COS_PHI, .kind = ControlKind::Edit, .caption = "cosφ:", .x = 335, .y = 76, .w = 45, .h = 14},
            {.id = IDC_KS, .kind = ControlKind::Edit, .caption = "Ks:", .x = 410, .y = 76, .w = 45, .h = 14},
            {.id = IDC_SPARE_MOTORS, .kind = ControlKind::CheckBox, .caption = "备用电动机参与负荷统计计算",
             .x = 250, .y = 98, .w = 150, .h = 10},
            {.id = IDC_LOAD_STATISTICS, .kind = ControlKind::PushButton, .caption = "计算负荷统计", .x = 250,
             .y = 116, .w = 80, .h = 14},
            {.id = IDC_APPARENT_POWER, .kind = ControlKind::Edit, .caption = "视在功率(必填):", .x = 330,
             .y = 138, .w = 100, .h = 14},
            Unit("kVA", 434, 140),

            // Data the underground high-voltage calculation needs.
            Group("井下高压计算须用数据", 234, 182, 229, 70),
            {.id = IDC_MAX_START_CURRENT, .kind = ControlKind::Edit, .caption = "最大启动电流(必填):", .x = 340,
             .y = 194, .w = 90, .h = 14},
            Unit("A", 434, 196),
            {.id = IDC_OTHER_RATED_CURRENT, .kind = ControlKind::Edit, .caption = "其它电机额定电流之和:",
             .x = 340, .y = 212, .w = 90, .h = 14},
            Unit("A", 434, 214),
            {.id = IDC_TOTAL_RATED_CURRENT, .kind = ControlKind::Edit, .caption = "所有电机额定电流之和:",
             .x = 340, .y = 230, .w = 90, .h = 14},
            Unit("A", 434, 232),

            // Model selection.
            Group("变压器型号选择", 7, 162, 220, 160),
            {.id = IDC_MODEL_LIST, .kind = ControlKind::ListBox, .caption = "型号列表：", .x = 14, .y = 184,
             .w = 120, .h = 130},
            {.id = IDC_CAPACITY, .kind = ControlKind::Edit, .caption = "额定容量：", .style = CTL_READONLY,
             .x = 140, .y = 184, .w = 60, .h = 14},
            Unit("kVA", 204, 186),
            {.id = IDC_STOCK, .kind = ControlKind::PushButton, .caption = "查看库存", .x = 140, .y = 206, .w = 80,
             .h = 14},
            {.id = IDC_DETAILS, .kind = ControlKind::PushButton, .caption = "详细参数>>>", .style = CTL_DISABLED,
             .x = 140, .y = 224, .w = 80, .h = 14},
            {.id = IDC_VOLTAGE_LOSS, .kind = ControlKind::PushButton, .caption = "计算电压损失", .x = 140,
             .y = 242, .w = 80, .h = 14},

            {.id = IDOK, .kind = ControlKind::DefPushButton, .caption = "确定", .style = CTL_GROUP, .x = 330,
             .y = 306, .w = 60, .h = 16},
            {.id = IDCANCEL, .kind = ControlKind::PushButton, .caption = "取消", .x = 400, .y = 306, .w = 60,
             .h = 16},
        }};
}

const ResourceRegistration g_setTransformerResources({SetTransformerTemplate()});

}  // namespace
