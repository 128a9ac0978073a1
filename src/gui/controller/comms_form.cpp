#include "gui/controller/comms_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <utility>

#include "controller/sun_table.h"
#include "controls/meter.h"
#include "gui/controller/component_dial_up.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "serial/com_port.h"
#include "serial/lk_exception.h"
#include "serial/status_light.h"
#include "telephony/dialer_dialog.h"
#include "telephony/modem_component.h"
#include "telephony/number_selector.h"
#include "telephony/phone_book.h"
#include "telephony/phone_book_editor.h"
#include "telephony/tapi_device.h"
#include "telephony/tapi_status.h"
#include "telephony/window_thread_post.h"
#include "tk/component.h"

TCommsForm* CommsForm = nullptr;

using controller::CommsCheck;
using controller::CommsGrid;
using controller::CommsInput;
using controller::CommsList;
using controller::CommsText;
using controller::CommsWindow;
using controller::RequestKind;

namespace {

QString Q(const std::string& text) { return platform::ToQString(text); }

// Adds a line at the top. A program left attached for days would grow a list without end: the oldest
// lines go.
void AddNewest(QListWidget* list, const std::string& line) {
  list->insertItem(0, Q(line));
  while (list->count() > controller::MaxLogLines) delete list->takeItem(list->count() - 1);
}

}  // namespace

TCommsForm::TCommsForm(controller::CommsProject& project, const platform::Clock& clock, QWidget* parent)
    : QMainWindow(parent), Settings(this), project_(project), clock_(clock) {
  setWindowTitle("Controller Access");
  Components = std::make_unique<tk::Component>(nullptr);
  LkComPort1 = new serial::TLkComPort(Components.get());
  LkComPort1->SetName("LkComPort1");
  LkComPort1->SetBaud(9600);
  LkModem1 = new telephony::TLkModem(Components.get());
  LkDialerDialog1 = new telephony::TLkDialerDialog(Components.get());
  LkTapiStatus1 = new telephony::TLkTapiStatus(Components.get());
  LkTapiDevice1 = new telephony::TLkTapiDevice(Components.get());
  LkTapiDevice1->SetComPort(LkComPort1);
  LkTapiDevice1->SetStatusDisplay(LkTapiStatus1);
  LkPhonebook1 = new telephony::TLkPhonebook(Components.get());
  LkPhonebookEditor1 = new telephony::TLkPhonebookEditor(Components.get());
  LkPhoneNumberSelector1 = new telephony::TLkPhoneNumberSelector(Components.get());
  BuildControls();
  BuildMenus();
  Engine = std::make_unique<controller::CommsEngine>(
      controller::CommsParts{*LkComPort1, *this, Settings, project_, noDialUp_, clock_});
  ownDialUp_ =
      std::make_unique<ComponentDialUp>(*Engine, *LkPhoneNumberSelector1, *LkTapiDevice1, *LkDialerDialog1, *LkModem1);
  Engine->Dial = ownDialUp_.get();
  LkTapiDevice1->OnTapiConnect = [this](tk::Component*) { Engine->TapiConnect(); };
  LkTapiDevice1->OnTapiFail = [this](tk::Component*) { Engine->TapiFail(); };
  LkTapiDevice1->OnTapiPortClose = [this](tk::Component*) { Engine->TapiPortClose(); };
  // The modem reports from the port's dispatch thread; the engine lives on this one.
  modemEvents_ = std::make_shared<telephony::WindowThreadPost>(this);
  LkModem1->SetOnModemConnect(
      [post = modemEvents_, this](tk::Component*) { post->Post([this] { Engine->ModemConnect(); }); });
  Timer1 = new QTimer(this);
  Timer1->setInterval(250);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  resize(760, 560);
  if (QScreen* screen = QGuiApplication::primaryScreen()) move(screen->availableGeometry().center() - rect().center());
}

TCommsForm::~TCommsForm() {
  FormDestroy();
  Timer1->stop();
  modemEvents_->Detach();
  Engine.reset();
  Components.reset();
  if (CommsForm == this) CommsForm = nullptr;
}

void TCommsForm::SetDialUp(controller::DialUp* dialUp) { Engine->Dial = dialUp ? dialUp : ownDialUp_.get(); }

