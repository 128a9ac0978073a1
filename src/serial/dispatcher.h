#pragma once
// The device layer of one open serial port: receive and transmit rings, block input and output, line
// settings, modem and line status, flow control. Every routine returns 0 or a positive count for
// success and a negative library error code for failure; nothing here raises except a second start.
//
// Locks, taken only downward in this order: port list -> DataLock (settings, status, triggers, handlers,
// trace, log) -> RxLock (receive ring) -> OutputLock (transmit ring). StatusLock guards ComStatus alone
// and is innermost. The device is read into the receive ring's free space under a private extraction
// lock, taken after DataLock and before RxLock, so that readers of the ring never wait on a device read.
// Trigger checks decide under DataLock and notify after releasing it: no dispatcher lock is held while a
// handler runs. The device itself is reached only through the virtual operations a
// platform layer supplies.
//
// An open port runs three worker threads (comm events, dispatch, output) unless ManualPump is set before
// InitPort; then the caller runs ExtractData, WriteOutput, DispatchPass and TimerStatusPass itself.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial_device.h"
#include "serial/notify_target.h"
#include "serial/trigger_records.h"

namespace serial {

class TLkBaseComponent;

using TDeviceState = platform::SerialLineSettings;

class TLkBaseDispatcher : public std::enable_shared_from_this<TLkBaseDispatcher> {
 public:
  static constexpr std::uint32_t kRxRingSize = 8192;

  // Line-error flags (LineErrors) and modem-status bits (ModemStatus).
  enum : std::uint32_t { leRxOverflow = 1, leOverrun = 2, leParity = 4, leFraming = 8, leBreak = 16 };
  // Comm-event bits the comm thread reports (the original's event mask).
  enum : std::uint32_t {
    evRxChar = 0x1,
    evCts = 0x8,
    evDsr = 0x10,
    evRlsd = 0x20,
    evBreak = 0x40,
    evErr = 0x80,
    evRing = 0x100,
    evRingTe = 0x2000
  };
  enum : std::uint8_t {
    msDeltaCts = 0x01,
    msDeltaDsr = 0x02,
    msTrailingRi = 0x04,
    msDeltaDcd = 0x08,
    msCts = 0x10,
    msDsr = 0x20,
    msRi = 0x40,
    msDcd = 0x80
  };

  // Makes a dispatcher of class T and enters it in the port list (its Handle is the slot's index).
  template <typename T, typename... Args>
  static std::shared_ptr<T> Create(Args&&... args) {
    std::shared_ptr<T> d(new T(std::forward<Args>(args)...), [](T* p) { Destroy(p); });
    d->EnterPortList();
    return d;
  }

  virtual ~TLkBaseDispatcher();
  // Deletes a dispatcher. When the last reference goes on one of its own worker threads (a handler
  // held it), the deletion moves to a thread of its own, which can join the workers; such threads are
  // joined when the next one starts, and all of them before the program's statics go.
  static void Destroy(TLkBaseDispatcher* dispatcher);
  TLkBaseDispatcher(const TLkBaseDispatcher&) = delete;
  TLkBaseDispatcher& operator=(const TLkBaseDispatcher&) = delete;

  // opening and closing
  std::int32_t InitPort(const std::string& comName, std::uint32_t baud, std::uint32_t parity, std::uint32_t dataBits,
                        std::uint32_t stopBits, std::uint32_t inSize, std::uint32_t outSize, std::uint32_t options);
  void DonePort();
  virtual void DonePortPrim();

  // input (receive ring)
  bool CharReady();
  std::int32_t PeekCharPrim(std::uint8_t& c, std::uint32_t index);
  std::int32_t PeekChar(std::uint8_t& c, std::uint32_t index);
  std::int32_t GetChar(std::uint8_t& c);
  std::int32_t PeekBlockPrim(void* block, std::uint32_t offset, std::uint32_t& newTail, std::uint32_t len);
  std::int32_t PeekBlock(void* block, std::uint32_t len);
  std::int32_t GetBlock(void* block, std::uint32_t len);
  std::int32_t InBuffUsed();
  std::int32_t InBuffFree();
  std::int32_t FlushInBuffer();

