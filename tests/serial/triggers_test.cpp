// Triggers and notification: handles, matching, the dispatch pass's order, handler order and the peek
// consumption rule (pumped by hand), then delivery to a window thread and the same over real threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "platform/posix_tty.h"
#include "serial/dispatcher.h"
#include "serial/error_codes.h"
#include "serial/timing.h"
#include "serial/win32_dispatcher.h"
#include "support/fake_serial_device.h"
#include "support/manual_clock.h"
#include "support/pty_pair.h"
#include "support/serial_port_helpers.h"

namespace serial {
namespace {

using testing_support::FakeSerialDevice;
using testing_support::PtyPair;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Note {
  std::uint32_t Msg, Trigger, Data;
  std::string Who;
  bool operator==(const Note&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Note& n) {
  return os << n.Who << ":" << std::hex << n.Msg << "/" << std::dec << n.Trigger << "/" << (n.Data & 0xFFFF);
}

// What handlers saw, and what they are told to take, shared with plain-function handlers.
struct Journal {
  std::mutex Mutex;
  std::vector<Note> Notes;
  TLkBaseDispatcher* Port = nullptr;
  std::uint32_t TakeFirst = 0, TakeSecond = 0;
  void Add(const std::string& who, std::uint32_t msg, std::uint32_t trigger, std::uint32_t data) {
    std::lock_guard lock(Mutex);
    Notes.push_back({msg, trigger, data & 0xFFFF, who});
  }
  std::vector<Note> Take() {
    std::lock_guard lock(Mutex);
    return std::exchange(Notes, {});
  }
  std::size_t Count() {
    std::lock_guard lock(Mutex);
    return Notes.size();
  }
};
Journal journal;

void Take(std::uint32_t n) {
  Bytes b(n);
  if (n) {
    EXPECT_EQ(journal.Port->GetBlock(b.data(), n), 0);
  }
}
void ProcA(std::uint32_t m, std::uint32_t t, std::uint32_t d) {
  journal.Add("procA", m, t, d);
  Take(journal.TakeFirst);
}
void ProcB(std::uint32_t m, std::uint32_t t, std::uint32_t d) {
  journal.Add("procB", m, t, d);
  Take(journal.TakeSecond);
}
void Ignore(std::uint32_t, std::uint32_t, std::uint32_t) {}
void EventCode(void* object, std::uint32_t m, std::uint32_t t, std::uint32_t d) {
  journal.Add(static_cast<const char*>(object), m, t, d);
}

// A window thread for tests: runs posted deliveries in order on its own thread, unless held.
class FakeWindow : public NotifyTarget {
 public:
  explicit FakeWindow(std::string name) : name_(std::move(name)), thread_([this] { Loop(); }) {}
  ~FakeWindow() override {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
      held_ = false;
    }
    cv_.notify_all();
    thread_.join();
  }
  void Post(std::shared_ptr<Delivery> delivery) override {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(delivery));
    ++Posted;
    cv_.notify_all();
  }
  // While held, deliveries queue up and run only when released (a hung window).
  void Hold(bool on) {
    std::lock_guard lock(mutex_);
    held_ = on;
    cv_.notify_all();
  }
  std::function<void(const Delivery&)> OnMessage;
  std::atomic<int> Posted{0}, Ran{0};

 private:
  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      cv_.wait(lock, [&] { return stop_ || (!held_ && !queue_.empty()); });
      if (queue_.empty() && stop_) return;
      auto d = queue_.front();
      queue_.pop_front();
      lock.unlock();
      d->Run([&] {
        journal.Add(name_, d->Msg, d->Trigger, d->Data);
        if (OnMessage) OnMessage(*d);
      });
      ++Ran;
      lock.lock();
    }
  }
  std::string name_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::shared_ptr<Delivery>> queue_;
  bool stop_ = false, held_ = false;
  std::thread thread_;
};

// A hand-pumped dispatcher over a fake device.
struct PumpedPort {
  PumpedPort() {
    d = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr, [this](const std::string&) {
      platform::SerialOpenResult r;
      auto owned = std::make_unique<FakeSerialDevice>();
      fake = owned.get();
      r.Device = std::move(owned);
      return r;
    });
    d->ManualPump = true;
    EXPECT_EQ(d->InitPort("COM1", 9600, 0, 8, 1, 4096, 4096, 0x03), 0);
    journal.Take();
    journal.Port = d.get();
    journal.TakeFirst = journal.TakeSecond = 0;
  }
  ~PumpedPort() { journal.Port = nullptr; }
  void Arrive(const std::string& s) {
    fake->Receive(Bytes(s.begin(), s.end()));
    d->EventMask = TLkBaseDispatcher::evRxChar;
    d->DispatchPass();
  }
  std::shared_ptr<TLkWin32Dispatcher> d;
  FakeSerialDevice* fake = nullptr;
};

