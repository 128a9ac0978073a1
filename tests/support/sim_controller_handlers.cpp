// What the simulated controller does with each frame it takes, on its memory model, and the events of its
// own that a test makes happen (X10 traffic, a learnt IR code, a module's addressing button).
#include "support/sim_controller.h"

#include <algorithm>

#include "support/sim_controller_internal.h"

namespace testing_support {

using namespace sim;

namespace {

constexpr std::uint16_t kIrMemory = 0xC000;  // image blocks from here on are the raw IR memory
constexpr int kTimers = 64;
constexpr int kTouchSlots = 512, kTouchSlotSize = 64;
const SimBytes kAck{Ack, 0, 0};

bool ValidFlashBlock(int bank, int block) {
  if (bank >= 0x50 && bank <= 0x57) return block < 12;
  if (bank >= 0x5A && bank <= 0x65) return block < 16;
  return bank == 0x70 && block < 6;
}

// Whether the 256 bytes read at `address` cover `target`.
bool Covers(std::uint16_t address, std::uint16_t target) {
  return static_cast<std::uint16_t>(target - address) < BlockDataSize;
}

}  // namespace

void SimController::RunTimers(TimePoint now, std::vector<std::string>& trace) {
  if (x10WaitUntil_ && now >= *x10WaitUntil_) {
    x10WaitUntil_.reset();
    Send(X10Answer(255, 0), false);
    trace.push_back("X10 wait: nothing happened -> house 255");
  }
  if (learnUntil_ && now >= *learnUntil_) {
    learnUntil_.reset();
    if (learning_) {
      SimBytes code(BlockDataSize);
      for (int i = 0; i < BlockDataSize; ++i)
        code[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(*learning_ + i * 31 + learnFrequency_);
      ir_[*learning_] = code;
      trace.push_back(Format("IR code %d learnt", *learning_));
      learning_.reset();
      Send({0xFD}, false);
    }
  }
}

// --- frames ---

void SimController::Handle(SimFrame& frame, std::vector<std::string>& trace) {
  if (garbleNext_ > 0) {
    --garbleNext_;
    frame.Bytes[frame.Bytes.size() / 2] ^= 0x10;
  }
  const SimBytes& f = frame.Bytes;
  switch (f[0]) {
    case RequestStart:
      frame.Kind = SimFrameKind::Request;
      frame.CheckGood = Crc16(f, 5) == (f[6] << 8 | f[7]);
      break;
    case CommandStart:
      frame.Kind = SimFrameKind::Command;
      frame.CheckGood = AdditiveSum(f, 6) == f[7];
      break;
    case ClockStart:
      frame.Kind = SimFrameKind::Clock;
      frame.CheckGood = AdditiveSum(f, ClockFrameSize - 2) == f[ClockFrameSize - 1];
      break;
    default:
      frame.Kind = SimFrameKind::Block;
      frame.CheckGood = Crc16(f, BlockFrameSize - 3) == (f[BlockFrameSize - 2] << 8 | f[BlockFrameSize - 1]);
      break;
  }
  if (frame.Kind == SimFrameKind::Command) {
    frame.Code = f[1];
    std::copy(f.begin() + 2, f.begin() + 7, frame.Args.begin());
  } else if (frame.Kind != SimFrameKind::Clock) {
    std::copy(f.begin() + 1, f.begin() + 6, frame.Args.begin());
    frame.Address = static_cast<std::uint16_t>(f[3] | f[4] << 8);
  }

  if (!frame.CheckGood) {
    frame.Refused = true;
    if (frame.Kind != SimFrameKind::Request) AnswerFrame(frame, RefusalAnswer());
  } else if (ignoreNext_ > 0) {
    --ignoreNext_;
    frame.Ignored = true;
    ++injected_.Dropped;
  } else if (RefusedOnPurpose(frame)) {
    frame.Refused = true;
    AnswerFrame(frame, RefusalAnswer());
  } else {
    // A controller waiting for X10 activity stops waiting when the PC says something else.
    x10WaitUntil_.reset();
    std::optional<SimBytes> answer;
    switch (frame.Kind) {
      case SimFrameKind::Request:
        answer = HandleRequest(frame);
        break;
      case SimFrameKind::Command:
        answer = HandleCommand(frame);
        break;
      case SimFrameKind::Clock:
        answer = HandleClock(frame);
        break;
      case SimFrameKind::Block:
        answer = HandleBlock(frame);
        break;
    }
    if (answer) AnswerFrame(frame, *answer);
  }
  trace.push_back(frame.Describe());
}

std::optional<SimBytes> SimController::HandleRequest(SimFrame& frame) {
  const auto& a = frame.Args;
  if (a[0] != 0 || a[1] != 0 || a[4] != 0)
    faults_.push_back(Format("request for %04X with address bytes %d, %d, %d", frame.Address, a[0], a[1], a[4]));
  SimBytes reply(frame.Bytes.begin(), frame.Bytes.begin() + BlockDataOffset);
  const SimBytes data = Load(frame.Address, BlockDataSize);
  reply.insert(reply.end(), data.begin(), data.end());
  const std::uint16_t crc = Crc16(reply, BlockReplySize - 3);
  reply.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  reply.push_back(static_cast<std::uint8_t>(crc >> 8));
  if (corruptNext_ > 0) {
    --corruptNext_;
    reply[BlockReplySize - 2] ^= 0xFF;
    reply[BlockReplySize - 1] ^= 0xFF;
    ++injected_.Garbled;
  }
  if (Covers(frame.Address, AddrManagerReady) && managerPollsLeft_ > 0 && --managerPollsLeft_ == 0)
    memory_[AddrManagerReady] = 255;
  return reply;
}

SimBytes SimController::Refuse(SimFrame& frame, const std::string& why) {
  faults_.push_back(why);
  frame.Refused = true;
  return RefusalAnswer();
}

std::optional<SimBytes> SimController::HandleCommand(SimFrame& frame) {
  const auto& a = frame.Args;
  const int n16 = a[0] | a[1] << 8;
  switch (frame.Code) {
    case CmdGatherModuleParam:
      if (a[0] > 63) return Refuse(frame, Format("gather of module parameter %d", a[0]));
      GatherModuleParameter(a[0]);
      return kAck;
    case CmdWriteModuleParam:
      if (a[0] < 1 || a[0] > 127 || a[2] > 63)
        return Refuse(frame, Format("module parameter %d of module %d", a[2], a[0]));
      moduleParams_[a[0]][a[2]] = static_cast<std::uint16_t>(a[1] | a[3] << 8);
      return kAck;
    case CmdFindModule:
      if (a[0] < 1 || a[0] > 127) return Refuse(frame, Format("auto-addressing from module %d", a[0]));
      addressingNext_ = a[0];
      return kAck;
    case CmdSetControllerParam: {
      if (a[0] > 127) return Refuse(frame, Format("controller parameter %d", a[0]));
      const std::uint16_t value = static_cast<std::uint16_t>(a[1] << 8 | a[2]);
      PutWord(static_cast<std::uint16_t>(AddrControllerParams + 2 * a[0]), value);
      if (a[0] == 3) addressingNext_ = -1;  // the last module number given: addressing is over
      if (a[0] == 17 && value == 0) {
        learning_.reset();
        learnUntil_.reset();
      }
      return kAck;
    }
    case CmdChangeTimerVar: {
      const std::uint16_t value = static_cast<std::uint16_t>(a[1] | a[2] << 8);
      if (a[3] == 1 && a[0] < kTimers) {
        PutWord(static_cast<std::uint16_t>(Word(AddrInfoBlock + InfoTimerTableAt) + 2 * a[0]), value);
      } else if (a[3] == 0) {
        PutWord(static_cast<std::uint16_t>(Word(AddrInfoBlock + InfoVariableTableAt) + 2 * a[0]), value);
      } else {
        return Refuse(frame, Format("change of %s %d", a[3] == 1 ? "timer" : "kind", a[0]));
      }
      return kAck;
    }
    case CmdRelay:
      relays_[a[0] << 8 | a[1]] = a[2] != 0;
      if (a[0] >= 1 && a[0] <= 128 && a[1] < 16) {
        const auto at = static_cast<std::uint16_t>(AddrIoStates + 2 * (a[0] - 1));
        const auto bit = static_cast<std::uint16_t>(1u << a[1]);
        PutWord(at, static_cast<std::uint16_t>(a[2] ? Word(at) | bit : Word(at) & ~bit));
      }
      return kAck;
    case CmdStopInterpreter:
      interpreterRunning_ = false;
      return kAck;
    case CmdStartProgram:
      interpreterRunning_ = true;
      return kAck;
    case CmdSendX10:
      if (a[0] > 15 || a[1] > 31) return Refuse(frame, Format("X10 house %d key %d", a[0], a[1]));
      ApplyX10(a[0], a[1]);
      return kAck;
    case CmdReadClock: {
      const SimBytes reply{Ack,
                           static_cast<std::uint8_t>(flashKey_ & 0xFF),
                           static_cast<std::uint8_t>(flashKey_ >> 8),
                           static_cast<std::uint8_t>(clock_.Year % 100),
                           static_cast<std::uint8_t>(clock_.Month),
                           static_cast<std::uint8_t>(clock_.Day),
                           static_cast<std::uint8_t>(clock_.Hour),
                           static_cast<std::uint8_t>(clock_.Minute),
                           static_cast<std::uint8_t>(clock_.DayOfWeek)};
      return reply;
    }
    case CmdTransmitIr:
    case CmdRemoteIr:
    case CmdVoiceTransmit:
      return kAck;
    case CmdLearnIr:
      if (Word(AddrControllerParams + 2 * 17) == 0)
        return Refuse(frame, Format("IR learn of code %d before parameter 17 is set", n16));
      learning_ = n16;
      learnFrequency_ = a[2];
      if (learnDelay_) learnUntil_ = Now() + *learnDelay_;
      return kAck;
    case CmdStoreIr:
      ir_[n16] = Load(AddrStaging, BlockDataSize);
      return kAck;
    case CmdLoadIr: {
      auto it = ir_.find(n16);
      Store(AddrStaging, it != ir_.end() ? it->second : SimBytes(BlockDataSize, 0xFF));  // erased flash
      return kAck;
    }
    case CmdWaitX10:
      if (!x10Events_.empty()) {
        const auto event = x10Events_.front();
        x10Events_.pop_front();
        return X10Answer(event[0], event[1]);
      }
      // Told to answer at once, it does, as part of the exchange: a test ticking faster than the line waits
      // for it.
      if (x10Quiet_ <= std::chrono::milliseconds(0)) return X10Answer(255, 0);
      x10WaitUntil_ = Now() + x10Quiet_;
      return std::nullopt;
    case CmdExtendedX10:
      if (a[0] > 15 || a[1] > 15) return Refuse(frame, Format("extended X10 house %d key %d", a[0], a[1]));
      return kAck;
    case CmdClearIr:
      ir_.erase(n16);
      return kAck;
    case CmdStoreAscii:
      if (a[0] > 15) return Refuse(frame, Format("ASCII block %d", a[0]));
      ascii_[a[0]] = Load(AddrStaging, BlockDataSize);
      return kAck;
    case CmdStoreTouch: {
      if (n16 + 4 > kTouchSlots) return Refuse(frame, Format("touch objects from slot %d", n16));
      const SimBytes staging = Load(AddrStaging, BlockDataSize);
      std::copy(staging.begin(), staging.end(), touch_.begin() + n16 * kTouchSlotSize);
      return kAck;
    }
    case CmdFlashLoad:
      frame.Refused = !FlashLoad(frame);
      return std::nullopt;
    case CmdForwardAscii: {
      const SimBytes staging = Load(AddrStaging, 32);
      const auto end = std::find(staging.begin(), staging.end(), 0);
      forwarded_.push_back({a[0], a[1], std::string(staging.begin(), end)});
      return kAck;
    }
    default:
      return Refuse(frame, Format("unknown command %02X", frame.Code));
  }
}

std::optional<SimBytes> SimController::HandleClock(SimFrame& frame) {
  const SimBytes& f = frame.Bytes;
  for (int i = 2; i <= 13; ++i)
    if (f[static_cast<std::size_t>(i)] > 9) return Refuse(frame, Format("clock frame digit %d at byte %d", f[i], i));
  if (f[1] != '=') return Refuse(frame, "clock frame without '='");
  const auto two = [&](int at) { return f[static_cast<std::size_t>(at)] + 10 * f[static_cast<std::size_t>(at + 1)]; };
  const int month = two(10), day = two(8), hour = two(6), minute = two(4), weekday = f[14];
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || weekday > 6)
    return Refuse(frame, Format("clock frame month %d day %d %02d:%02d weekday %d", month, day, hour, minute, weekday));
  clock_ = {2000 + two(12), two(10), two(8), two(6), two(4), two(2), f[14]};
  ++clockFrames_;
  return kAck;
}

std::optional<SimBytes> SimController::HandleBlock(SimFrame& frame) {
  const auto& a = frame.Args;
  const SimBytes data = frame.Data();
  if (a[0] != 0) return Refuse(frame, Format("block header a1 = %d", a[0]));
  if (IsControlBlock(frame)) {
    if (IsStartBlock(frame)) {
      ++controlStarts_;
      interpreterRunning_ = true;
      return kAck;
    }
    if (a[1] > 2) return Refuse(frame, Format("control block a2 = %d", a[1]));
    ++controlStops_;
    interpreterRunning_ = false;
    return kAck;
  }
  if (a[4] != 0) return Refuse(frame, Format("block header a5 = %d", a[4]));
  if (a[1] == 1) {
    ++imageBlocks_;
    if (frame.Address >= kIrMemory) {
      Store(frame.Address, data);
    } else {
      for (int i = 0; i < BlockDataSize; ++i)
        executive_[static_cast<std::uint16_t>(frame.Address + i)] = data[static_cast<std::size_t>(i)];
    }
    return kAck;
  }
  if (a[1] != 0) return Refuse(frame, Format("block header a2 = %d", a[1]));
  Store(frame.Address, data);  // the staging area, or straight to memory (the pager table)
  return kAck;
}

bool SimController::FlashLoad(const SimFrame& frame) {
  const int bank = frame.Args[0], block = frame.Args[1];
  const std::uint16_t argument = static_cast<std::uint16_t>(frame.Args[2] | frame.Args[3] << 8);
  const std::uint16_t expected = flashKey_ ? flashKey_ : 1;
  if (argument == 0) {
    faults_.push_back(Format("flash load of bank %02X block %d with argument 0", bank, block));
    return false;
  }
  if (argument != expected) {
    ++flashMismatches_;
    faults_.push_back(
        Format("flash load of bank %02X block %d with argument %04X, expected %04X", bank, block, argument, expected));
    return false;
  }
  if (!ValidFlashBlock(bank, block)) {
    faults_.push_back(Format("flash load of bank %02X block %d: no such block", bank, block));
    return false;
  }
  flash_[bank << 8 | block] = Load(AddrStaging, BlockDataSize);
  ++flashLoads_;
  return true;
}

void SimController::GatherModuleParameter(int p) {
  for (int module = 1; module <= 128; ++module) {
    const std::uint16_t value =
        module < 128 ? moduleParams_[static_cast<std::size_t>(module)][static_cast<std::size_t>(p)] : 0;
    PutWord(static_cast<std::uint16_t>(AddrModuleParams + 2 * (module - 1)), value);
  }
  managerPollsLeft_ = managerBusyPolls_;
  memory_[AddrManagerReady] = managerBusyPolls_ > 0 ? 0 : 255;
}

void SimController::ApplyX10(int house, int key) {
  const auto unit = [&](int u) -> std::uint8_t& { return memory_[AddrX10Status + house * 16 + u]; };
  if (key < 16) {
    x10Selected_[static_cast<std::size_t>(house)] = key;
    return;
  }
  switch (key) {
    case 16:  // all units off
    case 22:  // all lights off
      for (int u = 0; u < 16; ++u) unit(u) = 0;
      break;
    case 17:  // all lights on
      for (int u = 0; u < 16; ++u) unit(u) = 1;
      break;
    case 18:
      unit(x10Selected_[static_cast<std::size_t>(house)]) = 1;
      break;
    case 19:
      unit(x10Selected_[static_cast<std::size_t>(house)]) = 0;
      break;
    default:
      break;
  }
}

SimBytes SimController::X10Answer(int house, int key) const {
  return {Ack, 0, 0, static_cast<std::uint8_t>(house), static_cast<std::uint8_t>(key)};
}

// --- events ---

void SimController::InjectX10Event(int house, int key, std::uint8_t lead) {
  {
    std::lock_guard lock(mutex_);
    if (Word(AddrControllerParams + 2 * 15) == 1) {
      Send({lead, static_cast<std::uint8_t>(house), static_cast<std::uint8_t>(key)}, false);
    } else if (x10WaitUntil_) {
      x10WaitUntil_.reset();
      Send(X10Answer(house, key), true);
    } else {
      x10Events_.push_back({static_cast<std::uint8_t>(house), static_cast<std::uint8_t>(key)});
    }
    Changed();
  }
  Wake();
}

void SimController::SetX10QuietAnswer(std::chrono::milliseconds after) {
  std::lock_guard lock(mutex_);
  x10Quiet_ = after;
}

bool SimController::CompleteIrLearn() {
  {
    std::lock_guard lock(mutex_);
    if (!learning_) return false;
    learnUntil_ = Now();  // the thread stores the code and answers
  }
  Wake();
  return true;
}

void SimController::SetIrLearnDelay(std::optional<std::chrono::milliseconds> delay) {
  std::lock_guard lock(mutex_);
  learnDelay_ = delay;
}

int SimController::PressModuleButton(std::optional<std::uint8_t> type) {
  int number;
  {
    std::lock_guard lock(mutex_);
    if (addressingNext_ < 1 || addressingNext_ > 255) return -1;
    number = addressingNext_++;
    if (type && number <= 128) memory_[static_cast<std::size_t>(AddrModuleTypes + number - 1)] = *type;
    Send({static_cast<std::uint8_t>(number)}, false);
    Changed();
  }
  Wake();
  return number;
}

}  // namespace testing_support
