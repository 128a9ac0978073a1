#include "serial/dispatcher.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "serial/error_codes.h"
#include "serial/port_list.h"
#include "serial/timing.h"

namespace serial {

namespace {

constexpr std::uint32_t kUnchangedParity = 5, kUnchangedDataBits = 9, kUnchangedStopBits = 3;

// Dispatch-log entry kinds written here.
constexpr std::uint8_t kLogDispatch = 1, kLogUser = 19;
constexpr std::uint8_t kLogReadCom = 1, kLogWriteCom = 2;

}  // namespace

std::uint32_t BaudOfCode(std::uint32_t value) {
  static const std::uint32_t kTable[24] = {110, 300, 600, 1200,  2400, 4800, 9600, 14400,  19200, 0, 0, 38400,
                                           0,   0,   0,   56000, 0,    0,    0,    128000, 0,     0, 0, 256000};
  if (value == 0xFEFF) return 115200;
  if (value >= 0xFF10 && value <= 0xFF27 && kTable[value - 0xFF10] != 0) return kTable[value - 0xFF10];
  return value;
}

TLkBaseDispatcher::TLkBaseDispatcher(TLkBaseComponent* owner) : Owner(owner) {}

TLkBaseDispatcher::~TLkBaseDispatcher() {
  StopThreads();  // already joined when the platform layer shut the port down
  CloseWakeFds();
  PortList::Remove(Handle);
}

void TLkBaseDispatcher::EnterPortList() { Handle = PortList::Add(weak_from_this()); }

void TLkBaseDispatcher::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  if (!ClosePending) DonePort();
  // Destruction always ends joined, even when a close was left pending.
  DonePortPrim();
}

// Opening and closing

std::int32_t TLkBaseDispatcher::InitPort(const std::string& comName, std::uint32_t baud, std::uint32_t parity,
                                         std::uint32_t dataBits, std::uint32_t stopBits, std::uint32_t inSize,
                                         std::uint32_t outSize, std::uint32_t options) {
  RingFlag = false;
  DeviceLost = false;
  InNotify = false;
  HandlersDeleted = false;
  LastError = 0;

  std::int32_t handle = OpenCom(comName, inSize, outSize);
  if (handle < 0) {
    std::int32_t code = handle == ecOutOfMemory ? ecOutOfMemory : -LastError;
    DonePort();
    return code;
  }
  ComHandle = handle;
  if (!SetupCom(inSize, outSize)) {
    std::int32_t code = -LastError;
    DonePort();
    return code;
  }

  {
    std::scoped_lock lock(extractMutex_, RxLock, OutputLock);
    RxRing = std::make_unique<std::uint8_t[]>(kRxRingSize);
    TxRing = std::make_unique<std::uint8_t[]>(std::max<std::uint32_t>(outSize, 1));
    TxWritePos = TxReadPos = 0;
    TxRingFull = false;
    InQueueSize = inSize;
    OutQueueSize = outSize;
    RxRingFull = false;
    PeekOffset = 0;
  }
  LineErrors = 0;
  ClosePending = false;
  OutputSent = false;
  RS485Mode = false;
  BaseAddress = 0;

  {
    std::lock_guard lock(DataLock);
    GetComState(DeviceState);
    if (options & 0x10) {
      DtrAuto = true;
    } else {
      DtrAuto = false;
      SetDtrLocked(options & 0x01);
    }
    if (options & 0x20) {
      RtsAuto = true;
    } else {
      RtsAuto = false;
      SetRtsLocked(options & 0x02);
    }
  }

  RemoveAllTriggers();
  {
    std::scoped_lock lock(extractMutex_, RxLock);
    RxScanPos = 0;
    rxUnscanned_ = 0;
    RxWritePos = RxReadPos = 0;
  }
  {
    std::lock_guard lock(DataLock);
    LastAvailPos = 0;
  }
  ResetStatusHits();
  PeekMode = false;
  {
    std::lock_guard lock(DataLock);
    ModemStatus = 0;
    GetModemStatusPrimLocked(0xF0);
    LastBaud = 115200;
  }
  if (std::int32_t rc = SetLine(baud, parity, dataBits, stopBits); rc < 0) {
    DonePort();
    return rc;
  }
  RefreshStatus();
  TracingOn = false;
  LoggingOn = false;
  TimeBase = LkTimeGetTime();
  StartDispatcher();
  return 0;
}

