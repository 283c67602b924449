// Where the controls of a window go when its client area changes size: each control keeps
// its distance to the sides of its parent it is anchored to, client-aligned controls fill
// their parent, and word-wrapped labels grow or shrink to the lines their text needs.
#pragma once

#include <string_view>
#include <vector>

#include "platform/form_definition.h"

namespace zanto::layout {

// The width of a text in a control's font, in pixels at 96 dpi. Deliberately generous, so
// that a height computed from it never cuts a line off on a real desktop.
int TextWidth(std::string_view text, const platform::FontDef& font);
// The number of lines a word-wrapped text takes in the given width.
int WrappedLines(std::string_view text, const platform::FontDef& font, int width);
int LineHeight(const platform::FontDef& font);

// The bounds of every control, relative to its parent, for a window client area.
std::vector<platform::Rect> Arrange(const platform::FormDef& def, int clientWidth,
                                    int clientHeight);

}  // namespace zanto::layout
