#include "gui/project/sys_config.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolTip>
#include <QTreeView>
#include <filesystem>
#include <fstream>

#include "gui/project/system_map_model.h"
#include "platform/atomic_file.h"
#include "project/name_table.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/user_input.h"
#include "workspace/project.h"

namespace {

using project::SharedNameTable;
using testing_support::TestUi;

class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::filesystem::path& dir) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~ScopedCurrentDir() { std::filesystem::current_path(previous_); }

 private:
  std::filesystem::path previous_;
};

struct RecordingLog : project::CommsLog {
  void AddLogLine(const std::string& line) override { Lines.push_back(line); }
  std::vector<std::string> Lines;
};

void SaveBitmap(const std::string& path, int width, int height, QColor colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  ASSERT_TRUE(image.save(QString::fromStdString(path), "BMP"));
}

class SysConfigTest : public ::testing::Test {
 protected:
  SysConfigTest() : cwd(dir.Path()) {
    window = std::make_unique<TSysConfig>(project);
    SysConfig = window.get();
    window->show();
    QApplication::processEvents();
  }
  ~SysConfigTest() override { SysConfig = nullptr; }

  QTreeView* View() { return window->TreeView1; }
  QModelIndex Index(int position) { return window->Model->IndexAt(position); }
  // Makes the node visible and returns its centre in viewport coordinates.
  QPoint Reveal(int position) {
    QModelIndex index = Index(position);
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent()) View()->expand(p);
    View()->scrollTo(index);
    QApplication::processEvents();
    return View()->visualRect(index).center();
  }
  void MoveTo(const QPoint& pos) { testing_support::Mouse(View()->viewport(), QEvent::MouseMove, pos, Qt::NoButton); }
  void LeftClick(const QPoint& pos) { testing_support::ClickAt(View()->viewport(), pos); }
  void RightClick(const QPoint& pos) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, View()->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(View()->viewport(), &event);
  }
  QAction* MenuAction(QMenu* menu, const QString& caption) {
    for (QAction* action : menu->actions())
      if (action->text() == caption) return action;
    ADD_FAILURE() << "no menu entry " << caption.toStdString();
    return nullptr;
  }
  void Choose(QMenu* menu, const QString& caption) {
    ASSERT_TRUE(menu->isVisible());
    QAction* action = MenuAction(menu, caption);
    ASSERT_NE(action, nullptr);
    action->trigger();
    menu->hide();
  }
  // Types `text` into the in-place editor of the node, as F2 and Return would.
  bool EditName(int position, const QString& text) {
    View()->setCurrentIndex(Index(position));
    Reveal(position);
    testing_support::Key(View(), Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(View()->indexWidget(Index(position)));
    if (!editor) return false;
    editor->setText(text);
    testing_support::Key(editor, Qt::Key_Return);
    return true;
  }
  int SlotPosition(int slot) { return window->Tree.PositionOf(window->Tree.Root()->Child(slot)); }

  testing_support::TempDir dir;
  ScopedCurrentDir cwd;
  workspace::Project project;
  std::unique_ptr<TSysConfig> window;
};

TEST_F(SysConfigTest, StartsWithTheDefaultProjectInTempPrj) {
  EXPECT_EQ(window->windowTitle(), "Project Configuration");
  EXPECT_EQ(window->Label1->text(), "System Map");
  EXPECT_EQ(project.Files.ProjectPath, "temp.prj");
  EXPECT_EQ(project.Files.ProjectName, "temp.prj");
  EXPECT_EQ(project.Files.ProjectDir, "");
  EXPECT_EQ(TestUi().Beeps(), 1);

  std::string text;
  ASSERT_TRUE(platform::ReadWholeFile(dir.File("temp.prj"), text));
  EXPECT_EQ(text.substr(0, 30), "Marvik\r\n Local\r\n  Variables\r\n ");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1733);

  EXPECT_EQ(SharedNameTable().Names[0], "Marvik");
  EXPECT_EQ(SharedNameTable().ModuleSlotIndex[1], 1607);
  EXPECT_EQ(SharedNameTable().ModuleSlotIndex[126], 1732);

  // Collapsed to the root, which shows "Local" and the 126 slots.
  EXPECT_EQ(window->SelectedPosition(), 0);
  EXPECT_TRUE(View()->isExpanded(Index(0)));
  EXPECT_FALSE(View()->isExpanded(Index(1)));
  EXPECT_EQ(window->Model->rowCount(Index(0)), 127);
}

