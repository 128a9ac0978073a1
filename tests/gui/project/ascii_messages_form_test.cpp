#include "gui/project/ascii_messages_form.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <filesystem>
#include <vector>

#include "platform/text.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/user_input.h"

namespace {

using platform::MsgResult;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::TestUi;
using testing_support::WriteFile;

const char* const kCloseQuestion = "Ascii data has changed and not saved, Still close?";
const char* const kOpenQuestion = "Ascii data has changed and not saved, Still Open?";

class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::filesystem::path& dir) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~ScopedCurrentDir() { std::filesystem::current_path(previous_); }

 private:
  std::filesystem::path previous_;
};

struct RecordingComms : gui::DetachedCommsLink {
  bool ReadConfigFile() override {
    ++Reloads;
    return ReloadWorks;
  }
  std::string CurrentDirectory() const override { return DataDirectory; }
  void RequestAsciiTable(int destination) override { Requests.push_back(destination); }

  int Reloads = 0;
  bool ReloadWorks = true;
  std::string DataDirectory = "/data/dir";
  std::vector<int> Requests;
};

std::string Record(const std::string& text) {
  std::string r = text.substr(0, 32);
  r.resize(32, '\0');
  return r;
}

class AsciiMessagesFormTest : public ::testing::Test {
 protected:
  AsciiMessagesFormTest() : cwd(dir.Path()) {
    window = std::make_unique<TAsciiMessages>(messages, [this] { return projectPath; });
    AsciiMessages = window.get();
    window->SetCommsLink(&comms);
    window->ShowForSending();
    QApplication::processEvents();
  }
  ~AsciiMessagesFormTest() override { window->hide(); }

  QTableWidget* Grid() { return window->StringGrid1; }
  std::string Cell(int row, int column) {
    return platform::FromQString(Grid()->item(row, column)->text()).value_or("<not Latin-1>");
  }
  QLineEdit* CellEditor(int row) {
    return qobject_cast<QLineEdit*>(Grid()->indexWidget(Grid()->model()->index(row, 1)));
  }

  // A mouse click as the user makes it, sent to the widget under the pointer.
  void ClickCell(int row, int column) {
    const QModelIndex index = Grid()->model()->index(row, column);
    Grid()->scrollTo(index);
    QApplication::processEvents();
    const QPoint global = Grid()->viewport()->mapToGlobal(Grid()->visualRect(index).center());
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QWidget* target = QApplication::widgetAt(global);
      ASSERT_NE(target, nullptr);
      testing_support::Mouse(target, type, target->mapFromGlobal(global));
      QApplication::processEvents();
    }
  }

  // Keys on the current cell: the first opens the editor over it, the rest go to that editor.
  void Type(const QString& text) { testing_support::TypeInCell(Grid(), text); }

  void TypeMessage(int row, const QString& text) {
    const bool current = Grid()->currentRow() == row && Grid()->currentColumn() == 1;
    ClickCell(row, 1);
    // A click on the current cell opens its editor once no double click can follow; keys wait for it.
    for (QDeadlineTimer deadline(3000); current && !CellEditor(row) && !deadline.hasExpired();) {
      QThread::msleep(20);
      QApplication::processEvents();
    }
    Type(text);
  }

  TempDir dir;
  ScopedCurrentDir cwd;
  std::string projectPath = "temp.prj";  // the System Map's start-up project
  project::AsciiMessageTable messages;     // the project's
  RecordingComms comms;
  std::unique_ptr<TAsciiMessages> window;
};

