// The editor's file commands: program and snippet files, the text listing, and the project commands with
// their three files, driven through the menus with the scripted dialogs.
#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "editor_test_fixture.h"
#include "gui/project/ascii_messages_form.h"
#include "gui/project/touch_screen_form.h"
#include "gui/qt_ui.h"
#include "platform/atomic_file.h"
#include "program/program_files.h"
#include "support/user_input.h"

namespace editor_test {
namespace {

using testing_support::ReadFile;

using platform::MsgResult;
namespace fs = std::filesystem;

const testing_support::AskedEntry* LastDialog(const std::string& title) {
  const auto& asked = testing_support::TestUi().Asked();
  for (auto it = asked.rbegin(); it != asked.rend(); ++it)
    if (it->Caption == title && (it->What == testing_support::AskedEntry::Kind::OpenFile ||
                                 it->What == testing_support::AskedEntry::Kind::SaveFile))
      return &*it;
  return nullptr;
}

TEST_F(EditorTest, SaveProgramAsAndOpenProgramRoundTripTheProgram) {
  LoadSmallProgram();
  project.Unsaved = true;
  Store().Modified = true;
  const std::string path = dir.File("lights.pgm");
  Ui().QueueSaveFile(path);
  editor->SaveProgramAs1->trigger();
  const auto* dialog = LastDialog("Save Program File");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->Options.Filter, "Program files (*.pgm)|*.PGM");
  EXPECT_EQ(dialog->Options.DefaultExt, "pgm");
  EXPECT_EQ(dialog->Options.InitialDir, comms.Directory);
  EXPECT_EQ(dialog->Options.FileName, "Untitled");
  EXPECT_EQ(comms.Reads, 1) << "the settings are read before the dialog";
  EXPECT_EQ(ReadFile(path).size(), kProgramFileBytes);
  EXPECT_FALSE(project.Unsaved);
  EXPECT_FALSE(Store().Modified);
  EXPECT_EQ(Store().FileName, "Untitled") << "saving a program does not rename it";

  editor->NewProgram1->trigger();
  EXPECT_TRUE(Store().Lines[1].IsEmpty());
  // Unsaved work: the question first; Cancel stops before any dialog.
  Ui().QueueAnswer(MsgResult::Cancel);
  editor->OpenProgram1->trigger();
  EXPECT_EQ(Ui().Asked().back().Text, "Program has changed and not saved, Still Open?");
  EXPECT_EQ(LastDialog("Open Program File"), nullptr);

  // Past the question a cancelled dialog leaves the work still guarded.
  Ui().QueueAnswer(MsgResult::Ok);
  Ui().QueueOpenFile(std::nullopt);
  editor->OpenProgram1->trigger();
  EXPECT_TRUE(project.Unsaved);
  Ui().QueueAnswer(MsgResult::Ok);
  Ui().QueueOpenFile(path);
  editor->OpenProgram1->trigger();
  dialog = LastDialog("Open Program File");
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->Options.MustExist);
  EXPECT_EQ(dialog->Options.Filter, "Program files (*.pgm)|*.PGM");
  EXPECT_FALSE(project.Unsaved);
  EXPECT_EQ(Text(5), "End Program");
  EXPECT_EQ(Store().Lines[2].Value, 3);
  EXPECT_EQ(Store().Comments[1], "check the counter");
  EXPECT_EQ(Store().Comments[4], " ") << "empty comments are saved as one blank";
  EXPECT_EQ(Ui().Messages().size(), 3u) << "only the three questions";
}