// The threads are stopped and joined before the descriptor is closed, so that none of them polls a
// descriptor number the system may already have handed out again.
void TLkBaseDispatcher::DonePort() {
  if (ComHandle >= 0) {
    FlushOutBuffer();
    FlushInBuffer();
  }
  if (!InNotify && !OnWorkerThread()) {
    DonePortPrim();
    return;
  }
  // Asked from inside a notification: the dispatch thread leaves its loop when the notification ends and
  // the window thread finishes the close (DonePortPrim, or the dispatcher's destruction).
  {
    std::lock_guard lock(passMutex_);
    ClosePending = true;
    KillThreads = true;
  }
  passCv_.notify_all();
  Wake(comWake_);
  Wake(outWake_);
}

void TLkBaseDispatcher::DonePortPrim() {
  if (OnWorkerThread()) {
    DonePort();  // a worker cannot join itself: deferred
    return;
  }
  StopDispatcher();
  if (ComHandle >= 0) CloseCom();
  std::unique_ptr<std::uint8_t[]> rx, tx;
  {
    std::lock_guard data(DataLock);
    std::scoped_lock rings(extractMutex_, RxLock, OutputLock);
    rx = std::move(RxRing);
    tx = std::move(TxRing);
    RxWritePos = RxReadPos = 0;
    RxRingFull = false;
    TxWritePos = TxReadPos = 0;
    TxRingFull = false;
  }
  txEmpty_.notify_all();
}

// Input

std::uint32_t TLkBaseDispatcher::RxUsedLocked() const {
  if (RxWritePos > RxReadPos) return RxWritePos - RxReadPos;
  if (RxWritePos < RxReadPos) return RxWritePos + kRxRingSize - RxReadPos;
  return RxRingFull ? kRxRingSize : 0;
}

std::uint32_t* TLkBaseDispatcher::PeekOffsetLocked() {
  if (std::uint32_t* late = ReadOnlyScope::OffsetFor(this)) return late;
  return PeekMode && NotifyScope::Active(this) ? &PeekOffset : nullptr;
}

void TLkBaseDispatcher::ConsumedLocked(std::uint32_t n) {
  RxReadPos = (RxReadPos + n) % kRxRingSize;
  if (n > 0) RxRingFull = false;
  if (PeekMode) {
    // Bytes taken by another thread during a notification are gone for its handlers too: their offsets
    // stay on the same bytes, and the notification's end does not take the same bytes again.
    PeekOffset -= std::min(PeekOffset, n);
    PeekMax -= std::min(PeekMax, n);
  }
}

bool TLkBaseDispatcher::CharReady() {
  std::lock_guard lock(RxLock);
  std::uint32_t* offset = PeekOffsetLocked();
  return RxUsedLocked() > (offset ? *offset : 0);
}

std::int32_t TLkBaseDispatcher::PeekCharPrim(std::uint8_t& c, std::uint32_t index) {
  std::lock_guard lock(RxLock);
  if (!RxRing || index < 1 || RxUsedLocked() < index) return ecBufferIsEmpty;
  c = RxRing[(RxReadPos + index - 1) % kRxRingSize];
  return 0;
}

std::int32_t TLkBaseDispatcher::PeekChar(std::uint8_t& c, std::uint32_t index) {
  std::lock_guard lock(RxLock);
  if (std::uint32_t* offset = PeekOffsetLocked()) index += *offset;
  if (!RxRing || index < 1 || RxUsedLocked() < index) return ecBufferIsEmpty;
  c = RxRing[(RxReadPos + index - 1) % kRxRingSize];
  return 0;
}

std::int32_t TLkBaseDispatcher::GetChar(std::uint8_t& c) {
  bool wasFull = false;
  {
    std::lock_guard lock(RxLock);
    if (std::uint32_t* offset = PeekOffsetLocked()) {
      std::uint32_t index = *offset + 1;
      if (!RxRing || RxUsedLocked() < index) return ecBufferIsEmpty;
      c = RxRing[(RxReadPos + index - 1) % kRxRingSize];
      *offset = index;
    } else {
      if (!RxRing || RxUsedLocked() < 1) return ecBufferIsEmpty;
      c = RxRing[RxReadPos];
      wasFull = RxRingFull;
      ConsumedLocked(1);
    }
  }
  if (wasFull) Wake(comWake_);  // the comm thread stopped polling for input while the ring was full
  if (TracingOn) TraceBlock('R', &c, 1);
  return 0;
}

std::int32_t TLkBaseDispatcher::PeekBlockPrim(void* block, std::uint32_t offset, std::uint32_t& newTail,
                                              std::uint32_t len) {
  // RxLock held by the caller.
  if (!RxRing || static_cast<std::uint64_t>(offset) + len > RxUsedLocked()) return ecBufferIsEmpty;
  auto* out = static_cast<std::uint8_t*>(block);
  std::uint32_t start = (RxReadPos + offset) % kRxRingSize;
  std::uint32_t first = std::min(len, kRxRingSize - start);
  std::memcpy(out, RxRing.get() + start, first);
  std::memcpy(out + first, RxRing.get(), len - first);
  newTail = (start + len) % kRxRingSize;
  return static_cast<std::int32_t>(len);
}

