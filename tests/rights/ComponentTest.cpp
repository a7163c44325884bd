// The component base: ownership and removal notices.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/Velmar_Component.h"

namespace {

using Log = std::vector<std::string>;
Log log;

// Records what it is told, and drops its reference like the real components.
class Probe : public TComponent {
 public:
  Probe(TComponent* owner, const std::string& name) : TComponent(owner) { SetName(name); }
  ~Probe() override { log.push_back("destroy " + Name()); }
  void Refer(TComponent* other) {
    ref = other;
    other->FreeNotification(this);
  }
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    log.push_back(Name() + " told " + component->Name());
    if (component == ref) ref = nullptr;
  }
  TComponent* ref = nullptr;
};

TEST(Component, OwnershipAndRemovalNotices) {
  auto* form = new Probe(nullptr, "form");
  auto* sc = new Probe(form, "SC");
  auto* arc = new Probe(form, "ARC");
  new Probe(form, "last");
  // Siblings and the owner hear of a removal; others only when they asked.
  arc->Refer(sc);
  Probe user(nullptr, "user");
  user.Refer(sc);
  log.clear();
  delete sc;
  for (const char* told : {"form told SC", "ARC told SC", "last told SC", "user told SC"})
    EXPECT_NE(std::find(log.begin(), log.end(), told), log.end()) << told;
  EXPECT_EQ(arc->ref, nullptr);
  ASSERT_EQ(form->Components().size(), 2u);

  // The owner destroys the last created first; a referrer gone first is not called.
  user.Refer(arc);
  {
    Probe shortLived(nullptr, "short");
    shortLived.Refer(form);
  }
  log.clear();
  delete form;
  EXPECT_EQ(log, (Log{"destroy form", "destroy last", "destroy ARC", "user told ARC"}));
}

}  // namespace
