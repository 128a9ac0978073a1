#include "gui/program/wizard_form.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/program/wizard_panel.h"
#include "platform/text.h"

TWizard* Wizard = nullptr;

using program::Panel;
using program::PanelState;
using program::WizardList;
using program::WizardPanel;
using program::WizardRadioGroup;
using program::WizardView;

namespace {

constexpr int kMinimumWidth = 430;
constexpr int kDefaultHeight = 569;  // the editor's; the editor hands its own over when it opens a line

QStringList Items(program::TextList list) {
  QStringList out;
  for (const char* item : list) out.push_back(platform::ToQString(item));
  return out;
}

// Makes a line the store's current line for one call and gives the previous one back.
class CurrentLineScope {
 public:
  CurrentLineScope(ProgramStore& store, int line) : store_(store), previous_(store.CurrentLine) {
    store_.CurrentLine = static_cast<std::int16_t>(line);
  }
  ~CurrentLineScope() { store_.CurrentLine = previous_; }
  CurrentLineScope(const CurrentLineScope&) = delete;
  CurrentLineScope& operator=(const CurrentLineScope&) = delete;

 private:
  ProgramStore& store_;
  std::int16_t previous_;
};

}  // namespace

TWizard::TWizard(TEditorForm* editor, QWidget* parent) : QDialog(parent), editor_(editor) {
  setWindowTitle(program::WizardCaption);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setModal(false);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  auto* top = new QHBoxLayout;
  Function = new QComboBox(this);
  Function->setObjectName("Function");
  Function->addItems(Items(program::FunctionItems()));
  IfType = new QComboBox(this);
  IfType->setObjectName("IfType");
  IfType->addItems(Items(program::IfTypeItems()));
  IfType->setMaxVisibleItems(27);
  ThenType = new QComboBox(this);
  ThenType->setObjectName("ThenType");
  ThenType->addItems(Items(program::ThenTypeItems()));
  ThenType->setMaxVisibleItems(27);
  for (QComboBox* list : {Function, IfType, ThenType}) list->setCurrentIndex(-1);
  IfType->hide();
  ThenType->hide();
  BitBtn2 = new QPushButton("Restore Line", this);
  BitBtn2->setObjectName("BitBtn2");
  BitBtn2->setAutoDefault(false);
  top->addWidget(Function);
  top->addWidget(IfType, 1);
  top->addWidget(ThenType, 1);
  top->addStretch(0);
  top->addWidget(BitBtn2);
  layout->addLayout(top);

  Panels = new QStackedWidget(this);
  Panels->setObjectName("Panels");
  layout->addWidget(Panels);
  layout->addStretch(1);
  BuildPanels();

  connect(Function, &QComboBox::activated, this, &TWizard::FunctionChange);
  connect(IfType, &QComboBox::activated, this, &TWizard::IfTypeChange);
  connect(ThenType, &QComboBox::activated, this, &TWizard::ThenTypeChange);
  connect(BitBtn2, &QPushButton::clicked, this, &TWizard::BitBtn2Click);

  // Wide enough for the widest panel; the height is the editor's.
  setFixedSize(std::max(kMinimumWidth, sizeHint().width()), kDefaultHeight);
  if (editor_) editor_->SetWizardLink(this);
  FormCreate();
}

TWizard::~TWizard() {
  if (editor_ && &editor_->Wizard() == this) editor_->SetWizardLink(nullptr);
  if (Wizard == this) Wizard = nullptr;
}

void TWizard::FormCreate() {
  if (editor_) move(editor_->pos() + QPoint(40, 40));
}

// ---- panels ----

WizardPanel* TWizard::NewPanel(Panel id) {
  auto* panel = new WizardPanel(id, Panels);
  panels_[static_cast<std::size_t>(id)] = panel;
  return panel;
}

