#include "platform/string_table.h"

#include <gtest/gtest.h>

#include "support/string_table_builder.h"

#include <map>
#include <vector>

namespace platform {
namespace {

using testing_support::MakeStringTable;

TEST(StringTable, FindsEveryIdAndNothingElse) {
  auto blob = MakeStringTable({{-1, u"minus"}, {0, u"zero"}, {5, u""}, {7, u"seven \u00e9"}, {1000, u"k"}});
  StringTable table(blob);
  ASSERT_TRUE(table.Valid());
  EXPECT_EQ(table.Count(), 5u);
  EXPECT_EQ(table.Latin1(*table.Find(-1)), "minus") << "signed ids sort before 0";
  EXPECT_EQ(table.Latin1(*table.Find(0)), "zero");
  EXPECT_EQ(table.Latin1(*table.Find(7)), "seven \xe9");
  ASSERT_TRUE(table.Find(5).has_value()) << "an empty text is present, not missing";
  EXPECT_EQ(table.Find(5)->Length, 0u);
  for (std::int32_t missing : {-2, 1, 6, 999, 1001, INT32_MAX, INT32_MIN}) EXPECT_FALSE(table.Find(missing)) << missing;
}

TEST(StringTable, EmptyTableFindsNothing) {
  auto blob = MakeStringTable({});
  StringTable table(blob);
  ASSERT_TRUE(table.Valid());
  EXPECT_FALSE(table.Find(0));
}

TEST(StringTable, WrongMagicIsRefused) {
  auto blob = MakeStringTable({{1, u"x"}});
  blob[3] = '1';
  EXPECT_EQ(StringTable(blob).Status(), StringTable::Problem::BadMagic);
  EXPECT_EQ(StringTable(std::span<const std::uint8_t>()).Status(), StringTable::Problem::BadMagic);
}

TEST(StringTable, CorruptIndexIsRefusedNotReadOutOfBounds) {
  auto good = MakeStringTable({{1, u"abc"}, {2, u"de"}});

  auto count = good;
  count[4] = 200;  // more entries than the blob holds
  EXPECT_EQ(StringTable(count).Status(), StringTable::Problem::Corrupt);

  auto offset = good;
  offset[8 + 4] = 0xF0;  // first text far past the end
  EXPECT_EQ(StringTable(offset).Status(), StringTable::Problem::Corrupt);

  auto length = good;
  length[8 + 12 + 8] = 3;  // last text one unit too long
  EXPECT_EQ(StringTable(length).Status(), StringTable::Problem::Corrupt);

  auto order = good;
  order[8 + 12] = 0;  // second id 0 after first id 1
  EXPECT_EQ(StringTable(order).Status(), StringTable::Problem::Corrupt);

  auto truncated = good;
  truncated.resize(10);
  EXPECT_EQ(StringTable(truncated).Status(), StringTable::Problem::Corrupt);
  EXPECT_FALSE(StringTable(truncated).Find(1));
}

}  // namespace
}  // namespace platform
