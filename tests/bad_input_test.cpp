// Every bad quotes file we could think of, run through the whole program over the simulated
// desktop: none may crash it, show garbage or raise more than one error box, and the program
// goes on with whatever quotes it could take.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/constants.h"
#include "support/live_run.h"
#include "support/program_fixture.h"
#include "support/reference_lines.h"

namespace zanto::test {
namespace {

// A literal's bytes, NULs included.
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

std::vector<std::string> TQuoteList(const TfrmSettings& form) {
  std::vector<std::string> quotes;
  for (std::size_t i = 0; i < form.Quotes().Count(); ++i) quotes.emplace_back(form.Quotes()[i]);
  return quotes;
}

class BadInput : public ProgramTest {
 protected:
  // Starts the program with the file as it lies, lets two quotes come up (the first after a
  // second, the next asked for from the menu) and then two days pass.
  struct Outcome {
    SimRun run;
    std::vector<std::string> quotes;  // the quote list as loaded
    std::size_t rows = 0;             // rows of the Quotes page
    std::uint32_t interval = 0;       // the quote timer's interval at the end
  };
  Outcome Start(const sim::SimOptions& options) const {
    Outcome out;
    out.run = RunLive(options, [&](sim::SimDesktop& d, TfrmSettings& form) {
      d.Wait(1000);
      Choose(d, "ellmemoreZanto1");
      d.Wait(10);
      d.Wait(kTwoDays);
      out.quotes = TQuoteList(form);
      out.rows = form.ListView1.RowCount();
      out.interval = form.ZantoSaysTimer.Interval();
    });
    return out;
  }
  Outcome Start() const { return Start(Options()); }

