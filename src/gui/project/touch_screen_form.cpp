#include "gui/project/touch_screen_form.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabBar>
#include <algorithm>

#include "gui/project/enter_text_form.h"
#include "gui/project/x10_form.h"
#include "platform/text.h"
#include "platform/ui.h"

TTouchScreenForm* TouchScreenForm = nullptr;

using platform::Ui;
using project::TouchDesigner;

namespace {

constexpr int kClientWidth = 728;
constexpr int kClientHeight = 424;
constexpr int kPageLeft = 16;
constexpr int kPageTop = 40;
constexpr int kSettingsTop = 356;
constexpr const char* kFilter = "Touch Screen files (*.tch)|*.TCH";
constexpr const char* kCaptionFace = "Courier New";

bool Confirm(const std::string& text) {
  return Ui().MessageBox(text, platform::ApplicationTitle(), platform::MsgButtons::OkCancel,
                         platform::MsgKind::Question) == platform::MsgResult::Ok;
}

QGroupBox* NewOffOnGroup(QWidget* parent, const char* title, QButtonGroup*& group) {
  auto* box = new QGroupBox(title, parent);
  group = new QButtonGroup(box);
  int i = 0;
  for (const char* item : {"OFF", "ON"}) {
    auto* button = new QRadioButton(item, box);
    button->setGeometry(12 + 64 * i, 26, 60, 20);
    group->addButton(button, i++);
  }
  group->button(0)->setChecked(true);
  return box;
}

// A radio group shows a value past its items as its last item.
void Select(QButtonGroup* group, int value) {
  const int last = static_cast<int>(group->buttons().size()) - 1;
  group->button(std::clamp(value, 0, last))->setChecked(true);
}

}  // namespace

TTouchScreenForm::TTouchScreenForm(workspace::Project& project, QWidget* parent)
    : QMainWindow(parent), Table(project.TouchTable), Designer(project.TouchTable, project.Names()), project_(project) {
  setWindowTitle("Touch Screen Setup");
  ownComms_ = std::make_unique<gui::DetachedCommsLink>();
  comms_ = ownComms_.get();

  auto* client = new QWidget(this);
  client->setFixedSize(kClientWidth, kClientHeight);
  setCentralWidget(client);
  BuildPage(client);
  BuildTemplates(client);
  BuildSettings(client);
  BuildMenus();
  adjustSize();
  setFixedSize(sizeHint());

  Table.ClearAllObjects();
  FormCreate();
}

TTouchScreenForm::~TTouchScreenForm() {
  if (TouchScreenForm == this) TouchScreenForm = nullptr;
}

void TTouchScreenForm::BuildPage(QWidget* client) {
  TabControl1 = new QTabBar(client);
  TabControl1->setObjectName("TabControl1");
  for (int page = 1; page <= TouchDesigner::PageCount; ++page) TabControl1->addTab(QString("Screen %1").arg(page));
  TabControl1->setUsesScrollButtons(true);
  TabControl1->setExpanding(false);
  TabControl1->setGeometry(8, 6, kClientWidth - 16, 28);
  connect(TabControl1, &QTabBar::currentChanged, this, [this] { TabControl1Change(); });

  Panel4 = new QFrame(client);
  Panel4->setObjectName("Panel4");
  Panel4->setGeometry(kPageLeft, kPageTop, TouchDesigner::PageWidth, TouchDesigner::PageHeight);
  Panel4->setAutoFillBackground(true);
  QPalette grey = Panel4->palette();
  grey.setColor(QPalette::Window, QColor(192, 192, 192));
  Panel4->setPalette(grey);

  Image1 = new QLabel(Panel4);
  Image1->setObjectName("Image1");
  Image1->setGeometry(0, 0, TouchDesigner::PageWidth, TouchDesigner::PageHeight);
  Image1->installEventFilter(this);
  Picture = QImage(TouchDesigner::PageWidth, TouchDesigner::PageHeight, QImage::Format_RGB32);
  Picture.fill(Qt::white);
}

QPushButton* TTouchScreenForm::NewTemplate(QWidget* client, const char* name, const char* caption, int x, int y,
                                           int width, int height) {
  auto* button = new QPushButton(caption, client);
  button->setObjectName(name);
  button->setGeometry(x, y, width, height);
  connect(button, &QPushButton::clicked, this, [this, button] { Button1Click(button); });
  ButtonTemplates.push_back(button);
  return button;
}

