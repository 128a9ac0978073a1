// The simulator's memory model as a test sets and reads it, and what the downloads stored.
#include "support/sim_controller.h"

#include <algorithm>
#include <stdexcept>

#include "support/sim_controller_internal.h"

namespace testing_support {

using namespace sim;

namespace {

// The table index of module 1..128; tests that name another module are wrong.
std::size_t Slot(int module) {
  if (module < 1 || module > 128) throw std::out_of_range("module " + std::to_string(module));
  return static_cast<std::size_t>(module - 1);
}

SimBytes Region(const std::map<int, SimBytes>& flash, int firstBank, int banks, int blocksPerBank) {
  SimBytes image(static_cast<std::size_t>(banks * blocksPerBank * BlockDataSize));
  for (int n = 0; n < banks * blocksPerBank; ++n) {
    auto it = flash.find((firstBank + n / blocksPerBank) << 8 | n % blocksPerBank);
    if (it != flash.end()) std::copy(it->second.begin(), it->second.end(), image.begin() + n * BlockDataSize);
  }
  return image;
}

}  // namespace

std::uint16_t SimController::Word(std::uint16_t address) const {
  return static_cast<std::uint16_t>(memory_[address] | memory_[static_cast<std::uint16_t>(address + 1)] << 8);
}

void SimController::PutWord(std::uint16_t address, std::uint16_t value) {
  memory_[address] = static_cast<std::uint8_t>(value & 0xFF);
  memory_[static_cast<std::uint16_t>(address + 1)] = static_cast<std::uint8_t>(value >> 8);
}

SimBytes SimController::Load(std::uint16_t address, std::size_t count) const {
  SimBytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = memory_[static_cast<std::uint16_t>(address + i)];
  return bytes;
}

void SimController::Store(std::uint16_t address, const SimBytes& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) memory_[static_cast<std::uint16_t>(address + i)] = bytes[i];
}

SimBytes SimController::Read(std::uint16_t address, std::size_t count) const {
  std::lock_guard lock(mutex_);
  return Load(address, count);
}

void SimController::Write(std::uint16_t address, const SimBytes& bytes) {
  std::lock_guard lock(mutex_);
  Store(address, bytes);
}

void SimController::SetFirmwareVersion(int version) {
  std::lock_guard lock(mutex_);
  PutWord(AddrFirmwareVersion, static_cast<std::uint16_t>(version));
}
int SimController::FirmwareVersion() const {
  std::lock_guard lock(mutex_);
  return Word(AddrFirmwareVersion);
}
void SimController::SetAppVersion(int version) {
  std::lock_guard lock(mutex_);
  PutWord(AddrInfoBlock + InfoAppVersionAt, static_cast<std::uint16_t>(version));
}
void SimController::SetFirmwareSubNumber(int number) {
  std::lock_guard lock(mutex_);
  memory_[AddrInfoBlock + InfoSubNumberAt] = static_cast<std::uint8_t>(number);
}
void SimController::SetTableAddresses(std::uint16_t timers, std::uint16_t variables) {
  std::lock_guard lock(mutex_);
  PutWord(AddrInfoBlock + InfoTimerTableAt, timers);
  PutWord(AddrInfoBlock + InfoVariableTableAt, variables);
}
std::uint16_t SimController::TimerTableAddress() const {
  std::lock_guard lock(mutex_);
  return Word(AddrInfoBlock + InfoTimerTableAt);
}
std::uint16_t SimController::VariableTableAddress() const {
  std::lock_guard lock(mutex_);
  return Word(AddrInfoBlock + InfoVariableTableAt);
}
void SimController::SetModule(int module, std::uint8_t type, std::uint8_t version) {
  std::lock_guard lock(mutex_);
  memory_[AddrModuleTypes + Slot(module)] = type;
  memory_[AddrModuleVersions + Slot(module)] = version;
}
void SimController::RemoveModule(int module) { SetModule(module, kNoModule, 0); }
std::uint8_t SimController::ModuleType(int module) const {
  std::lock_guard lock(mutex_);
  return memory_[AddrModuleTypes + Slot(module)];
}
void SimController::SetIoWord(int module, std::uint16_t word) {
  std::lock_guard lock(mutex_);
  PutWord(static_cast<std::uint16_t>(AddrIoStates + 2 * Slot(module)), word);
}
std::uint16_t SimController::IoWord(int module) const {
  std::lock_guard lock(mutex_);
  return Word(static_cast<std::uint16_t>(AddrIoStates + 2 * Slot(module)));
}
void SimController::SetParameter(int p, std::uint16_t value) {
  std::lock_guard lock(mutex_);
  PutWord(static_cast<std::uint16_t>(AddrControllerParams + 2 * p), value);
}
std::uint16_t SimController::Parameter(int p) const {
  std::lock_guard lock(mutex_);
  return Word(static_cast<std::uint16_t>(AddrControllerParams + 2 * p));
}
void SimController::SetTimer(int k, std::uint16_t value) {
  std::lock_guard lock(mutex_);
  PutWord(static_cast<std::uint16_t>(Word(AddrInfoBlock + InfoTimerTableAt) + 2 * k), value);
}
std::uint16_t SimController::Timer(int k) const {
  std::lock_guard lock(mutex_);
  return Word(static_cast<std::uint16_t>(Word(AddrInfoBlock + InfoTimerTableAt) + 2 * k));
}
void SimController::SetVariable(int k, std::uint16_t value) {
  std::lock_guard lock(mutex_);
  PutWord(static_cast<std::uint16_t>(Word(AddrInfoBlock + InfoVariableTableAt) + 2 * k), value);
}
std::uint16_t SimController::Variable(int k) const {
  std::lock_guard lock(mutex_);
  return Word(static_cast<std::uint16_t>(Word(AddrInfoBlock + InfoVariableTableAt) + 2 * k));
}
void SimController::SetModuleParameter(int module, int p, std::uint16_t value) {
  std::lock_guard lock(mutex_);
  moduleParams_.at(static_cast<std::size_t>(module)).at(static_cast<std::size_t>(p)) = value;
}
std::uint16_t SimController::ModuleParameter(int module, int p) const {
  std::lock_guard lock(mutex_);
  return moduleParams_.at(static_cast<std::size_t>(module)).at(static_cast<std::size_t>(p));
}
void SimController::SetManagerBusyPolls(int polls) {
  std::lock_guard lock(mutex_);
  managerBusyPolls_ = std::max(0, polls);
}
void SimController::SetX10Unit(int house, int unit, bool on) {
  std::lock_guard lock(mutex_);
  memory_[static_cast<std::size_t>(AddrX10Status + house * 16 + unit)] = on ? 1 : 0;
}
bool SimController::X10Unit(int house, int unit) const {
  std::lock_guard lock(mutex_);
  return memory_[static_cast<std::size_t>(AddrX10Status + house * 16 + unit)] != 0;
}
void SimController::SetClock(const ClockFields& when) {
  std::lock_guard lock(mutex_);
  clock_ = when;
}
ClockFields SimController::Clock() const {
  std::lock_guard lock(mutex_);
  return clock_;
}
int SimController::ClockFramesTaken() const {
  std::lock_guard lock(mutex_);
  return clockFrames_;
}
std::uint16_t SimController::FlashKey() const {
  std::lock_guard lock(mutex_);
  return flashKey_;
}
void SimController::SetFlashKey(std::uint16_t key) {
  std::lock_guard lock(mutex_);
  flashKey_ = key;
}

