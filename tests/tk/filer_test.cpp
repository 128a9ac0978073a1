#include "tk/filer.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <vector>

#include "tk/exception.h"

namespace {

using namespace tk;

std::vector<std::string>* loadedLog = nullptr;

class Thing : public Component {
 public:
  explicit Thing(Component* owner) : Component(owner) {}
  std::string ClassName() const override { return "TThing"; }

  int Count() const { return count_; }
  void SetCount(int v) { count_ = v; }
  std::string Title() const { return title_; }
  void SetTitle(const std::string& v) { title_ = v; }
  bool Flag() const { return flag_; }
  void SetFlag(bool v) { flag_ = v; }
  ComponentRef Buddy() const { return {buddy_}; }
  void SetBuddy(ComponentRef v) { buddy_ = v.Target; }
  Binary Blob;

  void GetProperties(PropertyList& list) const override {
    Component::GetProperties(list);
    list.push_back(MakeProperty<Thing>("Count", &Thing::Count, &Thing::SetCount, Value(std::int64_t{0})));
    list.push_back(MakeProperty<Thing>("Title", &Thing::Title, &Thing::SetTitle));
    list.push_back(MakeProperty<Thing>("Flag", &Thing::Flag, &Thing::SetFlag, Value(true)));
    PropertyInfo buddy = MakeProperty<Thing>("Buddy", &Thing::Buddy, &Thing::SetBuddy);
    buddy.Stored = [](const Component& c) { return static_cast<const Thing&>(c).buddy_ != nullptr; };
    list.push_back(buddy);
  }
  void DefineProperties(Filer& filer) override {
    filer.DefineBinaryProperty(
        "Blob", [this](const Binary& b) { Blob = b; }, [this] { return Blob; }, !Blob.empty());
  }
  void GetChildren(const std::function<void(Component*)>& proc, Component*) override {
    for (int i = 0; i < ComponentCount(); ++i) proc(Components(i));
  }
  Component* GetChildOwner() override { return this; }
  void Loaded() override {
    // References are resolved before any Loaded runs.
    if (loadedLog) loadedLog->push_back(Name() + (buddy_ ? "->" + buddy_->Name() : ""));
    if (title_ == "refuses to load") throw EComponentError("refused");
    Component::Loaded();
  }

 private:
  int count_ = 0;
  std::string title_;
  bool flag_ = true;
  Component* buddy_ = nullptr;
};

std::vector<std::string> Names(const QJsonObject& o) {
  std::vector<std::string> names;
  for (const auto& p : o["Properties"].toArray()) names.push_back(p.toArray().at(0).toString().toStdString());
  return names;
}

class FilerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterClass("TThing", [](Component* owner) { return new Thing(owner); });
  }
};

TEST_F(FilerTest, APublishedPropertyIsWrittenOnlyWhenItDiffersFromItsDefault) {
  Thing t(nullptr);
  t.SetName("T");
  Writer w;
  // Title has no default and is always written; Count, Flag and Tag sit at their defaults.
  EXPECT_EQ(Names(w.WriteComponent(t)), (std::vector<std::string>{"Title"}));
  t.SetCount(3);
  t.SetFlag(false);
  t.SetTag(9);
  QJsonObject json = w.WriteComponent(t);
  EXPECT_EQ(Names(json), (std::vector<std::string>{"Tag", "Count", "Title", "Flag"}));
  EXPECT_EQ(json["Properties"].toArray().at(1).toArray(), (QJsonArray{"Count", "Integer", 3}));
  t.SetCount(0);  // back at its default: dropped again
  EXPECT_EQ(Names(w.WriteComponent(t)), (std::vector<std::string>{"Tag", "Title", "Flag"}));
}

TEST_F(FilerTest, ATreeReadsBackWithReferencesResolvedAndLoadedInCreationOrder) {
  Thing root(nullptr);
  root.SetName("Root");
  auto* a = new Thing(&root);
  a->SetName("A");
  a->SetTitle("first");
  auto* b = new Thing(&root);
  b->SetName("B");
  b->SetCount(-7);
  b->SetBuddy({a});
  b->Blob = {1, 2, 0xFF};
  a->SetBuddy({b});  // a forward reference: B is read after A
  QJsonObject json = Writer().WriteComponent(root);

  std::vector<std::string> log;
  loadedLog = &log;
  Component owner(nullptr);
  Component* read = Reader().ReadRoot(json, &owner);
  loadedLog = nullptr;
  EXPECT_EQ(log, (std::vector<std::string>{"Root", "A->B", "B->A"}));
  auto* copy = dynamic_cast<Thing*>(read);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Owner(), &owner);
  ASSERT_EQ(copy->ComponentCount(), 2);
  auto* a2 = dynamic_cast<Thing*>(copy->Components(0));
  auto* b2 = dynamic_cast<Thing*>(copy->Components(1));
  EXPECT_EQ(a2->Title(), "first");
  EXPECT_EQ(b2->Count(), -7);
  EXPECT_EQ(b2->Buddy().Target, a2);
  EXPECT_EQ(a2->Buddy().Target, b2);
  EXPECT_EQ(b2->Blob, (Binary{1, 2, 0xFF}));
  EXPECT_FALSE(b2->Loading());
}

