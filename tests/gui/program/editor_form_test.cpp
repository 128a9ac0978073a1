// The editor window: its controls, the listing, the line commands, Copy/Cut/Paste, search, the wizard's
// double click and the close question, driven through the window's buttons and menus.
#include <QCheckBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <functional>

#include "controls/link_label.h"
#include "controls/styled_label.h"
#include "editor_test_fixture.h"
#include "program/listing_search.h"
#include "program/program_files.h"
#include "project/system_map_tree.h"
#include "support/user_input.h"

namespace editor_test {
namespace {

using platform::MsgResult;

TEST_F(EditorTest, StartsAsTheCodeEditorWithAnEmptyListing) {
  EXPECT_EQ(editor->windowTitle().toStdString(), "  Marvik/Tessaro Control Wizard - Code Editor V2.00e5");
  EXPECT_EQ(editor->size(), QSize(747, 569));
  EXPECT_EQ(Store().FileName, "Untitled");
  EXPECT_EQ(Store().CurrentLine, 1);
  QAbstractItemModel* model = editor->StringGrid1->model();
  ASSERT_EQ(model->rowCount(), 4096);
  ASSERT_EQ(model->columnCount(), 4);
  const char* headers[] = {"Line#", "Program Text", "Comments", "Reference"};
  const int widths[] = {64, 305, 231, 86};
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString().toStdString(), headers[c]);
    EXPECT_EQ(editor->StringGrid1->columnWidth(c), widths[c]);
  }
  EXPECT_EQ(model->index(0, 0).data().toString(), "1");
  EXPECT_EQ(model->index(4095, 0).data().toString(), "4096");
  EXPECT_EQ(editor->StringGrid1->rowHeight(0), 16);
  EXPECT_TRUE(editor->Edit14->isHidden());
  EXPECT_TRUE(editor->CheckBox1->isHidden());
  EXPECT_EQ(editor->Edit14->text(), "Search Text");
  EXPECT_EQ(editor->Panel9->size(), QSize(81, 25));
  EXPECT_FALSE(editor->SaveProject1->isEnabled());
  auto* link = dynamic_cast<controls::TVxURL*>(editor->VxURL1);
  ASSERT_NE(link, nullptr);
  EXPECT_FALSE(link->URL().empty());
  EXPECT_EQ(link->HighlightColor(), tk::clRed);
  EXPECT_FALSE(link->UseVisitedColor());
  EXPECT_EQ(link->Font().Color(), tk::clBlue);
  auto* letter = dynamic_cast<controls::TVxLabel*>(editor->VxLabel2);
  ASSERT_NE(letter, nullptr);
  EXPECT_EQ(letter->Caption(), "Z");
  EXPECT_EQ(letter->ColorScheme(), controls::TVxColorScheme::csCustom);
  EXPECT_EQ(letter->CustomSettings().HighlightColor(), tk::clYellow);
  EXPECT_EQ(editor->Label4->text(), "elta 2.0");
  EXPECT_LE(QFontMetrics(editor->Label4->font()).horizontalAdvance(editor->Label4->text()), editor->Label4->width())
      << "the product name shows whole";
  EXPECT_FALSE(editor->StatusBar1->isSizeGripEnabled()) << "a window of fixed size";
}

TEST_F(EditorTest, UpdateRendersEveryLineThroughTheCodecAndRestoresTheCurrentLine) {
  Store().CurrentLine = 7;
  LoadSmallProgram();
  EXPECT_EQ(Text(1).rfind("IF", 0), 0u) << Text(1);
  EXPECT_EQ(Text(2).rfind("    THEN", 0), 0u) << Text(2);
  EXPECT_EQ(Text(3).rfind("    ELSE", 0), 0u) << Text(3);
  EXPECT_EQ(Text(4), "");
  EXPECT_EQ(Text(5), "End Program");
  EXPECT_EQ(CommentCell(1), "check the counter");
  EXPECT_EQ(CommentCell(4), " ") << "an empty comment shows as one blank";
  EXPECT_EQ(editor->Listing->Reference(2), "04C0-0000-0003");
  EXPECT_EQ(editor->Listing->Reference(4), "0000-0000-0000");
  EXPECT_EQ(Store().CurrentLine, 7);
  EXPECT_EQ(editor->BitBtn20->text(), "Update");
  EXPECT_TRUE(wizard.Visible) << "re-rendering leaves the wizard shown";
}

