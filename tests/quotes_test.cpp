// The quote engine: cutting the file into quotes, finding and reading the file, and the
// shuffled deck.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <sstream>

#include "platform/posix/posix_files.h"
#include "platform/sim/sim_desktop.h"
#include "quotes/quote_deck.h"
#include "quotes/quote_file.h"
#include "quotes/quote_list.h"
#include "support/failure_of.h"
#include "support/reference_lines.h"
#include "support/temp_dir.h"
#include "toolkit/exceptions.h"

namespace zanto {
namespace {

std::vector<std::string> Lines(const TQuoteList& list) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < list.Count(); ++i) out.emplace_back(list[i]);
  return out;
}

std::vector<std::string> Lines(std::string_view bytes) {
  return Lines(TQuoteList::FromFileBytes(bytes));
}

using Quotes = std::vector<std::string>;

using test::FailureOf;

TEST(TQuoteList, EveryKindOfLineBreakCutsTheSameWay) {
  const Quotes three{"one", "two", "three"};
  EXPECT_EQ(Lines("one\r\ntwo\r\nthree"), three);
  EXPECT_EQ(Lines("one\r\ntwo\r\nthree\r\n"), three) << "a final break adds no line";
  EXPECT_EQ(Lines("one\ntwo\nthree\n"), three);
  EXPECT_EQ(Lines("one\rtwo\rthree\r"), three);
  EXPECT_EQ(Lines("one\rtwo\nthree\r\n"), three);

  EXPECT_EQ(Lines("one\r\n\r\nthree"), (Quotes{"one", "", "three"}));
  EXPECT_EQ(Lines("one\n\nthree\n"), (Quotes{"one", "", "three"}));
  EXPECT_EQ(Lines("a\r\r\n"), (Quotes{"a", ""})) << "CR, then CR LF";
  EXPECT_EQ(Lines("a\n\r"), (Quotes{"a", ""})) << "LF then CR is two breaks";
  EXPECT_EQ(Lines("a\r\n\n"), (Quotes{"a", ""}));
  EXPECT_EQ(Lines("\r\n"), (Quotes{""}));
  EXPECT_EQ(Lines("\n\n"), (Quotes{"", ""}));
  EXPECT_EQ(Lines(""), Quotes{});
  EXPECT_EQ(Lines("single"), (Quotes{"single"}));
}

TEST(TQuoteList, LinesAreKeptAsTheyAreUpToTheFirstNul) {
  EXPECT_EQ(Lines("  padded  \r\n\t# not a comment \\n"),
            (Quotes{"  padded  ", "\t# not a comment \\n"}));
  EXPECT_EQ(Lines("\xEF\xBB\xBFwith mark\r\nnext"), (Quotes{"with mark", "next"}))
      << "a byte-order mark says the file is UTF-8; it is no quote's text";
  EXPECT_EQ(Lines("caf\xE9\r\n\x80\xFF"), (Quotes{"caf\xE9", "\x80\xFF"}));

  using namespace std::string_literals;
  EXPECT_EQ(Lines("one\r\ntw\0o\r\nthree"s), (Quotes{"one", "tw"}));
  EXPECT_EQ(Lines("one\r\n\0two"s), (Quotes{"one"}));
  EXPECT_EQ(Lines("one\r\0\nthree"s), (Quotes{"one"}));
  EXPECT_EQ(Lines("\0one\r\ntwo"s), Quotes{});

  // Long lines with breaks at every offset within a run of eight bytes, and bytes whose
  // high bit is set next to them.
  std::string text;
  Quotes expected;
  for (int i = 0; i < 40; ++i) {
    std::string quote(static_cast<std::size_t>(i), static_cast<char>(i % 2 ? '\x8d' : 'q'));
    expected.push_back(quote);
    text += quote + (i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : "\r");
  }
  EXPECT_EQ(Lines(text), expected);

  // Every position of a break or a NUL relative to the runs of bytes the text is scanned in.
  for (std::size_t k = 0; k < 140; ++k) {
    const std::string head(k, 'x');
    EXPECT_EQ(Lines(head + "\r\ny"), (Quotes{head, "y"})) << k;
    EXPECT_EQ(Lines(head + "\r\r\n"), (Quotes{head, ""})) << k;
    EXPECT_EQ(Lines(head + std::string("\0\r\nz", 4)), k ? Quotes{head} : Quotes{}) << k;
    EXPECT_EQ(Lines(head + std::string("\r\0\nz", 4)), (Quotes{head})) << k;
  }

  const TQuoteList single = TQuoteList::Single(kQuotesNotFound);
  ASSERT_EQ(single.Count(), 1u);
  EXPECT_EQ(single[0], "Ai. Quotes.txt could not be found!");
}

