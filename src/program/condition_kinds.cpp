// Condition kinds on modules, data, X10, IR and touch buttons: their show routines and encoders.
#include <string>

#include "program/line_codec.h"

namespace program {

using namespace codec_detail;
using project::ModuleType;

namespace {

// Point list of a module for Module / Point: the slot's children 0..count-1.
int TestPointCount(std::optional<ModuleType> type) {
  if (!type) return 0;
  switch (*type) {
    case ModuleType::Kado16:
    case ModuleType::Kado16I:
      return 16;
    case ModuleType::Pelko:
      return 8;
    case ModuleType::LurcanC:
      return 1;
    default:
      return 0;
  }
}

// Parameter list of a module for Module / Param: children first..first+count-1, stored + offset.
struct ParamList {
  int First = 0, Count = 0, Offset = 0;
};
ParamList TestParams(std::optional<ModuleType> type) {
  if (!type) return {};
  switch (*type) {
    case ModuleType::Kado16:
      return {16, 8, 10};
    case ModuleType::Kado16I:
      return {16, 16, 10};
    case ModuleType::SlaveMarvik:
    case ModuleType::SlaveTessaro:
      return {0, 52, 0};
    default:
      return {};
  }
}

bool IsLurcan(std::optional<ModuleType> type) {
  return type && (*type == ModuleType::LurcanT || *type == ModuleType::LurcanH || *type == ModuleType::LurcanA ||
                  *type == ModuleType::LurcanL || *type == ModuleType::LurcanC);
}

// The number kind 3 shows for its stored constant (the constant is stored plus 100 in 16 bits).
int LurcanConstant(std::uint16_t value) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(value - 100)); }

}  // namespace

void LineCodec::ShowTestIoPoint(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::TestIoPoint;
  const int module = (store_.GetLineArg(line) >> 8) & 0x7F;
  const int point = store_.GetLineArgLow(line);
  const int status = store_.GetLineValue(line);
  if (!OpenModulePoint(line, d, module, point, status)) return;
  // An empty module field shows the first module.
  const int selected = d.Mode == 0 ? (module == 0 ? 1 : module) : p.Module.Index + 1;
  const int count = TestPointCount(TypeOf(selected));
  if (d.Lists) {
    p.Item.Visible = p.Compare.Visible = p.EnterVisible = count > 0;
    p.Item.Items.clear();
    if (count > 0) project::FillModulePointList(p.Item.Items, selected, count - 1, 0, names_);
    Select(p.Item, point);
  }
  if (d.Mode != 0) return;
  if (d.Lists) {
    SetItems(p.Compare, IoStatusItems());
    SelectRadio(p.Compare, status);
  }
  if (store_.Lines[line].IsEmpty()) {
    d.View.Text = std::string();
    return;
  }
  d.View.Text =
      FormatText("%s %s %s %s", FunctionText(store_.GetLineFunction(line)).c_str(), SlotText(selected).c_str(),
                 point < count ? PointName(selected, point).c_str() : "", RadioText(IoStatusItems(), status).c_str());
}

void LineCodec::ShowTestModParam(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::TestModParam;
  const ProgramLine& l = store_.Lines[line];
  if (d.Mode == 2) return ShowValueOperand(line, d, std::to_string(l.Value));
  const int module = (l.Arg >> 8) & 0x7F;
  const int low = l.Arg & 0xFF;
  if (d.Mode == 0 && d.Lists) {
    project::FillModuleList(p.Module.Items, names_);
    Select(p.Module, module - 1);
  }
  const int selected = d.Mode == 0 ? module : p.Module.Index + 1;
  const ParamList params = TestParams(TypeOf(selected));
  // Below the offset the KADO16 parameter list keeps its position: the line names no parameter.
  const int position = low >= params.Offset ? low - params.Offset : -1;
  if (d.Lists) {
    const bool shown = params.Count > 0;
    p.Item.Visible = p.Compare.Visible = p.Source.Visible = p.EditVisible = p.Variable.Visible = shown;
    const int previous = p.Item.Index;
    p.Item.Items.clear();
    if (shown)
      project::FillModulePointList(p.Item.Items, selected, params.First + params.Count - 1, params.First, names_);
    Select(p.Item, position >= 0 ? position : previous);
  }
  if (d.Mode != 0) return;
  const int sub = l.Sub();
  if (d.Lists) {
    SetItems(p.Compare, ComparePhrases());
    SelectRadio(p.Compare, sub);
  }
  ShowValueOperand(line, d, std::to_string(l.Value));
  const std::string param =
      params.Count > 0 && position >= 0 && position < params.Count ? PointName(module, params.First + position) : "";
  d.View.Text = WithValue(FormatText("%s %s %s %s", FunctionText(l.Function()).c_str(), SlotText(module).c_str(),
                                     param.c_str(), RadioText(ComparePhrases(), sub).c_str()),
                          line, l.Value);
}

