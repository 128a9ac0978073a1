#pragma once
// "Database Fields": the fields of a database field list in order, to add, edit, delete and reorder; OK
// puts the edited list in place of the caller's.
#include <QDialog>

#include "telephony/field_list_editing.h"

class QListWidget;
class QPushButton;
class QToolButton;

namespace telephony {

class TFrmDBFieldList : public QDialog {
 public:
  // `list` (the caller's) is replaced on OK only.
  TFrmDBFieldList(QWidget* owner, TDBFieldList& list);

  void AddBtnClick();
  void EditBtnClick() { EditPrim(); }
  void FieldListDblClick() { EditPrim(); }
  void DeleteBtnClick();
  void UpBtnClick();
  void DownBtnClick();
  // Refuses (raising its text) a list without a string field that could be the index.
  void OkBtnClick();

  const TFieldListEditing& Editing() const { return editing_; }

  QListWidget* FieldList = nullptr;
  QToolButton* UpBtn = nullptr;
  QToolButton* DownBtn = nullptr;
  QPushButton* AddBtn = nullptr;
  QPushButton* EditBtn = nullptr;
  QPushButton* DeleteBtn = nullptr;
  QPushButton* OkBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
  QPushButton* HelpBtn = nullptr;

 private:
  void EditPrim();
  // The selected line, -1 when none.
  int Selected() const;

  TDBFieldList& list_;
  TFieldListEditing editing_;
};

}  // namespace telephony
