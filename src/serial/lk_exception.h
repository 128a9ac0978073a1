#pragma once
// The library's exception classes and the routines that turn error codes into them. Engines return codes;
// components raise them through CheckException, which picks the class by code.
#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>

namespace serial {

class TLkBaseComponent;

// Root of the library's exceptions: a message, a help context and the error code.
class ELkException : public std::runtime_error {
 public:
  // Message = the code's text (LkLoadStr); "LK exception" when the code has none. The flag is unused.
  explicit ELkException(std::int32_t code, bool flag = false);
  // ErrorCode 0, message = text. The flag is unused.
  explicit ELkException(const std::string& text, bool flag = false);

  std::int32_t ErrorCode = 0;
  int HelpContext = 0;

  std::string Message() const { return what(); }
  static std::int32_t MapCodeToStringID(std::int32_t code) { return code < 0 ? -code : code; }

 protected:
  ELkException(std::int32_t code, const std::string& text) : std::runtime_error(text), ErrorCode(code) {}
};

#define ZELTA_LK_EXCEPTION(Name, Base) \
  class Name : public Base {           \
   public:                             \
    using Base::Base;                  \
  };

// Group classes.
ZELTA_LK_EXCEPTION(EGeneral, ELkException)
ZELTA_LK_EXCEPTION(EOpenComm, ELkException)
ZELTA_LK_EXCEPTION(ESerialIO, ELkException)
ZELTA_LK_EXCEPTION(EModem, ELkException)
ZELTA_LK_EXCEPTION(ETrigger, ELkException)
ZELTA_LK_EXCEPTION(EPacket, ELkException)
ZELTA_LK_EXCEPTION(EProtocol, ELkException)
ZELTA_LK_EXCEPTION(EINI, ELkException)
ZELTA_LK_EXCEPTION(EFax, ELkException)
ZELTA_LK_EXCEPTION(ETapi, ELkException)
ZELTA_LK_EXCEPTION(ERas, ELkException)
ZELTA_LK_EXCEPTION(ELkTerminal, ELkException)

// General.
ZELTA_LK_EXCEPTION(EBadArgument, EGeneral)
ZELTA_LK_EXCEPTION(EGotQuitMsg, EGeneral)
ZELTA_LK_EXCEPTION(EBufferTooBig, EGeneral)
ZELTA_LK_EXCEPTION(EPortNotAssigned, EGeneral)
ZELTA_LK_EXCEPTION(EInternal, EGeneral)
ZELTA_LK_EXCEPTION(EModemNotAssigned, EGeneral)
ZELTA_LK_EXCEPTION(EPhonebookNotAssigned, EGeneral)
ZELTA_LK_EXCEPTION(ECannotUseWithWinSock, EGeneral)

// Opening a port.
ZELTA_LK_EXCEPTION(EBadId, EOpenComm)
ZELTA_LK_EXCEPTION(EBaudRate, EOpenComm)
ZELTA_LK_EXCEPTION(EByteSize, EOpenComm)
ZELTA_LK_EXCEPTION(EDefault, EOpenComm)
ZELTA_LK_EXCEPTION(EHardware, EOpenComm)
ZELTA_LK_EXCEPTION(EMemory, EOpenComm)
ZELTA_LK_EXCEPTION(ECommNotOpen, EOpenComm)
ZELTA_LK_EXCEPTION(EAlreadyOpen, EOpenComm)
ZELTA_LK_EXCEPTION(ENoHandles, EOpenComm)
ZELTA_LK_EXCEPTION(ENoTimers, EOpenComm)
ZELTA_LK_EXCEPTION(ENoPortSelected, EOpenComm)
ZELTA_LK_EXCEPTION(ENotOpenedByTapi, EOpenComm)

// Serial input and output.
ZELTA_LK_EXCEPTION(ENullApi, ESerialIO)
ZELTA_LK_EXCEPTION(ERegisterHandlerFailed, ESerialIO)
ZELTA_LK_EXCEPTION(EPutBlockFail, ESerialIO)
ZELTA_LK_EXCEPTION(EGetBlockFail, ESerialIO)
ZELTA_LK_EXCEPTION(EOutputBufferTooSmall, ESerialIO)
ZELTA_LK_EXCEPTION(EBufferIsEmpty, ESerialIO)
ZELTA_LK_EXCEPTION(ETracingNotEnabled, ESerialIO)
ZELTA_LK_EXCEPTION(ELoggingNotEnabled, ESerialIO)
ZELTA_LK_EXCEPTION(EBaseAddressNotSet, ESerialIO)

// Modem and dialer.
ZELTA_LK_EXCEPTION(EModemNotStarted, EModem)
ZELTA_LK_EXCEPTION(EModemBusy, EModem)
ZELTA_LK_EXCEPTION(EModemNotDialing, EModem)
ZELTA_LK_EXCEPTION(ENotDialing, EModem)
ZELTA_LK_EXCEPTION(EAlreadyDialing, EModem)
ZELTA_LK_EXCEPTION(EModemNotResponding, EModem)
ZELTA_LK_EXCEPTION(EModemRejectedCommand, EModem)
ZELTA_LK_EXCEPTION(EModemStatusMismatch, EModem)

// Triggers.
ZELTA_LK_EXCEPTION(ETriggerTooLong, ETrigger)
ZELTA_LK_EXCEPTION(EBadTriggerHandle, ETrigger)

// Packets.
ZELTA_LK_EXCEPTION(EInvalidProperty, EPacket)
ZELTA_LK_EXCEPTION(EStringSizeError, EPacket)

// File-transfer protocols.
ZELTA_LK_EXCEPTION(ETimeout, EProtocol)
ZELTA_LK_EXCEPTION(ETooManyErrors, EProtocol)
ZELTA_LK_EXCEPTION(ESequenceError, EProtocol)

// INI database.
ZELTA_LK_EXCEPTION(EKeyTooLong, EINI)
ZELTA_LK_EXCEPTION(EDataTooLarge, EINI)
ZELTA_LK_EXCEPTION(EIniWrite, EINI)
ZELTA_LK_EXCEPTION(EIniRead, EINI)
ZELTA_LK_EXCEPTION(ERecordExists, EINI)
ZELTA_LK_EXCEPTION(ERecordNotFound, EINI)
ZELTA_LK_EXCEPTION(EDatabaseFull, EINI)
ZELTA_LK_EXCEPTION(EDatabaseEmpty, EINI)
ZELTA_LK_EXCEPTION(EBadFieldList, EINI)
ZELTA_LK_EXCEPTION(EBadFieldForIndex, EINI)

// Fax.
ZELTA_LK_EXCEPTION(EFaxBadFormat, EFax)
ZELTA_LK_EXCEPTION(EBadGraphicsFormat, EFax)
ZELTA_LK_EXCEPTION(EConvertAbort, EFax)
ZELTA_LK_EXCEPTION(EUnpackAbort, EFax)
ZELTA_LK_EXCEPTION(ECantMakeBitmap, EFax)
ZELTA_LK_EXCEPTION(ENoImageLoaded, EFax)
ZELTA_LK_EXCEPTION(ENoImageBlockMarked, EFax)
ZELTA_LK_EXCEPTION(EInvalidPageNumber, EFax)
ZELTA_LK_EXCEPTION(EFaxBadMachine, EFax)
ZELTA_LK_EXCEPTION(EFaxBadModemResult, EFax)
ZELTA_LK_EXCEPTION(EFaxTrainError, EFax)
ZELTA_LK_EXCEPTION(EFaxInitError, EFax)
ZELTA_LK_EXCEPTION(EFaxBusy, EFax)
ZELTA_LK_EXCEPTION(EFaxVoiceCall, EFax)
ZELTA_LK_EXCEPTION(EFaxDataCall, EFax)
ZELTA_LK_EXCEPTION(EFaxNoDialTone, EFax)
ZELTA_LK_EXCEPTION(EFaxNoCarrier, EFax)
ZELTA_LK_EXCEPTION(EFaxSessionError, EFax)
ZELTA_LK_EXCEPTION(EFaxPageError, EFax)
ZELTA_LK_EXCEPTION(EAlreadyMonitored, EFax)

// Telephony: the line errors in code order (-13801 onward, skipping -13804 and -13849), then the rest.
#define ZELTA_TAPI_LINE_ERRORS(X)                                                                                      \
  X(ETapiAllocated)                                                                                                    \
  X(ETapiBadDeviceID)                                                                                                  \
  X(ETapiBearerModeUnavail)                                                                                            \
  X(ETapiCallUnavail) X(ETapiCompletionOverrun) X(ETapiConferenceFull) X(ETapiDialBilling) X(ETapiDialDialtone)        \
      X(ETapiDialPrompt) X(ETapiDialQuiet) X(ETapiIncompatibleApiVersion) X(ETapiIncompatibleExtVersion) X(            \
          ETapiIniFileCorrupt) X(ETapiInUse) X(ETapiInvalAddress) X(ETapiInvalAddressID) X(ETapiInvalAddressMode)      \
          X(ETapiInvalAddressState) X(ETapiInvalAppHandle) X(ETapiInvalAppName) X(ETapiInvalBearerMode) X(             \
              ETapiInvalCallComplMode) X(ETapiInvalCallHandle) X(ETapiInvalCallParams) X(ETapiInvalCallPrivilege)      \
              X(ETapiInvalCallSelect) X(ETapiInvalCallState) X(ETapiInvalCallStatelist) X(ETapiInvalCard) X(           \
                  ETapiInvalCompletionID) X(ETapiInvalConfCallHandle) X(ETapiInvalConsultCallHandle)                   \
                  X(ETapiInvalCountryCode) X(ETapiInvalDeviceClass) X(ETapiInvalDeviceHandle) X(ETapiInvalDialParams)  \
                      X(ETapiInvalDigitList) X(ETapiInvalDigitMode) X(ETapiInvalDigits) X(ETapiInvalExtVersion)        \
                          X(ETapiInvalGroupID) X(ETapiInvalLineHandle) X(ETapiInvalLineState) X(ETapiInvalLocation) X( \
                              ETapiInvalMediaList) X(ETapiInvalMediaMode) X(ETapiInvalMessageID) X(ETapiInvalParam)    \
                              X(ETapiInvalParkID) X(ETapiInvalParkMode) X(ETapiInvalPointer) X(ETapiInvalPrivSelect)   \
                                  X(ETapiInvalRate) X(ETapiInvalRequestMode) X(ETapiInvalTerminalID)                   \
                                      X(ETapiInvalTerminalMode) X(ETapiInvalTimeout) X(ETapiInvalTone)                 \
                                          X(ETapiInvalToneList) X(ETapiInvalToneMode) X(ETapiInvalTransferMode)        \
                                              X(ETapiLineMapperFailed) X(ETapiNoConference) X(ETapiNoDevice)           \
                                                  X(ETapiNoDriver) X(ETapiNoMem) X(ETapiNoRequest) X(ETapiNotOwner)    \
                                                      X(ETapiNotRegistered) X(ETapiOperationFailed)                    \
                                                          X(ETapiOperationUnavail) X(ETapiRateUnavail)                 \
                                                              X(ETapiResourceUnavail) X(ETapiRequestOverrun)           \
                                                                  X(ETapiStructureTooSmall) X(ETapiTargetNotFound)     \
                                                                      X(ETapiTargetSelf) X(ETapiUninitialized)         \
                                                                          X(ETapiUserUserInfoTooBig) X(ETapiReinit)    \
                                                                              X(ETapiAddressBlocked)                   \
                                                                                  X(ETapiBillingRejected)              \
                                                                                      X(ETapiInvalFeature)             \
                                                                                          X(ETapiNoMultipleInstance)

#define ZELTA_TAPI_CLASS(Name) ZELTA_LK_EXCEPTION(Name, ETapi)
ZELTA_TAPI_LINE_ERRORS(ZELTA_TAPI_CLASS)
#undef ZELTA_TAPI_CLASS
ZELTA_LK_EXCEPTION(ETapiBusy, ETapi)
ZELTA_LK_EXCEPTION(ETapiNotSet, ETapi)
ZELTA_LK_EXCEPTION(ETapiNoSelect, ETapi)
ZELTA_LK_EXCEPTION(ETapiLoadFail, ETapi)
ZELTA_LK_EXCEPTION(ETapiGetAddrFail, ETapi)
ZELTA_LK_EXCEPTION(ETapi16Disabled, ETapi)
ZELTA_LK_EXCEPTION(ETapiUnexpected, ETapi)
ZELTA_LK_EXCEPTION(ETapiVoiceNotSupported, ETapi)
ZELTA_LK_EXCEPTION(ETapiWaveFail, ETapi)
ZELTA_LK_EXCEPTION(ETapiTranslateFail, ETapi)

ZELTA_LK_EXCEPTION(ERasLoadFail, ERas)

ZELTA_LK_EXCEPTION(ELkTermRangeError, ELkTerminal)
ZELTA_LK_EXCEPTION(ELkTermInvalidParameter, ELkTerminal)
ZELTA_LK_EXCEPTION(ELkTermTooLarge, ELkTerminal)

#undef ZELTA_LK_EXCEPTION

// Returns `code` when it is 0 or more, or while the component is being loaded; otherwise raises the class
// the code selects. A code without a class of its own raises its group's class (or the root class outside
// the grouped ranges), always with the real code and its text.
std::int32_t CheckException(const TLkBaseComponent* component, std::int32_t code);
// Raises as CheckException does for a negative code; never returns.
[[noreturn]] void RaiseLkException(std::int32_t code);

// The error code an exception stands for: an ELkException's code, an I/O error's number negated, -8 for
// an out-of-memory error, -9999 for anything else.
std::int32_t XlatException(const std::exception& e);
std::int32_t XlatException(std::exception_ptr e);

}  // namespace serial
