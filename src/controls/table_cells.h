#pragma once
// The concrete cells of the table grid: text painting (TVxTCBaseString), column and row headings, and the
// editing cells with their in-place editors. A cell's data is a length-prefixed string of at most 255
// characters (TVxShortString) or, with UseASCIIZStrings, a zero-terminated character buffer.
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "controls/table_cell.h"
#include "tk/control.h"
#include "tk/custom_edit.h"

namespace controls {

// A length byte followed by up to 255 characters.
using TVxShortString = std::array<unsigned char, 256>;
std::string ShortStringText(const void* data);
// Stores at most 255 characters.
void SetShortString(void* data, const std::string& text);

class TVxTCBaseString : public TVxBaseTableCell {
 public:
  explicit TVxTCBaseString(tk::Component* owner) : TVxBaseTableCell(owner) {}
  std::string ClassName() const override { return "TVxTCBaseString"; }

  bool UseASCIIZStrings() const { return useASCIIZStrings_; }
  void SetUseASCIIZStrings(bool value);
  bool UseWordWrap() const { return useWordWrap_; }
  void SetUseWordWrap(bool value);

  // The cell's text from its data: a length-prefixed or zero-terminated string; empty for null data.
  std::string DataText(const void* Data) const;
  // Draws `Text` in the rectangle shrunk by Margin div 2, placed by the attributes' adjustment and style.
  void tcPaintStrZ(tk::Canvas& TableCanvas, const tk::Rect& CellRect, const TVxCellAttributes& CellAttr,
                   const std::string& Text);

  void GetProperties(tk::PropertyList& list) const override;

 protected:
  void tcPaint(tk::Canvas& TableCanvas, const tk::Rect& CellRect, int RowNum, int ColNum,
               const TVxCellAttributes& CellAttr, void* Data) override;

 private:
  bool useASCIIZStrings_ = false;
  bool useWordWrap_ = false;
};

// Where a heading marker of width by height pixels sits in `cell` for an adjustment, `margin` from the edges
// it is placed against.
tk::Point HeadingMarkerOrigin(const tk::Rect& cell, int width, int height, TVxTblAdjust adjust, int margin);
// The letters of the n-th unlocked column (1 = "A", 27 = "AA"); empty for n < 1.
std::string ColumnLetters(int n);

class TVxTCColHead : public TVxTCBaseString {
 public:
  explicit TVxTCColHead(tk::Component* owner);
  std::string ClassName() const override { return "TVxTCColHead"; }

  const std::vector<std::string>& Headings() const { return headings_; }
  void SetHeadings(const std::vector<std::string>& value);
  bool ShowActiveCol() const { return showActiveCol_; }
  void SetShowActiveCol(bool value);
  bool ShowLetters() const { return showLetters_; }
  void SetShowLetters(bool value);
  // The text a column's heading shows when it shows no marker.
  std::string HeadingText(int ColNum, int LockedCols, const void* Data) const;
  // Keeps the heading list in step with the table's columns.
  void tcColumnsChanged(int ColNum1, int ColNum2, TVxTblActions Action);

  void GetProperties(tk::PropertyList& list) const override;
  void DefineProperties(tk::Filer& filer) override;

 protected:
  void tcPaint(tk::Canvas& TableCanvas, const tk::Rect& CellRect, int RowNum, int ColNum,
               const TVxCellAttributes& CellAttr, void* Data) override;

 private:
  std::vector<std::string> headings_;
  bool showActiveCol_ = false;
  bool showLetters_ = true;
};

class TVxTCRowHead : public TVxTCBaseString {
 public:
  explicit TVxTCRowHead(tk::Component* owner);
  std::string ClassName() const override { return "TVxTCRowHead"; }

  bool ShowActiveRow() const { return showActiveRow_; }
  void SetShowActiveRow(bool value);
  bool ShowNumbers() const { return showNumbers_; }
  void SetShowNumbers(bool value);

  void GetProperties(tk::PropertyList& list) const override;

 protected:
  void tcPaint(tk::Canvas& TableCanvas, const tk::Rect& CellRect, int RowNum, int ColNum,
               const TVxCellAttributes& CellAttr, void* Data) override;

 private:
  bool showActiveRow_ = false;
  bool showNumbers_ = true;
};

class TVxTCCustomString;
class TVxTCCustomMemo;

// The single-line in-place editor: the toolkit's edit, linked to its cell. Keys the table asks for go to the
// table; Enter, Tab and Escape never reach the edit itself.
class TVxTCStringEdit : public tk::CustomEdit {
 public:
  TVxTCStringEdit(tk::Component* owner, QWidget* parent, TVxTCCustomString* cell);
  std::string ClassName() const override { return "TVxTCStringEdit"; }
  TVxTCCustomString* Cell() const { return cell_; }

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void KeyDown(std::uint16_t& key, tk::ShiftState shift) override;
  void KeyPress(char& key) override;

 private:
  TVxTCCustomString* cell_;
  bool typed_ = false;
};

// The multi-line in-place editor, linked to its cell; its text stays 8-bit and within MaxLength.
class TVxTCMemoEdit : public tk::ControlT<QPlainTextEdit> {
 public:
  TVxTCMemoEdit(tk::Component* owner, QWidget* parent, TVxTCCustomMemo* cell);
  std::string ClassName() const override { return "TVxTCMemoEdit"; }
  TVxTCCustomMemo* Cell() const { return cell_; }
  int MaxLength() const { return maxLength_; }
  // 0: no limit.
  void SetMaxLength(int value) { maxLength_ = value; }
  std::string Text() const;
  // The cell's text, taken without a change event; a change the editor refuses goes back to it.
  void LoadText(const std::string& text);

