#include "gui/program/editor_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "controls/link_label.h"
#include "controls/styled_label.h"
#include "gui/latin1_cell_delegate.h"
#include "gui/program/listing_print.h"
#include "gui/project/sys_config.h"
#include "gui/typing_view.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "program/listing_search.h"
#include "program/program_files.h"
#include "project/name_table.h"

TEditorForm* EditorForm = nullptr;

namespace {

using platform::Ui;
using program::ListingModel;

const char* const kCaption = "  Marvik/Tessaro Control Wizard - Code Editor V2.00e5";
const char* const kClearAreasText = "This will clear your program areas... are you sure?";
const char* const kProgramFilter = "Program files (*.pgm)|*.PGM";
const char* const kSnippetFilter = "Snippet files (*.snp)|*.SNP";
const char* const kProjectFilter = "Project files (*.prj)|*.PRJ";
const char* const kMakerAddress = "http://www.vormo-controls.example";
const char* const kMakerCaption = "www.vormo-controls.example";

bool Confirm(const std::string& text, const std::string& caption) {
  return Ui().MessageBox(text, caption, platform::MsgButtons::OkCancel, platform::MsgKind::Question) ==
         platform::MsgResult::Ok;
}

}  // namespace

TEditorForm::TEditorForm(workspace::Project& project, QWidget* parent)
    : QMainWindow(parent), Store(project.Program), project_(project) {
  ownComms_ = std::make_unique<gui::DetachedCommsLink>();
  ownWizard_ = std::make_unique<gui::NoWizard>();
  ownProjectWindows_ = std::make_unique<gui::StandAloneProjectWindows>();
  comms_ = ownComms_.get();
  wizard_ = ownWizard_.get();
  projectWindows_ = ownProjectWindows_.get();

  Codec = std::make_unique<program::LineCodec>(Store, project_.Names());
  setWindowTitle(kCaption);
  // Spelled out (CustomizeWindowHint), so no maximise button comes with the platform's defaults.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  BuildControls();
  BuildMenus();
  setFixedSize(747, 569);
  if (QScreen* screen = QGuiApplication::primaryScreen()) move(screen->availableGeometry().center() - rect().center());

  Store.FileName = "Untitled";
  Store.CurrentLine = 1;
}

TEditorForm::~TEditorForm() {
  if (EditorForm == this) EditorForm = nullptr;
}

