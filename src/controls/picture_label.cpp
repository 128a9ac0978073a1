#include "controls/picture_label.h"

#include <QDate>
#include <QDateTime>
#include <algorithm>
#include <iomanip>
#include <locale>
#include <sstream>

#include "controls/intl_support.h"
#include "controls/misc.h"
#include "controls/picture_mask.h"
#include "controls/str_routines.h"
#include "controls/user_data.h"
#include "platform/text.h"
#include "tk/canvas.h"
#include "tk/filer.h"
#include "tk/services.h"

namespace controls {

namespace {

constexpr std::size_t MaxText = 255;

const bool kRegistered =
    (tk::RegisterClass("TVxPictureLabel", [](tk::Component* owner) { return new TVxPictureLabel(owner); }), true);

bool IsSubstitution(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 241 && u <= 248;
}

void RemoveBlanks(std::string& text) { text.erase(std::remove(text.begin(), text.end(), ' '), text.end()); }

// Whether the toolkit locale's short dates carry a four-digit year.
bool LocaleShowsCentury() { return tk::Svc().Locale().dateFormat(QLocale::ShortFormat).contains("yyyy"); }

tk::DateTime DateTimeOf(const QDate& date) {
  return StDateToDateTime(DMYtoStDate(date.day(), date.month(), date.year(), 0));
}

}  // namespace

std::vector<TVxPictureFlag> PictureFlagsOf(const std::string& mask) {
  std::vector<TVxPictureFlag> flags;
  flags.reserve(mask.size());
  for (char c : mask)
    flags.push_back(IsPictureChar(c)   ? TVxPictureFlag::MaskChar
                    : IsSemiLiteral(c) ? TVxPictureFlag::SemiLiteral
                                       : TVxPictureFlag::Literal);
  return flags;
}

std::string TVxPictureFormatter::Format(const TVxPictureValue& value, bool useIntlMask) const {
  switch (value.Type) {
    case TVxPictureDataType::Boolean:
      return MergeText(std::string(1, value.Boolean ? intl_.TrueChar : intl_.FalseChar));
    case TVxPictureDataType::YesNo:
      return MergeText(std::string(1, value.Boolean ? intl_.YesChar : intl_.NoChar));
    case TVxPictureDataType::Date:
      return FormatDate(DateTimeToStDate(value.DateTime), useIntlMask);
    case TVxPictureDataType::StDate:
      return FormatDate(value.Integer, useIntlMask);
    case TVxPictureDataType::Time:
      return FormatTime(DateTimeToStTime(value.DateTime), useIntlMask);
    case TVxPictureDataType::StTime:
      return FormatTime(value.Integer, useIntlMask);
    case TVxPictureDataType::Integer:
      return FormatInteger(value.Integer);
    case TVxPictureDataType::Float:
      return FormatFloat(value.Float);
    case TVxPictureDataType::String:
      return MergeText(value.Text);
    case TVxPictureDataType::None:
      break;
  }
  return {};
}

std::string TVxPictureFormatter::FormatDate(TStDate date, bool useIntlMask) const {
  const std::string mask = useIntlMask ? intl_.InternationalDate(LocaleShowsCentury()) : mask_;
  return intl_.DateToDateString(mask, date, false);
}

std::string TVxPictureFormatter::FormatTime(TStTime time, bool useIntlMask) const {
  return intl_.TimeToTimeString(useIntlMask ? intl_.InternationalTime(false) : mask_, time, false);
}

bool TVxPictureFormatter::IsRadixMask() const { return mask_.find_first_of("KOb") != std::string::npos; }

char TVxPictureFormatter::Substitute(char literal) const {
  return IsSubstitution(literal) ? static_cast<char>(user_.SubstChar(static_cast<unsigned char>(literal))) : literal;
}

std::string TVxPictureFormatter::FormatInteger(std::int32_t value) const {
  char buffer[40];
  const auto bits = static_cast<std::uint32_t>(value);
  std::string digits;
  if (mask_.find('K') != std::string::npos)
    digits = HexLPChar(buffer, bits);
  else if (mask_.find('O') != std::string::npos)
    digits = OctalLPChar(buffer, bits);
  else if (mask_.find('b') != std::string::npos)
    digits = BinaryLPChar(buffer, bits);
  else
    return FormatDecimal(value);
  if (digits.size() > mask_.size()) digits.erase(0, digits.size() - mask_.size());
  return MergeNumber(digits);
}

std::string TVxPictureFormatter::FormatDecimal(std::int32_t value) const {
  const std::string text = std::to_string(value);
  // The digit positions left of the point and right of a floating currency run.
  const std::size_t point = std::min(mask_.find('.'), mask_.size());
  std::size_t dollarEnd = mask_.find('$');
  if (dollarEnd == std::string::npos) dollarEnd = 0;
  while (dollarEnd < mask_.size() && mask_[dollarEnd] == '$') ++dollarEnd;
  std::size_t positions = 0;
  for (std::size_t i = dollarEnd; i < point; ++i)
    if (flags_[i] == TVxPictureFlag::MaskChar) ++positions;
  // Merging would drop the leading digits and show another number.
  const std::size_t digitCount = text.size() - (value < 0 ? 1 : 0);
  return digitCount > positions ? text : MergeNumber(text);
}

std::string TVxPictureFormatter::FormatFloat(tk::Extended value) const {
  int places = 0;
  const std::size_t point = mask_.find('.');
  if (point != std::string::npos)
    for (std::size_t i = point + 1; i < mask_.size() && flags_[i] == TVxPictureFlag::MaskChar; ++i) ++places;
  std::string text = FixedText(value, places);
  RemoveBlanks(text);
  if (text.size() <= mask_.size()) return MergeNumber(text);
  // Too wide: a shorter form of the whole value rather than a cut one.
  const int length = static_cast<int>(mask_.size());
  const int width = places > 0 && length > places + 9 ? places + 9 : length;
  // The width holds a sign, one digit, the point, the decimals and an exponent of "E", a sign and four
  // digits.
  text = ScientificText(value, std::max(1, width - 9));
  RemoveBlanks(text);
  text = TrimEmbeddedZeros(text);
  std::replace(text.begin(), text.end(), '.', intl_.DecimalChar);
  return text;
}

std::string TVxPictureFormatter::MergeText(const std::string& text) const {
  std::string out = mask_;
  const TVxMaskRules rules(intl_, user_);
  std::size_t next = 0;
  for (std::size_t i = 0; i < mask_.size(); ++i) {
    if (flags_[i] == TVxPictureFlag::Literal) {
      out[i] = Substitute(mask_[i]);
      continue;
    }
    char c = next < text.size() ? text[next++] : ' ';
    // A previous character that is not a blank keeps the mixed-case rules ("x", and user characters set to
    // mixed) from acting: the label leaves such characters as they are.
    rules.FixCase(mask_[i], c, 'x');
    out[i] = c;
  }
  return out;
}

std::string TVxPictureFormatter::MergeNumber(const std::string& number) const {
  const std::size_t n = mask_.size();
  std::string out = mask_;
  if (n == 0) return out;

  // Fixed currency texts fill their runs: the left one against the amount, the right one after it.
  for (std::size_t i = 0; i < n;) {
    const char m = mask_[i];
    std::size_t end = i;
    while (end < n && mask_[end] == m) ++end;
    const std::size_t width = end - i;
    if (m == 'c') {
      const std::string& s = intl_.GetCurrencyLtStr();
      out.replace(i, width, s.size() >= width ? s.substr(s.size() - width) : std::string(width - s.size(), ' ') + s);
    } else if (m == 'C') {
      std::string s = intl_.GetCurrencyRtStr().substr(0, width);
      s.resize(width, ' ');
      out.replace(i, width, s);
    }
    i = end;
  }

  // Floating currency: the last characters of the left currency text that the first "$" run can hold.
  const std::size_t dollar = mask_.find('$');
  std::size_t dollarEnd = dollar;
  std::string floating;
  if (dollar != std::string::npos) {
    while (dollarEnd < n && mask_[dollarEnd] == '$') ++dollarEnd;
    const std::string& s = intl_.GetCurrencyLtStr();
    floating = s.substr(s.size() - std::min(dollarEnd - dollar, s.size()));
  }

  std::string value = TrimLeft(TrimRight(number));
  const bool negative = !value.empty() && value[0] == '-';
  if (negative) value.erase(0, 1);
  const std::size_t valuePoint = value.find('.');
  const std::string whole = value.substr(0, valuePoint);
  const std::string fraction = valuePoint == std::string::npos ? std::string() : value.substr(valuePoint + 1);

  const std::size_t point = mask_.find('.');
  if (point != std::string::npos) {
    std::size_t k = 0;
    for (std::size_t i = point + 1; i < n && flags_[i] != TVxPictureFlag::Literal; ++i)
      out[i] = k < fraction.size() ? fraction[k++] : '0';
  }

  // The integer part, right to left from the point.
  std::vector<bool> removed(n, false);
  std::size_t digitsLeft = whole.size();
  std::size_t floatingLeft = floating.size();
  bool minusShown = false;
  const bool zeroFill = IsRadixMask();
  for (std::size_t i = (point != std::string::npos ? point : n - 1) + 1; i-- > 0;) {
    const char m = mask_[i];
    if (flags_[i] == TVxPictureFlag::Literal) {
      if (m == '.')
        out[i] = intl_.DecimalChar;
      else if (IsSubstitution(m))
        out[i] = Substitute(m);
      continue;
    }
    const bool rightOfRun = dollar == std::string::npos || i >= dollarEnd;
    if (flags_[i] == TVxPictureFlag::MaskChar && rightOfRun && digitsLeft > 0) {
      out[i] = whole[--digitsLeft];
    } else if (m == ',' && digitsLeft > 0) {
      if (intl_.CommaChar == '\0')
        removed[i] = true;
      else
        out[i] = intl_.CommaChar;
    } else if (floatingLeft > 0 && !value.empty()) {
      out[i] = floating[--floatingLeft];
    } else if (negative && !minusShown) {
      out[i] = '-';
      minusShown = true;
    } else {
      out[i] = zeroFill ? '0' : ' ';
    }
  }
  if (point != std::string::npos && point > 0 && !removed[point - 1] && out[point - 1] == ' ') out[point - 1] = '0';

  std::string result;
  for (std::size_t i = 0; i < n; ++i)
    if (!removed[i]) result += out[i];
  return result;
}

TVxCustomPictureLabel::TVxCustomPictureLabel(tk::Component* owner, QWidget* parent)
    : TVxCustomRotatedLabel(owner, parent), pictureFlags_(PictureFlagsOf(pictureMask_)) {
  SetCaption(GetDisplayString());
}

void TVxCustomPictureLabel::Show(TVxPictureDataType type) {
  value_.Type = type;
  SetCaption(GetDisplayString());
}

void TVxCustomPictureLabel::SetAsBoolean(bool value) {
  value_.Boolean = value;
  Show(TVxPictureDataType::Boolean);
}

void TVxCustomPictureLabel::SetAsYesNo(bool value) {
  value_.Boolean = value;
  Show(TVxPictureDataType::YesNo);
}

void TVxCustomPictureLabel::SetAsDate(tk::DateTime value) {
  value_.DateTime = value;
  Show(TVxPictureDataType::Date);
}

void TVxCustomPictureLabel::SetAsTime(tk::DateTime value) {
  value_.DateTime = value;
  Show(TVxPictureDataType::Time);
}

void TVxCustomPictureLabel::SetAsFloat(tk::Extended value) {
  value_.Float = value;
  Show(TVxPictureDataType::Float);
}

void TVxCustomPictureLabel::SetAsInteger(std::int32_t value) {
  value_.Integer = value;
  Show(TVxPictureDataType::Integer);
}

void TVxCustomPictureLabel::SetAsStDate(TStDate value) {
  value_.Integer = value;
  Show(TVxPictureDataType::StDate);
}

void TVxCustomPictureLabel::SetAsStTime(TStTime value) {
  value_.Integer = value;
  Show(TVxPictureDataType::StTime);
}

void TVxCustomPictureLabel::SetAsString(const std::string& value) {
  value_.Text = value.substr(0, MaxText);
  Show(TVxPictureDataType::String);
}

void TVxCustomPictureLabel::SetAsVariant(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Bool:
      return SetAsBoolean(value.toBool());
    case QMetaType::QString:
      // Text outside the 8-bit character set is refused rather than altered.
      if (std::optional<std::string> text = platform::FromQString(value.toString())) SetAsString(*text);
      return;
    case QMetaType::QDate:
      if (value.toDate().isValid()) SetAsDate(DateTimeOf(value.toDate()));
      return;
    case QMetaType::QDateTime: {
      const QDateTime dt = value.toDateTime();
      if (dt.isValid()) SetAsDate(DateTimeOf(dt.date()) + StTimeToDateTime(dt.time().msecsSinceStartOfDay() / 1000));
      return;
    }
    case QMetaType::Short:
    case QMetaType::Int:
      return SetAsInteger(value.toInt());
    case QMetaType::Float:
    case QMetaType::Double:
      return SetAsFloat(value.toDouble());
    default:
      return;
  }
}

