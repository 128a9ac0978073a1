#pragma once
// A simulated telephony library behind the platform's telephony seam: scripted line devices, outgoing
// calls with a scripted outcome, incoming calls, and a far end that can hang up. Constructing it installs
// it as the library lookup ("TAPI32" is found); destroying it restores the previous lookup. Whoever loaded
// it must free it first (the telephony library's FreeTapiLibrary).
//
// Messages reach the application's callback through the Qt event loop, one per pass and in order, as the
// telephony API delivers them; a message of a line that was closed, a call that was deallocated or an
// application that shut down is dropped. A call's state (lineGetCallStatus) changes when its state
// message is delivered.
//
// A connected call owns a fresh pseudo-terminal: lineGetID for "comm/datamodem" hands out a duplicate of
// the slave's descriptor (the caller owns it) and the test plays the far end on Pty().
#include <QObject>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/telephony_provider.h"
#include "support/pty_pair.h"

namespace testing_support {

struct SimLine {
  std::string Name;
  std::string PortName = "COM3";
  bool NegotiateFails = false;
  bool CapsFail = false;
  std::uint32_t CapsPadding = 0;  // provider bytes before the name, to make a large record
  std::vector<std::uint8_t> Config = {};
  bool Voice = true;            // a voice modem: automated-voice calls, with wave devices
  std::uint32_t WaveOutID = 7;  // its wave devices, as lineGetID reports them for a call
  std::uint32_t WaveInID = 8;
};

enum class SimCallOutcome {
  Connect,     // dial tone, dialing, proceeding, ringback, connected
  Busy,        // dial tone, dialing, proceeding, busy
  BusyDetail,  // dial tone, dialing, proceeding, disconnected for a busy line
  NoAnswer,    // dial tone, dialing, proceeding, ringback, disconnected without answer
  Ringing,     // dial tone, dialing, proceeding, ringback, and nothing more until dropped
  Refused,     // lineMakeCall fails at once
  ReplyFails,  // lineMakeCall's asynchronous reply is a failure
  NoReply,     // lineMakeCall's asynchronous reply never comes
  NoHandle,    // connects, but the call's communications handle cannot be had
};

class SimTelephony : public platform::TelephonyProviders, public platform::TelephonyProvider {
 public:
  SimTelephony();
  ~SimTelephony() override;
  SimTelephony(const SimTelephony&) = delete;
  SimTelephony& operator=(const SimTelephony&) = delete;

  // --- script ---
  std::vector<SimLine> Lines;
  std::deque<SimCallOutcome> Outcomes;         // one per lineMakeCall; Connect once they run out
  std::set<std::string> Missing;               // line functions the library lacks
  bool Installed = true;                       // false: no library can be found
  std::deque<std::int32_t> InitializeResults;  // what lineInitialize answers before it succeeds
  bool CapsTooSmallBelowKilobyte = false;      // lineGetDevCaps wants at least 1024 bytes
  std::uint32_t Rate = 9600;

  // --- the far end ---
  // The connected call ends from the far side (disconnected, normal hang-up).
  void HangUpFarEnd();
  // An incoming call on the line opened with owner privilege: offering, then `rings` rings.
  void Offer(std::uint32_t mediaMode, int rings, std::uint32_t callerIDFlags = 0, const std::string& callerID = "",
             const std::string& callerName = "");
  // A new line device appears: the application hears LINE_CREATE.
  void AddLine(const SimLine& line);
  // A line-device state message on the open line.
  void SendLineDevState(std::uint32_t state, std::uint32_t param2 = 0, std::uint32_t param3 = 0);
  // The pseudo-terminal of the last connected call (null before the first).
  PtyPair* Pty() const { return pty_.get(); }
  // The far end presses a key: calls whose digits are monitored hear of it.
  void SendDigit(char digit);

