// The three worker threads of an open port and the dispatch passes they run.
//
// Comm-event thread: polls the device (for input only while the receive ring has room) and its wake
// eventfd, reads modem lines and error counters (closely only while a status trigger watches them), and
// hands a non-empty event mask to the dispatch thread, waiting until that pass is done. When the pass would notify nobody and log nothing, the comm
// thread moves the input into the ring itself and polls on while the pass runs: no byte then waits for
// two thread switches; without strings to look for, the dispatch thread is woken for a stream of input
// about once a millisecond rather than for every read. Dispatch thread: waits for a mask, a stop, a change of the triggers or
// the next timer trigger's expiry (at most 50 ms while a status trigger is armed), then runs a dispatch pass
// and a timer/status pass. Output thread: drains the transmit ring with non-blocking writes, polling for room
// when the device is full, and otherwise sleeps until woken; a block queued behind unsent bytes needs no
// wake-up. An idle port's threads so wake about once a second.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "serial/dispatcher.h"
#include "serial/port_list.h"
#include "serial/timing.h"

namespace serial {

namespace {

constexpr int kCommPollMs = 30;
// Without a status trigger on the lines, their changes and the error counters are looked at this often.
constexpr int kCommIdleMs = 1000;
// The dispatch thread's wait with nothing armed: a pass now and then whatever happens.
constexpr std::chrono::milliseconds kDispatchIdleWait{2000};
// While input streams in and a pass can notify nobody, the dispatch thread is woken for it at most this
// often: each wake-up costs the comm thread about as much as a device read.
constexpr std::chrono::microseconds kPassBatch{1000};
using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kDispatchWait{50};
constexpr int kWriterFullMs = 50;
constexpr int kWriterStalledMs = 10;
constexpr std::chrono::milliseconds kFlushAckBound{1000};

thread_local const TLkBaseDispatcher* workerOf = nullptr;

// Threads deleting dispatchers whose last reference went on one of their own workers. Each is joined
// when a later one starts, and whatever is left when the program's statics go, so that no deletion
// outlives the library's state.
class Deleters {
 public:
  Deleters() { PortList::Count(); }  // the port list is made first, so it goes after this
  ~Deleters() {
    std::vector<Entry> all;
    {
      std::lock_guard lock(mutex_);
      all.swap(threads_);
    }
    for (Entry& e : all) e.Thread.join();
  }
  void Start(std::function<void()> work) {
    std::lock_guard lock(mutex_);
    std::erase_if(threads_, [](Entry& e) {
      if (!*e.Done) return false;
      e.Thread.join();
      return true;
    });
    auto done = std::make_shared<std::atomic<bool>>(false);
    threads_.push_back({std::thread([work = std::move(work), done] {
                          work();
                          *done = true;
                        }),
                        done});
  }

 private:
  struct Entry {
    std::thread Thread;
    std::shared_ptr<std::atomic<bool>> Done;
  };
  std::mutex mutex_;
  std::vector<Entry> threads_;
};

Deleters& TheDeleters() {
  static Deleters deleters;
  return deleters;
}

// The wake-ups taken: an eventfd adds up those given since it was last read.
std::uint64_t Drain(int fd) {
  std::uint64_t value, taken = 0;
  while (::read(fd, &value, sizeof value) > 0) taken += value;
  return taken;
}

int MakeEventFd() { return ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); }

bool DeviceGone(int error) { return error == EIO || error == ENODEV || error == ENXIO || error == EBADF; }

}  // namespace

void TLkBaseDispatcher::Wake(int eventFd) {
  if (eventFd < 0) return;
  std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(eventFd, &one, sizeof one);
}

bool TLkBaseDispatcher::OnWorkerThread() const { return workerOf == this; }

void TLkBaseDispatcher::Destroy(TLkBaseDispatcher* dispatcher) {
  if (dispatcher && dispatcher->OnWorkerThread()) {
    TheDeleters().Start([dispatcher] { delete dispatcher; });
    return;
  }
  delete dispatcher;
}

std::int32_t TLkBaseDispatcher::ProbeDevice(platform::SerialStatus& stat) {
  return static_cast<std::int32_t>(GetDeviceErrors(stat));
}

