#include "workspace/project.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "program/program_files.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

class ProjectTest : public ::testing::Test {
 protected:
  ProjectTest() {
    project.Tree.Assign(project::SystemMapTree::Default());
    project.Program.Lines[1] = ProgramLine{static_cast<std::uint16_t>(FunctionIf << 10 | 5 << 5), 3, 10};
    project.Program.Comments[1] = "check the counter";
    project.Program.Lines[2] = ProgramLine::End();
  }

  // The directory's entry names in upper case, sorted.
  std::vector<std::string> UpperNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
      std::string name = entry.path().filename().string();
      for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir;
  project::NameTable names;
  workspace::Project project{names};
};

TEST_F(ProjectTest, UnsavedIsTheFlagOrAnyDifferenceFromTheLastSaveOrLoad) {
  EXPECT_TRUE(project.HasUnsavedChanges()) << "lines that were never saved";
  ASSERT_EQ(project.SaveProgram(dir.File("a.pgm")), "");
  EXPECT_FALSE(project.HasUnsavedChanges());
  project.Program.Comments[1] = "renamed";  // as the wizard changes lines: without the flag
  EXPECT_TRUE(project.HasUnsavedChanges());
  project.Program.Comments[1] = "check the counter";
  EXPECT_FALSE(project.HasUnsavedChanges()) << "changed back";
  project.Unsaved = true;
  EXPECT_TRUE(project.HasUnsavedChanges());

  fs::create_directory(dir.File("b.pgm"));  // a program file cannot replace a directory
  EXPECT_EQ(project.SaveProgram(dir.File("b.pgm")), "File Error");
  EXPECT_TRUE(project.Unsaved) << "nothing reached the disk";
  ASSERT_EQ(project.LoadProgram(dir.File("a.pgm")), "");
  EXPECT_FALSE(project.HasUnsavedChanges());
}

TEST_F(ProjectTest, SaveWritesEveryFileOverTheOneOfItsNameInAnyCaseAndOpenReadsThemBack) {
  // A project copied from a system whose names ignore case, its files in other cases.
  project.SetProjectPath(dir.File("Home.prj"));
  ASSERT_TRUE(project.Save().empty());
  fs::rename(dir.File("Home.pgm"), dir.File("HOME.PGM"));
  fs::rename(dir.File("Home.TCH"), dir.File("home.tch"));
  fs::rename(dir.File("Home.prj"), dir.File("HOME.PRJ"));

  workspace::Project opened(names);
  const workspace::Project::OpenResult result = opened.Open(dir.File("home.prj"));
  EXPECT_EQ(result.MapError + result.TouchError + result.ProgramError, "");
  EXPECT_TRUE(result.ProgramRead);
  EXPECT_EQ(opened.Files.ProjectPath, dir.File("HOME.PRJ"));
  EXPECT_EQ(opened.Program.Comments[1], "check the counter");
  EXPECT_FALSE(opened.HasUnsavedChanges());

  opened.Program.Comments[1] = "changed";
  opened.TouchTable.SetBacklightOffDelay(30);
  opened.Tree.ChangeToTessaro();
  EXPECT_TRUE(opened.MapChangedSinceSaved());
  ASSERT_TRUE(opened.Save().empty());
  EXPECT_FALSE(opened.MapChangedSinceSaved());
  EXPECT_EQ(UpperNames(), (std::vector<std::string>{"HOME.PGM", "HOME.PRJ", "HOME.TCH"}))
      << "each file is written over the one of its name, not beside it";
  ASSERT_EQ(project.Open(dir.File("HOME.PRJ")).ProgramError, "");
  EXPECT_EQ(project.Program.Comments[1], "changed");
  EXPECT_EQ(project.TouchTable.BacklightOffDelay(), 30);
  EXPECT_TRUE(project.Tree.IsTouchController());
}

TEST_F(ProjectTest, SaveGoesOnPastAFailedWriterAndReportsEachInOrder) {
  project.SetProjectPath(dir.File("broken.prj"));
  project.Unsaved = true;
  fs::create_directory(dir.File("broken.pgm"));
  fs::create_directory(dir.File("broken.TCH"));
  EXPECT_EQ(project.Save(), (std::vector<std::string>{"File Error", "File Error"}));
  EXPECT_TRUE(fs::is_regular_file(dir.File("broken.prj"))) << "the map is still written";
  EXPECT_TRUE(project.Unsaved);
}

TEST_F(ProjectTest, OpenStopsAtADamagedMapAndKeepsTheProgramWithoutAProgramFile) {
  project.SetProjectPath(dir.File("start.prj"));
  WriteFile(dir.File("bad.prj"), "Marvik\n Local\n   Deep\n");
  workspace::Project::OpenResult result = project.Open(dir.File("bad.prj"));
  EXPECT_NE(result.MapError.find("line 3"), std::string::npos) << result.MapError;
  EXPECT_EQ(project.Files.ProjectPath, dir.File("start.prj"));
  EXPECT_EQ(project.Tree.Count(), 1733);

  ASSERT_EQ(project.SaveMap(dir.File("maponly.prj")), "");
  result = project.Open(dir.File("maponly.prj"));
  EXPECT_EQ(result.MapError, "");
  EXPECT_EQ(result.TouchError, "TCH File Not Found");
  EXPECT_FALSE(result.ProgramRead);
  EXPECT_EQ(project.Program.Comments[1], "check the counter");
}

TEST_F(ProjectTest, NewProjectWritesTheDefaultMapAndEmptiesTheRestOrKeepsThemWithoutAPath) {
  project.TouchTable.SetBacklightOffDelay(30);
  project.AsciiMessages.SetText(3, "Hello");
  EXPECT_EQ(project.NewProject(dir.File("missing/house.prj")).rfind("File Error: ", 0), 0u);
  EXPECT_EQ(project.Files.ProjectPath, "");
  EXPECT_EQ(project.Tree.TextAt(0), "Marvik");
  EXPECT_EQ(names.ModuleSlotIndex[1], 1607) << "the names follow the new map";
  EXPECT_FALSE(project.Program.Lines[1].IsEmpty());
  EXPECT_EQ(project.AsciiMessages.Text(3), "Hello");

  ASSERT_EQ(project.NewProject(dir.File("house.prj")), "");
  EXPECT_EQ(ReadFile(dir.File("house.prj")).rfind("Marvik\r\n Local\r\n", 0), 0u);
  EXPECT_FALSE(project.MapChangedSinceSaved());
  EXPECT_TRUE(project.Program.Lines[1].IsEmpty());
  EXPECT_TRUE(project.Unsaved);
  EXPECT_EQ(project.TouchTable.BacklightOffDelay(), TouchScreenTable().BacklightOffDelay());
  EXPECT_EQ(project.AsciiMessages.Text(3), "");
}

}  // namespace