void LineCodec::ShowReceiveX10(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::ReceiveX10;
  store_.DecodeX10Arg(line);
  const int house = store_.X10House, code = store_.X10Code;
  if (d.Lists) {
    SetItems(p.House, HouseCodeItems());
    SelectRadio(p.House, house);
    SetItems(p.Item, X10CodeItems());
    Select(p.Item, code);
  }
  d.View.Text = FormatText("%s Receive X10,  %s - %s", FunctionText(store_.GetLineFunction(line)).c_str(),
                           ItemOf(HouseCodeItems(), house).c_str(), ItemOf(X10CodeItems(), code).c_str());
}

void LineCodec::ShowTestLurcanData(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::TestLurcanData;
  const ProgramLine& l = store_.Lines[line];
  if (d.Mode == 2) return ShowValueOperand(line, d, std::to_string(LurcanConstant(l.Value)));
  const int module = (l.Arg >> 8) & 0x7F;
  if (d.Mode == 0 && d.Lists) {
    project::FillModuleList(p.Module.Items, names_);
    Select(p.Module, module - 1);
  }
  const int selected = d.Mode == 0 ? module : p.Module.Index + 1;
  const int sub = l.Sub();
  if (d.Lists) {
    p.Compare.Visible = p.Source.Visible = p.EditVisible = p.Variable.Visible = IsLurcan(TypeOf(selected));
    SetItems(p.Compare, ComparePhrases());
    SelectRadio(p.Compare, sub);
  }
  if (d.Mode != 0) return;
  ShowValueOperand(line, d, std::to_string(LurcanConstant(l.Value)));
  d.View.Text = WithValue(FormatText("%s %s %s", FunctionText(l.Function()).c_str(), SlotText(module).c_str(),
                                     RadioText(ComparePhrases(), sub).c_str()),
                          line, LurcanConstant(l.Value));
}

void LineCodec::ShowTestTimerData(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::TestTimerData;
  const ProgramLine& l = store_.Lines[line];
  if (d.Mode == 2) return ShowValueOperand(line, d, std::to_string(l.Value));
  const int timer = l.Arg & 0xFF;
  if (timer > 63) {
    store_.SetLineArgLow(line, 0);
    return Warn(line, d);
  }
  const int sub = l.Sub();
  if (d.Lists) {
    project::FillTimerList(p.Item.Items, names_);
    Select(p.Item, timer);
    SetItems(p.Compare, ComparePhrases());
    SelectRadio(p.Compare, sub);
  }
  ShowValueOperand(line, d, std::to_string(l.Value));
  d.View.Text = WithValue(FormatText("%s %s %s", FunctionText(l.Function()).c_str(), TimerName(timer).c_str(),
                                     RadioText(ComparePhrases(), sub).c_str()),
                          line, l.Value);
}

