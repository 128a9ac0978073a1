#include "serial/trace_log.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "serial/com_port.h"
#include "serial/error_codes.h"
#include "serial/lk_exception.h"
#include "serial/timing.h"
#include "support/fake_serial_device.h"
#include "support/manual_clock.h"
#include "support/scripted_ui.h"
#include "support/serial_port_helpers.h"
#include "support/temp_dir.h"

namespace serial {
namespace {

using testing_support::FakeSerialDevice;
using testing_support::TempDir;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::atomic<std::uint64_t> clockMs{0};

struct ClockScope {
  explicit ClockScope(std::uint32_t start) : clock((clockMs = start, clockMs)) {}
  testing_support::ManualClock clock;
};

// A port over a fake device, pumped by the test, with the trace and the log going to a temp directory.
struct RecordedPort {
  RecordedPort() {
    port.SetComNumber(1);
    port.SetTraceName(dir.File("LK.TRC"));
    port.SetLogName(dir.File("LK.LOG"));
    port.DispatcherFactory = [this](TLkCustomComPort& p) {
      auto d = TLkBaseDispatcher::Create<TLkComDispatcher>(&p, [this](const std::string&) {
        platform::SerialOpenResult r;
        auto device = std::make_unique<FakeSerialDevice>();
        fake = device.get();
        r.Device = std::move(device);
        return r;
      });
      d->ManualPump = true;
      return d;
    };
  }
  TempDir dir;
  FakeSerialDevice* fake = nullptr;
  TLkComPort port{nullptr};
};

TEST(TraceAndLogDump, SmallSessionDumpsByteExact) {
  ClockScope clock(1000);
  RecordedPort r;
  r.port.SetTracing(tlOn);
  r.port.SetOpen(true);
  ASSERT_NE(r.fake, nullptr);
  // Logged from here: the open's own entries name the window by its address, which differs per run.
  r.port.SetLogging(tlOn);

  clockMs = 13345;
  r.port.PutString("AT Z\r");
  r.fake->Receive({'O', 'K', '\r', '\n'});
  clockMs = 13400;
  r.port.Dispatcher()->ExtractData();
  char reply[4];
  r.port.GetBlock(reply, 4);
  clockMs = 14000;
  r.port.AddStringToLog("note");
  r.port.PutBlock(std::string(40, '\x01').data(), 40);
  r.port.SetOpen(false);  // the close dumps both

  std::string ones;
  for (int i = 0; i < 19; ++i) ones += "[01]";
  EXPECT_EQ(ReadFile(r.dir.File("LK.TRC")),
            "Transmit: \r\nAT[20]Z[0D]\r\n\r\n"
            "Receive: \r\nOK[0D][0A]\r\n\r\n"
            "Transmit: \r\n" +
                ones + "\r\n" + ones + "\r\n[01][01]");

  std::string eight;
  for (int i = 0; i < 8; ++i) eight += "[01]";
  std::string pad(44, ' ');
  EXPECT_EQ(ReadFile(r.dir.File("LK.LOG")),
            "LK v3.03\r\n"
            "Compiler : " +
                CompilerName() + "\r\n" + "Operating System : " + OperatingSystemDescription() + "\r\n" +
                "Time      Type      SubType       Data      OtherData\r\n"
                "--------  --------  ------------  --------  ---------\r\n"
                "0012.345  Dispatch  WriteCom      00000005  AT[20]Z[0D]\r\n"
                "0012.400  Dispatch  ReadCom       00000004  OK[0D][0A]\r\n"
                "0013.000  User                    00000004  note\r\n"
                "0013.000  Dispatch  WriteCom      00000028  " +
                eight + "\r\n" + pad + eight + "\r\n" + pad + eight + "\r\n" + pad + eight + "\r\n" + pad + eight +
                "\r\n");
  EXPECT_EQ(r.port.Tracing(), tlOff);
  EXPECT_EQ(r.port.Logging(), tlOff);
}

TEST(TraceAndLogDump, HexFlagsGoByName) {
  RecordedPort r;
  r.port.SetTraceHex(false);
  r.port.SetTracing(tlOn);
  r.port.SetOpen(true);
  r.port.PutString(" \r~");
  r.port.DumpTrace();
  EXPECT_EQ(ReadFile(r.dir.File("LK.TRC")), "Transmit: \r\n [13]~");
  EXPECT_EQ(r.port.Tracing(), tlOff);

  r.port.SetTraceAllHex(true);
  r.port.SetTracing(tlOn);
  r.port.PutString("A");
  r.port.SetTracing(tlAppend);
  EXPECT_EQ(ReadFile(r.dir.File("LK.TRC")), "Transmit: \r\n [13]~Transmit: \r\n[41]");
}

TEST(TraceRecorder, RingKeepsTheLastEntriesAndEmptyTraceWritesNothing) {
  TempDir dir;
  TLkTrace t;
  EXPECT_EQ(t.InitTracing(0), ecBadArgument);
  EXPECT_FALSE(t.On());
  EXPECT_EQ(t.InitTracing(4'000'001), ecBadArgument);
  ASSERT_EQ(t.InitTracing(3), 0);
  EXPECT_EQ(t.DumpTracePrim(dir.File("empty.trc"), false, true, false), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.File("empty.trc")));
  EXPECT_FALSE(t.HasBuffer());  // a dump releases the trace

