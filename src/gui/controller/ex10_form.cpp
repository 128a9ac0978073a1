#include "gui/controller/ex10_form.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "controller/comms_engine.h"
#include "controller/name_tables.h"
#include "gui/controller/radio_group.h"
#include "platform/text.h"
#include "platform/ui.h"

TEx10Form* Ex10Form = nullptr;

namespace {

QLabel* NewLabel(const char* text, const char* name, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

QPushButton* NewButton(const char* text, const char* name, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

std::string EditText(const QLineEdit* edit) { return platform::FromQString(edit->text()).value_or(std::string()); }

}  // namespace

TEx10Form::TEx10Form(controller::CommsEngine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
  setWindowTitle("Send Leviton X10 Commands");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  RadioGroup1 = new QGroupBox("House Code ", this);
  RadioGroup1->setObjectName("RadioGroup1");
  RadioGroup1Buttons = gui::FillRadioGroup(
      RadioGroup1, std::vector<std::string>(controller::X10HouseNames().begin(), controller::X10HouseNames().end()), 4);
  RadioGroup2 = new QGroupBox("Key Code ", this);
  RadioGroup2->setObjectName("RadioGroup2");
  RadioGroup2Buttons = gui::FillRadioGroup(
      RadioGroup2, std::vector<std::string>(controller::X10KeyNames().begin(), controller::X10KeyNames().begin() + 16),
      4);

  Label3 = NewLabel("Leviton Extended Commands", "Label3", this);
  QFont heading = Label3->font();
  heading.setBold(true);
  heading.setPointSizeF(heading.pointSizeF() * 1.2);
  Label3->setFont(heading);

  ScrollBar1 = new QScrollBar(Qt::Horizontal, this);
  ScrollBar1->setObjectName("ScrollBar1");
  ScrollBar1->setRange(0, controller::LevitonMaxLevel);
  ScrollBar1->setPageStep(8);
  Label1 = NewLabel("Brightness Level 0%", "Label1", this);
  Button5 = NewButton("Set Light Level", "Button5", this);

  Label2 = NewLabel("Group Number", "Label2", this);
  Edit1 = new QLineEdit("0", this);
  Edit1->setObjectName("Edit1");
  Edit1->setFixedWidth(48);
  Label2->setBuddy(Edit1);
  UpDown1 = new QWidget(this);
  UpDown1->setObjectName("UpDown1");
  auto* arrows = new QVBoxLayout(UpDown1);
  arrows->setContentsMargins(0, 0, 0, 0);
  arrows->setSpacing(0);
  UpDown1Up = new QToolButton(UpDown1);
  UpDown1Up->setArrowType(Qt::UpArrow);
  UpDown1Down = new QToolButton(UpDown1);
  UpDown1Down->setArrowType(Qt::DownArrow);
  for (QToolButton* arrow : {UpDown1Up, UpDown1Down}) {
    arrow->setFixedSize(16, 11);
    arrows->addWidget(arrow);
  }

  Button1 = NewButton("Include in Group at Current Level", "Button1", this);
  Button2 = NewButton("Remove from Group", "Button2", this);
  Button3 = NewButton("Entire Group to Learned Level", "Button3", this);
  Button4 = NewButton("Entire Group OFF", "Button4", this);

  Label4 = NewLabel("Note: While you can set a group ", "Label4", this);
  Label5 = NewLabel("number from 0 to 63, a single module", "Label5", this);
  Label6 = NewLabel("can only belong to 4 groups.  Group", "Label6", this);
  Label7 = NewLabel("commands only   apply to  16xxx series ", "Label7", this);
  Label8 = NewLabel("modules.", "Label8", this);

  CloseButton = NewButton("&Close", "CloseButton", this);

  auto* codes = new QVBoxLayout;
  codes->addWidget(RadioGroup1);
  codes->addWidget(RadioGroup2);
  codes->addStretch(1);

  auto* level = new QVBoxLayout;
  level->addWidget(ScrollBar1);
  Label1->setAlignment(Qt::AlignCenter);
  level->addWidget(Label1);
  auto* group = new QHBoxLayout;
  group->addWidget(Label2);
  group->addWidget(Edit1);
  group->addWidget(UpDown1);
  group->addStretch(1);
  auto* commands = new QVBoxLayout;
  commands->addWidget(Label3, 0, Qt::AlignHCenter);
  commands->addSpacing(6);
  commands->addLayout(level);
  commands->addWidget(Button5);
  commands->addSpacing(10);
  commands->addLayout(group);
  for (QPushButton* button : {Button1, Button2, Button3, Button4}) commands->addWidget(button);
  commands->addSpacing(8);
  auto* note = new QVBoxLayout;
  note->setSpacing(0);
  for (QLabel* line : {Label4, Label5, Label6, Label7, Label8}) note->addWidget(line);
  commands->addLayout(note);
  commands->addStretch(1);
  commands->addWidget(CloseButton, 0, Qt::AlignRight);

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(codes);
  layout->addLayout(commands, 1);

  connect(ScrollBar1, &QScrollBar::sliderReleased, this, [this] { ScrollBar1EndScroll(); });
  // Arrow and page clicks and keys move in one step; a drag ends at the release.
  connect(ScrollBar1, &QScrollBar::valueChanged, this, [this] {
    if (!ScrollBar1->isSliderDown()) ScrollBar1EndScroll();
  });
  connect(UpDown1Up, &QToolButton::clicked, this, [this] { UpDown1Click(1); });
  connect(UpDown1Down, &QToolButton::clicked, this, [this] { UpDown1Click(-1); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
  connect(CloseButton, &QPushButton::clicked, this, &QWidget::hide);
}

void TEx10Form::ScrollBar1EndScroll() {
  Label1->setText(platform::ToQString(controller::LevitonLevelText(ScrollBar1->value())));
}

void TEx10Form::Button1Click() { Post(controller::LevitonButton::IncludeInGroup); }
void TEx10Form::Button2Click() { Post(controller::LevitonButton::RemoveFromGroup); }
void TEx10Form::Button3Click() { Post(controller::LevitonButton::GroupToLearnedLevel); }
void TEx10Form::Button4Click() { Post(controller::LevitonButton::GroupOff); }
void TEx10Form::Button5Click() { Post(controller::LevitonButton::SetLightLevel); }

void TEx10Form::UpDown1Click(int by) {
  // As the original's up-down, it starts from the number in its edit; a text that is no group starts at 0.
  const int group = controller::LevitonGroupFromText(EditText(Edit1)).value_or(0);
  Edit1->setText(QString::number(std::clamp(group + by, 0, controller::LevitonMaxGroup)));
}

void TEx10Form::Post(controller::LevitonButton button) {
  if (!engine_.RequestAllowed(controller::RequestKind::ExtX10, engine_.ExtX10Request != 0)) return;
  int group = 0;
  if (button != controller::LevitonButton::SetLightLevel) {
    // A group beyond 63 would run into the function bits of the data byte: such a command is not sent.
    const std::optional<int> typed =
        controller::ReadTypedNumberOrRefuse(EditText(Edit1), controller::LevitonGroupField());
    if (!typed) return;
    group = *typed;
  }
  controller::PostExtendedX10(
      engine_, controller::LevitonCommand(button, RadioGroup1Buttons->checkedId(), RadioGroup2Buttons->checkedId(),
                                          group, ScrollBar1->value()));
}
