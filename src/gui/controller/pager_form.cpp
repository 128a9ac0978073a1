#include "gui/controller/pager_form.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QVBoxLayout>

#include "controller/comms_engine.h"
#include "gui/controller/radio_group.h"
#include "platform/text.h"
#include "platform/ui.h"

TPagerForm* PagerForm = nullptr;

namespace {

// A line as the modem saw it, for the list: its line ends as blanks.
QString ListText(const std::string& line) {
  return platform::ToQString(line).replace(QRegularExpression("[\\r\\n]+"), " ").trimmed();
}

}  // namespace

TPagerForm::TPagerForm(controller::CommsEngine& engine, QWidget* parent)
    : QDialog(parent), Setup(engine.Port, [&engine] { return engine.CommState != 0; }), engine_(engine) {
  engine_.PortWork = &Setup;
  setWindowTitle("Pager Setup");
  setObjectName("PagerForm");

  Label1 = new QLabel("Pager Service Phone Number:", this);
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  Edit1->setToolTip("Include 1 and the AREA CODE if needed when dialing from this location");
  Label1->setBuddy(Edit1);
  connect(Edit1, &QLineEdit::textEdited, this, [this] { TextEdited(); });

  ComNum = new QGroupBox("Comms Port", this);
  ComNum->setObjectName("ComNum");
  ComNumButtons =
      gui::FillRadioGroup(ComNum, {"COM&1", "COM&2", "COM&3", "COM&4", "COM&5", "COM&6", "COM&7", "COM&8"}, 2);

  BitBtn1 = new QPushButton("Configure &Modem", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setToolTip("Modem must be attached to COM Port");
  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });

  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName("ListBox1");
  ListBox1->setMinimumSize(300, 160);

  CloseButton = new QPushButton("&Close", this);
  CloseButton->setObjectName("CloseButton");
  CloseButton->setAutoDefault(false);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);

  Timer1 = new QTimer(this);
  Timer1->setInterval(controller::PagerModemSetup::StepMilliseconds);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  Setup.AddLine = [this](const std::string& line) { ListBox1->addItem(ListText(line)); };
  Setup.Ended = [this](bool cut) { SetUpEnded(cut); };

  auto* number = new QVBoxLayout;
  number->addWidget(Label1);
  number->addWidget(Edit1);
  auto* top = new QHBoxLayout;
  top->addLayout(number, 1);
  top->addWidget(BitBtn1, 0, Qt::AlignBottom);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(CloseButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(ComNum);
  layout->addWidget(ListBox1, 1);
  layout->addLayout(bottom);
}

TPagerForm::~TPagerForm() {
  if (engine_.PortWork == &Setup) engine_.PortWork = nullptr;
}

void TPagerForm::ShowFromSetup() {
  closeWhenDone_ = false;
  show();
  raise();
}

void TPagerForm::BitBtn1Click() {
  if (Setup.Begin(ComNumButtons->checkedId() + 1)) Timer1->start();
}

void TPagerForm::Timer1Timer() {
  Setup.ConfigureModemStep(platform::FromQString(Edit1->text()).value_or(std::string()));
}

void TPagerForm::SetUpEnded(bool cut) {
  Timer1->stop();
  // A set-up cut short stays in view, saying so.
  const bool close = closeWhenDone_ && !cut && isVisible();
  closeWhenDone_ = false;
  if (close) QDialog::done(QDialog::Rejected);
}

void TPagerForm::done(int result) {
  // A modem left with half its commands is set up wrong without a word: a close while the steps run, the
  // user's or Setup's, lets them end first.
  if (Setup.Running()) {
    closeWhenDone_ = true;
    return;
  }
  QDialog::done(result);
}

void TPagerForm::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  if (event->spontaneous()) return;
  // Hidden halfway other than by a close: the port goes back closed, as the last step would have left it.
  Timer1->stop();
  Setup.Cancel();
}

void TPagerForm::TextEdited() {
  if (platform::IsLatin1(Edit1->text())) {
    accepted_ = Edit1->text();
    return;
  }
  platform::Ui().Beep();
  Edit1->setText(accepted_);
}
