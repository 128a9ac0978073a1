#pragma once
// The picture label: a rotated label that shows a typed value (a Boolean, yes/no, date, time, number or
// text) laid out by a picture mask of the entry fields' language. It only displays; nothing is edited.
#include <QVariant>
#include <cstdint>
#include <string>
#include <vector>

#include "controls/date_arith.h"
#include "controls/rotated_label.h"
#include "tk/types.h"

namespace controls {

class TVxIntlSup;
class TVxUserData;

enum class TVxPictureDataType : std::uint8_t {
  None = 0,
  Boolean = 1,
  YesNo = 2,
  Date = 3,  // the toolkit's date-time
  Float = 4,
  Integer = 5,
  StDate = 6,  // a day number
  StTime = 7,  // seconds since midnight
  String = 8,
  Time = 9,  // the toolkit's date-time
};

// What one mask position is: a data character, "$" or "," (data positions that are also shown), or text
// copied as it stands.
enum class TVxPictureFlag : std::uint8_t { MaskChar, SemiLiteral, Literal };
std::vector<TVxPictureFlag> PictureFlagsOf(const std::string& mask);

// The last value given to a label, in its own form; Type says which field holds it.
struct TVxPictureValue {
  TVxPictureDataType Type = TVxPictureDataType::None;
  bool Boolean = false;
  tk::DateTime DateTime = 0;
  tk::Extended Float = 0;
  std::int32_t Integer = 0;  // also day numbers and seconds
  std::string Text;          // at most 255 characters
};

// Lays values out through one picture mask with the given settings and user data. The mask and its flags
// are referenced, not copied.
class TVxPictureFormatter {
 public:
  TVxPictureFormatter(const std::string& mask, const std::vector<TVxPictureFlag>& flags, const TVxIntlSup& intl,
                      const TVxUserData& user)
      : mask_(mask), flags_(flags), intl_(intl), user_(user) {}

  // With useIntlMask, dates take the settings' short date mask (with a four-digit year when the toolkit
  // locale's short dates have one) and times their mask without seconds, in place of the picture.
  std::string Format(const TVxPictureValue& value, bool useIntlMask) const;

  std::string FormatDate(TStDate date, bool useIntlMask) const;
  std::string FormatTime(TStTime time, bool useIntlMask) const;
  std::string FormatInteger(std::int32_t value) const;
  // A decimal integer merged into the mask; one with more digits than the mask has positions as it stands.
  std::string FormatDecimal(std::int32_t value) const;
  // Fixed notation merged into the mask when it fits, otherwise scientific notation as it stands.
  std::string FormatFloat(tk::Extended value) const;
  // Each data position takes the next character of the text (a blank once it ends) in the case its mask
  // character asks for.
  std::string MergeText(const std::string& text) const;
  // A number text ("-" and "." allowed) laid into the mask right to left from its point, with currency,
  // thousands separators and the minus sign.
  std::string MergeNumber(const std::string& number) const;

 private:
  bool IsRadixMask() const;
  char Substitute(char literal) const;

  const std::string& mask_;
  const std::vector<TVxPictureFlag>& flags_;
  const TVxIntlSup& intl_;
  const TVxUserData& user_;
};

class TVxCustomPictureLabel : public TVxCustomRotatedLabel {
 public:
  explicit TVxCustomPictureLabel(tk::Component* owner, QWidget* parent = nullptr);
  std::string ClassName() const override { return "TVxCustomPictureLabel"; }

  // Each stores the value with its type and shows it.
  void SetAsBoolean(bool value);
  void SetAsYesNo(bool value);
  void SetAsDate(tk::DateTime value);
  void SetAsTime(tk::DateTime value);
  void SetAsFloat(tk::Extended value);
  void SetAsInteger(std::int32_t value);
  void SetAsStDate(TStDate value);
  void SetAsStTime(TStTime value);
  void SetAsString(const std::string& value);  // cut to 255 characters
  // Booleans, text, dates, 16- and 32-bit integers and floating values; anything else is ignored.
  void SetAsVariant(const QVariant& value);
  // No value, an empty caption.
  void Clear();

  const TVxPictureValue& Value() const { return value_; }
  TVxPictureDataType DataType() const { return value_.Type; }

  const std::string& PictureMask() const { return pictureMask_; }
  // An empty mask is ignored.
  void SetPictureMask(const std::string& value);
  const std::vector<TVxPictureFlag>& PictureFlags() const { return pictureFlags_; }
  bool UseIntlMask() const { return useIntlMask_; }
  void SetUseIntlMask(bool value);
  // Nothing means the library's global object. A new settings object shows at the next change.
  TVxIntlSup& IntlSupport() const;
  void SetIntlSupport(TVxIntlSup* value) { intl_ = value; }
  TVxUserData& UserData() const;
  void SetUserData(TVxUserData* value);

  // Draws the label level and left-aligned onto a foreign canvas with its top-left at (x, y).
  virtual void PaintTo(tk::Canvas& canvas, int x, int y);
  // The formatted value; in the form designer the sample instead.
  virtual std::string GetDisplayString();

  void GetProperties(tk::PropertyList& list) const override;
  void DefineProperties(tk::Filer& filer) override;

 protected:
  virtual std::string plGetSampleDisplayData();

 private:
  void Show(TVxPictureDataType type);

  TVxPictureValue value_;
  std::string pictureMask_ = "XXXXXXXXXX";
  std::vector<TVxPictureFlag> pictureFlags_;
  bool useIntlMask_ = false;
  TVxIntlSup* intl_ = nullptr;
  TVxUserData* userData_ = nullptr;
};

class TVxPictureLabel : public TVxCustomPictureLabel {
 public:
  using TVxCustomPictureLabel::TVxCustomPictureLabel;
  std::string ClassName() const override { return "TVxPictureLabel"; }
};

}  // namespace controls
