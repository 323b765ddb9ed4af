#pragma once
// What jdhost tells about a map: its summary, one object's attribute records,
// and the lookup of an object by the name or `#id` a user types. Shared by the
// command line and the session verbs, so both print records the same way.
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "host/MapDocument.h"
#include "platform/CString.h"

namespace jdhost {

// GBK to UTF-8 for the terminal. Bytes that are not GBK are shown as \xNN
// rather than stopping the output: a report must not fail on one bad name.
std::string Utf8(const CString& gbk);
std::string Utf8(std::string_view gbk);

// Finds an object by `#entity-id` or by its name (UTF-8, as typed). On
// failure returns null and says why in `error` (unknown id, unknown name,
// name shared by several objects, text that GBK cannot hold).
const host::MapObject* FindObject(const host::MapDocument& map, std::string_view reference, std::string& error);
host::MapObject* FindObject(host::MapDocument& map, std::string_view reference, std::string& error);

// "#12 1#变压器 (移动变电站)": how an object is named in every report.
std::string DescribeObject(const host::MapObject& object);

// Prints the object's heading, then each record as
//   field 151
//     0: text
// Only `field` when given; returns false (and prints nothing after the
// heading) when the object has no such field.
bool PrintRecords(std::ostream& out, const host::MapObject& object, std::optional<LONG> field = std::nullopt);

// The transformers and mobile substations the set-transformer command would
// store nothing on (it writes only into fields an object has): one text per
// object lacking field 151, 158 or 163, "#7 NAME (KIND) has no field 158,
// 163: ...", in map order. Empty when every one has all three.
std::vector<std::string> SetTransformerWarnings(const host::MapDocument& map);

// The summary printed by `jdhost info`.
void PrintInfo(std::ostream& out, const host::MapDocument& map, const std::string& fileName);

}  // namespace jdhost
