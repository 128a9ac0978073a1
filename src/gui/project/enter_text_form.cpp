#include "gui/project/enter_text_form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include "platform/text.h"
#include "platform/ui.h"

TForm26* Form26 = nullptr;

using project::TouchDesigner;

namespace {

QGroupBox* NewRadioGroup(QWidget* parent, const QStringList& items, QButtonGroup*& group) {
  auto* box = new QGroupBox("Font", parent);
  group = new QButtonGroup(box);
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], box);
    button->setGeometry(10, 20 + 22 * i, 150, 20);
    group->addButton(button, i);
  }
  return box;
}

void Select(QButtonGroup* group, int index) {
  if (QAbstractButton* button = group->button(index)) button->setChecked(true);
}

void Fill(QComboBox* box, const std::vector<std::string>& items, int selection) {
  box->clear();
  for (const std::string& item : items) box->addItem(platform::ToQString(item));
  box->setCurrentIndex(selection);
}

}  // namespace

TForm26::TForm26(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Enter Text");
  setFixedSize(372, 190);

  Label1 = new QLabel("Enter the Text:", this);
  Label1->setGeometry(12, 10, 200, 18);
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  Edit1->setGeometry(12, 30, 348, 24);
  connect(Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(); });

  RadioGroup1 = NewRadioGroup(this, {"Small", "Large"}, FontGroup1);
  RadioGroup1->setGeometry(12, 64, 170, 70);
  RadioGroup2 = NewRadioGroup(this, {"Small", "Large", "Large Numbers Only"}, FontGroup2);
  RadioGroup2->setGeometry(12, 64, 170, 92);

  CheckBox1 = new QCheckBox("Draw with Hidden Border", this);
  CheckBox1->setGeometry(196, 64, 170, 20);
  Label2 = new QLabel("Icon#", this);
  Label2->setGeometry(196, 90, 160, 18);
  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->setGeometry(196, 108, 164, 24);
  Label3 = new QLabel("Variable:", this);
  Label3->setGeometry(196, 68, 160, 18);
  ComboBox2 = new QComboBox(this);
  ComboBox2->setObjectName("ComboBox2");
  ComboBox2->setGeometry(196, 86, 164, 24);

  Button1 = new QPushButton("&OK", this);
  Button1->setGeometry(280, 154, 80, 28);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

void TForm26::SetUpForButton(const TouchDesigner::CaptionEntry& entry) {
  Edit1->setText(platform::ToQString(entry.Text));
  Select(FontGroup1, entry.Font);
  CheckBox1->setChecked(entry.HiddenBorder);
  Fill(ComboBox1, entry.Icons, entry.Icon);
  RadioGroup1->show();
  CheckBox1->show();
  Label2->show();
  ComboBox1->show();
  RadioGroup2->hide();
  Label3->hide();
  ComboBox2->hide();
  Edit1->setFocus();
}

void TForm26::SetUpForText(const TouchDesigner::TextEntry& entry) {
  Edit1->setText(platform::ToQString(entry.Text));
  Select(FontGroup2, entry.Font);
  Fill(ComboBox2, entry.Variables, entry.Variable);
  RadioGroup2->show();
  Label3->show();
  ComboBox2->show();
  RadioGroup1->hide();
  CheckBox1->hide();
  Label2->hide();
  ComboBox1->hide();
  Edit1->setFocus();
}

std::string TForm26::Text() const { return platform::FromQString(Edit1->text()).value_or(std::string()); }

TouchDesigner::CaptionEntry TForm26::CaptionResult() const {
  TouchDesigner::CaptionEntry entry;
  entry.Text = Text();
  entry.Font = FontGroup1->checkedId();
  entry.HiddenBorder = CheckBox1->isChecked();
  entry.Icon = ComboBox1->currentIndex();
  return entry;
}

TouchDesigner::TextEntry TForm26::TextResult() const {
  TouchDesigner::TextEntry entry;
  entry.Text = Text();
  entry.Font = FontGroup2->checkedId();
  entry.Variable = ComboBox2->currentIndex();
  return entry;
}

void TForm26::Edit1Change() {
  const QString text = Edit1->text();
  QString replacement;
  if (!platform::IsLatin1(text))
    replacement = accepted_;  // stored text is 8-bit: such a character is refused, not changed
  else if (text.size() > TouchDesigner::MaxTextLength)
    replacement = "Too Long";
  else {
    accepted_ = text;
    return;
  }
  platform::Ui().Beep();
  accepted_ = replacement;
  QSignalBlocker block(Edit1);
  Edit1->setText(replacement);
}
