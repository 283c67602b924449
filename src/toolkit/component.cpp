#include "toolkit/component.h"

#include <algorithm>
#include <stdexcept>

namespace zanto {

TComponent::TComponent(TComponent* owner, std::string name)
    : owner_(owner), name_(std::move(name)) {}

TComponent::~TComponent() {
  DestroyComponents();
  // Those outside the owner that refer to this component forget it now.
  while (!freeNotifies_.empty()) {
    TComponent* listener = freeNotifies_.back();
    freeNotifies_.pop_back();
    listener->RemoveFreeNotification(*this);
    listener->Notification(*this, TOperation::opRemove);
  }
}

void TComponent::FreeNotification(TComponent& listener) {
  if (&listener == this || listener.owner_ == owner_) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), &listener) != freeNotifies_.end())
    return;
  freeNotifies_.push_back(&listener);
  listener.freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent& other) {
  freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), &other),
                      freeNotifies_.end());
}

TApplication& TComponent::Application() const {
  if (!owner_) throw std::logic_error("component without an application: " + name_);
  return owner_->Application();
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  for (const auto& c : components_)
    if (c->Name() == name) return c.get();
  return nullptr;
}

void TComponent::Notification(TComponent&, TOperation) {}

void TComponent::Insert(std::unique_ptr<TComponent> component) {
  TComponent& added = *component;
  components_.push_back(std::move(component));
  Notification(added, TOperation::opInsert);
}

std::unique_ptr<TComponent> TComponent::Remove(TComponent& component) {
  auto it = std::find_if(components_.begin(), components_.end(),
                         [&](const auto& c) { return c.get() == &component; });
  if (it == components_.end()) return nullptr;
  std::unique_ptr<TComponent> removed = std::move(*it);
  components_.erase(it);
  Notification(component, TOperation::opRemove);
  for (const auto& c : components_) c->Notification(component, TOperation::opRemove);
  return removed;
}

void TComponent::DestroyComponent(TComponent& component) {
  Remove(component).reset();
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) Remove(*components_.back()).reset();
}

}  // namespace zanto
