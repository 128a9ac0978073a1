// zelta-simcontroller: a simulated controller on a pseudo-terminal, for trying the program by hand. It
// prints the terminal to point Zelta at, then every frame it receives, until interrupted. Lines typed on
// standard input make things happen at the controller's end (learnt IR codes, module buttons, X10 events).
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>

#include "support/sim_controller.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;
void OnSignal(int) { interrupted = 1; }

std::mutex printing;

void Print(const std::string& line) {
  std::lock_guard lock(printing);
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  ::localtime_r(&now.tv_sec, &local);
  std::printf("%02d:%02d:%02d.%03ld  %s\n", local.tm_hour, local.tm_min, local.tm_sec, now.tv_nsec / 1000000,
              line.c_str());
  std::fflush(stdout);
}

const char* kUsage =
    "usage: zelta-simcontroller [options]\n"
    "  --com N            the COM number to suggest (default 1)\n"
    "  --firmware V       firmware version x 100 (default 820; below 820 the IR files are raw images)\n"
    "  --app V            application version x 100 (default 320; below 318 Zelta offers an executive reload)\n"
    "  --module N:T[:V]   module N of type T (version V); may be repeated (default 1:11, 2:13, 3:4)\n"
    "  --delay MS         answer every frame MS milliseconds late\n"
    "  --pace             send at the pace of a 9600-baud line\n"
    "  --refuse CODE[:N]  refuse the command CODE (0x36: start the program; 'clock' the clock frame,\n"
    "                     'start' the control start block) every time, or only the Nth time; may be repeated\n"
    "  --refusal-byte B   refuse with B 00 00 (default 0x15)\n"
    "  --learn-after MS   an IR learn ends by itself after MS milliseconds (default 3000; 0: only 'learn')\n";

const char* kCommands =
    "typed commands, one a line:\n"
    "  learn              end the IR learn in progress with a learnt code\n"
    "  press [TYPE]       press the next module's addressing button (its slot becomes TYPE)\n"
    "  x10 HOUSE KEY      report X10 traffic (house 0-15, key 0-31)\n"
    "  nak N              refuse the next N frames\n"
    "  crc N              give the next N block replies a wrong CRC\n"
    "  ignore N           neither do nor answer the next N frames\n"
    "  late MS            answer the next frame MS milliseconds after it\n"
    "  refuse CODE [N]    as --refuse CODE:N\n"
    "  refusal B          refuse with B 00 00 from now on\n"
    "  hangup             close the line, as an unplugged adapter does\n"
    "  faults             list what Zelta sent that a controller cannot take\n"
    "  quit               end the simulator\n";

bool Number(const char* text, long low, long high, long& value) {
  char* end = nullptr;
  value = std::strtol(text, &end, 0);
  return end != text && *end == '\0' && value >= low && value <= high;
}

// A command code, or "clock" / "start" for the clock frame and the control start block.
bool RefusalCode(const std::string& text, long& code) {
  if (text == "clock")
    code = testing_support::SimClockFrame;
  else if (text == "start")
    code = testing_support::SimStartBlock;
  else
    return Number(text.c_str(), 0, 255, code);
  return true;
}

void Command(testing_support::SimController& sim, const std::string& line, bool& quit) {
  std::istringstream in(line);
  std::string word;
  if (!(in >> word)) return;
  long a = 0, b = 0;
  if (word == "learn") {
    Print(sim.CompleteIrLearn() ? "IR learn completed" : "no IR learn in progress");
  } else if (word == "press") {
    int type = -1;
    in >> type;
    const int number = sim.PressModuleButton(type >= 0 ? std::optional<std::uint8_t>(type) : std::nullopt);
    Print(number < 0 ? "no auto-addressing in progress" : "module button pressed: module " + std::to_string(number));
  } else if (word == "x10" && (in >> a >> b) && a >= 0 && a < 16 && b >= 0 && b < 32) {
    sim.InjectX10Event(static_cast<int>(a), static_cast<int>(b));
    Print("X10 event injected");
  } else if ((word == "nak" || word == "crc" || word == "ignore") && (in >> a) && a >= 0) {
    if (word == "nak") sim.NakNext(static_cast<int>(a));
    if (word == "crc") sim.CorruptNextBlockReplies(static_cast<int>(a));
    if (word == "ignore") sim.IgnoreNext(static_cast<int>(a));
    Print("fault armed");
  } else if (word == "late" && (in >> a) && a >= 0 && a <= 60000) {
    sim.AnswerNextLate(std::chrono::milliseconds(a));
    Print("the next answer goes " + std::to_string(a) + " ms after its frame");
  } else if (word == "refusal" && (in >> word) && Number(word.c_str(), 0, 255, a)) {
    sim.SetRefusalByte(static_cast<std::uint8_t>(a));
    Print("refusal byte set");
  } else if (word == "refuse" && (in >> word) && RefusalCode(word, a)) {
    if (!(in >> b) || b < 0) b = 0;
    sim.RefuseCommand(static_cast<int>(a), static_cast<int>(b));
    Print("refusal armed");
  } else if (word == "hangup") {
    sim.HangUp();
  } else if (word == "faults") {
    const auto faults = sim.Faults();
    if (faults.empty()) Print("no faults");
    for (const auto& f : faults) Print("fault: " + f);
  } else if (word == "quit") {
    quit = true;
  } else {
    std::lock_guard lock(printing);
    std::fputs(kCommands, stdout);
    std::fflush(stdout);
  }
}

}  // namespace

