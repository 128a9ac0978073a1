#include "platform/paths.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/atomic_file.h"
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

// "Küche é" as program text (Latin-1) and as the file system stores it (UTF-8).
const std::string kLatin1Name = "K\374che \351";
const std::filesystem::path kDiskName = "K\303\274che \303\251";

TEST(Paths, NamesOutsideAsciiReachTheDiskInItsEncoding) {
  testing_support::TempDir dir;
  std::filesystem::create_directory(dir.Path() / kDiskName);
  const std::string folder = JoinPath(dir.Path().string(), kLatin1Name);
  const std::string file = JoinPath(folder, kLatin1Name + ".pgm");

  EXPECT_TRUE(DirectoryExists(folder));
  ASSERT_EQ(WriteFileAtomically(file, "bytes"), "");
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.Path() / kDiskName / (kDiskName.string() + ".pgm")));
  EXPECT_TRUE(FileExists(file));
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(file, bytes));
  EXPECT_TRUE(ReadFileForUpdate(file, 3, bytes));
  EXPECT_EQ(ResolveFileCase(JoinPath(folder, "K\374CHE \351.PGM")), file) << "the listing is read back as text";

  const std::string previous = CurrentDir();
  ASSERT_EQ(::chdir((dir.Path() / kDiskName).c_str()), 0);
  const std::string inside = CurrentDir();
  ASSERT_EQ(::chdir(previous.c_str()), 0);
  EXPECT_EQ(inside, folder);
}

TEST(Paths, NamesConvertBothWays) {
  EXPECT_EQ(NativePath(kLatin1Name), kDiskName.string());
  EXPECT_EQ(InternalPath(kDiskName.string()), kLatin1Name);
  EXPECT_EQ(InternalPath("\xce\xa9.pgm"), std::nullopt) << "Greek capital omega";
  EXPECT_EQ(InternalPath("\xfc.pgm"), std::nullopt) << "not a name in the file system's encoding";
}

}  // namespace
}  // namespace platform
