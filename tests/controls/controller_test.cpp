#include "controls/controller.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QJsonArray>
#include <filesystem>

#include "controls/exceptions.h"
#include "controls/messages.h"
#include "fake_services.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "tk/filer.h"
#include "tk/virtual_keys.h"

namespace {

using namespace controls;
using namespace tk;

constexpr ShiftState None = 0, Shift = ssShift, Ctrl = ssCtrl, Alt = ssAlt, CtrlShift = ssCtrl | ssShift;

// ---- command tables and translation

TEST(CommandTables, BuiltInTablesComeInOrderWithOnlyDefaultActive) {
  TVxCommandProcessor p;
  ASSERT_EQ(p.GetCount(), 3);
  const std::vector<std::tuple<std::string, bool, int>> expected = {
      {"Default", true, 64}, {"WordStar", false, 40}, {"Grid", false, 38}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(p.GetTable(i)->TableName(), std::get<0>(expected[i]));
    EXPECT_EQ(p.GetTable(i)->IsActive(), std::get<1>(expected[i]));
    EXPECT_EQ(p.GetTable(i)->Count(), std::get<2>(expected[i]));
  }
  EXPECT_EQ(CommandName(ccLeft), "ccLeft");
  EXPECT_EQ(CommandName(ccSetMarker0 + 9), "ccSetMarker9");
  EXPECT_EQ(CommandName(ccWordRight), "ccWordRight");
  EXPECT_EQ(CommandName(ccChar), "");
}

TEST(CommandTables, DefaultTableTranslatesSingleKeys) {
  TVxCommandProcessor p;
  struct Case {
    std::uint16_t Key;
    ShiftState Shift;
    std::uint16_t Result;
  };
  for (const Case& c : std::vector<Case>{{'C', Ctrl, ccCopy},
                                         {'A', Shift, ccChar},
                                         {VK_SHIFT, Shift, ccChar},
                                         {VK_LEFT, None, ccLeft},
                                         {VK_LEFT, CtrlShift, ccExtWordLeft},
                                         {VK_BACK, Alt, ccRestore},
                                         {VK_F2, None, ccChar},  // the Grid table is not active
                                         {'5', CtrlShift, ccSetMarker0 + 5},
                                         {VK_RETURN, Ctrl, ccNewLine},
                                         {0x100 | VK_LEFT, None, ccChar}})
    EXPECT_EQ(p.TranslateKey(c.Key, c.Shift), c.Result) << c.Key << "/" << c.Shift;
}

TEST(CommandTables, TwoKeySequencesWaitForTheirSecondKey) {
  TVxCommandProcessor p;
  p.GetCommandTable("WordStar")->SetIsActive(true);
  p.SetScanPriority({"WordStar"});
  EXPECT_EQ(p.TranslateKey('Q', Ctrl), ccPartial);
  EXPECT_EQ(p.TranslateKey('S', None), ccHome);
  EXPECT_EQ(p.TranslateKey('Q', Ctrl), ccPartial);
  EXPECT_EQ(p.TranslateKey('S', Ctrl), ccHome);  // the second key may come with Control
  EXPECT_EQ(p.TranslateKey('Q', Ctrl), ccPartial);
  EXPECT_EQ(p.TranslateKey(VK_SHIFT, Shift), ccPartial);  // still waiting
  EXPECT_EQ(p.TranslateKey('S', Shift), ccUnmatched);
  std::uint8_t key, shift;
  EXPECT_EQ(p.GetState(key, shift), TVxProcessorState::stNone);
  EXPECT_EQ(p.TranslateKey('Q', Ctrl), ccPartial);
  EXPECT_EQ(p.TranslateKey('B', None), ccUnmatched);
  EXPECT_EQ(p.TranslateKey('S', Ctrl), ccLeft);  // a fresh start: WordStar's own Ctrl+S
  // The first active table that knows a key wins; a sequence only one table knows works in either order.
  EXPECT_EQ(p.TranslateKey('C', Ctrl), ccNextPage);
  p.SetScanPriority({"Default"});
  EXPECT_EQ(p.TranslateKey('C', Ctrl), ccCopy);
  EXPECT_EQ(p.TranslateKey('Q', Ctrl), ccPartial);
  EXPECT_EQ(p.TranslateKey('S', None), ccHome);
}

TEST(CommandTables, ControlCharacterCommandMakesTheNextKeyLiteral) {
  TVxCommandProcessor p;
  p.GetCommandTable("WordStar")->SetIsActive(true);
  EXPECT_EQ(p.TranslateKey('P', Ctrl), ccCtrlChar);
  EXPECT_EQ(p.TranslateKey(VK_LEFT, None), ccChar);
  EXPECT_EQ(p.TranslateKey(VK_LEFT, None), ccLeft);
}

TEST(CommandTables, NamedTranslationScansTheNamedTablesOnly) {
  TVxCommandProcessor p;
  EXPECT_EQ(p.TranslateKeyUsing({"NoSuchTable", "grid"}, VK_F2, None), ccTableEdit);
  EXPECT_EQ(p.TranslateKeyUsing({"Grid"}, VK_LEFT, Ctrl), ccPageLeft);
  EXPECT_EQ(p.TranslateKey(VK_LEFT, Ctrl), ccWordLeft);
  p.SetScanPriority({"Grid", "Default"});
  EXPECT_EQ(p.GetTable(0)->TableName(), "Grid");
  EXPECT_EQ(p.GetTable(1)->TableName(), "Default");
}

TEST(CommandTables, MessageTranslationTakesTheKeysLowByteAndTheKeyboardsShiftState) {
  controls_test::FakeServices services;
  services.Shift = ssCtrl;
  TVxCommandProcessor p;
  EXPECT_EQ(p.Translate(Message{0x0100, 0x100 | 'C', 0, 0}), ccCopy);
  EXPECT_EQ(p.TranslateUsing({"Grid"}, Message{0x0100, VK_UP, 0, 0}), ccTopLeftCell);
}

TEST(CommandTables, AddedTablesGetUniqueNames) {
  TVxCommandProcessor p;
  auto named = [](const std::string& name) {
    auto t = std::make_unique<TVxCommandTable>();
    t->SetTableName(name);
    return t;
  };
  EXPECT_EQ(p.GetTable(p.Add(named("DEFAULT")))->TableName(), "DEFAULT1");
  EXPECT_EQ(p.GetTable(p.Add(named("Table5")))->TableName(), "Table5");
  p.CreateCommandTable("Table", false);
  EXPECT_EQ(p.GetTable(p.Add(named("Table5")))->TableName(), "Table1");
  EXPECT_EQ(p.GetTable(p.Add(named("Table")))->TableName(), "Table2");
  // No table of the stripped name, but one of its own: it is numbered all the same.
  EXPECT_EQ(p.GetTable(p.Add(named("Keys9")))->TableName(), "Keys9");
  EXPECT_EQ(p.GetTable(p.Add(named("KEYS9")))->TableName(), "KEYS1");
  EXPECT_EQ(TVxCommandTable().TableName(), "(Unknown)");
}

TEST(CommandTables, BadNamesIndicesAndDuplicateKeysAreRefused) {
  TVxCommandProcessor p;
  try {
    p.AddCommand("Default", 'C', 4, 0, 0, ccCut);
    ADD_FAILURE();
  } catch (const EDuplicateCommand& e) {
    EXPECT_STREQ(e.what(), "Duplicate command found while adding a new command to the table");
  }
  const std::vector<std::function<void()>> unknown = {
      [&] { p.AddCommand("Nope", 1, 0, 0, 0, 1); },
      [&] { p.DeleteCommand("Nope", {}); },
      [&] { p.GetCommandCount("Nope"); },
      [&] { p.ChangeTableName("Nope", "X"); },
      [&] { p.DeleteCommandTable("Nope"); },
      [&] { p.Delete(3); },
      [&] { p.SetTable(-1, std::make_unique<TVxCommandTable>()); },
  };
  for (std::size_t i = 0; i < unknown.size(); ++i) EXPECT_THROW(unknown[i](), ETableNotFound) << i;
  EXPECT_EQ(p.GetCount(), 3);
  p.DeleteCommand("Default", {'C', 4, 0, 0, 0});
  EXPECT_EQ(p.GetCommandCount("Default"), 63);
  EXPECT_EQ(p.TranslateKey('C', Ctrl), ccChar);
}

TEST(CommandTables, RecordsAreFoundByTheirKeysAlone) {
  TVxCommandTable t;
  t.AddRec({1, 0, 0, 0, 5});
  t.AddRec({2, 4, 3, 128, 6});
  t.InsertRec(0, {9, 0, 0, 0, 7});
  EXPECT_EQ(t.IndexOf({2, 4, 3, 128, 99}), 2);
  EXPECT_EQ(t.IndexOf({2, 4, 3, 0, 6}), -1);
  t.Move(2, 0);
  t.Exchange(1, 2);
  EXPECT_EQ(t.GetCmdRec(0).Cmd, 6);
  EXPECT_EQ(t.GetCmdRec(1).Cmd, 5);
  EXPECT_EQ(t.GetCmdRec(2).Cmd, 7);
  EXPECT_THROW(t.GetCmdRec(3), EListError);
}

TEST(CommandTableFiles, SaveWritesAlignedColumnsAndLoadReadsThemBack) {
  testing_support::TempDir dir;
  const std::string path = dir.File("keys.tbl");
  TVxCommandProcessor p;
  p.CreateCommandTable("Mine", true);
  p.AddCommand("Mine", VK_LEFT, 0, 0, 0, ccLeft);
  p.AddCommand("Mine", 'Q', 4, 'S', 128, ccHome);
  p.SaveCommandTable("Mine", path);
  EXPECT_EQ(testing_support::ReadFile(path), "Mine\n  37   0   0   0    46\n  81   4  83 128    42\n");
  p.SaveCommandTable("Nope", dir.File("none.tbl"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("none.tbl")));

  const int index = p.LoadCommandTable(path);
  EXPECT_EQ(p.GetTable(index)->TableName(), "Mine1");
  EXPECT_EQ(p.GetTable(index)->Records(), p.GetCommandTable("Mine")->Records());
}

TEST(CommandTableFiles, LoadAcceptsCarriageReturnsAndRefusesBadNumbersAndMissingFiles) {
  testing_support::TempDir dir;
  const std::string good = dir.File("good.tbl"), bad = dir.File("bad.tbl");
  testing_support::WriteFile(good, "Keys\r\n 112 0 0 0 69\r\n\r\n");
  testing_support::WriteFile(bad, "Keys\n112 0 0 0 x69\n");
  TVxCommandTable t;
  t.LoadFromFile(good);
  EXPECT_EQ(t.TableName(), "Keys");
  EXPECT_EQ(t.Records(), (std::vector<TVxCmdRec>{{112, 0, 0, 0, 69}}));
  // A refused file leaves the table as it was.
  const std::string wide = dir.File("wide.tbl");
  testing_support::WriteFile(wide, "Wide\n112 0 0 0 69\n256 0 0 0 1\n");
  for (const std::string& refused : {bad, wide, dir.File("missing.tbl")}) {
    EXPECT_THROW(t.LoadFromFile(refused), EInOutError) << refused;
    EXPECT_EQ(t.TableName(), "Keys");
    EXPECT_EQ(t.Records(), (std::vector<TVxCmdRec>{{112, 0, 0, 0, 69}}));
  }
  TVxCommandProcessor p;
  try {
    p.LoadCommandTable(dir.File("missing.tbl"));
    ADD_FAILURE();
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, ENOENT);
  }
  EXPECT_EQ(p.GetCount(), 3);
}

