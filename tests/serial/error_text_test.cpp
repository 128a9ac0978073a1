#include <gtest/gtest.h>

#include <new>
#include <system_error>

#include "serial/error_codes.h"
#include "serial/error_text.h"
#include "serial/lk_base_component.h"
#include "serial/lk_exception.h"

namespace serial {
namespace {

// Runs CheckException on a negative code and hands back what it raised.
template <typename E>
E Raised(std::int32_t code) {
  try {
    CheckException(nullptr, code);
  } catch (const E& e) {
    return e;
  }
  ADD_FAILURE() << "code " << code << " did not raise the expected class";
  return E(std::string("none"));
}

TEST(CheckException, ClassTextAndCodeForTheListedCodes) {
  EXPECT_EQ(Raised<EAlreadyOpen>(-2008).ErrorCode, -2008);
  EXPECT_STREQ(Raised<EAlreadyOpen>(-2008).what(), "ie_Open - device already open");
  EXPECT_STREQ(Raised<EBadId>(-2001).what(), "ie_BadId - Specified comport doesn't exist");
  EXPECT_STREQ(Raised<EHardware>(-2005).what(), "ie_Hardware - Specified comport in use");
  EXPECT_STREQ(Raised<ENoHandles>(-2009).what(), "No more handles, can't open port");
  EXPECT_STREQ(Raised<ENoTimers>(-2010).what(), "No timers available");
  EXPECT_STREQ(Raised<ENoPortSelected>(-2011).what(), "The ComNumber property of the TLkComPort has not been set");
  EXPECT_STREQ(Raised<EPortNotAssigned>(-1005).what(), "ComPort component not assigned");
  EXPECT_STREQ(Raised<ENullApi>(-3001).what(), "No device layer specified");
  EXPECT_STREQ(Raised<EPutBlockFail>(-3004).what(), "Failed to put entire block");
  EXPECT_STREQ(Raised<EGetBlockFail>(-3005).what(), "Failed to get entire block");
  EXPECT_STREQ(Raised<EOutputBufferTooSmall>(-3006).what(), "Output buffer too small for block");
  EXPECT_STREQ(Raised<ETracingNotEnabled>(-3008).what(), "Tracing not enabled");
  EXPECT_STREQ(Raised<ELoggingNotEnabled>(-3009).what(), "Logging not enabled");
  EXPECT_STREQ(Raised<EBaseAddressNotSet>(-3010).what(), "Base address not set");
  EXPECT_STREQ(Raised<ETriggerTooLong>(-5002).what(), "Data trigger too long");
  EXPECT_STREQ(Raised<EBadTriggerHandle>(-5003).what(), "Bad trigger handle");
  EXPECT_STREQ(Raised<EDatabaseFull>(-7010).what(), "Maximum database records (999) reached");
  EXPECT_STREQ(Raised<ETapiNotSet>(-13929).what(), "TapiMode not set in TLkComPort");
  EXPECT_STREQ(Raised<ETapiCallUnavail>(-13805).what(), "Call unavailable");
  EXPECT_STREQ(Raised<ETapiNoDevice>(-13866).what(), "No device");
  EXPECT_STREQ(Raised<ETapiReinit>(-13882).what(), "Reinit failed");
  EXPECT_STREQ(Raised<ETapiStructureTooSmall>(-13877).what(), "Structure too small");
  EXPECT_STREQ(Raised<ENotOpenedByTapi>(-2012).what(), "Comport was not opened by Tapi");
}

// The modem, dialer, INI-database and telephony layers quote these texts with their codes.
TEST(CheckException, TextsTheOtherLayersQuote) {
  EXPECT_STREQ(Raised<ECannotUseWithWinSock>(-1009).what(), "Component not compatible with WinSock");
  EXPECT_STREQ(Raised<ENotDialing>(-4004).what(), "Dialer is not dialing");
  EXPECT_STREQ(Raised<EAlreadyDialing>(-4005).what(), "Dialer is already dialing");
  EXPECT_STREQ(Raised<EKeyTooLong>(-7001).what(), "Key string too long");
  EXPECT_STREQ(Raised<EDataTooLarge>(-7002).what(), "Data string too long");
  EXPECT_STREQ(Raised<EInternal>(-7003).what(), "No fields defined in database");
  EXPECT_STREQ(Raised<EIniWrite>(-7004).what(), "Generic INI file write error");
  EXPECT_STREQ(Raised<EIniRead>(-7005).what(), "Generic INI file read error");
  EXPECT_STREQ(Raised<EInternal>(-7006).what(), "No index defined for database");
  EXPECT_STREQ(Raised<ERecordNotFound>(-7008).what(), "Record not found in database");
  EXPECT_STREQ(Raised<EDatabaseEmpty>(-7011).what(), "No records in database");
  EXPECT_STREQ(Raised<EInternal>(-7012).what(), "iPrepareIniDatabase not called");
  EXPECT_STREQ(Raised<EBadFieldList>(-7013).what(), "Bad field list in INI component");
  EXPECT_STREQ(Raised<EBadFieldForIndex>(-7014).what(), "Bad field index in INI component");
  EXPECT_STREQ(Raised<ETapiLoadFail>(-13931).what(), "Failed to find/load TAPI.DLL");
  EXPECT_STREQ(Raised<ETapiGetAddrFail>(-13932).what(), "Failed to get TAPI address");
  EXPECT_STREQ(Raised<ETapiTranslateFail>(-13942).what(), "Unable to translate address");
  EXPECT_STREQ(Raised<EModemBusy>(-4002).what(), "Modem is busy elsewhere");
}

TEST(CheckException, SharedAndSkippedCodesInTheClassTable) {
  for (std::int32_t code : {-1006, -7003, -7006, -7012}) EXPECT_EQ(Raised<EInternal>(code).ErrorCode, code);
  // The telephony line errors run in order, two codes skipped.
  EXPECT_EQ(Raised<ETapiAllocated>(-13801).ErrorCode, -13801);
  EXPECT_EQ(Raised<ETapiCallUnavail>(-13805).ErrorCode, -13805);
  EXPECT_EQ(Raised<ETapiNoMultipleInstance>(-13886).ErrorCode, -13886);
  try {
    CheckException(nullptr, -13804);
    FAIL();
  } catch (const ETapiAllocated&) {
    FAIL() << "-13804 selects no leaf";
  } catch (const ETapi& e) {
    EXPECT_EQ(e.ErrorCode, -13804);
  }
  EXPECT_EQ(Raised<ERasLoadFail>(-13980).Message(), "Failed to find/load RASAPI32.DLL");
}

TEST(CheckException, CodesWithoutAClassRaiseTheirGroupWithTheirRealCodeAndText) {
  ETrigger trigger = Raised<ETrigger>(-5001);
  EXPECT_EQ(trigger.ErrorCode, -5001);
  EXPECT_STREQ(trigger.what(), "No more trigger slots");
  EXPECT_EQ(Raised<EGeneral>(-1001).Message(), "Bad handle passed to com function");

  try {
    CheckException(nullptr, -6006);
    FAIL();
  } catch (const ETimeout&) {
    FAIL() << "no code selects the protocol leaves";
  } catch (const EProtocol& e) {
    EXPECT_STREQ(e.what(), "Fatal time out");
  }

  EXPECT_EQ(Raised<ESerialIO>(-3002).ErrorCode, -3002);
  EXPECT_EQ(Raised<ETapiUnexpected>(-13934).Message(), "Unexpected TAPI error");
  EOpenComm permission = Raised<EOpenComm>(ecNoPermission);
  EXPECT_NE(std::string(permission.what()).find("dialout"), std::string::npos);

  // Outside the grouped ranges: the root class, still with the code.
  ELkException fileError = Raised<ELkException>(-2);
  EXPECT_EQ(fileError.ErrorCode, -2);
  EXPECT_STREQ(fileError.what(), "File not found");
  ELkException unknown = Raised<ELkException>(-31999);
  EXPECT_EQ(unknown.ErrorCode, -31999);
  EXPECT_STREQ(unknown.what(), "LK exception") << "no text exists for this code";
}

TEST(CheckException, PassesSuccessAndLoadingComponentsThrough) {
  EXPECT_EQ(CheckException(nullptr, 0), 0);
  EXPECT_EQ(CheckException(nullptr, 5), 5);
  TLkBaseComponent component(nullptr);
  component.SetLoadingState();  // as reading a form stream does
  EXPECT_EQ(CheckException(&component, -2008), -2008);
  component.Loaded();
  EXPECT_THROW(CheckException(&component, -2008), EAlreadyOpen);
  EXPECT_EQ(component.Version(), "v3.03");
}

TEST(ELkException, TextConstructorAndCodeMapping) {
  ELkException e(std::string("custom"), true);
  EXPECT_EQ(e.ErrorCode, 0);
  EXPECT_EQ(e.Message(), "custom");
  EXPECT_EQ(ELkException::MapCodeToStringID(-2008), 2008);
}

TEST(LkLoadStr, TableTextsAndTheSixteenBitId) {
  EXPECT_EQ(LkLoadStr(-2), "File not found");
  EXPECT_EQ(LkLoadStr(-5), "File access denied");
  EXPECT_EQ(LkLoadStr(0), "OK");
  EXPECT_EQ(LkLoadStr(15001), "No event");
  EXPECT_EQ(LkLoadStr(15102), "WriteCom");
  EXPECT_EQ(LkLoadStr(15501), "Time      Type      SubType       Data      OtherData");
  EXPECT_EQ(LkLoadStr(15601), "DCTS ") << "bit names keep their trailing blank";
  // 65536 + 2008 wraps to id 2008 once taken as 16 bits.
  EXPECT_EQ(LkLoadStr(-(65536 + 2008)), "ie_Open - device already open");
  EXPECT_EQ(ErrorMsg(-3006), "Output buffer too small for block");
  char buffer[80];
  EXPECT_STREQ(LkLoadZ(buffer, -3007), "Buffer is empty");
  EXPECT_STREQ(LkLoadZ(buffer, INT32_MIN), "");
}

TEST(LkLoadStr, FallsBackToTheSystemTextOnOneLine) {
  EXPECT_EQ(LkLoadStr(1450), "") << "no platform message table by default";
  SetSystemMessageSource([](std::int32_t id) {
    return id == 1450 ? std::string("Insufficient system\r\nresources  exist\tto complete.\r\n") : std::string();
  });
  EXPECT_EQ(LkLoadStr(1450), "Insufficient system resources exist to complete. ");
  EXPECT_EQ(LkLoadStr(-5), "File access denied") << "the table wins over the system";
  EXPECT_EQ(LkLoadStr(1451), "");
  SetSystemMessageSource(nullptr);
}

TEST(XlatException, CodesOfForeignExceptions) {
  EXPECT_EQ(XlatException(EAlreadyOpen(-2008)), -2008);
  EXPECT_EQ(XlatException(std::system_error(std::make_error_code(std::errc::no_such_file_or_directory))), -2);
  EXPECT_EQ(XlatException(std::bad_alloc()), -8);
  EXPECT_EQ(XlatException(std::logic_error("x")), -9999);
  EXPECT_EQ(XlatException(std::make_exception_ptr(42)), -9999);
}

}  // namespace
}  // namespace serial
