#include "controls/outline_nodes.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QJsonArray>
#include <QJsonObject>
#include <random>
#include <sstream>

#include "controls/exceptions.h"
#include "controls/outline.h"
#include "support/temp_dir.h"
#include "tk/filer.h"

namespace {

using namespace controls;
using Style = TVxOlNodeStyle;
using Mode = TVxOlNodeMode;
using Record = TVxOutlineNodeRecord;

}  // namespace

namespace controls {
// Readable failures: the text tree.
void PrintTo(const TVxOutlineNodeRecord& r, std::ostream* os) {
  *os << '"' << r.Text << '"';
  if (r.Children.empty()) return;
  *os << " {";
  for (const TVxOutlineNodeRecord& c : r.Children) {
    PrintTo(c, os);
    *os << ' ';
  }
  *os << '}';
}
}  // namespace controls

namespace {

// The tree on an outline that never shows: the nodes' logic needs no window.
class OutlineNodes : public ::testing::Test {
 protected:
  TVxOutline outline{nullptr};
  TVxOutlineNodes& nodes = outline.Nodes();

  std::vector<std::string> ShownLines() {
    std::vector<std::string> lines;
    for (int line = 0; line < outline.Lines(); ++line) lines.push_back(outline.GetNode(line)->Text());
    return lines;
  }
  static std::vector<std::string> Children(const TVxOutlineNode* node) {
    std::vector<std::string> texts;
    for (int i = 0; i < node->Count(); ++i) texts.push_back(node->GetNode(i)->Text());
    return texts;
  }
};

TEST_F(OutlineNodes, SiblingsSortByTextIgnoringCase) {
  TVxOutlineNode* parent = nodes.Add("Parent");
  for (const char* text : {"b", "A", "c", "\xe9t\xe9", "\xc9t\xe9"}) nodes.AddChild(parent, text);
  // Texts equal but for case keep the sorted list's order for equal keys, which is by node, not by text.
  std::vector<std::string> children = Children(parent);
  ASSERT_EQ(children.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(children.begin(), children.begin() + 3),
            (std::vector<std::string>{"A", "b", "c"}));
  EXPECT_TRUE(std::is_permutation(children.begin() + 3, children.end(),
                                  std::vector<std::string>{"\xe9t\xe9", "\xc9t\xe9"}.begin()));
  EXPECT_EQ(CompareNodeTexts("\xe9t\xe9", "\xc9T\xc9"), 0);
  EXPECT_TRUE(parent->GetNode(0)->IsFirstSiebling());
  EXPECT_TRUE(parent->GetNode(4)->IsLastSiebling());
  EXPECT_EQ(parent->GetNode(1)->Level(), 1);
}

TEST_F(OutlineNodes, LinesFollowTheExpandedBranchesDepthFirst) {
  TVxOutlineNode* fruit = nodes.Add("Fruit");
  TVxOutlineNode* apple = nodes.AddChild(fruit, "Apple");
  nodes.AddChild(apple, "Cox");
  nodes.AddChild(fruit, "Pear");
  nodes.Add("Veg");
  EXPECT_EQ(ShownLines(), (std::vector<std::string>{"Fruit", "Veg"}));
  EXPECT_EQ(apple->Index(), -1);
  fruit->Expand(true);
  EXPECT_EQ(ShownLines(), (std::vector<std::string>{"Fruit", "Apple", "Cox", "Pear", "Veg"}));
  EXPECT_EQ(outline.NumItems(), 5);
  EXPECT_EQ(fruit->LineCount(), 4);
  EXPECT_EQ(outline.FindNode("pear")->Index(), 3);
  apple->Collapse(false);
  EXPECT_EQ(ShownLines(), (std::vector<std::string>{"Fruit", "Apple", "Pear", "Veg"}));
  EXPECT_TRUE(outline.GetIsGroup(1));
  EXPECT_FALSE(outline.GetIsGroup(2));
  EXPECT_EQ(outline.GetNode(4), nullptr);
}

TEST_F(OutlineNodes, ShowingANodeExpandsItsAncestors) {
  TVxOutlineNode* a = nodes.Add("a");
  TVxOutlineNode* b = nodes.AddChild(a, "b");
  TVxOutlineNode* c = nodes.AddChild(b, "c");
  c->SetVisible(true);
  EXPECT_TRUE(a->Expanded());
  EXPECT_TRUE(b->Expanded());
  EXPECT_FALSE(c->Expanded());
  EXPECT_EQ(c->Index(), 2);
  // Even collapsing a node expands its parent.
  a->SetExpanded(false);
  b->SetExpanded(false);
  EXPECT_TRUE(a->Expanded());
}

TEST_F(OutlineNodes, DynamicNodesLoadOnExpansion) {
  std::vector<std::string> loads;
  outline.OnDynamicLoad = [&](tk::Component*, TVxOutlineNode* node) {
    loads.push_back(node->Text());
    node->Children().Add(node->Text() + " child");
  };
  TVxOutlineNode* everyTime = nodes.AddEx("every time", -1, Mode::omDynamic);
  TVxOutlineNode* once = nodes.AddEx("once", -1, Mode::omDynamicLoad);
  EXPECT_TRUE(outline.GetIsGroup(everyTime->Index()));  // a group before it has any child
  EXPECT_TRUE(outline.GetIsGroup(once->Index()));
  for (int i = 0; i < 2; ++i) {
    everyTime->Expand(false);
    once->Expand(false);
    EXPECT_EQ(everyTime->Count(), 1);
    EXPECT_EQ(once->Count(), 1);
    everyTime->Collapse(false);
    once->Collapse(false);
  }
  EXPECT_EQ(loads, (std::vector<std::string>{"every time", "once", "every time"}));
  EXPECT_EQ(everyTime->Count(), 0);
  EXPECT_FALSE(everyTime->IsLoaded());
  EXPECT_TRUE(once->IsLoaded());
}

TEST_F(OutlineNodes, CheckingARadioChildUnchecksOnlyItsRadioSiblings) {
  TVxOutlineNode* group = nodes.Add("group");
  TVxOutlineNode* r1 = nodes.AddButtonChild(group, "r1", Style::osRadio, true);
  TVxOutlineNode* r2 = nodes.AddButtonChild(group, "r2", Style::osRadio, false);
  TVxOutlineNode* box = nodes.AddButtonChild(group, "box", Style::osCheck, true);
  TVxOutlineNode* plain = nodes.AddChild(group, "plain");
  plain->SetChecked(true);
  std::vector<std::string> clicked;
  outline.OnNodeClick = [&](tk::Component*, TVxOutlineNode* node) { clicked.push_back(node->Text()); };
  r2->SetChecked(true);
  EXPECT_FALSE(r1->Checked());
  EXPECT_TRUE(box->Checked());
  EXPECT_TRUE(plain->Checked());
  EXPECT_EQ(clicked, std::vector<std::string>{"r2"});
  // A style other than plain starts unchecked; the radio style is for children only.
  box->SetStyle(Style::osRadio);
  EXPECT_FALSE(box->Checked());
  try {
    group->SetStyle(Style::osRadio);
    FAIL() << "a top-level radio node";
  } catch (const EVxException& e) {
    EXPECT_STREQ(e.what(), "Only child nodes can have the radio button style");
  }
  EXPECT_EQ(group->Style(), Style::osPlain);
}

TEST_F(OutlineNodes, RenamingMovesTheNodeAndKeepsItActive) {
  for (const char* text : {"a", "b", "c"}) nodes.Add(text);
  TVxOutlineNode* a = outline.FindNode("A");
  outline.SetActiveNode(a);
  EXPECT_EQ(outline.ItemIndex(), 0);
  a->SetText("z");
  EXPECT_EQ(ShownLines(), (std::vector<std::string>{"b", "c", "z"}));
  EXPECT_EQ(outline.ActiveNode(), a);
  EXPECT_EQ(outline.ItemIndex(), 2);
}

TEST_F(OutlineNodes, OtherKeysOrderByTheOwnersComparison) {
  outline.SetKeys(2);
  // Key 1: longest text first.
  outline.OnCompareNodes = [](tk::Component*, int key, TVxOutlineNode* n1, TVxOutlineNode* n2, int& result) {
    EXPECT_EQ(key, 1);
    result = static_cast<int>(n2->Text().size()) - static_cast<int>(n1->Text().size());
  };
  for (const char* text : {"bb", "a", "ccc"}) nodes.Add(text);
  EXPECT_EQ(ShownLines(), (std::vector<std::string>{"a", "bb", "ccc"}));
  outline.SetCurrentKey(1);
  EXPECT_EQ(ShownLines(), (std::vector<std::string>{"ccc", "bb", "a"}));
  EXPECT_EQ(outline.GetAbsNode(0)->Text(), "ccc");
  EXPECT_EQ(outline.FindNode("BB")->Text(), "bb");  // searched under key 0 whatever the current key
  EXPECT_EQ(outline.CurrentKey(), 1);
  EXPECT_THROW(outline.SetCurrentKey(2), EVxException);
  EXPECT_THROW(outline.SetKeys(3), EVxException);  // not while it holds nodes
  outline.OnCompareNodes = nullptr;
  EXPECT_THROW(nodes.Add("dddd"), EVxException);
  EXPECT_EQ(outline.GetAbsNodes(), 3);  // the refused node left nothing behind
  outline.Clear();
  EXPECT_EQ(outline.NumItems(), 0);
}

TEST_F(OutlineNodes, KeysStayWithinOneToSixtyFour) {
  struct Case {
    int Keys;
    const char* Message;
  };
  for (Case c :
       {Case{0, "Number of keys cannot be lower than one"}, Case{65, "Number of keys cannot greater than 64"}}) {
    try {
      outline.SetKeys(c.Keys);
      ADD_FAILURE() << c.Keys;
    } catch (const EVxException& e) {
      EXPECT_STREQ(e.what(), c.Message);
    }
  }
  outline.SetKeys(64);
  EXPECT_EQ(outline.Keys(), 64);
}

TEST_F(OutlineNodes, DestroyingANodeTakesItsBranchAndTellsTheOwner) {
  TVxOutlineNode* a = nodes.Add("a");
  TVxOutlineNode* b = nodes.AddChild(a, "b");
  nodes.AddChild(b, "c");
  nodes.Add("d");
  a->Expand(true);
  outline.SetActiveNode(b);
  std::vector<std::string> destroyed;
  outline.OnNodeDestroy = [&](tk::Component*, TVxOutlineNode* node) { destroyed.push_back(node->Text()); };
  delete b;
  EXPECT_EQ(destroyed, (std::vector<std::string>{"c", "b"}));
  EXPECT_EQ(outline.ActiveNode(), nullptr);
  EXPECT_EQ(ShownLines(), (std::vector<std::string>{"a", "d"}));
  EXPECT_EQ(outline.GetAbsNodes(), 2);
  EXPECT_EQ(outline.ItemIndex(), -1);
  outline.OnNodeDestroy = nullptr;  // the outline's own end frees the rest
}

TEST_F(OutlineNodes, MovingANodeTakesItsBranchUnderTheNewParent) {
  TVxOutlineNode* a = nodes.Add("a");
  TVxOutlineNode* b = nodes.Add("b");
  TVxOutlineNode* c = nodes.AddChild(b, "c");
  b->SetParent(a);
  EXPECT_EQ(Children(a), std::vector<std::string>{"b"});
  EXPECT_EQ(c->Level(), 2);
  EXPECT_THROW(a->SetParent(c), EVxException);
  c->SetParent(nullptr);
  EXPECT_EQ(nodes.Count(), 2);
  EXPECT_EQ(c->Level(), 0);
}

TEST_F(OutlineNodes, AssigningCopiesTheWholeTree) {
  int data = 7;
  TVxOutlineNode* a = nodes.AddObject("a", &data);
  nodes.AddButtonChild(a, "check", Style::osCheck, true);
  nodes.AddChildEx(a, "dyn", 3, Mode::omDynamicLoad);
  a->Expand(false);
  TVxOutline copy{nullptr};
  copy.SetNodes(nodes);
  EXPECT_EQ(copy.Nodes().Records(), nodes.Records());
  EXPECT_EQ(copy.Nodes().GetNodeFromIndex(0)->Data(), &data);
  EXPECT_TRUE(copy.Nodes().GetNodeFromIndex(0)->Expanded());
  EXPECT_EQ(copy.Lines(), 3);
  EXPECT_THROW(a->Children().Assign(nodes), EVxException);  // its own branch
}

// ---- node files

std::vector<Record> SampleTree() {
  Record check{"Check", 2, Style::osCheck, true, Mode::omPreload, {}};
  Record radio{"Radio", -1, Style::osRadio, true, Mode::omDynamic, {}};
  Record group{"Group", 1, Style::osPlain, false, Mode::omDynamicLoad, {check, radio}};
  return {group, Record{"Last", -1, Style::osPlain, false, Mode::omPreload, {}}};
}

TEST(OutlineNodeFiles, TheBinaryFormLaysOutEveryNodeDepthFirst) {
  const std::vector<Record> tree{Record{
      "ab", -1, Style::osCheck, true, Mode::omDynamic, {Record{"c", -1, Style::osPlain, false, Mode::omPreload, {}}}}};
  const std::string expected(
      "\x01\x00\x00\x00"
      "\x02\x00\x00\x00"
      "ab"
      "\xff\xff\xff\xff"
      "\x02\x00\x00\x00"
      "\x01\x00\x00\x00"
      "\x02\x00\x00\x00"
      "\x01\x00\x00\x00"
      "\x01\x00\x00\x00"
      "c"
      "\xff\xff\xff\xff"
      "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00",
      55);
  EXPECT_EQ(EncodeOutlineBinary(tree), expected);
  std::size_t used = 0;
  EXPECT_EQ(DecodeOutlineBinary(expected + "tail", &used), tree);
  EXPECT_EQ(used, expected.size());
  EXPECT_EQ(DecodeOutlineBinary(EncodeOutlineBinary(SampleTree())), SampleTree());
}

TEST(OutlineNodeFiles, DamagedBinaryDataIsRefused) {
  const std::string good = EncodeOutlineBinary(SampleTree());
  std::string badStyle = good;
  badStyle[4 + 4 + 5 + 4] = 7;  // the first node's style
  std::string hugeCount = good;
  hugeCount[0] = '\x7f';
  for (const std::string& bytes : {good.substr(0, good.size() - 1), badStyle, hugeCount, std::string("\x01", 1)})
    EXPECT_THROW(DecodeOutlineBinary(bytes), tk::EReadError);
}

// Damaged files, fuzzed: a load either succeeds or raises a read error and leaves the tree as it was.
TEST_F(OutlineNodes, ADamagedFileLeavesTheTreeUnchanged) {
  nodes.AddRecords({Record{"Kept", -1, Style::osPlain, false, Mode::omPreload, {}}});
  const std::string good = EncodeOutlineBinary(SampleTree());
  std::string topRadio = good;
  topRadio[topRadio.find("Last") + 8] = 1;  // the second top-level node's style: radio
  std::vector<std::string> damaged{topRadio, good.substr(0, good.size() - 3), std::string("\x02\0\0\0", 4)};
  std::mt19937 random(5);
  for (int i = 0; i < 2000; ++i) {
    std::string bytes = good;
    for (int flips = 1 + static_cast<int>(random() % 3); flips > 0; --flips)
      bytes[random() % bytes.size()] = static_cast<char>(random() % 4 == 0 ? random() % 256 : random() % 3);
    if (random() % 4 == 0) bytes.resize(random() % bytes.size());
    damaged.push_back(bytes);
  }
  int refused = 0;
  for (const std::string& bytes : damaged) {
    const std::vector<Record> before = nodes.Records();
    std::istringstream stream(bytes);
    try {
      outline.LoadFromStream(stream);
    } catch (const tk::EReadError&) {
      ++refused;
      ASSERT_EQ(nodes.Records(), before) << refused;
    }
  }
  EXPECT_GT(refused, 100);
}

struct TextCase {
  const char* Name;
  std::string Text;
  std::vector<Record> Tree;
};

class OutlineTextFile : public ::testing::TestWithParam<TextCase> {};

TEST_P(OutlineTextFile, ReadsAsTheRecursiveReaderDoes) {
  EXPECT_EQ(DecodeOutlineText(GetParam().Text), GetParam().Tree);
}

Record R(const char* text, std::vector<Record> children = {}) {
  Record r;
  r.Text = text;
  r.Children = std::move(children);
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Table, OutlineTextFile,
    ::testing::Values(
        TextCase{"Nested", "a\r\n\tb\r\n\t\tc\r\n\td\r\ne\r\n", {R("a", {R("b", {R("c")}), R("d")}), R("e")}},
        TextCase{"TwoLevelsDeeperStartsAtTheTop", "a\r\n\t\tb\r\n\tc\r\n", {R("a", {R("c")}), R("b")}},
        TextCase{"EmptyLineClosesEveryLevel", "a\r\n\tb\r\n\r\n\tc\r\nd\r\n", {R("a", {R("b")}), R("c"), R("d")}},
        TextCase{"TabsAnywhereCount", "a\r\nb\t\r\n", {R("a", {R("b")})}},
        TextCase{"LineFeedsAloneEndLinesToo", "a\n\tb\nc", {R("a", {R("b")}), R("c")}},
        TextCase{"CarriageReturnsAloneEndLinesToo", "a\r\tb\rc\r\n\td\n", {R("a", {R("b")}), R("c", {R("d")})}},
        TextCase{"Empty", "", {}}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return std::string(info.param.Name); });

TEST(OutlineNodeFiles, TheTextFormIndentsWithTabsAndEndsLinesWithCrLf) {
  EXPECT_EQ(EncodeOutlineText(SampleTree()), "Group\r\n\tCheck\r\n\tRadio\r\nLast\r\n");
}

TEST_F(OutlineNodes, FilesKeepEverythingButTheExpandedState) {
  testing_support::TempDir dir;
  nodes.AddRecords(SampleTree());
  outline.ExpandAll();
  outline.SaveToFile(dir.File("tree.olb"));
  outline.SaveAsText(dir.File("tree.txt"));
  TVxOutline loaded{nullptr};
  loaded.LoadFromFile(dir.File("TREE.OLB"));  // found whatever the case
  EXPECT_EQ(loaded.Nodes().Records(), SampleTree());
  EXPECT_EQ(loaded.Lines(), 2);
  loaded.LoadFromText(dir.File("tree.txt"));
  EXPECT_EQ(loaded.Nodes().GetNodeFromIndex(0)->GetNode(1)->Text(), "Radio");
  EXPECT_EQ(loaded.GetAbsNodes(), 4);
  EXPECT_THROW(loaded.LoadFromFile(dir.File("missing.olb")), tk::EInOutError);
  EXPECT_EQ(loaded.GetAbsNodes(), 4);
}

TEST_F(OutlineNodes, AStreamIsReadUpToTheEndOfTheNodes) {
  nodes.AddRecords(SampleTree());
  std::stringstream stream;
  stream << "head";
  outline.SaveToStream(stream);
  stream << "tail";
  stream.seekg(4);
  TVxOutline loaded{nullptr};
  loaded.LoadFromStream(stream);
  EXPECT_EQ(loaded.Nodes().Records(), SampleTree());
  std::string rest;
  stream >> rest;
  EXPECT_EQ(rest, "tail");
}

TEST_F(OutlineNodes, FormStreamsCarryTheNodesAsData) {
  outline.SetKeys(2);
  outline.OnCompareNodes = [](tk::Component*, int, TVxOutlineNode*, TVxOutlineNode*, int& result) { result = 0; };
  nodes.AddRecords(SampleTree());
  const QJsonObject json = tk::Writer().WriteComponent(outline);
  tk::Component owner(nullptr);
  std::unique_ptr<tk::Component> read(tk::Reader().ReadRoot(json, &owner));
  auto* copy = dynamic_cast<TVxOutline*>(read.get());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Keys(), 2);
  EXPECT_EQ(copy->Nodes().Records(), SampleTree());
  TVxOutline empty{nullptr};
  for (const QJsonValue& entry : tk::Writer().WriteComponent(empty)["Properties"].toArray())
    EXPECT_NE(entry.toArray().at(0).toString(), "Nodes.Data");
}

}  // namespace
