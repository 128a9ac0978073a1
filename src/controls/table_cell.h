#pragma once
// The base of every table cell component (default attributes, colour and font taken from the table,
// attribute resolution, owner drawing and the editing hooks), the table's matrix of per-cell overrides, and
// the shared check-glyph bitmaps.
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "controls/sparse_array.h"
#include "controls/table_common.h"
#include "tk/canvas.h"
#include "tk/control.h"
#include "tk/custom_edit.h"

namespace controls {

class TVxBaseTableCell;

using TCellPaintNotifyEvent =
    std::function<void(TVxBaseTableCell* sender, tk::Canvas& TableCanvas, const tk::Rect& CellRect, int RowNum,
                       int ColNum, const TVxCellAttributes& CellAttr, void* Data, bool& DoneIt)>;

class TVxBaseTableCell : public TVxTableCellAncestor {
 public:
  explicit TVxBaseTableCell(tk::Component* owner);
  ~TVxBaseTableCell() override;
  std::string ClassName() const override { return "TVxBaseTableCell"; }

  TVxTblAccess Access() const { return access_; }
  void SetAccess(TVxTblAccess value);
  TVxTblAdjust Adjust() const { return adjust_; }
  void SetAdjust(TVxTblAdjust value);
  // The colour as held; GetColor first fetches the table's when it is still to be taken from there.
  tk::TColor Color() const { return color_; }
  void SetColor(tk::TColor value);
  tk::TColor GetColor();
  const tk::Font& Font() const { return font_; }
  void SetFont(const tk::Font& value);
  const tk::Font& GetFont();
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& value) { hint_ = value; }
  int Margin() const { return margin_; }
  // Negative values are ignored.
  void SetMargin(int value);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value) { showHint_ = value; }
  TVxTableAncestor* Table() const { return table_; }
  void SetTable(TVxTableAncestor* table);
  bool TableColor() const { return tableColor_; }
  void SetTableColor(bool value);
  bool TableFont() const { return tableFont_; }
  void SetTableFont(bool value);
  tk::TColor TextHiColor() const { return textHiColor_; }
  void SetTextHiColor(tk::TColor value);
  TVxTextStyle TextStyle() const { return textStyle_; }
  void SetTextStyle(TVxTextStyle value);
  std::string About() const;
  void SetAbout(const std::string&) {}

  // How many columns and cell overrides of the table use this cell. The first reference registers the cell
  // with its table, the last one deregisters it and forgets the table.
  int RefCount() const { return refCount_; }
  void IncRefs();
  void DecRefs();
  // Whether another table than `table` holds references to this cell.
  bool UsedByOtherTable(const TVxTableAncestor* table) const { return refCount_ > 0 && table_ != table; }
  // Makes `table` this cell's table when the cell is unused, then takes a reference: what a column or an
  // override does when it starts using the cell.
  void AttachAndIncRefs(TVxTableAncestor* table);

  // Owner drawing first; when it did not draw the cell, tcPaint.
  void Paint(tk::Canvas& TableCanvas, const tk::Rect& CellRect, int RowNum, int ColNum,
             const TVxCellAttributes& CellAttr, void* Data);
  virtual bool DoOwnerDraw(tk::Canvas& TableCanvas, const tk::Rect& CellRect, int RowNum, int ColNum,
                           const TVxCellAttributes& CellAttr, void* Data);
  // The cell's own values, refined by the table, then the last defaults.
  virtual void ResolveAttributes(int RowNum, int ColNum, TVxCellAttributes& CellAttr);

  // Questions to the table; 0 (or false) without a table or before it has a window.
  int tcRetrieveTableActiveCol();
  int tcRetrieveTableActiveRow();
  int tcRetrieveTableLockedCols();
  int tcRetrieveTableLockedRows();
  bool TableWantsEnter();
  bool TableWantsTab();
  // Posts only when the table has a window.
  void PostMessageToTable(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
  // Posts a key-down with the same key code and key data to the table.
  void SendKeyToTable(const tk::Message& key);
  // The table's classification of a key (otkDontCare without a table).
  virtual TVxTblKeyNeeds FilterTableKey(tk::Message& key);

  // Editing hooks; the base edits nothing.
  virtual QWidget* GetCellEditor() { return nullptr; }
  virtual QWidget* EditHandle() { return nullptr; }
  virtual void EditHide() {}
  virtual void EditMove(const tk::Rect& /*CellRect*/) {}
  virtual bool CanSaveEditedData(bool /*SaveValue*/) { return true; }
  bool CanStopEditing(bool SaveValue) { return CanSaveEditedData(SaveValue); }
  virtual void SaveEditedData(void* /*Data*/) {}
  virtual void StartEditing(int /*RowNum*/, int /*ColNum*/, const tk::Rect& /*CellRect*/,
                            const TVxCellAttributes& /*CellAttr*/, TVxTblEditorStyle /*CellStyle*/, void* /*Data*/) {}
  virtual void StopEditing(bool /*SaveValue*/, void* /*Data*/) {}
  virtual bool SpecialCellSupported() { return false; }
  virtual int SpecialCellDataSize() { return 0; }
  virtual void SpecialCellDataTransfer(void* /*Source*/, void* /*Dest*/) {}
  // Whether the click that starts editing is handed on to the editor (message ctimStartEditMouse).
  virtual bool AcceptActivationClick() const { return true; }

  void tcResetTableValues() override;
  void tcChangeScale(int M, int D) override;
  void Notification(tk::Component* component, tk::Operation operation) override;
  void GetProperties(tk::PropertyList& list) const override;

  // The toolkit's events; editing cells hand them to their editor, with the editor as sender.
  tk::NotifyEvent OnClick;
  tk::NotifyEvent OnDblClick;
  tk::NotifyEvent OnEnter;
  tk::NotifyEvent OnExit;
  tk::KeyEvent OnKeyDown;
  tk::KeyPressEvent OnKeyPress;
  tk::KeyEvent OnKeyUp;
  tk::MouseEvent OnMouseDown;
  tk::MouseMoveEvent OnMouseMove;
  tk::MouseEvent OnMouseUp;
  TCellPaintNotifyEvent OnOwnerDraw;

 protected:
  // Fills the rectangle with the attribute colour.
  virtual void tcPaint(tk::Canvas& TableCanvas, const tk::Rect& CellRect, int RowNum, int ColNum,
                       const TVxCellAttributes& CellAttr, void* Data);
  // Whether the table can answer questions now.
  bool TableReady() const;

 private:
  std::intptr_t QueryTable(std::uint32_t msg);
  void FetchColor();
  void FetchFont();
  tk::ComponentRef TableRef() const { return {table_}; }
  void SetTableRef(tk::ComponentRef ref);

  TVxTblAccess access_ = otxDefault;
  TVxTblAdjust adjust_ = otaDefault;
  tk::TColor color_ = tk::clBtnFace;
  tk::Font font_;
  std::string hint_;
  int margin_ = 4;
  bool showHint_ = false;
  TVxTableAncestor* table_ = nullptr;
  bool tableColor_ = true;
  bool tableFont_ = true;
  tk::TColor textHiColor_ = tk::clBtnHighlight;
  TVxTextStyle textStyle_ = tsFlat;
  int refCount_ = 0;
  // Still to be fetched from the table (it had no window when asked).
  bool colorPending_ = true;
  bool fontPending_ = true;
};

