#include "project/touch_designer.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>

namespace project {

namespace {

constexpr int kVariableCount = 128;

struct SlotPoints {
  const char* Suffix;
  TouchDesigner::PointRange Range;
};

// Only these modules have points a status light can show.
constexpr SlotPoints kSlotPoints[] = {
    {"   -KADO16", {16, 15}},
    {"   -KADO16-I", {16, 15}},
    {"   -PELKO", {8, 7}},
    {"   -LURCAN-C", {1, 0}},
};

bool EndsWith(const std::string& text, std::string_view suffix) {
  return text.size() >= suffix.size() && std::string_view(text).substr(text.size() - suffix.size()) == suffix;
}

// A list selection from a stored value: the value when the list has that entry, else nothing chosen.
int SelectionOf(int value, std::size_t count) { return value >= 0 && value < static_cast<int>(count) ? value : -1; }

std::string Format(const char* format, int a, int b) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, a, b);
  return buffer;
}

std::string CutText(const std::string& text) {
  return text.substr(0, std::min<std::size_t>(text.size(), TouchDesigner::MaxTextLength));
}

}  // namespace

TouchDesigner::TouchDesigner(TouchScreenTable& table, const NameTable& names) : table_(table), names_(names) {}

int TouchDesigner::CreateObject(TouchObjectType type, int page, int width, int height) {
  const int record = table_.FirstFreeRecord();
  if (record == 0) return 0;
  Modified = true;
  TouchObject o;
  o.Type = type;
  o.Page = static_cast<std::uint8_t>(page);
  o.ObjectNumber = static_cast<std::uint16_t>(record);
  o.X = NewObjectLeft;
  o.Y = NewObjectTop;
  o.Width = static_cast<std::uint16_t>(width);
  o.Height = static_cast<std::uint16_t>(height);
  table_.SetObject(record, o);
  return record;
}

void TouchDesigner::BeginDrag(int record, int pointerX, int pointerY) {
  dragging_ = true;
  dragRecord_ = record;
  dragX_ = pointerX;
  dragY_ = pointerY;
}

std::optional<TouchDesigner::Place> TouchDesigner::DragTarget(int left, int top, int width, int height, int dx,
                                                              int dy) {
  // The control's position is a 16-bit signed value; division truncates toward zero, as the cut must.
  const int x = static_cast<std::int16_t>(left + dx) / DragStep * DragStep;
  const int y = static_cast<std::int16_t>(top + dy) / DragStep * DragStep;
  if (x < 0 || x + width > PageWidth || y < 0 || y + height > PageHeight) return std::nullopt;
  return Place{x, y};
}

bool TouchDesigner::DragMove(int pointerX, int pointerY) {
  if (!dragging_ || dragRecord_ <= 0 || dragRecord_ >= TouchScreenTable::kRecords || table_.IsFree(dragRecord_))
    return false;
  TouchObject o = Object(dragRecord_);
  const std::optional<Place> place = DragTarget(o.X, o.Y, o.Width, o.Height, pointerX - dragX_, pointerY - dragY_);
  if (!place) return false;
  o.X = static_cast<std::uint16_t>(place->X);
  o.Y = static_cast<std::uint16_t>(place->Y);
  table_.SetObject(dragRecord_, o);
  Modified = true;
  return true;
}

std::string TouchDesigner::NewButtonHint(int record) const {
  return Format("Object# %d, Borders = %d, No Icon ", record, Object(record).LinkA);
}

std::string TouchDesigner::Hint(int record) const {
  const TouchObject o = Object(record);
  if (o.Type != TouchButton) return Format("Object# %d", record, 0);
  if (o.Icon == 0) return Format("Object# %d, Borders = %d, No Icon", record, o.LinkA);
  // The icon list's entry k names icon k; a number past the list has no name.
  const std::string icon = o.Icon < IconCount ? names_.At(FirstIcon + o.Icon) : std::string();
  return Format("Object# %d, Borders = %d, Icon- ", record, o.LinkA) + icon;
}

TouchDesigner::Font TouchDesigner::FontOf(int record) const {
  const TouchObject o = Object(record);
  if (o.Type == TouchStatusLight) return {};
  if (o.Style == 1) return {16, true};
  if (o.Style == 2 && o.Type == TouchText) return {36, true};
  return {};
}

TouchDesigner::CaptionEntry TouchDesigner::CaptionSetup(int record) const {
  const TouchObject o = Object(record);
  CaptionEntry entry;
  entry.Text = o.Text;
  entry.Font = std::min<int>(o.Style, 1);  // a radio group shows a value past its items as its last item
  entry.HiddenBorder = o.LinkA == 1;
  FillIconList(entry.Icons, names_);
  entry.Icon = SelectionOf(o.Icon, entry.Icons.size());
  return entry;
}

