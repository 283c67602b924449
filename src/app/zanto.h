// The program's entry, the same on every desktop: start, run the loop, end.
#pragma once

#include <functional>

#include "platform/desktop.h"

namespace zanto {

class TfrmSettings;

// Runs Zanto over a desktop until the program ends; returns the process exit code.
// `started` sees the window once it exists, before the loop runs (tools that drive it).
int RunZanto(platform::DesktopRoles desktop,
             const std::function<void(TfrmSettings&)>& started = {});

}  // namespace zanto
