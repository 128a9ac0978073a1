#include "gui/controller/setup_form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <tuple>

#include "platform/text.h"
#include "platform/ui.h"

namespace {

constexpr int ClientWidth = 487;
constexpr int ClientHeight = 439;
constexpr int HintTime = 7000;  // ms: the hints are long enough to need reading

const char* const LocationHint = "Enter in decimal degrees: i.e. 33 degrees: 15 minutes = 33.25";
const char* const TimeZoneHint = "Eastern Time = -5, Central Time = -6, Mountian Time = -7, Pacific Time = -8";
const char* const DaylightSavingHint = "USA dates only";

QString Q(const std::string& text) { return platform::ToQString(text); }

QLineEdit* NewEdit(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  return edit;
}

// A radio group: its items in a box, `columns` wide, filled column by column.
QButtonGroup* NewRadioGroup(QGroupBox* box, std::initializer_list<const char*> items, int columns) {
  auto* group = new QButtonGroup(box);
  auto* grid = new QGridLayout(box);
  grid->setVerticalSpacing(2);
  const int count = static_cast<int>(items.size());
  const int rows = (count + columns - 1) / columns;
  int index = 0;
  for (const char* item : items) {
    auto* button = new QRadioButton(Q(item), box);
    button->setObjectName(QString("%1_%2").arg(box->objectName()).arg(index));
    group->addButton(button, index);
    grid->addWidget(button, index % rows, index / rows);
    ++index;
  }
  return group;
}

// Shows a path in one line, cut in the middle when it is wider than the window has room for; the whole path
// is its hint.
class PathLabel : public QLabel {
 public:
  using QLabel::QLabel;
  QSize minimumSizeHint() const override { return {1, fontMetrics().height()}; }
  QSize sizeHint() const override { return minimumSizeHint(); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()));
  }
};

}  // namespace

TSetupForm* SetupForm = nullptr;

