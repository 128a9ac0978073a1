#include "telephony/tapi_voice.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/wave_audio.h"
#include "serial/lk_exception.h"
#include "support/scripted_ui.h"
#include "support/sim_wave_audio.h"
#include "support/temp_dir.h"
#include "tapi_fixture.h"

namespace telephony::test {
namespace {

using namespace platform;

struct Raised {
  bool Any = false;
  bool WaveFail = false;
  bool VoiceNotSupported = false;
  std::int32_t Code = 0;
  std::string Message;
};

Raised RaisedBy(const std::function<void()>& action) {
  Raised r;
  try {
    action();
  } catch (const serial::ELkException& e) {
    r.Any = true;
    r.WaveFail = dynamic_cast<const serial::ETapiWaveFail*>(&e) != nullptr;
    r.VoiceNotSupported = dynamic_cast<const serial::ETapiVoiceNotSupported*>(&e) != nullptr;
    r.Code = e.ErrorCode;
    r.Message = e.what();
  }
  return r;
}

// Seconds of 16-bit mono samples at 8000 a second: loud ones swing by `level` around zero.
std::vector<std::uint8_t> Seconds(double seconds, std::int16_t level) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(seconds * 8000) * 2);
  for (std::size_t i = 0; i < bytes.size() / 2; ++i) {
    const std::int16_t s = i % 2 ? level : static_cast<std::int16_t>(-level);
    std::memcpy(&bytes[2 * i], &s, 2);
  }
  return bytes;
}

std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + i / 251);
  return bytes;
}

class TapiVoice : public TapiTest {
 protected:
  TapiVoice() {
    sim.Lines[0].Voice = false;  // "Zelta Modem A" is a data modem only
    const char* tmp = ::getenv("TMPDIR");
    oldTmp_ = tmp ? tmp : "";
    hadTmp_ = tmp != nullptr;
    ::setenv("TMPDIR", tmp_.Path().c_str(), 1);
  }
  ~TapiVoice() override {
    owner.reset();  // while what its handlers record still exists
    if (hadTmp_)
      ::setenv("TMPDIR", oldTmp_.c_str(), 1);
    else
      ::unsetenv("TMPDIR");
  }

  // A device with voice on, reporting digits and wave notifications.
  void MakeVoiceDevice() {
    MakeDevice();
    device->SetEnableVoice(true);
    device->OnTapiDTMF = [this](tk::Component*, char d, std::int32_t e) { digits.emplace_back(d, e); };
    Voice().OnTapiWaveNotify = [this](tk::Component*, TWaveMessage m) { waves.push_back(m); };
  }
  // ... and a connected voice call.
  bool ConnectVoice() {
    MakeVoiceDevice();
    device->Dial("5551234");
    return ProcessUntil([&] { return events.Count("connect") == 1; });
  }
  TTapiVoice& Voice() { return device->Voice(); }

  std::string WaveFile(const std::string& name, const std::vector<std::uint8_t>& samples,
                       const WaveFormat& format = WaveFormat::Pcm(1, 8000, 16)) {
    const std::string path = dir.File(name);
    EXPECT_EQ(WriteWaveFile(path, format, samples), 0);
    return path;
  }
  bool WaveEnds() {
    return ProcessUntil(
        [&] { return !waves.empty() && (waves.back() == waPlayClose || waves.back() == waRecordClose); });
  }
  int TempFiles() const {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator(tmp_.Path()), {}));
  }
  std::vector<std::uint8_t> Saved() {
    WaveFormat format;
    std::vector<std::uint8_t> data;
    EXPECT_EQ(ReadWaveFile(dir.File("saved.wav"), format, data), 0);
    EXPECT_EQ(format.BitsPerSample, 16);
    EXPECT_EQ(format.SamplesPerSec, 8000u);
    return data;
  }

  testing_support::SimWaveAudio audio;
  testing_support::TempDir dir;
  std::vector<std::pair<char, std::int32_t>> digits;
  std::vector<TWaveMessage> waves;

 private:
  testing_support::TempDir tmp_;
  std::string oldTmp_;
  bool hadTmp_ = false;
};

