// What a fuzz target does when a property fails: say which, and end as a
// crash, so that libFuzzer keeps the input that showed it.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace pyx::fuzz {

inline void require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property failed: %s\n", property);
  std::abort();
}

}  // namespace pyx::fuzz