  ASSERT_EQ(t.InitTracing(3), 0);
  for (char c : std::string("abcde")) t.AddTraceEntry('T', static_cast<std::uint8_t>(c));
  EXPECT_EQ(t.DumpTracePrim(dir.File("ring.trc"), false, true, false), 0);
  EXPECT_EQ(ReadFile(dir.File("ring.trc")), "Transmit: \r\ncde");

  ASSERT_EQ(t.InitTracing(4), 0);
  t.AddTraceEntry('X', 'q');
  EXPECT_EQ(t.DumpTracePrim(dir.File("missing-dir/x.trc"), false, true, false), ecFileNotFound);
  EXPECT_FALSE(t.HasBuffer());
}

TEST(DispatchLogRecorder, EntriesAreAdmittedWholeAndTheOldestMakeRoom) {
  TempDir dir;
  TLkDispatchLog log;
  EXPECT_EQ(log.InitDispatchLogging(0, 64), ecBadArgument);
  EXPECT_FALSE(log.On());
  const std::uint32_t h = TLkDispatchLog::kHeaderSize;
  ASSERT_EQ(log.InitDispatchLogging(3 * h, 64), 0);
  EXPECT_TRUE(log.On());
  std::uint8_t data[64] = {1, 2, 3};
  log.AddDispatchEntry(1, 2, 5, 3, data, 2 * h);  // header + data reach the size: refused whole
  EXPECT_EQ(log.LogFree, 3 * h);
  log.AddDispatchEntry(1, 2, 5, 3, data, 65);  // beyond the scratch area
  EXPECT_EQ(log.LogFree, 3 * h);
  log.AddDispatchEntry(19, 0, 1, 1, data, 1);
  log.AddDispatchEntry(19, 0, 2, 2, data, 2);
  log.AddDispatchEntry(19, 0, 3, 3, data, 3);  // pushes the first out
  TDispatchRecord rec;
  std::vector<std::uint8_t> bytes;
  ASSERT_FALSE(log.PopLastDLEntry(rec, bytes));
  EXPECT_EQ(rec.Time, 2u);
  EXPECT_EQ(bytes.size(), 2u);
  ASSERT_FALSE(log.PopLastDLEntry(rec, bytes));
  EXPECT_EQ(rec.Data, 3u);
  EXPECT_TRUE(log.PopLastDLEntry(rec, bytes));

  EXPECT_EQ(log.DumpDispatchLogPrim(dir.File("empty.log"), false, true, false), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.File("empty.log")));
}

