#include "gui/program/comms_link.h"

#include "platform/paths.h"

namespace program {

std::string DetachedCommsLink::CurrentDirectory() const { return platform::CurrentDir(); }

}  // namespace program
