// Our iconv-based code page 932 conversion against the system's, in the table
// ini_diff.exe wrote under Wine: cp932_check <cp932_table.txt> prints each
// conversion that differs and a summary line, and exits non-zero when any does.
#include <fstream>
#include <iostream>

#include "cp932_hex.h"
#include "platform/codepage_iconv.h"

// The bytes or UTF-16 units a field of the table stands for.
template <class Units>
Units parse(const std::string& field) {
  Units units;
  for (std::size_t pos = 0, digits = 2 * sizeof units[0]; pos + digits <= field.size(); pos += digits)
    units += static_cast<typename Units::value_type>(std::stoul(field.substr(pos, digits), nullptr, 16));
  return units;
}

int main(int argc, char** argv) {
  std::ifstream table(argc == 2 ? argv[1] : "");
  if (!table) {
    std::cerr << "usage: cp932_check <cp932_table.txt>\n";
    return 2;
  }
  const pyx::IconvCodePage codePage("CP932");
  long cases = 0, mismatches = 0;
  for (std::string kind, input, system; table >> kind >> input >> system; ++cases) {
    const std::string ours = kind == "mb" ? hex(codePage.fromAnsi(parse<pyx::Bytes>(input)))
                                          : hex(codePage.toAnsi(parse<pyx::Text>(input)));
    if (ours != system) {
      ++mismatches;
      std::cout << "mismatch: " << kind << " " << input << " system " << system << " ours " << ours << "\n";
    }
  }
  std::cout << "cp932 differential: " << cases << " cases, " << mismatches << " mismatches\n";
  return mismatches == 0 && cases > 0 ? 0 : 1;
}
