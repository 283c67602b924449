// A window and its controls as plain data: what every desktop needs to create the window.
// Sizes are pixels at 96 pixels per inch; a desktop scales them to its own resolution.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zanto::platform {

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
  bool operator==(const Rect&) const = default;
};

enum class ControlKind { Bevel, Button, PageControl, TabSheet, ListView, Label };

// The sides of its parent that a control keeps its distance to when the parent resizes.
enum Anchor : unsigned {
  akLeft = 1u << 0,
  akTop = 1u << 1,
  akRight = 1u << 2,
  akBottom = 1u << 3,
};

enum class BevelShape { None, TopLine, BottomLine };
enum class TextAlign { Left, Right };

struct FontDef {
  std::string name = "MS Sans Serif";
  int height = -11;  // negative: character height in pixels at 96 dpi
  bool bold = false;
  bool italic = false;
  bool operator==(const FontDef&) const = default;
};

struct ColumnDef {
  std::string caption;
  int width = 0;
};

struct ControlDef {
  std::string name;
  ControlKind kind = ControlKind::Label;
  int parent = -1;  // index of the parent control in the definition; -1: the window itself
  Rect bounds;      // relative to the parent's client area, at design size
  unsigned anchors = akLeft | akTop;
  bool alignClient = false;  // fills the parent's client area inside the parent's border
  int borderWidth = 0;       // inner border of a container
  std::string caption;
  FontDef font;
  bool parentFont = true;  // uses the window's font
  int tabOrder = -1;       // -1: not a tab stop
  bool isDefault = false;  // the window's default button: Enter presses it
  bool isCancel = false;   // the window's cancel button: Escape presses it
  TextAlign align = TextAlign::Left;
  bool wordWrap = false;
  bool autoSize = false;
  BevelShape shape = BevelShape::None;
  // List views: report style with these columns.
  std::vector<ColumnDef> columns;
  bool columnClick = true;    // headers react to clicks
  bool readOnly = false;      // no editing in place
  bool hideSelection = true;  // selection hidden while the list has no focus
  // Page controls: the page shown first.
  int activePage = 0;
};

struct FormDef {
  std::string name;
  std::string className;
  std::string caption;
  int width = 0;  // outer size
  int height = 0;
  int clientWidth = 0;
  int clientHeight = 0;
  bool centered = true;
  FontDef font;
  std::vector<ControlDef> controls;

  int indexOf(const std::string& controlName) const {
    for (std::size_t i = 0; i < controls.size(); ++i)
      if (controls[i].name == controlName) return static_cast<int>(i);
    return -1;
  }
};

}  // namespace zanto::platform
