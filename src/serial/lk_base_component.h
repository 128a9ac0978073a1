#pragma once
// Base of the library's non-visual components: a toolkit component with the library's version text.
// Its loading state is the component's own, which CheckException honours (codes are not raised while a
// component is being loaded from its stored form). Those that need posted messages or timers stand on
// TLkBaseQComponent.
#include <cstdint>
#include <string>

#include "serial/lk_exception.h"
#include "tk/component.h"
#include "tk/qcomponent.h"

namespace serial {

class TLkBaseComponent : public tk::Component {
 public:
  explicit TLkBaseComponent(tk::Component* owner) : tk::Component(owner) {}

  std::string Version() const { return "v3.03"; }
  void SetVersion(const std::string&) {}  // read-only in effect: writing does nothing

 protected:
  // Raises for a negative code, as CheckException does with this component.
  std::int32_t Check(std::int32_t code) const { return CheckException(this, code); }
};

using TLkBaseQComponent = tk::QComponentOf<TLkBaseComponent>;

}  // namespace serial
