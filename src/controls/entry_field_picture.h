#pragma once
// The picture entry field: a text laid out by a picture mask, one position per mask character. Literal
// characters stand in place and the caret steps over them; each data position takes only what its mask
// character accepts. A value of any data type is written into the positions (numbers right-aligned about
// the decimal point, dates and times through the international settings) and read back from them.
#include <string>

#include "controls/entry_field.h"

namespace controls {

class TVxCustomPictureField : public TVxBaseEntryField {
 public:
  explicit TVxCustomPictureField(tk::Component* owner, QWidget* parent = nullptr);
  std::string ClassName() const override { return "TVxCustomPictureField"; }

  TVxFieldSubtype DataTypeSubtype() const { return static_cast<TVxFieldSubtype>(SubtypeOf(DataType())); }
  // Chooses the value's type with its default range; dates and times take the international masks.
  void SetDataType(TVxFieldSubtype subtype);
  // Replaces the mask, keeping the value; MaxLength becomes the mask's length.
  void SetPictureMask(const std::string& mask);

  // The characters of the data positions (the picture characters, "$" and ",").
  std::string GetStrippedEditString() const override;
  // Whether the position holds data the user types (literals and semi-literals do not).
  bool IsEditPos(int pos) const;

  void GetProperties(tk::PropertyList& list) const override;

 protected:
  void efEdit(tk::Message& message, std::uint16_t command) override;
  std::uint16_t efValidateField() override;
  void efIncDecValue(bool wrap, double delta) override;
  std::uint16_t efTransfer(void* data, std::uint8_t direction) override;
  int efEditBegin() const override;
  bool efFieldIsEmpty() const override;
  bool efIsLiteralPos(int pos) const override;
  void MergeWithPicture(const std::string& text) override;
  void CreateWnd() override;

 private:
  // The text of an empty field: blanks in the data positions, the literals in place.
  std::string BlankText() const;
  // The value's text laid into the positions, and the value read back from them.
  std::string ValueText(const TVxScalar& value) const;
  std::uint16_t ReadValue(TVxScalar& value) const;
  // The text a number is read from: the data positions and the decimal point, separators removed.
  std::string NumberText() const;
  int NextEditPos(int pos) const;  // the first edit position at or after pos; the text length when none
  int PrevEditPos(int pos) const;  // the last edit position before pos; -1 when none
  int SegmentEnd(int pos) const;   // the end of the run of edit positions pos is in
  bool TypeChar(char c);
  void DeletePos(int pos);
  bool BlankSelection();
  void BlankRange(int from, int to);
  TVxValueFormat PictureFormat() const;
};

class TVxPictureField : public TVxCustomPictureField {
 public:
  using TVxCustomPictureField::TVxCustomPictureField;
  std::string ClassName() const override { return "TVxPictureField"; }
};

}  // namespace controls
