// Zanto over the simulated desktop, driven by a scenario: what zanto-sim runs.
#pragma once

#include <functional>
#include <istream>
#include <ostream>

#include "platform/sim/sim_desktop.h"

namespace zanto {

// Runs the program until it ends or the scenario does, writes the trace to `out` (the
// "exit" line when the program ended), script errors to `errors`; returns 0, or 2 after a
// bad line. `finished` sees the desktop once the program has been taken down.
int RunSimulation(const sim::SimOptions& options, std::istream& script, std::ostream& out,
                  std::ostream& errors,
                  const std::function<void(const sim::SimDesktop&)>& finished = {});

}  // namespace zanto
