#include "gui/project/ascii_messages_form.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <algorithm>
#include <optional>

#include "gui/latin1_cell_delegate.h"
#include "gui/typing_view.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/ui.h"

TAsciiMessages* AsciiMessages = nullptr;

namespace {

using platform::Ui;

const char* const kFilter = "Ascii Message files (*.asc)|*.ASC";
const char* const kHelpText =
    "Enter text exactly as you wish it to be sent. To send non-printable characters enter the decimal value of the "
    "character preceded by a caret ^.  For example, to send a carriage return, enter ^013  Note that 3 numbers "
    "must always follow a ^.";

constexpr int kMargin = 8;
constexpr int kCaptionWidth = 100;
constexpr int kTextWidth = 300;
constexpr int kSizeWidth = 90;
constexpr int kRowHeight = 22;
constexpr int kGridTop = 26;
constexpr int kGridHeight = 16 * kRowHeight + 4;
constexpr int kGridWidth = kCaptionWidth + kTextWidth + kSizeWidth + 24;  // room for the scroll bar

bool Confirm(const std::string& text) {
  return Ui().MessageBox(text, platform::ApplicationTitle(), platform::MsgButtons::OkCancel,
                         platform::MsgKind::Question) == platform::MsgResult::Ok;
}

}  // namespace

TAsciiMessages::TAsciiMessages(project::AsciiMessageTable& messages, std::function<std::string()> projectPath,
                               QWidget* parent)
    : QMainWindow(parent), Messages(messages), projectPath_(std::move(projectPath)) {
  ownComms_ = std::make_unique<gui::DetachedCommsLink>();
  comms_ = ownComms_.get();
  setWindowTitle("Ascii Messages");
  BuildControls();
  BuildMenus();

  // FormCreate
  Modified = false;
  filling_ = true;
  for (int row = 0; row < project::AsciiMessageTable::kMessages; ++row) {
    auto* caption = new QTableWidgetItem(QString("Message #%1").arg(row));
    caption->setFlags(Qt::ItemIsEnabled);
    caption->setBackground(palette().button());
    StringGrid1->setItem(row, 0, caption);
    StringGrid1->setItem(row, 1, new QTableWidgetItem());
    auto* size = new QTableWidgetItem();
    size->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    StringGrid1->setItem(row, 2, size);
  }
  filling_ = false;
  ClearAsciiMessages();
  StringGrid1->setCurrentCell(0, 1);
}

TAsciiMessages::~TAsciiMessages() {
  if (AsciiMessages == this) AsciiMessages = nullptr;
}

