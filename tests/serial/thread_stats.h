#pragma once
// What threads cost while they wait: CPU time and wake-ups, for the tests and the benchmarks of waits that
// must sleep until something happens rather than poll. A wake-up is a sleep of the thread's own (a voluntary
// context switch); the machine taking the core away from a busy thread is not one, and a loaded machine does
// that at will.
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

// Wake-ups of thread `tid` so far.
inline long WakeUpsOf(int tid) {
  std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
  const std::string key = "voluntary_ctxt_switches:";
  for (std::string line; std::getline(status, line);)
    if (line.starts_with(key)) return std::atol(line.c_str() + key.size());
  return 0;
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
  return {seconds(ru.ru_utime) + seconds(ru.ru_stime), ru.ru_nvcsw};
}

}  // namespace serial::test
