#include "support/sim_run.h"

#include <sstream>

#include "simulation.h"

namespace zanto::test {

std::vector<std::string> SimRun::BalloonTexts() const {
  std::vector<std::string> out;
  for (const TraceLine& line : lines)
    if (IsBalloon(line) && !line.Get("info").empty()) out.push_back(line.Get("info"));
  return out;
}

std::vector<std::string> SimRun::QuoteBalloons() const {
  std::vector<std::string> out;
  for (const TraceLine& line : lines)
    if (IsBalloon(line) && line.Get("title") == "Did you know?") out.push_back(line.Get("info"));
  return out;
}

SimRun RunSim(const sim::SimOptions& options, const std::string& script,
              const std::function<void(const sim::SimDesktop&)>& finished) {
  std::ostringstream out, err;
  std::istringstream in(script);
  SimRun run;
  run.status = RunSimulation(options, in, out, err, finished);
  run.errors = err.str();
  run.lines = ReadTrace(out.str());
  return run;
}

}  // namespace zanto::test