std::int32_t TLkBaseDispatcher::PeekBlock(void* block, std::uint32_t len) {
  std::lock_guard lock(RxLock);
  std::uint32_t tail;
  std::uint32_t* offset = PeekOffsetLocked();
  return PeekBlockPrim(block, offset ? *offset : 0, tail, len);
}

std::int32_t TLkBaseDispatcher::GetBlock(void* block, std::uint32_t len) {
  bool wasFull = false;
  {
    std::lock_guard lock(RxLock);
    std::uint32_t tail;
    std::uint32_t* offset = PeekOffsetLocked();
    std::int32_t rc = PeekBlockPrim(block, offset ? *offset : 0, tail, len);
    if (rc < 0) return rc;
    if (offset) {
      *offset += len;
    } else {
      wasFull = RxRingFull && len > 0;
      ConsumedLocked(len);
    }
  }
  if (wasFull) Wake(comWake_);  // the comm thread stopped polling for input while the ring was full
  if (TracingOn) TraceBlock('R', static_cast<const std::uint8_t*>(block), len);
  return 0;
}

std::int32_t TLkBaseDispatcher::InBuffUsed() {
  std::lock_guard lock(RxLock);
  std::uint32_t used = RxUsedLocked();
  if (std::uint32_t* offset = PeekOffsetLocked()) used -= std::min(used, *offset);
  return static_cast<std::int32_t>(used);
}

std::int32_t TLkBaseDispatcher::InBuffFree() {
  std::lock_guard lock(RxLock);
  std::uint32_t free = kRxRingSize - RxUsedLocked();
  if (std::uint32_t* offset = PeekOffsetLocked()) free += *offset;
  return static_cast<std::int32_t>(free);
}

std::int32_t TLkBaseDispatcher::FlushInBuffer() {
  if (std::uint32_t* late = ReadOnlyScope::OffsetFor(this)) {
    // A late handler consumes nothing: the flush only moves its own read offset.
    std::lock_guard lock(RxLock);
    *late = RxUsedLocked();
    return 0;
  }
  // A read in flight ends first, and what it brought goes with the flush. Were it left to run, one that
  // looked at the ring before the flush and read the device after it would drop what arrived since.
  std::int32_t rc;
  bool wasFull;
  {
    std::scoped_lock lock(extractMutex_, RxLock);
    rc = FlushCom(1);
    wasFull = RxRingFull;
    if (PeekMode && NotifyScope::Active(this)) {
      PeekMax = RxUsedLocked();  // everything held counts as consumed when the notification ends
    } else {
      RxReadPos = RxWritePos;
      PeekOffset = PeekMax = 0;
      // Flushed bytes are not scanned for triggers.
      RxScanPos = RxWritePos;
      rxUnscanned_ = 0;
    }
    RxRingFull = false;
  }
  if (wasFull) Wake(comWake_);
  ResetDataTriggers();
  return rc;
}

// Output

std::uint32_t TLkBaseDispatcher::TxUsedLocked() const {
  if (TxWritePos > TxReadPos) return TxWritePos - TxReadPos;
  if (TxWritePos < TxReadPos) return OutQueueSize - TxReadPos + TxWritePos;
  return TxRingFull ? OutQueueSize : 0;
}

std::uint32_t TLkBaseDispatcher::GetComError(platform::SerialStatus& stat) {
  std::uint32_t errors = GetDeviceErrors(stat);
  std::lock_guard lock(OutputLock);
  stat.OutQueue = TxUsedLocked();
  return errors;
}

std::int32_t TLkBaseDispatcher::PutBlock(const void* block, std::uint32_t len) {
  if (len == 0) return 0;
  std::int32_t result = 0;
  {
    platform::SerialStatus stat;
    std::uint32_t errors = GetDeviceErrors(stat);
    std::lock_guard lock(OutputLock);
    LineErrors = errors;
    if (!TxRing) return ecOutputBufferTooSmall;
    std::uint32_t free = OutQueueSize - TxUsedLocked();
    if (len > free) return ecOutputBufferTooSmall;
    if (RS485Mode && BaseAddress == 0) return ecBaseAddressNotSet;
    // A writer with bytes still queued is writing them or waiting for room, and takes these too:
    // only a ring that was empty may have left it idle.
    const bool wasEmpty = TxUsedLocked() == 0;
    if (len == free) TxRingFull = true;
    if (WriteCom(block, len) < 1) {
      result = ecPutBlockFail;
      LineErrors = GetDeviceErrors(stat);
    }
    OutputSent = true;
    if (wasEmpty) Wake(outWake_);
  }
  if (LoggingOn || TracingOn) {
    std::lock_guard lock(DataLock);
    std::uint32_t count = result < 0 ? 0 : len;
    if (LoggingOn) AddDispatchEntry(kLogDispatch, kLogWriteCom, count, block, count);
    if (TracingOn)
      for (std::uint32_t i = 0; i < count; ++i) AddTraceEntry('T', static_cast<const std::uint8_t*>(block)[i]);
  }
  return result;
}

