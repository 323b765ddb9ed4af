#pragma once
// Resource ids of the command module: dialog templates, menus, control ids
// and menu commands. Code and tests use these names, never bare numbers.
// Also the module's export mark (JDMODULE_API), which every dialog header
// includes through this one.
//
// Several dialogs reuse a control id for a different control (5005 is the
// model list of the Set Transformer dialog and the model edit of the
// transformer detail dialog); each dialog has its own names for its controls,
// grouped by template below. New ids are appended, never renumbered: the
// numbers are the templates' and the session scripts name them.
#include "platform/Types.h"

// ---- Templates and menus ------------------------------------------------------
inline constexpr UINT IDD_SET_TRANSFORMER = 5000;     // "设置变压器"
inline constexpr UINT IDD_TRANSFORMER_PARA = 5002;    // "变压器详细参数"
inline constexpr UINT IDD_STOCK = 5006;               // "查看变压器的库存"
inline constexpr UINT IDR_MODEL_LIST_MENU = 5008;     // pop-up "右键" of the model lists

// ---- Commands of menu 5008 ----------------------------------------------------
inline constexpr UINT ID_MODEL_DETAILS = 32772;       // "查看详细参数"
inline constexpr UINT ID_MODEL_STOCK = 32773;         // "查看库存"
inline constexpr UINT ID_MODEL_DELETE = 32774;        // "删除"
inline constexpr UINT ID_MODEL_ADD = 32775;           // "添加型号"

// ---- Template 5000: Set Transformer dialog ------------------------------------
inline constexpr int IDC_NAME = 5000;                 // edit "名称："
inline constexpr int IDC_CAPACITY = 5001;             // read-only edit "额定容量：" … "kVA"
inline constexpr int IDC_HIGH_VOLTAGE = 5003;         // drop list "一次额定电压：" … "V"
inline constexpr int IDC_LOW_VOLTAGE = 5004;          // drop list "二次额定电压：" … "V"
inline constexpr int IDC_MODEL_LIST = 5005;           // list box "型号列表："
inline constexpr int IDC_DETAILS = 5007;              // button "详细参数>>>"
inline constexpr int IDC_TRANSFORMER_TYPE = 5023;     // drop list "类型："
inline constexpr int IDC_LOAD_TYPE = 5027;            // drop list "井下采区负荷类型选择："
inline constexpr int IDC_FACES = 5028;                // drop list "供电工作面数："
inline constexpr int IDC_LOAD_STATISTICS = 5029;      // button "计算负荷统计"
inline constexpr int IDC_KR = 5038;                   // edit "Kr:"
inline constexpr int IDC_COS_PHI = 5039;              // edit "cosφ:"
inline constexpr int IDC_KS = 5040;                   // edit "Ks:"
inline constexpr int IDC_SUPPORT_SINGLE = 5041;       // radio "单体支架"
inline constexpr int IDC_SUPPORT_SELF_ADVANCING = 5042;  // radio "自移式支架"
inline constexpr int IDC_STOCK = 5043;                // button "查看库存"
inline constexpr int IDC_HV_HEAD_SET = 5044;          // check box beside 5046
inline constexpr int IDC_LV_HEAD_SET = 5045;          // check box beside 5047
inline constexpr int IDC_HV_HEAD = 5046;              // button "整定高压头"
inline constexpr int IDC_LV_HEAD = 5047;              // button "整定低压头"
inline constexpr int IDC_VOLTAGE_LOSS = 5048;         // button "计算电压损失"
inline constexpr int IDC_SPARE_MOTORS = 5049;         // check box "备用电动机参与负荷统计计算"
inline constexpr int IDC_MAX_START_CURRENT = 5053;    // edit "最大启动电流(必填):" … "A"
inline constexpr int IDC_OTHER_RATED_CURRENT = 5054;  // edit "其它电机额定电流之和:" … "A"
inline constexpr int IDC_STATE_RUNNING = 5055;        // radio "运行" (group "变压器状态")
inline constexpr int IDC_STATE_STOPPED = 5056;        // radio "停止"
inline constexpr int IDC_APPARENT_POWER = 5057;       // edit "视在功率(必填):" … "kVA"
inline constexpr int IDC_TOTAL_RATED_CURRENT = 5058;  // edit "所有电机额定电流之和:" … "A"

// ---- Export mark ----------------------------------------------------------------
// The module's objects are compiled with hidden visibility. The setting
// dialogs, their records and calculations carry default visibility so that
// the module's tests, which link those objects directly, can reach them; the
// loaded module itself exports only what pnJDSetTransformer.map lists.
#ifndef JDMODULE_API
#define JDMODULE_API __attribute__((visibility("default")))
#endif

