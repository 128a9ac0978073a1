#pragma once
// The serial port component: the port's settings as properties, opening and closing through a
// per-port dispatcher, block input and output, counts, flushes, string waits, the trace and the
// dispatch log, trigger front ends, and a list of users told when the port opens and closes.
//
// Everything here runs on the window thread. The dispatcher's worker threads reach the component only
// through messages delivered to its hidden notification window.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/com_dispatcher.h"
#include "serial/lk_base_component.h"
#include "serial/notify_target.h"
#include "serial/trigger_records.h"
#include "tk/hidden_window.h"
#include "tk/qcomponent.h"

namespace serial {

enum TDeviceLayer { dlWin16, dlFossil, dlWin32, dlWinsock };
enum TParity { pNone, pOdd, pEven, pMark, pSpace };
enum THWFlowOption : std::uint8_t {
  hwfUseDTR = 0x01,
  hwfUseRTS = 0x02,
  hwfRequireDSR = 0x04,
  hwfRequireCTS = 0x08,
};
using THWFlowOptions = std::uint8_t;  // a set of THWFlowOption bits
enum TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };
enum TTraceLogState { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause };
enum TTapiMode { tmNone, tmAuto, tmOn, tmOff };
enum TApThreadBoost { tbNone, tbPlusOne, tbPlusTwo };

// Messages of the notification window.
inline constexpr std::uint32_t apw_TriggerAvail = 0x7E01;
inline constexpr std::uint32_t apw_TriggerData = 0x7E02;
inline constexpr std::uint32_t apw_TriggerTimer = 0x7E03;
inline constexpr std::uint32_t apw_TriggerStatus = 0x7E04;
inline constexpr std::uint32_t apw_PortOpen = 0x7E08;
inline constexpr std::uint32_t apw_PortClose = 0x7E09;
inline constexpr std::uint32_t apw_ClosePending = 0x7E0A;

class TLkCustomComPort;

using TTriggerEvent =
    std::function<void(tk::Component* sender, std::uint32_t msg, std::uint32_t handle, std::uint32_t data)>;
using TTriggerAvailEvent = std::function<void(tk::Component* sender, std::uint32_t count)>;
using TTriggerHandleEvent = std::function<void(tk::Component* sender, std::uint32_t handle)>;
using TTriggerLineErrorEvent = std::function<void(tk::Component* sender, std::uint16_t error, bool lineBreak)>;
using TTriggerSenderEvent = std::function<void(tk::Component* sender)>;
using TWaitCharEvent = std::function<void(tk::Component* sender, char c)>;
// A user told of opening (true) and closing (false).
using TPortCallback = std::function<void(TLkCustomComPort* port, bool opening)>;
// Makes the dispatcher instead of the built-in choice.
using TDispatcherFactory = std::function<std::shared_ptr<TLkBaseDispatcher>(TLkCustomComPort& port)>;

class TLkCustomComPort : public TLkBaseQComponent {
 public:
  static constexpr std::uint16_t kClosedInBuffFree = 8192;

  explicit TLkCustomComPort(tk::Component* owner);
  ~TLkCustomComPort() override;
  std::string ClassName() const override { return "TLkCustomComPort"; }

