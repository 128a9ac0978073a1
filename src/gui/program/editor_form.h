#pragma once
// The main window ("Code Editor"): the listing of the 4096 program lines in a four-column grid, the
// whole-line commands, search, Copy/Cut/Paste, printing, the program, snippet and listing files, the
// project commands and the doors to the other windows. The program, its unsaved state and the project
// files are the project's (workspace::Project); the grid is a view over ListingModel, whose cells keep
// their own text between re-renders.
#include <QMainWindow>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "gui/comms_link.h"
#include "gui/editor_links.h"
#include "gui/program/listing_model.h"
#include "program/line_codec.h"
#include "program/program_store.h"
#include "workspace/project.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QTableView;
namespace gui {
template <class View>
class TypingView;
}

class TEditorForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit TEditorForm(workspace::Project& project, QWidget* parent = nullptr);
  ~TEditorForm() override;

  // The project's program: lines, comments, the Copy/Cut snapshot, Modified, CurrentLine, FileName. Every
  // change to it marks the project's program unsaved (Project::Unsaved).
  ProgramStore& Store;

  // Renders and encodes lines over the store and the shared name table; the Control Wizard works through
  // it too, so the listing and the wizard always agree.
  std::unique_ptr<program::LineCodec> Codec;

  // The windows the editor drives. Not owned; nullptr restores the stand-in.
  void SetCommsLink(gui::CommsLink* link);
  void SetWizardLink(gui::WizardLink* link);
  void SetProjectWindows(gui::ProjectWindowsLink* link);
  gui::CommsLink& Comms() const { return *comms_; }
  gui::WizardLink& Wizard() const { return *wizard_; }
  gui::ProjectWindowsLink& ProjectWindows() const { return *projectWindows_; }

  // Re-renders every line into the grid: Program Text, Comments (" " for an empty comment), Reference; then
  // the wizard shows the current line.
  void UpdateListing();
  // Writes line n's reference text into the grid and hides the wizard.
  void ShowLineHex(int n);
  // Every line empty, its comment " ", the grid's cells " ", the cursor to line 1.
  void ClearProgram();

  // The grid's current row (line 1..4096) and the marked block (top and bottom row of the selection).
  int CurrentRow() const;
  void SetCurrentRow(int row);
  void SetCurrentCell(int row, int column);
  int CurrentColumn() const;
  void SelectionBlock(int& first, int& last) const;
  void SelectBlock(int first, int last);

  // Menu commands.
  void NewProgram1Click();
  void OpenProgram1Click();
  void SaveProgramAs1Click();
  void Print1Click();
  void PrintToFile1Click();
  void Exit1Click();
  void NewProject1Click();
  void SaveProject1Click();
  void SaveProjectAs1Click();
  void OpenProject1Click();
  void DownloadProject1Click();
  void SystemMap1Click();
  void TouchScreenSetup1Click();
  void AsciiMessages1Click();
  void AttachToController1Click();
  void CommsSetup1Click();
  void LoadCodeSnippet1Click();
  void SaveCodeSnippet1Click();
  void Cut1Click();
  void Copy1Click();
  void Paste1Click();
  // Buttons.
  void BitBtn5Click();   // "&Insert Line"
  void BitBtn6Click();   // "&Delete Line"
  void BitBtn7Click();   // "&Clear Line"
  void BitBtn20Click();  // "Update"
  void SearchButtonClick();
  void SearchButtonRightClick();
  // Grid events.
  void StringGrid1Click();
  void StringGrid1DblClick();
  void StringGrid1SetEditText(int row, const std::string& text);
  // The close question; true when the window may close.
  bool FormCloseQuery();

  // Controls, named as on the form.
  program::ListingModel* Listing = nullptr;
  QTableView* StringGrid1 = nullptr;
  QPushButton* BitBtn5 = nullptr;
  QPushButton* BitBtn6 = nullptr;
  QPushButton* BitBtn7 = nullptr;
  QPushButton* BitBtn20 = nullptr;
  QPushButton* SearchButton = nullptr;
  QLineEdit* Edit14 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QFrame* Panel9 = nullptr;
  QFrame* Panel2 = nullptr;
  QWidget* VxURL1 = nullptr;
  QWidget* VxLabel2 = nullptr;
  QLabel* Label4 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* NewProgram1 = nullptr;
  QAction* OpenProgram1 = nullptr;
  QAction* SaveProgramAs1 = nullptr;
  QAction* Print1 = nullptr;
  QAction* PrintToFile1 = nullptr;
  QAction* Exit1 = nullptr;
  QAction* NewProject1 = nullptr;
  QAction* SaveProject1 = nullptr;
  QAction* SaveProjectAs1 = nullptr;
  QAction* OpenProject1 = nullptr;
  QAction* DownloadProject1 = nullptr;
  QAction* SystemMap1 = nullptr;
  QAction* TouchScreenSetup1 = nullptr;
  QAction* AsciiMessages1 = nullptr;
  QAction* AttachToController1 = nullptr;
  QAction* CommsSetup1 = nullptr;
  QAction* LoadCodeSnippet1 = nullptr;
  QAction* SaveCodeSnippet1 = nullptr;
  QAction* Cut1 = nullptr;
  QAction* Copy1 = nullptr;
  QAction* Paste1 = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildControls();
  void BuildMenus();
  void CurrentCellChanged(int row, int column, int previousRow, int previousColumn);
  // After a block was inserted at `row`: cursor below it, re-render, and the grid's message when the
  // block reached the last row.
  void FinishBlockInsert(int row, int inserted);
  void SetProjectStatus();
  // Writes the three project files, showing each error; true when all were written.
  bool SaveProjectFiles();
  bool LoadProgramFile(const std::string& path);
  // The listing re-rendered with the wizard hidden.
  void RenderListing();
  // After the program was read: the whole listing rendered anew, the wizard hidden. The codec's corrections
  // while rendering count as part of what was read.
  void ProgramRead();

  workspace::Project& project_;

  std::unique_ptr<gui::CommsLink> ownComms_;
  std::unique_ptr<gui::WizardLink> ownWizard_;
  std::unique_ptr<gui::ProjectWindowsLink> ownProjectWindows_;
  gui::CommsLink* comms_ = nullptr;
  gui::WizardLink* wizard_ = nullptr;
  gui::ProjectWindowsLink* projectWindows_ = nullptr;
  // StringGrid1 as the typing view it is: a command that writes the comments out ends its edit first.
  gui::TypingView<QTableView>* grid_ = nullptr;
  bool movingCursor_ = false;
  bool exiting_ = false;  // the user agreed to end the program: it waits for the connection's end
};

extern TEditorForm* EditorForm;

namespace program {
// The grid's refusal when a command moves its cursor past the last row.
inline constexpr const char* kGridIndexText = "Grid index out of range";
}  // namespace program
