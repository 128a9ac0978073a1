#include "project/ascii_messages.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "platform/atomic_file.h"
#include "support/temp_dir.h"

namespace {

using project::AsciiMessageTable;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

std::string Record(const std::string& text) {
  std::string r = text.substr(0, 32);
  r.resize(32, '\0');
  return r;
}

class AsciiMessagesTest : public ::testing::Test {
 protected:
  void Fill(const std::string& prefix) {
    for (int n = 0; n < AsciiMessageTable::kMessages; ++n) table.SetText(n, prefix + std::to_string(n));
  }

  TempDir dir;
  AsciiMessageTable table;
};

TEST_F(AsciiMessagesTest, SixCharacterMessageZeroGivesTheWholeFileLayout) {
  table.SetText(0, "Hi^013");
  ASSERT_EQ(table.Save(dir.File("t.asc")), "");
  const std::string file = ReadFile(dir.File("t.asc"));
  ASSERT_EQ(file.size(), 4096u);
  EXPECT_EQ(file.substr(0, 6), "Hi^013");
  EXPECT_EQ(file.substr(6), std::string(4090, '\0'));  // 26 NULs after it, then 127 empty records
  EXPECT_EQ(table.SizeText(0), "6");                   // the escape counts as its four typed characters
  EXPECT_EQ(table.SizeText(1), "");
}

TEST_F(AsciiMessagesTest, RecordsKeepThirtyTwoBytesWithoutDecoding) {
  const struct {
    std::string Typed;
    std::string LoadedBack;
  } cases[] = {
      {std::string(32, 'x'), std::string(32, 'x')},                // fills the record, no NUL
      {std::string(32, 'a') + "bcdefghi", std::string(32, 'a')},   // 40 loads back as 32
      {"caf\xE9 ^255 \x01\x7F\xFF", "caf\xE9 ^255 \x01\x7F\xFF"},  // every byte as it is
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Typed);
    table.SetText(5, c.Typed);
    EXPECT_EQ(table.SizeText(5), c.Typed.empty() ? "" : std::to_string(c.Typed.size()));
    ASSERT_EQ(table.Save(dir.File("r.asc")), "");
    EXPECT_EQ(ReadFile(dir.File("r.asc")).substr(5 * 32, 32), Record(c.Typed));
    AsciiMessageTable loaded;
    ASSERT_EQ(loaded.Load(dir.File("r.asc")), "");
    EXPECT_EQ(loaded.Text(5), c.LoadedBack);
  }
}

TEST_F(AsciiMessagesTest, ShortAndLongFilesLoadWhatTheyHold) {
  const struct {
    std::string Name;
    std::string Bytes;
    std::vector<std::string> Expected;  // messages 0.. that are not empty; the rest must be
  } cases[] = {
      {"96 bytes", Record("one") + Record("two") + Record(std::string(32, '3')), {"one", "two", std::string(32, '3')}},
      {"cut record", Record("a") + "tail", {"a", "tail"}},
      {"text after a NUL", std::string("ab\0cd", 5), {"ab"}},
      {"empty", "", {}},
      {"bytes past the table", std::string(4096, '\0') + "extra", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Fill("old");
    WriteFile(dir.File("s.asc"), c.Bytes);
    ASSERT_EQ(table.Load(dir.File("s.asc")), "");
    for (int n = 0; n < AsciiMessageTable::kMessages; ++n) {
      const std::size_t i = static_cast<std::size_t>(n);
      EXPECT_EQ(table.Text(n), i < c.Expected.size() ? c.Expected[i] : "") << n;
    }
  }
}

TEST_F(AsciiMessagesTest, FileNamesAreFoundWhateverTheirCase) {
  WriteFile(dir.File("UPPER.ASC"), Record("found"));
  ASSERT_EQ(table.Load(dir.File("upper.asc")), "");
  EXPECT_EQ(table.Text(0), "found");
  table.SetText(0, "saved");
  ASSERT_EQ(table.Save(dir.File("upper.asc")), "");  // replaces the file rather than adding a second one
  EXPECT_EQ(ReadFile(dir.File("UPPER.ASC")).substr(0, 5), "saved");
  EXPECT_FALSE(std::filesystem::exists(dir.File("upper.asc")));
}

TEST_F(AsciiMessagesTest, FailedWriteLeavesTheOldFile) {
  WriteFile(dir.File("keep.asc"), "old contents");
  table.SetText(0, "new");
  auto failing = [](int, const void*, size_t) -> ssize_t {
    errno = EIO;
    return -1;
  };
  EXPECT_EQ(table.Save(dir.File("keep.asc"), failing), "File Error");
  EXPECT_EQ(ReadFile(dir.File("keep.asc")), "old contents");
  EXPECT_EQ(table.Save(dir.File("missing/keep.asc")), "File Error");
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
}

TEST_F(AsciiMessagesTest, FailedLoadsLeaveTheTableAndReadOnlyFilesLoad) {
  Fill("before");
  auto shared = testing_support::TempDirOthersReach();
  if (!shared) GTEST_SKIP() << "no temporary folder another user can reach";
  ASSERT_EQ(::chmod(shared->Path().c_str(), 0755), 0);
  WriteFile(shared->File("ro.asc"), Record("read only"));
  ASSERT_EQ(::chmod(shared->File("ro.asc").c_str(), 0444), 0);
  WriteFile(shared->File("unreadable.asc"), Record("not loaded"));
  ASSERT_EQ(::chmod(shared->File("unreadable.asc").c_str(), 0200), 0);
  {
    testing_support::OrdinaryUser user;
    EXPECT_EQ(table.Load(shared->File("unreadable.asc")), "File Open Error");
    EXPECT_EQ(table.Load(shared->File("none.asc")), "File Open Error");
    EXPECT_EQ(table.Load(shared->Path().string()), "File Open Error");  // a directory
    for (int n = 0; n < AsciiMessageTable::kMessages; ++n) ASSERT_EQ(table.Text(n), "before" + std::to_string(n));
    EXPECT_EQ(table.Load(shared->File("ro.asc")), "");
  }
  EXPECT_EQ(table.Text(0), "read only");
}

}  // namespace
