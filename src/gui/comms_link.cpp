#include "gui/comms_link.h"

#include "platform/paths.h"
#include "platform/ui.h"

namespace gui {

namespace {

bool Agreed(const std::string& question) {
  return platform::Ui().MessageBox(question, platform::ApplicationTitle(), platform::MsgButtons::OkCancel,
                                   platform::MsgKind::Question) == platform::MsgResult::Ok;
}

}  // namespace

bool AttachAllowed(const CommsLink& link) {
  const std::string running = link.TransferWriting();
  if (!running.empty() && !Agreed("The " + running +
                                  " is running: attaching again now cuts it short and may leave the controller "
                                  "stopped or half written. Still attach?"))
    return false;
  return PortWorkMayEnd(link, "attaching", "attach");
}

bool PortWorkMayEnd(const CommsLink& link, const std::string& doing, const std::string& verb) {
  const std::string running = link.PortWorkRunning();
  return running.empty() ||
         Agreed("The " + running + " is running: " + doing +
                " now cuts it short and leaves the modem with part of its commands. Still " + verb + "?");
}

std::string DetachedCommsLink::CurrentDirectory() const { return platform::CurrentDir(); }

}  // namespace gui
