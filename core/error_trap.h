// Every procedure that can fail runs its body inside a trap: a run-time error
// raised anywhere below it ends the body, is shown to the user as
//   <error number>
//   <procedure name>
//   <description>
// with the critical-stop icon and the module's title, and the procedure
// returns its failure status.
#pragma once

#include <cstdint>

#include "core/text.h"
#include "core/vb_error.h"
#include "platform/platform.h"

namespace pyx {

inline constexpr std::int16_t kTrue = -1;
inline constexpr std::int16_t kFalse = 0;

class ErrorTrap {
 public:
  ErrorTrap(Platform& platform, TextView title) : platform_(platform), title_(title) {}

  // Runs `body`; returns -1, or `statusOnError` after reporting a trapped error.
  template <class Body>
  std::int16_t run(TextView procedure, Body&& body, std::int16_t statusOnError = kFalse) {
    try {
      body();
      return kTrue;
    } catch (const RuntimeError& error) {
      report(procedure, error);
      return statusOnError;
    }
  }

  void report(TextView procedure, const RuntimeError& error) {
    platform_.messageBox(errorMessage(procedure, error), mb::Critical, Text(title_));
  }

  static Text errorMessage(TextView middleLine, const RuntimeError& error) {
    return decimal(error.number()) + u"\r\n" + Text(middleLine) + u"\r\n" + error.description();
  }

 private:
  Platform& platform_;
  TextView title_;
};

}  // namespace pyx
