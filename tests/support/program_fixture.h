// A test of the whole program: a private folder as the executable's directory, where the
// quotes file lies, and the start time that seeds the quotes' order.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/sim/sim_desktop.h"
#include "support/temp_dir.h"

namespace zanto::test {

class ProgramTest : public ::testing::Test {
 protected:
  sim::SimOptions Options() const {
    sim::SimOptions o;
    o.executablePath = dir.File("zanto.exe");
    o.utcMillisecondsOfDay = 45'296'789;  // 12:34:56.789
    return o;
  }
  void Quotes(std::string_view bytes) const { dir.Write("quotes.txt", bytes); }
  std::string QuotesPath() const { return dir.File("quotes.txt"); }
  // "Quote 0" to "Quote n-1", CR LF after each.
  static std::string NumberedQuotes(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += "Quote " + std::to_string(i) + "\r\n";
    return text;
  }

  TempDir dir;
};

}  // namespace zanto::test