TEST(CommandTableFiles, ABuiltInTablesFileThatItsFormStreamCouldNotGiveBackIsRefused) {
  const std::string damaged = std::string(ZELTA_TEST_DATA_DIR) + "/damaged/";
  testing_support::TempDir dir;
  testing_support::WriteFile(dir.File("good.tbl"), "Keys\n112 0 0 0 69\n");
  TVxCommandTable t;
  t.LoadFromFile(dir.File("good.tbl"));
  EXPECT_THROW(t.LoadFromFile(damaged + "cmdtable-command-0.txt"), EInOutError);
  EXPECT_THROW(t.LoadFromFile(damaged + "cmdtable-duplicate-keys.txt"), EDuplicateCommand);
  EXPECT_EQ(t.TableName(), "Keys");
  EXPECT_EQ(t.Records(), (std::vector<TVxCmdRec>{{112, 0, 0, 0, 69}}));
}

// ---- streaming of command tables

TEST(CommandTableStreaming, BuiltInTablesStoreOnlyTheirDifferences) {
  TVxCommandProcessor p;
  p.DeleteCommand("Default", {'Z', 4, 0, 0, 0});
  p.AddCommand("Default", VK_F1 + 4, 0, 0, 0, ccRedo);
  TVxCommandListData data = p.GetCommandTable("Default")->GetCommandListData();
  const TVxCmdRec ctrlZ{'Z', 4, 0, 0, 0}, f5{VK_F1 + 4, 0, 0, 0, 0};
  EXPECT_EQ(data.Pairs, (std::vector<std::pair<std::int32_t, std::int32_t>>{{ctrlZ.Keys(), 0}, {f5.Keys(), ccRedo}}));
  EXPECT_EQ(ctrlZ.Keys(), 'Z' | 4 << 8);

  TVxCommandTable copy;
  copy.SetCommandListData(DecodeCommandList(EncodeCommandList(data)));
  EXPECT_EQ(copy.Records(), p.GetCommandTable("Default")->Records());
  EXPECT_TRUE(p.GetCommandTable("Grid")->GetCommandListData().Pairs.empty());
}