  // output (transmit ring)
  std::int32_t PutBlock(const void* block, std::uint32_t len);
  std::int32_t PutChar(std::uint8_t c) { return PutBlock(&c, 1); }
  std::int32_t PutString(const std::string& s) { return PutBlock(s.data(), static_cast<std::uint32_t>(s.size())); }
  std::int32_t OutBuffUsed();
  std::int32_t OutBuffFree();
  // Whether everything queued has left: the ring is empty and the device holds none of it either.
  bool OutputDrained();
  std::int32_t FlushOutBuffer() { return FlushCom(0); }
  void WaitTxSent();
  void BufferSizes(std::uint32_t& inSize, std::uint32_t& outSize) const;

  // waiting for input (a string wait)
  // Bytes moved into the receive ring so far (a flush takes none of them back).
  std::uint64_t InputArrivals() const { return rxTotal_; }
  // Waits until input arrives after `seen` (an InputArrivals value), the port stops, or `bound` passes.
  void WaitForInput(std::uint64_t seen, std::chrono::milliseconds bound);
  // Called (on a worker thread) whenever input arrives, until replaced; returns the one it replaces.
  std::function<void()> SetInputWaker(std::function<void()> waker);

  // Where a handler's exception on a worker thread is reported (besides the dispatch log): the owner's
  // way of showing errors. Called with DataLock held; it must only hand the error on.
  using HandlerErrorSink = std::function<void(std::exception_ptr)>;
  void SetHandlerErrorSink(HandlerErrorSink sink);

  // line settings and status
  std::int32_t SetLine(std::uint32_t baud, std::uint32_t parity, std::uint32_t dataBits, std::uint32_t stopBits);
  std::int32_t ChangeBaud(std::uint32_t baud) { return SetLine(baud, 5, 9, 3); }
  void GetLine(std::uint32_t& baud, std::uint32_t& parity, std::uint32_t& dataBits, std::uint32_t& stopBits);
  std::int32_t SetCommStateFix(TDeviceState& dcb);
  std::int32_t SetDtr(bool state);
  std::int32_t SetRts(bool state);
  std::int32_t SetModem(bool dtr, bool rts);
  std::uint8_t GetModemStatusPrim(std::uint8_t clearMask);
  std::uint8_t GetModemStatus() { return GetModemStatusPrim(0xF0); }
  bool CheckCTS() { return CheckModemBit(0xFE, msCts); }
  bool CheckDSR() { return CheckModemBit(0xFD, msDsr); }
  bool CheckRI() { return CheckModemBit(0xFB, msRi); }
  bool CheckDCD() { return CheckModemBit(0xF7, msDcd); }
  bool CheckDeltaCTS() { return CheckModemBit(0xFE, msDeltaCts); }
  bool CheckDeltaDSR() { return CheckModemBit(0xFD, msDeltaDsr); }
  bool CheckDeltaRI() { return CheckModemBit(0xFB, msTrailingRi); }
  bool CheckDeltaDCD() { return CheckModemBit(0xF7, msDeltaDcd); }
  void MapEventsToMS(std::uint32_t events);
  void RefreshStatus();
  std::int32_t GetLineError();
  bool CheckLineBreak();
  void SendBreak(std::int32_t ticks, bool yield);
  void SetBreak(bool on);

  // flow control
  std::int32_t HWFlowOptions(std::uint32_t bufferFull, std::uint32_t bufferResume, std::uint32_t options);
  std::int32_t HWFlowState();
  std::int32_t SWFlowEnable(std::uint32_t bufferFull, std::uint32_t bufferResume, std::uint32_t options);
  std::int32_t SWFlowDisable();
  std::int32_t SWFlowChars(char xOn, char xOff);
  std::int32_t SWFlowState();
  std::int32_t GetFlowOptions(std::uint32_t& hwOpts, std::uint32_t& swOpts, std::uint32_t& bufferFull,
                              std::uint32_t& bufferResume, char& xOn, char& xOff);

