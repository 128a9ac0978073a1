#include "platform/text.h"

#include <gtest/gtest.h>

#include <QString>

#include "platform/ui.h"
#include "support/scripted_ui.h"

namespace platform {
namespace {

TEST(Latin1Text, EveryByteRoundTripsThroughQString) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  auto back = FromQString(ToQString(all));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, all);
}

TEST(Latin1Text, CharactersOutsideLatin1AreRefused) {
  EXPECT_FALSE(FromQString(QString::fromUtf8("caf\u00e9 \u20ac")).has_value());
  EXPECT_EQ(FromQString(QString::fromUtf8("caf\u00e9")), std::string("caf\xe9"));
}

TEST(Latin1Text, AChosenFileNameTheTextCannotHoldIsRefusedWithAMessage) {
  EXPECT_EQ(ChosenFileName(QString::fromUtf8("/d/K\u00fcche.prj")), std::string("/d/K\374che.prj"));
  EXPECT_TRUE(testing_support::TestUi().Messages().empty());
  EXPECT_EQ(ChosenFileName(QString::fromUtf8("/d/\u041a\u0443\u0445\u043d\u044f.prj")), std::nullopt);
  ASSERT_EQ(testing_support::TestUi().Messages().size(), 1u);
  EXPECT_NE(testing_support::TestUi().Messages()[0].find("/d/?????.prj"), std::string::npos);
}

TEST(Latin1Text, Utf8Conversions) {
  EXPECT_EQ(Latin1ToUtf8("a\xe9"), "a\xc3\xa9");
  EXPECT_EQ(Utf8ToLatin1("a\xc3\xa9\xe2\x82\xac"), "a\xe9?");
}

TEST(Latin1Text, CaseAndTrim) {
  EXPECT_EQ(UpperCase("ab\xe9z"), "AB\xe9Z");
  EXPECT_TRUE(SameText("Temp.PRJ", "temp.prj"));
  EXPECT_FALSE(SameText("temp.prj", "temp.prj "));
  EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
  EXPECT_EQ(TrimRight("  a  "), "  a");
  EXPECT_EQ(Trim(""), "");
}

}  // namespace
}  // namespace platform
