// Text as the program holds it: UTF-16 code units, the unit in which names are
// limited and compared ("characters"). Bytes are text in the system's ANSI code
// page, the form both data files take on disk.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pyx {

using Text = std::u16string;
using TextView = std::u16string_view;
using Bytes = std::string;

// Leading and trailing U+0020 removed; other white space (tabs, ideographic
// spaces) stays, as in the classic Trim of the platform's runtime.
Text trimSpaces(TextView text);
TextView trimSpacesView(TextView text);  // the same, without a copy

// Decimal text of a number, without a leading space.
Text decimal(std::int64_t value);

// Converts decimal text the way the runtime's integer conversion does: leading
// and trailing spaces allowed, optional sign; anything else raises error 13,
// a value outside [min, max] raises error 6.
std::int64_t parseInteger(TextView text, std::int64_t min, std::int64_t max);

// UTF-8 <-> UTF-16 for logs, test output and the platform's byte-oriented APIs.
std::string toUtf8(TextView text);
Text fromUtf8(std::string_view utf8);

bool contains(TextView haystack, TextView needle);

// `file` in `directory`, with one "\" between them (a root such as "C:\"
// already ends in one).
Text joinPath(const Text& directory, TextView file);

}  // namespace pyx
