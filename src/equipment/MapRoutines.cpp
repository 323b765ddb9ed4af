// The map's object lists and the lookups on them.
#include "equipment/MapRoutines.h"

#include <algorithm>

#include "equipment/MapAccess.h"
#include "host/KernelRecords.h"
#include "host/MapDocument.h"

int CollectMapObjects(CMorvaObjects* /*pMap*/, CKernelObjectArray* pObjects, CEntityIdArray* pIds) {
    if (!pObjects || !pIds) return 0;
    pObjects->RemoveAll();
    pIds->RemoveAll();
    const host::MapDocument* document = jdmap::CurrentDocument();
    if (!document) return 0;
    for (const host::MapObject& object : document->objects()) {
        pObjects->Add(object.handle);
        pIds->Add(object.entityId);
    }
    return pObjects->GetSize();
}

BOOL IsTransformer(LONG hObject) { return jdmap::IsTransformerObject(hObject) ? TRUE : FALSE; }

BOOL IsSettingBlocked(LONG hObject, int /*nWhat*/) {
    const host::MapObject* object = jdmap::ObjectOfHandle(hObject);
    return object && object->settingLocked ? TRUE : FALSE;
}

LONG GetObjectEntity(CMorvaObjects* /*pMap*/, LONG hObject, CKernelObjectArray* pObjects, CEntityIdArray* pIds) {
    if (hObject == 0) return 0;
    if (pObjects && pIds) {
        const int n = std::min(pObjects->GetSize(), pIds->GetSize());
        for (int i = 0; i < n; ++i) {
            if (pObjects->GetAt(i) == hObject) return pIds->GetAt(i);
        }
    }
    const host::MapObject* object = jdmap::ObjectOfHandle(hObject);
    return object ? object->entityId : 0;
}

CObjectEntityIndex::CObjectEntityIndex(const CKernelObjectArray* pObjects, const CEntityIdArray* pIds) {
    if (!pObjects || !pIds) return;
    const int n = std::min(pObjects->GetSize(), pIds->GetSize());
    m_idOfHandle.reserve(static_cast<size_t>(n));
    // try_emplace keeps the first place of a handle, as the front-to-back search does.
    for (int i = 0; i < n; ++i) m_idOfHandle.try_emplace(pObjects->GetAt(i), pIds->GetAt(i));
}

LONG CObjectEntityIndex::Find(CMorvaObjects* pMap, LONG hObject) const {
    if (hObject == 0) return 0;
    const auto it = m_idOfHandle.find(hObject);
    if (it != m_idOfHandle.end()) return it->second;
    return GetObjectEntity(pMap, hObject, nullptr, nullptr);
}

BOOL IsObjectNameFree(CMorvaObjects* /*pMap*/, LONG* phObject, CKernelObjectArray* pObjects, const char* name) {
    if (!name || !*name) return TRUE;
    const LONG self = phObject ? *phObject : 0;
    const CString wanted(name);
    // The kernel's record carries the document's name unchanged whenever it
    // fits the record (every name a map can hold does), so it is compared in
    // place: a whole mine's objects are checked for each name typed.
    auto takenBy = [&](LONG handle) {
        if (handle == self || handle == 0) return false;
        const host::MapObject* object = jdmap::ObjectOfHandle(handle);
        if (!object) return false;  // the kernel knows no name for it either
        const std::string_view stored = object->name.view();
        if (stored.size() < sizeof(KernelObjectRecord::name) && stored.find('\0') == std::string_view::npos) {
            return stored == wanted.view();
        }
        return jdmap::NameOf(handle) == wanted;
    };
    if (pObjects && !pObjects->IsEmpty()) {
        for (LONG handle : *pObjects) {
            if (takenBy(handle)) return FALSE;
        }
        return TRUE;
    }
    const host::MapDocument* document = jdmap::CurrentDocument();
    if (!document) return TRUE;
    for (const host::MapObject& object : document->objects()) {
        if (takenBy(object.handle)) return FALSE;
    }
    return TRUE;
}

int GetDefaultLowVoltage() {
    const host::MapDocument* document = jdmap::CurrentDocument();
    return document ? document->project().lowVoltage : 660;
}
