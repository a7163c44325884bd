#include "base/Velmar_Component.h"

#include <algorithm>

namespace {
void Erase(std::vector<TComponent*>& list, TComponent* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}
}  // namespace

TComponent::TComponent(TComponent* owner) {
  if (owner != nullptr) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  destroying_ = true;
  // Owned components go first, the last created first.
  while (!components_.empty()) {
    TComponent* child = components_.back();
    delete child;  // its destructor removes it from components_
  }
  if (owner_ != nullptr) owner_->RemoveComponent(this);
  // Tell everybody who asked, and forget them.
  std::vector<TComponent*> notifies;
  notifies.swap(notifies_);
  for (TComponent* other : notifies) {
    Erase(other->notifies_, this);
    other->Notification(this, TOperation::opRemove);
  }
}

void TComponent::FreeNotification(TComponent* other) {
  if (other == nullptr || other == this) return;
  if (std::find(notifies_.begin(), notifies_.end(), other) == notifies_.end())
    notifies_.push_back(other);
  if (std::find(other->notifies_.begin(), other->notifies_.end(), this) == other->notifies_.end())
    other->notifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
  if (other == nullptr) return;
  Erase(notifies_, other);
  Erase(other->notifies_, this);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove && component != nullptr) {
    // A component that goes away is no longer one to tell.
    Erase(notifies_, component);
  }
}

void TComponent::InsertComponent(TComponent* component) {
  components_.push_back(component);
  component->owner_ = this;
  for (TComponent* sibling : components_)
    if (sibling != component) sibling->Notification(component, TOperation::opInsert);
  Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  Erase(components_, component);
  component->owner_ = nullptr;
  if (destroying_) return;
  Notification(component, TOperation::opRemove);
  for (TComponent* sibling : std::vector<TComponent*>(components_))
    sibling->Notification(component, TOperation::opRemove);
}
