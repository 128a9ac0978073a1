#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "program/program_files.h"
#include "support/temp_dir.h"

namespace {

const std::string kName = "K\374che \351";            // "Küche é" as program text (Latin-1)
const std::string kOnDisk = "K\303\274che \303\251";  // and as the file system stores it (UTF-8)

TEST(ProgramFileNames, ANameOutsideAsciiIsStoredInTheFileSystemsEncoding) {
  testing_support::TempDir dir;
  auto store = std::make_unique<ProgramStore>();
  store->Comments[1] = "Licht \374";
  ASSERT_EQ(SavePGMFile(*store, dir.File(kName + ".pgm")), "");
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.Path() / (kOnDisk + ".pgm")));

  auto loaded = std::make_unique<ProgramStore>();
  EXPECT_EQ(LoadPGMFile(*loaded, dir.File(kName + ".txt")), "");
  EXPECT_EQ(loaded->Comments[1], "Licht \374") << "contents stay 8-bit";
  EXPECT_EQ(WriteListingFile(dir.File(kName + ".txt"), {"x"}), "");
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.Path() / (kOnDisk + ".txt")));
}

}  // namespace