TEST_F(EditorTest, OpeningAFileReplacesEveryLineAndGathersItsRangeWarnings) {
  // Not one of ours: line 1 has a Function with no text, the bad lines hold point 20 of a module.
  const std::vector<std::pair<std::vector<int>, std::string>> cases = {
      {{9}, "Warning-Entry out of limits, line# 9"},
      {{2, 3, 4096}, "Warning-Entry out of limits, line# 2 (and 2 more lines)"}};
  for (const auto& [badLines, warning] : cases) {
    LoadSmallProgram();
    auto file = std::make_unique<ProgramStore>();
    file->Lines[1] = ProgramLine{7 << 10, 1, 2};
    for (int n : badLines) file->Lines[n] = ProgramLine{FunctionIf << 10 | 2, 0x0114, 1};
    ASSERT_EQ(SavePGMFile(*file, dir.File("other.pgm")), "");
    Ui().Clear();
    Ui().QueueAnswer(MsgResult::Ok);
    Ui().QueueOpenFile(dir.File("other.pgm"));
    editor->OpenProgram1->trigger();
    EXPECT_EQ(Text(1), "") << "nothing left of the program before";
    EXPECT_EQ(CommentCell(3), " ");
    EXPECT_EQ(Ui().Messages().back(), warning);
    EXPECT_EQ(Ui().Messages().size(), 2u) << "the open question and one warning";
  }
}

TEST_F(EditorTest, OpenProgramReportsAMissingFileAndStopsOnAFailedSettingsRead) {
  Ui().QueueOpenFile(dir.File("none.txt"));
  editor->OpenProgram1->trigger();
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"PGM File Not Found"});

  comms.ReadSucceeds = false;
  Ui().Clear();
  editor->OpenProgram1->trigger();
  editor->SaveProgramAs1->trigger();
  editor->LoadCodeSnippet1->trigger();
  EXPECT_TRUE(Ui().Asked().empty()) << "no dialog after a failed settings read";
}

TEST_F(EditorTest, ASnippetIsSavedFromTheMarkedBlockAndInsertedAtTheCursor) {
  LoadSmallProgram();
  editor->SelectBlock(2, 3);
  const std::string path = dir.File("block.snp");
  Ui().QueueSaveFile(path);
  editor->SaveCodeSnippet1->trigger();
  const auto* dialog = LastDialog("Save Code Snippet");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->Options.Filter, "Snippet files (*.snp)|*.SNP");
  EXPECT_EQ(dialog->Options.FileName, "Untitled");
  EXPECT_EQ(ReadFile(path).size(), 2 * kFileRecordBytes);
  EXPECT_EQ(Store().FileName, path) << "the snippet's name goes into the print header";
  EXPECT_FALSE(project.Unsaved);

  editor->SetCurrentRow(1);
  Ui().QueueOpenFile(path);
  editor->LoadCodeSnippet1->trigger();
  EXPECT_EQ(LastDialog("Load Snippet File")->Options.Filter, "Snippet files (*.snp)|*.SNP");
  EXPECT_EQ(Ui().Beeps(), 2) << "one beep per record";
  EXPECT_EQ(Text(1).rfind("    THEN", 0), 0u);
  EXPECT_EQ(Store().Lines[1].Value, 3) << "inserted lines keep their own Skip To distances";
  EXPECT_EQ(Store().Comments[2], "reset");
  EXPECT_EQ(Text(7), "End Program");
  EXPECT_EQ(editor->CurrentRow(), 3);
  EXPECT_TRUE(project.Unsaved);

  Ui().QueueOpenFile(dir.File("missing.snp"));
  editor->LoadCodeSnippet1->trigger();
  EXPECT_EQ(Ui().Messages().back(), "File Open Error");
}

TEST_F(EditorTest, PrintToFileWritesTheListingByteForByte) {
  LoadSmallProgram();
  const std::string path = dir.File("listing.txt");
  Ui().QueueSaveFile(path);
  editor->PrintToFile1->trigger();
  const auto* dialog = LastDialog("Print to File");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->Options.Filter, "Program files (*.txt)|*.TXT");
  EXPECT_EQ(dialog->Options.DefaultExt, "txt");
  EXPECT_EQ(dialog->Options.FileName, "temp.txt");
  EXPECT_EQ(dialog->Options.InitialDir, "");

  std::size_t widest = 1;
  for (int n = 1; n <= 5; ++n) widest = std::max(widest, Text(n).size());
  std::string expected;
  for (int n = 1; n <= 5; ++n) {
    char head[16];
    std::snprintf(head, sizeof head, " %04d - ", n);
    std::string line = head + Text(n);
    line.resize(std::max(line.size(), widest + 10), ' ');
    expected += line + " // " + CommentCell(n) + "\r\n";
  }
  EXPECT_EQ(ReadFile(path), expected);
  EXPECT_NE(expected.find(" 0005 - End Program"), std::string::npos);
}

