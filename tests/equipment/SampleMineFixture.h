#pragma once
// Test support for the library's map routines: the sample mine of
// examples/sample-mine.json opened in a host session (its kernel map
// attached), a fresh seed catalogue, and lookups of objects by their names.
// docs/map-format.md describes the mine and carries the hand calculations
// the expected values come from.
#include <memory>
#include <string>

#include "CatalogueFixture.h"
#include "host/HostObjects.h"
#include "host/MapDocument.h"
#include "platform/Arrays.h"

namespace jdtest {

class SampleMineTest : public CatalogueTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The object of that (UTF-8) name; fails the test when there is none.
    host::MapObject& Object(const char* utf8Name);
    LONG Handle(const char* utf8Name) { return Object(utf8Name).handle; }
    LONG Id(const char* utf8Name) { return Object(utf8Name).entityId; }
    // Names (UTF-8) of the objects of a handle list, in order.
    std::vector<std::string> Names(const CKernelObjectArray& handles);
    // A record's text (UTF-8) straight from the document.
    std::string Field(const char* utf8Name, LONG field, LONG sub);

    CMorvaObjects* Map() { return &m_session->mapControl(); }

    host::MapDocument m_document;
    std::unique_ptr<host::HostSession> m_session;
    CKernelObjectArray m_objects;
    CEntityIdArray m_ids;
};

}  // namespace jdtest
