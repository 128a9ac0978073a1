#include "gui/qt_ui.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <numeric>

#include "support/scripted_ui.h"
#include "support/user_input.h"

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

TEST(QtUi, FileDialogsOpenWideEnoughForTheirDetailColumns) {
  QTemporaryDir dir;
  // The dialog keeps its column state in the user's Qt settings: keep the test's apart.
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
  ASSERT_TRUE(QFile(dir.filePath("program.pgm")).open(QIODevice::WriteOnly));
  FileDialogOptions o;
  o.Title = "Open Program File";
  o.InitialDir = dir.path().toStdString();
  o.Filter = "Program files (*.pgm)|*.pgm";
  QSize size;
  std::vector<int> shown, needed;
  int ticks = 0;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    auto* view = dialog ? dialog->findChild<QTreeView*>() : nullptr;
    if (!view || !dialog->isVisible() || view->model()->rowCount(view->rootIndex()) == 0) return;
    shown.clear();
    needed.clear();
    for (int column = 0; column < 4; ++column) {
      shown.push_back(view->header()->isSectionHidden(column) ? 0 : view->header()->sectionSize(column));
      needed.push_back(static_cast<QAbstractItemView*>(view)->sizeHintForColumn(column));
    }
    // The folder is read in the background: give the columns a moment to follow it.
    bool fits = std::equal(needed.begin(), needed.end(), shown.begin(), std::less_equal<>());
    if (!fits && ++ticks < 40) return;
    size = dialog->size();
    testing_support::SaveShot(dialog->grab().toImage(), "zelta-file-dialog.png");
    dialog->reject();
  });
  poll.start(50);
  EXPECT_EQ(QtUi().OpenFileName(o), std::nullopt);
  EXPECT_GE(size.width(), 760);
  EXPECT_GE(size.height(), 480);
  ASSERT_EQ(shown.size(), 4u);
  for (int column = 0; column < 4; ++column) EXPECT_GE(shown[column], needed[column]) << "column " << column;
  EXPECT_LE(std::accumulate(shown.begin(), shown.end(), 0), size.width());
}

}  // namespace
}  // namespace platform