// ---- Template 5002: transformer detail dialog ("变压器详细参数") -----------------
inline constexpr int IDC_PARA_MODEL = 5005;            // edit "型号："
inline constexpr int IDC_PARA_TYPE = 5023;             // drop list "类型："
inline constexpr int IDC_PARA_CAPACITY = 5001;         // combo with edit field "容量："
inline constexpr int IDC_PARA_HIGH_VOLTAGE = 5003;     // combo with edit field "一次侧额定电压："
inline constexpr int IDC_PARA_HV_CURRENT = 5013;       // edit "一次侧额定电流："
inline constexpr int IDC_PARA_LOW_VOLTAGE = 5004;      // combo with edit field "二次侧额定电压："
inline constexpr int IDC_PARA_LV_CURRENT = 5015;       // edit "二次侧额定电流："
inline constexpr int IDC_PARA_NO_LOAD_LOSS = 5016;     // edit "空载损耗："
inline constexpr int IDC_PARA_SHORT_CIRCUIT_LOSS = 5017;  // edit "短路损耗："
inline constexpr int IDC_PARA_RESISTANCE = 5018;       // edit "线圈电阻："
inline constexpr int IDC_PARA_REACTANCE = 5019;        // edit "线圈电抗："
inline constexpr int IDC_PARA_IMPEDANCE_PERCENT = 5021;  // edit "阻抗百分数："
inline constexpr int IDC_PARA_LINK_GROUP = 5022;       // edit "连接组："

// ---- Template 5006: stock view ("查看变压器的库存") ------------------------------
inline constexpr int IDC_STOCK_GRID = 3028;            // grid control

// ---- Template 12012: Set High-Voltage Switch dialog ("设置高压开关") ----------------
inline constexpr UINT IDD_SET_HIGH_VOLTAGE_SWITCH = 12012;
inline constexpr int IDC_HVS_NAME = 5000;                // read-only edit "名称："
inline constexpr int IDC_HVS_BREAKING_CAPACITY = 5001;   // read-only edit "开断容量:" … "KVA"
inline constexpr int IDC_HVS_MODEL_LIST = 5005;          // list box "型号列表："
inline constexpr int IDC_HVS_DETAILS = 5007;             // button "详细参数>>>"
inline constexpr int IDC_HVS_STOCK = 5043;               // button "查看库存"
inline constexpr int IDC_HVS_BY_STEP = 5051;             // check box beside "选定档位值:"
inline constexpr int IDC_HVS_VOLTAGE = 12001;            // drop list "额定电压：" … "V"
inline constexpr int IDC_HVS_RATED_CURRENT = 12003;      // read-only edit "额定电流:" … "A"
inline constexpr int IDC_HVS_CHECK_SENSITIVITY = 12030;  // button "校验灵敏度"
inline constexpr int IDC_HVS_SETTING_CALC = 12031;       // read-only edit "短路整定计算值:" … "A"
inline constexpr int IDC_HVS_USER_CURRENT = 12033;       // edit "用户整定电流："
inline constexpr int IDC_HVS_SHORT_POINT = 12060;        // drop list "校验短路点:"
inline constexpr int IDC_HVS_TERMINAL_SET = 12094;       // edit "整定端子值："
inline constexpr int IDC_HVS_CHOSEN_STEP = 12095;        // edit "选定档位值:"
inline constexpr int IDC_HVS_TERMINAL_CALC = 12096;      // read-only edit "计算端子值："
inline constexpr int IDC_HVS_OVERLOAD_CALC = 12097;      // read-only edit "过载整定计算值:" … "A"
inline constexpr int IDC_HVS_MULTIPLE_CALC = 12098;      // read-only edit "短路整定计算倍数:"
inline constexpr int IDC_HVS_USER_MULTIPLE = 12099;      // edit "用户选择整定倍数:"
inline constexpr int IDC_HVS_USER_OVERLOAD = 12100;      // edit "用户选择过载整定值:"
inline constexpr int IDC_HVS_DEMAND_COEF = 12124;        // edit "需用系数:"
inline constexpr int IDC_HVS_STEP_CALC = 12125;          // disabled edit "过载整定计算档位:"

// ---- Template 12014: high-voltage switch detail dialog ("高压开关详细参数") ---------
inline constexpr UINT IDD_HIGH_VOLTAGE_SWITCH_PARA = 12014;
inline constexpr int IDC_HVS_PARA_CAPACITY = 5001;        // edit "断流容量：" … "MVA"
inline constexpr int IDC_HVS_PARA_MODEL = 5005;           // edit "型号："
inline constexpr int IDC_HVS_PARA_ELECTROMAGNETIC = 5041; // radio "电磁式保护" (group "保护方式")
inline constexpr int IDC_HVS_PARA_ELECTRONIC = 5042;      // radio "电子式保护"
inline constexpr int IDC_HVS_PARA_VOLTAGE = 12001;        // combo with edit field "额定电压：" … "V"
inline constexpr int IDC_HVS_PARA_CURRENT = 12003;        // edit "额定电流：" … "A"
inline constexpr int IDC_HVS_PARA_MAX_VOLTAGE = 12054;    // edit "最高工作电压：" … "V"
inline constexpr int IDC_HVS_PARA_CUT_CURRENT = 12055;    // edit "额定断开电流：" … "A"
inline constexpr int IDC_HVS_PARA_MAX_CURRENT = 12056;    // edit "极限通过峰值电流：" … "A"
inline constexpr int IDC_HVS_PARA_VALID_CURRENT = 12057;  // edit "极限通过有效值电流：" … "A"
inline constexpr int IDC_HVS_PARA_S_CURRENT = 12058;      // edit "热稳定电流：" … "A"
inline constexpr int IDC_HVS_PARA_LONG_MULTIPLE = 16075;  // edit "长时整定电流倍数："
inline constexpr int IDC_HVS_PARA_SHORT_MULTIPLE = 16076; // edit "短时整定电流倍数："

