// Conversion between the program's text and code page 932 (Shift-JIS)
// through the C library's iconv, for platforms that have no conversion of
// their own. Where iconv and the Windows conversion functions differ it
// follows Windows: a character the code page cannot represent becomes "?"
// (accented Latin letters fall back to their base letter), a byte sequence
// that is not valid becomes U+30FB, and the single bytes 0x80, 0xA0 and
// 0xFD-0xFF map to U+0080 and U+F8F0-U+F8F3.
#pragma once

#include <iconv.h>

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
  Text decode(const char* bytes, std::size_t size) const;  // through iconv, Windows' way where they differ

  iconv_t toAnsi_;
  iconv_t fromAnsi_;
};

}  // namespace pyx