TSetupForm::TSetupForm(project::Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
  setWindowTitle("Setup");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setModal(true);

  RadioGroup1 = new QGroupBox("Comms Selection", this);
  RadioGroup1->setObjectName("RadioGroup1");
  RadioGroup1Buttons =
      NewRadioGroup(RadioGroup1, {"&Modem", "COM&1", "COM&2", "COM&3", "COM&4", "COM&5", "COM&6", "COM&7", "COM&8"}, 1);

  CheckBox1 = new QCheckBox("A&UX  Modem", this);
  CheckBox1->setObjectName("CheckBox1");

  GroupBox1 = new QGroupBox("S&elected Modem", this);
  GroupBox1->setObjectName("GroupBox1");
  Edit5 = NewEdit(GroupBox1, "Edit5");
  Edit5->setReadOnly(true);
  Edit5->installEventFilter(this);
  (new QVBoxLayout(GroupBox1))->addWidget(Edit5);

  RadioGroup2 = new QGroupBox("Access Method", this);
  RadioGroup2->setObjectName("RadioGroup2");
  RadioGroup2Buttons = NewRadioGroup(RadioGroup2, {"&KIVRA DIRECT", "&VORMO"}, 2);
  RadioGroup2->setEnabled(false);

  GroupBox3 = new QGroupBox("Kivra Direct Password", this);
  GroupBox3->setObjectName("GroupBox3");
  Edit3 = NewEdit(GroupBox3, "Edit3");
  Edit3->setEchoMode(QLineEdit::Password);
  // A star for each character, whatever mark the style would show.
  Edit3->setStyleSheet("QLineEdit { lineedit-password-character: 42; }");
  (new QVBoxLayout(GroupBox3))->addWidget(Edit3);
  GroupBox3->setEnabled(false);
  Edit3->setEnabled(false);

  GroupBox4 = new QGroupBox("Time Settings", this);
  GroupBox4->setObjectName("GroupBox4");
  auto* time = new QGridLayout(GroupBox4);
  Edit1 = NewEdit(GroupBox4, "Edit1");
  Edit2 = NewEdit(GroupBox4, "Edit2");
  Edit4 = NewEdit(GroupBox4, "Edit4");
  int row = 0;
  for (auto [caption, edit, hint] :
       {std::tuple{"Latitude:", Edit1, LocationHint}, std::tuple{"Longitude:", Edit2, LocationHint},
        std::tuple{"Time Zone:", Edit4, TimeZoneHint}}) {
    auto* label = new QLabel(caption, GroupBox4);
    label->setBuddy(edit);
    edit->setToolTip(hint);
    edit->setToolTipDuration(HintTime);
    time->addWidget(label, row, 0);
    time->addWidget(edit, row, 1);
    ++row;
  }
  CheckBox2 = new QCheckBox("Use Daylight Savings Time", GroupBox4);
  CheckBox2->setObjectName("CheckBox2");
  CheckBox2->setToolTip(DaylightSavingHint);
  CheckBox2->setToolTipDuration(HintTime);
  time->addWidget(CheckBox2, row++, 0, 1, 2);
  BitBtn4 = new QPushButton("Lookup Location", GroupBox4);
  BitBtn4->setObjectName("BitBtn4");
  BitBtn4->setEnabled(false);
  BitBtn4->setAutoDefault(false);
  time->addWidget(BitBtn4, row, 0, 1, 2, Qt::AlignLeft);

  ProgrammingMode = new QGroupBox("Programming Mode", this);
  ProgrammingMode->setObjectName("ProgrammingMode");
  ProgrammingModeButtons =
      NewRadioGroup(ProgrammingMode, {"PC Programming (Marvik or Tessaro)", "On-Screen Programming (Tessaro Only)"}, 1);

  GroupBox2 = new QGroupBox("Current Directory:", this);
  GroupBox2->setObjectName("GroupBox2");
  Label2 = new PathLabel(GroupBox2);
  Label2->setObjectName("Label2");
  (new QVBoxLayout(GroupBox2))->addWidget(Label2);

  CheckBox3 = new QCheckBox(this);
  CheckBox3->setObjectName("CheckBox3");
  BitBtn1 = new QPushButton("&OK", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setDefault(true);
  BitBtn3 = new QPushButton("&Phone Book", this);
  BitBtn3->setObjectName("BitBtn3");
  BitBtn2 = new QPushButton("Pager &Setup", this);
  BitBtn2->setObjectName("BitBtn2");
  for (QPushButton* button : {BitBtn3, BitBtn2}) button->setAutoDefault(false);

  auto* left = new QVBoxLayout;
  left->addWidget(RadioGroup1);
  left->addWidget(CheckBox1);
  left->addWidget(GroupBox1);
  left->addWidget(GroupBox2);
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(RadioGroup2);
  right->addWidget(GroupBox3);
  right->addWidget(GroupBox4);
  right->addWidget(ProgrammingMode);
  right->addStretch(1);
  auto* columns = new QHBoxLayout;
  columns->addLayout(left, 2);
  columns->addLayout(right, 3);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(CheckBox3);
  buttons->addStretch(1);
  buttons->addWidget(BitBtn2);
  buttons->addWidget(BitBtn3);
  buttons->addWidget(BitBtn1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addLayout(columns);
  layout->addLayout(buttons);

  connect(RadioGroup1Buttons, &QButtonGroup::idClicked, this, &TSetupForm::RadioGroup1Click);
  connect(RadioGroup2Buttons, &QButtonGroup::idClicked, this, &TSetupForm::RadioGroup2Click);
  connect(ProgrammingModeButtons, &QButtonGroup::idClicked, this,
          [this](int index) { settings_.ProgrammingMode = index; });
  connect(CheckBox1, &QCheckBox::clicked, this, &TSetupForm::CheckBox1Click);
  connect(CheckBox2, &QCheckBox::toggled, this, [this](bool ticked) { settings_.UseDaylightSaving = ticked; });
  connect(CheckBox3, &QCheckBox::toggled, this, [this](bool ticked) { settings_.EditProtectedParams = ticked; });
  connect(Edit1, &QLineEdit::textEdited, this, [this] { TextEdited(Edit1, settings_.Latitude); });
  connect(Edit2, &QLineEdit::textEdited, this, [this] { TextEdited(Edit2, settings_.Longitude); });
  connect(Edit4, &QLineEdit::textEdited, this, [this] { TextEdited(Edit4, settings_.TimeZone); });
  connect(Edit3, &QLineEdit::textEdited, this, [this] { TextEdited(Edit3, settings_.PasswordText); });
  connect(BitBtn1, &QPushButton::clicked, this, &TSetupForm::BitBtn1Click);
  connect(BitBtn3, &QPushButton::clicked, this, &TSetupForm::BitBtn3Click);
  connect(BitBtn2, &QPushButton::clicked, this, &TSetupForm::BitBtn2Click);

  resize(ClientWidth, ClientHeight);
  setMinimumSize(minimumSizeHint());
  ShowSettings();
}

TSetupForm::~TSetupForm() = default;

void TSetupForm::CheckButton(QButtonGroup* group, int index) {
  // An exclusive group cannot show no choice (RadioGroup1 before the first read) unless it lets go first.
  QSignalBlocker block(group);
  group->setExclusive(false);
  for (QAbstractButton* button : group->buttons()) {
    QSignalBlocker blockButton(button);
    button->setChecked(group->id(button) == index);
  }
  group->setExclusive(true);
}

void TSetupForm::ShowSettings() {
  const project::Settings& s = settings_;
  CheckButton(RadioGroup1Buttons, s.ComSelection);
  CheckButton(RadioGroup2Buttons, s.Method);
  CheckButton(ProgrammingModeButtons, s.ProgrammingMode);
  QSignalBlocker b1(CheckBox1), b2(CheckBox2), b3(CheckBox3);
  CheckBox1->setChecked(s.AuxModem);
  CheckBox2->setChecked(s.UseDaylightSaving);
  CheckBox3->setChecked(s.EditProtectedParams);
  Edit5->setText(Q(s.SelectedDevice));
  Edit3->setText(Q(s.PasswordText));
  Edit1->setText(Q(s.Latitude));
  Edit2->setText(Q(s.Longitude));
  Edit4->setText(Q(s.TimeZone));
  Label2->setText(Q(s.CurrentDirectory));
  Label2->setToolTip(Q(s.CurrentDirectory));
}

void TSetupForm::TextEdited(QLineEdit* edit, std::string& field) {
  if (std::optional<std::string> text = platform::FromQString(edit->text())) {
    field = *text;
    return;
  }
  const int caret = edit->cursorPosition() - static_cast<int>(edit->text().size() - Q(field).size());
  edit->setText(Q(field));
  edit->setCursorPosition(std::max(0, caret));
  platform::Ui().Beep();
}

void TSetupForm::RadioGroup1Click(int index) {
  settings_.SelectComNum(index);
  ShowSettings();
}

void TSetupForm::RadioGroup2Click(int index) {
  settings_.SelectMethod(index);
  ShowSettings();
}

void TSetupForm::CheckBox1Click(bool ticked) {
  settings_.SetNonTapi(ticked);
  ShowSettings();
}

void TSetupForm::Edit5Click() {
  settings_.SelectDevice();
  ShowSettings();
}

bool TSetupForm::TimeSettingsRefused() {
  const std::string error = settings_.LocationError();
  if (error.empty()) return false;
  platform::Ui().ShowMessage(error);
  return true;
}

void TSetupForm::BitBtn1Click() {
  if (TimeSettingsRefused()) return;
  settings_.OkOrClose();
  done(QDialog::Accepted);
}

void TSetupForm::BitBtn3Click() {
  // The window closes after the phone book, storing the settings: a location it would refuse is told first.
  if (TimeSettingsRefused()) return;
  if (PhonebookEditor)
    PhonebookEditor();
  else
    platform::Ui().ShowMessage("No phone book editor is available.");
  done(QDialog::Rejected);
}

void TSetupForm::BitBtn2Click() {
  if (PagerSetup) PagerSetup();
}

void TSetupForm::FormClose() { settings_.OkOrClose(); }

void TSetupForm::done(int result) {
  // Hiding a window that is not shown is no close: nothing to store. A location the sun table cannot
  // use keeps the window open.
  if (!closing_ && isVisible()) {
    if (TimeSettingsRefused()) return;
    closing_ = true;
    FormClose();
    closing_ = false;
  }
  QDialog::done(result);
}

void TSetupForm::showEvent(QShowEvent* event) {
  ShowSettings();
  QDialog::showEvent(event);
}

bool TSetupForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Edit5 && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && Edit5->isEnabled()) {
    Edit5Click();
    return false;
  }
  return QDialog::eventFilter(watched, event);
}