  // --- voice script ---
  std::int32_t MonitorDigitsResult = 0;  // what lineMonitorDigits answers
  std::int32_t SetMediaModeResult = 0;   // what lineSetMediaMode answers
  std::int32_t SetCallParamsReply = 0;   // the asynchronous reply of lineSetCallParams

  // --- what happened ---
  int LoadAttempts = 0, Loads = 0, Frees = 0;
  std::vector<std::string> Called;  // line functions in call order
  int Count(const std::string& function) const;
  std::vector<platform::HLINEAPP> ShutdownHandles;
  std::vector<std::uint32_t> DevCapsSizes;  // the record size of every lineGetDevCaps
  std::string LastAppName;
  std::string LastDialled;
  platform::LINECALLPARAMS LastCallParams{};
  std::uint32_t LastOpenPrivilege = 0, LastOpenMedia = 0, LastOpenDevice = 0;
  std::uint32_t LastTranslateOptions = 0, LastTranslateCard = 0;
  std::vector<std::string> ConfigDialogs;  // "<device> <class>"
  std::uint32_t MonitoredDigitModes = 0;   // of the last lineMonitorDigits
  std::string GeneratedDigits;             // every digit lineGenerateDigits sent
  std::uint32_t GeneratedDigitMode = 0;
  std::uint32_t LastBearerMode = 0, LastMinRate = 0, LastMaxRate = 0;  // of lineSetCallParams
  std::uint32_t LastMediaMode = 0;                                     // of lineSetMediaMode
  bool AnyLineOpen() const;
  int LiveApps() const;
  platform::HLINEAPP LastApp() const { return lastApp_; }

  // --- platform::TelephonyProviders ---
  platform::TelephonyProvider* Load(const std::string& name) override;
  void Free(platform::TelephonyProvider* provider) override;

  // --- platform::TelephonyProvider ---
  bool Exports(std::string_view name) const override;
  std::int32_t LineInitialize(platform::HLINEAPP* lineApp, void* instance, platform::LineCallback callback,
                              const char* appName, std::uint32_t* numDevs) override;
  std::int32_t LineShutdown(platform::HLINEAPP lineApp) override;
  std::int32_t LineNegotiateAPIVersion(platform::HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t low,
                                       std::uint32_t high, std::uint32_t* apiVersion,
                                       platform::LINEEXTENSIONID* extensionID) override;
  std::int32_t LineGetDevCaps(platform::HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t apiVersion,
                              std::uint32_t extVersion, platform::LINEDEVCAPS* devCaps) override;
  std::int32_t LineOpen(platform::HLINEAPP lineApp, std::uint32_t deviceID, platform::HLINE* line,
                        std::uint32_t apiVersion, std::uint32_t extVersion, std::uintptr_t callbackInstance,
                        std::uint32_t privileges, std::uint32_t mediaModes,
                        const platform::LINECALLPARAMS* callParams) override;
  std::int32_t LineSetStatusMessages(platform::HLINE line, std::uint32_t lineStates,
                                     std::uint32_t addressStates) override;
  std::int32_t LineMakeCall(platform::HLINE line, platform::HCALL* call, const char* destAddress,
                            std::uint32_t countryCode, const platform::LINECALLPARAMS* callParams) override;
  std::int32_t LineAccept(platform::HCALL call, const char* userUserInfo, std::uint32_t size) override;
  std::int32_t LineAnswer(platform::HCALL call, const char* userUserInfo, std::uint32_t size) override;
  std::int32_t LineDrop(platform::HCALL call, const char* userUserInfo, std::uint32_t size) override;
  std::int32_t LineDeallocateCall(platform::HCALL call) override;
  std::int32_t LineClose(platform::HLINE line) override;
  std::int32_t LineGetID(platform::HLINE line, std::uint32_t addressID, platform::HCALL call, std::uint32_t select,
                         platform::VARSTRING* deviceID, const char* deviceClass) override;
  std::int32_t LineGetCallInfo(platform::HCALL call, platform::LINECALLINFO* callInfo) override;
  std::int32_t LineGetCallStatus(platform::HCALL call, platform::LINECALLSTATUS* callStatus) override;
  std::int32_t LineConfigDialog(std::uint32_t deviceID, QWidget* owner, const char* deviceClass) override;
  std::int32_t LineConfigDialogEdit(std::uint32_t deviceID, QWidget* owner, const char* deviceClass,
                                    const void* configIn, std::uint32_t size, platform::VARSTRING* configOut) override;
  std::int32_t LineGetDevConfig(std::uint32_t deviceID, platform::VARSTRING* config, const char* deviceClass) override;
  std::int32_t LineSetDevConfig(std::uint32_t deviceID, const void* config, std::uint32_t size,
                                const char* deviceClass) override;
  std::int32_t LineTranslateAddress(platform::HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t apiVersion,
                                    const char* addressIn, std::uint32_t card, std::uint32_t options,
                                    platform::LINETRANSLATEOUTPUT* output) override;
  std::int32_t LineTranslateDialog(platform::HLINEAPP lineApp, std::uint32_t deviceID, std::uint32_t apiVersion,
                                   QWidget* owner, const char* addressIn) override;
  std::int32_t LineMonitorDigits(platform::HCALL call, std::uint32_t digitModes) override;
  std::int32_t LineGenerateDigits(platform::HCALL call, std::uint32_t digitMode, const char* digits,
                                  std::uint32_t duration) override;
  std::int32_t LineSetCallParams(platform::HCALL call, std::uint32_t bearerMode, std::uint32_t minRate,
                                 std::uint32_t maxRate, const platform::LINEDIALPARAMS* dialParams) override;
  std::int32_t LineSetMediaMode(platform::HCALL call, std::uint32_t mediaModes) override;

