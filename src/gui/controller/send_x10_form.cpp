#include "gui/controller/send_x10_form.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <vector>

#include "controller/comms_engine.h"
#include "controller/name_tables.h"
#include "controller/x10_requests.h"
#include "gui/controller/radio_group.h"
#include "platform/text.h"

TSendX10* SendX10 = nullptr;

namespace {

// The units, then each function with its number on the keypad of the original remote (17..32).
std::vector<std::string> KeyItems() {
  std::vector<std::string> items;
  const auto& names = controller::X10KeyNames();
  for (std::size_t i = 0; i < names.size(); ++i)
    items.push_back(i < 16 ? names[i] : names[i] + "  (" + std::to_string(i + 1) + ")");
  return items;
}

}  // namespace

TSendX10::TSendX10(controller::CommsEngine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
  setWindowTitle("Send X10");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setModal(true);

  HouseGroup = new QGroupBox("House Code", this);
  HouseGroup->setObjectName("HouseGroup");
  HouseGroupButtons = gui::FillRadioGroup(
      HouseGroup, std::vector<std::string>(controller::X10HouseNames().begin(), controller::X10HouseNames().end()), 1);

  KeyGroup = new QGroupBox("Key Code", this);
  KeyGroup->setObjectName("KeyGroup");
  KeyGroupButtons = gui::FillRadioGroup(KeyGroup, KeyItems(), 2);

  Label1 = new QLabel("Repeat:", this);
  Edit1 = new QLineEdit("1", this);
  Edit1->setObjectName("Edit1");
  Edit1->setMaximumWidth(60);
  Label1->setBuddy(Edit1);

  BitBtn1 = new QPushButton("Send", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setDefault(true);
  BitBtn2 = new QPushButton("Cancel", this);
  BitBtn2->setObjectName("BitBtn2");
  BitBtn2->setAutoDefault(false);

  auto* groups = new QHBoxLayout;
  groups->addWidget(HouseGroup);
  groups->addWidget(KeyGroup, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(Label1);
  bottom->addWidget(Edit1);
  bottom->addStretch(1);
  bottom->addWidget(BitBtn1);
  bottom->addWidget(BitBtn2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(groups);
  layout->addLayout(bottom);

  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TSendX10::BitBtn1Click() {
  if (!engine_.RequestAllowed(controller::RequestKind::X10Send, engine_.X10SendRequest >= 0)) return;
  // Text outside Latin-1 is no number either.
  const std::optional<int> repeat =
      controller::X10RepeatFromText(platform::FromQString(Edit1->text()).value_or(std::string()));
  if (!repeat) return;
  Edit1->setText(QString::number(*repeat));
  controller::PostX10Send(engine_, HouseGroupButtons->checkedId(), KeyGroupButtons->checkedId(), *repeat);
}
