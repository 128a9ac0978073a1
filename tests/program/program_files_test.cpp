#include "program/program_files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/atomic_file.h"
#include "support/no_free_descriptors.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

using testing_support::TempDir;

std::uint16_t WordAt(const std::string& bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[offset]) |
                                    static_cast<std::uint8_t>(bytes[offset + 1]) << 8);
}

ProgramLine Marker(int n) {
  return ProgramLine{static_cast<std::uint16_t>((3 << 10) | (n % 32) << 5 | n % 29), static_cast<std::uint16_t>(n * 7),
                     static_cast<std::uint16_t>(0xFFFF - n)};
}

// Every line used, every comment 79 characters.
void FillFullProgram(ProgramStore& s) {
  for (int n = 1; n <= 4096; ++n) {
    s.Lines[n] = Marker(n);
    std::string comment(79, static_cast<char>('!' + n % 90));
    comment[0] = static_cast<char>(0xA0 + n % 96);  // Latin-1 bytes survive
    s.Comments[n] = comment;
  }
}

using testing_support::NoFreeDescriptors;

class ProgramFilesTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<ProgramStore> owned = std::make_unique<ProgramStore>();
  ProgramStore& s = *owned;
};

TEST_F(ProgramFilesTest, ProgramFileLayout) {
  s.Lines[1] = ProgramLine{0x0401, 0x8203, 0xBEEF};
  s.Comments[1] = "first";
  s.Lines[4096] = ProgramLine::End();
  s.Comments[4096] = std::string(100, 'x');
  const std::string path = dir.File("a.pgm");
  ASSERT_EQ(SavePGMFile(s, path), "");
  const std::string bytes = ReadFile(path);
  ASSERT_EQ(bytes.size(), 352256u);
  EXPECT_EQ(WordAt(bytes, 0), 0x0401);
  EXPECT_EQ(WordAt(bytes, 2), 0x8203);
  EXPECT_EQ(WordAt(bytes, 4), 0xBEEF);
  EXPECT_EQ(bytes.substr(6, 6), std::string("first\0", 6));
  const std::size_t last = 4095 * 86;
  EXPECT_EQ(WordAt(bytes, last), 0x7C00);
  EXPECT_EQ(bytes.substr(last + 6, 79), std::string(79, 'x'));
  EXPECT_EQ(bytes[last + 6 + 79], '\0');
  EXPECT_EQ(s.Comments[4096], std::string(100, 'x'));  // the store keeps the whole comment
}

TEST_F(ProgramFilesTest, EmptyCommentsAreWrittenAsOneSpace) {
  const std::string path = dir.File("a.pgm");
  ASSERT_EQ(SavePGMFile(s, path), "");
  const std::string bytes = ReadFile(path);
  for (int n = 1; n <= 4096; ++n) {
    ASSERT_EQ(bytes.substr((n - 1) * 86 + 6, 2), std::string(" \0", 2)) << n;
    ASSERT_EQ(s.Comments[n], " ");
  }
  auto other = std::make_unique<ProgramStore>();
  ASSERT_EQ(LoadPGMFile(*other, path), "");
  EXPECT_EQ(other->Comments[4096], " ");
}

TEST_F(ProgramFilesTest, FullProgramRoundTripIsByteIdentical) {
  FillFullProgram(s);
  const std::string first = dir.File("full.pgm"), second = dir.File("again.pgm");
  ASSERT_EQ(SavePGMFile(s, first), "");
  auto loaded = std::make_unique<ProgramStore>();
  ASSERT_EQ(LoadPGMFile(*loaded, first), "");
  for (int n = 1; n <= 4096; ++n) {
    ASSERT_EQ(loaded->Lines[n], s.Lines[n]) << n;
    ASSERT_EQ(loaded->Comments[n], s.Comments[n]) << n;
  }
  ASSERT_EQ(SavePGMFile(*loaded, second), "");
  EXPECT_EQ(ReadFile(first), ReadFile(second));
}

TEST_F(ProgramFilesTest, SavingClearsModifiedOnlyAfterACompleteWrite) {
  FillFullProgram(s);
  const std::string path = dir.File("a.pgm");
  ASSERT_EQ(platform::WriteFileAtomically(path, "old program"), "");
  s.Modified = true;
  std::size_t written = 0;
  auto failAfter100k = [&written](int fd, const void* data, size_t size) -> ssize_t {
    if (written + size > 100000) {
      errno = ENOSPC;
      return -1;
    }
    written += size;
    return ::write(fd, data, size);
  };
  EXPECT_EQ(SavePGMFile(s, path, failAfter100k), "File Error");
  EXPECT_TRUE(s.Modified);
  EXPECT_EQ(ReadFile(path), "old program");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

  EXPECT_EQ(SavePGMFile(s, path), "");
  EXPECT_FALSE(s.Modified);
  EXPECT_EQ(ReadFile(path).size(), 352256u);
}

