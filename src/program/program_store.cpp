#include "program/program_store.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace {

void CheckRow(int row) {
  if (row < 1 || row > ProgramStore::kLastLine) throw std::out_of_range("program line out of range");
}

}  // namespace

ProgramStore::ProgramStore() : Comments(kSlots), ClipComments(kSlots) {}

int ProgramStore::GetLineFunction(int n) const { return Line(n).Function(); }

void ProgramStore::SetLineFunction(int n, int function) {
  ProgramLine& line = Line(n);
  line.Arg = 0;
  line.Value = 0;
  line.Word0 = static_cast<std::uint16_t>((line.Word0 & ~0x7C00) | ((function & 31) << 10));
}

int ProgramStore::GetLineKind(int n) const { return Line(n).Kind(); }

void ProgramStore::SetLineKind(int n, int kind) {
  ProgramLine& line = Line(n);
  line.Arg = 0;
  line.Value = 0;
  line.Word0 = static_cast<std::uint16_t>((line.Word0 & 0xFC1F) | ((kind & 31) << 5));
}

int ProgramStore::GetLineSub(int n) const { return Line(n).Sub(); }

void ProgramStore::SetLineSub(int n, int sub) {
  ProgramLine& line = Line(n);
  line.Word0 = static_cast<std::uint16_t>((line.Word0 & 0xFFE0) | (sub & 31));
}

std::uint16_t ProgramStore::GetLineArg(int n) const { return Line(n).Arg; }

void ProgramStore::SetLineArg(int n, std::uint16_t arg) { Line(n).Arg = arg; }

int ProgramStore::GetLineArgLow(int n) const { return Line(n).Arg & 0xFF; }

void ProgramStore::SetLineArgLow(int n, int low) {
  ProgramLine& line = Line(n);
  line.Arg = static_cast<std::uint16_t>((line.Arg & 0xFF00) | (low & 0xFF));
}

bool ProgramStore::GetValueIsVariable(int n) const { return (Line(n).Arg & 0x8000) != 0; }

void ProgramStore::SetValueIsVariable(int n, int flag) {
  ProgramLine& line = Line(n);
  line.Arg = static_cast<std::uint16_t>(flag != 0 ? (line.Arg | 0x8000) : (line.Arg & 0x7FFF));
}

std::uint16_t ProgramStore::GetLineValue(int n) {
  const ProgramLine& line = Line(n);
  ValuePrefix = (line.Arg & 0x8000) != 0 ? "Variable#" : " ";
  return line.Value;
}

void ProgramStore::SetLineValue(int n, std::uint16_t value) { Line(n).Value = value; }

void ProgramStore::DecodeModuleArg(int n) {
  const std::uint16_t arg = Line(n).Arg;
  ArgModule = static_cast<std::int16_t>((arg >> 8) & 0x7F);
  ArgLow = static_cast<std::int16_t>(arg & 0xFF);
}

void ProgramStore::EncodeModuleArg(int n, int module, int low) {
  Line(n).Arg = static_cast<std::uint16_t>((module << 8) | (low & 0xFF));
}

void ProgramStore::DecodeX10Arg(int n) {
  ProgramLine& line = Line(n);
  X10House = static_cast<std::int16_t>((line.Arg >> 8) & 15);
  X10Repeat = static_cast<std::int16_t>(((line.Arg >> 12) & 15) + 1);
  X10Code = static_cast<std::int16_t>(line.Arg & 0xFF);
  if (X10House > 16 || X10Code > 32) {
    const std::int16_t repeat = X10Repeat;
    EncodeX10Arg(n, 0, 1, 0);
    X10House = 0;
    X10Code = 0;
    X10Repeat = repeat;
  }
}

void ProgramStore::EncodeX10Arg(int n, int house, int repeat, int code) {
  house &= 0xFF;
  repeat &= 0xFF;
  code &= 0xFF;
  if (repeat > 16) repeat = 1;
  const int nibble = ((repeat & 15) - 1) & 15;
  Line(n).Arg = static_cast<std::uint16_t>((house << 8) | (nibble << 12) | code);
}

void ProgramStore::InsertLine(int row, bool adjust) {
  CheckRow(row);
  for (int i = kLastLine - 1; i > row; --i) {
    Lines[i] = Lines[i - 1];
    Comments[i] = std::move(Comments[i - 1]);
  }
  Lines[row] = ProgramLine{};
  Comments[row].clear();
  if (!adjust) return;
  for (int l = row - 1; l >= 1; --l) {
    ProgramLine& line = Lines[l];
    if (line.IsSkipTo() && line.Value >= row - l) ++line.Value;
  }
}

