// A message cell takes no more than the 32 characters its file record and the controller keep, so the size
// column never shows more than is kept.
#include <gtest/gtest.h>

#include <QTableWidget>

#include "gui/project/ascii_messages_form.h"
#include "support/user_input.h"

namespace {

TEST(AsciiMessageCells, ACellTakesAtMostTheThirtyTwoCharactersTheFileKeeps) {
  project::AsciiMessageTable messages;
  TAsciiMessages window(messages, [] { return std::string(); });
  window.show();
  QTableWidget* grid = window.StringGrid1;
  grid->setCurrentCell(5, 1);
  grid->setFocus();
  testing_support::TypeInCell(grid, QString(40, 'w'));
  EXPECT_EQ(messages.Text(5), std::string(32, 'w'));
  EXPECT_EQ(grid->item(5, 1)->text(), QString(32, 'w'));
  EXPECT_EQ(grid->item(5, 2)->text(), "32");
  EXPECT_TRUE(testing_support::Shoot(&window, "zelta_ascii_message_length.png"));
}

}  // namespace
