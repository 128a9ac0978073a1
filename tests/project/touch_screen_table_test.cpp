#include "project/touch_screen_table.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "support/no_free_descriptors.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

using testing_support::TempDir;

std::string FreeRecord() {
  std::string r(64, '\0');
  r[0] = '\xFF';
  return r;
}

std::string Bytes(const TouchScreenTable& t) {
  return std::string(reinterpret_cast<const char*>(t.Bytes().data()), t.Bytes().size());
}

// The designer's 64 x 40 button template dropped on page 1.
TouchObject Button() {
  TouchObject o;
  o.Type = TouchButton;
  o.Page = 1;
  o.ObjectNumber = 1;
  o.X = 5;
  o.Y = 5;
  o.Width = 64;
  o.Height = 40;
  return o;
}

using testing_support::NoFreeDescriptors;

class TouchScreenTableTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<TouchScreenTable> owned = std::make_unique<TouchScreenTable>();
  TouchScreenTable& t = *owned;
};

TEST_F(TouchScreenTableTest, StartsWithEveryRecordFree) {
  EXPECT_EQ(t.Bytes().size(), 32768u);
  std::string expected;
  for (int n = 0; n < 512; ++n) expected += FreeRecord();
  EXPECT_EQ(Bytes(t), expected);
  EXPECT_EQ(t.FirstFreeRecord(), 1);
}

TEST_F(TouchScreenTableTest, ButtonFileLayout) {
  t.SetObject(1, Button());
  t.SetBacklightOffDelay(200);
  t.SetBeepOnTouch(1);
  t.SetShowDateAndTime(1);
  ASSERT_EQ(t.SaveTchFile(dir.File("house.tch")), "");
  const std::string bytes = ReadFile(dir.File("house.TCH"));
  ASSERT_EQ(bytes.size(), 32768u);

  std::string settings = FreeRecord();
  settings[16] = '\xC8';
  settings[18] = 1;
  settings[20] = 1;
  EXPECT_EQ(bytes.substr(0, 64), settings);
  std::string button(64, '\0');
  button[3] = 1;    // page
  button[4] = 1;    // object number
  button[6] = 5;    // X
  button[8] = 5;    // Y
  button[10] = 64;  // width
  button[12] = 40;  // height
  EXPECT_EQ(bytes.substr(64, 64), button);
  for (int n = 2; n < 512; ++n) ASSERT_EQ(bytes.substr(64 * n, 64), FreeRecord()) << n;
}

TEST_F(TouchScreenTableTest, TextAndStatusLightLayout) {
  TouchObject text;
  text.Type = TouchText;
  text.Variable = 127;
  text.Page = 24;
  text.ObjectNumber = 511;
  text.X = 300;
  text.Y = 0x1234;
  text.Style = 2;
  text.Text =
      "Temp \xB0"
      "C";
  t.SetObject(511, text);
  const std::string r = Bytes(t).substr(511 * 64, 64);
  EXPECT_EQ(r.substr(0, 8), std::string("\x01\x00\x7F\x18\xFF\x01\x2C\x01", 8));
  EXPECT_EQ(r.substr(8, 2), "\x34\x12");
  EXPECT_EQ(r.substr(16, 2), std::string("\x02\x00", 2));
  EXPECT_EQ(r.substr(22, 10), std::string(10, '\0'));
  EXPECT_EQ(r.substr(32, 8), std::string("Temp \xB0"
                                         "C\0",
                                         8));
  EXPECT_EQ(t.Object(511), text);

  TouchObject light;
  light.Type = TouchStatusLight;
  light.Page = 2;
  light.ObjectNumber = 3;
  light.Width = light.Height = 16;
  light.Style = 1;
  light.LinkA = 127;  // module
  light.LinkB = 0x0102;
  t.SetObject(3, light);
  const std::string l = Bytes(t).substr(3 * 64, 64);
  EXPECT_EQ(l[0], 2);
  EXPECT_EQ(l.substr(16, 6), std::string("\x01\x00\x7F\x00\x02\x01", 6));
  EXPECT_EQ(l.substr(32), std::string(32, '\0'));
  EXPECT_EQ(t.Object(3), light);
}

