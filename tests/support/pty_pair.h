#pragma once
// A pseudo-terminal pair for serial tests: the test plays the far end on the master while the code under
// test opens the slave as its serial device. Every wait has a deadline.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

class PtyPair {
 public:
  PtyPair();  // fails the test (and leaves Valid() false) when no pseudo-terminal can be made
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool Valid() const { return master_ >= 0; }
  int Master() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }

  // Writes everything to the master (the bytes arrive at the slave's input); false on failure or time-out.
  bool WriteMaster(const std::vector<std::uint8_t>& bytes,
                   std::chrono::milliseconds deadline = std::chrono::milliseconds(2000));
  // Reads from the master until `count` bytes came or the deadline passed; returns what came.
  std::vector<std::uint8_t> ReadMaster(std::size_t count,
                                       std::chrono::milliseconds deadline = std::chrono::milliseconds(2000));
  // Hangs the line up, as an unplugged adapter does.
  void CloseMaster();

 private:
  int master_ = -1;
  std::string slavePath_;
};

}  // namespace testing_support