// --- the voice check, digits, tones, data ---

TEST_F(TapiVoice, TheVoiceCheckKeepsVoiceOnlyOnALineThatHandlesAutomatedVoice) {
  struct Case {
    const char* Line;
    std::set<std::string> Missing;
    bool Capable;
  };
  for (const Case& c : {Case{"Zelta Modem B", {}, true}, Case{"Zelta Modem A", {}, false},
                        Case{"Zelta Modem B", {"lineGetDevCaps"}, false}}) {
    SCOPED_TRACE(c.Line);
    owner = std::make_unique<tk::Component>(nullptr);
    FreeTapiLibrary();  // looked up again with the functions this case lacks
    sim.Missing = c.Missing;
    MakeDevice();
    device->SetSelectedDevice(c.Line);
    const Raised r = RaisedBy([&] { device->SetEnableVoice(true); });
    EXPECT_EQ(device->EnableVoice(), c.Capable);
    EXPECT_EQ(r.VoiceNotSupported, !c.Capable);
    EXPECT_EQ(r.Code, c.Capable ? 0 : ecTapiVoiceNotSupported);
    EXPECT_EQ(sim.LiveApps(), 1) << "the check's own instance is shut down again";
  }
}

TEST_F(TapiVoice, AVoiceCallConnectsWithItsDigitsWatchedAndNoPort) {
  ASSERT_TRUE(ConnectVoice());
  EXPECT_EQ(sim.LastOpenMedia, LINEMEDIAMODE_AUTOMATEDVOICE);
  EXPECT_EQ(sim.LastCallParams.dwMediaMode, LINEMEDIAMODE_AUTOMATEDVOICE);
  EXPECT_EQ(sim.MonitoredDigitModes, 2u);  // touch tones
  EXPECT_FALSE(port->Open());
  EXPECT_EQ(events.Count("port open"), 0);
}

TEST_F(TapiVoice, DigitsFromTheFarEndAreReportedAndLoggedButBlanksAreNot) {
  ASSERT_TRUE(ConnectVoice());
  for (char d : {'5', ' ', '#'}) sim.SendDigit(d);
  ASSERT_TRUE(
      ProcessUntil([&] { return std::count(events.Logs.begin(), events.Logs.end(), ltapiReceivedDigit) == 3; }));
  EXPECT_EQ(digits, (std::vector<std::pair<char, std::int32_t>>{{'5', 0}, {'#', 0}}));
}

TEST_F(TapiVoice, DigitWatchingThatFailsIsToldToTheDigitHandlerOrRaised) {
  sim.MonitorDigitsResult = LINEERR_OPERATIONUNAVAIL;
  ASSERT_TRUE(ConnectVoice());
  EXPECT_EQ(digits, (std::vector<std::pair<char, std::int32_t>>{{' ', -13873}}));
  EXPECT_TRUE(testing_support::TestUi().Messages().empty());
  device->CancelCall();

  // Without a handler the connection reports the failure and goes no further.
  device->OnTapiDTMF = nullptr;
  events.Fired.clear();
  device->Dial("5551234");
  ASSERT_TRUE(ProcessUntil([] { return !testing_support::TestUi().Messages().empty(); }));
  EXPECT_EQ(testing_support::TestUi().Messages().back(), "TAPI device does not support voice extensions");
  EXPECT_EQ(events.Count("connect"), 0);
}

TEST_F(TapiVoice, TonesGoIntoTheCallOnlyWithVoiceOn) {
  ASSERT_TRUE(ConnectVoice());
  Voice().SendTone("12#");
  EXPECT_EQ(sim.GeneratedDigits, "12#");
  EXPECT_EQ(sim.GeneratedDigitMode, 2u);
  device->SetEnableVoice(false);
  Voice().SendTone("9");
  EXPECT_EQ(sim.Count("lineGenerateDigits"), 1);
}

