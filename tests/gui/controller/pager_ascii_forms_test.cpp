// The pager messages window, the pager set-up window and the voice and ASCII transmit dialogs as a user
// drives them, with the engine against the simulated controller and a modem played on a pseudo-terminal.
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include "controller/engine_fixture.h"
#include "controller/transmit_request.h"
#include "gui/controller/murmex_form.h"
#include "gui/controller/pager_form.h"
#include "gui/controller/pager_messages_form.h"
#include "gui/controller/transmit_ascii_form.h"
#include "support/pty_pair.h"
#include "support/user_input.h"

namespace {

using controller::CommsInput;
using testing_support::Click;
using testing_support::Key;
using testing_support::Replace;
using testing_support::Shoot;
using testing_support::Type;

// Types `text` into a grid cell through the grid's own editor and ends with Enter.
void EditCell(QTableWidget* grid, int row, int column, const QString& text) {
  grid->setCurrentCell(row, column);
  QApplication::processEvents();
  if (!grid->indexWidget(grid->currentIndex())) grid->editItem(grid->item(row, column));
  auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(grid->currentIndex()));
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  Type(editor, text);
  Key(editor, Qt::Key_Return);
}

class PagerMessagesTest : public controller::test::EngineTest {
 protected:
  PagerMessagesTest() {
    engine.CommState = 110;  // the window posts to a running connection
    form.show();
    view.Inputs[CommsInput::PagerRow] = [this](int row) { return form.RowText(row); };
  }
  TPagerMessages form{engine};
};

TEST_F(PagerMessagesTest, ShowsAPinRowAndFifteenMessageRows) {
  QTableWidget* grid = form.StringGrid1;
  ASSERT_EQ(grid->rowCount(), 16);
  ASSERT_EQ(grid->columnCount(), 2);
  EXPECT_EQ(grid->item(0, 0)->text(), "User PIN");
  EXPECT_EQ(grid->item(1, 0)->text(), "Message #1");
  EXPECT_EQ(grid->item(15, 0)->text(), "Message #15");
  EXPECT_FALSE(grid->item(3, 0)->flags() & Qt::ItemIsEditable) << "the caption column is fixed";
  EXPECT_TRUE(grid->item(3, 1)->flags() & Qt::ItemIsEditable);
  EXPECT_EQ(form.windowTitle(), "Pager Messages");
  EXPECT_TRUE(form.BitBtn1->isDefault());
}

// A row takes no more than the 64 characters the controller keeps, typed or pasted, so what the grid shows
// is what goes.
TEST_F(PagerMessagesTest, LoadMessagesPutsTheTypedRowsIntoTheController) {
  EditCell(form.StringGrid1, 0, 1, "8086");
  EditCell(form.StringGrid1, 2, 1, QString(70, 'z'));
  QGuiApplication::clipboard()->setText(QString(70, 'p'));
  form.StringGrid1->setCurrentCell(3, 1);
  QApplication::processEvents();
  if (!form.StringGrid1->indexWidget(form.StringGrid1->currentIndex()))
    form.StringGrid1->editItem(form.StringGrid1->item(3, 1));
  auto* editor = qobject_cast<QLineEdit*>(form.StringGrid1->indexWidget(form.StringGrid1->currentIndex()));
  ASSERT_NE(editor, nullptr);
  editor->paste();
  Key(editor, Qt::Key_Return);
  form.StringGrid1->item(5, 1)->setText("Caf\u00e9 open");
  EXPECT_TRUE(Shoot(&form, "/tmp/pager_messages.png"));
  EXPECT_EQ(form.RowText(0), "8086");
  EXPECT_EQ(form.RowText(2), std::string(64, 'z'));
  EXPECT_EQ(form.RowText(3), std::string(64, 'p'));
  EXPECT_EQ(form.RowText(5), "Caf\xe9 open") << "8-bit text";

  Connect();
  Click(form.BitBtn1);
  EXPECT_EQ(engine.PagerLoadRequest, 1);
  EXPECT_FALSE(form.isVisible());
  ASSERT_TRUE(RunUntil([&] { return engine.PagerLoadRequest == 0 && engine.CommState == 110; }, 200));
  const auto table = sim.Read(0x7B00, 1024);
  EXPECT_EQ(std::string(table.begin(), table.begin() + 5), std::string("8086\0", 5));
  EXPECT_EQ(std::string(table.begin() + 128, table.begin() + 256), std::string(64, 'z') + std::string(64, 'p'));
  EXPECT_EQ(std::string(table.begin() + 320, table.begin() + 329), "Caf\xe9 open");
}