// The override record of one cell. A field "not set" is otxDefault, otaDefault, clTblColorNotSet or null;
// a record whose fields are all not set is deleted. The font belongs to the matrix.
struct TVxSparseAttr {
  TVxTblAccess Access = otxDefault;
  TVxTblAdjust Adjust = otaDefault;
  tk::TColor Color = clTblColorNotSet;
  tk::Font* Font = nullptr;
  TVxBaseTableCell* Cell = nullptr;
  bool Empty() const {
    return Access == otxDefault && Adjust == otaDefault && Color == clTblColorNotSet && !Font && !Cell;
  }
};

// The table's per-cell overrides: a sparse array of rows, each a sparse array of records by column.
class TVxTableCells : public TVxTableObject {
 public:
  explicit TVxTableCells(TVxTableAncestor* table) : table_(table) {}
  ~TVxTableCells() override;
  TVxTableCells(const TVxTableCells&) = delete;
  TVxTableCells& operator=(const TVxTableCells&) = delete;

  TVxTblAccess Access(int Row, int Col) const;
  void SetAccess(int Row, int Col, TVxTblAccess value);
  TVxTblAdjust Adjust(int Row, int Col) const;
  void SetAdjust(int Row, int Col, TVxTblAdjust value);
  tk::TColor Color(int Row, int Col) const;
  void SetColor(int Row, int Col, tk::TColor value);
  const tk::Font* Font(int Row, int Col) const;
  // Keeps a private copy of the font; null frees it.
  void SetFont(int Row, int Col, const tk::Font* value);
  TVxBaseTableCell* Cell(int Row, int Col) const;
  // Takes a cell that is null, unused, or already used by this table; others are refused.
  void SetCell(int Row, int Col, TVxBaseTableCell* value);