TEST_F(TapiVoice, AVoiceCallSwitchesToDataOnThePort) {
  ASSERT_TRUE(ConnectVoice());
  Voice().AutomatedVoicetoComms();
  EXPECT_EQ(sim.LastBearerMode, LINEBEARERMODE_PASSTHROUGH);
  EXPECT_EQ(sim.LastMinRate, 1200u);
  EXPECT_EQ(sim.LastMaxRate, 115200u);
  EXPECT_EQ(sim.LastMediaMode, 0x32u);
  EXPECT_TRUE(port->Open());
  EXPECT_EQ(events.Count("port open"), 1);
}

TEST_F(TapiVoice, ASwitchToDataThatTheLineRefusesRaisesAndLeavesThePortClosed) {
  ASSERT_TRUE(ConnectVoice());
  sim.SetMediaModeResult = LINEERR_OPERATIONFAILED;
  const Raised r = RaisedBy([&] { Voice().AutomatedVoicetoComms(); });
  EXPECT_TRUE(r.VoiceNotSupported);
  EXPECT_FALSE(port->Open());
}

// --- playing ---

TEST_F(TapiVoice, AWavePlaysIntoTheLineInChunksOfThreeSecondsAndEnds) {
  struct Case {
    std::size_t Bytes;
    int Buffers;
  };
  for (const Case& c : {Case{1000, 1}, Case{110000, 3}}) {
    SCOPED_TRACE(c.Bytes);
    if (!device) {
      ASSERT_TRUE(ConnectVoice());
    }
    waves.clear();
    audio.Played.clear();
    audio.BuffersPlayed.clear();
    audio.Openings.clear();
    const auto samples = Pattern(c.Bytes);
    Voice().PlayWaveFile(WaveFile("a.wav", samples));
    EXPECT_EQ(Voice().WaveState(), wsPlaying);
    ASSERT_TRUE(WaveEnds());
    EXPECT_EQ(waves, (std::vector<TWaveMessage>{waPlayOpen, waPlayDone, waPlayClose}));
    EXPECT_EQ(Voice().WaveState(), wsIdle);
    EXPECT_EQ(audio.Played[7], samples);
    EXPECT_EQ(audio.BuffersPlayed[7], c.Buffers);
    ASSERT_EQ(audio.Openings.size(), 2u);
    EXPECT_EQ(audio.Openings[0].Flags, WAVE_FORMAT_QUERY | WAVE_MAPPED);
    EXPECT_EQ(audio.Openings[1].Device, 7u);
    EXPECT_EQ(audio.Openings[1].Flags, 0u);
    EXPECT_EQ(Voice().WaveFileName(), dir.File("a.wav"));
  }
}

TEST_F(TapiVoice, TheSoundCardPlaysWithoutACall) {
  MakeVoiceDevice();
  Voice().UseSoundCard = true;
  const auto samples = Pattern(500);
  Voice().PlayWaveFile(WaveFile("a.wav", samples));
  ASSERT_TRUE(WaveEnds());
  EXPECT_EQ(audio.Played[WAVE_MAPPER], samples);
  EXPECT_EQ(audio.Openings[0].Flags, WAVE_FORMAT_QUERY);
}

