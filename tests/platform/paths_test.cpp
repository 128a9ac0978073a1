#include "platform/paths.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

namespace platform {
namespace {

TEST(Paths, JoinUsesSlash) {
  EXPECT_EQ(JoinPath("/data", "x.pgm"), "/data/x.pgm");
  EXPECT_EQ(JoinPath("/data/", "x.pgm"), "/data/x.pgm");
  EXPECT_EQ(JoinPath("/data", "\\KivraPhoneBook.INI"), "/data/KivraPhoneBook.INI");
  EXPECT_EQ(JoinPath("", "x.pgm"), "x.pgm");
}

TEST(Paths, SplittingAcceptsBothSeparators) {
  EXPECT_EQ(ExtractFileName("/home/u/proj.prj"), "proj.prj");
  EXPECT_EQ(ExtractFileName("C:\\VORMO\\proj.prj"), "proj.prj");
  EXPECT_EQ(ExtractFilePath("/home/u/proj.prj"), "/home/u/");
  EXPECT_EQ(ExtractFilePath("proj.prj"), "");
  EXPECT_EQ(ExtractFileExt("/a.b/proj"), "");
  EXPECT_EQ(ExtractFileExt("/a/proj.PGM"), ".PGM");
}

TEST(Paths, ChangeFileExtReplacesOrAppends) {
  EXPECT_EQ(ChangeFileExt("/a/proj.prj", ".pgm"), "/a/proj.pgm");
  EXPECT_EQ(ChangeFileExt("/a.d/proj", ".tch"), "/a.d/proj.tch");
  EXPECT_EQ(ChangeFileExt("/a/x.tar.gz", ".txt"), "/a/x.tar.txt");
  EXPECT_EQ(ChangeFileExt("/a/proj.prj", ""), "/a/proj");
}

TEST(Paths, ResolveFileCaseFindsTheFileWhateverItsCase) {
  testing_support::TempDir dir;
  std::ofstream(dir.File("proj.PGM")) << "x";
  EXPECT_EQ(ResolveFileCase(dir.File("proj.pgm")), dir.File("proj.PGM"));
  EXPECT_EQ(ResolveFileCase(dir.File("proj.PGM")), dir.File("proj.PGM"));
  EXPECT_EQ(ResolveFileCase(dir.File("other.pgm")), dir.File("other.pgm"));
  EXPECT_TRUE(FileExists(dir.File("proj.PGM")));
  EXPECT_FALSE(FileExists(dir.File("proj.pgm")));
  EXPECT_TRUE(DirectoryExists(dir.Path().string()));
}

}  // namespace
}  // namespace platform
