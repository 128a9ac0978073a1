// Action kinds of THEN and ELSE lines other than the X10 ones: their show routines and encoders.
#include <string>

#include "platform/ui.h"
#include "program/line_codec.h"

namespace program {

using namespace codec_detail;
using project::ModuleType;

namespace {
bool IsSlave(std::optional<ModuleType> type) {
  return type == ModuleType::SlaveMarvik || type == ModuleType::SlaveTessaro;
}
}  // namespace

void LineCodec::ShowSetIo(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::SetIo;
  const ProgramLine& l = store_.Lines[line];
  const int module = (l.Arg >> 8) & 0x7F;
  const int point = l.Arg & 0xFF;
  const int command = l.Value;
  if (!OpenModulePoint(line, d, module, point, command)) return;
  const int selected = d.Mode == 0 ? (module == 0 ? 1 : module) : p.Module.Index + 1;
  const auto type = TypeOf(selected);
  // A KADO16 switches its relays 8..15 (a lower point shows the first relay), a Pelko its relays 0..7.
  int first = 0, position = -1;
  if (type == ModuleType::Kado16) {
    first = 8;
    position = point < 8 ? 0 : point - 8;
  } else if (type == ModuleType::Pelko) {
    position = point < 8 ? point : -1;
  }
  const bool shown = type == ModuleType::Kado16 || type == ModuleType::Pelko;
  if (d.Lists) {
    p.Item.Visible = p.Compare.Visible = p.EnterVisible = shown;
    p.Item.Items.clear();
    if (shown) project::FillModulePointList(p.Item.Items, selected, first + 7, first, names_);
    Select(p.Item, position);
  }
  if (d.Mode != 0) return;
  if (d.Lists) {
    SetItems(p.Compare, IoCommandItems());
    SelectRadio(p.Compare, command);
  }
  d.View.Text = FormatText("%s %s %s %s", FunctionText(l.Function()).c_str(), SlotText(selected).c_str(),
                           position >= 0 ? PointName(selected, first + position).c_str() : "",
                           RadioText(IoCommandItems(), command).c_str());
}

void LineCodec::ShowSetModParam(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::SetModParam;
  const ProgramLine& l = store_.Lines[line];
  if (d.Mode == 2) return ShowValueOperand(line, d, std::to_string(l.Value));
  const int module = (l.Arg >> 8) & 0x7F;
  const int low = l.Arg & 0xFF;
  if (d.Mode == 0) {
    if (low > 127) {
      store_.SetLineArgLow(line, 0);
      return Warn(line, d);
    }
    if (d.Lists) {
      project::FillModuleList(p.Module.Items, names_);
      Select(p.Module, module - 1);
    }
  }
  const int selected = d.Mode == 0 ? module : p.Module.Index + 1;
  const auto type = TypeOf(selected);
  // KADO16 and Pelko modules take a plain number 0..16, slave controllers one of their variables.
  const bool numbered = type == ModuleType::Kado16 || type == ModuleType::Pelko;
  const bool slave = IsSlave(type);
  if (d.Lists) {
    p.Item.Visible = p.Source.Visible = p.EditVisible = p.Variable.Visible = numbered || slave;
    p.Item.Items.clear();
    if (numbered)
      for (int i = 0; i <= 16; ++i) p.Item.Items.push_back(std::to_string(i));
    if (slave) project::FillModulePointList(p.Item.Items, selected, 127, 0, names_);
    Select(p.Item, low);
  }
  if (d.Mode != 0) return;
  ShowValueOperand(line, d, std::to_string(l.Value));
  const std::string entry = numbered ? (low <= 16 ? std::to_string(low) : "") : slave ? PointName(module, low) : "";
  d.View.Text = WithValue(
      FormatText("%s %s %s to: ", FunctionText(l.Function()).c_str(), SlotText(module).c_str(), entry.c_str()), line,
      l.Value);
}

void LineCodec::ShowLoadData(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::LoadData;
  const ProgramLine& l = store_.Lines[line];
  if (d.Lists) {
    project::FillVariableList(p.Item.Items, names_);
    Select(p.Item, l.Arg);
  }
  d.View.Text = FormatText("%s  Load Data to:  %s", FunctionText(l.Function()).c_str(), VariableName(l.Arg).c_str());
}

void LineCodec::ShowSetTimerData(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::SetTimerData;
  const ProgramLine& l = store_.Lines[line];
  if (d.Mode == 2) return ShowValueOperand(line, d, std::to_string(l.Value));
  const int timer = l.Arg & 0xFF;
  if (timer > 63) {
    store_.SetLineArgLow(line, 0);
    return Warn(line, d);
  }
  if (d.Lists) {
    project::FillTimerList(p.Item.Items, names_);
    Select(p.Item, timer);
  }
  ShowValueOperand(line, d, std::to_string(l.Value));
  d.View.Text =
      WithValue(FormatText("%s %s =", FunctionText(l.Function()).c_str(), TimerName(timer).c_str()), line, l.Value);
}

void LineCodec::ShowSetVariableData(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::SetVariableData;
  const ProgramLine& l = store_.Lines[line];
  if (d.Mode == 2) return ShowValueOperand(line, d, std::to_string(l.Value), true);
  const int target = l.Arg & 0xFF;
  if (target > 127) {
    store_.SetLineArgLow(line, 0);
    return Warn(line, d);
  }
  const int op = l.Sub();
  if (d.Lists) {
    project::FillVariableList(p.Item.Items, names_);
    Select(p.Item, target);
    SetItems(p.Compare, OperatorItems());
    SelectRadio(p.Compare, op);
  }
  ShowValueOperand(line, d, std::to_string(l.Value), true);
  d.View.Text = WithValue(FormatText("%s %s %s", FunctionText(l.Function()).c_str(), VariableName(target).c_str(),
                                     RadioText(OperatorItems(), op).c_str()),
                          line, l.Value, true);
}

void LineCodec::ShowProgramJump(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::ProgramJump;
  if (store_.GetLineValue(line) == 0) store_.SetLineValue(line, 1);
  const long target = static_cast<long>(line) + store_.Lines[line].Value;
  if (d.Lists) p.EditText = std::to_string(line + 1);
  if (target >= 4097) return;
  if (d.Lists) p.EditText = std::to_string(target);
  d.View.Text = FormatText("%s Skip to line %lu", FunctionText(store_.GetLineFunction(line)).c_str(),
                           static_cast<unsigned long>(target));
}

void LineCodec::ShowSetIcon(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::SetIcon;
  const ProgramLine& l = store_.Lines[line];
  const int object = l.Arg & 0xFF;
  const bool variable = l.Arg & 0x8000;
  const bool touch = IsTouchController();
  if (d.Lists) {
    project::FillTouchObjectList(p.Item.Items, names_);
    Select(p.Item, object);
    project::FillIconList(p.Choice.Items, names_);
    SetItems(p.Source, DataSourceItems());
    p.Source.Index = variable;
    p.Choice.Enabled = !variable;
    p.Variable.Enabled = variable;
    if (variable) {
      project::FillVariableList(p.Variable.Items, names_);
      Select(p.Variable, l.Value);
    } else {
      Select(p.Choice, l.Value);
    }
  }
  if (!touch) {
    d.View.Text = std::string();
    return;
  }
  const std::string base =
      FormatText("%s %s displays ", FunctionText(l.Function()).c_str(), TouchObjectName(object).c_str());
  d.View.Text = variable ? FormatText("%s Icon# in %s", base.c_str(), VariableName(l.Value).c_str())
                         : FormatText("%s Icon# %s", base.c_str(), IconName(l.Value).c_str());
}

void LineCodec::ShowSendIR(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::SendIr;
  const ProgramLine& l = store_.Lines[line];
  const bool variable = l.Arg & 0x8000;
  const int module = (l.Arg >> 8) & 0x7F;
  const int zone = l.Arg & 0xFF;
  auto showSource = [&] {
    if (!d.Lists) return;
    SetItems(p.Source, DataSourceItems());
    p.Source.Index = variable;
    p.Choice.Enabled = !variable;
    p.Variable.Enabled = variable;
    if (variable) {
      project::FillVariableList(p.Variable.Items, names_);
      Select(p.Variable, l.Value);
    } else {
      project::FillIrList(p.Choice.Items, names_);
      Select(p.Choice, l.Value);
      p.Variable.Items.clear();
      p.Variable.Index = -1;
    }
  };
  if (d.Mode == 2) return showSource();
  if (d.Mode == 0 && d.Lists) {
    project::FillControllerModuleList(p.Module.Items, names_);
    Select(p.Module, module);
  }
  // Zones: a KADO16-IR module has 16, the controller and the slave controllers the one "Zone 0".
  auto zonesOf = [this](int entry) {
    if (entry == 0 || IsSlave(TypeOf(entry))) return 1;
    return TypeOf(entry) == ModuleType::Kado16Ir ? 16 : 0;
  };
  const int selected = d.Mode == 0 ? module : p.Module.Index;
  const int zones = selected < 0 ? 0 : zonesOf(selected);
  if (d.Lists) {
    p.Item.Visible = p.Source.Visible = p.Choice.Visible = p.Variable.Visible = zones > 0;
    p.Item.Items.clear();
    if (zones == 1) p.Item.Items.emplace_back(ZoneZeroItem);
    if (zones == 16) project::FillModulePointList(p.Item.Items, selected, 15, 0, names_);
    Select(p.Item, zone);
  }
  if (d.Mode != 0) return;
  showSource();
  std::string zoneName;
  if (zones == 1 && zone == 0) zoneName = ZoneZeroItem;
  if (zones == 16 && zone < 16) zoneName = PointName(module, zone);
  const std::string base = FormatText("%s %s, %s IR ", FunctionText(l.Function()).c_str(),
                                      ControllerModuleText(module).c_str(), zoneName.c_str());
  d.View.Text = FormatText("%s %s", base.c_str(), (variable ? VariableName(l.Value) : IrName(l.Value)).c_str());
}

void LineCodec::ShowSendPage(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::SendPage;
  if (store_.GetLineArgLow(line) == 0) store_.SetLineArgLow(line, 1);
  const int message = store_.GetLineArgLow(line);
  if (d.Lists) {
    SetItems(p.Item, PagerMessageItems());
    Select(p.Item, message - 1);
  }
  d.View.Text = FormatText("%s Send Pager %s", FunctionText(store_.GetLineFunction(line)).c_str(),
                           ItemOf(PagerMessageItems(), message - 1).c_str());
}

void LineCodec::ShowMurmex(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::Murmex;
  if (d.Mode == 0 && ((store_.GetLineArg(line) >> 8) & 0x7F) == 0) store_.SetLineArg(line, 1 << 8);
  const ProgramLine& l = store_.Lines[line];
  const int module = (l.Arg >> 8) & 0x7F;
  const int message = l.Arg & 0xFF;
  if (d.Mode == 0 && d.Lists) {
    project::FillModuleList(p.Module.Items, names_);
    Select(p.Module, module - 1);
  }
  const int selected = d.Mode == 0 ? module : p.Module.Index + 1;
  if (d.Lists) {
    const bool murmex = TypeOf(selected) == ModuleType::Murmex;
    p.Item.Visible = murmex;
    p.Item.Items.clear();
    if (murmex) project::FillModulePointList(p.Item.Items, selected, 49, 0, names_);
    Select(p.Item, message);
  }
  // Rendered from the stored record, also after a change of the module list.
  const bool murmex = TypeOf(module) == ModuleType::Murmex;
  d.View.Text = FormatText("%s Send %s %s", FunctionText(l.Function()).c_str(), SlotText(module).c_str(),
                           murmex && message < 50 ? PointName(module, message).c_str() : "");
}

void LineCodec::ShowSendASCII(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::SendAscii;
  const ProgramLine& l = store_.Lines[line];
  if (d.Mode == 2) return ShowValueOperand(line, d, std::to_string(l.Value));
  const int module = (l.Arg >> 8) & 0x7F;
  const int embedded = l.Arg & 0xFF;
  if (d.Mode == 0 && d.Lists) {
    project::FillControllerModuleList(p.Module.Items, names_);
    Select(p.Module, module);
  }
  auto takesVariable = [this](int entry) {
    const auto type = TypeOf(entry);
    return entry == 0 || IsSlave(type) || type == ModuleType::LurcanA;
  };
  const int selected = d.Mode == 0 ? module : p.Module.Index;
  const bool shown = selected >= 0 && takesVariable(selected);
  if (d.Lists) {
    p.Item.Visible = p.Source.Visible = p.EditVisible = p.Variable.Visible = shown;
    p.Item.Items.clear();
    if (shown) project::FillVariableList(p.Item.Items, names_);
    Select(p.Item, embedded);
  }
  if (d.Mode != 0) return;
  ShowValueOperand(line, d, std::to_string(l.Value));
  std::string text =
      FormatText("%s Send %s Message", FunctionText(l.Function()).c_str(), ControllerModuleText(module).c_str());
  text = WithValue(text, line, l.Value);
  d.View.Text = FormatText("%s w/ %s", text.c_str(), shown ? VariableName(embedded).c_str() : "");
}

// restore and encoders

bool LineCodec::EncodeAction(int line, const WizardView& in) {
  const PanelState& p = in.Panel;
  const int f = in.FunctionIndex < FunctionEndIndex ? in.FunctionIndex : -1;
  const int k = in.ThenTypeIndex;
  const bool variable = p.Source.Index == 1;
  auto value = [&](long constant) { return static_cast<std::uint16_t>(variable ? p.Variable.Index : constant); };
  // The Value of an operand whose constant is typed; nothing when the Constant is refused.
  auto typedValue = [&]() -> std::optional<std::uint16_t> {
    if (variable) return value(0);
    const std::optional<int> constant = TypedConstant(p.EditText);
    if (!constant) return std::nullopt;
    return value(*constant);
  };
  switch (p.Id) {
    case Panel::SetIo: {
      if (Missing({f, k, p.Module.Index, p.Compare.Index})) return false;
      const int module = p.Module.Index + 1;
      const auto type = TypeOf(module);
      const bool relays = type == ModuleType::Kado16 || type == ModuleType::Pelko;
      if (relays && Missing({p.Item.Index})) return false;
      EncodeFunctionAndKind(line, in, k);
      if (type == ModuleType::Kado16) store_.EncodeModuleArg(line, module, p.Item.Index + 8);
      if (type == ModuleType::Pelko) store_.EncodeModuleArg(line, module, p.Item.Index);
      store_.SetLineValue(line, static_cast<std::uint16_t>(p.Compare.Index));
      return true;
    }
    case Panel::SetModParam: {
      if (Missing({f, k, p.Module.Index, p.Item.Index, p.Source.Index, variable ? p.Variable.Index : 0})) return false;
      const std::optional<std::uint16_t> typed = typedValue();
      if (!typed) return false;
      EncodeFunctionAndKind(line, in, k);
      store_.EncodeModuleArg(line, p.Module.Index + 1, p.Item.Index);
      store_.SetValueIsVariable(line, variable);
      store_.SetLineValue(line, *typed);
      return true;
    }
    case Panel::LoadData:
      if (Missing({f, k, p.Item.Index})) return false;
      EncodeFunctionAndKind(line, in, k);
      store_.SetLineArg(line, static_cast<std::uint16_t>(p.Item.Index));
      return true;
    case Panel::SetTimerData:
    case Panel::SetVariableData: {
      const bool timer = p.Id == Panel::SetTimerData;
      if (Missing({f, k, p.Item.Index, timer ? 0 : p.Compare.Index, p.Source.Index, variable ? p.Variable.Index : 0}))
        return false;
      const std::optional<std::uint16_t> typed = typedValue();
      if (!typed) return false;
      EncodeFunctionAndKind(line, in, k);
      store_.SetLineSub(line, timer ? 3 : p.Compare.Index);
      store_.SetLineArgLow(line, p.Item.Index & 0xFF);
      store_.SetValueIsVariable(line, variable);
      store_.SetLineValue(line, *typed);
      return true;
    }
    case Panel::ProgramJump: {
      // Function and Kind are as the lists stored them. A target that is not ahead of the line or lies
      // past line 4094 is refused and the line keeps what it held.
      const long target = DecimalValue(p.EditText);
      const long distance = target - line;
      if (distance <= 0 || target >= 4095) {
        platform::Ui().Beep();
        platform::Ui().ShowMessage(InvalidSkipMessage);
        return false;
      }
      store_.SetLineValue(line, static_cast<std::uint16_t>(distance));
      return true;
    }
    case Panel::SetIcon:
      if (!IsTouchController()) return false;
      if (Missing({f, k, p.Item.Index, p.Source.Index, variable ? p.Variable.Index : p.Choice.Index})) return false;
      EncodeFunctionAndKind(line, in, k);
      store_.EncodeModuleArg(line, 0, p.Item.Index & 0xFF);
      store_.SetValueIsVariable(line, variable);
      store_.SetLineValue(line, value(p.Choice.Index));
      return true;
    case Panel::SendIr:
      if (Missing({f, k, p.Module.Index, p.Item.Index, p.Source.Index, variable ? p.Variable.Index : p.Choice.Index}))
        return false;
      EncodeFunctionAndKind(line, in, k);
      store_.EncodeModuleArg(line, p.Module.Index, p.Item.Index);
      store_.SetValueIsVariable(line, variable);
      store_.SetLineValue(line, value(p.Choice.Index));
      return true;
    case Panel::SendPage:
      if (Missing({p.Item.Index})) return false;
      store_.SetLineArgLow(line, p.Item.Index + 1);
      return true;
    case Panel::Murmex:
      if (Missing({p.Module.Index, p.Item.Index})) return false;
      store_.SetLineArg(line, static_cast<std::uint16_t>((p.Module.Index + 1) << 8 | p.Item.Index));
      return true;
    case Panel::SendAscii: {
      if (Missing({p.Module.Index, p.Item.Index, p.Source.Index, variable ? p.Variable.Index : 0})) return false;
      const std::optional<std::uint16_t> typed = typedValue();
      if (!typed) return false;
      store_.EncodeModuleArg(line, p.Module.Index, p.Item.Index);
      store_.SetValueIsVariable(line, variable);
      store_.SetLineValue(line, *typed);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace program
