#pragma once
// Small drawings built per test case: objects by kind and name, cables with a
// length (field 155) and a cross-section (field 167 sub 4), motors with their
// rated and starting currents, short-circuit points with their owner and
// current (field 161). The drawing is opened in a host session (its kernel map
// attached) with the map's object lists collected, as the dialogs get them.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/HostObjects.h"
#include "host/MorvaObjects.h"
#include "host/MapDocument.h"
#include "platform/Arrays.h"

namespace moduletest {

class SmallDrawing {
public:
    SmallDrawing();

    // A symbol of that kind; returns its entity id (the handle is 1000 + id).
    // Transformers and mobile substations carry the switch records 174–179, empty.
    LONG Add(const char* kind, const char* name);
    // A motor (kind "电动机") with Ie and Iq in A.
    LONG Motor(const char* name, double ratedA, double startA, bool groupStart = false);
    // A cable from → to; length and cross-section records unless given as nullopt.
    LONG Cable(LONG from, LONG to, std::optional<double> lengthM = std::nullopt,
               std::optional<double> crossSectionMm2 = std::nullopt);
    // A short-circuit point with a four-corner outline around (x, y), owner name and Ik.
    LONG Point(const char* name, const char* owner, double ikA, double x = 0, double y = 0);

    LONG Handle(LONG entityId) const { return entityId == 0 ? 0 : 1000 + entityId; }
    host::MapObject& Object(LONG entityId);
    host::MapDocument& document() { return m_document; }

    // Opens the drawing: session and object lists.
    void Open();
    CMorvaObjects* Map() { return &m_session->mapControl(); }
    host::HostSession& session() { return *m_session; }
    CKernelObjectArray& objects() { return m_objects; }
    CEntityIdArray& ids() { return m_ids; }

private:
    LONG Next() { return ++m_lastId; }
    host::MapDocument m_document;
    std::unique_ptr<host::HostSession> m_session;
    CKernelObjectArray m_objects;
    CEntityIdArray m_ids;
    LONG m_lastId = 0;
};

}  // namespace moduletest