void TouchDesigner::ApplyCaption(int record, const CaptionEntry& entry) {
  TouchObject o = Object(record);
  if (entry.Icon >= 0) o.Icon = static_cast<std::uint16_t>(entry.Icon);
  o.LinkA = entry.HiddenBorder ? 1 : 0;
  if (entry.Font >= 0) o.Style = static_cast<std::uint16_t>(entry.Font);
  o.Text = CutText(entry.Text);
  table_.SetObject(record, o);
  Modified = true;
}

TouchDesigner::TextEntry TouchDesigner::TextSetup(int record) const {
  const TouchObject o = Object(record);
  TextEntry entry;
  entry.Text = o.Text;
  entry.Font = std::min<int>(o.Style, 2);
  FillVariableList(entry.Variables, names_);
  entry.Variable = SelectionOf(o.Variable, kVariableCount);
  return entry;
}

void TouchDesigner::ApplyText(int record, const TextEntry& entry) {
  TouchObject o = Object(record);
  if (entry.Variable >= 0) o.Variable = static_cast<std::uint8_t>(entry.Variable);
  if (entry.Font >= 0) o.Style = static_cast<std::uint16_t>(entry.Font);
  o.Text = CutText(entry.Text);
  table_.SetObject(record, o);
  Modified = true;
}

TouchDesigner::X10Entry TouchDesigner::AttachX10(int record) {
  TouchObject o = Object(record);
  o.Text.clear();
  o.Style = 0;
  o.LinkA &= 15;
  o.LinkB &= 15;
  table_.SetObject(record, o);
  Modified = true;
  X10Entry entry;
  FillX10UnitList(entry.Units, names_);
  entry.Unit = 16 * o.LinkA + o.LinkB;
  return entry;
}

void TouchDesigner::ApplyX10(int record, int unit) {
  if (unit < 0) return;
  TouchObject o = Object(record);
  o.LinkA = static_cast<std::uint16_t>(unit / 16);
  o.LinkB = static_cast<std::uint16_t>(unit % 16);
  table_.SetObject(record, o);
  Modified = true;
}

TouchDesigner::PointRange TouchDesigner::PointsOfSlot(const std::string& slotText) {
  for (const SlotPoints& slot : kSlotPoints)
    if (EndsWith(slotText, slot.Suffix)) return slot.Range;
  return {};
}

std::vector<std::string> TouchDesigner::PointList(int module) const {
  std::vector<std::string> points;
  if (module < 0 || module >= ModuleSlotCount) return points;
  const PointRange range = PointsOfSlot(names_.At(names_.ModuleSlotIndex[module + 1]));
  if (range.Count > 0) FillModulePointList(points, module + 1, range.Highest, 0, names_);
  return points;
}

TouchDesigner::IoEntry TouchDesigner::AttachIo(int record) {
  TouchObject o = Object(record);
  o.Text.clear();
  o.Style = 1;
  IoEntry entry;
  FillModuleList(entry.Modules, names_);
  // Module numbers the list does not hold (0, or past the 126 slots) select its first entry.
  entry.Module = o.LinkA >= 1 && o.LinkA <= ModuleSlotCount ? o.LinkA - 1 : 0;
  entry.Points = PointList(entry.Module);
  const int highest = PointsOfSlot(names_.At(names_.ModuleSlotIndex[entry.Module + 1])).Highest;
  if (o.LinkB > highest) o.LinkB = static_cast<std::uint16_t>(highest);
  entry.Point = o.LinkB;
  table_.SetObject(record, o);
  Modified = true;
  return entry;
}

bool TouchDesigner::ApplyIo(int record, int module, int point) {
  // An empty point list selects nothing: a light cannot show a point its module does not have.
  if (module < 0 || point < 0) return false;
  TouchObject o = Object(record);
  o.LinkA = static_cast<std::uint16_t>(module + 1);
  o.LinkB = static_cast<std::uint16_t>(point);
  table_.SetObject(record, o);
  Modified = true;
  return true;
}

void TouchDesigner::SetBeepOnTouch(int selection) {
  table_.SetBeepOnTouch(static_cast<std::uint16_t>(selection));
  Modified = true;
}

void TouchDesigner::SetShowDateAndTime(int selection) {
  table_.SetShowDateAndTime(static_cast<std::uint16_t>(selection));
  Modified = true;
}

void TouchDesigner::SetBacklightOffDelay(int barPosition) {
  table_.SetBacklightOffDelay(static_cast<std::uint16_t>(std::clamp(barPosition, 0, MaxBacklightOffDelay)));
  Modified = true;
}

int TouchDesigner::TypeBacklightOffDelay(const std::string& text) {
  const int position = BarPositionOf(text);
  table_.SetBacklightOffDelay(static_cast<std::uint16_t>(position));
  Modified = true;
  return position;
}

int TouchDesigner::BarPositionOf(const std::string& text) {
  std::string_view digits(text);
  while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return 0;
  return std::clamp(value, 0, MaxBacklightOffDelay);
}

}  // namespace project
