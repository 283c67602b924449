// Runs the whole program over the simulated desktop with a scenario, as zanto-sim does, and
// hands back the trace for the test to read.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/sim/sim_desktop.h"

namespace zanto::test {

// One line of the trace: a flat JSON object, read back field by field.
struct TraceLine {
  std::string text;
  // The field's value: a string unescaped, anything else as written. Empty when absent.
  // The texts of a wide shell record come back as UTF-8, every other text byte for byte.
  std::string Get(const std::string& key) const;
  // The strings of an array field, unescaped (as UTF-8 when `unicode`).
  std::vector<std::string> Strings(const std::string& key, bool unicode = false) const;
  bool Wide() const;
  std::int64_t Number(const std::string& key) const;
  bool Has(const std::string& key) const;
  bool Is(const std::string& op) const { return Get("op") == op; }
};

struct SimRun {
  std::vector<TraceLine> lines;
  int status = 0;
  std::string errors;  // what zanto-sim would write to standard error

  std::vector<TraceLine> Ops(const std::string& op) const;
  // Shell requests of that kind (NIM_ADD, NIM_MODIFY, ...).
  std::vector<TraceLine> Shell(const std::string& msg) const;
  // Balloons with text: what the user reads.
  std::vector<std::string> BalloonTexts() const;
  // The "Did you know?" balloons' texts, empty quotes included, in the order they came up.
  std::vector<std::string> QuoteBalloons() const;
  bool Exited() const { return !lines.empty() && lines.back().Is("exit"); }
};

SimRun RunSim(const sim::SimOptions& options, const std::string& script,
              const std::function<void(const sim::SimDesktop&)>& finished = {});

}  // namespace zanto::test
