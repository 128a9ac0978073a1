#include "gui/comms_link.h"

#include "platform/paths.h"
#include "platform/ui.h"

namespace gui {

bool Agreed(const std::string& question) {
  return question.empty() ||
         platform::Ui().MessageBox(question, platform::ApplicationTitle(), platform::MsgButtons::OkCancel,
                                   platform::MsgKind::Question) == platform::MsgResult::Ok;
}

bool AgreedToWhatRuns(const std::function<std::string()>& question, std::string& agreed) {
  for (std::string asked = question(); !asked.empty() && asked != agreed; asked = question()) {
    if (!Agreed(asked)) return false;
    agreed = asked;
  }
  return true;
}

bool AgreedToWhatRuns(const std::function<std::string()>& question) {
  std::string agreed;
  return AgreedToWhatRuns(question, agreed);
}

bool EndAllowed(const CommsLink& link, bool exit, std::string& agreed) {
  return AgreedToWhatRuns([&] { return link.EndQuestion(exit); }, agreed);
}

bool EndAllowed(const CommsLink& link, bool exit) {
  std::string agreed;
  return EndAllowed(link, exit, agreed);
}

bool AttachAllowed(const CommsLink& link) { return EndAllowed(link, false); }

std::string DetachedCommsLink::CurrentDirectory() const { return platform::CurrentDir(); }

}  // namespace gui
