#include "gui/comms_link.h"

#include "platform/paths.h"
#include "platform/ui.h"

namespace gui {

bool AttachAllowed(const CommsLink& link) {
  const std::string running = link.TransferWriting();
  return running.empty() ||
         platform::Ui().MessageBox("The " + running +
                                       " is running: attaching again now cuts it short and may leave the controller "
                                       "stopped or half written. Still attach?",
                                   platform::ApplicationTitle(), platform::MsgButtons::OkCancel,
                                   platform::MsgKind::Question) == platform::MsgResult::Ok;
}

std::string DetachedCommsLink::CurrentDirectory() const { return platform::CurrentDir(); }

}  // namespace gui