int main(int argc, char** argv) {
  long com = 1, firmware = 820, app = 320, delay = 0, learnAfter = 3000, refusalByte = 0x15;
  bool pace = false, modulesGiven = false;
  std::vector<std::array<long, 3>> modules;
  std::vector<std::array<long, 2>> refusals;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    bool ok = true;
    if (arg == "--help" || arg == "-h") {
      std::printf("%s\n%s", kUsage, kCommands);
      return 0;
    } else if (arg == "--pace") {
      pace = true;
    } else if (arg == "--com" && hasValue) {
      ok = Number(argv[++i], 1, 255, com);
    } else if (arg == "--firmware" && hasValue) {
      ok = Number(argv[++i], 1, 65535, firmware);
    } else if (arg == "--app" && hasValue) {
      ok = Number(argv[++i], 1, 65535, app);
    } else if (arg == "--delay" && hasValue) {
      ok = Number(argv[++i], 0, 60000, delay);
    } else if (arg == "--refusal-byte" && hasValue) {
      ok = Number(argv[++i], 0, 255, refusalByte);
    } else if (arg == "--learn-after" && hasValue) {
      ok = Number(argv[++i], 0, 600000, learnAfter);
    } else if (arg == "--refuse" && hasValue) {
      const std::string value = argv[++i];
      const std::size_t colon = value.find(':');
      std::array<long, 2> r{0, 0};
      ok = RefusalCode(value.substr(0, colon), r[0]) &&
           (colon == std::string::npos || Number(value.c_str() + colon + 1, 1, 1000000, r[1]));
      refusals.push_back(r);
    } else if (arg == "--module" && hasValue) {
      std::array<long, 3> m{0, 0, 1};
      char extra = 0;
      const int got = std::sscanf(argv[++i], "%ld:%ld:%ld%c", &m[0], &m[1], &m[2], &extra);
      ok = (got == 2 || got == 3) && m[0] >= 1 && m[0] <= 128 && m[1] >= 0 && m[1] <= 255 && m[2] >= 0 && m[2] <= 255;
      modules.push_back(m);
      modulesGiven = true;
    } else {
      ok = false;
    }
    if (!ok) {
      std::fprintf(stderr, "zelta-simcontroller: bad argument '%s'\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }
  if (!modulesGiven) modules = {{1, 11, 2}, {2, 13, 1}, {3, 4, 1}};

  testing_support::SimController sim;
  if (!sim.Valid()) {
    std::fprintf(stderr, "zelta-simcontroller: no pseudo-terminal could be made\n");
    return 1;
  }
  sim.SetFirmwareVersion(static_cast<int>(firmware));
  sim.SetAppVersion(static_cast<int>(app));
  for (const auto& m : modules) {
    sim.SetModule(static_cast<int>(m[0]), static_cast<std::uint8_t>(m[1]), static_cast<std::uint8_t>(m[2]));
    sim.SetIoWord(static_cast<int>(m[0]), static_cast<std::uint16_t>(0x0101u << (m[0] % 8)));
  }
  const std::time_t now = std::time(nullptr);
  tm local{};
  ::localtime_r(&now, &local);
  sim.SetClock({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                local.tm_wday});
  sim.SetParameter(122, 9);  // the highest IR code number held
  for (int k = 0; k < 8; ++k) {
    sim.SetTimer(k, static_cast<std::uint16_t>(100 * k));
    sim.SetVariable(k, static_cast<std::uint16_t>(k + 1));
  }
  for (const auto& r : refusals) sim.RefuseCommand(static_cast<int>(r[0]), static_cast<int>(r[1]));
  sim.SetRefusalByte(static_cast<std::uint8_t>(refusalByte));
  sim.SetReplyDelay(std::chrono::milliseconds(delay));
  sim.SetPacing(pace);
  if (learnAfter > 0) sim.SetIrLearnDelay(std::chrono::milliseconds(learnAfter));
  sim.SetTrace(Print);

  std::printf("Simulated controller on %s (flash key %04X)\n", sim.SlavePath().c_str(), sim.FlashKey());
  std::printf("Point Zelta at it:  ZELTA_COM%ld=%s scripts/run\n", com, sim.SlavePath().c_str());
  std::printf("and choose COM%ld in the settings. Ctrl-C ends the simulator.\n%s\n", com, kCommands);
  std::fflush(stdout);

  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  bool quit = false, input = true;
  std::string pending;
  while (!interrupted && !quit) {
    pollfd in{STDIN_FILENO, POLLIN, 0};
    if (!input) {
      ::poll(nullptr, 0, 200);
      continue;
    }
    if (::poll(&in, 1, 200) <= 0) continue;
    char buffer[256];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
      input = false;  // no more commands: run until interrupted
      continue;
    }
    pending.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
      Command(sim, pending.substr(0, end), quit);
      pending.erase(0, end + 1);
    }
  }
  sim.SetTrace(nullptr);
  std::printf("\n%d frames received.\n", static_cast<int>(sim.ReceivedCount()));
  return 0;
}
