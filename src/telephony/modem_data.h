#pragma once
// A modem description in its two forms: TModemData, the engine form with zero-terminated fields that the
// AT modem engine and the modem database's engine take, and TModemInfo, the component form with strings.
// Both hold the same fields in the modem database's order.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace telephony {

// Longest texts of the fields (the engine form keeps one byte more for the terminator).
inline constexpr std::size_t kModemNameLen = 31;
inline constexpr std::size_t kModemCmdLen = 41;
inline constexpr std::size_t kModemConfigLen = 255;
inline constexpr std::size_t kModemMsgLen = 21;
inline constexpr std::size_t kModemTagLen = 21;
inline constexpr std::size_t kModemMaxTags = 5;

// Up to five feature tags (error correction or data compression), as the engine reads them.
struct TModemTagList {
  std::int32_t Count = 0;
  char Tags[kModemMaxTags][kModemTagLen + 1] = {};
};

struct TModemData {
  char Name[kModemNameLen + 1] = {};
  char InitCmd[kModemCmdLen + 1] = {};
  char DialCmd[kModemCmdLen + 1] = {};
  char DialTerm[kModemCmdLen + 1] = {};
  char DialCancel[kModemCmdLen + 1] = {};
  char HangupCmd[kModemCmdLen + 1] = {};
  char ConfigCmd[kModemConfigLen + 1] = {};
  char AnswerCmd[kModemCmdLen + 1] = {};
  char OkMsg[kModemMsgLen + 1] = {};
  char ConnectMsg[kModemMsgLen + 1] = {};
  char BusyMsg[kModemMsgLen + 1] = {};
  char VoiceMsg[kModemMsgLen + 1] = {};
  char NoCarrierMsg[kModemMsgLen + 1] = {};
  char NoDialToneMsg[kModemMsgLen + 1] = {};
  char ErrorMsg[kModemMsgLen + 1] = {};
  char RingMsg[kModemMsgLen + 1] = {};
  TModemTagList ErrorCheckTags;
  TModemTagList CompressTags;
  bool LockDTE = false;
  std::int32_t DefaultBaud = 0;
};
static_assert(sizeof(TModemTagList) == 116);
static_assert(sizeof(TModemData) == 956);

struct TModemInfoTags {
  std::uint16_t Count = 0;
  std::array<std::string, kModemMaxTags> Tags;
};

struct TModemInfo {
  std::string Name;
  std::string InitCmd;
  std::string DialCmd;
  std::string DialTerm;
  std::string DialCancel;
  std::string HangupCmd;
  std::string ConfigCmd;
  std::string AnswerCmd;
  std::string OkMsg;
  std::string ConnectMsg;
  std::string BusyMsg;
  std::string VoiceMsg;
  std::string NoCarrierMsg;
  std::string NoDialToneMsg;
  std::string ErrorMsg;
  std::string RingMsg;
  TModemInfoTags ErrorCheckTags;
  TModemInfoTags CompressTags;
  bool LockDTE = false;
  std::int32_t DefaultBaud = 0;
};

// Field-by-field conversions; texts longer than a field are cut, a tag count is kept within 0..5.
TModemData ModemInfoToData(const TModemInfo& info);
TModemInfo ModemDataToInfo(const TModemData& data);

// Copies `text` into a zero-terminated field of N bytes, cut to N - 1 characters; the rest is zero.
template <std::size_t N>
void SetModemField(char (&field)[N], const std::string& text) {
  std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
  for (std::size_t i = 0; i < N; ++i) field[i] = i < n ? text[i] : '\0';
}

// The text of a zero-terminated field of N bytes (a field without a terminator ends at its size).
template <std::size_t N>
std::string ModemField(const char (&field)[N]) {
  std::size_t n = 0;
  while (n < N && field[n] != '\0') ++n;
  return std::string(field, n);
}

}  // namespace telephony
