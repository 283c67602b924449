#include "toolkit/layout.h"

#include <algorithm>
#include <cstdlib>

namespace zanto::layout {

using platform::ControlDef;
using platform::FontDef;
using platform::FormDef;
using platform::Rect;

namespace {

int CharWidth(char c, bool bold) {
  int w = 5;
  if (c == ' ')
    w = 3;
  else if (std::string_view("il.,:;!'|I[]()jft").find(c) != std::string_view::npos)
    w = 3;
  else if (std::string_view("mwMW@%").find(c) != std::string_view::npos)
    w = 9;
  else if (c >= 'A' && c <= 'Z')
    w = 7;
  else if (c >= '0' && c <= '9')
    w = 6;
  return bold ? w + 1 : w;
}

// One axis of the anchor rule: keep the near side, the far side, or both.
void AnchorAxis(bool nearSide, bool farSide, int delta, int& position, int& size) {
  if (nearSide && farSide)
    size = std::max(0, size + delta);
  else if (farSide)
    position += delta;
}

}  // namespace

int TextWidth(std::string_view text, const FontDef& font) {
  int width = 0;
  for (char c : text) width += CharWidth(c, font.bold);
  return width;
}

int LineHeight(const FontDef& font) {
  return std::abs(font.height) + 2;
}

int WrappedLines(std::string_view text, const FontDef& font, int width) {
  int lines = 1;
  int used = 0;
  std::size_t pos = 0;
  const int space = TextWidth(" ", font);
  while (pos < text.size()) {
    std::size_t end = text.find(' ', pos);
    if (end == std::string_view::npos) end = text.size();
    const int word = TextWidth(text.substr(pos, end - pos), font);
    if (used > 0 && used + space + word > width) {
      ++lines;
      used = word;
    } else {
      used += (used > 0 ? space : 0) + word;
    }
    pos = end + 1;
  }
  return lines;
}

std::vector<Rect> Arrange(const FormDef& def, int clientWidth, int clientHeight) {
  std::vector<Rect> out(def.controls.size());
  for (std::size_t i = 0; i < def.controls.size(); ++i) {
    const ControlDef& c = def.controls[i];
    // The parent's size now and at design time; parents come before their children.
    int parentW = clientWidth, parentH = clientHeight;
    int designW = def.clientWidth, designH = def.clientHeight;
    int border = 0;
    if (c.parent >= 0) {
      const auto p = static_cast<std::size_t>(c.parent);
      parentW = out[p].width;
      parentH = out[p].height;
      designW = def.controls[p].bounds.width;
      designH = def.controls[p].bounds.height;
      border = def.controls[p].borderWidth;
    }
    Rect r = c.bounds;
    if (c.alignClient) {
      r = {border, border, std::max(0, parentW - 2 * border), std::max(0, parentH - 2 * border)};
    } else {
      AnchorAxis(c.anchors & platform::akLeft, c.anchors & platform::akRight, parentW - designW,
                 r.left, r.width);
      AnchorAxis(c.anchors & platform::akTop, c.anchors & platform::akBottom, parentH - designH,
                 r.top, r.height);
    }
    if (c.kind == platform::ControlKind::Label && c.wordWrap && c.autoSize) {
      const FontDef& font = c.parentFont ? def.font : c.font;
      r.height = WrappedLines(c.caption, font, r.width) * LineHeight(font);
    }
    out[i] = r;
  }
  return out;
}

}  // namespace zanto::layout
