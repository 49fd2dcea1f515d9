// The error convention of the whole system: an exception that carries a number and a description.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace morvex {

// Numbers 9 and 6 are the ones callers and users know; the others are ours and stay stable.
enum ErrorNumber : int32_t {
  kErrOverflow = 6,
  kErrOutOfRange = 9,
  kErrFileOpen = 1001,         // the file exists but could not be opened for reading
  kErrFileRead = 1002,         // reading failed part-way
  kErrNegativePosition = 1003, // a computed read position lies before the start of the file
  kErrTableTooLarge = 1004,    // the header asks for far more than the file can hold
  kErrAutomationCreate = 1005, // the page-automation server could not be created
  kErrInvalidArgument = 1006,
};

class Error : public std::runtime_error {
 public:
  Error(int32_t number, std::string description)
      : std::runtime_error(description), number_(number), description_(std::move(description)) {}

  int32_t Number() const noexcept { return number_; }
  const std::string& Description() const noexcept { return description_; }

 private:
  int32_t number_;
  std::string description_;  // UTF-8
};

[[noreturn]] void ThrowOutOfRange(const std::string& what = "Subscript out of range");
[[noreturn]] void ThrowOverflow(const std::string& what = "Overflow");

}  // namespace morvex
