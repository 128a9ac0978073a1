#include "telephony/tapi_voice.h"

#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "serial/error_codes.h"
#include "serial/error_text.h"
#include "serial/lk_exception.h"
#include "telephony/tapi_device.h"
#include "tk/exception_guard.h"

// The resources of a static library are registered by hand, and from outside any namespace.
static void InitVoiceResources() { Q_INIT_RESOURCE(tapi_voice); }

namespace telephony {

using namespace platform;

namespace {

constexpr std::uint32_t kDigitModeDtmf = 2;
constexpr std::uint32_t kVoiceToDataMedia = LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_DATAMODEM | LINEMEDIAMODE_G3FAX;
constexpr std::uint32_t kMinDataRate = 1200;
constexpr std::uint32_t kMaxDataRate = 115200;

std::string TempDirectory() {
  const char* dir = ::getenv("TMPDIR");
  return dir && *dir ? InternalPath(dir).value_or("/tmp") : "/tmp";
}

}  // namespace

std::vector<std::uint8_t> EmptyWaveResource() {
  InitVoiceResources();
  QFile file(":/telephony/waves/EMPTYWAVE");
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  return {bytes.begin(), bytes.end()};
}

// the device's voice hooks

TTapiVoice& TLkCustomTapiDevice::Voice() {
  if (!voice_) voice_ = std::make_shared<TTapiVoice>(*this);
  return *voice_;
}

void TLkCustomTapiDevice::SetEnableVoice(bool on) {
  const bool turnedOn = on && !enableVoice_;
  enableVoice_ = on;
  if (turnedOn && !selectedDevice_.empty()) CheckVoiceSupport();
}

void TLkCustomTapiDevice::CheckVoiceSupport() {
  if (Loading() || Designing()) return;
  Voice().CheckVoiceCapable();
}

void TLkCustomTapiDevice::StartDigitMonitoring() { Voice().StartDigitMonitoring(); }

void TLkCustomTapiDevice::StopWavePlayback() {
  if (voice_ && voice_->WaveState() == wsPlaying) voice_->StopWaveFile();
}

void TLkCustomTapiDevice::TapiDTMF(char digit, std::int32_t errorCode) { Voice().TapiDTMF(digit, errorCode); }

// the voice side

TTapiVoice::TTapiVoice(TLkCustomTapiDevice& device) : device_(device) {}

TTapiVoice::~TTapiVoice() {
  // Devices destroyed while open report nothing more; the recording nobody saved goes.
  out_.reset();
  in_.reset();
  monitor_.reset();
  playFile_.Close();
  tempFile_.reset();
  if (!tempPath_.empty()) ::unlink(NativePath(tempPath_).c_str());
}

void TTapiVoice::SetRecordingParams(std::uint8_t channels, std::uint32_t rate, std::uint8_t bits) {
  RecordingChannels = channels;
  RecordingSampleRate = rate;
  RecordingBitsPerSample = bits;
}

void TTapiVoice::Notify(TWaveMessage message) {
  if (OnTapiWaveNotify) OnTapiWaveNotify(&device_, message);
}

void TTapiVoice::RaiseWave(std::int32_t code) { throw serial::ETapiWaveFail(code); }

void TTapiVoice::CheckWaveException(std::int32_t result, int kind) {
  if (result == 0) return;
  const std::string message = kind == 1   ? WaveInErrorText(result)
                              : kind == 2 ? WaveOutErrorText(result)
                                          : serial::LkLoadStr(ecTapiWaveFail);
  if (state_ == wsData) {
    FreeRecordBuffers();
    state_ = wsIdle;
  }
  throw serial::ETapiWaveFail(message);
}

// the voice check, digits, tones, data

void TTapiVoice::CheckVoiceCapable() {
  TLkCustomTapiDevice& d = device_;
  bool capable = false;
  try {
    const std::int32_t id = d.GetSelectedLine();
    HLINEAPP app = 0;
    std::uint32_t count = 0;
    if (tuLineInitialize(&app, nullptr, &TLkCustomTapiDevice::TapiLineCallback, "", &count) == 0) {
      std::uint32_t version = 0;
      LINEEXTENSIONID extension{};
      TapiRecord<LINEDEVCAPS> caps;
      if (id >= 0 &&
          tuLineNegotiateApiVersion(app, static_cast<std::uint32_t>(id), kTapiVersion14, kTapiVersion14, &version,
                                    &extension) == 0 &&
          tuLineGetDevCapsDyn(app, static_cast<std::uint32_t>(id), version, 0, caps) >= 0 && caps)
        capable = (caps->dwMediaModes & LINEMEDIAMODE_AUTOMATEDVOICE) != 0;
      tuLineShutdown(app);
    }
  } catch (const std::exception&) {
    capable = false;  // every failure on the way means the same to the caller
  }
  if (capable) return;
  d.enableVoice_ = false;
  d.Check(ecTapiVoiceNotSupported);
}

void TTapiVoice::StartDigitMonitoring() {
  TLkCustomTapiDevice& d = device_;
  if (!d.enableVoice_) return;
  const std::int32_t result = tuLineMonitorDigits(d.call_, kDigitModeDtmf);
  if (result >= 0) return;
  if (!d.OnTapiDTMF) {
    d.Check(ecTapiVoiceNotSupported);
    return;
  }
  // Straight to the handler: the digit handling drops a blank digit, and with it the news of the failure.
  const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(result) & 0x7FFFFFFFu);
  d.OnTapiDTMF(&d, ' ', result == ecTapiLoadFail || result == ecTapiGetAddrFail ? result : -(13800 + low));
}

