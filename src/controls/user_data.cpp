#include "controls/user_data.h"

namespace controls {

namespace {
int MaskIndex(char c) { return c >= '1' && c <= '8' ? c - '1' : -1; }
int SubstIndex(unsigned char c) { return c >= 241 && c <= 248 ? c - 241 : -1; }
}  // namespace

TVxUserData::TVxUserData() {
  TCharSet all;
  all.set();
  all.reset(0);
  sets_.fill(all);
  cases_.fill(TCaseChange::mcNoChange);
  for (int i = 0; i < 8; ++i) substs_[static_cast<std::size_t>(i)] = static_cast<unsigned char>(241 + i);
}

TCharSet TVxUserData::UserCharSet(char c) const {
  int i = MaskIndex(c);
  return i < 0 ? TCharSet() : sets_[static_cast<std::size_t>(i)];
}

void TVxUserData::SetUserCharSet(char c, TCharSet set) {
  int i = MaskIndex(c);
  if (i < 0) return;
  set.reset(0);
  sets_[static_cast<std::size_t>(i)] = set;
}

TCaseChange TVxUserData::ForceCase(char c) const {
  int i = MaskIndex(c);
  return i < 0 ? TCaseChange::mcNoChange : cases_[static_cast<std::size_t>(i)];
}

void TVxUserData::SetForceCase(char c, TCaseChange rule) {
  int i = MaskIndex(c);
  if (i >= 0) cases_[static_cast<std::size_t>(i)] = rule;
}

unsigned char TVxUserData::SubstChar(unsigned char c) const {
  int i = SubstIndex(c);
  return i < 0 ? 0 : substs_[static_cast<std::size_t>(i)];
}

void TVxUserData::SetSubstChar(unsigned char c, unsigned char replacement) {
  int i = SubstIndex(c);
  if (i >= 0) substs_[static_cast<std::size_t>(i)] = replacement;
}

TVxUserData& UserData() {
  static TVxUserData data;
  return data;
}

}  // namespace controls