TEST_F(EditorTest, InsertAndClearKeepSkipDistancesAndMarkTheProgramUnsaved) {
  LoadSmallProgram();
  editor->SetCurrentRow(3);
  editor->BitBtn5->click();
  EXPECT_TRUE(Store().Lines[3].IsEmpty());
  EXPECT_EQ(Store().Lines[2].Value, 4) << "the skip still reaches the old line 5";
  EXPECT_EQ(Store().Comments[4], "reset");
  EXPECT_EQ(CommentCell(4), "reset");
  EXPECT_EQ(Text(3), "");
  EXPECT_EQ(Text(6), "End Program");
  EXPECT_TRUE(project.Unsaved);
  EXPECT_FALSE(Store().Modified) << "Modified keeps its meaning: set only by opening a line in the wizard";

  editor->SetCurrentRow(4);
  editor->BitBtn7->click();
  EXPECT_TRUE(Store().Lines[4].IsEmpty());
  EXPECT_EQ(Store().Comments[4], "");
  EXPECT_EQ(Text(4), "");
  EXPECT_EQ(Store().Lines[2].Value, 4) << "Clear Line does not renumber";
}

TEST_F(EditorTest, DeleteAsksFirstAndCancelLeavesTheLine) {
  LoadSmallProgram();
  editor->SetCurrentRow(3);
  Ui().QueueAnswer(MsgResult::Cancel);
  editor->BitBtn6->click();
  ASSERT_EQ(Ui().Asked().size(), 1u);
  EXPECT_EQ(Ui().Asked()[0].Text, "Are you SURE you want to DELETE line# 3?");
  EXPECT_EQ(Ui().Asked()[0].Caption, "Delete Line");
  EXPECT_EQ(Ui().Asked()[0].Buttons, platform::MsgButtons::OkCancel);
  EXPECT_FALSE(Store().Lines[3].IsEmpty());
  EXPECT_FALSE(project.Unsaved);

  Ui().QueueAnswer(MsgResult::Ok);
  editor->BitBtn6->click();
  EXPECT_EQ(Store().Comments[3], "");
  EXPECT_EQ(Text(4), "End Program");
  EXPECT_EQ(Store().Lines[2].Value, 2) << "the skip follows its target up";
  EXPECT_TRUE(project.Unsaved);
}

TEST_F(EditorTest, CopyAndPasteKeepThePastedBlocksSkipDistances) {
  LoadSmallProgram();
  editor->SelectBlock(2, 3);
  editor->Copy1->trigger();
  EXPECT_EQ(Store().BlockFirst, 2);
  EXPECT_EQ(Store().BlockLast, 3);
  EXPECT_FALSE(project.Unsaved) << "Copy changes nothing";

  editor->SetCurrentRow(6);
  editor->Paste1->trigger();
  EXPECT_EQ(Store().Lines[6], Store().Lines[2]);
  EXPECT_EQ(Store().Lines[6].Value, 3) << "the pasted Skip To keeps its own distance";
  EXPECT_EQ(Store().Comments[7], "reset");
  EXPECT_EQ(Text(7), Text(3));
  EXPECT_EQ(editor->CurrentRow(), 8) << "the cursor moves below the pasted block";
  EXPECT_TRUE(project.Unsaved);

  // Pasting again gives the same block once more.
  editor->Paste1->trigger();
  EXPECT_EQ(Store().Lines[8], Store().Lines[2]);
  EXPECT_TRUE(Ui().Messages().empty());
}

TEST_F(EditorTest, CutRemovesTheBlockAndPasteBeforeAnyCopyInsertsOneEmptyLine) {
  LoadSmallProgram();
  editor->SetCurrentRow(1);
  editor->Paste1->trigger();
  EXPECT_TRUE(Store().Lines[1].IsEmpty());
  EXPECT_EQ(Text(6), "End Program");

  editor->SelectBlock(2, 3);  // the IF and the THEN
  editor->Cut1->trigger();
  EXPECT_EQ(editor->CurrentRow(), 2);
  EXPECT_EQ(Text(4), "End Program");
  EXPECT_EQ(Store().Comments[2], "reset");
  EXPECT_EQ(Store().BlockFirst, 2);
}

