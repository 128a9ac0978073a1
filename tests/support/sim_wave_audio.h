#pragma once
// Simulated wave devices behind the platform's wave audio seam. Constructing it installs it; destroying it
// restores the previous devices. Output buffers come back at once, or only when the test says so; input
// buffers are filled from a script of bytes as soon as recording runs, and a buffer the script cannot
// fill stays with the device, as on a quiet line, until recording stops.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "platform/wave_audio.h"

namespace testing_support {

class SimWaveAudio : public platform::WaveAudio {
 public:
  SimWaveAudio();
  ~SimWaveAudio() override;
  SimWaveAudio(const SimWaveAudio&) = delete;
  SimWaveAudio& operator=(const SimWaveAudio&) = delete;

  // --- script ---
  std::set<std::uint32_t> Devices = {0, 7, 8, platform::WAVE_MAPPER};
  std::map<std::uint32_t, std::int32_t> OpenResults;  // a device whose opening (not a query) fails so
  std::function<bool(const platform::WaveFormat&)> Accepts = [](const platform::WaveFormat& f) {
    return f.FormatTag == platform::WAVE_FORMAT_PCM;
  };
  bool PlayAtOnce = true;           // false: output buffers wait for FinishOutput
  std::vector<std::uint8_t> Input;  // what recording hears, consumed from the front

  // Gives back the output buffer the last output device holds; false when it holds none.
  bool FinishOutput();

  // --- what happened ---
  struct Opening {
    std::uint32_t Device;
    bool Output;
    platform::WaveFormat Format;
    std::uint32_t Flags;
  };
  std::vector<Opening> Openings;                              // queries included
  std::map<std::uint32_t, std::vector<std::uint8_t>> Played;  // per output device
  std::map<std::uint32_t, int> BuffersPlayed;
  int OpenDevices() const;

  // --- platform::WaveAudio ---
  std::int32_t OutOpen(std::unique_ptr<platform::WaveDevice>& device, std::uint32_t id,
                       const platform::WaveFormat& format, QObject* window, platform::WaveCallback callback,
                       std::uint32_t flags) override;
  std::int32_t InOpen(std::unique_ptr<platform::WaveDevice>& device, std::uint32_t id,
                      const platform::WaveFormat& format, QObject* window, platform::WaveCallback callback,
                      std::uint32_t flags) override;

 private:
  class Device;
  std::int32_t Open(bool output, std::unique_ptr<platform::WaveDevice>& device, std::uint32_t id,
                    const platform::WaveFormat& format, QObject* window, platform::WaveCallback callback,
                    std::uint32_t flags);

  platform::WaveAudio* previous_ = nullptr;
  std::shared_ptr<SimWaveAudio*> self_ = std::make_shared<SimWaveAudio*>(this);
  std::set<Device*> live_;
  Device* lastOutput_ = nullptr;
};

}  // namespace testing_support