std::atomic<std::uint64_t> Ms{0};

TEST(Triggers, HandlesCountUpThenReuseTheSmallestFreeAndRunOut) {
  PumpedPort port;
  TLkBaseDispatcher& d = *port.d;
  EXPECT_EQ(d.AddTimerTrigger(), 8);
  EXPECT_EQ(d.AddDataTrigger("OK", false), 16);
  std::int32_t status = d.AddStatusTrigger(stOutUsed);
  EXPECT_EQ(status, 24 | 4);
  EXPECT_EQ(TLkBaseDispatcher::ClassifyStatusTrigger(status), 4u);
  EXPECT_EQ(d.AddStatusTrigger(6), ecBadArgument);
  EXPECT_EQ(d.AddDataTriggerLen("123456789012345678901", false, 21), 32);
  EXPECT_EQ(d.AddDataTriggerLen("1234567890123456789012", false, 22), ecTriggerTooLong);

  for (int i = 4; i < 4095; ++i) ASSERT_GT(d.AddTimerTrigger(), 0);
  EXPECT_EQ(d.AddTimerTrigger(), ecNoMoreTriggers) << "4095 handles in use";
  EXPECT_EQ(d.AddDataTrigger("x", false), ecNoMoreTriggers);
  ASSERT_EQ(d.RemoveTrigger(status), 0);
  ASSERT_EQ(d.RemoveTrigger(800), 0);
  EXPECT_EQ(d.AddTimerTrigger(), 24) << "the smallest free multiple of 8";
  EXPECT_EQ(d.AddTimerTrigger(), 800);
  EXPECT_EQ(d.RemoveTrigger(status), ecBadTriggerHandle);

  EXPECT_EQ(d.SetTimerTrigger(16, 5, true), ecBadTriggerHandle) << "a data trigger is not a timer";
  EXPECT_EQ(d.SetStatusTrigger(8, 1, true), ecBadTriggerHandle);
  d.RemoveAllTriggers();
  EXPECT_EQ(d.AddTimerTrigger(), 8) << "numbering starts again";
  d.ChangeLengthTrigger(4);
  EXPECT_EQ(d.RemoveTrigger(kAvailTriggerHandle), 0);
  EXPECT_EQ(d.AvailLength, 0u);
}

TEST(Triggers, OverlappingAndCaseInsensitiveMatches) {
  DataTrigger aab;
  aab.Length = 3;
  aab.Data = {'A', 'A', 'B'};
  std::string input = "AAAB";
  std::vector<bool> hits;
  for (char c : input) hits.push_back(MatchDataTrigger(aab, static_cast<std::uint8_t>(c)));
  EXPECT_EQ(hits, (std::vector<bool>{false, false, false, true}));

  DataTrigger aba;
  aba.Length = 3;
  aba.Data = {'A', 'B', 'A'};
  hits.clear();
  for (char c : std::string("ABABA")) hits.push_back(MatchDataTrigger(aba, static_cast<std::uint8_t>(c)));
  EXPECT_EQ(hits, (std::vector<bool>{false, false, true, false, true})) << "the last byte of a match starts the next";

  PumpedPort port;
  std::int32_t ok = port.d->AddDataTrigger("ok", true);
  std::int32_t never = port.d->AddDataTriggerLen("", false, 0);
  ASSERT_GT(never, 0);
  port.d->RegisterProcTriggerHandler(ProcA);
  port.Arrive("xOkyoK");
  auto notes = port.d->InBuffUsed();
  EXPECT_EQ(notes, 6);
  std::vector<Note> seen = journal.Take();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], (Note{kMsgDataTrigger, static_cast<std::uint32_t>(ok), 2, "procA"}));
  EXPECT_EQ(seen[1], seen[0]);
  EXPECT_EQ(seen[0].Data, 2u) << "the string length rides in the second parameter";
}

TEST(Triggers, DataAvailableBeforeTheMatchedStringThenTheMatch) {
  PumpedPort port;
  TLkBaseDispatcher& d = *port.d;
  std::int32_t ok = d.AddDataTrigger("OK", false);
  d.ChangeLengthTrigger(1);
  d.RegisterProcTriggerHandler(ProcA);
  journal.TakeFirst = 0;
  port.Arrive("xxOK");
  std::vector<Note> seen = journal.Take();
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen[0], (Note{kMsgDataAvail, 2, 0, "procA"})) << "the two bytes before the match";
  EXPECT_EQ(seen[1], (Note{kMsgDataTrigger, static_cast<std::uint32_t>(ok), 2, "procA"}));
  EXPECT_EQ(d.InBuffUsed(), 4) << "nobody took anything";
  EXPECT_EQ(seen[0].Data, 0u);
}

