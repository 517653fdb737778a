// Run-time errors as the user of the platform knows them: a number and the
// runtime's own (Japanese) description. Any procedure or platform call may
// raise one; the nearest procedure with an error trap reports it.
#pragma once

#include <cstdint>
#include <exception>

#include "core/text.h"

namespace pyx {

enum ErrorNumber : std::int32_t {
  ErrOverflow = 6,
  ErrOutOfMemory = 7,
  ErrSubscriptOutOfRange = 9,
  ErrTypeMismatch = 13,
  ErrFileNotFound = 53,
  ErrFileAlreadyOpen = 55,
  ErrDiskFull = 61,
  ErrInputPastEnd = 62,
  ErrPermissionDenied = 70,
  ErrPathFileAccess = 75,
  ErrPathNotFound = 76,
  ErrInvalidProcedureCall = 5,
};

class RuntimeError : public std::exception {
 public:
  explicit RuntimeError(std::int32_t number);
  RuntimeError(std::int32_t number, Text description);

  std::int32_t number() const { return number_; }
  const Text& description() const { return description_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  std::int32_t number_;
  Text description_;
  std::string utf8_;
};

// The runtime's description of an error number ("オーバーフローしました。" for 6).
Text errorDescription(std::int32_t number);

[[noreturn]] void raiseError(std::int32_t number);

}  // namespace pyx
