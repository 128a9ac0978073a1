#include "controls/table_common.h"

#include <QApplication>
#include <algorithm>
#include <cstdlib>

#include "controls/library_data.h"
#include "tk/control.h"

namespace controls {

namespace {

// Value markers of the original's stream encoding.
enum : std::uint8_t {
  vaNull = 0,
  vaList = 1,
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaString = 6,
  vaFalse = 8,
  vaTrue = 9,
  vaLString = 12,
};

[[noreturn]] void BadValue() { throw tk::EReadError("Invalid property value"); }

void PutLittleEndian(tk::Binary& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

class ByteReader {
 public:
  explicit ByteReader(const tk::Binary& bytes) : bytes_(bytes) {}
  std::uint8_t Byte() {
    if (at_ >= bytes_.size()) BadValue();
    return bytes_[at_++];
  }
  std::uint32_t LittleEndian(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) value |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return value;
  }
  std::string Text(std::size_t length) {
    if (length > bytes_.size() - at_) BadValue();
    std::string text(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                     bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + length));
    at_ += length;
    return text;
  }
  bool AtEnd() const { return at_ == bytes_.size(); }

 private:
  const tk::Binary& bytes_;
  std::size_t at_ = 0;
};

// The form's name without a "_n" that a second instance of it gained.
std::string BaseFormName(const std::string& name) {
  const std::size_t underscore = name.rfind('_');
  return underscore == std::string::npos ? name : name.substr(0, underscore);
}

}  // namespace

void AssignDisplayArray(std::unique_ptr<TVxTblDisplayArray>& da, int count) {
  if (count <= 0) {
    da.reset();
    return;
  }
  auto block = std::make_unique<TVxTblDisplayArray>();
  block->AllocCount = static_cast<std::uint16_t>(count);
  block->Items.resize(static_cast<std::size_t>(count));
  const int kept = da ? std::min<int>(count, da->Count) : 0;
  if (kept > 0) std::copy_n(da->Items.begin(), kept, block->Items.begin());
  block->Count = static_cast<std::uint16_t>(kept);
  da = std::move(block);
}

void AppendDisplayItem(std::unique_ptr<TVxTblDisplayArray>& da, std::int32_t number, std::int32_t offset) {
  if (!da) AssignDisplayArray(da, DisplayArrayInitialCount);
  if (da->Count >= da->AllocCount) AssignDisplayArray(da, da->AllocCount + DisplayArrayGrowth);
  da->Items[da->Count] = {number, offset};
  ++da->Count;
  if (da->Count == da->AllocCount) AssignDisplayArray(da, da->AllocCount + DisplayArrayGrowth);
}

void SetDisplayExtent(std::unique_ptr<TVxTblDisplayArray>& da, std::int32_t offset) {
  if (!da) AssignDisplayArray(da, DisplayArrayInitialCount);
  if (da->Count >= da->AllocCount) AssignDisplayArray(da, da->AllocCount + DisplayArrayGrowth);
  da->Items[da->Count].Offset = offset;
}

std::int32_t DisplayExtent(const TVxTblDisplayArray& da) {
  return da.Count < da.AllocCount ? da.Items[da.Count].Offset : 0;
}

void TableError(const std::string& message) { throw EVxTable(message); }

void TableErrorRes(int id) { throw EVxTable(GetVxStr(static_cast<std::uint16_t>(id))); }

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const long long product = static_cast<long long>(a) * b;
  long long result = product / c;
  // Rounded half away from zero, as the platform's routine.
  if (2 * std::llabs(product % c) >= std::llabs(static_cast<long long>(c))) result += (product < 0) != (c < 0) ? -1 : 1;
  return static_cast<int>(result);
}

const tk::Value& TVxStreamList::At(int index) const {
  if (index < 0 || index >= Count()) BadValue();
  return items_[static_cast<std::size_t>(index)];
}

std::int32_t TVxStreamList::Integer(int index) const {
  const auto* value = std::get_if<std::int64_t>(&At(index));
  if (!value) BadValue();
  return static_cast<std::int32_t>(*value);
}

bool TVxStreamList::Boolean(int index) const {
  const auto* value = std::get_if<bool>(&At(index));
  if (!value) BadValue();
  return *value;
}

