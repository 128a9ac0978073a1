#pragma once
// Makes every further open fail (EMFILE) for the life of the object; works as root too, where
// permissions would not stop an open.
#include <sys/resource.h>
#include <unistd.h>

namespace testing_support {

class NoFreeDescriptors {
 public:
  NoFreeDescriptors() {
    getrlimit(RLIMIT_NOFILE, &saved_);
    const int next = ::dup(0);
    ::close(next);
    rlimit low = saved_;
    low.rlim_cur = static_cast<rlim_t>(next);
    setrlimit(RLIMIT_NOFILE, &low);
  }
  ~NoFreeDescriptors() { setrlimit(RLIMIT_NOFILE, &saved_); }
  NoFreeDescriptors(const NoFreeDescriptors&) = delete;
  NoFreeDescriptors& operator=(const NoFreeDescriptors&) = delete;

 private:
  rlimit saved_{};
};

}  // namespace testing_support
