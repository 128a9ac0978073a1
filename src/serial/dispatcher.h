#pragma once
// The device layer of one open serial port: receive and transmit rings, block input and output, line
// settings, modem and line status, flow control. Every routine returns 0 or a positive count for
// success and a negative library error code for failure; nothing here raises except a second start.
//
// Locks, taken only downward in this order: DataLock (settings, status, handlers, trace, log) -> RxLock
// (receive ring) -> OutputLock (transmit ring). StatusLock guards ComStatus alone and is innermost.
// The device itself is reached only through the virtual operations a platform layer supplies.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/serial_device.h"

namespace serial {

class TLkBaseComponent;

using TDeviceState = platform::SerialLineSettings;

class TLkBaseDispatcher : public std::enable_shared_from_this<TLkBaseDispatcher> {
 public:
  static constexpr std::uint32_t kRxRingSize = 8192;

  // Line-error flags (LineErrors) and modem-status bits (ModemStatus).
  enum : std::uint32_t { leRxOverflow = 1, leOverrun = 2, leParity = 4, leFraming = 8, leBreak = 16 };
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
    std::shared_ptr<T> d(new T(std::forward<Args>(args)...));
    d->EnterPortList();
    return d;
  }

  virtual ~TLkBaseDispatcher();
  TLkBaseDispatcher(const TLkBaseDispatcher&) = delete;
  TLkBaseDispatcher& operator=(const TLkBaseDispatcher&) = delete;

  // --- opening and closing ---
  std::int32_t InitPort(const std::string& comName, std::uint32_t baud, std::uint32_t parity, std::uint32_t dataBits,
                        std::uint32_t stopBits, std::uint32_t inSize, std::uint32_t outSize, std::uint32_t options);
  void DonePort();
  virtual void DonePortPrim();

  // --- input (receive ring) ---
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

  // --- output (transmit ring) ---
  std::int32_t PutBlock(const void* block, std::uint32_t len);
  std::int32_t PutChar(std::uint8_t c) { return PutBlock(&c, 1); }
  std::int32_t PutString(const std::string& s) { return PutBlock(s.data(), static_cast<std::uint32_t>(s.size())); }
  std::int32_t OutBuffUsed();
  std::int32_t OutBuffFree();
  std::int32_t FlushOutBuffer() { return FlushCom(0); }
  void WaitTxSent();
  void BufferSizes(std::uint32_t& inSize, std::uint32_t& outSize) const;

  // --- line settings and status ---
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

  // --- flow control ---
  std::int32_t HWFlowOptions(std::uint32_t bufferFull, std::uint32_t bufferResume, std::uint32_t options);
  std::int32_t HWFlowState();
  std::int32_t SWFlowEnable(std::uint32_t bufferFull, std::uint32_t bufferResume, std::uint32_t options);
  std::int32_t SWFlowDisable();
  std::int32_t SWFlowChars(char xOn, char xOff);
  std::int32_t SWFlowState();
  std::int32_t GetFlowOptions(std::uint32_t& hwOpts, std::uint32_t& swOpts, std::uint32_t& bufferFull,
                              std::uint32_t& bufferResume, char& xOn, char& xOff);

  // --- other ---
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

  // --- the receive and transmit work of the worker threads, callable directly (manual pumping) ---
  // Moves what the device holds into the receive ring, in at most two reads; true unless it held nothing.
  bool ExtractData();
  // Writes the transmit ring to the device until it is empty or the device takes no more. Returns the
  // bytes written, or the device's negative code when a write failed (those bytes are dropped).
  std::int32_t WriteOutput();
  bool OutputPending();

  // --- fields (names as the library has always called them) ---
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
  bool PortHandlerActive = false, HandlersPresent = false;

  // Receive-side bookkeeping shared with triggers and notification.
  std::uint32_t RxScanPos = 0, AvailLength = 0, LastAvailPos = 0;
  bool StatusHit = false;
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

 protected:
  explicit TLkBaseDispatcher(TLkBaseComponent* owner);

  // Closes the port as destruction does; the most derived class calls it from its destructor, while
  // its device operations still exist.
  void Shutdown();

  // --- virtual operations: the platform layer ---
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

  // Line-error flags with the transmit ring's count put into the status record.
  std::uint32_t GetComError(platform::SerialStatus& stat);

  // Trigger state the dispatcher resets on open and flush; the trigger lists extend these.
  virtual void RemoveAllTriggers();
  virtual void ResetStatusHits();
  virtual void ResetDataTriggers();
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

  bool shutDown_ = false;
};

// The baud rate a device-state baud value stands for (the original's baud codes read through a table).
std::uint32_t BaudOfCode(std::uint32_t value);

}  // namespace serial