// ---- Template 12000: Set Feeder Switch dialog ("设置自动馈电开关") ------------------
inline constexpr UINT IDD_SET_AUTOMATIC_SWITCH = 12000;
inline constexpr int IDC_SWITCH_NAME = 5000;               // read-only edit "名称："
inline constexpr int IDC_SWITCH_VOLTAGE = 12001;           // drop list "额定电压：" … "V"
inline constexpr int IDC_SWITCH_RATED_CURRENT = 12003;     // read-only edit "额定电流：" … "A"
inline constexpr int IDC_SWITCH_MODEL_LIST = 5005;         // list box "型号列表："
inline constexpr int IDC_SWITCH_DETAILS = 5007;            // button "详细参数>>>"
inline constexpr int IDC_SWITCH_CHECK_SENSITIVITY = 12030; // button "校验灵敏度"
inline constexpr int IDC_SWITCH_SETTING_CALC = 12031;      // read-only edit "短路整定计算值：" … "A"
inline constexpr int IDC_SWITCH_SETTING_RANGE = 12032;     // read-only edit: the model's settings
inline constexpr int IDC_SWITCH_USER_VALUE = 12033;        // edit: user current (relay) or multiple (electronic)
inline constexpr int IDC_SWITCH_OVERLOAD_CALC = 12034;     // read-only edit "过载整定计算值:" … "A"
inline constexpr int IDC_SWITCH_USER_CURRENT = 12035;      // edit: user setting current (electronic)
inline constexpr int IDC_SWITCH_USER_OVERLOAD = 5050;      // edit "用户选择过载整定值:"
inline constexpr int IDC_SWITCH_BY_STEP = 5051;            // check box beside "选定档位:"
inline constexpr int IDC_SWITCH_SHORT_POINT = 12060;       // drop list "校验短路点："
inline constexpr int IDC_SWITCH_PROTECTION = 12062;        // drop list "保护类型："
inline constexpr int IDC_SWITCH_MOTORS = 12077;            // button "控制的电动机"
inline constexpr int IDC_SWITCH_CHOSEN_STEP = 12095;       // edit "选定档位:"
inline constexpr int IDC_SWITCH_STEP_CALC = 12125;         // disabled edit "过载整定计算档:"
inline constexpr int IDC_SWITCH_RANGE_LABEL = 12128;       // label of 12032, set at run time
inline constexpr int IDC_SWITCH_USER_VALUE_LABEL = 12129;  // label of 12033, set at run time
inline constexpr int IDC_SWITCH_USER_CURRENT_LABEL = 12130;  // label of 12035, set at run time

// ---- Template 12005: feeder switch detail dialog ("馈电开关详细参数") ---------------
inline constexpr UINT IDD_AUTOMATIC_SWITCH_PARA = 12005;
inline constexpr int IDC_SWITCH_PARA_MODEL = 5000;             // edit "型号："
inline constexpr int IDC_SWITCH_PARA_VOLTAGE = 12001;          // combo with edit field "额定电压：" … "V"
inline constexpr int IDC_SWITCH_PARA_RATED_CURRENT = 12003;    // edit "额定电流："
inline constexpr int IDC_SWITCH_PARA_RELEASE_CURRENT = 12010;  // edit "脱扣电流："
inline constexpr int IDC_SWITCH_PARA_RELAY = 12020;            // check box "过流继电器保护"
inline constexpr int IDC_SWITCH_PARA_ELECTRONIC = 12021;       // check box "电子式保护"
inline constexpr int IDC_SWITCH_PARA_MAX_RELEASE = 12073;      // edit "最大脱扣电流："
inline constexpr int IDC_SWITCH_PARA_LONG_MULTIPLE = 12074;    // edit "长时整定倍数："
inline constexpr int IDC_SWITCH_PARA_SHORT_MULTIPLE = 12075;   // edit "瞬时整定倍数："
inline constexpr int IDC_SWITCH_PARA_MAX_SHORT_MULTIPLE = 12076;  // edit "最大瞬时整定倍数："
