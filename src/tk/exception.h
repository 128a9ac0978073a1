#pragma once
// The toolkit's exception classes. Messages are 8-bit text, as everywhere in the system.
#include <stdexcept>
#include <string>

namespace tk {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

class EComponentError : public Exception {
  using Exception::Exception;
};
class EInvalidOperation : public Exception {
  using Exception::Exception;
};
class EConvertError : public Exception {
  using Exception::Exception;
};
class EListError : public Exception {
  using Exception::Exception;
};
class EReadError : public Exception {
  using Exception::Exception;
};
// A file could not be opened, read or written, or held what its reader could not take. The code is the
// system's error number, 0 for bad content.
class EInOutError : public Exception {
 public:
  EInOutError(const std::string& message, int errorCode) : Exception(message), ErrorCode(errorCode) {}
  int ErrorCode;
};

// The platform's floating-point faults and its error for a call of an operation a class leaves abstract.
class EMathError : public Exception {
  using Exception::Exception;
};
class EZeroDivide : public EMathError {
 public:
  EZeroDivide() : EMathError("Floating point division by zero") {}
};
class EInvalidOp : public EMathError {
 public:
  EInvalidOp() : EMathError("Invalid floating point operation") {}
};
class EOverflow : public EMathError {
 public:
  EOverflow() : EMathError("Floating point overflow") {}
};
class EAbstractError : public Exception {
 public:
  EAbstractError() : Exception("Abstract Error") {}
};

}  // namespace tk
