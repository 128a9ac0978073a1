#include "program/line_codec.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

#include "platform/typed_number.h"
#include "platform/ui.h"

namespace program {

using namespace codec_detail;

namespace codec_detail {

namespace {
std::size_t SkipToNumber(const std::string& text, bool& negative) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r' ||
                             text[i] == '\v' || text[i] == '\f'))
    ++i;
  negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  return i;
}
}  // namespace

long DecimalValue(const std::string& text) {
  bool negative = false;
  std::size_t i = SkipToNumber(text, negative);
  long value = 0;
  // Saturates instead of overflowing; every caller keeps only 8 or 16 bits or checks a range.
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = std::min(value * 10 + (text[i] - '0'), 1L << 40);
  return negative ? -value : value;
}

bool HasDecimalValue(const std::string& text) {
  bool negative = false;
  std::size_t i = SkipToNumber(text, negative);
  const std::size_t digits = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  if (i == digits) return false;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  return i == text.size();
}

std::optional<int> TypedConstant(const std::string& text, int lowest, int highest) {
  return platform::ReadTypedNumberOrRefuse(text, {"Constant", lowest, highest});
}

void SetItems(ListState& list, TextList items) {
  list.Items.assign(items.begin(), items.end());
  list.Index = -1;
}

void Select(ListState& list, int index) {
  list.Index = index >= 0 && index < static_cast<int>(list.Items.size()) ? index : -1;
}

void SelectRadio(ListState& list, int index) {
  const int count = static_cast<int>(list.Items.size());
  list.Index = index < 0 || count == 0 ? -1 : std::min(index, count - 1);
}

std::string RadioText(TextList items, int index) {
  if (index < 0 || items.empty()) return std::string();
  return items[std::min<std::size_t>(static_cast<std::size_t>(index), items.size() - 1)];
}

bool Missing(std::initializer_list<int> selections) {
  for (int s : selections)
    if (s < 0) {
      platform::Ui().Beep();
      return true;
    }
  return false;
}

}  // namespace codec_detail

namespace {
const std::string kNothing;
// Lines 1..4096; slot 0 is never written.
bool InStore(int line) { return line >= 1 && line <= ProgramStore::kLastLine; }
}  // namespace

const std::string& ListState::Text() const {
  return Index >= 0 && Index < static_cast<int>(Items.size()) ? Items[static_cast<std::size_t>(Index)] : kNothing;
}

PanelTexts TextsOf(Panel panel) {
  switch (panel) {
    case Panel::None:
      return {"", ""};
    case Panel::TestIoPoint:
      return {"Test Module I/O Point", "&Enter Program Line"};
    case Panel::TestModParam:
      return {"Module / Parameter", "&Enter Program Line"};
    case Panel::ReceiveX10:
      return {"Receive Single X10 Command", "Enter Program Line"};
    case Panel::TestLurcanData:
      return {"Lurcan Data", "Enter Program Line"};
    case Panel::TestTimerData:
      return {"Timer Data", "Enter Program Line"};
    case Panel::TestVariableData:
      return {"Variable Data", "Enter Program Line"};
    case Panel::TimeOfDay:
      return {"Time of Day ", "Enter Time Of Day"};
    case Panel::Month:
      return {"Month", "Enter Month"};
    case Panel::DayOfMonth:
      return {"Day of Month", "Enter Day of Month"};
    case Panel::WeekDay:
      return {"Day of Week", "Enter Week Day"};
    case Panel::Year:
      return {"Year", "Enter Year"};
    case Panel::Date:
      return {"Date", "Enter Date"};
    case Panel::ReceiveIr:
      return {"Receive IR", "Enter Receive IR"};
    case Panel::X10Status:
      return {"Receive X10 Status", "Enter X10 Status Change"};
    case Panel::TouchButton:
      return {"Touch Button Pressed", "Enter Touch Button"};
    case Panel::SetIo:
      return {"Set Module I/O Point", "&Enter Program Line"};
    case Panel::SetModParam:
      return {"Set Module / Variable", "&Enter Program Line"};
    case Panel::LoadData:
      return {"Load Data to Variable", "Enter Load Data"};
    case Panel::SetTimerData:
      return {"Set Timer Data", "Enter Program Line"};
    case Panel::SetVariableData:
      return {"Set Variable Data", "Enter Program Line"};
    case Panel::ProgramJump:
      return {"Program Jump", "&Enter Program Line"};
    case Panel::SetIcon:
      return {"Set Displayed Icon ", "Enter Program Line"};
    case Panel::SendIr:
      return {"Send IR", "&Enter Program Line"};
    case Panel::SendPage:
      return {"Send Page", "Enter Program Line"};
    case Panel::Murmex:
      return {"Send Murmex", "&Enter Program Line"};
    case Panel::SendAscii:
      return {"Send ASCII Message", "&Enter Program Line"};
    case Panel::TransmitX10:
      return {"Transmit Single X10 Command", "Enter Program Line"};
    case Panel::RcsStat:
      return {"RCS Thermostat", "Enter Program Line"};
    case Panel::PresetDim:
      return {"Transmit Preset Dim", "Enter Program Line"};
    case Panel::QuickX10:
      return {"X10 Quick ON/OFF", "Enter Program Line"};
    case Panel::LevGroup:
      return {"Leviton Group Command", "Enter Program Line"};
  }
  return {"", ""};
}

