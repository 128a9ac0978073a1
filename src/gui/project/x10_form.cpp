#include "gui/project/x10_form.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

#include "platform/text.h"

TX10Form* X10Form = nullptr;

namespace {
void Fill(QComboBox* box, const std::vector<std::string>& items, int selection) {
  QSignalBlocker block(box);
  box->clear();
  for (const std::string& item : items) box->addItem(platform::ToQString(item));
  box->setCurrentIndex(selection);
}
}  // namespace

TX10Form::TX10Form(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Select X10");
  setFixedSize(300, 150);
  Label1 = new QLabel("X10 Address:", this);
  Label1->setGeometry(12, 10, 276, 18);
  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->setGeometry(12, 28, 276, 24);
  connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] { ComboBox1Change(); });
  Label2 = new QLabel("I/O Point:", this);
  Label2->setGeometry(12, 60, 276, 18);
  ComboBox2 = new QComboBox(this);
  ComboBox2->setObjectName("ComboBox2");
  ComboBox2->setGeometry(12, 78, 276, 24);
  Button1 = new QPushButton("&OK", this);
  Button1->setGeometry(208, 114, 80, 28);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

void TX10Form::SetUpForX10(const project::TouchDesigner::X10Entry& entry) {
  pointList_ = nullptr;
  setWindowTitle("Select X10");
  Label1->setText("X10 Address:");
  Fill(ComboBox1, entry.Units, entry.Unit);
  Label2->hide();
  ComboBox2->hide();
  ComboBox1->setFocus();
}

void TX10Form::SetUpForIo(const project::TouchDesigner::IoEntry& entry,
                          std::function<std::vector<std::string>(int)> pointList) {
  pointList_ = std::move(pointList);
  setWindowTitle("Select I/O Point");
  Label1->setText("Module:");
  Label2->setText("I/O Point:");
  Fill(ComboBox1, entry.Modules, entry.Module);
  Fill(ComboBox2, entry.Points, entry.Point);
  Label2->show();
  ComboBox2->show();
  ComboBox1->setFocus();
}

void TX10Form::ComboBox1Change() {
  if (!pointList_) return;  // the X10 list has no points
  Fill(ComboBox2, pointList_(ComboBox1->currentIndex()), 0);
}