void LineCodec::ShowTestVariableData(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::TestVariableData;
  const ProgramLine& l = store_.Lines[line];
  if (d.Mode == 2) return ShowValueOperand(line, d, std::to_string(l.Value));
  const int entry = l.Arg & 0xFF;
  const int sub = l.Sub();
  if (d.Lists) {
    project::FillVariableList(p.Item.Items, names_);
    project::AddModuleDataItems(p.Item.Items);
    Select(p.Item, entry);
    SetItems(p.Compare, ComparePhrases());
    SelectRadio(p.Compare, sub);
  }
  ShowValueOperand(line, d, std::to_string(l.Value));
  d.View.Text = WithValue(FormatText("%s %s %s", FunctionText(l.Function()).c_str(), VariableOrDataName(entry).c_str(),
                                     RadioText(ComparePhrases(), sub).c_str()),
                          line, l.Value);
}

void LineCodec::ShowReceiveIR(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::ReceiveIr;
  const ProgramLine& l = store_.Lines[line];
  if (d.Lists) {
    project::FillControllerModuleList(p.Module.Items, names_);
    Select(p.Module, l.Arg);
    project::FillIrList(p.Item.Items, names_);
    Select(p.Item, l.Value);
  }
  d.View.Text = FormatText("%s  Receive IR %s, from  %s", FunctionText(l.Function()).c_str(), IrName(l.Value).c_str(),
                           ControllerModuleText(l.Arg).c_str());
}

void LineCodec::ShowX10Status(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::X10Status;
  const ProgramLine& l = store_.Lines[line];
  const int unit = 16 * ((l.Arg >> 8) & 0x7F) + (l.Arg & 0xFF);
  if (d.Lists) {
    project::FillX10UnitList(p.Item.Items, names_);
    Select(p.Item, unit);
    SetItems(p.Compare, X10StatusItems());
    SelectRadio(p.Compare, l.Value);
  }
  d.View.Text = FormatText("%s %s,  %s", FunctionText(l.Function()).c_str(), X10UnitName(unit).c_str(),
                           RadioText(X10StatusItems(), l.Value).c_str());
}

void LineCodec::ShowIoError(int line, Display& d) {
  // No panel: showing the kind enters it, so the operands become 0.
  d.View.Panel = PanelState{};
  const int function = store_.GetLineFunction(line);
  store_.SetLineFunction(line, function);
  store_.SetLineKind(line, 18);
  d.View.ReferenceLine = line;
  d.View.Text = FormatText("%s  I/O Error Occurs", FunctionText(function).c_str());
  d.View.ShowWindow = true;
}

void LineCodec::ShowTouchButton(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::TouchButton;
  const ProgramLine& l = store_.Lines[line];
  const bool touch = IsTouchController();
  if (d.Lists) {
    project::FillControllerModuleList(p.Module.Items, names_);
    Select(p.Module, l.Arg);
    p.Item.Items.clear();
    if (touch) {
      project::FillTouchObjectList(p.Item.Items, names_);
    } else {
      for (int i = 0; i < 512; ++i) p.Item.Items.push_back(std::to_string(i));
    }
    Select(p.Item, l.Value);
  }
  std::string button = touch ? TouchObjectName(l.Value) : l.Value < 512 ? std::to_string(l.Value) : std::string();
  d.View.Text = FormatText("%s  %s, Button  %s is pressed", FunctionText(l.Function()).c_str(),
                           ControllerModuleText(l.Arg).c_str(), button.c_str());
}

