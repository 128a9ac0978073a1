#include "gui/project/touch_screen_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTimer>
#include <functional>

#include "gui/project/enter_text_form.h"
#include "gui/project/x10_form.h"
#include "project/name_table.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/user_input.h"
#include "workspace/project.h"

namespace {

using project::ModuleType;
using project::SystemMapTree;
using testing_support::Click;
using testing_support::Mouse;
using testing_support::Shoot;
using testing_support::TestUi;
using testing_support::Type;

class FakeComms : public gui::DetachedCommsLink {
 public:
  bool ReadConfigFile() override {
    ++Reads;
    return true;
  }
  std::string CurrentDirectory() const override { return Directory; }
  void Attach() override {
    ++Attaches;
    IsAttached = true;
    Closed = false;
  }
  bool Attached() const override { return IsAttached; }
  bool Reconnects() const override { return IsAttached && !Closed; }
  std::string EndQuestion(bool) const override { return Question; }
  void RequestTouchLoad() override { ++TouchLoads; }

  std::string Directory;
  bool IsAttached = false, Closed = false;
  std::string Question;  // what ending the running work asks
  int Reads = 0, Attaches = 0, TouchLoads = 0;
};

// Runs `act` on the modal dialog the next command opens, then closes it if `act` did not.
template <class Dialog>
void WhenShown(std::function<void(Dialog&)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    if (!dialog) {
      ADD_FAILURE() << "no dialog";
      if (QWidget* other = QApplication::activeModalWidget()) other->close();
      return;
    }
    act(*dialog);
    if (dialog->isVisible()) dialog->done(QDialog::Rejected);
  });
}

class TouchScreenFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.ChangeToTessaro();
    tree.SetText(project::FirstIcon + 3, "lamp.bmp");
    tree.AddModule(tree.PositionOf(tree.Root()->Child(1)), ModuleType::Kado16);  // module 1
    tree.AddModule(tree.PositionOf(tree.Root()->Child(3)), ModuleType::Pelko);   // module 3
    project::RefreshNameTable(tree);
    form = std::make_unique<TTouchScreenForm>(project);
    TouchScreenForm = form.get();
    comms.Directory = dir.Path().string();
    form->SetCommsLink(&comms);
    project.Program.FileName = "garage.pgm";
    form->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    TouchScreenForm = nullptr;
    form.reset();
  }

  QPushButton* Template(const char* name) { return form->findChild<QPushButton*>(name); }
  TouchObject Record(int n) { return form->Table.Object(n); }
  void RightClick(QWidget* control) {
    Mouse(control, QEvent::MouseButtonPress, {3, 3}, Qt::RightButton);
    QContextMenuEvent event(QContextMenuEvent::Mouse, {3, 3}, control->mapToGlobal(QPoint(3, 3)));
    QApplication::sendEvent(control, &event);
  }
  void Choose(QMenu* menu, QAction* action) {
    ASSERT_TRUE(menu->isVisible());
    menu->hide();
    action->trigger();
  }
  void Save(const char* name) { Shoot(form.get(), QString("/tmp/%1.png").arg(name)); }

  testing_support::TempDir dir;
  SystemMapTree tree = SystemMapTree::Default();
  FakeComms comms;
  workspace::Project project;
  std::unique_ptr<TTouchScreenForm> form;
};