TEST_F(TouchScreenTableTest, ShorterTextLeavesTheOldTailAndReadsStopAtTheNul) {
  TouchObject o = Button();
  o.Text = std::string(30, 'L');
  t.SetObject(1, o);
  o.Text = "Hi";
  t.SetObject(1, o);
  const std::string r = Bytes(t).substr(64, 64);
  EXPECT_EQ(r.substr(32, 3), std::string("Hi\0", 3));
  EXPECT_EQ(r.substr(35, 27), std::string(27, 'L'));
  EXPECT_EQ(t.Object(1).Text, "Hi");
  o.Text = std::string(40, 'x');  // cut so the NUL still fits the field
  t.SetObject(1, o);
  EXPECT_EQ(t.Object(1).Text, std::string(31, 'x'));
  EXPECT_EQ(Bytes(t)[128], '\xFF');  // record 2 untouched
}

TEST_F(TouchScreenTableTest, FreeRecords) {
  for (int n = 1; n <= 3; ++n) {
    TouchObject o = Button();
    o.ObjectNumber = static_cast<std::uint16_t>(n);
    o.Text = "abc";
    ASSERT_EQ(t.FirstFreeRecord(), n);
    t.SetObject(t.FirstFreeRecord(), o);
  }
  EXPECT_EQ(t.FirstFreeRecord(), 4);
  t.DeleteObject(2);
  EXPECT_EQ(Bytes(t).substr(128, 64), FreeRecord());
  EXPECT_TRUE(t.IsFree(2));
  EXPECT_EQ(t.FirstFreeRecord(), 2);
  for (int n = 1; n < 512; ++n) t.SetObject(n, Button());
  EXPECT_EQ(t.FirstFreeRecord(), 0);

  t.SetBeepOnTouch(1);
  t.ClearAllObjects();
  EXPECT_EQ(t.BeepOnTouch(), 0);
  EXPECT_EQ(t.FirstFreeRecord(), 1);
  EXPECT_THROW(t.Object(512), std::out_of_range);
  EXPECT_THROW(t.DeleteObject(-1), std::out_of_range);
}

TEST_F(TouchScreenTableTest, SaveForcesTheTchExtension) {
  ASSERT_EQ(t.SaveTchFile(dir.File("a")), "");
  ASSERT_EQ(t.SaveTchFile(dir.File("b.prj")), "");
  EXPECT_EQ(ReadFile(dir.File("a.TCH")).size(), 32768u);
  EXPECT_EQ(ReadFile(dir.File("b.TCH")).size(), 32768u);

  // A file of the name in another case is replaced, not joined by a second one.
  ASSERT_EQ(platform::WriteFileAtomically(dir.File("c.tch"), "old"), "");
  ASSERT_EQ(t.SaveTchFile(dir.File("c.prj")), "");
  EXPECT_EQ(ReadFile(dir.File("c.tch")).size(), 32768u);
  EXPECT_FALSE(platform::FileExists(dir.File("c.TCH")));
}

TEST_F(TouchScreenTableTest, FailedSaveKeepsTheOldFile) {
  ASSERT_EQ(platform::WriteFileAtomically(dir.File("a.TCH"), "old"), "");
  auto failing = [](int, const void*, size_t) -> ssize_t {
    errno = EIO;
    return -1;
  };
  EXPECT_EQ(t.SaveTchFile(dir.File("a.tch"), failing), "File Error");
  EXPECT_EQ(ReadFile(dir.File("a.TCH")), "old");
  EXPECT_EQ(t.SaveTchFile(dir.File("missing/a.tch")), "File Error");
}