bool LineCodec::EncodeCondition(int line, const WizardView& in) {
  const PanelState& p = in.Panel;
  const int f = in.FunctionIndex < FunctionEndIndex ? in.FunctionIndex : -1;
  const int k = in.IfTypeIndex;
  const bool variable = p.Source.Index == 1;
  const int valueSource = variable ? p.Variable.Index : 0;
  // The operand's Value: the variable's position, or the Constant typed; nothing when that is refused.
  const auto operand = [&](int lowest = 0, int highest = 0xFFFF) -> std::optional<int> {
    if (variable) return p.Variable.Index;
    return TypedConstant(p.EditText, lowest, highest);
  };
  switch (p.Id) {
    case Panel::TestIoPoint:
      if (Missing({f, k, p.Module.Index, p.Item.Index, p.Compare.Index})) return false;
      EncodeFunctionAndKind(line, in, k);
      store_.EncodeModuleArg(line, p.Module.Index + 1, p.Item.Index);
      store_.SetLineValue(line, static_cast<std::uint16_t>(p.Compare.Index));
      return true;
    case Panel::TestModParam: {
      if (Missing({f, k, p.Module.Index, p.Item.Index, p.Compare.Index, p.Source.Index, valueSource})) return false;
      const std::optional<int> value = operand();
      if (!value) return false;
      const auto type = TypeOf(p.Module.Index + 1);
      const bool slave = type == ModuleType::SlaveTessaro || type == ModuleType::SlaveMarvik;
      EncodeFunctionAndKind(line, in, k);
      store_.SetLineSub(line, p.Compare.Index);
      store_.EncodeModuleArg(line, p.Module.Index + 1, slave ? p.Item.Index : p.Item.Index + 10);
      store_.SetValueIsVariable(line, variable);
      store_.SetLineValue(line, static_cast<std::uint16_t>(*value));
      return true;
    }
    case Panel::ReceiveX10:
      // Only the operand: the line already holds this kind with its Function, Sub and Value.
      if (Missing({p.House.Index, p.Item.Index})) return false;
      store_.EncodeX10Arg(line, p.House.Index, 1, p.Item.Index);
      return true;
    case Panel::TestLurcanData: {
      if (Missing({f, k, p.Module.Index, p.Compare.Index, p.Source.Index, valueSource})) return false;
      // Stored plus 100 in 16 bits and shown back as a signed number: a constant past either would come
      // back, and reach the controller, as another.
      const std::optional<int> value = operand(-100, 0x7FFF);
      if (!value) return false;
      EncodeFunctionAndKind(line, in, k);
      store_.SetLineSub(line, p.Compare.Index);
      store_.EncodeModuleArg(line, p.Module.Index + 1, 0);
      store_.SetValueIsVariable(line, variable);
      store_.SetLineValue(line, static_cast<std::uint16_t>(variable ? *value : *value + 100));
      return true;
    }
    case Panel::TestTimerData:
    case Panel::TestVariableData: {
      if (Missing({f, k, p.Item.Index, p.Compare.Index, p.Source.Index, valueSource})) return false;
      const std::optional<int> value = operand();
      if (!value) return false;
      EncodeFunctionAndKind(line, in, k);
      store_.SetLineSub(line, p.Compare.Index);
      store_.SetLineArgLow(line, p.Item.Index & 0xFF);
      store_.SetValueIsVariable(line, variable);
      store_.SetLineValue(line, static_cast<std::uint16_t>(*value));
      return true;
    }
    case Panel::ReceiveIr:
      if (Missing({f, k, p.Module.Index, p.Item.Index})) return false;
      EncodeFunctionAndKind(line, in, k);
      store_.SetLineArg(line, static_cast<std::uint16_t>(p.Module.Index));
      store_.SetLineValue(line, static_cast<std::uint16_t>(p.Item.Index));
      return true;
    case Panel::X10Status:
      if (Missing({f, k, p.Item.Index, p.Compare.Index})) return false;
      EncodeFunctionAndKind(line, in, k);
      store_.SetLineArg(line, static_cast<std::uint16_t>((p.Item.Index / 16) << 8 | (p.Item.Index % 16)));
      store_.SetLineValue(line, static_cast<std::uint16_t>(p.Compare.Index));
      return true;
    case Panel::TouchButton: {
      if (Missing({f, k, p.Module.Index, p.Item.Index})) return false;
      // Only a touch-screen controller has buttons; for any other module the line stays as it was but is
      // shown again.
      const bool touch =
          (p.Module.Index == 0 && IsTouchController()) || TypeOf(p.Module.Index) == ModuleType::SlaveTessaro;
      if (touch) {
        EncodeFunctionAndKind(line, in, k);
        store_.SetLineArg(line, static_cast<std::uint16_t>(p.Module.Index));
        store_.SetLineValue(line, static_cast<std::uint16_t>(p.Item.Index));
      }
      return true;
    }
    default:
      return false;
  }
}

}  // namespace program
