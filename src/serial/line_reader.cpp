#include "serial/line_reader.h"

namespace serial {

TLineReader::TLineReader(std::istream& stream) : stream_(stream), page_(kPageSize) { ReadPage(); }

void TLineReader::ReadPage() {
  stream_.read(page_.data(), kPageSize);
  pageLen_ = static_cast<std::size_t>(stream_.gcount());
  pos_ = 0;
  if (pageLen_ > 0 && page_[pageLen_ - 1] == 26) --pageLen_;  // end-of-file mark
  // A line feed that follows a carriage return at the end of the previous page.
  if (skipLineFeed_ && pageLen_ > 0 && page_[0] == '\n') pos_ = 1;
  skipLineFeed_ = false;
  if (pageLen_ > 0 && pos_ >= pageLen_) ReadPage();
}

std::string TLineReader::NextLine() {
  std::string line;
  while (pageLen_ > 0) {
    std::size_t start = pos_;
    while (pos_ < pageLen_ && page_[pos_] != '\r') ++pos_;
    line.append(page_.data() + start, pos_ - start);
    if (pos_ < pageLen_) {  // the carriage return
      ++pos_;
      if (pos_ < pageLen_ && page_[pos_] == '\n') ++pos_;
      if (pos_ >= pageLen_) {
        skipLineFeed_ = pos_ == pageLen_ && page_[pos_ - 1] == '\r';
        ReadPage();
      }
      return line;
    }
    ReadPage();
  }
  return line;
}

}  // namespace serial
