#pragma once
// Small routines the serial, modem and telephony layers share: bit flags, decimal conversions, and the
// path routines of the zero-terminated-string family (returning std::string here). Paths accept '/' as
// well as the original's delimiters (NUL, ':' and '\'), and a directory is joined to a name with '/'.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace serial {

inline std::uint16_t MinWord(std::uint16_t a, std::uint16_t b) { return a < b ? a : b; }
inline bool FlagIsSet(std::uint32_t flags, std::uint32_t mask) { return (flags & mask) != 0; }
inline bool ByteFlagIsSet(std::uint8_t flags, std::uint8_t mask) { return (flags & mask) != 0; }
inline void SetFlag(std::uint32_t& flags, std::uint32_t mask) { flags |= mask; }
inline void ClearFlag(std::uint32_t& flags, std::uint32_t mask) { flags &= ~mask; }
inline void SetByteFlag(std::uint8_t& flags, std::uint8_t mask) { flags |= mask; }
inline void ClearByteFlag(std::uint8_t& flags, std::uint8_t mask) { flags &= static_cast<std::uint8_t>(~mask); }
template <typename T>
T* AddWordToPtr(T* p, std::size_t n) {
  return reinterpret_cast<T*>(reinterpret_cast<std::uintptr_t>(p) + n);
}
template <typename T>
T* GetPtr(T* p, std::size_t n) {
  return AddWordToPtr(p, n);
}
void NotBuffer(void* buffer, std::size_t size);  // inverts every bit

// Sets a flag for the length of a scope and puts back what it held, however the scope is left.
class ScopedFlag {
 public:
  ScopedFlag(bool& flag, bool value) : flag_(flag), saved_(flag) { flag_ = value; }
  ~ScopedFlag() { flag_ = saved_; }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;

 private:
  bool& flag_;
  bool saved_;
};

std::string Long2StrZ(std::int32_t n);
bool Str2LongZ(std::string_view s, std::int32_t& n);  // true when the whole text converted
// At most `count` characters of `s` from 0-based `pos`; empty when pos is at or beyond the end.
std::string StrStCopy(std::string_view s, std::size_t pos, std::size_t count);

std::string JustPathnameZ(std::string_view path);
std::string JustFilenameZ(std::string_view path);
std::string JustExtensionZ(std::string_view name);  // without the dot, at most three characters
std::string AddBackSlashZ(std::string_view dir);
inline std::string AddBackSlash(std::string_view dir) { return AddBackSlashZ(dir); }
bool ExistFileZ(const std::string& name);
std::string ForceExtensionZ(std::string_view name, std::string_view ext);
std::string DefaultExtensionZ(std::string_view name, std::string_view ext);
std::string JustName(std::string_view path);  // no directory, nothing from the first dot on

// The original asked for one Windows version; no Linux system is that one.
inline bool IsWin2000() { return false; }

// Runs the command line `file` + `parameters` through the shell, waits for it and returns its exit code,
// or -1 when it could not start. The show state has no meaning on Linux.
int ApWinExecAndWait32(const std::string& file, const std::string& parameters, int showState);

}  // namespace serial