// Texts made at random from a few kinds of byte, the breaks as thick as `breaks` in 256.
std::string RandomText(std::uint32_t& state, std::size_t size, std::uint32_t breaks) {
  static constexpr char kBreaks[] = {'\r', '\n', '\n', '\r', '\n', '\0'};
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    state = state * 1664525u + 1013904223u;
    const std::uint32_t r = state >> 16;
    if ((r & 0xFF) >= breaks)
      text += (r >> 8) % 16 == 0 ? '\xE9' : 'q';
    else  // a NUL now and then, mostly far on
      text += kBreaks[(r >> 8) % (i < size / 2 ? 5 : 6)];
  }
  return text;
}

TEST(TQuoteList, EveryWidthOfScanAndEverySegmentSizeCutsAsThePlainRule) {
  // The scan takes the widest vectors the processor has, and counts where lines begin within
  // segments of 4 GiB; narrower vectors and segments of 64 bytes and up must cut the same.
  std::uint32_t state = 12345;
  for (int round = 0; round < 60; ++round) {
    const std::size_t size = round < 40 ? state % 700 : 5000 + state % 20000;
    // Sparse breaks like a quotes file's, and texts of nothing but short lines, which outgrow
    // the room the scan first makes for lines.
    const std::string text = RandomText(state, size, round % 3 == 0 ? 160 : 3);
    const std::vector<std::string> expected = test::ReferenceLines(text);
    for (const unsigned vectorBits : {128u, 256u, 512u}) {
      for (const unsigned segmentBits : {6u, 7u, 10u, 32u}) {
        const TQuoteList list = TQuoteList::FromFileBytesForTest(text, segmentBits, vectorBits);
        ASSERT_EQ(list.Count(), expected.size())
            << "round " << round << ", " << vectorBits << "-bit vectors, 2^" << segmentBits;
        for (std::size_t i = 0; i < expected.size(); ++i)
          ASSERT_EQ(list[i], expected[i]) << "line " << i << " of round " << round << ", "
                                          << vectorBits << "-bit vectors, 2^" << segmentBits;
      }
    }
  }

  // Lines that span several segments, and texts that end on a segment's boundary.
  for (const std::string& text :
       {std::string(1000, 'x') + "\r\n" + std::string(300, 'y'),
        std::string(127, 'x') + "\r" + std::string(128, 'y') + "\n", std::string(256, 'z')}) {
    const TQuoteList list = TQuoteList::FromFileBytesForTest(text, 6, 512);
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < list.Count(); ++i) lines.emplace_back(list[i]);
    EXPECT_EQ(lines, test::ReferenceLines(text));
  }
}

TEST(QuotesPath, ThePathIsTheExecutablesDirectoryAndTheWorkingDirectoryPlaysNoPart) {
  EXPECT_EQ(QuotesFilePath("C:\\Program Files\\Zanto\\zanto.exe", "\\:"),
            "C:\\Program Files\\Zanto\\quotes.txt");
  EXPECT_EQ(QuotesFilePath("C:zanto.exe", "\\:"), "C:quotes.txt");
  EXPECT_EQ(QuotesFilePath("C:\\dir\\sub/zanto.exe", "\\:"), "C:\\dir\\quotes.txt");
  EXPECT_EQ(QuotesFilePath("\\\\server\\share\\zanto.exe", "\\:"), "\\\\server\\share\\quotes.txt");
  EXPECT_EQ(QuotesFilePath("/opt/zanto/bin/zanto", "/"), "/opt/zanto/bin/quotes.txt");
  EXPECT_EQ(QuotesFilePath("/zanto", "/"), "/quotes.txt");
  EXPECT_EQ(QuotesFilePath("zanto.exe", "/"), "quotes.txt");
  EXPECT_EQ(QuotesFilePath("zanto.exe", "\\:"), "quotes.txt");
  EXPECT_EQ(QuotesFilePath("", "/"), "quotes.txt");
}

