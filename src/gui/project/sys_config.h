#pragma once
// The "Project Configuration" window: the System Map tree of the project, where the user names
// variables, timers, IR codes, X10 units, messages, touch objects and icons, chooses the controller model
// and puts modules into the 126 bus slots. The tree, the project's paths and files are the project's
// (workspace::Project); this window only wires the view, the menus and the icon preview to the tree, and
// keeps the name table in step.
#include <QMainWindow>
#include <cstdint>
#include <span>
#include <string>

#include "project/comms_log.h"
#include "project/icon_image.h"
#include "project/module_type.h"
#include "project/system_map_tree.h"
#include "workspace/project.h"

class QLabel;
class QMenu;
class QPushButton;
class QTreeView;

namespace project {
class SystemMapModel;
}

class TSysConfig : public QMainWindow {
  Q_OBJECT

 public:
  explicit TSysConfig(workspace::Project& project, QWidget* parent = nullptr);
  ~TSysConfig() override;

  // The project's default map (Project::GenerateDefaultMap), shown from the top; its error is shown and
  // the result is false, else a beep.
  bool GenerateDefaultProject();
  // Opens a ".prj" (Project::LoadMap) and shows it from the top; an error is shown and changes nothing.
  bool LoadProject(const std::string& path);
  // Project::SaveMap: "" or the error text (the caller reports it).
  std::string SaveProject(const std::string& path) { return project_.SaveMap(path); }
  // After the project's tree was replaced: the view from the top, no preview, the names in step.
  void MapReplaced();
  // Places the window 40 pixels right of and below the Control Wizard window.
  void PlaceBeside(const QWidget* wizard);

  int LastLocalIndex() const { return Tree.LastLocalIndex(); }
  bool IsTouchController() const { return Tree.IsTouchController(); }

  // Rebuilds the shared name table from the tree.
  void RefreshNames();

  // Handlers, named as the window's events.
  void FormShow();
  void BitBtn7Click();  // "Collapse All"
  void TreeView1MouseMove(const QPoint& viewportPos);
  void TreeView1ContextPopup(const QPoint& viewportPos);
  void TreeView1Change();
  void TreeView1Exit();
  void TreeView1Click();
  void TreeView1Edited(int position);
  void RemoveModule1Click();
  void AddModuleClick(project::ModuleType type);
  void AddKADO161Click() { AddModuleClick(project::ModuleType::Kado16); }
  void AddKADO16I1Click() { AddModuleClick(project::ModuleType::Kado16I); }
  void AddKADO16IR1Click() { AddModuleClick(project::ModuleType::Kado16Ir); }
  void AddPELKO1Click() { AddModuleClick(project::ModuleType::Pelko); }
  void AddMURMEX1Click() { AddModuleClick(project::ModuleType::Murmex); }
  void AddSlaveMarvik1Click() { AddModuleClick(project::ModuleType::SlaveMarvik); }
  void AddSlaveTessaro1Click() { AddModuleClick(project::ModuleType::SlaveTessaro); }
  void Add1Click() { AddModuleClick(project::ModuleType::LurcanT); }
  void AddLurcanH1Click() { AddModuleClick(project::ModuleType::LurcanH); }
  void AddLurcanA1Click() { AddModuleClick(project::ModuleType::LurcanA); }
  void AddLurcanL1Click() { AddModuleClick(project::ModuleType::LurcanL); }
  void AddLurcanC1Click() { AddModuleClick(project::ModuleType::LurcanC); }
  void Marvik1Click();
  void Tessaro1Click();
  // "Add Icon File" on the icon entry at `position`.
  void AddIconFile(int position);

  // Position of the selected node; -1 when none.
  int SelectedPosition() const;
  void SelectPosition(int position);

  // The project's tree.
  project::SystemMapTree& Tree;
  bool NamesDirty = false;

  QLabel* Label1 = nullptr;
  QTreeView* TreeView1 = nullptr;
  QPushButton* BitBtn7 = nullptr;
  QLabel* ImageCaption = nullptr;  // the preview's caption: the icon's node text
  QLabel* Image1 = nullptr;        // the preview picture
  QMenu* PopupMenu1 = nullptr;     // slot menu
  QMenu* PopupMenu2 = nullptr;     // model menu
  project::SystemMapModel* Model = nullptr;

  static constexpr int TreeTop = 28;
  static constexpr int TreeFullHeight = 433;
  static constexpr int TreePreviewHeight = 313;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  workspace::Project& project_;
  void BuildMenus();
  void CollapseToTop();
  void HidePreview();
};

extern TSysConfig* SysConfig;

// The characters after the last separator of `path` ('\' or '/'); the whole path when it has none.
std::string FileNameAfterLastBackslash(const std::string& path);

