#include "controller/direct_port.h"

#include <string>

#include "platform/text.h"
#include "platform/ui.h"
#include "serial/com_port.h"
#include "serial/lk_exception.h"

namespace controller {

bool OpenDirect(serial::TLkCustomComPort& port, std::uint16_t comNumber) {
  std::string message;
  try {
    port.SetComNumber(comNumber);
    if (port.TapiMode() == serial::tmOn) port.SetTapiMode(serial::tmAuto);
    port.SetOpen(true);
    return true;
  } catch (const serial::EAlreadyOpen&) {
    message = platform::FormatText("COM%d Port Already In Use", comNumber);
  } catch (const serial::EBadId&) {
    message = platform::FormatText("COM%d Port Does Not Exist", comNumber);
  } catch (const serial::ELkException& e) {
    message = e.what();
  }
  platform::Ui().MessageBox(message, "COM ERROR", platform::MsgButtons::Ok, platform::MsgKind::Error);
  return false;
}

}  // namespace controller
