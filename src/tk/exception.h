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

}  // namespace tk
