#pragma once
// "Field Information": one field of a database field list (its name, whether it is a string, and a string's
// maximum length), checked before the window closes with OK.
#include <QDialog>
#include <cstdint>

#include "telephony/db_field_list.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace telephony {

class TFrmFieldInfo : public QDialog {
 public:
  explicit TFrmFieldInfo(QWidget* owner);

  // Shows `field` (not owned; OK fills it); `recordSize` is what the size check adds the length to and
  // `working` the list whose names must not clash.
  void Initialize(TDBFieldInfo& field, std::int32_t recordSize, const TDBFieldList& working);

  // A string field shows its length ("20" when the box is ticked); an integer field has none.
  void StrTypeCheckBoxClick();
  // Checks the entries; on a problem focuses the edit at fault and raises its text (the window stays
  // open); else stores them into the field and closes with OK.
  void OkBtnClick();

  QLabel* FieldNameLabel = nullptr;
  QLineEdit* FieldNameEdit = nullptr;
  QCheckBox* StrTypeCheckBox = nullptr;
  QLabel* MaxLenLabel = nullptr;
  QLineEdit* MaxLenEdit = nullptr;
  QPushButton* OkBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
  QPushButton* HelpBtn = nullptr;

 private:
  TDBFieldInfo* field_ = nullptr;
  std::int32_t recordSize_ = 0;
  const TDBFieldList* working_ = nullptr;
};

}  // namespace telephony
