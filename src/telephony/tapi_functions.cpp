#include "telephony/tapi_functions.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace telephony {

using namespace platform;

const char* const kTapiEntryNames[kTapiEntryCount] = {
    "lineGenerateTone",
    "lineMonitorTones",
    "lineSetCallParams",
    "lineHandoff",
    "lineMonitorMedia",
    "lineGenerateDigits",
    "lineMonitorDigits",
    "lineInitialize",
    "lineShutdown",
    "lineNegotiateAPIVersion",
    "lineGetDevCaps",
    "lineOpen",
    "lineMakeCall",
    "lineAccept",
    "lineAnswer",
    "lineDeallocateCall",
    "lineDrop",
    "lineClose",
    "lineGetCountry",
    "lineConfigDialog",
    "lineConfigDialogEdit",
    "lineGetID",
    "lineSetStatusMessages",
    "lineGetStatusMessages",
    "lineGetAddressStatus",
    "lineGetDevConfig",
    "lineSetDevConfig",
    "lineGetCallInfo",
    "lineGetCallStatus",
    "lineSetMediaMode",
    "lineTranslateAddress",
    "lineTranslateDialog",
    "lineSetCurrentLocation",
    "lineSetTollList",
    "lineGetTranslateCaps",
};

namespace {

enum Entry {
  eGenerateTone,
  eMonitorTones,
  eSetCallParams,
  eHandoff,
  eMonitorMedia,
  eGenerateDigits,
  eMonitorDigits,
  eInitialize,
  eShutdown,
  eNegotiateAPIVersion,
  eGetDevCaps,
  eOpen,
  eMakeCall,
  eAccept,
  eAnswer,
  eDeallocateCall,
  eDrop,
  eClose,
  eGetCountry,
  eConfigDialog,
  eConfigDialogEdit,
  eGetID,
  eSetStatusMessages,
  eGetStatusMessages,
  eGetAddressStatus,
  eGetDevConfig,
  eSetDevConfig,
  eGetCallInfo,
  eGetCallStatus,
  eSetMediaMode,
  eTranslateAddress,
  eTranslateDialog,
  eSetCurrentLocation,
  eSetTollList,
  eGetTranslateCaps,
};

// The library handle and its table of entry points.
struct Library {
  TelephonyProvider* Handle = nullptr;
  std::array<bool, kTapiEntryCount> Found{};
};

// Constant-initialised, and destroyed after the shutdown below has used it.
Library lib;
Library& Lib() { return lib; }

// Frees the library when the program ends.
struct UnitShutdown {
  ~UnitShutdown() { FreeTapiLibrary(); }
} unitShutdown;

// The provider to call for `entry`, or the wrapper's failure code.
std::int32_t Resolve(Entry entry, TelephonyProvider*& provider) {
  if (!LoadTapiLibrary()) return ecTapiLoadFail;
  if (!Lib().Found[entry]) return ecTapiGetAddrFail;
  provider = Lib().Handle;
  return 0;
}

// For the growing wrappers that serve a started API: no load.
std::int32_t Loaded(Entry entry, TelephonyProvider*& provider) {
  if (!Lib().Handle) return ecTapiLoadFail;
  if (!Lib().Found[entry]) return ecTapiGetAddrFail;
  provider = Lib().Handle;
  return 0;
}

template <class T>
TapiRecord<T> Allocate(std::uint32_t size) {
  // Never smaller than the fixed part, whatever a provider claims to need.
  void* p = std::calloc(1, std::max<std::size_t>(size, sizeof(T)));
  auto* record = static_cast<T*>(p);
  if (record) record->dwTotalSize = size;
  return TapiRecord<T>(record);
}

// Calls until the record holds the whole answer: the first-try size, then (with the kilobyte step) 1024
// bytes when the provider calls it too small, then exactly the size it says it needs.
template <class T, class Call>
std::int32_t Grow(std::uint32_t firstSize, bool kilobyteStep, Call call, TapiRecord<T>& out) {
  out.reset();
  TapiRecord<T> record = Allocate<T>(firstSize);
  if (!record) return LINEERR_NOMEM;
  std::int32_t result = call(record.get());
  if (kilobyteStep && result == LINEERR_STRUCTURETOOSMALL) {
    record = Allocate<T>(kGrowStepSize);
    if (!record) return LINEERR_NOMEM;
    result = call(record.get());
  }
  if (result < 0) return result;
  if (record->dwNeededSize > record->dwTotalSize) {
    record = Allocate<T>(record->dwNeededSize);
    if (!record) return LINEERR_NOMEM;
    result = call(record.get());
    if (result < 0) return result;
  }
  out = std::move(record);
  return result;
}

}  // namespace