TEST(Triggers, NothingIsNotifiedWithoutLengthOrDataTriggers) {
  PumpedPort port;
  port.d->RegisterProcTriggerHandler(ProcA);
  port.Arrive("hello");
  EXPECT_EQ(journal.Count(), 0u);
  EXPECT_EQ(port.d->InBuffUsed(), 5);
}

TEST(Triggers, HandlersShareThePeekedBytesAndTheLargestTakeIsConsumed) {
  PumpedPort port;
  TLkBaseDispatcher& d = *port.d;
  d.ChangeLengthTrigger(8);
  d.RegisterProcTriggerHandler(ProcA);
  d.RegisterProcTriggerHandler(ProcB);
  journal.TakeFirst = 3;
  journal.TakeSecond = 5;
  port.fake->Receive(Bytes(8, 'z'));
  d.ExtractData();
  EXPECT_FALSE(d.CheckReceiveTriggers()) << "8 notified, 5 taken";
  EXPECT_EQ(d.InBuffUsed(), 3);
  EXPECT_FALSE(d.PeekMode);

  journal.TakeFirst = 3;
  journal.TakeSecond = 0;
  d.ChangeLengthTrigger(3);
  EXPECT_EQ(d.SendNotify(kMsgDataAvail, 3, 0), true) << "exactly the notified count was taken";
  EXPECT_EQ(d.InBuffUsed(), 0);
  journal.TakeFirst = 0;
  EXPECT_EQ(d.SendNotify(kMsgTimerTrigger, 8, 0), true);
}

TEST(Triggers, HandlerOrderEventsThenProceduresThenWindows) {
  PumpedPort port;
  TLkBaseDispatcher& d = *port.d;
  FakeWindow w1("w1"), w2("w2");
  d.RegisterWndTriggerHandler(&w1);
  d.RegisterProcTriggerHandler(ProcA);
  static char ev[] = "event";
  d.RegisterEventTriggerHandler({ev, EventCode});
  std::int32_t t = d.AddTimerTrigger();
  ASSERT_EQ(d.SetTimerTrigger(t, 1, true), 0);

  // One window handler alone is the port's own and is told only when it asked for notifications.
  d.SendNotify(kMsgTimerTrigger, t, 0);
  std::vector<Note> seen = journal.Take();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].Who, "event");
  EXPECT_EQ(seen[1].Who, "procA");
  d.UpdateHandlerFlags(1);
  d.SendNotify(kMsgTimerTrigger, t, 0);
  seen = journal.Take();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[2].Who, "w1");
  EXPECT_EQ(seen[2].Data, 0u);
  EXPECT_EQ(seen[2].Trigger, static_cast<std::uint32_t>(t));

  d.RegisterWndTriggerHandler(&w2);
  d.UpdateHandlerFlags(2);
  d.SendNotify(kMsgTimerTrigger, t, 0);
  seen = journal.Take();
  ASSERT_EQ(seen.size(), 4u) << "two window handlers are always told";
  EXPECT_EQ(seen[3].Who, "w2");

  d.DeregisterWndTriggerHandler(&w2);
  d.DeregisterProcTriggerHandler(ProcA);
  d.DeregisterEventTriggerHandler({nullptr, EventCode});
  EXPECT_FALSE(d.HandlersPresent);
  EXPECT_TRUE(d.SendNotify(kMsgTimerTrigger, t, 0));
  EXPECT_EQ(journal.Count(), 0u);
}

// A handler that deregisters itself and removes another trigger during the notification.
std::uint32_t removeOnNotify = 0;
void SelfRemovingProc(std::uint32_t m, std::uint32_t t, std::uint32_t d) {
  journal.Add("self", m, t, d);
  journal.Port->DeregisterProcTriggerHandler(SelfRemovingProc);
  journal.Port->RemoveTrigger(removeOnNotify);
}