  // A copy of the record (its font still the matrix's), or an empty record.
  TVxSparseAttr ResolveFullAttr(int Row, int Col) const;
  void ResetCell(int Row, int Col);
  void InsertRow(int Row);
  void DeleteRow(int Row);
  void ExchangeRows(int RowA, int RowB);
  void InsertCol(int Col);
  void DeleteCol(int Col);
  void ExchangeCols(int ColA, int ColB);
  // Every record naming the cell drops it.
  void tcNotifyCellDeletion(TVxBaseTableCell* cell);

  int RecordCount() const { return count_; }
  TVxTableAncestor* Table() const { return table_; }

  std::function<void(TVxTableCells* sender)> OnChange;

 private:
  TVxSparseAttr* Find(int Row, int Col) const;
  TVxSparseAttr& Make(int Row, int Col);
  // Deletes the record when it has become empty.
  void Tidy(int Row, int Col);
  void FreeRecord(TVxSparseAttr* record);
  void FreeRow(TVxSparseArray* row);
  void Changed();

  TVxTableAncestor* table_;
  TVxSparseArray rows_;
  int count_ = 0;
};

// A set of square check glyphs side by side in one bitmap, shared between the sets that use the same
// bitmap; by default the library's "VXTCCHECKGLYPHS".
class TVxCellGlyphs : public TVxTableObject {
 public:
  TVxCellGlyphs();
  ~TVxCellGlyphs() override;
  TVxCellGlyphs(const TVxCellGlyphs&) = delete;
  TVxCellGlyphs& operator=(const TVxCellGlyphs&) = delete;

  const QImage& BitMap() const;
  // A private copy of the bitmap; null returns to the default.
  void SetBitMap(const QImage* bitmap);
  // Shares the source's bitmap; null returns to the default.
  void Assign(const TVxCellGlyphs* source);
  bool IsDefault() const;
  // True returns to the default bitmap, false makes a private copy of the current one.
  void SetIsDefault(bool value);
  int GlyphCount() const { return glyphCount_; }
  void SetGlyphCount(int value);
  int ActiveGlyphCount() const { return activeGlyphCount_; }
  // Only 1 .. GlyphCount is taken.
  void SetActiveGlyphCount(int value);

  std::function<void(TVxCellGlyphs* sender)> OnChange;

 private:
  friend class TGlyphResourceManager;
  struct Entry;
  void Use(Entry* entry);
  void CalcCounts();
  void Changed();

  Entry* entry_ = nullptr;
  int glyphCount_ = 1;
  int activeGlyphCount_ = 1;
};

// The process's chain of shared glyph bitmaps and the default entry, which it holds once itself.
class TGlyphResourceManager {
 public:
  static TGlyphResourceManager& Instance();
  // Shared entries in the chain (the default entry is not one of them).
  int SharedCount() const;
  int DefaultRefCount() const;

 private:
  friend class TVxCellGlyphs;
  TGlyphResourceManager();
  ~TGlyphResourceManager();
  TVxCellGlyphs::Entry* Default() { return default_; }
  TVxCellGlyphs::Entry* MakeShared(const QImage& bitmap);
  bool InChain(const TVxCellGlyphs::Entry* entry) const;
  void Acquire(TVxCellGlyphs::Entry* entry);
  void Release(TVxCellGlyphs::Entry* entry);

  TVxCellGlyphs::Entry* chain_ = nullptr;
  TVxCellGlyphs::Entry* default_ = nullptr;
};

}  // namespace controls
