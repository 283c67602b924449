// The windows of a desktop whose system keeps none of the program's windows itself (the
// simulated desktop, and Linux desktops, where only the settings window is a real one): each
// one's class, handler and whether broadcasts reach it, with what else the desktop keeps
// with it; and the window messages registered by name.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop.h"

namespace zanto::platform {

template <class Extra>
class WindowTable {
 public:
  struct Entry {
    std::string className;
    MessageHandler* handler = nullptr;
    bool topLevel = false;  // receives the broadcasts: shell restart, session end
    Extra extra{};
  };

  WindowId Add(Entry entry) {
    const WindowId id = next_;
    next_ += 0x10;  // handles of a system look like this: never 0, never close together
    windows_[id] = std::move(entry);
    return id;
  }
  void Remove(WindowId id) { windows_.erase(id); }
  Entry* Find(WindowId id) {
    const auto it = windows_.find(id);
    return it == windows_.end() ? nullptr : &it->second;
  }
  // The window's answer to the message; nothing when it has no handler (or is gone).
  std::optional<std::intptr_t> Send(WindowId window, std::uint32_t msg, std::uintptr_t wParam,
                                    std::intptr_t lParam) {
    const Entry* entry = Find(window);
    if (!entry || !entry->handler) return std::nullopt;
    return entry->handler->handleMessage(msg, wParam, lParam);
  }
  // The top-level windows, in the order they were made.
  std::vector<WindowId> TopLevel() const {
    std::vector<WindowId> ids;
    for (const auto& [id, entry] : windows_)
      if (entry.topLevel) ids.push_back(id);
    return ids;
  }
  // The first window of the class; 0 when there is none.
  WindowId OfClass(const std::string& className) const {
    for (const auto& [id, entry] : windows_)
      if (entry.className == className) return id;
    return 0;
  }
  template <class F>
  void ForEach(F&& f) {
    for (auto& [id, entry] : windows_) f(id, entry);
  }

  // RegisterWindowMessage: the same number for the same name, from the range of the system's.
  std::uint32_t Register(const std::string& name) {
    const auto [it, added] =
        registered_.try_emplace(name, static_cast<std::uint32_t>(0xC000 + registered_.size()));
    return it->second;
  }

 private:
  std::map<WindowId, Entry> windows_;
  WindowId next_ = 0x10010;
  std::map<std::string, std::uint32_t> registered_;
};

// A plain window of such a desktop: gone from its table, with its timers, when the program
// lets it go. `Owner` is the desktop, whose RemoveWindow does that.
template <class Owner>
class TableWindow final : public NativeWindow {
 public:
  TableWindow(Owner& owner, WindowId id) : owner_(owner), id_(id) {}
  ~TableWindow() override { owner_.RemoveWindow(id_); }
  TableWindow(const TableWindow&) = delete;
  TableWindow& operator=(const TableWindow&) = delete;
  WindowId id() const override { return id_; }

 private:
  Owner& owner_;
  WindowId id_;
};

// The taskbar window of such a desktop: shown or not, and minimised or not, as ShowWindow's
// commands leave it.
struct TaskbarState {
  bool shown = false;
  bool iconic = false;
  // Carries the command out; what it did: "hide", "minimize", "restore" or "show".
  const char* Apply(int command) {
    switch (command) {
      case sw::Hide:
        shown = false;
        return "hide";
      case sw::Minimize:
      case sw::ShowMinNoActive:
        shown = iconic = true;
        return "minimize";
      case sw::Restore:
      case sw::ShowNormal:
        shown = true;
        iconic = false;
        return "restore";
      default:
        shown = true;
        return "show";
    }
  }
};

// The taskbar window of such a desktop, which keeps its state and title. `Owner` is the
// desktop: TaskbarShow carries a command out, Taskbar() is the state, SetTaskbarTitle
// takes the title, RemoveWindow lets the window go.
template <class Owner>
class TableTaskbar final : public TaskbarWindow {
 public:
  TableTaskbar(Owner& owner, WindowId id) : owner_(owner), id_(id) {}
  ~TableTaskbar() override { owner_.RemoveWindow(id_); }
  TableTaskbar(const TableTaskbar&) = delete;
  TableTaskbar& operator=(const TableTaskbar&) = delete;
  WindowId id() const override { return id_; }
  void show(int command) override { owner_.TaskbarShow(command); }
  bool isIconic() const override { return owner_.Taskbar().iconic; }
  void setTitle(const std::string& title) override { owner_.SetTaskbarTitle(title); }

 private:
  Owner& owner_;
  WindowId id_;
};

}  // namespace zanto::platform
