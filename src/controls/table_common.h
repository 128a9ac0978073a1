#pragma once
// What the table grid, its cell components and its layout objects share: enumerations and sets, the
// resolved-attribute record, display arrays, event signatures, the private messages between a table and its
// cells, the table exception, and the two roots: TVxTableCellAncestor (every cell component) and
// TVxTableAncestor (the table, which keeps the registry of the cells it uses and streams it as "CellData").
//
// How the table control is meant to use these classes:
// - TVxCustomTable derives from TVxTableAncestor and implements tbCellChanged (repaint inside a redraw lock),
//   FilterKey (classify a key for a cell editor) and ResolveCellAttributes (column, row and per-cell overrides
//   from its TVxTableCells, then the Colors of table_colors.h). Its Dispatch answers ctimQueryOptions and
//   ctimQueryLockedCols .. ctimQueryActiveRow, forgets a cell on ctimRemoveCell, and handles the edit and
//   load messages it posts to itself; the ancestor already answers ctimQueryColor and ctimQueryFont.
// - Cells (table_cell.h, table_cells.h) are plain components on the form. A column's default cell, a
//   per-cell override in TVxTableCells or the locked-rows cell takes a reference (AttachAndIncRefs: an
//   unused cell joins the table first; UsedByOtherTable refuses the others); the first reference registers
//   the cell here (tbIncludeCell), the last one deregisters it. The table never frees a cell. A cell that is destroyed
//   calls Notification(cell, Remove) on its table while it is still a whole cell, so the table can drop it from its
//   columns (TVxTableColumns::tcNotifyCellDeletion), its matrix (TVxTableCells::tcNotifyCellDeletion) and
//   LockedRowsCell; the removal the form forwards later finds nothing left to do.
// - Painting a cell: start a TVxCellAttributes with the scratch font set to the table's font, let the cell's
//   ResolveAttributes fill it (it calls back into ResolveCellAttributes), fetch the data (OnGetCellData) and
//   call the cell's Paint. Editing goes through the cell's StartEditing, EditHandle, EditMove, EditHide,
//   CanSaveEditedData, SaveEditedData and StopEditing; the table shows EditHandle() itself, and hands the
//   starting click on (ctimStartEditMouse) only when the cell's AcceptActivationClick says so. Editors post
//   the keys the table asks for (FilterKey) to it as WM_KEYDOWN messages.
// - Streaming: DefineProperties writes "CellData" (call the inherited one first, then "RowData" and
//   "ColData" with TVxStreamList). Names read from a stream wait until tbResolveCellLinks runs, when the
//   window is made (post ctimLoadDefaultCells) or before the form is written again; override it to also end
//   the columns' loading mode (TVxTableColumns::StopLoading) and to register default cells.
// - Rows and columns (table_rows_cols.h), colours, grid pens, selection list and invalid-cell array
//   (table_colors.h) report changes through the handlers the table installs.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "controls/base.h"
#include "tk/exception.h"
#include "tk/filer.h"
#include "tk/font.h"
#include "tk/message.h"
#include "tk/types.h"