void TEditorForm::BuildControls() {
  QFont formFont = font();
  formFont.setPointSize(8);
  setFont(formFont);
  auto* client = new QWidget(this);
  setCentralWidget(client);

  Panel2 = new QFrame(client);
  Panel2->setObjectName("Panel2");
  Panel2->setFrameShape(QFrame::Panel);
  Panel2->setFrameShadow(QFrame::Raised);
  Panel2->setGeometry(8, 4, 170, 76);
  // The product name: its first letter in the styled label, the rest in a plain one.
  auto* letter = new controls::TVxLabel(nullptr, Panel2);
  letter->SetName("VxLabel2");
  letter->SetCaption("Z");
  letter->SetColor(tk::clBlack);
  letter->SetColorScheme(controls::TVxColorScheme::csCustom);
  letter->CustomSettings().SetHighlightColor(tk::clYellow);
  tk::Font serif = letter->Font();
  serif.SetName("Times New Roman");
  serif.SetHeight(-64);
  letter->SetFont(serif);
  letter->SetBounds(6, 2, 48, 72);
  VxLabel2 = letter;
  Label4 = new QLabel("elta 2.0", Panel2);
  Label4->setObjectName("Label4");
  QFont labelFont("Times New Roman");
  labelFont.setBold(true);
  Label4->setGeometry(52, 30, 112, 34);
  // 28 pixels high, or less where the serif face at hand is wider than the panel leaves room for.
  for (int size = 28; size > 12; --size) {
    labelFont.setPixelSize(size);
    if (QFontMetrics(labelFont).horizontalAdvance(Label4->text()) <= Label4->width()) break;
  }
  Label4->setFont(labelFont);

  auto* link = new controls::TVxURL(nullptr, client);
  link->SetName("VxURL1");
  link->SetURL(kMakerAddress);
  link->SetCaption(kMakerCaption);
  link->SetHighlightColor(tk::clRed);
  link->SetUseVisitedColor(false);
  link->SetVisitedColor(tk::clBlack);
  tk::Font linkFont = link->Font();
  linkFont.SetColor(tk::clBlue);
  linkFont.SetStyle(tk::fsUnderline);
  link->SetFont(linkFont);
  link->SetBounds(560, 44, 0, 0);
  // Measured again now that the font is final.
  link->tk::CustomLabel::SetCaption(link->Caption() + " ");
  link->tk::CustomLabel::SetCaption(link->Caption());
  VxURL1 = link;

  BitBtn5 = new QPushButton("&Insert Line", client);
  BitBtn6 = new QPushButton("&Delete Line", client);
  BitBtn7 = new QPushButton("&Clear Line", client);
  BitBtn20 = new QPushButton("Update", client);
  BitBtn5->setGeometry(190, 8, 100, 25);
  BitBtn6->setGeometry(296, 8, 100, 25);
  BitBtn7->setGeometry(402, 8, 100, 25);
  BitBtn20->setGeometry(508, 8, 75, 25);
  connect(BitBtn5, &QPushButton::clicked, this, [this] { BitBtn5Click(); });
  connect(BitBtn6, &QPushButton::clicked, this, [this] { BitBtn6Click(); });
  connect(BitBtn7, &QPushButton::clicked, this, [this] { BitBtn7Click(); });
  connect(BitBtn20, &QPushButton::clicked, this, [this] { BitBtn20Click(); });

  Panel9 = new QFrame(client);
  Panel9->setObjectName("Panel9");
  Panel9->setGeometry(190, 38, 81, 25);
  SearchButton = new QPushButton("Find ->", Panel9);
  SearchButton->setObjectName("SearchButton");
  SearchButton->setGeometry(0, 0, 81, 25);
  SearchButton->setToolTip("Right Click - > Show/Hide Text Window - Left Click -> Search");
  SearchButton->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(SearchButton, &QPushButton::clicked, this, [this] { SearchButtonClick(); });
  connect(SearchButton, &QWidget::customContextMenuRequested, this, [this] { SearchButtonRightClick(); });
  Edit14 = new QLineEdit("Search Text", Panel9);
  Edit14->setObjectName("Edit14");
  Edit14->setGeometry(86, 2, 220, 21);
  Edit14->hide();
  CheckBox1 = new QCheckBox("Include Comments", Panel9);
  CheckBox1->setObjectName("CheckBox1");
  CheckBox1->setGeometry(86, 25, 200, 18);
  CheckBox1->hide();

  Listing = new ListingModel(this);
  Listing->ReferenceSelectable = [this] { return Comms().CommsDetail(); };
  Listing->CommentEdited = [this](int line, const std::string& text) { StringGrid1SetEditText(line, text); };
  grid_ = new gui::TypingView<QTableView>(client);
  StringGrid1 = grid_;
  StringGrid1->setObjectName("StringGrid1");
  StringGrid1->setModel(Listing);
  // The cell shows an empty comment as a blank: Escape gives the program its own text back, and the mark.
  grid_->KeepForCancel = [this](const QModelIndex& cell) {
    const int line = cell.row() + 1;
    return [this, line, comment = Store.Comments.at(line), unsaved = project_.Unsaved] {
      Store.Comments.at(line) = comment;
      project_.Unsaved = unsaved;
    };
  };
  // No longer than the program file keeps.
  auto* delegate = new gui::Latin1CellDelegate(StringGrid1);
  delegate->MaxLength = static_cast<int>(kMaxCommentLength);
  delegate->EditorEvent = [this](QEvent* event) {
    // A double click on a comment being typed is still the grid's own.
    if (event->type() == QEvent::MouseButtonDblClick) StringGrid1DblClick();
  };
  StringGrid1->setItemDelegate(delegate);
  StringGrid1->setGeometry(8, 86, 731, 418);
  StringGrid1->verticalHeader()->hide();
  StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StringGrid1->verticalHeader()->setMinimumSectionSize(16);
  StringGrid1->verticalHeader()->setDefaultSectionSize(16);
  StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StringGrid1->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  StringGrid1->horizontalHeader()->setHighlightSections(false);
  // The Reference column takes what is left of the grid's width, so its text is not cut.
  StringGrid1->horizontalHeader()->setStretchLastSection(true);
  const int widths[] = {64, 305, 231, 86};
  for (int c = 0; c < 4; ++c) StringGrid1->setColumnWidth(c, widths[c]);
  StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  StringGrid1->setWordWrap(false);
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
  StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(StringGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current, const QModelIndex& previous) {
            CurrentCellChanged(current.row() + 1, current.column(), previous.row() + 1, previous.column());
          });
  // A click on the cell that is already current moves nothing but still counts as a click.
  connect(StringGrid1, &QAbstractItemView::clicked, this, [this] { StringGrid1Click(); });
  connect(StringGrid1, &QAbstractItemView::doubleClicked, this, [this] { StringGrid1DblClick(); });
  SetCurrentCell(1, ListingModel::ColumnText);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);  // the window has a fixed size
  setStatusBar(StatusBar1);
}

void TEditorForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  // The grid fills the client area below the buttons.
  if (QWidget* client = centralWidget())
    StringGrid1->setGeometry(8, 86, client->width() - 16, std::max(100, client->height() - 90));
}

void TEditorForm::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  NewProgram1 = file->addAction("&New Program ", this, [this] { NewProgram1Click(); });
  OpenProgram1 = file->addAction("&Open Program", this, [this] { OpenProgram1Click(); });
  SaveProgramAs1 = file->addAction("Save Program &As ", this, [this] { SaveProgramAs1Click(); });
  file->addSeparator();
  Print1 = file->addAction("&Print...", this, [this] { Print1Click(); });
  PrintToFile1 = file->addAction("Print to File", this, [this] { PrintToFile1Click(); });
  file->addSeparator();
  Exit1 = file->addAction("E&xit", this, [this] { Exit1Click(); });

  QMenu* projectMenu = menuBar()->addMenu("&Project");
  NewProject1 = projectMenu->addAction("New Project", this, [this] { NewProject1Click(); });
  SaveProject1 = projectMenu->addAction("Save Project", this, [this] { SaveProject1Click(); });
  SaveProject1->setEnabled(false);
  SaveProjectAs1 = projectMenu->addAction("Save Project As", this, [this] { SaveProjectAs1Click(); });
  OpenProject1 = projectMenu->addAction("Open Project", this, [this] { OpenProject1Click(); });
  projectMenu->addSeparator();
  DownloadProject1 = projectMenu->addAction("Download Project", this, [this] { DownloadProject1Click(); });
  projectMenu->addSeparator();
  SystemMap1 = projectMenu->addAction("System Map", this, [this] { SystemMap1Click(); });
  TouchScreenSetup1 = projectMenu->addAction("Touch Screen Setup", this, [this] { TouchScreenSetup1Click(); });
  AsciiMessages1 = projectMenu->addAction("Ascii Messages", this, [this] { AsciiMessages1Click(); });

  QMenu* comms = menuBar()->addMenu("&Comms");
  AttachToController1 = comms->addAction("Attach to Controller", this, [this] { AttachToController1Click(); });
  CommsSetup1 = comms->addAction("Co&mms Setup", this, [this] { CommsSetup1Click(); });

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  LoadCodeSnippet1 = PopupMenu1->addAction("Load Code Snippet from Disk", this, [this] { LoadCodeSnippet1Click(); });
  SaveCodeSnippet1 = PopupMenu1->addAction("Save Code Snippet to Disk", this, [this] { SaveCodeSnippet1Click(); });
  PopupMenu1->addSeparator();
  Cut1 = PopupMenu1->addAction("Cut", this, [this] { Cut1Click(); });
  Cut1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
  Copy1 = PopupMenu1->addAction("Copy", this, [this] { Copy1Click(); });
  Copy1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  Paste1 = PopupMenu1->addAction("Paste", this, [this] { Paste1Click(); });
  Paste1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
  // The shortcuts work while the grid has the focus, not while a comment is being typed.
  for (QAction* action : {Cut1, Copy1, Paste1}) {
    action->setShortcutContext(Qt::WidgetShortcut);
    StringGrid1->addAction(action);
  }
  connect(StringGrid1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu1->popup(StringGrid1->viewport()->mapToGlobal(pos)); });
}

