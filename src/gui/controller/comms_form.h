#pragma once
// The "Controller Access" window: the face of the controller engine. Its status panel, module grid,
// transmit and receive lights, meter and log show what the engine does; its menus and buttons only set
// the engine's requests or open the small request windows. Its 250 ms timer ticks the engine.
//
// The window also keeps the settings (the settings window edits them) and applies them to its port.
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "controller/comms_engine.h"
#include "gui/comms_link.h"
#include "project/settings.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;
class QFrame;

namespace controls {
class TVxMeter;
}
namespace serial {
class TLkComPort;
class TLkStatusLight;
}  // namespace serial
namespace telephony {
class TLkTapiDevice;
class TLkTapiStatus;
class TLkModem;
class TLkDialerDialog;
class TLkPhonebook;
class TLkPhonebookEditor;
class TLkPhoneNumberSelector;
class WindowThreadPost;
}  // namespace telephony
namespace tk {
class Component;
}
namespace platform {
class Clock;
}

class TCommsForm : public QMainWindow,
                   public controller::CommsView,
                   public project::SettingsLinks,
                   public gui::CommsLink {
  Q_OBJECT

 public:
  TCommsForm(controller::CommsProject& project, const platform::Clock& clock, QWidget* parent = nullptr);
  ~TCommsForm() override;

  project::Settings Settings;
  // The window's non-visual components, owned by one component as a form owns them, so that each finds
  // the others it works with (the modem its port, the dialer its modem, the selector its phone book).
  std::unique_ptr<tk::Component> Components;
  serial::TLkComPort* LkComPort1 = nullptr;
  telephony::TLkTapiDevice* LkTapiDevice1 = nullptr;
  telephony::TLkTapiStatus* LkTapiStatus1 = nullptr;
  telephony::TLkModem* LkModem1 = nullptr;
  telephony::TLkDialerDialog* LkDialerDialog1 = nullptr;
  telephony::TLkPhonebook* LkPhonebook1 = nullptr;
  telephony::TLkPhonebookEditor* LkPhonebookEditor1 = nullptr;
  telephony::TLkPhoneNumberSelector* LkPhoneNumberSelector1 = nullptr;
  std::unique_ptr<controller::CommsEngine> Engine;

  // The dial-up road the engine takes; nullptr restores the window's own components.
  void SetDialUp(controller::DialUp* dialUp);

  // The windows around this one that the engine writes to or reads from.
  void AttachGrid(controller::CommsGrid grid, QTableWidget* table, bool headerRow);
  void AttachWindow(controller::CommsWindow window, QWidget* widget);
  void AttachLabel(controller::CommsText text, QLabel* label);
  void AttachEdit(controller::CommsText text, QLineEdit* edit);
  void AttachRestartBar(QProgressBar* bar);
  void AttachList(controller::CommsList list, QListWidget* widget);
  void AttachInput(controller::CommsInput input, std::function<std::string(int index)> read);
  void AttachCheck(controller::CommsCheck check, std::function<bool()> read);
  // Windows opened by the menus: name -> how to show it. Names are the menu handlers' (e.g. "SendX101").
  void AttachShow(const std::string& handler, std::function<void()> show);
  // How the engine hides a window that is hidden its own way.
  void AttachHide(controller::CommsWindow window, std::function<void()> hide);

  // The attach operation: show the window, state 1 and the timer on.
  void AttachEngine();
  // Runs one tick (the timer calls it).
  void Timer1Timer();

  void FormShow();
  void FormHide();
  void FormDestroy();

  // Menu handlers.
  void LearnInfraRedCommand1Click();
  void TransmitInfraRedCommand1Click();
  void TransmitRemoteInfraRedCommand1Click();
  void DownloadInfraRedFiletoVORMO1Click();
  void UploadInfraRedFilefromVORMO1Click();
  void SendX101Click();
  void Monitor1Click();
  void Send1Click();
  void DownloadProgramtoVORMO1Click();
  void Set1Click();
  void GetCPUClock1Click();
  void ReloadVORMOExecutive1Click();
  void VORMOMemoryDump1Click();
  void RetrieveVORMOParameters1Click();
  void AutoAddressModules1Click();
  void DebugTimersandVariables1Click();
  void RetrieveModuleParameters1Click();
  void SetClearRelay1Click();
  void Murmex2Click();
  void ASCIILurcan1Click();
  void PagerMessages2Click();
  void AsciiMessages1Click();
  // The IR save dialog (the upload menu and the IR window's close question): true when a file was chosen.
  bool SaveIrFileDialog();

  // controller::CommsView
  void AddLogLine(const std::string& line) override;
  void SetText(controller::CommsText which, const std::string& text) override;
  void SetCell(controller::CommsGrid grid, int column, int row, const std::string& text) override;
  void ShowWindow(controller::CommsWindow window, bool visible) override;
  void SetMeterPercent(int percent) override;
  void SetRestartPosition(int position) override;
  void AddListLine(controller::CommsList list, const std::string& line) override;
  void ClearList(controller::CommsList list) override;
  void SetLights(bool transmitting, bool receiving) override;
  bool CommsDetail() const override;
  std::string InputText(controller::CommsInput input, int index) const override;
  bool IsChecked(controller::CommsCheck check) const override;
  void StopTimer() override;
  bool Showing() const override { return isVisible(); }

  // project::SettingsLinks: the port, the telephony device and the phone book get what the settings hold.
  void SetPortNumber(int comNum) override;
  std::string SelectedDevice() const override;
  void SetSelectedDevice(const std::string& name) override;
  void SelectDevice() override;
  void SetPhonebookFileName(const std::string& path) override;
  void SettingsStored() override { ShowSun(); }
  // The settings window's "&Phone Book".
  void EditPhonebook();

  // gui::CommsLink
  bool ReadConfigFile() override;
  std::string CurrentDirectory() const override;
  void Attach() override;
  void ShowDownloadProject() override;
  void ShowSetup() override;
  bool Attached() const override { return Engine->CommState != 0; }
  std::string EndQuestion(bool exit) const override;
  bool Reconnects() const override { return Engine->Reconnects(); }
  bool EndForExit(std::function<void()> ended) override;
  // Ranked as asked: after what was asked before it on the same data.
  void RequestTouchLoad() override;
  void RequestAsciiTable(int destination) override;

  // Controls, named as on the form.
  serial::TLkStatusLight* TXLight1 = nullptr;
  serial::TLkStatusLight* RXLight1 = nullptr;
  QTableWidget* StringGrid1 = nullptr;
  QListWidget* ListBox1 = nullptr;
  QLabel* Label3 = nullptr;   // firmware
  QLabel* Label5 = nullptr;   // application
  QLabel* Label4 = nullptr;   // date
  QLabel* Label6 = nullptr;   // time
  QLabel* Label7 = nullptr;   // step
  QLabel* Label8 = nullptr;   // state
  QLabel* Label10 = nullptr;  // sunrise
  QLabel* Label11 = nullptr;  // sunset
  QLabel* Label12 = nullptr;  // "DST"
  controls::TVxMeter* FileMeter = nullptr;
  QCheckBox* CommsDetailBox = nullptr;  // "Errors"
  QPushButton* BitBtn1 = nullptr;       // "&Close"
  QPushButton* BitBtn2 = nullptr;       // "&Clear"
  QFrame* Panel1 = nullptr;             // "Waiting for IR Learn"
  QFrame* Panel2 = nullptr;             // auto-addressing
  QLabel* Panel2Caption = nullptr;
  QPushButton* BitBtn3 = nullptr;  // "&Skip"
  QPushButton* BitBtn4 = nullptr;  // "Abort"
  QTimer* Timer1 = nullptr;
  std::map<std::string, QAction*> MenuItems;  // by handler name, e.g. "Monitor1"

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void BuildControls();
  void BuildMenus();
  // Today's sunrise, sunset and daylight saving of the settings stored.
  void ShowSun();
  void Show(const std::string& handler);
  static std::string IrFilter(bool lir);
  bool PortWorkRunning() const;

  controller::CommsProject& project_;
  const platform::Clock& clock_;
  controller::NoDialUp noDialUp_;  // only until the window's own road is made
  std::unique_ptr<controller::DialUp> ownDialUp_;
  std::shared_ptr<telephony::WindowThreadPost> modemEvents_;
  struct GridTarget {
    QPointer<QTableWidget> Table;
    bool HeaderRow = false;
  };
  std::map<controller::CommsGrid, GridTarget> grids_;
  std::map<controller::CommsWindow, QPointer<QWidget>> windows_;
  std::map<controller::CommsText, QPointer<QWidget>> labels_;
  QPointer<QProgressBar> restartBar_;
  std::map<controller::CommsList, QPointer<QListWidget>> lists_;
  std::map<controller::CommsInput, std::function<std::string(int)>> inputs_;
  std::map<controller::CommsCheck, std::function<bool()>> checks_;
  std::map<std::string, std::function<void()>> shows_;
  std::map<controller::CommsWindow, std::function<void()>> hides_;
  std::function<void()> exitWhenEnded_;  // the program's end waits for the connection's
};

extern TCommsForm* CommsForm;

namespace controller {
// The log list saved at exit while "Errors" is ticked.
inline constexpr const char* CommsLogFileName = "Zelta.log";
// The log list and the X10 lists keep the newest lines only.
inline constexpr int MaxLogLines = 10000;
}  // namespace controller