TEST_F(EditorTest, APasteThatReachesTheLastRowStopsThereWithViewAndStoreInStep) {
  LoadSmallProgram();
  editor->SelectBlock(1, 3);
  editor->Copy1->trigger();
  editor->SetCurrentRow(4095);
  editor->Paste1->trigger();
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{program::kGridIndexText});
  EXPECT_EQ(Store().Lines[4095], Store().Lines[1]);
  EXPECT_EQ(Store().Lines[4096], Store().Lines[2]);
  EXPECT_EQ(Text(4095), Text(1)) << "the listing shows what the store holds";
  EXPECT_EQ(editor->Listing->Reference(4096), Store().ReferenceText(4096));
  EXPECT_EQ(editor->CurrentRow(), 4096);

  // One line pasted on the last row fits, but the cursor cannot follow it.
  editor->SelectBlock(1, 1);
  editor->Copy1->trigger();
  editor->SetCurrentRow(4096);
  Ui().Clear();
  editor->Paste1->trigger();
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{program::kGridIndexText});
  EXPECT_EQ(Text(4096), Text(1));
}

TEST_F(EditorTest, SearchFindsTextAndCommentsForwardOnlyAndHidesTheWizard) {
  LoadSmallProgram();
  Store().Comments[40] = "Porch LIGHT";
  Store().Lines[40] = Store().Lines[3];
  editor->UpdateListing();
  editor->SearchButtonRightClick();
  EXPECT_FALSE(editor->Edit14->isHidden());
  EXPECT_EQ(editor->Panel9->size(), QSize(310, 45));

  // From line 1 the first match is line 1 itself, but the cursor lands on line 2.
  editor->SetCurrentRow(1);
  editor->Edit14->setText("if");
  wizard.Visible = true;
  editor->SearchButton->click();
  EXPECT_EQ(Store().CurrentLine, 2);
  EXPECT_EQ(editor->CurrentRow(), 2);
  EXPECT_FALSE(wizard.Visible) << "no wizard stays open on another line than the cursor's";

  // Comments count only with the box ticked; case is ignored.
  editor->Edit14->setText("porch light");
  Ui().Clear();
  editor->SearchButton->click();
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Not found"});
  EXPECT_EQ(Store().CurrentLine, 2);
  editor->CheckBox1->setChecked(true);
  editor->SearchButton->click();
  EXPECT_EQ(Store().CurrentLine, 40);
  EXPECT_EQ(editor->CurrentRow(), 40);
  EXPECT_EQ(editor->StringGrid1->rowAt(0), 39) << "the found line is the top visible row";
  // The next search starts below the match and does not wrap around.
  Ui().Clear();
  editor->SearchButton->click();
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"Not found"});
  EXPECT_EQ(Store().CurrentLine, 40);

  editor->SearchButtonRightClick();
  EXPECT_TRUE(editor->Edit14->isHidden());
  EXPECT_EQ(editor->Panel9->size(), QSize(81, 25));
}

TEST(ListingSearch, NeverLooksAtTheLastLineAndAnEmptyTextMatchesNothing) {
  std::vector<std::string> texts(4097), comments(4097);
  texts[4096] = "needle";
  EXPECT_EQ(program::FindLine(texts, comments, 1, "needle", true), 0);
  texts[4095] = "a NEEDLE";
  EXPECT_EQ(program::FindLine(texts, comments, 1, "needle", false), 4095);
  EXPECT_EQ(program::FindLine(texts, comments, 1, "", true), 0);
  comments[9] = "Needle";
  EXPECT_EQ(program::FindLine(texts, comments, 1, "needle", false), 4095);
  EXPECT_EQ(program::FindLine(texts, comments, 1, "needle", true), 9);
  EXPECT_EQ(program::FindLine(texts, comments, 10, "needle", true), 4095);
  EXPECT_EQ(program::SearchStart(1), 1);
  EXPECT_EQ(program::SearchStart(2), 3);
}

TEST_F(EditorTest, DoubleClickOpensTheProgramTextInTheWizardAndSetsModified) {
  LoadSmallProgram();
  editor->SetCurrentCell(3, program::ListingModel::ColumnComment);
  editor->StringGrid1DblClick();
  EXPECT_TRUE(Store().Modified);
  EXPECT_TRUE(wizard.Opened.empty()) << "a double click on a comment opens nothing";

  Store().Modified = false;
  editor->SetCurrentCell(3, program::ListingModel::ColumnText);
  editor->StringGrid1DblClick();
  EXPECT_TRUE(Store().Modified);
  EXPECT_TRUE(project.Unsaved);
  EXPECT_EQ(wizard.Opened, std::vector<int>{3});
  EXPECT_EQ(wizard.Caption, "Control Wizard, Line# 3");
  EXPECT_EQ(wizard.Height, editor->height());
  EXPECT_EQ(Store().CurrentLine, 3);

  // A click elsewhere hides the wizard and follows the cursor.
  editor->SetCurrentCell(9, program::ListingModel::ColumnText);
  EXPECT_FALSE(wizard.Visible);
  EXPECT_EQ(Store().CurrentLine, 9);
}

