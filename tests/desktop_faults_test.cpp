// The desktop failing the program: a shell that refuses every request or forgets the icon a
// hundred times, a shell version that cannot be read, no timers left, and a menu that answers
// with an item destroyed while it was open. The program never crashes, tells the user at most
// once per failure and goes on.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "support/constants.h"
#include "support/live_run.h"
#include "support/program_fixture.h"

namespace zanto::test {
namespace {

// The shell requests in order, as "NIM_ADD", "NIM_DELETE", ...
std::vector<std::string> ShellRequests(const SimRun& run) {
  std::vector<std::string> requests;
  for (const auto& line : run.Ops("shell")) requests.push_back(line.Get("msg"));
  return requests;
}

// A retry's probe: a change of the whole icon, which the shell refuses when it has none.
bool IsProbe(const TraceLine& line) {
  return line.Is("shell") && line.Get("msg") == "NIM_MODIFY" && line.Number("uFlags") == kAddFlags;
}

// An icon is never added twice without a removal in between, unless the shell has just
// said it does not have it: a retry asks it to change the whole icon first, and adds only
// when that is refused.
void ExpectAddsAndDeletesAlternate(const SimRun& run) {
  bool added = false;
  const std::vector<TraceLine> shell = run.Ops("shell");
  for (std::size_t i = 0; i < shell.size(); ++i) {
    const std::string msg = shell[i].Get("msg");
    if (msg == "NIM_ADD") {
      const bool afterRefusedProbe = i > 0 && IsProbe(shell[i - 1]);
      EXPECT_TRUE(!added || afterRefusedProbe) << "the icon was added twice, at line " << i;
      added = true;
    } else if (msg == "NIM_DELETE") {
      added = false;
    }
  }
}

// When the program asked the shell for its icon, from the trace: every add and every
// retry's probe.
std::vector<std::int64_t> AddAttempts(const SimRun& run) {
  std::vector<std::int64_t> at;
  for (const TraceLine& line : run.Ops("shell"))
    if (line.Get("msg") == "NIM_ADD" || IsProbe(line)) at.push_back(line.Number("t"));
  return at;
}

class DesktopFaults : public ProgramTest {
 protected:
  DesktopFaults() { Quotes(NumberedQuotes(5)); }
};

TEST_F(DesktopFaults, AShellThatRefusesEverythingIsTreatedAsIfItAcceptedUntilItRestarts) {
  sim::SimOptions options = Options();
  options.shellRefuses = true;
  bool presentWhileRefusing = true, shownWhileRefusing = false, presentAfterRestart = false;
  int pendingWhileRefusing = 0;
  const SimRun run = RunLive(options, [&](sim::SimDesktop& d, TfrmSettings& form) {
    d.Wait(1000);
    Choose(d, "ellmemoreZanto1");
    d.Wait(10);
    d.TaskbarCreated();  // restarting, but still refusing
    presentWhileRefusing = d.IconPresent();
    shownWhileRefusing = form.TrayIcon.IconShown();
    pendingWhileRefusing = form.TrayIcon.PendingBalloons();
    d.Options().shellRefuses = false;
    d.TaskbarCreated();
    presentAfterRestart = d.IconPresent();
    d.Wait(kTwoDays);
    Choose(d, "Exit1");
  });
  EXPECT_FALSE(presentWhileRefusing);
  EXPECT_TRUE(shownWhileRefusing) << "the component's state goes on as if the shell had agreed";
  EXPECT_EQ(pendingWhileRefusing, 2);
  EXPECT_EQ(run.QuoteBalloons().size(), 3u) << "the quotes are still sent";
  EXPECT_TRUE(presentAfterRestart) << "the restart puts the icon back";
  EXPECT_TRUE(run.Ops("errorbox").empty()) << "a refusal is not the user's business";
  EXPECT_TRUE(run.Exited());
  EXPECT_EQ(run.lines[run.lines.size() - 2].Get("msg"), "NIM_DELETE");
  ExpectAddsAndDeletesAlternate(run);
}

TEST_F(DesktopFaults, AShellNotReadyAtLogonGetsTheIconOnceItComesUp) {
  // Each: how long the shell refuses, and when the icon must be there.
  struct Case {
    std::uint64_t refusesFor;
    std::uint64_t presentBy;
  };
  for (const Case c : {Case{500, 1000}, Case{5000, 7000}, Case{100'000, 127'000}}) {
    SCOPED_TRACE(c.refusesFor);
    sim::SimOptions options = Options();
    options.shellRefuses = true;
    bool presentEarly = true, presentInTime = false;
    bool retryingAfter = true;
    const SimRun run = RunLive(options, [&](sim::SimDesktop& d, TfrmSettings& form) {
      d.Wait(c.refusesFor);
      presentEarly = d.IconPresent();
      d.Options().shellRefuses = false;
      d.Wait(c.presentBy - c.refusesFor);
      presentInTime = d.IconPresent();
      d.Wait(kTwoDays);
      retryingAfter = form.TrayIcon.AddRetryPending();
      Choose(d, "Exit1");
    });
    EXPECT_FALSE(presentEarly);
    EXPECT_TRUE(presentInTime) << "the retries bring the icon as soon as the shell takes it";
    EXPECT_FALSE(retryingAfter);
    ASSERT_FALSE(run.Shell("NIM_SETVERSION").empty());
    EXPECT_EQ(run.Shell("NIM_SETVERSION").back().Number("t"),
              run.Shell("NIM_ADD").back().Number("t"))
        << "the accepted icon is switched to the shell's version too";
    ExpectAddsAndDeletesAlternate(run);
    EXPECT_TRUE(run.Ops("errorbox").empty());
  }
}

// The quote that comes up while the shell, still starting at logon, has no icon is not lost:
// the latest such quote is shown right after the icon arrives, once, and the quotes and their
// moments are those of a shell that was ready from the start.
TEST_F(DesktopFaults, AQuoteRefusedForWantOfTheIconAtLogonIsShownOnceItArrives) {
  struct Case {
    const char* what;
    std::uint64_t busyFor;      // the shell refuses everything until then
    std::uint64_t tellAt;       // when the user asks for the next quote
    std::int64_t iconArrives;   // the retry that the shell takes
    std::size_t refusedQuotes;  // quotes that came up before it
  };
  for (const Case c : {Case{"one quote refused", 2500, 8000, 3000, 1},
                       Case{"two refused: the latest is shown", 5000, 2000, 7000, 2},
                       Case{"ready before the first quote", 900, 8000, 1000, 0}}) {
    SCOPED_TRACE(c.what);
    using Quotes = std::vector<std::pair<std::int64_t, std::string>>;
    int pendingAfter = -1;
    bool heldAfter = true;
    auto run = [&](std::uint64_t busyFor) {
      sim::SimOptions options = Options();
      options.shellBusyUntil = busyFor;
      return RunLive(options, [&](sim::SimDesktop& d, TfrmSettings& form) {
        d.Wait(c.tellAt);
        Choose(d, "ellmemoreZanto1");
        d.Wait(9000 - c.tellAt);
        pendingAfter = form.TrayIcon.PendingBalloons();
        heldAfter = form.TrayIcon.BalloonHeld();
        d.Wait(2 * kTwoDays);
        Choose(d, "Exit1");
      });
    };
    // The quote ticks' balloons, and those shown late: a balloon right after the accepted
    // add and its switch to version 3 that repeats a refused one.
    auto read = [](const SimRun& r, Quotes& ticks, Quotes& late, std::size_t& refused) {
      const TraceLines shell = r.Ops("shell");
      std::optional<std::string> waiting;
      for (std::size_t i = 0; i < shell.size(); ++i) {
        const TraceLine& line = shell[i];
        if (line.Get("title") != "Did you know?" || !IsBalloon(line)) continue;
        if (line.Has("refused")) {
          ++refused;
          waiting = line.Get("info");
          ticks.emplace_back(line.Number("t"), line.Get("info"));
          continue;
        }
        const bool afterAdd = i >= 2 && shell[i - 1].Get("msg") == "NIM_SETVERSION" &&
                              shell[i - 2].Get("msg") == "NIM_ADD" && !shell[i - 1].Has("refused");
        if (afterAdd && waiting == line.Get("info"))
          late.emplace_back(line.Number("t"), line.Get("info"));
        else
          ticks.emplace_back(line.Number("t"), line.Get("info"));
        waiting.reset();
      }
    };
    Quotes whenReady, noneLate, ticks, late;
    std::size_t noneRefused = 0, refused = 0;
    read(run(0), whenReady, noneLate, noneRefused);
    ASSERT_GE(whenReady.size(), 4u);
    const SimRun busy = run(c.busyFor);
    read(busy, ticks, late, refused);
    EXPECT_EQ(ticks, whenReady) << "the deck and the schedule are untouched";
    EXPECT_EQ(refused, c.refusedQuotes);
    if (c.refusedQuotes == 0) {
      EXPECT_TRUE(late.empty());
    } else {
      ASSERT_EQ(late.size(), 1u) << "shown once, and only the latest";
      EXPECT_EQ(late[0].first, c.iconArrives);
      EXPECT_EQ(late[0].second, whenReady[c.refusedQuotes - 1].second);
    }
    EXPECT_EQ(pendingAfter, 2) << "each quote counted once, the late one too";
    EXPECT_FALSE(heldAfter);
    ExpectAddsAndDeletesAlternate(busy);
  }
}

// Only a refusal for want of the icon keeps a quote: a shell that restarts and forgets the
// icon between two quotes, or one that takes the icon and refuses the balloon, loses it as
// before, and the next quote is never preceded by an old one.
TEST_F(DesktopFaults, AQuoteIsKeptOnlyWhileTheIconIsBeingAddedAgain) {
  sim::SimOptions options = Options();
  bool heldWhileIconThere = true, heldAfterGivingUp = true;
  const SimRun run = RunLive(options, [&](sim::SimDesktop& d, TfrmSettings& form) {
    d.Wait(500);
    d.Options().shellRefuses = true;  // the icon is there, the balloon refused
    d.Wait(600);
    heldWhileIconThere = form.TrayIcon.BalloonHeld();
    d.TaskbarCreated();  // the shell restarts and goes on refusing: the retries give up
    d.Wait(200'000);
    Choose(d, "ellmemoreZanto1");
    d.Wait(100);
    heldAfterGivingUp = form.TrayIcon.BalloonHeld();
    d.Options().shellRefuses = false;
    d.TaskbarCreated();
    d.Wait(1000);
  });
  EXPECT_FALSE(heldWhileIconThere);
  EXPECT_FALSE(heldAfterGivingUp) << "no add was being tried any more";
  EXPECT_EQ(run.QuoteBalloons().size(), 2u) << "each quote sent once, none again at the re-add";
}

TEST_F(DesktopFaults, RetriesBackOffAndStopAfterACoupleOfMinutesThenARestartBringsTheIcon) {
  sim::SimOptions options = Options();
  options.shellRefuses = true;
  bool presentAfterRetries = true, presentAfterRestart = false;
  const SimRun run = RunLive(options, [&](sim::SimDesktop& d, TfrmSettings&) {
    d.Wait(600'000);
    d.Options().shellRefuses = false;
    d.Wait(600'000);
    presentAfterRetries = d.IconPresent();
    d.TaskbarCreated();
    presentAfterRestart = d.IconPresent();
  });
  // The add at start, then a probe and an add at 1, 3, 7, 15, 31, 63 and 127 s.
  std::vector<std::int64_t> expected = {0};
  for (std::int64_t at : {1000, 3000, 7000, 15'000, 31'000, 63'000, 127'000}) {
    expected.push_back(at);
    expected.push_back(at);
  }
  expected.push_back(1'200'000);  // nothing more until the shell restarts
  EXPECT_EQ(AddAttempts(run), expected);
  EXPECT_FALSE(presentAfterRetries);
  EXPECT_TRUE(presentAfterRestart);
  ExpectAddsAndDeletesAlternate(run);
}

TEST_F(DesktopFaults, AnAddAnsweredTooLateIsFoundThereAndNeverSentTwice) {
  sim::SimOptions options = Options();
  options.lateAnswers = 2;  // the add and the switch to version 3 are done, but said failed
  bool present = false;
  const SimRun run = RunLive(options, [&](sim::SimDesktop& d, TfrmSettings& form) {
    d.Wait(2000);
    present = d.IconPresent() && !form.TrayIcon.AddRetryPending();
  });
  EXPECT_TRUE(present);
  EXPECT_EQ(run.Shell("NIM_ADD").size(), 1u) << "the probe found the icon there";
  EXPECT_EQ(AddAttempts(run), (std::vector<std::int64_t>{0, 1000}));
  EXPECT_EQ(run.Shell("NIM_SETVERSION").size(), 2u) << "at the add, and after the probe";
}

TEST_F(DesktopFaults, AnUnreadableShellVersionIsReadAgainAtTheNextUse) {
  sim::SimOptions options = Options();
  options.shellVersion.reset();
  std::size_t deckAfterFirstTick = 0;
  const SimRun run = RunLive(options, [&](sim::SimDesktop& d, TfrmSettings& form) {
    d.Wait(1000);
    deckAfterFirstTick = form.QuoteDeck->Count();
    d.Options().shellVersion = kShell60;
    Choose(d, "ellmemoreZanto1");
    d.Wait(10);
    d.TaskbarCreated();
  });
  const auto requests = ShellRequests(run);
  ASSERT_GE(requests.size(), 5u);
  EXPECT_EQ(run.Shell("NIM_ADD")[0].Number("cbSize"), platform::NotifyIconData::kShortSize)
      << "unreadable counts as an old shell";
  EXPECT_EQ(requests[1], "NIM_MODIFY") << "no version switch while the version is unknown";
  EXPECT_EQ(deckAfterFirstTick, 4u) << "the first tick took its quote without a balloon";
  EXPECT_EQ(std::count_if(run.lines.begin(), run.lines.end(), IsBalloon), 1)
      << "once readable, the next quote is sent";
  EXPECT_EQ(run.Shell("NIM_SETVERSION").size(), 1u) << "and the re-added icon switches";
  EXPECT_TRUE(run.Ops("errorbox").empty());
}

TEST_F(DesktopFaults, NoTimersLeftAtAnyMomentIsReportedOnceAndTheProgramGoesOn) {
  // The user's and the clock's steps; whether each one needs a new timer from the system,
  // and whether asking for the next quote afterwards brings the quotes back. A failed change
  // stops the quote timer with the new interval kept; asking again, even for the same
  // 10 ms after a failed Tell me more, starts it again.
  struct Step {
    const char* what;
    bool needsTimer;
    std::function<void(sim::SimDesktop&)> run;
  };
  const std::vector<Step> steps = {
      {"the first tick", true, [](sim::SimDesktop& d) { d.Wait(1000); }},
      {"a later tick", true, [](sim::SimDesktop& d) { d.Wait(kTwoDays); }},
      {"Tell me more", true, [](sim::SimDesktop& d) { Choose(d, "ellmemoreZanto1"); }},
      {"its tick", true, [](sim::SimDesktop& d) { d.Wait(10); }},
      {"the settings window", false, [](sim::SimDesktop& d) { Choose(d, "Settings1"); }},
      {"closing it", false, [](sim::SimDesktop& d) { d.CloseMainWindow(); }},
  };
  for (std::size_t broken = 0; broken < steps.size(); ++broken) {
    SCOPED_TRACE(steps[broken].what);
    bool windowCameUp = false;
    std::int64_t askedAt = 0;
    const SimRun run = RunLive(Options(), [&](sim::SimDesktop& d, TfrmSettings&) {
      for (std::size_t i = 0; i < steps.size(); ++i) {
        // The system runs out of timers for just this step.
        d.Options().timerLimit = i == broken ? std::optional<std::size_t>(0) : std::nullopt;
        steps[i].run(d);
      }
      d.Options().timerLimit.reset();
      Choose(d, "ellmemoreZanto1");
      askedAt = static_cast<std::int64_t>(d.Now());
      d.Wait(kTwoDays + 10);
      Choose(d, "AboutZanto1");
      windowCameUp = d.MainWindowVisible();
    });
    const auto boxes = run.Ops("errorbox");
    ASSERT_EQ(boxes.size(), steps[broken].needsTimer ? 1u : 0u);
    if (!boxes.empty()) {
      EXPECT_EQ(boxes[0].Get("text"), "Not enough timers available.");
    }
    EXPECT_TRUE(windowCameUp);
    const auto after = std::count_if(run.lines.begin(), run.lines.end(), [&](const TraceLine& l) {
      return IsBalloon(l) && l.Number("t") >= askedAt;
    });
    EXPECT_GE(after, 2) << "the quote at once and the one 24-48 hours later";
  }
}

TEST_F(DesktopFaults, AHundredShellRestartsLeaveOneIconAndTheQuotesGoingOn) {
  bool presentEveryTime = true;
  const SimRun run = RunLive(Options(), [&](sim::SimDesktop& d, TfrmSettings&) {
    for (int i = 0; i < 100; ++i) {
      d.TaskbarCreated();
      presentEveryTime = presentEveryTime && d.IconPresent();
      d.Wait(i % 2 ? 3'600'000 : 1000);
      if (i == 40) Choose(d, "Settings1");
      if (i == 60) d.CloseMainWindow();
    }
    Choose(d, "Exit1");
  });
  EXPECT_TRUE(presentEveryTime);
  EXPECT_EQ(run.Shell("NIM_ADD").size(), 101u);
  EXPECT_EQ(run.Shell("NIM_SETVERSION").size(), 101u);
  EXPECT_EQ(run.Shell("NIM_DELETE").size(), 101u) << "a hundred restarts and the exit";
  ExpectAddsAndDeletesAlternate(run);
  EXPECT_GE(run.QuoteBalloons().size(), 2u);
  EXPECT_TRUE(run.Ops("errorbox").empty());
  EXPECT_TRUE(run.Exited());
}

TEST_F(DesktopFaults, AMenuAnsweredWithAnItemDestroyedWhileItWasOpenRunsNothing) {
  // Each: the item the user picks, what goes while the menu is open, and the caption the
  // menu no longer has when it opens again (none: the icon has no menu left to open).
  struct Case {
    const char* pick;
    std::function<void(TfrmSettings&)> destroy;
    const char* gone;
  };
  const Case cases[] = {
      {"Settings1", [](TfrmSettings& f) { f.DestroyComponent(f.Settings1); }, "&Settings..."},
      {"Exit1", [](TfrmSettings& f) { f.DestroyComponent(f.Exit1); }, "E&xit"},
      {"Exit1", [](TfrmSettings& f) { f.DestroyComponent(f.PopupMenu1); }, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.gone ? c.gone : "the whole menu");
    sim::SimOptions options = Options();
    TfrmSettings* program = nullptr;
    bool once = true;
    options.whileMenuOpen = [&] {
      if (program && once) c.destroy(*program);
      once = false;
    };
    bool shown = true;
    const SimRun run = RunLive(options, [&](sim::SimDesktop& d, TfrmSettings& form) {
      program = &form;
      d.Wait(1000);
      Choose(d, c.pick);
      shown = d.MainWindowVisible();
      Choose(d, "AboutZanto1");  // the menu as it is now
      d.Wait(kTwoDays);
    });
    EXPECT_FALSE(shown) << "the destroyed item's command ran";
    EXPECT_FALSE(run.Exited());
    EXPECT_TRUE(run.Ops("errorbox").empty());
    const auto popups = run.Ops("popup");
    if (c.gone) {
      ASSERT_EQ(popups.size(), 2u) << "the menu opens again without the item";
      const std::vector<std::string> items = popups[1].Strings("items");
      EXPECT_EQ(std::find(items.begin(), items.end(), c.gone), items.end());
      EXPECT_EQ(items.size(), 4u) << "every other item is still there";
      EXPECT_EQ(run.Ops("window").size(), 1u) << "the items left still work";
    } else {
      EXPECT_EQ(popups.size(), 1u) << "without its menu the icon opens none";
      EXPECT_TRUE(run.Ops("window").empty());
    }
    EXPECT_GE(run.QuoteBalloons().size(), 2u);
  }
}

}  // namespace
}  // namespace zanto::test
