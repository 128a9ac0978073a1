#include "serial/lk_exception.h"

#include <ios>
#include <new>
#include <system_error>
#include <unordered_map>

#include "serial/error_text.h"
#include "serial/lk_base_component.h"

namespace serial {

namespace {

std::string CodeText(std::int32_t code) {
  std::string text = LkLoadStr(code);
  return text.empty() ? "LK exception" : text;
}

using Raiser = void (*)(std::int32_t);

template <typename E>
[[noreturn]] void Raise(std::int32_t code) {
  throw E(code);
}

const std::unordered_map<std::int32_t, Raiser>& ClassByCode() {
  static const std::unordered_map<std::int32_t, Raiser> table = [] {
    std::unordered_map<std::int32_t, Raiser> t = {
        {-1002, Raise<EBadArgument>},
        {-1003, Raise<EGotQuitMsg>},
        {-1004, Raise<EBufferTooBig>},
        {-1005, Raise<EPortNotAssigned>},
        {-1006, Raise<EInternal>},
        {-7003, Raise<EInternal>},
        {-7006, Raise<EInternal>},
        {-7012, Raise<EInternal>},
        {-1007, Raise<EModemNotAssigned>},
        {-1008, Raise<EPhonebookNotAssigned>},
        {-1009, Raise<ECannotUseWithWinSock>},
        {-2001, Raise<EBadId>},
        {-2002, Raise<EBaudRate>},
        {-2003, Raise<EByteSize>},
        {-2004, Raise<EDefault>},
        {-2005, Raise<EHardware>},
        {-2006, Raise<EMemory>},
        {-2007, Raise<ECommNotOpen>},
        {-2008, Raise<EAlreadyOpen>},
        {-2009, Raise<ENoHandles>},
        {-2010, Raise<ENoTimers>},
        {-2011, Raise<ENoPortSelected>},
        {-2012, Raise<ENotOpenedByTapi>},
        {-3001, Raise<ENullApi>},
        {-3003, Raise<ERegisterHandlerFailed>},
        {-3004, Raise<EPutBlockFail>},
        {-3005, Raise<EGetBlockFail>},
        {-3006, Raise<EOutputBufferTooSmall>},
        {-3007, Raise<EBufferIsEmpty>},
        {-3008, Raise<ETracingNotEnabled>},
        {-3009, Raise<ELoggingNotEnabled>},
        {-3010, Raise<EBaseAddressNotSet>},
        {-4001, Raise<EModemNotStarted>},
        {-4002, Raise<EModemBusy>},
        {-4003, Raise<EModemNotDialing>},
        {-4004, Raise<ENotDialing>},
        {-4005, Raise<EAlreadyDialing>},
        {-4006, Raise<EModemNotResponding>},
        {-4007, Raise<EModemRejectedCommand>},
        {-4008, Raise<EModemStatusMismatch>},
        {-5002, Raise<ETriggerTooLong>},
        {-5003, Raise<EBadTriggerHandle>},
        {-7001, Raise<EKeyTooLong>},
        {-7002, Raise<EDataTooLarge>},
        {-7004, Raise<EIniWrite>},
        {-7005, Raise<EIniRead>},
        {-7007, Raise<ERecordExists>},
        {-7008, Raise<ERecordNotFound>},
        {-7010, Raise<EDatabaseFull>},
        {-7011, Raise<EDatabaseEmpty>},
        {-7013, Raise<EBadFieldList>},
        {-7014, Raise<EBadFieldForIndex>},
        {-8001, Raise<EFaxBadFormat>},
        {-8002, Raise<EBadGraphicsFormat>},
        {-8003, Raise<EConvertAbort>},
        {-8004, Raise<EUnpackAbort>},
        {-8005, Raise<ECantMakeBitmap>},
        {-8053, Raise<EInvalidPageNumber>},
        {-8060, Raise<EFaxBadMachine>},
        {-8061, Raise<EFaxBadModemResult>},
        {-8062, Raise<EFaxTrainError>},
        {-8063, Raise<EFaxInitError>},
        {-8064, Raise<EFaxBusy>},
        {-8065, Raise<EFaxVoiceCall>},
        {-8066, Raise<EFaxDataCall>},
        {-8067, Raise<EFaxNoDialTone>},
        {-8068, Raise<EFaxNoCarrier>},
        {-8069, Raise<EFaxSessionError>},
        {-8070, Raise<EFaxPageError>},
        {-13928, Raise<ETapiBusy>},
        {-13929, Raise<ETapiNotSet>},
        {-13930, Raise<ETapiNoSelect>},
        {-13931, Raise<ETapiLoadFail>},
        {-13932, Raise<ETapiGetAddrFail>},
        {-13933, Raise<ETapi16Disabled>},
        // The telephony side raises its unexpected-state error through this code.
        {-13934, Raise<ETapiUnexpected>},
        {-13935, Raise<ETapiVoiceNotSupported>},
        {-13936, Raise<ETapiWaveFail>},
        {-13942, Raise<ETapiTranslateFail>},
        {-13980, Raise<ERasLoadFail>},
    };
    std::int32_t code = -13801;
#define ZELTA_TAPI_ENTRY(Name)                  \
  if (code == -13804 || code == -13849) --code; \
  t.emplace(code--, Raise<Name>);
    ZELTA_TAPI_LINE_ERRORS(ZELTA_TAPI_ENTRY)
#undef ZELTA_TAPI_ENTRY
    return t;
  }();
  return table;
}

struct Group {
  std::int32_t Low, High;
  Raiser Raise;
};

// Codes without a class of their own keep their group; the permission code joins the port-open group.
const Group kGroups[] = {
    {1001, 1009, Raise<EGeneral>},  {2001, 2013, Raise<EOpenComm>}, {3001, 3010, Raise<ESerialIO>},
    {4001, 4008, Raise<EModem>},    {5001, 5003, Raise<ETrigger>},  {5501, 5506, Raise<EPacket>},
    {6001, 6016, Raise<EProtocol>}, {7001, 7014, Raise<EINI>},      {8001, 8092, Raise<EFax>},
    {13801, 13945, Raise<ETapi>},   {13980, 13980, Raise<ERas>},
};

}  // namespace

ELkException::ELkException(std::int32_t code, bool) : ELkException(code, CodeText(code)) {}

ELkException::ELkException(const std::string& text, bool) : ELkException(0, text) {}

void RaiseLkException(std::int32_t code) {
  const auto& table = ClassByCode();
  if (auto it = table.find(code); it != table.end()) it->second(code);
  std::int64_t magnitude = code < 0 ? -static_cast<std::int64_t>(code) : code;
  for (const Group& g : kGroups)
    if (magnitude >= g.Low && magnitude <= g.High) g.Raise(code);
  throw ELkException(code);
}

std::int32_t CheckException(const TLkBaseComponent* component, std::int32_t code) {
  if (code >= 0 || (component && component->Loading())) return code;
  RaiseLkException(code);
}

std::int32_t XlatException(const std::exception& e) {
  if (auto lk = dynamic_cast<const ELkException*>(&e)) return lk->ErrorCode;
  if (auto io = dynamic_cast<const std::system_error*>(&e)) return SystemErrorCode(io->code().value());
  if (dynamic_cast<const std::bad_alloc*>(&e)) return -8;
  return -9999;
}

std::int32_t XlatException(std::exception_ptr e) {
  try {
    if (e) std::rethrow_exception(e);
  } catch (const std::exception& x) {
    return XlatException(x);
  } catch (...) {
  }
  return -9999;
}

}  // namespace serial
