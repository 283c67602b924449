// Zanto with a million quotes: each figure with the baseline it is held against, timed in
// the same run. bench/run.sh turns them into ratios and verdicts.
//
// usage: zanto_bench --quotes-dir=DIR [benchmark flags]
//   DIR holds the large quotes.txt (zanto-make-quotes); the program's executable is taken
//   to lie beside it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <utility>

#include "app/settings_definition.h"
#include "platform/posix/posix_files.h"
#include "platform/sim/sim_desktop.h"
#include "quote_text.h"
#include "quotes/quote_deck.h"
#include "quotes/quote_file.h"
#include "quotes/quote_list.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/random_source.h"

namespace zanto::bench {
namespace {

std::string gQuotesDir;

// A trace nobody reads.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

struct NullTrace {
  NullBuffer buffer;
  std::ostream out{&buffer};
  sim::Trace trace{out};
};

sim::SimOptions Options() {
  sim::SimOptions options;
  options.executablePath = gQuotesDir + "/zanto.exe";
  return options;
}

using zanto::platform::posix::Fd;

// --- Loading -----------------------------------------------------------------------------

std::size_t CountLineFeeds(const char* p, const char* const end) {
  std::size_t lines = 0;
  while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))))) {
    ++lines;
    ++p;
  }
  return lines;
}

// The floor: the file read whole into fresh memory and its line feeds counted. Empty when
// it cannot be read.
std::optional<std::size_t> ReadWholeFileAndCountLineFeeds(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) return std::nullopt;
  const auto size = static_cast<std::size_t>(st.st_size);
  auto bytes = std::make_unique_for_overwrite<char[]>(size);
  std::size_t used = 0;
  while (used < size) {
    const ssize_t got = ::read(fd.get(), bytes.get() + used, size - used);
    if (got <= 0) return std::nullopt;
    used += static_cast<std::size_t>(got);
  }
  return CountLineFeeds(bytes.get(), bytes.get() + used);
}

// What the program does at start: find quotes.txt beside the executable, read it, cut it.
void BM_LoadQuoteList(benchmark::State& state) {
  NullTrace null;
  std::size_t count = 0;
  for (auto _ : state) {
    sim::SimDesktop desktop(Options(), null.trace);
    const TQuoteList quotes = LoadQuoteList(desktop);
    count = quotes.Count();
    benchmark::DoNotOptimize(count);
  }
  // Every line of the file (each ends in CR LF) is a quote, or the two did not do the same.
  if (count != ReadWholeFileAndCountLineFeeds(gQuotesDir + "/quotes.txt"))
    state.SkipWithError("the quote list does not hold every line");
}
BENCHMARK(BM_LoadQuoteList)->Unit(benchmark::kMillisecond);

void BM_ReadWholeFileAndCountLineFeeds(benchmark::State& state) {
  const std::string path = gQuotesDir + "/quotes.txt";
  for (auto _ : state) {
    const std::optional<std::size_t> lines = ReadWholeFileAndCountLineFeeds(path);
    if (!lines) {
      state.SkipWithError("cannot read quotes.txt");
      break;
    }
    benchmark::DoNotOptimize(*lines);
  }
}
BENCHMARK(BM_ReadWholeFileAndCountLineFeeds)->Unit(benchmark::kMillisecond);

// --- Refill and shuffle ------------------------------------------------------------------

constexpr std::uint32_t kSeed = 45'296'789;

// The baseline: the same draws and exchanges on a bare array of positions.
void ShuffleBare(std::uint32_t* deck, std::uint32_t n, TRandomSource& random) {
  const std::uint64_t passes = 2 * static_cast<std::uint64_t>(n) + 1;
  for (std::uint64_t i = 0; i < passes; ++i) {
    const std::uint32_t a = random.Below(n);
    const std::uint32_t b = random.Below(n);
    std::swap(deck[a], deck[b]);
  }
}