void TCommsForm::BuildControls() {
  auto* client = new QWidget(this);
  setCentralWidget(client);

  auto light = [&](const char* name, const char* caption, int x) {
    auto* l = new serial::TLkStatusLight(nullptr, client);
    l->SetName(name);
    l->SetBounds(x, 12, 13, 13);
    auto* label = new QLabel(caption, client);
    label->setGeometry(x + 16, 10, 20, 17);
    return l;
  };
  TXLight1 = light("TXLight1", "TX", 8);
  RXLight1 = light("RXLight1", "RX", 50);

  auto label = [&](const char* name, int x, int y, int w) {
    auto* l = new QLabel(client);
    l->setObjectName(name);
    l->setGeometry(x, y, w, 17);
    return l;
  };
  Label3 = label("Label3", 100, 6, 150);
  Label5 = label("Label5", 100, 24, 150);
  Label4 = label("Label4", 260, 6, 110);
  Label6 = label("Label6", 260, 24, 110);
  Label10 = label("Label10", 380, 6, 140);
  Label11 = label("Label11", 380, 24, 140);
  Label12 = label("Label12", 520, 6, 40);
  Label12->setText("DST");
  Label12->hide();
  Label7 = label("Label7", 8, 46, 330);
  Label8 = label("Label8", 340, 46, 60);

  FileMeter = new controls::TVxMeter(nullptr, client);
  FileMeter->SetName("FileMeter");
  FileMeter->SetBounds(410, 44, 200, 20);
  FileMeter->hide();

  CommsDetailBox = new QCheckBox("Errors", client);
  CommsDetailBox->setObjectName("CommsDetail");
  CommsDetailBox->setGeometry(620, 44, 80, 20);

  StringGrid1 = new QTableWidget(128, 20, client);
  StringGrid1->setObjectName("StringGrid1");
  StringGrid1->setGeometry(8, 70, 744, 250);
  StringGrid1->verticalHeader()->hide();
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->horizontalHeader()->setDefaultSectionSize(50);
  StringGrid1->verticalHeader()->setDefaultSectionSize(18);
  StringGrid1->setColumnWidth(1, 70);
  StringGrid1->setColumnWidth(19, 60);
  AttachGrid(CommsGrid::Modules, StringGrid1, true);

  ListBox1 = new QListWidget(client);
  ListBox1->setObjectName("ListBox1");
  ListBox1->setGeometry(8, 326, 640, 200);

  BitBtn1 = new QPushButton("&Close", client);
  BitBtn1->setGeometry(660, 326, 90, 25);
  connect(BitBtn1, &QPushButton::clicked, this, [this] { hide(); });
  BitBtn2 = new QPushButton("&Clear", client);
  BitBtn2->setGeometry(660, 356, 90, 25);
  connect(BitBtn2, &QPushButton::clicked, this, [this] { ListBox1->clear(); });

  Panel1 = new QFrame(client);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setGeometry(250, 150, 260, 50);
  auto* learn = new QLabel("Waiting for IR Learn", Panel1);
  learn->setAlignment(Qt::AlignCenter);
  learn->setGeometry(0, 0, 260, 50);
  Panel1->hide();

  Panel2 = new QFrame(client);
  Panel2->setObjectName("Panel2");
  Panel2->setFrameShape(QFrame::Panel);
  Panel2->setGeometry(250, 140, 260, 80);
  Panel2Caption = new QLabel("Mod 2", Panel2);
  Panel2Caption->setAlignment(Qt::AlignCenter);
  Panel2Caption->setGeometry(0, 6, 260, 20);
  BitBtn3 = new QPushButton("&Skip", Panel2);
  BitBtn3->setGeometry(40, 40, 80, 25);
  connect(BitBtn3, &QPushButton::clicked, this, [this] { Engine->SkipRequest = 1; });
  BitBtn4 = new QPushButton("Abort", Panel2);
  BitBtn4->setGeometry(140, 40, 80, 25);
  connect(BitBtn4, &QPushButton::clicked, this, [this] {
    Panel2->hide();
    Engine->AbortRequest = 1;
  });
  Panel2->hide();

  AttachLabel(CommsText::Step, Label7);
  AttachLabel(CommsText::State, Label8);
  AttachLabel(CommsText::Firmware, Label3);
  AttachLabel(CommsText::Application, Label5);
  AttachLabel(CommsText::Date, Label4);
  AttachLabel(CommsText::Time, Label6);
  AttachLabel(CommsText::AutoAddressCaption, Panel2Caption);
  AttachWindow(CommsWindow::Meter, FileMeter);
  AttachWindow(CommsWindow::DstLabel, Label12);
  AttachWindow(CommsWindow::IrLearnPanel, Panel1);
  AttachWindow(CommsWindow::AutoAddressPanel, Panel2);
}

