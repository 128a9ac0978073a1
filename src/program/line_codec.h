#pragma once
// The Control Wizard's rules with no widget in them: how every condition and action kind renders a program
// line, checks and corrects its fields, encodes it from what a panel offers, and which panel with which
// list contents and selections a line shows. The listing, the printout, the text export and the wizard
// window all go through it.
//
// The codec reads and writes the program store directly and reads names from the name table; the model
// (Marvik or the touch-screen Tessaro) is the table's model word. Messages and beeps go through the UI seam.
//
// Results are plain structs the window fills itself from:
//   - WizardView: the Function and kind lists' selections, the visible panel, the text for the line's
//     "Program Text" cell (unset: leave the cell as it is) and what the editor must refresh.
//   - PanelState: the panel's controls. What each panel uses (Source is always Constant/Variable):
// clang-format off
//       TestIoPoint       Module: modules, Item: points, Compare: I/O status
//       TestModParam      Module: modules, Item: parameters, Compare: 8 phrases, Source, Edit, Variable
//       ReceiveX10        House, Item: X10 codes
//       TestLurcanData    Module: modules, Compare: 8 phrases, Source, Edit, Variable
//       TestTimerData     Item: timers, Compare: 8 phrases, Source, Edit, Variable
//       TestVariableData  Item: variables and module data, Compare: 8 phrases, Source, Edit, Variable
//       TimeOfDay         Compare: 4 phrases, Tab, Source, Edit: HHMM, Variable, Option: sunrise/sunset, Slider
//       Month, WeekDay    Compare: 4 phrases, Source, Item: months/weekdays, Variable
//       DayOfMonth, Year  Compare: 4 phrases, Source, Edit, Variable
//       Date              Compare: 4 phrases, Day/Month/Year
//       ReceiveIr         Module: controller and modules, Item: IR codes
//       X10Status         Item: X10 units, Compare: X10 status
//       TouchButton       Module: controller and modules, Item: buttons
//       SetIo             Module: modules, Item: relays, Compare: I/O command
//       SetModParam       Module: modules, Item: numbers or slave variables, Source, Edit, Variable
//       LoadData          Item: variables
//       SetTimerData      Item: timers, Source, Edit, Variable
//       SetVariableData   Item: target variables, Compare: operation, Source, Edit, Variable: sources
//       ProgramJump       Edit: target line
//       SetIcon           Item: touch objects, Source, Choice: icons, Variable
//       SendIr            Module: controller and modules, Item: zones, Source, Choice: IR codes, Variable
//       SendPage          Item: pager messages
//       Murmex            Module: modules, Item: voice messages
//       SendAscii         Module: controller and modules, Item: embedded variable, Source, Edit, Variable
//       TransmitX10       House, Item: X10 codes, Edit: repeat count (visible for Dim and Bright)
//       RcsStat           House, Item: RCS commands, Edit: setpoint
//       PresetDim         Option: switch type, Item: X10 units, Source, Slider with its caption, Variable
//       QuickX10          Item: X10 units, Compare: action
//       LevGroup          House, Item: groups, Compare: "Set:"
// clang-format on
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "program/program_store.h"
#include "program/wizard_lists.h"
#include "project/module_type.h"
#include "project/name_table.h"

namespace program {

enum class Panel {
  None,
  // IF / AND / OR
  TestIoPoint,
  TestModParam,
  ReceiveX10,
  TestLurcanData,
  TestTimerData,
  TestVariableData,
  TimeOfDay,
  Month,
  DayOfMonth,
  WeekDay,
  Year,
  Date,
  ReceiveIr,
  X10Status,
  TouchButton,
  // THEN / ELSE
  SetIo,
  SetModParam,
  LoadData,
  SetTimerData,
  SetVariableData,
  ProgramJump,
  SetIcon,
  SendIr,
  SendPage,
  Murmex,
  SendAscii,
  TransmitX10,
  RcsStat,
  PresetDim,
  QuickX10,
  LevGroup,
};

struct PanelTexts {
  const char* Caption;       // the panel's group box
  const char* EnterCaption;  // its Enter button
};
PanelTexts TextsOf(Panel panel);

// A drop-down list, list box, radio group or tab control.
struct ListState {
  std::vector<std::string> Items;
  int Index = -1;  // -1: nothing selected
  bool Visible = true;
  bool Enabled = true;
  // The selected item's text; empty when nothing is selected.
  const std::string& Text() const;
};

struct PanelState {
  Panel Id = Panel::None;
  ListState Module;
  ListState Item;
  ListState Choice;
  ListState Compare;
  ListState Option;
  ListState House;
  ListState Source;  // "Constant" / "Variable"
  ListState Variable;
  ListState Tab;  // time of day: 0 "Sunrise / Sunset", 1 "Time of Day"
  std::string EditText;
  bool EditVisible = true;
  bool EditEnabled = true;
  int Slider = 0;
  int SliderMax = 0;
  std::string SliderCaption;  // sunrise/sunset group caption; preset dim level label
  bool SliderCaptionVisible = true;
  int Day = 0, Month = 0, Year = 0;  // date picker (full year); 0: left as it was
  bool EnterVisible = true;
};

struct WizardView {
  int FunctionIndex = -1;  // Function list selection (-1: none)
  bool IfTypeVisible = false;
  int IfTypeIndex = -1;
  bool ThenTypeVisible = false;
  int ThenTypeIndex = -1;
  PanelState Panel;  // Id None: every panel hidden
  // The new "Program Text" of the shown line; unset leaves the cell as it was.
  std::optional<std::string> Text;
  bool ClearComment = false;     // END empties the line's comment cell
  bool CommentRestored = false;  // "Restore Line" rewrote the line's comment in the store
  int ReferenceLine = 0;         // line whose Reference column is to be refreshed, which hides the wizard
  bool ShowWindow = false;       // show the wizard (after the refresh)
  bool Warned = false;           // the out-of-limits warning was shown
};

// The line as the editor opened it in the wizard, for "Restore Line".
struct SavedLine {
  int Number = 0;  // the line it was taken from; "Restore Line" writes there, not to a moved current line
  ProgramLine Line;
  std::string Comment;
};

class LineCodec {
 public:
  LineCodec(ProgramStore& store, const project::NameTable& names);

