#include "gui/comms_link.h"

#include "platform/paths.h"

namespace gui {

std::string DetachedCommsLink::CurrentDirectory() const { return platform::CurrentDir(); }

}  // namespace gui
