// The fuzzer's bytes become quotes.txt beside the program. They are cut into lines by the
// fast scanner and by the plain rule, which must agree; then the whole program starts over the
// simulated desktop, and two passes through the deck come up as balloons. The file is 8-bit
// text or Unicode as it says (a byte-order mark, or valid UTF-8 with a byte of 0x80 or more),
// and Unicode lines are whole UTF-8 whatever was malformed. Every pass shows each quote
// exactly once, every balloon's text is the quote's first 255 characters (never half of
// one), and nothing reaches the error box.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "app/settings_form.h"
#include "app/zanto.h"
#include "fuzz_support.h"
#include "platform/sim/sim_desktop.h"
#include "quotes/quote_list.h"
#include "support/reference_lines.h"

namespace {

using namespace zanto;

constexpr std::uint64_t kDay = 86'400'000;

// Where the program lies: a private folder, removed when the fuzzer ends.
class ProgramDir {
 public:
  ProgramDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zanto-fuzz-XXXXXX").string();
    ZANTO_CHECK(::mkdtemp(pattern.data()) != nullptr);
    path_ = pattern;
  }
  ~ProgramDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ProgramDir(const ProgramDir&) = delete;
  ProgramDir& operator=(const ProgramDir&) = delete;
  static const std::string& Path() {
    static const ProgramDir dir;
    return dir.path_;
  }

 private:
  std::string path_;
};

std::uint32_t SeedOf(std::string_view bytes) {
  std::uint32_t h = 2166136261u;
  for (char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h % kDay;
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const test::ReferenceText reference = test::ReferenceQuotes(bytes);
  const std::vector<std::string>& expected = reference.lines;
  const platform::TextEncoding encoding =
      reference.unicode ? platform::TextEncoding::Utf8 : platform::TextEncoding::Ansi;

  const TQuoteList list = TQuoteList::FromFileBytes(bytes);
  ZANTO_CHECK(list.Encoding() == encoding);
  ZANTO_CHECK(list.Count() == expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ZANTO_CHECK(list[i] == expected[i]);
    ZANTO_CHECK(!reference.unicode || platform::IsValidUtf8(list[i]));
  }

  {
    std::ofstream file(ProgramDir::Path() + "/quotes.txt", std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ZANTO_CHECK(file.good());
  }
  // What each pass must show: every quote once, cut to the balloon's 255 characters (bytes of
  // 8-bit text, UTF-16 units of Unicode text, never half a character).
  std::map<std::string, int> deck;
  for (const std::string& quote : expected)
    ++deck[std::string(platform::FieldPrefix({quote, encoding}, 255))];

  int errorBoxes = 0;
  fuzz::LineWatch watch([&](std::string_view line) {
    if (fuzz::TraceOp(line, "errorbox")) ++errorBoxes;
  });
  std::ostream out(&watch);
  sim::Trace trace(out);
  sim::SimOptions options;
  options.executablePath = ProgramDir::Path() + "/zanto.exe";
  options.utcMillisecondsOfDay = SeedOf(bytes);
  sim::SimDesktop desktop(options, trace);
  TfrmSettings* form = nullptr;

  desktop.SetLoopDriver([&](sim::SimDesktop& d) {
    ZANTO_CHECK(form != nullptr);
    TTrayIcon& tray = form->TrayIcon;
    const platform::NotifyIconData& record = tray.Record();
    const std::size_t n = expected.size();
    ZANTO_CHECK(form->Quotes().Count() == n);
    ZANTO_CHECK(form->ListView1.RowCount() == n);

    d.Wait(1000);  // the first quote
    ZANTO_CHECK(d.TimerTicks() == 1);
    for (int pass = 0; pass < 2; ++pass) {
      std::map<std::string, int> shown;
      for (std::size_t k = 0; k < n; ++k) {
        if (pass > 0 || k > 0) NextTick(d);
        ZANTO_CHECK(fuzz::FieldWithin(record.szInfo, 255));
        ZANTO_CHECK(record.szInfoTitle.bytes == "Did you know?");
        ZANTO_CHECK(record.szInfo.encoding == encoding);
        ++shown[record.szInfo.bytes];
        ZANTO_CHECK(form->QuoteDeck->Count() == n - 1 - k);
      }
      ZANTO_CHECK(shown == deck);
    }
    // With no quotes the ticks still come and show nothing.
    if (n == 0) {
      NextTick(d);
      NextTick(d);
      ZANTO_CHECK(tray.PendingBalloons() == 0);
    }
    ZANTO_CHECK(tray.PendingBalloons() == static_cast<int>(2 * n));
    // A click on the balloon withdraws them all.
    d.TrayCallback(platform::nin::BalloonUserClick, 0);
    ZANTO_CHECK(tray.PendingBalloons() == 0);
    ZANTO_CHECK(fuzz::FieldWithin(record.szInfo, 0));
    // The next quote at once begins a third pass where the second ended.
    d.SetMenuAnswer("ellmemoreZanto1");
    d.TrayCallback(platform::wm::ContextMenu, 0);
    d.Wait(10);
    ZANTO_CHECK(fuzz::FieldWithin(record.szInfo, 255));
    ZANTO_CHECK(form->QuoteDeck->Count() == (n == 0 ? 0 : n - 1));
    ZANTO_CHECK(errorBoxes == 0);
    d.SetMenuAnswer("Exit1");
    d.TrayCallback(platform::wm::ContextMenu, 0);
    ZANTO_CHECK(d.QuitRequested());
  });
  RunZanto(desktop, [&](TfrmSettings& f) { form = &f; });
  ZANTO_CHECK(!desktop.IconPresent());
  ZANTO_CHECK(desktop.LiveTimers() == 0);
  return 0;
}
