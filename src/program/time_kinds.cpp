// Condition kinds on the time of day and the date. None of them warns: the corrections are silent.
#include <algorithm>
#include <chrono>
#include <string>

#include "platform/ui.h"
#include "program/line_codec.h"

namespace program {

using namespace codec_detail;

namespace {
// The comparison of kinds 7..11 and of the time of day, stored back as 0 when above 3.
int CheckedSub(ProgramStore& store, int line) {
  int sub = store.GetLineSub(line);
  if (sub > 3) {
    store.SetLineSub(line, 0);
    sub = 0;
  }
  return sub;
}

std::chrono::year_month_day DateOfDayNumber(int dayNumber) {
  using namespace std::chrono;
  return year_month_day{sys_days{year{1998} / December / 31} + days{dayNumber}};
}
}  // namespace

void LineCodec::ShowTOD(int line, Display& d) {
  PanelState& p = d.P();
  p.Id = Panel::TimeOfDay;
  const int sub = CheckedSub(store_, line);
  const ProgramLine& l = store_.Lines[line];
  const std::string fn = FunctionText(l.Function());
  const char* phrase = TimeComparePhrases()[static_cast<std::size_t>(sub)];
  if (d.Lists) {
    SetItems(p.Compare, TimeComparePhrases());
    p.Compare.Index = sub;
    SetItems(p.Tab, TodTabItems());
    SetItems(p.Source, DataSourceItems());
    SetItems(p.Option, SunItems());
    p.SliderMax = 240;
  }
  const int form = l.Arg >> 12;
  const int low = l.Arg & 0xFFF;
  switch (form) {
    case 0:
      if (d.Lists) {
        p.Tab.Index = 1;
        p.Source.Index = 0;
        p.EditText = std::to_string(l.Arg);
        p.Variable.Items.clear();
      }
      d.View.Text = FormatText("%s Time of Day %s %02d:%02d", fn.c_str(), phrase, l.Arg / 100, l.Arg % 100);
      break;
    case 2:
      if (d.Lists) {
        p.Tab.Index = 1;
        p.Source.Index = 1;
        p.EditText.clear();
        project::FillVariableList(p.Variable.Items, names_);
        Select(p.Variable, l.Value);
      }
      d.View.Text = FormatText("%s Time of Day %s %s", fn.c_str(), phrase, VariableName(l.Value).c_str());
      break;
    case 4:
    case 8:
      if (d.Lists) {
        p.Tab.Index = 0;
        p.Option.Index = form == 4 ? 0 : 1;
        p.Slider = low;
        SunOffsetChanged(p);
      }
      d.View.Text = FormatText(
          form == 4 ? "%s Time of Day %s Sunrise offset %d minutes" : "%s Time of Day %s Sunset offset %d minutes",
          fn.c_str(), phrase, low - 120);
      break;
    default:
      // No encoder stores another form: the text is left as it was.
      break;
  }
}

// Month and Day of Week: a constant picks an entry of a fixed list, a variable one of the variables.

void LineCodec::ShowMonth(int line, Display& d) {
  const int sub = CheckedSub(store_, line);
  if (!store_.GetValueIsVariable(line) && store_.GetLineValue(line) == 0) store_.SetLineValue(line, 1);
  ShowListOrVariable(line, d, sub, Panel::Month, MonthItems(), 1, "Month");
}

void LineCodec::ShowWeekDay(int line, Display& d) {
  const int sub = CheckedSub(store_, line);
  ShowListOrVariable(line, d, sub, Panel::WeekDay, WeekdayItems(), 0, "Day of Week");
}

// `Value` - `first` is the position in `items` when the line holds a constant.
void LineCodec::ShowListOrVariable(int line, Display& d, int sub, Panel panel, const TextList& items, int first,
                                   const char* label) {
  PanelState& p = d.P();
  p.Id = panel;
  const ProgramLine& l = store_.Lines[line];
  const bool variable = l.Arg & 0x8000;
  if (d.Lists) {
    SetItems(p.Compare, DateComparePhrases());
    p.Compare.Index = sub;
    SetItems(p.Source, DataSourceItems());
    p.Source.Index = variable;
    SetItems(p.Item, items);
    p.Item.Enabled = !variable;
    p.Variable.Enabled = variable;
    if (variable) {
      project::FillVariableList(p.Variable.Items, names_);
      Select(p.Variable, l.Value);
    } else {
      Select(p.Item, l.Value - first);
    }
  }
  d.View.Text = FormatText("%s  %s %s %s", FunctionText(l.Function()).c_str(), label, DateComparePhrases()[sub],
                           (variable ? VariableName(l.Value) : ItemOf(items, l.Value - first)).c_str());
}

// Day of Month and Year: a typed number or a variable.
namespace {
void ShowNumberOrVariable(const ProgramLine& l, PanelState& p, bool lists, int sub, const project::NameTable& names) {
  const bool variable = l.Arg & 0x8000;
  if (!lists) return;
  SetItems(p.Compare, DateComparePhrases());
  p.Compare.Index = sub;
  SetItems(p.Source, DataSourceItems());
  p.Source.Index = variable;
  p.EditEnabled = !variable;
  p.Variable.Enabled = variable;
  if (variable) {
    p.EditText.clear();
    project::FillVariableList(p.Variable.Items, names);
    Select(p.Variable, l.Value);
  } else {
    p.EditText = std::to_string(l.Value);
    p.Variable.Items.clear();
  }
}
}  // namespace

void LineCodec::ShowDayOfMonth(int line, Display& d) {
  const int sub = CheckedSub(store_, line);
  d.P().Id = Panel::DayOfMonth;
  const ProgramLine& l = store_.Lines[line];
  ShowNumberOrVariable(l, d.P(), d.Lists, sub, names_);
  const std::string fn = FunctionText(l.Function());
  d.View.Text = (l.Arg & 0x8000) ? FormatText("%s  Day of Month %s %s", fn.c_str(), DateComparePhrases()[sub],
                                              VariableName(l.Value).c_str())
                                 : FormatText("%s  Day of Month %s %d", fn.c_str(), DateComparePhrases()[sub], l.Value);
}

void LineCodec::ShowYear(int line, Display& d) {
  const int sub = CheckedSub(store_, line);
  d.P().Id = Panel::Year;
  const ProgramLine& l = store_.Lines[line];
  ShowNumberOrVariable(l, d.P(), d.Lists, sub, names_);
  const std::string fn = FunctionText(l.Function());
  d.View.Text = (l.Arg & 0x8000)
                    ? FormatText("%s  Year %s %s", fn.c_str(), DateComparePhrases()[sub], VariableName(l.Value).c_str())
                    : FormatText("%s  Year %s %d", fn.c_str(), DateComparePhrases()[sub], l.Value);
}

void LineCodec::ShowDate(int line, Display& d) {
  const int sub = CheckedSub(store_, line);
  PanelState& p = d.P();
  p.Id = Panel::Date;
  const ProgramLine& l = store_.Lines[line];
  const std::chrono::year_month_day date = DateOfDayNumber(l.Value);
  const int day = static_cast<int>(static_cast<unsigned>(date.day()));
  const int month = static_cast<int>(static_cast<unsigned>(date.month()));
  const int year = static_cast<int>(date.year());
  if (d.Lists) {
    SetItems(p.Compare, DateComparePhrases());
    p.Compare.Index = sub;
    // Day number 0 leaves the picker as it was.
    if (l.Value != 0) p.Day = day, p.Month = month, p.Year = year;
  }
  const std::string text = FormatText("%02d/%02d/%02d", month, day, year % 100);
  d.View.Text =
      FormatText("%s  Date %s %s", FunctionText(l.Function()).c_str(), DateComparePhrases()[sub], text.c_str());
}

// panel handlers of the time of day

void LineCodec::SunOffsetChanged(PanelState& panel) {
  panel.SliderCaption = FormatText(SunOffsetCaption, panel.Slider - 120);
}

void LineCodec::TodTabChanged(PanelState& panel, int tab) const {
  panel.Tab.Index = tab;
  const ProgramLine& l = store_.Lines.at(static_cast<std::size_t>(store_.CurrentLine));
  if (tab == 0 && l.Arg == 0 && l.Value == 0) {
    panel.Option.Index = 0;
    panel.Slider = 120;
    SunOffsetChanged(panel);
  }
}

void LineCodec::TodSourceChanged(PanelState& panel, int source) const {
  panel.Source.Index = source;
  if (source == 1) {
    project::FillVariableList(panel.Variable.Items, names_);
    Select(panel.Variable, store_.Lines.at(static_cast<std::size_t>(store_.CurrentLine)).Value);
    panel.EditText.clear();
  } else {
    panel.Variable.Items.clear();
    panel.Variable.Index = -1;
  }
}

// encoders

bool LineCodec::EncodeTimeCondition(int line, const WizardView& in) {
  const PanelState& p = in.Panel;
  const int f = in.FunctionIndex < FunctionEndIndex ? in.FunctionIndex : -1;
  const int k = in.IfTypeIndex;
  const bool variable = p.Source.Index == 1;
  switch (p.Id) {
    case Panel::TimeOfDay: {
      if (Missing({f, k, p.Compare.Index, p.Tab.Index})) return false;
      if (p.Tab.Index == 1) {
        std::uint16_t arg = 0x2000, value = 0;
        if (variable) {
          if (Missing({p.Variable.Index})) return false;
          value = static_cast<std::uint16_t>(p.Variable.Index);
        } else {
          // Checked before anything is stored: a refused time leaves the line as it was.
          const long t = DecimalValue(p.EditText);
          if (!HasDecimalValue(p.EditText) || t < 0 || t / 100 > 23 || t % 100 > 59) {
            platform::Ui().ShowMessage(InvalidTimeMessage);
            return false;
          }
          arg = static_cast<std::uint16_t>(t);
        }
        EncodeFunctionAndKind(line, in, k);
        store_.SetLineSub(line, p.Compare.Index);
        store_.SetLineArg(line, arg);
        store_.SetLineValue(line, value);
      } else {
        if (Missing({p.Option.Index})) return false;
        EncodeFunctionAndKind(line, in, k);
        store_.SetLineSub(line, p.Compare.Index);
        store_.SetLineValue(line, 0);
        store_.SetLineArg(line,
                          static_cast<std::uint16_t>((1 + p.Option.Index) * 0x4000 + std::clamp(p.Slider, 0, 240)));
      }
      return true;
    }
    case Panel::Month:
    case Panel::WeekDay:
    case Panel::DayOfMonth:
    case Panel::Year: {
      const bool listed = p.Id == Panel::Month || p.Id == Panel::WeekDay;
      const int constant = listed ? p.Item.Index : 0;
      if (Missing({f, k, p.Compare.Index, p.Source.Index, variable ? p.Variable.Index : constant})) return false;
      long value = 0;
      if (variable)
        value = p.Variable.Index;
      else if (p.Id == Panel::Month)
        value = p.Item.Index + 1;
      else if (p.Id == Panel::WeekDay)
        value = p.Item.Index;
      else if (const std::optional<int> typed = TypedConstant(p.EditText))
        value = *typed;
      else
        return false;
      EncodeFunctionAndKind(line, in, k);
      store_.SetLineSub(line, p.Compare.Index);
      store_.SetValueIsVariable(line, variable);
      store_.SetLineValue(line, static_cast<std::uint16_t>(value));
      return true;
    }
    case Panel::Date:
      if (Missing({f, k, p.Compare.Index})) return false;
      if (p.Month < 1 || p.Month > 12 || p.Day < 1 || p.Day > 31 || p.Year < 0) {
        platform::Ui().Beep();
        return false;
      }
      EncodeFunctionAndKind(line, in, k);
      store_.SetLineSub(line, p.Compare.Index);
      store_.SetLineValue(line, ProgramStore::DateToDayNumber(p.Day, p.Month, p.Year % 100));
      return true;
    default:
      return false;
  }
}

}  // namespace program
