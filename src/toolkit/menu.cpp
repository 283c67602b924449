#include "toolkit/menu.h"

#include <algorithm>

#include "toolkit/application.h"

namespace zanto {

TMenuItem::TMenuItem(TComponent* owner, std::string name, std::string caption)
    : TComponent(owner, std::move(name)), caption_(std::move(caption)) {}

void TMenuItem::Click() {
  if (Handler handler = onClick_) handler(*this);
}

TPopupMenu::TPopupMenu(TComponent* owner, std::string name) : TComponent(owner, std::move(name)) {}

void TPopupMenu::Add(TMenuItem& item) {
  item.command_ = nextCommand_++;
  items_.push_back(&item);
}

int TPopupMenu::Track(platform::WindowId owner, platform::Point at) {
  std::vector<platform::MenuItemView> view;
  view.reserve(items_.size());
  for (const TMenuItem* item : items_)
    view.push_back({item->Command(), item->Name(), item->Caption(), item->Default()});
  return Application().Windows().trackPopupMenu(owner, at, Name(), view);
}

bool TPopupMenu::DispatchCommand(int command) {
  if (command == 0) return false;
  auto it = std::find_if(items_.begin(), items_.end(),
                         [&](const TMenuItem* item) { return item->Command() == command; });
  if (it == items_.end()) return false;
  (*it)->Click();
  return true;
}

void TPopupMenu::Notification(TComponent& component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove)
    items_.erase(std::remove(items_.begin(), items_.end(), &component), items_.end());
}

}  // namespace zanto