void TTouchScreenForm::BuildTemplates(QWidget* client) {
  // Each template is its object's size: the cells of the page's 32 x 40 grid.
  constexpr int a = 352, b = 424, c = 560, d = 600;
  NewTemplate(client, "Button1", "Single", a, kPageTop, 64, 40);
  NewTemplate(client, "Button2", "Double", a, kPageTop + 48, 64, 80);
  NewTemplate(client, "Button3", "Triple", a, kPageTop + 136, 64, 120);
  NewTemplate(client, "Button4", "Wide Single", b, kPageTop, 128, 40);
  NewTemplate(client, "Button5", "Wide Double", b, kPageTop + 48, 128, 80);
  NewTemplate(client, "Button6", "Wide Triple", b, kPageTop + 136, 128, 120);
  NewTemplate(client, "Button8", "", kPageLeft, kPageTop + TouchDesigner::PageHeight + 16, 192, 40);
  NewTemplate(client, "Button9", "", c, kPageTop + 48, 32, 81);
  NewTemplate(client, "Button10", "", c, kPageTop + 136, 32, 120);
  NewTemplate(client, "Button11", "", kPageLeft + 200, kPageTop + TouchDesigner::PageHeight + 16, 224, 40);
  NewTemplate(client, "Button12", "", c, kPageTop, 32, 40);

  Button7 = new QPushButton(client);
  Button7->setObjectName("Button7");
  Button7->setGeometry(d, kPageTop, 16, 40);
  connect(Button7, &QPushButton::clicked, this, [this] { Button7Click(); });

  Label5 = new QLabel("Screen Text", client);
  Label5->setObjectName("Label5");
  Label5->setGeometry(d + 32, kPageTop + 12, 88, 16);
  Label5->setFrameShape(QFrame::Box);
  Label5->setAutoFillBackground(true);
  QPalette white = Label5->palette();
  white.setColor(QPalette::Window, Qt::white);
  Label5->setPalette(white);
  Label5->setCursor(Qt::PointingHandCursor);
  Label5->installEventFilter(this);
}

void TTouchScreenForm::BuildSettings(QWidget* client) {
  RadioGroup1 = NewOffOnGroup(client, "Beep on Touch", BeepGroup);
  RadioGroup1->setObjectName("RadioGroup1");
  RadioGroup1->setGeometry(kPageLeft, kSettingsTop, 150, 60);
  connect(BeepGroup, &QButtonGroup::idClicked, this, [this] { RadioGroup1Click(); });

  RadioGroup2 = NewOffOnGroup(client, "Show Date and Time", DateGroup);
  RadioGroup2->setObjectName("RadioGroup2");
  RadioGroup2->setGeometry(kPageLeft + 158, kSettingsTop, 162, 60);
  connect(DateGroup, &QButtonGroup::idClicked, this, [this] { RadioGroup2Click(); });

  BacklightGroup = new QGroupBox("Backlight OFF Delay Seconds", client);
  BacklightGroup->setGeometry(352, kSettingsTop, kClientWidth - 352 - 8, 60);
  TrackBar1 = new QSlider(Qt::Horizontal, BacklightGroup);
  TrackBar1->setObjectName("TrackBar1");
  TrackBar1->setRange(0, TouchDesigner::MaxBacklightOffDelay);
  TrackBar1->setTickInterval(10);
  TrackBar1->setTickPosition(QSlider::TicksBelow);
  TrackBar1->setPageStep(10);
  TrackBar1->setGeometry(10, 22, 290, 30);
  connect(TrackBar1, &QSlider::valueChanged, this, [this] { TrackBar1Change(); });
  Edit1 = new QLineEdit("0", BacklightGroup);
  Edit1->setObjectName("Edit1");
  Edit1->setGeometry(310, 24, 46, 24);
  connect(Edit1, &QLineEdit::textEdited, this, [this] { Edit1Change(); });
}