  bool IsTouchController() const { return names_.IsTouchController(); }

  // Full display of `line`: corrects out-of-range fields (with the warning where the kind has one), fills
  // the panel's lists, selects the stored operands and renders.
  WizardView ShowProgramLine(int line);
  // The same checks, corrections and text without filling any list: what the listing shows. The store's
  // CurrentLine (the wizard's line) plays no part.
  std::optional<std::string> RenderLine(int line);

  // The editor opens the wizard on `line`: it becomes the current line and is saved for "Restore Line".
  WizardView OpenLine(int line);
  const SavedLine& Saved() const { return saved_; }
  // "Restore Line": with the store's Modified flag set, the saved line and its comment return to their
  // line and are shown again; otherwise nothing happens (Text unset, ReferenceLine 0).
  WizardView RestoreLine();

  // Handlers of the Function and kind lists; they work on the store's current line.
  WizardView FunctionChange(int index);
  WizardView IfTypeChange(int index);
  WizardView ThenTypeChange(int index);

  // A panel's Enter button: encodes the current line from `inputs` (the list selections, Panel.Id and its
  // controls) and shows it again. A selection that is needed but missing (-1) refuses the entry with a
  // beep and leaves the line as it was. The time-of-day panel has an Enter button on each tab: Panel.Tab 1
  // ("Time of Day") enters a fixed time or a variable, 0 ("Sunrise / Sunset") an offset.
  WizardView Enter(const WizardView& inputs);

  // The user picked another entry of the panel's module list (view.Panel.Module.Index): refills and
  // shows or hides the lists that depend on the module's type. Stores nothing.
  void ModuleChanged(WizardView& view);
  // The Constant/Variable group was clicked: stores the flag into the current line at once, then
  // updates the panel (kinds whose show routine has no mode are shown again in full).
  void SourceChanged(WizardView& view, int source);
  // The Day of Week "Compare" group: stores Sub at once, renders nothing.
  void CompareChanged(WizardView& view, int index);

  // Panel-only handlers: they change the panel, never the store.
  static void X10CommandChanged(PanelState& panel);              // transmit X10: the repeat field follows Dim/Bright
  static void SwitchTypeChanged(PanelState& panel);              // preset dim: slider maximum 31 or 63
  static void LevelChanged(PanelState& panel);                   // preset dim: "Light Level %d %%"
  static void LevelVariableChanged(PanelState& panel);           // preset dim: a variable hides the level label
  void LevelSourceChanged(PanelState& panel, int source) const;  // preset dim: back to the stored level/variable
  static void SunOffsetChanged(PanelState& panel);               // time of day: "%d minutes"
  void TodTabChanged(PanelState& panel, int tab) const;
  void TodSourceChanged(PanelState& panel, int source) const;

  // "%s" of the Function list for a stored Function (0..4; END for 5 and 31).
  static std::string FunctionText(int function);

  // Between these, range warnings are gathered instead of shown one by one: rendering a whole listing
  // must not bring one modal box per damaged line. EndWarnings returns the lines warned about, in order.
  void BeginWarnings();
  std::vector<int> EndWarnings();
  // One message for the lines of a batch: the first line's warning, then how many more there were.
  static std::string WarningsMessage(const std::vector<int>& lines);

 private:
  struct Display {
    WizardView& View;
    bool Lists;  // fill the panel's lists; off when only the text is wanted
    int Mode;    // 0 full, 1 module changed, 2 source changed
    PanelState& P() { return View.Panel; }
  };

  void ShowProgramLine(int line, Display& d);
  void ShowCondition(int line, Display& d);
  void ShowAction(int line, Display& d);
  void ShowConditionKind(int kind, int line, Display& d);
  void ShowActionKind(int kind, int line, Display& d);