TEST_F(PagerMessagesTest, ATextOutsideLatin1IsRefusedWithABeep) {
  EditCell(form.StringGrid1, 1, 1, "Call 911");
  EditCell(form.StringGrid1, 1, 1, "Call \u20ac5");
  EXPECT_EQ(Ui().Beeps(), 1);
  EXPECT_EQ(form.RowText(1), "Call 5") << "the refused keystroke only";
}

TEST_F(PagerMessagesTest, ACellStillBeingEditedCountsWhenLoading) {
  form.StringGrid1->setCurrentCell(4, 1);
  QApplication::processEvents();
  if (!form.StringGrid1->indexWidget(form.StringGrid1->currentIndex()))
    form.StringGrid1->editItem(form.StringGrid1->item(4, 1));
  auto* editor = qobject_cast<QLineEdit*>(form.StringGrid1->indexWidget(form.StringGrid1->currentIndex()));
  ASSERT_NE(editor, nullptr);
  Type(editor, "Half typed");
  form.BitBtn1Click();
  EXPECT_EQ(form.RowText(4), "Half typed");
  EXPECT_EQ(engine.PagerLoadRequest, 1);
}

// ---- The voice and ASCII transmit dialogs ----

struct DialogCase {
  const char* Name;
  std::function<ModuleMessageForm*(controller::CommsEngine&)> Make;
  std::function<QPushButton*(ModuleMessageForm*)> Button;
  int Limit;
  std::uint8_t Code;
  const char* Caption;
};

class TransmitDialogsTest : public controller::test::EngineTest {
 protected:
  TransmitDialogsTest() { engine.CommState = 110; }  // the windows post to a running connection
  std::vector<DialogCase> Cases() {
    return {
        {"Record", [](auto& e) { return new TMurmexForm(e); },
         [](ModuleMessageForm* f) { return static_cast<TMurmexForm*>(f)->BitBtn1; }, 50, controller::TransmitRecord,
         "Murmex"},
        {"Play", [](auto& e) { return new TMurmexForm(e); },
         [](ModuleMessageForm* f) { return static_cast<TMurmexForm*>(f)->BitBtn2; }, 50, controller::TransmitPlay,
         "Murmex"},
        {"Transmit", [](auto& e) { return new TTransmitASCIIForm(e); },
         [](ModuleMessageForm* f) { return static_cast<TTransmitASCIIForm*>(f)->BitBtn2; }, 127,
         controller::TransmitPlay, "Transmit ASCII Message"},
    };
  }
};

TEST_F(TransmitDialogsTest, EachButtonPostsItsCodeAndNoMessageAboveTheLimit) {
  for (const DialogCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    std::unique_ptr<ModuleMessageForm> form(c.Make(engine));
    form->show();
    EXPECT_EQ(form->windowTitle(), c.Caption);
    EXPECT_EQ(form->Edit1->text(), "1");
    EXPECT_EQ(form->Edit2->text(), "0");
    engine.TransmitRequest = 0;

    Replace(form->Edit1, "9");
    Replace(form->Edit2, QString::number(c.Limit + 1));
    Click(c.Button(form.get()));
    EXPECT_EQ(engine.TransmitRequest, 0) << "no other message recorded or sent in its place";
    EXPECT_EQ(form->Edit2->text(), QString::number(c.Limit + 1));
    Replace(form->Edit2, QString::number(c.Limit));
    Click(c.Button(form.get()));
    EXPECT_EQ(engine.TransmitRequest, 9);
    EXPECT_EQ(engine.TransmitMessage, c.Limit);
    EXPECT_EQ(engine.TransmitCode, c.Code);

    engine.TransmitRequest = 0;
    Replace(form->Edit2, "17");
    Click(c.Button(form.get()));
    EXPECT_EQ(engine.TransmitMessage, 17);
    EXPECT_EQ(form->Edit2->text(), "17");

    engine.TransmitRequest = 0;
    Replace(form->Edit1, "0");
    Click(c.Button(form.get()));
    EXPECT_EQ(engine.TransmitRequest, 0) << "module 0 starts nothing";
  }
}

