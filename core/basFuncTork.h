// The registration window's logic: listing, adding, correcting and deleting
// favourites.
#pragma once

#include <cstdint>

#include "core/error_trap.h"

namespace pyx {

class Application;

class basFuncTork {
 public:
  explicit basFuncTork(Application& app);

  std::int16_t pfrmTork_Form_Load();

 private:
  Application& app_;
  ErrorTrap trap_;
};

}  // namespace pyx