TEST(CommandTableStreaming, ReadPairsAddReplaceAndDeleteInABuiltInTable) {
  TVxCommandTable t;
  const TVxCmdRec ctrlC{'C', 4, 0, 0, 0}, left{VK_LEFT, 0, 0, 0, 0}, f9{VK_F1 + 8, 0, 0, 0, 0};
  t.SetCommandListData({"grid", false, {{ctrlC.Keys(), ccCut}, {left.Keys(), 0}, {f9.Keys(), ccUndo}}});
  EXPECT_EQ(t.TableName(), "grid");
  EXPECT_FALSE(t.IsActive());
  EXPECT_EQ(t.Count(), 38);
  EXPECT_EQ(t.GetCmdRec(t.IndexOf(ctrlC)).Cmd, ccCut);
  EXPECT_EQ(t.IndexOf(left), -1);
  EXPECT_EQ(t.GetCmdRec(37).Cmd, ccUndo);

  TVxCommandTable other;
  other.SetCommandListData({"Other", true, {{left.Keys(), 0}, {f9.Keys(), ccUndo}}});
  EXPECT_EQ(other.Count(), 2);  // any other table takes every pair as it comes
}

TEST(CommandTableStreaming, DamagedValuesAreRefused) {
  tk::Binary good = EncodeTableList({{"A", true, {{1, 2}}}});
  EXPECT_EQ(DecodeTableList(good), (std::vector<TVxCommandListData>{{"A", true, {{1, 2}}}}));
  for (std::size_t cut = 0; cut < good.size(); ++cut)
    EXPECT_THROW(DecodeTableList(tk::Binary(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut))),
                 EReadError);
  tk::Binary hugeCount = good;
  hugeCount[0] = 0xFF;
  EXPECT_THROW(DecodeTableList(hugeCount), EReadError);
  TVxCommandTable t;
  EXPECT_THROW(t.SetCommandListData({"A", true, {{1, 70000}}}), EReadError);
}