TEST(SysConfigStart, AnUnwritableTempPrjStillGivesTheDefaultTreeButNoPath) {
  testing_support::TempDir dir;
  std::filesystem::path gone = dir.Path() / "gone";
  std::filesystem::create_directory(gone);
  ScopedCurrentDir cwd(gone);
  std::filesystem::remove(gone);  // the current directory no longer exists: nothing can be written there

  workspace::Project project;
  TSysConfig window(project);
  EXPECT_EQ(window.Tree.Count(), 1733);
  EXPECT_EQ(project.Files.ProjectPath, "");
  EXPECT_EQ(project.Files.ProjectDir, "");
  ASSERT_EQ(TestUi().Messages().size(), 1u);
  EXPECT_EQ(TestUi().Messages()[0].rfind("File Error", 0), 0u);
  EXPECT_EQ(SharedNameTable().ModuleSlotIndex[126], 1732);
}

TEST_F(SysConfigTest, NewProjectAtAnUnwritablePathKeepsNoPath) {
  window->Tessaro1Click();
  project.SetProjectPath(dir.File("missing/house.prj"));
  EXPECT_FALSE(window->GenerateDefaultProject());
  EXPECT_EQ(window->Tree.TextAt(0), "Marvik");
  EXPECT_EQ(project.Files.ProjectPath, "");
  EXPECT_EQ(SharedNameTable().ModuleSlotIndex[1], 1607);

  project.SetProjectPath(dir.File("house.prj"));
  EXPECT_TRUE(window->GenerateDefaultProject());
  EXPECT_EQ(project.Files.ProjectName, "house.prj");
  EXPECT_EQ(project.Files.ProjectDir, dir.Path().string() + "/");
  EXPECT_TRUE(std::filesystem::exists(dir.File("house.prj")));
}

TEST_F(SysConfigTest, RenameThroughTheView) {
  ASSERT_TRUE(EditName(project::FirstTimer, "porch light delay"));
  EXPECT_EQ(window->Tree.TextAt(project::FirstTimer), "porch-light-delay");
  EXPECT_TRUE(window->NamesDirty);
  // The next pointer movement over the tree rebuilds the names.
  SharedNameTable().Names[project::FirstTimer] = "stale";
  MoveTo(Reveal(project::FirstTimer));
  EXPECT_FALSE(window->NamesDirty);
  EXPECT_EQ(SharedNameTable().Names[project::FirstTimer], "porch-light-delay");

  // Headers, the root and slots open no editor.
  for (int position : {0, 1, project::TimersHeader, project::X10Header, 1607}) {
    EXPECT_FALSE(EditName(position, "x")) << position;
  }
  EXPECT_EQ(window->Tree.TextAt(project::TimersHeader), "Timers");

  // A TAB reaching the model is stored like a blank; text outside Latin-1 is refused with a beep.
  EXPECT_TRUE(window->Model->setData(Index(project::FirstVariable), QString("a\tb")));
  EXPECT_EQ(window->Tree.TextAt(project::FirstVariable), "a-b");
  int beeps = TestUi().Beeps();
  EXPECT_FALSE(window->Model->setData(Index(project::FirstVariable), QString::fromUtf8("\u20ac")));
  EXPECT_EQ(TestUi().Beeps(), beeps + 1);
  EXPECT_EQ(window->Tree.TextAt(project::FirstVariable), "a-b");
}

TEST_F(SysConfigTest, NamesAreRebuiltOnSelectionChangeAndFocusLoss) {
  window->Model->setData(Index(project::FirstIrCode), QString("front door"));
  EXPECT_NE(SharedNameTable().Names[project::FirstIrCode], "front-door");
  window->SelectPosition(project::FirstIrCode);
  EXPECT_EQ(SharedNameTable().Names[project::FirstIrCode], "front-door");

  window->Model->setData(Index(project::FirstIrCode), QString("back door"));
  QFocusEvent focusOut(QEvent::FocusOut, Qt::OtherFocusReason);
  QApplication::sendEvent(View(), &focusOut);
  EXPECT_EQ(SharedNameTable().Names[project::FirstIrCode], "back-door");
}

TEST_F(SysConfigTest, SitsBesideTheControlWizard) {
  QWidget wizard;
  wizard.move(100, 50);
  window->PlaceBeside(&wizard);
  EXPECT_EQ(window->pos(), QPoint(140, 90));
}

