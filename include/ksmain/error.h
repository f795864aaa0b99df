// Run-time errors as the automation runtime raises them.
//
// Every failure that a page could observe carries the runtime's error number and
// description, so a member's error trap, the dispatch layer and a direct C++ caller all
// see the same thing the original platform showed them.
#pragma once

#include <stdexcept>
#include <string>

namespace ksmain {

// The runtime error numbers this library raises itself. Database failures use the
// numbers of the data-access layer (3265, 3704, ...) or kDatabaseError with the engine's
// own message.
namespace err {
inline constexpr int kIllegalCall = 5;          // "Invalid procedure call or argument"
inline constexpr int kOverflow = 6;             // "Overflow"
inline constexpr int kSubscript = 9;            // "Subscript out of range"
inline constexpr int kDivisionByZero = 11;      // "Division by zero"
inline constexpr int kTypeMismatch = 13;        // "Type mismatch"
inline constexpr int kInvalidNull = 94;         // "Invalid use of Null"
inline constexpr int kObjectRequired = 424;     // "Object required"
inline constexpr int kWrongArgCount = 450;      // "Wrong number of arguments or invalid property assignment"
inline constexpr int kItemNotFound = 3265;      // field name not in the recordset
inline constexpr int kObjectClosed = 3704;      // operation on a closed object
inline constexpr int kDatabaseError = -2147217900;  // the provider's "errors occurred" (0x80040E14)
}  // namespace err

// The standard description of a runtime error number ("Overflow" for 6).
std::string DescriptionOf(int number);

class VbError : public std::runtime_error {
 public:
  VbError(int number, std::string description)
      : std::runtime_error(description), number_(number), description_(std::move(description)) {}
  explicit VbError(int number) : VbError(number, DescriptionOf(number)) {}

  int number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }

 private:
  int number_;
  std::string description_;
};

}  // namespace ksmain
