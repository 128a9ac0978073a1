// X10 action kinds: single commands, the RCS thermostat, preset dim levels, quick ON/OFF and Leviton groups.
#include <algorithm>
#include <optional>
#include <string>

#include "platform/typed_number.h"
#include "program/line_codec.h"

namespace program {

using namespace codec_detail;

namespace {
constexpr int kDim = 20, kBright = 21;
constexpr int kRcsSetpoint = 0, kRcsRequestTemperature = 33;
constexpr int kDefaultSetpoint = 72;
// What the line holds: a repeat count in four bits, a setpoint in three groups of 32 from 4. A typed number
// outside either would be stored, and sent, as another.
const platform::TypedField kRepeatField{"Repeat", 1, 16};
const platform::TypedField kSetpointField{"Setpoint", 4, 99};
}  // namespace

void LineCodec::ShowTransmitX10(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::TransmitX10;
  store_.DecodeX10Arg(line);
  const int house = store_.X10House, code = store_.X10Code, repeat = store_.X10Repeat;
  // The repeat count belongs to Dim and Bright only.
  const bool repeated = code == kDim || code == kBright;
  if (d.Lists) {
    SetItems(p.House, HouseCodeItems());
    SelectRadio(p.House, house);
    SetItems(p.Item, X10CodeItems());
    Select(p.Item, code);
    p.EditText = std::to_string(repeat);
    p.EditVisible = repeated;
  }
  const std::string fn = FunctionText(store_.GetLineFunction(line));
  const std::string letter = ItemOf(HouseCodeItems(), house), command = ItemOf(X10CodeItems(), code);
  d.View.Text =
      repeated ? FormatText("%s Transmit X10,  %s - %s, %d time(s)", fn.c_str(), letter.c_str(), command.c_str(), repeat)
               : FormatText("%s Transmit X10,  %s - %s", fn.c_str(), letter.c_str(), command.c_str());
}

void LineCodec::ShowRCSStat(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::RcsStat;
  store_.SetLineArg(line, store_.GetLineArg(line) & 0x0FFF);
  const ProgramLine& l = store_.Lines[line];
  const int house = (l.Arg >> 8) & 0xF;
  const int group = l.Arg & 0xF;
  int setpoint = kDefaultSetpoint, command = -1;
  if (group <= 2) {
    setpoint = group * 32 + l.Value + 4;
    command = kRcsSetpoint;
  } else if (group == 3) {
    command = l.Value + 1;
  } else if (group == 4) {
    command = kRcsRequestTemperature;
  }
  if (d.Lists) {
    SetItems(p.House, HouseCodeItems());
    SelectRadio(p.House, house);
    SetItems(p.Item, RcsCommandItems());
    Select(p.Item, command);
    p.EditText = std::to_string(setpoint);
  }
  // The action text is formatted with an empty first argument, hence three blanks after the Function.
  std::string action;
  if (group <= 2)
    action = FormatText("%s  Set RCS X10 %c Setpoint %d", "", 'A' + house, setpoint);
  else if (group <= 4)
    action = FormatText("%s  Send RCS X10 %c Command:  %s", "", 'A' + house, ItemOf(RcsCommandItems(), command).c_str());
  d.View.Text = FormatText("%s %s", FunctionText(l.Function()).c_str(), action.c_str());
}

void LineCodec::ShowPresetDim(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::PresetDim;
  const ProgramLine& l = store_.Lines[line];
  const int maximum = l.Kind() == 15 ? 31 : 63;
  const int unit = ((l.Arg >> 8) & 0xF) * 16 + (l.Arg & 0xFF);
  const bool variable = l.Arg & 0x8000;
  // The slider holds the level within its range, so a larger stored level shows as 100 %.
  const int level = std::min<int>(l.Value, maximum);
  if (d.Lists) {
    SetItems(p.Option, SwitchTypeItems());
    p.Option.Index = l.Kind() == 15 ? 0 : 1;
    p.Source.Items = {"", ""};
    p.Source.Index = variable;
    project::FillX10UnitList(p.Item.Items, names_);
    Select(p.Item, unit);
    p.SliderMax = maximum;
    p.Slider = 0;
    project::FillVariableList(p.Variable.Items, names_);
    if (variable) {
      Select(p.Variable, l.Value);
      p.SliderCaptionVisible = false;
    } else {
      p.Slider = level;
      LevelChanged(p);
    }
  }
  const std::string fn = FunctionText(l.Function()), name = X10UnitName(unit);
  d.View.Text = variable ? FormatText("%s Set %s, to:  %s", fn.c_str(), name.c_str(), VariableName(l.Value).c_str())
                         : FormatText("%s Set %s, to:  %d %%", fn.c_str(), name.c_str(), level * 100 / maximum);
}

void LineCodec::ShowQuickX10(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::QuickX10;
  store_.DecodeX10Arg(line);
  const int house = store_.X10House, code = store_.X10Code;
  if (store_.GetLineKind(line) == 16) {
    // The older kind becomes Quick ON/OFF, switching the unit on.
    store_.SetLineKind(line, 17);
    store_.SetLineArg(line, static_cast<std::uint16_t>(house << 8 | code));
    store_.SetLineValue(line, 1);
  }
  const ProgramLine& l = store_.Lines[line];
  const int unit = house * 16 + code;
  if (d.Lists) {
    SetItems(p.Compare, IoCommandItems());
    SelectRadio(p.Compare, l.Value);
    project::FillX10UnitList(p.Item.Items, names_);
    Select(p.Item, unit);
  }
  d.View.Text = FormatText("%s %s, %s", FunctionText(l.Function()).c_str(), X10UnitName(unit).c_str(),
                       RadioText(IoCommandItems(), l.Value).c_str());
}

void LineCodec::ShowLevGroup(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::LevGroup;
  store_.DecodeModuleArg(line);
  const int house = store_.ArgModule, set = store_.ArgLow;
  const ProgramLine& l = store_.Lines[line];
  if (d.Lists) {
    SetItems(p.House, HouseCodeItems());
    Select(p.House, house);
    SetItems(p.Item, GroupItems());
    Select(p.Item, l.Value);
    SetItems(p.Compare, GroupSetItems());
    Select(p.Compare, set);
  }
  // A house above P or a set value above 1 has no radio item: its name is empty.
  d.View.Text =
      FormatText("%s Send House %s-%s,  %s", FunctionText(l.Function()).c_str(), ItemOf(HouseCodeItems(), house).c_str(),
             ItemOf(GroupItems(), l.Value).c_str(), ItemOf(GroupSetItems(), set).c_str());
}

// panel handlers of the preset dim and transmit panels

void LineCodec::X10CommandChanged(PanelState& panel) {
  panel.EditVisible = panel.Item.Index == kDim || panel.Item.Index == kBright;
}

void LineCodec::SwitchTypeChanged(PanelState& panel) {
  panel.SliderMax = panel.Option.Index == 1 ? 63 : 31;
  if (panel.Slider > panel.SliderMax) {
    panel.Slider = panel.SliderMax;
    LevelChanged(panel);
  }
}

void LineCodec::LevelChanged(PanelState& panel) {
  panel.SliderCaption = FormatText(LightLevelCaption, panel.SliderMax > 0 ? panel.Slider * 100 / panel.SliderMax : 0);
  panel.SliderCaptionVisible = true;
}

void LineCodec::LevelVariableChanged(PanelState& panel) { panel.SliderCaptionVisible = false; }

void LineCodec::LevelSourceChanged(PanelState& panel, int source) const {
  const std::uint16_t value = store_.Lines.at(static_cast<std::size_t>(store_.CurrentLine)).Value;
  panel.Source.Index = source;
  if (source == 1) {
    Select(panel.Variable, value);
  } else {
    panel.Slider = std::clamp<int>(value, 0, panel.SliderMax);
    LevelChanged(panel);
  }
}

// encoders

bool LineCodec::EncodeX10Action(int line, const WizardView& in) {
  const PanelState& p = in.Panel;
  const int f = in.FunctionIndex < FunctionEndIndex ? in.FunctionIndex : -1;
  const bool variable = p.Source.Index == 1;
  switch (p.Id) {
    case Panel::TransmitX10: {
      // Function and Kind are as the lists stored them.
      if (Missing({p.House.Index, p.Item.Index})) return false;
      const int code = p.Item.Index;
      int repeat = 1;
      if (code == kDim || code == kBright) {
        const std::optional<int> typed = platform::ReadTypedNumberOrRefuse(p.EditText, kRepeatField);
        if (!typed) return false;
        repeat = *typed;
      }
      store_.EncodeX10Arg(line, p.House.Index, repeat, code);
      return true;
    }
    case Panel::RcsStat: {
      if (Missing({p.House.Index, p.Item.Index})) return false;
      const int command = p.Item.Index;
      int group = 3, value = command - 1;
      if (command == kRcsSetpoint) {
        const std::optional<int> typed = platform::ReadTypedNumberOrRefuse(p.EditText, kSetpointField);
        if (!typed) return false;
        const int t = *typed;
        group = t > 67 ? 2 : t > 35 ? 1 : 0;
        value = t - (group == 2 ? 68 : group == 1 ? 36 : 4);
      } else if (command == kRcsRequestTemperature) {
        group = 4;
        value = 0;
      }
      store_.SetLineArg(line, static_cast<std::uint16_t>(p.House.Index << 8 | group));
      store_.SetLineValue(line, static_cast<std::uint16_t>(value));
      return true;
    }
    case Panel::PresetDim: {
      if (Missing({f, p.Option.Index, p.Item.Index, p.Source.Index, variable ? p.Variable.Index : 0})) return false;
      const int kind = p.Option.Index == 1 ? 21 : 15;
      EncodeFunctionAndKind(line, in, kind);
      store_.SetLineArg(line, static_cast<std::uint16_t>((p.Item.Index / 16) << 8 | (p.Item.Index % 16)));
      store_.SetValueIsVariable(line, variable);
      store_.SetLineValue(line, static_cast<std::uint16_t>(variable ? p.Variable.Index
                                                                    : std::clamp(p.Slider, 0, kind == 15 ? 31 : 63)));
      return true;
    }
    case Panel::QuickX10:
      if (Missing({f, p.Item.Index, p.Compare.Index})) return false;
      EncodeFunctionAndKind(line, in, 17);
      store_.SetLineArg(line, static_cast<std::uint16_t>((p.Item.Index / 16) << 8 | (p.Item.Index % 16)));
      store_.SetLineValue(line, static_cast<std::uint16_t>(p.Compare.Index));
      return true;
    case Panel::LevGroup:
      if (Missing({f, in.ThenTypeIndex, p.House.Index, p.Item.Index, p.Compare.Index})) return false;
      EncodeFunctionAndKind(line, in, in.ThenTypeIndex);
      store_.SetLineArg(line, static_cast<std::uint16_t>(p.House.Index << 8 | p.Compare.Index));
      store_.SetLineValue(line, static_cast<std::uint16_t>(p.Item.Index));
      return true;
    default:
      return false;
  }
}

}  // namespace program
