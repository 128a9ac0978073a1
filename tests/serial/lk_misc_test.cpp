#include "serial/lk_misc.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/temp_dir.h"

namespace serial {
namespace {

TEST(LkMisc, PathParts) {
  EXPECT_EQ(JustPathnameZ("C:\\DATA\\FILE.TXT"), "C:\\DATA");
  EXPECT_EQ(JustPathnameZ("C:\\FILE.TXT"), "C:\\");
  EXPECT_EQ(JustPathnameZ("C:FILE.TXT"), "C:");
  EXPECT_EQ(JustPathnameZ("FILE.TXT"), "");
  EXPECT_EQ(JustPathnameZ("\\FILE.TXT"), "\\");
  EXPECT_EQ(JustPathnameZ("/home/user/data/x.pgm"), "/home/user/data");
  EXPECT_EQ(JustFilenameZ("C:\\DATA\\FILE.TXT"), "FILE.TXT");
  EXPECT_EQ(JustFilenameZ("/a/b.c"), "b.c");
  EXPECT_EQ(JustExtensionZ("PORT.CONFIG"), "CON");
  EXPECT_EQ(JustExtensionZ("PORT"), "");
  EXPECT_EQ(JustExtensionZ("DIR.X/PORT"), "") << "a dot in the directory is no extension";
  EXPECT_EQ(JustName("C:\\DATA\\FILE.TAR.GZ"), "FILE");
  EXPECT_EQ(ForceExtensionZ("data/x.pgm", "PGM"), "data/x.PGM");
  EXPECT_EQ(ForceExtensionZ("data.d/x", "ir"), "data.d/x.ir");
  EXPECT_EQ(DefaultExtensionZ("x", "lir"), "x.lir");
  EXPECT_EQ(DefaultExtensionZ("x.ir", "lir"), "x.ir");
  EXPECT_EQ(AddBackSlashZ("/data"), "/data/");
  EXPECT_EQ(AddBackSlashZ("C:\\"), "C:\\");
  EXPECT_EQ(AddBackSlashZ(""), "");
}

TEST(LkMisc, NumbersAndCopies) {
  std::int32_t n = 0;
  EXPECT_TRUE(Str2LongZ("-1234", n));
  EXPECT_EQ(n, -1234);
  EXPECT_TRUE(Str2LongZ("+5", n));
  EXPECT_EQ(n, 5);
  EXPECT_FALSE(Str2LongZ("12a", n));
  EXPECT_FALSE(Str2LongZ("", n));
  EXPECT_FALSE(Str2LongZ("+", n));
  EXPECT_EQ(StrStCopy("abcdef", 2, 3), "cde");
  EXPECT_EQ(StrStCopy("abcdef", 4, 9), "ef");
  EXPECT_EQ(StrStCopy("abc", 3, 1), "");
  std::uint8_t bytes[5] = {0, 0xFF, 0x0F, 1, 2};
  NotBuffer(bytes, 5);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[4], 0xFD);
}

TEST(LkMisc, AScopedFlagPutsBackWhatItHeldEvenOnAnException) {
  bool flag = false;
  try {
    ScopedFlag force(flag, true);
    EXPECT_TRUE(flag);
    throw std::runtime_error("fails inside");
  } catch (const std::runtime_error&) {
  }
  EXPECT_FALSE(flag);
  flag = true;
  {
    ScopedFlag off(flag, false);
    EXPECT_FALSE(flag);
  }
  EXPECT_TRUE(flag) << "a flag that was set stays set";
}

TEST(LkMisc, FilesAndProcesses) {
  testing_support::TempDir dir;
  std::string file = dir.File("x.txt");
  EXPECT_FALSE(ExistFileZ(file));
  EXPECT_EQ(ApWinExecAndWait32("touch ", file, 1), 0);
  EXPECT_TRUE(ExistFileZ(file));
  EXPECT_FALSE(ExistFileZ(dir.Path().string())) << "a directory is not a file";
  EXPECT_EQ(ApWinExecAndWait32("exit 3", "", 1), 3);
  EXPECT_EQ(ApWinExecAndWait32("/no/such/program", " 2>/dev/null", 1), -1);
}

}  // namespace
}  // namespace serial
