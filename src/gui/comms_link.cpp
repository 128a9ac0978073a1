#include "gui/comms_link.h"

#include "platform/paths.h"
#include "platform/ui.h"

namespace gui {

bool Agreed(const std::string& question) {
  return question.empty() ||
         platform::Ui().MessageBox(question, platform::ApplicationTitle(), platform::MsgButtons::OkCancel,
                                   platform::MsgKind::Question) == platform::MsgResult::Ok;
}

bool EndAllowed(const CommsLink& link, bool exit) { return Agreed(link.EndQuestion(exit)); }

bool AttachAllowed(const CommsLink& link) { return EndAllowed(link, false); }

std::string DetachedCommsLink::CurrentDirectory() const { return platform::CurrentDir(); }

}  // namespace gui