TEST_F(TouchScreenFormTest, ShowsTheTabsThePageTheTemplatesAndTheSettings) {
  EXPECT_EQ(form->windowTitle(), "Touch Screen Setup");
  ASSERT_EQ(form->TabControl1->count(), 24);
  EXPECT_EQ(form->TabControl1->tabText(0), "Screen 1");
  EXPECT_EQ(form->TabControl1->tabText(23), "Screen 24");
  EXPECT_EQ(form->Panel4->size(), QSize(320, 240));
  EXPECT_EQ(form->Image1->size(), QSize(320, 240));

  const struct {
    const char* Name;
    const char* Caption;
    QSize Size;
  } templates[] = {{"Button1", "Single", {64, 40}},
                   {"Button2", "Double", {64, 80}},
                   {"Button3", "Triple", {64, 120}},
                   {"Button4", "Wide Single", {128, 40}},
                   {"Button5", "Wide Double", {128, 80}},
                   {"Button6", "Wide Triple", {128, 120}},
                   {"Button9", "", {32, 81}},
                   {"Button10", "", {32, 120}},
                   {"Button12", "", {32, 40}},
                   {"Button8", "", {192, 40}},
                   {"Button11", "", {224, 40}},
                   {"Button7", "", {16, 40}}};
  for (const auto& t : templates) {
    QPushButton* button = Template(t.Name);
    ASSERT_NE(button, nullptr) << t.Name;
    EXPECT_EQ(button->text(), t.Caption) << t.Name;
    EXPECT_EQ(button->size(), t.Size) << t.Name;
  }
  EXPECT_EQ(form->Label5->text(), "Screen Text");
  EXPECT_EQ(form->Label5->size(), QSize(88, 16));

  EXPECT_EQ(form->RadioGroup1->title(), "Beep on Touch");
  EXPECT_EQ(form->RadioGroup2->title(), "Show Date and Time");
  EXPECT_EQ(form->BeepGroup->button(0)->text(), "OFF");
  EXPECT_EQ(form->BeepGroup->button(1)->text(), "ON");
  EXPECT_EQ(form->BacklightGroup->title(), "Backlight OFF Delay Seconds");
  EXPECT_EQ(form->TrackBar1->maximum(), 200);
  EXPECT_EQ(form->TrackBar1->tickInterval(), 10);
  EXPECT_EQ(form->Edit1->text(), "0");

  QStringList file;
  for (QAction* a : form->File1->actions()) file << a->text();
  EXPECT_EQ(file, QStringList({" New Touch Screen File", "Open Touch Screen File", "Save Touch Screen Files As"}));
  EXPECT_EQ(form->Load1->text(), "<Load Tessaro>");
  EXPECT_TRUE(form->menuBar()->actions().contains(form->Load1));
  Save("touch_screen_form_empty");
}

TEST_F(TouchScreenFormTest, GuideGridIsDrawnWithABeep) {
  EXPECT_EQ(TestUi().Beeps(), 1);
  const QImage& p = form->Picture;
  for (QPoint black : {QPoint(0, 0), QPoint(319, 239), QPoint(0, 120), QPoint(32, 100), QPoint(288, 5), QPoint(100, 40),
                       QPoint(250, 200)})
    EXPECT_EQ(p.pixel(black), qRgb(0, 0, 0)) << black.x() << "," << black.y();
  for (QPoint white : {QPoint(33, 41), QPoint(31, 39), QPoint(300, 230), QPoint(319 - 10, 220)})
    EXPECT_EQ(p.pixel(white), qRgb(255, 255, 255)) << white.x() << "," << white.y();
}

TEST_F(TouchScreenFormTest, TemplatesMakeObjectsOnTheSelectedPage) {
  Click(Template("Button9"));
  ASSERT_EQ(form->ButtonList.size(), 1u);
  QWidget* button = form->ButtonList[0];
  EXPECT_EQ(button->geometry(), QRect(5, 5, 32, 81));
  EXPECT_EQ(button->toolTip(), "Object# 1, Borders = 0, No Icon ");
  EXPECT_EQ(Record(1).Width, 32);
  EXPECT_EQ(Record(1).Height, 81);
  EXPECT_TRUE(form->Designer.Modified);

  form->TabControl1->setCurrentIndex(4);
  Click(form->Button7);
  Mouse(form->Label5, QEvent::MouseButtonPress, {4, 4}, Qt::LeftButton);
  EXPECT_EQ(Record(2).Type, TouchStatusLight);
  EXPECT_EQ(Record(2).Page, 5);
  EXPECT_EQ(form->ControlOf(2)->size(), QSize(16, 40));
  EXPECT_EQ(form->ControlOf(2)->toolTip(), "Object# 2");
  ASSERT_EQ(form->LabelList.size(), 1u);
  auto* text = qobject_cast<QLabel*>(form->LabelList[0]);
  EXPECT_EQ(text->text(), "Text");
  EXPECT_EQ(text->size(), QSize(88, 16));
  EXPECT_EQ(Record(3).Type, TouchText);
  EXPECT_EQ(Record(3).Text, "");
  Save("touch_screen_form_objects");
}