void TEditorForm::SetCommsLink(gui::CommsLink* link) { comms_ = link ? link : ownComms_.get(); }
void TEditorForm::SetWizardLink(gui::WizardLink* link) { wizard_ = link ? link : ownWizard_.get(); }
void TEditorForm::SetProjectWindows(gui::ProjectWindowsLink* link) {
  projectWindows_ = link ? link : ownProjectWindows_.get();
}

// ---- Grid ----

int TEditorForm::CurrentRow() const {
  QModelIndex current = StringGrid1->currentIndex();
  return current.isValid() ? current.row() + 1 : 1;
}

int TEditorForm::CurrentColumn() const {
  QModelIndex current = StringGrid1->currentIndex();
  return current.isValid() ? current.column() : ListingModel::ColumnText;
}

void TEditorForm::SetCurrentRow(int row) { SetCurrentCell(row, CurrentColumn()); }

void TEditorForm::SetCurrentCell(int row, int column) {
  row = std::clamp(row, 1, ListingModel::kLines);
  StringGrid1->setCurrentIndex(Listing->index(row - 1, column));
}

void TEditorForm::SelectionBlock(int& first, int& last) const {
  first = last = CurrentRow();
  const QModelIndexList selected = StringGrid1->selectionModel()->selectedIndexes();
  if (selected.isEmpty()) return;
  first = ListingModel::kLines;
  last = 1;
  for (const QModelIndex& index : selected) {
    first = std::min(first, index.row() + 1);
    last = std::max(last, index.row() + 1);
  }
}

void TEditorForm::SelectBlock(int first, int last) {
  int column = CurrentColumn() == ListingModel::ColumnComment ? ListingModel::ColumnText : CurrentColumn();
  SetCurrentCell(first, column);
  QItemSelection block(Listing->index(first - 1, column), Listing->index(last - 1, column));
  StringGrid1->selectionModel()->select(block, QItemSelectionModel::ClearAndSelect);
}

void TEditorForm::CurrentCellChanged(int row, int column, int previousRow, int previousColumn) {
  if (movingCursor_ || row < 1) return;
  if (column == ListingModel::ColumnReference && !Comms().CommsDetail()) {
    // The Reference column is selectable only while the log's "Errors" box is ticked.
    movingCursor_ = true;
    int back = previousColumn >= 0 && previousColumn != ListingModel::ColumnReference ? previousColumn
                                                                                      : ListingModel::ColumnText;
    StringGrid1->setCurrentIndex(Listing->index((previousRow >= 1 ? previousRow : row) - 1, back));
    movingCursor_ = false;
    return;
  }
  // Comments are typed; the other columns mark blocks of lines.
  if (column == ListingModel::ColumnComment) {
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::AllEditTriggers);
  } else {
    StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  }
  StringGrid1Click();
}

void TEditorForm::StringGrid1Click() {
  Wizard().Hide();
  Store.CurrentLine = static_cast<std::int16_t>(CurrentRow());
}

void TEditorForm::StringGrid1DblClick() {
  Store.Modified = true;
  project_.Unsaved = true;
  if (CurrentColumn() != ListingModel::ColumnText) return;
  Store.CurrentLine = static_cast<std::int16_t>(CurrentRow());
  char caption[64];
  std::snprintf(caption, sizeof caption, "Control Wizard, Line# %d", Store.CurrentLine);
  Wizard().OpenLine(Store.CurrentLine, caption, height());
}

void TEditorForm::StringGrid1SetEditText(int row, const std::string& text) {
  Store.Comments.at(row) = text;
  project_.Unsaved = true;
}

// ---- Listing ----

void TEditorForm::UpdateListing() {
  RenderListing();
  Wizard().ShowLine(Store.CurrentLine);
}