  // other
  virtual void SetThreadBoost(std::uint8_t boost);
  void SetRS485Mode(bool on);
  void SetBaseAddress(std::uint16_t address);
  std::uint16_t GetBaseAddress();
  std::int32_t SetDataPointer(void* p, std::uint32_t index);
  std::int32_t GetDataPointer(void*& p, std::uint32_t index);
  void OptionsOn(std::uint32_t bits) { Options |= bits; }
  void OptionsOff(std::uint32_t bits) { Options &= ~bits; }
  bool OptionsAreOn(std::uint32_t bits) const { return (Options & bits) == bits; }
  void SetEventBusy(bool& wasOn, bool setOn);
  static std::uint32_t ClassifyStatusTrigger(std::uint32_t handle) { return handle & 7; }
  void AddStringToLog(const std::string& s);

  // the receive and transmit work of the worker threads, callable directly (manual pumping)
  // Moves what the device holds into the receive ring, in at most two reads; true unless it held nothing.
  // When another thread is moving the input at that moment, it leaves the work to that one (true).
  bool ExtractData() { return MoveInput(false); }
  // Writes the transmit ring to the device until it is empty or the device takes no more. Returns the
  // bytes written, or the device's negative code when a write failed (those bytes are dropped).
  std::int32_t WriteOutput();
  bool OutputPending();
  // One pass over the last comm event (EventMask): status triggers, moving input into the ring, status
  // and receive triggers. Then the timer and status triggers of an idle line.
  void DispatchPass();
  void TimerStatusPass();

  // triggers (all take DataLock for their work; none is held while a notification runs)
  void ChangeLengthTrigger(std::uint32_t length);
  std::int32_t AddTimerTrigger();
  std::int32_t AddDataTriggerLen(const void* data, bool ignoreCase, std::uint32_t len);
  std::int32_t AddDataTrigger(const char* data, bool ignoreCase);
  std::int32_t AddStatusTrigger(std::uint32_t sType);
  std::int32_t SetTimerTrigger(std::uint32_t handle, std::int32_t ticks, bool activate);
  std::int32_t ExtendTimer(std::uint32_t handle, std::int32_t ticks);
  std::int32_t TimerTicksRemaining(std::uint32_t handle, std::int32_t& remaining);
  std::int32_t SetStatusTrigger(std::uint32_t handle, std::uint16_t value, bool activate);
  std::int32_t RemoveTrigger(std::uint32_t handle);
  // The kind of trigger `handle` names (ttNone when none); with `remove` it is removed.
  TTriggerType FindTriggerFromHandle(std::uint32_t handle, bool remove);
  virtual void RemoveAllTriggers();
  virtual void ResetStatusHits();
  virtual void ResetDataTriggers();
  void SaveTriggers(TTriggerSave& save);
  void RestoreTriggers(const TTriggerSave& save);
  static void ClearSaveBuffers(TTriggerSave& save);

  // trigger handlers, notified in registration order
  void RegisterWndTriggerHandler(NotifyTarget* target);
  void RegisterProcTriggerHandler(TriggerProc proc);
  void RegisterEventTriggerHandler(TriggerEvent handler);
  void RegisterSyncEventTriggerHandler(TriggerEvent handler);
  void DeregisterWndTriggerHandler(NotifyTarget* target);
  void DeregisterProcTriggerHandler(TriggerProc proc);
  void DeregisterEventTriggerHandler(TriggerEvent handler);
  virtual void UpdateHandlerFlags(std::uint32_t flagUpdate);

  bool CheckTimerTriggers();
  bool CheckStatusTriggers();
  bool CheckReceiveTriggers();
  bool CheckTriggers();
  // Notifies every handler; false when a close was asked for meanwhile, or when the handlers of a
  // data-available notification took other than the notified count.
  bool SendNotify(std::uint32_t msg, std::uint32_t trigger, std::uint32_t data);