void TTouchScreenForm::BuildMenus() {
  File1 = menuBar()->addMenu("File");
  New1 = File1->addAction(" New Touch Screen File", this, [this] { New1Click(); });
  Open1 = File1->addAction("Open Touch Screen File", this, [this] { Open1Click(); });
  SaveAs1 = File1->addAction("Save Touch Screen Files As", this, [this] { SaveAs1Click(); });
  Load1 = menuBar()->addAction("<Load Tessaro>", this, [this] { Load1Click(); });

  ButtonPopupMenu = new QMenu(this);
  EnterCaption1 = ButtonPopupMenu->addAction("Enter Caption", this, [this] { EnterCaption1Click(); });
  Caption1 = ButtonPopupMenu->addAction("Delete Button", this, [this] { Caption1Click(); });
  LabelPopupMenu = new QMenu(this);
  EnterText1 = LabelPopupMenu->addAction("Enter Text", this, [this] { EnterText1Click(); });
  DeleteText1 = LabelPopupMenu->addAction("Delete Text", this, [this] { DeleteText1Click(); });
  LightPopupMenu = new QMenu(this);
  De1 = LightPopupMenu->addAction("Delete Light", this, [this] { De1Click(); });
  AttachX10Status1 = LightPopupMenu->addAction("Attach X-10", this, [this] { AttachX10Status1Click(); });
  AttachIOStatus1 = LightPopupMenu->addAction("Attach I/O", this, [this] { AttachIOStatus1Click(); });
}

void TTouchScreenForm::SetCommsLink(gui::CommsLink* link) { comms_ = link ? link : ownComms_.get(); }

TForm26& TTouchScreenForm::TextDialog() {
  if (Form26) return *Form26;
  if (!ownForm26_) ownForm26_ = new TForm26(this);
  return *ownForm26_;
}

TX10Form& TTouchScreenForm::X10Dialog() {
  if (X10Form) return *X10Form;
  if (!ownX10Form_) ownX10Form_ = new TX10Form(this);
  return *ownX10Form_;
}

void TTouchScreenForm::FormCreate() {
  Designer.Modified = false;
  DrawGuideGrid();
}

int TTouchScreenForm::SelectedPage() const { return TabControl1->currentIndex() + 1; }

int TTouchScreenForm::Tag(const QWidget* control) { return control ? control->property("Tag").toInt() : 0; }

QWidget* TTouchScreenForm::ControlOf(int record) const {
  for (const auto* list : {&ButtonList, &LabelList})
    for (QWidget* control : *list)
      if (Tag(control) == record) return control;
  return nullptr;
}

bool TTouchScreenForm::IsObjectControl(QObject* object) const {
  auto* widget = qobject_cast<QWidget*>(object);
  return widget && (std::find(ButtonList.begin(), ButtonList.end(), widget) != ButtonList.end() ||
                    std::find(LabelList.begin(), LabelList.end(), widget) != LabelList.end());
}

void TTouchScreenForm::UpdatePicture() {
  if (!PictureTransparent) {
    Image1->setPixmap(QPixmap::fromImage(Picture));
    return;
  }
  QImage seeThrough = Picture.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < seeThrough.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(seeThrough.scanLine(y));
    for (int x = 0; x < seeThrough.width(); ++x)
      if ((line[x] & 0xFFFFFF) == 0xFFFFFF) line[x] = 0;
  }
  Image1->setPixmap(QPixmap::fromImage(seeThrough));
}

void TTouchScreenForm::DrawGuideGrid() {
  Ui().Beep();
  QPainter painter(&Picture);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(Qt::black, 1));
  const int right = TouchDesigner::PageWidth - 1;
  const int bottom = TouchDesigner::PageHeight - 1;
  const QPoint outline[] = {{0, 0}, {right, 0}, {right, bottom}, {0, bottom}, {0, 0}};
  painter.drawPolyline(outline, 5);
  for (int x = 32; x <= 288; x += 32) painter.drawLine(x, 0, x, bottom);
  for (int y = 40; y <= 200; y += 40) painter.drawLine(0, y, right, y);
  painter.end();
  UpdatePicture();
}

void TTouchScreenForm::Image1Click() {
  Designer.PageClicked();
  PictureTransparent = !PictureTransparent;
  UpdatePicture();
}

void TTouchScreenForm::TabControl1Change() {
  Picture.fill(Qt::white);
  DrawGuideGrid();
  const int page = SelectedPage();
  for (const auto* list : {&ButtonList, &LabelList})
    for (QWidget* control : *list) control->setVisible(Table.Object(Tag(control)).Page == page);
}