 private:
  struct App {
    platform::LineCallback Callback = nullptr;
    bool Live = true;
  };
  struct Line {
    platform::HLINEAPP App = 0;
    std::uint32_t DeviceID = 0;
    std::uintptr_t Instance = 0;
    std::uint32_t Privilege = 0;
    bool Open = true;
  };
  struct Call {
    platform::HLINE Line = 0;
    std::uint32_t State = 0;
    std::uint32_t Media = platform::LINEMEDIAMODE_DATAMODEM;
    std::uint32_t CallerIDFlags = 0;
    std::string CallerID, CallerName;
    bool Allocated = true;
    int SlaveFd = -1;
    bool NoHandle = false;
    std::uint32_t DigitModes = 0;  // digits monitored
  };
  struct Message {
    platform::HLINEAPP App = 0;
    platform::HLINE Line = 0;
    platform::HCALL Call = 0;
    std::uint32_t Device = 0, Msg = 0, Param1 = 0, Param2 = 0, Param3 = 0;
  };

  void Post(const Message& message);
  void Schedule();
  void DeliverOne();
  void PostCallState(platform::HCALL call, std::uint32_t state, std::uint32_t detail = 0);
  void PostReply(platform::HLINE line, std::int32_t request, std::int32_t result);
  void Purge(platform::HLINEAPP app, platform::HLINE line, platform::HCALL call);
  void ReleaseCall(Call& call);
  Line* FindLine(platform::HLINE line);
  Call* FindCall(platform::HCALL call);
  void Record(const char* function) { Called.emplace_back(function); }

  platform::TelephonyProviders* previous_ = nullptr;
  std::unique_ptr<QObject> relay_;
  bool scheduled_ = false;
  std::deque<Message> queue_;
  std::map<platform::HLINEAPP, App> apps_;
  std::map<platform::HLINE, Line> lines_;
  std::map<platform::HCALL, Call> calls_;
  std::uint32_t nextHandle_ = 0x100;
  std::int32_t nextRequest_ = 1;
  platform::HLINEAPP lastApp_ = 0;
  std::unique_ptr<PtyPair> pty_;
};

}  // namespace testing_support