void ProgramStore::DeleteLine(int row) {
  CheckRow(row);
  for (int i = row; i < kLastLine; ++i) {
    Lines[i] = Lines[i + 1];
    Comments[i] = Comments[i + 1];  // a copy: line 4096 keeps its own
  }
  for (int l = row - 1; l >= 1; --l) {
    ProgramLine& line = Lines[l];
    if (line.IsSkipTo() && line.Value >= row - l + 1) --line.Value;
  }
}

int ProgramStore::InsertBlock(int row, std::span<const ProgramLine> lines, std::span<const std::string> comments) {
  CheckRow(row);
  const int count = static_cast<int>(std::min<std::size_t>(lines.size(), static_cast<std::size_t>(kSlots - row)));
  if (count == 0) return 0;
  // The source may be part of this store: take it before anything moves.
  std::vector<ProgramLine> block(lines.begin(), lines.begin() + count);
  std::vector<std::string> blockComments(static_cast<std::size_t>(count));
  for (int j = 0; j < count && j < static_cast<int>(comments.size()); ++j) blockComments[j] = comments[j];

  // The same as `count` empty lines inserted at row, one by one.
  for (int i = kLastLine - 1; i >= row + count; --i) {
    Lines[i] = Lines[i - count];
    Comments[i] = std::move(Comments[i - count]);
  }
  for (int l = row - 1; l >= 1; --l) {
    ProgramLine& line = Lines[l];
    if (!line.IsSkipTo()) continue;
    // One step at a time, so that a distance that wraps at 16 bits stops growing as it would have.
    for (int s = 0; s < count && line.Value >= row - l; ++s) ++line.Value;
  }
  for (int j = 0; j < count; ++j) {
    Lines[row + j] = block[j];
    Comments[row + j] = std::move(blockComments[j]);
  }
  return count;
}

void ProgramStore::CopyBlock(int first, int last) {
  BlockFirst = first;
  BlockLast = last;
  for (int i = 1; i < kLastLine; ++i) {
    ClipLines[i] = Lines[i];
    ClipComments[i] = Comments[i];
  }
}

void ProgramStore::CutBlock(int first, int last) {
  CopyBlock(first, last);
  for (int i = first; i <= last; ++i) DeleteLine(first);
}

int ProgramStore::PasteBlock(int row) {
  if (BlockLast < BlockFirst) return 0;
  const auto first = static_cast<std::size_t>(BlockFirst);
  const auto count = static_cast<std::size_t>(BlockLast - BlockFirst + 1);
  if (BlockFirst < 0 || first + count > ClipLines.size()) throw std::out_of_range("block out of range");
  return InsertBlock(row, std::span<const ProgramLine>(ClipLines).subspan(first, count),
                     std::span<const std::string>(ClipComments).subspan(first, count));
}

void ProgramStore::ClearProgram() {
  for (int i = 1; i <= kLastLine; ++i) {
    Lines[i] = ProgramLine{};
    Comments[i] = " ";
  }
}

std::string ProgramStore::ReferenceText(int n) const {
  const ProgramLine& line = Line(n);
  char text[16];
  std::snprintf(text, sizeof text, "%04X-%04X-%04X", line.Word0, line.Arg, line.Value);
  return text;
}

std::vector<std::uint8_t> ProgramStore::ControllerImage() const {
  std::vector<std::uint8_t> image(kImageBytes);
  for (std::size_t i = 0; i < kImageBytes / ProgramLine::kBytes; ++i)
    Lines[i].Store(image.data() + i * ProgramLine::kBytes);
  return image;
}

std::uint16_t ProgramStore::DateToDayNumber(int day, int month, int yy) {
  static constexpr int kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const int y = yy < 99 ? yy + 100 : yy;
  int n = day + (month >= 1 && month <= 12 ? kDaysBefore[month - 1] : 0);
  const bool leap = y >= 100 && y <= 120 && y % 4 == 0;
  if (leap && month > 2) ++n;
  if (y >= 100 && y <= 120) {
    // Days from 1 January 1999 to 1 January of year y; 2000, 2004, ..., 2016 are the leap years before it.
    for (int year = 99; year < y; ++year) n += (year >= 100 && year % 4 == 0) ? 366 : 365;
  }
  return static_cast<std::uint16_t>(n);
}
