#include "gui/controller/download_project_form.h"

#include <QCheckBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>

#include "controller/comms_engine.h"
#include "gui/comms_link.h"
#include "platform/ui.h"

TForm3* Form3 = nullptr;

TForm3::TForm3(controller::CommsEngine& engine, gui::CommsLink& link, QWidget* parent)
    : QDialog(parent), engine_(engine), link_(link) {
  setWindowTitle("Download Project");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  const auto box = [this](const char* caption, const char* name) {
    auto* check = new QCheckBox(caption, this);
    check->setObjectName(name);
    check->setChecked(true);
    return check;
  };
  CheckBox1 = box("Download Icons", "CheckBox1");
  CheckBox2 = box("Download Program", "CheckBox2");
  CheckBox3 = box("Download IR Commands", "CheckBox3");
  CheckBox3->setEnabled(false);
  CheckBox4 = box("Download Touch Screen", "CheckBox4");

  BitBtn1 = new QPushButton("Begin Download", this);
  BitBtn1->setObjectName("BitBtn1");
  BitBtn1->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 12, 16, 12);
  layout->setSpacing(6);
  for (QCheckBox* check : {CheckBox1, CheckBox2, CheckBox3, CheckBox4}) layout->addWidget(check);
  layout->addSpacing(8);
  layout->addWidget(BitBtn1, 0, Qt::AlignHCenter);
  setFixedSize(sizeHint().expandedTo(QSize(260, 0)));

  connect(BitBtn1, &QPushButton::clicked, this, &TForm3::BitBtn1Click);
}

void TForm3::BitBtn1Click() {
  // A running connection reconnects, with what is asked here; one the user has closed, or one on another
  // road than the stored one, ends and a new one is attached. The reconnection waits for a transfer or a
  // restart, and ends a mode first: that is asked. Decided again once a question is answered: the connection
  // may have ended, or another started, while the box was open.
  bool reconnect = false;
  const auto question = [this, &reconnect] {
    reconnect = engine_.Reconnects();
    return reconnect ? engine_.EndQuestion(controller::Ending::Reconnection) : link_.EndQuestion(false);
  };
  if (!gui::AgreedToWhatRuns(question)) return;
  if (!reconnect && !link_.ReadConfigFile()) return;
  // The program goes with the sun table of the stored location: with one the sun table cannot use, nothing
  // starts, rather than restart the controller with its pages and icons and leave out its program.
  if (CheckBox2->isChecked() && !engine_.LocationUsable()) return;
  if (reconnect) {
    // What waits goes on after the reconnection: a part asked again is refused before anything starts.
    if (PartsWaiting()) return;
    engine_.Reconnect();
  } else {
    // An attach drops what the last connection was asked, but keeps what was asked of a new connection that
    // waits to start.
    link_.Attach();
    if (PartsWaiting()) return;
  }
  // Each part comes after what was asked before it on the same data, and they after each other as posted.
  using controller::RequestKind;
  const auto rank = [this](RequestKind part) { controller::RankOwnRequest(engine_, part); };
  engine_.ClockRequest = 1;
  rank(RequestKind::Clock);
  if (CheckBox1->isChecked()) {
    engine_.RequestIconLoad();
    rank(RequestKind::IconLoad);
  }
  if (CheckBox4->isChecked()) {
    engine_.RequestTouchLoad();
    rank(RequestKind::TouchLoad);
  }
  // Tells the user itself when the program has no END line; the other parts go ahead regardless.
  if (CheckBox2->isChecked() && engine_.RequestProgramDownload()) rank(RequestKind::ProgramDownload);
  hide();
}

bool TForm3::PartsWaiting() {
  using controller::RequestKind;
  const struct {
    QCheckBox* Box;
    RequestKind Kind;
    bool Asked;
  } parts[] = {
      {CheckBox1, RequestKind::IconLoad, controller::TransferAsked(engine_, RequestKind::IconLoad)},
      {CheckBox4, RequestKind::TouchLoad, controller::TransferAsked(engine_, RequestKind::TouchLoad)},
      {CheckBox2, RequestKind::ProgramDownload, controller::TransferAsked(engine_, RequestKind::ProgramDownload)}};
  std::string waiting;  // "the <part>" for each ticked part that waits already
  for (const auto& part : parts)
    if (part.Box->isChecked() && part.Asked)
      waiting += (waiting.empty() ? "the " : " and the ") + std::string(controller::RequestName(part.Kind));
  if (waiting.empty()) return false;
  // Nothing is sent, the parts that could go included: each ticked part is named with why.
  std::string told;
  for (const auto& part : parts) {
    if (!part.Box->isChecked()) continue;
    told += (told.empty() ? "" : "\n") + std::string(controller::RequestName(part.Kind)) + " not sent: " +
            (part.Asked ? "the last one asked has not ended yet" : "it goes only together with " + waiting);
  }
  platform::Ui().ShowMessage(told);
  return true;
}