  // Settings
  TDeviceLayer DeviceLayer() const { return deviceLayer_; }
  void SetDeviceLayer(TDeviceLayer layer);
  std::uint16_t ComNumber() const { return comNumber_; }
  void SetComNumber(std::uint16_t n);
  std::int32_t Baud() const { return baud_; }
  void SetBaud(std::int32_t baud);
  bool PromptForPort() const { return promptForPort_; }
  void SetPromptForPort(bool v) { promptForPort_ = v; }
  TParity Parity() const { return parity_; }
  void SetParity(TParity parity);
  std::uint16_t DataBits() const { return dataBits_; }
  void SetDataBits(std::uint16_t bits);
  std::uint16_t StopBits() const { return stopBits_; }
  void SetStopBits(std::uint16_t bits);
  std::uint16_t InSize() const { return inSize_; }
  void SetInSize(std::uint16_t size);
  std::uint16_t OutSize() const { return outSize_; }
  void SetOutSize(std::uint16_t size);
  bool AutoOpen() const { return autoOpen_; }
  void SetAutoOpen(bool v) { autoOpen_ = v; }
  bool Open() const { return open_; }
  void SetOpen(bool value);
  bool DTR() const { return dtr_; }
  void SetDTR(bool on);
  bool RTS() const { return rts_; }
  void SetRTS(bool on);
  THWFlowOptions HWFlowOptions() const { return hwFlow_; }
  void SetHWFlowOptions(THWFlowOptions options);
  TSWFlowOptions SWFlowOptions() const { return swFlow_; }
  void SetSWFlowOptions(TSWFlowOptions options);
  char XOnChar() const { return xOn_; }
  void SetXOnChar(char c);
  char XOffChar() const { return xOff_; }
  void SetXOffChar(char c);
  std::uint16_t BufferFull() const { return bufferFull_; }
  void SetBufferFull(std::uint16_t v);
  std::uint16_t BufferResume() const { return bufferResume_; }
  void SetBufferResume(std::uint16_t v);
  TTraceLogState Tracing() const { return tracing_; }
  void SetTracing(TTraceLogState state);
  TTraceLogState Logging() const { return logging_; }
  void SetLogging(TTraceLogState state);
  std::uint32_t TraceSize() const { return traceSize_; }
  void SetTraceSize(std::uint32_t size);
  std::uint32_t LogSize() const { return logSize_; }
  void SetLogSize(std::uint32_t size);
  const std::string& TraceName() const { return traceName_; }
  void SetTraceName(const std::string& name) { traceName_ = name.substr(0, 255); }
  const std::string& LogName() const { return logName_; }
  void SetLogName(const std::string& name) { logName_ = name.substr(0, 255); }
  bool TraceHex() const { return traceHex_; }
  void SetTraceHex(bool v) { traceHex_ = v; }
  bool TraceAllHex() const { return traceAllHex_; }
  void SetTraceAllHex(bool v) { traceAllHex_ = v; }
  bool LogHex() const { return logHex_; }
  void SetLogHex(bool v) { logHex_ = v; }
  bool LogAllHex() const { return logAllHex_; }
  void SetLogAllHex(bool v) { logAllHex_ = v; }
  bool UseMSRShadow() const { return useMSRShadow_; }
  virtual void SetUseMSRShadow(bool v);
  bool UseEventWord() const { return useEventWord_; }
  void SetUseEventWord(bool v);
  std::uint16_t CommNotificationLevel() const { return commNotificationLevel_; }
  void SetCommNotificationLevel(std::uint16_t v) { commNotificationLevel_ = v; }
  TTapiMode TapiMode() const { return tapiMode_; }
  void SetTapiMode(TTapiMode mode) { tapiMode_ = mode; }
  bool RS485Mode() const { return rs485Mode_; }
  void SetRS485Mode(bool on);
  TApThreadBoost ThreadBoost() const { return threadBoost_; }
  void SetThreadBoost(TApThreadBoost boost);
  std::uint16_t TriggerLength() const { return triggerLength_; }
  void SetTriggerLength(std::uint16_t length);
  std::int32_t TapiCid() const { return tapiCid_; }
  void SetTapiCid(std::int32_t cid) { tapiCid_ = cid; }

  // 0 closed, 1 closing, 2 open.
  int PortState() const { return portState_; }
  bool ReopenPending() const { return reopenPending_; }

  // Events
  void SetOnTrigger(TTriggerEvent e);
  void SetOnTriggerAvail(TTriggerAvailEvent e);
  void SetOnTriggerData(TTriggerHandleEvent e);
  void SetOnTriggerStatus(TTriggerHandleEvent e);
  void SetOnTriggerTimer(TTriggerHandleEvent e);
  void SetOnTriggerLineError(TTriggerLineErrorEvent e);
  void SetOnTriggerModemStatus(TTriggerSenderEvent e);
  void SetOnTriggerOutbuffFree(TTriggerSenderEvent e);
  void SetOnTriggerOutbuffUsed(TTriggerSenderEvent e);
  void SetOnTriggerOutSent(TTriggerSenderEvent e);
  const TTriggerAvailEvent& OnTriggerAvail() const { return onTriggerAvail_; }
  const TTriggerHandleEvent& OnTriggerStatus() const { return onTriggerStatus_; }
  const TTriggerHandleEvent& OnTriggerTimer() const { return onTriggerTimer_; }
  TWaitCharEvent OnWaitChar;
  TTriggerSenderEvent OnPortOpen;
  TTriggerSenderEvent OnPortClose;
  // When set, makes the dispatcher instead of the built-in choice.
  TDispatcherFactory DispatcherFactory;

  // The dispatcher
  std::shared_ptr<TLkBaseDispatcher> GetDispatcher();
  std::shared_ptr<TLkBaseDispatcher> ValidDispatcher();
  // The dispatcher as it is, without opening (null while closed).
  std::shared_ptr<TLkBaseDispatcher> Dispatcher() const { return dispatcher_; }
  tk::HiddenWindow* NotificationWindow() const { return window_.get(); }