TEST_F(EditorTest, NewProjectAsksBeforeReplacingAnExistingProject) {
  LoadSmallProgram();
  const std::string existing = dir.File("old.prj");
  { std::ofstream(existing) << "Marvik\r\n"; }
  Ui().QueueAnswer(MsgResult::Ok);
  Ui().QueueOpenFile(existing);
  Ui().QueueAnswer(MsgResult::No);
  editor->NewProject1->trigger();
  ASSERT_GE(Ui().Asked().size(), 3u);
  EXPECT_EQ(Ui().Asked()[0].Text, "This will clear your program areas... are you sure?");
  EXPECT_EQ(Ui().Asked()[0].Caption, "New Project");
  const auto* dialog = LastDialog("New Project File");
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(dialog->Options.MustExist);
  EXPECT_EQ(dialog->Options.DefaultExt, "prj");
  EXPECT_EQ(dialog->Options.Filter, "Project files (*.prj)|*.PRJ");
  EXPECT_EQ(Ui().Asked()[2].Caption, "New Project File");
  EXPECT_EQ(Ui().Asked()[2].Text, existing + " already exists.\nDo you want to replace it?");
  EXPECT_EQ(ReadFile(existing), "Marvik\r\n") << "kept after No";
  EXPECT_EQ(project.Files.ProjectPath, "temp.prj");
  EXPECT_FALSE(Store().Lines[1].IsEmpty());

  const std::string fresh = dir.File("house.prj");
  Ui().QueueAnswer(MsgResult::Ok);
  Ui().QueueOpenFile(fresh);
  editor->NewProject1->trigger();
  EXPECT_EQ(project.Files.ProjectPath, fresh);
  EXPECT_EQ(project.Files.ProjectName, "house.prj");
  EXPECT_TRUE(platform::FileExists(fresh)) << "the default tree is written at once";
  EXPECT_TRUE(Store().Lines[1].IsEmpty());
  EXPECT_EQ(Text(1), " ");
  EXPECT_EQ(editor->StatusBar1->currentMessage().toStdString(), "Project: " + fresh);
  EXPECT_TRUE(editor->SaveProject1->isEnabled());
}

TEST_F(EditorTest, NewProjectThatCannotBeWrittenKeepsTheProgramAndOffersNoSave) {
  LoadSmallProgram();
  Ui().QueueAnswer(MsgResult::Ok);
  Ui().QueueOpenFile(dir.File("no-such-folder/house.prj"));
  editor->NewProject1->trigger();
  ASSERT_FALSE(Ui().Messages().empty());
  EXPECT_EQ(Ui().Messages().back().rfind("File Error", 0), 0u) << Ui().Messages().back();
  EXPECT_EQ(project.Files.ProjectPath, "") << "no path that was not written";
  EXPECT_FALSE(Store().Lines[1].IsEmpty()) << "the program is kept";
  EXPECT_FALSE(editor->SaveProject1->isEnabled());
  EXPECT_EQ(editor->StatusBar1->currentMessage().toStdString(), "Project: ");
}

