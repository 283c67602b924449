// Runs the whole program over the simulated desktop with a scenario, as zanto-sim does, and
// hands back the trace for the test to read.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/sim/sim_desktop.h"
#include "support/trace_reader.h"

namespace zanto::test {

struct SimRun {
  TraceLines lines;
  int status = 0;
  std::string errors;  // what zanto-sim would write to standard error

  TraceLines Ops(const std::string& op) const { return OpsOf(lines, op); }
  // Shell requests of that kind (NIM_ADD, NIM_MODIFY, ...).
  TraceLines Shell(const std::string& msg) const { return ShellRequestsOf(lines, msg); }
  // Balloons with text: what the user reads.
  std::vector<std::string> BalloonTexts() const;
  // The "Did you know?" balloons' texts, empty quotes included, in the order they came up.
  std::vector<std::string> QuoteBalloons() const;
  bool Exited() const { return !lines.empty() && lines.back().Is("exit"); }
};

SimRun RunSim(const sim::SimOptions& options, const std::string& script,
              const std::function<void(const sim::SimDesktop&)>& finished = {});

}  // namespace zanto::test
