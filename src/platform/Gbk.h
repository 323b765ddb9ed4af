#pragma once
// Conversion between the GBK bytes held in memory and the UTF-8 used on disk,
// in scripts and on the terminal. Both directions are strict: text that cannot
// be converted is reported with the byte offset where it went wrong, never
// silently replaced, so that nothing the user typed or stored is lost.
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/CString.h"

class EncodingError : public std::runtime_error {
public:
    EncodingError(const std::string& what, size_t offset) : std::runtime_error(what), m_offset(offset) {}
    // Byte offset in the input at which the conversion failed.
    size_t offset() const { return m_offset; }

private:
    size_t m_offset;
};

// Throws EncodingError for invalid input.
std::string Utf8ToGbk(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);

// Non-throwing forms: false and the failure offset when the text cannot be converted.
bool TryUtf8ToGbk(std::string_view utf8, std::string& out, size_t* errorOffset = nullptr);
bool TryGbkToUtf8(std::string_view gbk, std::string& out, size_t* errorOffset = nullptr);

// Appends the UTF-8 form of a GBK text to out when every character of it
// converts and converts back to the same bytes (as a save needs); false when
// one does not, with out then holding part of the text (the caller cuts it).
bool AppendGbkAsUtf8IfExact(std::string_view gbk, std::string& out);
// The same written at out, which has room for gbk.size() * 3 / 2 bytes; also
// gives up at an ASCII character that stop marks (stop[byte] true), so that a
// writer can leave the rare texts that need more than conversion to a slower
// way. Returns the end of what was written, or nullptr when it gave up.
char* WriteGbkAsUtf8IfExact(std::string_view gbk, char* out, const bool (&stop)[128]);

// Shorthands for literals and terminal output.
CString FromUtf8(std::string_view utf8);      // throws EncodingError
std::string ToUtf8(const CString& gbk);       // throws EncodingError

// Number of GBK bytes the UTF-8 text takes; throws EncodingError.
size_t GbkByteLength(std::string_view utf8);

// The longest prefix of a GBK text that fits in maxBytes bytes without
// splitting a two-byte character.
std::string CutGbk(std::string_view gbk, size_t maxBytes);
// The length of that prefix, for a caller that reads it where it lies.
size_t CutGbkLength(std::string_view gbk, size_t maxBytes);

// True when TryGbkToUtf8 would accept the text, found without converting it
// where the characters are known (labels are checked on every write).
bool IsValidGbkText(std::string_view gbk);

// True when byte i of the GBK text starts a character (not a trail byte).
bool IsGbkLeadByte(unsigned char byte);

// True when every byte is below 0x80: such a text is the same in UTF-8 and GBK.
bool IsAscii(std::string_view text);