bool LoadTapiLibrary() {
  Library& lib = Lib();
  if (lib.Handle) return true;
  TelephonyProvider* provider = Providers().Load("TAPI32");
  if (!provider) return false;
  lib.Handle = provider;
  for (int i = 0; i < kTapiEntryCount; ++i) lib.Found[i] = provider->Exports(kTapiEntryNames[i]);
  return true;
}

void FreeTapiLibrary() {
  Library& lib = Lib();
  if (!lib.Handle) return;
  TelephonyProvider* provider = lib.Handle;
  lib.Handle = nullptr;
  lib.Found.fill(false);
  Providers().Free(provider);
}

bool TapiLibraryLoaded() { return Lib().Handle != nullptr; }

bool TapiEntryFound(const std::string& name) {
  for (int i = 0; i < kTapiEntryCount; ++i)
    if (name == kTapiEntryNames[i]) return Lib().Handle && Lib().Found[i];
  return false;
}

std::string TapiRecordText(const void* record, std::uint32_t offset, std::uint32_t size) {
  if (!record || size == 0) return {};
  std::uint32_t used;
  std::memcpy(&used, static_cast<const char*>(record) + 8, sizeof used);
  if (offset > used || size > used - offset) return {};
  const char* text = static_cast<const char*>(record) + offset;
  return std::string(text, strnlen(text, size));
}

#define TU_CALL(entry, call)                                          \
  TelephonyProvider* provider = nullptr;                              \
  if (std::int32_t rc = Resolve(entry, provider); rc != 0) return rc; \
  return provider->call

std::int32_t tuLineGenerateTones(HCALL call, std::uint32_t toneMode, std::uint32_t duration, std::uint32_t numTones,
                                 const LINEGENERATETONE* tones) {
  TU_CALL(eGenerateTone, LineGenerateTone(call, toneMode, duration, numTones, tones));
}

std::int32_t tuLineMonitorTones(HCALL call, const LINEMONITORTONE* toneList, std::uint32_t numEntries) {
  TU_CALL(eMonitorTones, LineMonitorTones(call, toneList, numEntries));
}

std::int32_t tuLineSetCallParams(HCALL call, std::uint32_t bearerMode, std::uint32_t minRate, std::uint32_t maxRate,
                                 const LINEDIALPARAMS* dialParams) {
  TU_CALL(eSetCallParams, LineSetCallParams(call, bearerMode, minRate, maxRate, dialParams));
}

std::int32_t tuLineHandoff(HCALL call, const char* fileName, std::uint32_t mediaMode) {
  TU_CALL(eHandoff, LineHandoff(call, fileName, mediaMode));
}

std::int32_t tuLineMonitorMedia(HCALL call, std::uint32_t mediaModes) {
  TU_CALL(eMonitorMedia, LineMonitorMedia(call, mediaModes));
}

std::int32_t tuLineGenerateDigits(HCALL call, std::uint32_t digitMode, const char* digits, std::uint32_t duration) {
  TU_CALL(eGenerateDigits, LineGenerateDigits(call, digitMode, digits, duration));
}

std::int32_t tuLineMonitorDigits(HCALL call, std::uint32_t digitModes) {
  TU_CALL(eMonitorDigits, LineMonitorDigits(call, digitModes));
}

std::int32_t tuLineInitialize(HLINEAPP* lineApp, void* instance, LineCallback callback, const char* appName,
                              std::uint32_t* numDevs) {
  TU_CALL(eInitialize, LineInitialize(lineApp, instance, callback, appName, numDevs));
}

std::int32_t tuLineShutdown(HLINEAPP lineApp) { TU_CALL(eShutdown, LineShutdown(lineApp)); }