// A mouse double click as the user makes it: press, release, double click, release.
void DoubleClickCell(QTableView* grid, int row, int column) {
  const QPoint at = grid->visualRect(grid->model()->index(row - 1, column)).center();
  QWidget* viewport = grid->viewport();
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                            QEvent::MouseButtonRelease}) {
    QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
  }
}

TEST_F(EditorTest, AMouseDoubleClickOnTheGridReachesTheWizard) {
  LoadSmallProgram();
  editor->show();
  QApplication::processEvents();
  DoubleClickCell(editor->StringGrid1, 2, program::ListingModel::ColumnText);
  EXPECT_EQ(wizard.Opened, std::vector<int>{2});
  EXPECT_EQ(wizard.Caption, "Control Wizard, Line# 2");
  EXPECT_TRUE(wizard.Visible);
  editor->hide();
}

// Mouse events as the user makes them, each sent to the widget under the pointer (the comment editor once
// it is open over the cell).
void MouseOnCell(QTableView* grid, int row, int column, std::initializer_list<QEvent::Type> types) {
  const QPoint global = grid->viewport()->mapToGlobal(grid->visualRect(grid->model()->index(row - 1, column)).center());
  for (QEvent::Type type : types) {
    QWidget* target = QApplication::widgetAt(global);
    ASSERT_NE(target, nullptr);
    QMouseEvent event(type, target->mapFromGlobal(global), global, Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
    QApplication::processEvents();
  }
}

TEST_F(EditorTest, AMouseDoubleClickOnACommentBeingTypedSetsModified) {
  LoadSmallProgram();
  editor->show();
  QApplication::processEvents();
  const auto click = {QEvent::MouseButtonPress, QEvent::MouseButtonRelease};
  MouseOnCell(editor->StringGrid1, 3, program::ListingModel::ColumnComment, click);
  MouseOnCell(editor->StringGrid1, 4, program::ListingModel::ColumnComment, click);
  ASSERT_NE(QApplication::widgetAt(editor->StringGrid1->viewport()->mapToGlobal(
                editor->StringGrid1->visualRect(editor->StringGrid1->model()->index(3, 2)).center())),
            editor->StringGrid1->viewport())
      << "the comment editor is open over the cell";
  Store().Modified = false;
  MouseOnCell(
      editor->StringGrid1, 4, program::ListingModel::ColumnComment,
      {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease});
  EXPECT_TRUE(Store().Modified);
  EXPECT_TRUE(wizard.Opened.empty());
  editor->hide();
}

TEST_F(EditorTest, ACommentIsTakenAsItIsTypedBeforeTheCellIsLeft) {
  LoadSmallProgram();
  editor->show();
  QApplication::processEvents();
  editor->SetCurrentCell(4, program::ListingModel::ColumnComment);
  const QModelIndex cell = editor->StringGrid1->model()->index(3, program::ListingModel::ColumnComment);
  editor->StringGrid1->edit(cell);
  auto* typing = qobject_cast<QLineEdit*>(editor->StringGrid1->indexWidget(cell));
  ASSERT_NE(typing, nullptr);
  EXPECT_FALSE(project.Unsaved) << "opening the cell changes nothing";
  typing->selectAll();
  for (char c : std::string("lamp")) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A + (c - 'a'), Qt::NoModifier, QString(QChar(c)));
    QApplication::sendEvent(typing, &press);
  }
  typing->setCursorPosition(2);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
  QApplication::sendEvent(typing, &press);
  EXPECT_EQ(Store().Comments[4], "laxmp") << "every keystroke reaches the program";
  EXPECT_EQ(typing->cursorPosition(), 3) << "the caret stays where the user types";
  EXPECT_TRUE(project.Unsaved);
  QKeyEvent euro(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("\u20ac"));
  QApplication::sendEvent(typing, &euro);
  EXPECT_EQ(typing->text(), "laxmp") << "not Latin-1: refused";
  EXPECT_EQ(Ui().Beeps(), 1);

  // Saved from the menu while the cell is still being typed in.
  const std::string path = dir.File("typed.pgm");
  Ui().QueueSaveFile(path);
  editor->SaveProgramAs1->trigger();
  auto loaded = std::make_unique<ProgramStore>();
  ASSERT_EQ(LoadPGMFile(*loaded, path), "");
  EXPECT_EQ(loaded->Comments[4], "laxmp");
  editor->hide();
}

