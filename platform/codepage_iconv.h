// Conversion between the program's text and code page 932 (Shift-JIS)
// through the C library's iconv, for platforms that have no conversion of
// their own. Where iconv and the Windows conversion functions differ it
// follows Windows: a character the code page cannot represent becomes "?"
// (accented Latin letters fall back to their base letter), a byte sequence
// that is not valid becomes U+30FB, and the single bytes 0x80, 0xA0 and
// 0xFD-0xFF map to U+0080 and U+F8F0-U+F8F3.
#pragma once

#include <iconv.h>

#include <cstdint>
#include <vector>

#include "core/text.h"

namespace pyx {

class IconvCodePage {
 public:
  explicit IconvCodePage(const char* codePage);  // an iconv name, e.g. "CP932"
  ~IconvCodePage();
  IconvCodePage(const IconvCodePage&) = delete;
  IconvCodePage& operator=(const IconvCodePage&) = delete;

  Bytes toAnsi(TextView text) const;
  Text fromAnsi(const Bytes& bytes) const;

 private:
  Text decode(const char* bytes, std::size_t size) const;
  std::uint16_t encode(char16_t c) const;  // the bytes of one character: a byte, or lead << 8 | trail  //
                                           // through iconv, Windows' way where they differ

  static constexpr std::uint16_t kUnknown = 0xFFFF;  // no character's bytes: 0xFF is never a trail byte

  iconv_t toAnsi_;
  iconv_t fromAnsi_;
  mutable std::vector<std::uint16_t> encoded_ =
      std::vector<std::uint16_t>(0x10000, kUnknown);  // by character
  mutable std::vector<char16_t> decoded_ =
      std::vector<char16_t>(0x10000, 0);  // by byte or byte pair; 0: unknown
};

}  // namespace pyx