TEST_F(TouchScreenFormTest, DraggingMovesInStepsOfEightAndStaysOnThePage) {
  Click(Template("Button6"));  // 128 x 120
  QWidget* button = form->ControlOf(1);
  form->Designer.Modified = false;

  Mouse(button, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton);
  Mouse(button, QEvent::MouseMove, {20, 10}, Qt::LeftButton);  // 5 + 10 -> 8, 5 + 0 -> 0
  EXPECT_EQ(button->pos(), QPoint(8, 0));
  Mouse(button, QEvent::MouseMove, {10, 130}, Qt::LeftButton);  // top 120: 120 + 120 = 240
  EXPECT_EQ(button->pos(), QPoint(8, 120));
  Mouse(button, QEvent::MouseMove, {10, 18}, Qt::LeftButton);  // top 128 is past the bottom
  EXPECT_EQ(button->pos(), QPoint(8, 120));
  Mouse(button, QEvent::MouseButtonRelease, {10, 18}, Qt::LeftButton);
  EXPECT_EQ(Record(1).X, 8);
  EXPECT_EQ(Record(1).Y, 120);

  EXPECT_TRUE(form->Designer.Modified);
  form->Designer.Modified = false;
  Mouse(button, QEvent::MouseMove, {60, 10}, Qt::NoButton);  // released: no drag
  EXPECT_EQ(button->pos(), QPoint(8, 120));
  EXPECT_FALSE(form->Designer.Modified);
}

TEST_F(TouchScreenFormTest, SwitchingTabsShowsOnlyThatPageAndRedrawsTheGrid) {
  Click(Template("Button1"));
  form->TabControl1->setCurrentIndex(1);
  Click(Template("Button2"));
  EXPECT_FALSE(form->ControlOf(1)->isVisible());
  EXPECT_TRUE(form->ControlOf(2)->isVisible());
  EXPECT_EQ(Record(2).Page, 2);

  form->Picture.setPixel(100, 100, qRgb(255, 0, 0));
  const int beeps = TestUi().Beeps();
  form->TabControl1->setCurrentIndex(0);
  EXPECT_TRUE(form->ControlOf(1)->isVisible());
  EXPECT_FALSE(form->ControlOf(2)->isVisible());
  EXPECT_EQ(form->Picture.pixel(100, 100), qRgb(255, 255, 255));
  EXPECT_EQ(form->Picture.pixel(32, 100), qRgb(0, 0, 0));
  EXPECT_EQ(TestUi().Beeps(), beeps + 1);
}