void TTouchScreenForm::PlaceControl(QWidget* control, int record) {
  const TouchObject o = Table.Object(record);
  control->setProperty("Tag", record);
  control->setGeometry(o.X, o.Y, o.Width, o.Height);
  control->setFocusPolicy(Qt::NoFocus);
  control->installEventFilter(this);
  control->setVisible(o.Page == SelectedPage());
}

void TTouchScreenForm::ShowRecord(QWidget* control, int record) {
  const TouchObject o = Table.Object(record);
  const TouchDesigner::Font look = Designer.FontOf(record);
  QFont font = control->font();
  if (o.Type == TouchButton) {
    font.setFamily(kCaptionFace);
    font.setStyleHint(QFont::TypeWriter);
  }
  font.setPointSize(look.Points);
  font.setBold(look.Bold);
  control->setFont(font);
  control->setToolTip(platform::ToQString(Designer.Hint(record)));
  if (auto* button = qobject_cast<QPushButton*>(control)) button->setText(platform::ToQString(o.Text));
  if (auto* label = qobject_cast<QLabel*>(control)) label->setText(platform::ToQString(o.Text));
}

QPushButton* TTouchScreenForm::CreateButtonControl(int record) {
  auto* control = new QPushButton(Panel4);
  PlaceControl(control, record);
  ShowRecord(control, record);
  ButtonList.push_back(control);
  return control;
}

QLabel* TTouchScreenForm::CreateTextControl(int record) {
  auto* control = new QLabel(Panel4);
  control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PlaceControl(control, record);
  ShowRecord(control, record);
  LabelList.push_back(control);
  return control;
}

QPushButton* TTouchScreenForm::CreateLightControl(int record) {
  auto* control = new QPushButton(Panel4);
  PlaceControl(control, record);
  ShowRecord(control, record);
  ButtonList.push_back(control);
  return control;
}

void TTouchScreenForm::FreeAllControls() {
  Designer.EndDrag();
  for (auto* list : {&ButtonList, &LabelList}) {
    for (QWidget* control : *list) delete control;
    list->clear();
  }
  CurrentButton = nullptr;
  CurrentLabel = nullptr;
}

void TTouchScreenForm::RemoveControl(QWidget*& current, std::vector<QWidget*>& list) {
  QWidget* control = current;
  current = nullptr;
  if (Designer.Dragging() && Designer.DragRecord() == Tag(control)) Designer.EndDrag();
  Designer.DeleteObject(Tag(control));
  list.erase(std::remove(list.begin(), list.end(), control), list.end());
  delete control;
}

int TTouchScreenForm::CurrentRecord(QWidget* control, TouchObjectType type) const {
  if (!control) return 0;
  const int record = Tag(control);
  return Table.Type(record) == type ? record : 0;
}

void TTouchScreenForm::Button1Click(QPushButton* sender) {
  const int record = Designer.CreateObject(TouchButton, SelectedPage(), sender->width(), sender->height());
  if (record == 0) {
    Ui().ShowMessage(TableFullText);
    return;
  }
  QPushButton* control = CreateButtonControl(record);
  QFont font = sender->font();
  font.setPointSize(8);
  control->setFont(font);
  control->setToolTip(platform::ToQString(Designer.NewButtonHint(record)));
}

void TTouchScreenForm::Button7Click() {
  const int record = Designer.CreateObject(TouchStatusLight, SelectedPage(), Button7->width(), Button7->height());
  if (record == 0) {
    Ui().ShowMessage(TableFullText);
    return;
  }
  CreateLightControl(record);
}

void TTouchScreenForm::Label3Click() {
  const int record = Designer.CreateObject(TouchText, SelectedPage(), Label5->width(), Label5->height());
  if (record == 0) {
    Ui().ShowMessage(TableFullText);
    return;
  }
  QLabel* control = CreateTextControl(record);
  QFont font = Label5->font();
  font.setPointSize(8);
  control->setFont(font);
  control->setText("Text");
}

