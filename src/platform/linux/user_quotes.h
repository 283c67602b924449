// Where a Linux user keeps a quotes file of their own: in the user's configuration folder
// of the XDG base directories, the place Linux users look for a program's settings.
#pragma once

#include <string>

namespace zanto::platform::linux_desktop {

// The user's own quotes file for the given XDG_CONFIG_HOME and HOME (each null when unset):
// $XDG_CONFIG_HOME/zanto/quotes.txt, or $HOME/.config/zanto/quotes.txt when XDG_CONFIG_HOME
// is unset, empty or relative (the base directories ignore relative paths). Empty when
// neither names an absolute folder.
std::string UserQuotesPath(const char* xdgConfigHome, const char* home);

}  // namespace zanto::platform::linux_desktop
