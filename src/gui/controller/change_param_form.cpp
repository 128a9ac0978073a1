#include "gui/controller/change_param_form.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "controller/param_requests.h"
#include "platform/text.h"
#include "platform/ui.h"

TChangeParam* ChangeParam = nullptr;

TChangeParam::TChangeParam(controller::CommsEngine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
  setWindowTitle("Change Parameter Data");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  BitBtn1 = new QPushButton("OK", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setDefault(true);
  BitBtn2 = new QPushButton("Cancel", this);
  BitBtn2->setObjectName("BitBtn2");

  connect(Edit1, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (platform::IsLatin1(text)) {
      accepted_ = text;
      return;
    }
    const int caret = Edit1->cursorPosition() - static_cast<int>(text.size() - accepted_.size());
    Edit1->setText(accepted_);
    Edit1->setCursorPosition(std::max(0, caret));
    platform::Ui().Beep();
  });
  connect(Edit1, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (platform::IsLatin1(text)) accepted_ = text;
  });
  connect(BitBtn1, &QPushButton::clicked, this, &TChangeParam::BitBtn1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BitBtn1);
  buttons->addWidget(BitBtn2);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addWidget(Label1);
  layout->addWidget(Edit1);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  resize(300, 120);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TChangeParam::Prompt(const controller::ParamChangePrompt& prompt) {
  module_ = prompt.Module;
  number_ = prompt.Number;
  Label1->setText(platform::ToQString(prompt.Label));
  Edit1->setText(platform::ToQString(prompt.Value));
}

void TChangeParam::BitBtn1Click() {
  if (controller::PostModuleParamChange(engine_, module_, number_, Value())) accept();
}

std::string TChangeParam::Value() const { return platform::FromQString(Edit1->text()).value_or(std::string()); }