TEST_F(TouchScreenFormTest, EnterCaptionSetsTextFontBorderAndIcon) {
  Click(Template("Button1"));
  QWidget* button = form->ControlOf(1);
  RightClick(button);
  WhenShown<TForm26>([](TForm26& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Enter Text");
    EXPECT_TRUE(dialog.CheckBox1->isVisible());
    EXPECT_TRUE(dialog.RadioGroup1->isVisible());
    EXPECT_FALSE(dialog.RadioGroup2->isVisible());
    EXPECT_FALSE(dialog.ComboBox2->isVisible());
    ASSERT_EQ(dialog.ComboBox1->count(), 200);
    EXPECT_EQ(dialog.ComboBox1->itemText(0), "No Icon");
    EXPECT_EQ(dialog.ComboBox1->currentIndex(), 0);
    Type(dialog.Edit1, "Garage");
    Click(dialog.FontGroup1->button(1));
    Click(dialog.CheckBox1);
    dialog.ComboBox1->setCurrentIndex(3);
    Shoot(&dialog, "/tmp/form26_button.png");
    Click(dialog.Button1);
  });
  Choose(form->ButtonPopupMenu, form->EnterCaption1);

  const TouchObject o = Record(1);
  EXPECT_EQ(o.Text, "Garage");
  EXPECT_EQ(o.Style, 1);
  EXPECT_EQ(o.LinkA, 1);
  EXPECT_EQ(o.Icon, 3);
  auto* shown = qobject_cast<QPushButton*>(button);
  EXPECT_EQ(shown->text(), "Garage");
  EXPECT_TRUE(shown->font().bold());
  EXPECT_EQ(shown->font().pointSize(), 16);
  EXPECT_EQ(shown->toolTip(), "Object# 1, Borders = 1, Icon- lamp.bmp");
  ASSERT_NE(form->findChild<TForm26*>(), nullptr);
  EXPECT_TRUE(form->findChild<TForm26*>()->CheckBox1->isHidden());
  Save("touch_screen_form_caption");
}

TEST_F(TouchScreenFormTest, EnterTextRefusesA31stCharacterAndTakesTheVariable) {
  Mouse(form->Label5, QEvent::MouseButtonPress, {4, 4}, Qt::LeftButton);
  RightClick(form->ControlOf(1));
  WhenShown<TForm26>([](TForm26& dialog) {
    EXPECT_TRUE(dialog.RadioGroup2->isVisible());
    EXPECT_FALSE(dialog.CheckBox1->isVisible());
    EXPECT_FALSE(dialog.ComboBox1->isVisible());
    ASSERT_EQ(dialog.ComboBox2->count(), 128);
    Type(dialog.Edit1, QString(30, 'n'));
    EXPECT_EQ(dialog.Edit1->text(), QString(30, 'n'));
    EXPECT_EQ(TestUi().Beeps(), 1);
    Type(dialog.Edit1, "n");
    EXPECT_EQ(dialog.Edit1->text(), "Too Long");
    EXPECT_EQ(TestUi().Beeps(), 2);
    Type(dialog.Edit1, QString(QChar(0x20AC)));  // not an 8-bit character
    EXPECT_EQ(dialog.Edit1->text(), "Too Long");
    EXPECT_EQ(TestUi().Beeps(), 3);
    Click(dialog.FontGroup2->button(2));
    dialog.ComboBox2->setCurrentIndex(9);
    Shoot(&dialog, "/tmp/form26_text.png");
    dialog.close();  // no cancel: closing applies what it shows
  });
  Choose(form->LabelPopupMenu, form->EnterText1);
  EXPECT_EQ(Record(1).Text, "Too Long");
  EXPECT_EQ(Record(1).Variable, 9);
  EXPECT_EQ(Record(1).Style, 2);
  auto* label = qobject_cast<QLabel*>(form->ControlOf(1));
  EXPECT_EQ(label->text(), "Too Long");
  EXPECT_EQ(label->font().pointSize(), 36);
}

TEST_F(TouchScreenFormTest, AttachX10StoresHouseAndUnit) {
  Click(form->Button7);
  RightClick(form->ControlOf(1));
  WhenShown<TX10Form>([](TX10Form& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Select X10");
    EXPECT_EQ(dialog.Label1->text(), "X10 Address:");
    EXPECT_FALSE(dialog.ComboBox2->isVisible());
    ASSERT_EQ(dialog.ComboBox1->count(), 256);
    dialog.ComboBox1->setCurrentIndex(36);  // house C, unit 5
    Shoot(&dialog, "/tmp/x10_form_x10.png");
    Click(dialog.Button1);
  });
  Choose(form->LightPopupMenu, form->AttachX10Status1);
  EXPECT_EQ(Record(1).LinkA, 2);
  EXPECT_EQ(Record(1).LinkB, 4);
  EXPECT_EQ(Record(1).Style, 0);

  RightClick(form->ControlOf(1));
  WhenShown<TX10Form>([](TX10Form& dialog) { EXPECT_EQ(dialog.ComboBox1->currentIndex(), 36); });
  Choose(form->LightPopupMenu, form->AttachX10Status1);
}