void TEditorForm::RenderListing() {
  Wizard().Hide();
  Codec->BeginWarnings();
  Listing->BeginUpdate();
  for (int n = 1; n <= ProgramStore::kLastLine; ++n) {
    if (!Store.Lines[n].IsEmpty()) {
      if (std::optional<std::string> text = Codec->RenderLine(n)) Listing->SetText(n, std::move(*text));
    } else {
      Listing->SetText(n, "");
    }
    // Progress on the button; nothing is painted before the end, so every 256th line is enough.
    if (n % 256 == 0) BitBtn20->setText(QString::number(n));
    Listing->SetReference(n, Store.ReferenceText(n));
    const std::string& comment = Store.Comments[n];
    Listing->SetComment(n, comment.empty() ? " " : comment);
  }
  Listing->EndUpdate();
  const std::vector<int> warned = Codec->EndWarnings();
  BitBtn20->setText("Update");
  if (!warned.empty()) Ui().ShowMessage(program::LineCodec::WarningsMessage(warned));
}

void TEditorForm::ShowLineHex(int n) {
  Listing->SetReference(n, Store.ReferenceText(n));
  Wizard().Hide();
}

void TEditorForm::ClearProgram() {
  Store.ClearProgram();
  Listing->BeginUpdate();
  for (int n = 1; n <= ProgramStore::kLastLine; ++n) {
    Listing->SetText(n, " ");
    Listing->SetComment(n, " ");
    Listing->SetReference(n, " ");
  }
  Listing->EndUpdate();
  SetCurrentRow(1);
}

// ---- Buttons ----

void TEditorForm::BitBtn5Click() {
  Store.InsertLine(CurrentRow(), true);
  project_.Unsaved = true;
  UpdateListing();
}

void TEditorForm::BitBtn6Click() {
  const int row = CurrentRow();
  char text[80];
  std::snprintf(text, sizeof text, "Are you SURE you want to DELETE line# %d?", row);
  if (!Confirm(text, "Delete Line")) return;
  Store.DeleteLine(row);
  project_.Unsaved = true;
  UpdateListing();
}

void TEditorForm::BitBtn7Click() {
  const int row = CurrentRow();
  Store.Lines[row] = ProgramLine{};
  Store.Comments[row].clear();
  project_.Unsaved = true;
  UpdateListing();
}

void TEditorForm::BitBtn20Click() {
  UpdateListing();
  project_.RefreshNames();
}

void TEditorForm::SearchButtonClick() {
  // The wizard is hidden first: it must never stay open on one line while the cursor moves to another.
  Wizard().Hide();
  const std::string text = platform::FromQString(Edit14->text()).value_or("");
  int found = program::FindLine(Listing->Texts(), Listing->Comments(), program::SearchStart(Store.CurrentLine), text,
                                CheckBox1->isChecked());
  if (found > 0)
    Store.CurrentLine = static_cast<std::int16_t>(found);
  else
    Ui().ShowMessage("Not found");
  if (Store.CurrentLine < 2) Store.CurrentLine = 2;
  const int line = Store.CurrentLine;
  QModelIndex target = Listing->index(line - 1, CurrentColumn());
  StringGrid1->scrollTo(target, QAbstractItemView::PositionAtTop);
  SetCurrentRow(line);
}

void TEditorForm::SearchButtonRightClick() {
  if (!Edit14->isHidden()) {
    Edit14->hide();
    CheckBox1->hide();
    Panel9->resize(81, 25);
  } else {
    Panel9->resize(310, 45);
    Edit14->show();
    CheckBox1->show();
  }
}

// ---- Copy, Cut, Paste ----

void TEditorForm::Copy1Click() {
  int first, last;
  SelectionBlock(first, last);
  Store.CopyBlock(first, last);
}

void TEditorForm::Cut1Click() {
  int first, last;
  SelectionBlock(first, last);
  Store.CutBlock(first, last);
  project_.Unsaved = true;
  SetCurrentRow(first);
  UpdateListing();
}

void TEditorForm::Paste1Click() {
  const int row = CurrentRow();
  const int inserted = Store.PasteBlock(row);
  project_.Unsaved = true;
  FinishBlockInsert(row, inserted);
}