void TWizard::BuildPanels() {
  panels_.assign(static_cast<std::size_t>(Panel::LevGroup) + 1, nullptr);
  Panels->addWidget(new QWidget(Panels));  // every panel hidden

  WizardPanel* p = NewPanel(Panel::TestIoPoint);
  p->AddModule("Module:", "ComboBox1");
  p->AddItem("Point:");
  p->AddCompare("I/O Status", 2);
  p->AddEnter("EnterTestIoPoint");

  p = NewPanel(Panel::TestModParam);
  p->AddModule("Module:", "ComboBox3");
  p->AddItem("Parameter:");
  p->AddCompare("Compare", 2);
  p->AddSource("to:", "Destination");
  p->AddValueRow(nullptr, nullptr, true, false, true);
  p->AddEnter("EnterTestModParam");

  p = NewPanel(Panel::ReceiveX10);
  p->AddHouse();
  p->AddItem("X10 Code:");
  p->AddEnter("EnterReceiveX10");

  p = NewPanel(Panel::TestLurcanData);
  p->AddModule("Module:", "ComboBox7");
  p->AddCompare("Compare", 2);
  p->AddSource("Destination", "DestinationLD");
  p->AddValueRow(nullptr, nullptr, true, false, true);
  p->AddEnter("EnterTestLurcanData");

  p = NewPanel(Panel::TestTimerData);
  p->AddItem("Timer:");
  p->AddCompare("Compare", 2);
  p->AddSource("Destination", "DestinationT");
  p->AddValueRow(nullptr, nullptr, true, false, true);
  p->AddEnter("EnterTestTimerData");

  p = NewPanel(Panel::TestVariableData);
  p->AddItem("Variable:");
  p->AddCompare("Compare", 2);
  p->AddSource("Data", "DestinationV");
  p->AddValueRow(nullptr, nullptr, true, false, true);
  p->AddEnter("EnterTestVariableData");

  p = NewPanel(Panel::TimeOfDay);
  p->AddCompare("Compare", 2);
  p->AddTabs("TabControl2");
  p->BeginPage(0);
  p->AddOption("0 minutes", 2);
  p->AddSlider(240, "TrackBar1", "-120 min", "+120 min");
  p->Slider->setTickPosition(QSlider::TicksBelow);
  p->Slider->setTickInterval(5);
  p->BeginPage(1);
  p->AddSource("Destination", "RadioGroup2");
  p->AddValueRow(nullptr, nullptr, true, false, true);
  p->AddEnter("EnterTOD");
  p->BeginPage(0);
  p->AddEnter("EnterSunriseSunset");

  p = NewPanel(Panel::Month);
  p->AddCompare("Compare", 2);
  p->AddSource("Data", "RadioGroup4");
  p->AddItem(nullptr, nullptr, "Select Month");
  p->AddValueRow(nullptr, nullptr, false, false, true);
  p->AddEnter("EnterMonth");

  p = NewPanel(Panel::DayOfMonth);
  p->AddCompare("Compare", 2);
  p->AddSource("Data", "RadioGroup6");
  p->AddValueRow(nullptr, nullptr, true, false, true);
  p->AddEnter("EnterDayOfMonth");

  p = NewPanel(Panel::WeekDay);
  p->AddCompare("Compare", 2, "RadioGroup9");
  p->AddSource("Data", "RadioGroup8");
  p->AddItem(nullptr, nullptr, "Select Day");
  p->AddValueRow(nullptr, nullptr, false, false, true);
  p->AddEnter("EnterWeekDay");

  p = NewPanel(Panel::Year);
  p->AddCompare("Compare", 2);
  p->AddSource("Data", "RadioGroup10");
  p->AddValueRow(nullptr, nullptr, true, false, true);
  p->AddEnter("EnterYear");

  p = NewPanel(Panel::Date);
  p->AddCompare("Compare", 2);
  p->AddDate();
  p->AddEnter("EnterDate");

  p = NewPanel(Panel::ReceiveIr);
  p->AddModule("Module:", nullptr);
  p->AddItem("IR:");
  p->AddEnter("EnterIR");

  p = NewPanel(Panel::X10Status);
  p->AddItem("X10:");
  p->AddCompare("X10 Status", 2);
  p->AddEnter("EnterX10Status");

  p = NewPanel(Panel::TouchButton);
  p->AddModule("Module:", nullptr);
  p->AddItem("Button:");
  p->AddEnter("EnterTouchButton");

  p = NewPanel(Panel::SetIo);
  p->AddModule("Module:", "ComboBox26");
  p->AddItem("Point:");
  p->AddCompare("I/O Command", 2);
  p->AddEnter("EnterSetIo");

  p = NewPanel(Panel::SetModParam);
  p->AddModule("Module:", "ComboBox27");
  p->AddItem("Variable:");
  p->AddSource("to:", "RadioGroup15");
  p->AddValueRow(nullptr, nullptr, true, false, true);
  p->AddEnter("EnterSetModParam");

  p = NewPanel(Panel::LoadData);
  p->AddItem("Variable:");
  p->AddEnter("EnterLoadData");

  p = NewPanel(Panel::SetTimerData);
  p->AddItem("Timer:");
  p->AddSource("to: ", "RadioGroup16");
  p->AddValueRow(nullptr, nullptr, true, false, true);
  p->AddEnter("EnterSetTimerData");

  p = NewPanel(Panel::SetVariableData);
  p->AddItem("Variable:");
  p->AddCompare("Operation", 2);
  p->AddSource("Source", "RadioGroup17");
  p->AddValueRow(nullptr, nullptr, true, false, true);
  p->AddEnter("EnterSetVariableData");

  p = NewPanel(Panel::ProgramJump);
  p->AddValueRow("Skip to line:", nullptr, true, false, false);
  p->AddEnter("EnterProgramJump");

  p = NewPanel(Panel::SetIcon);
  p->AddItem("Object:");
  p->AddSource("Icon# ", "RadioGroup26");
  p->AddValueRow(nullptr, nullptr, false, true, true);
  p->AddEnter("EnterSetIcon");

  p = NewPanel(Panel::SendIr);
  p->AddModule("Module:", "ComboBox40");
  p->AddItem("Zone:");
  p->AddSource("IR#:", "RadioGroup22");
  p->AddValueRow(nullptr, nullptr, false, true, true);
  p->AddEnter("EnterSendIR");

  p = NewPanel(Panel::SendPage);
  p->AddItem("Message:");
  p->AddEnter("EnterSendPage");

  p = NewPanel(Panel::Murmex);
  p->AddModule("Module:", "ComboBox45");
  p->AddItem("Message:");
  p->AddEnter("EnterMurmex");

  p = NewPanel(Panel::SendAscii);
  p->AddModule("Module:", "ComboBox46");
  p->AddItem("Optional Embedded Variable");
  p->AddSource("Message#", "RadioGroup25");
  p->AddValueRow(nullptr, nullptr, true, false, true);
  p->AddEnter("EnterSendASCII");

  p = NewPanel(Panel::TransmitX10);
  p->AddHouse();
  p->AddItem("Command:", "ComboBox30");
  p->AddValueRow("Repeat", "time(s)", true, false, false);
  p->AddEnter("EnterTransmitX10");

  p = NewPanel(Panel::RcsStat);
  p->AddHouse();
  p->AddItem("Command:");
  p->AddValueRow("Data", nullptr, true, false, false);
  p->AddUpDown(4, 99);
  p->AddEnter("EnterRCSStat");

  p = NewPanel(Panel::PresetDim);
  p->AddOption("Switch Type", 1, "RadioGroup20");
  p->AddItem("X10:");
  p->AddSource("Use Constant or Variable for Level", "RadioGroup27");
  p->AddSliderCaption();
  p->AddSlider(31, "TrackBar2");
  p->AddValueRow(nullptr, nullptr, false, false, true, "ComboBox51");
  p->AddEnter("EnterPresetDimCommand");

  p = NewPanel(Panel::QuickX10);
  p->AddItem("X10:");
  p->AddCompare("Action", 2);
  p->AddEnter("EnterQuickX10");

  p = NewPanel(Panel::LevGroup);
  p->AddHouse();
  p->AddItem("Group:");
  p->AddCompare("Set:", 2);
  p->AddEnter("EnterLevGroup");

  for (std::size_t i = 1; i < panels_.size(); ++i) {
    panels_[i]->Finish();
    Panels->addWidget(panels_[i]);
    Wire(panels_[i]);
  }
}

