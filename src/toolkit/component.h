// Components own the components created with them as owner and free them, last first,
// when they go; every sibling hears of a removal so that references never dangle.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zanto {

class TApplication;

enum class TOperation { opInsert, opRemove };

class TComponent {
 public:
  TComponent(TComponent* owner, std::string name);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& Name() const { return name_; }
  TComponent* Owner() const { return owner_; }
  virtual TApplication& Application() const;

  // Creates a component owned by this one.
  template <class T, class... Args>
  T& Create(Args&&... args) {
    auto child = std::make_unique<T>(this, std::forward<Args>(args)...);
    T& ref = *child;
    Insert(std::move(child));
    return ref;
  }
  std::size_t ComponentCount() const { return components_.size(); }
  TComponent& Component(std::size_t i) const { return *components_[i]; }
  TComponent* FindComponent(const std::string& name) const;
  // Frees an owned component at once, telling the others first.
  void DestroyComponent(TComponent& component);
  // Asks to hear of this component's removal even from outside its owner (components of the
  // same owner always hear of each other's). Either side going ends the arrangement.
  void FreeNotification(TComponent& listener);

  // While the window definition is read, property changes are only stored; Loaded() is
  // called once every component exists and has its properties.
  bool Loading() const { return loading_; }
  bool Designing() const { return false; }
  void BeginLoading() { loading_ = true; }
  virtual void Loaded() { loading_ = false; }

 protected:
  // Another component of the same owner is being inserted or removed.
  virtual void Notification(TComponent& component, TOperation operation);
  // Frees every owned component, last first.
  void DestroyComponents();

 private:
  void Insert(std::unique_ptr<TComponent> component);
  std::unique_ptr<TComponent> Remove(TComponent& component);

  void RemoveFreeNotification(TComponent& other);

  TComponent* owner_;
  std::string name_;
  std::vector<TComponent*> freeNotifies_;
  bool loading_ = false;
  std::vector<std::unique_ptr<TComponent>> components_;
};

}  // namespace zanto
