#include "gui/qt_ui.h"

#include <gtest/gtest.h>

#include "support/scripted_ui.h"

namespace platform {
namespace {

TEST(QtFilters, EveryPatternIsListedInBothCases) {
  EXPECT_EQ(QtFilters("Program files (*.pgm)|*.PGM"), QStringList{"Program files (*.pgm *.PGM)"});
  EXPECT_EQ(QtFilters("Bitmaps (*.bmp)|*.bmp;*.dib|All files (*.*)|*.*"),
            (QStringList{"Bitmaps (*.bmp *.BMP *.dib *.DIB)", "All files (*.*)"}));
  EXPECT_TRUE(QtFilters("").isEmpty());
}

TEST(UiSeam, ShowMessageUsesTheApplicationTitle) {
  SetApplicationTitle("Zelta");
  Ui().ShowMessage("No Project Loaded");
  auto& asked = testing_support::TestUi().Asked();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].Text, "No Project Loaded");
  EXPECT_EQ(asked[0].Caption, "Zelta");
  EXPECT_EQ(asked[0].Buttons, MsgButtons::Ok);
}

TEST(UiSeam, ScriptedAnswersAreUsedInOrder) {
  auto& ui = testing_support::TestUi();
  ui.QueueAnswer(MsgResult::Cancel);
  ui.QueueSaveFile("/tmp/x.pgm");
  EXPECT_EQ(Ui().MessageBox("Delete?", "Delete Line", MsgButtons::OkCancel), MsgResult::Cancel);
  FileDialogOptions o;
  o.Title = "Save Program File";
  EXPECT_EQ(Ui().SaveFileName(o), "/tmp/x.pgm");
  EXPECT_TRUE(ui.AllAnswersUsed());
  EXPECT_EQ(ui.Asked()[1].Options.Title, "Save Program File");
}

}  // namespace
}  // namespace platform
