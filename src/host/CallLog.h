#pragma once
// What the module asked of the host, call by call: every Invoke on a host
// object (and every window message sent to the map control) leaves one entry,
// so tests can check which operations ran, with what, in which order.
// Texts in the log are UTF-8 (the GBK arguments are converted), so tests can
// compare them with literals directly.
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Automation.h"

namespace host {

struct CallEntry {
    std::string object;              // "MapControl", "AttributeTable", ...
    int instance = 0;                // which object of that kind (numbered from 1 per log)
    std::string operation;           // name from the dispid table, "SendMessage", or "dispid N" when unknown
    std::vector<std::string> args;   // one text per argument
    std::string result;              // "" for no result
    HRESULT hr = S_OK;
    std::string note;                // what the host did or why it refused
    // False when the log keeps nothing: the argument and result texts only a
    // log reads are then not built (a command answers tens of thousands of
    // calls, and formatting them cost a quarter of its time).
    bool recorded = true;

    // "AttributeTable#2.GetFieldValue(0, 1, 0, 5, buffer) -> 5 [copied \"...\"]"
    std::string ToString() const;
};

// A log keeps every entry unless it was given a capacity: then it is a ring of
// the newest `capacity` entries, and dropped() counts the older ones let go.
// A session that was given no log of its own keeps such a ring
// (kSessionCallLogCapacity), so that a long host run does not grow with
// every call it answers; tests hand the session an unbounded log. A host that
// never reads the log hands the session one of capacity kNothing, which keeps
// no entry and lets the calls skip building their texts.
class CallLog {
public:
    static constexpr size_t kUnbounded = 0;
    static constexpr size_t kNothing = static_cast<size_t>(-1);
    explicit CallLog(size_t capacity = kUnbounded) : m_capacity(capacity) {}

    bool recording() const { return m_capacity != kNothing; }

    // A call a log that keeps nothing lets go without an entry being made for it.
    void CountUnkept() { ++m_dropped; }

    void Append(CallEntry entry) {
        if (!recording()) {
            ++m_dropped;
            return;
        }
        if (m_capacity != kUnbounded && m_entries.size() >= m_capacity) {
            m_entries.pop_front();
            ++m_dropped;
        }
        m_entries.push_back(std::move(entry));
    }
    void Clear() {
        m_entries.clear();
        m_dropped = 0;
    }

    size_t capacity() const { return m_capacity; }
    // Entries let go because the ring was full, or all of them for a log of
    // capacity kNothing (0 for an unbounded log).
    size_t dropped() const { return m_dropped; }

    const std::deque<CallEntry>& entries() const { return m_entries; }
    size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    const CallEntry& operator[](size_t i) const { return m_entries.at(i); }
    const CallEntry& back() const { return m_entries.back(); }

    // Entries of one operation, in order.
    std::vector<CallEntry> Filter(std::string_view operation) const;
    size_t Count(std::string_view operation) const;
    // Operation names in call order (optionally only those of one object kind).
    std::vector<std::string> Operations(std::string_view object = {}) const;
    // Index of the first entry of that operation at or after `from`, or npos.
    size_t IndexOf(std::string_view operation, size_t from = 0) const;
    // Entries that the host refused.
    std::vector<CallEntry> Failures() const;

    // One line per entry, numbered from the first call logged (dropped ones counted).
    std::string ToString() const;

    // Numbers host objects of one kind as they are created (1, 2, ...).
    int NextInstance(std::string_view object) { return ++InstanceCounter(object); }
    // The number of the latest object of that kind. The reference stays valid
    // as long as the log, so that a session can count without a search.
    int& InstanceCounter(std::string_view object);

    static constexpr size_t npos = static_cast<size_t>(-1);

private:
    size_t m_capacity = kUnbounded;
    size_t m_dropped = 0;
    std::deque<CallEntry> m_entries;
    std::deque<std::pair<std::string, int>> m_instances;  // a deque: counters do not move
};

// Entries a session keeps of its calls when it was given no log.
inline constexpr size_t kSessionCallLogCapacity = 1000;

// Argument texts used in the log.
std::string LogText(const char* gbk);                // quoted UTF-8 (bytes that are not GBK shown as \xNN)
std::string LogText(const char* gbk, size_t length);
std::string LogVariant(const VARIANT& value);        // "5", "2.5", "TRUE", "\"text\"", "IntArray#1", "&7", ...

}  // namespace host