  // fields (names as the library has always called them)
  TLkBaseComponent* Owner = nullptr;
  std::int32_t Handle = -1;
  std::atomic<std::int32_t> ComHandle{-1};
  std::atomic<std::uint32_t> LineErrors{0};
  std::uint32_t InQueueSize = 0, OutQueueSize = 0;
  std::uint8_t ModemStatus = 0;
  platform::SerialStatus ComStatus;  // under StatusLock
  TDeviceState DeviceState;
  std::uint32_t LastBaud = 0;
  std::uint32_t Options = 0;
  bool DtrState = false, DtrAuto = false, RtsState = false, RtsAuto = false;
  std::atomic<bool> RS485Mode{false};  // read by PutBlock under OutputLock
  std::uint16_t BaseAddress = 0;
  bool PortHandlerActive = false, HandlersPresent = false;  // under DataLock

  // Receive-side bookkeeping shared with triggers and notification.
  std::uint32_t RxScanPos = 0;                      // under RxLock
  std::uint32_t AvailLength = 0, LastAvailPos = 0;  // under DataLock
  bool StatusHit = false;                           // under DataLock
  std::atomic<bool> PeekMode{false};
  std::uint32_t PeekOffset = 0, PeekMax = 0;  // under RxLock

  std::atomic<bool> KillThreads{false};
  std::uint8_t ThreadBoost = 0;
  std::mutex DataLock, RxLock, OutputLock, StatusLock;
  std::uint32_t EventMask = 0;
  std::atomic<bool> RingFlag{false};

  std::unique_ptr<std::uint8_t[]> TxRing;
  std::uint32_t TxWritePos = 0, TxReadPos = 0;
  bool TxRingFull = false;
  std::uint64_t TxGeneration = 0;  // bumped by a transmit flush: a write in flight is then void
  std::atomic<std::uint64_t> OutputWakes{0};  // wake-ups the output thread has taken, each counted once
  // Bytes the device has taken from the ring since the dispatcher was made (none of a write a flush voided).
  std::atomic<std::uint64_t> BytesWritten{0};
  std::unique_ptr<std::uint8_t[]> RxRing;
  std::uint32_t RxWritePos = 0, RxReadPos = 0;
  bool RxRingFull = false;

  std::atomic<bool> InNotify{false}, HandlersDeleted{false}, ClosePending{false}, OutputSent{false};
  std::atomic<bool> TracingOn{false}, LoggingOn{false};
  std::uint32_t TimeBase = 0;
  std::uint32_t NextTriggerNumber = 1;
  std::atomic<bool> Started{false}, DonePending{false};
  std::atomic<std::int32_t> ThreadCount{0};
  std::array<void*, 3> DataPointers{};

  // The last failure of an open, in the library's numbering (magnitude), for InitPort's result.
  std::int32_t LastError = 0;

  // Set before InitPort: no worker threads; the caller pumps.
  bool ManualPump = false;
  // How long a window handler's delivery may wait to start before it is given up.
  std::chrono::milliseconds WindowDeliveryBound = kWindowDeliveryBound;
  // The device hung up or vanished: reported once as a line error, and no longer polled.
  std::atomic<bool> DeviceLost{false};

 protected:
  explicit TLkBaseDispatcher(TLkBaseComponent* owner);

  // Closes the port as destruction does; the most derived class calls it from its destructor, while
  // its device operations still exist.
  void Shutdown();

  // virtual operations: the platform layer
  virtual std::int32_t EscapeComFunction(std::int32_t func) = 0;  // 3/4 RTS up/down, 5/6 DTR up/down
  virtual std::int32_t FlushCom(std::int32_t queue) = 0;          // 0 transmit, 1 receive
  // Line-error flags since the last call; fills the status record except its transmit count.
  virtual std::uint32_t GetDeviceErrors(platform::SerialStatus& stat) = 0;
  virtual std::int32_t GetComEventMask(std::int32_t mask) = 0;
  virtual std::int32_t GetComState(TDeviceState& dcb) = 0;
  virtual std::int32_t ReadCom(void* buffer, std::uint32_t size) = 0;
  virtual std::int32_t SetComState(TDeviceState& dcb) = 0;
  virtual std::int32_t WriteCom(const void* buffer, std::uint32_t size) = 0;  // OutputLock held
  virtual bool SetupCom(std::uint32_t inSize, std::uint32_t outSize) = 0;
  virtual void StartDispatcher() = 0;
  virtual void StopDispatcher() = 0;
  virtual std::int32_t OpenCom(const std::string& comName, std::uint32_t inQueue, std::uint32_t outQueue) = 0;
  virtual std::int32_t CloseCom() = 0;
  virtual std::int32_t ProcessCommunications() = 0;
  virtual std::int32_t SetBreakState(bool on) = 0;
  virtual std::int32_t WriteDevice(const void* data, std::uint32_t size) = 0;  // non-blocking
  virtual std::uint8_t ReadModemLines() = 0;
  // The descriptor the comm and output threads poll; -1 when there is none.
  virtual int PollDescriptor() { return -1; }
  // Line-error flags since the last look, or a negative errno when the device is gone.
  virtual std::int32_t ProbeDevice(platform::SerialStatus& stat);

