#include "gui/project/sys_config.h"

#include <QBuffer>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeView>
#include <filesystem>

#include "gui/project/system_map_model.h"
#include "gui/typing_view.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/ui.h"
#include "project/name_table.h"

TSysConfig* SysConfig = nullptr;

using project::SystemMapTree;

namespace {
constexpr int kClientWidth = 345;
constexpr int kMargin = 8;
constexpr int kButtonTop = TSysConfig::TreeTop + TSysConfig::TreeFullHeight + 8;
constexpr int kClientHeight = kButtonTop + 28 + kMargin;
constexpr int kCaptionGap = 18;

// The tree view, telling whether a node is being edited in place.
class SystemMapView : public gui::TypingView<QTreeView> {
 public:
  using gui::TypingView<QTreeView>::TypingView;
  bool IsEditing() const { return state() == EditingState; }
};
}  // namespace

std::string FileNameAfterLastBackslash(const std::string& path) {
  size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

TSysConfig::TSysConfig(workspace::Project& project, QWidget* parent)
    : QMainWindow(parent), Tree(project.Tree), project_(project) {
  setWindowTitle("Project Configuration");
  auto* client = new QWidget(this);
  client->setFixedSize(kClientWidth, kClientHeight);
  setCentralWidget(client);

  Label1 = new QLabel("System Map", client);
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
  Label1->setGeometry(kMargin, 6, kClientWidth - 2 * kMargin, 20);

  Model = new project::SystemMapModel(Tree, this);
  TreeView1 = new SystemMapView(client);
  TreeView1->setObjectName("TreeView1");
  TreeView1->setModel(Model);
  TreeView1->setHeaderHidden(true);
  TreeView1->setUniformRowHeights(true);  // tens of thousands of rows with slave controllers
  TreeView1->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
  TreeView1->setGeometry(kMargin, TreeTop, kClientWidth - 2 * kMargin, TreeFullHeight);
  TreeView1->viewport()->setMouseTracking(true);
  TreeView1->viewport()->installEventFilter(this);
  TreeView1->installEventFilter(this);
  connect(TreeView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) { TreeView1ContextPopup(p); });
  connect(TreeView1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { TreeView1Change(); });
  connect(Model, &project::SystemMapModel::NameEdited, this, [this](int position) { TreeView1Edited(position); });

  ImageCaption = new QLabel(client);
  ImageCaption->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
  ImageCaption->setGeometry(kMargin, TreeTop + TreePreviewHeight + 6, kClientWidth - 2 * kMargin, 16);
  Image1 = new QLabel(client);
  Image1->setFrameShape(QFrame::Box);
  HidePreview();

  BitBtn7 = new QPushButton("Collapse All", client);
  BitBtn7->setGeometry((kClientWidth - 110) / 2, kButtonTop, 110, 28);
  connect(BitBtn7, &QPushButton::clicked, this, [this] { BitBtn7Click(); });

  BuildMenus();
  adjustSize();
  setFixedSize(sizeHint());

  // FormCreate: the start-up project lives in the current directory until the user opens or saves one.
  project_.SetProjectPath("temp.prj");
  NamesDirty = false;
  GenerateDefaultProject();
}

TSysConfig::~TSysConfig() {
  // The model watches the project's tree, which outlives this window: it lets go of it here.
  TreeView1->setModel(nullptr);
  delete Model;
  Model = nullptr;
  if (SysConfig == this) SysConfig = nullptr;
}

void TSysConfig::BuildMenus() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  PopupMenu1->addAction("Remove Module", this, [this] { RemoveModule1Click(); });
  for (const project::ModuleTypeInfo& info : project::ModuleTypes()) {
    if (info.Type == project::ModuleType::Kado16 || info.Type == project::ModuleType::SlaveMarvik ||
        info.Type == project::ModuleType::LurcanT)
      PopupMenu1->addSeparator();
    project::ModuleType type = info.Type;
    PopupMenu1->addAction(info.Caption, this, [this, type] { AddModuleClick(type); });
  }
  for (const char* caption : {"Add Lurcan-HAI", "Add Lurcan-Caddx", "Add Lurcan-X-10", "Add Lurcan-RCS T-Stat"})
    PopupMenu1->addAction(caption)->setEnabled(false);

  PopupMenu2 = new QMenu(this);
  PopupMenu2->setObjectName("PopupMenu2");
  PopupMenu2->addAction("Marvik", this, [this] { Marvik1Click(); });
  PopupMenu2->addAction("Tessaro", this, [this] { Tessaro1Click(); });
}

