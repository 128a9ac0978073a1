// What the table writes into a form stream: its published properties and the "RowData" and "ColData" lists,
// and the cell links it resolves once loaded.
#include <algorithm>
#include <iterator>

#include "controls/misc.h"
#include "controls/table.h"
#include "tk/filer.h"

namespace controls {

// rows, columns and cell links

TVxStreamList TVxCustomTable::WriteRowData() const {
  TVxStreamList list;
  list.AddInteger(rows_->DefHeight());
  for (int r = 0; r < RowLimit(); ++r) {
    if (!rows_->RowIsSpecial(r)) continue;
    const TRowStyle style = rows_->Row(r);
    list.AddInteger(r);
    list.AddBoolean(style.Hidden);
    list.AddInteger(style.Height);
  }
  return list;
}

void TVxCustomTable::ReadRowData(const TVxStreamList& list) {
  rows_->Clear();
  if (list.Count() == 0) return;
  rows_->SetDefHeight(list.Integer(0));
  for (int i = 1; i + 2 < list.Count(); i += 3) {
    const int row = list.Integer(i);
    const bool hidden = list.Boolean(i + 1);
    const int height = list.Integer(i + 2);
    if (row >= 0 && row < RowLimit()) rows_->SetRow(row, MakeRowStyle(height, hidden));
  }
}

TVxStreamList TVxCustomTable::WriteColData() {
  if (LoadList() || columns_->IsLoading()) tbResolveCellLinks();
  TVxStreamList list;
  for (int c = 0; c < ColCount(); ++c) {
    const TVxTableColumn* column = columns_->Col(c);
    list.AddInteger(column->Width());
    list.AddBoolean(column->Hidden());
    list.AddBoolean(column->DefaultCell() != nullptr);
    if (column->DefaultCell()) list.AddString(StoredCellName(*column->DefaultCell()));
  }
  return list;
}

void TVxCustomTable::ReadColData(const TVxStreamList& list) {
  TableRedrawLock lock(*this);
  columns_->Clear();
  std::vector<TVxPendingCell>& names = columns_->StartLoading();
  for (int i = 0; i < list.Count();) {
    auto column = columns_->ColumnClass().Create(this);
    column->SetWidth(list.Integer(i));
    column->SetHidden(list.Boolean(i + 1));
    const bool hasCell = list.Boolean(i + 2);
    i += 3;
    if (hasCell) names.push_back({list.String(i++), column.get()});
    columns_->Append(std::move(column));
  }
}

void TVxCustomTable::DefineProperties(tk::Filer& filer) {
  TVxTableAncestor::DefineProperties(filer);
  filer.DefineBinaryProperty(
      "RowData", [this](const tk::Binary& bytes) { ReadRowData(TVxStreamList::Decode(bytes)); },
      [this] { return WriteRowData().Encode(); }, true);
  filer.DefineBinaryProperty(
      "ColData", [this](const tk::Binary& bytes) { ReadColData(TVxStreamList::Decode(bytes)); },
      [this] { return WriteColData().Encode(); }, true);
}

void TVxCustomTable::tbResolveCellLinks() {
  TableRedrawLock lock(*this);
  tbFinishLoadingCellList();
  columns_->StopLoading();
  if (!CellList().empty()) return;
  if (lockedRowsCell_) tbIncludeCell(lockedRowsCell_);
  for (int c = 0; c < ColCount(); ++c)
    if (TVxBaseTableCell* cell = columns_->DefaultCell(c)) tbIncludeCell(cell);
}

void TVxCustomTable::Loaded() {
  TVxTableAncestor::Loaded();
  // A stream may carry locked counts the row limit or column count never reached.
  TVxTableAxis& rows = layout_.RowAxis();
  TVxTableAxis& cols = layout_.ColAxis();
  rows.Locked = std::clamp(rows.Locked, 0, std::max(0, RowLimit() - 1));
  cols.Locked = std::clamp(cols.Locked, 0, std::max(0, ColCount() - 1));
  rows.First = std::max(rows.First, rows.Locked);
  cols.First = std::max(cols.First, cols.Locked);
  selection_.SetRowCount(RowLimit());
  selection_.SetColCount(ColCount());
  tbClampBlocks();
  if (!HandleAllocated()) {
    layout_.RowAxis().CalcLastPage();
    layout_.ColAxis().CalcLastPage();
    return;
  }
  TableRedrawLock lock(*this);
  tbRebuildArrays();
  tbSetScrollRange(otsbVertical);
  tbSetScrollRange(otsbHorizontal);
  SetTopLeftCell(TopRow(), LeftCol());
  SetActiveCell(activeRow_, activeCol_);
  InvalidateTable();
}

// the published form

namespace {

const char* const kAccessNames[] = {"otxDefault", "otxNormal", "otxReadOnly", "otxInvisible"};
const char* const kAdjustNames[] = {"otaDefault",      "otaTopLeft",    "otaTopCenter",   "otaTopRight",
                                    "otaCenterLeft",   "otaCenter",     "otaCenterRight", "otaBottomLeft",
                                    "otaBottomCenter", "otaBottomRight"};
const char* const kBorderStyleNames[] = {"bsNone", "bsSingle"};
const char* const kScrollStyleNames[] = {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"};
const char* const kOptionNames[] = {"otoBrowseRow",    "otoNoRowResizing", "otoNoColResizing", "otoTabToArrow",
                                    "otoEnterToArrow", "otoAlwaysEditing", "otoNoSelection",   "otoMouseDragSelect",
                                    "otoRowSelection", "otoColSelection",  "otoThumbTrack",    "otoAllowColMoves",
                                    "otoAllowRowMoves"};
const char* const kEffectNames[] = {"geNone", "geVertical", "geHorizontal", "geBoth", "ge3D"};
const char* const kPenStyleNames[] = {"psSolid",      "psDash",  "psDot",        "psDashDot",
                                      "psDashDotDot", "psClear", "psInsideFrame"};

using T = TVxTable;

// A colour of the table's colour set, by its getter and setter.
tk::PropertyInfo ColorProperty(const std::string& name, tk::TColor (TVxTableColors::*get)() const,
                               void (TVxTableColors::*set)(tk::TColor), tk::TColor def) {
  tk::PropertyInfo p;
  p.Name = "Colors." + name;
  p.Get = [get](const tk::Component& c) {
    return tk::Value(static_cast<std::int64_t>((dynamic_cast<const T&>(c).Colors().*get)()));
  };
  p.Set = [set](tk::Component& c, const tk::Value& v) {
    (dynamic_cast<T&>(c).Colors().*set)(tk::detail::FromValue<tk::TColor>(v));
  };
  p.Default = tk::Value(static_cast<std::int64_t>(def));
  return p;
}

// The four values of one grid pen, with that pen's defaults.
void PenProperties(tk::PropertyList& list, const std::string& name, TVxGridPen& (TVxGridPenSet::*pen)(),
                   const TVxGridPen& defaults) {
  auto get = [pen](const tk::Component& c) -> const TVxGridPen& {
    return (const_cast<TVxGridPenSet&>(dynamic_cast<const T&>(c).GridPenSet()).*pen)();
  };
  auto target = [pen](tk::Component& c) -> TVxGridPen& { return (dynamic_cast<T&>(c).GridPenSet().*pen)(); };
  const std::string prefix = "GridPenSet." + name + ".";
  tk::PropertyInfo normal;
  normal.Name = prefix + "NormalColor";
  normal.Get = [get](const tk::Component& c) { return tk::Value(static_cast<std::int64_t>(get(c).NormalColor())); };
  normal.Set = [target](tk::Component& c, const tk::Value& v) {
    target(c).SetNormalColor(tk::detail::FromValue<tk::TColor>(v));
  };
  normal.Default = tk::Value(static_cast<std::int64_t>(defaults.NormalColor()));
  list.push_back(normal);
  tk::PropertyInfo second;
  second.Name = prefix + "SecondColor";
  second.Get = [get](const tk::Component& c) { return tk::Value(static_cast<std::int64_t>(get(c).SecondColor())); };
  second.Set = [target](tk::Component& c, const tk::Value& v) {
    target(c).SetSecondColor(tk::detail::FromValue<tk::TColor>(v));
  };
  second.Default = tk::Value(static_cast<std::int64_t>(defaults.SecondColor()));
  list.push_back(second);
  auto named = [](std::span<const char* const> names, int index, const std::string& prefixed, auto getter,
                  auto setter) {
    tk::PropertyInfo p;
    p.Name = prefixed;
    p.Get = [names, getter](const tk::Component& c) {
      const auto i = static_cast<std::size_t>(getter(c));
      return tk::Value(tk::Ident{i < names.size() ? names[i] : ""});
    };
    p.Set = [names, setter](tk::Component& c, const tk::Value& v) {
      const std::string& text = tk::detail::Get<tk::Ident>(v).Name;
      for (std::size_t i = 0; i < names.size(); ++i)
        if (text == names[i]) return setter(c, static_cast<int>(i));
      tk::detail::InvalidPropertyValue();
    };
    p.Default = tk::Value(tk::Ident{names[static_cast<std::size_t>(index)]});
    return p;
  };
  list.push_back(named(
      kPenStyleNames, static_cast<int>(defaults.Style()), prefix + "Style",
      [get](const tk::Component& c) { return static_cast<int>(get(c).Style()); },
      [target](tk::Component& c, int i) { target(c).SetStyle(static_cast<tk::PenStyle>(i)); }));
  list.push_back(named(
      kEffectNames, static_cast<int>(defaults.Effect()), prefix + "Effect",
      [get](const tk::Component& c) { return static_cast<int>(get(c).Effect()); },
      [target](tk::Component& c, int i) { target(c).SetEffect(static_cast<TGridEffect>(i)); }));
}

tk::ComponentRef LockedRowsCellRef(const T& table) { return {table.LockedRowsCell()}; }

}  // namespace

std::string TVxTable::OptionsText() const {
  std::string text;
  for (std::size_t i = 0; i < std::size(kOptionNames); ++i) {
    if (!Options().Contains(static_cast<TVxTblOption>(i))) continue;
    if (!text.empty()) text += ",";
    text += kOptionNames[i];
  }
  return text;
}

void TVxTable::SetOptionsText(const std::string& text) {
  TVxTblOptionSet options;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    const std::string name = TrimRight(TrimLeft(text.substr(start, end - start)));
    bool known = false;
    for (std::size_t i = 0; i < std::size(kOptionNames); ++i)
      if (name == kOptionNames[i]) {
        options.Include(static_cast<TVxTblOption>(i));
        known = true;
      }
    if (!known) throw tk::EReadError("Invalid property value");
    start = end + 1;
  }
  SetOptions(options);
}

void TVxTable::GetProperties(tk::PropertyList& list) const {
  TVxCustomTable::GetProperties(list);
  list.push_back(tk::MakeEnumProperty<T>("Access", &T::Access, &T::SetAccess, kAccessNames, otxNormal));
  list.push_back(tk::MakeEnumProperty<T>("Adjust", &T::Adjust, &T::SetAdjust, kAdjustNames, otaCenterLeft));
  list.push_back(tk::MakeEnumProperty<T>("BorderStyle", &T::BorderStyle, &T::SetBorderStyle, kBorderStyleNames, 1));
  list.push_back(tk::MakeEnumProperty<T>("ScrollBars", &T::ScrollBars, &T::SetScrollBars, kScrollStyleNames, 3));
  list.push_back(tk::MakeProperty<T>("Ctl3D", &T::Ctl3D, &T::SetCtl3D, tk::Value(true)));
  list.push_back(tk::MakeProperty<T>("RowLimit", &T::RowLimit, &T::SetRowLimit, tk::Value(std::int64_t{10})));
  list.push_back(tk::MakeProperty<T>("LockedRows", &T::LockedRows, &T::SetLockedRows, tk::Value(std::int64_t{1})));
  list.push_back(tk::MakeProperty<T>("LockedCols", &T::LockedCols, &T::SetLockedCols, tk::Value(std::int64_t{1})));
  list.push_back(tk::MakeProperty<T>("TopRow", &T::TopRow, &T::SetTopRow, tk::Value(std::int64_t{1})));
  list.push_back(tk::MakeProperty<T>("LeftCol", &T::LeftCol, &T::SetLeftCol, tk::Value(std::int64_t{1})));
  list.push_back(tk::MakeProperty<T>("ActiveRow", &T::ActiveRow, &T::SetActiveRow, tk::Value(std::int64_t{1})));
  list.push_back(tk::MakeProperty<T>("ActiveCol", &T::ActiveCol, &T::SetActiveCol, tk::Value(std::int64_t{1})));
  list.push_back(tk::MakeProperty<T>("Color", &T::Color, &T::SetColor, tk::Value(std::int64_t{tk::clBtnFace})));
  list.push_back(
      tk::MakeProperty<T>("ColorUnused", &T::ColorUnused, &T::SetColorUnused, tk::Value(std::int64_t{tk::clWindow})));
  const TVxTableColors colorDefaults;
  list.push_back(ColorProperty("ActiveFocused", &TVxTableColors::ActiveFocused, &TVxTableColors::SetActiveFocused,
                               colorDefaults.ActiveFocused()));
  list.push_back(ColorProperty("ActiveFocusedText", &TVxTableColors::ActiveFocusedText,
                               &TVxTableColors::SetActiveFocusedText, colorDefaults.ActiveFocusedText()));
  list.push_back(ColorProperty("ActiveUnfocused", &TVxTableColors::ActiveUnfocused, &TVxTableColors::SetActiveUnfocused,
                               colorDefaults.ActiveUnfocused()));
  list.push_back(ColorProperty("ActiveUnfocusedText", &TVxTableColors::ActiveUnfocusedText,
                               &TVxTableColors::SetActiveUnfocusedText, colorDefaults.ActiveUnfocusedText()));
  list.push_back(
      ColorProperty("Editing", &TVxTableColors::Editing, &TVxTableColors::SetEditing, colorDefaults.Editing()));
  list.push_back(ColorProperty("EditingText", &TVxTableColors::EditingText, &TVxTableColors::SetEditingText,
                               colorDefaults.EditingText()));
  list.push_back(ColorProperty("Locked", &TVxTableColors::Locked, &TVxTableColors::SetLocked, colorDefaults.Locked()));
  list.push_back(ColorProperty("LockedText", &TVxTableColors::LockedText, &TVxTableColors::SetLockedText,
                               colorDefaults.LockedText()));
  list.push_back(
      ColorProperty("Selected", &TVxTableColors::Selected, &TVxTableColors::SetSelected, colorDefaults.Selected()));
  list.push_back(ColorProperty("SelectedText", &TVxTableColors::SelectedText, &TVxTableColors::SetSelectedText,
                               colorDefaults.SelectedText()));
  const TVxGridPenSet penDefaults;
  PenProperties(list, "NormalGrid", &TVxGridPenSet::NormalGrid, penDefaults.NormalGrid());
  PenProperties(list, "LockedGrid", &TVxGridPenSet::LockedGrid, penDefaults.LockedGrid());
  PenProperties(list, "CellWhenFocused", &TVxGridPenSet::CellWhenFocused, penDefaults.CellWhenFocused());
  PenProperties(list, "CellWhenUnfocused", &TVxGridPenSet::CellWhenUnfocused, penDefaults.CellWhenUnfocused());
  tk::PropertyInfo lockedRowsCell;
  lockedRowsCell.Name = "LockedRowsCell";
  lockedRowsCell.Get = [](const tk::Component& c) { return tk::Value(LockedRowsCellRef(dynamic_cast<const T&>(c))); };
  lockedRowsCell.Set = [](tk::Component& c, const tk::Value& v) {
    dynamic_cast<T&>(c).SetLockedRowsCell(dynamic_cast<TVxBaseTableCell*>(tk::detail::Get<tk::ComponentRef>(v).Target));
  };
  lockedRowsCell.Default = tk::Value(tk::ComponentRef{});
  list.push_back(lockedRowsCell);
  list.push_back(tk::MakeProperty<T>("Options", &T::OptionsText, &T::SetOptionsText, tk::Value(std::string())));
  list.push_back(tk::MakeProperty<T>("TabStop", &T::TabStop, &T::SetTabStop, tk::Value(true)));
}

}  // namespace controls