TEST_F(TapiVoice, AWaveThatCannotBePlayedRaisesAWaveError) {
  MakeVoiceDevice();
  Voice().UseSoundCard = true;
  testing_support::WriteFile(dir.File("text.wav"), "this is no wave file");
  testing_support::WriteFile(dir.File("short.wav"),
                             std::string("RIFF\x16\0\0\0WAVEfmt \x0a\0\0\0", 20) + std::string(10, '\0'));
  const auto empty = EmptyWaveResource();
  testing_support::WriteFile(dir.File("adpcm.wav"), std::string(empty.begin(), empty.end()));
  struct Case {
    std::string File;
    std::int32_t Code;
    std::string Message;
  };
  const Case cases[] = {
      {dir.File("missing.wav"), -2, "File not found"},
      {dir.File("text.wav"), 0, "TAPI wave file error"},
      {dir.File("short.wav"), -13940, "Unable to read wave file data"},
      {dir.File("adpcm.wav"), 0, WaveOutErrorText(WAVERR_BADFORMAT)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.File);
    const Raised r = RaisedBy([&] { Voice().PlayWaveFile(c.File); });
    EXPECT_TRUE(r.WaveFail);
    EXPECT_EQ(r.Code, c.Code);
    EXPECT_EQ(r.Message, c.Message);
    EXPECT_EQ(Voice().WaveState(), wsIdle);
    EXPECT_EQ(audio.OpenDevices(), 0);
  }
}

TEST_F(TapiVoice, ADeviceThatIsNotEnabledPlaysNothingAndSaysNothing) {
  MakeVoiceDevice();
  Voice().UseSoundCard = true;
  audio.OpenResults[WAVE_MAPPER] = MMSYSERR_NOTENABLED;
  EXPECT_FALSE(RaisedBy([&] { Voice().PlayWaveFile(WaveFile("a.wav", Pattern(100))); }).Any);
  EXPECT_EQ(Voice().WaveState(), wsIdle);
}

TEST_F(TapiVoice, ADigitStopsAPlayingWaveOnlyWhenTheSettingSaysSo) {
  for (bool interrupt : {true, false}) {
    SCOPED_TRACE(interrupt);
    if (!device) {
      ASSERT_TRUE(ConnectVoice());
    }
    digits.clear();
    waves.clear();
    audio.PlayAtOnce = false;
    Voice().InterruptWaveOnDigit = interrupt;
    Voice().PlayWaveFile(WaveFile("long.wav", Pattern(200000)));
    sim.SendDigit('3');
    ProcessUntil([&] { return !digits.empty(); }, std::chrono::milliseconds(interrupt ? 3000 : 100));
    if (interrupt) {
      ASSERT_TRUE(WaveEnds());
      EXPECT_EQ(digits, (std::vector<std::pair<char, std::int32_t>>{{'3', 0}}));
      EXPECT_EQ(waves, (std::vector<TWaveMessage>{waPlayOpen, waPlayDone, waPlayClose}));
    } else {
      EXPECT_TRUE(digits.empty());
      EXPECT_EQ(Voice().WaveState(), wsPlaying);
      while (audio.FinishOutput()) ProcessUntil([] { return false; }, std::chrono::milliseconds(5));
      ASSERT_TRUE(WaveEnds());
      EXPECT_EQ(audio.Played[7].size(), 200000u);
    }
  }
}

TEST_F(TapiVoice, CancellingTheCallStopsThePlayingWave) {
  ASSERT_TRUE(ConnectVoice());
  audio.PlayAtOnce = false;
  Voice().PlayWaveFile(WaveFile("long.wav", Pattern(200000)));
  device->CancelCall();
  ASSERT_TRUE(WaveEnds());
  EXPECT_EQ(Voice().WaveState(), wsIdle);
  EXPECT_TRUE(audio.Played[7].empty());
}

TEST_F(TapiVoice, ANewWaveWaitsForTheOneItInterruptsToClose) {
  ASSERT_TRUE(ConnectVoice());
  audio.PlayAtOnce = false;
  Voice().PlayWaveFile(WaveFile("first.wav", Pattern(200000)));
  const auto second = Pattern(300);
  Voice().PlayWaveFile(WaveFile("second.wav", second));
  EXPECT_EQ(waves, (std::vector<TWaveMessage>{waPlayOpen, waPlayDone, waPlayClose}));
  ASSERT_TRUE(audio.FinishOutput());
  ASSERT_TRUE(ProcessUntil([&] { return waves.size() == 6; }));
  EXPECT_EQ(waves.back(), waPlayClose);
  EXPECT_EQ(audio.Played[7], second);
}