TEST_F(TouchScreenFormTest, AttachIoLowersThePointAndRefillsThePointsForAnotherModule) {
  Click(form->Button7);
  TouchObject o = Record(1);
  o.LinkA = 3;  // the PELKO
  o.LinkB = 12;
  form->Table.SetObject(1, o);
  RightClick(form->ControlOf(1));
  WhenShown<TX10Form>([](TX10Form& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Select I/O Point");
    EXPECT_EQ(dialog.Label1->text(), "Module:");
    EXPECT_TRUE(dialog.ComboBox2->isVisible());
    EXPECT_EQ(dialog.ComboBox1->count(), 126);
    EXPECT_EQ(dialog.ComboBox1->currentIndex(), 2);
    EXPECT_EQ(dialog.ComboBox2->count(), 8);
    EXPECT_EQ(dialog.ComboBox2->currentIndex(), 7);
    Shoot(&dialog, "/tmp/x10_form_io.png");
    dialog.ComboBox1->setCurrentIndex(0);  // the KADO16
    EXPECT_EQ(dialog.ComboBox2->count(), 16);
    EXPECT_EQ(dialog.ComboBox2->currentIndex(), 0);
    dialog.ComboBox2->setCurrentIndex(11);
    Click(dialog.Button1);
  });
  Choose(form->LightPopupMenu, form->AttachIOStatus1);
  EXPECT_EQ(Record(1).Style, 1);
  EXPECT_EQ(Record(1).LinkA, 1);
  EXPECT_EQ(Record(1).LinkB, 11);

  // Module 2 has no points: the attach is refused and the link stays.
  RightClick(form->ControlOf(1));
  WhenShown<TX10Form>([](TX10Form& dialog) {
    dialog.ComboBox1->setCurrentIndex(1);
    EXPECT_EQ(dialog.ComboBox2->count(), 0);
    Click(dialog.Button1);
  });
  Choose(form->LightPopupMenu, form->AttachIOStatus1);
  EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{TTouchScreenForm::NoPointsText});
  EXPECT_EQ(Record(1).LinkA, 1);
  EXPECT_EQ(Record(1).LinkB, 11);
}

TEST_F(TouchScreenFormTest, DeletingFreesTheRecordForTheNextObject) {
  Click(Template("Button1"));
  Click(form->Button7);
  Mouse(form->Label5, QEvent::MouseButtonPress, {4, 4}, Qt::LeftButton);
  RightClick(form->ControlOf(1));
  Choose(form->ButtonPopupMenu, form->Caption1);
  RightClick(form->ControlOf(2));
  Choose(form->LightPopupMenu, form->De1);
  RightClick(form->ControlOf(3));
  Choose(form->LabelPopupMenu, form->DeleteText1);
  EXPECT_TRUE(form->ButtonList.empty());
  EXPECT_TRUE(form->LabelList.empty());
  for (int n = 1; n <= 3; ++n) EXPECT_TRUE(form->Table.IsFree(n)) << n;
  Click(Template("Button4"));
  EXPECT_EQ(Record(1).Width, 128);
  EXPECT_NE(form->ControlOf(1), nullptr);
}

TEST_F(TouchScreenFormTest, AFullTableRefusesTheTemplateWithAMessage) {
  for (int n = 1; n < TouchScreenTable::kRecords; ++n) form->Designer.CreateObject(TouchText, 2, 88, 16);
  Click(Template("Button1"));
  Click(form->Button7);
  EXPECT_EQ(TestUi().Messages(),
            (std::vector<std::string>{TTouchScreenForm::TableFullText, TTouchScreenForm::TableFullText}));
  EXPECT_TRUE(form->ButtonList.empty());
}

