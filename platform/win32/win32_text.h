// Text crosses into Win32 here and only here. The program holds UTF-16 as
// char16_t; on Windows wchar_t is the same 16-bit unit, so the W functions
// take our text as it is, without copying.
#pragma once

#include <cwchar>
#include <string>

#include "core/text.h"

namespace pyx::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide characters are UTF-16 code units");

inline const wchar_t* wide(const Text& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// NULL for empty text, for the parameters where Win32 treats "none" and ""
// differently.
inline const wchar_t* wideOrNull(const Text& text) {
  return text.empty() ? nullptr : wide(text);
}

inline wchar_t* wideBuffer(Text& text) {
  return reinterpret_cast<wchar_t*>(text.data());
}

inline Text fromWide(const wchar_t* text, std::size_t length) {
  return Text(reinterpret_cast<const char16_t*>(text), length);
}

inline Text fromWide(const wchar_t* text) {
  return text ? fromWide(text, std::wcslen(text)) : Text();
}

}  // namespace pyx::win32