void TEditorForm::FinishBlockInsert(int row, int inserted) {
  // The cursor moves one row per inserted line; a block that reaches the last row leaves it there and
  // the grid refuses the move past it. The listing is re-rendered first, so view and store agree.
  SetCurrentRow(row + inserted);
  UpdateListing();
  if (inserted > 0 && row + inserted > ProgramStore::kLastLine) Ui().ShowMessage(program::kGridIndexText);
}

// ---- Files ----

bool TEditorForm::LoadProgramFile(const std::string& path) {
  std::string error = project_.LoadProgram(path);
  if (!error.empty()) {
    Ui().ShowMessage(error);
    return false;
  }
  ProgramRead();
  Wizard().ShowLine(Store.CurrentLine);
  return true;
}

void TEditorForm::ProgramRead() {
  // A load replaces the whole listing: a line the codec renders no text for must not keep the text of
  // the program that was there before.
  Listing->BeginUpdate();
  for (int n = 1; n <= ProgramStore::kLastLine; ++n) Listing->SetText(n, "");
  RenderListing();
  Listing->EndUpdate();
  project_.ProgramSaved();
}

void TEditorForm::NewProgram1Click() {
  ClearProgram();
  project_.Unsaved = true;
}

void TEditorForm::OpenProgram1Click() {
  if (project_.HasUnsavedChanges() &&
      !Confirm("Program has changed and not saved, Still Open?", platform::ApplicationTitle()))
    return;
  Store.Modified = false;
  if (!Comms().ReadConfigFile()) return;
  platform::FileDialogOptions options;
  options.Title = "Open Program File";
  options.Filter = kProgramFilter;
  options.InitialDir = Comms().CurrentDirectory();
  options.MustExist = true;
  std::optional<std::string> path = Ui().OpenFileName(options);
  if (!path) return;
  LoadProgramFile(*path);
}

void TEditorForm::SaveProgramAs1Click() {
  // A menu leaves the comment's editor open: what it shows is what is written, and no Escape takes it back after.
  grid_->EndEdit();
  if (!Comms().ReadConfigFile()) return;
  platform::FileDialogOptions options;
  options.Title = "Save Program File";
  options.Filter = kProgramFilter;
  options.DefaultExt = "pgm";
  options.InitialDir = Comms().CurrentDirectory();
  options.FileName = Store.FileName;
  std::optional<std::string> path = Ui().SaveFileName(options);
  if (!path || !platform::ConfirmReplace({*path}, options.Title)) return;
  std::string error = project_.SaveProgram(*path);
  if (!error.empty()) Ui().ShowMessage(error);
}

void TEditorForm::SaveCodeSnippet1Click() {
  grid_->EndEdit();
  int first, last;
  SelectionBlock(first, last);
  if (!Comms().ReadConfigFile()) return;
  platform::FileDialogOptions options;
  options.Title = "Save Code Snippet";
  options.Filter = kSnippetFilter;
  options.DefaultExt = "snp";
  options.InitialDir = Comms().CurrentDirectory();
  options.FileName = "Untitled";
  std::optional<std::string> path = Ui().SaveFileName(options);
  if (!path || !platform::ConfirmReplace({*path}, options.Title)) return;
  std::string error = SaveSnippetFile(Store, *path, first, last);
  if (!error.empty()) Ui().ShowMessage(error);
}

void TEditorForm::LoadCodeSnippet1Click() {
  if (!Comms().ReadConfigFile()) return;
  platform::FileDialogOptions options;
  options.Title = "Load Snippet File";
  options.Filter = kSnippetFilter;
  options.InitialDir = Comms().CurrentDirectory();
  options.MustExist = true;
  std::optional<std::string> path = Ui().OpenFileName(options);
  if (!path) return;
  std::vector<ProgramLine> lines;
  std::vector<std::string> comments;
  std::string error = ReadSnippetFile(*path, lines, comments);
  if (!error.empty()) {
    Ui().ShowMessage(error);
    return;
  }
  const int row = CurrentRow();
  const int inserted = Store.InsertBlock(row, lines, comments);
  for (int i = 0; i < inserted; ++i) Ui().Beep();  // one beep per record taken
  if (inserted > 0) project_.Unsaved = true;
  FinishBlockInsert(row, inserted);
}