TEST_F(SysConfigTest, SlotMenuAddsAndRemovesModules) {
  RightClick(Reveal(1607));
  EXPECT_EQ(window->SelectedPosition(), 1607);
  QStringList captions;
  for (QAction* action : window->PopupMenu1->actions())
    captions << (action->isSeparator() ? "-" : action->text() + (action->isEnabled() ? "" : "(off)"));
  EXPECT_EQ(captions.join(","),
            "Remove Module,-,Add KADO16,Add KADO16-I,Add KADO16-IR,Add PELKO,Add MURMEX,-,Add Slave Marvik,"
            "Add Slave Tessaro,-,Add Lurcan-T,Add Lurcan-H,Add Lurcan-A,Add Lurcan-L,Add Lurcan-C,"
            "Add Lurcan-HAI(off),Add Lurcan-Caddx(off),Add Lurcan-X-10(off),Add Lurcan-RCS T-Stat(off)");
  Choose(window->PopupMenu1, "Add KADO16");
  EXPECT_EQ(window->Tree.TextAt(1607), "Module #1   -KADO16");
  EXPECT_EQ(window->SelectedPosition(), 1607);
  EXPECT_EQ(window->Model->rowCount(Index(1607)), 24);
  EXPECT_EQ(SharedNameTable().ModuleSlotIndex[2], 1632);
  EXPECT_EQ(SharedNameTable().Names[1608], "Input #0");

  RightClick(Reveal(1632));
  Choose(window->PopupMenu1, "Add Lurcan-T");
  EXPECT_EQ(window->Tree.TextAt(1632), "Module #2   -LURCAN-T");
  EXPECT_EQ(SharedNameTable().ModuleSlotIndex[3], 1634);

  RightClick(Reveal(1607));
  Choose(window->PopupMenu1, "Remove Module");
  EXPECT_EQ(window->Tree.TextAt(1607), "Module #1  ");
  EXPECT_EQ(SharedNameTable().ModuleSlotIndex[2], 1608);
  EXPECT_EQ(window->Model->rowCount(Index(1607)), 0);

  // Right-clicking a point offers no menu.
  window->PopupMenu1->hide();
  RightClick(Reveal(project::FirstTimer));
  EXPECT_FALSE(window->PopupMenu1->isVisible());
  EXPECT_FALSE(window->PopupMenu2->isVisible());
}

TEST_F(SysConfigTest, ModelMenuChangesToTessaroOnly) {
  RightClick(Reveal(1607));
  Choose(window->PopupMenu1, "Add PELKO");
  RightClick(Reveal(0));
  Choose(window->PopupMenu2, "Tessaro");
  EXPECT_TRUE(window->IsTouchController());
  EXPECT_EQ(window->Tree.Count(), 2191 + 8);
  EXPECT_EQ(SharedNameTable().Names[0], "Tessaro");
  EXPECT_EQ(SharedNameTable().ModuleSlotIndex[1], 2065);
  EXPECT_EQ(SharedNameTable().ModuleSlotIndex[2], 2074);
  EXPECT_EQ(window->Model->rowCount(Index(1)), 7);

  RightClick(Reveal(0));
  Choose(window->PopupMenu2, "Marvik");
  EXPECT_EQ(TestUi().Messages(),
            (std::vector<std::string>{"Cannot change controller from Tessaro to Marvik, use 'New Project'"}));
  EXPECT_TRUE(window->IsTouchController());
}

TEST_F(SysConfigTest, HintsFollowThePointer) {
  QPoint slot = Reveal(1607);
  MoveTo(slot);
  EXPECT_EQ(View()->viewport()->toolTip(), "Right Click for Module List");
  // Resting there shows it.
  QHelpEvent rest(QEvent::ToolTip, slot, View()->viewport()->mapToGlobal(slot));
  QApplication::sendEvent(View()->viewport(), &rest);
  EXPECT_EQ(QToolTip::text(), "Right Click for Module List");
  QToolTip::hideText();
  MoveTo(Reveal(1230));
  EXPECT_EQ(View()->viewport()->toolTip(), "X10 House A, Unit 9");
  MoveTo(Reveal(project::FirstTimer));
  EXPECT_EQ(View()->viewport()->toolTip(), "");
  window->SelectPosition(1607);
  window->AddPELKO1Click();
  MoveTo(Reveal(1608));
  EXPECT_EQ(View()->viewport()->toolTip(), "Left Click to Select, then Hold Left Button down to begin Edit");
}