LineCodec::LineCodec(ProgramStore& store, const project::NameTable& names) : store_(store), names_(names) {}

std::string LineCodec::FunctionText(int function) {
  if (function >= 0 && function < FunctionEndIndex) return FunctionItems()[static_cast<std::size_t>(function)];
  if (function == FunctionEndIndex || function == FunctionEnd) return FunctionItems()[FunctionEndIndex];
  return std::string();
}

// ---- names the lists would show ----

std::string LineCodec::SlotText(int module) const {
  return module >= 1 && module <= project::ModuleSlotCount ? names_.At(names_.ModuleSlotIndex[module]) : std::string();
}

std::optional<project::ModuleType> LineCodec::TypeOf(int module) const {
  if (module < 1 || module > project::ModuleSlotCount) return std::nullopt;
  return project::ModuleTypeOfSlotText(names_.At(names_.ModuleSlotIndex[module]));
}

std::string LineCodec::PointName(int module, int child) const {
  if (module < 1 || module > project::ModuleSlotCount || child < 0) return std::string();
  return names_.At(names_.ModuleSlotIndex[module] + 1 + child);
}

std::string LineCodec::ControllerModuleText(int position) const {
  if (position == 0) return IsTouchController() ? "Tessaro" : "Marvik";
  return SlotText(position);
}

std::string LineCodec::VariableName(int variable) const {
  return variable >= 0 && variable < 128 ? names_.At(project::FirstVariable + variable) : std::string();
}

std::string LineCodec::VariableOrDataName(int entry) const {
  if (entry >= 128 && entry < 256) return FormatText("Data for Module# %d", entry - 128);
  return VariableName(entry);
}

std::string LineCodec::TimerName(int timer) const {
  return timer >= 0 && timer < 64 ? names_.At(project::FirstTimer + timer) : std::string();
}

std::string LineCodec::IrName(int code) const {
  return code >= 0 && code < 1024 ? names_.At(project::FirstIrCode + code) : std::string();
}

std::string LineCodec::X10UnitName(int position) const {
  return position >= 0 && position < 256 ? names_.At(project::FirstX10Unit + position) : std::string();
}

std::string LineCodec::TouchObjectName(int object) const {
  return IsTouchController() && object >= 0 && object < 256 ? names_.At(project::FirstTouchObject + object)
                                                            : std::string();
}

std::string LineCodec::IconName(int icon) const {
  if (icon == 0) return "No Icon";
  return icon > 0 && icon < project::IconCount ? names_.At(project::FirstIcon + icon) : std::string();
}

// ---- the constant-or-variable operand ----

void LineCodec::ShowValueOperand(int line, Display& d, const std::string& editText, bool withData) {
  if (!d.Lists) return;
  PanelState& p = d.P();
  const bool variable = store_.GetValueIsVariable(line);
  SetItems(p.Source, DataSourceItems());
  p.Source.Index = variable ? 1 : 0;
  if (!variable) {
    p.EditEnabled = true;
    p.EditText = editText;
    p.Variable.Enabled = false;
    p.Variable.Items.clear();
    p.Variable.Index = -1;
  } else {
    p.EditEnabled = false;
    p.Variable.Enabled = true;
    project::FillVariableList(p.Variable.Items, names_);
    if (withData) project::AddModuleDataItems(p.Variable.Items);
    Select(p.Variable, store_.Lines[line].Value);
  }
}

std::string LineCodec::WithValue(const std::string& base, int line, long constant, bool withData) const {
  const ProgramLine& l = store_.Lines[line];
  if (l.Arg & 0x8000)
    return FormatText("%s %s", base.c_str(), (withData ? VariableOrDataName(l.Value) : VariableName(l.Value)).c_str());
  return FormatText("%s %ld", base.c_str(), constant);
}

