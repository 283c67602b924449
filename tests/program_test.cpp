// The whole program over the simulated desktop, as a user and the shell meet it.
#include <gtest/gtest.h>

#include <set>

#include "support/sim_run.h"
#include "support/temp_dir.h"

namespace zanto::test {
namespace {

class Program : public ::testing::Test {
 protected:
  sim::SimOptions Options() const {
    sim::SimOptions o;
    o.executablePath = dir.File("zanto.exe");
    o.utcMillisecondsOfDay = 45'296'789;  // 12:34:56.789
    return o;
  }
  SimRun Run(const std::string& script) const { return RunSim(Options(), script); }
  void Quotes(std::string_view bytes) const { dir.Write("quotes.txt", bytes); }
  std::string TenQuotes() const {
    std::string text;
    for (int i = 0; i < 10; ++i) text += "Quote " + std::to_string(i) + "\r\n";
    return text;
  }

  TempDir dir;
};

TEST_F(Program, StartsInTheTrayAndShowsTheFirstQuoteAfterOneSecond) {
  Quotes(TenQuotes());
  const SimRun run = Run("wait 999\nwait 1\nwait 172800000\n");
  ASSERT_GE(run.lines.size(), 5u);
  const TraceLine& add = run.lines[0];
  EXPECT_TRUE(add.Is("shell"));
  EXPECT_EQ(add.Get("msg"), "NIM_ADD");
  EXPECT_EQ(add.Number("cbSize"), 488);
  EXPECT_EQ(add.Number("uFlags"), 7);
  EXPECT_EQ(add.Number("uCallbackMessage"), 1025);
  EXPECT_EQ(run.lines[1].Get("msg"), "NIM_SETVERSION");
  EXPECT_EQ(run.lines[1].Number("uTimeout"), 3);
  EXPECT_TRUE(run.Ops("window").empty()) << "nothing but the icon is shown at start";
  EXPECT_TRUE(run.Ops("errorbox").empty());

  const auto balloons = run.Shell("NIM_MODIFY");
  ASSERT_EQ(balloons.size(), 2u);
  EXPECT_EQ(balloons[0].Number("t"), 1000);
  EXPECT_EQ(balloons[0].Get("title"), "Did you know?");
  EXPECT_EQ(balloons[0].Number("uTimeout"), 10000);
  EXPECT_EQ(balloons[0].Number("dwInfoFlags"), 1);
  const std::int64_t gap = balloons[1].Number("t") - balloons[0].Number("t");
  EXPECT_GE(gap, 86'400'000);
  EXPECT_LT(gap, 172'800'000);
  EXPECT_NE(balloons[0].Get("info"), balloons[1].Get("info"));
}

}  // namespace
}  // namespace zanto::test
