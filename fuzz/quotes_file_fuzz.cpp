// The fuzzer's bytes are a quotes.txt. The file is 8-bit text or Unicode as it says (a
// byte-order mark, or valid UTF-8 with a byte of 0x80 or more), and Unicode lines are whole
// UTF-8 whatever was malformed. For every input, the program's reading of the bytes (what the
// file is, its decoding, its lines) agrees with a byte-by-byte reading of the rules, the bytes
// coming at once or in pieces as reads may bring them; every quote's balloon text is its
// longest beginning that the record's 255 characters hold, never half a character; and the
// deck deals two passes, each with every quote exactly once.
//
// Starting the whole program costs far more than all of that (its window, its components, a
// balloon for every quote), so only one input in kWholeProgramShare, picked by a hash of its
// bytes so that a finding replays on its own, also becomes quotes.txt beside the program. The
// program then starts over the simulated desktop, reads the file from the disk and shows its
// quotes: two whole passes of the deck for a file of up to kPassQuotes quotes, the first
// kPassQuotes balloons of a longer one. Each balloon shows a quote of the deck not shown yet
// in its pass, cut as above; a click withdraws them all; nothing reaches the error box; and
// the icon and every timer are gone at the end.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "app/settings_form.h"
#include "app/zanto.h"
#include "fuzz_support.h"
#include "platform/sim/sim_desktop.h"
#include "quotes/quote_deck.h"
#include "quotes/quote_list.h"
#include "support/constants.h"
#include "support/reference_lines.h"
#include "support/temp_dir.h"
#include "toolkit/random_source.h"