TEST(DispatchLogRecorder, ColumnsOfTheDump) {
  EXPECT_EQ(DispatchTimeText(12345), "0012.345");
  EXPECT_EQ(DispatchTimeText(0), "0000.000");
  EXPECT_EQ(DispatchTimeText(12'345'678), "12345.678");  // the dot stays before the milliseconds

  TempDir dir;
  TLkDispatchLog log;
  ASSERT_EQ(log.InitDispatchLogging(1000, 64), 0);
  std::uint8_t kind = 2;
  log.AddDispatchEntry(5, 15, 7, 0x13, &kind, 1);
  std::uint8_t status = 0x91;
  log.AddDispatchEntry(1, 4, 8, 0x91, &status, 1);
  log.AddDispatchEntry(2, 6, 9, 0x28, nullptr, 0);
  ASSERT_EQ(log.DumpDispatchLogPrim(dir.File("k.log"), false, true, false), 0);
  std::string text = ReadFile(dir.File("k.log"));
  EXPECT_NE(text.find("\r\n0000.007  TrigAllc  Status        00000013  (Line status)\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n0000.008  Dispatch  Modem status  00000091  [91] (DCTS CTS DCD)\r\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("\r\n0000.009  Trigger   Timer         00000028  \r\n"), std::string::npos) << text;
  EXPECT_FALSE(log.HasLog());
}

TEST(TraceAndLogDump, SizesAndFailuresAtClose) {
  RecordedPort r;
  r.port.SetTraceSize(0);
  r.port.SetTracing(tlOn);
  // A zero size is refused and the port does not open.
  EXPECT_THROW(r.port.SetOpen(true), EBadArgument);
  EXPECT_FALSE(r.port.Open());

  r.port.SetTraceSize(100);
  r.port.SetTraceName(r.dir.File("no-such-dir/LK.TRC"));
  r.port.SetOpen(true);
  EXPECT_EQ(r.port.Tracing(), tlOn);
  r.port.PutString("x");
  // The dump fails, yet the port is closed before that is reported.
  EXPECT_THROW(r.port.SetOpen(false), ELkException);
  EXPECT_EQ(r.port.PortState(), 0);
  EXPECT_EQ(r.port.Dispatcher(), nullptr);

  // A destructor never throws, whatever its dump does.
  {
    RecordedPort q;
    q.port.SetLogName(q.dir.File("no-such-dir/LK.LOG"));
    q.port.SetLogging(tlOn);
    q.port.SetOpen(true);
    q.port.AddStringToLog("x");
  }
}

// A dump into a pipe that nobody reads yet: the dump blocks in its writes, and the dispatcher must not.
TEST(TraceAndLogDump, DumpsWriteOutsideTheDataLock) {
  for (bool log : {false, true}) {
    SCOPED_TRACE(log ? "log" : "trace");
    RecordedPort r;
    const std::string fifo = r.dir.File("dump.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    r.port.SetTraceName(fifo);
    r.port.SetLogName(fifo);
    r.port.SetTraceSize(200'000);
    r.port.SetLogSize(1'000'000);
    r.port.SetOpen(true);
    log ? r.port.SetLogging(tlOn) : r.port.SetTracing(tlOn);
    for (int i = 0; i < 200; ++i) r.port.AddStringToLog(std::string(1000, 'x'));
    for (int i = 0; i < 100'000; ++i) r.port.AddTraceEntry('T', 'x');
    auto d = r.port.Dispatcher();

    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    std::thread dumper([&] { log ? r.port.DumpLog() : r.port.DumpTrace(); });
    // Once the pipe is full the dump waits in a write.
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int queued = 0;
    while ((::ioctl(reader, FIONREAD, &queued), queued < 65536) && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_GE(queued, 65536);
    const bool free = d->DataLock.try_lock();
    if (free) d->DataLock.unlock();
    EXPECT_TRUE(free) << "the dump holds the data lock while it writes";

    std::size_t total = 0;
    char buf[65536];
    for (;;) {
      pollfd p{reader, POLLIN, 0};
      ::poll(&p, 1, 1000);
      ssize_t n = ::read(reader, buf, sizeof buf);
      if (n == 0) break;  // the dump closed its end
      if (n > 0) total += static_cast<std::size_t>(n);
    }
    dumper.join();
    ::close(reader);
    EXPECT_GT(total, 100'000u);
  }
}

void BrokenHandler(std::uint32_t, std::uint32_t, std::uint32_t) { throw std::runtime_error("boom!"); }

// A handler run on the dispatch thread throws: the failure goes to the dispatch log and to the port's
// window, which shows it as the toolkit shows any exception of an event.
TEST(TraceAndLogDump, AHandlerFailureIsLoggedAndShown) {
  RecordedPort r;
  r.port.SetOpen(true);
  r.port.SetLogging(tlOn);
  auto d = r.port.Dispatcher();
  d->RegisterProcTriggerHandler(BrokenHandler);
  d->SendNotify(kMsgTimerTrigger, 8, 0);  // the test pumps: it stands for the dispatch thread
  auto& ui = testing_support::TestUi();
  EXPECT_TRUE(test::ProcessUntil([&] { return !ui.Messages().empty(); }));
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{"boom!"});
  r.port.SetLogging(tlDump);
  const std::string text = ReadFile(r.dir.File("LK.LOG"));
  EXPECT_NE(text.find("  Error     Procedure     00007e03  boom!\r\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace serial
