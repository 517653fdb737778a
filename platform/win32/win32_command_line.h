// The arguments part of a Win32 command line.
#pragma once

#include "core/text.h"

namespace pyx::win32 {

// What follows the program's own token (quoted, or up to the first blank)
// and the blanks after it, unchanged.
inline Text argumentsOf(const Text& line) {
  std::size_t pos = 0;
  if (pos < line.size() && line[pos] == u'"') {
    std::size_t close = line.find(u'"', pos + 1);
    pos = close == Text::npos ? line.size() : close + 1;
  }
  while (pos < line.size() && line[pos] != u' ' && line[pos] != u'\t') ++pos;
  while (pos < line.size() && (line[pos] == u' ' || line[pos] == u'\t')) ++pos;
  return line.substr(pos);
}

}  // namespace pyx::win32
