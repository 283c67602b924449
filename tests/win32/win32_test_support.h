// What the tests of the Windows desktop share beyond tests/support: a form's events as a
// recording, and the loop's messages run.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/desktop.h"

namespace zanto::platform::win32::test {

// Every event a form reports, in order, as text ("clicked 2", "page 4 1", ...).
class RecordedEvents final : public FormEvents {
 public:
  std::vector<std::string> seen;
  std::vector<std::string> rows = {"first row", "second row"};

  void formClose() noexcept override { seen.push_back("close"); }
  bool formSysCommand(std::uint32_t) noexcept override { return false; }
  bool formQueryEndSession() noexcept override { return true; }
  void formEndSession(bool) noexcept override {}
  void controlClicked(int control) noexcept override {
    seen.push_back("clicked " + std::to_string(control));
  }
  void dialogKey(DialogKey key) noexcept override {
    seen.push_back(key == DialogKey::Enter ? "enter" : "escape");
  }
  void pageSelected(int control, int page) noexcept override {
    seen.push_back("page " + std::to_string(control) + " " + std::to_string(page));
  }
  void formResized(int, int) noexcept override {}
  Text listRow(int, std::size_t row) noexcept override {
    return {row < rows.size() ? std::string_view(rows[row]) : std::string_view(), encoding};
  }
  TextEncoding encoding = TextEncoding::Ansi;
};

// Runs the messages that are waiting, as the loop would.
void PumpMessages();

}  // namespace zanto::platform::win32::test