void TCommsForm::BuildMenus() {
  struct Item {
    const char* Menu;
    const char* Caption;
    const char* Handler;
    void (TCommsForm::*Run)();
  };
  static const Item kItems[] = {
      {"&Infra-Red", "&Learn Infra-Red Command", "LearnInfraRedCommand1", &TCommsForm::LearnInfraRedCommand1Click},
      {"&Infra-Red", "&Transmit Infra-Red Command", "TransmitInfraRedCommand1",
       &TCommsForm::TransmitInfraRedCommand1Click},
      {"&Infra-Red", "Transmit &Remote Infra-red Command", "TransmitRemoteInfraRedCommand1",
       &TCommsForm::TransmitRemoteInfraRedCommand1Click},
      {"&Infra-Red", "&Download Infra-Red File to Controller", "DownloadInfraRedFiletoVORMO1",
       &TCommsForm::DownloadInfraRedFiletoVORMO1Click},
      {"&Infra-Red", "&Upload Infra-Red File from Controller", "UploadInfraRedFilefromVORMO1",
       &TCommsForm::UploadInfraRedFilefromVORMO1Click},
      {"X10", "Send X10", "SendX101", &TCommsForm::SendX101Click},
      {"X10", "Monitor X10", "Monitor1", &TCommsForm::Monitor1Click},
      {"X10", "Send Leviton X10", "Send1", &TCommsForm::Send1Click},
      {"&Program File", "&Download Program in Editor to Controller", "DownloadProgramtoVORMO1",
       &TCommsForm::DownloadProgramtoVORMO1Click},
      {"Controller Utility", "&Set Controller Clock to PC Clock", "Set1", &TCommsForm::Set1Click},
      {"Controller Utility", "&Get Controller Clock", "GetCPUClock1", &TCommsForm::GetCPUClock1Click},
      {"Controller Utility", "&Reload Controller Executive", "ReloadVORMOExecutive1",
       &TCommsForm::ReloadVORMOExecutive1Click},
      {"Controller Utility", "Controller Memory Dump", "VORMOMemoryDump1", &TCommsForm::VORMOMemoryDump1Click},
      {"Controller Utility", "Retrieve &Controller Parameters", "RetrieveVORMOParameters1",
       &TCommsForm::RetrieveVORMOParameters1Click},
      {"Controller Utility", "Auto Address Modules", "AutoAddressModules1", &TCommsForm::AutoAddressModules1Click},
      {"Controller Utility", "Debug Timers and Variables", "DebugTimersandVariables1",
       &TCommsForm::DebugTimersandVariables1Click},
      {"&Module Utility", "&Retrieve Module Parameters", "RetrieveModuleParameters1",
       &TCommsForm::RetrieveModuleParameters1Click},
      {"&Module Utility", "Set/Clear Relay", "SetClearRelay1", &TCommsForm::SetClearRelay1Click},
      {"&Module Utility", "Murmex", "Murmex2", &TCommsForm::Murmex2Click},
      {"&Module Utility", "ASCII Lurcan", "ASCIILurcan1", &TCommsForm::ASCIILurcan1Click},
      {"Serial Messages", "Pager Messages", "PagerMessages2", &TCommsForm::PagerMessages2Click},
      {"Serial Messages", "Ascii Messages", "AsciiMessages1", &TCommsForm::AsciiMessages1Click},
  };
  std::map<std::string, QMenu*> menus;
  for (const Item& item : kItems) {
    QMenu*& menu = menus[item.Menu];
    if (!menu) menu = menuBar()->addMenu(item.Menu);
    auto run = item.Run;
    MenuItems[item.Handler] = menu->addAction(item.Caption, this, [this, run] { (this->*run)(); });
  }
}

