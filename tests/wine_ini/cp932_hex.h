// The code-page table's hexadecimal, for ini_diff.exe that writes it and
// cp932_check that reads it: two digits a byte, four a UTF-16 unit, "-" for none.
#pragma once

#include <cstdio>
#include <string>
#include <type_traits>

template <class Units>
std::string hex(const Units& units) {
  std::string out;
  for (auto unit : units) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%0*X", static_cast<int>(sizeof unit * 2),
                  static_cast<unsigned>(static_cast<std::make_unsigned_t<decltype(unit)>>(unit)));
    out += digits;
  }
  return out.empty() ? "-" : out;
}
