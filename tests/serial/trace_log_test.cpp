#include "serial/trace_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "serial/com_port.h"
#include "serial/error_codes.h"
#include "serial/lk_exception.h"
#include "serial/timing.h"
#include "support/fake_serial_device.h"
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

std::uint32_t clockMs = 0;
std::uint32_t TestClock() { return clockMs; }

struct ClockScope {
  explicit ClockScope(std::uint32_t start) {
    clockMs = start;
    SetMillisecondClock(TestClock);
  }
  ~ClockScope() { SetMillisecondClock(nullptr); }
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

}  // namespace
}  // namespace serial
