// The settings window's logic: hotkey capture and naming, loading, applying
// and saving the settings.
#pragma once

#include "core/error_trap.h"

namespace pyx {

class Application;

class basSetPgm {
 public:
  explicit basSetPgm(Application& app);

 private:
  Application& app_;
  ErrorTrap trap_;
};

}  // namespace pyx