TEST_F(TransmitDialogsTest, TheArrowsStayWithinTheLimits) {
  for (const DialogCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    std::unique_ptr<ModuleMessageForm> form(c.Make(engine));
    form->show();
    Click(form->UpDown2Down);
    EXPECT_EQ(form->Edit2->text(), "0");
    Replace(form->Edit2, QString::number(c.Limit));
    Click(form->UpDown2Up);
    EXPECT_EQ(form->Edit2->text(), QString::number(c.Limit));
    Replace(form->Edit2, "500");
    Click(form->UpDown2Down);
    EXPECT_EQ(form->Edit2->text(), QString::number(c.Limit - 1)) << "a typed number beyond the limit steps from it";
    Click(form->UpDown1Down);
    EXPECT_EQ(form->Edit1->text(), "1");
    Replace(form->Edit1, "127");
    Click(form->UpDown1Up);
    EXPECT_EQ(form->Edit1->text(), "127");
  }
}

TEST_F(TransmitDialogsTest, RecordReachesTheVoiceModule) {
  TMurmexForm form(engine);
  EXPECT_TRUE(Shoot(&form, "/tmp/murmex_form.png"));
  TTransmitASCIIForm ascii(engine);
  EXPECT_TRUE(Shoot(&ascii, "/tmp/transmit_ascii_form.png"));
  Connect();
  Replace(form.Edit1, "3");
  Replace(form.Edit2, "50");
  Click(form.BitBtn1);
  ASSERT_TRUE(RunUntil([&] { return engine.TransmitRequest == 0; }, 40));
  const auto sent = sim.Commands(controller::CmdVoiceTransmit);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].Args[0], 3);
  EXPECT_EQ(sent[0].Args[1], 50);
  EXPECT_EQ(sent[0].Args[2], controller::TransmitRecord);
}

// ---- The pager modem set-up ----

class PagerFormTest : public controller::test::EngineTest {
 protected:
  PagerFormTest() { form.show(); }
  std::vector<QString> ListLines() const {
    std::vector<QString> lines;
    for (int i = 0; i < form.ListBox1->count(); ++i) lines.push_back(form.ListBox1->item(i)->text());
    return lines;
  }

  testing_support::PtyPair modem;
  serial::test::ScopedComEnv modemCom{3, modem.SlavePath()};
  TPagerForm form{engine};
};

TEST_F(PagerFormTest, ConfiguresTheModemOnTheChosenPortEveryThreeSeconds) {
  EXPECT_EQ(form.windowTitle(), "Pager Setup");
  EXPECT_EQ(form.ComNumButtons->checkedId(), 0);
  EXPECT_EQ(form.Timer1->interval(), 3000);
  EXPECT_FALSE(form.Timer1->isActive());

  Replace(form.Edit1, "15125550100");
  Click(form.ComNumButtons->button(2));
  Click(form.BitBtn1);
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.ComNumber(), 3);
  EXPECT_TRUE(form.Timer1->isActive());

  form.Timer1Timer();
  EXPECT_EQ(modem.ReadMaster(23), std::vector<std::uint8_t>(std::begin("AT&F0&K0Q0&D0Q0V0E0&W1\r"),
                                                            std::end("AT&F0&K0Q0&D0Q0V0E0&W1\r") - 1));
  ASSERT_TRUE(modem.WriteMaster({'O', 'K', '\r', '\n'}));
  ASSERT_TRUE(serial::test::PumpIn(port, 4));
  form.Timer1Timer();
  ASSERT_TRUE(modem.WriteMaster({'0', '\r'}));
  ASSERT_TRUE(serial::test::PumpIn(port, 2));
  form.Timer1Timer();
  form.Timer1Timer();
  EXPECT_FALSE(form.Timer1->isActive());
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(ListLines(),
            (std::vector<QString>{"AT&F0&K0Q0&D0Q0V0E0&W1", "OK", "AT&Z0=15125550100", "0", "AT&F0S0=6&K0Q0&D0Q1&W0"}));
  EXPECT_TRUE(Shoot(&form, "/tmp/pager_form.png"));
}

