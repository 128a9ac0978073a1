#include "serial/dispatcher.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <numeric>
#include <thread>

#include "serial/error_codes.h"
#include "serial/error_text.h"
#include "serial/port_list.h"
#include "serial/win32_dispatcher.h"
#include "support/fake_serial_device.h"
#include "support/pty_pair.h"
#include "support/serial_port_helpers.h"

namespace serial {
namespace {

using testing_support::FakeSerialDevice;
using testing_support::PtyPair;
using Bytes = std::vector<std::uint8_t>;

using test::Pattern;
using test::ScopedComEnv;

struct TestDispatcher : TLkWin32Dispatcher {
  using TLkWin32Dispatcher::StartDispatcher;
  using TLkWin32Dispatcher::TLkWin32Dispatcher;
};

// A dispatcher over a fake device, opened as a port would open it.
struct FakePort {
  explicit FakePort(std::uint32_t inSize = 4096, std::uint32_t outSize = 4096, std::uint32_t options = 0x03) {
    d = TLkBaseDispatcher::Create<TestDispatcher>(nullptr, [](const std::string&) {
      platform::SerialOpenResult r;
      r.Device = std::make_unique<FakeSerialDevice>();
      return r;
    });
    d->ManualPump = true;  // the test runs the threads' work itself
    EXPECT_EQ(d->InitPort("\\\\.\\COM1", 9600, 0, 8, 1, inSize, outSize, options), 0);
    fake = static_cast<FakeSerialDevice*>(d->Device());
  }
  std::shared_ptr<TestDispatcher> d;
  FakeSerialDevice* fake = nullptr;
};

TEST(DispatcherOnPty, OpensByComNumberWithItsLineSettings) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  ScopedComEnv com(41, pty.SlavePath());
  auto d = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr);
  ASSERT_EQ(d->InitPort("\\\\.\\COM41", 19200, 0, 8, 2, 4096, 2048, 0x03), 0);
  EXPECT_GE(d->ComHandle, 0);
  EXPECT_TRUE(d->Started);

  int probe = ::open(pty.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(probe, 0);
  termios t;
  ASSERT_EQ(::tcgetattr(probe, &t), 0);
  ::close(probe);
  EXPECT_EQ(::cfgetospeed(&t), B19200);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  std::uint32_t baud, parity, dataBits, stopBits;
  d->GetLine(baud, parity, dataBits, stopBits);
  EXPECT_EQ(baud, 19200u);
  EXPECT_EQ(stopBits, 2u);

  ASSERT_EQ(d->ChangeBaud(57600), 0);
  probe = ::open(pty.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_EQ(::tcgetattr(probe, &t), 0);
  ::close(probe);
  EXPECT_EQ(::cfgetospeed(&t), B57600);
  EXPECT_EQ(d->LastBaud, 57600u);
}

TEST(DispatcherOnPty, MissingHeldAndForbiddenDevices) {
  ScopedComEnv missing(42, "/dev/zelta-no-such-port");
  auto d = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr);
  EXPECT_EQ(d->InitPort("\\\\.\\COM42", 9600, 0, 8, 1, 1024, 1024, 0), ecFileNotFound);
  EXPECT_EQ(d->ComHandle, -1);
  EXPECT_FALSE(d->Started) << "nothing runs after a failed open";

  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  ScopedComEnv com(43, pty.SlavePath());
  auto first = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr);
  ASSERT_EQ(first->InitPort("\\\\.\\COM43", 9600, 0, 8, 1, 1024, 1024, 0), 0);
  auto second = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr);
  EXPECT_EQ(second->InitPort("\\\\.\\COM43", 9600, 0, 8, 1, 1024, 1024, 0), ecFileAccessDenied)
      << "held by the first port";
  first.reset();  // closing releases the device
  EXPECT_EQ(second->InitPort("\\\\.\\COM43", 9600, 0, 8, 1, 1024, 1024, 0), 0);
  second.reset();

  ASSERT_EQ(::chmod(pty.SlavePath().c_str(), ::geteuid() == 0 ? 0600 : 0), 0);
  std::int32_t result = 0;
  std::thread([&] {
    if (::geteuid() == 0) ::setfsuid(65534);  // an ordinary user's view of the device
    result =
        TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr)->InitPort("\\\\.\\COM43", 9600, 0, 8, 1, 1024, 1024, 0);
    if (::geteuid() == 0) ::setfsuid(0);
  }).join();
  EXPECT_EQ(result, ecNoPermission);
  EXPECT_NE(LkLoadStr(result).find("dialout"), std::string::npos) << LkLoadStr(result);
}

