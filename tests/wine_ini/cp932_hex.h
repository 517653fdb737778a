// The code-page table's hexadecimal, for ini_diff.exe that writes it and
// cp932_check that reads it: two digits a byte, four a UTF-16 unit, "-" for none.
#pragma once

#include <string>

template <class Units>
std::string hex(const Units& units) {
  std::string out;
  for (auto unit : units)
    for (int shift = 8 * sizeof unit - 4; shift >= 0; shift -= 4)
      out += "0123456789ABCDEF"[(unit >> shift) & 0xF];
  return out.empty() ? "-" : out;
}
