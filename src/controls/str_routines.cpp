#include "controls/str_routines.h"

#include <QChar>
#include <algorithm>
#include <cstring>
#include <iomanip>
#include <locale>
#include <sstream>

namespace controls {

namespace {

char* Binary(char* dest, std::uint32_t value, int bits) {
  for (int i = 0; i < bits; ++i) dest[i] = (value >> (bits - 1 - i)) & 1 ? '1' : '0';
  dest[bits] = '\0';
  return dest;
}

char* Digits(char* dest, std::uint32_t value, int count, int shift, std::uint32_t mask) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (int i = count - 1; i >= 0; --i) {
    dest[i] = kDigits[value & mask];
    value >>= shift;
  }
  dest[count] = '\0';
  return dest;
}

bool IsDigitOf(char c, bool hex, int& digit) {
  if (c >= '0' && c <= '9') {
    digit = c - '0';
    return true;
  }
  if (hex && c >= 'a' && c <= 'f') {
    digit = c - 'a' + 10;
    return true;
  }
  if (hex && c >= 'A' && c <= 'F') {
    digit = c - 'A' + 10;
    return true;
  }
  return false;
}

}  // namespace

char* BinaryBPChar(char* dest, std::uint8_t value) { return Binary(dest, value, 8); }
char* BinaryWPChar(char* dest, std::uint16_t value) { return Binary(dest, value, 16); }
char* BinaryLPChar(char* dest, std::uint32_t value) { return Binary(dest, value, 32); }
char* HexBPChar(char* dest, std::uint8_t value) { return Digits(dest, value, 2, 4, 0xF); }
char* HexWPChar(char* dest, std::uint16_t value) { return Digits(dest, value, 4, 4, 0xF); }
char* HexLPChar(char* dest, std::uint32_t value) { return Digits(dest, value, 8, 4, 0xF); }

char* HexPtrPChar(char* dest, const void* pointer) {
  auto value = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
  HexWPChar(dest, static_cast<std::uint16_t>(value >> 16));
  dest[4] = ':';
  HexWPChar(dest + 5, static_cast<std::uint16_t>(value));
  return dest;
}

char* OctalLPChar(char* dest, std::uint32_t value) { return Digits(dest, value, 12, 3, 7); }

char* CharStrPChar(char* dest, char c, std::size_t count) {
  std::memset(dest, c, count);
  dest[count] = '\0';
  return dest;
}

char* DetabPChar(char* dest, const char* source, std::size_t tabSize) {
  std::size_t out = 0;
  if (tabSize > 0) {
    for (const char* p = source; *p; ++p) {
      if (*p == '\t') {
        do dest[out++] = ' ';
        while (out % tabSize != 0);
      } else {
        dest[out++] = *p;
      }
    }
  }
  dest[out] = '\0';
  return dest;
}

char LoCaseChar(char c) {
  return static_cast<char>(QChar(static_cast<char16_t>(static_cast<unsigned char>(c))).toLower().unicode() & 0xFF);
}

char UpCaseChar(char c) {
  QChar upper = QChar(static_cast<char16_t>(static_cast<unsigned char>(c))).toUpper();
  // Letters whose capital lies outside Latin-1 (y with diaeresis, sharp s) stay as they are.
  return upper.unicode() > 0xFF ? c : static_cast<char>(upper.unicode());
}

bool StrChPos(const char* text, char c, std::size_t& pos) {
  const char* at = std::strchr(text, c);
  if (!at || c == '\0') return false;
  pos = static_cast<std::size_t>(at - text);
  return true;
}

bool StrStPos(const char* text, const char* pattern, std::size_t& pos) {
  std::size_t n = std::strlen(text), m = std::strlen(pattern);
  if (m == 0 || n == 0 || m > n) return false;
  const char* at = std::strstr(text, pattern);
  if (!at) return false;
  pos = static_cast<std::size_t>(at - text);
  return true;
}

char* StrChDeletePrim(char* text, std::size_t pos) { return StrStDeletePrim(text, pos, 1); }

char* StrStDeletePrim(char* text, std::size_t pos, std::size_t count) {
  std::size_t n = std::strlen(text);
  if (pos >= n) return text;
  count = std::min(count, n - pos);
  std::memmove(text + pos, text + pos + count, n - pos - count + 1);
  return text;
}

char* StrChInsertPrim(char* text, char c, std::size_t pos) { return StrInsertChars(text, c, pos, 1); }

char* StrStInsertPrim(char* text, const char* insertion, std::size_t pos) {
  std::size_t n = std::strlen(text), m = std::strlen(insertion);
  pos = std::min(pos, n);
  std::memmove(text + pos + m, text + pos, n - pos + 1);
  std::memcpy(text + pos, insertion, m);
  return text;
}

char* StrStInsert(char* dest, const char* text, const char* insertion, std::size_t pos) {
  std::memmove(dest, text, std::strlen(text) + 1);
  return StrStInsertPrim(dest, insertion, pos);
}

char* StrInsertChars(char* text, char c, std::size_t pos, std::size_t count) {
  std::size_t n = std::strlen(text);
  pos = std::min(pos, n);
  std::memmove(text + pos + count, text + pos, n - pos + 1);
  std::memset(text + pos, c, count);
  return text;
}