void LineCodec::Warn(int line, Display& d) {
  if (gathering_)
    warnedLines_.push_back(line);
  else
    platform::Ui().ShowMessage(FormatText(OutOfLimitsMessage, line));
  d.View.Warned = true;
}

void LineCodec::BeginWarnings() {
  gathering_ = true;
  warnedLines_.clear();
}

std::vector<int> LineCodec::EndWarnings() {
  gathering_ = false;
  return std::exchange(warnedLines_, {});
}

std::string LineCodec::WarningsMessage(const std::vector<int>& lines) {
  if (lines.empty()) return std::string();
  std::string message = FormatText(OutOfLimitsMessage, lines.front());
  const std::size_t more = lines.size() - 1;
  if (more > 0) message += FormatText(" (and %zu more line%s)", more, more == 1 ? "" : "s");
  return message;
}

// ---- display and dispatch ----

WizardView LineCodec::ShowProgramLine(int line) {
  WizardView view;
  if (!InStore(line)) return view;
  Display d{view, true, 0};
  ShowProgramLine(line, d);
  return view;
}

std::optional<std::string> LineCodec::RenderLine(int line) {
  if (!InStore(line)) return std::nullopt;
  WizardView view;
  Display d{view, false, 0};
  ShowProgramLine(line, d);
  return std::move(view.Text);
}

void LineCodec::ShowProgramLine(int line, Display& d) {
  WizardView& v = d.View;
  v.Panel = PanelState{};
  const int function = store_.GetLineFunction(line);
  v.FunctionIndex = function < FunctionEndIndex                               ? function
                    : function == FunctionEndIndex || function == FunctionEnd ? FunctionEndIndex
                                                                              : -1;
  switch (function) {
    case FunctionIf:
    case FunctionAnd:
    case FunctionOr:
      v.ThenTypeVisible = false;
      v.IfTypeVisible = true;
      ShowCondition(line, d);
      break;
    case FunctionThen:
    case FunctionElse:
      v.ThenTypeVisible = true;
      v.IfTypeVisible = false;
      ShowAction(line, d);
      break;
    case FunctionEndIndex:
    case FunctionEnd:
      v.Text = EndProgramText;
      v.ClearComment = true;
      v.IfTypeIndex = v.ThenTypeIndex = -1;
      v.ReferenceLine = store_.CurrentLine;
      v.ShowWindow = true;
      v.IfTypeVisible = v.ThenTypeVisible = false;
      break;
    default:
      break;
  }
}

bool LineCodec::OpenModulePoint(int line, Display& d, int module, int point, int value) {
  if (d.Mode != 0) return true;
  bool corrected = false;
  if (point > 15) store_.SetLineArgLow(line, 0), corrected = true;
  if (value > 3) store_.SetLineValue(line, 0), corrected = true;
  if (corrected) {
    Warn(line, d);
    return false;
  }
  if (d.Lists) {
    project::FillModuleList(d.P().Module.Items, names_);
    Select(d.P().Module, module == 0 ? 0 : module - 1);
  }
  return true;
}

void LineCodec::ShowCondition(int line, Display& d) {
  d.View.Panel = PanelState{};
  const int kind = store_.GetLineKind(line);
  d.View.IfTypeIndex = kind < static_cast<int>(IfTypeItems().size()) ? kind : -1;
  ShowConditionKind(kind, line, d);
}

void LineCodec::ShowAction(int line, Display& d) {
  d.View.Panel = PanelState{};
  const int kind = store_.GetLineKind(line);
  ShowActionKind(kind, line, d);
  d.View.ThenTypeIndex = kind < static_cast<int>(ThenTypeItems().size()) ? kind : -1;
}

void LineCodec::ShowConditionKind(int kind, int line, Display& d) {
  switch (kind) {
    case 0:
      ShowTestIoPoint(line, d);
      break;
    case 1:
      ShowTestModParam(line, d);
      break;
    case 2:
      ShowReceiveX10(line, d);
      break;
    case 3:
      ShowTestLurcanData(line, d);
      break;
    case 4:
      ShowTestTimerData(line, d);
      break;
    case 5:
      ShowTestVariableData(line, d);
      break;
    case 6:
      ShowTOD(line, d);
      break;
    case 7:
      ShowMonth(line, d);
      break;
    case 8:
      ShowDayOfMonth(line, d);
      break;
    case 9:
      ShowWeekDay(line, d);
      break;
    case 10:
      ShowYear(line, d);
      break;
    case 11:
      ShowDate(line, d);
      break;
    case 13:
      ShowReceiveIR(line, d);
      break;
    case 14:
      ShowX10Status(line, d);
      break;
    case 18:
      ShowIoError(line, d);
      break;
    case 25:
      ShowTouchButton(line, d);
      break;
    default:
      break;  // no panel, no text
  }
}