TEST(Triggers, HandlersMayRemoveThemselvesAndTriggersWhileNotified) {
  PumpedPort port;
  TLkBaseDispatcher& d = *port.d;
  d.RegisterProcTriggerHandler(SelfRemovingProc);
  d.RegisterProcTriggerHandler(ProcB);
  std::int32_t ab = d.AddDataTrigger("AB", false);
  std::int32_t b = d.AddDataTrigger("B", false);
  removeOnNotify = static_cast<std::uint32_t>(ab);
  port.Arrive("AB");
  // Both matched on the same byte and are notified from the last in the list. The first handler
  // removed the other trigger before its turn, and itself: the rest of this notice still reaches ProcB.
  std::vector<Note> seen = journal.Take();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], (Note{kMsgDataTrigger, static_cast<std::uint32_t>(b), 1, "self"}));
  EXPECT_EQ(seen[1], (Note{kMsgDataTrigger, static_cast<std::uint32_t>(b), 1, "procB"}));
  EXPECT_EQ(d.RemoveTrigger(ab), ecBadTriggerHandle);
  port.Arrive("AB");
  seen = journal.Take();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], (Note{kMsgDataTrigger, static_cast<std::uint32_t>(b), 1, "procB"}));
}

struct FakeClockScope {
  testing_support::ManualClock clock{Ms};
};

TEST(Triggers, TimerTriggersFireAfterTheirTicks) {
  FakeClockScope clock;
  Ms = 55 * 1000;
  PumpedPort port;
  TLkBaseDispatcher& d = *port.d;
  d.RegisterProcTriggerHandler(ProcA);
  std::int32_t t1 = d.AddTimerTrigger(), t2 = d.AddTimerTrigger();
  ASSERT_EQ(d.SetTimerTrigger(t1, 3, true), 0);
  ASSERT_EQ(d.SetTimerTrigger(t2, 1, true), 0);
  std::int32_t left = 0;
  ASSERT_EQ(d.TimerTicksRemaining(t1, left), 0);
  EXPECT_EQ(left, 3);
  d.TimerStatusPass();
  EXPECT_EQ(journal.Count(), 0u);
  Ms += 55;  // tick 1001 = t2's expiry: expired only once the count passes it
  d.TimerStatusPass();
  EXPECT_EQ(journal.Count(), 0u);
  Ms += 55;
  d.TimerStatusPass();
  std::vector<Note> seen = journal.Take();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], (Note{kMsgTimerTrigger, static_cast<std::uint32_t>(t2), 0, "procA"}));
  ASSERT_EQ(d.ExtendTimer(t1, 2), 0);
  Ms += 55 * 2;
  d.TimerStatusPass();
  EXPECT_EQ(journal.Count(), 0u) << "extended by two ticks";
  Ms += 55 * 2;
  d.TimerStatusPass();
  d.TimerStatusPass();
  seen = journal.Take();
  ASSERT_EQ(seen.size(), 1u) << "disarmed after firing";
  EXPECT_EQ(seen[0].Trigger, static_cast<std::uint32_t>(t1));

  ASSERT_EQ(d.SetTimerTrigger(t2, 0, true), 0) << "0 keeps the last interval";
  Ms += 55 * 2;
  d.TimerStatusPass();
  EXPECT_EQ(journal.Take().size(), 1u);
}

TEST(Triggers, StatusTriggersOfTheTransmitSide) {
  PumpedPort port;
  TLkBaseDispatcher& d = *port.d;
  d.RegisterProcTriggerHandler(ProcA);
  std::int32_t used = d.AddStatusTrigger(stOutUsed);
  std::int32_t free = d.AddStatusTrigger(stOutFree);
  std::int32_t sent = d.AddStatusTrigger(stOutSent);
  ASSERT_EQ(d.SetStatusTrigger(used, 0, true), 0);
  ASSERT_EQ(d.SetStatusTrigger(free, 4000, true), 0);
  ASSERT_EQ(d.PutString(std::string(200, 'q')), 0);
  d.TimerStatusPass();
  std::vector<Note> seen = journal.Take();
  ASSERT_EQ(seen.size(), 0u) << "200 used, 3896 free; sent is not armed";
  ASSERT_EQ(d.SetStatusTrigger(sent, 0, true), 0);
  d.WriteOutput();
  d.TimerStatusPass();
  seen = journal.Take();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], (Note{kMsgStatusTrigger, static_cast<std::uint32_t>(used), 0, "procA"})) << "emptied: value 0";
  EXPECT_EQ(seen[1], (Note{kMsgStatusTrigger, static_cast<std::uint32_t>(free), 4096, "procA"}));
  EXPECT_EQ(seen[2], (Note{kMsgStatusTrigger, static_cast<std::uint32_t>(sent), 0, "procA"}));
  d.TimerStatusPass();
  EXPECT_EQ(journal.Count(), 0u) << "disarmed";
}

