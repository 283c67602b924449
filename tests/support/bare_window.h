// A window of the program's toolkit with nothing in it, for tests that need a form to hang
// components on or to lay controls out in.
#pragma once

#include <string>

#include "platform/form_definition.h"

namespace zanto::test {

// A client area of 200 x 100 in the classic frame (4 pixels each side, a caption of 19), no
// controls; the class is the name with a T in front, as the toolkit names its forms.
inline platform::FormDef BareWindow(const std::string& name) {
  platform::FormDef def;
  def.name = name;
  def.className = "T" + name;
  def.clientWidth = 200;
  def.clientHeight = 100;
  def.width = def.clientWidth + 8;
  def.height = def.clientHeight + 27;
  return def;
}

}  // namespace zanto::test