char* StrStCopy(char* dest, const char* source, std::size_t pos, std::size_t count) {
  std::size_t n = std::strlen(source);
  if (pos >= n) {
    dest[0] = '\0';
    return dest;
  }
  count = std::min(count, n - pos);
  std::memmove(dest, source + pos, count);
  dest[count] = '\0';
  return dest;
}

char* TrimAllSpacesPChar(char* text) {
  std::size_t n = std::strlen(text), start = 0;
  while (start < n && text[start] == ' ') ++start;
  while (n > start && text[n - 1] == ' ') --n;
  std::memmove(text, text + start, n - start);
  text[n - start] = '\0';
  return text;
}

char* TrimTrailPrimPChar(char* text) {
  std::size_t n = std::strlen(text);
  while (n > 0 && static_cast<unsigned char>(text[n - 1]) < 33) --n;
  text[n] = '\0';
  return text;
}

char* TrimTrailPChar(char* dest, const char* source) {
  std::memmove(dest, source, std::strlen(source) + 1);
  return TrimTrailPrimPChar(dest);
}

std::string TrimTrailingZeros(const std::string& text) {
  std::string s = text;
  while (!s.empty() && static_cast<unsigned char>(s.back()) < 33) s.pop_back();
  if (s.find('.') == std::string::npos) return s;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  std::size_t start = s.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : s.substr(start);
}

char* TrimTrailingZerosPChar(char* text) {
  std::string s = TrimTrailingZeros(text);
  std::memcpy(text, s.c_str(), s.size() + 1);
  return text;
}

std::string TrimEmbeddedZeros(const std::string& text) {
  std::string s = text;
  std::size_t e = s.find('E');
  if (e == std::string::npos) return s;
  std::size_t cut = e;
  while (cut > 0 && s[cut - 1] == '0' && s.find('.') < cut - 1) --cut;
  if (cut > 0 && s[cut - 1] == '.') --cut;
  s.erase(cut, e - cut);
  e = cut;
  // After the exponent's sign character, its leading zeros go (one digit stays).
  std::size_t digits = e + 2;
  while (digits + 1 < s.size() && s[digits] == '0') s.erase(digits, 1);
  return s;
}

char* TrimEmbeddedZerosPChar(char* text) {
  std::string s = TrimEmbeddedZeros(text);
  std::memcpy(text, s.c_str(), s.size() + 1);
  return text;
}

bool StrToLongPChar(const char* text, std::int32_t& value) {
  std::string s = text;
  if (s.size() >= 256) {
    value = -1;
    return false;
  }
  while (!s.empty() && s.back() == ' ') s.pop_back();
  std::size_t prefix = s.find("0x");
  if (prefix == std::string::npos) prefix = s.find("0X");
  if (prefix != std::string::npos) s = s.substr(0, prefix) + '$' + s.substr(prefix + 2);
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  bool hex = i < s.size() && s[i] == '$';
  if (hex) ++i;
  std::uint64_t magnitude = 0;
  std::size_t first = i;
  for (; i < s.size(); ++i) {
    int digit;
    if (!IsDigitOf(s[i], hex, digit)) break;
    magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
    bool overflow = hex ? magnitude > 0xFFFFFFFFull : magnitude > (negative ? 2147483648ull : 2147483647ull);
    if (overflow) {
      value = static_cast<std::int32_t>(i);
      return false;
    }
  }
  if (i < s.size() || i == first) {
    value = static_cast<std::int32_t>(i);
    return false;
  }
  auto bits = static_cast<std::uint32_t>(magnitude);
  value = static_cast<std::int32_t>(negative ? 0u - bits : bits);
  return true;
}

void BMMakeTable(const char* pattern, BMTable& table) {
  std::size_t n = std::strlen(pattern);
  std::fill(std::begin(table), std::end(table), static_cast<std::uint8_t>(std::min<std::size_t>(n, 255)));
  for (std::size_t i = 0; i + 1 < n; ++i)
    table[static_cast<unsigned char>(pattern[i])] = static_cast<std::uint8_t>(std::min<std::size_t>(n - 1 - i, 255));
}

namespace {
template <class Fold>
bool Search(const char* buffer, std::size_t length, const BMTable& table, const char* pattern, std::size_t& pos,
            Fold fold) {
  std::size_t m = std::strlen(pattern);
  if (m == 0 || m > length) return false;
  std::size_t end = m - 1;  // index of the window's last character
  while (end < length) {
    std::size_t k = 0;
    while (k < m && fold(buffer[end - k]) == fold(pattern[m - 1 - k])) ++k;
    if (k == m) {
      pos = end - (m - 1);
      return true;
    }
    std::uint8_t skip = table[static_cast<unsigned char>(fold(buffer[end]))];
    end += skip ? skip : 1;
  }
  return false;
}
}  // namespace

bool BMSearch(const char* buffer, std::size_t length, const BMTable& table, const char* pattern, std::size_t& pos) {
  return Search(buffer, length, table, pattern, pos, [](char c) { return c; });
}

bool BMSearchUC(const char* buffer, std::size_t length, const BMTable& table, const char* pattern, std::size_t& pos) {
  return Search(buffer, length, table, pattern, pos, UpCaseChar);
}

std::string FixedText(long double value, int decimals) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << std::fixed << std::setprecision(decimals) << value;
  return out.str();
}

std::string ScientificText(long double value, int digits) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << std::scientific << std::uppercase << std::setprecision(digits) << value;
  return out.str();
}

}  // namespace controls
