#include "workspace/project_file_set.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteFile;

TEST(ProjectFileSet, ProjectFilesShareOneBaseName) {
  TempDir dir;
  ProjectFileSet start;
  EXPECT_EQ(start.ProjectPath, "temp.prj");
  EXPECT_EQ(start.ProjectDir, "");

  ProjectFileSet set(dir.File("House.prj"));
  EXPECT_EQ(set.ProjectName, "House.prj");
  EXPECT_EQ(set.ProjectDir, dir.Path().string() + "/");
  EXPECT_EQ(set.PgmSavePath(), dir.File("House.pgm"));
  EXPECT_EQ(set.TchSavePath(), dir.File("House.TCH"));
  EXPECT_EQ(set.PrjPath(), dir.File("House.prj"));
  EXPECT_EQ(set.ListingName(), "House.txt");
  // Reads look for ".PGM"/".TCH" and find the file in any case.
  EXPECT_EQ(set.PgmReadPath(), dir.File("House.PGM"));
  WriteFile(dir.File("house.pgm"), "x");
  WriteFile(dir.File("HOUSE.tch"), "x");
  EXPECT_EQ(set.PgmReadPath(), dir.File("house.pgm"));
  EXPECT_EQ(set.TchReadPath(), dir.File("HOUSE.tch"));
  // A save goes over the file a read would read, so the two never part.
  EXPECT_EQ(set.PgmSavePath(), dir.File("house.pgm"));
  WriteFile(dir.File("House.PGM"), "x");
  EXPECT_EQ(set.PgmReadPath(), dir.File("House.PGM"));
  EXPECT_EQ(set.PgmSavePath(), dir.File("House.PGM"));
  WriteFile(dir.File("House.TCH"), "x");
  EXPECT_EQ(set.TchSavePath(), dir.File("House.TCH"));
  // The project's own file is written where it was read from, whatever else lies beside it.
  WriteFile(dir.File("HOME.PRJ"), "x");
  WriteFile(dir.File("HOME.prj"), "x");
  EXPECT_EQ(ProjectFileSet(dir.File("HOME.PRJ")).PrjPath(), dir.File("HOME.PRJ"));
}

}  // namespace