void TAsciiMessages::BuildControls() {
  auto* client = new QWidget(this);
  setCentralWidget(client);

  StringGrid1 = new gui::TypingView<QTableWidget>(project::AsciiMessageTable::kMessages, 3, client);
  StringGrid1->setObjectName("StringGrid1");
  StringGrid1->horizontalHeader()->hide();
  StringGrid1->verticalHeader()->hide();
  StringGrid1->verticalHeader()->setDefaultSectionSize(kRowHeight);
  StringGrid1->setColumnWidth(0, kCaptionWidth);
  StringGrid1->setColumnWidth(1, kTextWidth);
  StringGrid1->setColumnWidth(2, kSizeWidth);
  StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
  StringGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                               QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  StringGrid1->setGeometry(kMargin, kGridTop, kGridWidth, kGridHeight);
  // Key releases in a text being typed count as the grid's own.
  auto* delegate = new gui::Latin1CellDelegate(StringGrid1);
  // No more than the file and the controller keep, so the size column never shows more than is kept.
  delegate->MaxLength = static_cast<int>(project::AsciiMessageTable::kRecordBytes);
  delegate->EditorEvent = [this](QEvent* event) {
    if (event->type() == QEvent::KeyRelease) StringGrid1KeyUp();
  };
  StringGrid1->setItemDelegate(delegate);
  // The table follows the cell; Escape gives the mark back too.
  StringGrid1->KeepForCancel = [this](const QModelIndex&) {
    return [this, modified = Modified] { Modified = modified; };
  };
  StringGrid1->installEventFilter(this);
  StringGrid1->viewport()->installEventFilter(this);
  connect(StringGrid1, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (!filling_ && item->column() == 1) CellEdited(item->row());
  });

  // The labels stand over the text and size columns.
  Label1 = new QLabel("Message Text", client);
  Label1->setGeometry(kMargin + kCaptionWidth + 4, 6, kTextWidth - 4, 18);
  Label2 = new QLabel("Message Size", client);
  Label2->setGeometry(kMargin + kCaptionWidth + kTextWidth + 4, 6, kSizeWidth + 16, 18);

  Label3 = new QLabel(kHelpText, client);
  Label3->setTextFormat(Qt::PlainText);
  Label3->setWordWrap(true);
  Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  const int helpTop = kGridTop + kGridHeight + 8;
  Label3->setGeometry(kMargin, helpTop, kGridWidth, 58);

  const int buttonTop = helpTop + 66;
  BitBtn1 = new QPushButton("Send To:", client);
  BitBtn1->setGeometry(kMargin, buttonTop, 90, 28);
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });

  ComboBox1 = new QComboBox(client);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->setPlaceholderText("Select a destination");
  ComboBox1->addItem("Master Unit 0");
  for (int module = 1; module <= 127; ++module)
    ComboBox1->addItem(module == 109 ? QString("Module 109 ") : QString("Module %1").arg(module));
  ComboBox1->setCurrentIndex(-1);
  ComboBox1->setMaxVisibleItems(16);
  ComboBox1->setGeometry(kMargin + 98, buttonTop + 2, 180, 24);

  BitBtn2 = new QPushButton("&Close", client);
  BitBtn2->setGeometry(kMargin + kGridWidth - 90, buttonTop, 90, 28);
  connect(BitBtn2, &QPushButton::clicked, this, [this] { close(); });

  client->setFixedSize(kGridWidth + 2 * kMargin, buttonTop + 28 + kMargin);
}

void TAsciiMessages::BuildMenus() {
  QMenu* file = menuBar()->addMenu("File");
  Open1 = file->addAction("Open", this, [this] { Open1Click(); });
  Save1 = file->addAction("Save", this, [this] { Save1Click(); });
  SaveAs1 = file->addAction("Save As", this, [this] { SaveAs1Click(); });
  adjustSize();
  setFixedSize(sizeHint());
}

void TAsciiMessages::SetCommsLink(gui::CommsLink* link) { comms_ = link ? link : ownComms_.get(); }

void TAsciiMessages::ShowForSending() {
  BitBtn1->setEnabled(true);
  ComboBox1->setEnabled(true);
  show();
  raise();
  activateWindow();
}

void TAsciiMessages::ShowForEditing() {
  BitBtn1->setEnabled(false);
  ComboBox1->setEnabled(false);
  show();
  raise();
  activateWindow();
}

void TAsciiMessages::SetCell(int row, int column, const std::string& text) {
  const bool wasFilling = filling_;
  filling_ = true;
  StringGrid1->item(row, column)->setText(platform::ToQString(text));
  filling_ = wasFilling;
}

void TAsciiMessages::ShowTexts() {
  StringGrid1->EndEdit();
  for (int row = 0; row < project::AsciiMessageTable::kMessages; ++row) SetCell(row, 1, Messages.Text(row));
}

void TAsciiMessages::ClearAsciiMessages() {
  Messages.Clear();
  ShowTexts();
  for (int row = 0; row < project::AsciiMessageTable::kMessages; ++row) SetCell(row, 2, "");
}

void TAsciiMessages::CellEdited(int row) {
  QTableWidgetItem* item = StringGrid1->item(row, 1);
  std::optional<std::string> text = platform::FromQString(item->text());
  if (!text) {
    // Pasted or otherwise put in past the editor's check: the cell goes back to what the table holds.
    Ui().Beep();
    SetCell(row, 1, Messages.Text(row));
    return;
  }
  Messages.SetText(row, *text);
  // Typing counts as a change even when the cell was reached from the keyboard, without a click.
  Modified = true;
}

// ---- Grid events ----

void TAsciiMessages::StringGrid1Click() { Modified = true; }

