// The component base: ownership and removal notices.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "rights/Velmar_Component.h"

namespace {

using Log = std::vector<std::string>;

// Records what it is told, and drops its reference like the real components.
class Probe : public TComponent {
 public:
  Probe(TComponent* owner, std::string name, Log* log) : TComponent(owner), log_(log) {
    SetName(std::move(name));
  }
  ~Probe() override { log_->push_back("destroy " + Name()); }
  void Refer(TComponent* other) {
    ref = other;
    other->FreeNotification(this);
  }
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    log_->push_back(Name() + " told " + component->Name());
    if (component == ref) ref = nullptr;
  }
  TComponent* ref = nullptr;

 private:
  Log* log_;
};

TEST(Component, OwnershipAndRemovalNotices) {
  Log log;
  auto* form = new Probe(nullptr, "form", &log);
  auto* sc = new Probe(form, "SC", &log);
  auto* arc = new Probe(form, "ARC", &log);
  new Probe(form, "last", &log);
  EXPECT_EQ(sc->Owner(), form);
  // Siblings hear of each other's removal, and so does their owner;
  // components without a common owner are told when they asked.
  arc->Refer(sc);
  Probe user(nullptr, "user", &log);
  user.Refer(sc);
  log.clear();
  delete sc;
  for (const char* told : {"form told SC", "ARC told SC", "last told SC", "user told SC"})
    EXPECT_NE(std::find(log.begin(), log.end(), told), log.end()) << told;
  EXPECT_EQ(arc->ref, nullptr);
  EXPECT_EQ(user.ref, nullptr);
  ASSERT_EQ(form->Components().size(), 2u);

  // The owner destroys what it owns, the last created first; a referrer
  // destroyed first is no longer told anything (no dangling call).
  user.Refer(arc);
  {
    Probe shortLived(nullptr, "short", &log);
    shortLived.Refer(form);
  }
  log.clear();
  delete form;
  EXPECT_EQ(log, (Log{"destroy form", "destroy last", "destroy ARC", "user told ARC"}));
}

}  // namespace
