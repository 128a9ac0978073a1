#pragma once
// The "Call Progress" window of the telephony status component: who is called or calling, on which
// device, the attempt, nine status lines and a Cancel button that cancels the call.
#include <QWidget>
#include <array>
#include <cstdint>

#include "telephony/tapi_status_lines.h"

class QFrame;
class QLabel;
class QPushButton;

namespace telephony {

class TLkCustomTapiDevice;

enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter };

class TLkStandardTapiDisplay : public QWidget {
 public:
  static constexpr int kClientWidth = 427;
  static constexpr int kClientHeight = 305;
  static constexpr int kLineSpacing = 16;

  explicit TLkStandardTapiDisplay(QWidget* parent = nullptr);

  // Empties the status lines and the dialled and device fields.
  void Clear();
  // Shows the device's call and adds the status text of (message, state, reason).
  void UpdateValues(TLkCustomTapiDevice* device, std::uint32_t message, std::uint32_t state, std::uint32_t reason);
  void dpCancelClick();

  const TapiStatusLines& Lines() const { return lines_; }

  TLkCustomTapiDevice* Device = nullptr;
  TPosition Position = poScreenCenter;
  bool Ctl3D = true;

  QFrame* UpperPanel = nullptr;
  QFrame* LowerPanel = nullptr;
  QLabel* dpLabel1 = nullptr;
  QLabel* dpDialing = nullptr;
  QLabel* dpLabel2 = nullptr;
  QLabel* dpUsing = nullptr;
  QLabel* dpLabel3 = nullptr;
  QLabel* dpAttempt = nullptr;
  QLabel* dpLabel4 = nullptr;
  QLabel* dpTotalAttempts = nullptr;
  std::array<QLabel*, TapiStatusLines::kMaxLines> dpStat{};
  QPushButton* dpCancel = nullptr;

 private:
  void ShowLines();

  TapiStatusLines lines_;
};

}  // namespace telephony
