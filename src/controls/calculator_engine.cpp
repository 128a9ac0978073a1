#include "controls/calculator_engine.h"

#include <charconv>
#include <cmath>

namespace controls {

using Op = TVxCalculatorOperation;
using St = TVxCalcState;

namespace {

// What an unmasked floating-point unit would raise for this result.
tk::Extended Checked(tk::Extended result) {
  if (std::isnan(result)) throw EInvalidOp();
  if (std::isinf(result)) throw EOverflow();
  return result;
}

tk::Extended Divide(tk::Extended a, tk::Extended b) {
  if (b == 0) {
    if (a == 0 || std::isnan(a)) throw EInvalidOp();
    throw EZeroDivide();
  }
  return Checked(a / b);
}

}  // namespace

void TVxCustomCalculatorEngine::ClearAll() {
  Stack.fill(0);
  LastOperation = Op::coNone;
  OperationCount = 0;
  State = {St::csValid, St::csClear};
}

void TVxCustomCalculatorEngine::PushOperand(tk::Extended value) {
  for (std::size_t i = Stack.size() - 1; i > 0; --i) Stack[i] = Stack[i - 1];
  Stack[0] = value;
}

tk::Extended TVxCustomCalculatorEngine::PopOperand() {
  tk::Extended top = Stack[0];
  for (std::size_t i = 0; i + 1 < Stack.size(); ++i) Stack[i] = Stack[i + 1];
  Stack.back() = 0;
  return top;
}

bool TVxCustomCalculatorEngine::AddOperand(tk::Extended, TVxCalculatorOperation) { throw EAbstractError(); }

bool TVxCustomCalculatorEngine::AddOperation(TVxCalculatorOperation) { throw EAbstractError(); }

bool TVxBasicCalculatorEngine::AddOperand(tk::Extended value, TVxCalculatorOperation operation) {
  if (operation == Op::coNone || !State.Contains(St::csValid)) return false;
  PushOperand(value);
  return true;
}

void TVxBasicCalculatorEngine::Evaluate(TVxCalculatorOperation operation) {
  if (!State.Contains(St::csValid) || operation >= Op::coSubTotal) return;
  switch (operation) {
    case Op::coAdd:
      Stack[1] = Checked(Stack[1] + Stack[0]);
      PopOperand();
      break;
    case Op::coSub:
      Stack[1] = Checked(Stack[1] - Stack[0]);
      PopOperand();
      break;
    case Op::coMul:
      Stack[1] = Checked(Stack[1] * Stack[0]);
      PopOperand();
      break;
    case Op::coDiv:
      Stack[1] = Divide(Stack[1], Stack[0]);
      PopOperand();
      break;
    case Op::coInvert:
      Stack[0] = Divide(1, Stack[0]);
      break;
    case Op::coPercent:
      if (LastOperation == Op::coAdd || LastOperation == Op::coSub)
        Stack[0] = Checked(Stack[0] / 100 * Stack[1]);
      else
        Stack[0] = Checked(Stack[0] / 100);
      State = {St::csValid, St::csClear};
      break;
    case Op::coSqrt:
      if (Stack[0] < 0) throw EInvalidOp();
      Stack[0] = std::sqrt(Stack[0]);
      break;
    case Op::coMemClear:
      Memory = 0;
      break;
    case Op::coMemRecall:
      Stack[0] = Memory;
      State = {St::csValid, St::csClear};
      break;
    case Op::coMemStore:
      Memory = Stack[0];
      State.Include(St::csClear);
      break;
    case Op::coMemAdd:
    case Op::coMemSub: {
      // The next digit starts a new number even when the sum overflows.
      State.Include(St::csClear);
      Memory = Checked(operation == Op::coMemAdd ? Memory + Stack[0] : Memory - Stack[0]);
      break;
    }
    default:
      break;
  }
}

bool TVxBasicCalculatorEngine::AddOperation(TVxCalculatorOperation operation) {
  if (!State.Contains(St::csValid) || operation == Op::coSubTotal) return false;
  switch (operation) {
    case Op::coNone:
      return true;
    case Op::coAdd:
    case Op::coSub:
    case Op::coMul:
    case Op::coDiv: {
      Evaluate(LastOperation);
      State = {St::csValid, St::csClear};
      bool additive = operation == Op::coAdd || operation == Op::coSub;
      bool continues = additive ? LastOperation == Op::coAdd || LastOperation == Op::coSub : LastOperation == operation;
      OperationCount = continues ? OperationCount + 1 : 1;
      LastOperation = operation;
      return true;
    }
    case Op::coEqual:
      State.Include(St::csClear);
      if (LastOperation == Op::coNone) return true;
      Evaluate(LastOperation);
      State = {St::csValid, St::csClear};
      LastOperation = LastOperation == Op::coEqual ? Op::coNone : Op::coEqual;
      return true;
    case Op::coInvert:
    case Op::coSqrt:
    case Op::coMemRecall:
      Evaluate(operation);
      return true;
    case Op::coPercent: {
      Evaluate(Op::coPercent);
      bool again = LastOperation == Op::coPercent;
      if (!ShowSeparatePercent) {
        Evaluate(LastOperation);
        State = {St::csValid, St::csClear};
        LastOperation = Op::coEqual;
      }
      OperationCount = again ? OperationCount + 1 : 0;
      return true;
    }
    default:  // the memory operations leave the display as it is
      Evaluate(operation);
      return false;
  }
}

std::string FormatCalcValue(tk::Extended value, int decimals, char decimalSeparator) {
  char buffer[5000];
  std::to_chars_result r = decimals == 0
                               ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15)
                               : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                                               decimals < 0 ? -decimals : decimals);
  std::string text(buffer, r.ec == std::errc() ? r.ptr : buffer);
  for (char& c : text)
    if (c == '.') c = decimalSeparator;
  return text;
}

tk::Extended CalcTextToValue(const std::string& text, char decimalSeparator) {
  std::size_t first = text.find_first_not_of(' ');
  std::size_t last = text.find_last_not_of(' ');
  std::string number = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
  bool valid = !number.empty();
  for (char& c : number) {
    if (c == decimalSeparator)
      c = '.';
    else if (c == '.')
      valid = false;  // a point is no separator where the locale uses another
  }
  tk::Extended value = 0;
  if (valid) {
    const char* end = number.data() + number.size();
    std::from_chars_result r = std::from_chars(number.data(), end, value);
    valid = r.ec == std::errc() && r.ptr == end;
  }
  if (!valid) throw tk::EConvertError("'" + text + "' is not a valid floating point value");
  return value;
}

}  // namespace controls
