// The printed listing: a print through the menu into a PDF file.
#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <filesystem>

#include "editor_test_fixture.h"
#include "gui/program/listing_print.h"
#include "platform/atomic_file.h"
#include "support/user_input.h"

namespace editor_test {
namespace {

TEST_F(EditorTest, PrintGoesToThePrinterInOneJobAndLeavesTheGridAlone) {
  LoadSmallProgram();
  const std::string pdf = dir.File("listing.pdf");
  Ui().QueuePrintToPdf(pdf);
  editor->Print1->trigger();
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(pdf, bytes));
  EXPECT_EQ(bytes.rfind("%PDF", 0), 0u);
  EXPECT_EQ(Text(4), "") << "empty cells stay empty";
  EXPECT_EQ(CommentCell(4), " ");
  EXPECT_TRUE(Ui().Messages().empty());

  // Cancelled at the print dialog: nothing is printed.
  const std::string none = dir.File("none.pdf");
  Ui().QueuePrintToPdf(std::nullopt);
  editor->Print1->trigger();
  EXPECT_FALSE(platform::FileExists(none));
}

TEST_F(EditorTest, ScreenshotOfASmallProgram) {
  LoadSmallProgram();
  editor->SearchButtonRightClick();
  editor->SetCurrentCell(3, program::ListingModel::ColumnText);
  editor->StatusBar1->showMessage("Project: temp.prj");
  editor->show();
  QApplication::processEvents();
  QImage shot = editor->grab().toImage();
  EXPECT_TRUE(testing_support::SaveShot(shot, "zelta_editor.png"));
  EXPECT_EQ(shot.size(), editor->size() * shot.devicePixelRatio());
  // The grid shows the rendered text: some dark pixels inside the Program Text column of line 1.
  QRect cell = editor->StringGrid1->visualRect(editor->StringGrid1->model()->index(0, 1));
  QPoint origin = editor->StringGrid1->viewport()->mapTo(editor.get(), cell.topLeft());
  int dark = 0;
  for (int y = origin.y(); y < origin.y() + cell.height(); ++y)
    for (int x = origin.x(); x < origin.x() + cell.width(); ++x)
      if (qGray(shot.pixel(x, y)) < 100) ++dark;
  EXPECT_GT(dark, 20);
  editor->hide();
}

}  // namespace
}  // namespace editor_test