void TTapiVoice::TapiDTMF(char digit, std::int32_t errorCode) {
  TLkCustomTapiDevice& d = device_;
  if (digit == '\0' || digit == ' ') return;
  const bool playing = state_ == wsPlaying;
  if (InterruptWaveOnDigit) {
    if (playing) StopWaveFile();
  } else if (playing) {
    return;
  }
  if (d.OnTapiDTMF) d.OnTapiDTMF(&d, digit, errorCode);
}

void TTapiVoice::SendTone(const std::string& digits) {
  TLkCustomTapiDevice& d = device_;
  if (!d.enableVoice_) return;
  d.CheckTapiError(tuLineGenerateDigits(d.call_, kDigitModeDtmf, digits.c_str(), 0));
}

void TTapiVoice::AutomatedVoicetoComms() {
  TLkCustomTapiDevice& d = device_;
  if (!d.enableVoice_ || !d.callInfo_ || !(d.callInfo_->dwMediaMode & LINEMEDIAMODE_AUTOMATEDVOICE)) return;
  if (d.WaitForReply(tuLineSetCallParams(d.call_, LINEBEARERMODE_PASSTHROUGH, kMinDataRate, kMaxDataRate, nullptr)) <
          0 ||
      tuLineSetMediaMode(d.call_, kVoiceToDataMedia) < 0)
    d.Check(ecTapiVoiceNotSupported);
  if (!d.OpenPortOnCall()) d.Check(serial::ecNotOpenedByTapi);
}

// wave devices

std::uint32_t TTapiVoice::GetWaveDeviceId(const char* deviceClass) {
  TLkCustomTapiDevice& d = device_;
  TapiRecord<LINEDEVCAPS> caps;
  if (d.deviceID_ < 0 ||
      tuLineGetDevCapsDyn(d.lineApp_, static_cast<std::uint32_t>(d.deviceID_), d.apiVersion_, 0, caps) < 0 || !caps)
    RaiseWave(ecTapiWaveFail);
  if (!(caps->dwMediaModes & LINEMEDIAMODE_AUTOMATEDVOICE)) d.Check(ecTapiVoiceNotSupported);
  auto* id = reinterpret_cast<VARSTRING*>(d.workBuffer_.data());
  std::fill(d.workBuffer_.begin(), d.workBuffer_.end(), 0);
  id->dwTotalSize = static_cast<std::uint32_t>(d.workBuffer_.size());
  if (tuLineGetID(d.line_, 0, d.call_, LINECALLSELECT_CALL, id, deviceClass) < 0 || id->dwStringSize < 4 ||
      id->dwStringOffset + 4 > d.workBuffer_.size())
    RaiseWave(ecTapiWaveFail);
  std::uint32_t wave = 0;
  std::memcpy(&wave, d.workBuffer_.data() + id->dwStringOffset, sizeof wave);
  return wave;
}