std::int32_t TLkBaseDispatcher::OutBuffUsed() {
  RefreshStatus();
  std::lock_guard lock(OutputLock);
  return static_cast<std::int32_t>(TxUsedLocked());
}

bool TLkBaseDispatcher::OutputDrained() {
  // The ring first: a write that ends after this look has put its bytes into the device's queue before
  // the device is asked. Looked at the other way round, such bytes would be in neither. The writer
  // leaves what it is writing in the ring until the device has taken it.
  {
    std::lock_guard lock(OutputLock);
    if (TxUsedLocked() != 0) return false;
  }
  platform::SerialStatus stat;
  LineErrors |= GetDeviceErrors(stat) & 31;
  return stat.OutQueue == 0;
}

std::int32_t TLkBaseDispatcher::OutBuffFree() {
  std::int32_t used = OutBuffUsed();
  return static_cast<std::int32_t>(OutQueueSize) - used;
}

void TLkBaseDispatcher::WaitTxSent() {
  {
    // The writer says when it has written (or dropped) bytes; a flush and a stop say so too.
    std::unique_lock lock(OutputLock);
    txEmpty_.wait_for(lock, std::chrono::seconds(10),
                      [this] { return !TxRing || TxUsedLocked() == 0 || KillThreads || !Started; });
  }
  RefreshStatus();
  TDeviceState dcb;
  {
    std::lock_guard lock(DataLock);
    GetComState(dcb);
  }
  std::uint32_t bits = dcb.DataBits + 2u + (dcb.Parity != 0 ? 1u : 0u) + (dcb.StopBits != 0 ? 1u : 0u);
  std::uint32_t baud = std::max<std::uint32_t>(BaudOfCode(dcb.Baud), 1);
  std::uint64_t t = static_cast<std::uint64_t>(10'000'000 / baud) * bits;  // one character in 100 ns
  std::uint64_t x = t * 18;
  if (x < 10'000) x *= 2;
  std::uint64_t ms = x / 10'000 + (x % 10'000 ? 1 : 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void TLkBaseDispatcher::BufferSizes(std::uint32_t& inSize, std::uint32_t& outSize) const {
  inSize = InQueueSize;
  outSize = OutQueueSize;
}

bool TLkBaseDispatcher::OutputPending() {
  std::lock_guard lock(OutputLock);
  return TxRing && (TxRingFull || TxWritePos != TxReadPos);
}

std::int32_t TLkBaseDispatcher::WriteOutput() {
  std::int32_t written = 0;
  for (;;) {
    std::uint32_t from, count;
    std::uint64_t generation;
    {
      std::lock_guard lock(OutputLock);
      if (!TxRing || !(TxRingFull || TxWritePos != TxReadPos)) return written;
      std::uint32_t w = TxWritePos, r = TxReadPos, size = OutQueueSize;
      if (w > r) {
        count = w - r;
      } else if (w > 0) {
        // Wrapped (or full): make the waiting bytes contiguous so that one write takes them all. The
        // rotation in place puts the ring's head bytes right after its tail bytes.
        std::rotate(TxRing.get(), TxRing.get() + r, TxRing.get() + size);
        TxWritePos = w + (size - r);
        TxReadPos = r = 0;
        count = TxWritePos;
        if (TxWritePos == size) TxWritePos = 0;  // the full ring keeps equal positions
      } else {
        count = size - r;
      }
      from = r;
      generation = TxGeneration;
      writerBusy_ = true;
    }
    // Only the writer moves TxReadPos, WriteCom never writes where unsent bytes lie, and a flush waits
    // for writerBusy_ to clear before it empties the ring, so the device write runs without the lock.
    std::int32_t n = WriteDevice(TxRing.get() + from, count);
    std::lock_guard lock(OutputLock);
    writerBusy_ = false;
    writerIdle_.notify_all();
    if (generation != TxGeneration || !TxRing) return written;  // flushed meanwhile
    std::uint32_t advance = n < 0 ? count : static_cast<std::uint32_t>(n);
    if (advance == 0) return written;  // the device takes no more for now
    TxReadPos += advance;
    if (TxReadPos >= OutQueueSize) TxReadPos = 0;
    TxRingFull = false;
    if (TxReadPos == TxWritePos) {
      TxReadPos = TxWritePos = 0;
      txEmpty_.notify_all();
    }
    if (n < 0) return n;
    written += n;
    BytesWritten += static_cast<std::uint64_t>(n);
    if (advance < count) return written;  // the device is full: the writer waits for room
  }
}

// Receive side of the dispatch thread

bool TLkBaseDispatcher::MoveInput(bool wait, const platform::SerialStatus* known) {
  // Another thread may be moving the input already (the comm thread, when passes deliver nothing):
  // what it reads is handed on as an event of its own.
  std::unique_lock extract(extractMutex_, std::defer_lock);
  if (wait)
    extract.lock();
  else if (!extract.try_lock())
    return true;
  std::uint8_t* ring;
  std::uint32_t w, first, wanted;
  {
    std::lock_guard lock(RxLock);
    if (!RxRing) return false;
    if (RxRingFull) return true;
    ring = RxRing.get();
    w = RxWritePos;
    const std::uint32_t r = RxReadPos;
    std::uint32_t room;
    if (w == r) {
      room = kRxRingSize;
      first = kRxRingSize - w;
    } else if (w < r) {
      room = first = r - w;
    } else {
      room = r + kRxRingSize - w;
      first = kRxRingSize - w;
    }
    wanted = room;
  }
  platform::SerialStatus stat;
  if (known) {
    stat = *known;  // the caller has just read the status, and kept its error flags
  } else {
    // Error flags read here are kept: the device reports each only once.
    LineErrors |= GetDeviceErrors(stat) & 31;
  }
  const std::uint32_t waiting = stat.InQueue;
  if (waiting == 0) return false;
  wanted = std::min(wanted, waiting);
  const std::uint32_t second = first < wanted ? wanted - first : 0;
  const std::uint32_t span = std::min(first, wanted);

  // Only this extraction writes the free space from the write position on (readers stop there, and
  // the ring is swapped only under extractMutex_), so the device is read into it without RxLock.
  std::uint32_t counts[2] = {0, 0};
  int reads = 0;
  auto readSpan = [&](std::uint8_t* at, std::uint32_t size) {
    std::int32_t got = ReadCom(at, size);
    if (got < 0) {
      got = 0;
      GetComEventMask(-1);
    }
    counts[reads++] = static_cast<std::uint32_t>(got);
    return static_cast<std::uint32_t>(got);
  };
  std::uint32_t got = readSpan(ring + w, span);
  if (got == span && second > 0) got += readSpan(ring, second);

  // Copies of what was read, for the dispatch log: recorded after RxLock is released (DataLock ranks above).
  std::vector<std::uint8_t> logged[2];
  {
    std::lock_guard lock(RxLock);
    if (LoggingOn) {
      logged[0].assign(ring + w, ring + w + counts[0]);
      logged[1].assign(ring, ring + counts[1]);
    }
    RxWritePos = (w + got) % kRxRingSize;
    rxUnscanned_ += got;
    rxTotal_ += got;
    if (got > 0) RxRingFull = RxWritePos == RxReadPos;
  }
  extract.unlock();
  if (got > 0) {
    std::lock_guard lock(inputMutex_);
    inputArrived_.notify_all();
    if (inputWaker_) inputWaker_();
  }
  if (LoggingOn) {
    std::lock_guard data(DataLock);
    for (int i = 0; i < reads; ++i)
      AddDispatchEntry(kLogDispatch, kLogReadCom, static_cast<std::uint32_t>(logged[i].size()), logged[i].data(),
                       static_cast<std::uint32_t>(logged[i].size()));
  }
  return true;
}

// Line settings and status

std::int32_t TLkBaseDispatcher::SetLine(std::uint32_t baud, std::uint32_t parity, std::uint32_t dataBits,
                                        std::uint32_t stopBits) {
  auto apply = [&](TDeviceState& dcb) {
    if (baud != 0) dcb.Baud = baud;
    if (parity != kUnchangedParity && parity <= 4) dcb.Parity = static_cast<std::uint8_t>(parity);
    if (dataBits != kUnchangedDataBits) dcb.DataBits = static_cast<std::uint8_t>(dataBits);
    if (stopBits != kUnchangedStopBits) {
      std::uint32_t stops = stopBits == 0 ? 1 : stopBits > 2 ? 2 : stopBits;
      dcb.StopBits = dcb.DataBits == 5 ? 1 : stops == 1 ? 0 : 2;
    }
  };
  {
    std::lock_guard lock(DataLock);
    TDeviceState current;
    GetComState(current);
    TDeviceState wanted = current;
    apply(wanted);
    if (wanted.Baud == current.Baud && wanted.Parity == current.Parity && wanted.DataBits == current.DataBits &&
        wanted.StopBits == current.StopBits)
      return 0;
  }
  WaitTxSent();
  std::lock_guard lock(DataLock);
  TDeviceState dcb;
  GetComState(dcb);
  apply(dcb);
  return SetCommStateFixLocked(dcb);
}

void TLkBaseDispatcher::GetLine(std::uint32_t& baud, std::uint32_t& parity, std::uint32_t& dataBits,
                                std::uint32_t& stopBits) {
  std::lock_guard lock(DataLock);
  TDeviceState dcb;
  GetComState(dcb);
  baud = BaudOfCode(dcb.Baud);
  parity = dcb.Parity;
  dataBits = dcb.DataBits;
  stopBits = dcb.StopBits != 0 ? 2 : 1;
}

std::int32_t TLkBaseDispatcher::SetCommStateFix(TDeviceState& dcb) {
  std::lock_guard lock(DataLock);
  return SetCommStateFixLocked(dcb);
}

std::int32_t TLkBaseDispatcher::SetCommStateFixLocked(TDeviceState& dcb) {
  if (!DtrAuto) dcb.DtrControl = DtrState ? TDeviceState::Enable : TDeviceState::Disable;
  if (!RtsAuto) dcb.RtsControl = RtsState ? TDeviceState::Enable : TDeviceState::Disable;
  std::int32_t rc = SetComState(dcb);
  if (rc == 0) {
    LastBaud = dcb.Baud;
    DeviceState = dcb;
  }
  SetDtrLocked(DtrState);
  if (!RS485Mode) SetRtsLocked(RtsState);
  return rc;
}

std::int32_t TLkBaseDispatcher::SetDtr(bool state) {
  std::lock_guard lock(DataLock);
  return SetDtrLocked(state);
}

std::int32_t TLkBaseDispatcher::SetDtrLocked(bool state) {
  if (DtrAuto) return 1;  // under hardware flow control
  if (EscapeComFunction(state ? 5 : 6) != 0) return ecBadArgument;
  DtrState = state;
  return 0;
}

std::int32_t TLkBaseDispatcher::SetRts(bool state) {
  std::lock_guard lock(DataLock);
  return SetRtsLocked(state);
}

std::int32_t TLkBaseDispatcher::SetRtsLocked(bool state) {
  if (RtsAuto) return 1;
  if (EscapeComFunction(state ? 3 : 4) != 0) return ecBadArgument;
  RtsState = state;
  return 0;
}

std::int32_t TLkBaseDispatcher::SetModem(bool dtr, bool rts) {
  std::lock_guard lock(DataLock);
  std::int32_t rc = SetDtrLocked(dtr);
  if (rc == 0) rc = SetRtsLocked(rts);
  return rc;
}

std::uint8_t TLkBaseDispatcher::GetModemStatusPrim(std::uint8_t clearMask) {
  std::lock_guard lock(DataLock);
  return GetModemStatusPrimLocked(clearMask);
}

std::uint8_t TLkBaseDispatcher::GetModemStatusPrimLocked(std::uint8_t clearMask) {
  ModemStatus = static_cast<std::uint8_t>((ReadModemLines() & 0xF0) | (ModemStatus & 0x0F));
  if (RingFlag.exchange(false)) ModemStatus |= msTrailingRi;
  std::uint8_t result = ModemStatus;
  ModemStatus &= clearMask;
  return result;
}

bool TLkBaseDispatcher::CheckModemBit(std::uint8_t clearMask, std::uint8_t bit) {
  return (GetModemStatusPrim(clearMask) & bit) != 0;
}

void TLkBaseDispatcher::MapEventsToMS(std::uint32_t) {
  std::lock_guard lock(DataLock);
  std::uint8_t old = ModemStatus;
  GetModemStatusPrimLocked(0xFF);
  ModemStatus |= static_cast<std::uint8_t>(((ModemStatus ^ old) & 0xF0) >> 4);
}

void TLkBaseDispatcher::RefreshStatus() {
  platform::SerialStatus stat;
  std::uint32_t errors = GetComError(stat);
  LineErrors |= errors & 31;
  std::lock_guard lock(StatusLock);
  ComStatus = stat;
}

std::int32_t TLkBaseDispatcher::GetLineError() {
  std::lock_guard lock(DataLock);
  std::uint32_t e = LineErrors;
  std::int32_t result = (e & leRxOverflow) ? 1
                        : (e & leOverrun)  ? 2
                        : (e & leParity)   ? 3
                        : (e & leFraming)  ? 4
                        : (e & leBreak)    ? 9
                                           : 0;
  if (result != 0) LineErrors &= ~(leRxOverflow | leOverrun | leParity | leFraming);
  return result;
}

bool TLkBaseDispatcher::CheckLineBreak() {
  std::lock_guard lock(DataLock);
  return (LineErrors.fetch_and(~static_cast<std::uint32_t>(leBreak)) & leBreak) != 0;
}

void TLkBaseDispatcher::SendBreak(std::int32_t ticks, bool yield) {
  SetBreak(true);
  DelayTicks(ticks, yield);
  SetBreak(false);
}

void TLkBaseDispatcher::SetBreak(bool on) {
  std::lock_guard lock(DataLock);
  SetBreakState(on);
}

// Flow control

std::int32_t TLkBaseDispatcher::HWFlowOptions(std::uint32_t bufferFull, std::uint32_t bufferResume,
                                              std::uint32_t options) {
  std::lock_guard lock(DataLock);
  if (bufferFull < bufferResume || bufferFull > InQueueSize) return ecBadArgument;
  TDeviceState dcb;
  GetComState(dcb);
  dcb.OutxCtsFlow = dcb.OutxDsrFlow = false;
  DtrAuto = RtsAuto = false;
  if (options & 1) {
    dcb.DtrControl = TDeviceState::Handshake;
    DtrAuto = true;
  } else {
    dcb.DtrControl = DtrState ? TDeviceState::Enable : TDeviceState::Disable;
  }
  if (options & 2) {
    dcb.RtsControl = TDeviceState::Handshake;
    RtsAuto = true;
  } else {
    dcb.RtsControl = RtsState ? TDeviceState::Enable : TDeviceState::Disable;
  }
  if (RS485Mode) {
    dcb.RtsControl = TDeviceState::Toggle;
    RtsAuto = true;
  }
  dcb.XoffLim = static_cast<std::uint16_t>(InQueueSize - bufferFull);
  dcb.XonLim = static_cast<std::uint16_t>(bufferResume);
  if (options & 4) dcb.OutxDsrFlow = true;
  if (options & 8) dcb.OutxCtsFlow = true;
  return SetCommStateFixLocked(dcb);
}

std::int32_t TLkBaseDispatcher::HWFlowState() {
  std::lock_guard lock(DataLock);
  TDeviceState dcb;
  GetComState(dcb);
  bool handshake = dcb.DtrControl == TDeviceState::Handshake || dcb.RtsControl == TDeviceState::Handshake;
  if (!dcb.OutxCtsFlow && !dcb.OutxDsrFlow && !handshake) return 1;
  std::int32_t state = 2;
  if (handshake) {
    RefreshStatus();
    std::lock_guard status(StatusLock);
    if (dcb.OutxDsrFlow && (ComStatus.Holds & platform::SerialStatus::DsrHold)) state = 3;
    if (dcb.OutxCtsFlow && (ComStatus.Holds & platform::SerialStatus::CtsHold)) state = 4;
  }
  return state;
}

std::int32_t TLkBaseDispatcher::SWFlowEnable(std::uint32_t bufferFull, std::uint32_t bufferResume,
                                             std::uint32_t options) {
  std::lock_guard lock(DataLock);
  if (bufferFull < bufferResume || bufferFull > InQueueSize) return ecBadArgument;
  TDeviceState dcb;
  GetComState(dcb);
  if (options & 2) {
    dcb.InX = true;
    dcb.XoffLim = static_cast<std::uint16_t>(InQueueSize - bufferFull);
    dcb.XonLim = static_cast<std::uint16_t>(bufferResume);
  }
  if (options & 1) dcb.OutX = true;
  if (options & 3) {
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
  }
  return SetCommStateFixLocked(dcb);
}

std::int32_t TLkBaseDispatcher::SWFlowDisable() {
  std::lock_guard lock(DataLock);
  TDeviceState dcb;
  GetComState(dcb);
  dcb.InX = dcb.OutX = false;
  return SetCommStateFixLocked(dcb);
}

std::int32_t TLkBaseDispatcher::SWFlowChars(char xOn, char xOff) {
  std::lock_guard lock(DataLock);
  TDeviceState dcb;
  GetComState(dcb);
  dcb.XonChar = xOn;
  dcb.XoffChar = xOff;
  return SetCommStateFixLocked(dcb);
}

std::int32_t TLkBaseDispatcher::SWFlowState() {
  std::lock_guard lock(DataLock);
  TDeviceState dcb;
  GetComState(dcb);
  if (!dcb.InX && !dcb.OutX) return 1;
  RefreshStatus();
  std::lock_guard status(StatusLock);
  bool held = ComStatus.Holds & platform::SerialStatus::XoffHold;
  bool sent = ComStatus.Holds & platform::SerialStatus::XoffSent;
  return held && sent ? 8 : held ? 6 : sent ? 7 : 2;
}

std::int32_t TLkBaseDispatcher::GetFlowOptions(std::uint32_t& hwOpts, std::uint32_t& swOpts, std::uint32_t& bufferFull,
                                               std::uint32_t& bufferResume, char& xOn, char& xOff) {
  hwOpts = swOpts = 0;
  std::lock_guard lock(DataLock);
  TDeviceState dcb;
  std::int32_t rc = GetComState(dcb);
  if (dcb.DtrControl == TDeviceState::Handshake) hwOpts |= 1;
  if (dcb.RtsControl == TDeviceState::Handshake) hwOpts |= 2;
  if (dcb.OutxDsrFlow) hwOpts |= 4;
  if (dcb.OutxCtsFlow) hwOpts |= 8;
  if (dcb.InX) swOpts |= 2;
  if (dcb.OutX) swOpts |= 1;
  // The limits are reported back from the device state (callers must not rely on them).
  bufferFull = InQueueSize - std::min<std::uint32_t>(dcb.XoffLim, InQueueSize);
  bufferResume = dcb.XonLim;
  xOn = dcb.XonChar;
  xOff = dcb.XoffChar;
  return rc;
}

// Other

void TLkBaseDispatcher::SetThreadBoost(std::uint8_t boost) {
  std::lock_guard lock(DataLock);
  ThreadBoost = boost;
}

void TLkBaseDispatcher::SetRS485Mode(bool on) {
  std::lock_guard lock(DataLock);
  RS485Mode = on;  // the driver switches RTS on Linux: no UART base address to ask for
}

void TLkBaseDispatcher::SetBaseAddress(std::uint16_t address) {
  std::lock_guard lock(OutputLock);
  BaseAddress = address;
}

std::uint16_t TLkBaseDispatcher::GetBaseAddress() {
  std::lock_guard lock(OutputLock);
  return BaseAddress;
}

std::int32_t TLkBaseDispatcher::SetDataPointer(void* p, std::uint32_t index) {
  if (index < 1 || index > 3) return ecBadArgument;
  std::lock_guard lock(DataLock);
  DataPointers[index - 1] = p;
  return 0;
}

std::int32_t TLkBaseDispatcher::GetDataPointer(void*& p, std::uint32_t index) {
  if (index < 1 || index > 3) return ecBadArgument;
  std::lock_guard lock(DataLock);
  p = DataPointers[index - 1];
  return 0;
}

void TLkBaseDispatcher::WaitForInput(std::uint64_t seen, std::chrono::milliseconds bound) {
  std::unique_lock lock(inputMutex_);
  inputArrived_.wait_for(lock, bound, [&] { return rxTotal_ != seen || KillThreads; });
}

std::function<void()> TLkBaseDispatcher::SetInputWaker(std::function<void()> waker) {
  std::lock_guard lock(inputMutex_);
  return std::exchange(inputWaker_, std::move(waker));
}

void TLkBaseDispatcher::SetHandlerErrorSink(HandlerErrorSink sink) {
  std::lock_guard lock(DataLock);
  errorSink_ = std::move(sink);
}

void TLkBaseDispatcher::SetEventBusy(bool& wasOn, bool setOn) {
  {
    std::lock_guard lock(DataLock);
    wasOn = InNotify.exchange(setOn);
  }
  if (wasOn && !setOn) RecheckTriggers();  // what came due during the wait is looked at now
}

void TLkBaseDispatcher::AddStringToLog(const std::string& s) {
  std::lock_guard lock(DataLock);
  if (LoggingOn)
    AddDispatchEntry(kLogUser, 0, static_cast<std::uint32_t>(s.size()), s.data(), static_cast<std::uint32_t>(s.size()));
}

void TLkBaseDispatcher::AddTraceEntry(char, std::uint8_t) {}

void TLkBaseDispatcher::AddDispatchEntry(std::uint8_t, std::uint8_t, std::uint32_t, const void*, std::uint32_t) {}

void TLkBaseDispatcher::TraceBlock(char kind, const std::uint8_t* bytes, std::uint32_t len) {
  std::lock_guard lock(DataLock);
  for (std::uint32_t i = 0; i < len; ++i) AddTraceEntry(kind, bytes[i]);
}

}  // namespace serial
