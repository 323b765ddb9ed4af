#include "host/CallLog.h"

#include <cstdio>
#include <cstring>

#include "platform/Gbk.h"

namespace host {

std::string CallEntry::ToString() const {
    std::string text = object;
    if (instance > 0) text += "#" + std::to_string(instance);
    text += "." + operation + "(";
    for (size_t i = 0; i < args.size(); ++i) {
        if (i) text += ", ";
        text += args[i];
    }
    text += ")";
    if (FAILED(hr)) text += " failed " + HresultName(hr);
    else if (!result.empty()) text += " -> " + result;
    if (!note.empty()) text += " [" + note + "]";
    return text;
}

std::vector<CallEntry> CallLog::Filter(std::string_view operation) const {
    std::vector<CallEntry> out;
    for (const CallEntry& e : m_entries) {
        if (e.operation == operation) out.push_back(e);
    }
    return out;
}

size_t CallLog::Count(std::string_view operation) const {
    size_t n = 0;
    for (const CallEntry& e : m_entries) {
        if (e.operation == operation) ++n;
    }
    return n;
}

std::vector<std::string> CallLog::Operations(std::string_view object) const {
    std::vector<std::string> out;
    for (const CallEntry& e : m_entries) {
        if (object.empty() || e.object == object) out.push_back(e.operation);
    }
    return out;
}

size_t CallLog::IndexOf(std::string_view operation, size_t from) const {
    for (size_t i = from; i < m_entries.size(); ++i) {
        if (m_entries[i].operation == operation) return i;
    }
    return npos;
}

std::vector<CallEntry> CallLog::Failures() const {
    std::vector<CallEntry> out;
    for (const CallEntry& e : m_entries) {
        if (FAILED(e.hr)) out.push_back(e);
    }
    return out;
}

std::string CallLog::ToString() const {
    std::string text;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        text += std::to_string(m_dropped + i) + ": " + m_entries[i].ToString() + "\n";
    }
    return text;
}

int& CallLog::InstanceCounter(std::string_view object) {
    for (auto& [name, count] : m_instances) {
        if (name == object) return count;
    }
    return m_instances.emplace_back(std::string(object), 0).second;
}

std::string LogText(const char* gbk, size_t length) {
    if (!gbk) return "null";
    const std::string_view bytes(gbk, length);
    std::string utf8;
    if (TryGbkToUtf8(bytes, utf8)) return "\"" + utf8 + "\"";
    // Not GBK: show the bytes so that the fault is visible rather than hidden.
    std::string shown = "\"";
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F) {
            shown += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        }
    }
    return shown + "\"";
}

std::string LogText(const char* gbk) { return gbk ? LogText(gbk, std::strlen(gbk)) : "null"; }

std::string LogVariant(const VARIANT& value) {
    char number[64];
    switch (value.vt) {
        case VT_EMPTY: return "empty";
        case VT_NULL: return "null";
        case VT_I2: return std::to_string(value.iVal);
        case VT_I4: return std::to_string(value.lVal);
        case VT_UI1: return std::to_string(value.bVal);
        case VT_R4:
            std::snprintf(number, sizeof number, "%g", static_cast<double>(value.fltVal));
            return number;
        case VT_R8:
            std::snprintf(number, sizeof number, "%g", value.dblVal);
            return number;
        case VT_BOOL: return value.boolVal ? "TRUE" : "FALSE";
        case VT_BSTR: return value.bstrVal ? LogText(value.bstrVal, SysStringLen(value.bstrVal)) : "null";
        case VT_DISPATCH: return value.pdispVal ? value.pdispVal->Describe() : "null";
        case VT_I4 | VT_BYREF: return value.plVal ? "&" + std::to_string(*value.plVal) : "null";
        case VT_R8 | VT_BYREF:
            if (!value.pdblVal) return "null";
            std::snprintf(number, sizeof number, "&%g", *value.pdblVal);
            return number;
        case VT_UI1 | VT_BYREF: return value.pbVal ? "bytes" : "null bytes";
        case VT_VARIANT | VT_BYREF: return value.pvarVal ? "&{" + LogVariant(*value.pvarVal) + "}" : "null";
        default:
            if ((value.vt & VT_ARRAY) && !(value.vt & VT_BYREF)) {
                if (!value.parray) return "null array";
                std::string text = "[";
                for (ULONG i = 0; i < value.parray->cElements; ++i) {
                    if (i) text += ", ";
                    text += std::to_string(value.parray->pvData[i]);
                }
                return text + "]";
            }
            return VarTypeName(value.vt);
    }
}

}  // namespace host
