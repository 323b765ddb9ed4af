#include "platform/CallPointers.h"

#include <cstdint>
#include <limits>
#include <mutex>
#include <unordered_map>

namespace {

struct Entry {
    CallPointerKind kind;
    const void* pointer;
};

struct Table {
    std::mutex mutex;
    std::unordered_map<LONG, Entry> entries;
    LONG next = 1;
};

Table& Pointers() {
    static Table table;
    return table;
}

}  // namespace

LONG RegisterCallPointer(CallPointerKind kind, const void* pointer) {
    if (!pointer) return 0;
    Table& t = Pointers();
    std::lock_guard lock(t.mutex);
    // Tokens count up and wrap past the largest 32-bit value, skipping 0 and
    // any token still in use, so a stale token never names a new pointer soon.
    LONG token = t.next;
    while (token <= 0 || t.entries.count(token)) {
        token = token >= std::numeric_limits<LONG>::max() || token <= 0 ? 1 : token + 1;
    }
    t.next = token >= std::numeric_limits<LONG>::max() ? 1 : token + 1;
    t.entries.emplace(token, Entry{kind, pointer});
    return token;
}

void* ResolveCallPointer(LONG token, CallPointerKind kind) {
    if (token == 0) return nullptr;
    Table& t = Pointers();
    std::lock_guard lock(t.mutex);
    const auto it = t.entries.find(token);
    if (it == t.entries.end() || it->second.kind != kind) return nullptr;
    return const_cast<void*>(it->second.pointer);
}

void UnregisterCallPointer(LONG token) {
    if (token == 0) return;
    Table& t = Pointers();
    std::lock_guard lock(t.mutex);
    t.entries.erase(token);
}

size_t LiveCallPointerCount() {
    Table& t = Pointers();
    std::lock_guard lock(t.mutex);
    return t.entries.size();
}
