#include "platform/sim/scenario.h"

#include <charconv>
#include <map>
#include <sstream>
#include <vector>

namespace zanto::sim {

namespace wm = platform::wm;
namespace nin = platform::nin;

namespace {

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line.substr(0, line.find('#')));
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

template <class T>
bool ParseNumber(const std::string& text, T& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

bool ParseTrayCode(const std::string& text, std::uint32_t& code) {
  static const std::map<std::string, std::uint32_t> kCodes = {
      {"contextmenu", wm::ContextMenu},
      {"keyselect", nin::KeySelect},
      {"mousemove", wm::MouseMove},
      {"lbuttondown", wm::LButtonDown},
      {"lbuttonup", wm::LButtonUp},
      {"lbuttondblclk", wm::LButtonDblClk},
      {"rbuttondown", wm::RButtonDown},
      {"rbuttonup", wm::RButtonUp},
      {"rbuttondblclk", wm::RButtonDblClk},
      {"mbuttondown", wm::MButtonDown},
      {"mbuttonup", wm::MButtonUp},
      {"mbuttondblclk", wm::MButtonDblClk},
      {"balloonhide", nin::BalloonHide},
      {"balloontimeout", nin::BalloonTimeout},
      {"balloonclick", nin::BalloonUserClick},
  };
  auto it = kCodes.find(text);
  if (it != kCodes.end()) {
    code = it->second;
    return true;
  }
  return ParseNumber(text, code);
}

bool ParseModifiers(const std::string& text, unsigned& mods) {
  std::istringstream in(text);
  for (std::string mod; std::getline(in, mod, ',');) {
    if (mod == "shift")
      mods |= SimDesktop::kShift;
    else if (mod == "ctrl")
      mods |= SimDesktop::kCtrl;
    else if (mod == "alt")
      mods |= SimDesktop::kAlt;
    else
      return false;
  }
  return true;
}

}  // namespace

void Scenario::Fail(const std::string& message) {
  errors_ << "zanto-sim: line " << lineNumber_ << ": " << message << '\n';
  status_ = 2;
}

void Scenario::Run(SimDesktop& desktop) {
  for (std::string line; !desktop.QuitRequested() && std::getline(script_, line);) {
    ++lineNumber_;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!Execute(desktop, line)) return;
  }
}

bool Scenario::Execute(SimDesktop& desktop, const std::string& line) {
  const std::vector<std::string> w = Words(line);
  if (w.empty()) return true;
  const std::string& cmd = w[0];
  const std::size_t args = w.size() - 1;
  auto bad = [&](const std::string& why) {
    Fail(why + " in '" + line + "'");
    return false;
  };

  if (cmd == "wait") {
    std::uint64_t ms = 0;
    if (args != 1 || !ParseNumber(w[1], ms)) return bad("wait needs a number of milliseconds");
    desktop.Wait(ms);
  } else if (cmd == "suspend") {
    std::uint64_t ms = 0;
    if (args != 1 || !ParseNumber(w[1], ms)) return bad("suspend needs a number of milliseconds");
    desktop.Suspend(ms);
  } else if (cmd == "close" || cmd == "minimize" || cmd == "exit" || cmd == "taskbarcreated" ||
             cmd == "queryendsession" || cmd == "endsession" || cmd == "dump" ||
             cmd == "taskkill" || cmd == "launch") {
    if (args != 0) return bad(cmd + " takes no argument");
    if (cmd == "close") desktop.CloseMainWindow();
    if (cmd == "minimize") desktop.MinimizeMainWindow();
    if (cmd == "exit" && exitCommand_) exitCommand_();
    if (cmd == "taskbarcreated") desktop.TaskbarCreated();
    if (cmd == "queryendsession") desktop.QueryEndSession();
    if (cmd == "endsession") desktop.EndSession();
    if (cmd == "dump") desktop.Dump();
    if (cmd == "taskkill") desktop.EndTask();
    if (cmd == "launch") desktop.HandOver();
  } else if (cmd == "tray") {
    std::uint32_t code = 0;
    unsigned mods = 0;
    if (args < 1 || args > 2 || !ParseTrayCode(w[1], code))
      return bad("tray needs a callback code");
    if (args == 2 && !ParseModifiers(w[2], mods))
      return bad("modifiers are a comma list of shift, ctrl and alt");
    desktop.TrayCallback(code, mods);
  } else if (cmd == "cursor") {
    int x = 0, y = 0;
    if (args != 2 || !ParseNumber(w[1], x) || !ParseNumber(w[2], y))
      return bad("cursor needs X and Y");
    desktop.SetCursor({x, y});
  } else if (cmd == "menu") {
    if (args != 1) return bad("menu needs an item name or none");
    desktop.SetMenuAnswer(w[1] == "none" ? std::nullopt : std::optional<std::string>(w[1]));
  } else if (cmd == "click") {
    if (args != 1 || !desktop.ClickControl(w[1])) return bad("click needs a button's name");
  } else if (cmd == "key") {
    if (args != 1 || (w[1] != "enter" && w[1] != "escape")) return bad("key is enter or escape");
    desktop.Key(w[1] == "enter" ? platform::DialogKey::Enter : platform::DialogKey::Escape);
  } else if (cmd == "page") {
    int page = 0;
    if (args != 1 || !ParseNumber(w[1], page) || !desktop.SelectPage(page))
      return bad("page needs the index of a page");
  } else if (cmd == "resize") {
    int width = 0, height = 0;
    if (args != 2 || !ParseNumber(w[1], width) || !ParseNumber(w[2], height) || width < 0 ||
        height < 0)
      return bad("resize needs a width and a height");
    desktop.Resize(width, height);
  } else {
    return bad("unknown command '" + cmd + "'");
  }
  return true;
}

}  // namespace zanto::sim
