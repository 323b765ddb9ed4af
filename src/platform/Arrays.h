#pragma once
// Growable arrays in the style of the platform's class library. Indexes are
// ints; an index outside the array is a programming error and throws
// std::out_of_range rather than reading past the end.
#include <stdexcept>
#include <vector>

#include "platform/CString.h"
#include "platform/Types.h"

template <typename T>
class CTypedArray {
public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    int GetCount() const { return GetSize(); }
    int GetUpperBound() const { return GetSize() - 1; }
    bool IsEmpty() const { return m_items.empty(); }

    const T& GetAt(int index) const { return m_items.at(Checked(index)); }
    T& ElementAt(int index) { return m_items.at(Checked(index)); }
    void SetAt(int index, const T& value) { m_items.at(Checked(index)) = value; }
    const T& operator[](int index) const { return GetAt(index); }
    T& operator[](int index) { return ElementAt(index); }

    int Add(const T& value) {
        m_items.push_back(value);
        return GetSize() - 1;
    }
    void InsertAt(int index, const T& value) {
        if (index < 0 || index > GetSize()) throw std::out_of_range("array index");
        m_items.insert(m_items.begin() + index, value);
    }
    void RemoveAt(int index, int count = 1) {
        if (index < 0 || count < 0 || index + count > GetSize()) throw std::out_of_range("array index");
        m_items.erase(m_items.begin() + index, m_items.begin() + index + count);
    }
    void RemoveAll() { m_items.clear(); }
    void SetSize(int size) { m_items.resize(static_cast<size_t>(size < 0 ? 0 : size)); }
    void Copy(const CTypedArray& other) { m_items = other.m_items; }
    void Append(const CTypedArray& other) { m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end()); }

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }
    const std::vector<T>& items() const { return m_items; }

    friend bool operator==(const CTypedArray& a, const CTypedArray& b) { return a.m_items == b.m_items; }

private:
    size_t Checked(int index) const {
        if (index < 0) throw std::out_of_range("array index");
        return static_cast<size_t>(index);
    }
    std::vector<T> m_items;
};

class CStringArray : public CTypedArray<CString> {};
class CDWordArray : public CTypedArray<DWORD> {};

// Kernel object handles of map objects (also used for motor lists).
class CKernelObjectArray : public CTypedArray<LONG> {};
// Entity ids, element for element parallel to a CKernelObjectArray.
class CEntityIdArray : public CTypedArray<LONG> {};

// One entry of a CKernelBlockArray: a value and a block the kernel allocated.
// The owner releases every non-null block with FreeKernelBlock.
struct KernelBlockEntry {
    LONG value = 0;
    void* block = nullptr;
    friend bool operator==(const KernelBlockEntry&, const KernelBlockEntry&) = default;
};
class CKernelBlockArray : public CTypedArray<KernelBlockEntry> {};