// ---- the controller component

class ControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { Form.resize(300, 200); }
  controls_test::FakeServices Services;
  tk::Form Form;
  TVxController* Controller = new TVxController(&Form);
};

TEST_F(ControllerTest, EpochTakesOnlyYearsFrom1600To3999AndAsksOnGetEpoch) {
  EXPECT_EQ(Controller->Epoch(), 2000);
  Controller->SetEpoch(1500);
  EXPECT_EQ(Controller->Epoch(), 2000);
  Controller->SetEpoch(4000);
  EXPECT_EQ(Controller->Epoch(), 2000);
  Controller->SetEpoch(1900);
  EXPECT_EQ(Controller->Epoch(), 1900);
  Controller->OnGetEpoch = [](tk::Component*, std::int32_t& epoch) { epoch += 50; };
  EXPECT_EQ(Controller->Epoch(), 1950);
}

TEST_F(ControllerTest, DelayedNoticesRunAfterTheCurrentMessage) {
  std::vector<std::string> seen;
  Controller->DelayNotify(Controller, 3);  // nobody listens: nothing is posted
  Controller->OnDelayNotify = [&](tk::Component* sender, std::uint16_t code) {
    seen.push_back("delay " + sender->Name() + " " + std::to_string(code));
  };
  Controller->OnPreEdit = [&](tk::Component*, QWidget* control) { seen.push_back(control ? "pre control" : "pre"); };
  Controller->OnPostEdit = [&](tk::Component*, QWidget* control) { seen.push_back(control ? "post control" : "post"); };
  Controller->SetName("Ctl");
  auto* gone = new QWidget(&Form);
  QWidget stays(&Form);
  Controller->DelayNotify(Controller, 7);
  Controller->DoOnPreEdit(Controller, gone);
  Controller->DoOnPostEdit(Controller, &stays);
  auto* sender = new tk::Component(&Form);
  Controller->DelayNotify(sender, 9);  // its sender goes before it runs
  EXPECT_TRUE(seen.empty());
  delete gone;
  delete sender;
  QApplication::processEvents();
  EXPECT_EQ(seen, (std::vector<std::string>{"delay Ctl 7", "pre", "post control"}));
}