// The comms side reads the ring on its own thread while a handler (the modem's) is being notified.
std::int32_t otherResult = 0;
Bytes otherGot;
void PeekThenReadElsewhere(std::uint32_t m, std::uint32_t, std::uint32_t) {
  if (m != kMsgDataAvail) return;
  Bytes peeked(5);
  EXPECT_EQ(journal.Port->GetBlock(peeked.data(), 5), 0);
  EXPECT_EQ(peeked, Bytes({'H', 'E', 'L', 'L', 'O'}));
  std::thread([] {
    otherGot.assign(5, 0);
    otherResult = journal.Port->GetBlock(otherGot.data(), 5);
  }).join();
}

TEST(Triggers, OnlyTheNotifyingThreadPeeks) {
  PumpedPort port;
  TLkBaseDispatcher& d = *port.d;
  d.ChangeLengthTrigger(5);
  d.RegisterProcTriggerHandler(PeekThenReadElsewhere);
  port.Arrive("HELLO");
  EXPECT_EQ(otherResult, 0) << "the other thread reads the bytes the handler only peeked at";
  EXPECT_EQ(otherGot, Bytes({'H', 'E', 'L', 'L', 'O'}));
  EXPECT_EQ(d.InBuffUsed(), 0) << "and takes them: they are gone once";
  d.DeregisterProcTriggerHandler(PeekThenReadElsewhere);
  port.Arrive("AB");
  EXPECT_EQ(d.InBuffUsed(), 2) << "nothing after them was taken";
}

void Throwing(std::uint32_t m, std::uint32_t t, std::uint32_t d) {
  journal.Add("throwing", m, t, d);
  throw std::runtime_error("handler failed");
}

TEST(Triggers, AThrowingHandlerDoesNotStopTheOthers) {
  PumpedPort port;
  TLkBaseDispatcher& d = *port.d;
  d.RegisterProcTriggerHandler(Throwing);
  d.RegisterProcTriggerHandler(ProcB);
  d.ChangeLengthTrigger(2);
  journal.TakeSecond = 2;
  port.fake->Receive({'a', 'b'});
  d.ExtractData();
  EXPECT_TRUE(d.CheckReceiveTriggers());
  EXPECT_EQ(journal.Take().size(), 2u);
  EXPECT_EQ(d.InBuffUsed(), 0) << "the second handler's take counts";
  EXPECT_FALSE(d.PeekMode);
  EXPECT_FALSE(d.InNotify);
}

TEST(Triggers, LineErrorsFoundWhileReadingFireLineTriggers) {
  PumpedPort port;
  TLkBaseDispatcher& d = *port.d;
  d.RegisterProcTriggerHandler(ProcA);
  std::int32_t line = d.AddStatusTrigger(stLine);
  ASSERT_EQ(d.SetStatusTrigger(line, 2, true), 0);  // parity
  port.fake->AddLineErrors(platform::SerialStatus::Parity);
  port.Arrive("p");
  std::vector<Note> seen = journal.Take();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], (Note{kMsgStatusTrigger, static_cast<std::uint32_t>(line), 0, "procA"}));
  EXPECT_EQ(d.GetLineError(), 3);
}

TEST(Triggers, AFullReceiveRingIsStillScanned) {
  PumpedPort port;
  TLkBaseDispatcher& d = *port.d;
  std::int32_t end = d.AddDataTrigger("END", false);
  d.RegisterProcTriggerHandler(ProcA);
  std::string text(TLkBaseDispatcher::kRxRingSize - 3, '.');
  text += "ENDxx";
  Bytes lots(text.begin(), text.end());
  port.fake->Receive(lots);
  d.EventMask = TLkBaseDispatcher::evRxChar;
  d.DispatchPass();
  EXPECT_TRUE(d.RxRingFull);
  std::vector<Note> seen = journal.Take();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Trigger, static_cast<std::uint32_t>(end));
}

TEST(Triggers, SavedTriggersComeBackWithTheirHandles) {
  PumpedPort port;
  TLkBaseDispatcher& d = *port.d;
  std::int32_t t = d.AddTimerTrigger();
  std::int32_t s = d.AddStatusTrigger(stLine);
  d.ChangeLengthTrigger(5);
  TTriggerSave save;
  d.SaveTriggers(save);
  d.RemoveAllTriggers();
  d.RestoreTriggers(save);
  EXPECT_EQ(d.AvailLength, 5u);
  EXPECT_EQ(d.SetTimerTrigger(t, 2, true), 0);
  EXPECT_EQ(d.SetStatusTrigger(s, 1, true), 0);
  EXPECT_EQ(d.AddTimerTrigger(), 24) << "no handle is handed out twice";
  TLkBaseDispatcher::ClearSaveBuffers(save);
  EXPECT_TRUE(save.Timers.empty());
}