WaveCallback TTapiVoice::Callback(Role role) {
  const std::uint64_t generation = ++generation_;
  (role == Role::Play ? outGeneration_ : role == Role::Record ? inGeneration_ : monitorGeneration_) = generation;
  return [this, role, generation](std::uint32_t message, WaveHeader* header) {
    tk::Guarded([&] { WaveMessage(role, generation, message, header); });
  };
}

void TTapiVoice::WaveMessage(Role role, std::uint64_t generation, std::uint32_t message, WaveHeader* header) {
  switch (role) {
    case Role::Play:
      if (generation != outGeneration_) return;
      if (message == MM_WOM_OPEN) {
        Notify(waPlayOpen);
      } else if (message == MM_WOM_DONE) {
        if (out_ && header == &playHeader_) PlayDone();
      } else if (message == MM_WOM_CLOSE) {
        outClosing_ = false;
        if (state_ == wsPlaying) state_ = wsIdle;
        Notify(waPlayClose);
      }
      return;
    case Role::Record:
      if (generation != inGeneration_) return;
      if (message == MM_WIM_OPEN) {
        Notify(waRecordOpen);
      } else if (message == MM_WIM_DATA) {
        if (in_ && header == &recordHeader_ && state_ == wsRecording) RecordData();
      } else if (message == MM_WIM_CLOSE) {
        Notify(waRecordClose);
      }
      return;
    case Role::Monitor:
      if (generation != monitorGeneration_) return;
      if (message == MM_WOM_DONE && monitor_ && header == &monitorHeader_) monitor_->UnprepareHeader(monitorHeader_);
      return;
  }
}

// playing

void TTapiVoice::PlayWaveFile(const std::string& fileName) {
  if (state_ == wsRecording) RaiseWave(ecTapiWaveInUse);
  if (state_ == wsPlaying) {
    if (!InterruptWaveOnDigit) return;
    StopWaveFile();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(CloseTimeoutMs);
    while ((out_ || outClosing_) && std::chrono::steady_clock::now() < end && TLkCustomTapiDevice::PumpMessages()) {
    }
  }
  fileName_ = fileName;
  if (!FileExists(fileName)) RaiseWave(serial::ecFileNotFound);
  const std::uint32_t deviceID = UseSoundCard ? WAVE_MAPPER : GetWaveDeviceId("wave/out");

  struct CloseOnFailure {
    RiffFile& file;
    bool armed = true;
    ~CloseOnFailure() {
      if (armed) file.Close();
    }
  } guard{playFile_};
  CheckWaveException(playFile_.Open(fileName, RiffFile::Mode::Read), 3);
  RiffChunk riff, fmt, data;
  riff.FormType = FourCC("WAVE");
  fmt.Id = FourCC("fmt ");
  data.Id = FourCC("data");
  CheckWaveException(playFile_.Descend(riff, nullptr, RiffFile::FindRiff), 3);
  CheckWaveException(playFile_.Descend(fmt, &riff, RiffFile::FindChunk), 3);
  std::vector<std::uint8_t> record(std::min<std::uint32_t>(fmt.Size, 1024));
  WaveFormat format;
  if (playFile_.Read(record.data(), record.size()) != static_cast<ssize_t>(record.size()) ||
      !WaveFormat::Parse(record.data(), record.size(), format))
    RaiseWave(ecTapiWaveReadFail);
  chunkSize_ = 3u * (RecordingBitsPerSample / 8u) * RecordingSampleRate;
  if (chunkSize_ == 0) chunkSize_ = 1;

  std::unique_ptr<WaveDevice> none;
  CheckWaveException(
      Audio().OutOpen(none, deviceID, format, nullptr, {}, WAVE_FORMAT_QUERY | (UseSoundCard ? 0 : WAVE_MAPPED)), 2);
  CheckWaveException(playFile_.Ascend(fmt), 3);
  CheckWaveException(playFile_.Descend(data, &riff, RiffFile::FindChunk), 3);
  dataSize_ = data.Size;
  readPosition_ = 0;
  position_ = 0;

  const std::int32_t opened = Audio().OutOpen(out_, deviceID, format, &window_, Callback(Role::Play), 0);
  if (opened == MMSYSERR_NOTENABLED) return;  // no way to play here: nothing to report
  CheckWaveException(opened, 2);
  guard.armed = false;

  playBuffers_[0].assign(chunkSize_, 0);
  playBuffers_[1].assign(chunkSize_, 0);
  current_ = 0;
  LoadChunk(0);
  state_ = wsPlaying;
  FeedOutput();
}

