#pragma once
// "Touch Screen Setup": the page designer of the touch-screen controller. It edits the project's
// touch-screen object table; every edit goes through TouchDesigner into the table, and the controls on the
// 320 x 240 page are only the table's image: one per object, shown while its page's tab is selected.
#include <QImage>
#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/comms_link.h"
#include "gui/editor_links.h"
#include "project/touch_designer.h"
#include "project/touch_screen_table.h"
#include "workspace/project.h"

class QAction;
class QButtonGroup;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSlider;
class QTabBar;
class TForm26;
class TX10Form;

class TTouchScreenForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit TTouchScreenForm(workspace::Project& project, QWidget* parent = nullptr);
  ~TTouchScreenForm() override;

  // The project's table and the designer's rules over it.
  TouchScreenTable& Table;
  project::TouchDesigner Designer;

  // The communications side (settings reload, data directory, attaching, the touch-screen download).
  // Not owned; nullptr restores the stand-in.
  void SetCommsLink(gui::CommsLink* link);
  gui::CommsLink& Comms() const { return *comms_; }
  // The editor's side of the table: after it cleared or loaded the table, the controls are built anew
  // from it and the settings controls show record 0. A table without objects shows "Screen 1".
  void TouchTableReplaced();
  void ShowTouchScreenDesigner();
  // Loads a ".tch" and rebuilds the controls; a file error is shown and changes nothing.
  bool LoadTchFile(const std::string& name);

  int SelectedPage() const;  // 1..24
  // The control of an object record; nullptr when it has none.
  QWidget* ControlOf(int record) const;
  static int Tag(const QWidget* control);

  // Handlers, named as the window's events.
  void Button1Click(QPushButton* sender);  // every button template
  void Button7Click();                     // the status-light template
  void Label3Click();                      // the text template
  void EnterCaption1Click();
  void Caption1Click();  // "Delete Button"
  void EnterText1Click();
  void DeleteText1Click();
  void De1Click();  // "Delete Light"
  void AttachX10Status1Click();
  void AttachIOStatus1Click();
  void TabControl1Change();
  void RadioGroup1Click();
  void RadioGroup2Click();
  void TrackBar1Change();
  void Edit1Change();
  void Image1Click();
  void New1Click();
  void Open1Click();
  void SaveAs1Click();
  void Load1Click();
  void FormCreate();
  bool FormCloseQuery();  // true when the window may close

  void DrawGuideGrid();
  void FreeAllControls();
  QPushButton* CreateButtonControl(int record);
  QLabel* CreateTextControl(int record);
  QPushButton* CreateLightControl(int record);

  // The page picture (white with the guide grid) and whether the panel's grey shows through its white.
  QImage Picture;
  bool PictureTransparent = false;
  // Shows Picture in Image1 after it was drawn on.
  void UpdatePicture();

  // Controls, named as on the form.
  QTabBar* TabControl1 = nullptr;
  QFrame* Panel4 = nullptr;
  QLabel* Image1 = nullptr;
  // Button templates in the order Button1..Button6, Button8..Button12 (Button7 is the light's).
  std::vector<QPushButton*> ButtonTemplates;
  QPushButton* Button7 = nullptr;
  QLabel* Label5 = nullptr;
  QGroupBox* RadioGroup1 = nullptr;
  QButtonGroup* BeepGroup = nullptr;
  QGroupBox* RadioGroup2 = nullptr;
  QButtonGroup* DateGroup = nullptr;
  QGroupBox* BacklightGroup = nullptr;
  QSlider* TrackBar1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QMenu* ButtonPopupMenu = nullptr;
  QMenu* LabelPopupMenu = nullptr;
  QMenu* LightPopupMenu = nullptr;
  QMenu* File1 = nullptr;
  QAction* New1 = nullptr;
  QAction* Open1 = nullptr;
  QAction* SaveAs1 = nullptr;
  QAction* Load1 = nullptr;
  QAction* EnterCaption1 = nullptr;
  QAction* Caption1 = nullptr;
  QAction* EnterText1 = nullptr;
  QAction* DeleteText1 = nullptr;
  QAction* De1 = nullptr;
  QAction* AttachX10Status1 = nullptr;
  QAction* AttachIOStatus1 = nullptr;

  // Controls of the button and light objects, and of the text objects.
  std::vector<QWidget*> ButtonList;
  std::vector<QWidget*> LabelList;
  // The last button-or-light and the last text pressed: the pop-up menus act on them.
  QWidget* CurrentButton = nullptr;
  QWidget* CurrentLabel = nullptr;

  // The refusal of a new object when every record is in use.
  static constexpr const char* TableFullText = "All 511 Touch Objects Are In Use";
  // The refusal of Attach I/O on a module without points.
  static constexpr const char* NoPointsText = "That Module Has No I/O Points";

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildPage(QWidget* client);
  void BuildTemplates(QWidget* client);
  void BuildSettings(QWidget* client);
  void BuildMenus();
  QPushButton* NewTemplate(QWidget* client, const char* name, const char* caption, int x, int y, int width, int height);
  void PlaceControl(QWidget* control, int record);
  // Caption, font and hint of an object's control from its record.
  void ShowRecord(QWidget* control, int record);
  void ShowSettings();
  void RemoveControl(QWidget*& current, std::vector<QWidget*>& list);
  bool IsObjectControl(QObject* object) const;
  int CurrentRecord(QWidget* control, TouchObjectType type) const;
  TForm26& TextDialog();
  TX10Form& X10Dialog();

  workspace::Project& project_;
  std::unique_ptr<gui::CommsLink> ownComms_;
  gui::CommsLink* comms_ = nullptr;
  TForm26* ownForm26_ = nullptr;
  TX10Form* ownX10Form_ = nullptr;
};

extern TTouchScreenForm* TouchScreenForm;

// The editor's link to the project's windows: the touch-screen part served by the designer, the ASCII
// message window's and the System Map's parts by the hooks (ignored while empty).
class TouchScreenProjectWindows : public gui::ProjectWindowsLink {
 public:
  explicit TouchScreenProjectWindows(TTouchScreenForm& designer, std::function<void()> showAsciiForEditing = {},
                                     std::function<void()> clearAscii = {},
                                     std::function<void()> systemMapReplaced = {},
                                     std::function<bool()> asciiCloseQuery = {})
      : designer_(designer),
        showAscii_(std::move(showAsciiForEditing)),
        clearAscii_(std::move(clearAscii)),
        mapReplaced_(std::move(systemMapReplaced)),
        asciiCloseQuery_(std::move(asciiCloseQuery)) {}
  void SystemMapReplaced() override {
    if (mapReplaced_) mapReplaced_();
  }
  void TouchTableReplaced() override { designer_.TouchTableReplaced(); }
  void ShowTouchScreenDesigner() override { designer_.ShowTouchScreenDesigner(); }
  void ShowAsciiMessagesForEditing() override {
    if (showAscii_) showAscii_();
  }
  void ClearAsciiMessages() override {
    if (clearAscii_) clearAscii_();
  }
  bool CloseQuery() override { return designer_.FormCloseQuery() && (!asciiCloseQuery_ || asciiCloseQuery_()); }

 private:
  TTouchScreenForm& designer_;
  std::function<void()> showAscii_;
  std::function<void()> clearAscii_;
  std::function<void()> mapReplaced_;
  std::function<bool()> asciiCloseQuery_;
};