// Wiring to the windows around

void TCommsForm::AttachGrid(CommsGrid grid, QTableWidget* table, bool headerRow) { grids_[grid] = {table, headerRow}; }
void TCommsForm::AttachWindow(CommsWindow window, QWidget* widget) { windows_[window] = widget; }
void TCommsForm::AttachLabel(CommsText text, QLabel* label) { labels_[text] = label; }
void TCommsForm::AttachEdit(CommsText text, QLineEdit* edit) { labels_[text] = edit; }
void TCommsForm::AttachRestartBar(QProgressBar* bar) { restartBar_ = bar; }
void TCommsForm::AttachList(CommsList list, QListWidget* widget) { lists_[list] = widget; }
void TCommsForm::AttachInput(CommsInput input, std::function<std::string(int)> read) {
  inputs_[input] = std::move(read);
}
void TCommsForm::AttachCheck(CommsCheck check, std::function<bool()> read) { checks_[check] = std::move(read); }
void TCommsForm::AttachShow(const std::string& handler, std::function<void()> show) {
  shows_[handler] = std::move(show);
}

void TCommsForm::AttachHide(CommsWindow window, std::function<void()> hide) { hides_[window] = std::move(hide); }

void TCommsForm::Show(const std::string& handler) {
  auto it = shows_.find(handler);
  if (it != shows_.end() && it->second) it->second();
}

// The engine's view

void TCommsForm::AddLogLine(const std::string& line) { AddNewest(ListBox1, line); }

void TCommsForm::SetText(CommsText which, const std::string& text) {
  auto it = labels_.find(which);
  if (it == labels_.end() || !it->second) return;
  if (auto* label = qobject_cast<QLabel*>(it->second.data())) {
    label->setText(Q(text));
  } else if (auto* edit = qobject_cast<QLineEdit*>(it->second.data())) {
    // The edit is also the user's field (the dump's address): a value withdrawn (a download's block has no
    // address) takes back only what the engine showed there, never what the user has typed since.
    if (!text.empty() || !edit->isModified()) edit->setText(Q(text));
  }
}

void TCommsForm::SetCell(CommsGrid grid, int column, int row, const std::string& text) {
  auto it = grids_.find(grid);
  if (it == grids_.end() || !it->second.Table) return;
  QTableWidget* table = it->second.Table;
  if (it->second.HeaderRow && row == 0) {
    table->setHorizontalHeaderItem(column, new QTableWidgetItem(Q(text)));
    return;
  }
  const int r = it->second.HeaderRow ? row - 1 : row;
  if (QTableWidgetItem* item = table->item(r, column))
    item->setText(Q(text));
  else
    table->setItem(r, column, new QTableWidgetItem(Q(text)));
}

void TCommsForm::ShowWindow(CommsWindow window, bool visible) {
  if (auto hide = hides_.find(window); !visible && hide != hides_.end() && hide->second) {
    hide->second();
    return;
  }
  auto it = windows_.find(window);
  if (it == windows_.end() || !it->second) return;
  it->second->setVisible(visible);
  if (!visible) return;
  it->second->raise();
  // Back from the controller, the editor is the user's window again: in front and active, not behind
  // this one.
  if (window != CommsWindow::Editor) return;
  it->second->activateWindow();
  // At once, not when the window system gets round to it: a box shown next ("Lost Connection") belongs
  // to the active window, which gets the focus back when the box closes.
  QApplication::setActiveWindow(it->second);
}

void TCommsForm::SetMeterPercent(int percent) { FileMeter->SetPercent(percent); }

void TCommsForm::SetRestartPosition(int position) {
  if (restartBar_) restartBar_->setValue(position);
}

void TCommsForm::AddListLine(CommsList list, const std::string& line) {
  auto it = lists_.find(list);
  if (it != lists_.end() && it->second) AddNewest(it->second, line);
}

void TCommsForm::ClearList(CommsList list) {
  auto it = lists_.find(list);
  if (it != lists_.end() && it->second) it->second->clear();
}

