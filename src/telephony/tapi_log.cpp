#include "telephony/tapi_log.h"

#include <QDate>
#include <QLocale>
#include <QTime>
#include <cstdio>

#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "telephony/tapi_device.h"

namespace telephony {

namespace {

// The locale's long time format without its time-zone field, which the original's format never had.
QString LongTimeFormat(const QLocale& locale) {
  QString format = locale.timeFormat(QLocale::LongFormat);
  QString out;
  bool quoted = false;
  for (QChar c : format) {
    if (c == '\'') quoted = !quoted;
    if (!quoted && c == 't') continue;
    out += c;
  }
  return out.trimmed();
}

std::string Stamp() {
  const platform::LocalTime now = platform::CurrentClock().Now();
  const QLocale locale = QLocale::system();
  const QString date = locale.toString(QDate(now.Year, now.Month, now.Day), locale.dateFormat(QLocale::ShortFormat));
  const QString time = locale.toString(QTime(now.Hour, now.Minute, now.Second), LongTimeFormat(locale));
  return platform::FromQString(date + ' ' + time).value_or("");
}

}  // namespace

TLkTapiLog::TLkTapiLog(tk::Component* owner) : serial::TLkBaseComponent(owner) { Announce(); }

TLkTapiLog::~TLkTapiLog() {
  if (device_) {
    TLkCustomTapiDevice* device = device_;
    device_ = nullptr;
    device->SetTapiLog(nullptr);
  }
}

void TLkTapiLog::SetTapiDevice(TLkCustomTapiDevice* device) {
  device_ = device;
  if (device) FreeNotification(device);
}

void TLkTapiLog::Notification(tk::Component* component, tk::Operation operation) {
  tk::Component::Notification(component, operation);
  if (operation == tk::Operation::Remove && component && component == device_) device_ = nullptr;
}

std::string TLkTapiLog::LogText(TTapiLogCode code) {
  switch (code) {
    case ltapiNone:
      return "";
    case ltapiCallStart:
      return "call started";
    case ltapiCallFinish:
      return "call finished";
    case ltapiDial:
      return "  dialing ";
    case ltapiAccept:
      return "  accepting";
    case ltapiAnswer:
      return "  answering";
    case ltapiConnect:
      return "  connected";
    case ltapiCancel:
      return "  cancelled";
    case ltapiDrop:
      return "  dropped";
    case ltapiBusy:
      return "  busy";
    case ltapiDialFail:
      return "  dial failed";
    case ltapiReceivedDigit:
      return "  received digit";
  }
  return "";
}

void TLkTapiLog::UpdateLog(TTapiLogCode code) {
  if (historyName_.empty() || code == ltapiNone) return;
  std::string line = Stamp() + " : " + LogText(code);
  if (code == ltapiDial && device_) line += device_->Number();
  line += '\n';
  if (code == ltapiCallFinish) line += '\n';  // an empty line between calls
  std::FILE* f = std::fopen(platform::NativePath(historyName_).c_str(), "ab");
  if (!f) f = std::fopen(platform::NativePath(historyName_).c_str(), "wb");
  if (!f) return;
  std::fwrite(line.data(), 1, line.size(), f);
  std::fclose(f);
}

}  // namespace telephony