TEST(DispatcherOnPty, BlocksOutAndInByteExact) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  ScopedComEnv com(44, pty.SlavePath());
  auto d = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr);
  d->ManualPump = true;
  ASSERT_EQ(d->InitPort("COM44", 115200, 0, 8, 1, 4096, 4096, 0), 0);

  Bytes all = Pattern(256);
  std::iota(all.begin(), all.end(), 0);  // every byte value, flow and line-end characters included
  ASSERT_EQ(d->PutBlock(all.data(), 256), 0);
  EXPECT_EQ(d->OutBuffUsed(), 256);
  EXPECT_EQ(d->WriteOutput(), 256);
  EXPECT_EQ(d->OutBuffUsed(), 0);
  EXPECT_EQ(pty.ReadMaster(256), all);

  Bytes in = Pattern(3000, 5);
  ASSERT_TRUE(pty.WriteMaster(in));
  ASSERT_TRUE(test::PumpIn(*d, 3000));
  Bytes got(3000);
  ASSERT_EQ(d->GetBlock(got.data(), 3000), 0);
  EXPECT_EQ(got, in);
  EXPECT_FALSE(d->CharReady());
}

TEST(DispatcherOnPty, HangUpEndsInAnErrorNotALoop) {
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  ScopedComEnv com(45, pty.SlavePath());
  auto d = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr);
  d->ManualPump = true;
  ASSERT_EQ(d->InitPort("COM45", 9600, 0, 8, 1, 1024, 1024, 0), 0);
  pty.CloseMaster();
  Bytes b = Pattern(10);
  ASSERT_EQ(d->PutBlock(b.data(), 10), 0);
  EXPECT_LT(d->WriteOutput(), 0);
  EXPECT_FALSE(d->OutputPending()) << "the failed bytes are dropped, not retried for ever";
  EXPECT_FALSE(d->ExtractData());
}

TEST(Dispatcher, ReceiveRingWrapsAndFills) {
  FakePort port;
  TLkBaseDispatcher& d = *port.d;
  Bytes first = Pattern(5000, 1);
  port.fake->Receive(first);
  EXPECT_TRUE(d.ExtractData());
  Bytes got(5000);
  ASSERT_EQ(d.GetBlock(got.data(), 5000), 0);
  EXPECT_EQ(got, first);

  Bytes second = Pattern(6000, 2);  // crosses the end of the ring: two reads
  port.fake->Receive(second);
  EXPECT_TRUE(d.ExtractData());
  EXPECT_EQ(d.InBuffUsed(), 6000);
  EXPECT_EQ(d.RxWritePos, (5000u + 6000u) % TLkBaseDispatcher::kRxRingSize);
  std::uint8_t c;
  ASSERT_EQ(d.PeekChar(c, 3193), 0);
  EXPECT_EQ(c, second[3192]) << "last byte before the wrap";
  ASSERT_EQ(d.PeekChar(c, 3194), 0);
  EXPECT_EQ(c, second[3193]) << "first byte after the wrap";
  got.assign(6001, 0);
  EXPECT_EQ(d.GetBlock(got.data(), 6001), ecBufferIsEmpty);
  EXPECT_EQ(d.InBuffUsed(), 6000) << "all or nothing";
  got.resize(6000);
  ASSERT_EQ(d.GetBlock(got.data(), 6000), 0);
  EXPECT_EQ(got, second);

  Bytes lots = Pattern(9000, 3);
  port.fake->Receive(lots);
  EXPECT_TRUE(d.ExtractData());
  EXPECT_TRUE(d.RxRingFull);
  EXPECT_EQ(d.InBuffUsed(), 8192);
  EXPECT_EQ(d.InBuffFree(), 0);
  EXPECT_TRUE(d.ExtractData()) << "a full ring reads nothing";
  got.assign(8192, 0);
  ASSERT_EQ(d.GetBlock(got.data(), 8192), 0);
  EXPECT_EQ(got, Bytes(lots.begin(), lots.begin() + 8192));
  EXPECT_EQ(d.InBuffUsed(), 0);
  EXPECT_TRUE(d.ExtractData());
  ASSERT_EQ(d.GetChar(c), 0);
  EXPECT_EQ(c, lots[8192]);
  EXPECT_EQ(d.InBuffUsed(), 807);

  EXPECT_EQ(d.FlushInBuffer(), 0);
  EXPECT_EQ(d.InBuffUsed(), 0);
  EXPECT_EQ(d.GetChar(c), ecBufferIsEmpty);
  EXPECT_FALSE(d.ExtractData()) << "nothing waits";
}

