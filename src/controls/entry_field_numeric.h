#pragma once
// The numeric entry field: a number typed as on a calculator. The text stands against the right edge with
// the caret after it; digits are added at the end, Backspace takes the last one off, "-" turns the sign and
// the decimal character starts the decimals the mask allows. Any selection is the whole number, so the
// first digit typed after entering the field replaces it.
#include <string>

#include "controls/entry_field.h"

namespace controls {

class TVxCustomNumericField : public TVxBaseEntryField {
 public:
  explicit TVxCustomNumericField(tk::Component* owner, QWidget* parent = nullptr);
  std::string ClassName() const override { return "TVxCustomNumericField"; }

  TVxFieldSubtype DataTypeSubtype() const { return static_cast<TVxFieldSubtype>(SubtypeOf(DataType())); }
  // Only the numeric types (signed 32-bit integer to comp) are taken.
  void SetDataType(TVxFieldSubtype subtype);
  // The digits allowed ("9", "i", "K", "#"...), with a "." before the decimals; MaxLength follows it.
  void SetPictureMask(const std::string& mask);

  void GetProperties(tk::PropertyList& list) const override;

 protected:
  void efEdit(tk::Message& message, std::uint16_t command) override;
  std::uint16_t efValidateField() override;
  void efIncDecValue(bool wrap, double delta) override;
  std::uint16_t efTransfer(void* data, std::uint8_t direction) override;

 private:
  bool TypeChar(char c);
  // The number's text for a value: floating values with the mask's decimals.
  std::string NumberText(const TVxScalar& value) const;
  int AllowedDecimals() const;
};

class TVxNumericField : public TVxCustomNumericField {
 public:
  using TVxCustomNumericField::TVxCustomNumericField;
  std::string ClassName() const override { return "TVxNumericField"; }
};

}  // namespace controls
