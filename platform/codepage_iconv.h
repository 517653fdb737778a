// Conversion between the program's text and an ANSI code page through the C
// library's iconv, for platforms that have no conversion of their own. It
// follows the Windows conversion functions where input does not fit: a
// character the code page cannot represent becomes "?", a byte sequence that
// is not valid in the code page becomes U+30FB.
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
  iconv_t toAnsi_;
  iconv_t fromAnsi_;
};

}  // namespace pyx
