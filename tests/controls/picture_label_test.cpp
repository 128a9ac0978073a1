#include "controls/picture_label.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QDateTime>
#include <QImage>
#include <QJsonArray>
#include <QWidget>
#include <functional>
#include <memory>

#include "controls/intl_support.h"
#include "controls/user_data.h"
#include "fake_services.h"
#include "support/user_input.h"
#include "tk/canvas.h"
#include "tk/filer.h"

namespace {

using namespace controls;

// United States conventions whatever the machine's, so every expected text is fixed.
void UsConventions(TVxIntlSup& intl) {
  intl.DecimalChar = '.';
  intl.CommaChar = ',';
  intl.SlashChar = '/';
  intl.ColonChar = ':';
  intl.SetCurrencyLtStr("$");
  intl.SetCurrencyRtStr(" EUR");
  intl.AmString = "AM";
  intl.PmString = "PM";
  intl.ShortDatePicture = "M/d/yy";
  intl.LeadingZeroHour = false;
  intl.TwelveHour = true;
}

class PictureLabel : public ::testing::Test {
 protected:
  PictureLabel() { UsConventions(intl); }

  std::string Float(const std::string& mask, tk::Extended value) { return Formatter(mask).FormatFloat(value); }
  std::string Integer(const std::string& mask, std::int32_t value) { return Formatter(mask).FormatInteger(value); }
  std::string Text(const std::string& mask, const std::string& value) { return Formatter(mask).MergeText(value); }

  TVxPictureFormatter Formatter(const std::string& mask) {
    mask_ = mask;
    flags_ = PictureFlagsOf(mask_);
    return TVxPictureFormatter(mask_, flags_, intl, user);
  }

  std::unique_ptr<TVxPictureLabel> Label(const std::string& mask, QWidget* parent = nullptr) {
    auto label = std::make_unique<TVxPictureLabel>(nullptr, parent);
    label->SetIntlSupport(&intl);
    label->SetUserData(&user);
    label->SetPictureMask(mask);
    return label;
  }

  TVxIntlSup intl;
  TVxUserData user;