// A dispatcher whose dispatch-log hook keeps what it is told.
struct LoggedDispatcher : TLkWin32Dispatcher {
  using TLkWin32Dispatcher::TLkWin32Dispatcher;
  struct Entry {
    std::uint8_t Type, SubType;
    std::uint32_t Data;
    std::string Bytes;
    bool operator==(const Entry&) const = default;
  };
  std::vector<Entry> Entries;
  void AddDispatchEntry(std::uint8_t type, std::uint8_t subType, std::uint32_t data, const void* buffer,
                        std::uint32_t len) override {
    Entries.push_back({type, subType, data, std::string(static_cast<const char*>(buffer), len)});
  }
};

TEST(Triggers, TriggerChangesAndFiringsAreToldToTheDispatchLog) {
  auto d = TLkBaseDispatcher::Create<LoggedDispatcher>(nullptr, [](const std::string&) {
    platform::SerialOpenResult r;
    r.Device = std::make_unique<FakeSerialDevice>();
    return r;
  });
  d->ManualPump = true;
  ASSERT_EQ(d->InitPort("COM1", 9600, 0, 8, 1, 4096, 4096, 0), 0);
  d->LoggingOn = true;
  d->AddDataTrigger("Hi", false);  // 8
  d->AddTimerTrigger();            // 16
  d->AddStatusTrigger(stOutSent);  // 24 | 5
  d->ChangeLengthTrigger(2);
  d->SetTimerTrigger(16, 0, false);
  d->RegisterProcTriggerHandler(Ignore);
  d->RemoveTrigger(24 | 5);
  using E = LoggedDispatcher::Entry;
  EXPECT_EQ(d->Entries, (std::vector<E>{{5, 13, 8, "Hi"},
                                        {5, 14, 16, ""},
                                        {5, 15, 29, std::string(1, '\x05')},
                                        {9, 16, 2, ""},
                                        {9, 14, 16, "Deactivated"},
                                        {7, 18, 0, ""},
                                        {6, 15, 29, std::string(1, '\x05')}}));
  d->Entries.clear();
  static_cast<FakeSerialDevice*>(d->Device())->Receive({'H', 'i'});
  d->ExtractData();
  while (d->CheckReceiveTriggers()) {
  }
  ASSERT_GE(d->Entries.size(), 3u);
  EXPECT_EQ(d->Entries[0], (E{1, 1, 2, "Hi"})) << "the read";
  EXPECT_EQ(d->Entries[1], (E{2, 7, 8, ""})) << "the match";
  EXPECT_EQ(d->Entries[2], (E{2, 5, 2, ""})) << "then the two bytes available";
  d->LoggingOn = false;
}

TEST(Delivery, AWindowThatAnswersLateConsumesNothing) {
  PumpedPort port;
  TLkBaseDispatcher& d = *port.d;
  FakeWindow window("w");
  window.Hold(true);
  window.OnMessage = [&](const Delivery&) { Take(3); };
  d.RegisterWndTriggerHandler(&window);
  d.UpdateHandlerFlags(1);
  d.WindowDeliveryBound = 100ms;
  d.ChangeLengthTrigger(4);
  port.fake->Receive({'a', 'b', 'c', 'd'});
  d.ExtractData();
  auto start = Clock::now();
  EXPECT_FALSE(d.CheckReceiveTriggers()) << "nothing was taken within the bound";
  const auto took = Clock::now() - start;
  EXPECT_GE(took, 100ms);
  EXPECT_LT(took, kWindowDeliveryBound) << "the bound given, not the usual one";
  window.Hold(false);
  ASSERT_TRUE(test::WaitFor([&] { return window.Ran != 0; }, 5s));
  ASSERT_EQ(window.Ran, 1);
  EXPECT_EQ(d.InBuffUsed(), 4) << "the late handler read, but took nothing";
  EXPECT_EQ(journal.Take().size(), 1u);

  // In time, the same handler's take counts.
  d.ChangeLengthTrigger(1);
  EXPECT_FALSE(d.SendNotify(kMsgDataAvail, 4, 0)) << "3 of 4 taken";
  EXPECT_EQ(d.InBuffUsed(), 1);
}