TEST_F(ProgramFilesTest, SavingWhereNoFileCanBeCreatedReportsFileError) {
  s.Modified = true;
  EXPECT_EQ(SavePGMFile(s, dir.File("missing/a.pgm")), "File Error");
  EXPECT_TRUE(s.Modified);
}

TEST_F(ProgramFilesTest, LoadForcesThePgmExtensionWhateverItsCase) {
  s.Lines[3] = Marker(3);
  ASSERT_EQ(SavePGMFile(s, dir.File("house.pgm")), "");
  auto loaded = std::make_unique<ProgramStore>();
  loaded->FileName = "kept";
  loaded->Modified = true;
  EXPECT_EQ(LoadPGMFile(*loaded, dir.File("house.txt")), "");
  EXPECT_EQ(loaded->Lines[3], Marker(3));
  EXPECT_EQ(loaded->FileName, "kept");
  EXPECT_TRUE(loaded->Modified);

  auto noExt = std::make_unique<ProgramStore>();
  EXPECT_EQ(LoadPGMFile(*noExt, dir.File("HOUSE")), "");
  EXPECT_EQ(noExt->Lines[3], Marker(3));
}

TEST_F(ProgramFilesTest, LoadReadsTheChosenFileWhenItAlreadyEndsInPgm) {
  // Two files whose names differ only in case: the one picked is the one read.
  s.Lines[3] = Marker(3);
  ASSERT_EQ(SavePGMFile(s, dir.File("house.pgm")), "");
  s.Lines[3] = Marker(4);
  ASSERT_EQ(SavePGMFile(s, dir.File("house.PGM")), "");
  auto loaded = std::make_unique<ProgramStore>();
  EXPECT_EQ(LoadPGMFile(*loaded, dir.File("house.pgm")), "");
  EXPECT_EQ(loaded->Lines[3], Marker(3));
  EXPECT_EQ(LoadPGMFile(*loaded, dir.File("house.PGM")), "");
  EXPECT_EQ(loaded->Lines[3], Marker(4));
}

TEST_F(ProgramFilesTest, LoadFailuresLeaveTheStoreAlone) {
  s.Lines[1] = Marker(1);
  EXPECT_EQ(LoadPGMFile(s, dir.File("none.pgm")), "PGM File Not Found");
  std::filesystem::create_directory(dir.File("folder.PGM"));
  EXPECT_EQ(LoadPGMFile(s, dir.File("folder.pgm")), "PGM File Not Found");  // not a file
  WriteFile(dir.File("locked.PGM"), std::string(352256, '\x11'));
  {
    NoFreeDescriptors limit;  // works as root too, where permissions would not stop the open
    EXPECT_EQ(LoadPGMFile(s, dir.File("locked.pgm")), "File Error");
  }
  EXPECT_EQ(s.Lines[1], Marker(1));
}

TEST_F(ProgramFilesTest, ShortFileGivesEmptyLinesForMissingRecords) {
  std::string bytes(86 + 3, '\0');
  bytes[0] = 0x01;
  bytes[6] = 'h';
  bytes[7] = 'i';
  bytes[86] = 0x05;  // half of line 2's first word... and nothing more
  WriteFile(dir.File("short.PGM"), bytes);
  for (int n = 1; n <= 4096; ++n) {
    s.Lines[n] = Marker(n);
    s.Comments[n] = "old";
  }
  ASSERT_EQ(LoadPGMFile(s, dir.File("short.pgm")), "");
  EXPECT_EQ(s.Lines[1], (ProgramLine{1, 0, 0}));
  EXPECT_EQ(s.Comments[1], "hi");
  EXPECT_EQ(s.Lines[2], (ProgramLine{5, 0, 0}));
  EXPECT_EQ(s.Comments[2], "");
  for (int n = 3; n <= 4096; ++n) {
    ASSERT_TRUE(s.Lines[n].IsEmpty()) << n;
    ASSERT_EQ(s.Comments[n], "") << n;
  }
}

TEST_F(ProgramFilesTest, CommentReadStopsAtTheField) {
  // Every comment field full of letters with no zero byte: each comment is cut at 79 characters and no
  // read runs into the next record, even in the last one.
  std::string bytes;
  for (int n = 1; n <= 4096; ++n) {
    std::string record(86, 'A' + n % 26);
    record[0] = record[1] = record[2] = record[3] = record[4] = record[5] = 0;
    bytes += record;
  }
  bytes += "trailing bytes are ignored";
  WriteFile(dir.File("corrupt.pgm"), bytes);
  ASSERT_EQ(LoadPGMFile(s, dir.File("corrupt.pgm")), "");
  EXPECT_EQ(s.Comments[1], std::string(79, 'B'));
  EXPECT_EQ(s.Comments[4096], std::string(79, 'A' + 4096 % 26));
}

// Snippets