TEST_F(TouchScreenTableTest, UnknownTypesAndReservedBytesRoundTrip) {
  std::string file;
  for (int n = 0; n < 512; ++n) {
    std::string r(64, static_cast<char>(n * 13 + 1));
    r[0] = static_cast<char>(n % 4 == 0 ? 3 : n % 3);  // type 3 among buttons, texts and lights
    file += r;
  }
  WriteFile(dir.File("odd.TCH"), file);
  ASSERT_EQ(t.LoadTchFile(dir.File("odd.prj")), "");
  EXPECT_EQ(t.Type(4), 3);
  // 64 letters with no NUL: the text stops at its field.
  EXPECT_EQ(t.Object(5).Text, std::string(32, static_cast<char>(5 * 13 + 1)));
  ASSERT_EQ(t.SaveTchFile(dir.File("copy")), "");
  EXPECT_EQ(ReadFile(dir.File("copy.TCH")), file);
}

TEST_F(TouchScreenTableTest, ShortFileFillsFromTheStartAndTheRestIsFree) {
  for (int n = 1; n < 512; ++n) t.SetObject(n, Button());
  std::string file(1000, '\x22');
  WriteFile(dir.File("short.TCH"), file);
  ASSERT_EQ(t.LoadTchFile(dir.File("short.tch")), "");
  const std::string bytes = Bytes(t);
  EXPECT_EQ(bytes.substr(0, 1000), file);
  EXPECT_EQ(bytes.substr(1000, 24), std::string(24, '\0'));  // rest of record 15, freed first
  EXPECT_EQ(t.Type(15), 0x22);
  for (int n = 16; n < 512; ++n) ASSERT_TRUE(t.IsFree(n)) << n;
  EXPECT_EQ(t.FirstFreeRecord(), 16);
}

TEST_F(TouchScreenTableTest, LoadFindsTheFileWhateverItsCase) {
  TouchScreenTable other;
  other.SetObject(7, Button());
  ASSERT_EQ(other.SaveTchFile(dir.File("x")), "");
  std::rename(dir.File("x.TCH").c_str(), dir.File("x.tch").c_str());
  ASSERT_EQ(t.LoadTchFile(dir.File("x.prj")), "");
  EXPECT_EQ(t.Object(7), Button());
}

TEST_F(TouchScreenTableTest, LoadReadsTheChosenFileWhenItAlreadyEndsInTch) {
  TouchScreenTable other;
  other.SetObject(7, Button());
  ASSERT_EQ(other.SaveTchFile(dir.File("x.TCH")), "");
  ASSERT_EQ(platform::WriteFileAtomically(dir.File("x.tch"), std::string(64, '\xFF')), "");
  ASSERT_EQ(t.LoadTchFile(dir.File("x.tch")), "");
  EXPECT_TRUE(t.IsFree(7));
  ASSERT_EQ(t.LoadTchFile(dir.File("x.TCH")), "");
  EXPECT_EQ(t.Object(7), Button());
}

TEST_F(TouchScreenTableTest, FailedLoadsLeaveTheTable) {
  t.SetObject(1, Button());
  t.SetBacklightOffDelay(30);
  const std::string before = Bytes(t);
  EXPECT_EQ(t.LoadTchFile(dir.File("none.tch")), "TCH File Not Found");
  WriteFile(dir.File("busy.TCH"), std::string(32768, '\0'));
  {
    NoFreeDescriptors limit;
    EXPECT_EQ(t.LoadTchFile(dir.File("busy")), "File Open Error");
  }
  EXPECT_EQ(Bytes(t), before);
}

TEST_F(TouchScreenTableTest, AReadOnlyFileLoads) {
  auto shared = testing_support::TempDirOthersReach();
  if (!shared) GTEST_SKIP() << "no temporary folder another user can reach";
  TouchScreenTable saved;
  saved.SetObject(3, Button());
  ASSERT_EQ(saved.SaveTchFile(shared->File("ro.TCH")), "");
  ASSERT_EQ(::chmod(shared->Path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(shared->File("ro.TCH").c_str(), 0444), 0);
  std::string error;
  {
    testing_support::OrdinaryUser user;
    error = t.LoadTchFile(shared->File("ro"));
  }
  EXPECT_EQ(error, "");
  EXPECT_EQ(Bytes(t), Bytes(saved));
}

}  // namespace
