// Scenario scripts for the simulated desktop: one command a line, "#" starts a comment.
#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "platform/sim/sim_desktop.h"

namespace zanto::sim {

class Scenario {
 public:
  Scenario(std::istream& script, std::ostream& errors) : script_(script), errors_(errors) {}
  // What "exit" does: the program's Exit command.
  void SetExitCommand(std::function<void()> command) { exitCommand_ = std::move(command); }
  // Runs the script against the desktop until it ends, the program quits, or a line is bad.
  void Run(SimDesktop& desktop);
  // 0, or 2 after a bad line.
  int Status() const { return status_; }

 private:
  bool Execute(SimDesktop& desktop, const std::string& line);
  void Fail(const std::string& message);

  std::istream& script_;
  std::ostream& errors_;
  std::function<void()> exitCommand_;
  int lineNumber_ = 0;
  int status_ = 0;
};

}  // namespace zanto::sim