// --- recording ---

TEST_F(TapiVoice, ARecordingStoppedByTheUserIsSavedAsAWaveFile) {
  ASSERT_TRUE(ConnectVoice());
  const auto heard = Seconds(2.5, 3000);
  audio.Input = heard;
  Voice().StartWaveRecord();
  EXPECT_EQ(Voice().WaveState(), wsRecording);
  ASSERT_TRUE(ProcessUntil([&] { return audio.Input.empty(); }));
  Voice().StopWaveRecord();
  ASSERT_TRUE(WaveEnds());
  EXPECT_EQ(waves, (std::vector<TWaveMessage>{waRecordOpen, waDataReady, waRecordClose}));
  EXPECT_EQ(Voice().WaveState(), wsData);
  EXPECT_EQ(audio.Openings.back().Device, 8u) << "recording uses the line's wave input";
  EXPECT_EQ(TempFiles(), 1);
  Voice().SaveWaveFile(dir.File("saved.wav"), false);
  EXPECT_EQ(Saved(), heard);
  EXPECT_EQ(Voice().WaveState(), wsIdle);
  EXPECT_EQ(Voice().WaveFileName(), dir.File("saved.wav"));
  EXPECT_EQ(TempFiles(), 0);
}

TEST_F(TapiVoice, ARecordingEndsByItselfAfterTheMaximumLength) {
  ASSERT_TRUE(ConnectVoice());
  audio.Input = Seconds(61, 3000);
  Voice().StartWaveRecord();
  ASSERT_TRUE(ProcessUntil([&] { return Voice().WaveState() == wsData; }));
  EXPECT_EQ(audio.Input.size(), 16000u) << "the 61st second is never asked for";
  Voice().SaveWaveFile(dir.File("saved.wav"), false);
  EXPECT_EQ(Saved().size(), 60u * 16000u);
}

TEST_F(TapiVoice, OneSilentSecondStopsTheRecordingAndEndsTheCall) {
  struct Case {
    const char* What;
    std::vector<std::uint8_t> Heard;
    std::size_t Saved;
  };
  // Speech after the silence is already in the device when the recording stops: it is kept, and the
  // recording still ends.
  for (const Case& c : {Case{"silence", Seconds(1, 3000) + Seconds(1, 10), 2 * 16000},
                        Case{"speech after", Seconds(1, 3000) + Seconds(1, 10) + Seconds(1, 3000), 3 * 16000}}) {
    SCOPED_TRACE(c.What);
    owner = std::make_unique<tk::Component>(nullptr);
    events = {};
    ASSERT_TRUE(ConnectVoice());
    int silences = 0;
    Voice().OnTapiWaveSilence = [&](tk::Component*, bool& stop, bool& hangUp) {
      ++silences;
      EXPECT_TRUE(stop && hangUp);
    };
    const int drops = sim.Count("lineDrop");
    audio.Input = c.Heard;
    Voice().StartWaveRecord();
    ASSERT_TRUE(ProcessUntil([&] { return Voice().WaveState() == wsData && !device->LineInUse(); }));
    EXPECT_EQ(silences, 1);
    EXPECT_EQ(sim.Count("lineDrop"), drops + 1);
    Voice().SaveWaveFile(dir.File("saved.wav"), true);
    EXPECT_EQ(Saved().size(), c.Saved);
  }
}

