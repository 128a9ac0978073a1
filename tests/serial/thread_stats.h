#pragma once
// What threads cost while they wait: CPU time and wake-ups (context switches), for the tests and the
// benchmarks of waits that must sleep until something happens rather than poll.
#include <dirent.h>
#include <sys/resource.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace serial::test {

// The ids of this process's threads.
inline std::vector<int> ThreadIds() {
  std::vector<int> ids;
  if (DIR* dir = ::opendir("/proc/self/task")) {
    while (dirent* e = ::readdir(dir))
      if (e->d_name[0] != '.') ids.push_back(std::atoi(e->d_name));
    ::closedir(dir);
  }
  return ids;
}

// Context switches of thread `tid` so far, voluntary and not: each is a wake-up.
inline long WakeUpsOf(int tid) {
  std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
  long total = 0;
  for (std::string line; std::getline(status, line);)
    if (line.find("ctxt_switches:") != std::string::npos) total += std::atol(line.c_str() + line.find(':') + 1);
  return total;
}

inline long WakeUpsOf(const std::vector<int>& tids) {
  long total = 0;
  for (int tid : tids) total += WakeUpsOf(tid);
  return total;
}

// The calling thread's CPU seconds and wake-ups so far.
struct ThreadCost {
  double CpuSeconds = 0;
  long WakeUps = 0;
  ThreadCost operator-(const ThreadCost& o) const { return {CpuSeconds - o.CpuSeconds, WakeUps - o.WakeUps}; }
};

inline ThreadCost CurrentThreadCost() {
  rusage ru{};
  ::getrusage(RUSAGE_THREAD, &ru);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return {seconds(ru.ru_utime) + seconds(ru.ru_stime), ru.ru_nvcsw + ru.ru_nivcsw};
}

}  // namespace serial::test