void LineCodec::ShowActionKind(int kind, int line, Display& d) {
  switch (kind) {
    case 0:
      ShowSetIo(line, d);
      break;
    case 1:
      ShowSetModParam(line, d);
      break;
    case 2:
      ShowLoadData(line, d);
      break;
    case 3:
      ShowTransmitX10(line, d);
      break;
    case 4:
      ShowSetTimerData(line, d);
      break;
    case 5:
      ShowSetVariableData(line, d);
      break;
    case 6:
      ShowProgramJump(line, d);
      break;
    case 7:
      ShowSetIcon(line, d);
      break;
    case 12:
    case 20:
      ShowSendIR(line, d);
      break;
    case 13:
      ShowRCSStat(line, d);
      break;
    case 15:
    case 21:
      ShowPresetDim(line, d);
      break;
    case 16:
    case 17:
      ShowQuickX10(line, d);
      break;
    case 19:
      ShowSendPage(line, d);
      break;
    case 22:
      ShowLevGroup(line, d);
      break;
    case 23:
      ShowMurmex(line, d);
      break;
    case 24:
      ShowSendASCII(line, d);
      break;
    default:
      break;  // no panel, no text (Send Lurcan Thermostat among them)
  }
}

// ---- handlers ----

WizardView LineCodec::OpenLine(int line) {
  if (!InStore(line)) return WizardView{};
  store_.Modified = true;
  store_.CurrentLine = static_cast<std::int16_t>(line);
  saved_.Number = line;
  saved_.Line = store_.Lines.at(static_cast<std::size_t>(line));
  saved_.Comment = store_.Comments.at(static_cast<std::size_t>(line));
  return ShowProgramLine(line);
}

WizardView LineCodec::RestoreLine() {
  const int line = saved_.Number;
  if (!store_.Modified || !InStore(line)) return WizardView{};
  store_.Lines.at(static_cast<std::size_t>(line)) = saved_.Line;
  store_.Comments.at(static_cast<std::size_t>(line)) = saved_.Comment;
  WizardView view = ShowProgramLine(line);
  view.CommentRestored = true;
  view.ReferenceLine = line;
  return view;
}

WizardView LineCodec::FunctionChange(int index) {
  const int line = store_.CurrentLine;
  if (!InStore(line)) return WizardView{};
  if (index >= 0 && index < FunctionEndIndex) {
    store_.SetLineFunction(line, index);
  } else if (index == FunctionEndIndex) {
    store_.Lines.at(static_cast<std::size_t>(line)) = ProgramLine{};
    store_.SetLineFunction(line, FunctionEnd);
  }
  WizardView view = ShowProgramLine(line);
  view.ShowWindow = true;
  return view;
}

WizardView LineCodec::IfTypeChange(int index) {
  const int line = store_.CurrentLine;
  if (!InStore(line)) return WizardView{};
  if (index >= 0 && index < static_cast<int>(IfTypeItems().size())) store_.SetLineKind(line, index);
  WizardView view = ShowProgramLine(line);
  view.ShowWindow = true;
  return view;
}

WizardView LineCodec::ThenTypeChange(int index) {
  const int line = store_.CurrentLine;
  if (!InStore(line)) return WizardView{};
  if (index >= 0 && index < static_cast<int>(ThenTypeItems().size())) store_.SetLineKind(line, index);
  WizardView view = ShowProgramLine(line);
  if (view.ReferenceLine == 0) view.ReferenceLine = line;
  view.ShowWindow = true;
  return view;
}

namespace {
// A handler's view reports only what that handler did.
void ClearOutcome(WizardView& view) {
  view.Text.reset();
  view.ClearComment = view.CommentRestored = view.ShowWindow = view.Warned = false;
  view.ReferenceLine = 0;
}

bool IsConditionPanel(Panel panel) { return panel >= Panel::TestIoPoint && panel <= Panel::TouchButton; }
bool IsTimePanel(Panel panel) { return panel >= Panel::TimeOfDay && panel <= Panel::Date; }
bool IsX10ActionPanel(Panel panel) { return panel >= Panel::TransmitX10 && panel <= Panel::LevGroup; }
}  // namespace