TEST_F(TapiVoice, AnEightBitRecordingIsCheckedForSilenceOverItsOwnSamples) {
  ASSERT_TRUE(ConnectVoice());
  Voice().SetRecordingParams(1, 8000, 8);
  std::vector<std::uint8_t> heard(8000);
  for (std::size_t i = 0; i < heard.size(); ++i) heard[i] = i % 2 ? 0xC0 : 0x40;  // loud
  heard.resize(16000, 0x80);                                                      // then silent
  audio.Input = heard;
  Voice().StartWaveRecord();
  ASSERT_TRUE(ProcessUntil([&] { return Voice().WaveState() == wsData && !device->LineInUse(); }));
  Voice().SaveWaveFile(dir.File("eight.wav"), false);
  WaveFormat format;
  std::vector<std::uint8_t> data;
  ASSERT_EQ(ReadWaveFile(dir.File("eight.wav"), format, data), 0);
  EXPECT_EQ(format.BitsPerSample, 8);
  EXPECT_EQ(format.AvgBytesPerSec, 8000u);
  EXPECT_EQ(data, heard);
}

TEST_F(TapiVoice, EachDeviceCountsItsOwnSilentSeconds) {
  // One silent second on each of two devices is not the two seconds of silence either waits for.
  int silences = 0;
  for (int round = 0; round < 2; ++round) {
    events = {};
    ASSERT_TRUE(ConnectVoice());
    Voice().SilenceSeconds = 3;
    Voice().OnTapiWaveSilence = [&](tk::Component*, bool&, bool&) { ++silences; };
    audio.Input = Seconds(1, 0) + Seconds(0.5, 3000);
    Voice().StartWaveRecord();
    ASSERT_TRUE(ProcessUntil([&] { return audio.Input.empty(); }));
    Voice().StopWaveRecord();
    ASSERT_TRUE(ProcessUntil([&] { return Voice().WaveState() == wsData; }));
    device->CancelCall();
  }
  EXPECT_EQ(silences, 0);
}

TEST_F(TapiVoice, TheSilenceHandlerCanKeepTheRecordingAndTheCallGoing) {
  ASSERT_TRUE(ConnectVoice());
  int silences = 0;
  Voice().OnTapiWaveSilence = [&](tk::Component*, bool& stop, bool& hangUp) {
    ++silences;
    stop = hangUp = false;
  };
  audio.Input = Seconds(1, 3000) + Seconds(2, 0) + Seconds(0.5, 3000);
  Voice().StartWaveRecord();
  ASSERT_TRUE(ProcessUntil([&] { return audio.Input.empty(); }));
  EXPECT_EQ(silences, 2);
  EXPECT_EQ(Voice().WaveState(), wsRecording);
  EXPECT_TRUE(device->LineInUse());
  Voice().StopWaveRecord();
  ASSERT_TRUE(ProcessUntil([&] { return Voice().WaveState() == wsData; }));
}

TEST_F(TapiVoice, TheWaveDeviceIsRefusedWhileInUseAndNothingIsSavedWithoutAFinishedRecording) {
  ASSERT_TRUE(ConnectVoice());
  EXPECT_EQ(RaisedBy([&] { Voice().SaveWaveFile(dir.File("saved.wav"), true); }).Code, ecTapiNoWaveData);
  audio.Input = Seconds(0.5, 3000);
  Voice().StartWaveRecord();
  const std::function<void()> busy[] = {
      [&] { Voice().StartWaveRecord(); },
      [&] { Voice().PlayWaveFile(WaveFile("a.wav", Pattern(10))); },
      [&] { Voice().SaveWaveFile(dir.File("saved.wav"), true); },
  };
  for (const auto& action : busy) {
    const Raised r = RaisedBy(action);
    EXPECT_TRUE(r.WaveFail);
    EXPECT_EQ(r.Code, ecTapiWaveInUse);
  }
  Voice().StopWaveRecord();
  ASSERT_TRUE(ProcessUntil([&] { return Voice().WaveState() == wsData; }));
  // A copy that fails keeps the recording for another try.
  EXPECT_EQ(RaisedBy([&] { Voice().SaveWaveFile(dir.File("no such folder/x.wav"), true); }).Code, ecTapiWaveFail);
  EXPECT_EQ(Voice().WaveState(), wsData);
  testing_support::WriteFile(dir.File("saved.wav"), "keep me");
  EXPECT_EQ(RaisedBy([&] { Voice().SaveWaveFile(dir.File("saved.wav"), false); }).Code, ecTapiWaveFileExists);
  EXPECT_EQ(testing_support::ReadFile(dir.File("saved.wav")), "keep me");
  Voice().SaveWaveFile(dir.File("saved.wav"), true);
  EXPECT_EQ(Saved().size(), 8000u);
}