const std::string& TVxStreamList::String(int index) const {
  const auto* value = std::get_if<std::string>(&At(index));
  if (!value) BadValue();
  return *value;
}

tk::Binary TVxStreamList::Encode() const {
  tk::Binary out{vaList};
  for (const tk::Value& item : items_) {
    if (const auto* i = std::get_if<std::int64_t>(&item)) {
      out.push_back(vaInt32);
      PutLittleEndian(out, static_cast<std::uint32_t>(*i), 4);
    } else if (const auto* b = std::get_if<bool>(&item)) {
      out.push_back(*b ? vaTrue : vaFalse);
    } else if (const auto* s = std::get_if<std::string>(&item)) {
      if (s->size() <= 255) {
        out.push_back(vaString);
        out.push_back(static_cast<std::uint8_t>(s->size()));
      } else {
        out.push_back(vaLString);
        PutLittleEndian(out, static_cast<std::uint32_t>(s->size()), 4);
      }
      out.insert(out.end(), s->begin(), s->end());
    }
  }
  out.push_back(vaNull);
  return out;
}

TVxStreamList TVxStreamList::Decode(const tk::Binary& bytes) {
  TVxStreamList list;
  ByteReader in(bytes);
  if (in.Byte() != vaList) BadValue();
  for (std::uint8_t marker = in.Byte(); marker != vaNull; marker = in.Byte()) {
    switch (marker) {
      case vaInt8:
        list.AddInteger(static_cast<std::int8_t>(in.Byte()));
        break;
      case vaInt16:
        list.AddInteger(static_cast<std::int16_t>(in.LittleEndian(2)));
        break;
      case vaInt32:
        list.AddInteger(static_cast<std::int32_t>(in.LittleEndian(4)));
        break;
      case vaFalse:
      case vaTrue:
        list.AddBoolean(marker == vaTrue);
        break;
      case vaString:
        list.AddString(in.Text(in.Byte()));
        break;
      case vaLString:
        list.AddString(in.Text(in.LittleEndian(4)));
        break;
      default:
        BadValue();
    }
  }
  if (!in.AtEnd()) BadValue();
  return list;
}

std::string StoredCellName(const tk::Component& cell) {
  const tk::Component* owner = cell.Owner();
  if (!owner || owner->Name().empty()) return cell.Name();
  return owner->Name() + "." + cell.Name();
}

void ResolveStoredCellNames(tk::Form* host, std::vector<std::string>& names,
                            const std::function<bool(std::size_t index, tk::Component* component)>& take) {
  std::vector<bool> taken(names.size(), false);
  auto split = [&](const std::string& entry, std::string& ownerPart, std::string& cellPart) {
    const std::size_t dot = entry.find('.');
    ownerPart = dot == std::string::npos ? (host ? host->Name() : std::string()) : entry.substr(0, dot);
    cellPart = dot == std::string::npos ? entry : entry.substr(dot + 1);
  };
  auto pass = [&](tk::Form* form, const std::function<bool(const std::string&)>& matches) {
    for (std::size_t i = names.size(); i-- > 0;) {
      if (taken[i]) continue;
      std::string ownerPart, cellPart;
      split(names[i], ownerPart, cellPart);
      if (!matches(ownerPart)) continue;
      if (tk::Component* component = form->FindComponent(cellPart); component && take(i, component)) taken[i] = true;
    }
  };
  if (host) {
    const std::string& hostName = host->Name();
    pass(host, [&](const std::string& ownerPart) {
      return hostName.empty() || hostName == ownerPart || BaseFormName(hostName) == ownerPart;
    });
  }
  auto left = [&] { return std::find(taken.begin(), taken.end(), false) != taken.end(); };
  if (left()) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      auto* form = dynamic_cast<tk::Form*>(window);
      if (!form) continue;
      pass(form, [&](const std::string& ownerPart) { return form->Name() == ownerPart; });
      if (!left()) break;
    }
  }
  std::vector<std::string> remaining;
  for (std::size_t i = 0; i < names.size(); ++i)
    if (!taken[i]) remaining.push_back(std::move(names[i]));
  names = std::move(remaining);
}

