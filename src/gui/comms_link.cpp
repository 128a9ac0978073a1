#include "gui/comms_link.h"

#include "platform/paths.h"
#include "platform/ui.h"

namespace gui {

bool AttachAllowed(const CommsLink& link) {
  return !link.DownloadRunning() ||
         platform::Ui().MessageBox("A download to the controller is running: attaching again now leaves the controller "
                                   "with its program stopped. Still attach?",
                                   platform::ApplicationTitle(), platform::MsgButtons::OkCancel,
                                   platform::MsgKind::Question) == platform::MsgResult::Ok;
}

std::string DetachedCommsLink::CurrentDirectory() const { return platform::CurrentDir(); }

}  // namespace gui