void TVxCustomPictureLabel::Clear() {
  value_ = TVxPictureValue();
  SetCaption("");
}

void TVxCustomPictureLabel::SetPictureMask(const std::string& value) {
  if (value.empty() || value == pictureMask_) return;
  pictureMask_ = value;
  pictureFlags_ = PictureFlagsOf(pictureMask_);
  SetCaption(GetDisplayString());
}

void TVxCustomPictureLabel::SetUseIntlMask(bool value) {
  useIntlMask_ = value;
  SetCaption(GetDisplayString());
}

TVxIntlSup& TVxCustomPictureLabel::IntlSupport() const { return intl_ ? *intl_ : VxIntlSup(); }

TVxUserData& TVxCustomPictureLabel::UserData() const { return userData_ ? *userData_ : controls::UserData(); }

void TVxCustomPictureLabel::SetUserData(TVxUserData* value) {
  userData_ = value;
  SetCaption(GetDisplayString());
}

std::string TVxCustomPictureLabel::plGetSampleDisplayData() { return pictureMask_; }

std::string TVxCustomPictureLabel::GetDisplayString() {
  if (Designing()) return plGetSampleDisplayData();
  return TVxPictureFormatter(pictureMask_, pictureFlags_, IntlSupport(), UserData()).Format(value_, useIntlMask_);
}