  // Users
  void RegisterUser(QObject* window);
  void DeregisterUser(QObject* window);
  // Returns an id for deregistering (std::function cannot be compared).
  std::intptr_t RegisterUserCallback(TPortCallback callback);
  void DeregisterUserCallback(std::intptr_t id);
  void ForcePortOpen();
  static TLkCustomComPort* SearchComPort(tk::Component* component);
  static std::string ComName(int n) { return "COM" + std::to_string(n); }

  // Input and output
  void PutChar(char c);
  void PutString(const std::string& s);
  std::int32_t PutBlock(const void* buffer, std::uint16_t length);
  char GetChar();
  std::int32_t GetBlock(void* buffer, std::uint16_t length);
  char PeekChar(std::uint16_t index);
  std::int32_t PeekBlock(void* buffer, std::uint16_t length);
  bool CharReady();
  void FlushInBuffer();
  void FlushOutBuffer();
  void ProcessCommunications();
  void SendBreak(std::int32_t ticks, bool yield);
  void SetBreak(bool on);
  void AddStringToLog(const std::string& s);
  void AddTraceEntry(char kind, char c);

  std::uint8_t ModemStatus();
  bool DSR();
  bool CTS();
  bool RI();
  bool DCD();
  bool DeltaDSR();
  bool DeltaCTS();
  bool DeltaRI();
  bool DeltaDCD();
  std::uint16_t LineError();
  bool LineBreak();
  std::int32_t InBuffUsed();
  std::int32_t InBuffFree();
  std::int32_t OutBuffUsed();
  std::int32_t OutBuffFree();
  // Nothing left to send, in the port or in the device (a closed port has nothing).
  bool OutputDrained();
  std::uint16_t BaseAddress();
  void SetBaseAddress(std::uint16_t address);
  std::int32_t FlowState();

  // Triggers
  std::int32_t AddDataTrigger(const std::string& data, bool ignoreCase);
  std::int32_t AddTimerTrigger();
  std::int32_t AddStatusTrigger(std::uint16_t kind);
  void SetTimerTrigger(std::int32_t handle, std::int32_t ticks, bool activate);
  void SetStatusTrigger(std::int32_t handle, std::uint16_t value, bool activate);
  void RemoveTrigger(std::int32_t handle);
  void RemoveAllTriggers();

  // String waits (timeouts in 55 ms ticks)
  // Incremental matcher: `index` is the caller's position in `s`; true on a full match.
  bool CheckForString(std::uint8_t& index, char c, const std::string& s, bool ignoreCase);
  bool WaitForString(const std::string& s, std::int32_t timeout, bool yield, bool ignoreCase);
  // The 1-based number of the alternative seen, 0 when none was.
  int WaitForMultiString(const std::string& s, std::int32_t timeout, bool yield, bool ignoreCase, char separator);
  void PrepareWait();

  // Trace and dispatch log
  void InitTracing(std::uint32_t numEntries);
  void StartTracing();
  void StopTracing();
  void ClearTracing();
  void AbortTracing();
  void DumpTrace();
  void AppendTrace();
  void InitLogging(std::uint32_t size);
  void StartLogging();
  void StopLogging();
  void ClearLogging();
  void AbortLogging();
  void DumpLog();
  void AppendLog();

  // Notification window
  void ComWindowProc(tk::Message& message);

  void Loaded() override;
  // Published properties in the order the form stream writes them.
  void GetProperties(tk::PropertyList& list) const override;
  // Takes another port's users, triggers, settings, names, flags and events.
  virtual void Assign(TLkCustomComPort& source);

 protected:
  virtual void ActivateDeviceLayer();
  virtual void DeviceLayerChanged() {}
  virtual void InitializePort();
  virtual void RegisterComPort(bool enabling);
  virtual void ValidateComport();
  virtual void Trigger(std::uint32_t msg, std::uint32_t handle, std::uint32_t data);
  virtual void TriggerAvail(std::uint32_t count);
  virtual void TriggerData(std::uint32_t handle);
  virtual void TriggerStatus(std::uint32_t handle);
  virtual void TriggerTimer(std::uint32_t handle);
  virtual void UpdateHandlerFlag();
  virtual void TriggerLineError(std::uint16_t error, bool lineBreak);
  virtual void TriggerModemStatus();
  virtual void TriggerOutbuffFree();
  virtual void TriggerOutbuffUsed();
  virtual void TriggerOutSent();
  virtual void WaitChar(char c);
  virtual void DonePort();
  virtual void PortOpen();
  virtual void PortClose();
  virtual void InitPort();

