// Pop-up menus. Items are components of the window; the menu lists them in order and
// forgets an item that is destroyed.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "toolkit/component.h"

namespace zanto {

class TPopupMenu;

class TMenuItem : public TComponent {
 public:
  using Handler = std::function<void(TMenuItem&)>;
  TMenuItem(TComponent* owner, std::string name, std::string caption = {});

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption) { caption_ = std::move(caption); }
  bool Default() const { return default_; }
  void SetDefault(bool isDefault) { default_ = isDefault; }
  bool IsLine() const { return caption_ == "-"; }
  void SetOnClick(Handler handler) { onClick_ = std::move(handler); }
  void Click();
  int Command() const { return command_; }

 private:
  friend class TPopupMenu;
  std::string caption_;
  bool default_ = false;
  Handler onClick_;
  int command_ = 0;
};

class TPopupMenu : public TComponent {
 public:
  TPopupMenu(TComponent* owner, std::string name);

  void Add(TMenuItem& item);
  const std::vector<TMenuItem*>& Items() const { return items_; }
  // Shows the menu at a screen position and returns, once it has closed, the command of the
  // chosen item (0: none).
  int Track(platform::WindowId owner, platform::Point at);
  // Runs the click of the item with that command, if the item still exists.
  bool DispatchCommand(int command);

 protected:
  void Notification(TComponent& component, TOperation operation) override;

 private:
  std::vector<TMenuItem*> items_;
  int nextCommand_ = 1;
};

}  // namespace zanto