  // Condition kinds (modules, data, X10, IR, touch).
  void ShowTestIoPoint(int line, Display& d);
  void ShowTestModParam(int line, Display& d);
  void ShowReceiveX10(int line, Display& d);
  void ShowTestLurcanData(int line, Display& d);
  void ShowTestTimerData(int line, Display& d);
  void ShowTestVariableData(int line, Display& d);
  void ShowReceiveIR(int line, Display& d);
  void ShowX10Status(int line, Display& d);
  void ShowIoError(int line, Display& d);
  void ShowTouchButton(int line, Display& d);
  // Time and date kinds.
  void ShowTOD(int line, Display& d);
  void ShowMonth(int line, Display& d);
  void ShowDayOfMonth(int line, Display& d);
  void ShowWeekDay(int line, Display& d);
  void ShowListOrVariable(int line, Display& d, int sub, Panel panel, const TextList& items, int first,
                          const char* label);
  void ShowYear(int line, Display& d);
  void ShowDate(int line, Display& d);
  // Action kinds.
  void ShowSetIo(int line, Display& d);
  void ShowSetModParam(int line, Display& d);
  void ShowLoadData(int line, Display& d);
  void ShowSetTimerData(int line, Display& d);
  void ShowSetVariableData(int line, Display& d);
  void ShowProgramJump(int line, Display& d);
  void ShowSetIcon(int line, Display& d);
  void ShowSendIR(int line, Display& d);
  void ShowSendPage(int line, Display& d);
  void ShowMurmex(int line, Display& d);
  void ShowSendASCII(int line, Display& d);
  // X10 action kinds.
  void ShowTransmitX10(int line, Display& d);
  void ShowRCSStat(int line, Display& d);
  void ShowPresetDim(int line, Display& d);
  void ShowQuickX10(int line, Display& d);
  void ShowLevGroup(int line, Display& d);

  // Encoders: false when the entry is refused (the line is then unchanged).
  bool EncodeCondition(int line, const WizardView& in);
  bool EncodeTimeCondition(int line, const WizardView& in);
  bool EncodeAction(int line, const WizardView& in);
  bool EncodeX10Action(int line, const WizardView& in);
  // Steps 1 and 2 of every encoder that sets them: Function and Kind from the lists (Arg, Value zeroed).
  void EncodeFunctionAndKind(int line, const WizardView& in, int kind);

  // Names the lists would show.
  std::string SlotText(int module) const;  // 1..126, else ""
  std::optional<project::ModuleType> TypeOf(int module) const;
  std::string PointName(int module, int child) const;    // child j of module slot k
  std::string ControllerModuleText(int position) const;  // 0 the controller's model word, k slot k
  std::string VariableName(int variable) const;          // 0..127
  std::string VariableOrDataName(int entry) const;       // 0..127 variables, 128..255 module data
  std::string TimerName(int timer) const;
  std::string IrName(int code) const;
  std::string X10UnitName(int position) const;  // 0..255 house-major
  std::string TouchObjectName(int object) const;
  std::string IconName(int icon) const;  // 0 "No Icon"

  // The Constant/Variable operand: sets the source group, the edit (showing `editText`) and the
  // variable list (128 variables, or with module data when `withData`) for the stored flag.
  void ShowValueOperand(int line, Display& d, const std::string& editText, bool withData = false);
  // "%s %d" with `constant` or "%s %s" with the variable name, applied to `base`.
  std::string WithValue(const std::string& base, int line, long constant, bool withData = false) const;

  void Warn(int line, Display& d);
  // A module point line opened from the store (display mode 0): a point above 15 or a value above 3 is
  // corrected to 0 with the warning (false), else the module list is filled as asked and true.
  bool OpenModulePoint(int line, Display& d, int module, int point, int value);

  ProgramStore& store_;
  const project::NameTable& names_;
  SavedLine saved_;
  bool gathering_ = false;
  std::vector<int> warnedLines_;
};

// Helpers shared by the kind families.
namespace codec_detail {
using platform::FormatText;
// Plain decimal conversion: leading blanks, an optional sign, digits; 0 when there are none.
long DecimalValue(const std::string& text);
// Whether `text` is a decimal number and nothing else (blanks around it aside): "17:30" is not.
bool HasDecimalValue(const std::string& text);
// The Constant typed into a panel's edit, read as every number typed for the controller is: its whole text,
// from `lowest` to `highest` (the 16 bits of Value). Any other is refused and told, and the entry stores
// nothing: the low bits of a larger number would be another value.
std::optional<int> TypedConstant(const std::string& text, int lowest = 0, int highest = 0xFFFF);
void SetItems(ListState& list, TextList items);
// A list selects nothing for a position it does not hold.
void Select(ListState& list, int index);
// A radio group takes its last item for a larger position.
void SelectRadio(ListState& list, int index);
// The radio group's item for a stored number, with the same rule, when only the text is wanted.
std::string RadioText(TextList items, int index);
// An entry needs every one of these selections: with any of them missing (-1) it is refused with a beep.
bool Missing(std::initializer_list<int> selections);
}  // namespace codec_detail

}  // namespace program
