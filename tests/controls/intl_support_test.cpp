#include "controls/intl_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <map>
#include <memory>

#include "fake_services.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "tk/hidden_window.h"

namespace {

using namespace controls;

using Profile = std::map<std::string, std::string>;

// The user's "intl" values from a map, with English (United States) month and day names and a 12-hour
// clock; FromLocale derives the values from the locale instead, as the program does.
class IntlServices : public controls_test::FakeServices {
 public:
  QLocale Locale() override { return UserLocale; }
  std::string IntlProfileString(const std::string& key) override {
    if (FromLocale) return tk::Services::IntlProfileString(key);
    auto it = Values.find(key);
    return it == Values.end() ? std::string() : it->second;
  }

  Profile Values;
  QLocale UserLocale{QLocale::English, QLocale::UnitedStates};
  bool FromLocale = false;
};

class IntlSupport : public ::testing::Test {
 protected:
  std::unique_ptr<TVxIntlSup> Settings(const Profile& values = {}) {
    services.Values = values;
    return std::make_unique<TVxIntlSup>();
  }

  IntlServices services;
};

TStDate Day(int d, int m, int y) { return DMYtoStDate(d, m, y, 0); }

TEST_F(IntlSupport, EqualSeparatorsFallBackToPointAndComma) {
  auto s = Settings({{"sDecimal", ","}, {"sThousand", ","}});
  EXPECT_EQ(s->DecimalChar, '.');
  EXPECT_EQ(s->CommaChar, ',');
  s = Settings({{"sDecimal", ","}, {"sThousand", "."}});
  EXPECT_EQ(s->DecimalChar, ',');
  EXPECT_EQ(s->CommaChar, '.');
}

TEST_F(IntlSupport, CurrencyPlacementAddsTheSeparatingBlank) {
  auto s = Settings({{"sCurrency", "EUR"}, {"iCurrency", "3"}});
  EXPECT_EQ(s->GetCurrencyLtStr(), "EUR");
  EXPECT_EQ(s->GetCurrencyRtStr(), " EUR");
  s = Settings({{"sCurrency", "Fr."}, {"iCurrency", "2"}});
  EXPECT_EQ(s->GetCurrencyLtStr(), "Fr. ");
  EXPECT_EQ(s->GetCurrencyRtStr(), "Fr.");
  s->SetCurrencyLtStr("ABCDEFG");
  EXPECT_EQ(s->GetCurrencyLtStr(), "ABCDE");
}

TEST_F(IntlSupport, UserProfileFileOverridesTheLocale) {
  ASSERT_TRUE(platform::WriteProfileString("win.ini", "intl", "sDecimal", ";"));
  auto s = Settings({{"sDecimal", ","}, {"sList", "|"}});
  platform::DeleteProfileSection("win.ini", "intl");
  EXPECT_EQ(s->DecimalChar, ';');
  EXPECT_EQ(s->ListChar, '|');
}

TEST_F(IntlSupport, ShortDateFromTheRegistryWithTheSeparatorAsSlash) {
  {
    platform::Registry registry(platform::RootKey::CurrentUser);
    ASSERT_TRUE(registry.OpenKey("\\Control Panel\\International", true));
    registry.WriteString("sShortDate", "dd.MM.yyyy");
  }
  auto s = Settings({{"sShortDate", "M/d/yy"}, {"sDate", "."}});
  platform::Registry(platform::RootKey::CurrentUser).DeleteKey("\\Control Panel");
  EXPECT_EQ(s->ShortDatePicture, "dd/MM/yyyy");
  EXPECT_EQ(s->DateToDateString(s->InternationalDate(false), Day(3, 3, 2001), false), "03.03.2001");
  s = Settings({{"sShortDate", "dd-MMM-yy"}});
  EXPECT_EQ(s->ShortDatePicture, "dd-nnn-yy");
}

TEST_F(IntlSupport, LongDateLiteralsAndNames) {
  struct {
    const char* Format;
    const char* Picture;
    std::array<std::string, 3> Literals;
  } const cases[] = {
      {"dddd, MMMM dd, yyyy", "wwww, nnnn dd, yyyy", {}},
      {"dddd, 'de' MMMM dd", "wwww, ff nnnn dd", {"de"}},
      {"d 'de' MMMM 'de' yyyy", "d ff nnnn gg yyyy", {"de", "de"}},
      {"'Heute ist' dddd", "ffffff wwww", {"Heute "}},
      {"dd.MMMM,yyyy", "dd. nnnn, yyyy", {}},
  };
  for (const auto& c : cases) {
    auto s = Settings({{"sLongDate", c.Format}});
    EXPECT_EQ(s->LongDatePicture, c.Picture) << c.Format;
    EXPECT_EQ(s->LongDateLiterals, c.Literals) << c.Format;
  }
  auto s = Settings({{"sLongDate", "dddd, 'de' MMMM dd"}});
  EXPECT_EQ(s->DateToDateString(s->LongDatePicture, Day(3, 3, 2001), false), "Satu, de Marc 03");
  EXPECT_EQ(s->DateToDateString(s->LongDatePicture, BadDate, false), "    , de" + std::string(8, ' '));
}

TEST_F(IntlSupport, InternationalDateMasks) {
  struct {
    const char* ShortDate;
    bool ForceCentury;
    const char* Expected;
  } const cases[] = {
      {"MM/dd/yy", false, "mm/dd/yy"}, {"MM/dd/yy", true, "mm/dd/yyyy"},    {"M/d/yyyy", false, "MM/DD/yyyy"},
      {"d/M/y", false, "DD/MM/yy"},    {"yyyy-MM-dd", false, "yyyy-mm-dd"},
  };
  for (const auto& c : cases) {
    auto s = Settings({{"sShortDate", c.ShortDate}});
    EXPECT_EQ(s->InternationalDate(c.ForceCentury), c.Expected) << c.ShortDate;
  }
  auto s = Settings({{"sShortDate", "M/d/yyyy"}});
  const std::string mask = s->InternationalDate(false);
  EXPECT_EQ(s->DateToDateString(mask, Day(3, 3, 2001), false), " 3/ 3/2001");
  EXPECT_EQ(s->DateToDateString(mask, Day(3, 3, 2001), true), "3/3/2001");
  EXPECT_EQ(s->DateToDateString(mask, BadDate, false), "  /  /    ");
}

TEST_F(IntlSupport, InternationalLongDateMasks) {
  auto s = Settings();  // "dddd, MMMM dd, yyyy"; Wednesday and September are the longest names
  EXPECT_EQ(s->InternationalLongDate(true, false), "www, nnn dd, yyyy");
  EXPECT_EQ(s->InternationalLongDate(false, false), "wwwwwwwww, nnnnnnnnn dd, yyyy");
  EXPECT_EQ(s->InternationalLongDate(false, true), "nnnnnnnnn dd, yyyy");
  EXPECT_EQ(s->DateToDateString(s->InternationalLongDate(false, false), Day(3, 3, 2001), true),
            "Saturday, March 03, 2001");
  s = Settings({{"sLongDate", "dddd, d. MMMM yy"}});
  EXPECT_EQ(s->InternationalLongDate(true, false), "www, DD. nnn yyyy");
  EXPECT_EQ(s->InternationalLongDate(true, true), "DD. nnn yyyy");
}

TEST_F(IntlSupport, MergingSubfields) {
  auto s = Settings();
  struct {
    const char* Picture;
    char Letter;
    int Value;
    const char* Expected;
  } const cases[] = {
      {"yy", 'y', 1999, "99"},    {"yyyy", 'y', 5, "0005"},     {"YYYY", 'y', 5, "   5"},
      {"Hh:mm", 'h', 9, " 9:mm"}, {"Hh:mm", 'h', 0, " 0:mm"},   {"nnn-NNN", 'n', 3, "Mar-NNN"},
      {"NNN-nnn", 'n', 3, "MAR-nnn"}, {"HH:hh", 'h', 9, " 9:hh"},
      {"NNN", 'n', 13, "   "},    {"WWW dd", 'w', 6, "SAT dd"}, {"xx", 'd', 1, "xx"},
  };
  for (const auto& c : cases) {
    std::string picture = c.Picture;
    s->isMergeIntoPicture(picture, c.Letter, c.Value);
    EXPECT_EQ(picture, c.Expected) << c.Picture << " " << c.Value;
  }
}

TEST_F(IntlSupport, ExtractingSubfields) {
  auto s = Settings();
  EXPECT_EQ(s->isExtractFromPicture("mm/dd", "02/15", 7, 8, 'D'), 15);
  EXPECT_EQ(s->isExtractFromPicture("MM/dd", " 2/15", 7, 8, 'm'), 2);
  EXPECT_EQ(s->isExtractFromPicture("mm/dd", "  /15", 7, 8, 'm'), 8);
  EXPECT_EQ(s->isExtractFromPicture("mm/dd", "1x/15", 7, 8, 'm'), -1);
  EXPECT_EQ(s->isExtractFromPicture("mm/dd", "02/15", 7, 8, 'y'), 7);
  EXPECT_EQ(s->isExtractFromPicture("mm/dd", "02/1", 7, 8, 'm'), 7);
  EXPECT_EQ(s->isExtractFromPicture("nnnnn", "may  ", 7, 8, 'n'), 5);
  EXPECT_EQ(s->isExtractFromPicture("nnn", "Foo", 7, 8, 'n'), -1);
}

TEST_F(IntlSupport, ParsingDates) {
  auto s = Settings();
  EXPECT_EQ(s->DateStringToDate("mm/dd/yy", "02/29/01", 1950), BadDate);
  EXPECT_EQ(s->DateStringToDate("mm/dd/yy", "02/28/01", 1950), Day(28, 2, 2001));
  EXPECT_EQ(s->DateStringToDate("mm/dd/yy", "02/29/00", 1950), Day(29, 2, 2000));
  EXPECT_EQ(s->DateStringToDate("mm/dd/yy", "02/28/  ", 1950), BadDate);
  EXPECT_EQ(s->DateStringToDate("mm/dd/yy", "02/28/01 ", 1950), BadDate);
  EXPECT_EQ(s->DateStringToDate("DD nnn yyyy", " 3 mar 2001", 0), Day(3, 3, 2001));
  EXPECT_EQ(s->DateStringToDate("DD nnn yyyy", " 3 Xyz 2001", 0), BadDate);

  const std::int32_t year = DefaultYear, month = DefaultMonth;
  DefaultYear = 2012;
  DefaultMonth = 2;
  EXPECT_EQ(s->DateStringToDate("mm/dd", "02/29", 0), Day(29, 2, 2012));
  EXPECT_EQ(s->DateStringToDate("dd", "29", 0), Day(29, 2, 2012));
  DefaultYear = 2011;
  EXPECT_EQ(s->DateStringToDate("mm/dd", "02/29", 0), BadDate);
  DefaultYear = year;
  DefaultMonth = month;
}

TEST_F(IntlSupport, BlankDates) {
  auto s = Settings();
  EXPECT_TRUE(s->DateStringIsBlank("mm/dd/yy", "  /  /  "));
  EXPECT_FALSE(s->DateStringIsBlank("mm/dd/yy", "  / 1/  "));
  EXPECT_TRUE(s->DateStringIsBlank("nnn dd", "      "));
  EXPECT_FALSE(s->DateStringIsBlank("nnn dd", "Jan   "));
}

TEST_F(IntlSupport, TimeTexts) {
  auto s = Settings({{"sTime", "."}});
  struct {
    const char* Picture;
    TStTime Time;
    bool Pack;
    const char* Expected;
  } const cases[] = {
      {"hh:mm tt", 30 * 60, false, "12.30 AM"},
      {"hh:mm tt", HMStoStTime(13, 5, 0), false, "01.05 PM"},
      {"hh:mm:ss", HMStoStTime(13, 5, 9), false, "13.05.09"},
      {"Hh:mm tt", HMStoStTime(9, 5, 0), true, "9.05 AM"},
      {"hh:mm:ss tt", BadTime, false, "  .  .   AM"},
      {"hh:mm:ss", BadTime, true, "  .  .  "},
  };
  for (const auto& c : cases)
    EXPECT_EQ(s->TimeToTimeString(c.Picture, c.Time, c.Pack), c.Expected) << c.Picture << " " << c.Time;
}

TEST_F(IntlSupport, DesignatorsOfOtherLengths) {
  auto s = Settings({{"s1159", "a"}, {"s2359", "pm"}});
  EXPECT_EQ(s->TimeToTimeString("hh:mm tt", HMStoStTime(9, 0, 0), false), "09:00 a ");
  EXPECT_EQ(s->TimeToAmPmString("hh:mm tt", HMStoStTime(21, 0, 0), false), "09:00 PM");
  EXPECT_EQ(s->TimeToAmPmString("hh:mm", HMStoStTime(21, 0, 0), false), "09:00P");
  // Without designators the clock runs to 23 and a packed blank designator takes its separator along.
  s = Settings();
  s->AmString.clear();
  s->PmString.clear();
  EXPECT_EQ(s->TimeToTimeString("hh:mm tt", HMStoStTime(21, 0, 0), true), "21:00");
}

TEST_F(IntlSupport, ParsingTimes) {
  auto s = Settings();
  struct {
    const char* Picture;
    const char* Text;
    TStTime Expected;
  } const cases[] = {
      {"hh:mm tt", "12:30 AM", 30 * 60},
      {"hh:mm tt", "12:30 pm", HMStoStTime(12, 30, 0)},
      {"hh:mm tt", "01:00 PM", HMStoStTime(13, 0, 0)},
      {"hh:mm tt", "13:00 PM", BadTime},
      {"hh:mm tt", "00:30 AM", BadTime},
      {"hh:mm tt", "12:30   ", BadTime},
      {"hh:mm tt", "12:30 XM", BadTime},
      {"hh:mm:ss", "23:59:59", HMStoStTime(23, 59, 59)},
      {"hh:mm:ss", "24:00:00", BadTime},
      {"hh:mm:ss", "  :30:00", BadTime},
      {"hh:mm", "07:3", BadTime},
      {"mm:ss", "07:30", 7 * 60 + 30},
  };
  for (const auto& c : cases)
    EXPECT_EQ(s->TimeStringToTime(c.Picture, c.Text), c.Expected) << c.Picture << " '" << c.Text << "'";
}

TEST_F(IntlSupport, InternationalTimeMasks) {
  auto s = Settings({{"iTLZero", "1"}, {"s1159", "vorm."}});
  EXPECT_TRUE(s->TwelveHour);
  EXPECT_EQ(s->InternationalTime(true), "hh:mm:ss ttttt");
  services.UserLocale = QLocale(QLocale::German, QLocale::Germany);
  s = Settings();
  EXPECT_FALSE(s->TwelveHour);
  EXPECT_EQ(s->InternationalTime(false), "Hh:mm");
}

TEST_F(IntlSupport, MonthAndDayNames) {
  auto s = Settings();
  EXPECT_EQ(s->MonthToString(12), "December");
  EXPECT_EQ(s->MonthToString(0), "");
  EXPECT_EQ(s->MonthToString(13), "");
  EXPECT_EQ(s->DayOfWeekToString(0), "Sunday");
  EXPECT_EQ(s->DayOfWeekToString(7), "");
  EXPECT_EQ(s->MonthStringToMonth("june", 4), 6);
  EXPECT_EQ(s->MonthStringToMonth("MA", 2), 3);  // March comes before May
  EXPECT_EQ(s->MonthStringToMonth("Maybe", 3), 5);
  EXPECT_EQ(s->MonthStringToMonth("Jun", 4), 0);
  EXPECT_EQ(s->MonthStringToMonth("", 0), 0);
  services.UserLocale = QLocale(QLocale::German, QLocale::Germany);
  EXPECT_EQ(s->MonthToString(3), "M\xE4rz");
  EXPECT_EQ(s->MonthStringToMonth("M\xC4RZ", 4), 3);
}

TEST_F(IntlSupport, CurrencyMasks) {
  struct {
    Profile Values;
    bool Float, Commas, Numeric;
    std::uint8_t Digits;
    const char* Expected;
  } const cases[] = {
      {{}, false, true, false, 7, "c9,999,999.99"},
      {{}, true, false, true, 4, "$9999.99p"},
      {{{"sCurrency", "EUR"}, {"iCurrency", "3"}, {"iCurrDigits", "0"}}, true, true, false, 4, "9,999CCCC"},
      {{{"iCurrency", "1"}, {"iNegCurr", "3"}}, false, false, true, 2, "99.99Cg"},
      {{{"iNegCurr", "6"}}, false, false, false, 2, "c99.99g"},
      {{}, false, false, false, 0, ""},
  };
  for (const auto& c : cases) {
    auto s = Settings(c.Values);
    EXPECT_EQ(s->InternationalCurrency('9', c.Digits, c.Float, c.Commas, c.Numeric), c.Expected) << c.Expected;
  }
}

TEST_F(IntlSupport, SettingsDerivedFromTheLocale) {
  services.FromLocale = true;
  services.UserLocale = QLocale(QLocale::German, QLocale::Germany);
  auto s = Settings();
  EXPECT_EQ(s->DecimalChar, ',');
  EXPECT_EQ(s->CommaChar, '.');
  EXPECT_EQ(s->SlashChar, '.');
  EXPECT_EQ(s->ShortDatePicture, "dd/MM/yy");
  EXPECT_EQ(s->GetCurrencyRtStr(), " EUR");  // the euro sign has no 8-bit form
  EXPECT_EQ(s->CurrencyFormat, 3);
  EXPECT_TRUE(s->LeadingZeroHour);
  EXPECT_EQ(s->GetCountry(), "Germany");
  services.UserLocale = QLocale(QLocale::English, QLocale::UnitedStates);
  s = Settings();
  EXPECT_EQ(s->InternationalDate(true), "MM/DD/yyyy");
  EXPECT_EQ(s->NegCurrencyFormat, 0);
  EXPECT_EQ(s->InternationalTime(false), "Hh:mm tt");
}

TEST_F(IntlSupport, AutoUpdateRereadsOnProfileChanges) {
  auto s = Settings({{"sDecimal", ","}});
  EXPECT_EQ(s->WindowHandle(), nullptr);
  s->SetAutoUpdate(true);
  ASSERT_NE(s->WindowHandle(), nullptr);
  services.Values["sDecimal"] = ";";
  tk::SendMessage(*s->WindowHandle(), WM_WININICHANGE);
  EXPECT_EQ(s->DecimalChar, ';');

  services.Values["sDecimal"] = ":";
  QEvent change(QEvent::LocaleChange);
  QCoreApplication::sendEvent(QCoreApplication::instance(), &change);
  EXPECT_EQ(s->DecimalChar, ':');

  TVxIntlSup* sender = nullptr;
  s->OnWinIniChange = [&](TVxIntlSup* from) { sender = from; };
  services.Values["sDecimal"] = "x";
  tk::SendMessage(*s->WindowHandle(), WM_WININICHANGE);
  EXPECT_EQ(sender, s.get());
  EXPECT_EQ(s->DecimalChar, ':');

  s->SetAutoUpdate(false);
  EXPECT_EQ(s->WindowHandle(), nullptr);
}

TEST_F(IntlSupport, BufferFormsMatchAndStopAt255Characters) {
  auto s = Settings();
  char buffer[256];
  EXPECT_STREQ(s->DateToDatePChar(buffer, "mm/dd/yyyy", Day(3, 3, 2001), false), "03/03/2001");
  EXPECT_EQ(s->TimePCharToTime("hh:mm tt", "12:30 PM"), HMStoStTime(12, 30, 0));
  const std::string longMask = std::string(300, 'x') + "dd";
  EXPECT_EQ(std::string(s->DateToDatePChar(buffer, longMask.c_str(), Day(3, 3, 2001), false)), std::string(255, 'x'));
  EXPECT_EQ(&VxIntlSup(), &VxIntlSup());
}

}  // namespace