// A set property and a defined property holding a list of lists, as option sets and key tables stream.
class Listed : public Component {
 public:
  explicit Listed(Component* owner) : Component(owner) {}
  std::string ClassName() const override { return "TListed"; }
  static constexpr const char* kOptions[] = {"opFirst", "opSecond", "opThird"};
  unsigned Options() const { return options_; }
  void SetOptions(unsigned v) { options_ = v; }
  ValueList Table;

  void GetProperties(PropertyList& list) const override {
    Component::GetProperties(list);
    list.push_back(MakeSetProperty<Listed>("Options", &Listed::Options, &Listed::SetOptions, kOptions, 1));
  }
  void DefineProperties(Filer& filer) override {
    filer.DefineProperty(
        "Table", [this](const Value& v) { Table = std::get<ValueList>(v); }, [this] { return Value(Table); },
        !Table.Items.empty());
  }

 private:
  unsigned options_ = 1;
};

TEST_F(FilerTest, SetsAndListsStreamAsTheirMembersAndItems) {
  RegisterClass("TListed", [](Component* owner) { return new Listed(owner); });
  Listed t(nullptr);
  t.SetName("L");
  EXPECT_TRUE(Names(Writer().WriteComponent(t)).empty()) << "a set at its default and an empty list";
  t.SetOptions(0b101);
  t.Table.Items = {std::string("Default"), ValueList{{std::int64_t{0x25}, std::int64_t{46}}}, ValueList{}};
  QJsonObject json = Writer().WriteComponent(t);
  EXPECT_EQ(json["Properties"].toArray().at(0).toArray(), (QJsonArray{"Options", "Set", QJsonArray{"opFirst", "opThird"}}));
  Component owner(nullptr);
  auto* copy = dynamic_cast<Listed*>(Reader().ReadRoot(json, &owner));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Options(), 0b101u);
  EXPECT_EQ(copy->Table, t.Table);

  // A member the set type does not have fails the read.
  QJsonObject bad = json;
  bad["Properties"] = QJsonArray{QJsonArray{"Options", "Set", QJsonArray{"opFourth"}}};
  EXPECT_THROW(Reader().ReadRoot(bad, &owner), EReadError);
}

TEST_F(FilerTest, AReadIntoAnExistingRootThatFailsGivesItBackItsEarlierValues) {
  const QJsonArray changes{QJsonArray{"Count", "Integer", 9}, QJsonArray{"Title", "String", "changed"},
                           QJsonArray{"Buddy", "Reference", "New"}, QJsonArray{"Blob", "Binary", "0102"}};
  const QJsonObject unknownChild{{"Class", "TNoSuch"}, {"Name", "X"}};
  const QJsonObject refusingChild{{"Class", "TThing"},
                                  {"Name", "New"},
                                  {"Properties", QJsonArray{QJsonArray{"Title", "String", "refuses to load"}}}};
  for (const QJsonObject& child : {unknownChild, refusingChild}) {
    SCOPED_TRACE(child["Name"].toString().toStdString());
    Thing root(nullptr);
    root.SetName("Root");
    root.SetCount(5);
    root.SetTitle("kept");
    root.Blob = {7};
    auto* pal = new Thing(&root);
    pal->SetName("Pal");
    root.SetBuddy({pal});
    const QJsonObject json{
        {"Class", "TThing"}, {"Name", "Other"}, {"Properties", changes}, {"Children", QJsonArray{child}}};
    EXPECT_THROW(Reader().ReadInto(root, json), EReadError);
    EXPECT_EQ(root.Name(), "Root");
    EXPECT_EQ(root.Count(), 5);
    EXPECT_EQ(root.Title(), "kept");
    EXPECT_EQ(root.Buddy().Target, pal);
    EXPECT_EQ(root.Blob, (Binary{7}));
    EXPECT_EQ(root.ComponentCount(), 1);
    EXPECT_FALSE(root.Loading());
  }
}

TEST_F(FilerTest, AnUnknownClassFailsTheRead) {
  QJsonObject json{{"Class", "TNoSuch"}, {"Name", "X"}};
  Component owner(nullptr);
  EXPECT_THROW(Reader().ReadRoot(json, &owner), EReadError);
}

}  // namespace