TEST_F(EditorTest, ACommentCellTakesWhatTheFileKeepsAndEscapeTakesTheTypingBack) {
  LoadSmallProgram();
  editor->show();
  for (int row : {3, 4}) {  // a comment, and an empty one shown as a blank
    const std::string comment = Store().Comments[row], cell = CommentCell(row);
    editor->SetCurrentCell(row, program::ListingModel::ColumnComment);
    testing_support::TypeInCell(editor->StringGrid1, QString(100, 'w'));
    EXPECT_EQ(Store().Comments[row].size(), kMaxCommentLength);
    testing_support::Key(editor->StringGrid1->indexWidget(editor->Listing->index(row - 1, 2)), Qt::Key_Escape);
    EXPECT_EQ(Store().Comments[row], comment);
    EXPECT_EQ(CommentCell(row), cell);
  }
  EXPECT_FALSE(project.Unsaved) << "nothing is left of the typing";
  editor->hide();
}

TEST_F(EditorTest, PassingThroughACommentWithoutTypingChangesNothing) {
  LoadSmallProgram();
  editor->show();
  QApplication::processEvents();
  for (int row : {3, 4}) {
    editor->SetCurrentCell(row, program::ListingModel::ColumnComment);
    const QModelIndex cell = editor->StringGrid1->model()->index(row - 1, program::ListingModel::ColumnComment);
    editor->StringGrid1->edit(cell);
    ASSERT_NE(editor->StringGrid1->indexWidget(cell), nullptr);
    editor->SetCurrentCell(row + 5, program::ListingModel::ColumnText);  // the cell is left, its text kept
    ASSERT_EQ(editor->StringGrid1->indexWidget(cell), nullptr);
  }
  EXPECT_FALSE(project.Unsaved) << "no close question for comments only looked at";
  EXPECT_EQ(Store().Comments[3], "reset");
  EXPECT_EQ(Store().Comments[4], "") << "the blank the empty cell shows is not taken as a comment";
  editor->hide();
}