 private:
  std::string mask_;
  std::vector<TVxPictureFlag> flags_;
};

// One formatting case: a mask, a value and what the label shows.
template <class V>
struct Row {
  const char* Mask;
  V Value;
  const char* Shown;
};

TStDate Day(int d, int m, int y) { return DMYtoStDate(d, m, y, 0); }

TEST_F(PictureLabel, FloatingPointIsMergedRightToLeftFromThePoint) {
  const Row<tk::Extended> cases[] = {{"###,###.##", 1234.5, "  1,234.50"},
                                     {"###,###.##", -1234.5, " -1,234.50"},
                                     {"$###,###.##", 1234.5, "  $1,234.50"},
                                     {"$###,###.##", -1234.5, " -$1,234.50"},
                                     {"###,###.##", 0.5, "      0.50"},
                                     {"###,###.##", 12.346, "     12.35"},
                                     {"ccc#,###.##", 1234.5, "  $1,234.50"},
                                     {"#,###.##CCCC", 1234.5, "1,234.50 EUR"},
                                     {"#####", 42.7, "   43"},
                                     {"###.## %", 5.0, "  5.00 %"},
                                     {"##########", 12345678901.0, "1.2E+10"},
                                     {"##.##", 123.456, "1.2E+2"},
                                     {"##########.##", 1e25, "1E+25"}};
  for (const auto& c : cases) EXPECT_EQ(Float(c.Mask, c.Value), c.Shown) << c.Mask << " " << double(c.Value);
}

TEST_F(PictureLabel, NumbersFollowTheSettingsSeparatorsAndCurrency) {
  intl.DecimalChar = ',';
  intl.CommaChar = '.';
  EXPECT_EQ(Float("###,###.##", 1234.5), "  1.234,50");
  EXPECT_EQ(Float("##########", 12345678901.0), "1,2E+10") << "scientific notation too";
  intl.CommaChar = '\0';
  EXPECT_EQ(Float("###,###.##", 1234.5), "  1234,50") << "no separator: its position goes";
  intl.SetCurrencyLtStr("US$");
  EXPECT_EQ(Float("$$$$###.##", 12.5), "  US$12,50") << "the whole text floats next to the digits";
  EXPECT_EQ(Float("$$###.##", 12.5), " S$12,50") << "as much of it as the run holds";
  EXPECT_EQ(Float("cc##.##", 12.5), "S$12,50") << "a fixed run keeps the text's right end";
}

TEST_F(PictureLabel, IntegersShowInTheRadixTheMaskAsksFor) {
  const Row<std::int32_t> cases[] = {
      {"KKKK", 255, "00FF"},       {"KKKKKKKKKK", 255, "00000000FF"}, {"KK", 0x1234, "34"},    {"KKKK", -1, "FFFF"},
      {"OOOO", 8, "0010"},         {"bbbbbbbb", 5, "00000101"},       {"bKKK", 5, "0005"},     {"#####", -42, "  -42"},
      {"##,###", 12345, "12,345"}, {"##,###", 123, "   123"},         {"###.##", 7, "  7.00"}, {"$####", 25, "  $25"},
      // More digits than the mask holds: the whole number, unmerged, rather than its last digits.
      {"###", 12345, "12345"},     {"##,###", -1234567, "-1234567"},  {"$$##", 1234, "1234"}, {"###.##", 1234, "1234"}};
  for (const auto& c : cases) EXPECT_EQ(Integer(c.Mask, c.Value), c.Shown) << c.Mask << " " << c.Value;
}

TEST_F(PictureLabel, BlankBeforeThePointBecomesZero) { EXPECT_EQ(Formatter("###.##").MergeNumber(".5"), "  0.50"); }

TEST_F(PictureLabel, TextTakesTheDataPositionsInTheCaseOfTheirMask) {
  user.SetForceCase('1', TCaseChange::mcUpperCase);
  user.SetForceCase('2', TCaseChange::mcLowerCase);
  user.SetForceCase('3', TCaseChange::mcMixedCase);
  user.SetSubstChar(241, '/');
  const Row<const char*> cases[] = {{"XXXXXXXXXX", "Zelta", "Zelta     "},
                                    {"!!!-!!!", "abcdef", "ABC-DEF"},
                                    {"LLLL", "ABcd", "abcd"},
                                    {"ABEKNYa", "abcdefg", "ABCDEFg"},
                                    {"(999) 999-9999", "5551234567", "(555) 123-4567"},
                                    {"xxxxx", "ab cd", "ab cd"},
                                    {"123", "aBc", "Abc"},
                                    {"X\xF1X", "ab", "a/b"},
                                    {"X,X$", "abc", "abc "}};
  for (const auto& c : cases) EXPECT_EQ(Text(c.Mask, c.Value), c.Shown) << c.Mask;
}

TEST_F(PictureLabel, EverySetterStoresItsTypeAndShowsTheValue) {
  using T = TVxPictureDataType;
  const tk::DateTime eve = StDateToDateTime(Day(24, 12, 1999)) + 0.75;
  struct Case {
    const char* Mask;
    std::function<void(TVxPictureLabel&)> Set;
    T Type;
    const char* Shown;
  } cases[] = {{"!", [](auto& l) { l.SetAsBoolean(true); }, T::Boolean, "T"},
               {"L", [](auto& l) { l.SetAsBoolean(false); }, T::Boolean, "f"},
               {"X", [](auto& l) { l.SetAsYesNo(false); }, T::YesNo, "N"},
               {"mm/dd/yyyy", [](auto& l) { l.SetAsStDate(Day(3, 3, 2001)); }, T::StDate, "03/03/2001"},
               {"dd.mm.yy", [&](auto& l) { l.SetAsDate(eve); }, T::Date, "24.12.99"},
               {"hh:mm:ss", [](auto& l) { l.SetAsStTime(HMStoStTime(13, 5, 9)); }, T::StTime, "13:05:09"},
               {"hh:mm", [&](auto& l) { l.SetAsTime(eve); }, T::Time, "18:00"},
               {"###.##", [](auto& l) { l.SetAsFloat(-3.25); }, T::Float, " -3.25"},
               {"####", [](auto& l) { l.SetAsInteger(77); }, T::Integer, "  77"},
               {"XXXXXXXXXX", [](auto& l) { l.SetAsString("Zelta"); }, T::String, "Zelta     "}};
  for (const Case& c : cases) {
    auto label = Label(c.Mask);
    c.Set(*label);
    EXPECT_EQ(label->DataType(), c.Type) << c.Mask;
    EXPECT_EQ(label->Caption(), c.Shown) << c.Mask;
  }
}

TEST_F(PictureLabel, TextIsCutTo255Characters) {
  auto label = Label(std::string(300, 'X'));
  label->SetAsString(std::string(300, 'a'));
  EXPECT_EQ(label->Value().Text.size(), 255u);
  EXPECT_EQ(label->Caption(), std::string(255, 'a') + std::string(45, ' '));
}

TEST_F(PictureLabel, VariantsGoToTheSetterOfTheirKind) {
  struct Case {
    QVariant Value;
    TVxPictureDataType Type;
    const char* Shown;
  } cases[] = {{QVariant(true), TVxPictureDataType::Boolean, "T         "},
               {QVariant(QString("abc")), TVxPictureDataType::String, "abc       "},
               {QVariant(QDate(2001, 3, 3)), TVxPictureDataType::Date, "XXXXXXXXXX"},
               {QVariant(QDateTime(QDate(2001, 3, 3), QTime(18, 0))), TVxPictureDataType::Date, "XXXXXXXXXX"},
               {QVariant(short(-5)), TVxPictureDataType::Integer, "        -5"},
               {QVariant(123456), TVxPictureDataType::Integer, "    123456"},
               {QVariant(2.75f), TVxPictureDataType::Float, "         3"},
               {QVariant(2.25), TVxPictureDataType::Float, "         2"}};
  for (const Case& c : cases) {
    auto label = Label("XXXXXXXXXX");
    label->SetAsVariant(c.Value);
    EXPECT_EQ(label->DataType(), c.Type) << c.Value.typeName();
    EXPECT_EQ(label->Caption(), c.Shown) << c.Value.typeName();
  }
  auto label = Label("XXXXXXXXXX");
  label->SetAsVariant(QVariant(QDateTime(QDate(2001, 3, 3), QTime(18, 0))));
  EXPECT_EQ(label->Value().DateTime, StDateToDateTime(Day(3, 3, 2001)) + 0.75);
  for (const QVariant& ignored : {QVariant(), QVariant(qint64(5)), QVariant(QString::fromUtf8("\xE2\x82\xAC"))}) {
    label->SetAsVariant(ignored);
    EXPECT_EQ(label->DataType(), TVxPictureDataType::Date) << ignored.typeName();
  }
}

TEST_F(PictureLabel, IntlMaskUsesTheSettingsDateAndTimePictures) {
  struct LocaleServices : controls_test::FakeServices {
    QLocale Locale() override { return UserLocale; }
    QLocale UserLocale;
  } services;
  const QLocale us(QLocale::English, QLocale::UnitedStates), uk(QLocale::English, QLocale::UnitedKingdom);
  ASSERT_FALSE(us.dateFormat(QLocale::ShortFormat).contains("yyyy"));
  ASSERT_TRUE(uk.dateFormat(QLocale::ShortFormat).contains("yyyy"));

  auto label = Label("yyyy-mm-dd");
  services.UserLocale = us;
  label->SetAsStDate(Day(3, 3, 2001));
  EXPECT_EQ(label->Caption(), "2001-03-03");
  label->SetUseIntlMask(true);
  EXPECT_EQ(label->Caption(), " 3/ 3/01");
  services.UserLocale = uk;
  label->SetAsStDate(Day(3, 3, 2001));
  EXPECT_EQ(label->Caption(), " 3/ 3/2001") << "the locale's four-digit year";

  label->SetAsStTime(HMStoStTime(13, 5, 9));
  EXPECT_EQ(label->Caption(), " 1:05 PM") << "no seconds";
  label->SetUseIntlMask(false);
  EXPECT_EQ(label->Caption(), "yyyy-05-dd") << "the picture's own letters";
}

TEST_F(PictureLabel, CaptionFollowsMaskAndUserDataButNotNewSettings) {
  auto label = Label("####");
  label->SetAsInteger(255);
  label->SetPictureMask("KKKK");
  EXPECT_EQ(label->Caption(), "00FF");
  label->SetPictureMask("");
  EXPECT_EQ(label->PictureMask(), "KKKK") << "an empty mask is ignored";

  TVxIntlSup other;
  UsConventions(other);
  other.CommaChar = '\'';
  label->SetPictureMask("#,###");
  label->SetAsInteger(1234);
  label->SetIntlSupport(&other);
  EXPECT_EQ(label->Caption(), "1,234") << "new settings wait for the next change";
  label->SetUseIntlMask(false);
  EXPECT_EQ(label->Caption(), "1'234");

  TVxUserData upper;
  upper.SetForceCase('1', TCaseChange::mcUpperCase);
  label->SetPictureMask("111");
  label->SetAsString("abc");
  label->SetUserData(&upper);
  EXPECT_EQ(label->Caption(), "ABC");
}

TEST_F(PictureLabel, ClearForgetsTheValue) {
  auto label = Label("####");
  label->SetAsInteger(12);
  label->Clear();
  EXPECT_EQ(label->DataType(), TVxPictureDataType::None);
  EXPECT_EQ(label->Caption(), "");
  label->SetPictureMask("KKKK");
  EXPECT_EQ(label->Caption(), "") << "no value shows nothing";
}

TEST_F(PictureLabel, DesignerShowsTheMask) {
  auto label = Label("$##,###.##");
  label->SetDesigning(true);
  label->SetAsFloat(5);
  EXPECT_EQ(label->Caption(), "$##,###.##");
}

TEST_F(PictureLabel, FormStreamsKeepMaskAndKindAndIgnoreParentFont) {
  auto label = Label("XXXXXXXXXX");
  for (const QJsonValue& v : tk::Writer().WriteComponent(*label)["Properties"].toArray())
    for (const char* unstored : {"PictureMask", "UseIntlMask", "ParentFont"})
      EXPECT_NE(v.toArray().at(0).toString(), unstored);
  label->SetPictureMask("KKKK");
  label->SetUseIntlMask(true);
  QJsonObject json = tk::Writer().WriteComponent(*label);
  QJsonArray properties = json["Properties"].toArray();
  properties.append(QJsonArray{"ParentFont", "Boolean", false});
  json["Properties"] = properties;

  TVxPictureLabel copy(nullptr);
  const std::string font = copy.Font().Name();
  tk::Reader().ReadInto(copy, json);
  EXPECT_EQ(copy.PictureMask(), "KKKK");
  EXPECT_TRUE(copy.UseIntlMask());
  EXPECT_EQ(copy.Font().Name(), font);
}

TEST_F(PictureLabel, PaintToDrawsLevelTextOntoAForeignCanvasAtItsPlace) {
  auto label = Label("XXXXXXXXXX");
  label->SetBounds(5, 5, 120, 24);
  label->SetColor(tk::clYellow);
  label->SetFontAngle(90);
  label->SetAsString("Zelta");
  QImage image(200, 100, QImage::Format_RGB32);
  image.fill(Qt::white);
  label->PaintTo(*std::make_unique<tk::Canvas>(&image), 40, 30);  // the canvas ends with the statement
  const QRect place(40, 30, 120, 24);
  QRect ink;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x)
      if (!place.contains(x, y))
        ASSERT_EQ(image.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
      else if (qGray(image.pixel(x, y)) < 100)
        ink |= QRect(x, y, 1, 1);
  EXPECT_EQ(image.pixel(41, 31), qRgb(255, 255, 0)) << "the background";
  EXPECT_LE(ink.left(), 44) << "left-aligned";
  EXPECT_LT(ink.height(), 20) << "level, not turned";
  EXPECT_EQ(label->FontAngle(), 90);
}

TEST_F(PictureLabel, Screenshot) {
  QWidget board;
  board.resize(360, 190);
  board.setAutoFillBackground(true);
  std::vector<std::unique_ptr<TVxPictureLabel>> labels;
  auto add = [&](const std::string& mask, int top, auto set) {
    auto label = Label(mask, &board);
    label->SetBounds(10, top, 200, 22);
    label->SetColor(tk::clWhite);
    set(*label);
    labels.push_back(std::move(label));
  };
  add("$###,###.##", 10, [](TVxPictureLabel& l) { l.SetAsFloat(-1234.5); });
  add("KKKK", 40, [](TVxPictureLabel& l) { l.SetAsInteger(255); });
  add("mm/dd/yyyy", 70, [](TVxPictureLabel& l) { l.SetAsStDate(Day(3, 3, 2001)); });
  add("Hh:mm tt", 100, [](TVxPictureLabel& l) { l.SetAsStTime(HMStoStTime(13, 5, 0)); });
  add("(999) 999-9999", 130, [](TVxPictureLabel& l) { l.SetAsString("5551234567"); });
  auto turned = Label("!!!!!!", &board);
  turned->SetAutoSize(true);
  turned->SetFontAngle(90);
  turned->SetBounds(260, 10, turned->Width(), turned->Height());
  turned->SetShadowedText(true);
  turned->SetAsString("zelta");
  EXPECT_EQ(turned->Caption(), "ZELTA ");
  EXPECT_TRUE(testing_support::Shoot(&board, "picture_label.png"));

  // Each label is a white strip with its text in it; the turned one's text runs upwards.
  const QImage shown = board.grab().toImage();
  const auto ink = [&](const TVxPictureLabel& l) {
    QRect found;
    for (int y = l.Top(); y < l.Top() + l.Height(); ++y)
      for (int x = l.Left(); x < l.Left() + l.Width(); ++x)
        if (qGray(shown.pixel(x, y)) < 100) found |= QRect(x, y, 1, 1);
    return found;
  };
  for (const auto& l : labels) {
    EXPECT_EQ(shown.pixel(l->Left() + l->Width() - 1, l->Top()), qRgb(255, 255, 255)) << l->Caption();
    EXPECT_FALSE(ink(*l).isEmpty()) << l->Caption();
  }
  const QRect up = ink(*turned);
  EXPECT_GT(up.height(), 2 * up.width());
}

}  // namespace
