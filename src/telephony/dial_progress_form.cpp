#include "telephony/dial_progress_form.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>

#include "platform/text.h"
#include "serial/lk_exception.h"
#include "telephony/modem_dialer.h"
#include "tk/exception_guard.h"
#include "tk/modal.h"

namespace telephony {

namespace {

constexpr std::int32_t kStartTicks = 4;
constexpr std::int32_t kExtendSeconds = 5;

std::string Counted(std::int64_t n, const char* text) { return std::to_string(n) + " " + text; }

}  // namespace

TDialerForm::TDialerForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setWindowTitle("Dial Progress");
  group_ = new QGroupBox(this);
  auto* lines = new QVBoxLayout(group_);
  lines->setSpacing(2);
  for (int i = 0; i < kLineCount; ++i) {
    auto* label = new QLabel("Place holder", group_);
    label->setObjectName(QString("Label%1").arg(i + 1));
    label->setMinimumWidth(260);
    lines->addWidget(label);
    labels_[static_cast<std::size_t>(i)] = label;
  }
  CycleBtn = new QPushButton("&Cycle", this);
  ExtendBtn = new QPushButton("&Extend", this);
  AbortBtn = new QPushButton("Abort", this);
  CycleBtn->setObjectName("CycleBtn");
  ExtendBtn->setObjectName("ExtendBtn");
  AbortBtn->setObjectName("AbortBtn");
  for (QPushButton* b : {CycleBtn, ExtendBtn, AbortBtn}) b->setAutoDefault(false);
  connect(CycleBtn, &QPushButton::clicked, this, [this] { CycleBtnClick(); });
  connect(ExtendBtn, &QPushButton::clicked, this, [this] { ExtendBtnClick(); });
  connect(AbortBtn, &QPushButton::clicked, this, [this] { AbortBtnClick(); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(CycleBtn);
  buttons->addWidget(ExtendBtn);
  buttons->addWidget(AbortBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

TDialerForm::~TDialerForm() { StopStartTrigger(); }

std::vector<std::string> TDialerForm::Lines() const {
  std::vector<std::string> lines;
  for (QLabel* label : labels_) lines.push_back(platform::FromQString(label->text()).value_or(""));
  return lines;
}

void TDialerForm::AddLine(const std::string& text) {
  if (linesUsed_ < kLineCount) {
    labels_[static_cast<std::size_t>(linesUsed_++)]->setText(platform::ToQString(text));
    return;
  }
  for (int i = 0; i + 1 < kLineCount; ++i)
    labels_[static_cast<std::size_t>(i)]->setText(labels_[static_cast<std::size_t>(i + 1)]->text());
  labels_[kLineCount - 1]->setText(platform::ToQString(text));
}

void TDialerForm::RewriteLine(const std::string& text) {
  if (linesUsed_ == 0) {
    AddLine(text);
    return;
  }
  labels_[static_cast<std::size_t>(linesUsed_ - 1)]->setText(platform::ToQString(text));
}

int TDialerForm::DoDial(TLkCustomModemDialer& dialer) {
  dialer_ = &dialer;
  port_ = dialer.Modem() ? dialer.Modem()->ComPort() : nullptr;
  for (QLabel* label : labels_) label->clear();
  linesUsed_ = 0;
  if (port_) {
    savedTimer_ = port_->OnTriggerTimer();
    port_->SetOnTriggerTimer([this](tk::Component* sender, std::uint32_t handle) { FormTriggerTimer(sender, handle); });
    try {
      startTrigger_ = port_->AddTimerTrigger();
      port_->SetTimerTrigger(startTrigger_, kStartTicks, true);
    } catch (...) {
      StopStartTrigger();
      throw;
    }
  }
  ConnectDialerEvents(dialer);
  const int result = tk::ExecModal(*this, "TDialerForm");
  for (TNotifyEvent* e :
       {&dialer.OnRetryStart, &dialer.OnRetryEnd, &dialer.OnCycleDial, &dialer.OnDialStart, &dialer.OnConnect,
        &dialer.OnBusy, &dialer.OnVoice, &dialer.OnError, &dialer.OnNoCarrier, &dialer.OnNoDialTone,
        &dialer.OnConnectionEstablished, &dialer.OnTooManyTries, &dialer.OnDialTimedOut})
    *e = nullptr;
  dialer.OnRetryCount = nullptr;
  dialer.OnDialCount = nullptr;
  dialer.OnGotLineSpeed = nullptr;
  // Closed before the dialer even started: its start must not come later.
  StopStartTrigger();
  dialer_ = nullptr;
  return result;
}

void TDialerForm::StopStartTrigger() {
  if (!port_ || startTrigger_ == 0) return;
  try {
    if (port_->Open()) port_->RemoveTrigger(startTrigger_);
  } catch (const serial::ELkException&) {
  }
  startTrigger_ = 0;
  port_->SetOnTriggerTimer(savedTimer_);
  savedTimer_ = nullptr;
}

void TDialerForm::FormTriggerTimer(tk::Component* sender, std::uint32_t handle) {
  if (startTrigger_ != 0 && static_cast<std::int32_t>(handle) == startTrigger_) {
    port_->RemoveTrigger(startTrigger_);
    startTrigger_ = 0;
    port_->SetOnTriggerTimer(savedTimer_);
    savedTimer_ = nullptr;
    // This runs from the port's trigger dispatch: a dial that cannot start is shown here and ends the
    // window, rather than escaping into the dispatch.
    if (dialer_) {
      try {
        dialer_->Dial();
      } catch (...) {
        tk::HandleException(std::current_exception());
        done(mrAbort);
      }
    }
    return;
  }
  if (savedTimer_) savedTimer_(sender, handle);
}

void TDialerForm::Result(const char* text) {
  if (dialer_ && dialer_->Result() == drFailed)
    done(mrAbort);
  else
    AddLine(text);
}

void TDialerForm::ConnectDialerEvents(TLkCustomModemDialer& dialer) {
  dialer.OnDialStart = [this](tk::Component*) {
    const std::uint32_t seconds = dialer_ && dialer_->Modem() ? dialer_->Modem()->DialTimeout() : 0;
    AddLine(Counted(seconds, "Dialing . . ."));
  };
  dialer.OnDialCount = [this](tk::Component*, std::uint16_t remaining) {
    RewriteLine(Counted(remaining, "Dialing . . ."));
  };
  dialer.OnConnect = [this](tk::Component*) { AddLine("Modem connected!"); };
  dialer.OnGotLineSpeed = [this](tk::Component*, std::int32_t speed) {
    char text[64];
    std::snprintf(text, sizeof text, "Connected at %d baud", speed);
    AddLine(text);
  };
  dialer.OnBusy = [this](tk::Component*) { Result("Connection Result: Remote is busy"); };
  dialer.OnVoice = [this](tk::Component*) { Result("Connection Result: Remote answered with voice"); };
  dialer.OnError = [this](tk::Component*) { Result("Connection Result: Modem return an error"); };
  dialer.OnNoCarrier = [this](tk::Component*) { Result("Connection Result: No carrier, connection failed"); };
  dialer.OnNoDialTone = [this](tk::Component*) { Result("Connection Result: No dialtone, check connections"); };
  dialer.OnDialTimedOut = [this](tk::Component*) { RewriteLine("Dial attempt timed out"); };
  dialer.OnRetryStart = [this](tk::Component*) {
    AddLine(Counted(dialer_ ? dialer_->RetrySecs() : 0, "Waiting . . ."));
  };
  dialer.OnRetryCount = [this](tk::Component*, std::uint16_t remaining) {
    RewriteLine(Counted(remaining, "Waiting . . ."));
  };
  dialer.OnRetryEnd = [this](tk::Component*) { RewriteLine("Wait complete, redialing . . ."); };
  dialer.OnTooManyTries = [this](tk::Component*) { done(mrAbort); };
  dialer.OnConnectionEstablished = [this](tk::Component*) {
    QMetaObject::invokeMethod(
        this, [this] { done(mrOk); }, Qt::QueuedConnection);
  };
}

void TDialerForm::CycleBtnClick() {
  // Before the dialer has started (the window's first ticks) there is nothing to cycle.
  if (!dialer_ || !dialer_->Dialing()) return;
  if (!dialer_->Retrying()) AddLine("Cycling dial attempt . . .");
  dialer_->Cycle();
}

void TDialerForm::ExtendBtnClick() {
  if (dialer_ && dialer_->Dialing()) dialer_->Extend(kExtendSeconds);
}

void TDialerForm::AbortBtnClick() {
  if (dialer_ && dialer_->Dialing()) dialer_->Abort();
  done(mrAbort);
}

}  // namespace telephony