TEST_F(ControllerTest, ErrorsGoToOnErrorOrToAMessageBox) {
  Controller->DoOnError(Controller, 258, "A value is required in this field");
  ASSERT_EQ(testing_support::TestUi().Asked().size(), 1u);
  EXPECT_EQ(testing_support::TestUi().Asked()[0].Text, "A value is required in this field");
  EXPECT_EQ(testing_support::TestUi().Asked()[0].MessageKind, platform::MsgKind::Error);
  std::uint16_t code = 0;
  Controller->OnError = [&](tk::Component*, std::uint16_t c, const std::string&) { code = c; };
  Controller->DoOnError(Controller, 300, "Entry Error");
  EXPECT_EQ(code, 300);
  EXPECT_EQ(testing_support::TestUi().Asked().size(), 1u);
}

TEST_F(ControllerTest, AnExceptionInDeferredWorkIsShownAndTheLoopGoesOn) {
  Controller->OnDelayNotify = [](tk::Component*, std::uint16_t) { throw EVxException("notice failed"); };
  Controller->DelayNotify(Controller, 1);
  QApplication::processEvents();
  EXPECT_EQ(testing_support::TestUi().Messages(), std::vector<std::string>{"notice failed"});
}

TEST_F(ControllerTest, SpecialControlsAndTimerTriggersAreTheEventsAnswers) {
  QWidget button(&Form);
  EXPECT_FALSE(Controller->IsSpecialButton(&button));
  Controller->OnIsSpecialControl = [&](tk::Component*, QWidget* c, bool& special) { special = c == &button; };
  EXPECT_TRUE(Controller->IsSpecialButton(&button));
  std::vector<std::int32_t> fired;
  Controller->OnTimerTrigger = [&](tk::Component* sender, std::int32_t h, std::uint32_t, std::int32_t) {
    EXPECT_EQ(sender, &Controller->TimerPool());
    fired.push_back(h);
  };
  std::int32_t h = Controller->TimerPool().Add(nullptr, 100);
  Services.Ticks = 100;
  Controller->TimerPool().DoTriggerNotification();
  EXPECT_EQ(fired, std::vector<std::int32_t>{h});
}

// An entry field as the controller sees it: its check answers a set code.
class TFakeField : public TVxCustomControl, public IVxEntryField {
 public:
  TFakeField(tk::Component* owner, QWidget* parent, std::uint16_t error)
      : TVxCustomControl(owner, parent), Error(error) {}
  std::uint16_t ValidateContents(bool) override {
    ++Checks;
    last_ = Error;
    return Error;
  }
  std::uint16_t LastError() const override { return last_; }
  void SetUninitialized(bool value) override { Uninitialized = value; }
  void Dispatch(tk::Message& m) override {
    if (m.Msg == OM_REPORTERROR) Reports.push_back(static_cast<std::uint16_t>(m.WParam));
    TVxCustomControl::Dispatch(m);
  }
  std::uint16_t Error;
  int Checks = 0;
  bool Uninitialized = false;
  std::vector<std::uint16_t> Reports;

 private:
  std::uint16_t last_ = 0;
};

class ControllerValidation : public ControllerTest {
 protected:
  void SetUp() override {
    ControllerTest::SetUp();
    Hidden->hide();
    Form.show();
    QApplication::processEvents();
  }
  TFakeField* Valid = new TFakeField(&Form, &Form, 0);
  TFakeField* Hidden = new TFakeField(&Form, &Form, 258);
  TFakeField* OwnedByHidden = new TFakeField(Hidden, &Form, 258);
  TFakeField* Invalid = new TFakeField(&Form, &Form, 259);
  TFakeField* Later = new TFakeField(&Form, &Form, 260);
};

TEST_F(ControllerValidation, TheFirstInvalidFieldIsReportedAndFocusedOnce) {
  EXPECT_EQ(Controller->ValidateEntryFields(), Invalid);
  EXPECT_TRUE(Controller->ErrorPending());
  EXPECT_EQ(Hidden->Checks + OwnedByHidden->Checks, 0);  // skipped with what it owns
  EXPECT_EQ(Later->Checks, 0);                           // the walk stops at the first
  QApplication::processEvents();
  EXPECT_EQ(Invalid->Reports, std::vector<std::uint16_t>{259});
  EXPECT_TRUE(Invalid->hasFocus());

  EXPECT_EQ(Controller->ValidateEntryFields(), Invalid);  // an error on its way: nothing more is posted
  QApplication::processEvents();
  EXPECT_EQ(Invalid->Reports.size(), 1u);
}

