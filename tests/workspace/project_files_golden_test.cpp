// Every file a project writes, byte for byte as kept in tests/data/project: the System Map (.prj), the
// program (.pgm) and the touch-screen objects (.tch) as Save Project writes them, a snippet (.snp) and the
// text listing (.txt).
// ZELTA_UPDATE_GOLDEN=1 writes the files instead, for a deliberate change of format.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "program/line_codec_fixture.h"
#include "program/program_files.h"
#include "project/touch_screen_table.h"
#include "support/temp_dir.h"
#include "workspace/project.h"

namespace {

using program_test::W0;

struct Record {
  std::uint16_t Word0, Arg, Value;
};

// Lines of every family, as the line codec's tests compose them.
const Record kLines[] = {
    {W0(FunctionIf, 0), 0x0103, 1},       {W0(FunctionAnd, 1, 3), 0x010C, 40},      {W0(FunctionIf, 1, 2), 0x010C, 5},   
    {W0(FunctionOr, 18, 4), 0x1234, 9},   {W0(FunctionIf, 3, 1), 0x0600, 150},  {W0(FunctionIf, 5, 0), 0x0007, 12},
    {W0(FunctionThen, 0), 0x010A, 1},     {W0(FunctionThen, 1), 0x0103, 0},     {W0(FunctionThen, 20), 0x0000, 3},
    {W0(FunctionThen, 3), 0x2214, 0},     {W0(FunctionElse, 3, 6), 0x0212, 4},  {W0(FunctionThen, 24), 0x0000, 0},
};

class ProjectFilesGolden : public program_test::LineCodecTest {
 protected:
  ProjectFilesGolden() : LineCodecTest(true) {
    tree.Rename(tree.LastLocalIndex() + 1, "K\xFC" "che \xE9tage");
    project::RefreshNameTable(tree, names);
    int line = 1;
    for (int round = 0; round < 10; ++round)
      for (const auto& r : kLines) {
        Put(line, r.Word0, r.Arg, r.Value);
        store.Comments[line] = line % 3 ? "Comment \xE9 " + std::to_string(line) : "";
        ++line;
      }
    store.Lines[line] = ProgramLine::End();
    store.CurrentLine = 1;
    project.Program = store;
    project.Tree.Assign(std::move(tree));

    TouchScreenTable& touch = project.TouchTable;
    touch.SetBacklightOffDelay(30);
    touch.SetBeepOnTouch(1);
    touch.SetObject(1, {TouchButton, 0, 1, 1, 8, 16, 96, 40, 3, 1, 0, 0, "Lights \xE9"});
    touch.SetObject(2, {TouchText, 12, 1, 2, 112, 16, 80, 24, 0, 2, 0, 0, "Temp"});
    touch.SetObject(3, {TouchStatusLight, 0, 2, 3, 8, 64, 16, 16, 0, 1, 4, 7, ""});
  }

  // The listing as the editor writes it: each line's rendered text and its comment.
  std::vector<std::string> Listing() {
    ProgramStore& program = project.Program;
    program::LineCodec renderer(program, names);
    std::vector<std::string> texts(ProgramStore::kLastLine + 1), comments(ProgramStore::kLastLine + 1);
    for (int n = 1; n <= ProgramStore::kLastLine; ++n) {
      texts[n] = renderer.RenderLine(n).value_or("");
      comments[n] = program.Comments[n];
    }
    return ListingLines(program, texts, comments);
  }

  workspace::Project project{names};
  testing_support::TempDir dir;
};

TEST_F(ProjectFilesGolden, EveryProjectFileIsWrittenAsKept) {
  const std::vector<std::string> listing = Listing();
  EXPECT_TRUE(Ui().Messages().empty()) << "every line renders without a warning: " << (Ui().Messages().empty() ? "" : Ui().Messages()[0]);
  const std::string base = dir.File("golden");
  project.SetProjectPath(base + ".prj");
  ASSERT_EQ(project.Save(), std::vector<std::string>{});
  ASSERT_EQ(SaveSnippetFile(project.Program, base + ".snp", 5, 20), "");
  ASSERT_EQ(WriteListingFile(base + ".txt", listing), "");

  const std::string kept = std::string(ZELTA_TEST_DATA_DIR) + "/project/golden";
  const bool update = std::getenv("ZELTA_UPDATE_GOLDEN") != nullptr;
  for (const char* ext : {".prj", ".pgm", ".TCH", ".snp", ".txt"}) {
    SCOPED_TRACE(ext);
    const std::string written = testing_support::ReadFile(base + ext);
    ASSERT_FALSE(written.empty());
    if (update) {
      testing_support::WriteFile(kept + ext, written);
      continue;
    }
    EXPECT_TRUE(written == testing_support::ReadFile(kept + ext)) << "differs from " << kept << ext;
  }
}

}  // namespace