// --- what was stored ---

SimBytes SimController::Staging() const { return Read(AddrStaging, BlockDataSize); }

std::optional<SimBytes> SimController::FlashBlock(int bank, int block) const {
  std::lock_guard lock(mutex_);
  auto it = flash_.find(bank << 8 | block);
  if (it == flash_.end()) return std::nullopt;
  return it->second;
}

SimBytes SimController::ProgramImage() const {
  std::lock_guard lock(mutex_);
  return Region(flash_, 0x50, 8, 12);
}
SimBytes SimController::SunTableImage() const {
  std::lock_guard lock(mutex_);
  return Region(flash_, 0x70, 1, 6);
}
SimBytes SimController::IconImage() const {
  std::lock_guard lock(mutex_);
  return Region(flash_, 0x5A, 12, 16);
}
int SimController::FlashLoads() const {
  std::lock_guard lock(mutex_);
  return flashLoads_;
}
int SimController::FlashArgMismatches() const {
  std::lock_guard lock(mutex_);
  return flashMismatches_;
}
SimBytes SimController::TouchObjects() const {
  std::lock_guard lock(mutex_);
  return touch_;
}
std::optional<SimBytes> SimController::AsciiBlock(int n) const {
  std::lock_guard lock(mutex_);
  auto it = ascii_.find(n);
  if (it == ascii_.end()) return std::nullopt;
  return it->second;
}
std::optional<SimBytes> SimController::IrCode(int n) const {
  std::lock_guard lock(mutex_);
  auto it = ir_.find(n);
  if (it == ir_.end()) return std::nullopt;
  return it->second;
}
void SimController::SetIrCode(int n, const SimBytes& record) {
  std::lock_guard lock(mutex_);
  SimBytes r = record;
  r.resize(BlockDataSize);
  ir_[n] = r;
}
SimBytes SimController::ExecutiveImage() const {
  std::lock_guard lock(mutex_);
  return executive_;
}
int SimController::ImageBlocks() const {
  std::lock_guard lock(mutex_);
  return imageBlocks_;
}
std::vector<SimForwardedAscii> SimController::ForwardedAscii() const {
  std::lock_guard lock(mutex_);
  return forwarded_;
}
int SimController::ControlStops() const {
  std::lock_guard lock(mutex_);
  return controlStops_;
}
int SimController::ControlStarts() const {
  std::lock_guard lock(mutex_);
  return controlStarts_;
}
bool SimController::InterpreterRunning() const {
  std::lock_guard lock(mutex_);
  return interpreterRunning_;
}
bool SimController::Relay(int module, int point) const {
  std::lock_guard lock(mutex_);
  auto it = relays_.find(module << 8 | point);
  return it != relays_.end() && it->second;
}
std::vector<SimFrame> SimController::Commands(std::uint8_t code) const {
  std::lock_guard lock(mutex_);
  std::vector<SimFrame> done;
  for (const auto& f : frames_)
    if (f.Kind == SimFrameKind::Command && f.Code == code && f.CheckGood && !f.Ignored && !f.Refused) done.push_back(f);
  return done;
}
std::vector<std::string> SimController::Faults() const {
  std::lock_guard lock(mutex_);
  return faults_;
}

}  // namespace testing_support