  // Starts the three worker threads (or, with ManualPump, only marks the dispatcher started); stops
  // them, waking and joining all three with no lock held. Platform layers call these from their
  // StartDispatcher / StopDispatcher.
  void StartThreads();
  void StopThreads();
  // The transmit side of a flush: bumps the generation, wakes the writer and waits (about 1 s at most)
  // until it is out of its device write, then empties the ring. Never called on the output thread.
  void ClearTransmitRing();
  // Wakes a worker waiting on one of the dispatcher's eventfds (no-op for -1).
  static void Wake(int eventFd);
  void CloseWakeFds();

  // Line-error flags with the transmit ring's count put into the status record.
  std::uint32_t GetComError(platform::SerialStatus& stat);

  // Recorders of the trace and the dispatch log, called only while TracingOn / LoggingOn is set.
  virtual void AddTraceEntry(char kind, std::uint8_t c);
  virtual void AddDispatchEntry(std::uint8_t type, std::uint8_t subType, std::uint32_t data, const void* buffer,
                                std::uint32_t bufLen);

  // Count of bytes waiting in the transmit ring; OutputLock held.
  std::uint32_t TxUsedLocked() const;
  // Count of bytes held in the receive ring by the distance rule; RxLock held.
  std::uint32_t RxUsedLocked() const;

 private:
  void EnterPortList();
  bool CheckModemBit(std::uint8_t clearMask, std::uint8_t bit);
  // The same with DataLock held by the caller.
  std::int32_t SetDtrLocked(bool state);
  std::int32_t SetRtsLocked(bool state);
  std::int32_t SetCommStateFixLocked(TDeviceState& dcb);
  std::uint8_t GetModemStatusPrimLocked(std::uint8_t clearMask);
  void TraceBlock(char kind, const std::uint8_t* bytes, std::uint32_t len);

  // Triggers, with DataLock held.
  // A dispatch-log entry, written only while logging is on.
  void LogLocked(std::uint8_t type, std::uint8_t subType, std::uint32_t data, const void* bytes = nullptr,
                 std::uint32_t len = 0);
  std::int32_t GetTriggerHandle();
  TimerTrigger* FindTimer(std::uint32_t handle);
  StatusTrigger* FindStatus(std::uint32_t handle);
  bool StatusFires(StatusTrigger& t, std::uint32_t& value);
  void PurgeDeletedHandlers();
  void UpdateHandlerFlagsLocked(std::uint32_t flagUpdate);
  bool AnyHandlersLocked() const;
  // True when a notification would reach no handler (DataLock held).
  bool NobodyToNotifyLocked() const;
  // Runs one handler kind's notification on the window side and waits as the kind requires.
  void DeliverTo(NotifyTarget* target, std::uint32_t msg, std::uint32_t trigger, std::uint32_t data,
                 std::chrono::milliseconds bound, TriggerHandlerFn handler);
  // True when the current thread is one of this dispatcher's workers.
  bool OnWorkerThread() const;
  // A handler threw: logged and handed to the error sink.
  void HandlerFailed(std::uint8_t subType, std::uint32_t msg, const std::exception_ptr& error);
  // The read offset of this thread's reads (RxLock held): a late delivery's own, the notification's while
  // this thread notifies in peek mode, else null (reads consume).
  std::uint32_t* PeekOffsetLocked();
  // `n` bytes consumed from the read position (RxLock held): taken for a notification in progress too.
  void ConsumedLocked(std::uint32_t n);
  // The triggers changed: the dispatch thread passes over them and works out its wait again; with
  // `lines`, the comm thread works out again how closely it watches the modem lines.
  void RecheckTriggers(bool lines = false);
  // How long the dispatch thread may sleep: until the next timer trigger, or briefly while a status
  // trigger is armed. Whether the comm thread must poll the modem lines and error counters closely.
  std::chrono::milliseconds DispatchWaitBound();
  bool LinesWatched();

