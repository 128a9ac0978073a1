#pragma once
// The telephony line device: places and answers calls on a line device of the telephony API (version 1.4)
// and, once a data call is connected, hands the call's descriptor to a serial port component so that the
// port's ordinary I/O runs over the call.
//
// Everything runs on the window thread. The API's messages arrive through the event loop; the waits for
// a reply or a call state run the event loop themselves, with a deadline, and end when the application
// closes. Flags keep the start-up, the stop, the hang-up and the waits from re-entering themselves.
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/telephony_provider.h"
#include "serial/com_port.h"
#include "serial/lk_base_component.h"
#include "telephony/tapi_functions.h"
#include "telephony/tapi_log.h"
#include "tk/hidden_window.h"
#include "tk/qcomponent.h"

class QWidget;

namespace telephony {

class TLkAbstractTapiStatus;
class TTapiVoice;

// The API's call states in bit order, and one for any other state.
enum TTapiState {
  tsIdle,
  tsOffering,
  tsAccepted,
  tsDialTone,
  tsDialing,
  tsRingback,
  tsBusy,
  tsSpecialInfo,
  tsConnected,
  tsProceeding,
  tsOnHold,
  tsConferenced,
  tsOnHoldPendConf,
  tsOnHoldPendTransfer,
  tsDisconnected,
  tsUnknown,
};

// A device's configuration block.
struct TTapiConfigRec {
  std::uint32_t DataSize = 0;
  std::vector<std::uint8_t> Data;
};

using TTapiStatusEvent =
    std::function<void(tk::Component* sender, bool first, bool last, std::uint32_t device, std::uint32_t message,
                       std::uint32_t param1, std::uint32_t param2, std::uint32_t param3)>;
using TTapiLogEvent = std::function<void(tk::Component* sender, TTapiLogCode code)>;
using TTapiNotifyEvent = std::function<void(tk::Component* sender)>;
using TTapiDTMFEvent = std::function<void(tk::Component* sender, char digit, std::int32_t errorCode)>;
using TTapiCallerIDEvent = std::function<void(tk::Component* sender, const std::string& id, const std::string& name)>;

// How long the device waits. Tests shorten them.
struct TTapiTimings {
  int ReplyTimeoutMs = 30000;  // an asynchronous reply
  int StateTimeoutMs = 30000;  // a call state
  int ReinitWaitMs = 5000;     // before initialising again while the API re-initialises
  int RetryTickMs = 1000;      // one second of the wait between dial attempts
};

// Broadcast to every device when a line device appears (the original's 0x426).
inline constexpr std::uint32_t kLineCreateMessage = 1062;
// The per-user key where each process notes its telephony application handle.
inline constexpr const char* kTapiUsageKey = "\\SOFTWARE\\Kelvane\\LK\\TAPI";

class TLkCustomTapiDevice : public serial::TLkBaseQComponent {
 public:
  static constexpr int mrOk = 1;
  static constexpr int mrCancel = 2;

  explicit TLkCustomTapiDevice(tk::Component* owner);
  ~TLkCustomTapiDevice() override;
  std::string ClassName() const override { return "TLkCustomTapiDevice"; }

  // published properties
  const std::string& SelectedDevice() const { return selectedDevice_; }
  // Stores the name as it is (no check that such a device exists).
  void SetSelectedDevice(const std::string& name);
  serial::TLkCustomComPort* ComPort() const { return comPort_; }
  void SetComPort(serial::TLkCustomComPort* port);
  TLkAbstractTapiStatus* StatusDisplay() const { return statusDisplay_; }
  void SetStatusDisplay(TLkAbstractTapiStatus* display);
  TLkTapiLog* TapiLog() const { return tapiLog_; }
  void SetTapiLog(TLkTapiLog* log);
  std::uint8_t AnswerOnRing() const { return answerOnRing_; }
  void SetAnswerOnRing(std::uint8_t rings) { answerOnRing_ = rings; }
  std::uint16_t RetryWait() const { return retryWait_; }
  void SetRetryWait(std::uint16_t seconds) { retryWait_ = seconds; }
  std::uint16_t MaxAttempts() const { return maxAttempts_; }
  void SetMaxAttempts(std::uint16_t attempts) { maxAttempts_ = attempts; }
  bool ShowTapiDevices() const { return showTapiDevices_; }
  void SetShowTapiDevices(bool on) { showTapiDevices_ = on; }
  bool ShowPorts() const { return showPorts_; }
  void SetShowPorts(bool on) { showPorts_ = on; }
  bool EnableVoice() const { return enableVoice_; }
  // Turning voice on checks the selected device (which may turn it off again and raise).
  void SetEnableVoice(bool on);

