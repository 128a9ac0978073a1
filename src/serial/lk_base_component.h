#pragma once
// Base of the library's non-visual components: the version text and the loading state that
// CheckException honours (codes are not raised while a component is being loaded from its stored form).
#include <string>

namespace serial {

class TLkBaseComponent {
 public:
  virtual ~TLkBaseComponent() = default;

  std::string Version() const { return "v3.03"; }
  void SetVersion(const std::string&) {}  // read-only in effect: writing does nothing

  bool Loading() const { return loading_; }
  void SetLoading(bool loading) { loading_ = loading; }

 private:
  bool loading_ = false;
};

}  // namespace serial