void TSysConfig::PlaceBeside(const QWidget* wizard) {
  if (wizard) move(wizard->pos() + QPoint(40, 40));
}

bool TSysConfig::GenerateDefaultProject() {
  const std::string error = project_.GenerateDefaultMap();
  MapReplaced();
  if (!error.empty()) {
    platform::Ui().ShowMessage(error);
    return false;
  }
  platform::Ui().Beep();
  return true;
}

bool TSysConfig::LoadProject(const std::string& path) {
  const std::string error = project_.LoadMap(path);
  if (!error.empty()) {
    platform::Ui().ShowMessage(error);
    return false;
  }
  MapReplaced();
  return true;
}

void TSysConfig::MapReplaced() {
  NamesDirty = false;
  HidePreview();
  CollapseToTop();
}

void TSysConfig::RefreshNames() {
  TreeView1->setUpdatesEnabled(false);
  project_.RefreshNames();
  TreeView1->setUpdatesEnabled(true);
}

int TSysConfig::SelectedPosition() const { return Model->PositionOf(TreeView1->currentIndex()); }

void TSysConfig::SelectPosition(int position) {
  QModelIndex index = Model->IndexAt(position);
  if (index.isValid()) TreeView1->setCurrentIndex(index);
}

void TSysConfig::CollapseToTop() {
  TreeView1->collapseAll();
  QModelIndex root = Model->IndexAt(0);
  if (!root.isValid()) return;
  TreeView1->setCurrentIndex(root);
  TreeView1->expand(root);
  TreeView1->scrollToTop();
}

void TSysConfig::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TSysConfig::FormShow() { CollapseToTop(); }

void TSysConfig::BitBtn7Click() { CollapseToTop(); }

bool TSysConfig::eventFilter(QObject* watched, QEvent* event) {
  if (watched == TreeView1->viewport()) {
    if (event->type() == QEvent::MouseMove) {
      TreeView1MouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
    } else if (event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      // After the press has moved the selection.
      TreeView1Click();
    }
  } else if (watched == TreeView1 && event->type() == QEvent::FocusOut) {
    TreeView1Exit();
  }
  return QMainWindow::eventFilter(watched, event);
}

void TSysConfig::TreeView1MouseMove(const QPoint& viewportPos) {
  if (static_cast<SystemMapView*>(TreeView1)->IsEditing()) return;
  if (NamesDirty) {
    NamesDirty = false;
    RefreshNames();
  }
  int position = Model->PositionOf(TreeView1->indexAt(viewportPos));
  TreeView1->viewport()->setToolTip(platform::ToQString(Tree.HintAt(position)));
}

void TSysConfig::TreeView1ContextPopup(const QPoint& viewportPos) {
  QModelIndex index = TreeView1->indexAt(viewportPos);
  if (!index.isValid()) return;
  TreeView1->setCurrentIndex(index);
  int position = Model->PositionOf(index);
  int level = Tree.LevelAt(position);
  QPoint global = TreeView1->viewport()->mapToGlobal(viewportPos);
  if (Tree.IsModuleSlot(position)) {
    PopupMenu1->popup(global);
  } else if (position == 0) {
    PopupMenu2->popup(global);
  } else if (IsTouchController() && level == 3 && position > project::IconsHeader) {
    AddIconFile(position);
  }
}

void TSysConfig::TreeView1Change() { RefreshNames(); }

void TSysConfig::TreeView1Exit() { RefreshNames(); }

void TSysConfig::TreeView1Edited(int /*position*/) { NamesDirty = true; }

void TSysConfig::HidePreview() {
  Image1->hide();
  Image1->clear();
  ImageCaption->clear();
  ImageCaption->hide();
  TreeView1->resize(TreeView1->width(), TreeFullHeight);
}

