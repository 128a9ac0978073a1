#include "serial/status_light.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include "serial/error_codes.h"
#include "serial/lk_exception.h"
#include "support/fake_serial_device.h"
#include "support/pty_pair.h"
#include "support/serial_port_helpers.h"
#include "support/user_input.h"

namespace serial {
namespace {

using test::ScopedComEnv;
using testing_support::PtyPair;

QRgb At(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

// A picture for a look by eye, four times the size.
void Shot(QWidget& widget, const char* name) {
  const QImage image = widget.grab().toImage();
  testing_support::SaveShot(image.scaled(image.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation), name);
}

TEST(StatusLight, PlainLampIsRedWhenLitGreenWhenNotWithARaisedEdge) {
  QWidget parent;
  parent.resize(60, 30);
  TLkStatusLight light(nullptr, &parent);
  EXPECT_EQ(light.Width(), 13);
  EXPECT_EQ(light.Height(), 13);
  EXPECT_FALSE(light.Lit());
  EXPECT_EQ(light.LitColor(), 255);
  EXPECT_EQ(light.NotLitColor(), 32768);
  EXPECT_EQ(light.Version(), "v3.03");
  light.SetVersion("x");
  EXPECT_EQ(light.Version(), "v3.03");

  QImage off = light.grab().toImage();
  EXPECT_EQ(At(off, 6, 6), 0x008000u);
  light.SetLit(true);
  QImage on = light.grab().toImage();
  EXPECT_EQ(At(on, 6, 6), 0xFF0000u);
  // White along the top and left from the corner, grey down the right and along the bottom.
  EXPECT_EQ(At(on, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(At(on, 12, 0), 0xFFFFFFu);
  EXPECT_EQ(At(on, 0, 12), 0xFFFFFFu);
  EXPECT_EQ(At(on, 12, 1), 0x808080u);
  EXPECT_EQ(At(on, 12, 12), 0x808080u);
  EXPECT_EQ(At(on, 1, 12), 0x808080u);
  EXPECT_EQ(At(on, 11, 11), 0xFF0000u);

  light.SetLitColor(tk::clBlue);
  EXPECT_EQ(At(light.grab().toImage(), 6, 6), 0x0000FFu);
  light.SetBounds(2, 3, 20, 20);
  EXPECT_EQ(light.Width(), 20);
}

TEST(StatusLight, GlyphHalvesWithTheTopLeftColourSeeThrough) {
  QWidget parent;
  parent.setAutoFillBackground(true);
  QPalette pal = parent.palette();
  pal.setColor(QPalette::Window, QColor(10, 20, 30));
  parent.setPalette(pal);
  TLkStatusLight light(nullptr, &parent);

  tk::Bitmap glyph(26, 13);
  QImage img(26, 13, QImage::Format_RGB32);
  img.fill(QColor(255, 0, 255));  // see-through colour
  for (int y = 3; y < 10; ++y)
    for (int x = 3; x < 10; ++x) {
      img.setPixel(x, y, qRgb(255, 255, 0));     // lit: yellow
      img.setPixel(x + 13, y, qRgb(0, 0, 128));  // not lit: navy
    }
  glyph.Assign(img);
  light.SetGlyph(&glyph);
  EXPECT_TRUE(light.HasGlyph());
  EXPECT_EQ(light.Width(), 13);
  EXPECT_EQ(light.Height(), 13);
  light.SetBounds(0, 0, 40, 40);  // the glyph decides the size
  EXPECT_EQ(light.Width(), 13);

  QImage off = light.grab().toImage();
  EXPECT_EQ(At(off, 5, 5), 0x000080u);
  EXPECT_EQ(At(off, 0, 0), 0x0A141Eu);  // the parent's colour
  light.SetLit(true);
  QImage on = light.grab().toImage();
  Shot(parent, "serial_light_glyph.png");
  EXPECT_EQ(At(on, 5, 5), 0xFFFF00u);
  EXPECT_EQ(At(on, 12, 12), 0x0A141Eu);

  light.SetGlyph(nullptr);
  EXPECT_FALSE(light.HasGlyph());
  EXPECT_EQ(light.Width(), 13);
}

// A port over a pseudo-terminal with a controller that drives the traffic lights.
struct Monitored {
  Monitored() : com(45, pty.SlavePath()) {
    port.SetComNumber(45);
    form.resize(80, 30);
    cts.SetBounds(10, 8, 13, 13);
    rx.SetBounds(30, 8, 13, 13);
    tx.SetBounds(50, 8, 13, 13);
    TLightSet lights;
    lights.RXDLight = &rx;
    lights.TXDLight = &tx;
    lights.CTSLight = &cts;
    controller.SetLights(lights);
    controller.SetComPort(&port);
  }
  PtyPair pty;
  ScopedComEnv com;
  QWidget form;
  TLkComPort port{nullptr};
  TLkStatusLight rx{nullptr, &form};
  TLkStatusLight tx{nullptr, &form};
  TLkStatusLight cts{nullptr, &form};
  TLkSLController controller{nullptr};
};

TEST(StatusLightController, LightsComeOnWithTrafficAndGoOutAfterTheirTick) {
  Monitored m;
  m.port.SetOpen(true);
  m.controller.SetMonitoring(true);
  ASSERT_TRUE(m.controller.Monitoring());
  EXPECT_FALSE(m.rx.Lit());

  ASSERT_TRUE(m.pty.WriteMaster({'x', 'y'}));
  ASSERT_TRUE(test::ProcessUntil([&] { return m.rx.Lit(); }));
  Shot(m.form, "serial_lights_rx.png");
  // Lit while input waits; out within a tick or two once it is read.
  test::ProcessUntil([] { return false; }, std::chrono::milliseconds(150));
  EXPECT_TRUE(m.rx.Lit());
  char buf[2];
  m.port.GetBlock(buf, 2);
  EXPECT_TRUE(test::ProcessUntil([&] { return !m.rx.Lit(); }, std::chrono::seconds(5)));

  bool sawTx = false;
  m.port.PutString("hello");
  EXPECT_TRUE(test::ProcessUntil([&] { return sawTx = sawTx || m.tx.Lit(), sawTx && !m.tx.Lit(); },
                                 std::chrono::milliseconds(2000)));
  EXPECT_TRUE(sawTx);
  EXPECT_EQ(m.pty.ReadMaster(5).size(), 5u);
}

TEST(StatusLightController, MonitoringFollowsThePortAcrossCloseAndOpen) {
  Monitored m;
  int chained = 0;
  m.port.SetOnTriggerAvail([&](tk::Component*, std::uint32_t) { ++chained; });
  m.controller.SetMonitoring(true);  // closed port: remembered
  EXPECT_FALSE(m.controller.Monitoring());
  m.port.SetOpen(true);
  EXPECT_TRUE(m.controller.Monitoring());

  ASSERT_TRUE(m.pty.WriteMaster({'a'}));
  ASSERT_TRUE(test::ProcessUntil([&] { return m.rx.Lit() && chained > 0; }));  // the port's own event still runs

  m.port.SetOpen(false);
  EXPECT_FALSE(m.controller.Monitoring());
  EXPECT_FALSE(m.rx.Lit());
  // A close that meets a notification in progress ends, and the reopen follows, once that has run.
  m.port.SetOpen(true);
  ASSERT_TRUE(test::ProcessUntil([&] { return m.controller.Monitoring(); }));
  m.controller.SetMonitoring(false);
  EXPECT_FALSE(m.controller.Monitoring());
  chained = 0;
  ASSERT_TRUE(m.pty.WriteMaster({'b'}));
  ASSERT_TRUE(test::ProcessUntil([&] { return chained > 0; }));  // the port's event is back
  EXPECT_FALSE(m.rx.Lit());
}

// Switched off before the port opens (or while it is still closing), monitoring stays off once it opens.
TEST(StatusLightController, SwitchedOffWhileClosedItStaysOffAtTheOpen) {
  Monitored m;
  m.controller.SetMonitoring(true);
  m.controller.SetMonitoring(false);
  m.port.SetOpen(true);
  EXPECT_FALSE(m.controller.Monitoring());
}

// A port over a fake device (modem lines, line errors and breaks), run by its worker threads.
struct MonitoredLines {
  MonitoredLines() {
    port.SetComNumber(1);
    port.DispatcherFactory = [this](TLkCustomComPort& p) {
      return TLkBaseDispatcher::Create<TLkComDispatcher>(&p, [this](const std::string&) {
        platform::SerialOpenResult r;
        auto device = std::make_unique<testing_support::FakeSerialDevice>();
        fake = device.get();
        r.Device = std::move(device);
        return r;
      });
    };
    TLightSet lights;
    lights.CTSLight = &cts;
    lights.DCDLight = &dcd;
    lights.ERRORLight = &error;
    lights.BREAKLight = &brk;
    controller.SetLights(lights);
    controller.SetComPort(&port);
    controller.ErrorOffTimeout = 2;
    controller.BreakOffTimeout = 2;
  }
  ~MonitoredLines() { port.SetOpen(false); }
  testing_support::FakeSerialDevice* fake = nullptr;
  QWidget form;
  TLkComPort port{nullptr};
  TLkStatusLight cts{nullptr, &form}, dcd{nullptr, &form}, error{nullptr, &form}, brk{nullptr, &form};
  TLkSLController controller{nullptr};
};

TEST(StatusLightController, LinesErrorsAndBreaksLightTheirLamps) {
  MonitoredLines m;
  m.port.SetOpen(true);
  ASSERT_NE(m.fake, nullptr);
  m.controller.SetMonitoring(true);
  EXPECT_FALSE(m.cts.Lit());
  // The comm thread takes the lines' first state as it starts; a change before that is no change.
  test::ProcessUntil([] { return false; }, std::chrono::milliseconds(100));

  m.fake->SetModemLines(platform::LineCts);
  ASSERT_TRUE(test::ProcessUntil([&] { return m.cts.Lit(); }));
  EXPECT_FALSE(m.dcd.Lit());
  m.fake->SetModemLines(platform::LineDcd);
  ASSERT_TRUE(test::ProcessUntil([&] { return m.dcd.Lit() && !m.cts.Lit(); })) << "the trigger was re-armed";

  m.fake->AddLineErrors(platform::SerialStatus::Framing);
  m.fake->Receive({'e'});
  ASSERT_TRUE(test::ProcessUntil([&] { return m.error.Lit(); }));
  EXPECT_FALSE(m.brk.Lit());
  EXPECT_TRUE(test::ProcessUntil([&] { return !m.error.Lit(); })) << "out after its time-out";

  m.fake->AddLineErrors(platform::SerialStatus::Break);
  m.fake->Receive({'b'});
  ASSERT_TRUE(test::ProcessUntil([&] { return m.brk.Lit(); }));
  EXPECT_TRUE(test::ProcessUntil([&] { return !m.brk.Lit(); }));

  m.fake->AddLineErrors(platform::SerialStatus::Parity);  // the error trigger was armed again
  m.fake->Receive({'p'});
  EXPECT_TRUE(test::ProcessUntil([&] { return m.error.Lit(); }));
}

TEST(StatusLightController, RefusesWithoutAPortAndForgetsWhatGoes) {
  TLkSLController controller(nullptr);
  try {
    controller.SetMonitoring(true);
    ADD_FAILURE() << "no exception";
  } catch (const EPortNotAssigned& e) {
    EXPECT_STREQ(e.what(), "ComPort component not assigned");
  }
  EXPECT_EQ(controller.ErrorOffTimeout, 36);
  EXPECT_EQ(controller.BreakOffTimeout, 36);
  EXPECT_EQ(controller.RXDOffTimeout, 1);
  EXPECT_EQ(controller.TXDOffTimeout, 1);
  EXPECT_EQ(controller.RingOffTimeout, 8);

  auto* port = new TLkComPort(nullptr);
  auto* light = new TLkStatusLight(nullptr);
  controller.SetComPort(port);
  TLightSet set;
  set.ERRORLight = light;
  controller.SetLights(set);
  delete light;
  EXPECT_EQ(controller.Lights().ERRORLight, nullptr);
  delete port;
  EXPECT_EQ(controller.ComPort(), nullptr);
}

}  // namespace
}  // namespace serial