void TVxCustomPictureLabel::PaintTo(tk::Canvas& canvas, int x, int y) {
  const tk::Font font = canvas.Font;
  const tk::Brush brush = canvas.Brush;
  tk::Rect r = tk::Bounds(x, y, Width(), Height());
  if (!Transparent()) {
    canvas.Brush.Color = BackgroundColor();
    canvas.Brush.Style = tk::BrushStyle::Solid;
    canvas.FillRect(r);
  }
  canvas.Brush.Style = tk::BrushStyle::Clear;
  canvas.Font = Font();
  canvas.DrawText(Caption(), r, tk::DT_LEFT | tk::DT_NOPREFIX);
  canvas.Font = font;
  canvas.Brush = brush;
}

void TVxCustomPictureLabel::GetProperties(tk::PropertyList& list) const {
  TVxCustomRotatedLabel::GetProperties(list);
  using L = TVxCustomPictureLabel;
  list.push_back(
      tk::MakeProperty<L>("PictureMask", &L::PictureMask, &L::SetPictureMask, tk::Value(std::string("XXXXXXXXXX"))));
  list.push_back(tk::MakeProperty<L>("UseIntlMask", &L::UseIntlMask, &L::SetUseIntlMask, tk::Value(false)));
}

void TVxCustomPictureLabel::DefineProperties(tk::Filer& filer) {
  TVxCustomRotatedLabel::DefineProperties(filer);
  // Older forms stored a parent-font switch the label no longer has.
  filer.DefineProperty(
      "ParentFont", [](const tk::Value&) {}, nullptr, false);
}

}  // namespace controls