TEST_F(TapiVoice, ARecordingFileThatCannotBeWrittenEndsTheRecording) {
  ASSERT_TRUE(ConnectVoice());
  std::size_t budget = 50;  // the file's headers (a chunk size written twice), and not one sample
  Voice().TempFileWrite = [&](int fd, const void* data, size_t size) -> ssize_t {
    if (budget == 0) {
      errno = ENOSPC;
      return -1;
    }
    const size_t n = std::min(size, budget);
    budget -= n;
    return ::write(fd, data, n);
  };
  audio.Input = Seconds(2, 3000);
  Voice().StartWaveRecord();
  ASSERT_TRUE(ProcessUntil([] { return !testing_support::TestUi().Messages().empty(); }));
  EXPECT_EQ(testing_support::TestUi().Messages().back(), "MMIO Write Error");
  EXPECT_EQ(Voice().WaveState(), wsIdle);
  EXPECT_EQ(audio.OpenDevices(), 0);
  EXPECT_EQ(TempFiles(), 0);

  // No room for the file at all: the recording does not start.
  ::setenv("TMPDIR", dir.File("no such folder").c_str(), 1);
  const Raised r = RaisedBy([&] { Voice().StartWaveRecord(); });
  EXPECT_EQ(r.Message, "TAPI wave file error");
  EXPECT_EQ(Voice().WaveState(), wsIdle);
  EXPECT_EQ(audio.OpenDevices(), 0);
}

TEST_F(TapiVoice, MonitoringPlaysEachRecordedSecondOnTheDefaultOutput) {
  ASSERT_TRUE(ConnectVoice());
  const auto heard = Seconds(2.5, 3000);
  audio.Input = heard;
  Voice().SetMonitorRecording(true);
  Voice().StartWaveRecord();
  ASSERT_TRUE(ProcessUntil([&] { return audio.Input.empty(); }));
  EXPECT_EQ(audio.Played[WAVE_MAPPER], std::vector<std::uint8_t>(heard.begin(), heard.begin() + 2 * 16000));
  EXPECT_EQ(audio.OpenDevices(), 2);
  Voice().SetMonitorRecording(false);
  EXPECT_EQ(audio.OpenDevices(), 1);
  EXPECT_FALSE(Voice().MonitorRecording());
  Voice().StopWaveRecord();
  ASSERT_TRUE(ProcessUntil([&] { return Voice().WaveState() == wsData; }));
}

TEST(EmptyWave, IsASmallSilentAdaptivePcmWaveFile) {
  const auto bytes = EmptyWaveResource();
  ASSERT_EQ(bytes.size(), 352u);
  testing_support::TempDir dir;
  testing_support::WriteFile(dir.File("empty.wav"), std::string(bytes.begin(), bytes.end()));
  WaveFormat format;
  std::vector<std::uint8_t> data;
  ASSERT_EQ(ReadWaveFile(dir.File("empty.wav"), format, data), 0);
  EXPECT_EQ(format.FormatTag, 2);
  EXPECT_EQ(format.Channels, 1);
  EXPECT_EQ(format.SamplesPerSec, 22050u);
  ASSERT_EQ(data.size(), format.BlockAlign);
  // One block: its header, then nothing but "no change".
  EXPECT_TRUE(std::all_of(data.begin() + 7, data.end(), [](std::uint8_t b) { return b == 0; }));
}

}  // namespace
}  // namespace telephony::test