void TEditorForm::Print1Click() {
  grid_->EndEdit();
  QPrinter printer;
  if (!Ui().PrintSetup(printer)) return;
  if (!program::PrintListing(printer, platform::FromQString(font().family()).value_or(""), Store, Listing->Texts(),
                             Listing->Comments()))
    Ui().ShowMessage("Print Error");
}

void TEditorForm::PrintToFile1Click() {
  grid_->EndEdit();
  platform::FileDialogOptions options;
  options.Title = "Print to File";
  options.Filter = "Program files (*.txt)|*.TXT";
  options.DefaultExt = "txt";
  if (!project_.Files.ProjectPath.empty()) {
    options.InitialDir = project_.Files.ProjectDir;
    options.FileName = project_.Files.ListingName();
  }
  std::optional<std::string> path = Ui().SaveFileName(options);
  if (!path || !platform::ConfirmReplace({*path}, options.Title)) return;
  // Built in memory: the communications log is not touched.
  std::string error = WriteListingFile(*path, ListingLines(Store, Listing->Texts(), Listing->Comments()));
  if (!error.empty()) Ui().ShowMessage(error);
}

void TEditorForm::Exit1Click() { close(); }

bool TEditorForm::FormCloseQuery() {
  // Closing ends the program, and the connection first: what runs on it is asked about, naming what ending
  // it does.
  std::string agreed;
  if (!gui::EndAllowed(Comms(), true, agreed)) return false;
  if (project_.HasUnsavedChanges() &&
      !Confirm("Program has changed and not saved, Still close?", platform::ApplicationTitle()))
    return false;
  // The System Map is saved only with the project: its edits would go without a word.
  if (project_.MapChangedSinceSaved() &&
      !Confirm("System Map has changed and not saved, Still close?", platform::ApplicationTitle()))
    return false;
  // Closing the editor ends the program, taking the other windows' unsaved work with it.
  if (!ProjectWindows().CloseQuery()) return false;
  // Work that started under those boxes is not ended unasked.
  return gui::EndAllowed(Comms(), true, agreed);
}

void TEditorForm::closeEvent(QCloseEvent* event) {
  if (!exiting_ && !FormCloseQuery()) {
    event->ignore();
    return;
  }
  exiting_ = true;
  // The program ends once the connection has ended as "&Close" ends it: its running work through its own
  // end, the line closed or the call ended, and what never started told. Nothing is changed meanwhile.
  if (Comms().EndForExit([this] { close(); })) {
    for (QWidget* window : QApplication::topLevelWidgets())
      if (window->isVisible()) window->setEnabled(false);
    StatusBar1->showMessage("Closing: waiting for the connection to the controller to end");
    event->ignore();
    return;
  }
  event->accept();
}

// ---- Projects ----

void TEditorForm::SetProjectStatus() {
  StatusBar1->showMessage(platform::ToQString("Project: " + project_.Files.ProjectPath));
}

void TEditorForm::NewProject1Click() {
  Wizard().Hide();
  if (!Confirm(kClearAreasText, "New Project")) return;
  platform::FileDialogOptions options;
  options.Title = "New Project File";
  options.Filter = kProjectFilter;
  options.DefaultExt = "prj";
  options.InitialDir = Comms().CurrentDirectory();
  std::optional<std::string> path = Ui().OpenFileName(options);
  if (!path) return;
  // The map goes to the name chosen now, the project's files with the next Save Project: each of them that
  // exists is asked about, once, before anything is cleared.
  std::vector<std::string> files = ProjectFileSet(*path).SavePaths();
  if (std::find(files.begin(), files.end(), *path) == files.end()) files.push_back(*path);
  if (!platform::ConfirmReplace(files, options.Title)) return;
  const std::string error = project_.NewProject(*path);
  ProjectWindows().SystemMapReplaced();
  if (!error.empty()) {
    // The project has no path now: keep the program, offer no save to it.
    Ui().ShowMessage(error);
    SetProjectStatus();
    return;
  }
  Ui().Beep();
  ClearProgram();
  ProjectWindows().TouchTableReplaced();
  ProjectWindows().ClearAsciiMessages();
  SetProjectStatus();
  SaveProject1->setEnabled(true);
}