  // Worker threads.
  // `lines`: the modem lines as the port started.
  void ComThreadLoop(std::uint8_t lines);
  void DispThreadLoop();
  void OutThreadLoop();
  void StatusTriggerLoop(bool& leave);
  // What the pass after a comm event needs of the comm thread. Wait: the pass may notify someone or
  // write the log; the comm thread waits for it, and the pass moves the input. Otherwise the comm
  // thread moves the input itself and goes on; Wake: the dispatch thread is woken for each event;
  // Batch: nothing in the pass depends on when it runs, and the wake-ups of a stream of input are
  // gathered (a pass still follows within about a millisecond).
  enum class PassNeed { Wait, Wake, Batch };
  PassNeed NeedOfPass();
  // ExtractData; with `wait`, an extraction in progress elsewhere is waited for rather than left alone.
  // `known` is a device status the caller has just read (its error flags taken): not read again.
  bool MoveInput(bool wait, const platform::SerialStatus* known = nullptr);

  bool shutDown_ = false;

  // Trigger and handler lists (DataLock).
  std::vector<TimerTrigger> timers_;
  std::vector<DataTrigger> datas_;
  std::vector<StatusTrigger> statuses_;
  struct WndHandler {
    NotifyTarget* Target;
    bool Deleted = false;
  };
  struct ProcHandler {
    TriggerProc Proc;
    bool Deleted = false;
  };
  struct EventHandler {
    TriggerEvent Event;
    bool Sync = false;
    bool Deleted = false;
  };
  std::vector<std::shared_ptr<WndHandler>> wndHandlers_;
  std::vector<std::shared_ptr<ProcHandler>> procHandlers_;
  std::vector<std::shared_ptr<EventHandler>> eventHandlers_;
  std::uint32_t rxUnscanned_ = 0;  // bytes between RxScanPos and RxWritePos (RxLock)

  // Worker threads and their wake-ups.
  std::jthread comThread_, dispThread_, outThread_;
  int comWake_ = -1, outWake_ = -1;  // eventfds
  std::mutex passMutex_;             // the comm thread's hand-over of an event mask (a leaf lock)
  std::condition_variable passCv_;
  bool maskReady_ = false;
  bool recheck_ = false;  // the trigger timing changed since the dispatch thread began to wait
  std::uint32_t handedMask_ = 0;  // events handed over and not yet taken by a pass (ORed)
  std::uint64_t handedSeq_ = 0;   // hand-overs so far
  std::uint64_t doneSeq_ = 0;     // the last hand-over whose pass has finished
  bool handedUnmoved_ = false;    // a hand-over whose input the comm thread left to the pass
  bool inputMoved_ = false;       // dispatch thread only: this pass's input is in the ring already
  // One extraction at a time: the device is read into the ring's free space outside RxLock, so that
  // readers of the ring never wait on a device read. A receive flush holds it too: no extraction
  // straddles a flush. Taken before RxLock, never with DataLock wanted.
  std::mutex extractMutex_;
  std::condition_variable writerIdle_;     // with OutputLock: the writer is not inside a device write
  bool writerBusy_ = false;                // OutputLock
  std::condition_variable txEmpty_;        // with OutputLock: the transmit ring emptied (or went)
  std::atomic<std::uint64_t> rxTotal_{0};  // bytes moved into the receive ring so far
  std::mutex inputMutex_;                  // a leaf lock: input waits and their waker
  std::condition_variable inputArrived_;
  std::function<void()> inputWaker_;
  HandlerErrorSink errorSink_;  // DataLock
};

// The baud rate a device-state baud value stands for (the original's baud codes read through a table).
std::uint32_t BaudOfCode(std::uint32_t value);

}  // namespace serial