TEST_F(EditorTest, SaveProjectWritesThreeFilesThatOpenProjectReadsBackWhateverTheirCase) {
  LoadSmallProgram();
  sysConfig->Tessaro1Click();
  TouchObject button;
  button.Type = TouchButton;
  button.Page = 1;
  button.Width = 40;
  button.Height = 20;
  button.Text = "Lamp";
  project.TouchTable.SetObject(1, button);

  const std::string path = dir.File("Home.prj");
  Ui().QueueSaveFile(path);
  editor->SaveProjectAs1->trigger();
  const auto* dialog = LastDialog("Save Project File As");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->Options.FileName, "");
  EXPECT_EQ(dialog->Options.InitialDir, comms.Directory);
  EXPECT_EQ(Ui().Beeps(), 1);
  EXPECT_TRUE(Ui().Messages().empty());
  EXPECT_EQ(ReadFile(dir.File("Home.pgm")).size(), kProgramFileBytes);
  EXPECT_EQ(ReadFile(platform::ResolveFileCase(dir.File("Home.tch"))).size(), TouchScreenTable::kBytes);
  EXPECT_EQ(ReadFile(path).rfind("Tessaro\r\n", 0), 0u);
  EXPECT_FALSE(project.Unsaved);
  EXPECT_EQ(editor->StatusBar1->currentMessage().toStdString(), "Project: " + path);

  // The files come back under other cases of their names.
  fs::rename(dir.File("Home.pgm"), dir.File("HOME.PGM"));
  fs::rename(platform::ResolveFileCase(dir.File("Home.tch")), dir.File("home.tch"));
  fs::rename(path, dir.File("HOME.PRJ"));

  editor->NewProgram1->trigger();
  project.TouchTable.ClearAllObjects();
  Ui().QueueAnswer(MsgResult::Ok);
  Ui().QueueOpenFile(dir.File("home.prj"));
  editor->OpenProject1->trigger();
  EXPECT_EQ(LastDialog("Open Project File")->Options.MustExist, true);
  EXPECT_TRUE(Ui().Messages().size() == 1) << Ui().Messages().back();
  EXPECT_EQ(project.Files.ProjectPath, dir.File("HOME.PRJ"));
  EXPECT_TRUE(sysConfig->IsTouchController());
  EXPECT_EQ(project.TouchTable.Object(1).Text, "Lamp");
  EXPECT_EQ(Text(5), "End Program");
  EXPECT_EQ(Store().Comments[3], "reset");
  EXPECT_FALSE(project.Unsaved);
  EXPECT_TRUE(editor->SaveProject1->isEnabled());
}

TEST_F(EditorTest, OpenProjectWithoutAProgramFileKeepsTheProgram) {
  LoadSmallProgram();
  const std::string path = dir.File("maponly.prj");
  ASSERT_EQ(sysConfig->SaveProject(path), "");
  Ui().QueueAnswer(MsgResult::Ok);
  Ui().QueueOpenFile(path);
  editor->OpenProject1->trigger();
  EXPECT_EQ(project.Files.ProjectPath, path);
  EXPECT_EQ(Ui().Messages().back(), "TCH File Not Found");
  EXPECT_EQ(Text(5), "End Program");
}

// Open Program re-renders as every load does and shows the wizard on the current line; a project opened
// leaves the wizard hidden, its program read or not.
TEST_F(EditorTest, OpenProjectLeavesTheWizardHidden) {
  LoadSmallProgram();
  Ui().QueueSaveFile(dir.File("house.prj"));
  editor->SaveProjectAs1->trigger();
  const struct {
    QAction* Command;
    std::string File;
    bool Shown;
  } cases[] = {{editor->OpenProgram1, dir.File("house.pgm"), true},
               {editor->OpenProject1, dir.File("house.prj"), false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Command->text().toStdString());
    wizard.Visible = !c.Shown;
    if (c.Command == editor->OpenProject1) Ui().QueueAnswer(MsgResult::Ok);
    Ui().QueueOpenFile(c.File);
    c.Command->trigger();
    EXPECT_EQ(wizard.Visible, c.Shown);
  }
}