namespace controls {

// The common root of the table's companion objects (rows, columns, colours, pens): what their change
// notifications pass as the sender.
class TVxTableObject {
 public:
  virtual ~TVxTableObject() = default;
};

enum TVxTblAccess : std::uint8_t { otxDefault, otxNormal, otxReadOnly, otxInvisible };
enum TVxTblAdjust : std::uint8_t {
  otaDefault,
  otaTopLeft,
  otaTopCenter,
  otaTopRight,
  otaCenterLeft,
  otaCenter,
  otaCenterRight,
  otaBottomLeft,
  otaBottomCenter,
  otaBottomRight,
};
enum TVxTblEditorStyle : std::uint8_t { tesNormal, tesBorder, tes3D };
enum TVxTblState : std::uint8_t {
  otsFocused,
  otsUnfocused,
  otsDesigning,
  otsNormal,
  otsEditing,
  otsHiddenEdit,
  otsMouseSelect,
  otsShowSize,
  otsSizing,
  otsShowMove,
  otsMoving,
  otsDoingRow,
  otsDoingCol,
  otsANOther,
};
enum TVxTblKeyNeeds : std::uint8_t { otkDontCare, otkWouldLike, otkMustHave };
enum TVxTblRegion : std::uint8_t { otrInMain, otrInLocked, otrInUnused, otrOutside };
enum TVxTblOption : std::uint8_t {
  otoBrowseRow,
  otoNoRowResizing,
  otoNoColResizing,
  otoTabToArrow,
  otoEnterToArrow,
  otoAlwaysEditing,
  otoNoSelection,
  otoMouseDragSelect,
  otoRowSelection,
  otoColSelection,
  otoThumbTrack,
  otoAllowColMoves,
  otoAllowRowMoves,
};
enum TVxScrollBar : std::uint8_t { otsbVertical, otsbHorizontal };
enum TVxTblActions : std::uint8_t { taGeneral, taSingle, taAll, taInsert, taDelete, taExchange };
enum TVxCellDataPurpose : std::uint8_t { cdpForPaint, cdpForEdit, cdpForSave };
enum TVxTextStyle : std::uint8_t { tsFlat, tsRaised, tsLowered };
enum TVxTblSelectionType : std::uint8_t { tstDeselectAll, tstAdditional };

// A set of enumeration members, one bit each (member n is bit n), as the original's set types.
template <class E, class Bits>
class TVxSet {
 public:
  constexpr TVxSet() = default;
  constexpr TVxSet(std::initializer_list<E> members) {
    for (E e : members) bits_ |= Bit(e);
  }
  static constexpr TVxSet FromBits(Bits bits) {
    TVxSet s;
    s.bits_ = bits;
    return s;
  }
  constexpr Bits ToBits() const { return bits_; }
  constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  TVxSet& Include(E e) {
    bits_ = static_cast<Bits>(bits_ | Bit(e));
    return *this;
  }
  TVxSet& Exclude(E e) {
    bits_ = static_cast<Bits>(bits_ & ~Bit(e));
    return *this;
  }
  friend constexpr TVxSet operator+(TVxSet a, TVxSet b) { return FromBits(static_cast<Bits>(a.bits_ | b.bits_)); }
  friend constexpr TVxSet operator-(TVxSet a, TVxSet b) { return FromBits(static_cast<Bits>(a.bits_ & ~b.bits_)); }
  friend constexpr TVxSet operator*(TVxSet a, TVxSet b) { return FromBits(static_cast<Bits>(a.bits_ & b.bits_)); }
  friend constexpr bool operator==(TVxSet, TVxSet) = default;