TEST_F(SysConfigTest, CollapseAllLeavesTheRootOpen) {
  Reveal(project::FirstX10Unit + 40);
  Reveal(project::FirstTimer);
  ASSERT_TRUE(View()->isExpanded(Index(project::X10Header)));
  window->BitBtn7->click();
  EXPECT_FALSE(View()->isExpanded(Index(project::X10Header)));
  EXPECT_FALSE(View()->isExpanded(Index(1)));
  EXPECT_TRUE(View()->isExpanded(Index(0)));
  EXPECT_EQ(window->SelectedPosition(), 0);
}

TEST_F(SysConfigTest, IconPreviewShortensTheTree) {
  window->Tessaro1Click();
  SaveBitmap(dir.File("lamp.bmp"), 24, 16, QColor(200, 200, 200));
  window->Tree.Rename(project::FirstIcon + 1, "lamp.bmp");
  EXPECT_EQ(View()->height(), TSysConfig::TreeFullHeight);

  LeftClick(Reveal(project::FirstIcon + 1));
  EXPECT_EQ(window->SelectedPosition(), project::FirstIcon + 1);
  EXPECT_TRUE(window->Image1->isVisible());
  EXPECT_EQ(View()->height(), TSysConfig::TreePreviewHeight);
  EXPECT_EQ(window->ImageCaption->text(), "lamp.bmp");
  EXPECT_EQ(window->Image1->pixmap().size(), QSize(24, 16));
  EXPECT_EQ(window->Image1->pixmap().toImage().pixel(3, 3), qRgb(0, 0, 0));  // grey shows black
  EXPECT_EQ(window->Image1->geometry().center().x(), window->centralWidget()->width() / 2 - 1);
  EXPECT_EQ(window->ImageCaption->geometry().bottom() + 1 + 2, window->Image1->geometry().top() + 1);

  // Another node hides it; an icon without a file shows none.
  LeftClick(Reveal(project::FirstIcon + 2));
  EXPECT_FALSE(window->Image1->isVisible());
  EXPECT_EQ(View()->height(), TSysConfig::TreeFullHeight);
  EXPECT_EQ(window->ImageCaption->text(), "");

  // Only under a header named exactly "Icons".
  window->Tree.Rename(project::IconsHeader, "Pictures");
  LeftClick(Reveal(project::FirstIcon + 1));
  EXPECT_FALSE(window->Image1->isVisible());
}

TEST_F(SysConfigTest, AddIconFileCopiesIntoTheProjectAndAsksBeforeReplacing) {
  project.SetProjectPath(dir.File("house.prj"));
  window->Tessaro1Click();
  testing_support::TempDir elsewhere;
  SaveBitmap(elsewhere.File("bell.bmp"), 16, 8, Qt::black);

  TestUi().QueueOpenFile(elsewhere.File("bell.bmp"));
  RightClick(Reveal(project::FirstIcon + 4));
  ASSERT_FALSE(TestUi().Asked().empty());
  const auto& asked = TestUi().Asked().back();
  EXPECT_EQ(asked.Caption, "Add Icon File");
  EXPECT_EQ(asked.Options.Filter, "Icon files (*.bmp)|*.BMP");
  EXPECT_EQ(asked.Options.DefaultExt, "bmp");
  EXPECT_EQ(asked.Options.InitialDir, project.Files.ProjectDir);
  EXPECT_TRUE(asked.Options.MustExist);
  EXPECT_EQ(window->Tree.TextAt(project::FirstIcon + 4), "bell.bmp");
  QImage copied(QString::fromStdString(dir.File("bell.bmp")));
  EXPECT_EQ(copied.size(), QSize(16, 8));

  // A different bell.bmp: the user is asked; Cancel leaves file and node alone.
  SaveBitmap(elsewhere.File("bell.bmp"), 8, 8, Qt::white);
  TestUi().QueueOpenFile(elsewhere.File("bell.bmp"));
  TestUi().QueueAnswer(platform::MsgResult::Cancel);
  RightClick(Reveal(project::FirstIcon + 5));
  EXPECT_EQ(TestUi().Messages().back(), "The project directory already holds bell.bmp. Replace it?");
  EXPECT_EQ(window->Tree.TextAt(project::FirstIcon + 5), "Icon #5");
  EXPECT_EQ(QImage(QString::fromStdString(dir.File("bell.bmp"))).size(), QSize(16, 8));

  TestUi().QueueOpenFile(elsewhere.File("bell.bmp"));
  TestUi().QueueAnswer(platform::MsgResult::Ok);
  RightClick(Reveal(project::FirstIcon + 5));
  EXPECT_EQ(window->Tree.TextAt(project::FirstIcon + 5), "bell.bmp");
  EXPECT_EQ(QImage(QString::fromStdString(dir.File("bell.bmp"))).size(), QSize(8, 8));

  // A file already in the project directory is only named.
  TestUi().QueueOpenFile(dir.File("bell.bmp"));
  RightClick(Reveal(project::FirstIcon + 6));
  EXPECT_EQ(window->Tree.TextAt(project::FirstIcon + 6), "bell.bmp");
  EXPECT_TRUE(TestUi().AllAnswersUsed());

  // The icon compiler reads the project directory.
  std::vector<std::uint8_t> buffer(project::ImageBufferSize);
  RecordingLog log;
  project.CompileIconImage(buffer, log);
  EXPECT_EQ(log.Lines, (std::vector<std::string>{"bell.bmp, to 1328, 8 x 8 #4", "bell.bmp, to 1336, 8 x 8 #5",
                                                 "bell.bmp, to 1344, 8 x 8 #6"}));
}

