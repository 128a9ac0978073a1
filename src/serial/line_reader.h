#pragma once
// Reads carriage-return-ended text lines from a stream through a 4096-byte page.
#include <istream>
#include <string>
#include <vector>

namespace serial {

class TLineReader {
 public:
  explicit TLineReader(std::istream& stream);

  bool Eof() const { return pageLen_ == 0; }
  // The text up to the next carriage return (one line feed after it is skipped); across pages the pieces
  // are joined. Empty at the end.
  std::string NextLine();

 private:
  void ReadPage();

  static constexpr std::size_t kPageSize = 4096;
  std::istream& stream_;
  std::vector<char> page_;
  std::size_t pageLen_ = 0, pos_ = 0;
  bool skipLineFeed_ = false;
};

}  // namespace serial
