// Our INI engine: reads and edits settings files the way the Windows
// profile-string functions (GetPrivateProfileStringA /
// WritePrivateProfileStringA) do on real files, on every platform: those
// functions would take the file's path in the code page too. Pure: file bytes
// in, bytes out; the caller opens the file by its real path and replaces it in
// one step.
//
// Files are in the system's ANSI code page; the lead-byte test tells which
// bytes start a double-byte character, so that a trail byte such as 0x5C or
// 0x5D is never taken for "\" or "]".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pyx::ini {

// Tells whether a byte starts a double-byte character in the file's code page.
// nullptr stands for a single-byte code page.
using LeadByteTest = bool (*)(unsigned char);

// Code page 932 (Shift-JIS): 0x81-0x9F and 0xE0-0xFC.
bool isCp932LeadByte(unsigned char byte);

// As GetPrivateProfileStringA(section, key, defaultValue, buffer, size, file)
// on a file whose content is `file` (std::nullopt: the file does not exist).
// Returns the number of bytes copied without the terminating NUL; always
// NUL-terminates when size > 0. A value longer than size - 1 bytes is cut by
// bytes, which may split a double-byte character: the caller deals with that.
std::uint32_t getProfileString(const std::optional<std::string>& file, std::string_view section,
                               std::string_view key, std::string_view defaultValue, char* buffer,
                               std::uint32_t size, LeadByteTest isLeadByte);

// As WritePrivateProfileStringA(section, key, value, file): returns the file's
// new content. Only the edited line changes (or the added lines appear); every
// other byte of the file stays as it was.
std::string writeProfileString(const std::optional<std::string>& file, std::string_view section,
                               std::string_view key, std::string_view value, LeadByteTest isLeadByte);

}  // namespace pyx::ini