bool TEditorForm::SaveProjectFiles() {
  const std::vector<std::string> errors = project_.Save();
  for (const std::string& error : errors) Ui().ShowMessage(error);
  return errors.empty();
}

void TEditorForm::SaveProject1Click() {
  grid_->EndEdit();
  if (project_.Files.ProjectPath.empty()) return;
  // A file the open could not read holds what the user never saw here; No writes none of the files.
  if (!platform::ConfirmReplace(project_.UnreadFiles, "Save Project")) return;
  SetProjectStatus();
  const bool ok = SaveProjectFiles();
  SaveProject1->setEnabled(true);
  // The beep says "done": a failed writer has reported itself instead.
  if (ok) Ui().Beep();
}

void TEditorForm::SaveProjectAs1Click() {
  grid_->EndEdit();
  platform::FileDialogOptions options;
  options.Title = "Save Project File As";
  options.Filter = kProjectFilter;
  options.DefaultExt = "prj";
  options.InitialDir = Comms().CurrentDirectory();
  if (std::optional<std::string> path = Ui().SaveFileName(options)) {
    // Another project's existing files are asked about here, once; the open project's own go to Save Project,
    // which asks only about those it never read. No is the dialog's Cancel.
    const ProjectFileSet chosen(*path);
    if (chosen.SameProject(project_.Files) || platform::ConfirmReplace(chosen.SavePaths(), options.Title)) {
      project_.SetProjectPath(*path);
      if (!project_.Files.ProjectPath.empty()) {
        SaveProject1->setEnabled(true);
        SaveProject1Click();
      }
    }
  }
  SetProjectStatus();
}

void TEditorForm::OpenProject1Click() {
  Wizard().Hide();
  if (!Confirm(kClearAreasText, "New Project")) return;
  platform::FileDialogOptions options;
  options.Title = "Open Project File";
  options.Filter = kProjectFilter;
  options.InitialDir = Comms().CurrentDirectory();
  options.MustExist = true;
  std::optional<std::string> path = Ui().OpenFileName(options);
  if (!path) return;
  const workspace::Project::OpenResult opened = project_.Open(*path);
  // A .prj that cannot be read leaves the project as it was.
  if (!opened.MapError.empty()) {
    Ui().ShowMessage(opened.MapError);
    return;
  }
  ProjectWindows().SystemMapReplaced();
  ProjectWindows().TouchTableReplaced();
  if (!opened.TouchError.empty()) Ui().ShowMessage(opened.TouchError);
  // Hidden as the command began: a project opened leaves no line open in the wizard.
  if (opened.ProgramRead) {
    if (opened.ProgramError.empty())
      ProgramRead();
    else
      Ui().ShowMessage(opened.ProgramError);
  }
  SetProjectStatus();
  SaveProject1->setEnabled(true);
}

void TEditorForm::DownloadProject1Click() {
  if (project_.Files.ProjectPath == "temp.prj") {
    Ui().ShowMessage("No Project Loaded");
    return;
  }
  Comms().ShowDownloadProject();
}

// ---- Other windows ----

void TEditorForm::SystemMap1Click() {
  if (!SysConfig) return;
  SysConfig->setFixedSize(SysConfig->width(), height());
  SysConfig->show();
  SysConfig->raise();
}

void TEditorForm::TouchScreenSetup1Click() {
  if (project_.Tree.IsTouchController())
    ProjectWindows().ShowTouchScreenDesigner();
  else
    Ui().ShowMessage("You must first define the controller as a Tessaro' in the System Map");
}

void TEditorForm::AsciiMessages1Click() { ProjectWindows().ShowAsciiMessagesForEditing(); }

void TEditorForm::AttachToController1Click() {
  if (!gui::AttachAllowed(Comms()) || !Comms().ReadConfigFile()) return;
  Comms().Attach();
  hide();
}

void TEditorForm::CommsSetup1Click() {
  if (!Comms().ReadConfigFile()) return;
  Comms().ShowSetup();
}