// A simulated desktop whose executable lies in a folder of the test's own.
class QuotesFile : public ::testing::Test {
 protected:
  sim::SimDesktop& Desktop(sim::SimOptions options = {}) {
    options.executablePath = dir.File("zanto.exe");
    desktop_ = std::make_unique<sim::SimDesktop>(options, trace_);
    return *desktop_;
  }
  std::string Path() const { return dir.File("quotes.txt"); }

  test::TempDir dir;

 private:
  std::ostringstream out_;
  sim::Trace trace_{out_};
  std::unique_ptr<sim::SimDesktop> desktop_;
};

TEST_F(QuotesFile, OnlyAFileWithADosDateCountsAsThere) {
  auto& desktop = Desktop();
  EXPECT_FALSE(QuotesFileExists(desktop, Path()));

  std::filesystem::create_directory(Path());
  EXPECT_FALSE(QuotesFileExists(desktop, Path())) << "a directory of that name";
  std::filesystem::remove(Path());

  dir.Write("quotes.txt", "x\r\n");
  EXPECT_TRUE(QuotesFileExists(desktop, Path()));
  for (const auto& [year, there] : {std::pair{1979, false}, std::pair{1980, true},
                                    std::pair{2107, true}, std::pair{2108, false}}) {
    dir.SetYear("quotes.txt", year);
    EXPECT_EQ(QuotesFileExists(desktop, Path()), there) << year;
  }
}

TEST_F(QuotesFile, LoadingReadsTheFileOrSaysWhyNot) {
  const TQuoteList missing = LoadQuoteList(Desktop());
  ASSERT_EQ(missing.Count(), 1u);
  EXPECT_EQ(missing[0], "Ai. Quotes.txt could not be found!");

  dir.Write("quotes.txt", "first\r\nsecond\r\n");
  const TQuoteList loaded = LoadQuoteList(Desktop());
  ASSERT_EQ(loaded.Count(), 2u);
  EXPECT_EQ(loaded[1], "second");

  dir.SetYear("quotes.txt", 1979);
  EXPECT_EQ(LoadQuoteList(Desktop())[0], "Ai. Quotes.txt could not be found!")
      << "a file without a DOS date is not there";
  dir.SetYear("quotes.txt", 2000);

  sim::SimOptions failOpen;
  failOpen.failOpen = true;
  EXPECT_EQ(FailureOf<EFOpenError>([&] { LoadQuoteList(Desktop(failOpen)); }),
            "Cannot open file " + Path());

  sim::SimOptions failRead;
  failRead.failReadAfter = 4;
  EXPECT_EQ(FailureOf<EReadError>([&] { LoadQuoteList(Desktop(failRead)); }),
            "Cannot read file " + Path());
  failRead.failReadAfter = 1000;  // more than the file holds
  EXPECT_EQ(LoadQuoteList(Desktop(failRead)).Count(), 2u);

  dir.Write("quotes.txt", "");
  EXPECT_TRUE(LoadQuoteList(Desktop()).Empty()) << "an empty file is no quotes at all";
}