TEST_F(PagerFormTest, APortInUseOrAControllerConnectionStartsNothing) {
  serial::TLkComPort holder{nullptr};
  holder.SetComNumber(3);
  holder.SetOpen(true);
  Click(form.ComNumButtons->button(2));
  Click(form.BitBtn1);
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"COM3 Port Already In Use"});
  EXPECT_EQ(Ui().Asked().back().Caption, "COM ERROR");
  EXPECT_FALSE(form.Timer1->isActive());
  holder.SetOpen(false);

  Connect();
  Click(form.BitBtn1);
  EXPECT_EQ(Ui().Messages().back(), "Disconnect From The Controller Before Pager Setup");
  EXPECT_FALSE(form.Timer1->isActive());
  EXPECT_EQ(port.ComNumber(), 1) << "the connection keeps its port";
  EXPECT_TRUE(port.Open());
}

// "&Close" halfway lets the modem take the rest first; with nothing running it closes at once.
TEST_F(PagerFormTest, ClosingTheWindowHalfwayLetsTheSetUpEnd) {
  Click(form.CloseButton);
  EXPECT_FALSE(form.isVisible());
  form.show();
  Click(form.ComNumButtons->button(2));
  Click(form.BitBtn1);
  form.Timer1Timer();
  Click(form.CloseButton);
  EXPECT_TRUE(form.isVisible());
  form.Timer1Timer();
  form.Timer1Timer();
  const std::string lines = "AT&F0&K0Q0&D0Q0V0E0&W1\rAT&Z0=\rAT&F0S0=6&K0Q0&D0Q1&W0\r";
  const auto heard = modem.ReadMaster(lines.size());
  EXPECT_EQ(std::string(heard.begin(), heard.end()), lines);
  EXPECT_TRUE(port.Open());
  form.Timer1Timer();
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(form.Timer1->isActive());
  EXPECT_FALSE(port.Open());
}

// A port that fails under the set-up after the window's Close ends it as a cut: the window stays with the
// failure in its list.
TEST_F(PagerFormTest, APortThatFailsAfterCloseKeepsTheWindowInView) {
  port.SetOutSize(16);  // no room for a command line
  Click(form.ComNumButtons->button(2));
  Click(form.BitBtn1);
  Click(form.CloseButton);
  form.Timer1Timer();
  EXPECT_FALSE(form.Timer1->isActive());
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(ListLines(), std::vector<QString>{"Failed to put entire block"});
  EXPECT_TRUE(form.isVisible());
}

// "Configure Modem" again while the set-up runs, on another port or on one that does not exist, after the
// window's Close or not: refused and told; the first modem gets all three lines and the window closes as
// asked.
TEST_F(PagerFormTest, ConfigureModemAgainWhileItRunsIsRefused) {
  testing_support::PtyPair other;
  serial::test::ScopedComEnv otherCom{4, other.SlavePath()}, missing{5, "/nonexistent/zelta-modem"};
  const struct {
    int Com;
    bool CloseFirst;
  } cases[] = {{4, false}, {5, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Com);
    Ui().Clear();
    form.show();
    Click(form.ComNumButtons->button(2));
    Click(form.BitBtn1);
    form.Timer1Timer();
    if (c.CloseFirst) Click(form.CloseButton);
    Click(form.ComNumButtons->button(c.Com - 1));
    Click(form.BitBtn1);
    EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"The Pager Modem Setup is running: Configure Modem again "
                                                        "once it has ended"});
    EXPECT_EQ(port.ComNumber(), 3);
    form.Timer1Timer();
    form.Timer1Timer();
    const std::string lines = "AT&F0&K0Q0&D0Q0V0E0&W1\rAT&Z0=\rAT&F0S0=6&K0Q0&D0Q1&W0\r";
    const auto heard = modem.ReadMaster(lines.size());
    EXPECT_EQ(std::string(heard.begin(), heard.end()), lines);
    form.Timer1Timer();
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(form.isVisible(), !c.CloseFirst);
  }
}

}  // namespace