TEST_F(TouchScreenFormTest, SettingsControlsWriteRecordZero) {
  Click(form->BeepGroup->button(1));
  EXPECT_EQ(form->Table.BeepOnTouch(), 1);
  EXPECT_TRUE(form->Designer.Modified);
  form->Designer.Modified = false;
  Click(form->DateGroup->button(1));
  EXPECT_EQ(form->Table.ShowDateAndTime(), 1);
  EXPECT_TRUE(form->Designer.Modified);

  form->Designer.Modified = false;
  form->TrackBar1->setValue(70);
  EXPECT_EQ(form->Table.BacklightOffDelay(), 70);
  EXPECT_EQ(form->Edit1->text(), "70");
  EXPECT_TRUE(form->Designer.Modified);

  form->Designer.Modified = false;
  form->Edit1->selectAll();
  Type(form->Edit1, "250");
  EXPECT_EQ(form->TrackBar1->value(), 200);
  EXPECT_EQ(form->Table.BacklightOffDelay(), 200);
  EXPECT_EQ(form->Edit1->text(), "250");
  EXPECT_TRUE(form->Designer.Modified) << "typing the delay is a change too";
}

TEST_F(TouchScreenFormTest, ClickingThePageTogglesItsTransparency) {
  Mouse(form->Image1, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton);
  EXPECT_TRUE(form->Designer.Modified);
  EXPECT_TRUE(form->PictureTransparent);
  QImage shown = form->Image1->pixmap().toImage();
  EXPECT_EQ(qAlpha(shown.pixel(100, 100)), 0);
  EXPECT_EQ(qAlpha(shown.pixel(32, 100)), 255);
  Mouse(form->Image1, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton);
  EXPECT_FALSE(form->PictureTransparent);
  EXPECT_EQ(form->Image1->pixmap().toImage().pixel(100, 100) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(TouchScreenFormTest, OpenAsksWhenModifiedAndRebuildsTheControls) {
  TouchScreenTable file;
  TouchObject button;
  button.Type = TouchButton;
  button.Page = 2;
  button.ObjectNumber = 4;
  button.X = 40;
  button.Y = 80;
  button.Width = 64;
  button.Height = 40;
  button.Text = "Lights";
  file.SetObject(4, button);
  TouchObject text = button;
  text.Type = TouchText;
  text.Page = 1;
  text.ObjectNumber = 9;
  text.Style = 1;
  text.Text = "Hall";
  file.SetObject(9, text);
  file.SetBeepOnTouch(1);
  file.SetBacklightOffDelay(30);
  ASSERT_EQ(file.SaveTchFile(dir.File("house.tch")), "");

  Click(Template("Button1"));  // modified: the question comes first
  TestUi().QueueAnswer(platform::MsgResult::Cancel);
  form->Open1->trigger();
  EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{"Touchscreen data has changed and not saved, Still Open?"});
  EXPECT_TRUE(form->Designer.Modified);
  EXPECT_EQ(comms.Reads, 0);

  TestUi().QueueAnswer(platform::MsgResult::Ok);
  TestUi().QueueOpenFile(dir.File("house.TCH"));
  form->Open1->trigger();
  EXPECT_FALSE(form->Designer.Modified);
  EXPECT_EQ(comms.Reads, 1);
  const platform::FileDialogOptions& options = TestUi().Asked().back().Options;
  EXPECT_EQ(options.Title, "Open Touch Screen File");
  EXPECT_EQ(options.Filter, "Touch Screen files (*.tch)|*.TCH");
  EXPECT_EQ(options.FileName, "Untitled");
  EXPECT_EQ(options.DefaultExt, "tch");
  EXPECT_EQ(options.InitialDir, dir.Path().string());

  ASSERT_EQ(form->ButtonList.size(), 1u);
  ASSERT_EQ(form->LabelList.size(), 1u);
  EXPECT_TRUE(form->Table.IsFree(1));
  QWidget* loadedButton = form->ControlOf(4);
  EXPECT_EQ(loadedButton->geometry(), QRect(40, 80, 64, 40));
  EXPECT_FALSE(loadedButton->isVisible());
  EXPECT_EQ(qobject_cast<QPushButton*>(loadedButton)->text(), "Lights");
  EXPECT_EQ(loadedButton->toolTip(), "Object# 4, Borders = 0, No Icon");
  auto* loadedText = qobject_cast<QLabel*>(form->ControlOf(9));
  EXPECT_TRUE(loadedText->isVisible());
  EXPECT_EQ(loadedText->text(), "Hall");
  EXPECT_EQ(loadedText->font().pointSize(), 16);
  EXPECT_TRUE(form->BeepGroup->button(1)->isChecked());
  EXPECT_EQ(form->TrackBar1->value(), 30);
  EXPECT_EQ(form->Edit1->text(), "30");
  EXPECT_FALSE(form->Designer.Modified);

  form->TabControl1->setCurrentIndex(1);
  EXPECT_TRUE(loadedButton->isVisible());
  Save("touch_screen_form_loaded");
}

TEST_F(TouchScreenFormTest, OpenOfAMissingFileOrCancelledChangesNothing) {
  Click(Template("Button1"));
  TestUi().QueueAnswer(platform::MsgResult::Ok);
  TestUi().QueueOpenFile(dir.File("none.tch"));
  form->Open1->trigger();
  TestUi().QueueAnswer(platform::MsgResult::Ok);
  TestUi().QueueOpenFile(std::nullopt);
  form->Open1->trigger();
  const std::string question = "Touchscreen data has changed and not saved, Still Open?";
  EXPECT_EQ(TestUi().Messages(), (std::vector<std::string>{question, "TCH File Not Found", question}));
  EXPECT_EQ(form->ButtonList.size(), 1u);
  EXPECT_FALSE(form->Table.IsFree(1));
  EXPECT_TRUE(form->Designer.Modified) << "the changes are still unsaved";
}

TEST_F(TouchScreenFormTest, SaveAsProposesTheProgramNameAndOnlyASaveClearsModified) {
  Click(Template("Button1"));
  TestUi().QueueSaveFile(std::nullopt);
  form->SaveAs1->trigger();
  EXPECT_TRUE(form->Designer.Modified) << "cancelled: nothing saved";
  const platform::FileDialogOptions& options = TestUi().Asked().back().Options;
  EXPECT_EQ(options.Title, "Save Touch Screen File");
  EXPECT_EQ(options.FileName, "garage.pgm");
  EXPECT_EQ(options.DefaultExt, "tch");
  EXPECT_EQ(options.InitialDir, dir.Path().string());

  TestUi().QueueSaveFile(dir.File("garage.tch"));
  form->SaveAs1->trigger();
  const std::string bytes = testing_support::ReadFile(dir.File("garage.TCH"));
  ASSERT_EQ(bytes.size(), TouchScreenTable::kBytes);
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[64]), TouchButton);
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[64 + 10]), 64);
  EXPECT_EQ(comms.Reads, 2);
  EXPECT_FALSE(form->Designer.Modified);
}

