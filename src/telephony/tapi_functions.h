#pragma once
// The telephony function table and line services: the library "TAPI32" is loaded on first use, its line
// functions are looked up by name, and every call goes through a wrapper that answers -13931 when no
// library can be loaded and -13932 when the library lacks that function, so that a machine without
// telephony still runs every window that does not dial. Four wrappers grow the API's variable-size
// records until the answer fits.
//
// Window thread only.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/telephony_provider.h"

namespace telephony {

using platform::HCALL;
using platform::HLINE;
using platform::HLINEAPP;

inline constexpr std::int32_t ecTapiLoadFail = -13931;
inline constexpr std::int32_t ecTapiGetAddrFail = -13932;

// First-try sizes of the variable-size records.
inline constexpr std::uint32_t kDevCapsFirstSize = 240;
inline constexpr std::uint32_t kCallInfoFirstSize = 296;
inline constexpr std::uint32_t kCallStatusFirstSize = 36;
inline constexpr std::uint32_t kTranslateOutputFirstSize = 40;
inline constexpr std::uint32_t kTranslateCapsFirstSize = 44;
inline constexpr std::uint32_t kGrowStepSize = 1024;

// The 35 entry points in the order they are fetched.
inline constexpr int kTapiEntryCount = 35;
extern const char* const kTapiEntryNames[kTapiEntryCount];

// Loads the library once; true when it is loaded. A failed load is tried again at the next call.
bool LoadTapiLibrary();
// Frees the library (the unit's shutdown); the next call loads it again.
void FreeTapiLibrary();
bool TapiLibraryLoaded();
// Whether the loaded library has the entry point of that name.
bool TapiEntryFound(const std::string& name);

// A record allocated zero-filled at its total size; the caller owns it.
struct TapiRecordFree {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using TapiRecord = std::unique_ptr<T, TapiRecordFree>;

// A text from a record's variable part: `size` bytes at `offset`, cut at the first zero; empty when the
// part lies outside the record's used size.
std::string TapiRecordText(const void* record, std::uint32_t offset, std::uint32_t size);

std::int32_t tuLineGenerateTones(HCALL call, std::uint32_t toneMode, std::uint32_t duration, std::uint32_t numTones,
                                 const platform::LINEGENERATETONE* tones);
std::int32_t tuLineMonitorTones(HCALL call, const platform::LINEMONITORTONE* toneList, std::uint32_t numEntries);
std::int32_t tuLineSetCallParams(HCALL call, std::uint32_t bearerMode, std::uint32_t minRate, std::uint32_t maxRate,
                                 const platform::LINEDIALPARAMS* dialParams);
std::int32_t tuLineHandoff(HCALL call, const char* fileName, std::uint32_t mediaMode);
std::int32_t tuLineMonitorMedia(HCALL call, std::uint32_t mediaModes);
std::int32_t tuLineGenerateDigits(HCALL call, std::uint32_t digitMode, const char* digits, std::uint32_t duration);
std::int32_t tuLineMonitorDigits(HCALL call, std::uint32_t digitModes);
std::int32_t tuLineInitialize(HLINEAPP* lineApp, void* instance, platform::LineCallback callback, const char* appName,
                              std::uint32_t* numDevs);
std::int32_t tuLineShutdown(HLINEAPP lineApp);
std::int32_t tuLineNegotiateApiVersion(HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t lowVersion,
                                       std::uint32_t highVersion, std::uint32_t* apiVersion,
                                       platform::LINEEXTENSIONID* extensionID);
std::int32_t tuLineGetDevCaps(HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t apiVersion,
                              std::uint32_t extVersion, platform::LINEDEVCAPS* devCaps);
std::int32_t tuLineOpen(HLINEAPP lineApp, std::uint32_t deviceID, HLINE* line, std::uint32_t apiVersion,
                        std::uint32_t extVersion, std::uintptr_t callbackInstance, std::uint32_t privileges,
                        std::uint32_t mediaModes, const platform::LINECALLPARAMS* callParams);
std::int32_t tuLineMakeCall(HLINE line, HCALL* call, const char* destAddress, std::uint32_t countryCode,
                            const platform::LINECALLPARAMS* callParams);
std::int32_t tuLineAccept(HCALL call, const char* userUserInfo, std::uint32_t size);
std::int32_t tuLineAnswer(HCALL call, const char* userUserInfo, std::uint32_t size);
std::int32_t tuLineDeallocateCall(HCALL call);
std::int32_t tuLineDrop(HCALL call, const char* userUserInfo, std::uint32_t size);
std::int32_t tuLineClose(HLINE line);
std::int32_t tuLineGetCountry(std::uint32_t countryID, std::uint32_t apiVersion, platform::LINECOUNTRYLIST* list);
std::int32_t tuLineConfigDialog(std::uint32_t deviceID, QWidget* owner, const char* deviceClass);
std::int32_t tuLineConfigDialogEdit(std::uint32_t deviceID, QWidget* owner, const char* deviceClass,
                                    const void* configIn, std::uint32_t size, platform::VARSTRING* configOut);
std::int32_t tuLineGetID(HLINE line, std::uint32_t addressID, HCALL call, std::uint32_t select,
                         platform::VARSTRING* deviceID, const char* deviceClass);
std::int32_t tuLineSetStatusMessages(HLINE line, std::uint32_t lineStates, std::uint32_t addressStates);
std::int32_t tuLineGetStatusMessages(HLINE line, std::uint32_t* lineStates, std::uint32_t* addressStates);
std::int32_t tuLineGetAddressStatus(HLINE line, std::uint32_t addressID, platform::LINEADDRESSSTATUS* status);
std::int32_t tuLineGetDevConfig(std::uint32_t deviceID, platform::VARSTRING* config, const char* deviceClass);
std::int32_t tuLineSetDevConfig(std::uint32_t deviceID, const void* config, std::uint32_t size,
                                const char* deviceClass);
std::int32_t tuLineGetCallInfo(HCALL call, platform::LINECALLINFO* callInfo);
std::int32_t tuLineGetCallStatus(HCALL call, platform::LINECALLSTATUS* callStatus);
std::int32_t tuLineSetMediaMode(HCALL call, std::uint32_t mediaModes);
std::int32_t tuLineSetCurrentLocation(HLINEAPP lineApp, std::uint32_t location);
std::int32_t tuLineSetTollList(HLINEAPP lineApp, std::uint32_t deviceID, const char* addressIn,
                               std::uint32_t tollListOption);
// Answers -1, not -13932, when the library lacks the function.
std::int32_t tuLineTranslateDialog(HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t apiVersion, QWidget* owner,
                                   const std::string& addressIn);

// Growing wrappers: the record comes back through the last argument (null on failure). The first three
// do not load the library: they serve a started API.
std::int32_t tuLineGetDevCapsDyn(HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t apiVersion,
                                 std::uint32_t extVersion, TapiRecord<platform::LINEDEVCAPS>& devCaps);
std::int32_t tuLineGetCallInfoDyn(HCALL call, TapiRecord<platform::LINECALLINFO>& callInfo);
std::int32_t tuLineGetCallStatusDyn(HCALL call, TapiRecord<platform::LINECALLSTATUS>& callStatus);
std::int32_t tuLineTranslateAddressDyn(HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t apiVersion,
                                       const std::string& addressIn, std::uint32_t card, std::uint32_t options,
                                       TapiRecord<platform::LINETRANSLATEOUTPUT>& output);

}  // namespace telephony
