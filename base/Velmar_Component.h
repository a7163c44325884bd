// The base of the core's non-visual components: an owner that destroys what
// it owns, a name, and removal notices sent to the components that reference
// a component being destroyed.
#pragma once

#include <string>
#include <vector>

enum class TOperation { opInsert, opRemove };

class TComponent {
 public:
  explicit TComponent(TComponent* owner = nullptr);
  virtual ~TComponent();

  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }

  // The components this one owns, in the order they were created.
  const std::vector<TComponent*>& Components() const { return components_; }

  // Asks that `other` be told (Notification with opRemove) when this
  // component is destroyed. Components sharing an owner are told anyway.
  void FreeNotification(TComponent* other);
  void RemoveFreeNotification(TComponent* other);

  // Called when `component` is inserted into or removed from the owner's
  // family, or is destroyed while this component asked to be told.
  // Overrides call the base first.
  virtual void Notification(TComponent* component, TOperation operation);

 private:
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  TComponent* owner_ = nullptr;
  std::string name_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> notifies_;  // told when this one goes, both ways
  bool destroying_ = false;
};
