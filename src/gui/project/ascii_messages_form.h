#pragma once
// The "Ascii Messages" window: the project's 128 ASCII messages in a three-column grid (caption, text,
// size), their ".asc" file, and "Send To:", which asks the communications engine to load the table into
// the master controller or one module. The texts are the project's table (`Messages`); the grid shows and
// edits them, and the engine reads the table itself when it sends it.
#include <QMainWindow>
#include <QTableWidget>
#include <functional>
#include <memory>
#include <string>

#include "gui/comms_link.h"
#include "gui/typing_view.h"
#include "project/ascii_messages.h"

class QAction;
class QComboBox;
class QLabel;
class QPushButton;

class TAsciiMessages : public QMainWindow {
  Q_OBJECT

 public:
  // `messages` is the project's table; `projectPath` answers the project's path ("" when it has none).
  TAsciiMessages(project::AsciiMessageTable& messages, std::function<std::string()> projectPath,
                 QWidget* parent = nullptr);
  ~TAsciiMessages() override;

  // The communications side; nullptr goes back to the detached stand-in.
  void SetCommsLink(gui::CommsLink* link);

  // The communications window's "Ascii Messages": "Send To:" and its list enabled, then shown.
  void ShowForSending();
  // The editor's "Ascii Messages": editing only, "Send To:" and its list disabled, then shown.
  void ShowForEditing();
  // Empties every text and size (also the editor's New Project).
  void ClearAsciiMessages();

  // Each reports its failure itself; true when the file was read or written.
  bool LoadAsciiFile(const std::string& path);
  bool SaveAsciiFile(const std::string& path);

  // Handlers, named as the window's events.
  void FormShow();
  bool FormCloseQuery();  // false keeps the window open
  void StringGrid1Click();
  void StringGrid1KeyUp();
  void StringGrid1MouseDown();
  void Open1Click();
  void Save1Click();
  void SaveAs1Click();
  void BitBtn1Click();  // "Send To:"

  project::AsciiMessageTable& Messages;
  bool Modified = false;  // "Ascii data has changed and not saved"

  gui::TypingView<QTableWidget>* StringGrid1 = nullptr;
  QLabel* Label1 = nullptr;        // "Message Text"
  QLabel* Label2 = nullptr;        // "Message Size"
  QLabel* Label3 = nullptr;        // the help text below the grid
  QPushButton* BitBtn1 = nullptr;  // "Send To:"
  QComboBox* ComboBox1 = nullptr;  // destinations
  QPushButton* BitBtn2 = nullptr;  // "&Close"
  QAction* Open1 = nullptr;
  QAction* Save1 = nullptr;
  QAction* SaveAs1 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BuildMenus();
  // A text typed into column 1 of `row` (the grid's cell already holds it).
  void CellEdited(int row);
  void ShowTexts();
  void SetCell(int row, int column, const std::string& text);

  std::function<std::string()> projectPath_;
  std::unique_ptr<gui::CommsLink> ownComms_;
  gui::CommsLink* comms_ = nullptr;
  bool filling_ = false;  // the grid is being filled from Messages, not typed into
};

extern TAsciiMessages* AsciiMessages;