void TVxTableCellAncestor::tcDoCfgChanged() {
  if (OnCfgChanged) OnCfgChanged(this);
}

TVxTableAncestor::TVxTableAncestor(tk::Component* owner, QWidget* parent) : TVxCustomControlEx(owner, parent) {}

TVxTableAncestor::~TVxTableAncestor() {
  // The cells outlive the table: none may call back into it.
  for (TVxTableCellAncestor* cell : cells_) cell->OnCfgChanged = nullptr;
}

void TVxTableAncestor::tbIncludeCell(TVxTableCellAncestor* cell) {
  if (!cell || std::find(cells_.begin(), cells_.end(), cell) != cells_.end()) return;
  cells_.push_back(cell);
  cell->OnCfgChanged = [this](TVxTableCellAncestor* sender) { tbCellChanged(sender); };
  FreeNotification(cell);
}

void TVxTableAncestor::tbExcludeCell(TVxTableCellAncestor* cell) {
  auto it = std::find(cells_.begin(), cells_.end(), cell);
  if (it == cells_.end()) return;
  cells_.erase(it);
  // A cell that left must not call back into a table that may go before it does.
  cell->OnCfgChanged = nullptr;
}

void TVxTableAncestor::tbNotifyCellsOfTableChange() {
  const std::vector<TVxTableCellAncestor*> cells = cells_;
  for (TVxTableCellAncestor* cell : cells) cell->tcResetTableValues();
}

void TVxTableAncestor::ChangeScale(int M, int D) {
  if (M == D) return;
  SetBounds(MulDiv(Left(), M, D), MulDiv(Top(), M, D), MulDiv(Width(), M, D), MulDiv(Height(), M, D));
  tk::Font font = Font();
  if (font.Size() > 0)
    font.SetSize(MulDiv(font.Size(), M, D));
  else
    font.SetHeight(MulDiv(font.Height(), M, D));
  SetFont(font);
  const std::vector<TVxTableCellAncestor*> cells = cells_;
  for (TVxTableCellAncestor* cell : cells) cell->tcChangeScale(M, D);
}

void TVxTableAncestor::tbFinishLoadingCellList() {
  if (!loadList_) return;
  ResolveStoredCellNames(tk::GetParentForm(this), *loadList_, [this](std::size_t, tk::Component* component) {
    auto* cell = dynamic_cast<TVxTableCellAncestor*>(component);
    if (!cell) return false;
    tbIncludeCell(cell);
    return true;
  });
  loadList_.reset();
}

TVxStreamList TVxTableAncestor::WriteCellData() {
  if (loadList_) tbResolveCellLinks();
  TVxStreamList list;
  for (const TVxTableCellAncestor* cell : cells_) list.AddString(StoredCellName(*cell));
  return list;
}

void TVxTableAncestor::ReadCellData(const TVxStreamList& list) {
  if (!loadList_) loadList_ = std::make_unique<std::vector<std::string>>();
  loadList_->clear();
  for (int i = 0; i < list.Count(); ++i) loadList_->push_back(list.String(i));
}

void TVxTableAncestor::DefineProperties(tk::Filer& filer) {
  TVxCustomControlEx::DefineProperties(filer);
  filer.DefineBinaryProperty(
      "CellData", [this](const tk::Binary& bytes) { ReadCellData(TVxStreamList::Decode(bytes)); },
      [this] { return WriteCellData().Encode(); }, true);
}

void TVxTableAncestor::Loaded() { TVxCustomControlEx::Loaded(); }

void TVxTableAncestor::Notification(tk::Component* component, tk::Operation operation) {
  TVxCustomControlEx::Notification(component, operation);
  if (operation == tk::Operation::Remove)
    if (auto it = std::find(cells_.begin(), cells_.end(), component); it != cells_.end()) cells_.erase(it);
}

void TVxTableAncestor::Dispatch(tk::Message& message) {
  switch (message.Msg) {
    case ctimQueryColor:
      message.Result = Color();
      break;
    case ctimQueryFont:
      message.Result = reinterpret_cast<std::intptr_t>(&Font());
      break;
    default:
      TVxCustomControlEx::Dispatch(message);
  }
}

}  // namespace controls
