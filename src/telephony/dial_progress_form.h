#pragma once
// The "Dial Progress" window: runs a dialer and writes its progress as up to 13 lines of text, the oldest
// scrolling away; Cycle, Extend and Abort act on the dialer. Closes with OK once connected, with Abort
// when the dialer gives up or the user aborts.
#include <QDialog>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "serial/com_port.h"

class QLabel;
class QPushButton;
class QGroupBox;

namespace telephony {

class TLkCustomModemDialer;

class TDialerForm : public QDialog {
 public:
  static constexpr int kLineCount = 13;
  // The results the window closes with.
  static constexpr int mrOk = 1;
  static constexpr int mrAbort = 3;

  explicit TDialerForm(QWidget* parent = nullptr);
  ~TDialerForm() override;

  // Starts the dialer once the window runs and shows the window modally; returns how it closed.
  int DoDial(TLkCustomModemDialer& dialer);

  // The status lines in order (all 13, used or not).
  std::vector<std::string> Lines() const;
  int LinesInUse() const { return linesUsed_; }
  void AddLine(const std::string& text);
  // Rewrites the line added last (adds one when there is none).
  void RewriteLine(const std::string& text);

  QLabel* Label(int number) const { return labels_[static_cast<std::size_t>(number - 1)]; }
  QPushButton* CycleBtn = nullptr;
  QPushButton* ExtendBtn = nullptr;
  QPushButton* AbortBtn = nullptr;

  void CycleBtnClick();
  void ExtendBtnClick();
  void AbortBtnClick();
  // Escape and the window manager's close act as Abort: the dialer never outlives its window's run.
  void reject() override { AbortBtnClick(); }

 private:
  void ConnectDialerEvents(TLkCustomModemDialer& dialer);
  void FormTriggerTimer(tk::Component* sender, std::uint32_t handle);
  void StopStartTrigger();
  // A result line, or the end of the window when the dialer has given up.
  void Result(const char* text);

  QGroupBox* group_ = nullptr;
  std::array<QLabel*, kLineCount> labels_{};
  int linesUsed_ = 0;
  TLkCustomModemDialer* dialer_ = nullptr;
  serial::TLkCustomComPort* port_ = nullptr;
  std::int32_t startTrigger_ = 0;
  serial::TTriggerHandleEvent savedTimer_;
};

}  // namespace telephony
