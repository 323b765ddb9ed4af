#pragma once
// Reading and writing entity attribute records through the map control. Every
// access is one self-contained sequence: entity store, entity, attribute table
// (access 0 to read, 1 to write), FindField; a field the entity lacks (-1)
// ends the sequence there, and the drivers are released in reverse order.
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/CString.h"
#include "platform/Types.h"

class CMorvaObjects;

// Access numbers of GetAttributeTable.
inline constexpr LONG kAttributeRead = 0;
inline constexpr LONG kAttributeWrite = 1;

// One value of a record: its sub-index and its GBK text.
struct AttributeValue {
    LONG sub = 0;
    CString text;
    friend bool operator==(const AttributeValue&, const AttributeValue&) = default;
};
using AttributeValues = std::vector<AttributeValue>;

// Reads the texts of the sub-indexes, in the order given, in one sequence; per
// sub-index two GetFieldValue calls (size, then the text into a buffer of
// exactly that size). nullopt when the entity has no such field (then no
// GetFieldValue call is made) or the host refused the sequence.
std::optional<std::vector<CString>> ReadAttributeTexts(CMorvaObjects* map, LONG entityId, LONG field,
                                                       std::span<const LONG> subs);
std::optional<std::vector<CString>> ReadAttributeTexts(CMorvaObjects* map, LONG entityId, LONG field,
                                                       std::initializer_list<LONG> subs);
// One sub-index; the empty text when the field is missing.
CString ReadAttributeText(CMorvaObjects* map, LONG entityId, LONG field, LONG sub);

// Writes the values in ascending sub-index order (the order given among equal
// sub-indexes) with size = text length + 1. Returns true when every value was
// written; false when the field is missing (nothing written, no error) or the
// host refused the sequence or any value (the others are still written, and
// AttributeAccessLastError names every refused sub-index).
bool WriteAttributeValues(CMorvaObjects* map, LONG entityId, LONG field, AttributeValues values);

// Records of many entities read and written in one run, as a command that
// updates thousands of points does: the map control's entity store is asked
// for once for the run rather than once per access. Each access gives what the
// plain functions above give for the same arguments: the same texts, results,
// error texts and refusal counts.
class AttributeRun {
public:
    explicit AttributeRun(CMorvaObjects* map);
    ~AttributeRun();
    AttributeRun(const AttributeRun&) = delete;
    AttributeRun& operator=(const AttributeRun&) = delete;

    // ReadAttributeText. A text that fits a buffer of ordinary size is read
    // with one GetFieldValue call (the host copies it when the size given
    // holds it and answers the size either way); a longer one takes a second.
    CString ReadText(LONG entityId, LONG field, LONG sub);

    // Internal to the accesses of a run.
    struct Store;
    struct Opened;
    Store& store() { return *m_store; }

private:
    std::unique_ptr<Store> m_store;
};

// Writes to one entity's field within a run that share one opening of the
// field: each Write is WriteAttributeValues(map, entityId, field, {value}).
// The field is opened at the first Write (an opening the host refused is
// tried again by the next). A writer does not outlive its run.
class AttributeFieldWriter {
public:
    AttributeFieldWriter(AttributeRun& run, LONG entityId, LONG field);
    ~AttributeFieldWriter();
    AttributeFieldWriter(const AttributeFieldWriter&) = delete;
    AttributeFieldWriter& operator=(const AttributeFieldWriter&) = delete;

    bool Write(const AttributeValue& value);
    LONG entityId() const { return m_entityId; }

private:
    AttributeRun& m_run;
    LONG m_entityId;
    LONG m_field;
    std::unique_ptr<AttributeRun::Opened> m_opened;
};

// Why the last access failed (UTF-8); empty after a success or a missing field,
// which is no error.
const std::string& AttributeAccessLastError();

// Writes the host refused since the program started, and why the latest was
// refused (UTF-8). A caller that runs several writes (or library routines
// that write) compares the count before and after to tell a refused write
// from a missing field, which is no error.
unsigned long AttributeWriteRefusals();
const std::string& AttributeLastRefusedWrite();
