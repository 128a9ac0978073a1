#pragma once
// The simple entry field: free text of up to MaxLength characters, every position ruled by one mask
// character, holding a value of any data type. Characters are typed, inserted or overwritten anywhere; the
// text is converted and checked against the range when the field is left or its value read.
#include <string>

#include "controls/entry_field.h"

namespace controls {

class TVxCustomSimpleField : public TVxBaseEntryField {
 public:
  explicit TVxCustomSimpleField(tk::Component* owner, QWidget* parent = nullptr);
  std::string ClassName() const override { return "TVxCustomSimpleField"; }

  TVxFieldSubtype DataTypeSubtype() const { return static_cast<TVxFieldSubtype>(SubtypeOf(DataType())); }
  // Chooses the value's type: the default range of the type, and its usual mask character.
  void SetDataType(TVxFieldSubtype subtype);
  // The mask character of every position; only the simple field's vocabulary is taken.
  char PictureMaskChar() const { return PictureMask()[0]; }
  void SetPictureMaskChar(char mask);

  void GetProperties(tk::PropertyList& list) const override;

 protected:
  void efEdit(tk::Message& message, std::uint16_t command) override;
  std::uint16_t efValidateField() override;
  void efIncDecValue(bool wrap, double delta) override;
  std::uint16_t efTransfer(void* data, std::uint8_t direction) override;

 private:
  // One character typed at the caret; false when it is refused.
  bool TypeChar(char c, bool insert);
  bool DeleteSelection();
  int WordLeft(int pos) const;
  int WordRight(int pos) const;
  bool OneCharType() const;
};

class TVxSimpleField : public TVxCustomSimpleField {
 public:
  using TVxCustomSimpleField::TVxCustomSimpleField;
  std::string ClassName() const override { return "TVxSimpleField"; }
};

}  // namespace controls
