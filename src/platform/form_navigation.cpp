#include "platform/form_navigation.h"

#include <algorithm>

namespace zanto::platform {

namespace {

bool IsContainer(ControlKind kind) {
  return kind == ControlKind::PageControl || kind == ControlKind::TabSheet;
}

// The children of `parent` that Tab reaches, directly or through a container, by tab order.
void AppendChildren(const FormDef& def, int parent, const std::function<int(int)>& activePage,
                    std::vector<int>& cycle) {
  std::vector<int> children;
  for (std::size_t i = 0; i < def.controls.size(); ++i) {
    const ControlDef& c = def.controls[i];
    if (c.parent != parent || c.kind == ControlKind::TabSheet) continue;
    if (c.tabOrder >= 0 || IsContainer(c.kind)) children.push_back(static_cast<int>(i));
  }
  std::stable_sort(children.begin(), children.end(), [&](int a, int b) {
    const int ta = def.controls[static_cast<std::size_t>(a)].tabOrder;
    const int tb = def.controls[static_cast<std::size_t>(b)].tabOrder;
    if ((ta < 0) != (tb < 0)) return tb < 0;  // tab stops first, the rest in their order
    return ta < tb;
  });
  for (int child : children) {
    const ControlDef& c = def.controls[static_cast<std::size_t>(child)];
    if (c.tabOrder >= 0) cycle.push_back(child);
    if (c.kind == ControlKind::PageControl) {
      const std::vector<int> pages = PagesOf(def, child);
      const int page = activePage(child);
      if (page >= 0 && static_cast<std::size_t>(page) < pages.size())
        AppendChildren(def, pages[static_cast<std::size_t>(page)], activePage, cycle);
    }
  }
}

}  // namespace

std::vector<int> TabCycle(const FormDef& def, const std::function<int(int)>& activePage) {
  std::vector<int> cycle;
  AppendChildren(def, -1, activePage, cycle);
  return cycle;
}

int NextTabStop(const std::vector<int>& cycle, int current, bool backward) {
  if (cycle.empty()) return -1;
  const auto at = std::find(cycle.begin(), cycle.end(), current);
  if (at == cycle.end()) return backward ? cycle.back() : cycle.front();
  const auto n = static_cast<std::ptrdiff_t>(cycle.size());
  const std::ptrdiff_t i = at - cycle.begin();
  return cycle[static_cast<std::size_t>((i + (backward ? n - 1 : 1)) % n)];
}

std::vector<int> PagesOf(const FormDef& def, int pageControl) {
  std::vector<int> pages;
  for (std::size_t i = 0; i < def.controls.size(); ++i)
    if (def.controls[i].parent == pageControl && def.controls[i].kind == ControlKind::TabSheet)
      pages.push_back(static_cast<int>(i));
  return pages;
}

int NeighbourPage(int page, int count, bool backward) {
  if (count <= 0) return -1;
  if (page < 0 || page >= count) return backward ? count - 1 : 0;
  return (page + (backward ? count - 1 : 1)) % count;
}

int ButtonForAccessKey(const FormDef& def, char32_t key) {
  const auto lower = [](char32_t c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
  for (std::size_t i = 0; i < def.controls.size(); ++i) {
    const ControlDef& c = def.controls[i];
    if (c.kind != ControlKind::Button) continue;
    const std::string& caption = c.caption;
    for (std::size_t k = 0; k + 1 < caption.size(); ++k) {
      if (caption[k] != '&') continue;
      if (caption[k + 1] == '&') {
        ++k;  // "&&" is a literal ampersand
        continue;
      }
      if (lower(static_cast<unsigned char>(caption[k + 1])) == lower(key))
        return static_cast<int>(i);
      break;
    }
  }
  return -1;
}

}  // namespace zanto::platform