 private:
  static constexpr Bits Bit(E e) { return static_cast<Bits>(Bits{1} << static_cast<unsigned>(e)); }
  Bits bits_ = 0;
};

using TVxTblStates = TVxSet<TVxTblState, std::uint16_t>;
// Stored in two bytes: ctimQueryOptions answers these bits.
using TVxTblOptionSet = TVxSet<TVxTblOption, std::uint16_t>;

// The colour value by which an attribute override says it sets no colour.
inline constexpr tk::TColor clTblColorNotSet = 0x02FFFFFF;

// The attributes of one cell, filled before it is painted or edited. Font belongs to the caller: resolving
// assigns into it, never replaces it.
struct TVxCellAttributes {
  TVxTblAccess Access = otxDefault;
  TVxTblAdjust Adjust = otaDefault;
  tk::TColor Color = 0;
  tk::Font* Font = nullptr;
  tk::TColor FontColor = 0;
  tk::TColor FontHiColor = 0;
  TVxTextStyle TextStyle = tsFlat;
};

struct TVxTblDisplayItem {
  std::int32_t Number = 0;  // row or column number
  std::int32_t Offset = 0;  // pixel position of its top or left edge
};

// The rows (or columns) on screen, in screen order. The entry after the last used one holds the end of the
// last row or column in its Offset (the total extent).
struct TVxTblDisplayArray {
  std::uint16_t AllocCount = 0;
  std::uint16_t Count = 0;
  std::vector<TVxTblDisplayItem> Items;  // AllocCount entries
};

inline constexpr int DisplayArrayInitialCount = 11;
inline constexpr int DisplayArrayGrowth = 16;

// Replaces `da` by a block of `count` entries holding the first min(count, old Count) entries; AllocCount
// becomes `count` and Count the number kept. A count of 0 frees the block.
void AssignDisplayArray(std::unique_ptr<TVxTblDisplayArray>& da, int count);
// Appends an entry, growing the block by 16 whenever Count reaches AllocCount (so the extent entry always
// has room); a missing block starts with 11 entries.
void AppendDisplayItem(std::unique_ptr<TVxTblDisplayArray>& da, std::int32_t number, std::int32_t offset);
// The extent entry after the last used one.
void SetDisplayExtent(std::unique_ptr<TVxTblDisplayArray>& da, std::int32_t offset);
std::int32_t DisplayExtent(const TVxTblDisplayArray& da);

// Row or column numbers copied out of a display array: NumElements is the room the caller gives, Count the
// number displayed (even when fewer were copied).
struct TVxTableNumberArray {
  int NumElements = 0;
  int Count = 0;
  std::vector<std::int32_t> Number;
};

struct TRowStyle {
  std::int32_t Height = 0;  // pixels; -1 means the default height
  bool Hidden = false;
  friend bool operator==(const TRowStyle&, const TRowStyle&) = default;
};
inline TRowStyle MakeRowStyle(std::int32_t height, bool hidden) { return {height, hidden}; }

class TVxTableCellAncestor;

// The table's events; every one passes the table as the sender first.
using TCellNotifyEvent = std::function<void(tk::Component* sender, int RowNum, int ColNum)>;
using TCellMoveNotifyEvent =
    std::function<void(tk::Component* sender, std::uint16_t Command, int& RowNum, int& ColNum)>;
using TCellBeginEditNotifyEvent = std::function<void(tk::Component* sender, int RowNum, int ColNum, bool& AllowIt)>;
using TCellEndEditNotifyEvent =
    std::function<void(tk::Component* sender, TVxTableCellAncestor* Cell, int RowNum, int ColNum, bool& AllowIt)>;
using TColNotifyEvent = std::function<void(tk::Component* sender, int ColNum)>;
using TRowNotifyEvent = std::function<void(tk::Component* sender, int RowNum)>;
using TColChangeNotifyEvent =
    std::function<void(tk::Component* sender, int ColNum1, int ColNum2, TVxTblActions Action)>;
using TRowChangeNotifyEvent =
    std::function<void(tk::Component* sender, int RowNum1, int RowNum2, TVxTblActions Action)>;
using TCellDataNotifyEvent =
    std::function<void(tk::Component* sender, int RowNum, int ColNum, void*& Data, TVxCellDataPurpose Purpose)>;
using TCellAttrNotifyEvent =
    std::function<void(tk::Component* sender, int RowNum, int ColNum, TVxCellAttributes& CellAttr)>;
using TSizeCellEditorNotifyEvent = std::function<void(tk::Component* sender, int RowNum, int ColNum, tk::Rect& CellRect,
                                                      TVxTblEditorStyle& CellStyle)>;
using TCellChangeNotifyEvent = std::function<void(tk::Component* sender, int& RowNum, int& ColNum)>;
using TUserCommandEvent = std::function<void(tk::Component* sender, std::uint16_t Command)>;

// Private messages between a table and its cells.
inline constexpr std::uint32_t ctimQueryOptions = 0x4945;
inline constexpr std::uint32_t ctimQueryColor = 0x4946;
inline constexpr std::uint32_t ctimQueryFont = 0x4947;
inline constexpr std::uint32_t ctimQueryLockedCols = 0x4948;
inline constexpr std::uint32_t ctimQueryLockedRows = 0x4949;
inline constexpr std::uint32_t ctimQueryActiveCol = 0x494A;
inline constexpr std::uint32_t ctimQueryActiveRow = 0x494B;
inline constexpr std::uint32_t ctimRemoveCell = 0x494F;
inline constexpr std::uint32_t ctimStartEdit = 0x4950;
inline constexpr std::uint32_t ctimStartEditMouse = 0x4951;
inline constexpr std::uint32_t ctimStartEditKey = 0x4952;
// Posted by a cell editor that gained (wParam: the widget that lost the focus) or lost the focus (wParam: the
// widget that gets it); the table ignores both.
inline constexpr std::uint32_t ctimEditorGotFocus = 0x4953;
inline constexpr std::uint32_t ctimEditorLostFocus = 0x4954;
inline constexpr std::uint32_t ctimLoadDefaultCells = 0x4959;

// Key and mouse messages of the platform, as cells pass keys on to their table.
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;
inline constexpr std::uint32_t WM_KEYUP = 0x0101;
inline constexpr std::uint32_t WM_CHAR = 0x0102;
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;

class EVxTable : public tk::Exception {
 public:
  using tk::Exception::Exception;
};

[[noreturn]] void TableError(const std::string& message);
// With the library string of that identifier ("Unknown" when the library holds none).
[[noreturn]] void TableErrorRes(int id);

// a * b / c rounded to the nearest, computed without overflow; -1 when c is 0, as the platform's MulDiv.
int MulDiv(int a, int b, int c);

// A list value of a form stream (integers, booleans and strings in order), carried as one binary property
// in the original's value encoding. "CellData", "RowData" and "ColData" are such lists.
class TVxStreamList {
 public:
  void AddInteger(std::int32_t value) { items_.emplace_back(std::int64_t{value}); }
  void AddBoolean(bool value) { items_.emplace_back(value); }
  void AddString(const std::string& value) { items_.emplace_back(value); }
  const std::vector<tk::Value>& Items() const { return items_; }
  int Count() const { return static_cast<int>(items_.size()); }
  // Typed reads; a value of another kind throws EReadError "Invalid property value".
  std::int32_t Integer(int index) const;
  bool Boolean(int index) const;
  const std::string& String(int index) const;

