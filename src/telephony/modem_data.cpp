#include "telephony/modem_data.h"

#include <algorithm>

namespace telephony {

namespace {

void TagsToData(const TModemInfoTags& from, TModemTagList& to) {
  to.Count = std::min<std::int32_t>(from.Count, static_cast<std::int32_t>(kModemMaxTags));
  for (std::size_t i = 0; i < kModemMaxTags; ++i) SetModemField(to.Tags[i], from.Tags[i]);
}

void TagsToInfo(const TModemTagList& from, TModemInfoTags& to) {
  to.Count = static_cast<std::uint16_t>(std::clamp<std::int32_t>(from.Count, 0, kModemMaxTags));
  for (std::size_t i = 0; i < kModemMaxTags; ++i) to.Tags[i] = ModemField(from.Tags[i]);
}

}  // namespace

TModemData ModemInfoToData(const TModemInfo& info) {
  TModemData d;
  SetModemField(d.Name, info.Name);
  SetModemField(d.InitCmd, info.InitCmd);
  SetModemField(d.DialCmd, info.DialCmd);
  SetModemField(d.DialTerm, info.DialTerm);
  SetModemField(d.DialCancel, info.DialCancel);
  SetModemField(d.HangupCmd, info.HangupCmd);
  SetModemField(d.ConfigCmd, info.ConfigCmd);
  SetModemField(d.AnswerCmd, info.AnswerCmd);
  SetModemField(d.OkMsg, info.OkMsg);
  SetModemField(d.ConnectMsg, info.ConnectMsg);
  SetModemField(d.BusyMsg, info.BusyMsg);
  SetModemField(d.VoiceMsg, info.VoiceMsg);
  SetModemField(d.NoCarrierMsg, info.NoCarrierMsg);
  SetModemField(d.NoDialToneMsg, info.NoDialToneMsg);
  SetModemField(d.ErrorMsg, info.ErrorMsg);
  SetModemField(d.RingMsg, info.RingMsg);
  TagsToData(info.ErrorCheckTags, d.ErrorCheckTags);
  TagsToData(info.CompressTags, d.CompressTags);
  d.LockDTE = info.LockDTE;
  d.DefaultBaud = info.DefaultBaud;
  return d;
}

TModemInfo ModemDataToInfo(const TModemData& data) {
  TModemInfo i;
  i.Name = ModemField(data.Name);
  i.InitCmd = ModemField(data.InitCmd);
  i.DialCmd = ModemField(data.DialCmd);
  i.DialTerm = ModemField(data.DialTerm);
  i.DialCancel = ModemField(data.DialCancel);
  i.HangupCmd = ModemField(data.HangupCmd);
  i.ConfigCmd = ModemField(data.ConfigCmd);
  i.AnswerCmd = ModemField(data.AnswerCmd);
  i.OkMsg = ModemField(data.OkMsg);
  i.ConnectMsg = ModemField(data.ConnectMsg);
  i.BusyMsg = ModemField(data.BusyMsg);
  i.VoiceMsg = ModemField(data.VoiceMsg);
  i.NoCarrierMsg = ModemField(data.NoCarrierMsg);
  i.NoDialToneMsg = ModemField(data.NoDialToneMsg);
  i.ErrorMsg = ModemField(data.ErrorMsg);
  i.RingMsg = ModemField(data.RingMsg);
  TagsToInfo(data.ErrorCheckTags, i.ErrorCheckTags);
  TagsToInfo(data.CompressTags, i.CompressTags);
  i.LockDTE = data.LockDTE;
  i.DefaultBaud = data.DefaultBaud;
  return i;
}

}  // namespace telephony