TEST_F(TouchScreenFormTest, FailedSaveKeepsTheCloseQuestion) {
  Click(Template("Button1"));
  TestUi().QueueSaveFile(dir.File("no/such/dir/x.tch"));
  form->SaveAs1->trigger();
  EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{"File Error"});
  EXPECT_TRUE(form->Designer.Modified);
}

TEST_F(TouchScreenFormTest, NewFileFreesEveryObjectWithoutAQuestion) {
  Click(Template("Button1"));
  Mouse(form->Label5, QEvent::MouseButtonPress, {4, 4}, Qt::LeftButton);
  Click(form->BeepGroup->button(1));
  form->New1->trigger();
  EXPECT_TRUE(TestUi().Messages().empty());
  EXPECT_TRUE(form->ButtonList.empty());
  EXPECT_TRUE(form->LabelList.empty());
  EXPECT_TRUE(form->Table.IsFree(1));
  EXPECT_EQ(form->Table.BeepOnTouch(), 0);
  EXPECT_TRUE(form->BeepGroup->button(0)->isChecked()) << "the settings controls show record 0";
  EXPECT_TRUE(form->Designer.Modified);
  form->Designer.Modified = false;
  form->TrackBar1->setValue(90);
  form->New1->trigger();
  EXPECT_EQ(form->TrackBar1->value(), 0);
  EXPECT_EQ(form->Edit1->text(), "0");
  EXPECT_TRUE(form->Designer.Modified) << "a new file is a change";
}