std::int32_t tuLineNegotiateApiVersion(HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t lowVersion,
                                       std::uint32_t highVersion, std::uint32_t* apiVersion,
                                       LINEEXTENSIONID* extensionID) {
  TU_CALL(eNegotiateAPIVersion,
          LineNegotiateAPIVersion(lineApp, deviceID, lowVersion, highVersion, apiVersion, extensionID));
}

std::int32_t tuLineGetDevCaps(HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t apiVersion,
                              std::uint32_t extVersion, LINEDEVCAPS* devCaps) {
  TU_CALL(eGetDevCaps, LineGetDevCaps(lineApp, deviceID, apiVersion, extVersion, devCaps));
}

std::int32_t tuLineOpen(HLINEAPP lineApp, std::uint32_t deviceID, HLINE* line, std::uint32_t apiVersion,
                        std::uint32_t extVersion, std::uintptr_t callbackInstance, std::uint32_t privileges,
                        std::uint32_t mediaModes, const LINECALLPARAMS* callParams) {
  TU_CALL(eOpen, LineOpen(lineApp, deviceID, line, apiVersion, extVersion, callbackInstance, privileges, mediaModes,
                          callParams));
}

std::int32_t tuLineMakeCall(HLINE line, HCALL* call, const char* destAddress, std::uint32_t countryCode,
                            const LINECALLPARAMS* callParams) {
  TU_CALL(eMakeCall, LineMakeCall(line, call, destAddress, countryCode, callParams));
}

std::int32_t tuLineAccept(HCALL call, const char* userUserInfo, std::uint32_t size) {
  TU_CALL(eAccept, LineAccept(call, userUserInfo, size));
}

std::int32_t tuLineAnswer(HCALL call, const char* userUserInfo, std::uint32_t size) {
  TU_CALL(eAnswer, LineAnswer(call, userUserInfo, size));
}

std::int32_t tuLineDeallocateCall(HCALL call) { TU_CALL(eDeallocateCall, LineDeallocateCall(call)); }

std::int32_t tuLineDrop(HCALL call, const char* userUserInfo, std::uint32_t size) {
  TU_CALL(eDrop, LineDrop(call, userUserInfo, size));
}

std::int32_t tuLineClose(HLINE line) { TU_CALL(eClose, LineClose(line)); }

std::int32_t tuLineGetCountry(std::uint32_t countryID, std::uint32_t apiVersion, LINECOUNTRYLIST* list) {
  TU_CALL(eGetCountry, LineGetCountry(countryID, apiVersion, list));
}

std::int32_t tuLineConfigDialog(std::uint32_t deviceID, QWidget* owner, const char* deviceClass) {
  TU_CALL(eConfigDialog, LineConfigDialog(deviceID, owner, deviceClass));
}

std::int32_t tuLineConfigDialogEdit(std::uint32_t deviceID, QWidget* owner, const char* deviceClass,
                                    const void* configIn, std::uint32_t size, VARSTRING* configOut) {
  TU_CALL(eConfigDialogEdit, LineConfigDialogEdit(deviceID, owner, deviceClass, configIn, size, configOut));
}

std::int32_t tuLineGetID(HLINE line, std::uint32_t addressID, HCALL call, std::uint32_t select, VARSTRING* deviceID,
                         const char* deviceClass) {
  TU_CALL(eGetID, LineGetID(line, addressID, call, select, deviceID, deviceClass));
}

std::int32_t tuLineSetStatusMessages(HLINE line, std::uint32_t lineStates, std::uint32_t addressStates) {
  TU_CALL(eSetStatusMessages, LineSetStatusMessages(line, lineStates, addressStates));
}

std::int32_t tuLineGetStatusMessages(HLINE line, std::uint32_t* lineStates, std::uint32_t* addressStates) {
  TU_CALL(eGetStatusMessages, LineGetStatusMessages(line, lineStates, addressStates));
}

std::int32_t tuLineGetAddressStatus(HLINE line, std::uint32_t addressID, LINEADDRESSSTATUS* status) {
  TU_CALL(eGetAddressStatus, LineGetAddressStatus(line, addressID, status));
}

std::int32_t tuLineGetDevConfig(std::uint32_t deviceID, VARSTRING* config, const char* deviceClass) {
  TU_CALL(eGetDevConfig, LineGetDevConfig(deviceID, config, deviceClass));
}