TEST(Dispatcher, TransmitRingRoomWrapAndPartialWrites) {
  FakePort port(4096, 1000);
  TLkBaseDispatcher& d = *port.d;
  Bytes a = Pattern(600, 1), b = Pattern(400, 2), c = Pattern(700, 3);
  ASSERT_EQ(d.PutBlock(a.data(), 600), 0);
  ASSERT_EQ(d.PutBlock(b.data(), 400), 0) << "exactly the free room";
  EXPECT_TRUE(d.TxRingFull);
  EXPECT_EQ(d.OutBuffFree(), 0);
  std::uint8_t one = 1;
  EXPECT_EQ(d.PutChar(one), ecOutputBufferTooSmall);
  EXPECT_EQ(d.OutBuffUsed(), 1000) << "nothing queued";

  port.fake->SetWriteRoom(700);
  EXPECT_EQ(d.WriteOutput(), 700) << "the device took part and reported full";
  EXPECT_EQ(d.OutBuffUsed(), 300);
  ASSERT_EQ(d.PutBlock(c.data(), 700), 0) << "wraps past the end of the ring";
  EXPECT_EQ(d.OutBuffUsed(), 1000);
  port.fake->SetWriteRoom(SIZE_MAX);
  EXPECT_EQ(d.WriteOutput(), 1000);
  Bytes expected = a;
  expected.insert(expected.end(), b.begin(), b.end());
  expected.insert(expected.end(), c.begin(), c.end());
  EXPECT_EQ(port.fake->TakeSent(), expected);
  EXPECT_EQ(d.TxReadPos, 0u);
  EXPECT_EQ(d.TxWritePos, 0u);

  ASSERT_EQ(d.PutString("abc"), 0);
  EXPECT_EQ(d.FlushOutBuffer(), 0);
  EXPECT_EQ(d.OutBuffUsed(), 0);
  EXPECT_EQ(d.WriteOutput(), 0);
  EXPECT_EQ(d.BytesWritten, 1700u) << "what the device took, and not the flushed bytes";
  EXPECT_EQ(port.fake->PurgeCount(true), 1);
  EXPECT_EQ(d.PutBlock(nullptr, 0), 0);
}