TEST_F(EditorTest, SaveProjectReportsAFailedWriterInsteadOfBeeping) {
  LoadSmallProgram();
  const std::string path = dir.File("broken.prj");
  project.Unsaved = true;
  fs::create_directory(dir.File("broken.pgm"));  // the program file cannot replace a directory
  Ui().QueueSaveFile(path);
  editor->SaveProjectAs1->trigger();
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"File Error"});
  EXPECT_EQ(Ui().Beeps(), 0);
  EXPECT_TRUE(platform::FileExists(path)) << "the other writers still ran";
  EXPECT_TRUE(project.Unsaved);
}

// Each file in `folder` with its bytes.
std::map<std::string, std::string> Files(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder))
    files[entry.path().filename().string()] = ReadFile(entry.path().string());
  return files;
}

std::string ReplaceQuestion(const std::vector<std::string>& paths) {
  std::string names;
  for (const std::string& path : paths) names += (names.empty() ? "" : "\n") + path;
  return paths.size() == 1 ? names + " already exists.\nDo you want to replace it?"
                           : names + "\nalready exist.\nDo you want to replace them?";
}

TEST_F(EditorTest, SaveAsAsksOnceAboutTheExistingFilesItWritesAndNoWritesNothing) {
  LoadSmallProgram();
  TAsciiMessages ascii(project.AsciiMessages, [] { return std::string(); });
  ascii.SetCommsLink(&comms);
  TTouchScreenForm designer(project);
  designer.SetCommsLink(&comms);
  const std::vector<std::string> projectFiles = {"home.pgm", "home.TCH", "home.prj"};
  const struct {
    std::function<void()> Command;
    const char* DefaultExt;  // what the dialog adds to a name typed without an extension
    std::vector<std::string> Existing;
    const char* Typed;  // nullptr: no dialog
    std::vector<std::string> Writes;
    bool OpenProject = false;  // the existing files are the project's own
  } cases[] = {
      {[&] { editor->SaveProgramAs1->trigger(); }, "pgm", {"prog.pgm"}, "prog", {"prog.pgm"}},
      {[&] { editor->SaveProgramAs1->trigger(); }, "pgm", {"prog.PGM"}, "prog.PGM", {"prog.PGM"}},
      {[&] { editor->SaveProgramAs1->trigger(); }, "pgm", {}, "prog", {"prog.pgm"}},
      {[&] { editor->SaveCodeSnippet1->trigger(); }, "snp", {"block.snp"}, "block", {"block.snp"}},
      {[&] { editor->PrintToFile1->trigger(); }, "txt", {"list.txt"}, "list.txt", {"list.txt"}},
      {[&] { editor->SaveProjectAs1->trigger(); }, "prj", {"home.pgm"}, "home", projectFiles},
      {[&] { editor->SaveProjectAs1->trigger(); }, "prj", {"home.TCH"}, "home.prj", projectFiles},
      {[&] { editor->SaveProjectAs1->trigger(); },
       "prj",
       {"home.PGM", "home.tch", "home.prj"},
       "home",
       {"home.PGM", "home.tch", "home.prj"}},
      {[&] { editor->SaveProjectAs1->trigger(); }, "prj", {}, "home", projectFiles},
      {[&] { editor->SaveProjectAs1->trigger(); }, "prj", projectFiles, "home", projectFiles, true},
      {[&] { editor->SaveProject1Click(); }, "", projectFiles, nullptr, projectFiles, true},
      {[&] { ascii.SaveAs1->trigger(); }, "asc", {"house.asc"}, "house", {"house.asc"}},
      {[&] { ascii.SaveAs1->trigger(); }, "asc", {"house.asc"}, "house.txt", {"house.asc"}},
      {[&] { designer.SaveAs1->trigger(); }, "tch", {"page1.TCH"}, "page1", {"page1.TCH"}},
      {[&] { designer.SaveAs1->trigger(); }, "tch", {"page1.TCH"}, "page1.TCH", {"page1.TCH"}},
      {[&] { designer.SaveAs1->trigger(); }, "tch", {}, "page1", {"page1.TCH"}},
  };
  int row = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE("row " + std::to_string(row));
    const fs::path folder = dir.Path() / std::to_string(row++);
    fs::create_directory(folder);
    for (const std::string& name : c.Existing) testing_support::WriteFile((folder / name).string(), "old");
    project.SetProjectPath(c.OpenProject ? (folder / "home.prj").string() : "temp.prj");
    const std::string projectPath = project.Files.ProjectPath;
    std::string chosen;
    if (c.Typed) {
      chosen = (folder / c.Typed).string();
      if (platform::ExtractFileExt(chosen).empty()) chosen += std::string(".") + c.DefaultExt;
    }
    std::vector<std::string> replaced;
    for (const std::string& name : c.Writes)
      if (!c.OpenProject && std::count(c.Existing.begin(), c.Existing.end(), name))
        replaced.push_back((folder / name).string());
    const std::vector<std::string> asked =
        replaced.empty() ? std::vector<std::string>() : std::vector<std::string>{ReplaceQuestion(replaced)};

    if (!replaced.empty()) {
      const auto before = Files(folder);
      Ui().Clear();
      Ui().QueueSaveFile(chosen);
      Ui().QueueAnswer(MsgResult::No);
      c.Command();
      EXPECT_EQ(Ui().Messages(), asked);
      EXPECT_TRUE(Files(folder) == before) << "No writes nothing";
      EXPECT_EQ(project.Files.ProjectPath, projectPath);
    }
    Ui().Clear();
    if (c.Typed) Ui().QueueSaveFile(chosen);
    if (!replaced.empty()) Ui().QueueAnswer(MsgResult::Yes);
    c.Command();
    EXPECT_EQ(Ui().Messages(), asked);
    EXPECT_TRUE(Ui().AllAnswersUsed());
    const auto after = Files(folder);
    std::vector<std::string> names;
    for (const auto& [name, bytes] : after) {
      names.push_back(name);
      EXPECT_NE(bytes, "old") << name << " is written";
    }
    std::vector<std::string> written = c.Writes;
    std::sort(written.begin(), written.end());
    EXPECT_EQ(names, written) << "exactly the files named";
  }
}