void TLkBaseDispatcher::StartThreads() {
  {
    std::lock_guard lock(DataLock);
    if (Started) throw std::runtime_error("Dispatcher already started");
  }
  // Threads left over from a close finished by the dispatch thread are joined first.
  if (comThread_.joinable() || dispThread_.joinable() || outThread_.joinable()) StopThreads();
  {
    std::lock_guard lock(DataLock);
    Started = true;
    KillThreads = false;
    DonePending = false;
  }
  if (ManualPump) return;
  if (comWake_ < 0) comWake_ = MakeEventFd();
  if (outWake_ < 0) outWake_ = MakeEventFd();
  {
    std::lock_guard lock(passMutex_);
    maskReady_ = false;
    handedMask_ = 0;
    handedUnmoved_ = false;
    doneSeq_ = handedSeq_;
  }
  // The lines as the port starts, read here: a change from now on is an event, however late the comm thread
  // first runs.
  const std::uint8_t lines = DeviceLost || PollDescriptor() < 0 ? 0 : ReadModemLines();
  ThreadCount = 3;
  auto gone = [this] {
    if (--ThreadCount == 0) Started = false;
  };
  comThread_ = std::jthread([this, gone, lines] {
    workerOf = this;
    ComThreadLoop(lines);
    gone();
  });
  dispThread_ = std::jthread([this, gone] {
    workerOf = this;
    DispThreadLoop();
    gone();
  });
  outThread_ = std::jthread([this, gone] {
    workerOf = this;
    OutThreadLoop();
    gone();
  });
}

void TLkBaseDispatcher::StopThreads() {
  if (OnWorkerThread()) {
    DonePort();  // deferred: a worker cannot join itself
    return;
  }
  {
    std::lock_guard lock(passMutex_);
    KillThreads = true;
  }
  passCv_.notify_all();
  Wake(comWake_);
  Wake(outWake_);
  {
    std::lock_guard lock(OutputLock);  // a rate change waiting for the line to drain
  }
  txEmpty_.notify_all();
  {
    std::lock_guard lock(inputMutex_);  // a string wait
  }
  inputArrived_.notify_all();
  // No lock is held here: the threads may need any of them to finish their pass.
  for (std::jthread* t : {&outThread_, &comThread_, &dispThread_})
    if (t->joinable()) t->join();
  ThreadCount = 0;
  Started = false;
}