// A running connection takes the load; a detached window, or a connection the user has closed, is
// attached anew first, asking before it cuts a transfer.
TEST_F(TouchScreenFormTest, LoadTessaroAttachesADetachedOrClosedConnectionAndRequestsTheDownload) {
  form->Load1->trigger();
  EXPECT_EQ(comms.Reads, 1);
  EXPECT_EQ(comms.Attaches, 1);
  EXPECT_EQ(comms.TouchLoads, 1);
  form->Load1->trigger();
  EXPECT_EQ(comms.Reads, 1);
  EXPECT_EQ(comms.Attaches, 1);
  EXPECT_EQ(comms.TouchLoads, 2);

  comms.Closed = true;
  comms.Question = "The Program Download is running: attaching now cuts it short. Still attach?";
  TestUi().QueueAnswer(platform::MsgResult::Cancel);
  form->Load1->trigger();
  EXPECT_EQ(TestUi().Messages().size(), 1u) << "the cut is asked first";
  EXPECT_EQ(comms.Attaches, 1);
  EXPECT_EQ(comms.TouchLoads, 2);
  comms.Question.clear();
  form->Load1->trigger();
  EXPECT_EQ(comms.Reads, 2);
  EXPECT_EQ(comms.Attaches, 2);
  EXPECT_EQ(comms.TouchLoads, 3);
}

TEST_F(TouchScreenFormTest, CloseAsksOnlyWhenModified) {
  EXPECT_TRUE(form->close());
  EXPECT_TRUE(TestUi().Messages().empty());
  form->show();
  Click(Template("Button1"));
  TestUi().QueueAnswer(platform::MsgResult::Cancel);
  EXPECT_FALSE(form->close());
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{"Touchscreen data has changed and not saved, Still close?"});
  TestUi().QueueAnswer(platform::MsgResult::Ok);
  EXPECT_TRUE(form->close());
}

TEST_F(TouchScreenFormTest, TheEditorsLinkRebuildsAfterTheProjectsTableWasClearedAndCallsItsHooks) {
  int asciiShown = 0, asciiCleared = 0, mapsReplaced = 0;
  TouchScreenProjectWindows link(
      *form, [&] { ++asciiShown; }, [&] { ++asciiCleared; }, [&] { ++mapsReplaced; });
  form->TabControl1->setCurrentIndex(3);
  Click(Template("Button1"));
  EXPECT_FALSE(project.TouchTable.IsFree(1)) << "the designer edits the project's table";
  project.TouchTable.ClearAllObjects();
  link.TouchTableReplaced();
  EXPECT_TRUE(form->ButtonList.empty());
  EXPECT_EQ(form->TabControl1->currentIndex(), 0);
  link.ShowAsciiMessagesForEditing();
  link.ClearAsciiMessages();
  link.SystemMapReplaced();
  EXPECT_EQ(asciiShown, 1);
  EXPECT_EQ(asciiCleared, 1);
  EXPECT_EQ(mapsReplaced, 1);
}

}  // namespace