TEST_F(EditorTest, CommentsAreTypedAndTheReferenceColumnFollowsTheErrorsBox) {
  LoadSmallProgram();
  editor->SetCurrentCell(4, program::ListingModel::ColumnComment);
  EXPECT_EQ(editor->StringGrid1->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_NE(editor->StringGrid1->editTriggers(), QAbstractItemView::NoEditTriggers);
  QAbstractItemModel* model = editor->StringGrid1->model();
  ASSERT_TRUE(model->setData(model->index(3, 2), QString("lamp on")));
  EXPECT_EQ(Store().Comments[4], "lamp on");
  EXPECT_TRUE(project.Unsaved);
  EXPECT_FALSE(Store().Modified);
  EXPECT_FALSE(model->setData(model->index(3, 2), QString::fromUtf8("\u20ac"))) << "not Latin-1: refused";
  EXPECT_EQ(Store().Comments[4], "lamp on");

  editor->SetCurrentCell(4, program::ListingModel::ColumnText);
  EXPECT_EQ(editor->StringGrid1->selectionMode(), QAbstractItemView::ContiguousSelection);
  EXPECT_EQ(editor->StringGrid1->editTriggers(), QAbstractItemView::NoEditTriggers);

  editor->SetCurrentCell(5, program::ListingModel::ColumnReference);
  EXPECT_EQ(editor->CurrentColumn(), program::ListingModel::ColumnText) << "refused without the Errors box";
  comms.Detail = true;
  editor->SetCurrentCell(5, program::ListingModel::ColumnReference);
  EXPECT_EQ(editor->CurrentColumn(), program::ListingModel::ColumnReference);
}

TEST_F(EditorTest, TheCloseQuestionFollowsEveryUnsavedChange) {
  EXPECT_TRUE(editor->FormCloseQuery()) << "nothing changed: no question";
  EXPECT_TRUE(Ui().Asked().empty());

  editor->NewProgram1->trigger();
  EXPECT_EQ(Text(10), " ");
  EXPECT_EQ(Store().Comments[10], " ");
  Ui().QueueAnswer(MsgResult::Cancel);
  EXPECT_FALSE(editor->FormCloseQuery());
  EXPECT_EQ(Ui().Asked().back().Text, "Program has changed and not saved, Still close?");

  editor->show();
  Ui().QueueAnswer(MsgResult::Cancel);
  editor->Exit1->trigger();
  EXPECT_TRUE(editor->isVisible()) << "Cancel keeps the window open";
  Ui().QueueAnswer(MsgResult::Ok);
  editor->Exit1->trigger();
  EXPECT_FALSE(editor->isVisible());
}

TEST_F(EditorTest, AWizardEntryAfterASaveStillBringsTheQuestions) {
  LoadSmallProgram();
  editor->SetCurrentCell(2, program::ListingModel::ColumnText);
  editor->StringGrid1DblClick();  // the wizard opens on line 2
  Ui().QueueSaveFile(dir.File("saved.pgm"));
  editor->SaveProgramAs1->trigger();
  EXPECT_TRUE(editor->FormCloseQuery()) << "just saved: no question";

  // The wizard, still open, enters a new value into its line through the store's accessors.
  Store().SetLineValue(2, 9);
  Ui().QueueAnswer(MsgResult::Cancel);
  EXPECT_FALSE(editor->FormCloseQuery());
  EXPECT_EQ(Ui().Asked().back().Text, "Program has changed and not saved, Still close?");
  Ui().QueueAnswer(MsgResult::Cancel);
  editor->OpenProgram1->trigger();
  EXPECT_EQ(Ui().Asked().back().Text, "Program has changed and not saved, Still Open?");

  // Loaded again: what is shown is what is on disk.
  Ui().QueueAnswer(MsgResult::Ok);
  Ui().QueueOpenFile(dir.File("saved.pgm"));
  editor->OpenProgram1->trigger();
  EXPECT_EQ(Store().Lines[2].Value, 3);
  EXPECT_TRUE(editor->FormCloseQuery());
}

TEST_F(EditorTest, EveryKindOfChangeBringsTheCloseQuestion) {
  LoadSmallProgram();
  QAbstractItemModel* model = editor->StringGrid1->model();
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"insert", [&] { editor->BitBtn5->click(); }},
      {"delete",
       [&] {
         Ui().QueueAnswer(MsgResult::Ok);
         editor->BitBtn6->click();
       }},
      {"clear", [&] { editor->BitBtn7->click(); }},
      {"paste", [&] { editor->Paste1->trigger(); }},
      {"cut", [&] { editor->Cut1->trigger(); }},
      {"comment", [&] { model->setData(model->index(0, 2), QString("typed")); }},
      {"new program", [&] { editor->NewProgram1->trigger(); }},
  };
  for (const auto& [name, change] : changes) {
    project.Unsaved = false;
    editor->SetCurrentRow(2);
    change();
    EXPECT_FALSE(Store().Modified) << name;
    Ui().QueueAnswer(MsgResult::Cancel);
    EXPECT_FALSE(editor->FormCloseQuery()) << name;
    EXPECT_EQ(Ui().Asked().back().Text, "Program has changed and not saved, Still close?") << name;
  }
}

TEST_F(EditorTest, SystemMapEditsBringTheirOwnCloseQuestionAfterTheProgramsOne) {
  const std::string program = "Program has changed and not saved, Still close?";
  const std::string map = "System Map has changed and not saved, Still close?";
  const std::vector<std::function<void()>> edits = {[&] { sysConfig->Tree.Rename(project::FirstTimer, "Porch light"); },
                                                    [&] { sysConfig->Tessaro1Click(); }};
  for (const auto& edit : edits) {
    sysConfig->GenerateDefaultProject();
    EXPECT_TRUE(editor->FormCloseQuery()) << "just loaded";
    edit();
    Ui().Clear();
    Ui().QueueAnswer(MsgResult::Cancel);
    EXPECT_FALSE(editor->FormCloseQuery());
    EXPECT_EQ(Ui().Messages(), std::vector<std::string>{map});
  }
  // The program's question first; its Cancel ends the close there.
  editor->NewProgram1->trigger();
  Ui().Clear();
  for (MsgResult answer : {MsgResult::Cancel, MsgResult::Ok, MsgResult::Ok}) Ui().QueueAnswer(answer);
  EXPECT_FALSE(editor->FormCloseQuery());
  EXPECT_TRUE(editor->FormCloseQuery());
  EXPECT_EQ(Ui().Messages(), (std::vector<std::string>{program, program, map}));
  // Saved with the project: nothing to ask.
  Ui().QueueSaveFile(dir.File("house.prj"));
  editor->SaveProjectAs1->trigger();
  EXPECT_TRUE(editor->FormCloseQuery());
}

