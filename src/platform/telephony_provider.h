#pragma once
// The telephony seam: what the telephony library loads by name ("TAPI32") and calls, version 1.4 of the
// line API. A provider stands for a loaded library; each line function it exports is one virtual call,
// with the API's arguments, records and result codes (0, a positive asynchronous request identifier, or
// a negative line error). The callback handed to LineInitialize is called on the thread that initialised,
// from its event loop, never from inside a line function.
//
// No provider exists on Linux: the lookup finds none, and the library takes its "not available" road.
// Tests install a simulated one. No Qt here.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class QWidget;

namespace platform {

using HLINEAPP = std::uint32_t;
using HLINE = std::uint32_t;
using HCALL = std::uint32_t;

// The callback: device handle, message, the instance given to LineOpen (0 for application-wide messages)
// and three parameters.
using LineCallback = void (*)(std::uint32_t device, std::uint32_t message, std::uintptr_t instance,
                              std::uint32_t param1, std::uint32_t param2, std::uint32_t param3);

// Line errors (negative as 32-bit results).
inline constexpr std::int32_t LineError(std::uint32_t code) { return static_cast<std::int32_t>(code); }
inline constexpr std::int32_t LINEERR_ALLOCATED = LineError(0x80000001);
inline constexpr std::int32_t LINEERR_BADDEVICEID = LineError(0x80000002);
inline constexpr std::int32_t LINEERR_CALLUNAVAIL = LineError(0x80000005);
inline constexpr std::int32_t LINEERR_INCOMPATIBLEAPIVERSION = LineError(0x8000000C);
inline constexpr std::int32_t LINEERR_INUSE = LineError(0x8000000F);
inline constexpr std::int32_t LINEERR_INVALAPPHANDLE = LineError(0x80000014);
inline constexpr std::int32_t LINEERR_INVALCALLHANDLE = LineError(0x80000018);
inline constexpr std::int32_t LINEERR_INVALCALLSTATE = LineError(0x8000001C);
inline constexpr std::int32_t LINEERR_INVALDEVICECLASS = LineError(0x80000023);
inline constexpr std::int32_t LINEERR_INVALLINEHANDLE = LineError(0x8000002B);
inline constexpr std::int32_t LINEERR_INVALPARAM = LineError(0x80000032);
inline constexpr std::int32_t LINEERR_INVALPOINTER = LineError(0x80000035);
inline constexpr std::int32_t LINEERR_LINEMAPPERFAILED = LineError(0x80000040);
inline constexpr std::int32_t LINEERR_NODEVICE = LineError(0x80000042);
inline constexpr std::int32_t LINEERR_NODRIVER = LineError(0x80000043);
inline constexpr std::int32_t LINEERR_NOMEM = LineError(0x80000044);
inline constexpr std::int32_t LINEERR_NOTOWNER = LineError(0x80000046);
inline constexpr std::int32_t LINEERR_OPERATIONFAILED = LineError(0x80000048);
inline constexpr std::int32_t LINEERR_OPERATIONUNAVAIL = LineError(0x80000049);
inline constexpr std::int32_t LINEERR_RESOURCEUNAVAIL = LineError(0x8000004B);
inline constexpr std::int32_t LINEERR_STRUCTURETOOSMALL = LineError(0x8000004D);
inline constexpr std::int32_t LINEERR_UNINITIALIZED = LineError(0x80000050);
inline constexpr std::int32_t LINEERR_REINIT = LineError(0x80000052);

// Callback messages.
inline constexpr std::uint32_t LINE_ADDRESSSTATE = 0;
inline constexpr std::uint32_t LINE_CALLINFO = 1;
inline constexpr std::uint32_t LINE_CALLSTATE = 2;
inline constexpr std::uint32_t LINE_CLOSE = 3;
inline constexpr std::uint32_t LINE_GENERATE = 7;
inline constexpr std::uint32_t LINE_LINEDEVSTATE = 8;
inline constexpr std::uint32_t LINE_MONITORDIGITS = 9;
inline constexpr std::uint32_t LINE_MONITORMEDIA = 10;
inline constexpr std::uint32_t LINE_MONITORTONE = 11;
inline constexpr std::uint32_t LINE_REPLY = 12;
inline constexpr std::uint32_t LINE_REQUEST = 13;
inline constexpr std::uint32_t LINE_CREATE = 19;

// Call states, one bit each.
inline constexpr std::uint32_t LINECALLSTATE_IDLE = 0x1;
inline constexpr std::uint32_t LINECALLSTATE_OFFERING = 0x2;
inline constexpr std::uint32_t LINECALLSTATE_ACCEPTED = 0x4;
inline constexpr std::uint32_t LINECALLSTATE_DIALTONE = 0x8;
inline constexpr std::uint32_t LINECALLSTATE_DIALING = 0x10;
inline constexpr std::uint32_t LINECALLSTATE_RINGBACK = 0x20;
inline constexpr std::uint32_t LINECALLSTATE_BUSY = 0x40;
inline constexpr std::uint32_t LINECALLSTATE_SPECIALINFO = 0x80;
inline constexpr std::uint32_t LINECALLSTATE_CONNECTED = 0x100;
inline constexpr std::uint32_t LINECALLSTATE_PROCEEDING = 0x200;
inline constexpr std::uint32_t LINECALLSTATE_ONHOLD = 0x400;
inline constexpr std::uint32_t LINECALLSTATE_DISCONNECTED = 0x4000;
inline constexpr std::uint32_t LINECALLSTATE_UNKNOWN = 0x8000;

inline constexpr std::uint32_t LINEDISCONNECTMODE_NORMAL = 0x1;
inline constexpr std::uint32_t LINEDISCONNECTMODE_REJECT = 0x4;
inline constexpr std::uint32_t LINEDISCONNECTMODE_BUSY = 0x20;
inline constexpr std::uint32_t LINEDISCONNECTMODE_NOANSWER = 0x40;
inline constexpr std::uint32_t LINEDISCONNECTMODE_NODIALTONE = 0x1000;

inline constexpr std::uint32_t LINEDEVSTATE_OTHER = 0x1;
inline constexpr std::uint32_t LINEDEVSTATE_RINGING = 0x2;
inline constexpr std::uint32_t LINEDEVSTATE_DISCONNECTED = 0x8;
inline constexpr std::uint32_t LINEDEVSTATE_OUTOFSERVICE = 0x80;
inline constexpr std::uint32_t LINEDEVSTATE_MAINTENANCE = 0x100;
inline constexpr std::uint32_t LINEDEVSTATE_REINIT = 0x40000;
inline constexpr std::uint32_t LINEDEVSTATE_ALL = 0x1FFFFFF;
inline constexpr std::uint32_t LINEADDRESSSTATE_ALL = 0x1FF;

inline constexpr std::uint32_t LINEMEDIAMODE_UNKNOWN = 0x2;
inline constexpr std::uint32_t LINEMEDIAMODE_INTERACTIVEVOICE = 0x4;
inline constexpr std::uint32_t LINEMEDIAMODE_AUTOMATEDVOICE = 0x8;
inline constexpr std::uint32_t LINEMEDIAMODE_DATAMODEM = 0x10;
inline constexpr std::uint32_t LINEMEDIAMODE_G3FAX = 0x20;

inline constexpr std::uint32_t LINEBEARERMODE_VOICE = 0x1;
inline constexpr std::uint32_t LINEBEARERMODE_PASSTHROUGH = 0x40;
inline constexpr std::uint32_t LINECALLPARAMFLAGS_IDLE = 0x2;
inline constexpr std::uint32_t LINEADDRESSMODE_ADDRESSID = 0x1;
inline constexpr std::uint32_t LINECALLPRIVILEGE_NONE = 0x1;
inline constexpr std::uint32_t LINECALLPRIVILEGE_OWNER = 0x4;
inline constexpr std::uint32_t LINECALLSELECT_LINE = 0x1;
inline constexpr std::uint32_t LINECALLSELECT_CALL = 0x4;
inline constexpr std::uint32_t LINECALLINFOSTATE_CALLERID = 0x8000;
inline constexpr std::uint32_t LINETRANSLATEOPTION_CANCELCALLWAITING = 0x2;

inline constexpr std::uint32_t LINECALLPARTYID_BLOCKED = 0x1;
inline constexpr std::uint32_t LINECALLPARTYID_OUTOFAREA = 0x2;
inline constexpr std::uint32_t LINECALLPARTYID_NAME = 0x4;
inline constexpr std::uint32_t LINECALLPARTYID_ADDRESS = 0x8;
inline constexpr std::uint32_t LINECALLPARTYID_UNKNOWN = 0x20;
inline constexpr std::uint32_t LINECALLPARTYID_UNAVAIL = 0x40;

inline constexpr std::uint32_t STRINGFORMAT_ASCII = 1;
inline constexpr std::uint32_t STRINGFORMAT_BINARY = 4;

inline constexpr std::uint32_t kTapiVersion14 = 0x10004;

// The records, laid out as the API publishes them. Variable-size ones begin with the total, needed and
// used sizes; their variable parts follow the fixed part at the offsets the fixed part names.
struct LINEEXTENSIONID {
  std::uint32_t dwExtensionID0, dwExtensionID1, dwExtensionID2, dwExtensionID3;
};

struct LINEDIALPARAMS {
  std::uint32_t dwDialPause, dwDialSpeed, dwDigitDuration, dwWaitForDialtone;
};

struct LINEDEVCAPS {
  std::uint32_t dwTotalSize, dwNeededSize, dwUsedSize;
  std::uint32_t dwProviderInfoSize, dwProviderInfoOffset;
  std::uint32_t dwSwitchInfoSize, dwSwitchInfoOffset;
  std::uint32_t dwPermanentLineID;
  std::uint32_t dwLineNameSize, dwLineNameOffset;
  std::uint32_t dwStringFormat, dwAddressModes, dwNumAddresses, dwBearerModes, dwMaxRate, dwMediaModes;
  std::uint32_t dwGenerateToneModes, dwGenerateToneMaxNumFreq, dwGenerateDigitModes, dwMonitorToneMaxNumFreq;
  std::uint32_t dwMonitorToneMaxNumEntries, dwMonitorDigitModes, dwGatherDigitsMinTimeout, dwGatherDigitsMaxTimeout;
  std::uint32_t dwMedCtlDigitMaxListSize, dwMedCtlMediaMaxListSize, dwMedCtlToneMaxListSize;
  std::uint32_t dwMedCtlCallStateMaxListSize;
  std::uint32_t dwDevCapFlags, dwMaxNumActiveCalls, dwAnswerMode, dwRingModes, dwLineStates;
  std::uint32_t dwUUIAcceptSize, dwUUIAnswerSize, dwUUIMakeCallSize, dwUUIDropSize, dwUUISendUserUserInfoSize;
  std::uint32_t dwUUICallInfoSize;
  LINEDIALPARAMS MinDialParams, MaxDialParams, DefaultDialParams;
  std::uint32_t dwNumTerminals, dwTerminalCapsSize, dwTerminalCapsOffset, dwTerminalTextEntrySize;
  std::uint32_t dwTerminalTextSize, dwTerminalTextOffset, dwDevSpecificSize, dwDevSpecificOffset;
  std::uint32_t dwLineFeatures;
};

struct LINECALLINFO {
  std::uint32_t dwTotalSize, dwNeededSize, dwUsedSize;
  HLINE hLine;
  std::uint32_t dwLineDeviceID, dwAddressID, dwBearerMode, dwRate, dwMediaMode, dwAppSpecific, dwCallID;
  std::uint32_t dwRelatedCallID, dwCallParamFlags, dwCallStates, dwMonitorDigitModes, dwMonitorMediaModes;
  LINEDIALPARAMS DialParams;
  std::uint32_t dwOrigin, dwReason, dwCompletionID, dwNumOwners, dwNumMonitors, dwCountryCode, dwTrunk;
  std::uint32_t dwCallerIDFlags, dwCallerIDSize, dwCallerIDOffset, dwCallerIDNameSize, dwCallerIDNameOffset;
  std::uint32_t dwCalledIDFlags, dwCalledIDSize, dwCalledIDOffset, dwCalledIDNameSize, dwCalledIDNameOffset;
  std::uint32_t dwConnectedIDFlags, dwConnectedIDSize, dwConnectedIDOffset, dwConnectedIDNameSize;
  std::uint32_t dwConnectedIDNameOffset;
  std::uint32_t dwRedirectionIDFlags, dwRedirectionIDSize, dwRedirectionIDOffset, dwRedirectionIDNameSize;
  std::uint32_t dwRedirectionIDNameOffset;
  std::uint32_t dwRedirectingIDFlags, dwRedirectingIDSize, dwRedirectingIDOffset, dwRedirectingIDNameSize;
  std::uint32_t dwRedirectingIDNameOffset;
  std::uint32_t dwAppNameSize, dwAppNameOffset, dwDisplayableAddressSize, dwDisplayableAddressOffset;
  std::uint32_t dwCalledPartySize, dwCalledPartyOffset, dwCommentSize, dwCommentOffset, dwDisplaySize;
  std::uint32_t dwDisplayOffset, dwUserUserInfoSize, dwUserUserInfoOffset, dwHighLevelCompSize;
  std::uint32_t dwHighLevelCompOffset, dwLowLevelCompSize, dwLowLevelCompOffset, dwChargingInfoSize;
  std::uint32_t dwChargingInfoOffset, dwTerminalModesSize, dwTerminalModesOffset, dwDevSpecificSize;
  std::uint32_t dwDevSpecificOffset;
};

struct LINECALLSTATUS {
  std::uint32_t dwTotalSize, dwNeededSize, dwUsedSize;
  std::uint32_t dwCallState, dwCallStateMode, dwCallPrivilege, dwCallFeatures;
  std::uint32_t dwDevSpecificSize, dwDevSpecificOffset;
};

struct LINETRANSLATEOUTPUT {
  std::uint32_t dwTotalSize, dwNeededSize, dwUsedSize;
  std::uint32_t dwDialableStringSize, dwDialableStringOffset, dwDisplayableStringSize, dwDisplayableStringOffset;
  std::uint32_t dwCurrentCountry, dwDestCountry, dwTranslateResults;
};

struct LINECALLPARAMS {
  std::uint32_t dwTotalSize, dwBearerMode, dwMinRate, dwMaxRate, dwMediaMode, dwCallParamFlags, dwAddressMode;
  std::uint32_t dwAddressID;
  LINEDIALPARAMS DialParams;
  std::uint32_t dwOrigAddressSize, dwOrigAddressOffset, dwDisplayableAddressSize, dwDisplayableAddressOffset;
  std::uint32_t dwCalledPartySize, dwCalledPartyOffset, dwCommentSize, dwCommentOffset, dwUserUserInfoSize;
  std::uint32_t dwUserUserInfoOffset, dwHighLevelCompSize, dwHighLevelCompOffset, dwLowLevelCompSize;
  std::uint32_t dwLowLevelCompOffset, dwDevSpecificSize, dwDevSpecificOffset;
};

struct VARSTRING {
  std::uint32_t dwTotalSize, dwNeededSize, dwUsedSize;
  std::uint32_t dwStringFormat, dwStringSize, dwStringOffset;
};

// Records the library only passes through.
struct LINEGENERATETONE;
struct LINEMONITORTONE;
struct LINECOUNTRYLIST;
struct LINEADDRESSSTATUS;
struct LINETRANSLATECAPS;

static_assert(sizeof(LINEDEVCAPS) == 240 && sizeof(LINECALLINFO) == 296 && sizeof(LINECALLSTATUS) == 36 &&
              sizeof(LINETRANSLATEOUTPUT) == 40 && sizeof(LINECALLPARAMS) == 112 && sizeof(VARSTRING) == 24);

// A loaded telephony library. Every function is there to be overridden; one the provider does not export
// (Exports is false) is never called.
class TelephonyProvider {
 public:
  virtual ~TelephonyProvider() = default;

