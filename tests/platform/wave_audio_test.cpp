#include "platform/wave_audio.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <cerrno>
#include <cstring>
#include <thread>

#include "support/temp_dir.h"

namespace platform {
namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

std::uint32_t U32(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

template <class Pred>
bool RunUntil(Pred done, int ms = 3000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

std::string Chunk(const char* id, const std::string& data) {
  std::uint32_t size = static_cast<std::uint32_t>(data.size());
  std::string out = std::string(id, 4) + std::string(reinterpret_cast<const char*>(&size), 4) + data;
  if (data.size() & 1) out += '\0';
  return out;
}

std::string Riff(const std::string& form, const std::string& chunks) { return Chunk("RIFF", form + chunks); }

std::string PcmRecord(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  const auto bytes = WaveFormat::Pcm(channels, rate, bits).Bytes(false);
  return {bytes.begin(), bytes.end()};
}

TEST(WaveFiles, WhatIsWrittenReadsBackWithItsFormatAndEverySample) {
  struct Case {
    std::uint16_t Channels;
    std::uint32_t Rate;
    std::uint16_t Bits;
    std::size_t Bytes;
  };
  for (const Case& c : {Case{1, 8000, 8, 7}, Case{2, 44100, 16, 4000}, Case{1, 22050, 16, 0}}) {
    SCOPED_TRACE(c.Bytes);
    testing_support::TempDir dir;
    const std::string path = dir.File("x.wav");
    std::vector<std::uint8_t> samples(c.Bytes);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_EQ(WriteWaveFile(path, WaveFormat::Pcm(c.Channels, c.Rate, c.Bits), samples), 0);

    WaveFormat format;
    std::vector<std::uint8_t> data;
    ASSERT_EQ(ReadWaveFile(path, format, data), 0);
    EXPECT_EQ(format.Channels, c.Channels);
    EXPECT_EQ(format.SamplesPerSec, c.Rate);
    EXPECT_EQ(format.BitsPerSample, c.Bits);
    EXPECT_EQ(format.AvgBytesPerSec, c.Rate * c.Channels * c.Bits / 8);
    EXPECT_EQ(data, samples);

    // The sizes the file states: the RIFF chunk covers the file, an odd data chunk is padded.
    const std::string bytes = ReadFile(path);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(U32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(bytes.size() % 2, 0u);
    EXPECT_EQ(U32(bytes, bytes.size() - c.Bytes - (c.Bytes & 1) - 4), c.Bytes);
  }
}

TEST(WaveFiles, ChunksBeforeAndBetweenAreSkippedWhateverTheirLength) {
  testing_support::TempDir dir;
  const std::string path = dir.File("x.wav");
  WriteFile(path, Riff("WAVE", Chunk("LIST", "INFOodd") + Chunk("fmt ", PcmRecord(1, 8000, 8)) + Chunk("junk", "abc") +
                                   Chunk("data", "\x80\x81\x82")));
  WaveFormat format;
  std::vector<std::uint8_t> data;
  ASSERT_EQ(ReadWaveFile(path, format, data), 0);
  EXPECT_EQ(format.BitsPerSample, 8);
  EXPECT_EQ(data, (std::vector<std::uint8_t>{0x80, 0x81, 0x82}));
}

TEST(WaveFiles, ADataSizeBeyondTheFileIsAFileCutShortAndGetsNoMoreRoomThanTheFileHolds) {
  testing_support::TempDir dir;
  const std::string claims4G = ReadFile(std::string(ZELTA_TEST_DATA_DIR) + "/damaged/wave-data-size-4g.wav");
  for (const std::string& samples : {std::string(), std::string("\x80\x81\x82")}) {
    SCOPED_TRACE(samples.size());
    WriteFile(dir.File("x.wav"), claims4G + samples);
    WaveFormat format;
    std::vector<std::uint8_t> data;
    ASSERT_EQ(ReadWaveFile(dir.File("x.wav"), format, data), 0);
    EXPECT_EQ(format.BitsPerSample, 8);
    EXPECT_EQ(data, std::vector<std::uint8_t>(samples.begin(), samples.end()));
    EXPECT_LE(data.capacity(), claims4G.size() + samples.size());
  }
}

TEST(WaveFiles, AFileThatIsNoWaveIsRefusedWithItsReason) {
  struct Case {
    const char* What;
    std::string Bytes;
    std::int32_t Result;
  };
  const Case cases[] = {
      {"not RIFF", "hello, this is text", MMIOERR_CHUNKNOTFOUND},
      {"another form", Riff("AVI ", Chunk("fmt ", PcmRecord(1, 8000, 8))), MMIOERR_CHUNKNOTFOUND},
      {"no format", Riff("WAVE", Chunk("data", "ab")), MMIOERR_CHUNKNOTFOUND},
      {"short format", Riff("WAVE", Chunk("fmt ", "0123456789")), MMIOERR_CANNOTREAD},
      {"no data", Riff("WAVE", Chunk("fmt ", PcmRecord(1, 8000, 8))), MMIOERR_CHUNKNOTFOUND},
  };
  testing_support::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    WriteFile(dir.File("x.wav"), c.Bytes);
    WaveFormat format;
    std::vector<std::uint8_t> data;
    EXPECT_EQ(ReadWaveFile(dir.File("x.wav"), format, data), c.Result);
  }
  WaveFormat format;
  std::vector<std::uint8_t> data;
  EXPECT_EQ(ReadWaveFile(dir.File("missing.wav"), format, data), MMIOERR_FILENOTFOUND);
}

TEST(WaveFiles, AFailingWriteIsReportedAtTheCloseAndAFailedSaveLeavesTheOldFile) {
  testing_support::TempDir dir;
  std::size_t budget = 30;  // a disk that fills after 30 bytes
  RiffFile file([&](int fd, const void* data, size_t size) -> ssize_t {
    if (budget == 0) {
      errno = ENOSPC;
      return -1;
    }
    const size_t n = std::min(size, budget);
    budget -= n;
    return ::write(fd, data, n);
  });
  ASSERT_EQ(file.Open(dir.File("x.wav"), RiffFile::Mode::Create), 0);
  RiffChunk riff, data;
  riff.FormType = FourCC("WAVE");
  data.Id = FourCC("data");
  EXPECT_EQ(file.CreateChunk(riff, RiffFile::CreateRiff), 0);
  EXPECT_EQ(file.CreateChunk(data, 0), 0);
  const std::string samples(64, 'x');
  EXPECT_EQ(file.Write(samples.data(), samples.size()), -1);
  EXPECT_EQ(file.Write("y", 1), -1) << "nothing more is written once a write failed";
  EXPECT_EQ(file.Close(), MMIOERR_CANNOTWRITE);

  // A save that cannot finish keeps the file it would have replaced.
  const std::string path = dir.File("keep.wav");
  WriteFile(path, "old");
  ASSERT_EQ(::mkdir((path + ".~wav").c_str(), 0700), 0);  // the temporary name is taken by a folder
  EXPECT_NE(WriteWaveFile(path, WaveFormat::Pcm(1, 8000, 8), {1, 2, 3}), 0);
  EXPECT_EQ(ReadFile(path), "old");
}

TEST(WaveFiles, ANewFileTakesTheUmask) {
  testing_support::TempDir dir;
  const mode_t previous = ::umask(002);
  EXPECT_EQ(WriteWaveFile(dir.File("new.wav"), WaveFormat::Pcm(1, 8000, 8), {1, 2, 3}), 0);
  ::umask(previous);
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("new.wav").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0664u);
}

// --- devices ---

struct Reports {
  std::vector<std::uint32_t> Messages;
  std::vector<WaveHeader*> Headers;
  WaveCallback Callback() {
    return [this](std::uint32_t m, WaveHeader* h) {
      Messages.push_back(m);
      Headers.push_back(h);
    };
  }
  int Count(std::uint32_t m) const { return static_cast<int>(std::count(Messages.begin(), Messages.end(), m)); }
};

WaveHeader Buffer(std::vector<std::uint8_t>& bytes) {
  WaveHeader h;
  h.Data = bytes.data();
  h.BufferLength = static_cast<std::uint32_t>(bytes.size());
  return h;
}

TEST(NullWaveDevices, OutputPlaysEachBufferForItsDurationInOrder) {
  QObject window;
  Reports reports;
  std::unique_ptr<WaveDevice> out;
  const WaveFormat format = WaveFormat::Pcm(1, 8000, 8);  // 8000 bytes a second
  ASSERT_EQ(Audio().OutOpen(out, WAVE_MAPPER, format, &window, reports.Callback(), 0), 0);
  std::vector<std::uint8_t> a(400), b(400);  // 50 ms each
  WaveHeader ha = Buffer(a), hb = Buffer(b);
  ASSERT_EQ(out->PrepareHeader(ha), 0);
  ASSERT_EQ(out->PrepareHeader(hb), 0);
  QElapsedTimer clock;
  clock.start();
  ASSERT_EQ(out->Write(ha), 0);
  ASSERT_EQ(out->Write(hb), 0);
  EXPECT_EQ(out->UnprepareHeader(ha), WAVERR_STILLPLAYING);
  EXPECT_EQ(out->Close(), WAVERR_STILLPLAYING);
  ASSERT_TRUE(RunUntil([&] { return reports.Count(MM_WOM_DONE) == 2; }));
  EXPECT_GE(clock.elapsed(), 90);
  EXPECT_EQ(reports.Messages, (std::vector<std::uint32_t>{MM_WOM_OPEN, MM_WOM_DONE, MM_WOM_DONE}));
  EXPECT_EQ(reports.Headers[1], &ha);
  EXPECT_EQ(reports.Headers[2], &hb);
  EXPECT_TRUE(ha.Flags & WHDR_DONE);
  EXPECT_EQ(out->UnprepareHeader(ha), 0);
  EXPECT_EQ(out->Close(), 0);
  ASSERT_TRUE(RunUntil([&] { return reports.Count(MM_WOM_CLOSE) == 1; }));
}

TEST(NullWaveDevices, InputRecordsSilenceAtThePaceOfRealTimeAndStopsHalfWay) {
  for (std::uint16_t bits : {8, 16}) {
    SCOPED_TRACE(bits);
    QObject window;
    Reports reports;
    std::unique_ptr<WaveDevice> in;
    const WaveFormat format = WaveFormat::Pcm(1, 8000, bits);
    ASSERT_EQ(Audio().InOpen(in, 0, format, &window, reports.Callback(), 0), 0);
    std::vector<std::uint8_t> first(format.AvgBytesPerSec / 20, 0x55), second(format.AvgBytesPerSec * 10, 0x55);
    WaveHeader h1 = Buffer(first), h2 = Buffer(second);
    in->PrepareHeader(h1);
    in->PrepareHeader(h2);
    in->AddBuffer(h1);
    in->AddBuffer(h2);
    ASSERT_EQ(in->Start(), 0);
    ASSERT_TRUE(RunUntil([&] { return reports.Count(MM_WIM_DATA) == 1; }));
    EXPECT_EQ(h1.BytesRecorded, h1.BufferLength);
    EXPECT_EQ(first[0], bits == 8 ? 0x80 : 0x00);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(in->Stop(), 0);
    ASSERT_TRUE(RunUntil([&] { return reports.Count(MM_WIM_DATA) == 2; }));
    // About a tenth of the ten-second buffer holds silence; the rest is untouched.
    EXPECT_GT(h2.BytesRecorded, 0u);
    EXPECT_LT(h2.BytesRecorded, h2.BufferLength / 2);
    EXPECT_EQ(h2.BytesRecorded % format.BlockAlign, 0u);
    EXPECT_EQ(second[h2.BytesRecorded], 0x55);
    EXPECT_EQ(in->Close(), 0);
  }
}

TEST(NullWaveDevices, RefuseOtherDevicesAndFormatsAndAQueryOpensNothing) {
  QObject window;
  Reports reports;
  std::unique_ptr<WaveDevice> device;
  WaveFormat adpcm = WaveFormat::Pcm(1, 22050, 4);
  adpcm.FormatTag = 2;
  EXPECT_EQ(Audio().OutOpen(device, 3, WaveFormat::Pcm(1, 8000, 8), &window, reports.Callback(), 0),
            MMSYSERR_BADDEVICEID);
  EXPECT_EQ(Audio().OutOpen(device, 0, adpcm, &window, reports.Callback(), 0), WAVERR_BADFORMAT);
  EXPECT_EQ(Audio().InOpen(device, 0, WaveFormat::Pcm(1, 8000, 16), nullptr, {}, WAVE_FORMAT_QUERY), 0);
  EXPECT_EQ(device, nullptr);
  EXPECT_NE(WaveOutErrorText(WAVERR_BADFORMAT), WaveInErrorText(WAVERR_BADFORMAT));
}

TEST(NullWaveDevices, ReportsEndWithTheirDeviceOrWindowButAClosedDeviceStillReportsItsClose) {
  Reports reports;
  auto window = std::make_unique<QObject>();
  std::vector<std::uint8_t> bytes(8);
  WaveHeader h = Buffer(bytes);
  {
    std::unique_ptr<WaveDevice> out;
    ASSERT_EQ(Audio().OutOpen(out, 0, WaveFormat::Pcm(1, 8000, 8), window.get(), reports.Callback(), 0), 0);
    out->PrepareHeader(h);
    out->Write(h);
    out->Reset();  // the buffer is back at once; its report is still to come
  }
  {
    std::unique_ptr<WaveDevice> out;
    ASSERT_EQ(Audio().OutOpen(out, 0, WaveFormat::Pcm(1, 8000, 8), window.get(), reports.Callback(), 0), 0);
    ASSERT_EQ(out->Close(), 0);
  }
  RunUntil([] { return false; }, 50);
  EXPECT_EQ(reports.Messages, std::vector<std::uint32_t>{MM_WOM_CLOSE});

  reports.Messages.clear();
  std::unique_ptr<WaveDevice> out;
  ASSERT_EQ(Audio().OutOpen(out, 0, WaveFormat::Pcm(1, 8000, 8), window.get(), reports.Callback(), 0), 0);
  window.reset();
  RunUntil([] { return false; }, 50);
  EXPECT_TRUE(reports.Messages.empty());
}

TEST(NullWaveDevices, AnUnpreparedBufferIsRefused) {
  std::unique_ptr<WaveDevice> out;
  ASSERT_EQ(Audio().OutOpen(out, 0, WaveFormat::Pcm(1, 8000, 8), nullptr, {}, 0), 0);
  std::vector<std::uint8_t> bytes(8);
  WaveHeader h = Buffer(bytes);
  EXPECT_EQ(out->Write(h), WAVERR_UNPREPARED);
  EXPECT_EQ(out->Close(), 0);
  EXPECT_EQ(out->Write(h), MMSYSERR_INVALHANDLE);
}

}  // namespace
}  // namespace platform
