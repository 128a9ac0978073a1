#include "controls/library_data.h"

#include <QChar>

namespace controls {

const TVxStringResource& VxStrings() {
  static const TVxStringResource reader("VX_STRINGS_ENGLISH");
  return reader;
}

std::string GetVxStr(std::uint16_t id) {
  return VxStrings().Contains(id) ? VxStrings().GetString(id) : std::string("Unknown");
}

std::string FormatVxStr(const std::string& pattern, std::initializer_list<std::string> args) {
  std::string out;
  auto arg = args.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size()) {
      char kind = pattern[i + 1];
      if ((kind == 's' || kind == 'd') && arg != args.end()) {
        out += *arg++;
        ++i;
        continue;
      }
      if (kind == '%') {
        out += '%';
        ++i;
        continue;
      }
    }
    out += pattern[i];
  }
  return out;
}

const std::bitset<256>& AlphaCharSet() {
  static const std::bitset<256> set = [] {
    std::bitset<256> s;
    for (char c : std::string(" ,-.")) s.set(static_cast<unsigned char>(c));
    for (int c = 'A'; c <= 'Z'; ++c) s.set(static_cast<std::size_t>(c));
    for (int c = 'a'; c <= 'z'; ++c) s.set(static_cast<std::size_t>(c));
    for (int c = 128; c < 256; ++c)
      if (QChar(static_cast<char16_t>(c)).isLetter()) s.set(static_cast<std::size_t>(c));
    return s;
  }();
  return set;
}

}  // namespace controls