TEST_F(SysConfigTest, OpenAndSaveProjects) {
  window->SelectPosition(1607);
  window->AddMURMEX1Click();
  ASSERT_EQ(window->SaveProject(dir.File("house.prj")), "");
  std::string saved;
  ASSERT_TRUE(platform::ReadWholeFile(dir.File("house.prj"), saved));
  EXPECT_EQ(saved.substr(0, 17), "Marvik\r\n\tLocal\r\n\t");

  // A damaged file changes nothing and says where it is damaged.
  std::ofstream(dir.File("bad.prj")) << "Marvik\n Local\n   Deep\n";
  EXPECT_FALSE(window->LoadProject(dir.File("bad.prj")));
  ASSERT_EQ(TestUi().Messages().size(), 1u);
  EXPECT_NE(TestUi().Messages()[0].find("line 3"), std::string::npos);
  EXPECT_EQ(window->Tree.TextAt(1607), "Module #1   -MURMEX");
  EXPECT_EQ(project.Files.ProjectPath, "temp.prj");

  window->SelectPosition(1607);
  window->RemoveModule1Click();
  EXPECT_EQ(SharedNameTable().ModuleSlotIndex[2], 1608);
  ASSERT_TRUE(window->LoadProject(dir.File("house.prj")));
  EXPECT_EQ(project.Files.ProjectPath, dir.File("house.prj"));
  EXPECT_EQ(project.Files.ProjectName, "house.prj");
  EXPECT_EQ(window->Tree.TextAt(1607), "Module #1   -MURMEX");
  EXPECT_EQ(SharedNameTable().ModuleSlotIndex[2], 1658);
  EXPECT_EQ(window->SelectedPosition(), 0);

  // The editor's rebuild goes through the project.
  SharedNameTable().ModuleSlotIndex[2] = 0;
  project.RefreshNames();
  EXPECT_EQ(SharedNameTable().ModuleSlotIndex[2], 1658);
}

TEST_F(SysConfigTest, Screenshot) {
  const project::ModuleType types[] = {project::ModuleType::Kado16, project::ModuleType::Pelko,
                                       project::ModuleType::LurcanT, project::ModuleType::SlaveTessaro};
  for (int slot = 1; slot <= 4; ++slot) {
    window->SelectPosition(SlotPosition(slot));
    window->AddModuleClick(types[slot - 1]);
  }
  window->BitBtn7->click();
  View()->expand(Index(SlotPosition(2)));
  View()->scrollTo(Index(SlotPosition(1)), QAbstractItemView::PositionAtTop);
  window->SelectPosition(SlotPosition(2) + 3);
  MoveTo(View()->visualRect(Index(SlotPosition(2) + 3)).center());
  QApplication::processEvents();
  EXPECT_EQ(View()->viewport()->toolTip(), "Left Click to Select, then Hold Left Button down to begin Edit");
  EXPECT_TRUE(testing_support::Shoot(window.get(), "/tmp/sysmap_modules.png"));

  window->Tessaro1Click();
  SaveBitmap(dir.File("lamp.bmp"), 32, 24, Qt::white);
  window->Tree.Rename(project::FirstIcon + 1, "lamp.bmp");
  LeftClick(Reveal(project::FirstIcon + 1));
  QApplication::processEvents();
  EXPECT_TRUE(window->Image1->isVisible());
  EXPECT_TRUE(testing_support::Shoot(window.get(), "/tmp/sysmap_preview.png"));
}

}  // namespace
