// The component base: ownership and removal notices.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "rights/Velmar_Component.h"

namespace {

// Records what it is told, and drops its reference like the real components.
class Probe : public TComponent {
 public:
  Probe(TComponent* owner, std::string name, std::vector<std::string>* log)
      : TComponent(owner), log_(log) {
    SetName(std::move(name));
  }
  ~Probe() override { log_->push_back("destroy " + Name()); }
  void Refer(TComponent* other) {
    ref = other;
    if (other) other->FreeNotification(this);
  }
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove) {
      log_->push_back(Name() + " told " + component->Name());
      if (component == ref) ref = nullptr;
    }
  }
  TComponent* ref = nullptr;

 private:
  std::vector<std::string>* log_;
};

TEST(Component, OwnerDestroysWhatItOwnsLastCreatedFirst) {
  std::vector<std::string> log;
  auto* owner = new Probe(nullptr, "form", &log);
  new Probe(owner, "a", &log);
  new Probe(owner, "b", &log);
  ASSERT_EQ(owner->Components().size(), 2u);
  EXPECT_EQ(owner->Components()[0]->Owner(), owner);
  delete owner;
  const std::vector<std::string> expected = {"destroy form", "destroy b", "destroy a"};
  EXPECT_EQ(log, expected);
}

TEST(Component, RemovalNoticesClearReferences) {
  std::vector<std::string> log;
  // Siblings hear of each other's removal, and so does their owner.
  Probe form(nullptr, "form", &log);
  auto* sc = new Probe(&form, "SC", &log);
  auto* arc = new Probe(&form, "ARC", &log);
  arc->Refer(sc);
  // Components without a common owner are told too.
  Probe user(nullptr, "user", &log);
  user.Refer(sc);
  log.clear();
  delete sc;
  EXPECT_EQ(arc->ref, nullptr);
  EXPECT_EQ(user.ref, nullptr);
  EXPECT_EQ(form.Components().size(), 1u);
  for (const char* told : {"ARC told SC", "form told SC", "user told SC"})
    EXPECT_NE(std::find(log.begin(), log.end(), told), log.end()) << told;

  // A referrer destroyed first is no longer told anything (no dangling call).
  auto* target = new Probe(nullptr, "target", &log);
  {
    Probe shortLived(nullptr, "short", &log);
    shortLived.Refer(target);
  }
  log.clear();
  delete target;
  EXPECT_EQ(log, std::vector<std::string>{"destroy target"});
}

}  // namespace