  tk::Binary Encode() const;
  // Throws EReadError "Invalid property value" on anything it cannot read.
  static TVxStreamList Decode(const tk::Binary& bytes);

 private:
  const tk::Value& At(int index) const;
  std::vector<tk::Value> items_;
};

// How the table and its columns write a cell: the owner's name, "." and the cell's name; the cell's name
// alone when the owner has no name.
std::string StoredCellName(const tk::Component& cell);
// Resolves names written by StoredCellName against the forms, last entry first. The owner part (the host's
// name when there is no ".") matches `host` (the table's form, may be null) when the host has no name, has
// that name, or has it once cut before its last "_" (a second instance of a form); the cell part is looked up
// among the host's components and handed to `take`, which answers whether it took it. Entries still left are
// matched against every form of the application by exact name. Taken entries are removed from `names`;
// `take` gets each entry's index in `names` as it stood before.
void ResolveStoredCellNames(tk::Form* host, std::vector<std::string>& names,
                            const std::function<bool(std::size_t index, tk::Component* component)>& take);

class TVxTableAncestor;

// The root of every cell component.
class TVxTableCellAncestor : public tk::Component {
 public:
  using TCfgChangedEvent = std::function<void(TVxTableCellAncestor* sender)>;

  explicit TVxTableCellAncestor(tk::Component* owner) : tk::Component(owner) {}
  std::string ClassName() const override { return "TVxTableCellAncestor"; }

  // The cell re-reads what it copies from its table.
  virtual void tcResetTableValues() = 0;
  virtual void tcChangeScale(int /*M*/, int /*D*/) {}
  // Calls OnCfgChanged with the cell as sender when it is bound.
  void tcDoCfgChanged();

  // Bound by the table when the cell is registered: the table repaints.
  TCfgChangedEvent OnCfgChanged;
};

// The root of the table control: the registry of the cell components the table uses and its streaming.
class TVxTableAncestor : public TVxCustomControlEx {
 public:
  explicit TVxTableAncestor(tk::Component* owner, QWidget* parent = nullptr);
  ~TVxTableAncestor() override;
  std::string ClassName() const override { return "TVxTableAncestor"; }

  virtual void tbCellChanged(TVxTableCellAncestor* sender) = 0;
  virtual TVxTblKeyNeeds FilterKey(tk::Message& msg) = 0;
  virtual void ResolveCellAttributes(int RowNum, int ColNum, TVxCellAttributes& CellAttr) = 0;

  // Nil is ignored; a registered cell keeps its place; a new one is appended and bound to tbCellChanged.
  void tbIncludeCell(TVxTableCellAncestor* cell);
  void tbExcludeCell(TVxTableCellAncestor* cell);
  void tbNotifyCellsOfTableChange();
  const std::vector<TVxTableCellAncestor*>& CellList() const { return cells_; }

  // Inherited scaling (bounds and font), then every cell's tcChangeScale when M differs from D.
  virtual void ChangeScale(int M, int D);

  // Names read from "CellData" and not yet resolved; null when none wait.
  const std::vector<std::string>* LoadList() const { return loadList_.get(); }
  // Resolves the load list into the cell list and frees it.
  void tbFinishLoadingCellList();

  void DefineProperties(tk::Filer& filer) override;
  void Loaded() override;
  void Notification(tk::Component* component, tk::Operation operation) override;
  void Dispatch(tk::Message& message) override;

 protected:
  // Resolves every cell link that waits after loading; the table adds its columns' default cells.
  virtual void tbResolveCellLinks() { tbFinishLoadingCellList(); }

 private:
  TVxStreamList WriteCellData();
  void ReadCellData(const TVxStreamList& list);

  std::vector<TVxTableCellAncestor*> cells_;
  std::unique_ptr<std::vector<std::string>> loadList_;
};

}  // namespace controls