// The deck's order must be the bare array's, or the comparison means nothing.
bool SameOrderAsBareArray(std::uint32_t n) {
  TRandomSource deckRandom, bareRandom;
  deckRandom.Seed(kSeed);
  bareRandom.Seed(kSeed);
  TQuoteDeck deck;
  deck.Refill(n, deckRandom);
  auto bare = std::make_unique_for_overwrite<std::uint32_t[]>(n);
  for (std::uint32_t i = 0; i < n; ++i) bare[i] = i;
  ShuffleBare(bare.get(), n, bareRandom);
  if (deck.Count() != n || deckRandom.State() != bareRandom.State()) return false;
  for (std::uint32_t i = 0; i < n; ++i)
    if (deck.At(i) != bare[i]) return false;
  return true;
}

// A pass begins: the first tick after start, or the tick after the last quote of a pass.
void BM_DeckRefillAndShuffle(benchmark::State& state) {
  const auto n = static_cast<std::uint32_t>(state.range(0));
  if (!SameOrderAsBareArray(n)) {
    state.SkipWithError("the deck's order differs from the bare array's");
    return;
  }
  TRandomSource random;
  random.Seed(kSeed);
  for (auto _ : state) {
    TQuoteDeck deck;
    deck.Refill(n, random);
    benchmark::DoNotOptimize(deck.At(0));
  }
}
BENCHMARK(BM_DeckRefillAndShuffle)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_BareArrayFillAndShuffle(benchmark::State& state) {
  const auto n = static_cast<std::uint32_t>(state.range(0));
  TRandomSource random;
  random.Seed(kSeed);
  for (auto _ : state) {
    auto deck = std::make_unique_for_overwrite<std::uint32_t[]>(n);
    for (std::uint32_t i = 0; i < n; ++i) deck[i] = i;
    ShuffleBare(deck.get(), n, random);
    benchmark::DoNotOptimize(deck[0]);
  }
}
BENCHMARK(BM_BareArrayFillAndShuffle)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// --- The settings window -----------------------------------------------------------------

// The settings window made from its definition over the simulated desktop, its list given
// the quotes as the program gives them, then shown on the Quotes page with the first rows
// drawn. The quotes are read beforehand: loading has its own figure.
void BM_SettingsWindowCreateAndFirstShow(benchmark::State& state) {
  // Made once for each size: the benchmark is entered again for every repetition.
  static std::map<std::int64_t, TQuoteList> made;
  auto [it, isNew] = made.try_emplace(state.range(0));
  if (isNew)
    it->second = TQuoteList::FromFileBytes(QuoteFileText(static_cast<std::size_t>(state.range(0))));
  const TQuoteList& quotes = it->second;
  NullTrace null;
  std::size_t rows = 0;
  for (auto _ : state) {
    sim::SimDesktop desktop(Options(), null.trace);
    TApplication app(desktop);
    app.Initialize();
    TForm& form = app.CreateForm<TForm>(SettingsFormDefinition());
    dynamic_cast<TListView&>(*form.FindComponent("ListView1"))
        .SetSource({[&] { return quotes.Count(); }, [&](std::size_t row) { return quotes[row]; }});
    dynamic_cast<TPageControl&>(*form.FindComponent("PageControl")).SetActivePageIndex(1);
    form.Show();
    desktop.Dump();  // the rows in view are asked for, as a list view asks those it paints
    rows = desktop.RowCount();
    app.DestroyForms();
  }
  if (rows != quotes.Count()) state.SkipWithError("the list does not hold every quote");
}
BENCHMARK(BM_SettingsWindowCreateAndFirstShow)
    ->Arg(10)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zanto::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--quotes-dir=", 0) != 0) {
      std::cerr << "zanto_bench: unknown argument " << arg << '\n';
      return 2;
    }
    zanto::bench::gQuotesDir = arg.substr(13);
  }
  if (zanto::bench::gQuotesDir.empty()) {
    std::cerr << "usage: zanto_bench --quotes-dir=DIR [benchmark flags]\n";
    return 2;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