void TCommsForm::SetLights(bool transmitting, bool receiving) {
  TXLight1->SetLit(transmitting);
  RXLight1->SetLit(receiving);
}

bool TCommsForm::CommsDetail() const { return CommsDetailBox->isChecked(); }

std::string TCommsForm::InputText(CommsInput input, int index) const {
  auto it = inputs_.find(input);
  return it != inputs_.end() && it->second ? it->second(index) : std::string();
}

bool TCommsForm::IsChecked(CommsCheck check) const {
  auto it = checks_.find(check);
  return it != checks_.end() && it->second && it->second();
}

void TCommsForm::StopTimer() { Timer1->stop(); }

// A new number closes and reopens an open port: a running connection would go on on another line,
// mid-transfer, and a modem set-up would send its last lines to another device. Each keeps its line; state 1
// gives the port the stored number when the next connection starts, the set-up's end when it ends.
void TCommsForm::SetPortNumber(int comNum) {
  if (Engine->CommState != 0) return;
  if (PortWorkRunning())
    Engine->PortWork->HoldPortNumber(comNum);
  else
    LkComPort1->SetComNumber(static_cast<std::uint16_t>(comNum));
}

std::string TCommsForm::SelectedDevice() const { return LkTapiDevice1->SelectedDevice(); }
void TCommsForm::SetSelectedDevice(const std::string& name) { LkTapiDevice1->SetSelectedDevice(name); }

void TCommsForm::SelectDevice() {
  if (Engine->CommState == 0 && !PortWorkRunning()) {
    LkTapiDevice1->SelectDevice();
    return;
  }
  // A port picked in the selection goes to the device's port component, which would move the running
  // connection or modem set-up: while one runs, the pick goes to a closed port of its own and is gone with it.
  serial::TLkComPort picked(nullptr);
  picked.SetTapiMode(LkComPort1->TapiMode());
  picked.SetComNumber(LkComPort1->ComNumber());
  LkTapiDevice1->SetComPort(&picked);
  struct Restore {
    telephony::TLkTapiDevice* Device;
    serial::TLkComPort* Port;
    ~Restore() { Device->SetComPort(Port); }
  } restore{LkTapiDevice1, LkComPort1};
  LkTapiDevice1->SelectDevice();
}

void TCommsForm::SetPhonebookFileName(const std::string& path) { LkPhonebook1->SetFileName(path); }

void TCommsForm::EditPhonebook() {
  try {
    LkPhonebookEditor1->Execute();
  } catch (const serial::ELkException& e) {
    platform::Ui().ShowMessage(e.what());
  }
}

// Life of the window

void TCommsForm::AttachEngine() {
  show();
  raise();
  Engine->Attach();
  Timer1->start();
}

void TCommsForm::Timer1Timer() {
  Engine->Tick();
  // Once ended, with its last words said (a message box shown inside the tick has closed).
  if (exitWhenEnded_ && Engine->CommState == 0) std::exchange(exitWhenEnded_, nullptr)();
}

void TCommsForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TCommsForm::hideEvent(QHideEvent* event) {
  QMainWindow::hideEvent(event);
  if (!event->spontaneous()) FormHide();
}

void TCommsForm::FormShow() { ShowSun(); }

void TCommsForm::ShowSun() {
  Engine->Sun = controller::BuildSunTable(Settings.Latitude, Settings.Longitude, Settings.TimeZone);
  const controller::TodaysSun today = controller::SunForToday(Engine->Sun, clock_.Now(), Settings.UseDaylightSaving);
  Engine->DstActive = today.DstActive ? 1 : 0;
  ShowWindow(CommsWindow::DstLabel, today.DstActive);
  // Times from a stored location the settings window refuses would be nonsense ("Sunrise 56:29 PM").
  const bool usable = Settings.LocationError().empty();
  Label10->setText(usable ? Q(today.SunriseText) : QString());
  Label11->setText(usable ? Q(today.SunsetText) : QString());
}

void TCommsForm::FormHide() {
  Engine->CloseRequest = 1;
  ShowWindow(CommsWindow::Editor, true);
  ShowWindow(CommsWindow::TimerVars, false);
}