  TTapiStatusEvent OnTapiStatus;
  TTapiLogEvent OnTapiLog;
  TTapiNotifyEvent OnTapiPortOpen;
  TTapiNotifyEvent OnTapiPortClose;
  TTapiNotifyEvent OnTapiConnect;
  TTapiNotifyEvent OnTapiFail;
  TTapiDTMFEvent OnTapiDTMF;
  TTapiCallerIDEvent OnTapiCallerID;

  // the line device
  // The names of all line devices, in device-identifier order.
  const std::vector<std::string>& TapiDevices() const { return tapiDevices_; }
  void SetTapiDevices(const std::vector<std::string>& names) { tapiDevices_ = names; }
  bool Open() const { return open_; }
  void SetOpen(bool open);
  // The selection dialog; mrOk or mrCancel.
  int SelectDevice();
  void ShowConfigDialog();
  void ShowConfigDialogEdit(const TTapiConfigRec& configIn, TTapiConfigRec& configOut);
  TTapiConfigRec GetDevConfig();
  void SetDevConfig(const TTapiConfigRec& config);
  // The number of the port behind the selected line ("COM3" gives 3); 0 when unknown.
  std::uint16_t ComNumber();
  std::int32_t BPSRate() const;
  std::string CallerID() const;
  std::string CallerIDName() const;
  std::string TranslateAddress(const std::string& number);
  std::int32_t TranslateAddressEx(const std::string& number, std::uint32_t card, std::string& dialable,
                                  std::string& displayable, std::uint32_t& currentCountry, std::uint32_t& destCountry,
                                  std::uint32_t& translateResults);
  bool TranslateDialog(const std::string& number);
  virtual void Assign(const TLkCustomTapiDevice& source);

  // calls
  void Dial(const std::string& number);
  void AutoAnswer();
  void ConfigAndOpen();
  void CancelCall();
  TTapiState TapiState();
  std::string TapiStatusMsg(std::uint32_t message, std::uint32_t state, std::uint32_t reason) const;
  static std::string TapiLogToString(TTapiLogCode code);
  static TTapiState StateFromCallState(std::uint32_t callState);

  // The number being dialled, the attempt and the countdown to the next one.
  const std::string& Number() const { return number_; }
  std::uint16_t Attempt() const { return attempt_; }
  int RetryCountdown() const { return retryCountdown_; }
  bool Outgoing() const { return outgoing_; }
  bool Connected() const { return connected_; }
  bool Dialing() const { return dialing_; }
  bool LineInUse() const { return inUse_; }
  platform::HLINEAPP LineApp() const { return lineApp_; }
  std::uint32_t NumDevices() const { return numDevices_; }
  platform::HLINE LineHandle() const { return line_; }
  platform::HCALL CallHandle() const { return call_; }
  bool RetryTimerActive() const { return retryTimerActive_; }
  // One tick of the wait between dial attempts (the retry timer runs this every second).
  void RetryTimerTick();

  TTapiTimings Timings;

  // Status and log: to the display and the log component, then to the events.
  void TapiStatus(bool first, bool last, std::uint32_t device, std::uint32_t message, std::uint32_t param1,
                  std::uint32_t param2, std::uint32_t param3);
  void TapiLogging(TTapiLogCode code);

  // The callback handed to lineInitialize: runs the line handlers of the device named by `instance`.
  static void TapiLineCallback(std::uint32_t device, std::uint32_t message, std::uintptr_t instance,
                               std::uint32_t param1, std::uint32_t param2, std::uint32_t param3);

  void Notification(tk::Component* component, tk::Operation operation) override;

  // line message handlers
  virtual void DoLineCallInfo(std::uint32_t device, std::uint32_t param1, std::uint32_t param2, std::uint32_t param3);
  virtual void DoLineCallState(std::uint32_t device, std::uint32_t param1, std::uint32_t param2, std::uint32_t param3);
  virtual void DoLineClose(std::uint32_t device, std::uint32_t param1, std::uint32_t param2, std::uint32_t param3);
  virtual void DoLineCreate(std::uint32_t device, std::uint32_t param1, std::uint32_t param2, std::uint32_t param3);
  virtual void DoLineDevState(std::uint32_t device, std::uint32_t param1, std::uint32_t param2, std::uint32_t param3);
  virtual void DoLineGenerate(std::uint32_t device, std::uint32_t param1, std::uint32_t param2, std::uint32_t param3);
  virtual void DoLineMonitorDigits(std::uint32_t device, std::uint32_t param1, std::uint32_t param2,
                                   std::uint32_t param3);
  virtual void DoLineMonitorMedia(std::uint32_t device, std::uint32_t param1, std::uint32_t param2,
                                  std::uint32_t param3);
  virtual void DoLineMonitorTone(std::uint32_t device, std::uint32_t param1, std::uint32_t param2,
                                 std::uint32_t param3);
  virtual void DoLineReply(std::uint32_t device, std::uint32_t param1, std::uint32_t param2, std::uint32_t param3);
  virtual void DoLineRequest(std::uint32_t device, std::uint32_t param1, std::uint32_t param2, std::uint32_t param3);