void TAsciiMessages::StringGrid1KeyUp() {
  for (int row = 0; row < project::AsciiMessageTable::kMessages; ++row) SetCell(row, 2, Messages.SizeText(row));
}

void TAsciiMessages::StringGrid1MouseDown() { StringGrid1KeyUp(); }

bool TAsciiMessages::eventFilter(QObject* watched, QEvent* event) {
  if (watched == StringGrid1->viewport()) {
    if (event->type() == QEvent::MouseButtonPress) {
      StringGrid1MouseDown();
    } else if (event->type() == QEvent::MouseButtonRelease) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (StringGrid1->indexAt(mouse->position().toPoint()).isValid()) StringGrid1Click();
    }
  } else if (watched == StringGrid1 && event->type() == QEvent::KeyRelease) {
    StringGrid1KeyUp();
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---- Files ----

bool TAsciiMessages::LoadAsciiFile(const std::string& path) {
  const std::string error = Messages.Load(path);
  if (!error.empty()) {
    Ui().ShowMessage(error);
    return false;
  }
  ShowTexts();
  StringGrid1KeyUp();
  return true;
}

bool TAsciiMessages::SaveAsciiFile(const std::string& path) {
  const std::string error = Messages.Save(path);
  if (error.empty()) return true;
  Ui().ShowMessage(error);
  return false;
}

void TAsciiMessages::Open1Click() {
  if (Modified && !Confirm("Ascii data has changed and not saved, Still Open?")) return;
  if (!comms_->ReadConfigFile()) return;
  platform::FileDialogOptions options;
  options.Title = "Open Ascii Message File";
  options.Filter = kFilter;
  options.InitialDir = comms_->CurrentDirectory();
  // Only a table that came whole from the file leaves nothing unsaved.
  if (std::optional<std::string> name = Ui().OpenFileName(options))
    if (LoadAsciiFile(*name)) Modified = false;
}

void TAsciiMessages::SaveAs1Click() {
  // A menu leaves the cell's editor open: what it shows is what is saved, and no Escape takes it back after.
  StringGrid1->EndEdit();
  if (!comms_->ReadConfigFile()) return;
  platform::FileDialogOptions options;
  options.Title = "Save Ascii Message File";
  options.Filter = kFilter;
  options.DefaultExt = "asc";
  options.InitialDir = comms_->CurrentDirectory();
  std::optional<std::string> name = Ui().SaveFileName(options);
  if (!name) return;
  // Asked about the file the table writes, not the name the dialog was given.
  const std::string path = project::AsciiMessageTable::FilePath(platform::ChangeFileExt(*name, ".asc"));
  if (platform::ConfirmReplace({path}, options.Title) && SaveAsciiFile(path)) Modified = false;
}

void TAsciiMessages::Save1Click() {
  StringGrid1->EndEdit();
  const std::string project = projectPath_ ? projectPath_() : std::string();
  if (project.empty()) {
    Ui().ShowMessage("No Project Loaded");
    return;
  }
  // Only the file the table came from or went to is the user's own here: any other is asked about first.
  const std::string path = project::AsciiMessageTable::FilePath(platform::ChangeFileExt(project, ".asc"));
  if (!Messages.IsOwnFile(path) && !platform::ConfirmReplace({path}, "Save Ascii Message File")) return;
  // A failed write keeps the table marked as changed: the data is still only here.
  if (SaveAsciiFile(path)) Modified = false;
}

// ---- Sending ----

void TAsciiMessages::BitBtn1Click() {
  const int destination = ComboBox1->currentIndex();
  if (destination < 0) return;
  comms_->RequestAsciiTable(destination);
}

// ---- Life of the window ----

void TAsciiMessages::FormShow() { Save1->setEnabled(projectPath_ && !projectPath_().empty()); }

bool TAsciiMessages::FormCloseQuery() {
  return !Modified || Confirm("Ascii data has changed and not saved, Still close?");
}

void TAsciiMessages::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TAsciiMessages::closeEvent(QCloseEvent* event) {
  if (FormCloseQuery())
    event->accept();
  else
    event->ignore();
}
