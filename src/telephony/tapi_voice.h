#pragma once
// The voice side of the telephony line device, used when its EnableVoice is set: plays wave files into an
// automated-voice call, records the caller into a wave file with silence detection, sends and receives
// touch-tone digits, and switches a voice call over to data. The device makes one on first use
// (TLkCustomTapiDevice::Voice()) and its voice hooks run here.
//
// Window thread only. The wave devices report through the event loop, like the telephony callback; an
// exception that escapes one of those reports is shown through the toolkit's handler.
#include <QObject>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/wave_audio.h"
#include "tk/component.h"

namespace telephony {

class TLkCustomTapiDevice;

enum TWaveState { wsIdle, wsPlaying, wsRecording, wsData };
enum TWaveMessage { waPlayOpen, waPlayDone, waPlayClose, waRecordOpen, waDataReady, waRecordClose };

using TTapiWaveNotify = std::function<void(tk::Component* sender, TWaveMessage message)>;
using TTapiWaveSilence = std::function<void(tk::Component* sender, bool& stopRecording, bool& hangUp)>;

inline constexpr std::int32_t ecTapiVoiceNotSupported = -13935;
inline constexpr std::int32_t ecTapiWaveFail = -13936;
inline constexpr std::int32_t ecTapiWaveReadFail = -13940;
inline constexpr std::int32_t ecTapiWaveInUse = -13943;
inline constexpr std::int32_t ecTapiWaveFileExists = -13944;
inline constexpr std::int32_t ecTapiNoWaveData = -13945;

// The resource EMPTYWAVE: a short silent wave file (adaptive PCM, one channel, 22050 samples a second).
// Nothing here plays it; it is carried for applications that want a silent prompt.
std::vector<std::uint8_t> EmptyWaveResource();

class TTapiVoice {
 public:
  explicit TTapiVoice(TLkCustomTapiDevice& device);
  ~TTapiVoice();
  TTapiVoice(const TTapiVoice&) = delete;
  TTapiVoice& operator=(const TTapiVoice&) = delete;

  // settings
  std::uint8_t RecordingChannels = 1;
  std::uint32_t RecordingSampleRate = 8000;
  std::uint8_t RecordingBitsPerSample = 16;
  std::uint16_t MaxMessageLength = 60;  // seconds; a recording ends by itself after it
  bool InterruptWaveOnDigit = true;     // a received digit stops a playing wave
  bool UseSoundCard = false;            // play through the default wave device, not the line's
  std::uint8_t SilenceSeconds = 2;      // 0 switches silence detection off
  std::uint16_t SilenceThreshold = 50;  // average absolute sample value below which a second is silent
  void SetRecordingParams(std::uint8_t channels, std::uint32_t rate, std::uint8_t bits);
  bool MonitorRecording() const { return monitorRecording_; }
  // While recording, also plays what is recorded on the default output.
  void SetMonitorRecording(bool on);

  // waves
  TWaveState WaveState() const { return state_; }
  const std::string& WaveFileName() const { return fileName_; }
  void PlayWaveFile(const std::string& fileName);
  void StopWaveFile();
  void StartWaveRecord();
  void StopWaveRecord();
  // Keeps the finished recording under `fileName`.
  void SaveWaveFile(const std::string& fileName, bool overwrite);

  // tones, digits and data
  // Sends the digits into the call as touch tones (nothing without EnableVoice).
  void SendTone(const std::string& digits);
  // Switches an automated-voice call over to data and opens the port on it.
  void AutomatedVoicetoComms();

  TTapiWaveNotify OnTapiWaveNotify;
  TTapiWaveSilence OnTapiWaveSilence;

  // what the device's hooks run
  void CheckVoiceCapable();
  void StartDigitMonitoring();
  void TapiDTMF(char digit, std::int32_t errorCode);

  // How long playing a new wave waits for the one it interrupts to close its device.
  int CloseTimeoutMs = 5000;
  // The write function of the temporary recording file; tests make it fail.
  platform::RiffFile::WriteFunction TempFileWrite;

 private:
  enum class Role { Play, Record, Monitor };

  std::uint32_t GetWaveDeviceId(const char* deviceClass);
  platform::WaveCallback Callback(Role role);
  void WaveMessage(Role role, std::uint64_t generation, std::uint32_t message, platform::WaveHeader* header);
  void Notify(TWaveMessage message);
  // Raises the wave error of a device result (kind 1 input, 2 output, 3 file access).
  void CheckWaveException(std::int32_t result, int kind);
  [[noreturn]] void RaiseWave(std::int32_t code);

  void LoadChunk(int buffer);
  void FeedOutput();
  void PlayDone();
  void EndPlaying();

  void CreateTempFile();
  void WriteTempFile(const std::uint8_t* data, std::uint32_t size);
  bool CloseTempFile();
  void RecordData();
  void EndRecording();
  void AbandonRecording();
  void MonitorWrite(const std::uint8_t* data, std::uint32_t size);
  void CloseMonitor();
  bool SilentSecond(const std::uint8_t* data, std::uint32_t size);
  void FreeRecordBuffers();

  TLkCustomTapiDevice& device_;
  QObject window_;  // where the wave devices report
  TWaveState state_ = wsIdle;
  std::string fileName_;
  bool monitorRecording_ = false;
  std::uint64_t generation_ = 0;  // of the last device opened: a report of an older one is stale

  // Playing.
  std::unique_ptr<platform::WaveDevice> out_;
  std::uint64_t outGeneration_ = 0;
  bool outClosing_ = false;
  platform::RiffFile playFile_;
  std::int64_t dataSize_ = 0;
  std::int64_t readPosition_ = 0;
  std::int64_t position_ = 0;  // -1 once the last buffer is written
  std::uint32_t chunkSize_ = 0;
  std::array<std::vector<std::uint8_t>, 2> playBuffers_;
  std::array<std::uint32_t, 2> loaded_{};
  int current_ = 0;
  platform::WaveHeader playHeader_;

  // Recording.
  std::unique_ptr<platform::WaveDevice> in_;
  std::uint64_t inGeneration_ = 0;
  platform::WaveFormat recordFormat_;
  std::array<std::vector<std::uint8_t>, 2> recordBuffers_;
  int recordCurrent_ = 0;
  int silentBuffers_ = 0;  // silent seconds in a row, for the silence check
  platform::WaveHeader recordHeader_;
  std::uint64_t bytesRecorded_ = 0;
  bool stopRequested_ = false;
  std::unique_ptr<platform::RiffFile> tempFile_;
  std::string tempPath_;
  platform::RiffChunk tempRiff_, tempData_;
  std::unique_ptr<platform::WaveDevice> monitor_;
  std::uint64_t monitorGeneration_ = 0;
  std::vector<std::uint8_t> monitorBuffer_;
  platform::WaveHeader monitorHeader_;
};

}  // namespace telephony
