#pragma once
// Reading the files a user hands us (maps, session scripts, catalogue CSV).
// A name may point at a folder, a FIFO, a device or a file far larger than any
// real input; each of those is refused with a sentence that says what the path
// is, before a byte is read, instead of hanging on a pipe or running out of
// memory on /dev/zero.
#include <cstdint>
#include <string>

// Size limits, documented with the command line. A whole-mine map of a
// million objects is about 550 MB; scripts and CSV files are far smaller.
constexpr std::uintmax_t kMaxMapFileBytes = 2ull << 30;      // 2 GiB
constexpr std::uintmax_t kMaxScriptFileBytes = 64ull << 20;  // 64 MiB
constexpr std::uintmax_t kMaxCsvFileBytes = 512ull << 20;    // 512 MiB

// What a path that is not a regular file is, for a sentence that starts with
// the path: "is a folder, not a file", "is a pipe (FIFO), not a file", ...
// mode is a stat() st_mode.
const char* NotARegularFile(unsigned mode);

// Reads the whole regular file at path into content. On failure returns false
// and sets error to a sentence without the path (the caller names the file),
// such as "is a folder, not a file" or "is 3.0 GiB, over the 2.0 GiB limit".
bool ReadInputFile(const std::string& path, std::uintmax_t maxBytes, std::string& content, std::string& error);
