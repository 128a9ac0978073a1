#include "telephony/tapi_functions.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/sim_telephony.h"

namespace telephony {
namespace {

using namespace platform;
using testing_support::SimTelephony;

struct Wrapper {
  const char* Entry;
  std::function<std::int32_t()> Call;
};

// One call of every plain wrapper, with arguments that reach the library.
std::vector<Wrapper> AllWrappers() {
  static std::uint32_t word;
  static HLINEAPP app;
  static HLINE line;
  static HCALL call;
  static LINEEXTENSIONID extension;
  static LINECALLPARAMS params;
  static VARSTRING var;
  return {
      {"lineGenerateTone", [] { return tuLineGenerateTones(1, 0, 0, 0, nullptr); }},
      {"lineMonitorTones", [] { return tuLineMonitorTones(1, nullptr, 0); }},
      {"lineSetCallParams", [] { return tuLineSetCallParams(1, 1, 0, 0, nullptr); }},
      {"lineHandoff", [] { return tuLineHandoff(1, "x", 0); }},
      {"lineMonitorMedia", [] { return tuLineMonitorMedia(1, 0); }},
      {"lineGenerateDigits", [] { return tuLineGenerateDigits(1, 0, "1", 0); }},
      {"lineMonitorDigits", [] { return tuLineMonitorDigits(1, 0); }},
      {"lineInitialize", [] { return tuLineInitialize(&app, nullptr, nullptr, "", &word); }},
      {"lineShutdown", [] { return tuLineShutdown(77); }},
      {"lineNegotiateAPIVersion",
       [] { return tuLineNegotiateApiVersion(app, 0, kTapiVersion14, kTapiVersion14, &word, &extension); }},
      {"lineGetDevCaps", [] { return tuLineGetDevCaps(app, 0, kTapiVersion14, 0, nullptr); }},
      {"lineOpen", [] { return tuLineOpen(app, 0, &line, kTapiVersion14, 0, 0, 1, 16, nullptr); }},
      {"lineMakeCall", [] { return tuLineMakeCall(line, &call, "1", 0, &params); }},
      {"lineAccept", [] { return tuLineAccept(1, nullptr, 0); }},
      {"lineAnswer", [] { return tuLineAnswer(1, nullptr, 0); }},
      {"lineDeallocateCall", [] { return tuLineDeallocateCall(1); }},
      {"lineDrop", [] { return tuLineDrop(1, nullptr, 0); }},
      {"lineClose", [] { return tuLineClose(1); }},
      {"lineGetCountry", [] { return tuLineGetCountry(1, kTapiVersion14, nullptr); }},
      {"lineConfigDialog", [] { return tuLineConfigDialog(0, nullptr, "comm/datamodem"); }},
      {"lineConfigDialogEdit", [] { return tuLineConfigDialogEdit(0, nullptr, "comm/datamodem", "", 0, &var); }},
      {"lineGetID", [] { return tuLineGetID(1, 0, 0, LINECALLSELECT_LINE, &var, "comm/datamodem/portname"); }},
      {"lineSetStatusMessages", [] { return tuLineSetStatusMessages(1, 0, 0); }},
      {"lineGetStatusMessages", [] { return tuLineGetStatusMessages(1, &word, &word); }},
      {"lineGetAddressStatus", [] { return tuLineGetAddressStatus(1, 0, nullptr); }},
      {"lineGetDevConfig", [] { return tuLineGetDevConfig(0, &var, "comm/datamodem"); }},
      {"lineSetDevConfig", [] { return tuLineSetDevConfig(0, "", 0, "comm/datamodem"); }},
      {"lineGetCallInfo", [] { return tuLineGetCallInfo(1, nullptr); }},
      {"lineGetCallStatus", [] { return tuLineGetCallStatus(1, nullptr); }},
      {"lineSetMediaMode", [] { return tuLineSetMediaMode(1, 0); }},
      {"lineSetCurrentLocation", [] { return tuLineSetCurrentLocation(app, 0); }},
      {"lineSetTollList", [] { return tuLineSetTollList(app, 0, "1", 0); }},
      {"lineTranslateDialog", [] { return tuLineTranslateDialog(app, 0, kTapiVersion14, nullptr, "1"); }},
  };
}

class TapiFunctions : public ::testing::Test {
 protected:
  // The library is freed while the simulated one still exists.
  ~TapiFunctions() override { FreeTapiLibrary(); }
};

TEST_F(TapiFunctions, WithoutALibraryEveryWrapperAnswersLoadFailureAndLoadsNothing) {
  for (const Wrapper& w : AllWrappers()) EXPECT_EQ(w.Call(), ecTapiLoadFail) << w.Entry;
  TapiRecord<LINETRANSLATEOUTPUT> out;
  EXPECT_EQ(tuLineTranslateAddressDyn(0, 0, kTapiVersion14, "1", 0, 0, out), ecTapiLoadFail);
  EXPECT_FALSE(TapiLibraryLoaded());
}

class WithLibrary : public TapiFunctions {
 protected:
  ~WithLibrary() override { FreeTapiLibrary(); }
  SimTelephony sim;
};

TEST_F(WithLibrary, AFailedLoadIsTriedAgainAtTheNextCallAndASuccessfulOneOnlyOnce) {
  sim.Installed = false;
  EXPECT_EQ(tuLineShutdown(1), ecTapiLoadFail);
  EXPECT_EQ(tuLineClose(1), ecTapiLoadFail);
  EXPECT_EQ(sim.LoadAttempts, 2);
  sim.Installed = true;
  EXPECT_EQ(tuLineClose(1), LINEERR_INVALLINEHANDLE);  // the library answered
  EXPECT_EQ(tuLineClose(1), LINEERR_INVALLINEHANDLE);
  EXPECT_EQ(sim.Loads, 1);
  FreeTapiLibrary();
  EXPECT_EQ(sim.Frees, 1);
  EXPECT_FALSE(TapiLibraryLoaded());
}

TEST_F(WithLibrary, EveryEntryIsLookedUpByNameAndAMissingOneFailsOnlyItsWrapper) {
  for (const Wrapper& w : AllWrappers()) {
    FreeTapiLibrary();
    sim.Missing = {w.Entry};
    sim.Called.clear();
    const std::int32_t expected = std::string(w.Entry) == "lineTranslateDialog" ? -1 : ecTapiGetAddrFail;
    EXPECT_EQ(w.Call(), expected) << w.Entry;
    EXPECT_FALSE(TapiEntryFound(w.Entry));
    EXPECT_TRUE(sim.Called.empty()) << w.Entry;
    // Another wrapper still reaches the library.
    EXPECT_NE(std::string(w.Entry) == "lineShutdown" ? tuLineClose(1) : tuLineShutdown(99), ecTapiGetAddrFail);
  }
  EXPECT_EQ(kTapiEntryCount, 35);
  EXPECT_TRUE(TapiEntryFound("lineGetTranslateCaps"));
}

class GrowingRecords : public WithLibrary {
 protected:
  GrowingRecords() {
    HLINEAPP app;
    std::uint32_t count;
    EXPECT_EQ(tuLineInitialize(
                  &app, nullptr, [](auto...) {}, "", &count),
              0);
    app_ = app;
  }
  HLINEAPP app_ = 0;
};

TEST_F(GrowingRecords, DeviceCapabilitiesGrowUntilTheNameFits) {
  struct Case {
    std::uint32_t Padding;
    bool KilobyteMinimum;
    std::vector<std::uint32_t> Sizes;
  };
  const std::string name = "Zelta Modem";
  const std::uint32_t big = 2000;
  const std::vector<Case> cases = {
      {0, false, {240, 240 + 12}},               // the name did not fit: exactly what is needed
      {0, true, {240, 1024}},                    // too small: a kilobyte is enough
      {big, true, {240, 1024, 240 + big + 12}},  // more than a kilobyte: the third call, exactly sized
  };
  for (const Case& c : cases) {
    sim.Lines = {{.Name = name, .CapsPadding = c.Padding}};
    sim.CapsTooSmallBelowKilobyte = c.KilobyteMinimum;
    sim.DevCapsSizes.clear();
    TapiRecord<LINEDEVCAPS> caps;
    ASSERT_EQ(tuLineGetDevCapsDyn(app_, 0, kTapiVersion14, 0, caps), 0);
    ASSERT_TRUE(caps);
    EXPECT_EQ(sim.DevCapsSizes, c.Sizes);
    EXPECT_EQ(TapiRecordText(caps.get(), caps->dwLineNameOffset, caps->dwLineNameSize), name);
  }
}

TEST_F(GrowingRecords, AFailedCallLeavesNoRecord) {
  sim.Lines = {{.Name = "A", .CapsFail = true}};
  TapiRecord<LINEDEVCAPS> caps(static_cast<LINEDEVCAPS*>(std::calloc(1, sizeof(LINEDEVCAPS))));
  EXPECT_EQ(tuLineGetDevCapsDyn(app_, 0, kTapiVersion14, 0, caps), LINEERR_OPERATIONFAILED);
  EXPECT_FALSE(caps);
  TapiRecord<LINECALLINFO> info;
  EXPECT_EQ(tuLineGetCallInfoDyn(12345, info), LINEERR_INVALCALLHANDLE);
  EXPECT_FALSE(info);
}

TEST_F(GrowingRecords, TranslationGrowsStraightToTheNeededSize) {
  sim.Lines = {{.Name = "A"}};
  TapiRecord<LINETRANSLATEOUTPUT> out;
  ASSERT_EQ(
      tuLineTranslateAddressDyn(app_, 0, kTapiVersion14, "5551234", 0, LINETRANSLATEOPTION_CANCELCALLWAITING, out), 0);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->dwTotalSize, 40u + 12 + 8);
  EXPECT_EQ(TapiRecordText(out.get(), out->dwDialableStringOffset, out->dwDialableStringSize), "*70,5551234");
  EXPECT_EQ(TapiRecordText(out.get(), out->dwDisplayableStringOffset, out->dwDisplayableStringSize), "5551234");
  EXPECT_EQ(sim.Count("lineTranslateAddress"), 2);
}

}  // namespace
}  // namespace telephony
