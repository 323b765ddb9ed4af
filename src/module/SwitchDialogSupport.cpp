#include "module/SwitchDialogSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "equipment/ADODatabase.h"
#include "equipment/ADORecordset.h"
#include "equipment/JDBase.h"
#include "equipment/MapRoutines.h"
#include "host/AttributeRecords.h"
#include "host/Kernel.h"
#include "host/KernelRecords.h"
#include "host/MorvaObjects.h"
#include "module/MyListBox.h"
#include "platform/CComboBox.h"
#include "platform/Gbk.h"
#include "platform/Gdi.h"
#include "platform/Menu.h"
#include "platform/WindowDrawing.h"

namespace {

// An outline longer than this is no symbol's; it is not drawn.
constexpr LONG kMaxOutlinePoints = 4096;

const CString& ShortPointKind() {
    static const CString kind = FromUtf8("短路点");
    return kind;
}

CString RecordName(const KernelObjectRecord& record) {
    return CString(record.name, static_cast<int>(strnlen(record.name, sizeof(record.name))));
}

LONG EntityOf(CMorvaObjects* map, LONG handle, const CKernelObjectArray& objects, const CEntityIdArray& ids) {
    return GetObjectEntity(map, handle, const_cast<CKernelObjectArray*>(&objects), const_cast<CEntityIdArray*>(&ids));
}

// A client coordinate floored to a pixel, kept inside the int range.
int FloorToPixel(double value) {
    if (!std::isfinite(value)) return 0;
    const double floored = std::floor(value);
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(floored, lo, hi));
}

}  // namespace

// ---- Numbers ----------------------------------------------------------------------

double FiniteOrZero(double value) { return std::isfinite(value) ? value : 0.0; }

double SafeRatio(double numerator, double denominator) {
    if (!std::isfinite(denominator) || IsZero(denominator)) return 0.0;
    return FiniteOrZero(numerator / denominator);
}

// ---- Kernel objects -----------------------------------------------------------------

CString ObjectKindName(LONG handle) {
    char kind[32] = {};
    if (!QueryObject(handle, KernelQuery::KindName, kind, sizeof(kind))) return CString();
    return CString(kind, static_cast<int>(strnlen(kind, sizeof(kind))));
}

CString ObjectName(LONG handle) {
    KernelObjectRecord record;
    if (!GetObjectInfo(handle, &record)) return CString();
    return RecordName(record);
}

bool IsShortCircuitPoint(LONG handle) { return handle != 0 && ObjectKindName(handle) == ShortPointKind(); }

LONG FindShortPointByName(const CKernelObjectArray& objects, const CString& name) {
    for (LONG handle : objects) {
        if (IsShortCircuitPoint(handle) && ObjectName(handle) == name) return handle;
    }
    return 0;
}

LONG FindShortPointOfOwner(CMorvaObjects* map, const CKernelObjectArray& objects, const CEntityIdArray& ids,
                           const CString& ownerName) {
    if (ownerName.IsEmpty()) return 0;
    const CObjectEntityIndex entities(&objects, &ids);
    for (LONG handle : objects) {
        if (!IsShortCircuitPoint(handle)) continue;
        ShortCircuitPointRecord point;
        if (!point.Read(map, entities.Find(map, handle))) continue;
        // The owner is read into a 32-byte buffer: at most 31 bytes take part.
        const CString owner(point.ownerName.GetString(), std::min(point.ownerName.GetLength(), 31));
        if (owner == ownerName) return handle;
    }
    return 0;
}

double ReadShortPointCurrent(CMorvaObjects* map, LONG point, const CKernelObjectArray& objects,
                             const CEntityIdArray& ids) {
    if (point == 0) return 0.0;
    ShortCircuitPointRecord record;
    if (!record.Read(map, EntityOf(map, point, objects, ids))) return 0.0;
    return FiniteOrZero(record.currentA);
}

void FillShortPointCombo(CComboBox& combo, const CKernelObjectArray& objects, const CString& name) {
    combo.ResetContent();
    combo.AddString(" ");
    for (LONG handle : objects) {
        if (IsShortCircuitPoint(handle)) combo.AddString(ObjectName(handle));
    }
    const int row = combo.FindStringExact(-1, name);
    combo.SetCurSel(row >= 0 ? row : 0);
}

// ---- Flashing -------------------------------------------------------------------------