std::int32_t tuLineSetDevConfig(std::uint32_t deviceID, const void* config, std::uint32_t size,
                                const char* deviceClass) {
  TU_CALL(eSetDevConfig, LineSetDevConfig(deviceID, config, size, deviceClass));
}

std::int32_t tuLineGetCallInfo(HCALL call, LINECALLINFO* callInfo) {
  TU_CALL(eGetCallInfo, LineGetCallInfo(call, callInfo));
}

std::int32_t tuLineGetCallStatus(HCALL call, LINECALLSTATUS* callStatus) {
  TU_CALL(eGetCallStatus, LineGetCallStatus(call, callStatus));
}

std::int32_t tuLineSetMediaMode(HCALL call, std::uint32_t mediaModes) {
  TU_CALL(eSetMediaMode, LineSetMediaMode(call, mediaModes));
}

std::int32_t tuLineSetCurrentLocation(HLINEAPP lineApp, std::uint32_t location) {
  TU_CALL(eSetCurrentLocation, LineSetCurrentLocation(lineApp, location));
}

std::int32_t tuLineSetTollList(HLINEAPP lineApp, std::uint32_t deviceID, const char* addressIn,
                               std::uint32_t tollListOption) {
  TU_CALL(eSetTollList, LineSetTollList(lineApp, deviceID, addressIn, tollListOption));
}

#undef TU_CALL

std::int32_t tuLineTranslateDialog(HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t apiVersion, QWidget* owner,
                                   const std::string& addressIn) {
  if (!LoadTapiLibrary()) return ecTapiLoadFail;
  if (!Lib().Found[eTranslateDialog]) return -1;
  const std::string address = addressIn;  // a zero-terminated copy
  return Lib().Handle->LineTranslateDialog(lineApp, deviceID, apiVersion, owner, address.c_str());
}

std::int32_t tuLineGetDevCapsDyn(HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t apiVersion,
                                 std::uint32_t extVersion, TapiRecord<LINEDEVCAPS>& devCaps) {
  devCaps.reset();
  TelephonyProvider* provider = nullptr;
  if (std::int32_t rc = Loaded(eGetDevCaps, provider); rc != 0) return rc;
  return Grow<LINEDEVCAPS>(
      kDevCapsFirstSize, true,
      [&](LINEDEVCAPS* caps) { return provider->LineGetDevCaps(lineApp, deviceID, apiVersion, extVersion, caps); },
      devCaps);
}

std::int32_t tuLineGetCallInfoDyn(HCALL call, TapiRecord<LINECALLINFO>& callInfo) {
  callInfo.reset();
  TelephonyProvider* provider = nullptr;
  if (std::int32_t rc = Loaded(eGetCallInfo, provider); rc != 0) return rc;
  return Grow<LINECALLINFO>(
      kCallInfoFirstSize, true, [&](LINECALLINFO* info) { return provider->LineGetCallInfo(call, info); }, callInfo);
}

std::int32_t tuLineGetCallStatusDyn(HCALL call, TapiRecord<LINECALLSTATUS>& callStatus) {
  callStatus.reset();
  TelephonyProvider* provider = nullptr;
  if (std::int32_t rc = Loaded(eGetCallStatus, provider); rc != 0) return rc;
  return Grow<LINECALLSTATUS>(
      kCallStatusFirstSize, true, [&](LINECALLSTATUS* status) { return provider->LineGetCallStatus(call, status); },
      callStatus);
}

std::int32_t tuLineTranslateAddressDyn(HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t apiVersion,
                                       const std::string& addressIn, std::uint32_t card, std::uint32_t options,
                                       TapiRecord<LINETRANSLATEOUTPUT>& output) {
  output.reset();
  TelephonyProvider* provider = nullptr;
  if (std::int32_t rc = Resolve(eTranslateAddress, provider); rc != 0) return rc;
  const std::string address = addressIn;
  return Grow<LINETRANSLATEOUTPUT>(
      kTranslateOutputFirstSize, false,
      [&](LINETRANSLATEOUTPUT* out) {
        return provider->LineTranslateAddress(lineApp, deviceID, apiVersion, address.c_str(), card, options, out);
      },
      output);
}

}  // namespace telephony