// Files New Project names, or an open could not read: asked about once; No keeps them and the program.
TEST_F(EditorTest, ProjectFilesTheEditorNeverReadAreReplacedOnlyOnceTheUserSaidSo) {
  auto shared = testing_support::TempDirOthersReach();
  if (!shared) GTEST_SKIP() << "no temporary folder another user can reach";
  const struct {
    bool Open;  // Open Project of Chosen (a map), else New Project "house.prj"
    std::vector<std::pair<const char*, int>> Existing;  // names and modes
    std::vector<std::string> Asked;
    const char* Chosen = "house.prj";
  } cases[] = {{false, {{"house.pgm", 0644}}, {"house.pgm"}},
               {false, {{"house.TCH", 0644}, {"house.prj", 0644}}, {"house.TCH", "house.prj"}},
               {false, {}, {}},
               {true, {{"house.prj", 0644}, {"house.PGM", 0}}, {"house.PGM"}},
               {true, {{"house.prj", 0644}, {"house.TCH", 0}}, {"house.TCH"}},
               {true, {{"house.prj", 0644}, {"house.TCH", 0644}}, {}},
               {true, {{"house.prj", 0644}}, {"house.prj"}, "house.bak"}};  // a map kept under another name
  for (std::size_t row = 0; row < std::size(cases); ++row) {
    const auto& c = cases[row];
    SCOPED_TRACE("row " + std::to_string(row));
    const fs::path folder = shared->Path() / std::to_string(row);
    fs::create_directory(folder);
    fs::permissions(folder, static_cast<fs::perms>(0755));
    for (const auto& [name, mode] : c.Existing) testing_support::WriteFile((folder / name).string(), "old");
    ASSERT_TRUE(!c.Open || sysConfig->SaveProject((folder / c.Chosen).string()).empty());
    std::vector<std::string> asked;
    for (const std::string& name : c.Asked) asked.push_back((folder / name).string());
    if (!asked.empty()) asked = {ReplaceQuestion(asked)};
    for (int pass = asked.empty() ? 1 : 0; pass < 3; ++pass) {  // No, Yes, then a save that asks nothing
      LoadSmallProgram();
      const auto before = Files(folder);
      Ui().Clear();
      if (pass < 2) {
        Ui().QueueAnswer(MsgResult::Ok);
        Ui().QueueOpenFile((folder / c.Chosen).string());
        if (!asked.empty()) Ui().QueueAnswer(pass == 0 ? MsgResult::No : MsgResult::Yes);
        // Unreadable for the open alone: the test reads every file, and only root reads a file of mode 0.
        for (const auto& [name, mode] : c.Existing) fs::permissions(folder / name, static_cast<fs::perms>(mode));
        {
          std::optional<testing_support::OrdinaryUser> user;
          if (c.Open) user.emplace();  // as a user the unreadable file shuts out
          (c.Open ? editor->OpenProject1 : editor->NewProject1)->trigger();
        }
        for (const auto& [name, mode] : c.Existing) fs::permissions(folder / name, static_cast<fs::perms>(0644));
      }
      if (c.Open || pass > 0) editor->SaveProject1Click();
      std::vector<std::string> questions;
      for (const auto& entry : Ui().Asked())
        if (entry.Buttons == platform::MsgButtons::YesNo) questions.push_back(entry.Text);
      EXPECT_EQ(questions, pass < 2 ? asked : std::vector<std::string>{});
      const auto after = Files(folder);
      EXPECT_TRUE(pass > 0 || after == before) << "No writes nothing";
      EXPECT_TRUE(pass > 0 || Text(5) == "End Program") << "and keeps the program";
      if (pass == 0) continue;
      EXPECT_EQ(after.size(), std::string(c.Chosen) == "house.prj" ? 3u : 4u) << "the three, and the map read";
      for (const auto& [name, bytes] : after) EXPECT_NE(bytes, "old") << name;
    }
  }
}

