#include "controls/calculator_engine.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

using namespace controls;
using Op = TVxCalculatorOperation;
using St = TVxCalcState;

// Drives the engine as the calculator does: each operator pushes the number typed before it, then is
// entered. "12 + 3 * 2 =" is 12 then +, 3 then *, 2 then =.
tk::Extended Enter(TVxBasicCalculatorEngine& engine, const std::string& keys) {
  std::istringstream in(keys);
  std::string token;
  tk::Extended typed = 0;
  while (in >> token) {
    static const std::pair<const char*, Op> kOps[] = {{"+", Op::coAdd},     {"-", Op::coSub},     {"*", Op::coMul},
                                                      {"/", Op::coDiv},     {"=", Op::coEqual},   {"%", Op::coPercent},
                                                      {"sqrt", Op::coSqrt}, {"inv", Op::coInvert}};
    Op op = Op::coNone;
    for (const auto& [name, value] : kOps)
      if (token == name) op = value;
    if (op == Op::coNone) {
      typed = std::stold(token);
      continue;
    }
    engine.AddOperand(typed, op);
    engine.AddOperation(op);
  }
  return engine.TopOperand();
}

TVxBasicCalculatorEngine Cleared() {
  TVxBasicCalculatorEngine engine;
  engine.ClearAll();
  return engine;
}

TEST(CalculatorEngineStack, AFifthOperandDropsTheOldestAndAnEmptyStackPopsZero) {
  TVxBasicCalculatorEngine engine = Cleared();
  for (int v = 1; v <= 5; ++v) engine.PushOperand(v);
  EXPECT_EQ(engine.Stack, (std::array<tk::Extended, 4>{5, 4, 3, 2}));
  EXPECT_EQ(engine.PopOperand(), 5);
  EXPECT_EQ(engine.Stack, (std::array<tk::Extended, 4>{4, 3, 2, 0}));
  for (int i = 0; i < 3; ++i) engine.PopOperand();
  EXPECT_EQ(engine.PopOperand(), 0);
}

TEST(CalculatorEngineStack, ClearAllKeepsTheMemory) {
  TVxBasicCalculatorEngine engine = Cleared();
  engine.Memory = 7;
  Enter(engine, "4 + 5 *");
  engine.ClearAll();
  EXPECT_EQ(engine.Memory, 7);
  EXPECT_EQ(engine.Stack, (std::array<tk::Extended, 4>{}));
  EXPECT_EQ(engine.LastOperation, Op::coNone);
  EXPECT_EQ(engine.OperationCount, 0);
  EXPECT_EQ(engine.State, (TVxCalcStates{St::csValid, St::csClear}));
}

struct Sequence {
  const char* Keys;
  tk::Extended Result;
  Op Pending;
  int Count;
};

class CalculatorEngineSequences : public ::testing::TestWithParam<Sequence> {};

TEST_P(CalculatorEngineSequences, ApplyOperationsInTheOrderEntered) {
  TVxBasicCalculatorEngine engine = Cleared();
  const Sequence& s = GetParam();
  EXPECT_EQ(Enter(engine, s.Keys), s.Result) << s.Keys;
  EXPECT_EQ(engine.LastOperation, s.Pending) << s.Keys;
  EXPECT_EQ(engine.OperationCount, s.Count) << s.Keys;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CalculatorEngineSequences,
    ::testing::Values(Sequence{"12 + 3 * 2 =", 30, Op::coEqual, 1},  // no precedence
                      Sequence{"1 + 2 + 3 =", 6, Op::coEqual, 2}, Sequence{"10 - 5 + 1 =", 6, Op::coEqual, 2},
                      Sequence{"2 * 3 * 4 =", 24, Op::coEqual, 2},
                      Sequence{"8 / 2 * 3 =", 12, Op::coEqual, 1},  // x after / starts a new count
                      Sequence{"200 + 10 %", 220, Op::coEqual, 0},  // 10 % of 200, then the addition
                      Sequence{"200 - 10 %", 180, Op::coEqual, 0}, Sequence{"50 %", 0.5L, Op::coEqual, 0},
                      Sequence{"9 sqrt", 3, Op::coNone, 0}, Sequence{"4 inv", 0.25L, Op::coNone, 0},
                      Sequence{"7 =", 7, Op::coNone, 0}));

TEST(CalculatorEngine, ASecondEqualEvaluatesNothingAndLeavesNothingPending) {
  TVxBasicCalculatorEngine engine = Cleared();
  Enter(engine, "5 + 3 =");
  EXPECT_EQ(engine.LastOperation, Op::coEqual);
  engine.PushOperand(100);
  EXPECT_TRUE(engine.AddOperation(Op::coEqual));
  EXPECT_EQ(engine.TopOperand(), 100);
  EXPECT_EQ(engine.LastOperation, Op::coNone);
}

TEST(CalculatorEngine, SeparatePercentLeavesTheAdditionPending) {
  TVxBasicCalculatorEngine engine = Cleared();
  engine.ShowSeparatePercent = true;
  EXPECT_EQ(Enter(engine, "200 + 10 %"), 20);
  EXPECT_EQ(engine.LastOperation, Op::coAdd);
  engine.AddOperation(Op::coEqual);
  EXPECT_EQ(engine.TopOperand(), 220);
}

