#pragma once
// The reporter's exception classes. A program may throw them; processor
// exceptions reach handlers as EExternal descendants.

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace ostrel {

// The reporter's exception classes. Processor exceptions arrive as
// EExternal descendants; an EAbort is silent.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }

 private:
  std::string message_;
};
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
  using Exception::Exception;
};

// A processor or system exception. Which code maps to which class, and the
// message, follow the run-time's conventions.
class EExternal : public Exception {
 public:
  EExternal(std::uint32_t code, std::string message) : Exception(std::move(message)), code_(code) {}
  std::uint32_t Code() const { return code_; }

 private:
  std::uint32_t code_;
};
#define OSTREL_EXTERNAL_CLASS(Name, Base) \
  class Name : public Base {              \
   public:                                \
    using Base::Base;                     \
  }
OSTREL_EXTERNAL_CLASS(EAccessViolation, EExternal);
OSTREL_EXTERNAL_CLASS(EStackOverflow, EExternal);
OSTREL_EXTERNAL_CLASS(EPrivilege, EExternal);
OSTREL_EXTERNAL_CLASS(EControlC, EExternal);
OSTREL_EXTERNAL_CLASS(EIntError, EExternal);
OSTREL_EXTERNAL_CLASS(EDivByZero, EIntError);
OSTREL_EXTERNAL_CLASS(EIntOverflow, EIntError);
OSTREL_EXTERNAL_CLASS(ERangeError, EIntError);
OSTREL_EXTERNAL_CLASS(EMathError, EExternal);
OSTREL_EXTERNAL_CLASS(EZeroDivide, EMathError);
OSTREL_EXTERNAL_CLASS(EInvalidOp, EMathError);
OSTREL_EXTERNAL_CLASS(EOverflow, EMathError);
OSTREL_EXTERNAL_CLASS(EUnderflow, EMathError);
#undef OSTREL_EXTERNAL_CLASS
// The reporter's own class, for what the run-time has no exception for.
class EOstrelError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace ostrel