// What was queued has left only once neither the ring nor the device's own queue holds any of it. The
// writer keeps the bytes it is writing in the ring, and the ring is looked at before the device: bytes
// handed over between the two looks are then seen in the device.
TEST(Dispatcher, OutputHasDrainedOnlyOnceTheRingAndTheDeviceAreEmpty) {
  FakePort port;
  TLkBaseDispatcher& d = *port.d;
  FakeSerialDevice& fake = *port.fake;
  fake.HoldOutput(true);
  ASSERT_EQ(d.PutString("abc"), 0);
  EXPECT_FALSE(d.OutputDrained()) << "in the ring";
  bool drainedInWrite = true;
  fake.OnWrite([&] { drainedInWrite = d.OutputDrained(); });
  ASSERT_EQ(d.WriteOutput(), 3);
  fake.OnWrite({});
  EXPECT_FALSE(drainedInWrite) << "taken from the ring, not yet by the device";
  ASSERT_EQ(d.OutBuffUsed(), 0);
  EXPECT_FALSE(d.OutputDrained()) << "in the device";
  fake.HoldOutput(false);
  EXPECT_TRUE(d.OutputDrained());

  ASSERT_EQ(d.PutString("def"), 0);
  fake.HoldOutput(true);
  fake.AfterStatus([&] {
    fake.AfterStatus({});
    d.WriteOutput();
  });
  EXPECT_FALSE(d.OutputDrained()) << "handed to the device between the two looks";
  fake.AfterStatus({});
  d.WriteOutput();
  EXPECT_FALSE(d.OutputDrained());
  fake.HoldOutput(false);
  EXPECT_TRUE(d.OutputDrained());
  EXPECT_EQ(fake.TakeSent(), (Bytes{'a', 'b', 'c', 'd', 'e', 'f'}));
}

TEST(Dispatcher, PeekModeReadsWithoutConsuming) {
  FakePort port;
  TLkBaseDispatcher& d = *port.d;
  port.fake->Receive({'a', 'b', 'c', 'd'});
  d.ExtractData();
  NotifyScope notifying(&d);  // only the thread notifying handlers peeks
  d.PeekMode = true;
  std::uint8_t c;
  ASSERT_EQ(d.GetChar(c), 0);
  EXPECT_EQ(c, 'a');
  Bytes two(2);
  ASSERT_EQ(d.GetBlock(two.data(), 2), 0);
  EXPECT_EQ(two, (Bytes{'b', 'c'}));
  EXPECT_EQ(d.InBuffUsed(), 1);
  ASSERT_EQ(d.PeekChar(c, 1), 0);
  EXPECT_EQ(c, 'd');
  d.PeekMode = false;
  d.PeekOffset = 0;
  EXPECT_EQ(d.InBuffUsed(), 4) << "peeked bytes stay in the ring";
}

TEST(Dispatcher, LineSettingsChangeOnlyWhenAsked) {
  FakePort port;
  TLkBaseDispatcher& d = *port.d;
  int calls = port.fake->SetSettingsCalls();
  EXPECT_EQ(d.SetLine(0, 5, 9, 3), 0);
  EXPECT_EQ(port.fake->SetSettingsCalls(), calls) << "nothing changed: nothing applied";
  ASSERT_EQ(d.SetLine(0, 5, 5, 1), 0);
  EXPECT_EQ(port.fake->Settings().DataBits, 5);
  EXPECT_EQ(port.fake->Settings().StopBits, 1) << "one and a half stop bits with five data bits";
  ASSERT_EQ(d.SetLine(4800, 2, 7, 0), 0);
  platform::SerialLineSettings s = port.fake->Settings();
  EXPECT_EQ(s.Baud, 4800u);
  EXPECT_EQ(s.Parity, 2);
  EXPECT_EQ(s.StopBits, 0) << "0 stop bits are taken as 1";
  ASSERT_EQ(d.SetLine(0, 5, 9, 7), 0);
  EXPECT_EQ(port.fake->Settings().StopBits, 2) << "more than 2 are taken as 2";
  EXPECT_EQ(BaudOfCode(0xFEFF), 115200u);
  EXPECT_EQ(BaudOfCode(0xFF16), 9600u);
  EXPECT_EQ(BaudOfCode(0xFF19), 0xFF19u) << "a zero entry: the value itself";
  EXPECT_EQ(BaudOfCode(2400), 2400u);
}

