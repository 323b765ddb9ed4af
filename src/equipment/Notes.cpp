// Setting notes: the text a setting dialog leaves on the object, kept per
// object in the map (MapObject::notes) by key.
#include <cmath>

#include "equipment/MapAccess.h"
#include "equipment/MapRoutines.h"
#include "host/MapDocument.h"

namespace {

// The least acceptable sensitivity of a feeder switch (reference §5).
constexpr double kLeastSensitivity = 1.5;

}  // namespace

void BuildSwitchNote(CString /*strDeviceType*/, CString strProtection, CString strIk, CString strSetting,
                     CString strSensitivity, CString* pNote) {
    if (!pNote) return;
    CString& note = *pNote;
    note += strSetting + "A";
    if (!strProtection.IsEmpty()) note += jdmap::Gbk("，保护方式：") + strProtection;
    if (IsZero(ParseDouble(strIk))) {
        note += jdmap::Gbk("；校验短路点短路电流未计算，灵敏度未校验。");
        return;
    }
    note += jdmap::Gbk("；校验短路点两相短路电流：") + strIk + "A" + jdmap::Gbk("，灵敏度：") + strSensitivity;
    note += ParseDouble(strSensitivity) >= kLeastSensitivity ? jdmap::Gbk("，满足要求。")
                                                               : jdmap::Gbk("，不满足要求（应不小于1.5）。");
}

BOOL WriteSwitchNote(CMorvaObjects* /*pMap*/, CString strObjectName, CString strNote) {
    host::MapDocument* document = jdmap::CurrentDocument();
    if (!document || strObjectName.IsEmpty()) return FALSE;
    host::MapObject* object = document->FindByName(strObjectName);
    if (!object) return FALSE;
    const char* key = "setting";
    if (strNote.Find(jdmap::Gbk("低压侧")) >= 0) {
        key = "lowVoltageHead";
    } else if (strNote.Find(jdmap::Gbk("高压侧")) >= 0) {
        key = "highVoltageHead";
    }
    object->notes[key] = strNote;
    document->setModified(true);
    return TRUE;
}