void TWizard::Wire(WizardPanel* p) {
  const Panel id = p->Id();
  for (QPushButton* enter : {p->Enter, p->Enter2})
    if (enter) connect(enter, &QPushButton::clicked, this, &TWizard::EnterClick);
  if (p->Module) connect(p->Module, &QComboBox::activated, this, &TWizard::ModuleChange);
  if (p->Source) connect(p->Source, &WizardRadioGroup::Clicked, this, &TWizard::SourceClick);
  if (id == Panel::WeekDay) connect(p->Compare, &WizardRadioGroup::Clicked, this, &TWizard::CompareClick);
  if (id == Panel::TransmitX10)  // ComboBox30Change
    connect(p->Item, &QComboBox::activated, this, [this] { PanelOnly(&program::LineCodec::X10CommandChanged); });
  if (id == Panel::PresetDim) {
    // RadioGroup20Click, TrackBar2Change, ComboBox51Change
    connect(p->Option, &WizardRadioGroup::Clicked, this, [this] { PanelOnly(&program::LineCodec::SwitchTypeChanged); });
    connect(p->Slider, &QSlider::valueChanged, this, [this] { PanelOnly(&program::LineCodec::LevelChanged); });
    connect(p->Variable, &QComboBox::activated, this, [this] { PanelOnly(&program::LineCodec::LevelVariableChanged); });
  }
  if (id == Panel::TimeOfDay) {
    // TrackBar1Change, TabControl2Change
    connect(p->Slider, &QSlider::valueChanged, this, [this] { PanelOnly(&program::LineCodec::SunOffsetChanged); });
    connect(p->Tab, &QTabBar::currentChanged, this, [this, p](int tab) {
      if (!editor_ || line_ == 0) return;
      PanelState state = p->Read();
      OnLine(line_, [&] {
        editor_->Codec->TodTabChanged(state, tab);
        return WizardView{};
      });
      p->Load(state);
    });
  }
}

