#include "controls/string_resource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "controls/colors.h"
#include "controls/exceptions.h"
#include "controls/library_data.h"
#include "controls/user_data.h"
#include "platform/resources.h"

namespace {

using namespace controls;

// A blob in the "STR0" layout with one entry.
std::vector<std::uint8_t> OneEntryTable(std::int32_t id, const std::u16string& text, std::uint32_t offsetShift = 0) {
  std::vector<std::uint8_t> b{'S', 'T', 'R', '0'};
  auto put = [&](std::uint32_t v) {
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
  };
  put(1);
  put(static_cast<std::uint32_t>(id));
  put(20 + offsetShift);
  put(static_cast<std::uint32_t>(text.size()));
  for (char16_t c : text) {
    b.push_back(static_cast<std::uint8_t>(c & 0xFF));
    b.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return b;
}

TEST(LibraryStrings, GoldenTextsByIdentifier) {
  EXPECT_EQ(GetVxStr(30244), "Label not attached");
  EXPECT_EQ(GetVxStr(30242), "Owner must be a TVxComponent or TVxCustomComponent descendant");
  EXPECT_EQ(GetVxStr(30172), "No Controller assigned");
  EXPECT_EQ(GetVxStr(30189), "No Window's timers are available");
  EXPECT_EQ(GetVxStr(30215), "Invalid font assignemnt. Font must be a TFont or TVxFixedFont");
  EXPECT_EQ(GetVxStr(30266), "Grid");
  EXPECT_EQ(GetVxStr(30282), "Wy");
  // Command names: 33768 + the command's code.
  EXPECT_EQ(GetVxStr(33768 + 0), "ccNone");
  EXPECT_EQ(GetVxStr(33768 + 46), "ccLeft");
  EXPECT_EQ(GetVxStr(33768 + 41), "ccGotoMarker9");
  EXPECT_EQ(GetVxStr(33768 + 75), "ccWordRight");
}

TEST(LibraryStrings, TheEntryFieldMenuItemsRunInOrder) {
  const char* items[] = {"&Restore", "Cu&t", "&Copy", "&Paste", "&Delete", "Select &All"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(GetVxStr(static_cast<std::uint16_t>(30287 + i)), items[i]);
}

TEST(LibraryStrings, AMissingIdentifierReadsUnknown) {
  EXPECT_EQ(GetVxStr(30258), "Unknown");
  EXPECT_EQ(GetVxStr(0), "Unknown");
  EXPECT_EQ(VxStrings().GetString(30258), "");
}

TEST(LibraryStrings, BuffersAreCutToFit) {
  char small[5];
  std::memset(small, 'x', sizeof small);
  VxStrings().GetAsciiZ(30244, small, sizeof small);
  EXPECT_STREQ(small, "Labe");
  char missing[8] = "garbage";
  VxStrings().GetAsciiZ(30258, missing, sizeof missing);
  EXPECT_STREQ(missing, "");
  char16_t wide[4];
  VxStrings().GetWideChar(30266, wide, 4);
  EXPECT_EQ(std::u16string(wide), u"Gri");
}

TEST(StringResourceReader, ACorruptTableIsRefused) {
  // The entry's text runs past the end of the blob.
  static const std::vector<std::uint8_t> corrupt = OneEntryTable(1, u"Hello", 4);
  platform::RegisterResource("TEST_CORRUPT", corrupt);
  try {
    TVxStringResource reader("TEST_CORRUPT");
    FAIL() << "a corrupt table was opened";
  } catch (const ETpsStringResourceError& e) {
    EXPECT_STREQ(e.what(), "Unable to open string resource: TEST_CORRUPT");
  }
  static const std::vector<std::uint8_t> good = OneEntryTable(1, u"Hello");
  platform::RegisterResource("TEST_GOOD", good);
  TVxStringResource reader("TEST_GOOD");
  EXPECT_EQ(reader.GetString(1), "Hello");
}

TEST(StringResourceReader, BadMagicAndMissingResourcesFail) {
  static std::vector<std::uint8_t> bad = OneEntryTable(1, u"x");
  bad[3] = '1';
  platform::RegisterResource("TEST_BADMAGIC", bad);
  EXPECT_THROW(
      {
        try {
          TVxStringResource reader("TEST_BADMAGIC");
        } catch (const ETpsStringResourceError& e) {
          EXPECT_STREQ(e.what(), "Invalid TPString resource");
          throw;
        }
      },
      ETpsStringResourceError);
  try {
    TVxStringResource reader("NO_SUCH_TABLE");
    FAIL();
  } catch (const ETpsStringResourceError& e) {
    EXPECT_STREQ(e.what(), "String resource not found: NO_SUCH_TABLE");
  }
}

TEST(StringResourceReader, ReportingErrorsRaisesForAMissingIdentifier) {
  TVxStringResource reader("VX_STRINGS_ENGLISH");
  reader.ReportErrors = true;
  EXPECT_EQ(reader.GetString(30244), "Label not attached");
  try {
    reader.GetString(5);
    FAIL();
  } catch (const ETpsStringResourceError& e) {
    EXPECT_STREQ(e.what(), "String not found: 5");
  }
  reader.ChangeResource("VXSRMGR_STRINGS");
  EXPECT_EQ(reader.GetString(5), "Invalid TPString resource");
}

TEST(LibraryExceptions, MessagesComeFromTheTable) {
  EXPECT_STREQ(ENoControllerAssigned().what(), "No Controller assigned");
  EXPECT_STREQ(EInvalidPictureMask("##x").what(), "Invalid picture mask: ##x");
  EXPECT_STREQ(EInvalidRangeValue(7).what(), "Invalid range. Enter a value between (0) and (255)");
  EXPECT_STREQ(EInvalidRangeValue(4).what(), "Invalid range. Enter a value between (-2147483648) and (2147483647)");
  EXPECT_STREQ(EInvalidRangeValue(10).what(), "Invalid range. Enter a value between (-1.1e+4932) and (+1.1e+4932)");
  EXPECT_STREQ(EInvalidRangeValue(14, "MM/dd/yy").what(),
               "Invalid date range. Enter a value using 'MM/dd/yy' as the format");
  EXPECT_STREQ(EInvalidRangeValue(99).what(), "Invalid range value");
  // The hierarchy lets callers catch by group.
  try {
    throw EInvalidPageIndex();
  } catch (const ENotebookError& e) {
    EXPECT_STREQ(e.what(), "Invalid page index value");
  }
}

TEST(AlphaCharSet, HoldsLettersAndTheFourPunctuationCharacters) {
  const auto& set = AlphaCharSet();
  for (char c : std::string(" ,-.Az")) EXPECT_TRUE(set.test(static_cast<unsigned char>(c))) << c;
  EXPECT_FALSE(set.test('1'));
  EXPECT_FALSE(set.test('!'));
  EXPECT_TRUE(set.test(0xE9));   // e acute
  EXPECT_FALSE(set.test(0xD7));  // multiplication sign
}

TEST(TwoColourSet, UseDefaultFollowsTheColoursSetAgainstTheirDefaults) {
  TVxColors colors(tk::clBlack, tk::clWhite);
  int changes = 0;
  colors.OnColorChange = [&] { ++changes; };
  EXPECT_TRUE(colors.UseDefault());
  colors.SetBackColor(tk::clWhite);  // its default: nothing changes
  EXPECT_TRUE(colors.UseDefault());
  EXPECT_EQ(changes, 0);
  colors.SetBackColor(tk::clRed);
  EXPECT_FALSE(colors.UseDefault());
  colors.SetBackColor(tk::clWhite);  // back to the default does not restore the flag
  EXPECT_FALSE(colors.UseDefault());
  colors.SetTextColor(tk::clBlue);
  colors.SetUseDefault(true);
  EXPECT_EQ(colors.TextColor(), tk::clBlack);
  EXPECT_EQ(colors.BackColor(), tk::clWhite);
  EXPECT_EQ(changes, 4);
}

// Records what an object defines and feeds a stored value back to it.
class RecordingFiler : public tk::Filer {
 public:
  void DefineProperty(const std::string& name, const std::function<void(const tk::Value&)>& read,
                      const std::function<tk::Value()>&, bool hasData) override {
    Names.push_back(name);
    Written += hasData;
    read(tk::Value(true));
  }
  void DefineBinaryProperty(const std::string& name, const std::function<void(const tk::Binary&)>&,
                            const std::function<tk::Binary()>&, bool) override {
    Names.push_back(name);
  }
  std::vector<std::string> Names;
  int Written = 0;
};

TEST(TwoColourSet, AnOldStreamsUseDefaultIsReadAndDropped) {
  TVxColors colors(tk::clBlack, tk::clWhite);
  colors.SetBackColor(tk::clRed);
  int changes = 0;
  colors.OnColorChange = [&] { ++changes; };
  RecordingFiler filer;
  colors.DefineProperties(filer);
  EXPECT_EQ(filer.Names, std::vector<std::string>{"UseDefault"});
  EXPECT_EQ(filer.Written, 0);
  EXPECT_FALSE(colors.UseDefault());  // a stored true changes nothing
  EXPECT_EQ(colors.BackColor(), tk::clRed);
  EXPECT_EQ(changes, 0);
}

TEST(UserMaskData, OnlyTheDefinedCharactersHaveRules) {
  TVxUserData data;
  EXPECT_TRUE(data.UserCharSet('1').test(1));
  EXPECT_FALSE(data.UserCharSet('1').test(0));
  EXPECT_TRUE(data.UserCharSet('9').none());
  TCharSet digits;
  for (char c = '0'; c <= '9'; ++c) digits.set(static_cast<unsigned char>(c));
  digits.set(0);
  data.SetUserCharSet('3', digits);
  EXPECT_FALSE(data.UserCharSet('3').test(0));  // character 0 never belongs
  EXPECT_TRUE(data.UserCharSet('3').test('5'));
  data.SetForceCase('8', TCaseChange::mcUpperCase);
  data.SetForceCase('x', TCaseChange::mcUpperCase);
  EXPECT_EQ(data.ForceCase('8'), TCaseChange::mcUpperCase);
  EXPECT_EQ(data.ForceCase('x'), TCaseChange::mcNoChange);
  EXPECT_EQ(data.SubstChar(241), 241);
  data.SetSubstChar(248, 'Q');
  EXPECT_EQ(data.SubstChar(248), 'Q');
  EXPECT_EQ(data.SubstChar(240), 0);
}

}  // namespace
