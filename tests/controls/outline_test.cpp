#include "controls/outline.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include "controls/controller.h"
#include "controls/exceptions.h"
#include "controls/fake_services.h"
#include "support/user_input.h"

namespace {

using namespace controls;
using Style = TVxOlNodeStyle;

// Two square pictures: green and blue.
class TestImages : public tk::Component, public IVxImageList {
 public:
  using tk::Component::Component;
  int ImageWidth() const override { return 10; }
  int ImageHeight() const override { return 10; }
  int ImageCount() const override { return 2; }
  void DrawImage(tk::Canvas& canvas, int x, int y, int index, bool) const override {
    ++Drawn;
    canvas.Brush = tk::Brush{index == 0 ? tk::clGreen : tk::clBlue, tk::BrushStyle::Solid};
    canvas.FillRect(tk::Bounds(x, y, 10, 10));
  }
  mutable int Drawn = 0;
};

constexpr int kRow = 18;  // C = (18 - 4) div 2 = 7: a level-0 button is centred on (9, 9) of its line

// Lines, collapsed: 0 the long node, 1 Colours (Red, Green, Blue radios), 2 Options (Bold, Italic checks).
class Outline : public ::testing::Test {
 protected:
  void SetUp() override {
    form.resize(320, 260);
    outline->SetBounds(10, 10, 220, 160);
    outline->SetRowHeight(kRow);
    TVxOutlineNodes& nodes = outline->Nodes();
    longNode = nodes.Add("A node whose text is far too long for the outline to show");
    colours = nodes.AddEx("Colours", 0, TVxOlNodeMode::omPreload);
    for (const char* c : {"Red", "Green", "Blue"}) nodes.AddButtonChild(colours, c, Style::osRadio, false);
    options = nodes.AddEx("Options", 1, TVxOlNodeMode::omPreload);
    bold = nodes.AddButtonChild(options, "Bold", Style::osCheck, false);
    nodes.AddButtonChild(options, "Italic", Style::osCheck, true);
    outline->OnActiveChange = [this](tk::Component*, TVxOutlineNode* from, TVxOutlineNode* to) {
      changes.push_back({from, to});
    };
    form.show();
    outline->setFocus();
    QApplication::processEvents();
  }

  QPoint At(int line, int x) const { return outline->ClientToWidget({x, (line - outline->TopIndex()) * kRow + 9}); }
  void Hover(tk::Point client) {
    testing_support::Mouse(outline, QEvent::MouseMove, outline->ClientToWidget(client), Qt::NoButton);
  }
  void Tick(std::uint32_t ms) {
    services.Ticks += ms;
    controller->TimerPool().DoTriggerNotification();
  }
  QImage Line(int line) { return outline->grab(QRect(At(line, 0) - QPoint(0, 9), QSize(200, kRow))).toImage(); }
  static bool Shows(const QImage& image, tk::TColor color) {
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (tk::FromQColor(image.pixelColor(x, y)) == tk::ColorToRGB(color)) return true;
    return false;
  }