int FlashObject(CMorvaObjects* map, LONG handle, int& penFlag) {
    if (!map || handle == 0) return 0;
    LONG count = 0;
    if (!QueryObject(handle, KernelQuery::OutlineCount, &count, 0) || count < 2 || count > kMaxOutlinePoints) return 0;
    std::vector<KernelPoint> outline(static_cast<size_t>(count));
    if (!QueryObject(handle, KernelQuery::OutlinePoints, outline.data(), count)) return 0;

    std::vector<CPoint> pixels;
    pixels.reserve(outline.size());
    for (const KernelPoint& p : outline) {
        double x = 0.0;
        double y = 0.0;
        map->MapToClient(p.x, p.y, &x, &y);
        pixels.emplace_back(FloorToPixel(x), FloorToPixel(y));
    }

    const HWND window = map->GetSafeHwnd();
    for (int round = 0; round < kFlashRounds; ++round) {
        penFlag = penFlag ? 0 : 1;
        CDC* dc = GetWindowDC(window);
        CPen pen(PS_SOLID, kFlashPenWidth, penFlag ? RGB(255, 0, 0) : RGB(0, 255, 0));
        CPen* previous = dc->SelectObject(&pen);
        dc->MoveTo(pixels.front());
        for (size_t i = 1; i < pixels.size(); ++i) dc->LineTo(pixels[i]);
        dc->LineTo(pixels.front());
        if (previous) dc->SelectObject(previous);
        ReleaseWindowDC(window, dc);
        PauseForDisplay(kFlashPauseMs);
    }
    map->RedrawMap();
    return static_cast<int>(pixels.size());
}

// ---- Sensitivity ------------------------------------------------------------------------

double ComputeSensitivity(double settingCurrentA, double shortCircuitCurrentA) {
    if (!std::isfinite(shortCircuitCurrentA)) return 0.0;
    return SafeRatio(shortCircuitCurrentA, settingCurrentA);
}

bool SensitivityPasses(double sensitivity) { return sensitivity >= kLeastSensitivity; }

void ShowNoShortPointMessage(CWnd& owner) { owner.MessageBox(FromUtf8("请选择校验短路点！"), nullptr, MB_ICONSTOP); }

void ShowSensitivityVerdict(CWnd& owner, double sensitivity, const CString& failureAdvice) {
    const CString number = CString::Formatted("%0.2f", FiniteOrZero(sensitivity));
    const CString text = FromUtf8("该开关的灵敏度为 ") + number;
    if (SensitivityPasses(sensitivity)) {
        owner.MessageBox(text, nullptr, MB_ICONINFORMATION);
        return;
    }
    owner.MessageBox(text + FromUtf8("！"));
    owner.MessageBox(failureAdvice);
}

bool AskContinueWithoutShortPoint(CWnd& owner) {
    return owner.MessageBox(FromUtf8("提示：没有选择短路点, 是否继续？"), nullptr, MB_YESNO) == IDYES;
}

bool AskContinueWithSettingBelowCalc(CWnd& owner) {
    return owner.MessageBox(FromUtf8("提示：开关整定值选择应小于实际计算的整定值, 这是不合理的，是否继续？"), nullptr,
                            MB_YESNO) == IDYES;
}

// ---- Object name --------------------------------------------------------------------------

void SetObjectName(LONG hObject, const CString& name) {
    KernelObjectRecord record;
    if (!GetObjectInfo(hObject, &record)) return;
    std::memset(record.name, 0, sizeof(record.name));
    std::memcpy(record.name, name.GetString(),
                std::min(static_cast<size_t>(name.GetLength()), sizeof(record.name) - 1));
    SetObjectInfo(hObject, &record);
}

bool CheckObjectName(CWnd& owner, CMorvaObjects* map, LONG* hObject, CKernelObjectArray* objects,
                     const CString& name, int nameEditId) {
    // The kernel's name field holds 31 bytes and the terminator; a longer name
    // would be cut or refused by the kernel, so the user shortens it here.
    if (name.GetLength() > static_cast<int>(sizeof(KernelObjectRecord::name)) - 1) {
        owner.MessageBox(FromUtf8("输入的名称太长：名称最多31个字节（15个汉字），现在是") +
                             CString::Formatted("%d", name.GetLength()) + FromUtf8("个字节，请缩短名称!"),
                         nullptr, MB_ICONINFORMATION);
        if (CWnd* edit = owner.GetDlgItem(nameEditId)) owner.GotoDlgCtrl(edit);
        return false;
    }
    if (IsObjectNameFree(map, hObject, objects, name) || name.IsEmpty()) return true;
    owner.MessageBox(FromUtf8("输入的名称在图中已经存在，请更换名称输入!"), nullptr, MB_ICONINFORMATION);
    return false;
}