TEST(CalculatorEngine, MemoryOperationsChangeTheRegisterAndDoNotUpdateTheDisplay) {
  TVxBasicCalculatorEngine engine = Cleared();
  engine.PushOperand(6);
  engine.State = {St::csValid};
  EXPECT_FALSE(engine.AddOperation(Op::coMemStore));
  EXPECT_EQ(engine.Memory, 6);
  EXPECT_TRUE(engine.State.Contains(St::csClear));
  engine.PushOperand(2);
  EXPECT_FALSE(engine.AddOperation(Op::coMemAdd));
  EXPECT_EQ(engine.Memory, 8);
  EXPECT_FALSE(engine.AddOperation(Op::coMemSub));
  EXPECT_EQ(engine.Memory, 6);
  engine.State = {St::csValid};
  EXPECT_TRUE(engine.AddOperation(Op::coMemRecall));
  EXPECT_EQ(engine.TopOperand(), 6);
  EXPECT_EQ(engine.State, (TVxCalcStates{St::csValid, St::csClear}));
  EXPECT_FALSE(engine.AddOperation(Op::coMemClear));
  EXPECT_EQ(engine.Memory, 0);
}

TEST(CalculatorEngine, RefusedRequestsChangeNothing) {
  TVxBasicCalculatorEngine engine = Cleared();
  Enter(engine, "4 +");
  TVxBasicCalculatorEngine before = engine;
  EXPECT_FALSE(engine.AddOperand(9, Op::coNone));
  EXPECT_FALSE(engine.AddOperation(Op::coSubTotal));
  engine.State = {St::csLocked};
  before.State = engine.State;
  EXPECT_FALSE(engine.AddOperand(9, Op::coAdd));
  EXPECT_FALSE(engine.AddOperation(Op::coAdd));
  EXPECT_EQ(engine.Stack, before.Stack);
  EXPECT_EQ(engine.LastOperation, before.LastOperation);
  EXPECT_EQ(engine.OperationCount, before.OperationCount);
}

TEST(CalculatorEngine, TheBaseEngineHasNoArithmetic) {
  TVxCustomCalculatorEngine engine;
  EXPECT_THROW(engine.AddOperand(1, Op::coAdd), EAbstractError);
  EXPECT_THROW(engine.AddOperation(Op::coAdd), EAbstractError);
}

struct Fault {
  const char* Before;  // entered first
  tk::Extended Operand;
  Op Operation;  // faults
  const char* Kind;
};

class CalculatorEngineFaults : public ::testing::TestWithParam<Fault> {};

TEST_P(CalculatorEngineFaults, RaiseTheFloatingPointErrorAndKeepTheStack) {
  const Fault& f = GetParam();
  TVxBasicCalculatorEngine engine = Cleared();
  Enter(engine, f.Before);
  engine.AddOperand(f.Operand, f.Operation);
  auto stack = engine.Stack;
  std::string kind = "none";
  try {
    engine.AddOperation(f.Operation);
  } catch (const EZeroDivide&) {
    kind = "zero";
  } catch (const EInvalidOp&) {
    kind = "invalid";
  } catch (const EOverflow&) {
    kind = "overflow";
  }
  EXPECT_EQ(kind, f.Kind) << f.Before;
  EXPECT_EQ(engine.Stack, stack) << f.Before;
}

INSTANTIATE_TEST_SUITE_P(Table, CalculatorEngineFaults,
                         ::testing::Values(Fault{"1 /", 0, Op::coEqual, "zero"},
                                           Fault{"0 /", 0, Op::coEqual, "invalid"}, Fault{"", 0, Op::coInvert, "zero"},
                                           Fault{"", -4, Op::coSqrt, "invalid"},
                                           Fault{"1e4000 *", 1e4000L, Op::coEqual, "overflow"},
                                           Fault{"1e4932 +", 1e4932L, Op::coAdd, "overflow"}));

TEST(CalculatorEngine, AFailedMemoryAdditionStillEndsTheNumber) {
  TVxBasicCalculatorEngine engine = Cleared();
  engine.Memory = 1e4932L;
  engine.PushOperand(1e4932L);
  engine.State = {St::csValid};
  EXPECT_THROW(engine.AddOperation(Op::coMemAdd), EOverflow);
  EXPECT_EQ(engine.Memory, 1e4932L);
  EXPECT_TRUE(engine.State.Contains(St::csClear));
}

struct Shown {
  tk::Extended Value;
  int Decimals;
  char Separator;
  const char* Text;
};

class CalculatorValueText : public ::testing::TestWithParam<Shown> {};

TEST_P(CalculatorValueText, FormatsAndReadsBack) {
  const Shown& s = GetParam();
  EXPECT_EQ(FormatCalcValue(s.Value, s.Decimals, s.Separator), s.Text);
  EXPECT_NEAR(static_cast<double>(CalcTextToValue(std::string(" ") + s.Text + " ", s.Separator)),
              static_cast<double>(s.Value), 0.006 * (s.Value < 0 ? -s.Value : s.Value) + 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Table, CalculatorValueText,
                         ::testing::Values(Shown{1234.5L, 2, '.', "1234.50"}, Shown{-0.5L, 0, '.', "-0.5"},
                                           Shown{30, 0, '.', "30"}, Shown{1e20L, 0, '.', "1e+20"},
                                           Shown{1.0L / 3, 0, '.', "0.333333333333333"},
                                           Shown{53.71L, -2, '.', "53.71"}, Shown{1.5L, 2, ',', "1,50"}));

TEST(CalculatorValueText, TextsThatAreNoNumberAreRefused) {
  for (const char* text : {"", "  ", "-", "____", "1.5.", "12 3", "0x10"})
    EXPECT_THROW(CalcTextToValue(text, '.'), tk::EConvertError) << text;
  EXPECT_THROW(CalcTextToValue("1.5", ','), tk::EConvertError);
  EXPECT_EQ(CalcTextToValue("0.", '.'), 0);
}

}  // namespace