void TTapiVoice::LoadChunk(int buffer) {
  const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(chunkSize_, dataSize_ - readPosition_));
  const ssize_t got = playFile_.Read(playBuffers_[buffer].data(), wanted);
  loaded_[buffer] = got > 0 ? static_cast<std::uint32_t>(got) : 0;
  readPosition_ += loaded_[buffer];
  if (loaded_[buffer] < wanted) dataSize_ = readPosition_;  // a file cut short ends where it ends
}

void TTapiVoice::FeedOutput() {
  playHeader_ = {};
  playHeader_.Data = playBuffers_[current_].data();
  playHeader_.BufferLength = loaded_[current_];
  std::int32_t result = out_->PrepareHeader(playHeader_);
  if (result == 0) result = out_->Write(playHeader_);
  if (result != 0) {
    out_->UnprepareHeader(playHeader_);
    EndPlaying();
    CheckWaveException(result, 2);
  }
  position_ += loaded_[current_];
  if (position_ >= dataSize_)
    position_ = -1;
  else
    LoadChunk(1 - current_);
}

void TTapiVoice::PlayDone() {
  out_->UnprepareHeader(playHeader_);
  if (position_ != -1) {
    current_ = 1 - current_;
    FeedOutput();
    return;
  }
  EndPlaying();
  Notify(waPlayDone);
}

// Closes the output and the file and frees the buffers; the close report follows (it outlives the device).
void TTapiVoice::EndPlaying() {
  out_->Reset();
  outClosing_ = out_->Close() == 0;
  out_.reset();
  playFile_.Close();
  state_ = wsIdle;
  playBuffers_[0].clear();
  playBuffers_[1].clear();
  position_ = -1;
}

void TTapiVoice::StopWaveFile() {
  if (state_ != wsPlaying || !out_) return;
  position_ = -1;
  out_->Reset();
}

// recording

void TTapiVoice::StartWaveRecord() {
  TLkCustomTapiDevice& d = device_;
  if (!d.call_) d.SetOpen(true);
  if (state_ == wsRecording || state_ == wsPlaying) RaiseWave(ecTapiWaveInUse);
  // The device needs a consistent format: a second of audio is rate x block alignment bytes, whatever the
  // channels.
  recordFormat_ = WaveFormat::Pcm(RecordingChannels, RecordingSampleRate, RecordingBitsPerSample);
  const std::uint32_t deviceID = GetWaveDeviceId("wave/in");
  if (state_ == wsData) FreeRecordBuffers();  // an unsaved recording is replaced

  CheckWaveException(Audio().InOpen(in_, deviceID, recordFormat_, &window_, Callback(Role::Record), 0), 1);
  try {
    if (monitorRecording_)
      CheckWaveException(Audio().OutOpen(monitor_, WAVE_MAPPER, recordFormat_, &window_, Callback(Role::Monitor), 0),
                         2);
    const std::uint32_t second = std::max<std::uint32_t>(recordFormat_.AvgBytesPerSec, 1);
    recordBuffers_[0].assign(second, 0);
    recordBuffers_[1].assign(second, 0);
    recordCurrent_ = 0;
    bytesRecorded_ = 0;
    silentBuffers_ = 0;
    stopRequested_ = false;
    CreateTempFile();
    recordHeader_ = {};
    recordHeader_.Data = recordBuffers_[0].data();
    recordHeader_.BufferLength = second;
    std::int32_t result = in_->PrepareHeader(recordHeader_);
    if (result == 0) result = in_->AddBuffer(recordHeader_);
    if (result == 0) result = in_->Start();
    CheckWaveException(result, 1);
  } catch (...) {
    AbandonRecording();
    throw;
  }
  state_ = wsRecording;
}