  tk::NotifyEvent OnChange;
  tk::NotifyEvent OnDblClick;
  tk::NotifyEvent OnEnter;
  tk::NotifyEvent OnExit;
  tk::KeyEvent OnKeyDown;
  tk::KeyPressEvent OnKeyPress;
  tk::KeyEvent OnKeyUp;
  tk::MouseEvent OnMouseDown;
  tk::MouseEvent OnMouseUp;

 protected:
  bool event(QEvent* event) override;
  // Painted, tracked and scrolled as the Qt widget does.
  void paintEvent(QPaintEvent* event) override { QPlainTextEdit::paintEvent(event); }
  void wheelEvent(QWheelEvent* event) override { QPlainTextEdit::wheelEvent(event); }
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  // Whether the key goes on to the memo; keys the table takes are sent there.
  bool FilterKey(std::uint16_t key);

  TVxTCCustomMemo* cell_;
  int maxLength_ = 0;
  QString accepted_;  // the last text taken
};

// A single-line editing cell.
class TVxTCCustomString : public TVxTCBaseString {
 public:
  explicit TVxTCCustomString(tk::Component* owner) : TVxTCBaseString(owner) {}
  ~TVxTCCustomString() override;
  std::string ClassName() const override { return "TVxTCCustomString"; }

  std::uint16_t MaxLength() const { return maxLength_; }
  void SetMaxLength(std::uint16_t value) { maxLength_ = value; }
  bool AutoAdvanceChar() const { return autoAdvanceChar_; }
  void SetAutoAdvanceChar(bool value) { autoAdvanceChar_ = value; }
  bool AutoAdvanceLeftRight() const { return autoAdvanceLeftRight_; }
  void SetAutoAdvanceLeftRight(bool value) { autoAdvanceLeftRight_ = value; }

  // The editor the cell makes, owned by and shown on `owner` (the table).
  virtual TVxTCStringEdit* CreateEditControl(TVxTableAncestor* owner);
  TVxTCStringEdit* Editor() const { return editor_; }
  bool GetModified() const;

  QWidget* GetCellEditor() override { return editor_; }
  QWidget* EditHandle() override { return editor_; }
  void EditHide() override;
  void EditMove(const tk::Rect& CellRect) override;
  void SaveEditedData(void* Data) override;
  void StartEditing(int RowNum, int ColNum, const tk::Rect& CellRect, const TVxCellAttributes& CellAttr,
                    TVxTblEditorStyle CellStyle, void* Data) override;
  void StopEditing(bool SaveValue, void* Data) override;

  void GetProperties(tk::PropertyList& list) const override;

  tk::NotifyEvent OnChange;

 private:
  // The editor's first MaxLength characters into `Data` (a zero-terminated buffer of MaxLength + 1).
  void SaveText(void* Data);

  std::uint16_t maxLength_ = 0;
  bool autoAdvanceChar_ = false;
  bool autoAdvanceLeftRight_ = false;
  QPointer<TVxTCStringEdit> editor_;
};

class TVxTCString : public TVxTCCustomString {
 public:
  using TVxTCCustomString::TVxTCCustomString;
  std::string ClassName() const override { return "TVxTCString"; }
};

// A multi-line editing cell; its data is always a zero-terminated buffer.
class TVxTCCustomMemo : public TVxTCBaseString {
 public:
  explicit TVxTCCustomMemo(tk::Component* owner);
  ~TVxTCCustomMemo() override;
  std::string ClassName() const override { return "TVxTCCustomMemo"; }

  std::uint16_t MaxLength() const { return maxLength_; }
  void SetMaxLength(std::uint16_t value) { maxLength_ = value; }
  bool WantReturns() const { return wantReturns_; }
  void SetWantReturns(bool value) { wantReturns_ = value; }
  bool WantTabs() const { return wantTabs_; }
  void SetWantTabs(bool value) { wantTabs_ = value; }

  virtual TVxTCMemoEdit* CreateEditControl(TVxTableAncestor* owner);
  TVxTCMemoEdit* Editor() const { return editor_; }
  bool GetModified() const;

  QWidget* GetCellEditor() override { return editor_; }
  QWidget* EditHandle() override { return editor_; }
  void EditHide() override;
  void EditMove(const tk::Rect& CellRect) override;
  void SaveEditedData(void* Data) override;
  void StartEditing(int RowNum, int ColNum, const tk::Rect& CellRect, const TVxCellAttributes& CellAttr,
                    TVxTblEditorStyle CellStyle, void* Data) override;
  void StopEditing(bool SaveValue, void* Data) override;

  void GetProperties(tk::PropertyList& list) const override;

  tk::NotifyEvent OnChange;

 private:
  std::uint16_t maxLength_ = 0;
  bool wantReturns_ = false;
  bool wantTabs_ = false;
  QPointer<TVxTCMemoEdit> editor_;
};

class TVxTCMemo : public TVxTCCustomMemo {
 public:
  using TVxTCCustomMemo::TVxTCCustomMemo;
  std::string ClassName() const override { return "TVxTCMemo"; }
};

}  // namespace controls