bool ApplyObjectName(CWnd& owner, CMorvaObjects* map, LONG* hObject, CKernelObjectArray* objects,
                     const CString& name, int nameEditId) {
    if (!CheckObjectName(owner, map, hObject, objects, name, nameEditId)) return false;
    SetObjectName(*hObject, name);
    return true;
}

// ---- Catalogue model list -------------------------------------------------------------------

const CString& NoModelRowText() {
    static const CString text = FromUtf8("无适用设备");
    return text;
}

bool FillCatalogueModelList(CMyListBox& list, CDWordArray& ids, const CString& query) {
    ids.RemoveAll();
    list.ResetContent();
    auto database = std::make_unique<CADODatabase>();
    OpenJDDatabase(database.get());
    auto records = std::make_unique<CADORecordset>(database.get());
    if (!records->OpenRecords(database->GetConnection(), query, CADORecordset::openQuery)) {
        if (records->IsActive()) records->CloseRecords();
        CloseJDDatabase(database.get());
        return false;
    }
    const DWORD count = records->CountRecords();
    if (count > 0) {
        records->FirstRecord();
        for (DWORD i = 0; i < count; ++i) {
            LONG id = 0;
            // 0 marks an ID that could not be read; the dialogs' OK refuses such a row.
            if (!records->ReadField("ID", id) || id <= 0) id = 0;
            ids.Add(static_cast<DWORD>(id));
            CString model;
            records->ReadField("Model", model);
            list.AddString(model);
            records->NextRecord();
        }
    }
    if (records->IsActive()) records->CloseRecords();
    CloseJDDatabase(database.get());
    list.AddString(NoModelRowText());
    return true;
}

bool IsModelRow(const CMyListBox& list, const CDWordArray& ids, int row) {
    return row >= 0 && row < list.GetCount() - 1 && row < ids.GetSize();
}

int SelectedModelRow(const CMyListBox& list, const CDWordArray& ids) {
    const int row = list.GetCurSel();
    return IsModelRow(list, ids, row) ? row : -1;
}

HMENU AttachModelListMenu(CMyListBox& list) {
    HMENU menu = ::LoadMenu(IDR_MODEL_LIST_MENU);
    HMENU popup = menu ? ::GetSubMenu(menu, 0) : nullptr;
    list.m_hMenu = popup;
    return popup;
}

void DetachModelListMenu(CMyListBox& list, HMENU& menu) {
    // The pop-up belongs to the loaded menu; destroying it frees the whole menu.
    if (menu) ::DestroyMenu(menu);
    menu = nullptr;
    list.m_hMenu = nullptr;
    list.m_hOwner = nullptr;
}

bool DeleteSelectedCatalogueModel(CWnd& owner, CMyListBox& list, const CDWordArray& ids, int kind) {
    const int row = SelectedModelRow(list, ids);
    if (row < 0) return false;
    CString model;
    list.GetText(row, model);
    const CString question = FromUtf8("是否删除 ") + model + FromUtf8(" 这个型号？");
    if (owner.MessageBox(question, FromUtf8("请确认"), MB_YESNO) != IDYES) return false;
    DeleteCatalogueModel(kind, ids[row]);
    return true;
}

bool AdoptDetailVoltage(CComboBox& voltages, const CString& voltage) {
    if (voltages.FindStringExact(-1, voltage) < 0) AddComboItem(&voltages, voltage);
    return SelectedComboText(voltages) != voltage;
}

void AppendLibraryListItems(char* heapText, CComboBox& combo) {
    // Copy first, then free: the library hands out a malloc block.
    CStringArray items;
    SplitVoltageList(heapText ? heapText : "", &items);
    std::free(heapText);
    for (int i = 0; i < items.GetSize(); ++i) AddComboItem(&combo, items[i]);
}

CString SelectedComboText(const CComboBox& combo) {
    CString text;
    const int index = combo.GetCurSel();
    if (index >= 0) combo.GetLBText(index, text);
    return text;
}