TEST(Dispatcher, FlowControlThresholdsAndStates) {
  FakePort port(4096, 4096);
  TLkBaseDispatcher& d = *port.d;
  EXPECT_EQ(d.HWFlowOptions(4097, 100, 1), ecBadArgument) << "above the input queue";
  EXPECT_EQ(d.HWFlowOptions(100, 200, 1), ecBadArgument) << "full below resume";
  EXPECT_EQ(d.HWFlowState(), 1);

  ASSERT_EQ(d.HWFlowOptions(3000, 1000, 1 | 8), 0);
  platform::SerialLineSettings s = port.fake->Settings();
  EXPECT_EQ(s.XoffLim, 4096 - 3000);
  EXPECT_EQ(s.XonLim, 1000);
  EXPECT_EQ(s.DtrControl, platform::SerialLineSettings::Handshake);
  EXPECT_TRUE(s.OutxCtsFlow);
  EXPECT_FALSE(s.OutxDsrFlow);
  EXPECT_TRUE(d.DtrAuto);
  EXPECT_EQ(d.SetDtr(false), 1) << "DTR is under flow control";
  EXPECT_TRUE(port.fake->Dtr());
  EXPECT_EQ(d.HWFlowState(), 2);
  port.fake->SetHolds(platform::SerialStatus::CtsHold);
  EXPECT_EQ(d.HWFlowState(), 4);
  std::uint32_t hw, sw, full, resume;
  char on, off;
  d.GetFlowOptions(hw, sw, full, resume, on, off);
  EXPECT_EQ(hw, 1u | 8u);
  EXPECT_EQ(sw, 0u);

  ASSERT_EQ(d.HWFlowOptions(4096, 4096, 0), 0) << "equal limits at the queue size are allowed";
  EXPECT_FALSE(d.DtrAuto);
  EXPECT_EQ(d.SetDtr(false), 0);
  EXPECT_FALSE(port.fake->Dtr());

  EXPECT_EQ(d.SWFlowEnable(10, 20, 3), ecBadArgument);
  ASSERT_EQ(d.SWFlowEnable(2048, 512, 2 | 1), 0);
  s = port.fake->Settings();
  EXPECT_TRUE(s.InX && s.OutX);
  EXPECT_EQ(s.XoffLim, 2048);
  EXPECT_EQ(s.XonLim, 512);
  EXPECT_EQ(s.XonChar, 17);
  EXPECT_EQ(s.XoffChar, 19);
  port.fake->SetHolds(platform::SerialStatus::XoffHold | platform::SerialStatus::XoffSent);
  EXPECT_EQ(d.SWFlowState(), 8);
  port.fake->SetHolds(platform::SerialStatus::XoffSent);
  EXPECT_EQ(d.SWFlowState(), 7);
  port.fake->SetHolds(0);
  EXPECT_EQ(d.SWFlowState(), 2);
  ASSERT_EQ(d.SWFlowChars('a', 'b'), 0);
  EXPECT_EQ(port.fake->Settings().XonChar, 'a');
  ASSERT_EQ(d.SWFlowDisable(), 0);
  EXPECT_EQ(d.SWFlowState(), 1);
}

TEST(Dispatcher, ModemLinesAndLineErrors) {
  FakePort port;
  TLkBaseDispatcher& d = *port.d;
  EXPECT_TRUE(port.fake->Dtr()) << "option bit 1 raised DTR at open";
  EXPECT_TRUE(port.fake->Rts());
  port.fake->SetModemLines(platform::LineCts | platform::LineDcd);
  d.MapEventsToMS(0x8);
  EXPECT_TRUE(d.CheckDeltaCTS());
  EXPECT_FALSE(d.CheckDeltaCTS()) << "reading clears its own delta bit";
  EXPECT_TRUE(d.CheckDeltaDCD());
  EXPECT_TRUE(d.CheckCTS());
  EXPECT_FALSE(d.CheckDSR());
  d.RingFlag = true;
  EXPECT_EQ(d.GetModemStatus() & TLkBaseDispatcher::msTrailingRi, TLkBaseDispatcher::msTrailingRi);
  EXPECT_EQ(d.GetModemStatus() & 0x0F, 0) << "the plain read clears the deltas";

  port.fake->AddLineErrors(platform::SerialStatus::Overrun | platform::SerialStatus::Break);
  d.RefreshStatus();
  EXPECT_EQ(d.GetLineError(), 2);
  EXPECT_EQ(d.GetLineError(), 9) << "the break flag stayed";
  EXPECT_TRUE(d.CheckLineBreak());
  EXPECT_FALSE(d.CheckLineBreak());

  d.SetBreak(true);
  EXPECT_TRUE(port.fake->BreakOn());
  d.SendBreak(0, false);
  EXPECT_FALSE(port.fake->BreakOn());

  void* p = nullptr;
  int slot = 0;
  EXPECT_EQ(d.SetDataPointer(&slot, 3), 0);
  EXPECT_EQ(d.GetDataPointer(p, 3), 0);
  EXPECT_EQ(p, &slot);
  EXPECT_EQ(d.SetDataPointer(&slot, 4), ecBadArgument);
  EXPECT_EQ(d.GetDataPointer(p, 0), ecBadArgument);
}

