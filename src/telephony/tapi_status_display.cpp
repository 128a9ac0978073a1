#include "telephony/tapi_status_display.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "platform/text.h"
#include "telephony/tapi_device.h"

namespace telephony {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* text, int x, int y, int width) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setGeometry(x, y, width, TLkStandardTapiDisplay::kLineSpacing);
  return label;
}

}  // namespace

TLkStandardTapiDisplay::TLkStandardTapiDisplay(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint) {
  setWindowTitle("Call Progress");
  setFixedSize(kClientWidth, kClientHeight);

  UpperPanel = new QFrame(this);
  UpperPanel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  UpperPanel->setGeometry(8, 8, kClientWidth - 16, 76);
  dpLabel1 = MakeLabel(UpperPanel, "Answering:", 10, 8, 90);
  dpDialing = MakeLabel(UpperPanel, "", 104, 8, 296);
  dpLabel2 = MakeLabel(UpperPanel, "Using:", 10, 30, 90);
  dpUsing = MakeLabel(UpperPanel, "", 104, 30, 296);
  dpLabel3 = MakeLabel(UpperPanel, "Attempt:", 10, 52, 90);
  dpAttempt = MakeLabel(UpperPanel, "01", 104, 52, 28);
  dpLabel4 = MakeLabel(UpperPanel, "of", 136, 52, 20);
  dpTotalAttempts = MakeLabel(UpperPanel, "03", 160, 52, 28);

  LowerPanel = new QFrame(this);
  LowerPanel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  LowerPanel->setGeometry(8, 92, kClientWidth - 16, 8 + kLineSpacing * TapiStatusLines::kMaxLines + 8);
  for (int i = 0; i < TapiStatusLines::kMaxLines; ++i)
    dpStat[static_cast<std::size_t>(i)] = MakeLabel(LowerPanel, "", 10, 8 + kLineSpacing * i, kClientWidth - 36);

  dpCancel = new QPushButton("Cancel", this);
  dpCancel->setGeometry((kClientWidth - 75) / 2, kClientHeight - 8 - 25, 75, 25);
  connect(dpCancel, &QPushButton::clicked, this, [this] { dpCancelClick(); });
}

void TLkStandardTapiDisplay::Clear() {
  lines_.Clear();
  ShowLines();
  dpDialing->clear();
  dpUsing->clear();
}

void TLkStandardTapiDisplay::UpdateValues(TLkCustomTapiDevice* device, std::uint32_t message, std::uint32_t state,
                                          std::uint32_t reason) {
  if (!device) return;
  dpUsing->setText(platform::ToQString(device->SelectedDevice()));
  if (device->Outgoing()) {
    dpDialing->setText(platform::ToQString(device->Number()));
    dpAttempt->setText(QString::number(device->Attempt()));
    dpTotalAttempts->setText(QString::number(device->MaxAttempts()));
  } else {
    dpDialing->setText(platform::ToQString("Caller ID: " + device->CallerID()));
    dpAttempt->setText("1");
    dpTotalAttempts->setText("1");
  }
  lines_.Update(device->TapiStatusMsg(message, state, reason), TapiStatusLines::IsRepeatingState(state));
  ShowLines();
}

void TLkStandardTapiDisplay::dpCancelClick() {
  if (Device) Device->CancelCall();
}

void TLkStandardTapiDisplay::ShowLines() {
  for (int i = 0; i < TapiStatusLines::kMaxLines; ++i)
    dpStat[static_cast<std::size_t>(i)]->setText(platform::ToQString(lines_.Line(i)));
}

}  // namespace telephony
