// Keyboard navigation in a window made from a definition, worked out from the definition
// alone so that every desktop moves the same way: the order Tab goes through the controls,
// and the page Ctrl+Tab goes to.
#pragma once

#include <functional>
#include <vector>

#include "platform/form_definition.h"

namespace zanto::platform {

// The controls Tab stops on, in order: the window's own controls by their tab order, and
// right after a page control the controls of the page it shows, by theirs. Controls of the
// pages not shown are not in it. `activePage` answers which page a page control shows.
std::vector<int> TabCycle(const FormDef& def, const std::function<int(int)>& activePage);

// The control Tab moves to from `current` (Shift+Tab: `backward`), round the cycle. From a
// control that is not in the cycle, the first (or the last) one; -1 when the cycle is empty.
int NextTabStop(const std::vector<int>& cycle, int current, bool backward);

// The pages of a page control, in order: its tab sheets.
std::vector<int> PagesOf(const FormDef& def, int pageControl);

// The page Ctrl+Tab (Ctrl+Shift+Tab: `backward`) goes to from `page` of `count`, round.
int NeighbourPage(int page, int count, bool backward);

// The button whose caption marks `key` as its access key ("&OK": o or O); -1 when none.
int ButtonForAccessKey(const FormDef& def, char32_t key);

}  // namespace zanto::platform
