#pragma once
// The rule program held on the PC: 4097 line records (slot 0 unused and always zero, lines 1..4096) with a
// comment per line, the Copy/Cut snapshot and the scratch fields the line codec reads back after decoding.
// The editor window owns one store; the line codec, the files and the program download work on it.
//
// Accessors take a line number 1..4096 and do not check field ranges: callers keep function and kind to
// 0..31 and houses to 0..15. A line number outside 0..4096 throws std::out_of_range rather than touching
// memory outside the store.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "program/program_line.h"

class ProgramStore {
 public:
  static constexpr int kSlots = 4097;
  static constexpr int kLastLine = 4096;
  // The controller gets slots 0..4095 (line 4096 stays on the PC).
  static constexpr std::size_t kImageBytes = 4096 * ProgramLine::kBytes;

  ProgramStore();

  std::array<ProgramLine, kSlots> Lines{};
  std::vector<std::string> Comments;  // kSlots entries; slot 0 unused
  // Snapshot of lines 1..4095 taken by Copy and Cut; Paste inserts entries BlockFirst..BlockLast of it.
  std::array<ProgramLine, kSlots> ClipLines{};
  std::vector<std::string> ClipComments;  // kSlots entries
  std::int32_t BlockFirst = 0;
  std::int32_t BlockLast = 0;
  // Program changed since the last open or save. Only opening a line in the wizard sets it; only Open
  // Program and a successful save clear it.
  bool Modified = false;
  std::int16_t CurrentLine = 1;  // the line open in the wizard; the search position
  // Scratch results of DecodeX10Arg and DecodeModuleArg.
  std::int16_t X10House = 0;
  std::int16_t X10Code = 0;
  std::int16_t X10Repeat = 0;
  std::int16_t ArgModule = 0;
  std::int16_t ArgLow = 0;
  std::string ValuePrefix;            // " " or "Variable#", set by GetLineValue
  std::string FileName = "Untitled";  // program name in the print header

  // Word 0 fields. The setters of Function and Kind clear Arg and Value first.
  int GetLineFunction(int n) const;
  void SetLineFunction(int n, int function);  // Kind and Sub kept
  int GetLineKind(int n) const;
  void SetLineKind(int n, int kind);  // Function and Sub kept
  int GetLineSub(int n) const;
  void SetLineSub(int n, int sub);  // operands kept

  // Word 1.
  std::uint16_t GetLineArg(int n) const;
  void SetLineArg(int n, std::uint16_t arg);
  int GetLineArgLow(int n) const;            // Arg & 0xFF
  void SetLineArgLow(int n, int low);        // high byte of Arg kept
  bool GetValueIsVariable(int n) const;      // Arg bit 15
  void SetValueIsVariable(int n, int flag);  // non-zero sets bit 15, zero clears it

  // Word 2. Reading it also sets ValuePrefix from the line's ValueIsVariable bit, which the renderer uses
  // right after; callers that only want the number change ValuePrefix as well.
  std::uint16_t GetLineValue(int n);
  void SetLineValue(int n, std::uint16_t value);

  // Module operand: ArgModule := bits 14-8, ArgLow := bits 7-0.
  void DecodeModuleArg(int n);
  // Arg := (module << 8) | low; this also clears ValueIsVariable, so set that afterwards.
  void EncodeModuleArg(int n, int module, int low);

  // X10 operand: X10House, X10Repeat (1..16) and X10Code. An operand whose code is above 32 is reset to
  // 0 (house A, repeat 1, code 0) in the store and in X10House/X10Code; X10Repeat keeps what it decoded.
  void DecodeX10Arg(int n);
  // house, repeat and code are taken as 8-bit values; a repeat above 16 counts as 1, and both 16 and 0
  // store the nibble 15 (which decodes as 16).
  void EncodeX10Arg(int n, int house, int repeat, int code);

  // Inserts an empty line at row (1..4096): lines row..4094 move down one, line 4095's old content is lost
  // and line 4096 never moves. With adjust, Skip To lines above row whose target lay at or after row get
  // one more line of distance, so they keep reaching the same instruction.
  void InsertLine(int row, bool adjust);
  // Deletes the line at row (1..4096): lines row+1..4096 move up one and line 4096 keeps its content.
  // Skip To lines above row whose target lay after it get one line less; a skip that targeted the
  // deleted line then reaches the line that followed it.
  void DeleteLine(int row);
  // Inserts lines[i] with comments[i] (empty where comments is shorter) at row, row+1, ... as one block: the lines
  // above row are renumbered as for that many single inserts, and the inserted lines keep their own Skip To distances.
  // Stops at line 4096; returns how many were inserted (fewer than given when the block would run past 4096, which the
  // window reports as "Grid index out of range").
  int InsertBlock(int row, std::span<const ProgramLine> lines, std::span<const std::string> comments);

  // Copy: BlockFirst/BlockLast := first/last and lines 1..4095 with their comments go to the snapshot.
  void CopyBlock(int first, int last);
  // Cut: the same snapshot, then the block's lines are deleted (with renumbering).
  void CutBlock(int first, int last);
  // Paste: inserts snapshot entries BlockFirst..BlockLast at row as one block (see InsertBlock). Before any
  // Copy or Cut that is the single empty entry 0. Returns the number inserted.
  int PasteBlock(int row);

  // All lines 1..4096 empty, their comments " ". Modified, FileName and the snapshot stay.
  void ClearProgram();

  // "%04X-%04X-%04X" of the three words: the grid's Reference column.
  std::string ReferenceText(int n) const;

  // Slots 0..4095 as the controller stores them: 24,576 bytes of little-endian words.
  std::vector<std::uint8_t> ControllerImage() const;

  // Day number of a date for date conditions, 1 January 1999 = 1, with yy the year modulo 100. Only 1999 to
  // 2020 are numbered continuously; any later year gives just the day of the year, because that is what
  // the controller compares against.
  static std::uint16_t DateToDayNumber(int day, int month, int yy);

 private:
  ProgramLine& Line(int n) { return Lines.at(static_cast<std::size_t>(n)); }
  const ProgramLine& Line(int n) const { return Lines.at(static_cast<std::size_t>(n)); }
};
