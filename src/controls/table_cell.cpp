#include "controls/table_cell.h"

#include <algorithm>

#include "controls/misc.h"
#include "controls/version.h"

namespace controls {

namespace {
const char* const kAccessNames[] = {"otxDefault", "otxNormal", "otxReadOnly", "otxInvisible"};
const char* const kAdjustNames[] = {"otaDefault",      "otaTopLeft",    "otaTopCenter",   "otaTopRight",
                                    "otaCenterLeft",   "otaCenter",     "otaCenterRight", "otaBottomLeft",
                                    "otaBottomCenter", "otaBottomRight"};
const char* const kTextStyleNames[] = {"tsFlat", "tsRaised", "tsLowered"};
}  // namespace

// cell base

TVxBaseTableCell::TVxBaseTableCell(tk::Component* owner) : TVxTableCellAncestor(owner) {}

TVxBaseTableCell::~TVxBaseTableCell() {
  // Tell the table while this is still a whole cell, so it can drop every reference by type.
  if (table_ && !table_->Destroying()) table_->Notification(this, tk::Operation::Remove);
}

std::string TVxBaseTableCell::About() const { return VxVersionText; }

void TVxBaseTableCell::SetAccess(TVxTblAccess value) {
  if (value == access_) return;
  access_ = value;
  tcDoCfgChanged();
}

void TVxBaseTableCell::SetAdjust(TVxTblAdjust value) {
  if (value == adjust_) return;
  adjust_ = value;
  tcDoCfgChanged();
}

void TVxBaseTableCell::SetColor(tk::TColor value) {
  if (value == color_ && !tableColor_) return;
  color_ = value;
  tableColor_ = false;
  colorPending_ = false;
  tcDoCfgChanged();
}

void TVxBaseTableCell::SetFont(const tk::Font& value) {
  if (value == font_ && !tableFont_) return;
  font_ = value;
  tableFont_ = false;
  fontPending_ = false;
  tcDoCfgChanged();
}

void TVxBaseTableCell::SetMargin(int value) {
  if (value < 0 || value == margin_) return;
  margin_ = value;
  tcDoCfgChanged();
}

void TVxBaseTableCell::SetTableColor(bool value) {
  if (value == tableColor_) return;
  tableColor_ = value;
  colorPending_ = value;
  FetchColor();
  tcDoCfgChanged();
}

void TVxBaseTableCell::SetTableFont(bool value) {
  if (value == tableFont_) return;
  tableFont_ = value;
  fontPending_ = value;
  FetchFont();
  tcDoCfgChanged();
}

void TVxBaseTableCell::SetTextHiColor(tk::TColor value) {
  if (value == textHiColor_) return;
  textHiColor_ = value;
  tcDoCfgChanged();
}

void TVxBaseTableCell::SetTextStyle(TVxTextStyle value) {
  if (value == textStyle_) return;
  textStyle_ = value;
  tcDoCfgChanged();
}

bool TVxBaseTableCell::TableReady() const { return table_ && table_->HandleAllocated(); }

std::intptr_t TVxBaseTableCell::QueryTable(std::uint32_t msg) {
  return TableReady() ? tk::SendMessage(*table_, msg) : 0;
}

void TVxBaseTableCell::FetchColor() {
  if (!tableColor_ || !colorPending_ || !TableReady()) return;
  color_ = static_cast<tk::TColor>(QueryTable(ctimQueryColor));
  colorPending_ = false;
}

void TVxBaseTableCell::FetchFont() {
  if (!tableFont_ || !fontPending_ || !TableReady()) return;
  if (const auto* font = reinterpret_cast<const tk::Font*>(QueryTable(ctimQueryFont))) font_ = *font;
  fontPending_ = false;
}

tk::TColor TVxBaseTableCell::GetColor() {
  FetchColor();
  return color_;
}

const tk::Font& TVxBaseTableCell::GetFont() {
  FetchFont();
  return font_;
}

void TVxBaseTableCell::tcResetTableValues() {
  colorPending_ = tableColor_;
  fontPending_ = tableFont_;
  FetchColor();
  FetchFont();
}

void TVxBaseTableCell::tcChangeScale(int M, int D) {
  if (M == D || tableFont_) return;
  if (font_.Size() > 0)
    font_.SetSize(MulDiv(font_.Size(), M, D));
  else
    font_.SetHeight(MulDiv(font_.Height(), M, D));
}

void TVxBaseTableCell::SetTable(TVxTableAncestor* table) {
  if (table == table_) return;
  if (TVxTableAncestor* old = table_) {
    if (old->HandleAllocated()) tk::SendMessage(*old, ctimRemoveCell, 0, reinterpret_cast<std::intptr_t>(this));
    // The table may have released this cell meanwhile; it never keeps one that moves elsewhere.
    old->tbExcludeCell(this);
  }
  table_ = table;
  refCount_ = 0;
  OnCfgChanged = nullptr;
  if (table_) FreeNotification(table_);
  tcResetTableValues();
}

void TVxBaseTableCell::SetTableRef(tk::ComponentRef ref) { SetTable(dynamic_cast<TVxTableAncestor*>(ref.Target)); }

void TVxBaseTableCell::IncRefs() {
  ++refCount_;
  if (refCount_ == 1 && table_) table_->tbIncludeCell(this);
}

void TVxBaseTableCell::DecRefs() {
  if (refCount_ == 0) return;
  if (--refCount_ > 0) return;
  if (table_) table_->tbExcludeCell(this);
  table_ = nullptr;
  OnCfgChanged = nullptr;
}

void TVxBaseTableCell::AttachAndIncRefs(TVxTableAncestor* table) {
  if (refCount_ == 0) SetTable(table);
  IncRefs();
}

void TVxBaseTableCell::Notification(tk::Component* component, tk::Operation operation) {
  TVxTableCellAncestor::Notification(component, operation);
  if (operation == tk::Operation::Remove && component && component == table_) {
    table_ = nullptr;
    refCount_ = 0;
    OnCfgChanged = nullptr;
  }
}

void TVxBaseTableCell::Paint(tk::Canvas& TableCanvas, const tk::Rect& CellRect, int RowNum, int ColNum,
                             const TVxCellAttributes& CellAttr, void* Data) {
  if (DoOwnerDraw(TableCanvas, CellRect, RowNum, ColNum, CellAttr, Data)) return;
  tcPaint(TableCanvas, CellRect, RowNum, ColNum, CellAttr, Data);
}

bool TVxBaseTableCell::DoOwnerDraw(tk::Canvas& TableCanvas, const tk::Rect& CellRect, int RowNum, int ColNum,
                                   const TVxCellAttributes& CellAttr, void* Data) {
  bool doneIt = false;
  if (OnOwnerDraw) OnOwnerDraw(this, TableCanvas, CellRect, RowNum, ColNum, CellAttr, Data, doneIt);
  return doneIt;
}

void TVxBaseTableCell::tcPaint(tk::Canvas& TableCanvas, const tk::Rect& CellRect, int, int,
                               const TVxCellAttributes& CellAttr, void*) {
  TableCanvas.Brush.Color = CellAttr.Color;
  TableCanvas.Brush.Style = tk::BrushStyle::Solid;
  TableCanvas.FillRect(CellRect);
}

void TVxBaseTableCell::ResolveAttributes(int RowNum, int ColNum, TVxCellAttributes& CellAttr) {
  CellAttr.Access = access_;
  CellAttr.Adjust = adjust_;
  CellAttr.Color = GetColor();
  const tk::Font& font = GetFont();
  if (CellAttr.Font) *CellAttr.Font = font;
  CellAttr.FontColor = font.Color();
  CellAttr.FontHiColor = textHiColor_;
  CellAttr.TextStyle = textStyle_;
  if (table_) table_->ResolveCellAttributes(RowNum, ColNum, CellAttr);
  if (CellAttr.Access == otxDefault) CellAttr.Access = otxNormal;
  if (CellAttr.Adjust == otaDefault) CellAttr.Adjust = otaCenterLeft;
  if (CellAttr.Color == clTblColorNotSet) CellAttr.Color = tk::clBtnFace;
}

int TVxBaseTableCell::tcRetrieveTableActiveCol() { return static_cast<int>(QueryTable(ctimQueryActiveCol)); }
int TVxBaseTableCell::tcRetrieveTableActiveRow() { return static_cast<int>(QueryTable(ctimQueryActiveRow)); }
int TVxBaseTableCell::tcRetrieveTableLockedCols() { return static_cast<int>(QueryTable(ctimQueryLockedCols)); }
int TVxBaseTableCell::tcRetrieveTableLockedRows() { return static_cast<int>(QueryTable(ctimQueryLockedRows)); }

bool TVxBaseTableCell::TableWantsEnter() {
  return TVxTblOptionSet::FromBits(static_cast<std::uint16_t>(QueryTable(ctimQueryOptions))).Contains(otoEnterToArrow);
}

bool TVxBaseTableCell::TableWantsTab() {
  return TVxTblOptionSet::FromBits(static_cast<std::uint16_t>(QueryTable(ctimQueryOptions))).Contains(otoTabToArrow);
}

void TVxBaseTableCell::PostMessageToTable(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (TableReady()) tk::PostMessage(table_, msg, wParam, lParam);
}

void TVxBaseTableCell::SendKeyToTable(const tk::Message& key) {
  PostMessageToTable(WM_KEYDOWN, key.WParam, key.LParam);
}

TVxTblKeyNeeds TVxBaseTableCell::FilterTableKey(tk::Message& key) {
  return table_ ? table_->FilterKey(key) : otkDontCare;
}

void TVxBaseTableCell::GetProperties(tk::PropertyList& list) const {
  TVxTableCellAncestor::GetProperties(list);
  using C = TVxBaseTableCell;
  list.push_back(AboutProperty());
  list.push_back(tk::MakeEnumProperty<C>("Access", &C::Access, &C::SetAccess, kAccessNames, otxDefault));
  list.push_back(tk::MakeEnumProperty<C>("Adjust", &C::Adjust, &C::SetAdjust, kAdjustNames, otaDefault));
  list.push_back(tk::MakeProperty<C>("Color", &C::Color, &C::SetColor));
  list.back().Stored = [](const tk::Component& c) { return !static_cast<const C&>(c).TableColor(); };
  list.push_back(tk::MakeProperty<C>("Hint", &C::Hint, &C::SetHint, tk::Value(std::string())));
  list.push_back(tk::MakeProperty<C>("Margin", &C::Margin, &C::SetMargin, tk::Value(std::int64_t{4})));
  list.push_back(tk::MakeProperty<C>("ShowHint", &C::ShowHint, &C::SetShowHint, tk::Value(false)));
  list.push_back(tk::MakeProperty<C>("Table", &C::TableRef, &C::SetTableRef, tk::Value(tk::ComponentRef{})));
  list.push_back(tk::MakeProperty<C>("TableColor", &C::TableColor, &C::SetTableColor, tk::Value(true)));
  list.push_back(tk::MakeProperty<C>("TableFont", &C::TableFont, &C::SetTableFont, tk::Value(true)));
  list.push_back(tk::MakeProperty<C>("TextHiColor", &C::TextHiColor, &C::SetTextHiColor,
                                     tk::Value(std::int64_t{tk::clBtnHighlight})));
  list.push_back(tk::MakeEnumProperty<C>("TextStyle", &C::TextStyle, &C::SetTextStyle, kTextStyleNames, tsFlat));
}

// cell matrix

TVxTableCells::~TVxTableCells() {
  rows_.ForAll(
      [this](int, void* row) {
        FreeRow(static_cast<TVxSparseArray*>(row));
        return true;
      },
      false);
}

void TVxTableCells::FreeRecord(TVxSparseAttr* record) {
  if (record->Cell) record->Cell->DecRefs();
  delete record->Font;
  delete record;
  --count_;
}

void TVxTableCells::FreeRow(TVxSparseArray* row) {
  row->ForAll(
      [this](int, void* record) {
        FreeRecord(static_cast<TVxSparseAttr*>(record));
        return true;
      },
      false);
  delete row;
}

void TVxTableCells::Changed() {
  if (OnChange) OnChange(this);
}

TVxSparseAttr* TVxTableCells::Find(int Row, int Col) const {
  if (count_ == 0) return nullptr;
  auto* row = static_cast<TVxSparseArray*>(rows_.GetItem(Row));
  return row ? static_cast<TVxSparseAttr*>(row->GetItem(Col)) : nullptr;
}

TVxSparseAttr& TVxTableCells::Make(int Row, int Col) {
  auto* row = static_cast<TVxSparseArray*>(rows_.GetItem(Row));
  if (!row) {
    row = new TVxSparseArray;
    rows_.PutItem(Row, row);
  }
  auto* record = static_cast<TVxSparseAttr*>(row->GetItem(Col));
  if (!record) {
    record = new TVxSparseAttr;
    row->PutItem(Col, record);
    ++count_;
  }
  return *record;
}

void TVxTableCells::Tidy(int Row, int Col) {
  auto* row = static_cast<TVxSparseArray*>(rows_.GetItem(Row));
  if (!row) return;
  auto* record = static_cast<TVxSparseAttr*>(row->GetItem(Col));
  if (!record || !record->Empty()) return;
  row->PutItem(Col, nullptr);
  FreeRecord(record);
  if (row->ActiveCount() == 0) {
    rows_.PutItem(Row, nullptr);
    delete row;
  }
}

TVxTblAccess TVxTableCells::Access(int Row, int Col) const {
  const TVxSparseAttr* r = Find(Row, Col);
  return r ? r->Access : otxDefault;
}

TVxTblAdjust TVxTableCells::Adjust(int Row, int Col) const {
  const TVxSparseAttr* r = Find(Row, Col);
  return r ? r->Adjust : otaDefault;
}

tk::TColor TVxTableCells::Color(int Row, int Col) const {
  const TVxSparseAttr* r = Find(Row, Col);
  return r ? r->Color : clTblColorNotSet;
}

const tk::Font* TVxTableCells::Font(int Row, int Col) const {
  const TVxSparseAttr* r = Find(Row, Col);
  return r ? r->Font : nullptr;
}

TVxBaseTableCell* TVxTableCells::Cell(int Row, int Col) const {
  const TVxSparseAttr* r = Find(Row, Col);
  return r ? r->Cell : nullptr;
}

void TVxTableCells::SetAccess(int Row, int Col, TVxTblAccess value) {
  Make(Row, Col).Access = value;
  Tidy(Row, Col);
  Changed();
}

void TVxTableCells::SetAdjust(int Row, int Col, TVxTblAdjust value) {
  Make(Row, Col).Adjust = value;
  Tidy(Row, Col);
  Changed();
}

void TVxTableCells::SetColor(int Row, int Col, tk::TColor value) {
  Make(Row, Col).Color = value;
  Tidy(Row, Col);
  Changed();
}

void TVxTableCells::SetFont(int Row, int Col, const tk::Font* value) {
  TVxSparseAttr& record = Make(Row, Col);
  if (value) {
    if (!record.Font) record.Font = new tk::Font;
    *record.Font = *value;
  } else {
    delete record.Font;
    record.Font = nullptr;
  }
  Tidy(Row, Col);
  Changed();
}

void TVxTableCells::SetCell(int Row, int Col, TVxBaseTableCell* value) {
  if (value && value->UsedByOtherTable(table_)) return;
  TVxSparseAttr& record = Make(Row, Col);
  if (record.Cell != value) {
    if (record.Cell) record.Cell->DecRefs();
    record.Cell = value;
    if (value) value->AttachAndIncRefs(table_);
  }
  Tidy(Row, Col);
  Changed();
}

TVxSparseAttr TVxTableCells::ResolveFullAttr(int Row, int Col) const {
  const TVxSparseAttr* r = Find(Row, Col);
  return r ? *r : TVxSparseAttr{};
}

void TVxTableCells::ResetCell(int Row, int Col) {
  auto* row = count_ ? static_cast<TVxSparseArray*>(rows_.GetItem(Row)) : nullptr;
  auto* record = row ? static_cast<TVxSparseAttr*>(row->GetItem(Col)) : nullptr;
  if (!record) return;
  row->PutItem(Col, nullptr);
  FreeRecord(record);
  if (row->ActiveCount() == 0) {
    rows_.PutItem(Row, nullptr);
    delete row;
  }
  Changed();
}

void TVxTableCells::InsertRow(int Row) {
  if (count_ == 0) return;
  rows_.Insert(Row, nullptr);
  Changed();
}

void TVxTableCells::DeleteRow(int Row) {
  if (count_ == 0) return;
  if (auto* row = static_cast<TVxSparseArray*>(rows_.GetItem(Row))) {
    rows_.PutItem(Row, nullptr);
    FreeRow(row);
  }
  rows_.Delete(Row);
  Changed();
}

void TVxTableCells::ExchangeRows(int RowA, int RowB) {
  if (count_ == 0) return;
  rows_.Exchange(RowA, RowB);
  Changed();
}

void TVxTableCells::InsertCol(int Col) {
  if (count_ == 0) return;
  rows_.ForAll(
      [Col](int, void* row) {
        static_cast<TVxSparseArray*>(row)->Insert(Col, nullptr);
        return true;
      },
      false);
  Changed();
}

void TVxTableCells::DeleteCol(int Col) {
  if (count_ == 0) return;
  std::vector<int> emptied;
  rows_.ForAll(
      [&](int index, void* item) {
        auto* row = static_cast<TVxSparseArray*>(item);
        if (auto* record = static_cast<TVxSparseAttr*>(row->GetItem(Col))) {
          row->PutItem(Col, nullptr);
          FreeRecord(record);
        }
        row->Delete(Col);
        if (row->ActiveCount() == 0) emptied.push_back(index);
        return true;
      },
      false);
  for (int index : emptied) {
    delete static_cast<TVxSparseArray*>(rows_.GetItem(index));
    rows_.PutItem(index, nullptr);
  }
  Changed();
}

void TVxTableCells::ExchangeCols(int ColA, int ColB) {
  if (count_ == 0) return;
  rows_.ForAll(
      [ColA, ColB](int, void* row) {
        static_cast<TVxSparseArray*>(row)->Exchange(ColA, ColB);
        return true;
      },
      false);
  Changed();
}

void TVxTableCells::tcNotifyCellDeletion(TVxBaseTableCell* cell) {
  if (!cell || count_ == 0) return;
  std::vector<std::pair<int, int>> named;
  rows_.ForAll(
      [&](int rowIndex, void* row) {
        static_cast<TVxSparseArray*>(row)->ForAll(
            [&](int colIndex, void* record) {
              if (static_cast<TVxSparseAttr*>(record)->Cell == cell) named.emplace_back(rowIndex, colIndex);
              return true;
            },
            false);
        return true;
      },
      false);
  for (auto [row, col] : named) {
    TVxSparseAttr* record = Find(row, col);
    record->Cell = nullptr;
    cell->DecRefs();
    Tidy(row, col);
  }
}

// check glyphs

struct TVxCellGlyphs::Entry {
  QImage Bitmap;
  int RefCount = 0;
  Entry* Next = nullptr;
};

TGlyphResourceManager& TGlyphResourceManager::Instance() {
  static TGlyphResourceManager manager;
  return manager;
}

TGlyphResourceManager::TGlyphResourceManager() {
  default_ = new TVxCellGlyphs::Entry;
  default_->Bitmap = LoadBaseBitmap("VXTCCHECKGLYPHS");
  default_->RefCount = 1;  // the manager's own hold
}

TGlyphResourceManager::~TGlyphResourceManager() {
  while (chain_) {
    TVxCellGlyphs::Entry* next = chain_->Next;
    delete chain_;
    chain_ = next;
  }
  delete default_;
}

int TGlyphResourceManager::SharedCount() const {
  int count = 0;
  for (const TVxCellGlyphs::Entry* e = chain_; e; e = e->Next) ++count;
  return count;
}

int TGlyphResourceManager::DefaultRefCount() const { return default_->RefCount; }

TVxCellGlyphs::Entry* TGlyphResourceManager::MakeShared(const QImage& bitmap) {
  auto* entry = new TVxCellGlyphs::Entry;
  entry->Bitmap = bitmap.copy();
  entry->RefCount = 1;
  entry->Next = chain_;
  chain_ = entry;
  return entry;
}

bool TGlyphResourceManager::InChain(const TVxCellGlyphs::Entry* entry) const {
  for (const TVxCellGlyphs::Entry* e = chain_; e; e = e->Next)
    if (e == entry) return true;
  return false;
}

void TGlyphResourceManager::Acquire(TVxCellGlyphs::Entry* entry) { ++entry->RefCount; }

void TGlyphResourceManager::Release(TVxCellGlyphs::Entry* entry) {
  if (!entry || --entry->RefCount > 0 || entry == default_) return;
  for (TVxCellGlyphs::Entry** link = &chain_; *link; link = &(*link)->Next) {
    if (*link == entry) {
      *link = entry->Next;
      break;
    }
  }
  delete entry;
}

TVxCellGlyphs::TVxCellGlyphs() {
  TGlyphResourceManager& manager = TGlyphResourceManager::Instance();
  entry_ = manager.Default();
  manager.Acquire(entry_);
  CalcCounts();
}

TVxCellGlyphs::~TVxCellGlyphs() { TGlyphResourceManager::Instance().Release(entry_); }

const QImage& TVxCellGlyphs::BitMap() const { return entry_->Bitmap; }

bool TVxCellGlyphs::IsDefault() const { return entry_ == TGlyphResourceManager::Instance().Default(); }

void TVxCellGlyphs::Use(Entry* entry) {
  // Taken before the old one goes, so sharing an entry with itself keeps it alive.
  TGlyphResourceManager& manager = TGlyphResourceManager::Instance();
  if (entry != entry_) {
    Entry* old = entry_;
    entry_ = entry;
    manager.Release(old);
  } else {
    manager.Release(entry);
  }
  CalcCounts();
  Changed();
}

void TVxCellGlyphs::SetBitMap(const QImage* bitmap) {
  TGlyphResourceManager& manager = TGlyphResourceManager::Instance();
  Entry* entry = bitmap ? manager.MakeShared(*bitmap) : manager.Default();
  if (!bitmap) manager.Acquire(entry);
  Use(entry);
}

void TVxCellGlyphs::Assign(const TVxCellGlyphs* source) {
  TGlyphResourceManager& manager = TGlyphResourceManager::Instance();
  Entry* entry = source && manager.InChain(source->entry_) ? source->entry_ : manager.Default();
  manager.Acquire(entry);
  Use(entry);
}

void TVxCellGlyphs::SetIsDefault(bool value) {
  if (value == IsDefault()) return;
  if (value) {
    SetBitMap(nullptr);
  } else {
    const QImage current = entry_->Bitmap;
    SetBitMap(&current);
  }
}

void TVxCellGlyphs::CalcCounts() {
  const QImage& bitmap = entry_->Bitmap;
  glyphCount_ = 1;
  if (bitmap.height() >= 1 && bitmap.width() % bitmap.height() == 0) glyphCount_ = bitmap.width() / bitmap.height();
  if (glyphCount_ < 1) glyphCount_ = 1;
  activeGlyphCount_ = glyphCount_;
}

void TVxCellGlyphs::SetGlyphCount(int value) {
  if (value < 1) return;
  glyphCount_ = value;
  activeGlyphCount_ = value;
  Changed();
}

void TVxCellGlyphs::SetActiveGlyphCount(int value) {
  if (value < 1 || value > glyphCount_) return;
  activeGlyphCount_ = value;
  Changed();
}

void TVxCellGlyphs::Changed() {
  if (OnChange) OnChange(this);
}

}  // namespace controls