TEST_F(ControllerValidation, WithoutReportOrFocusEveryFieldIsCheckedAndNothingPosted) {
  EXPECT_EQ(Controller->ValidateEntryFieldsEx(false, false), Invalid);
  EXPECT_EQ(Later->Checks, 1);
  EXPECT_FALSE(Controller->ErrorPending());
  QApplication::processEvents();
  EXPECT_TRUE(Invalid->Reports.empty());
}

TEST_F(ControllerValidation, ChosenFieldsAreCheckedInTheirOrder) {
  EXPECT_EQ(Controller->ValidateTheseEntryFields({Valid, Controller}), nullptr);
  EXPECT_EQ(Controller->ValidateTheseEntryFields({Valid, Later, Invalid}), Later);
  QApplication::processEvents();
  EXPECT_EQ(Later->Reports, std::vector<std::uint16_t>{260});
  EXPECT_TRUE(Later->hasFocus());
}

TEST_F(ControllerValidation, MarkingReachesEveryFieldOfTheForm) {
  Controller->MarkAsUninitialized(true);
  for (TFakeField* f : {Valid, Hidden, OwnedByHidden, Invalid, Later}) EXPECT_TRUE(f->Uninitialized);
  TVxController loose(nullptr);  // not on a form: nothing to walk
  EXPECT_EQ(loose.ValidateEntryFields(), nullptr);
}

TEST_F(ControllerTest, FormStreamsKeepOptionsEpochAndKeyTables) {
  Controller->SetName("VxController1");
  Controller->SetEntryOptions(efoBeepOnError | efoAutoAdvanceChar);
  Controller->SetEpoch(1950);
  Controller->EntryCommands().AddCommand("Grid", VK_F2, cssShift, 0, 0, ccRestore);
  Controller->EntryCommands().CreateCommandTable("Mine", false);
  QJsonObject json = Writer().WriteComponent(*Controller);

  tk::Form other;
  auto* copy = dynamic_cast<TVxController*>(Reader().ReadRoot(json, &other));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->EntryOptions(), efoBeepOnError | efoAutoAdvanceChar);
  EXPECT_EQ(copy->Epoch(), 1950);
  TVxCommandProcessor& p = copy->EntryCommands();
  ASSERT_EQ(p.GetCount(), 4);
  EXPECT_EQ(p.GetTable(3)->TableName(), "Mine");
  EXPECT_EQ(p.GetCommandTable("Grid")->Records(), Controller->EntryCommands().GetCommandTable("Grid")->Records());

  TVxController plain(nullptr);
  QJsonObject defaults = Writer().WriteComponent(plain);
  for (const QJsonValue& v : defaults["Properties"].toArray()) EXPECT_NE(v.toArray().at(0).toString(), "EntryOptions");
}

// ---- controls that need a controller

class TControlled : public TVxCustomControlEx {
 public:
  using TVxCustomControlEx::TVxCustomControlEx;
};

TEST(ControlledControls, AtRunTimeWindowCreationNeedsAController) {
  tk::Form form;
  auto* control = new TControlled(&form, &form);
  try {
    control->HandleNeeded();
    ADD_FAILURE();
  } catch (const ENoControllerAssigned& e) {
    EXPECT_STREQ(e.what(), "No Controller assigned");
  }
  tk::Component other(&form);
  auto* controller = new TVxController(&form);
  EXPECT_EQ(control->Controller(), controller);  // a controller dropped on the form is taken up
  control->HandleNeeded();
  delete controller;
  EXPECT_FALSE(control->ControllerAssigned());
}

TEST(ControlledControls, WindowCreationFindsTheFormsController) {
  tk::Form form;
  auto* first = new TVxController(&form);
  new TVxController(&form);
  auto* control = new TControlled(&form, &form);
  control->SetController(nullptr);
  control->HandleNeeded();
  EXPECT_EQ(control->Controller(), first);
}

TEST(ControlledControls, AtDesignTimeAControllerIsAddedToTheForm) {
  tk::Form form;
  form.SetDesigning(true);
  auto* control = new TControlled(&form, &form);
  control->HandleNeeded();
  ASSERT_TRUE(control->ControllerAssigned());
  EXPECT_EQ(control->Controller()->Name(), "VxController1");
  EXPECT_EQ(control->Controller()->Owner(), &form);
  EXPECT_EQ(FindController(&form), control->Controller());
}

}  // namespace
