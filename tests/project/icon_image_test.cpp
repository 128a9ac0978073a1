#include "project/icon_image.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "support/temp_dir.h"

namespace project {
namespace {

struct RecordingLog : CommsLog {
  void AddLogLine(const std::string& line) override { Lines.push_back(line); }
  std::vector<std::string> Lines;
};

class IconImageTest : public ::testing::Test {
 protected:
  IconImageTest() : buffer(ImageBufferSize, 0xAA) { tree.ChangeToTessaro(); }

  IconCompileResult Compile() {
    return CompileIconImage(
        tree, "/proj/",
        [this](const std::string& path) {
          requested.push_back(path);
          IconFile file;
          if (unreadable.count(path)) file.Status = IconFile::State::Unreadable;
          auto it = files.find(path);
          if (it != files.end()) {
            file.Status = IconFile::State::Loaded;
            file.Image = it->second;
          }
          return file;
        },
        buffer, log);
  }
  int U16(int offset) const { return buffer[offset] | buffer[offset + 1] << 8; }
  void UseIcon(int entry, const std::string& name, const QImage& image) {
    tree.Rename(FirstIcon + entry, name);
    files["/proj/" + name] = image;
  }

  SystemMapTree tree = SystemMapTree::Default();
  std::map<std::string, QImage> files;
  std::set<std::string> unreadable;
  std::vector<std::string> requested;
  std::vector<std::uint8_t> buffer;
  RecordingLog log;
};

QImage Filled(int width, int height, QColor colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

TEST_F(IconImageTest, WithoutFilesEveryEntryIsA16By16WhiteIcon) {
  IconCompileResult result = Compile();
  EXPECT_EQ(result.EntriesWritten, 200);
  EXPECT_EQ(result.End, 7600);
  EXPECT_FALSE(result.Overrun);
  EXPECT_TRUE(log.Lines.empty());
  for (int i : {0, 1, 199}) {
    EXPECT_EQ(U16(6 * i), 16);
    EXPECT_EQ(U16(6 * i + 2), 16);
    EXPECT_EQ(U16(6 * i + 4), 1200 + 32 * i);
  }
  EXPECT_EQ(U16(6 * 199 + 4), 7568);
  EXPECT_EQ(buffer[1200], 0xFF);
  EXPECT_EQ(buffer[7599], 0xFF);
  EXPECT_EQ(buffer[7600], 0xAA);  // not padded
  EXPECT_EQ(requested.front(), "/proj/Screen# 0 Bitmap");
  EXPECT_EQ(requested.size(), 200u);
}

TEST_F(IconImageTest, WidthIsCutToAMultipleOf8AndRowsArePacked) {
  QImage image = Filled(20, 10, Qt::white);
  image.setPixel(0, 0, qRgb(0, 0, 0));         // leftmost pixel: bit 7 of the first byte
  image.setPixel(9, 0, qRgb(200, 200, 200));   // light grey is black
  image.setPixel(15, 9, qRgb(255, 255, 254));  // nearly white is black
  image.setPixel(19, 5, qRgb(0, 0, 0));        // in the dropped columns
  UseIcon(1, "lamp.bmp", image);
  Compile();
  EXPECT_EQ(U16(6), 10);
  EXPECT_EQ(U16(8), 16);
  EXPECT_EQ(U16(10), 1232);  // after entry 0, the white screen bitmap
  EXPECT_EQ(U16(16), 1252);  // entry 2 follows the 20 bytes of entry 1
  EXPECT_EQ(buffer[1232], 0x7F);
  EXPECT_EQ(buffer[1233], 0xBF);
  EXPECT_EQ(buffer[1232 + 2 * 5 + 1], 0xFF);
  EXPECT_EQ(buffer[1232 + 2 * 9 + 1], 0xFE);
  ASSERT_EQ(log.Lines.size(), 1u);
  EXPECT_EQ(log.Lines[0], "lamp.bmp, to 1232, 16 x 10 #1");
}

TEST_F(IconImageTest, EntryZeroIsCompiledLikeAnyOther) {
  UseIcon(0, "screen.bmp", Filled(8, 2, Qt::black));
  Compile();
  EXPECT_EQ(U16(0), 2);
  EXPECT_EQ(U16(2), 8);
  EXPECT_EQ(U16(4), 1200);
  EXPECT_EQ(buffer[1200], 0x00);
  EXPECT_EQ(buffer[1201], 0x00);
  EXPECT_EQ(U16(10), 1202);
  EXPECT_EQ(log.Lines.at(0), "screen.bmp, to 1200, 8 x 2 #0");
}

TEST_F(IconImageTest, LargeIconsOverrunTheImageAndStopTheCompile) {
  for (int i = 0; i < 5; ++i) UseIcon(i, "big" + std::to_string(i) + ".bmp", Filled(320, 240, Qt::white));
  IconCompileResult result = Compile();
  EXPECT_TRUE(result.Overrun);
  EXPECT_EQ(result.EntriesWritten, 5);
  EXPECT_EQ(result.End, 49200);
  EXPECT_EQ(U16(6 * 4 + 4), 1200 + 4 * 9600);
  EXPECT_EQ(U16(6 * 5), 0xAAAA);  // entries 5.. not written
  EXPECT_EQ(log.Lines.back(), "Error - Icon memory overrun");
  EXPECT_EQ(log.Lines.size(), 6u);
}

TEST_F(IconImageTest, AnIconThatWouldPassTheBufferIsNotWritten) {
  // 4 icons of 320 x 240 end at 39,600; then 320 x 600 (24,000 bytes) would end past 57,344.
  for (int i = 0; i < 4; ++i) UseIcon(i, "big" + std::to_string(i) + ".bmp", Filled(320, 240, Qt::white));
  UseIcon(4, "huge.bmp", Filled(320, 600, Qt::black));
  buffer.resize(ImageBufferSize + 64, 0x55);  // guard bytes after the real buffer
  IconCompileResult result = CompileIconImage(
      tree, "/proj/",
      [this](const std::string& path) {
        auto it = files.find(path);
        return it == files.end() ? IconFile{} : IconFile{IconFile::State::Loaded, it->second};
      },
      std::span(buffer).first(ImageBufferSize), log);
  EXPECT_TRUE(result.Overrun);
  EXPECT_EQ(result.EntriesWritten, 4);
  EXPECT_EQ(result.End, 39600);
  EXPECT_EQ(buffer[39600], 0xAA);
  EXPECT_EQ(buffer[ImageBufferSize], 0x55);
  EXPECT_EQ(log.Lines.back(), "Error - Icon memory overrun");
}

TEST_F(IconImageTest, ATinyBufferIsNeverOverrun) {
  std::vector<std::uint8_t> small(1000, 0xAA);
  IconCompileResult result = CompileIconImage(
      tree, "", [](const std::string&) { return IconFile{}; }, small, log);
  EXPECT_TRUE(result.Overrun);
  EXPECT_EQ(result.EntriesWritten, 0);
}

TEST_F(IconImageTest, UnreadableFilesBecomeWhiteWithALogLine) {
  tree.Rename(FirstIcon + 3, "broken.bmp");
  unreadable.insert("/proj/broken.bmp");
  Compile();
  EXPECT_EQ(U16(6 * 3), 16);
  EXPECT_EQ(U16(6 * 3 + 2), 16);
  EXPECT_EQ(buffer[1200 + 3 * 32], 0xFF);
  EXPECT_EQ(log.Lines, (std::vector<std::string>{"broken.bmp, not a readable bitmap #3"}));
}

TEST_F(IconImageTest, ABitmapWhoseReaderThrowsBecomesWhiteWithALogLine) {
  tree.Rename(FirstIcon + 2, "bad.bmp");
  std::vector<std::uint8_t> out(ImageBufferSize, 0xAA);
  const IconCompileResult result = CompileIconImage(
      tree, "/proj/",
      [](const std::string& path) -> IconFile {
        if (path == "/proj/bad.bmp") throw std::bad_alloc();
        return {};
      },
      out, log);
  EXPECT_FALSE(result.Overrun);
  EXPECT_EQ(result.EntriesWritten, IconCount);
  EXPECT_EQ(out[6 * 2] | out[6 * 2 + 1] << 8, 16);
  EXPECT_EQ(out[1200 + 2 * 32], 0xFF);
  EXPECT_EQ(log.Lines, (std::vector<std::string>{"bad.bmp, not a readable bitmap #2"}));
}

TEST_F(IconImageTest, OnlyTheRealChildrenOfTheIconsGroupAreRead) {
  // A hand-edited file whose "Icons" group holds two entries, followed directly by the module slots.
  std::string shortened;
  for (int i = 0; i < tree.Count(); ++i)
    if (i <= FirstIcon + 1 || i > 2064) shortened += std::string(tree.LevelAt(i), '\t') + tree.TextAt(i) + "\r\n";
  auto parsed = SystemMapTree::Parse(shortened);
  ASSERT_TRUE(parsed.Tree);
  tree.Assign(std::move(*parsed.Tree));
  Compile();
  EXPECT_EQ(requested, (std::vector<std::string>{"/proj/Screen# 0 Bitmap", "/proj/Icon #1"}));
  EXPECT_EQ(U16(6 * 199), 16);
  EXPECT_EQ(U16(6 * 199 + 4), 7568);
}

TEST_F(IconImageTest, TheCompilerGoesByPositionWhateverTheHeaderIsCalled) {
  tree.Rename(IconsHeader, "Pictures");
  UseIcon(2, "bell.bmp", Filled(8, 1, Qt::black));
  Compile();
  EXPECT_EQ(log.Lines, (std::vector<std::string>{"bell.bmp, to 1264, 8 x 1 #2"}));
  EXPECT_EQ(U16(6 * 2), 1);
  EXPECT_EQ(buffer[1264], 0x00);
  EXPECT_EQ(U16(6 * 3 + 4), 1265);
}

TEST_F(IconImageTest, TheSmallerModelHasNoIconsToRead) {
  tree.Assign(SystemMapTree::Default());
  IconCompileResult result = Compile();
  EXPECT_TRUE(requested.empty());
  EXPECT_EQ(result.End, 7600);
}

TEST(IconBitmapLoader, ReadsBitmapsAndTellsMissingFromUnreadable) {
  testing_support::TempDir dir;
  QImage image(12, 3, QImage::Format_RGB32);
  image.fill(Qt::white);
  ASSERT_TRUE(image.save(QString::fromStdString(dir.File("ICON.BMP")), "BMP"));
  IconFile loaded = LoadIconBitmap(dir.File("icon.bmp"));  // the name's case does not matter
  EXPECT_EQ(loaded.Status, IconFile::State::Loaded);
  EXPECT_EQ(loaded.Image.size(), QSize(12, 3));
  EXPECT_EQ(LoadIconBitmap(dir.File("none.bmp")).Status, IconFile::State::Missing);
  FILE* f = std::fopen(dir.File("junk.bmp").c_str(), "wb");
  std::fputs("not a bitmap", f);
  std::fclose(f);
  EXPECT_EQ(LoadIconBitmap(dir.File("junk.bmp")).Status, IconFile::State::Unreadable);
  EXPECT_EQ(LoadIconBitmap(dir.Path().string()).Status, IconFile::State::Missing);  // a directory
}

TEST_F(IconImageTest, AnIconWiderThanTheDirectoryCanHoldIsRefusedByTheLoader) {
  // Kept as a regression input: 65,544 pixels wide would be stored as 8 in the 16-bit width field.
  const std::string damaged = std::string(ZELTA_TEST_DATA_DIR) + "/damaged/icon-width-65544x1.bmp";
  EXPECT_EQ(LoadIconBitmap(damaged).Status, IconFile::State::Unreadable);
  UseIcon(3, "wide.bmp", QImage(65544, 1, QImage::Format_RGB32));  // an injected loader gets no further
  IconCompileResult result = Compile();
  EXPECT_EQ(log.Lines, (std::vector<std::string>{"wide.bmp, not a readable bitmap #3"}));
  EXPECT_EQ(U16(6 * 3 + 2), 16);
  EXPECT_EQ(result.End, 7600);
}

TEST(TwoLevels, OnlyPureWhiteStaysWhite) {
  QImage image(3, 1, QImage::Format_RGB32);
  image.setPixel(0, 0, qRgb(255, 255, 255));
  image.setPixel(1, 0, qRgb(192, 192, 192));
  image.setPixel(2, 0, qRgb(255, 0, 255));
  QImage reduced = ReduceToTwoLevels(image);
  EXPECT_EQ(reduced.pixel(0, 0), qRgb(255, 255, 255));
  EXPECT_EQ(reduced.pixel(1, 0), qRgb(0, 0, 0));
  EXPECT_EQ(reduced.pixel(2, 0), qRgb(0, 0, 0));
}

}  // namespace
}  // namespace project
