// Runs the whole program over the simulated desktop with the test at the controls: the test
// acts as the user and the shell, turns the desktop's fault knobs while the program runs and
// looks at the program's window between steps. Hands back the trace as RunSim does.
#pragma once

#include <functional>
#include <string>

#include "app/settings_form.h"
#include "app/zanto.h"
#include "platform/sim/sim_desktop.h"
#include "support/sim_run.h"

namespace zanto::test {

using LiveDriver = std::function<void(sim::SimDesktop&, TfrmSettings&)>;

inline SimRun RunLive(const sim::SimOptions& options, const LiveDriver& drive) {
  TraceRecorder trace;
  sim::SimDesktop desktop(options, trace.Sink());
  TfrmSettings* form = nullptr;
  desktop.SetLoopDriver([&](sim::SimDesktop& d) {
    if (form) drive(d, *form);
    // Taken down without a word when the test is done but the program is not, as zanto-sim.
    if (!d.QuitRequested()) trace.Sink().Mute();
  });
  RunZanto(desktop, [&](TfrmSettings& f) { form = &f; });
  sim::JsonObject end;
  end.Add("t", static_cast<std::int64_t>(desktop.Now())).Add("op", "exit");
  trace.Sink().Write(end);
  SimRun run;
  run.lines = trace.Lines();
  return run;
}

// What the user does through the tray menu: a right click answered with the item.
inline void Choose(sim::SimDesktop& desktop, const std::string& item) {
  desktop.SetMenuAnswer(item);
  desktop.TrayCallback(platform::wm::ContextMenu, 0);
}

}  // namespace zanto::test