 private:
  struct UserEntry {
    QObject* Window = nullptr;
    std::intptr_t Id = 0;
    TPortCallback Callback;
  };

  // The open dispatcher's recorders, or null.
  TLkRecorders* Recorders() const;
  // Pattern V: the dispatcher to call, or null in state 1 (the caller returns its empty value).
  std::shared_ptr<TLkBaseDispatcher> VDispatcher();
  // Pattern O: the dispatcher when open, else null.
  std::shared_ptr<TLkBaseDispatcher> ODispatcher() const;
  void FinishClose();
  void ApplyLine();
  void ApplyHWFlow();
  void ApplySWFlow(TSWFlowOptions options);
  bool AnyTriggerEvent() const;
  // One implementation of each trace and dispatch-log front end; `which` picks the recorder.
  TTraceLogState& StateOf(TRecorder which);
  std::uint32_t& SizeOf(TRecorder which);
  void InitRecorder(TRecorder which, std::uint32_t size);
  void SwitchRecorder(TRecorder which, bool on);
  void ClearRecorder(TRecorder which);
  void AbortRecorder(TRecorder which);
  void DumpRecorder(TRecorder which, bool append);
  void SetRecorderState(TRecorder which, TTraceLogState state);
  void SetRecorderSize(TRecorder which, std::uint32_t size);
  // Restores the busy mark after a string wait.
  void EndWait(TLkBaseDispatcher& d, bool wasBusy);
  int WaitForAlternatives(const std::vector<std::string>& alternatives, std::int32_t timeout, bool yield,
                          bool ignoreCase);
  bool Terminating() const;

  TDeviceLayer deviceLayer_ = dlWin32;
  std::uint16_t comNumber_ = 0;
  std::int32_t baud_ = 19200;
  bool promptForPort_ = true;
  TParity parity_ = pNone;
  std::uint16_t dataBits_ = 8, stopBits_ = 1;
  std::uint16_t inSize_ = 4096, outSize_ = 4096;
  bool autoOpen_ = true;
  bool open_ = false;
  bool dtr_ = true, rts_ = true;
  THWFlowOptions hwFlow_ = 0;
  TSWFlowOptions swFlow_ = swfNone;
  char xOn_ = 17, xOff_ = 19;
  std::uint16_t bufferFull_ = 0, bufferResume_ = 0;
  TTraceLogState tracing_ = tlOff, logging_ = tlOff;
  std::uint32_t traceSize_ = 10000, logSize_ = 10000;
  std::string traceName_ = "LK.TRC", logName_ = "LK.LOG";
  bool traceHex_ = true, traceAllHex_ = false, logHex_ = true, logAllHex_ = false;
  bool useMSRShadow_ = true, useEventWord_ = true;
  std::uint16_t commNotificationLevel_ = 10;
  TTapiMode tapiMode_ = tmAuto;
  bool rs485Mode_ = false;
  TApThreadBoost threadBoost_ = tbNone;
  std::uint16_t triggerLength_ = 1;
  std::int32_t tapiCid_ = 0;  // the call's whole descriptor

  int portState_ = 0;
  bool forceSettings_ = false;
  bool reopenPending_ = false;
  bool openAtLoad_ = false;
  bool prepared_ = false, preparedWasBusy_ = false;
  bool destroying_ = false;

  std::shared_ptr<TLkBaseDispatcher> dispatcher_;
  std::unique_ptr<tk::HiddenWindow> window_;
  // Hands the dispatch thread's notifications to the window; lives as long as the window.
  std::unique_ptr<NotifyTarget> receiver_;
  bool triggersSaved_ = false;
  TTriggerSave triggerSave_;
  std::vector<UserEntry> users_;
  std::intptr_t nextUserId_ = 1;

  TTriggerEvent onTrigger_;
  TTriggerAvailEvent onTriggerAvail_;
  TTriggerHandleEvent onTriggerData_, onTriggerStatus_, onTriggerTimer_;
  TTriggerLineErrorEvent onTriggerLineError_;
  TTriggerSenderEvent onTriggerModemStatus_, onTriggerOutbuffFree_, onTriggerOutbuffUsed_, onTriggerOutSent_;
};

class TLkComPort : public TLkCustomComPort {
 public:
  using TLkCustomComPort::TLkCustomComPort;
  std::string ClassName() const override { return "TLkComPort"; }
};

// The port selection dialog a port numbered 0 asks through, registered by the library's dialogs
// (RegisterSerialDialogs); true with `number` set when the user chose a port. Without one, no port is chosen.
using PortSelectionDialog = bool (*)(int& number);
void SetPortSelectionDialog(PortSelectionDialog dialog);

}  // namespace serial
