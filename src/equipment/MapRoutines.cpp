// The map's object lists and the lookups on them.
#include "equipment/MapRoutines.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "equipment/MapAccess.h"
#include "equipment/NetworkWalks.h"
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

BOOL IsTransformer(LONG hObject) {
    return jdwalk::ObjectIsTransformer(jdmap::ObjectOfHandle(hObject), hObject) ? TRUE : FALSE;
}

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
    const host::MapDocument* document = jdmap::CurrentDocument();
    if (!document) return TRUE;  // the kernel knows no object, so no name either
    const CString wanted(name);
    const std::string_view text = wanted.view();
    // Whether the kernel gives the handle's object that name. Its record
    // carries the document's name unchanged whenever it fits the record
    // (every name a map can hold does), so that is compared in place.
    auto named = [&](LONG handle) {
        const host::MapObject* object = document->FindByHandle(handle);
        if (!object) return false;
        const std::string_view stored = object->name.view();
        if (stored.size() < sizeof(KernelObjectRecord::name) && stored.find('\0') == std::string_view::npos) {
            return stored == text;
        }
        return jdmap::NameOf(handle) == wanted;
    };
    // The handles that carry the name, from one pass over the objects' own
    // names: the kernel's name of an object begins with the object's name
    // (it may be cut), so only those that begin with it are asked. The
    // document's objects are searched, not its name index, since a name
    // changed in place is found only by looking. Typing a name in the
    // dialog checks it against a whole mine; the name is usually free.
    std::vector<LONG> carriers;
    for (const host::MapObject& object : document->objects()) {
        const std::string_view stored = object.name.view();
        if (stored.size() < text.size() || stored.compare(0, text.size(), text) != 0) continue;
        if (object.handle != 0 && object.handle != self && named(object.handle)) carriers.push_back(object.handle);
    }
    if (carriers.empty()) return TRUE;
    if (!pObjects || pObjects->IsEmpty()) return FALSE;  // the whole map: a carrier is one of its objects
    // Only a carrier in the list counts.
    std::sort(carriers.begin(), carriers.end());
    for (LONG handle : *pObjects) {
        if (std::binary_search(carriers.begin(), carriers.end(), handle)) return FALSE;
    }
    return TRUE;
}

int GetDefaultLowVoltage() {
    const host::MapDocument* document = jdmap::CurrentDocument();
    return document ? document->project().lowVoltage : 660;
}