  // Whether the library has the line function of that name ("lineInitialize", ...).
  virtual bool Exports(std::string_view name) const = 0;

  virtual std::int32_t LineGenerateTone(HCALL call, std::uint32_t toneMode, std::uint32_t duration,
                                        std::uint32_t numTones, const LINEGENERATETONE* tones);
  virtual std::int32_t LineMonitorTones(HCALL call, const LINEMONITORTONE* toneList, std::uint32_t numEntries);
  virtual std::int32_t LineSetCallParams(HCALL call, std::uint32_t bearerMode, std::uint32_t minRate,
                                         std::uint32_t maxRate, const LINEDIALPARAMS* dialParams);
  virtual std::int32_t LineHandoff(HCALL call, const char* fileName, std::uint32_t mediaMode);
  virtual std::int32_t LineMonitorMedia(HCALL call, std::uint32_t mediaModes);
  virtual std::int32_t LineGenerateDigits(HCALL call, std::uint32_t digitMode, const char* digits,
                                          std::uint32_t duration);
  virtual std::int32_t LineMonitorDigits(HCALL call, std::uint32_t digitModes);
  virtual std::int32_t LineInitialize(HLINEAPP* lineApp, void* instance, LineCallback callback, const char* appName,
                                      std::uint32_t* numDevs);
  virtual std::int32_t LineShutdown(HLINEAPP lineApp);
  virtual std::int32_t LineNegotiateAPIVersion(HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t lowVersion,
                                               std::uint32_t highVersion, std::uint32_t* apiVersion,
                                               LINEEXTENSIONID* extensionID);
  virtual std::int32_t LineGetDevCaps(HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t apiVersion,
                                      std::uint32_t extVersion, LINEDEVCAPS* devCaps);
  virtual std::int32_t LineOpen(HLINEAPP lineApp, std::uint32_t deviceID, HLINE* line, std::uint32_t apiVersion,
                                std::uint32_t extVersion, std::uintptr_t callbackInstance, std::uint32_t privileges,
                                std::uint32_t mediaModes, const LINECALLPARAMS* callParams);
  virtual std::int32_t LineMakeCall(HLINE line, HCALL* call, const char* destAddress, std::uint32_t countryCode,
                                    const LINECALLPARAMS* callParams);
  virtual std::int32_t LineAccept(HCALL call, const char* userUserInfo, std::uint32_t size);
  virtual std::int32_t LineAnswer(HCALL call, const char* userUserInfo, std::uint32_t size);
  virtual std::int32_t LineDeallocateCall(HCALL call);
  virtual std::int32_t LineDrop(HCALL call, const char* userUserInfo, std::uint32_t size);
  virtual std::int32_t LineClose(HLINE line);
  virtual std::int32_t LineGetCountry(std::uint32_t countryID, std::uint32_t apiVersion, LINECOUNTRYLIST* list);
  virtual std::int32_t LineConfigDialog(std::uint32_t deviceID, QWidget* owner, const char* deviceClass);
  virtual std::int32_t LineConfigDialogEdit(std::uint32_t deviceID, QWidget* owner, const char* deviceClass,
                                            const void* configIn, std::uint32_t size, VARSTRING* configOut);
  virtual std::int32_t LineGetID(HLINE line, std::uint32_t addressID, HCALL call, std::uint32_t select,
                                 VARSTRING* deviceID, const char* deviceClass);
  virtual std::int32_t LineSetStatusMessages(HLINE line, std::uint32_t lineStates, std::uint32_t addressStates);
  virtual std::int32_t LineGetStatusMessages(HLINE line, std::uint32_t* lineStates, std::uint32_t* addressStates);
  virtual std::int32_t LineGetAddressStatus(HLINE line, std::uint32_t addressID, LINEADDRESSSTATUS* status);
  virtual std::int32_t LineGetDevConfig(std::uint32_t deviceID, VARSTRING* config, const char* deviceClass);
  virtual std::int32_t LineSetDevConfig(std::uint32_t deviceID, const void* config, std::uint32_t size,
                                        const char* deviceClass);
  virtual std::int32_t LineGetCallInfo(HCALL call, LINECALLINFO* callInfo);
  virtual std::int32_t LineGetCallStatus(HCALL call, LINECALLSTATUS* callStatus);
  virtual std::int32_t LineSetMediaMode(HCALL call, std::uint32_t mediaModes);
  virtual std::int32_t LineTranslateAddress(HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t apiVersion,
                                            const char* addressIn, std::uint32_t card, std::uint32_t options,
                                            LINETRANSLATEOUTPUT* output);
  virtual std::int32_t LineTranslateDialog(HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t apiVersion,
                                           QWidget* owner, const char* addressIn);
  virtual std::int32_t LineSetCurrentLocation(HLINEAPP lineApp, std::uint32_t location);
  virtual std::int32_t LineSetTollList(HLINEAPP lineApp, std::uint32_t deviceID, const char* addressIn,
                                       std::uint32_t tollListOption);
  virtual std::int32_t LineGetTranslateCaps(HLINEAPP lineApp, std::uint32_t apiVersion, LINETRANSLATECAPS* caps);
};

// Finds and frees telephony libraries by name, as the platform's library loader does.
class TelephonyProviders {
 public:
  virtual ~TelephonyProviders() = default;
  // The library of that name, or null when there is none.
  virtual TelephonyProvider* Load(const std::string& name) = 0;
  virtual void Free(TelephonyProvider* provider) = 0;
};

// The installed lookup. Until one is installed, the program's own: it finds no library on Linux.
TelephonyProviders& Providers();
// Installs a lookup (not owned) and returns the previous one; nullptr restores the program's own.
TelephonyProviders* SetProviders(TelephonyProviders* providers);

}  // namespace platform