// The question before an attach, or the program's end, names the work it ends. Work that ends while a box is
// open needs no more asking; work that starts meanwhile is not ended unasked: its own question comes.
TEST_F(EditorTest, WorkThatStartsWhileABoxIsOpenIsAskedAboutBeforeItIsEnded) {
  const std::string learn = "The IR Learn is running: ... Still attach?";
  const std::string download = "The Program Download is running: ... Still attach?";
  const std::string learnExit = "The IR Learn is running: ... Still close?";
  const std::string downloadExit = "The Program Download is running: ... Still close?";
  const std::string program = "Program has changed and not saved, Still close?";
  const struct {
    const char* Name;
    bool Exit;
    int Under;  // the box open when what runs changes: 0 the end question, 1 the program's question
    std::string Then;
    std::vector<MsgResult> Answers;
    std::vector<std::string> Asked;
    bool Ends;
  } cases[] = {
      {"the learn ends", false, 0, "", {MsgResult::Ok}, {learn}, true},
      {"a download starts, Cancel", false, 0, download, {MsgResult::Ok, MsgResult::Cancel}, {learn, download}, false},
      {"a download starts, OK", false, 0, download, {MsgResult::Ok, MsgResult::Ok}, {learn, download}, true},
      {"exit, the learn ends", true, 1, "", {MsgResult::Ok, MsgResult::Ok}, {learnExit, program}, true},
      {"exit, a download starts, Cancel",
       true,
       1,
       downloadExit,
       {MsgResult::Ok, MsgResult::Ok, MsgResult::Cancel},
       {learnExit, program, downloadExit},
       false},
      {"exit, a download starts, OK",
       true,
       1,
       downloadExit,
       {MsgResult::Ok, MsgResult::Ok, MsgResult::Ok},
       {learnExit, program, downloadExit},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    editor->NewProgram1->trigger();
    Ui().Clear();
    comms.Attaches = 0;
    comms.AttachQuestion = learn;
    comms.ExitQuestion = learnExit;
    for (MsgResult answer : c.Answers) Ui().QueueAnswer(answer);
    Ui().WhileAsked([&] { (c.Exit ? comms.ExitQuestion : comms.AttachQuestion) = c.Then; }, c.Under);
    if (c.Exit) {
      EXPECT_EQ(editor->FormCloseQuery(), c.Ends);
    } else {
      editor->AttachToController1->trigger();
      EXPECT_EQ(comms.Attaches, c.Ends ? 1 : 0);
    }
    EXPECT_EQ(Ui().Messages(), c.Asked);
    editor->show();
  }
}

TEST_F(EditorTest, MenuDoorsReachTheOtherWindows) {
  editor->AttachToController1->trigger();
  EXPECT_EQ(comms.Reads, 1);
  EXPECT_EQ(comms.Attaches, 1);
  EXPECT_FALSE(editor->isVisible());

  comms.ReadSucceeds = false;
  editor->CommsSetup1->trigger();
  EXPECT_EQ(comms.Setups, 0) << "a failed settings reload stops the command";
  comms.ReadSucceeds = true;
  editor->CommsSetup1->trigger();
  EXPECT_EQ(comms.Setups, 1);

  editor->DownloadProject1->trigger();
  EXPECT_EQ(Ui().Messages(), std::vector<std::string>{"No Project Loaded"});
  EXPECT_EQ(comms.Downloads, 0);

  editor->TouchScreenSetup1->trigger();
  EXPECT_EQ(Ui().Messages().back(), "You must first define the controller as a Tessaro' in the System Map");

  editor->SystemMap1->trigger();
  EXPECT_TRUE(sysConfig->isVisible());
  EXPECT_EQ(sysConfig->height(), editor->height());
}

}  // namespace
}  // namespace editor_test
