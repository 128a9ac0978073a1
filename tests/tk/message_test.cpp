#include "tk/message.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <vector>

#include "tk/component.h"
#include "tk/hidden_window.h"
#include "tk/qcomponent.h"

namespace {

int delivered = 0;  // messages dispatched to any target

class Target : public QObject, public tk::MessageTarget {
 public:
  std::vector<std::uint32_t> Seen;
  std::vector<std::intptr_t> Params;
  void Dispatch(tk::Message& m) override {
    ++delivered;
    Seen.push_back(m.Msg);
    Params.push_back(m.LParam);
    m.Result = 42;
  }

 protected:
  bool event(QEvent* e) override { return tk::HandleMessageEvent(e, *this) || QObject::event(e); }
};

TEST(Messages, SendCallsTheWindowProcedureAtOnceAndReturnsItsResult) {
  Target t;
  EXPECT_EQ(tk::SendMessage(t, 0x7F0D, 1, 2), 42);
  ASSERT_EQ(t.Seen.size(), 1u);
  EXPECT_EQ(t.Params[0], 2);
}

TEST(Messages, APostedMessageRunsAfterTheCurrentHandler) {
  Target t;
  tk::PostMessage(&t, 0x7F08);
  EXPECT_TRUE(t.Seen.empty());  // nothing yet: the poster's handler is still running
  tk::PostMessage(&t, 0x7F09);
  QCoreApplication::processEvents();
  std::vector<std::uint32_t> expected{0x7F08, 0x7F09};
  EXPECT_EQ(t.Seen, expected);
}

TEST(Messages, AMessageForADeletedTargetIsDropped) {
  auto* t = new Target;
  tk::PostMessage(t, 0x7F0B);
  delete t;
  delivered = 0;
  QCoreApplication::processEvents();  // must not touch the freed target
  EXPECT_EQ(delivered, 0);
}

TEST(Messages, AMessageCarryingADeletedComponentIsDropped) {
  Target t;
  auto* carried = new tk::Component(nullptr);
  auto* kept = new tk::Component(nullptr);
  tk::PostMessage(&t, 0x7F01, 0, carried);
  tk::PostMessage(&t, 0x7F01, 0, kept);
  delete carried;
  QCoreApplication::processEvents();
  ASSERT_EQ(t.Seen.size(), 1u);
  EXPECT_EQ(t.Params[0], reinterpret_cast<std::intptr_t>(kept));
  delete kept;
}

TEST(Messages, AMessageCarryingADeletedObjectIsDropped) {
  Target t;
  auto* carried = new QObject;
  tk::PostMessage(&t, 0x7F06, 0, carried);
  delete carried;
  QCoreApplication::processEvents();
  EXPECT_TRUE(t.Seen.empty());
}

TEST(Messages, AQComponentTakesPostedMessages) {
  struct Port : tk::QComponent {
    Port() : tk::QComponent(nullptr) {}
    int Count = 0;
    void Dispatch(tk::Message& m) override { Count += m.Msg == 0x7E00 ? 1 : 0; }
  } port;
  tk::PostMessage(&port, 0x7E00);
  QCoreApplication::processEvents();
  EXPECT_EQ(port.Count, 1);
}

TEST(HiddenWindow, TimersDeliverWmTimerWithTheirIdUntilKilled) {
  std::vector<std::uintptr_t> ticks;
  tk::HiddenWindow window([&](tk::Message& m) {
    if (m.Msg == tk::WM_TIMER) ticks.push_back(m.WParam);
  });
  ASSERT_TRUE(window.SetTimer(7, 5));
  QElapsedTimer clock;
  clock.start();
  while (ticks.size() < 2 && clock.elapsed() < 2000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  ASSERT_GE(ticks.size(), 2u);
  EXPECT_EQ(ticks[0], 7u);
  EXPECT_TRUE(window.KillTimer(7));
  EXPECT_FALSE(window.KillTimer(7));
  std::size_t count = ticks.size();
  clock.restart();
  while (clock.elapsed() < 30) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(ticks.size(), count);
}

TEST(HiddenWindow, PostedMessagesReachTheWindowProcedure) {
  int got = 0;
  tk::HiddenWindow window([&](tk::Message& m) { got = static_cast<int>(m.WParam); });
  tk::PostMessage(&window, 0x7F0A, 5);
  QCoreApplication::processEvents();
  EXPECT_EQ(got, 5);
}

}  // namespace