TEST_F(QuotesFile, TheFileIsReadToItsEndWhateverSizeItHadWhenLookedAt) {
  // What fstat says is only where to begin: a file that grows or shrinks between that and
  // the read is still read whole and cut as it comes, and a read that fails part-way says so
  // (whatever it read is then not handed on: LoadQuoteList throws).
  for (const std::size_t size : {std::size_t{0}, std::size_t{5}, std::size_t{10'000}}) {
    std::string bytes(size, 'q');
    for (std::size_t i = 0; i < size; ++i)
      bytes[i] = i % 7 == 6 ? '\n' : static_cast<char>('a' + i % 26);
    dir.Write("quotes.txt", bytes);
    for (const std::size_t expected :
         {std::size_t{0}, std::size_t{1}, size / 2, size - 1, size, size + 1, 2 * size + 5000}) {
      if (expected > 2 * size + 5000) continue;  // size - 1 of an empty file
      // A read fails once it is asked for more after so many bytes, even at the end.
      for (const std::optional<std::size_t> failAfter :
           {std::optional<std::size_t>{}, std::optional<std::size_t>{size / 2},
            std::optional<std::size_t>{size}, std::optional<std::size_t>{size + 1}}) {
        const bool fails = failAfter && *failAfter <= size;
        const std::string where = std::to_string(size) + " bytes, " + std::to_string(expected) +
                                  " expected, failing after " +
                                  (failAfter ? std::to_string(*failAfter) : "none");
        platform::posix::Fd fd(::open(Path().c_str(), O_RDONLY | O_CLOEXEC));
        ASSERT_GE(fd.get(), 0);
        TQuoteListBuilder builder;
        EXPECT_EQ(platform::posix::ReadToEnd(fd.get(), expected, builder, failAfter),
                  fails ? platform::ReadResult::CannotRead : platform::ReadResult::Ok)
            << where;
        if (!fails) {
          EXPECT_EQ(Lines(builder.Finish()), test::ReferenceLines(bytes)) << where;
        }
      }
    }
  }
}

// The shuffle as the deck must do it, on a plain vector with a generator of its own.
std::vector<std::uint32_t> ReferenceShuffle(std::size_t n, std::uint32_t& state) {
  std::vector<std::uint32_t> deck(n);
  std::iota(deck.begin(), deck.end(), 0u);
  auto below = [&](std::uint64_t limit) {
    state = static_cast<std::uint32_t>((std::uint64_t{state} * 134775813u + 1u) & 0xFFFFFFFFu);
    return static_cast<std::size_t>((std::uint64_t{state} * limit) >> 32);
  };
  if (n == 0) return deck;
  for (std::size_t pass = 0; pass < 2 * n + 1; ++pass) {
    const std::size_t a = below(n);
    const std::size_t b = below(n);
    std::swap(deck[a], deck[b]);
  }
  return deck;
}

std::vector<std::uint32_t> Contents(const TQuoteDeck& deck) {
  std::vector<std::uint32_t> out;
  for (std::size_t i = 0; i < deck.Count(); ++i) out.push_back(deck.At(i));
  return out;
}

TEST(QuoteDeck, ARefillIsEveryPositionOnceInTheOrderOfTheFixedExchanges) {
  for (const std::size_t n : {1u, 2u, 3u, 10u, 257u}) {
    for (const std::uint32_t seed : {0u, 45'296'789u}) {
      TRandomSource random;
      random.Seed(seed);
      TQuoteDeck deck;
      deck.Refill(n, random);
      std::uint32_t state = seed;
      EXPECT_EQ(Contents(deck), ReferenceShuffle(n, state)) << n << " quotes, seed " << seed;
      EXPECT_EQ(random.State(), state) << "exactly two draws for each of 2n+1 passes";

      std::vector<std::uint32_t> sorted = Contents(deck);
      std::sort(sorted.begin(), sorted.end());
      std::vector<std::uint32_t> all(n);
      std::iota(all.begin(), all.end(), 0u);
      EXPECT_EQ(sorted, all);
    }
  }

  TRandomSource random;
  random.Seed(7);
  TQuoteDeck deck;
  deck.Refill(0, random);
  EXPECT_TRUE(deck.Empty());
  EXPECT_EQ(random.State(), 7u) << "nothing to shuffle, nothing drawn";
}

TEST(QuoteDeck, EachTakeIsTheFrontUntilTheDeckRunsOut) {
  TRandomSource random;
  random.Seed(45'296'789);
  TQuoteDeck deck;
  for (int pass = 0; pass < 2; ++pass) {
    deck.Refill(5, random);
    const std::vector<std::uint32_t> order = Contents(deck);
    std::vector<std::uint32_t> taken;
    while (!deck.Empty()) {
      EXPECT_EQ(deck.At(0), order[taken.size()]);
      taken.push_back(deck.TakeFront());
      EXPECT_EQ(deck.Count(), 5 - taken.size());
    }
    EXPECT_EQ(taken, order);
  }
  EXPECT_EQ(FailureOf<EListError>([&] { deck.TakeFront(); }), "List index out of bounds (0)");
  deck.Refill(3, random);
  EXPECT_EQ(FailureOf<EListError>([&] { deck.At(3); }), "List index out of bounds (3)");
}

}  // namespace
}  // namespace zanto
