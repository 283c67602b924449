#include "simulation.h"

#include "app/settings_form.h"
#include "app/zanto.h"
#include "platform/sim/scenario.h"
#include "toolkit/application.h"

namespace zanto {

int RunSimulation(const sim::SimOptions& options, std::istream& script, std::ostream& out,
                  std::ostream& errors,
                  const std::function<void(const sim::SimDesktop&)>& finished) {
  sim::Trace trace(out);
  sim::SimDesktop desktop(options, trace);
  sim::Scenario scenario(script, errors);
  TfrmSettings* form = nullptr;
  // "exit" runs the Exit command's handler, as a menu choice would.
  scenario.SetExitCommand([&] {
    if (form) form->Application().Guard([&] { form->Exit1Click(); });
  });
  desktop.SetLoopDriver([&](sim::SimDesktop& d) {
    scenario.Run(d);
    // The scenario is over but the program is not: take it down without a word.
    if (!d.QuitRequested()) trace.Mute();
  });
  RunZanto(desktop, [&](TfrmSettings& f) { form = &f; });
  form = nullptr;
  sim::JsonObject end;
  end.Add("t", static_cast<std::int64_t>(desktop.Now())).Add("op", "exit");
  trace.Write(end);
  if (finished) finished(desktop);
  return scenario.Status();
}

}  // namespace zanto
