// The pager modem set-up over a pseudo-terminal: the test plays the modem on the master end.
#include "controller/pager_modem_setup.h"

#include <gtest/gtest.h>

#include "serial/com_port.h"
#include "support/serial_port_helpers.h"
#include "support/pty_pair.h"
#include "support/scripted_ui.h"

namespace controller::test {
namespace {

using testing_support::TestUi;

constexpr int ModemCom = 3;

std::string Text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }
std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

class PagerModemSetupTest : public ::testing::Test {
 protected:
  PagerModemSetupTest() {
    setup.AddLine = [this](const std::string& line) { lines.push_back(line); };
  }
  ~PagerModemSetupTest() override { port.SetOpen(false); }

  // What the modem hears next, `count` bytes.
  std::string Heard(std::size_t count) { return Text(modem.ReadMaster(count)); }
  // The modem answers; the port holds the answer once its input count reaches `total`.
  void Answer(const std::string& reply, std::int32_t total) {
    ASSERT_TRUE(modem.WriteMaster(Bytes(reply)));
    ASSERT_TRUE(serial::test::PumpIn(port, total));
    ASSERT_EQ(port.InBuffUsed(), total);
  }

  testing_support::PtyPair modem;
  serial::test::ScopedComEnv com{ModemCom, modem.SlavePath()};
  serial::TLkComPort port{nullptr};
  bool connected = false;
  PagerModemSetup setup{port, [this] { return connected; }};
  std::vector<std::string> lines;
};

TEST_F(PagerModemSetupTest, SendsTheThreeCommandLinesAndShowsEachReply) {
  const std::string first = "AT&F0&K0Q0&D0Q0V0E0&W1\r", second = "AT&Z0=18005551234\r",
                    third = "AT&F0S0=6&K0Q0&D0Q1&W0\r";
  ASSERT_TRUE(setup.Begin(ModemCom));
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.ComNumber(), ModemCom);
  EXPECT_EQ(setup.Step(), 1);

  EXPECT_TRUE(setup.ConfigureModemStep("18005551234"));
  EXPECT_EQ(Heard(first.size()), first);
  EXPECT_EQ(setup.Step(), 2);
  // The echo of the first line and its result: more than one read takes; the rest comes with the next.
  const std::string echo = first + "\r\nOK\r\n";
  ASSERT_GT(echo.size(), static_cast<std::size_t>(PagerModemSetup::MaxReplyBytes));
  Answer(echo, static_cast<std::int32_t>(echo.size()));

  EXPECT_TRUE(setup.ConfigureModemStep("18005551234"));
  EXPECT_EQ(Heard(second.size()), second);
  Answer("0\r", static_cast<std::int32_t>(echo.size()) - PagerModemSetup::MaxReplyBytes + 2);
  EXPECT_TRUE(setup.ConfigureModemStep("18005551234"));
  EXPECT_EQ(Heard(third.size()), third);
  EXPECT_EQ(setup.Step(), 4);
  EXPECT_TRUE(port.Open());

  Answer("0\r", 2);
  EXPECT_FALSE(setup.ConfigureModemStep("18005551234"));
  EXPECT_EQ(setup.Step(), 4);
  EXPECT_FALSE(setup.Running());
  EXPECT_FALSE(port.Open());
  EXPECT_FALSE(setup.ConfigureModemStep("18005551234")) << "over: nothing more is sent";

  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], first);
  EXPECT_EQ(lines[1], echo.substr(0, PagerModemSetup::MaxReplyBytes));
  EXPECT_EQ(lines[2], second);
  EXPECT_EQ(lines[3], echo.substr(PagerModemSetup::MaxReplyBytes) + "0\r");
  EXPECT_EQ(lines[4], third);
  EXPECT_EQ(lines[5], "0\r");
  EXPECT_TRUE(TestUi().Messages().empty());
}

TEST_F(PagerModemSetupTest, APortThatCannotBeOpenedIsReportedAndNothingStarts) {
  serial::test::ScopedComEnv missing{5, "/nonexistent/zelta-modem"};
  serial::TLkComPort holder{nullptr};
  holder.SetComNumber(ModemCom);
  holder.SetOpen(true);
  const struct {
    int Com;
    const char* Message;
  } cases[] = {{ModemCom, "COM3 Port Already In Use"}, {5, "COM5 Port Does Not Exist"}};
  for (const auto& c : cases) {
    TestUi().Clear();
    EXPECT_FALSE(setup.Begin(c.Com));
    EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{c.Message});
    EXPECT_EQ(TestUi().Asked().back().Caption, "COM ERROR");
    EXPECT_EQ(setup.Step(), 0);
    EXPECT_FALSE(setup.ConfigureModemStep("1"));
    EXPECT_FALSE(port.Open());
  }
  EXPECT_TRUE(lines.empty());
}

TEST_F(PagerModemSetupTest, AControllerConnectionKeepsThePort) {
  connected = true;
  EXPECT_FALSE(setup.Begin(ModemCom));
  EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{"Disconnect From The Controller Before Pager Setup"});
  EXPECT_FALSE(port.Open());

  // A connection starts only through an attach, which cuts the set-up first: the port is closed, the list
  // says so and nothing more is sent.
  connected = false;
  std::optional<bool> cut;
  setup.Ended = [&](bool c) { cut = c; };
  ASSERT_TRUE(setup.Begin(ModemCom));
  EXPECT_TRUE(setup.ConfigureModemStep("1"));
  setup.Cut();
  EXPECT_EQ(cut, true);
  EXPECT_FALSE(port.Open());
  EXPECT_FALSE(setup.ConfigureModemStep("1"));
  EXPECT_EQ(lines, (std::vector<std::string>{"AT&F0&K0Q0&D0Q0V0E0&W1\r", PagerModemSetup::CutLine}));
}

TEST_F(PagerModemSetupTest, AnUnpluggedModemEndsTheSetUpOnTime) {
  ASSERT_TRUE(setup.Begin(ModemCom));
  modem.CloseMaster();
  int steps = 0;
  while (steps < 10 && setup.ConfigureModemStep("1")) ++steps;
  EXPECT_EQ(steps, 3) << "the fourth step ends it";
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(lines.size(), 3u) << "no reply from a modem that is gone";
}

}  // namespace
}  // namespace controller::test
