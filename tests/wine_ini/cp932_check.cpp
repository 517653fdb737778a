// Compares our iconv-based code page 932 conversion with the table that
// ini_diff.exe wrote from the system's own conversion functions under Wine
// (format at the top of ini_diff.cpp). Prints every mismatch and a summary
// line; exits non-zero when any conversion differs.
//
//   cp932_check <cp932_table.txt>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "platform/codepage_iconv.h"

namespace {

using pyx::Bytes;
using pyx::Text;

std::string hexBytes(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

Bytes parseBytes(const std::string& hex) {
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

std::string hexUnits(const Text& text) {
  if (text.empty()) return "-";
  std::string hex;
  char unit[8];
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::snprintf(unit, sizeof unit, "%s%04X", i ? "," : "", static_cast<unsigned>(text[i]));
    hex += unit;
  }
  return hex;
}

Text parseUnits(const std::string& hex) {
  Text text;
  for (std::size_t i = 0; i + 3 < hex.size(); i += 5)
    text += static_cast<char16_t>(std::stoi(hex.substr(i, 4), nullptr, 16));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: cp932_check <cp932_table.txt>\n";
    return 2;
  }
  std::ifstream table(argv[1]);
  if (!table) {
    std::cerr << "cannot read " << argv[1] << "\n";
    return 2;
  }
  pyx::IconvCodePage codePage("CP932");
  long cases = 0, mismatches = 0;
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string kind, input, expected;
    fields >> kind >> input >> expected;
    std::string got;
    if (kind == "mb") {
      got = hexUnits(codePage.fromAnsi(parseBytes(input)));
    } else if (kind == "wc") {
      got = hexBytes(codePage.toAnsi(parseUnits(input)));
    } else {
      continue;
    }
    ++cases;
    if (got != expected) {
      ++mismatches;
      std::cout << "mismatch: " << kind << " " << input << " system " << expected << " ours " << got << "\n";
    }
  }
  std::cout << "cp932 differential: " << cases << " cases, " << mismatches << " mismatches\n";
  return mismatches == 0 && cases > 0 ? 0 : 1;
}
