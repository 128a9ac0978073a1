#include "support/sim_wave_audio.h"

#include <algorithm>
#include <cstring>

namespace testing_support {

using namespace platform;

class SimWaveAudio::Device : public WaveDevice {
 public:
  Device(SimWaveAudio& audio, std::uint32_t id, bool output, const WaveFormat& format, QObject* window,
         WaveCallback callback)
      : WaveDevice(output, format, window, std::move(callback)), self_(audio.self_), id_(id) {
    audio.live_.insert(this);
  }
  ~Device() override {
    if (SimWaveAudio* audio = *self_) {
      audio->live_.erase(this);
      if (audio->lastOutput_ == this) audio->lastOutput_ = nullptr;
    }
  }

  bool Finish() {
    SimWaveAudio* audio = *self_;
    if (!audio || Queue().empty()) return false;
    WaveHeader& h = *Queue().front();
    audio->Played[id_].insert(audio->Played[id_].end(), h.Data, h.Data + h.BufferLength);
    ++audio->BuffersPlayed[id_];
    CompleteFront();
    return true;
  }

 protected:
  void Queued() override {
    SimWaveAudio* audio = *self_;
    if (!audio) return;
    if (Output()) {
      if (audio->PlayAtOnce)
        while (Finish()) {
        }
      return;
    }
    // Input: fill what the script can; a buffer it cannot fill waits.
    while (Started() && !Queue().empty()) {
      WaveHeader& h = *Queue().front();
      const std::size_t n = std::min<std::size_t>(h.BufferLength - h.BytesRecorded, audio->Input.size());
      std::memcpy(h.Data + h.BytesRecorded, audio->Input.data(), n);
      audio->Input.erase(audio->Input.begin(), audio->Input.begin() + static_cast<std::ptrdiff_t>(n));
      h.BytesRecorded += static_cast<std::uint32_t>(n);
      if (h.BytesRecorded < h.BufferLength) return;
      CompleteFront(h.BytesRecorded);
    }
  }

 private:
  std::shared_ptr<SimWaveAudio*> self_;  // null once the simulation is gone
  std::uint32_t id_;
};

SimWaveAudio::SimWaveAudio() { previous_ = SetAudio(this); }

SimWaveAudio::~SimWaveAudio() {
  SetAudio(previous_);
  // Devices still open belong to the code under test and may outlive the simulation.
  *self_ = nullptr;
}

int SimWaveAudio::OpenDevices() const {
  return static_cast<int>(std::count_if(live_.begin(), live_.end(), [](Device* d) { return !d->Closed(); }));
}

bool SimWaveAudio::FinishOutput() { return lastOutput_ && lastOutput_->Finish(); }

std::int32_t SimWaveAudio::OutOpen(std::unique_ptr<WaveDevice>& device, std::uint32_t id, const WaveFormat& format,
                                   QObject* window, WaveCallback callback, std::uint32_t flags) {
  return Open(true, device, id, format, window, std::move(callback), flags);
}

std::int32_t SimWaveAudio::InOpen(std::unique_ptr<WaveDevice>& device, std::uint32_t id, const WaveFormat& format,
                                  QObject* window, WaveCallback callback, std::uint32_t flags) {
  return Open(false, device, id, format, window, std::move(callback), flags);
}

std::int32_t SimWaveAudio::Open(bool output, std::unique_ptr<WaveDevice>& device, std::uint32_t id,
                                const WaveFormat& format, QObject* window, WaveCallback callback, std::uint32_t flags) {
  Openings.push_back({id, output, format, flags});
  if (!(flags & WAVE_FORMAT_QUERY)) device.reset();
  if (!Devices.contains(id)) return MMSYSERR_BADDEVICEID;
  if (!Accepts(format)) return WAVERR_BADFORMAT;
  if (flags & WAVE_FORMAT_QUERY) return 0;
  if (auto it = OpenResults.find(id); it != OpenResults.end()) return it->second;
  auto made = std::make_unique<Device>(*this, id, output, format, window, std::move(callback));
  if (output) lastOutput_ = made.get();
  device = std::move(made);
  return 0;
}

}  // namespace testing_support
