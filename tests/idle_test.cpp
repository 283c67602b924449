// Idle means idle: whatever the user does between two quotes, the only timer ticks the
// desktop delivers are those that show a quote. A tick of anything else (a poll, a timer
// left running after the menu or the window) would wake the program for nothing, every
// few milliseconds, for as long as it runs.
#include <gtest/gtest.h>

#include <string>

#include "support/constants.h"
#include "support/program_fixture.h"
#include "support/sim_run.h"

namespace zanto::test {
namespace {

// What the user and the shell do now and then, one at a time, hours apart.
constexpr const char* kDoings[] = {
    // The settings window from the menu, on the Quotes page with its rows drawn; OK.
    "cursor 640 480\nmenu Settings1\ntray contextmenu\npage 1\ndump\nclick BitBtn2\n",
    // About, resized, closed with the close box.
    "menu AboutZanto1\ntray contextmenu\nresize 500 320\nclose\n",
    // Minimised to the tray; then shown again and sent back with Enter.
    "menu Settings1\ntray contextmenu\nminimize\nmenu Settings1\ntray contextmenu\nkey enter\n",
    // The menu opened and closed with no choice.
    "tray contextmenu\n",
    // The next quote at once, asked twice within ten milliseconds.
    "menu ellmemoreZanto1\ntray contextmenu\nmenu ellmemoreZanto1\ntray contextmenu\nwait 10\n",
    // Clicks, a double click and moves over the icon; the keyboard's select opens the menu.
    ("tray mousemove\ntray lbuttondown\ntray lbuttonup\ntray lbuttondblclk\ntray lbuttonup\n"
     "tray rbuttondown\ntray rbuttonup\ntray mbuttondown\ntray mbuttonup\ntray keyselect\n"),
    // The balloon clicked, then one timing out.
    "tray balloonclick\ntray balloontimeout\ntray balloonhide\n",
    // The shell restarts and the icon comes back.
    "taskbarcreated\n",
    // Cancel from the General page.
    "menu Settings1\ntray contextmenu\nclick BitBtn1\n",
};

class Idle : public ProgramTest {
 protected:
  Idle() { Quotes(NumberedQuotes(10)); }

  // Runs the script, then 30 days more; the timer ticks delivered and the quotes shown.
  std::pair<std::uint64_t, std::size_t> TicksAndQuotes(const std::string& script,
                                                       SimRun* out = nullptr) const {
    std::uint64_t ticks = 0;
    SimRun run =
        RunSim(Options(), script, [&](const sim::SimDesktop& d) { ticks = d.TimerTicks(); });
    EXPECT_EQ(run.status, 0) << run.errors;
    const std::size_t quotes = run.BalloonTexts().size();
    if (out) *out = std::move(run);
    return {ticks, quotes};
  }
};

TEST_F(Idle, WhateverTheUserDoesBetweenQuotesOnlyQuoteTicksWakeTheProgram) {
  // One of the doings every five hours for 30 days: 144 of them, each done 16 times.
  std::string script = "wait 1000\n";
  constexpr std::size_t kTimes = 30 * 24 / 5;
  for (std::size_t i = 0; i < kTimes; ++i)
    script +=
        std::string(kDoings[i % std::size(kDoings)]) + "wait " + std::to_string(5 * kHour) + "\n";
  SimRun run;
  const auto [ticks, quotes] = TicksAndQuotes(script, &run);
  RecordProperty("timer_ticks", std::to_string(ticks));
  RecordProperty("quote_ticks", std::to_string(quotes));
  EXPECT_EQ(ticks, quotes);
  // The doings did what they say: five shows and five hides of the window and nine menus
  // in each round of them, and a quote asked for on top of the daily ones.
  const std::size_t rounds = kTimes / std::size(kDoings);
  EXPECT_EQ(run.Ops("window").size(), 10 * rounds);
  EXPECT_EQ(run.Ops("popup").size(), 9 * rounds);
  EXPECT_GE(quotes, 15 + rounds);
}

TEST_F(Idle, AWindowLeftOpenForDaysWakesNothingEither) {
  const auto [ticks, quotes] = TicksAndQuotes(
      "wait 1000\nmenu Settings1\ntray contextmenu\npage 1\ndump\nwait " +
      std::to_string(10 * kDay) + "\nminimize\nwait " + std::to_string(10 * kDay) +
      "\nmenu Settings1\ntray contextmenu\nwait " + std::to_string(10 * kDay) + "\n");
  EXPECT_EQ(ticks, quotes);
  EXPECT_GE(quotes, 15u);
}

}  // namespace
}  // namespace zanto::test