  controls_test::FakeServices services;
  tk::Form form;
  TVxController* controller = new TVxController(&form);
  TVxOutline* outline = new TVxOutline(&form);
  TVxOutlineNode* longNode;
  TVxOutlineNode* colours;
  TVxOutlineNode* options;
  TVxOutlineNode* bold;
  std::vector<std::pair<TVxOutlineNode*, TVxOutlineNode*>> changes;
};

TEST_F(Outline, TheButtonOfAGroupExpandsItWithoutMovingTheSelection) {
  outline->SetActiveNode(options);
  changes.clear();
  testing_support::ClickAt(outline, At(1, 9));
  EXPECT_TRUE(colours->Expanded());
  EXPECT_EQ(outline->ActiveNode(), options);
  EXPECT_EQ(outline->ItemIndex(), 5);  // Options, below the three colours now
  EXPECT_TRUE(changes.empty());
  testing_support::ClickAt(outline, At(1, 9));
  EXPECT_FALSE(colours->Expanded());
}

TEST_F(Outline, ADoubleClickElsewhereOnTheLineTogglesTheActiveNode) {
  const QPoint text = At(2, 60);
  testing_support::Mouse(outline, QEvent::MouseButtonPress, text);
  testing_support::Mouse(outline, QEvent::MouseButtonRelease, text);
  testing_support::Mouse(outline, QEvent::MouseButtonDblClick, text);
  testing_support::Mouse(outline, QEvent::MouseButtonRelease, text);
  EXPECT_EQ(outline->ActiveNode(), options);
  EXPECT_TRUE(options->Expanded());
  EXPECT_EQ(outline->Lines(), 5);
  EXPECT_EQ(changes, (std::vector<std::pair<TVxOutlineNode*, TVxOutlineNode*>>{{nullptr, options}}));
}

TEST_F(Outline, KeysExpandCollapseAndCheckTheSelectedLine) {
  outline->SetActiveNode(colours);
  struct Step {
    const char* Typed;
    bool Expanded;
  };
  for (Step step : {Step{"+", true}, Step{"+", true}, Step{"-", false}, Step{"\r", true}, Step{" ", false}}) {
    testing_support::Type(outline, step.Typed);
    EXPECT_EQ(colours->Expanded(), step.Expanded) << step.Typed;
    EXPECT_EQ(outline->ItemIndex(), 1);
  }
  testing_support::Type(outline, "+");
  testing_support::Key(outline, Qt::Key_Down);
  testing_support::Type(outline, " ");
  TVxOutlineNode* blue = outline->ActiveNode();
  ASSERT_EQ(blue->Text(), "Blue");
  EXPECT_TRUE(blue->Checked());
  testing_support::Key(outline, Qt::Key_Down);
  testing_support::Type(outline, " ");
  EXPECT_TRUE(outline->ActiveNode()->Checked());
  EXPECT_FALSE(blue->Checked());
  outline->SetActiveNode(bold);
  testing_support::Type(outline, " ");
  testing_support::Type(outline, " ");
  testing_support::Type(outline, " ");
  EXPECT_TRUE(bold->Checked());
}

TEST_F(Outline, EachKeyOrPressReportsTheActiveNodeChangeOnce) {
  using Change = std::pair<TVxOutlineNode*, TVxOutlineNode*>;
  testing_support::ClickAt(outline, At(1, 60));
  testing_support::Key(outline, Qt::Key_Down);
  EXPECT_EQ(changes, (std::vector<Change>{{nullptr, colours}, {colours, options}}));
  changes.clear();
  // Dragging through the lines reports where the press ended, once it is released.
  testing_support::Mouse(outline, QEvent::MouseButtonPress, At(0, 60));
  testing_support::Mouse(outline, QEvent::MouseMove, At(1, 60));
  EXPECT_TRUE(changes.empty());
  testing_support::Mouse(outline, QEvent::MouseButtonRelease, At(1, 60));
  EXPECT_EQ(changes, (std::vector<Change>{{options, colours}}));
}

TEST_F(Outline, CollapsingTheParentOfTheActiveNodeLeavesNoneActive) {
  colours->Expand(false);
  TVxOutlineNode* green = colours->GetNode(1);
  outline->SetActiveNode(green);
  EXPECT_EQ(outline->ItemIndex(), 3);
  changes.clear();
  colours->Collapse(false);
  EXPECT_EQ(outline->ItemIndex(), -1);
  EXPECT_EQ(outline->ActiveNode(), nullptr);
  EXPECT_EQ(changes, (std::vector<std::pair<TVxOutlineNode*, TVxOutlineNode*>>{{green, nullptr}}));
}

TEST_F(Outline, ClickingAMarkChecksItsNode) {
  options->Expand(false);
  outline->repaint();
  std::vector<std::string> clicked;
  outline->OnNodeClick = [&](tk::Component*, TVxOutlineNode* node) { clicked.push_back(node->Text()); };
  const tk::Rect mark = bold->CheckRect();
  ASSERT_FALSE(mark.Empty());
  testing_support::ClickAt(outline, outline->ClientToWidget({mark.Left + 6, mark.Top + 6}));
  EXPECT_TRUE(bold->Checked());
  testing_support::ClickAt(outline, outline->ClientToWidget({mark.Left + 6, mark.Top + 6}));
  EXPECT_FALSE(bold->Checked());
  EXPECT_EQ(clicked, (std::vector<std::string>{"Bold", "Bold"}));
  EXPECT_EQ(outline->ActiveNode(), bold);
}

TEST_F(Outline, WithHideSelectionTheSelectedLineLosesItsHighlightWithTheFocus) {
  outline->SetActiveNode(options);
  QWidget other(&form);
  other.setFocusPolicy(Qt::StrongFocus);
  other.show();
  EXPECT_TRUE(Shows(Line(2), tk::clHighlight));
  other.setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(Shows(Line(2), tk::clHighlight));
  outline->SetHideSelection(true);
  EXPECT_FALSE(Shows(Line(2), tk::clHighlight));
  outline->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(Shows(Line(2), tk::clHighlight));
}

TEST_F(Outline, AShortenedTextShowsInFullAfterTheMouseRests) {
  outline->repaint();
  ASSERT_TRUE(longNode->Truncated());
  EXPECT_FALSE(options->Truncated());
  Hover({100, 9});
  Tick(250);
  ASSERT_TRUE(outline->HintShowing());
  EXPECT_EQ(outline->HintText(), longNode->Text());
  const QPoint mouse = outline->mapToGlobal(At(0, 100));
  const QRect hint = outline->HintWindow()->geometry();
  EXPECT_EQ(hint.bottom() + 1, mouse.y() - 8);  // centred above the mouse
  EXPECT_LE(std::abs(hint.center().x() - mouse.x()), 1);
  EXPECT_TRUE(testing_support::SaveShot(outline->HintWindow()->grab().toImage(), "outline_hint.png"));
  for (int i = 0; i < 12; ++i) Tick(250);
  EXPECT_FALSE(outline->HintShowing());  // gone after three seconds
  Tick(250);
  EXPECT_FALSE(outline->HintShowing());  // until the mouse moves again
  Hover({120, 9});                       // along the line only: still no hint
  Tick(250);
  EXPECT_FALSE(outline->HintShowing());
  Hover({140, 5});
  Tick(250);
  EXPECT_TRUE(outline->HintShowing());
  Hover({30, 2 * kRow + 9});  // a text that fits
  Tick(250);
  EXPECT_FALSE(outline->HintShowing());
}

TEST_F(Outline, KeysCannotChangeOnceANodeExists) {
  EXPECT_THROW(outline->SetKeys(2), EVxException);
  outline->Clear();
  EXPECT_EQ(outline->NumItems(), 0);
  outline->SetKeys(2);
  EXPECT_EQ(outline->Keys(), 2);
}

TEST_F(Outline, PaintsLinesButtonsMarksAndImages) {
  auto* images = new TestImages(&form);
  outline->SetImages(images);
  colours->Expand(false);
  colours->GetNode(2)->SetChecked(true);  // Red
  outline->SetActiveNode(colours->GetNode(0));
  ASSERT_TRUE(testing_support::Shoot(&form, "outline.png"));
  const QImage shot = outline->grab().toImage();
  auto pixel = [&](int line, int x, int y) {
    return tk::FromQColor(shot.pixelColor(outline->ClientToWidget({x, line * kRow + y})));
  };
  // The first line's connecting bar runs from its middle down, never above it.
  int above = 0, below = 0;
  for (int y = 0; y < 8; ++y) above += pixel(0, 8, y) == tk::clBlack;
  for (int y = 8; y < kRow; ++y) below += pixel(0, 8, y) == tk::clBlack;
  EXPECT_EQ(above, 0);
  EXPECT_GT(below, 0);
  // Minus on the expanded Colours, plus on the collapsed Options (now on line 5).
  EXPECT_EQ(pixel(1, 8, 8), tk::ColorToRGB(tk::clBtnText));
  EXPECT_EQ(pixel(1, 8, 6), tk::ColorToRGB(tk::clWindow));
  EXPECT_EQ(pixel(5, 8, 6), tk::ColorToRGB(tk::clBtnText));
  EXPECT_EQ(pixel(1, 20, 9), tk::clGreen);  // Colours' picture after its button column
  EXPECT_EQ(pixel(5, 20, 9), tk::clBlue);
  // Red's radio mark (level 1: button column, then the mark centred at 17 + 17 + 7) is filled.
  EXPECT_EQ(pixel(4, 17 + 17 + 7, 7), tk::clBlack);
  EXPECT_NE(pixel(2, 17 + 17 + 7, 7), tk::clBlack);
  options->Expand(false);
  EXPECT_TRUE(testing_support::Shoot(&form, "outline_checks.png"));
  outline->SetImages(nullptr);
  delete images;
}

TEST_F(Outline, AWindowPaintRequestDrawsItsLinesAgain) {
  TestImages images(&form);
  outline->SetImages(&images);
  QApplication::processEvents();
  for (bool now : {false, true}) {
    images.Drawn = 0;
    if (now)
      outline->repaint();
    else
      outline->update();
    // Colours and Options show a picture each.
    EXPECT_TRUE(testing_support::ProcessUntil([&] { return images.Drawn >= 2; })) << "now " << now;
  }
  outline->SetImages(nullptr);
}

}  // namespace