void TCommsForm::FormDestroy() {
  if (!CommsDetailBox || !CommsDetailBox->isChecked()) return;
  std::string text;
  for (int i = 0; i < ListBox1->count(); ++i)
    text += platform::FromQString(ListBox1->item(i)->text()).value_or("") + "\r\n";
  std::string error = platform::WriteFileAtomically(controller::CommsLogFileName, text);
  if (!error.empty()) std::fprintf(stderr, "%s: %s\n", controller::CommsLogFileName, error.c_str());
}

// Menus

void TCommsForm::LearnInfraRedCommand1Click() { Show("LearnInfraRedCommand1"); }
void TCommsForm::TransmitInfraRedCommand1Click() { Show("TransmitInfraRedCommand1"); }
void TCommsForm::TransmitRemoteInfraRedCommand1Click() { Show("TransmitRemoteInfraRedCommand1"); }

std::string TCommsForm::IrFilter(bool lir) { return lir ? "Program files (*.lir)|*.LIR" : "Program files (*.ir)|*.IR"; }

void TCommsForm::DownloadInfraRedFiletoVORMO1Click() {
  if (!Engine->RequestAllowed(RequestKind::IrDownload, Engine->IrFileTransferAsked(false))) return;
  Engine->ParamsRequest = 1;
  controller::RankOwnRequest(*Engine, RequestKind::Params);
  if (!ReadConfigFile()) return;
  // The format offered goes with the request: the engine sends no file in the other.
  const bool lir = Engine->TakesLirFiles();
  platform::FileDialogOptions options;
  options.Title = "Open ir Data File";
  options.Filter = IrFilter(lir);
  options.InitialDir = Settings.CurrentDirectory;
  options.MustExist = true;
  std::optional<std::string> path = platform::Ui().OpenFileName(options);
  // The connection may have ended while the dialog was open: the next controller gets none of it.
  if (path && Engine->RequestAllowed(RequestKind::IrDownload, Engine->IrFileTransferAsked(false)))
    Engine->RequestIrDownload(*path, lir);
}

bool TCommsForm::SaveIrFileDialog() {
  if (!Engine->RequestAllowed(RequestKind::IrUpload, Engine->IrFileTransferAsked(true))) return false;
  Engine->ParamsRequest = 1;
  controller::RankOwnRequest(*Engine, RequestKind::Params);
  if (!ReadConfigFile()) return false;
  const bool lir = Engine->TakesLirFiles();
  platform::FileDialogOptions options;
  options.Title = "Save ir Data File";
  options.Filter = IrFilter(lir);
  options.DefaultExt = lir ? "lir" : "ir";
  options.FileName = "Untitled";
  options.InitialDir = Settings.CurrentDirectory;
  std::optional<std::string> path = platform::Ui().SaveFileName(options);
  if (!path || !platform::ConfirmReplace({*path}, options.Title)) return false;
  // The connection may have ended while the dialog or the question was open.
  if (!Engine->RequestAllowed(RequestKind::IrUpload, Engine->IrFileTransferAsked(true))) return false;
  Engine->IrUploadFileName = *path;
  Engine->IrUploadLir = lir;
  Engine->IrUploadRequest = 1;
  return true;
}

void TCommsForm::UploadInfraRedFilefromVORMO1Click() {
  SaveIrFileDialog();
  platform::Ui().Beep();
}

void TCommsForm::SendX101Click() { Show("SendX101"); }
void TCommsForm::Monitor1Click() {
  // One running stays marked as run.
  if (Engine->RequestAllowed(RequestKind::X10Monitor) && !Engine->X10MonitorRequest) Engine->X10MonitorRequest = 1;
}
void TCommsForm::Send1Click() { Show("Send1"); }
void TCommsForm::DownloadProgramtoVORMO1Click() {
  if (Engine->RequestAllowed(RequestKind::ProgramDownload, Engine->ProgramDownloadRequest != 0))
    Engine->RequestProgramDownload();
}

void TCommsForm::Set1Click() {
  if (Engine->RequestAllowed(RequestKind::SetClock, Engine->SetClockRequest != 0)) Engine->SetClockRequest = 1;
}