TEST(Dispatcher, HandsOverAndStartsOnce) {
  FakePort port;
  try {
    port.d->StartDispatcher();
    FAIL() << "a second start must be refused";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Dispatcher already started");
  }
  port.d->DonePort();
  EXPECT_FALSE(port.d->Started);
  EXPECT_EQ(port.d->ComHandle, -1);
  EXPECT_EQ(port.d->PutChar('x'), ecOutputBufferTooSmall) << "rings released";
}

TEST(TapiDispatcher, UsesTheCallsDescriptor) {
  auto none = TLkBaseDispatcher::Create<TLkTAPI32Dispatcher>(nullptr, 0);
  EXPECT_EQ(none->InitPort("", 9600, 0, 8, 1, 1024, 1024, 0), ecCommNotOpen);

  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  auto d = TLkBaseDispatcher::Create<TLkTAPI32Dispatcher>(nullptr, fd);
  d->ManualPump = true;
  ASSERT_EQ(d->InitPort("", 9600, 0, 8, 1, 1024, 1024, 0), 0);
  EXPECT_EQ(d->ComHandle, fd);
  ASSERT_EQ(d->PutString("ATZ\r"), 0);
  d->WriteOutput();
  EXPECT_EQ(pty.ReadMaster(4), (Bytes{'A', 'T', 'Z', '\r'}));
  d.reset();
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "the descriptor is closed with the port";
}

TEST(PortList, LowestFreeSlotAndNoStaleLookUps) {
  std::int32_t base = PortList::Count();
  auto a = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr);
  auto b = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr);
  auto c = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr);
  EXPECT_EQ(a->Handle, base);
  EXPECT_EQ(c->Handle, base + 2);
  b.reset();
  auto d = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr);
  EXPECT_EQ(d->Handle, base + 1) << "the emptied slot is taken again";
  EXPECT_EQ(PortList::At(base + 1), d);
  c.reset();
  EXPECT_EQ(PortList::Count(), base + 2) << "the list never ends with an empty slot";
  d.reset();
  a.reset();
  EXPECT_EQ(PortList::Count(), base);

  // Look-ups by descriptor: Linux hands a closed descriptor out again at once.
  PtyPair pty;
  ASSERT_TRUE(pty.Valid());
  ScopedComEnv com(46, pty.SlavePath());
  auto first = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr);
  ASSERT_EQ(first->InitPort("COM46", 9600, 0, 8, 1, 64, 64, 0), 0);
  std::int32_t fd = first->ComHandle;
  EXPECT_EQ(PortList::GetTComRecPtr<TLkWin32Dispatcher>(fd), first);
  EXPECT_EQ(PortList::GetTComRecPtr<TLkTAPI32Dispatcher>(fd), nullptr) << "class must match";
  first->DonePort();
  EXPECT_EQ(PortList::GetTComRecPtr<TLkWin32Dispatcher>(fd), nullptr);
  auto second = TLkBaseDispatcher::Create<TLkWin32Dispatcher>(nullptr);
  ASSERT_EQ(second->InitPort("COM46", 9600, 0, 8, 1, 64, 64, 0), 0);
  if (second->ComHandle == fd) {
    EXPECT_EQ(PortList::GetTComRecPtr<TLkWin32Dispatcher>(fd), second) << "the new owner of the descriptor";
  }
}

}  // namespace
}  // namespace serial
