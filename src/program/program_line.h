#pragma once
// One program line as the controller runs it: three 16-bit words, little-endian wherever it is written to a
// file or into the controller image.
//
//   Word0  bit 15 always 0, bits 14-10 Function, bits 9-5 Kind, bits 4-0 Sub
//   Arg    operand; module form: bit 15 ValueIsVariable, bits 14-8 module, bits 7-0 point/parameter/timer/
//          variable; X10 form: bits 15-12 repeat-1, bits 11-8 house, bits 7-0 unit or command code
//   Value  constant, variable number or, for Skip To, the forward distance in lines
#include <cstddef>
#include <cstdint>

enum LineFunction : int {
  FunctionIf = 0,
  FunctionThen = 1,
  FunctionElse = 2,
  FunctionAnd = 3,
  FunctionOr = 4,
  FunctionEnd = 31,
};

// THEN/ELSE kind whose Value is a forward distance; insert and delete keep it pointing at the same line.
constexpr int KindSkipTo = 6;
// IF kinds with layouts of their own.
constexpr int KindTimeOfDay = 6;
constexpr int KindDate = 11;

struct ProgramLine {
  static constexpr std::size_t kBytes = 6;

  std::uint16_t Word0 = 0;
  std::uint16_t Arg = 0;
  std::uint16_t Value = 0;

  bool operator==(const ProgramLine&) const = default;

  // All three words zero: the empty line.
  bool IsEmpty() const { return Word0 == 0 && Arg == 0 && Value == 0; }
  int Function() const { return (Word0 >> 10) & 31; }
  int Kind() const { return (Word0 >> 5) & 31; }
  int Sub() const { return Word0 & 31; }
  bool IsSkipTo() const { return (Function() == FunctionThen || Function() == FunctionElse) && Kind() == KindSkipTo; }

  // The END record: Function 31, everything else 0.
  static ProgramLine End() { return ProgramLine{static_cast<std::uint16_t>(FunctionEnd << 10), 0, 0}; }

  // Six bytes, little-endian words in order.
  void Store(std::uint8_t* out) const {
    const std::uint16_t words[3] = {Word0, Arg, Value};
    for (int i = 0; i < 3; ++i) {
      out[2 * i] = static_cast<std::uint8_t>(words[i] & 0xFF);
      out[2 * i + 1] = static_cast<std::uint8_t>(words[i] >> 8);
    }
  }
  static ProgramLine Load(const std::uint8_t* in) {
    auto word = [in](int i) { return static_cast<std::uint16_t>(in[2 * i] | (in[2 * i + 1] << 8)); };
    return ProgramLine{word(0), word(1), word(2)};
  }
};
