#include "SampleMineFixture.h"

#include "equipment/MapRoutines.h"
#include "host/MapFile.h"

namespace jdtest {

void SampleMineTest::SetUp() {
    CatalogueTest::SetUp();
    const std::string path = std::string(JD_SOURCE_DIR) + "/examples/sample-mine.json";
    const host::MapLoadResult result = host::LoadMapFile(path, m_document);
    ASSERT_TRUE(result.ok) << result.Describe(path);
    m_session = std::make_unique<host::HostSession>(m_document);
    CollectMapObjects(Map(), &m_objects, &m_ids);
}

void SampleMineTest::TearDown() {
    m_session.reset();
    CatalogueTest::TearDown();
}

host::MapObject& SampleMineTest::Object(const char* utf8Name) {
    host::MapObject* object = m_document.FindByName(FromUtf8(utf8Name));
    if (!object) {
        ADD_FAILURE() << "the sample mine has no object named " << utf8Name;
        static host::MapObject none;
        return none;
    }
    return *object;
}

std::vector<std::string> SampleMineTest::Names(const CKernelObjectArray& handles) {
    std::vector<std::string> names;
    for (LONG handle : handles) {
        const host::MapObject* object = m_document.FindByHandle(handle);
        names.push_back(object ? ToUtf8(object->name) : "?" + std::to_string(handle));
    }
    return names;
}

std::string SampleMineTest::Field(const char* utf8Name, LONG field, LONG sub) {
    const host::MapObject& object = Object(utf8Name);
    const auto it = object.fields.find(field);
    if (it == object.fields.end() || sub >= static_cast<LONG>(it->second.size())) return "";
    return ToUtf8(it->second[static_cast<size_t>(sub)]);
}

}  // namespace jdtest
