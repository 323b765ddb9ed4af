// Templates of the transformer detail dialog (5002) and the stock view
// (5006), and the model lists' context menu (5008). They are registered when
// the module is loaded and unregistered when it is unloaded.
//
// The same code is also linked statically into the module's tests, which load
// the module library as well: whichever copy comes first registers a
// resource, the other leaves it alone (no duplicate-registration noise), and
// the classes that need the resources check again when constructed, in case
// the copy that owned them has been unloaded since.
#include <memory>
#include <vector>

#include "module/GridCtrl.h"
#include "module/ModuleResources.h"
#include "module/MyListBox.h"
#include "platform/Resources.h"

namespace {

// Two columns of labelled fields; the caption of an edit or combo is its label.
constexpr int kLeftX = 75;
constexpr int kRightX = 215;
constexpr int kFieldW = 70;
constexpr int kFieldH = 12;
constexpr int kComboH = 80;   // with its drop-down part
constexpr int kRow = 20;
constexpr int kTop = 10;

int RowY(int row) { return kTop + row * kRow; }

DialogTemplate TransformerParaTemplate() {
    return {.id = IDD_TRANSFORMER_PARA,
            .caption = "变压器详细参数",
            .width = 300,
            .height = 170,
            .controls = {
                {.id = IDC_PARA_MODEL, .kind = ControlKind::Edit, .caption = "型号：",
                 .x = kLeftX, .y = RowY(0), .w = kFieldW, .h = kFieldH},
                {.id = IDC_PARA_TYPE, .kind = ControlKind::DropList, .caption = "类型：",
                 .items = {"移动变电站", "动力变压器"},
                 .x = kRightX, .y = RowY(0), .w = kFieldW, .h = kComboH},
                {.id = IDC_PARA_CAPACITY, .kind = ControlKind::DropDown, .caption = "容量：",
                 .items = {"3150", "2500", "2000", "1600", "1000", "800", "630", "500", "400", "315", "200", "100",
                           "50"},
                 .x = kLeftX, .y = RowY(1), .w = kFieldW, .h = kComboH},
                {.id = IDC_PARA_HIGH_VOLTAGE, .kind = ControlKind::DropDown, .caption = "一次侧额定电压：",
                 .items = {"10000", "6000"},
                 .x = kLeftX, .y = RowY(2), .w = kFieldW, .h = kComboH},
                {.id = IDC_PARA_HV_CURRENT, .kind = ControlKind::Edit, .caption = "一次侧额定电流：",
                 .x = kRightX, .y = RowY(2), .w = kFieldW, .h = kFieldH},
                {.id = IDC_PARA_LOW_VOLTAGE, .kind = ControlKind::DropDown, .caption = "二次侧额定电压：",
                 .items = {"3450", "1200", "690", "400", "133"},
                 .x = kLeftX, .y = RowY(3), .w = kFieldW, .h = kComboH},
                {.id = IDC_PARA_LV_CURRENT, .kind = ControlKind::Edit, .caption = "二次侧额定电流：",
                 .x = kRightX, .y = RowY(3), .w = kFieldW, .h = kFieldH},
                {.id = IDC_PARA_NO_LOAD_LOSS, .kind = ControlKind::Edit, .caption = "空载损耗：",
                 .x = kLeftX, .y = RowY(4), .w = kFieldW, .h = kFieldH},
                {.id = IDC_PARA_SHORT_CIRCUIT_LOSS, .kind = ControlKind::Edit, .caption = "短路损耗：",
                 .x = kRightX, .y = RowY(4), .w = kFieldW, .h = kFieldH},
                {.id = IDC_PARA_RESISTANCE, .kind = ControlKind::Edit, .caption = "线圈电阻：",
                 .x = kLeftX, .y = RowY(5), .w = kFieldW, .h = kFieldH},
                {.id = IDC_PARA_REACTANCE, .kind = ControlKind::Edit, .caption = "线圈电抗：",
                 .x = kRightX, .y = RowY(5), .w = kFieldW, .h = kFieldH},
                {.id = IDC_PARA_IMPEDANCE_PERCENT, .kind = ControlKind::Edit, .caption = "阻抗百分数：",
                 .x = kLeftX, .y = RowY(6), .w = kFieldW, .h = kFieldH},
                {.id = IDC_PARA_LINK_GROUP, .kind = ControlKind::Edit, .caption = "连接组：",
                 .x = kRightX, .y = RowY(6), .w = kFieldW, .h = kFieldH},
                {.id = IDOK, .kind = ControlKind::DefPushButton, .caption = "确定",
                 .x = 180, .y = 150, .w = 50, .h = 14},
                {.id = IDCANCEL, .kind = ControlKind::PushButton, .caption = "取消",
                 .x = 240, .y = 150, .w = 50, .h = 14},
            }};
}

DialogTemplate StockTemplate() {
    return {.id = IDD_STOCK,
            .caption = "查看变压器的库存",
            .width = 435,
            .height = 151,
            .controls = {
                {.id = IDC_STATIC, .kind = ControlKind::Static, .caption = "库存中的电动机：",
                 .x = 7, .y = 7, .w = 80, .h = 10},
                {.id = IDC_STOCK_GRID, .kind = ControlKind::Custom, .style = CTL_TABSTOP,
                 .x = 7, .y = 20, .w = 421, .h = 104, .className = kGridWindowClass},
                {.id = IDOK, .kind = ControlKind::DefPushButton, .caption = "确定",
                 .x = 318, .y = 130, .w = 50, .h = 14},
                {.id = IDCANCEL, .kind = ControlKind::PushButton, .caption = "取消",
                 .x = 378, .y = 130, .w = 50, .h = 14},
            }};
}

MenuTemplate ModelListMenu() {
    return {.id = IDR_MODEL_LIST_MENU,
            .popups = {{.caption = "右键",
                        .items = {{.id = ID_MODEL_DETAILS, .caption = "查看详细参数"},
                                  {.id = ID_MODEL_STOCK, .caption = "查看库存"},
                                  {.id = ID_MODEL_DELETE, .caption = "删除"},
                                  {.id = ID_MODEL_ADD, .caption = "添加型号"}}}}};
}

// The registrations this copy of the code made; dropped (and the resources
// unregistered) when the module is unloaded.
std::vector<std::unique_ptr<ResourceRegistration>>& OwnRegistrations() {
    static std::vector<std::unique_ptr<ResourceRegistration>> registrations;
    return registrations;
}

struct RegisterAtLoad {
    RegisterAtLoad() { EnsureParaStockResources(); }
};
const RegisterAtLoad g_registerAtLoad;

}  // namespace

void EnsureParaStockResources() {
    // Ask the platform's registries first: that constructs them before our
    // list of registrations, so they are destroyed after it at exit and the
    // list can still unregister into them.
    const bool needPara = !FindDialogResource(IDD_TRANSFORMER_PARA);
    const bool needStock = !FindDialogResource(IDD_STOCK);
    const bool needMenu = !FindMenuResource(IDR_MODEL_LIST_MENU);
    if (!needPara && !needStock && !needMenu) return;
    auto& own = OwnRegistrations();
    if (needPara) {
        own.push_back(std::make_unique<ResourceRegistration>(std::vector<DialogTemplate>{TransformerParaTemplate()}));
    }
    if (needStock) {
        own.push_back(std::make_unique<ResourceRegistration>(std::vector<DialogTemplate>{StockTemplate()}));
    }
    if (needMenu) {
        own.push_back(std::make_unique<ResourceRegistration>(std::vector<DialogTemplate>{},
                                                             std::vector<MenuTemplate>{ModelListMenu()}));
    }
}