WizardPanel* TWizard::PanelOf(Panel id) const {
  const auto i = static_cast<std::size_t>(id);
  return i < panels_.size() ? panels_[i] : nullptr;
}

WizardPanel* TWizard::CurrentPanel() const { return qobject_cast<WizardPanel*>(Panels->currentWidget()); }

void TWizard::HideAllKindPanels() { Panels->setCurrentIndex(0); }

// ---- codec calls ----

template <class Call>
WizardView TWizard::OnLine(int line, Call call) {
  CurrentLineScope scope(editor_->Store, line);
  return call();
}

WizardView TWizard::Inputs() const {
  WizardView in;
  in.FunctionIndex = Function->currentIndex();
  in.IfTypeVisible = !IfType->isHidden();
  in.IfTypeIndex = IfType->currentIndex();
  in.ThenTypeVisible = !ThenType->isHidden();
  in.ThenTypeIndex = ThenType->currentIndex();
  if (WizardPanel* panel = CurrentPanel()) in.Panel = panel->Read();
  return in;
}

void TWizard::Apply(const WizardView& v) {
  Function->setCurrentIndex(v.FunctionIndex);
  IfType->setVisible(v.IfTypeVisible);
  IfType->setCurrentIndex(v.IfTypeIndex);
  ThenType->setVisible(v.ThenTypeVisible);
  ThenType->setCurrentIndex(v.ThenTypeIndex);
  if (WizardPanel* panel = PanelOf(v.Panel.Id); panel && v.Panel.Id != Panel::None) {
    // After a range warning the panel shows, but its lists keep what they held.
    if (!v.Warned) panel->Load(v.Panel);
    Panels->setCurrentWidget(panel);
  } else {
    HideAllKindPanels();
  }
  if (!editor_) return;
  program::ListingModel& listing = *editor_->Listing;
  if (v.Text) listing.SetText(line_, *v.Text);
  if (v.ClearComment) listing.SetComment(line_, "");
  if (v.CommentRestored) {
    const std::string& comment = editor_->Store.Comments.at(static_cast<std::size_t>(line_));
    listing.SetComment(line_, comment.empty() ? " " : comment);
  }
  if (v.ReferenceLine > 0) editor_->ShowLineHex(v.ReferenceLine);  // which hides the wizard
  if (v.ShowWindow) show();
}

