#include "platform/telephony_provider.h"

#include <atomic>

namespace platform {

namespace {

// Linux has no telephony library: every lookup fails, as on a machine without one.
class NoTelephony : public TelephonyProviders {
 public:
  TelephonyProvider* Load(const std::string&) override { return nullptr; }
  void Free(TelephonyProvider*) override {}
};

NoTelephony none;
std::atomic<TelephonyProviders*> installed{nullptr};

constexpr std::int32_t kUnavailable = LINEERR_OPERATIONUNAVAIL;

}  // namespace

TelephonyProviders& Providers() {
  TelephonyProviders* p = installed.load();
  return p ? *p : none;
}

TelephonyProviders* SetProviders(TelephonyProviders* providers) {
  TelephonyProviders* previous = installed.exchange(providers);
  return previous ? previous : &none;
}

std::int32_t TelephonyProvider::LineGenerateTone(HCALL, std::uint32_t, std::uint32_t, std::uint32_t,
                                                 const LINEGENERATETONE*) {
  return kUnavailable;
}
std::int32_t TelephonyProvider::LineMonitorTones(HCALL, const LINEMONITORTONE*, std::uint32_t) { return kUnavailable; }
std::int32_t TelephonyProvider::LineSetCallParams(HCALL, std::uint32_t, std::uint32_t, std::uint32_t,
                                                  const LINEDIALPARAMS*) {
  return kUnavailable;
}
std::int32_t TelephonyProvider::LineHandoff(HCALL, const char*, std::uint32_t) { return kUnavailable; }
std::int32_t TelephonyProvider::LineMonitorMedia(HCALL, std::uint32_t) { return kUnavailable; }
std::int32_t TelephonyProvider::LineGenerateDigits(HCALL, std::uint32_t, const char*, std::uint32_t) {
  return kUnavailable;
}
std::int32_t TelephonyProvider::LineMonitorDigits(HCALL, std::uint32_t) { return kUnavailable; }
std::int32_t TelephonyProvider::LineInitialize(HLINEAPP*, void*, LineCallback, const char*, std::uint32_t*) {
  return kUnavailable;
}
std::int32_t TelephonyProvider::LineShutdown(HLINEAPP) { return kUnavailable; }
std::int32_t TelephonyProvider::LineNegotiateAPIVersion(HLINEAPP, std::uint32_t, std::uint32_t, std::uint32_t,
                                                        std::uint32_t*, LINEEXTENSIONID*) {
  return kUnavailable;
}
std::int32_t TelephonyProvider::LineGetDevCaps(HLINEAPP, std::uint32_t, std::uint32_t, std::uint32_t, LINEDEVCAPS*) {
  return kUnavailable;
}
std::int32_t TelephonyProvider::LineOpen(HLINEAPP, std::uint32_t, HLINE*, std::uint32_t, std::uint32_t, std::uintptr_t,
                                         std::uint32_t, std::uint32_t, const LINECALLPARAMS*) {
  return kUnavailable;
}
std::int32_t TelephonyProvider::LineMakeCall(HLINE, HCALL*, const char*, std::uint32_t, const LINECALLPARAMS*) {
  return kUnavailable;
}
std::int32_t TelephonyProvider::LineAccept(HCALL, const char*, std::uint32_t) { return kUnavailable; }
std::int32_t TelephonyProvider::LineAnswer(HCALL, const char*, std::uint32_t) { return kUnavailable; }
std::int32_t TelephonyProvider::LineDeallocateCall(HCALL) { return kUnavailable; }
std::int32_t TelephonyProvider::LineDrop(HCALL, const char*, std::uint32_t) { return kUnavailable; }
std::int32_t TelephonyProvider::LineClose(HLINE) { return kUnavailable; }
std::int32_t TelephonyProvider::LineGetCountry(std::uint32_t, std::uint32_t, LINECOUNTRYLIST*) { return kUnavailable; }
std::int32_t TelephonyProvider::LineConfigDialog(std::uint32_t, QWidget*, const char*) { return kUnavailable; }
std::int32_t TelephonyProvider::LineConfigDialogEdit(std::uint32_t, QWidget*, const char*, const void*, std::uint32_t,
                                                     VARSTRING*) {
  return kUnavailable;
}
std::int32_t TelephonyProvider::LineGetID(HLINE, std::uint32_t, HCALL, std::uint32_t, VARSTRING*, const char*) {
  return kUnavailable;
}
std::int32_t TelephonyProvider::LineSetStatusMessages(HLINE, std::uint32_t, std::uint32_t) { return kUnavailable; }
std::int32_t TelephonyProvider::LineGetStatusMessages(HLINE, std::uint32_t*, std::uint32_t*) { return kUnavailable; }
std::int32_t TelephonyProvider::LineGetAddressStatus(HLINE, std::uint32_t, LINEADDRESSSTATUS*) { return kUnavailable; }
std::int32_t TelephonyProvider::LineGetDevConfig(std::uint32_t, VARSTRING*, const char*) { return kUnavailable; }
std::int32_t TelephonyProvider::LineSetDevConfig(std::uint32_t, const void*, std::uint32_t, const char*) {
  return kUnavailable;
}
std::int32_t TelephonyProvider::LineGetCallInfo(HCALL, LINECALLINFO*) { return kUnavailable; }
std::int32_t TelephonyProvider::LineGetCallStatus(HCALL, LINECALLSTATUS*) { return kUnavailable; }
std::int32_t TelephonyProvider::LineSetMediaMode(HCALL, std::uint32_t) { return kUnavailable; }
std::int32_t TelephonyProvider::LineTranslateAddress(HLINEAPP, std::uint32_t, std::uint32_t, const char*, std::uint32_t,
                                                     std::uint32_t, LINETRANSLATEOUTPUT*) {
  return kUnavailable;
}
std::int32_t TelephonyProvider::LineTranslateDialog(HLINEAPP, std::uint32_t, std::uint32_t, QWidget*, const char*) {
  return kUnavailable;
}
std::int32_t TelephonyProvider::LineSetCurrentLocation(HLINEAPP, std::uint32_t) { return kUnavailable; }
std::int32_t TelephonyProvider::LineSetTollList(HLINEAPP, std::uint32_t, const char*, std::uint32_t) {
  return kUnavailable;
}
std::int32_t TelephonyProvider::LineGetTranslateCaps(HLINEAPP, std::uint32_t, LINETRANSLATECAPS*) {
  return kUnavailable;
}

}  // namespace platform