TEST_F(ProgramFilesTest, SnippetHoldsTheBlockAndEmptyCommentsStayEmpty) {
  for (int n = 1; n <= 20; ++n) s.Lines[n] = Marker(n);
  s.Comments[10] = "ten";
  s.Comments[12] = std::string(90, 'z');
  const std::string path = dir.File("block.snp");
  ASSERT_EQ(SaveSnippetFile(s, path, 10, 12), "");
  EXPECT_EQ(s.FileName, path);
  const std::string bytes = ReadFile(path);
  ASSERT_EQ(bytes.size(), 258u);
  EXPECT_EQ(WordAt(bytes, 0), Marker(10).Word0);
  EXPECT_EQ(bytes.substr(6, 4), std::string("ten\0", 4));
  EXPECT_EQ(bytes[86 + 6], '\0');  // line 11's empty comment
  EXPECT_EQ(s.Comments[11], "");
  EXPECT_EQ(bytes.substr(172 + 6, 80), std::string(79, 'z') + '\0');
}

TEST_F(ProgramFilesTest, SnippetLoadsAtTheRowAndPushesTheRestDown) {
  for (int n = 1; n <= 20; ++n) s.Lines[n] = Marker(n);
  s.Lines[11] = ProgramLine{static_cast<std::uint16_t>((1 << 10) | (KindSkipTo << 5)), 0, 1};
  s.Comments[10] = "ten";
  ASSERT_EQ(SaveSnippetFile(s, dir.File("block.snp"), 10, 12), "");
  std::string bytes = ReadFile(dir.File("block.snp"));
  WriteFile(dir.File("block.snp"), bytes + std::string(85, '\x7F'));  // a trailing part record

  std::vector<ProgramLine> lines;
  std::vector<std::string> comments;
  ASSERT_EQ(ReadSnippetFile(dir.File("block.snp"), lines, comments), "");
  ASSERT_EQ(lines.size(), 3u);
  ASSERT_EQ(s.InsertBlock(5, lines, comments), 3);
  EXPECT_EQ(s.Lines[5], Marker(10));
  EXPECT_EQ(s.Comments[5], "ten");
  EXPECT_EQ(s.Lines[6].Value, 1);  // the pasted Skip To keeps its distance
  EXPECT_EQ(s.Lines[7], Marker(12));
  EXPECT_EQ(s.Lines[8], Marker(5));
}

TEST_F(ProgramFilesTest, SnippetErrors) {
  std::vector<ProgramLine> lines{ProgramLine{}};
  std::vector<std::string> comments;
  EXPECT_EQ(ReadSnippetFile(dir.File("none.snp"), lines, comments), "File Open Error");
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(SaveSnippetFile(s, dir.File("missing/a.snp"), 1, 2), "File Error");
  EXPECT_EQ(s.FileName, "Untitled");
}

// Listing

std::vector<std::string> Cells() { return std::vector<std::string>(4097); }

TEST_F(ProgramFilesTest, ListingLineLayout) {
  auto texts = Cells(), comments = Cells();
  texts[1] = "IF abc";
  texts[2] = "    THEN something longer";
  texts[3] = "";
  comments[1] = "one";
  comments[2] = " ";
  s.Lines[3] = ProgramLine::End();
  const auto lines = ListingLines(s, texts, comments);
  ASSERT_EQ(lines.size(), 3u);
  // W = 25, so every text is padded to 35 characters before " // ".
  EXPECT_EQ(lines[0], " 0001 - IF abc" + std::string(21, ' ') + " // one");
  EXPECT_EQ(lines[1], " 0002 -     THEN something longer   //  ");
  EXPECT_EQ(lines[2], " 0003 - " + std::string(27, ' ') + " // ");
}

TEST_F(ProgramFilesTest, ListingPaddingIsCappedAndLinesCutAt403) {
  auto texts = Cells(), comments = Cells();
  texts[1] = std::string(200, 't');
  comments[1] = std::string(500, 'c');
  comments[2] = "short";
  const auto lines = ListingLines(s, texts, comments);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), 403u);
  EXPECT_EQ(lines[0].substr(0, 214), " 0001 - " + std::string(200, 't') + "   // ");
  EXPECT_EQ(lines[1], " 0002 - " + std::string(85, ' ') + " // short");
}

TEST_F(ProgramFilesTest, LastListedLine) {
  auto texts = Cells();
  EXPECT_EQ(LastListedLine(s, texts), 2);
  texts[1] = "IF x";
  EXPECT_EQ(LastListedLine(s, texts), 2);
  EXPECT_EQ(ListingLines(s, texts, Cells()).size(), 2u);
  texts[3] = "IF y";
  EXPECT_EQ(LastListedLine(s, texts), 3);
  s.Lines[50] = ProgramLine::End();  // END counts even before it is rendered
  EXPECT_EQ(LastListedLine(s, texts), 50);
  texts[4096] = "  ";
  EXPECT_EQ(LastListedLine(s, texts), 4096);
}

TEST_F(ProgramFilesTest, ListingFileEndsEveryLineWithCrLf) {
  const std::string path = dir.File("list.txt");
  ASSERT_EQ(WriteListingFile(path, {"a", "b"}), "");
  EXPECT_EQ(ReadFile(path), "a\r\nb\r\n");
  EXPECT_EQ(WriteListingFile(dir.File("missing/list.txt"), {"a"}), "File Error");
}

}  // namespace