void TLkBaseDispatcher::CloseWakeFds() {
  for (int* fd : {&comWake_, &outWake_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

void TLkBaseDispatcher::ClearTransmitRing() {
  std::unique_lock lock(OutputLock);
  // Emptied at once, so that a writer just back from its device write finds nothing to send again. The
  // positions meet where the next block goes, not at 0: a write still running (one past the bound) keeps
  // its bytes until the ring has wrapped.
  ++TxGeneration;  // a write in flight no longer counts
  TxReadPos = TxWritePos;
  TxRingFull = false;
  txEmpty_.notify_all();  // the ring is empty: a rate change waiting for it goes on
  Wake(outWake_);
  // The device is purged after this: what the write in flight handed it goes with the purge.
  writerIdle_.wait_for(lock, kFlushAckBound, [this] { return !writerBusy_; });
}

void TLkBaseDispatcher::RecheckTriggers(bool lines) {
  // All under the lock: a handler woken by this may drop the dispatcher's last reference at once.
  std::lock_guard lock(passMutex_);
  recheck_ = true;
  passCv_.notify_all();
  if (lines) Wake(comWake_);
}

std::chrono::milliseconds TLkBaseDispatcher::DispatchWaitBound() {
  std::lock_guard lock(DataLock);
  // A string wait holds the triggers back; its end asks for a pass.
  if (InNotify) return kDispatchIdleWait;
  // An armed status trigger may come true without an event (a line error a reader picked up, the
  // transmit ring draining): such triggers are looked at as often as they always were.
  if (std::any_of(statuses_.begin(), statuses_.end(), [](const StatusTrigger& t) { return t.Armed; }))
    return kDispatchWait;
  std::int32_t soonest = static_cast<std::int32_t>(kDispatchIdleWait.count());
  for (const TimerTrigger& t : timers_)
    if (t.Active) soonest = std::min(soonest, MsUntilExpiry(t.Timer));
  return std::chrono::milliseconds(std::max(soonest, 1));
}

bool TLkBaseDispatcher::LinesWatched() {
  std::lock_guard lock(DataLock);
  return std::any_of(statuses_.begin(), statuses_.end(), [](const StatusTrigger& t) {
    return t.Armed && (t.Type == stModem || t.Type == stLine);
  });
}

// Comm-event thread

void TLkBaseDispatcher::ComThreadLoop(std::uint8_t lastLines) {
  const int fd = PollDescriptor();
  bool lost = DeviceLost || fd < 0;
  int stale = 0;      // input reported ready but none could be read
  bool owed = false;  // input handed over whose pass the dispatch thread has not been woken for
  Clock::time_point lastWake{};
  auto wakeDispatch = [&] {
    owed = false;
    lastWake = Clock::now();
    passCv_.notify_all();
  };
  while (!KillThreads) {
    if (owed && Clock::now() - lastWake >= kPassBatch) wakeDispatch();
    bool room;
    {
      std::lock_guard lock(RxLock);
      room = RxRing && !RxRingFull;
    }
    bool wantInput = room && stale < 2;
    const bool quiet = stale >= 2;
    if (quiet) stale = 1;  // one quiet round, then look again
    pollfd fds[2] = {{comWake_, POLLIN, 0}, {lost ? -1 : fd, static_cast<short>(wantInput ? POLLIN : 0), 0}};
    const int timeout = owed ? 1 : quiet || (!lost && LinesWatched()) ? kCommPollMs : kCommIdleMs;
    int rc = ::poll(fds, 2, timeout);
    if (KillThreads) break;
    if (rc < 0) continue;  // EINTR
    if (fds[0].revents & POLLIN) Drain(comWake_);

    std::uint32_t mask = 0;
    if (!lost) {
      short events = fds[1].revents;
      if (events & (POLLHUP | POLLERR | POLLNVAL)) lost = true;
      if (!lost && (events & POLLIN)) mask |= evRxChar;
    }
    platform::SerialStatus stat;
    bool probed = false;
    if (!lost) {
      std::int32_t errors = ProbeDevice(stat);
      probed = errors >= 0;
      if (errors < 0 && DeviceGone(-errors)) {
        lost = true;
      } else if (errors > 0 && (errors & 31)) {
        LineErrors |= static_cast<std::uint32_t>(errors) & 31;
        if (errors & leBreak) mask |= evBreak;
        if (errors & (leRxOverflow | leOverrun | leParity | leFraming)) mask |= evErr;
      }
    }
    if (!lost) {
      std::uint8_t lines = ReadModemLines();
      std::uint8_t changed = lines ^ lastLines;
      if (changed & msCts) mask |= evCts;
      if (changed & msDsr) mask |= evDsr;
      if (changed & msDcd) mask |= evRlsd;
      if (changed & msRi) {
        mask |= evRing;
        if (lastLines & msRi) RingFlag = true;  // the ring has ended
      }
      lastLines = lines;
    }
    if (lost && !DeviceLost.exchange(true)) {
      // Reported once, as a line error; the descriptor is not polled again.
      LineErrors |= leBreak;
      mask |= evErr;
    }
    if (mask == 0) continue;

    std::uint64_t before = rxTotal_;
    // With nobody to notify and no log to keep, the pass has nothing to deliver: this thread moves
    // the input into the ring at once and polls again while the pass runs. Otherwise it waits for
    // the pass, which moves the input itself, as the hand-over has always worked.
    const PassNeed need = NeedOfPass();
    const bool alone = need != PassNeed::Wait;
    if (alone && (mask & evRxChar)) MoveInput(true, probed ? &stat : nullptr);
    {
      std::unique_lock lock(passMutex_);
      if (KillThreads) break;
      handedMask_ |= mask;  // events not yet taken by a pass are taken together
      if (!alone) handedUnmoved_ = true;
      const std::uint64_t ticket = ++handedSeq_;
      const bool woken = maskReady_ && !owed;  // the dispatch thread has yet to take an earlier wake-up
      maskReady_ = true;
      if (alone) {
        // Woken after the hand-over lock is let go, so that the dispatch thread does not wake only
        // to wait for it. Plain input for a pass that has no string to look for waits for the next
        // batch when the dispatch thread was woken a moment ago.
        lock.unlock();
        if (need == PassNeed::Batch && mask == evRxChar && Clock::now() - lastWake < kPassBatch)
          owed = true;
        else if (!woken)
          wakeDispatch();
      } else {
        wakeDispatch();
        passCv_.wait(lock, [this, ticket] { return doneSeq_ >= ticket || KillThreads.load(); });
      }
    }
    if (mask & evRxChar) stale = rxTotal_ == before ? stale + 1 : 0;
  }
}

// Dispatch thread

void TLkBaseDispatcher::DispThreadLoop() {
  for (;;) {
    bool handed;
    std::uint64_t taken;
    const std::chrono::milliseconds bound = DispatchWaitBound();
    {
      std::unique_lock lock(passMutex_);
      passCv_.wait_for(lock, bound, [this] { return maskReady_ || recheck_ || KillThreads.load(); });
      recheck_ = false;
      if (KillThreads) break;
      handed = maskReady_;
      EventMask = handed ? handedMask_ : 0;
      // Input of events the comm thread moved itself is in the ring: no device read in this pass.
      inputMoved_ = handed && !handedUnmoved_;
      handedMask_ = 0;
      handedUnmoved_ = false;
      maskReady_ = false;
      taken = handedSeq_;
    }
    DispatchPass();
    inputMoved_ = false;
    TimerStatusPass();
    if (handed) {
      std::lock_guard lock(passMutex_);
      doneSeq_ = taken;
    }
    passCv_.notify_all();
    if (KillThreads || ClosePending) break;
  }
  DonePending = ClosePending || KillThreads;
  if (ClosePending) {
    // A close asked for from a handler: the other threads end too; the window thread joins them all.
    {
      std::lock_guard lock(passMutex_);
      KillThreads = true;
    }
    passCv_.notify_all();
    Wake(comWake_);
    Wake(outWake_);
  }
}

TLkBaseDispatcher::PassNeed TLkBaseDispatcher::NeedOfPass() {
  if (LoggingOn) return PassNeed::Wait;
  std::lock_guard lock(DataLock);
  if (!NobodyToNotifyLocked() || InNotify) return PassNeed::Wait;
  // Strings are matched byte by byte, and bytes a reader takes before the scan are not scanned: their
  // pass comes at once.
  if (std::any_of(datas_.begin(), datas_.end(), [](const DataTrigger& t) { return t.Length != 0; }))
    return PassNeed::Wake;
  return PassNeed::Batch;
}

void TLkBaseDispatcher::StatusTriggerLoop(bool& leave) {
  while (CheckStatusTriggers())
    if (ClosePending) {
      leave = true;
      return;
    }
}

void TLkBaseDispatcher::DispatchPass() {
  const std::uint32_t e = EventMask;
  bool leave = false;
  auto resetHits = [this] {
    bool hit;
    {
      std::lock_guard lock(DataLock);
      hit = StatusHit;
    }
    if (hit) ResetStatusHits();
  };
  if (e & (evCts | evDsr | evRlsd | evRing | evRingTe)) {
    MapEventsToMS(e);
    if (!InNotify) {
      StatusTriggerLoop(leave);
      if (leave) return;
    }
    resetHits();
  }
  if (e & (evBreak | evErr)) {
    RefreshStatus();
    if (!InNotify) {
      StatusTriggerLoop(leave);
      if (leave) return;
    }
  }
  if (!inputMoved_) ExtractData();
  if (!InNotify) {
    StatusTriggerLoop(leave);
    if (leave) return;
    while (CheckReceiveTriggers())
      if (ClosePending) return;
  }
  resetHits();
}

void TLkBaseDispatcher::TimerStatusPass() {
  if (ClosePending || InNotify) return;
  {
    std::lock_guard lock(DataLock);
    StatusHit = false;
  }
  do {
    if (!CheckStatusTriggers() && !CheckTimerTriggers()) break;
  } while (!ClosePending);
  bool hit;
  {
    std::lock_guard lock(DataLock);
    hit = StatusHit;
  }
  if (hit) ResetStatusHits();
}

// Output thread

void TLkBaseDispatcher::OutThreadLoop() {
  const int fd = PollDescriptor();
  int stalls = 0;  // rounds in which the device was said to have room but took nothing
  while (!KillThreads && !ClosePending) {
    bool pending = OutputPending();
    if (pending) {
      std::int32_t n = WriteOutput();
      pending = OutputPending();
      stalls = n > 0 || !pending ? 0 : stalls + 1;
    }
    pollfd fds[2] = {{outWake_, POLLIN, 0}, {-1, POLLOUT, 0}};
    int timeout = -1;  // idle: whatever gives the writer work wakes it
    if (pending) {
      // EAGAIN: the bytes stay queued and the writer waits for room (or for a flush or a stop).
      bool pollDevice = stalls < 2 && fd >= 0 && !DeviceLost;
      if (pollDevice) fds[1].fd = fd;
      timeout = pollDevice ? kWriterFullMs : kWriterStalledMs;
    }
    ::poll(fds, 2, timeout);
    if (fds[0].revents & POLLIN) OutputWakes += Drain(outWake_);
  }
}

}  // namespace serial