TEST_F(AsciiMessagesFormTest, ShowsTheTableAsTheUserSeesIt) {
  EXPECT_EQ(window->windowTitle(), "Ascii Messages");
  ASSERT_EQ(Grid()->rowCount(), 128);
  ASSERT_EQ(Grid()->columnCount(), 3);
  EXPECT_FALSE(Grid()->horizontalHeader()->isVisible());
  for (int row : {0, 9, 127}) {
    EXPECT_EQ(Cell(row, 0), "Message #" + std::to_string(row));
    EXPECT_FALSE(Grid()->item(row, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(Grid()->item(row, 1)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(Grid()->item(row, 2)->flags() & Qt::ItemIsEditable);
  }
  EXPECT_EQ(window->Label1->text(), "Message Text");
  EXPECT_EQ(window->Label2->text(), "Message Size");
  EXPECT_EQ(window->Label3->text().toStdString(),
            "Enter text exactly as you wish it to be sent. To send non-printable characters enter the decimal value "
            "of the character preceded by a caret ^.  For example, to send a carriage return, enter ^013  Note that "
            "3 numbers must always follow a ^.");

  QList<QAction*> menus = window->menuBar()->actions();
  ASSERT_EQ(menus.size(), 1);
  EXPECT_EQ(menus[0]->text(), "File");
  QStringList items;
  for (QAction* action : menus[0]->menu()->actions()) items << action->text();
  EXPECT_EQ(items, (QStringList{"Open", "Save", "Save As"}));

  EXPECT_EQ(window->BitBtn1->text(), "Send To:");
  EXPECT_EQ(window->BitBtn2->text(), "&Close");
  QComboBox* list = window->ComboBox1;
  EXPECT_EQ(list->currentIndex(), -1);
  EXPECT_EQ(list->placeholderText(), "Select a destination");
  ASSERT_EQ(list->count(), 128);
  EXPECT_EQ((QStringList{list->itemText(0), list->itemText(1), list->itemText(108), list->itemText(109),
                         list->itemText(127)}),
            (QStringList{"Master Unit 0", "Module 1", "Module 108", "Module 109 ", "Module 127"}));

  TypeMessage(0, "Hi^013");
  TypeMessage(1, "Lights on");
  TypeMessage(2, QString(40, 'w'));
  ClickCell(3, 1);
  EXPECT_TRUE(testing_support::Shoot(window.get(), "/tmp/ascii_messages.png"));
}

TEST_F(AsciiMessagesFormTest, TypedTextsReachTheTableAndTheSizeColumn) {
  // From the keyboard alone: the window opens on message 0's text.
  Grid()->setFocus();
  Type("Hi^013");
  EXPECT_EQ(messages.Text(0), "Hi^013") << "the engine sees what is typed before the cell is left";
  EXPECT_EQ(Cell(0, 2), "6");
  EXPECT_TRUE(window->Modified) << "typing is a change even without a click";

  TypeMessage(2, QString("caf") + QChar(0xE9));
  EXPECT_EQ(messages.Text(2), "caf\xE9");
  Type(QString(QChar(0x20AC)));
  EXPECT_EQ(CellEditor(2)->text(), QString("caf") + QChar(0xE9)) << "not Latin-1: refused";
  EXPECT_EQ(messages.Text(2), "caf\xE9");
  EXPECT_EQ(TestUi().Beeps(), 1);
  EXPECT_EQ(Cell(2, 2), "4");
  EXPECT_EQ(Cell(1, 2), "");

  window->ClearAsciiMessages();
  for (int row : {0, 2}) {
    EXPECT_EQ(messages.Text(row), "");
    EXPECT_EQ(Cell(row, 1), "");
    EXPECT_EQ(Cell(row, 2), "");
  }
}

// Escape gives up an edit the keyboard opened: the table, the cell, its size and the window's mark are as they
// were before it, though every keystroke reached them.
TEST_F(AsciiMessagesFormTest, EscapeGivesTheTextItsSizeAndTheMarkBack) {
  WriteFile(dir.File("kept.asc"), Record("KEEPME"));
  ASSERT_TRUE(window->LoadAsciiFile(dir.File("kept.asc")));
  Grid()->setFocus();
  Type("OOPS");
  ASSERT_EQ(messages.Text(0), "OOPS");
  testing_support::KeyInWindow(window.get(), Qt::Key_Escape);
  EXPECT_EQ(messages.Text(0), "KEEPME");
  EXPECT_EQ(Cell(0, 1), "KEEPME");
  EXPECT_EQ(Cell(0, 2), "6");
  EXPECT_FALSE(window->Modified);
}

// A save takes the cell as it shows, ending its edit: an Escape after it has nothing left to give back, so the
// window never shows one text while its file holds another.
TEST_F(AsciiMessagesFormTest, ASaveEndsTheEditItWrites) {
  for (const bool saveAs : {false, true}) {
    SCOPED_TRACE(saveAs ? "Save As" : "Save");
    const std::string file = dir.File("kept.asc");
    WriteFile(file, Record("KEEPME"));
    ASSERT_TRUE(window->LoadAsciiFile(file));
    window->Modified = false;
    projectPath = dir.File("kept.prj");  // Save writes the window's own file, unasked
    Grid()->setFocus();
    Type("OOPS");
    if (saveAs) {
      TestUi().QueueSaveFile(file);
      TestUi().QueueAnswer(MsgResult::Yes);
    }
    (saveAs ? window->SaveAs1 : window->Save1)->trigger();
    testing_support::KeyInWindow(window.get(), Qt::Key_Escape);
    EXPECT_EQ(ReadFile(file).substr(0, 32), Record("OOPS"));
    EXPECT_EQ(messages.Text(0), "OOPS");
    EXPECT_EQ(Cell(0, 1), "OOPS");
    EXPECT_FALSE(window->Modified);
  }
}

TEST_F(AsciiMessagesFormTest, SaveWithTheDefaultProjectWritesTheTableBesideIt) {
  window->hide();
  window->ShowForEditing();
  EXPECT_TRUE(window->Save1->isEnabled());
  TypeMessage(0, "Hi^013");
  window->Save1->trigger();
  EXPECT_TRUE(TestUi().Messages().empty());
  const std::string file = ReadFile(dir.File("temp.asc"));
  ASSERT_EQ(file.size(), 4096u);
  EXPECT_EQ(file.substr(0, 32), Record("Hi^013"));
  EXPECT_EQ(file.substr(32), std::string(4096 - 32, '\0'));
  EXPECT_FALSE(window->Modified);
  window->close();
  EXPECT_FALSE(window->isVisible()) << "closed without a question";
  EXPECT_EQ(messages.Text(0), "Hi^013") << "closing only hides the window";
}

TEST_F(AsciiMessagesFormTest, SaveNeedsAProjectAndKeepsTheChangeWhenItFails) {
  projectPath = "";
  window->hide();
  window->ShowForEditing();
  EXPECT_FALSE(window->Save1->isEnabled());
  window->Save1Click();
  EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{"No Project Loaded"});

  projectPath = dir.File("gone/p.prj");
  TypeMessage(0, "x");
  window->Save1Click();
  EXPECT_EQ(TestUi().Messages().back(), "File Error");
  EXPECT_TRUE(window->Modified) << "nothing was written";
}

// Save writes the project's ".asc", over a file the window neither opened nor saved only once the user agreed.
TEST_F(AsciiMessagesFormTest, SaveAsksBeforeReplacingAFileTheWindowNeitherOpenedNorSaved) {
  const struct {
    const char* Opened;  // from the File menu first, then emptied by New Project when Cleared
    bool Cleared, HouseExists, Asked;
  } cases[] = {{nullptr, false, true, true},
               {"other.asc", false, true, true},
               {"house.asc", true, true, true},
               {"house.asc", false, true, false},
               {nullptr, false, false, false}};
  for (int row = 0; row < static_cast<int>(std::size(cases)); ++row) {
    const auto& c = cases[row];
    SCOPED_TRACE(row);
    const std::string folder = dir.File(std::to_string(row)) + "/", house = folder + "house.asc", old(4096, 'h');
    std::filesystem::create_directory(folder);
    if (c.HouseExists) WriteFile(house, old);
    WriteFile(folder + "other.asc", old);
    projectPath = folder + "house.prj";
    if (c.Opened) {
      if (window->Modified) TestUi().QueueAnswer(MsgResult::Ok);
      TestUi().QueueOpenFile(folder + c.Opened);
      window->Open1->trigger();
    }
    if (c.Cleared) window->ClearAsciiMessages();
    TypeMessage(row + 1, "typed");
    const std::vector<std::string> question{house + " already exists.\nDo you want to replace it?"};
    for (int pass = c.Asked ? 0 : 1; pass < 3; ++pass) {  // No, Yes, then a Save that asks nothing
      TestUi().Clear();
      if (c.Asked && pass < 2) TestUi().QueueAnswer(pass == 0 ? MsgResult::No : MsgResult::Yes);
      window->Save1->trigger();
      EXPECT_EQ(TestUi().Messages(), c.Asked && pass < 2 ? question : std::vector<std::string>{});
      EXPECT_EQ(window->Modified, pass == 0) << "No keeps the change";
      EXPECT_EQ(ReadFile(house).substr(32 * (row + 1), 32), Record(pass == 0 ? old : "typed")) << "No writes nothing";
    }
    EXPECT_TRUE(ReadFile(folder + "other.asc") == old) << "Save writes the project's file";
  }
}

TEST_F(AsciiMessagesFormTest, AGridClickMakesCloseAndOpenAsk) {
  ClickCell(5, 1);
  EXPECT_TRUE(window->Modified);

  TestUi().QueueAnswer(MsgResult::Cancel);
  window->close();
  EXPECT_TRUE(window->isVisible());
  TestUi().QueueAnswer(MsgResult::Cancel);
  window->Open1->trigger();
  ASSERT_EQ(TestUi().Messages(), (std::vector<std::string>{kCloseQuestion, kOpenQuestion}));
  EXPECT_EQ(TestUi().Asked().size(), 2u) << "no file dialog after Cancel";
  EXPECT_EQ(comms.Reloads, 0);

  TestUi().QueueAnswer(MsgResult::Ok);
  window->close();
  EXPECT_FALSE(window->isVisible());
}

TEST_F(AsciiMessagesFormTest, OpenCancelledInTheDialogKeepsModified) {
  ClickCell(0, 1);
  TestUi().QueueAnswer(MsgResult::Ok);
  TestUi().QueueOpenFile(std::nullopt);
  window->Open1->trigger();
  EXPECT_TRUE(window->Modified) << "nothing was loaded";
  EXPECT_EQ(comms.Reloads, 1);
  const platform::FileDialogOptions& options = TestUi().Asked().back().Options;
  EXPECT_EQ(options.Title, "Open Ascii Message File");
  EXPECT_EQ(options.Filter, "Ascii Message files (*.asc)|*.ASC");
  EXPECT_EQ(options.InitialDir, "/data/dir");
  TestUi().QueueAnswer(MsgResult::Ok);
  window->close();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(TestUi().Messages(), (std::vector<std::string>{kOpenQuestion, kCloseQuestion}));

  // Save As cancelled in its dialog keeps the change too.
  window->show();
  TestUi().QueueSaveFile(std::nullopt);
  window->SaveAs1->trigger();
  EXPECT_TRUE(window->Modified);
}

TEST_F(AsciiMessagesFormTest, AReadOnlyFileOpensAndAFailedOpenKeepsTheTable) {
  auto shared = testing_support::TempDirOthersReach();
  if (!shared) GTEST_SKIP() << "no temporary folder another user can reach";
  TypeMessage(0, "kept");
  ASSERT_EQ(::chmod(shared->Path().c_str(), 0755), 0);
  WriteFile(shared->File("ro.asc"), Record("read only"));
  ASSERT_EQ(::chmod(shared->File("ro.asc").c_str(), 0444), 0);
  TestUi().QueueAnswer(MsgResult::Ok);
  TestUi().QueueOpenFile(dir.File("none.asc"));
  window->Open1Click();
  EXPECT_EQ(TestUi().Messages().back(), "File Open Error");
  EXPECT_EQ(Cell(0, 1), "kept");
  EXPECT_EQ(messages.Text(0), "kept");
  EXPECT_TRUE(window->Modified);

  TestUi().QueueAnswer(MsgResult::Ok);
  TestUi().QueueOpenFile(shared->File("ro.asc"));
  {
    testing_support::OrdinaryUser user;
    window->Open1Click();
  }
  EXPECT_EQ(Cell(0, 1), "read only");
  EXPECT_FALSE(window->Modified) << "loaded";

  // A 96-byte file the user may change: messages 0..2 with their sizes, the rest emptied.
  WriteFile(dir.File("short.ASC"), Record("one") + Record("") + Record(std::string(40, 'z')));
  TestUi().QueueOpenFile(dir.File("short.asc"));
  window->Open1Click();
  EXPECT_EQ(std::vector<std::string>({Cell(0, 1), Cell(0, 2), Cell(1, 2), Cell(2, 1), Cell(2, 2)}),
            std::vector<std::string>({"one", "3", "", std::string(32, 'z'), "32"}));
  EXPECT_EQ(messages.Text(3), "");
}

TEST_F(AsciiMessagesFormTest, SaveAsWritesTheChosenNameAsAsc) {
  TypeMessage(7, "seven");
  comms.ReloadWorks = false;  // reported by the reload; no dialog follows
  window->SaveAs1->trigger();
  EXPECT_TRUE(TestUi().Asked().empty());
  comms.ReloadWorks = true;
  TestUi().QueueSaveFile(dir.File("chosen.txt"));
  window->SaveAs1->trigger();
  EXPECT_FALSE(window->Modified);
  const platform::FileDialogOptions& options = TestUi().Asked().back().Options;
  EXPECT_EQ(options.Title, "Save Ascii Message File");
  EXPECT_EQ(options.DefaultExt, "asc");
  EXPECT_EQ(options.InitialDir, "/data/dir");
  EXPECT_EQ(ReadFile(dir.File("chosen.asc")).substr(7 * 32, 32), Record("seven"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("chosen.txt")));
}

TEST_F(AsciiMessagesFormTest, SendToRequestsTheChosenDestinationOnly) {
  const struct {
    int Position;
    std::vector<int> Requests;
  } cases[] = {{-1, {}}, {5, {5}}, {0, {0}}, {127, {127}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Position);
    comms.Requests.clear();
    window->ComboBox1->setCurrentIndex(c.Position);
    window->BitBtn1->click();
    EXPECT_EQ(comms.Requests, c.Requests);
  }
  window->ShowForEditing();
  EXPECT_FALSE(window->BitBtn1->isEnabled());
  EXPECT_FALSE(window->ComboBox1->isEnabled());
  window->ShowForSending();
  EXPECT_TRUE(window->BitBtn1->isEnabled() && window->ComboBox1->isEnabled());
}

}  // namespace
