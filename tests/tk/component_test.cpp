#include "tk/component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tk/exception.h"

namespace {

using tk::Component;
using tk::Operation;

// Records every notification it sees, as "name:+child" or "name:-child".
class Recorder : public Component {
 public:
  Recorder(Component* owner, std::string name, std::vector<std::string>* log) : Component(owner), log_(log) {
    SetName(name);
  }
  ~Recorder() override {
    DestroyComponents();
    log_->push_back("~" + Name());
  }
  void Notification(Component* c, Operation op) override {
    log_->push_back(Name() + (op == Operation::Insert ? ":+" : ":-") + c->Name());
    Component::Notification(c, op);
  }

 private:
  std::vector<std::string>* log_;
};

TEST(ComponentOwnership, OwnedComponentsAreKeptInOrderAndFreedLastToFirst) {
  std::vector<std::string> log;
  auto* root = new Recorder(nullptr, "Root", &log);
  auto* a = new Recorder(root, "", &log);
  a->SetName("A");
  auto* b = new Recorder(root, "B", &log);
  ASSERT_EQ(root->ComponentCount(), 2);
  EXPECT_EQ(root->Components(0), a);
  EXPECT_EQ(root->Components(1), b);
  EXPECT_EQ(b->ComponentIndex(), 1);
  EXPECT_EQ(root->FindComponent("b"), b);  // names match ignoring case
  log.clear();
  delete root;
  // B goes first; each removal is announced to the owner and forwarded to the remaining siblings.
  std::vector<std::string> expected{"~B", "Root:-B", "A:-B", "~A", "Root:-A", "~Root"};
  EXPECT_EQ(log, expected);
}

TEST(ComponentOwnership, InsertionIsForwardedToEveryOwnedComponent) {
  std::vector<std::string> log;
  Recorder root(nullptr, "Root", &log);
  new Recorder(&root, "A", &log);
  log.clear();
  auto* b = new Recorder(&root, "", &log);
  std::vector<std::string> expected{"Root:+", "A:+"};
  EXPECT_EQ(log, expected);
  delete b;
  EXPECT_EQ(root.ComponentCount(), 1);
}

TEST(ComponentNames, DuplicateNamesInOneOwnerAreRefusedIgnoringCase) {
  Component root(nullptr);
  auto* a = new Component(&root);
  a->SetName("Meter1");
  auto* b = new Component(&root);
  EXPECT_THROW(b->SetName("METER1"), tk::EComponentError);
  EXPECT_EQ(b->Name(), "");
  b->SetName("Meter2");
  a->SetName("meter1");  // renaming itself in another case is allowed
  EXPECT_EQ(a->Name(), "meter1");
  // The same name under another owner is fine.
  Component other(nullptr);
  auto* c = new Component(&other);
  c->SetName("Meter1");
  EXPECT_EQ(c->Name(), "Meter1");
}

TEST(ComponentNames, NamesMustBeIdentifiers) {
  Component c(nullptr);
  try {
    c.SetName("1abc");
    FAIL() << "a name starting with a digit was taken";
  } catch (const tk::EComponentError& e) {
    EXPECT_STREQ(e.what(), "'1abc' is not a valid component name");
  }
  EXPECT_THROW(c.SetName("a b"), tk::EComponentError);
  c.SetName("_ok9");
  c.SetName("");
  EXPECT_EQ(c.Name(), "");
}

TEST(ComponentNames, InsertingAComponentWhoseNameIsTakenFails) {
  Component root(nullptr), other(nullptr);
  (new Component(&root))->SetName("X");
  auto* x = new Component(&other);
  x->SetName("x");
  EXPECT_THROW(root.InsertComponent(x), tk::EComponentError);
  EXPECT_EQ(x->Owner(), &other);
}

TEST(ComponentFreeNotification, TheLinkedComponentHearsOfTheDestructionOnce) {
  std::vector<std::string> log;
  Recorder watcher(nullptr, "Watcher", &log);
  auto* watched = new Recorder(nullptr, "Watched", &log);
  watcher.FreeNotification(watched);
  watcher.FreeNotification(watched);
  log.clear();
  delete watched;
  std::vector<std::string> expected{"~Watched", "Watcher:-Watched"};
  EXPECT_EQ(log, expected);
}

TEST(ComponentFreeNotification, ALinkIsDroppedWhenTheWatcherGoesFirst) {
  std::vector<std::string> log;
  auto* watcher = new Recorder(nullptr, "Watcher", &log);
  auto* watched = new Recorder(nullptr, "Watched", &log);
  watcher->FreeNotification(watched);
  delete watcher;
  log.clear();
  delete watched;  // must not call back into the watcher that went first
  EXPECT_EQ(log, std::vector<std::string>{"~Watched"});
}

TEST(ComponentState, DesigningSpreadsToOwnedComponentsAndLoadedClearsLoading) {
  Component root(nullptr);
  auto* child = new Component(&root);
  root.SetDesigning(true);
  EXPECT_TRUE(child->Designing());
  auto* late = new Component(&root);
  EXPECT_TRUE(late->Designing());
  late->SetLoadingState();
  EXPECT_TRUE(late->Loading());
  late->Loaded();
  EXPECT_FALSE(late->Loading());
}

TEST(ComponentLiveness, TheTokenExpiresWithTheComponent) {
  auto* c = new Component(nullptr);
  auto token = c->Liveness();
  EXPECT_FALSE(token.expired());
  delete c;
  EXPECT_TRUE(token.expired());
}

}  // namespace
