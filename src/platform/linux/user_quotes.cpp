#include "platform/linux/user_quotes.h"

#include <string_view>

namespace zanto::platform::linux_desktop {

namespace {

// A folder the file can be named under; trailing slashes go so that the name shown in an
// error box reads as a user would write it ("/" itself becomes the empty prefix).
bool AbsoluteFolder(const char* folder, std::string_view& out) {
  if (!folder || folder[0] != '/') return false;
  out = folder;
  while (!out.empty() && out.back() == '/') out.remove_suffix(1);
  return true;
}

}  // namespace

std::string UserQuotesPath(const char* xdgConfigHome, const char* home) {
  std::string_view folder;
  if (AbsoluteFolder(xdgConfigHome, folder)) return std::string(folder) + "/zanto/quotes.txt";
  if (AbsoluteFolder(home, folder)) return std::string(folder) + "/.config/zanto/quotes.txt";
  return {};
}

}  // namespace zanto::platform::linux_desktop