  // The program went on: the schedule runs and the settings window still comes up.
  static void ExpectGoesOn(const Outcome& out) {
    EXPECT_GE(out.interval, kDay) << "the 24-48 hour schedule runs";
    EXPECT_LT(out.interval, kTwoDays);
    EXPECT_FALSE(out.run.Exited());
  }
};

TEST_F(BadInput, DegenerateFilesGiveTheirLinesQuietly) {
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::string> quotes;
  };
  const Case cases[] = {
      {"an empty file", "", {}},
      {"a lone CR", "\r", {""}},
      {"a lone LF", "\n", {""}},
      {"only NULs", std::string(4096, '\0'), {}},
      {"a NUL first", Bytes("\0Hidden\r\nAlso hidden\r\n"), {}},
      {"a NUL mid-line", Bytes("Seen\r\nHalf\0seen\r\nNever\r\n"), {"Seen", "Half"}},
      {"a byte-order mark alone: an empty UTF-8 file", "\xEF\xBB\xBF", {}},
      {"a UTF-16 mark alone", "\xFF\xFE", {}},
      {"every kind of break", "\r\r\n\n\r", {"", "", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dir.Write("quotes.txt", c.bytes);
    const Outcome out = Start();
    EXPECT_EQ(out.quotes, c.quotes);
    EXPECT_EQ(out.rows, c.quotes.size());
    EXPECT_TRUE(out.run.Ops("errorbox").empty());
    const std::vector<std::string> balloons = out.run.QuoteBalloons();
    if (c.quotes.empty()) {
      // Nothing to show, but the ticks still come and set the next interval.
      EXPECT_TRUE(balloons.empty());
    } else {
      ASSERT_GE(balloons.size(), 2u);
      for (const std::string& text : balloons)
        EXPECT_NE(std::find(c.quotes.begin(), c.quotes.end(), text), c.quotes.end()) << text;
    }
    ExpectGoesOn(out);
  }
}

TEST_F(BadInput, HugeFilesLoadWholeAndTheirBalloonsStayWithinBounds) {
  std::mt19937 random(7);
  std::string noisy(10u << 20, '\0');
  for (char& c : noisy) c = static_cast<char>(random());
  std::string noisyWithoutNul = noisy;
  for (char& c : noisyWithoutNul)
    if (c == '\0') c = ' ';
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"10 MB of random bytes", std::move(noisy)},
      {"10 MB of random bytes without a NUL", std::move(noisyWithoutNul)},
      {"one line of 50 MB", std::string(50u << 20, 'q')},
      {"two million empty lines", std::string(2'000'000, '\n')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dir.Write("quotes.txt", c.bytes);
    const std::vector<std::string> expected = ReferenceLines(c.bytes);
    const Outcome out = Start();
    ASSERT_EQ(out.quotes.size(), expected.size());
    EXPECT_TRUE(out.quotes == expected);
    EXPECT_EQ(out.rows, expected.size());
    EXPECT_TRUE(out.run.Ops("errorbox").empty());
    const std::vector<std::string> balloons = out.run.QuoteBalloons();
    ASSERT_GE(balloons.size(), 2u);
    for (const std::string& text : balloons) {
      EXPECT_LE(text.size(), 255u);
      const bool isPrefixOfAQuote =
          std::any_of(expected.begin(), expected.end(), [&](const std::string& quote) {
            return quote.compare(0, std::min<std::size_t>(quote.size(), 255), text) == 0;
          });
      EXPECT_TRUE(isPrefixOfAQuote) << "a balloon shows a quote's first 255 bytes";
    }
    ExpectGoesOn(out);
  }
}

TEST_F(BadInput, LongLinesAreCutOnlyInTheBalloon) {
  for (std::size_t length : {255u, 256u, 300u}) {
    SCOPED_TRACE(length);
    const std::string line(length, static_cast<char>('a' + length % 26));
    dir.Write("quotes.txt", line + "\r\n");
    const Outcome out = Start();
    ASSERT_EQ(out.quotes.size(), 1u);
    EXPECT_EQ(out.quotes[0], line) << "the list and the deck hold the whole line";
    const std::vector<std::string> balloons = out.run.QuoteBalloons();
    ASSERT_GE(balloons.size(), 2u);
    for (const std::string& text : balloons) EXPECT_EQ(text, line.substr(0, 255));
  }
}

TEST_F(BadInput, WhatDoesNotCountAsAFileGivesTheNotFoundQuote) {
  const std::vector<std::string> notFound = {"Ai. Quotes.txt could not be found!"};
  struct Case {
    const char* what;
    std::function<void()> make;
    bool counts;
  };
  const Case cases[] = {
      {"a directory named quotes.txt", [&] { std::filesystem::create_directory(QuotesPath()); },
       false},
      {"a file dated 1979",
       [&] {
         dir.Write("quotes.txt", "Old\r\n");
         dir.SetYear("quotes.txt", 1979);
       },
       false},
      {"a file dated 2108",
       [&] {
         dir.Write("quotes.txt", "Far ahead\r\n");
         dir.SetYear("quotes.txt", 2108);
       },
       false},
      {"a link to nothing", [&] { std::filesystem::create_symlink("gone.txt", QuotesPath()); },
       false},
      {"a file dated 1980",
       [&] {
         dir.Write("quotes.txt", "Just in time\r\n");
         dir.SetYear("quotes.txt", 1980);
       },
       true},
      {"a file dated 2107",
       [&] {
         dir.Write("quotes.txt", "Just in time\r\n");
         dir.SetYear("quotes.txt", 2107);
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(QuotesPath());
    c.make();
    const Outcome out = Start();
    EXPECT_EQ(out.quotes, c.counts ? std::vector<std::string>{"Just in time"} : notFound);
    EXPECT_GE(out.run.QuoteBalloons().size(), 3u) << "every tick shows the one entry";
    EXPECT_TRUE(out.run.Ops("errorbox").empty());
    ExpectGoesOn(out);
  }
}

TEST_F(BadInput, AFileThatCannotBeReadIsReportedOnceAndTheProgramGoesOn) {
  const std::string cannotOpen = "Cannot open file " + QuotesPath() + ".";
  struct Case {
    const char* what;
    std::function<void(sim::SimOptions&)> fault;
    std::string message;
  };
  const Case cases[] = {
      {"it vanishes between the existence test and the opening",
       [](sim::SimOptions& o) {
         o.beforeOpen = [](const std::string& path) { std::filesystem::remove(path); };
       },
       cannotOpen},
      {"a directory takes its place before the opening",
       [](sim::SimOptions& o) {
         o.beforeOpen = [](const std::string& path) {
           std::filesystem::remove(path);
           std::filesystem::create_directory(path);
         };
       },
       cannotOpen},
      {"it cannot be opened", [](sim::SimOptions& o) { o.failOpen = true; }, cannotOpen},
      {"it is a named pipe",
       [&](sim::SimOptions&) {
         std::filesystem::remove(QuotesPath());
         ASSERT_EQ(::mkfifo(QuotesPath().c_str(), 0600), 0);
       },
       cannotOpen},
      // The partly read text is never handed on: a clear message and no quotes instead.
      {"its read fails part-way", [](sim::SimOptions& o) { o.failReadAfter = 7; },
       "Cannot read file " + QuotesPath() + "."},
      {"its read fails at once", [](sim::SimOptions& o) { o.failReadAfter = 0; },
       "Cannot read file " + QuotesPath() + "."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(QuotesPath());
    dir.Write("quotes.txt", "One\r\nTwo\r\nThree\r\n");
    sim::SimOptions options = Options();
    c.fault(options);
    std::size_t rows = 99;
    bool shown = false;
    const SimRun run = RunLive(options, [&](sim::SimDesktop& d, TfrmSettings& form) {
      d.Wait(1000);
      Choose(d, "ellmemoreZanto1");
      d.Wait(kTwoDays);
      Choose(d, "Settings1");
      shown = d.MainWindowVisible();
      rows = form.ListView1.RowCount();
    });
    const auto boxes = run.Ops("errorbox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Get("caption"), "Zanto");
    EXPECT_EQ(boxes[0].Get("text"), c.message);
    EXPECT_TRUE(run.QuoteBalloons().empty()) << "no quotes, no balloon";
    EXPECT_EQ(rows, 0u);
    EXPECT_TRUE(shown) << "the program went on";
  }
}

TEST_F(BadInput, AnExecutablePathOfOver300CharactersFindsItsQuotesAndNamesThemWhole) {
  const std::string deep = dir.Deep(300);
  const std::string quotes = dir.Write(deep + "/quotes.txt", "From deep down\r\n");
  sim::SimOptions options = Options();
  options.executablePath = dir.File(deep + "/zanto.exe");
  ASSERT_GT(options.executablePath.size(), 300u);

  const Outcome found = Start(options);
  EXPECT_EQ(found.quotes, std::vector<std::string>{"From deep down"});
  EXPECT_TRUE(found.run.Ops("errorbox").empty());

  options.failOpen = true;
  const SimRun locked = RunLive(options, [](sim::SimDesktop& d, TfrmSettings&) { d.Wait(1000); });
  ASSERT_EQ(locked.Ops("errorbox").size(), 1u);
  EXPECT_EQ(locked.Ops("errorbox")[0].Get("text"), "Cannot open file " + quotes + ".");

  std::filesystem::remove(quotes);
  options.failOpen = false;
  const Outcome missing = Start(options);
  EXPECT_EQ(missing.quotes, std::vector<std::string>{"Ai. Quotes.txt could not be found!"});
}

// Withdrawing balloons sends empty ones: texts with no bytes at all, which must reach the
// record as cleared fields (and, under the sanitizers, without copying from nowhere).
TEST_F(BadInput, EmptyBalloonTextsReachTheRecordAsClearedFields) {
  dir.Write("quotes.txt", "A quote long enough to notice\r\n");
  int pending = -1;
  std::string title = "unset", info = "unset";
  const SimRun run = RunLive(Options(), [&](sim::SimDesktop& d, TfrmSettings& form) {
    d.Wait(1000);
    d.TrayCallback(platform::nin::BalloonUserClick, 0);
    pending = form.TrayIcon.PendingBalloons();
    title = form.TrayIcon.Record().szInfoTitle.bytes;
    info = form.TrayIcon.Record().szInfo.bytes;
  });
  EXPECT_EQ(pending, 0);
  EXPECT_EQ(title, "");
  EXPECT_EQ(info, "");
  const auto requests = run.Shell("NIM_MODIFY");
  ASSERT_EQ(requests.size(), 3u) << "the quote, then one empty balloon more than were pending";
  for (std::size_t i = 1; i < requests.size(); ++i) {
    EXPECT_EQ(requests[i].Get("title"), "");
    EXPECT_EQ(requests[i].Get("info"), "");
    EXPECT_EQ(requests[i].Number("dwInfoFlags"), platform::niif::None);
  }
}

}  // namespace
}  // namespace zanto::test