// The start-up project reads none of its files: a program and touch objects an earlier session left under its
// name are asked about before a save to it replaces them.
TEST_F(EditorTest, SaveProjectAsOntoTheStartUpProjectAsksAboutTheFilesItNeverRead) {
  for (const char* name : {"temp.pgm", "temp.TCH"}) testing_support::WriteFile(dir.File(name), "old");
  sysConfig = std::make_unique<TSysConfig>(project);
  SysConfig = sysConfig.get();
  LoadSmallProgram();
  for (const MsgResult answer : {MsgResult::No, MsgResult::Yes}) {
    Ui().Clear();
    Ui().QueueSaveFile(dir.File("temp.prj"));
    Ui().QueueAnswer(answer);
    editor->SaveProjectAs1->trigger();
    EXPECT_EQ(Ui().Messages(), std::vector<std::string>{ReplaceQuestion({"temp.pgm", "temp.TCH"})});
    EXPECT_EQ(ReadFile(dir.File("temp.pgm")) == "old", answer == MsgResult::No);
    EXPECT_EQ(ReadFile(dir.File("temp.TCH")) == "old", answer == MsgResult::No);
  }
  Ui().Clear();
  editor->SaveProject1Click();
  EXPECT_TRUE(Ui().Messages().empty()) << "the files are the project's own once it wrote them";
}