void TTouchScreenForm::EnterCaption1Click() {
  const int record = CurrentRecord(CurrentButton, TouchButton);
  if (record == 0) return;
  TForm26& dialog = TextDialog();
  dialog.SetUpForButton(Designer.CaptionSetup(record));
  dialog.exec();
  dialog.CheckBox1->hide();
  // The table may have been replaced while the dialog was open.
  if (Table.Type(record) != TouchButton) return;
  Designer.ApplyCaption(record, dialog.CaptionResult());
  if (QWidget* control = ControlOf(record)) ShowRecord(control, record);
}

void TTouchScreenForm::EnterText1Click() {
  const int record = CurrentRecord(CurrentLabel, TouchText);
  if (record == 0) return;
  TForm26& dialog = TextDialog();
  dialog.SetUpForText(Designer.TextSetup(record));
  dialog.exec();
  if (Table.Type(record) != TouchText) return;
  Designer.ApplyText(record, dialog.TextResult());
  if (QWidget* control = ControlOf(record)) ShowRecord(control, record);
}

void TTouchScreenForm::AttachX10Status1Click() {
  const int record = CurrentRecord(CurrentButton, TouchStatusLight);
  if (record == 0) return;
  TX10Form& dialog = X10Dialog();
  dialog.SetUpForX10(Designer.AttachX10(record));
  dialog.exec();
  if (Table.Type(record) != TouchStatusLight) return;
  Designer.ApplyX10(record, dialog.ComboBox1->currentIndex());
}

void TTouchScreenForm::AttachIOStatus1Click() {
  const int record = CurrentRecord(CurrentButton, TouchStatusLight);
  if (record == 0) return;
  TX10Form& dialog = X10Dialog();
  dialog.SetUpForIo(Designer.AttachIo(record), [this](int module) { return Designer.PointList(module); });
  dialog.exec();
  if (Table.Type(record) != TouchStatusLight) return;
  if (!Designer.ApplyIo(record, dialog.ComboBox1->currentIndex(), dialog.ComboBox2->currentIndex()))
    Ui().ShowMessage(NoPointsText);
}

void TTouchScreenForm::Caption1Click() {
  if (CurrentRecord(CurrentButton, TouchButton)) RemoveControl(CurrentButton, ButtonList);
}

void TTouchScreenForm::De1Click() {
  if (CurrentRecord(CurrentButton, TouchStatusLight)) RemoveControl(CurrentButton, ButtonList);
}

void TTouchScreenForm::DeleteText1Click() {
  if (CurrentRecord(CurrentLabel, TouchText)) RemoveControl(CurrentLabel, LabelList);
}

bool TTouchScreenForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Image1 && event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    Image1Click();
    return true;
  }
  if (watched == Label5 && event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    Label3Click();
    return true;
  }
  if (!IsObjectControl(watched)) return QMainWindow::eventFilter(watched, event);
  auto* control = static_cast<QWidget*>(watched);
  const bool isText = std::find(LabelList.begin(), LabelList.end(), control) != LabelList.end();
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      (isText ? CurrentLabel : CurrentButton) = control;
      // The right button opens the pop-up menu, which takes its release: only the left one drags.
      if (mouse->button() == Qt::LeftButton) {
        const QPoint at = mouse->position().toPoint();
        Designer.BeginDrag(Tag(control), at.x(), at.y());
      }
      return true;
    }
    case QEvent::MouseMove: {
      if (!Designer.Dragging() || Designer.DragRecord() != Tag(control)) return true;
      const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
      if (Designer.DragMove(at.x(), at.y())) {
        const TouchObject o = Table.Object(Tag(control));
        control->move(o.X, o.Y);
      }
      return true;
    }
    case QEvent::MouseButtonRelease:
      if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) Designer.EndDrag();
      return true;
    case QEvent::ContextMenu: {
      (isText ? CurrentLabel : CurrentButton) = control;
      QMenu* menu = isText                                         ? LabelPopupMenu
                    : Table.Type(Tag(control)) == TouchStatusLight ? LightPopupMenu
                                                                   : ButtonPopupMenu;
      menu->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
      return true;
    }
    default:
      return QMainWindow::eventFilter(watched, event);
  }
}

void TTouchScreenForm::RadioGroup1Click() { Designer.SetBeepOnTouch(BeepGroup->checkedId()); }

void TTouchScreenForm::RadioGroup2Click() { Designer.SetShowDateAndTime(DateGroup->checkedId()); }