void TSysConfig::TreeView1Click() {
  HidePreview();
  SystemMapTree::Node* node = Model->NodeOf(TreeView1->currentIndex());
  if (!node || !IsTouchController() || Tree.LevelOf(node) != 3 || node->Parent()->Text() != "Icons") return;
  std::string path = platform::ResolveFileCase(project_.Files.ProjectDir + node->Text());
  if (!platform::FileExists(path)) return;
  QImage image;
  if (!image.load(platform::ToQString(path))) {
    platform::Ui().ShowMessage("File Error: " + path + " is not a bitmap");
    return;
  }
  QPixmap picture = QPixmap::fromImage(project::ReduceToTwoLevels(image));
  TreeView1->resize(TreeView1->width(), TreePreviewHeight);
  const int top = TreeTop + TreePreviewHeight + 6 + 16 + 2;
  const QSize room(centralWidget()->width() - 2 * kMargin, kButtonTop - 4 - top);
  // A picture larger than the room left below the tree is shown smaller, keeping its shape and pixels.
  if (picture.width() > room.width() || picture.height() > room.height())
    picture = picture.scaled(room, Qt::KeepAspectRatio, Qt::FastTransformation);
  Image1->setPixmap(picture);
  Image1->setGeometry((centralWidget()->width() - picture.width()) / 2 - 1, top - 1, picture.width() + 2,
                      picture.height() + 2);
  ImageCaption->setGeometry(kMargin, top - kCaptionGap, centralWidget()->width() - 2 * kMargin, 16);
  ImageCaption->setText(platform::ToQString(node->Text()));
  ImageCaption->show();
  Image1->show();
}

void TSysConfig::AddModuleClick(project::ModuleType type) {
  int position = SelectedPosition();
  if (!Tree.AddModule(position, type)) return;
  TreeView1->setUpdatesEnabled(false);
  SelectPosition(position);
  TreeView1->setUpdatesEnabled(true);
  RefreshNames();
}

void TSysConfig::RemoveModule1Click() {
  int position = SelectedPosition();
  if (!Tree.RemoveModule(position)) return;
  SelectPosition(position);
  RefreshNames();
}

void TSysConfig::Marvik1Click() {
  if (Tree.ChangeToMarvik() == SystemMapTree::ModelChange::Refused)
    platform::Ui().ShowMessage("Cannot change controller from Tessaro to Marvik, use 'New Project'");
}

void TSysConfig::Tessaro1Click() {
  TreeView1->setUpdatesEnabled(false);
  bool changed = Tree.ChangeToTessaro() == SystemMapTree::ModelChange::Changed;
  TreeView1->setUpdatesEnabled(true);
  if (changed) RefreshNames();
}

void TSysConfig::AddIconFile(int position) {
  if (!Tree.NodeAt(position)) return;
  platform::FileDialogOptions options;
  options.Title = "Add Icon File";
  options.Filter = "Icon files (*.bmp)|*.BMP";
  options.DefaultExt = "bmp";
  options.InitialDir = project_.Files.ProjectDir;
  options.MustExist = true;
  std::optional<std::string> chosen = platform::Ui().OpenFileName(options);
  if (!chosen) return;
  std::string name = FileNameAfterLastBackslash(*chosen);
  // The name goes into the ".prj" as it is: a leading blank or a line break would change the tree.
  if (name.empty() || name.front() == ' ' || name.front() == '\t' || name.find_first_of("\r\n") != std::string::npos) {
    platform::Ui().ShowMessage("File Error: the icon file name cannot be used: " + name);
    return;
  }
  std::string directory = platform::ExtractFilePath(*chosen);
  const std::string& projectDir = project_.Files.ProjectDir;
  std::string target = projectDir + name;
  std::error_code sameError;
  bool sameFile = std::filesystem::equivalent(platform::NativePath(*chosen), platform::NativePath(target), sameError);
  if (directory != projectDir && !sameFile) {
    // Every icon of the project lives in the project directory.
    if (platform::FileExists(target) &&
        platform::Ui().MessageBox("The project directory already holds " + name + ". Replace it?", "Add Icon File",
                                  platform::MsgButtons::OkCancel) != platform::MsgResult::Ok)
      return;
    QImage image;
    if (!image.load(platform::ToQString(*chosen))) {
      platform::Ui().ShowMessage("File Error: " + *chosen + " is not a bitmap");
      return;
    }
    QByteArray bytes;
    QBuffer device(&bytes);
    device.open(QIODevice::WriteOnly);
    image.save(&device, "BMP");
    std::string error = platform::WriteFileAtomically(target, std::string_view(bytes.constData(), bytes.size()));
    if (!error.empty()) {
      platform::Ui().ShowMessage("File Error: " + error);
      return;
    }
  }
  Tree.SetText(position, name);
  NamesDirty = true;
}
