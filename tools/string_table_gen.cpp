// Turns a text file of string-table entries into a C++ source holding the table in the "STR0" format:
// magic, 32-bit count, 12-byte index records (id, byte offset from the table's start, length in UTF-16
// units) sorted by id, then the UTF-16LE texts back to back. Everything little-endian.
//
// Input: one entry a line, "<decimal id><TAB><text>"; the text is UTF-8 and may use \n, \t, \\ escapes.
// Blank lines and lines starting with '#' are skipped.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

bool Utf8ToUtf16(const std::string& in, std::u16string& out) {
  out.clear();
  for (size_t i = 0; i < in.size();) {
    unsigned char c = static_cast<unsigned char>(in[i]);
    char32_t cp;
    size_t extra;
    if (c < 0x80) { cp = c; extra = 0; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
    else return false;
    for (size_t k = 1; k <= extra; ++k) {
      if (i + k >= in.size()) return false;
      unsigned char cc = static_cast<unsigned char>(in[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return true;
}

std::string Unescape(const std::string& s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char n = s[++i];
      r += n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n;
    } else {
      r += s[i];
    }
  }
  return r;
}

void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) b.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: string_table_gen INPUT OUTPUT SYMBOL RESOURCE_NAME\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << argv[1] << ": cannot open\n";
    return 1;
  }
  std::map<std::int32_t, std::u16string> entries;
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t tab = line.find('\t');
    if (tab == std::string::npos) {
      std::cerr << argv[1] << ":" << lineNo << ": no TAB after the identifier\n";
      return 1;
    }
    long long id;
    try {
      size_t used = 0;
      id = std::stoll(line.substr(0, tab), &used);
      if (used != tab) throw std::invalid_argument("id");
    } catch (...) {
      std::cerr << argv[1] << ":" << lineNo << ": bad identifier\n";
      return 1;
    }
    if (id < INT32_MIN || id > INT32_MAX || entries.count(static_cast<std::int32_t>(id))) {
      std::cerr << argv[1] << ":" << lineNo << ": identifier out of range or repeated\n";
      return 1;
    }
    std::u16string text;
    if (!Utf8ToUtf16(Unescape(line.substr(tab + 1)), text)) {
      std::cerr << argv[1] << ":" << lineNo << ": text is not UTF-8\n";
      return 1;
    }
    entries[static_cast<std::int32_t>(id)] = text;
  }

  std::vector<std::uint8_t> blob = {'S', 'T', 'R', '0'};
  Put32(blob, static_cast<std::uint32_t>(entries.size()));
  std::uint32_t offset = 8 + 12 * static_cast<std::uint32_t>(entries.size());
  for (const auto& [id, text] : entries) {  // std::map keeps signed ascending order
    Put32(blob, static_cast<std::uint32_t>(id));
    Put32(blob, offset);
    Put32(blob, static_cast<std::uint32_t>(text.size()));
    offset += 2 * static_cast<std::uint32_t>(text.size());
  }
  for (const auto& [id, text] : entries)
    for (char16_t u : text) {
      blob.push_back(static_cast<std::uint8_t>(u & 0xFF));
      blob.push_back(static_cast<std::uint8_t>(u >> 8));
    }

  std::ostringstream out;
  out << "// Generated from " << argv[1] << ": string table \"" << argv[4] << "\". Do not edit.\n"
      << "#include <cstdint>\n#include <span>\n\nnamespace resources {\nnamespace {\n"
      << "alignas(4) const std::uint8_t kData[] = {";
  for (size_t i = 0; i < blob.size(); ++i) out << (i % 16 ? " " : "\n    ") << unsigned(blob[i]) << ",";
  out << "\n};\n}  // namespace\n\nstd::span<const std::uint8_t> " << argv[3]
      << "() { return kData; }\n\n}  // namespace resources\n";
  std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
  file << out.str();
  file.close();
  if (!file) {
    std::cerr << argv[2] << ": write failed\n";
    return 1;
  }
  return 0;
}