void TTapiVoice::RecordData() {
  const std::uint32_t got = recordHeader_.BytesRecorded;
  const std::uint8_t* filled = recordHeader_.Data;
  bytesRecorded_ += got;
  const std::uint64_t limit = std::uint64_t{recordFormat_.AvgBytesPerSec} * MaxMessageLength;
  // A full buffer already on its way when recording was stopped ends it too: a device that was reset
  // fills no further buffer, and the recording would wait for one for ever.
  if (bytesRecorded_ >= limit || got < recordHeader_.BufferLength || stopRequested_) {
    WriteTempFile(filled, got);
    EndRecording();
    return;
  }
  WriteTempFile(filled, got);
  if (monitor_) MonitorWrite(filled, got);
  in_->UnprepareHeader(recordHeader_);
  recordCurrent_ = 1 - recordCurrent_;
  recordHeader_.Data = recordBuffers_[recordCurrent_].data();
  std::int32_t result = in_->PrepareHeader(recordHeader_);
  if (result == 0) result = in_->AddBuffer(recordHeader_);
  if (result != 0) {
    AbandonRecording();
    CheckWaveException(result, 1);
  }
  if (SilenceSeconds == 0 || !SilentSecond(filled, got)) return;
  bool stop = true, hangUp = true;
  if (OnTapiWaveSilence) OnTapiWaveSilence(&device_, stop, hangUp);
  if (stop) StopWaveRecord();
  if (hangUp) device_.CancelCall();
}

bool TTapiVoice::SilentSecond(const std::uint8_t* data, std::uint32_t size) {
  // Averaged over the samples the buffer holds, in 16-bit units (8-bit samples are unsigned).
  const bool wide = recordFormat_.BitsPerSample == 16;
  const std::uint32_t count = wide ? size / 2 : size;
  std::uint64_t sum = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    int sample = 0;
    if (wide) {
      std::int16_t s = 0;
      std::memcpy(&s, data + 2 * i, 2);
      sample = s;
    } else {
      sample = (data[i] - 128) * 256;
    }
    sum += static_cast<std::uint64_t>(sample < 0 ? -sample : sample);
  }
  const std::uint64_t average = count ? sum / count : 0;
  // Each device counts its own silent seconds: a shared count let one call's silence end another's.
  if (average >= SilenceThreshold) {
    silentBuffers_ = 0;
    return false;
  }
  ++silentBuffers_;
  return silentBuffers_ >= SilenceSeconds - 1;
}

void TTapiVoice::EndRecording() {
  in_->UnprepareHeader(recordHeader_);
  in_->Close();
  in_.reset();
  CloseMonitor();
  recordBuffers_[0].clear();
  recordBuffers_[1].clear();
  if (!CloseTempFile()) {
    FreeRecordBuffers();
    state_ = wsIdle;
    RaiseWave(ecTapiWaveFail);
  }
  state_ = wsData;
  Notify(waDataReady);
}

// A recording that cannot go on: the devices stop and the file goes, so that nothing waits for it.
void TTapiVoice::AbandonRecording() {
  if (in_) {
    in_->Reset();
    in_->UnprepareHeader(recordHeader_);
    in_->Close();
    in_.reset();
  }
  CloseMonitor();
  FreeRecordBuffers();
  state_ = wsIdle;
}

void TTapiVoice::StopWaveRecord() {
  if (state_ != wsRecording || !in_) return;
  stopRequested_ = true;
  in_->Stop();
  in_->Reset();
}

