// A notification area in front of the simulated desktop's whose version the test sets as it
// goes (unreadable at first and readable later, say) and which counts how often it is read.
// Everything else goes to the simulated desktop.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/desktop.h"
#include "platform/sim/sim_desktop.h"

namespace zanto::test {

class VersionedShell final : public platform::NotificationArea {
 public:
  VersionedShell(sim::SimDesktop& sim, std::optional<std::uint32_t> version)
      : version(version), sim_(sim) {}
  std::optional<std::uint32_t> version;  // nothing: unreadable
  int reads = 0;

  std::uint32_t shellVersion() override {
    ++reads;
    return version.value_or(0);
  }
  bool notifyIcon(std::uint32_t message, const platform::NotifyIconData& data) override {
    return sim_.notifyIcon(message, data);
  }
  bool registerServiceProcess(bool hide) override { return sim_.registerServiceProcess(hide); }

 private:
  sim::SimDesktop& sim_;
};

}  // namespace zanto::test