WizardView LineCodec::Enter(const WizardView& inputs) {
  const int line = store_.CurrentLine;
  const Panel panel = inputs.Panel.Id;
  bool stored = false;
  if (panel == Panel::None || !InStore(line)) return inputs;
  if (IsTimePanel(panel))
    stored = EncodeTimeCondition(line, inputs);
  else if (IsConditionPanel(panel))
    stored = EncodeCondition(line, inputs);
  else if (IsX10ActionPanel(panel))
    stored = EncodeX10Action(line, inputs);
  else
    stored = EncodeAction(line, inputs);
  WizardView view = inputs;
  ClearOutcome(view);
  if (!stored) return view;
  view.ReferenceLine = line;
  view.Panel = PanelState{};
  Display d{view, true, 0};
  const int function = store_.GetLineFunction(line);
  const int kind = store_.GetLineKind(line);
  if (function == FunctionThen || function == FunctionElse)
    ShowActionKind(kind, line, d);
  else
    ShowConditionKind(kind, line, d);
  return view;
}

void LineCodec::EncodeFunctionAndKind(int line, const WizardView& in, int kind) {
  store_.SetLineFunction(line, in.FunctionIndex);
  store_.SetLineKind(line, kind);
}

void LineCodec::ModuleChanged(WizardView& view) {
  ClearOutcome(view);
  const int line = store_.CurrentLine;
  if (!InStore(line)) return;
  Display d{view, true, 1};
  switch (view.Panel.Id) {
    case Panel::TestIoPoint:
      ShowTestIoPoint(line, d);
      break;
    case Panel::TestModParam:
      ShowTestModParam(line, d);
      break;
    case Panel::TestLurcanData:
      ShowTestLurcanData(line, d);
      break;
    case Panel::SetIo:
      ShowSetIo(line, d);
      break;
    case Panel::SetModParam:
      ShowSetModParam(line, d);
      break;
    case Panel::SendIr:
      ShowSendIR(line, d);
      break;
    case Panel::Murmex:
      ShowMurmex(line, d);
      break;
    case Panel::SendAscii:
      ShowSendASCII(line, d);
      break;
    default:
      break;
  }
}

void LineCodec::SourceChanged(WizardView& view, int source) {
  ClearOutcome(view);
  const int line = store_.CurrentLine;
  if (!InStore(line)) return;
  const Panel id = view.Panel.Id;
  Display d{view, true, 2};
  switch (id) {
    case Panel::TimeOfDay:
      TodSourceChanged(view.Panel, source);
      return;
    case Panel::PresetDim:
      LevelSourceChanged(view.Panel, source);
      return;
    case Panel::TestModParam:
    case Panel::TestLurcanData:
    case Panel::TestTimerData:
    case Panel::TestVariableData:
    case Panel::SetModParam:
    case Panel::SetTimerData:
    case Panel::SetVariableData:
    case Panel::SendIr:
    case Panel::SendAscii:
      store_.SetValueIsVariable(line, source);
      switch (id) {
        case Panel::TestModParam:
          ShowTestModParam(line, d);
          break;
        case Panel::TestLurcanData:
          ShowTestLurcanData(line, d);
          break;
        case Panel::TestTimerData:
          ShowTestTimerData(line, d);
          break;
        case Panel::TestVariableData:
          ShowTestVariableData(line, d);
          break;
        case Panel::SetModParam:
          ShowSetModParam(line, d);
          break;
        case Panel::SetTimerData:
          ShowSetTimerData(line, d);
          break;
        case Panel::SetVariableData:
          ShowSetVariableData(line, d);
          break;
        case Panel::SendIr:
          ShowSendIR(line, d);
          break;
        default:
          ShowSendASCII(line, d);
          break;
      }
      return;
    case Panel::Month:
    case Panel::DayOfMonth:
    case Panel::WeekDay:
    case Panel::Year:
    case Panel::SetIcon: {
      // These show routines have no mode: the whole panel is shown again and the line rendered.
      store_.SetValueIsVariable(line, source);
      view.Panel = PanelState{};
      d.Mode = 0;
      if (id == Panel::SetIcon)
        ShowSetIcon(line, d);
      else
        ShowConditionKind(store_.GetLineKind(line), line, d);
      return;
    }
    default:
      return;
  }
}

void LineCodec::CompareChanged(WizardView& view, int index) {
  ClearOutcome(view);
  if (view.Panel.Id != Panel::WeekDay || index < 0 || index > 3 || !InStore(store_.CurrentLine)) return;
  store_.SetLineSub(store_.CurrentLine, index);
  view.Panel.Compare.Index = index;
}

}  // namespace program