void TCommsForm::GetCPUClock1Click() {
  if (!Engine->RequestAllowed(RequestKind::Clock)) return;
  Engine->ClockRequest = 1;
  Engine->UserClockRead = 1;
}

void TCommsForm::ReloadVORMOExecutive1Click() {
  if (Engine->RequestAllowed(RequestKind::ReloadExec, Engine->ReloadExecRequest != 0)) Engine->RequestExecReload();
}

void TCommsForm::VORMOMemoryDump1Click() { Show("VORMOMemoryDump1"); }

void TCommsForm::RetrieveVORMOParameters1Click() {
  if (!Engine->RequestAllowed(RequestKind::Params)) return;
  if (auto it = windows_.find(CommsWindow::ControllerParams); it != windows_.end() && it->second) {
    QWidget* params = it->second;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen && screen->geometry().width() < 1024)
      params->move(screen->availableGeometry().center() - params->rect().center());
    else
      params->move(frameGeometry().left() + frameGeometry().width() + 2, frameGeometry().top());
    params->show();
    params->raise();
  }
  Engine->ParamsRequest = 1;
  AddLogLine("Edit Manager Params");
}

void TCommsForm::AutoAddressModules1Click() {
  // A second click would start the running search over from module 1.
  if (Engine->RequestAllowed(RequestKind::AutoAddress, Engine->AutoAddressRequest != -1))
    Engine->AutoAddressRequest = 1;
}

void TCommsForm::DebugTimersandVariables1Click() {
  if (!Engine->RequestAllowed(RequestKind::TimerVarMonitor)) return;
  if (!Engine->TimerVarMonitorRequest) Engine->TimerVarMonitorRequest = 1;
  ShowWindow(CommsWindow::TimerVars, true);
}

void TCommsForm::RetrieveModuleParameters1Click() {
  if (!Engine->RequestAllowed(RequestKind::ModuleParams)) return;
  Engine->ModuleParamsRequest = 1;
  AddLogLine("Upload Module Params Command");
}

void TCommsForm::SetClearRelay1Click() { Show("SetClearRelay1"); }
void TCommsForm::Murmex2Click() { Show("Murmex2"); }
void TCommsForm::ASCIILurcan1Click() { Show("ASCIILurcan1"); }
void TCommsForm::PagerMessages2Click() { Show("PagerMessages2"); }
void TCommsForm::AsciiMessages1Click() { Show("AsciiMessages1"); }

// The editor's link

bool TCommsForm::ReadConfigFile() { return Settings.ReadConfigFile(); }
std::string TCommsForm::CurrentDirectory() const { return Settings.CurrentDirectory; }
void TCommsForm::Attach() { AttachEngine(); }
void TCommsForm::ShowDownloadProject() { Show("DownloadProject"); }
void TCommsForm::ShowSetup() { Show("CommsSetup"); }

bool TCommsForm::PortWorkRunning() const { return Engine->PortWork && Engine->PortWork->Running(); }

std::string TCommsForm::EndQuestion(bool exit) const {
  return Engine->EndQuestion(exit ? controller::Ending::Exit : controller::Ending::Attach);
}

bool TCommsForm::EndForExit(std::function<void()> ended) {
  if (PortWorkRunning()) Engine->PortWork->Cut();
  if (Engine->CommState == 0) return false;
  exitWhenEnded_ = std::move(ended);
  // As "&Close" ends it; the transfer the user agreed to cut is cut. The engine ticks until it has ended.
  Engine->EndForExit();
  hide();
  if (!Timer1->isActive()) Timer1->start();
  return true;
}

void TCommsForm::RequestTouchLoad() {
  if (!Engine->RequestAllowed(controller::RequestName(RequestKind::TouchLoad), Engine->TouchLoadRequest != 0)) return;
  Engine->RequestTouchLoad();
  controller::RankOwnRequest(*Engine, RequestKind::TouchLoad);
}

void TCommsForm::RequestAsciiTable(int destination) {
  if (Engine->RequestAllowed(destination ? RequestKind::RemoteAscii : RequestKind::AsciiTable,
                             destination ? Engine->ModuleAsciiAsked() : Engine->AsciiTableRequest != 0))
    Engine->RequestAsciiTable(destination);
}
