#include "controller/dial_up.h"

#include "platform/ui.h"

namespace controller {

bool NoDialUp::SelectNumber(std::string&) {
  platform::Ui().ShowMessage("No modem or telephony device is available for dialling");
  return false;
}

}  // namespace controller