void TTouchScreenForm::TrackBar1Change() {
  Designer.SetBacklightOffDelay(TrackBar1->value());
  Edit1->setText(QString::number(TrackBar1->value()));
}

void TTouchScreenForm::Edit1Change() {
  const int position = Designer.TypeBacklightOffDelay(platform::FromQString(Edit1->text()).value_or(""));
  QSignalBlocker block(TrackBar1);
  TrackBar1->setValue(position);
}

void TTouchScreenForm::ShowSettings() {
  // Showing the table is no change of it: no handler may run.
  QSignalBlocker beep(BeepGroup), date(DateGroup), edit(Edit1);
  Select(BeepGroup, Table.BeepOnTouch());
  Select(DateGroup, Table.ShowDateAndTime());
  QSignalBlocker block(TrackBar1);
  TrackBar1->setValue(std::min<int>(Table.BacklightOffDelay(), TouchDesigner::MaxBacklightOffDelay));
  Edit1->setText(QString::number(TrackBar1->value()));
}

void TTouchScreenForm::TouchTableReplaced() {
  FreeAllControls();
  ShowSettings();
  bool any = false;
  for (int record = 1; record < TouchScreenTable::kRecords; ++record) {
    switch (Table.Type(record)) {
      case TouchButton:
        CreateButtonControl(record);
        break;
      case TouchText:
        CreateTextControl(record);
        break;
      case TouchStatusLight:
        CreateLightControl(record);
        break;
      default:
        continue;
    }
    any = true;
  }
  if (!any && TabControl1->currentIndex() != 0) TabControl1->setCurrentIndex(0);
}

bool TTouchScreenForm::LoadTchFile(const std::string& name) {
  const std::string error = Table.LoadTchFile(name);
  if (!error.empty()) {
    Ui().ShowMessage(error);
    return false;
  }
  TouchTableReplaced();
  Designer.Modified = false;
  return true;
}

void TTouchScreenForm::ShowTouchScreenDesigner() {
  show();
  raise();
  activateWindow();
}

void TTouchScreenForm::New1Click() {
  FreeAllControls();
  Designer.NewFile();
  ShowSettings();
}

void TTouchScreenForm::Open1Click() {
  if (Designer.Modified && !Confirm("Touchscreen data has changed and not saved, Still Open?")) return;
  if (!Comms().ReadConfigFile()) return;
  platform::FileDialogOptions options;
  options.Title = "Open Touch Screen File";
  options.Filter = kFilter;
  options.FileName = "Untitled";
  options.DefaultExt = "tch";
  options.InitialDir = Comms().CurrentDirectory();
  if (std::optional<std::string> path = Ui().OpenFileName(options)) LoadTchFile(*path);
}

void TTouchScreenForm::SaveAs1Click() {
  if (!Comms().ReadConfigFile()) return;
  platform::FileDialogOptions options;
  options.Title = "Save Touch Screen File";
  options.Filter = kFilter;
  options.FileName = project_.Program.FileName;
  options.DefaultExt = "tch";
  options.InitialDir = Comms().CurrentDirectory();
  std::optional<std::string> name = Ui().SaveFileName(options);
  if (!name) return;
  // Asked about the file the table writes, not the name the dialog was given.
  const std::string path = TouchScreenTable::FilePath(*name);
  if (!platform::ConfirmReplace({path}, options.Title)) return;
  const std::string error = Table.SaveTchFile(path);
  // Nothing reached the disk on an error: the close question must still ask.
  if (error.empty())
    Designer.Modified = false;
  else
    Ui().ShowMessage(error);
}

// A running connection takes the load. One the user has closed, or one on another road or dialled,
// ends first: the load is the next connection's, as after the editor's attach.
void TTouchScreenForm::Load1Click() {
  if (!Comms().Reconnects()) {
    if (!gui::AttachAllowed(Comms()) || !Comms().ReadConfigFile()) return;
    Comms().Attach();
  }
  Comms().RequestTouchLoad();
}

bool TTouchScreenForm::FormCloseQuery() {
  return !Designer.Modified || Confirm("Touchscreen data has changed and not saved, Still close?");
}

void TTouchScreenForm::closeEvent(QCloseEvent* event) {
  if (FormCloseQuery())
    event->accept();
  else
    event->ignore();
}
