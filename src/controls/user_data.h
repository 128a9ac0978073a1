#pragma once
// The user-defined picture-mask characters "1" to "8" (a character set and a case rule each) and the
// substitution characters 241 to 248 (a replacement each).
#include <array>
#include <bitset>
#include <cstdint>

namespace controls {

enum class TCaseChange { mcNoChange, mcUpperCase, mcLowerCase, mcMixedCase };
using TCharSet = std::bitset<256>;

class TVxUserData {
 public:
  TVxUserData();

  TCharSet UserCharSet(char c) const;  // empty for characters outside "1".."8"
  void SetUserCharSet(char c, TCharSet set);
  TCaseChange ForceCase(char c) const;
  void SetForceCase(char c, TCaseChange rule);
  unsigned char SubstChar(unsigned char c) const;  // 0 outside 241..248
  void SetSubstChar(unsigned char c, unsigned char replacement);

 private:
  std::array<TCharSet, 8> sets_;
  std::array<TCaseChange, 8> cases_;
  std::array<unsigned char, 8> substs_;
};

TVxUserData& UserData();

}  // namespace controls
