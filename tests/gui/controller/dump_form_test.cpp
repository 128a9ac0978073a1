// The memory-dump window as a user drives it: the address its buttons ask for, the raw command its Send arms,
// and, attached over the simulated controller, the blocks the engine shows in it.
#include <QLineEdit>
#include <QPushButton>

#include "maintenance_forms_fixture.h"

namespace maintenance_test {
namespace {

// An address typed is the one the buttons step from, also while a dump asked before waits to be read.
TEST_F(MaintenanceFormsTest, TheDumpButtonsStepTheAddressByWholeBlocks) {
  constexpr std::int32_t Before = 7;  // asked before; a text that is no address asks nothing
  const struct {
    const char* Typed;
    QPushButton* TDumpForm::*Button;
    const char* Shown;
    std::int32_t Asked;
    bool Waiting = false;  // the dump asked before is still to be read
  } cases[] = {
      {"0", &TDumpForm::BitBtn1, "0", 0},
      {"8192", &TDumpForm::Button1, "8448", 8448, true},
      {"4660", &TDumpForm::BitBtn1, "4660", 4660},
      {"0", &TDumpForm::Button2, "-256", -256},
      {"65280", &TDumpForm::Button1, "65536", 65536},
      {"junk", &TDumpForm::Button1, "junk", Before},
      {"2147483647", &TDumpForm::Button1, "2147483647", Before},
      {"4660h", &TDumpForm::BitBtn1, "4660h", Before},
      {"512 up", &TDumpForm::Button1, "512 up", Before},
      {"99999999999", &TDumpForm::Button2, "99999999999", Before},
  };
  dump->show();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Typed);
    testing_support::TestUi().Clear();
    Engine().DumpAddress = Before;
    Engine().DumpRequest = c.Waiting;
    testing_support::Replace(dump->Edit1, c.Typed);
    Click(dump.get()->*c.Button);
    EXPECT_EQ(dump->Edit1->text().toStdString(), c.Shown);
    EXPECT_EQ(Engine().DumpAddress, c.Asked);
    EXPECT_EQ(Engine().DumpRequest, c.Waiting || c.Asked != Before);
    const std::vector<std::string> told{"Address must be a whole number from 0 to 65535"};
    EXPECT_EQ(testing_support::TestUi().Messages(), c.Asked == Before ? told : std::vector<std::string>{});
  }
}

TEST_F(MaintenanceFormsTest, SendArmsTheRawCommandFromTheSixEdits) {
  const char* typed[] = {"53", "1", "2", "3", "4", "5"};
  for (int i = 0; i < 6; ++i) dump->CommandEdits[static_cast<std::size_t>(i)]->setText(typed[i]);
  Click(dump->BitBtn3);
  EXPECT_EQ(Engine().RawCommandRequest, 1);
  EXPECT_EQ(Engine().RawCommand, (std::array<std::uint8_t, 6>{53, 1, 2, 3, 4, 5}));
}

// The window shows an address only with that address's bytes, as the controller numbers it: "Previous
// Block" from 0 shows the block at 0xFF00 under 65280; a download's block in the grid shows under no
// address, the staging area keeps none; an address asked for shows none of the last one's bytes, also
// when its dump keeps failing.
TEST_F(AttachedFormsTest, TheDumpShowsAnAddressOnlyWithItsBytes) {
  std::vector<std::uint8_t> block(256);
  for (int i = 0; i < 256; ++i) block[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(255 - i);
  sim.Write(0xFF00, block);
  dump->show();
  EXPECT_EQ(dump->Edit1->text(), "") << "a new connection shows no address";
  testing_support::Replace(dump->Edit1, "0");
  Click(dump->Button2);
  ASSERT_TRUE(RunUntil([&] { return !Engine().DumpRequest && Engine().CommState == 110; }));
  const auto cell = [&](int column, int row) {
    const QTableWidgetItem* item = dump->StringGrid1->item(row, column);
    return item ? item->text().toStdString() : std::string();
  };
  EXPECT_EQ(dump->Edit1->text(), "65280");
  EXPECT_EQ(cell(0, 0), "ff");
  EXPECT_EQ(cell(15, 0), "f0");
  EXPECT_EQ(cell(5, 10), "5a");
  EXPECT_EQ(cell(15, 15), "00");
  EXPECT_TRUE(Shoot(dump.get(), "zelta_memory_dump.png"));

  Engine().RequestTouchLoad();
  ASSERT_TRUE(RunUntil([&] { return Engine().CommState == 905; }));
  EXPECT_TRUE(dump->Edit1->text().isEmpty());
  EXPECT_EQ(cell(0, 0), "ff") << "the touch screen's settings";
  ASSERT_TRUE(RunUntil([&] { return Engine().CommState == 114; }, 800));

  sim.CorruptNextBlockReplies(100);
  testing_support::Replace(dump->Edit1, "4096");
  Click(dump->Button1);  // "Next Block"
  ASSERT_TRUE(RunUntil([&] { return Engine().CommState == 0; }));
  EXPECT_EQ(testing_support::TestUi().Messages().back(), "Lost Connection");
  EXPECT_EQ(dump->Edit1->text(), "4352");
  for (int i = 0; i < 256; ++i) EXPECT_EQ(cell(i % 16, i / 16), "") << i;
}

// A download writes its blocks into the grid under no address, but an address the user types meanwhile is
// theirs: it stays through the blocks that follow, and Get Dump reads it.
TEST_F(AttachedFormsTest, AnAddressTypedWhileADownloadWritesTheGridStays) {
  sim.Write(0x1000, std::vector<std::uint8_t>(256, 0x42));
  project.Store.Lines[4095] = ProgramLine::End();
  dump->show();
  Menu("DownloadProgramtoVORMO1");
  ASSERT_TRUE(RunUntil([&] { return Engine().CommState == 514; }));
  testing_support::Replace(dump->Edit1, "4096");
  ASSERT_TRUE(RunUntil([&] { return sim.FlashLoads() == 96 + 6 && Engine().CommState == 110; }, 2000));
  EXPECT_EQ(dump->Edit1->text(), "4096");
  Click(dump->BitBtn1);
  ASSERT_TRUE(RunUntil([&] { return !Engine().DumpRequest && Engine().CommState == 110; }));
  EXPECT_EQ(testing_support::TestUi().Messages(), std::vector<std::string>{});
  ASSERT_TRUE(dump->StringGrid1->item(0, 0));
  EXPECT_EQ(dump->StringGrid1->item(0, 0)->text(), "42");
}

// "Next Block" steps from the newest address asked, also once an older block has landed and shows under
// its own address: clicked again after that, it reads two blocks on.
TEST_F(AttachedFormsTest, NextBlockStepsFromTheNewestAddressAsked) {
  for (int block : {0x1000, 0x1100, 0x1200}) sim.Write(block, std::vector<std::uint8_t>(256, block >> 8));
  dump->show();
  testing_support::Replace(dump->Edit1, "4096");
  Click(dump->BitBtn1);
  ASSERT_TRUE(RunUntil([&] { return Engine().CommState == 551; }));
  Click(dump->Button1);
  ASSERT_TRUE(RunUntil([&] { return dump->Edit1->text() == "4096"; })) << "the first block lands";
  Click(dump->Button1);
  ASSERT_TRUE(RunUntil([&] { return !Engine().DumpRequest && Engine().CommState == 110; }));
  EXPECT_EQ(dump->Edit1->text(), "4608");
  ASSERT_TRUE(dump->StringGrid1->item(0, 0));
  EXPECT_EQ(dump->StringGrid1->item(0, 0)->text(), "12");
}

}  // namespace
}  // namespace maintenance_test
