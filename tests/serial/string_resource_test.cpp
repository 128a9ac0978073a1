#include "serial/string_resource.h"

#include <gtest/gtest.h>

#include "support/string_table_builder.h"

#include <map>
#include <vector>

#include "platform/resources.h"

namespace serial {
namespace {

using testing_support::MakeStringTable;

// Registers `blob` under `name` for the life of the test (resources hold a view, so keep the bytes).
class Table {
 public:
  Table(const char* name, std::vector<std::uint8_t> blob) : blob_(std::move(blob)) {
    platform::RegisterResource(name, blob_);
  }

 private:
  std::vector<std::uint8_t> blob_;
};

std::string MessageOf(const char* name) {
  try {
    TLkStringResource reader(name);
  } catch (const ETpsStringResourceError& e) {
    return e.what();
  }
  return "opened";
}

TEST(TLkStringResource, GoldenLookupsInTheBuiltInTables) {
  TLkStringResource errors("LK_ERROR_STRINGS_ENGLISH");
  EXPECT_EQ(errors.GetString(2001), "ie_BadId - Specified comport doesn't exist");
  EXPECT_EQ(errors.GetString(15108), "Status");
  EXPECT_EQ(errors.GetString(15100), "") << "an entry of length 0";
  EXPECT_EQ(errors.GetString(1), "") << "missing";
  TLkStringResource own("adsrmgr_strings");  // names match ignoring case
  EXPECT_EQ(own.GetString(5), "Invalid TPString resource");
  EXPECT_EQ(TpsResStrings().GetString(3), "String resource not found: %s");
}

TEST(TLkStringResource, EdgesOfTheIndexAndSignedIds) {
  Table t("TEST_SIGNED", MakeStringTable({{-1, u"minus one"}, {0, u"zero"}, {7, u""}, {9, u"nine \u00e9"}}));
  TLkStringResource reader("TEST_SIGNED");
  EXPECT_EQ(reader.GetString(-1), "minus one");
  EXPECT_EQ(reader.GetString(0), "zero");
  EXPECT_EQ(reader.GetString(9), "nine \xe9");
  EXPECT_EQ(reader.GetString(-2), "");
  EXPECT_EQ(reader.GetString(10), "");
  reader.RaiseOnMissing = true;
  EXPECT_EQ(reader.GetString(7), "") << "present though empty";
  try {
    reader.GetString(10);
    FAIL();
  } catch (const ETpsStringResourceError& e) {
    EXPECT_STREQ(e.what(), "String not found: 10");
  }

  Table empty("TEST_EMPTY", MakeStringTable({}));
  TLkStringResource none("TEST_EMPTY");
  EXPECT_EQ(none.GetString(0), "");
}

TEST(TLkStringResource, BufferedCopiesLeaveRoomForTheTerminator) {
  Table t("TEST_BUFFERS", MakeStringTable({{1, u"0123456789ABC"}, {2, u"abc"}}));
  TLkStringResource reader("TEST_BUFFERS");
  char16_t wide[10];
  reader.GetWideChar(1, wide, 10);
  EXPECT_EQ(std::u16string(wide), u"012345678");
  char ascii[4];
  EXPECT_STREQ(reader.GetAsciiZ(2, ascii, 4), "abc");
  EXPECT_STREQ(reader.GetAsciiZ(1, ascii, 4), "012");
  ascii[0] = 'x';
  EXPECT_STREQ(reader.GetAsciiZ(99, ascii, 4), "") << "missing id";
  wide[0] = u'x';
  reader.GetWideChar(99, wide, 10);
  EXPECT_EQ(wide[0], u'\0');
}

TEST(TLkStringResource, RefusesMissingAndCorruptTables) {
  EXPECT_EQ(MessageOf("NO_SUCH_TABLE"), "String resource not found: NO_SUCH_TABLE");

  auto bad = MakeStringTable({{1, u"x"}});
  bad[3] = '1';
  Table wrongMagic("TEST_STR1", bad);
  EXPECT_EQ(MessageOf("TEST_STR1"), "Invalid TPString resource");

  auto longText = MakeStringTable({{1, u"abc"}});
  longText[16] = 200;  // length far beyond the blob
  Table corrupt("TEST_CORRUPT", longText);
  EXPECT_EQ(MessageOf("TEST_CORRUPT"), "Unable to open string resource: TEST_CORRUPT")
      << "the magic is right: the table cannot be read, as the controls' reader says";

  auto huge = MakeStringTable({{1, u"abc"}});
  huge[7] = 0x10;  // a count the blob cannot hold
  Table badCount("TEST_COUNT", huge);
  EXPECT_EQ(MessageOf("TEST_COUNT"), "Unable to open string resource: TEST_COUNT");
}

TEST(TLkStringResource, ChangeResourceSwitchesOrCloses) {
  Table a("TEST_A", MakeStringTable({{1, u"from a"}}));
  Table b("TEST_B", MakeStringTable({{1, u"from b"}}));
  TLkStringResource reader("TEST_A");
  EXPECT_EQ(reader.GetString(1), "from a");
  reader.ChangeResource("TEST_B");
  EXPECT_EQ(reader.GetString(1), "from b");
  reader.ChangeResource("");
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_EQ(reader.GetString(1), "");
  EXPECT_THROW(reader.ChangeResource("TEST_MISSING"), ETpsStringResourceError);
  EXPECT_FALSE(reader.IsOpen()) << "a failed open leaves no table";
}

}  // namespace
}  // namespace serial