// The file dialog asks nothing itself: the one question is the save's, about the name it writes.
TEST_F(EditorTest, TheSaveDialogLeavesTheQuestionToTheSave) {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(dir.Path().string()));
  testing_support::WriteFile(dir.File("prog.pgm"), "old");
  platform::QtUi qt;
  platform::UiSeam* scripted = platform::SetUi(&qt);
  std::vector<std::string> boxes;
  bool typed = false;
  const QDeadlineTimer deadline(20000);
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      boxes.push_back(box->text().toStdString());
      EXPECT_TRUE(testing_support::SaveShot(box->grab().toImage(), "zelta-replace-question.png"));
      box->button(QMessageBox::No)->click();
    } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      // Typed once without its extension; shown again, the dialog is cancelled.
      if (typed || deadline.hasExpired()) {
        dialog->reject();
        return;
      }
      typed = true;
      dialog->findChild<QLineEdit*>("fileNameEdit")->setText("prog");
      QTimer::singleShot(0, dialog, &QDialog::accept);
    }
  });
  poll.start(20);
  editor->SaveProgramAs1->trigger();
  platform::SetUi(scripted);
  EXPECT_EQ(boxes, std::vector<std::string>{ReplaceQuestion({dir.File("prog.pgm")})});
  EXPECT_EQ(ReadFile(dir.File("prog.pgm")), "old");
}

// A command that writes the program out takes the comment as the cell shows it, ending its edit: an Escape
// after it has nothing left to give back, so the file, the program and the cell never hold different texts.
TEST_F(EditorTest, ASaveEndsTheCommentsEditItWrites) {
  const auto program = [&](const char* name) {
    return [&, name] {
      auto file = std::make_unique<ProgramStore>();
      EXPECT_EQ(LoadPGMFile(*file, dir.File(name)), "");
      return file->Comments[3];
    };
  };
  const auto save = [&](QAction* action, const char* name) {
    return [&, action, name] {
      Ui().QueueSaveFile(dir.File(name));
      action->trigger();
    };
  };
  const struct {
    const char* Command;
    std::function<void()> Run;
    std::function<std::string()> Written;  // line 3's comment as the file holds it; none for the printer
  } cases[] = {
      {"Save Project",
       [&] {
         project.SetProjectPath(dir.File("house.prj"));
         editor->SaveProject1Click();
       },
       program("house.pgm")},
      {"Save Program As", save(editor->SaveProgramAs1, "prog.pgm"), program("prog.pgm")},
      {"Save Project As", save(editor->SaveProjectAs1, "other.prj"), program("other.pgm")},
      {"Save Code Snippet", save(editor->SaveCodeSnippet1, "block.snp"),
       [&] {
         std::vector<ProgramLine> lines;
         std::vector<std::string> comments;
         EXPECT_EQ(ReadSnippetFile(dir.File("block.snp"), lines, comments), "");
         return comments.empty() ? std::string() : comments[0];
       }},
      {"Print to File", save(editor->PrintToFile1, "list.txt"),
       [&] {
         const std::string listing = ReadFile(dir.File("list.txt"));
         const std::size_t line3 = listing.find(" 0003 - "), end = listing.find("\r\n", line3);
         const std::size_t comment = listing.rfind(" // ", end) + 4;
         return listing.substr(comment, end - comment);
       }},
      {"Print",
       [&] {
         Ui().QueuePrintToPdf(dir.File("listing.pdf"));
         editor->Print1->trigger();
       },
       nullptr},
  };
  editor->show();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Command);
    LoadSmallProgram();
    editor->SetCurrentCell(3, program::ListingModel::ColumnComment);
    editor->StringGrid1->setFocus();
    testing_support::TypeInCell(editor->StringGrid1, "OOPS");
    c.Run();
    testing_support::KeyInWindow(editor.get(), Qt::Key_Escape);
    if (c.Written) {
      EXPECT_EQ(c.Written(), "OOPS");
    }
    EXPECT_EQ(Store().Comments[3], "OOPS");
    EXPECT_EQ(CommentCell(3), "OOPS");
  }
  editor->hide();
}

TEST_F(EditorTest, CancellingSaveProjectAsStillShowsTheProjectPath) {
  Ui().QueueSaveFile(std::nullopt);
  editor->SaveProjectAs1->trigger();
  EXPECT_EQ(editor->StatusBar1->currentMessage().toStdString(), "Project: temp.prj");
  EXPECT_FALSE(editor->SaveProject1->isEnabled());
  EXPECT_EQ(Ui().Beeps(), 0);
}

}  // namespace
}  // namespace editor_test