void TTapiVoice::SetMonitorRecording(bool on) {
  monitorRecording_ = on;
  if (state_ != wsRecording) return;
  if (on && !monitor_)
    CheckWaveException(Audio().OutOpen(monitor_, WAVE_MAPPER, recordFormat_, &window_, Callback(Role::Monitor), 0), 2);
  else if (!on)
    CloseMonitor();
}

void TTapiVoice::MonitorWrite(const std::uint8_t* data, std::uint32_t size) {
  // One second plays while the next records: a second still playing makes the monitor skip one.
  if (monitorHeader_.Flags & WHDR_INQUEUE) return;
  monitorBuffer_.assign(data, data + size);
  monitorHeader_ = {};
  monitorHeader_.Data = monitorBuffer_.data();
  monitorHeader_.BufferLength = size;
  std::int32_t result = monitor_->PrepareHeader(monitorHeader_);
  if (result == 0) result = monitor_->Write(monitorHeader_);
  if (result != 0) monitor_->UnprepareHeader(monitorHeader_);
}

void TTapiVoice::CloseMonitor() {
  if (!monitor_) return;
  monitor_->Reset();
  monitor_->UnprepareHeader(monitorHeader_);
  monitor_->Close();
  monitor_.reset();
  monitorHeader_ = {};
}

void TTapiVoice::FreeRecordBuffers() {
  recordBuffers_[0].clear();
  recordBuffers_[1].clear();
  tempFile_.reset();
  if (!tempPath_.empty()) ::unlink(NativePath(tempPath_).c_str());
  tempPath_.clear();
}

// the temporary file

void TTapiVoice::CreateTempFile() {
  std::string path = NativePath(JoinPath(TempDirectory(), "~APXXXXXX.tmp"));
  const int fd = ::mkstemps(path.data(), 4);
  if (fd < 0) RaiseWave(ecTapiWaveFail);
  ::close(fd);
  tempPath_ = InternalPath(path).value_or(path);
  tempFile_ = std::make_unique<RiffFile>(TempFileWrite);
  tempRiff_ = {};
  tempRiff_.FormType = FourCC("WAVE");
  RiffChunk fmt;
  fmt.Id = FourCC("fmt ");
  tempData_ = {};
  tempData_.Id = FourCC("data");
  WaveFormat format = recordFormat_;
  format.Extra.clear();
  const std::vector<std::uint8_t> record = format.Bytes(true);
  if (tempFile_->Open(tempPath_, RiffFile::Mode::Create) != 0 ||
      tempFile_->CreateChunk(tempRiff_, RiffFile::CreateRiff) != 0 || tempFile_->CreateChunk(fmt, 0) != 0 ||
      tempFile_->Write(record.data(), record.size()) < 0 || tempFile_->Ascend(fmt) != 0 ||
      tempFile_->CreateChunk(tempData_, 0) != 0)
    RaiseWave(ecTapiWaveFail);
}

void TTapiVoice::WriteTempFile(const std::uint8_t* data, std::uint32_t size) {
  if (tempFile_->Write(data, size) >= 0) return;
  AbandonRecording();
  throw serial::ETapiWaveFail("MMIO Write Error");
}

bool TTapiVoice::CloseTempFile() {
  return tempFile_->Ascend(tempData_) == 0 && tempFile_->Ascend(tempRiff_) == 0 && tempFile_->Close() == 0;
}

void TTapiVoice::SaveWaveFile(const std::string& fileName, bool overwrite) {
  if (state_ == wsRecording) RaiseWave(ecTapiWaveInUse);
  if (state_ != wsData) RaiseWave(ecTapiNoWaveData);
  if (!overwrite && FileExists(fileName)) RaiseWave(ecTapiWaveFileExists);
  // A copy that fails keeps the recording, so that it can be saved elsewhere.
  std::string bytes;
  if (!ReadWholeFile(tempPath_, bytes) || !WriteFileAtomically(fileName, bytes).empty()) RaiseWave(ecTapiWaveFail);
  tempFile_.reset();
  ::unlink(NativePath(tempPath_).c_str());
  tempPath_.clear();
  fileName_ = fileName;
  state_ = wsIdle;
}

}  // namespace telephony