TEST(Delivery, SynchronisedHandlersRunOnTheApplicationThread) {
  FakeWindow app("app");
  SetApplicationTarget(&app);
  PumpedPort port;
  static std::atomic<std::thread::id> ranOn;
  static char tag[] = "sync";
  port.d->RegisterSyncEventTriggerHandler({tag, [](void* o, std::uint32_t m, std::uint32_t t, std::uint32_t d) {
                                             ranOn = std::this_thread::get_id();
                                             EventCode(o, m, t, d);
                                           }});
  EXPECT_TRUE(port.d->SendNotify(kMsgTimerTrigger, 8, 0));
  EXPECT_NE(ranOn.load(), std::this_thread::get_id());
  std::vector<Note> seen = journal.Take();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Who, "sync");
  SetApplicationTarget(nullptr);
}

// --- the same over running threads and a pseudo-terminal ---

std::shared_ptr<TLkWin32Dispatcher> OpenPty(const PtyPair& pty) {
  auto d = test::OpenPty(pty);
  journal.Take();
  journal.Port = d.get();
  journal.TakeFirst = journal.TakeSecond = 0;
  return d;
}

std::atomic<std::int64_t> matchedAt{0};
void StampProc(std::uint32_t m, std::uint32_t, std::uint32_t) {
  if (m == kMsgDataTrigger) matchedAt = Clock::now().time_since_epoch().count();
}

TEST(ThreadedTriggers, AStringFromTheLineIsMatchedAsItArrives) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  auto d = OpenPty(pty);
  d->AddDataTrigger("CONNECT", false);
  d->RegisterProcTriggerHandler(StampProc);
  std::this_thread::sleep_for(20ms);
  for (int round = 0; round < 3; ++round) {
    matchedAt = 0;
    auto sent = Clock::now();
    ASSERT_TRUE(pty.WriteMaster({'x', 'C', 'O', 'N', 'N', 'E', 'C', 'T', '\r'}));
    auto end = sent + 5s;
    while (matchedAt == 0 && Clock::now() < end) std::this_thread::sleep_for(1ms);
    ASSERT_NE(matchedAt, 0) << "round " << round;
    auto latency = Clock::time_point(Clock::duration(matchedAt.load())) - sent;
    // A string left for the dispatch thread's own look, 2 s after its last pass, would wait about that
    // long from the second round on.
    EXPECT_LT(latency, 1s) << "round " << round;
  }
  journal.Port = nullptr;
}

TEST(ThreadedTriggers, TimerFiresOnAnIdleLine) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  auto d = OpenPty(pty);
  d->RegisterProcTriggerHandler(ProcA);
  std::int32_t later = d->AddTimerTrigger();
  std::int32_t t = d->AddTimerTrigger();
  // Its first firing ends a pass: the dispatch thread then waits as on an idle line, up to 2 s.
  ASSERT_EQ(d->SetTimerTrigger(later, 1, true), 0);
  ASSERT_TRUE(test::WaitFor([] { return journal.Count() == 1; }, 5s));
  journal.Take();
  // Armed first and due later: by the dispatch thread's own look both are due, and this one fires first.
  ASSERT_EQ(d->SetTimerTrigger(later, 18, true), 0);
  auto start = Clock::now();
  ASSERT_EQ(d->SetTimerTrigger(t, 2, true), 0);
  while (journal.Count() == 0 && Clock::now() - start < 5s) std::this_thread::sleep_for(1ms);
  auto took = Clock::now() - start;
  ASSERT_TRUE(test::WaitFor([] { return journal.Count() == 2; }, 5s));
  std::vector<Note> seen = journal.Take();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].Trigger, static_cast<std::uint32_t>(t)) << "the dispatch thread woke for the timer";
  EXPECT_EQ(seen[1].Trigger, static_cast<std::uint32_t>(later));
  EXPECT_GE(took, 105ms) << "not before its ticks have passed";
  journal.Port = nullptr;
}

std::atomic<int> closeCalls{0};
void CloseFromHandler(std::uint32_t m, std::uint32_t, std::uint32_t) {
  if (m != kMsgDataTrigger) return;
  ++closeCalls;
  journal.Port->DonePort();
}

TEST(ThreadedTriggers, ACloseFromInsideAHandlerCompletes) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  auto d = OpenPty(pty);
  closeCalls = 0;
  d->AddDataTrigger("BYE", false);
  d->RegisterProcTriggerHandler(CloseFromHandler);
  d->RegisterProcTriggerHandler(ProcB);  // skipped: the close was asked for before its turn
  ASSERT_TRUE(pty.WriteMaster({'B', 'Y', 'E'}));
  auto start = Clock::now();
  while ((d->Started || closeCalls == 0) && Clock::now() - start < 2s) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(closeCalls, 1);
  EXPECT_FALSE(d->Started) << "all three threads ended";
  EXPECT_TRUE(d->ClosePending);
  EXPECT_EQ(journal.Count(), 0u);
  // The window thread finishes the close.
  d->DonePortPrim();
  EXPECT_EQ(d->ComHandle, -1);
  EXPECT_EQ(d->PutChar('x'), ecOutputBufferTooSmall) << "rings released";
  journal.Port = nullptr;
  d.reset();
  // The device is free again.
  auto again = OpenPty(pty);
  EXPECT_TRUE(again->Started);
  journal.Port = nullptr;
}