 protected:
  bool StartTapi();
  bool StopTapi();
  void EnumLineDevices();
  std::int32_t DeviceIDFromName(const std::string& name);
  std::int32_t GetSelectedLine();
  // Passes 0 and positive results; raises a negative telephony result as its library error.
  std::int32_t CheckTapiError(std::int32_t result);
  QWidget* ParentWindow();

  void CheckReady();
  void DialAttempt(bool passThrough);
  bool HangupCall(bool cancelled);
  std::int32_t WaitForReply(std::int32_t request);
  std::int32_t WaitForCallState(std::uint32_t state);
  void RefreshCallInfo(platform::HCALL call);
  // The connected call's communications descriptor, -1 when it cannot be had.
  std::int32_t CallCommHandle();
  // False (the port left alone) when the call's descriptor cannot be had.
  bool OpenPortOnCall();
  void OpenPortOn(std::int32_t handle);
  bool ClosePortOnCall();
  void FireTapiFail();
  void CreateRetryTimer();
  void FreeRetryTimer();

  // What the voice side adds (tapi_voice.cpp): the voice check of a selected device, digit monitoring on
  // connect, stopping a wave that plays, and a received digit.
  virtual void CheckVoiceSupport();
  virtual void StartDigitMonitoring();
  virtual void StopWavePlayback();
  virtual void TapiDTMF(char digit, std::int32_t errorCode);

 public:
  // The voice side: wave play and record, tones and digits; made on first use.
  TTapiVoice& Voice();

 private:
  friend class TTapiVoice;
  std::shared_ptr<TTapiVoice> voice_;  // shared: it can be freed where its type is unknown

  void WindowProc(tk::Message& message);
  // Gives the port the treatment a port in tmAuto gets: telephony mode, no automatic open, closed.
  void TakePort(serial::TLkCustomComPort* port);
  void BindFirstUnbound();
  void CleanUsageKey();
  void WriteUsageValue();
  void DeleteUsageValue();
  std::string LineName(std::uint32_t deviceID, std::uint32_t apiVersion, bool raise, bool& capsFailed);
  // One pass of the event loop; false when the application is closing.
  static bool PumpMessages();

  // Published.
  std::string selectedDevice_;
  serial::TLkCustomComPort* comPort_ = nullptr;
  TLkAbstractTapiStatus* statusDisplay_ = nullptr;
  TLkTapiLog* tapiLog_ = nullptr;
  std::uint8_t answerOnRing_ = 2;
  std::uint16_t retryWait_ = 60;
  std::uint16_t maxAttempts_ = 3;
  bool showTapiDevices_ = true;
  bool showPorts_ = true;
  bool enableVoice_ = false;

  // The API and the line.
  platform::HLINEAPP lineApp_ = 0;
  std::uint32_t numDevices_ = 0;
  std::uint32_t apiVersion_ = 0;
  platform::LINEEXTENSIONID extensionID_{};
  platform::HLINE line_ = 0;
  platform::HCALL call_ = 0;
  std::int32_t deviceID_ = -1;
  std::vector<std::string> tapiDevices_;

  bool open_ = false;
  bool inUse_ = false;
  bool openedOnce_ = false;
  bool connected_ = false;
  bool starting_ = false;
  bool stopping_ = false;
  bool hangingUp_ = false;
  bool dialing_ = false;
  bool failureReported_ = false;
  bool cancelled_ = false;
  bool outgoing_ = false;
  bool configMode_ = false;
  std::uint32_t lastCallState_ = 0;
  bool stateChanged_ = false;
  bool stateWaitRunning_ = false;
  bool replyWaitRunning_ = false;
  std::int32_t pendingRequest_ = 0;
  std::int32_t replyResult_ = 0;
  bool replyReceived_ = false;

  std::string number_;
  std::uint16_t attempt_ = 0;
  int retryCountdown_ = 0;
  bool retryTimerActive_ = false;

  TapiRecord<platform::LINECALLINFO> callInfo_;
  std::vector<std::uint8_t> workBuffer_;  // a VARSTRING for identifier and configuration queries
  std::unique_ptr<tk::HiddenWindow> window_;
  QPointer<QWidget> parentWindow_;
};

class TLkTapiDevice : public TLkCustomTapiDevice {
 public:
  using TLkCustomTapiDevice::TLkCustomTapiDevice;
  std::string ClassName() const override { return "TLkTapiDevice"; }
};

}  // namespace telephony
