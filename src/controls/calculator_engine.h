#pragma once
// The calculator's arithmetic: a four-deep operand stack, a memory register and the pending operation,
// applied one at a time in the order they are entered, as a pocket calculator does (no precedence).
// Numbers are 80-bit extended; faults come out as the platform's floating-point exceptions.
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "tk/exception.h"
#include "tk/types.h"

namespace controls {

enum class TVxCalculatorOperation {
  coNone,
  coAdd,
  coSub,
  coMul,
  coDiv,
  coEqual,
  coInvert,
  coPercent,
  coSqrt,
  coMemClear,
  coMemRecall,
  coMemStore,
  coMemAdd,
  coMemSub,
  coSubTotal
};

enum class TVxCalcState { csValid, csLocked, csClear };

// A set over a small enumeration, as the original's set types.
template <class E>
class TVxSmallSet {
 public:
  constexpr TVxSmallSet() = default;
  constexpr TVxSmallSet(std::initializer_list<E> values) {
    for (E v : values) Include(v);
  }
  constexpr bool Contains(E v) const { return bits_ & Bit(v); }
  constexpr void Include(E v) { bits_ |= Bit(v); }
  constexpr void Exclude(E v) { bits_ &= ~Bit(v); }
  constexpr std::uint32_t Bits() const { return bits_; }
  static constexpr TVxSmallSet FromBits(std::uint32_t bits) {
    TVxSmallSet s;
    s.bits_ = bits;
    return s;
  }
  friend constexpr bool operator==(TVxSmallSet, TVxSmallSet) = default;

 private:
  static constexpr std::uint32_t Bit(E v) { return 1u << static_cast<int>(v); }
  std::uint32_t bits_ = 0;
};

using TVxCalcStates = TVxSmallSet<TVxCalcState>;

using tk::EAbstractError;
using tk::EInvalidOp;
using tk::EMathError;
using tk::EOverflow;
using tk::EZeroDivide;

class TVxCustomCalculatorEngine {
 public:
  virtual ~TVxCustomCalculatorEngine() = default;

  // Zeroes the stack, forgets the pending operation and count and readies for a new number; keeps Memory.
  void ClearAll();
  // Entry 0 is the top; a push drops entry 3, a pop brings in 0.
  void PushOperand(tk::Extended value);
  tk::Extended PopOperand();
  tk::Extended TopOperand() const { return Stack[0]; }

  // Pushes `value` when `operation` is not coNone and the engine is valid.
  virtual bool AddOperand(tk::Extended value, TVxCalculatorOperation operation);
  // Enters an operation; true when the owner should show the new top of the stack.
  virtual bool AddOperation(TVxCalculatorOperation operation);

  std::int32_t Decimals = 0;  // only kept for the owner's formatting
  bool ShowSeparatePercent = false;
  TVxCalculatorOperation LastOperation = TVxCalculatorOperation::coNone;
  std::int32_t OperationCount = 0;  // operations of the current kind entered in a row
  tk::Extended Memory = 0;
  std::array<tk::Extended, 4> Stack{};
  TVxCalcStates State;
};

class TVxBasicCalculatorEngine : public TVxCustomCalculatorEngine {
 public:
  bool AddOperand(tk::Extended value, TVxCalculatorOperation operation) override;
  bool AddOperation(TVxCalculatorOperation operation) override;

 private:
  // Applies one operation to the stack or the memory. A fault throws before anything is stored.
  void Evaluate(TVxCalculatorOperation operation);
};

// The value as the calculator shows it: 0 decimals in the general format (15 significant digits),
// otherwise fixed with |decimals| places; the decimal point is `decimalSeparator`.
std::string FormatCalcValue(tk::Extended value, int decimals, char decimalSeparator);
// A number typed with `decimalSeparator`, blanks around it allowed; tk::EConvertError otherwise.
tk::Extended CalcTextToValue(const std::string& text, char decimalSeparator);

}  // namespace controls