// ---- handlers ----

void TWizard::OpenLine(int line, const std::string& caption, int height) {
  if (!editor_ || line < 1 || line > ProgramStore::kLastLine) return;
  setFixedHeight(height);
  line_ = savedLine_ = line;
  show();
  setWindowTitle(platform::ToQString(caption));
  Apply(OnLine(line, [&] { return editor_->Codec->OpenLine(line); }));
}

void TWizard::SetShownLine(int line) {
  line_ = line;
  setWindowTitle(platform::ToQString(platform::FormatText(program::WizardLineCaption, line)));
}

void TWizard::ShowLine(int line) {
  if (!editor_ || line < 1 || line > ProgramStore::kLastLine) {
    show();
    return;
  }
  SetShownLine(line);
  WizardView view = OnLine(line, [&] { return editor_->Codec->ShowProgramLine(line); });
  // The listing has just been written: only the window follows the line.
  view.Text.reset();
  view.ClearComment = false;
  view.ReferenceLine = 0;
  Apply(view);
  show();
}

void TWizard::ShowProgramLine(int line) {
  if (!editor_ || line < 1 || line > ProgramStore::kLastLine) return;
  SetShownLine(line);
  Apply(OnLine(line, [&] { return editor_->Codec->ShowProgramLine(line); }));
}

void TWizard::FunctionChange(int index) {
  if (!editor_ || line_ == 0) return;
  Apply(OnLine(line_, [&] { return editor_->Codec->FunctionChange(index); }));
}

void TWizard::IfTypeChange(int index) {
  if (!editor_ || line_ == 0) return;
  Apply(OnLine(line_, [&] { return editor_->Codec->IfTypeChange(index); }));
}

void TWizard::ThenTypeChange(int index) {
  if (!editor_ || line_ == 0) return;
  Apply(OnLine(line_, [&] { return editor_->Codec->ThenTypeChange(index); }));
}

void TWizard::EnterClick() {
  if (!editor_ || line_ == 0) return;
  const WizardView in = Inputs();
  // A refused entry changes neither the line nor what the panel shows.
  const WizardView out = OnLine(line_, [&] { return editor_->Codec->Enter(in); });
  if (out.ReferenceLine > 0) Apply(out);
}

void TWizard::ModuleChange() {
  if (!editor_ || line_ == 0) return;
  WizardView view = Inputs();
  OnLine(line_, [&] {
    editor_->Codec->ModuleChanged(view);
    return WizardView{};
  });
  Apply(view);
}

void TWizard::SourceClick(int source) {
  if (!editor_ || line_ == 0) return;
  WizardView view = Inputs();
  OnLine(line_, [&] {
    editor_->Codec->SourceChanged(view, source);
    return WizardView{};
  });
  Apply(view);
}

void TWizard::CompareClick(int index) {
  if (!editor_ || line_ == 0) return;
  WizardView view = Inputs();
  OnLine(line_, [&] {
    editor_->Codec->CompareChanged(view, index);
    return WizardView{};
  });
  Apply(view);
}

void TWizard::PanelOnly(void (*handler)(PanelState&)) {
  WizardPanel* panel = CurrentPanel();
  if (!panel) return;
  PanelState state = panel->Read();
  handler(state);
  panel->Load(state);
}

void TWizard::BitBtn2Click() {
  if (!editor_ || savedLine_ == 0) return;
  const WizardView view = OnLine(savedLine_, [&] { return editor_->Codec->RestoreLine(); });
  if (view.ReferenceLine == 0 && !view.Text) return;  // nothing changed since the program was saved
  SetShownLine(savedLine_);
  Apply(view);
}