std::shared_ptr<TLkWin32Dispatcher> onlyOwner;
void DropTheLastReference(std::uint32_t m, std::uint32_t, std::uint32_t) {
  if (m == kMsgDataTrigger) onlyOwner.reset();
}

TEST(ThreadedTriggers, AHandlerMayDropTheLastReference) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  onlyOwner = OpenPty(pty);
  journal.Port = nullptr;
  std::weak_ptr<TLkWin32Dispatcher> watch = onlyOwner;
  onlyOwner->AddDataTrigger("X", false);
  onlyOwner->RegisterProcTriggerHandler(DropTheLastReference);
  ASSERT_TRUE(pty.WriteMaster({'X'}));
  auto start = Clock::now();
  while (!watch.expired() && Clock::now() - start < 2s) std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(watch.expired());
  // Destroyed elsewhere than on its dispatch thread: the device is released once the workers are joined.
  std::shared_ptr<TLkWin32Dispatcher> again;
  start = Clock::now();
  do {
    again = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(
        nullptr, [path = pty.SlavePath()](const std::string&) { return platform::PosixTty::Open(path); });
  } while (again->InitPort("COM1", 115200, 0, 8, 1, 4096, 4096, 0) != 0 && Clock::now() - start < 2s);
  EXPECT_TRUE(again->Started);
}

// A device whose close takes a while and says when it is done.
std::atomic<bool> closing{false};
class SlowClosingDevice : public FakeSerialDevice {
 public:
  void Close() override {
    closing = true;
    std::this_thread::sleep_for(300ms);
    std::fputs("device closed\n", stderr);
    FakeSerialDevice::Close();
  }
};

// The deletion a handler set off finishes before the program's end, even when the program ends at once.
TEST(ThreadedTriggersDeathTest, ADeletionSetOffByAHandlerEndsBeforeTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        SlowClosingDevice* device = nullptr;
        onlyOwner = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr, [&device](const std::string&) {
          platform::SerialOpenResult r;
          auto owned = std::make_unique<SlowClosingDevice>();
          device = owned.get();
          r.Device = std::move(owned);
          return r;
        });
        onlyOwner->InitPort("COM1", 9600, 0, 8, 1, 4096, 4096, 0);
        onlyOwner->AddDataTrigger("X", false);
        onlyOwner->RegisterProcTriggerHandler(DropTheLastReference);
        device->Receive({'X'});
        auto start = Clock::now();
        while (!closing && Clock::now() - start < 2s) std::this_thread::sleep_for(1ms);
        std::exit(closing ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "device closed");
}

TEST(ThreadedTriggers, ACloseFromAWindowHandlerCompletes) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  auto d = OpenPty(pty);
  FakeWindow window("w");
  window.OnMessage = [&](const Delivery&) { d->DonePort(); };
  d->RegisterWndTriggerHandler(&window);
  d->UpdateHandlerFlags(1);
  d->ChangeLengthTrigger(1);
  ASSERT_TRUE(pty.WriteMaster({'!'}));
  auto start = Clock::now();
  while ((d->Started || window.Ran == 0) && Clock::now() - start < 2s) std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(d->Started);
  d.reset();  // destruction joins and closes
  journal.Port = nullptr;
}

TEST(ThreadedTriggers, StoppingDoesNotWaitForAHungWindow) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  auto d = OpenPty(pty);
  auto window = std::make_unique<FakeWindow>("w");
  window->Hold(true);
  d->WindowDeliveryBound = 20s;  // far beyond the bound below: a stop that waited it out shows
  d->RegisterWndTriggerHandler(window.get());
  d->UpdateHandlerFlags(1);
  d->ChangeLengthTrigger(1);
  ASSERT_TRUE(pty.WriteMaster({'?'}));
  ASSERT_TRUE(test::WaitFor([&] { return window->Posted == 1; }));  // the dispatch thread waits on the window
  auto start = Clock::now();
  d->DonePort();  // a notification is in progress: the close is left to finish
  d.reset();      // destruction ends joined
  EXPECT_LT(Clock::now() - start, 5s);
  window.reset();  // the late delivery runs against nothing it may consume
  journal.Port = nullptr;
}

}  // namespace
}  // namespace serial