namespace {

using namespace zanto;
using platform::TextEncoding;
using test::kDay;

constexpr std::size_t kBalloonLimit = 255;
constexpr std::uint32_t kWholeProgramShare = 16;
constexpr std::size_t kPassQuotes = 16;

// Where the program lies, for the whole process: libFuzzer calls the target over and over in
// it and never says when it is done, so the folder goes when the process ends.
const test::TempDir& ProgramDir() {
  static const test::TempDir dir;
  return dir;
}

std::uint32_t Fnv1a(std::string_view bytes) {
  std::uint32_t h = 2166136261u;
  for (char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h;
}

// The program reads the bytes as the rules do: the same kind of text, the same lines.
void CheckLines(const TQuoteList& list, const test::ReferenceText& reference,
                TextEncoding encoding) {
  ZANTO_CHECK(list.Encoding() == encoding);
  ZANTO_CHECK(list.Count() == reference.lines.size());
  for (std::size_t i = 0; i < reference.lines.size(); ++i) {
    ZANTO_CHECK(list[i] == reference.lines[i]);
    ZANTO_CHECK(!reference.unicode || test::IsWellFormedUtf8(list[i]));
  }
}

// The bytes as reads may bring them. One input in four comes at once, as the read of a file
// of this size does. The others come after a hint of the file's size that may be wrong, in
// pieces of sizes the hash picks, which cut lines, line breaks and blocks of the scan
// anywhere; scanned with vectors narrower than the processor's widest, the offsets counted in
// segments as small as 64 bytes, as only texts beyond 4 GiB otherwise have them.
TQuoteList Read(std::string_view bytes, std::uint32_t hash) {
  if ((hash >> 8) % 4 == 0) return TQuoteList::FromFileBytes(bytes);
  constexpr std::array<unsigned, 3> kVectorBits = {128, 256, 512};
  constexpr std::array<unsigned, 4> kSegmentBits = {6, 7, 10, 32};
  TQuoteListBuilder builder(kSegmentBits[hash % 4], kVectorBits[(hash >> 2) % 3]);
  const std::array<std::size_t, 4> hints = {bytes.size(), 0, bytes.size() / 2,
                                            2 * bytes.size() + 100};
  if ((hash >> 4) % 5 < 4) builder.Expect(hints[(hash >> 4) % 5]);
  std::uint32_t state = hash;
  for (std::size_t at = 0;;) {
    state = state * 1664525u + 1013904223u;
    const std::size_t piece = 1 + (state >> 8) % ((state >> 31) != 0 ? 70 : 1000);
    // A read brings what is left, as much as the room holds; nothing at the end.
    const std::span<char> room = builder.Room(piece);
    const std::size_t got = std::min(room.size(), bytes.size() - at);
    std::memcpy(room.data(), bytes.data() + at, got);
    builder.Filled(got);
    if (got == 0) break;
    at += got;
  }
  return builder.Finish();
}

// A quote's balloon text: the longest beginning of it that the record's 255 characters hold
// (bytes of 8-bit text, UTF-16 units of Unicode text), ending on a whole character.
std::string_view CheckBalloonCut(std::string_view quote, TextEncoding encoding) {
  const std::string_view cut = platform::FieldPrefix({quote, encoding}, kBalloonLimit);
  ZANTO_CHECK(fuzz::FieldWithin(platform::Text{cut, encoding}, kBalloonLimit));
  if (cut.size() < quote.size()) {
    // What is left out begins with a whole character, one that would not have fitted.
    bool whole = true;
    const std::size_t next =
        encoding == TextEncoding::Ansi ? 1 : test::reference::Sequence(quote, cut.size(), whole);
    ZANTO_CHECK(whole);
    ZANTO_CHECK(fuzz::RecordUnits({cut, encoding}) +
                    fuzz::RecordUnits({quote.substr(cut.size(), next), encoding}) >
                kBalloonLimit);
  }
  return cut;
}

// Two passes of the deck, each with every quote exactly once.
void CheckDeck(std::size_t quotes, std::uint32_t seed) {
  TRandomSource random;
  random.Seed(seed);
  TQuoteDeck deck;
  std::vector<bool> dealt;
  for (int pass = 0; pass < 2; ++pass) {
    ZANTO_CHECK(deck.Empty());
    deck.Refill(quotes, random);
    ZANTO_CHECK(deck.Count() == quotes);
    dealt.assign(quotes, false);
    for (std::size_t k = 0; k < quotes; ++k) {
      const std::uint32_t position = deck.TakeFront();
      ZANTO_CHECK(position < quotes && !dealt[position]);
      dealt[position] = true;
    }
  }
  ZANTO_CHECK(deck.Empty());
}

// Waits until the quote timer has ticked once more: ticks are at least a day apart.
void NextTick(sim::SimDesktop& desktop) {
  const std::uint64_t before = desktop.TimerTicks();
  for (int days = 0; desktop.TimerTicks() == before; ++days) {
    ZANTO_CHECK(days < 3);  // the next quote is due within 48 hours
    desktop.Wait(kDay);
  }
  ZANTO_CHECK(desktop.TimerTicks() == before + 1);
}

// The whole program, started with the bytes as its quotes.txt; `cuts` are the balloon texts
// of its quotes, in the file's order.
void RunWholeProgram(const std::string& bytes, const std::vector<std::string_view>& cuts,
                     TextEncoding encoding, std::uint32_t seed) {
  ProgramDir().Write("quotes.txt", bytes);
  // What each pass may show: every quote once.
  std::map<std::string_view, int> deck;
  for (std::string_view cut : cuts) ++deck[cut];

  int errorBoxes = 0;
  fuzz::LineWatch watch([&](std::string_view line) {
    if (fuzz::TraceOp(line) == "errorbox") ++errorBoxes;
  });
  std::ostream out(&watch);
  sim::Trace trace(out);
  sim::SimOptions options;
  options.executablePath = ProgramDir().File("zanto.exe");
  options.utcMillisecondsOfDay = seed;
  sim::SimDesktop desktop(options, trace);
  TfrmSettings* form = nullptr;

  desktop.SetLoopDriver([&](sim::SimDesktop& d) {
    ZANTO_CHECK(form != nullptr);
    TTrayIcon& tray = form->TrayIcon;
    const platform::NotifyIconData& record = tray.Record();
    const std::size_t n = cuts.size();
    ZANTO_CHECK(form->Quotes().Count() == n);
    ZANTO_CHECK(form->ListView1.RowCount() == n);

    d.Wait(1000);  // the first quote
    ZANTO_CHECK(d.TimerTicks() == 1);
    const int passes = n <= kPassQuotes ? 2 : 1;
    const std::size_t perPass = std::min(n, kPassQuotes);
    for (int pass = 0; pass < passes; ++pass) {
      std::map<std::string_view, int> unshown = deck;
      for (std::size_t k = 0; k < perPass; ++k) {
        if (pass > 0 || k > 0) NextTick(d);
        ZANTO_CHECK(fuzz::FieldWithin(record.szInfo, kBalloonLimit));
        ZANTO_CHECK(record.szInfoTitle.bytes == "Did you know?");
        ZANTO_CHECK(record.szInfo.encoding == encoding);
        ZANTO_CHECK(--unshown[record.szInfo.bytes] >= 0);
        ZANTO_CHECK(form->QuoteDeck->Count() == n - 1 - k);
      }
    }
    // With no quotes the ticks still come and show nothing.
    if (n == 0) {
      NextTick(d);
      NextTick(d);
      ZANTO_CHECK(tray.PendingBalloons() == 0);
    }
    ZANTO_CHECK(tray.PendingBalloons() == static_cast<int>(passes * perPass));
    // A click on the balloon withdraws them all.
    d.TrayCallback(platform::nin::BalloonUserClick, 0);
    ZANTO_CHECK(tray.PendingBalloons() == 0);
    ZANTO_CHECK(fuzz::FieldWithin(record.szInfo, 0));
    // The next quote at once: the deck's next, or the first of a new pass.
    const std::size_t left = form->QuoteDeck->Count();
    d.SetMenuAnswer("ellmemoreZanto1");
    d.TrayCallback(platform::wm::ContextMenu, 0);
    d.Wait(10);
    ZANTO_CHECK(fuzz::FieldWithin(record.szInfo, kBalloonLimit));
    ZANTO_CHECK(form->QuoteDeck->Count() == (left > 0 ? left - 1 : n == 0 ? 0 : n - 1));
    ZANTO_CHECK(errorBoxes == 0);
    d.SetMenuAnswer("Exit1");
    d.TrayCallback(platform::wm::ContextMenu, 0);
    ZANTO_CHECK(d.QuitRequested());
  });
  RunZanto(desktop, [&](TfrmSettings& f) { form = &f; });
  ZANTO_CHECK(!desktop.IconPresent());
  ZANTO_CHECK(desktop.LiveTimers() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const test::ReferenceText reference = test::ReferenceQuotes(bytes);
  const TextEncoding encoding = reference.unicode ? TextEncoding::Utf8 : TextEncoding::Ansi;
  const std::uint32_t hash = Fnv1a(bytes);
  const auto seed = static_cast<std::uint32_t>(hash % kDay);

  const TQuoteList list = Read(bytes, hash);
  CheckLines(list, reference, encoding);
  std::vector<std::string_view> cuts;
  cuts.reserve(list.Count());
  for (std::size_t i = 0; i < list.Count(); ++i) cuts.push_back(CheckBalloonCut(list[i], encoding));
  CheckDeck(list.Count(), seed);

  if (hash / (UINT32_MAX / kWholeProgramShare + 1) == 0)
    RunWholeProgram(bytes, cuts, encoding, seed);
  return 0;
}
