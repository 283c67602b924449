// The whole program over the simulated desktop, as a user and the shell meet it.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "support/constants.h"
#include "support/live_run.h"
#include "support/program_fixture.h"
#include "support/sim_run.h"
#include "toolkit/random_source.h"
#include "tray/tray_icon.h"

namespace zanto::test {
namespace {

class Program : public ProgramTest {
 protected:
  SimRun Run(const std::string& script) const { return RunSim(Options(), script); }
  static std::string TenQuotes() { return NumberedQuotes(10); }
};

TEST_F(Program, StartsInTheTrayAndShowsTheFirstQuoteAfterOneSecond) {
  Quotes(TenQuotes());
  const SimRun run = Run("wait 999\nwait 1\nwait " + std::to_string(kTwoDays) + "\n");
  ASSERT_GE(run.lines.size(), 5u);
  const TraceLine& add = run.lines[0];
  EXPECT_TRUE(add.Is("shell"));
  EXPECT_EQ(add.Get("msg"), "NIM_ADD");
  EXPECT_EQ(add.Number("cbSize"), platform::NotifyIconData::kLongSize);
  EXPECT_EQ(add.Number("uFlags"), kAddFlags);
  EXPECT_EQ(add.Number("uCallbackMessage"), TTrayIcon::kCallbackMessage);
  EXPECT_EQ(run.lines[1].Get("msg"), "NIM_SETVERSION");
  EXPECT_EQ(run.lines[1].Number("uTimeout"), 3);
  EXPECT_TRUE(run.Ops("window").empty()) << "nothing but the icon is shown at start";
  EXPECT_TRUE(run.Ops("errorbox").empty());

  const auto balloons = run.Shell("NIM_MODIFY");
  ASSERT_EQ(balloons.size(), 2u);
  EXPECT_EQ(balloons[0].Number("t"), 1000);
  EXPECT_EQ(balloons[0].Get("title"), "Did you know?");
  EXPECT_EQ(balloons[0].Number("uTimeout"), 10000);
  EXPECT_EQ(balloons[0].Number("dwInfoFlags"), platform::niif::Info);
  const std::int64_t gap = balloons[1].Number("t") - balloons[0].Number("t");
  EXPECT_GE(gap, static_cast<std::int64_t>(kDay));
  EXPECT_LT(gap, static_cast<std::int64_t>(kTwoDays));
  EXPECT_NE(balloons[0].Get("info"), balloons[1].Get("info"));
}

// The moments and quotes of the first ticks exactly as the draws give them, worked out here
// step by step: the deck's fixed exchanges when it runs empty, then a front quote, then an
// interval of a day plus a draw below a day.
TEST_F(Program, EveryQuoteComesAtTheMomentAndInTheOrderTheDrawsGive) {
  constexpr auto kDayMs = static_cast<std::uint32_t>(kDay);  // what the draws take
  constexpr std::size_t kQuotes = 3, kTicks = 8;
  Quotes(NumberedQuotes(kQuotes));
  TRandomSource random;
  random.Seed(Options().utcMillisecondsOfDay);
  std::vector<std::pair<std::int64_t, std::string>> expected;
  std::vector<std::uint32_t> deck;
  std::int64_t at = 1000;
  for (std::size_t tick = 0; tick < kTicks; ++tick) {
    if (deck.empty()) {
      for (std::uint32_t i = 0; i < kQuotes; ++i) deck.push_back(i);
      for (std::size_t pass = 0; pass < 2 * kQuotes + 1; ++pass) {
        const std::uint32_t a = random.Below(kQuotes);
        const std::uint32_t b = random.Below(kQuotes);
        std::swap(deck[a], deck[b]);
      }
    }
    expected.emplace_back(at, "Quote " + std::to_string(deck.front()));
    deck.erase(deck.begin());
    const std::uint32_t interval = kDayMs + random.Below(kDayMs);
    EXPECT_GE(interval, kDay);
    EXPECT_LT(interval, kTwoDays);
    at += interval;
  }
  const SimRun run = Run("wait " + std::to_string(expected.back().first) + "\n");
  std::vector<std::pair<std::int64_t, std::string>> shown;
  for (const TraceLine& line : run.Shell("NIM_MODIFY"))
    if (line.Get("title") == "Did you know?")
      shown.emplace_back(line.Number("t"), line.Get("info"));
  EXPECT_EQ(shown, expected);
}

// What the user sees of the schedule when the computer sleeps: the hours asleep count, a
// quote that fell due while asleep comes once on waking and starts the next interval there,
// and the draws, the deck and every interval are those of a computer that never slept.
TEST_F(Program, TheHoursAsleepCountAndAQuoteDueMeanwhileComesOnceOnWaking) {
  constexpr auto kDayMs = static_cast<std::uint32_t>(kDay);
  constexpr std::uint32_t kQuotes = 4;
  Quotes(NumberedQuotes(kQuotes));
  struct Step {
    bool asleep;
    std::uint64_t ms;
  };
  // The moments and quotes a user would see: the first quote is due a second after start,
  // each tick draws the next interval from its own moment.
  std::size_t expectedOnWaking = 0;
  auto expect = [&](const std::vector<Step>& steps) {
    expectedOnWaking = 0;
    TRandomSource random;
    random.Seed(Options().utcMillisecondsOfDay);
    std::vector<std::uint32_t> deck;
    std::vector<std::pair<std::int64_t, std::string>> seen;
    std::uint64_t now = 0, due = 1000;
    auto tick = [&](std::uint64_t at) {
      if (deck.empty()) {
        for (std::uint32_t i = 0; i < kQuotes; ++i) deck.push_back(i);
        for (std::uint32_t pass = 0; pass < 2 * kQuotes + 1; ++pass) {
          const std::uint32_t a = random.Below(kQuotes);
          const std::uint32_t b = random.Below(kQuotes);
          std::swap(deck[a], deck[b]);
        }
      }
      seen.emplace_back(at, "Quote " + std::to_string(deck.front()));
      deck.erase(deck.begin());
      due = at + kDayMs + random.Below(kDayMs);
    };
    for (const Step& step : steps) {
      if (step.asleep) {
        now += step.ms;
        if (due <= now) {
          tick(now);
          ++expectedOnWaking;
        }
      } else {
        now += step.ms;
        while (due <= now) tick(due);  // each tick moves `due` on
      }
    }
    return seen;
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
    std::size_t quotesOnWaking;  // kSome: as the draws fall
  };
  constexpr std::size_t kSome = ~std::size_t{0};
  const std::vector<Case> cases = {
      {"a night that ends before the quote is due",
       {{false, 1000}, {true, 8 * kHour}, {false, 3 * kDay}},
       0},
      {"asleep across the due moment",
       {{false, 1000}, {false, kHour}, {true, 2 * kDay}, {false, 3 * kDay}},
       1},
      {"ten days asleep: one quote, not five",
       {{false, 1000}, {true, 10 * kDay}, {false, 4 * kDay}},
       1},
      {"asleep before the first quote", {{false, 500}, {true, kHour}, {false, 3 * kDay}}, 1},
      {"nights of a laptop used eight hours a day",
       {{false, 1000},
        {false, 8 * kHour},
        {true, 16 * kHour},
        {false, 8 * kHour},
        {true, 16 * kHour},
        {false, 8 * kHour},
        {true, 16 * kHour},
        {false, 8 * kHour},
        {true, 16 * kHour}},
       kSome},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string script;
    for (const Step& step : c.steps)
      script += (step.asleep ? "suspend " : "wait ") + std::to_string(step.ms) + "\n";
    const SimRun run = Run(script);
    std::vector<std::pair<std::int64_t, std::string>> shown;
    for (const TraceLine& line : run.Shell("NIM_MODIFY"))
      if (line.Get("title") == "Did you know?")
        shown.emplace_back(line.Number("t"), line.Get("info"));
    EXPECT_EQ(shown, expect(c.steps));
    // Asleep, nothing happens; awake, the desktop says so at the moment it wakes, and what
    // fell due comes right after.
    std::size_t onWaking = 0;
    for (std::size_t i = 0; i < run.lines.size(); ++i) {
      const TraceLine& line = run.lines[i];
      if (!line.Is("power") || line.Get("do") != "suspend") continue;
      ASSERT_LT(i + 1, run.lines.size());
      const TraceLine& awake = run.lines[i + 1];
      EXPECT_EQ(awake.Get("do"), "resume");
      for (std::size_t j = i + 2;
           j < run.lines.size() && run.lines[j].Number("t") == awake.Number("t"); ++j)
        if (IsBalloon(run.lines[j])) ++onWaking;
    }
    EXPECT_EQ(onWaking, expectedOnWaking);
    if (c.quotesOnWaking != kSome) {
      EXPECT_EQ(onWaking, c.quotesOnWaking);
    }
  }
}

TEST_F(Program, TheSameStartTimeGivesTheSameQuotesAndEachPassShowsEveryQuoteOnce) {
  Quotes(TenQuotes());
  const std::string script = "wait 1000\nwait " + std::to_string(29 * kTwoDays) + "\n";
  const SimRun first = Run(script);
  EXPECT_EQ(first.lines.size(), Run(script).lines.size());
  const auto texts = first.BalloonTexts();
  EXPECT_EQ(texts, Run(script).BalloonTexts());
  ASSERT_GE(texts.size(), 20u);
  for (std::size_t pass = 0; pass < 2; ++pass) {
    const std::set<std::string> shown(texts.begin() + pass * 10, texts.begin() + pass * 10 + 10);
    EXPECT_EQ(shown.size(), 10u) << "pass " << pass;
  }
  sim::SimOptions other = Options();
  other.utcMillisecondsOfDay += 1;
  EXPECT_NE(RunSim(other, script).BalloonTexts(), texts);
}

TEST_F(Program, TellMeMoreShowsTheNextQuoteAtOnceAndTwiceWithinTenMillisecondsOnlyOnce) {
  Quotes(TenQuotes());
  const SimRun run =
      Run("wait 1000\nmenu ellmemoreZanto1\ntray contextmenu\nwait 5\nmenu ellmemoreZanto1\n"
          "tray contextmenu\nwait 5\nwait " +
          std::to_string(kDay - 1) + "\n");
  const auto balloons = run.Shell("NIM_MODIFY");
  ASSERT_EQ(balloons.size(), 2u) << "the second command left the countdown running";
  EXPECT_EQ(balloons[1].Number("t"), 1010);
  EXPECT_TRUE(run.Ops("window").empty()) << "the window is not shown";
}

TEST_F(Program, QuotesFileProblemsAreReportedOnceAndTheProgramGoesOn) {
  {
    const SimRun run = Run("wait 1000\nmenu Settings1\ntray contextmenu\ndump\n");
    ASSERT_EQ(run.BalloonTexts().size(), 1u);
    EXPECT_EQ(run.BalloonTexts()[0], "Ai. Quotes.txt could not be found!");
    EXPECT_TRUE(run.Ops("errorbox").empty());
    EXPECT_EQ(run.Ops("dump")[0].Number("rows"), 1);
  }
  {
    sim::SimOptions locked = Options();
    locked.failOpen = true;
    Quotes(TenQuotes());
    const SimRun run = RunSim(locked, "wait 1000\nmenu Settings1\ntray contextmenu\ndump\n");
    const auto boxes = run.Ops("errorbox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Get("caption"), "Zanto");
    EXPECT_EQ(boxes[0].Get("text"), "Cannot open file " + dir.File("quotes.txt") + ".");
    EXPECT_TRUE(run.BalloonTexts().empty()) << "no quotes, no balloon";
    EXPECT_EQ(run.Ops("dump")[0].Number("rows"), 0);
    EXPECT_EQ(run.Ops("window").size(), 1u) << "the program went on";
  }
  {
    sim::SimOptions failing = Options();
    failing.failReadAfter = 5;
    const SimRun run = RunSim(failing, "wait 1000\n");
    ASSERT_EQ(run.Ops("errorbox").size(), 1u);
    EXPECT_EQ(run.Ops("errorbox")[0].Get("text"),
              "Cannot read file " + dir.File("quotes.txt") + ".");
    EXPECT_TRUE(run.BalloonTexts().empty()) << "partly read text is never shown";
  }
  {
    Quotes("");
    const SimRun run = Run("wait 1000\nmenu ellmemoreZanto1\ntray contextmenu\nwait 10\n");
    EXPECT_TRUE(run.Ops("errorbox").empty());
    EXPECT_TRUE(run.BalloonTexts().empty());
  }
}

TEST_F(Program, AUsersOwnQuotesFileWinsOverTheOneBesideTheProgramWhereTheDesktopHasOne) {
  Quotes("Beside the program\r\n");
  dir.Write("mine.txt", "My own\r\n");
  sim::SimOptions options = Options();
  for (const auto& [own, expected] : {std::pair{dir.File("mine.txt"), "My own"},
                                      {dir.File("missing.txt"), "Beside the program"},
                                      {std::string(), "Beside the program"}}) {
    options.userQuotesPath = own;
    EXPECT_EQ(RunSim(options, "wait 1000\n").QuoteBalloons(), std::vector<std::string>{expected})
        << own;
  }
  std::filesystem::create_directory(dir.File("folder.txt"));
  options.userQuotesPath = dir.File("folder.txt");
  EXPECT_EQ(RunSim(options, "wait 1000\n").QuoteBalloons(),
            std::vector<std::string>{"Beside the program"})
      << "a folder of that name is no file";
}

TEST_F(Program, TheQuotesPageListsEveryLineInFileOrderAndBalloonsCutLongQuotes) {
  std::string text;
  for (int i = 0; i < 1000; ++i)
    text += (i % 7 == 3 ? std::string() : "Line " + std::to_string(i)) + "\n";
  text.replace(0, 6, std::string(300, 'x') + "\n");
  Quotes(text);
  const SimRun run = Run("menu Settings1\ntray contextmenu\npage 1\ndump\nwait 1000\n");
  const TraceLine dump = run.Ops("dump")[0];
  EXPECT_EQ(dump.Number("rows"), 1001);
  EXPECT_EQ(dump.Number("page"), 1);
  std::string rows = "\"";
  rows += std::string(300, 'x');
  rows += "\",\"\",\"Line 1\"";
  EXPECT_NE(dump.Get("firstRows").find(rows), std::string::npos)
      << "rows hold whole quotes, empty lines as empty rows";
}

TEST_F(Program, TheWindowComesFromTheTrayOnTheChosenPageAndGoesBackByEveryWay) {
  Quotes(TenQuotes());
  const SimRun run =
      Run("menu AboutZanto1\ntray contextmenu\n"      // first show: About, restored
          "menu Settings1\ntray contextmenu\ndump\n"  // visible: only the page changes
          "close\ndump\n"
          "menu Settings1\ntray contextmenu\nminimize\n"
          "menu Settings1\ntray contextmenu\nclick BitBtn1\n"
          "menu Settings1\ntray contextmenu\nclick BitBtn2\n"
          "menu Settings1\ntray contextmenu\nkey escape\ndump\nkey enter\ndump\n");
  const auto windows = run.Ops("window");
  ASSERT_EQ(windows.size(), 10u);
  EXPECT_EQ(windows[0].Get("do"), "show");
  EXPECT_EQ(windows[0].Get("state"), "normal");
  EXPECT_EQ(windows[0].Number("page"), 2);
  for (std::size_t i = 1; i < windows.size(); i += 2) EXPECT_EQ(windows[i].Get("do"), "hide");
  EXPECT_EQ(windows[2].Number("page"), 0);
  const auto dumps = run.Ops("dump");
  EXPECT_EQ(dumps[0].Number("page"), 0);
  EXPECT_EQ(dumps[0].Get("visible"), "true");
  EXPECT_EQ(dumps[1].Get("visible"), "false");
  EXPECT_EQ(dumps[2].Get("visible"), "true") << "Escape does nothing";
  EXPECT_EQ(dumps[3].Get("visible"), "false") << "Enter presses OK";
  // The first show gives the application its taskbar entry: minimise, show, restore.
  const auto taskbar = run.Ops("taskbar");
  ASSERT_GE(taskbar.size(), 5u);
  EXPECT_EQ(taskbar[2].Get("do"), "minimize");
  EXPECT_EQ(taskbar[3].Get("do"), "show");
  EXPECT_EQ(taskbar[4].Get("do"), "restore");
  EXPECT_FALSE(run.Exited()) << "hiding never ends the program";
}

TEST_F(Program, EveryWayBackToTheTrayTakesTheTaskbarEntryAlong) {
  Quotes(TenQuotes());
  for (const char* way : {"close", "minimize", "click BitBtn1", "click BitBtn2", "key enter"}) {
    SCOPED_TRACE(way);
    const SimRun run = Run(std::string("menu Settings1\ntray contextmenu\n") + way + "\ndump\n");
    const auto taskbar = run.Ops("taskbar");
    ASSERT_FALSE(taskbar.empty());
    EXPECT_EQ(taskbar.back().Get("do"), "hide") << "the entry goes last";
    EXPECT_EQ(run.Ops("dump")[0].Get("visible"), "false");
    const auto windows = run.Ops("window");
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[1].Get("do"), "hide");
  }
}

TEST_F(Program, TheTrayMenuOffersItsFourCommandsWithTheirAccessKeys) {
  Quotes(TenQuotes());
  const SimRun run = Run("tray contextmenu\n");
  ASSERT_EQ(run.Ops("popup").size(), 1u);
  EXPECT_EQ(run.Ops("popup")[0].Strings("items"),
            (std::vector<std::string>{"&Tell me more, Zanto!", "-", "&Settings...",
                                      "About &Zanto...", "E&xit"}));
  EXPECT_EQ(run.Ops("popup")[0].Get("menu"), "PopupMenu1");
}

// One Zanto per session: a start while one runs is handed to it.
TEST_F(Program, AStartWhileZantoRunsHandsOverAndEndsBeforeTheIconOrTheQuotesFile) {
  Quotes(TenQuotes());
  sim::SimOptions options = Options();
  options.anotherZantoRuns = true;
  bool opened = false;
  options.beforeOpen = [&](const std::string&) { opened = true; };
  const SimRun run = RunSim(options, "wait 5000\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_FALSE(opened) << "the quotes file is the running Zanto's";
  ASSERT_EQ(run.lines.size(), 1u) << "nothing at all but the end: no icon, no quote, no window";
  EXPECT_TRUE(run.Exited());
}

TEST_F(Program, AStartWhileRunningBringsTheWindowToTheFrontOnTheGeneralPage) {
  Quotes(TenQuotes());
  const SimRun run =
      Run("wait 1000\nlaunch\ndump\n"                           // from the tray
          "menu AboutZanto1\ntray contextmenu\nlaunch\ndump\n"  // shown on About, behind
          "close\nlaunch\nminimize\nlaunch\ndump\n"             // hidden both ways
          "wait " +
          std::to_string(kDay - 1000) + "\n");
  EXPECT_EQ(run.Shell("NIM_ADD").size(), 1u) << "one icon";
  EXPECT_EQ(run.QuoteBalloons().size(), 1u) << "a start brings no quote of its own";
  const auto windows = run.Ops("window");
  ASSERT_EQ(windows.size(), 5u);  // shown, hidden by close, shown, hidden by minimise, shown
  for (std::size_t i : {0u, 2u, 4u}) {
    EXPECT_EQ(windows[i].Get("do"), "show");
    EXPECT_EQ(windows[i].Number("page"), 0);
    EXPECT_EQ(windows[i].Get("state"), "normal");
  }
  for (const TraceLine& dump : run.Ops("dump")) {
    EXPECT_EQ(dump.Get("visible"), "true");
    EXPECT_EQ(dump.Number("page"), 0);
  }
  std::size_t raised = 0;
  for (const TraceLine& line : run.Ops("foreground"))
    if (line.Get("window") == "TfrmSettings") ++raised;
  EXPECT_EQ(raised, 4u) << "each start raises the window, also one already shown";
  EXPECT_FALSE(run.Exited());
}

TEST_F(Program, HandedOverCommandsAreTheTrayMenusOwn) {
  namespace handover = platform::handover;
  Quotes(TenQuotes());
  int pageAfterAbout = -1, pageAfterSettings = -1;
  bool visibleAfterUnknown = true;
  const SimRun run = RunLive(Options(), [&](sim::SimDesktop& desktop, TfrmSettings& form) {
    desktop.Wait(1000);
    desktop.HandOver(handover::TellMeMore);
    desktop.Wait(10);
    desktop.HandOver(99);  // what a newer Zanto might hand over: nothing happens
    visibleAfterUnknown = desktop.MainWindowVisible();
    desktop.HandOver(handover::About);
    pageAfterAbout = desktop.ActivePage();
    desktop.HandOver(handover::Settings);
    pageAfterSettings = desktop.ActivePage();
    EXPECT_TRUE(form.Visible());
    desktop.HandOver(handover::Exit);
  });
  EXPECT_EQ(run.QuoteBalloons().size(), 2u) << "Tell me more shows the next quote at once";
  EXPECT_EQ(run.Shell("NIM_MODIFY").at(1).Number("t"), 1010);
  EXPECT_FALSE(visibleAfterUnknown);
  EXPECT_EQ(pageAfterAbout, 2);
  EXPECT_EQ(pageAfterSettings, 0);
  EXPECT_EQ(run.Shell("NIM_DELETE").size(), 1u) << "Exit removes the icon";
  EXPECT_EQ(run.lines.back().Number("t"), 1010);
}

// Win+B, the arrows and Enter open the menu from the keyboard; when it closes, the keyboard
// goes back to the notification area, unless the choice brought the window up.
TEST_F(Program, AMenuOpenedFromTheKeyboardGivesTheFocusBackToTheNotificationArea) {
  Quotes(TenQuotes());
  struct Case {
    const char* answer;
    std::size_t focusReturns;
  };
  for (const Case& c : {Case{"none", 1}, Case{"ellmemoreZanto1", 1}, Case{"Settings1", 0},
                        Case{"AboutZanto1", 0}, Case{"Exit1", 0}}) {
    SCOPED_TRACE(c.answer);
    const SimRun run = Run(std::string("menu ") + c.answer + "\ntray keyselect\nwait 20\n");
    ASSERT_EQ(run.Ops("popup").size(), 1u);
    const auto focus = run.Shell("NIM_SETFOCUS");
    ASSERT_EQ(focus.size(), c.focusReturns);
    for (const TraceLine& line : focus) {
      EXPECT_EQ(line.Number("uFlags"), 0);
      EXPECT_EQ(line.Number("uID"), 1);
    }
  }
  const SimRun right = Run("tray contextmenu\n");
  EXPECT_TRUE(right.Shell("NIM_SETFOCUS").empty()) << "a mouse user's menu leaves the focus be";
  sim::SimOptions old = Options();
  old.shellVersion = 0x40000;
  EXPECT_TRUE(RunSim(old, "tray keyselect\ntray rbuttondown\ntray rbuttonup\n")
                  .Shell("NIM_SETFOCUS")
                  .empty())
      << "shells before 5.0 do not know the request";
}

TEST_F(Program, TheStartShowStateDecidesHowTheWindowFirstComesUp) {
  Quotes(TenQuotes());
  for (const auto& [show, state] : {std::pair{3, "maximized"}, {7, "normal"}, {1, "normal"}}) {
    sim::SimOptions o = Options();
    o.showCommand = show;
    const SimRun run = RunSim(o, "menu Settings1\ntray contextmenu\n");
    ASSERT_EQ(run.Ops("window").size(), 1u);
    EXPECT_EQ(run.Ops("window")[0].Get("state"), state) << "show command " << show;
    EXPECT_TRUE(run.Ops("window")[0].Number("t") == 0);
  }
}

TEST_F(Program, ExitOrAPoliteEndRequestEndsTheProgramFromEitherStateAndRemovesTheIcon) {
  Quotes(TenQuotes());
  for (const char* script :
       {"wait 1000\nmenu Exit1\ntray contextmenu\nwait 1000\n",
        "menu Settings1\ntray contextmenu\nexit\nwait 1000\n", "wait 1000\ntaskkill\nwait 1000\n",
        "menu Settings1\ntray contextmenu\ntaskkill\nwait 1000\n"}) {
    const SimRun run = Run(script);
    ASSERT_TRUE(run.Exited()) << script;
    ASSERT_GE(run.lines.size(), 2u);
    EXPECT_EQ(run.lines[run.lines.size() - 2].Get("msg"), "NIM_DELETE");
    EXPECT_EQ(run.Shell("NIM_DELETE").size(), 1u);
    EXPECT_TRUE(run.Ops("errorbox").empty());
    const auto windows = run.Ops("window");
    EXPECT_TRUE(windows.empty() || windows.back().Get("do") == "hide")
        << "a shown window goes with the program";
  }
}

TEST_F(Program, TheSessionEndIsNeverRefusedAndEndsTheProgramWithNothingShown) {
  Quotes(TenQuotes());
  for (const char* before : {"", "menu Settings1\ntray contextmenu\n"}) {
    const SimRun run = Run(std::string(before) + "queryendsession\ndump\nendsession\n");
    const auto answers = run.Ops("endsession");
    ASSERT_EQ(answers.size(), 3u) << "every window answers";
    for (const auto& a : answers) EXPECT_EQ(a.Number("answer"), 1);
    EXPECT_EQ(run.Ops("dump")[0].Get("visible"), *before ? "true" : "false")
        << "the query hides nothing";
    EXPECT_EQ(run.Shell("NIM_DELETE").size(), 1u);
    EXPECT_TRUE(run.Exited());
    EXPECT_TRUE(run.Ops("errorbox").empty());
  }
  const SimRun cancelled = Run("queryendsession\n");
  EXPECT_FALSE(cancelled.Exited()) << "a query alone ends nothing";
  // The program takes its icon away itself, whether or not the tray window hears of the end.
  bool present = true;
  const SimRun mainOnly = RunLive(Options(), [&](sim::SimDesktop& d, TfrmSettings&) {
    d.Wait(1000);
    d.EndSession(sim::SimDesktop::kMainWindowOnly);
    present = d.IconPresent();
  });
  EXPECT_FALSE(present);
  EXPECT_EQ(mainOnly.Shell("NIM_DELETE").size(), 1u);
  EXPECT_TRUE(mainOnly.Exited());
}

TEST_F(Program, OlderShellsAndAnUnreadableVersionGetTheShortRecordAndNoBalloons) {
  Quotes(TenQuotes());
  for (std::optional<std::uint32_t> version :
       {std::optional<std::uint32_t>(kShell471), std::optional<std::uint32_t>()}) {
    sim::SimOptions o = Options();
    o.shellVersion = version;
    const SimRun run = RunSim(o, "wait 1000\ntray rbuttondown\ntray rbuttonup\ntray contextmenu\n");
    EXPECT_EQ(run.lines[0].Number("cbSize"), platform::NotifyIconData::kShortSize);
    EXPECT_TRUE(run.Shell("NIM_SETVERSION").empty());
    EXPECT_TRUE(run.Shell("NIM_MODIFY").empty());
    EXPECT_EQ(run.Ops("popup").size(), 2u) << "the button's release and the request each open it";
  }
}

TEST_F(Program, WithNoTimersLeftTheUserIsToldAndTheProgramGoesOn) {
  Quotes(TenQuotes());
  sim::SimOptions o = Options();
  o.timerLimit = 0;
  const SimRun run = RunSim(o, "wait 5000\nmenu Settings1\ntray contextmenu\n");
  ASSERT_EQ(run.Ops("errorbox").size(), 1u);
  EXPECT_EQ(run.Ops("errorbox")[0].Get("text"), "Not enough timers available.");
  EXPECT_EQ(run.Ops("window").size(), 1u);
}

TEST_F(Program, BetweenTwoQuotesNothingWakesTheProgram) {
  Quotes(TenQuotes());
  std::uint64_t ticks = 0;
  const SimRun run = RunSim(Options(), "wait " + std::to_string(30 * kDay) + "\n",
                            [&](const sim::SimDesktop& d) { ticks = d.TimerTicks(); });
  EXPECT_EQ(ticks, run.BalloonTexts().size());
  EXPECT_GE(ticks, 15u);
}

TEST_F(Program, ABadScenarioLineStopsWithStatusTwoNamingTheLine) {
  Quotes(TenQuotes());
  for (const char* bad : {"jump 5", "wait soon", "tray 1x", "click Nothing", "page 3", "key space",
                          "tray contextmenu shift,hyper"}) {
    const SimRun run = Run(std::string("wait 1000\n# fine\n\n") + bad + "\nwait 1000\n");
    EXPECT_EQ(run.status, 2) << bad;
    EXPECT_NE(run.errors.find("line 4"), std::string::npos) << run.errors;
    EXPECT_EQ(run.BalloonTexts().size(), 1u) << "the lines before it ran";
  }
}

}  // namespace
}  // namespace zanto::test
