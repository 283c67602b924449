// Quotes files in the forms they come in today: UTF-8 with and without its byte-order mark,
// UTF-16 in either byte order, and 8-bit text, which reads exactly as it always did.
#include "platform/unicode.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "quotes/quote_encoding.h"
#include "support/program_fixture.h"
#include "support/sim_run.h"

namespace zanto::test {
namespace {

using platform::Utf16FromUtf8;

// "é", "’", "Ж" and "😀": Latin-1, Windows-1252 punctuation, Cyrillic, beyond U+FFFF.
const std::vector<std::string> kQuotes = {"Caf\xC3\xA9 au lait", "Don\xE2\x80\x99t panic",
                                          "\xD0\x96\xD0\xB4\xD1\x83", "Smile \xF0\x9F\x98\x80"};

std::string Utf16Bytes(std::string_view utf8, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : Utf16FromUtf8(utf8)) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

std::string Lines(const std::vector<std::string>& quotes, const char* lineBreak = "\r\n") {
  std::string text;
  for (const std::string& q : quotes) text += q + lineBreak;
  return text;
}

struct Form {
  const char* name;
  std::string (*bytes)(const std::string& utf8);
};
const Form kUnicodeForms[] = {
    {"UTF-8", [](const std::string& t) { return t; }},
    {"UTF-8 with its mark", [](const std::string& t) { return "\xEF\xBB\xBF" + t; }},
    {"UTF-16 LE", [](const std::string& t) { return Utf16Bytes(t, false); }},
    {"UTF-16 BE", [](const std::string& t) { return Utf16Bytes(t, true); }},
};

// Every quote once, then the Quotes page.
constexpr const char* kShowAll =
    "wait 1000\n"
    "menu ellmemoreZanto1\ntray contextmenu\nwait 10\n"
    "menu ellmemoreZanto1\ntray contextmenu\nwait 10\n"
    "menu ellmemoreZanto1\ntray contextmenu\nwait 10\n"
    "menu Settings1\ntray contextmenu\npage 1\ndump\n";

class UnicodeQuotes : public ProgramTest {
 protected:
  SimRun Run(const std::string& bytes, const std::string& script = kShowAll) {
    Quotes(bytes);
    return RunSim(Options(), script);
  }
  // The quotes as the Quotes page lists them.
  static std::vector<std::string> Rows(const SimRun& run, bool unicode) {
    const auto dumps = run.Ops("dump");
    return dumps.empty() ? std::vector<std::string>{} : dumps.back().Strings("firstRows", unicode);
  }
};

TEST_F(UnicodeQuotes, EveryUnicodeFormShowsItsCharactersInTheBalloonsAndTheQuotesPage) {
  for (const Form& form : kUnicodeForms) {
    SCOPED_TRACE(form.name);
    const SimRun run = Run(form.bytes(Lines(kQuotes)));
    const std::vector<std::string> shown = run.QuoteBalloons();
    EXPECT_EQ(std::set<std::string>(shown.begin(), shown.end()),
              std::set<std::string>(kQuotes.begin(), kQuotes.end()));
    std::size_t quoteRecords = 0;
    for (const TraceLine& line : run.Shell("NIM_MODIFY")) {
      if (line.Get("title") != "Did you know?") continue;
      ++quoteRecords;
      EXPECT_TRUE(line.Wide()) << line.text;
      EXPECT_EQ(line.Number("cbSize"), platform::NotifyIconData::kWideLongSize)
          << "the wide record's size";
      EXPECT_NE(line.text.find("\\u"), std::string::npos) << "characters travel escaped";
    }
    EXPECT_GE(quoteRecords, kQuotes.size()) << "every quote went to the shell";
    EXPECT_FALSE(run.Shell("NIM_ADD")[0].Wide()) << "the icon's own record holds no quote";
    EXPECT_EQ(Rows(run, true), kQuotes) << "the Quotes page, in file order, mark-free";
    EXPECT_TRUE(run.Ops("errorbox").empty());
  }
}

TEST_F(UnicodeQuotes, EightBitFilesReadExactlyAsTheyAlwaysDid) {
  // Each: a file that is not Unicode by its own word, whose bytes stay the quotes.
  const std::vector<std::vector<std::string>> files = {
      {"caf\xE9 cr\xE8me", "na\xEFve \x93quoted\x94"},  // Windows-1252
      {"plain ASCII only", "nothing above 0x7F"},
      {"\xC3\xA9 looks like UTF-8", "but this \xE9 is not"},  // one bad byte makes it 8-bit
      {"\xEF\xBB no whole mark"},
  };
  for (const auto& quotes : files) {
    SCOPED_TRACE(quotes[0]);
    const SimRun run = Run(Lines(quotes));
    const TraceLines shell = run.Ops("shell");
    ASSERT_GE(shell.size(), 2 + quotes.size()) << "the icon, its version and every quote";
    for (const TraceLine& line : shell) {
      EXPECT_FALSE(line.Wide()) << line.text;
      EXPECT_EQ(line.Number("cbSize"), platform::NotifyIconData::kLongSize) << line.text;
    }
    const std::vector<std::string> shown = run.QuoteBalloons();
    EXPECT_EQ(std::set<std::string>(shown.begin(), shown.end()),
              std::set<std::string>(quotes.begin(), quotes.end()));
    EXPECT_EQ(Rows(run, false), quotes);
  }
}

TEST_F(UnicodeQuotes, MarksAreNoQuoteTextAndLineBreaksAndTheEndKeepTheirRules) {
  const std::vector<std::string> expected = {"one", "",
                                             "thr\xC3\xA9"
                                             "e",
                                             "four"};
  for (const Form& form : kUnicodeForms) {
    SCOPED_TRACE(form.name);
    // CR LF, a lone LF, a lone CR, a break at the very end: four quotes, the second empty.
    EXPECT_EQ(Rows(Run(form.bytes("one\r\n\nthr\xC3\xA9"
                                  "e\rfour\r\n")),
                   true),
              expected);
    // The first NUL character ends the text.
    EXPECT_EQ(
        Rows(Run(form.bytes(std::string("caf\xC3\xA9\r\nend", 11) + '\0' + "gone\r\n")), true),
        (std::vector<std::string>{"caf\xC3\xA9", "end"}));
  }
  // A mark alone is a file of no quotes, as an empty file is.
  EXPECT_TRUE(Rows(Run("\xEF\xBB\xBF"), true).empty());
  EXPECT_TRUE(Rows(Run("\xFF\xFE"), true).empty());
}

TEST_F(UnicodeQuotes, MalformedTextShowsReplacementCharactersAndLosesNothingAround) {
  const std::string fffd = "\xEF\xBF\xBD";
  // UTF-8 that says it is and is not quite.
  EXPECT_EQ(Rows(Run("\xEF\xBB\xBFgood\r\nbad\xFF here\xE2\x80\r\nfine\r\n"), true),
            (std::vector<std::string>{"good", "bad" + fffd + " here" + fffd, "fine"}));
  // UTF-16 with a lone surrogate, a pair the wrong way round, and an odd last byte.
  const char utf16[] = {'\xFF', '\xFE', 'a', 0,      0,      '\xD8', 'b', 0, '\r', 0,
                        '\n',   0,      0,   '\xDC', '\x3D', '\xD8', 'c', 0, 'd'};
  EXPECT_EQ(Rows(Run(std::string(utf16, sizeof utf16)), true),
            (std::vector<std::string>{"a" + fffd + "b", fffd + fffd + "c" + fffd}));
}

TEST_F(UnicodeQuotes, TheBalloonHoldsAtMost255Utf16UnitsAndNeverHalfACharacter) {
  const std::string emoji = "\xF0\x9F\x98\x80";  // two units
  const std::string zhe = "\xD0\x96";            // one unit, two bytes
  struct Case {
    std::string quote, shown;
  };
  const Case cases[] = {
      {std::string(253, 'x') + emoji + "tail", std::string(253, 'x') + emoji},
      {std::string(254, 'x') + emoji + "tail", std::string(254, 'x')},
      {[&] {
         std::string s;
         for (int i = 0; i < 300; ++i) s += zhe;
         return s;
       }(),
       [&] {
         std::string s;
         for (int i = 0; i < 255; ++i) s += zhe;
         return s;
       }()},
  };
  for (const Case& c : cases) {
    const SimRun run = Run("\xEF\xBB\xBF" + c.quote + "\r\n",
                           "wait 1000\nmenu Settings1\n"
                           "tray contextmenu\npage 1\ndump\n");
    EXPECT_EQ(run.QuoteBalloons(), std::vector<std::string>{c.shown});
    EXPECT_EQ(Rows(run, true), std::vector<std::string>{c.quote}) << "the list holds it whole";
  }
}

TEST(TFileEncoding, TheFileSaysWhatItIs) {
  EXPECT_EQ(ClassifyQuotesFile(""), TFileEncoding::feAnsi);
  EXPECT_EQ(ClassifyQuotesFile("ascii\r\n"), TFileEncoding::feAnsi);
  EXPECT_EQ(ClassifyQuotesFile("caf\xC3\xA9"), TFileEncoding::feUtf8);
  EXPECT_EQ(ClassifyQuotesFile("caf\xE9"), TFileEncoding::feAnsi);
  EXPECT_EQ(ClassifyQuotesFile("\xEF\xBB\xBF"), TFileEncoding::feUtf8WithMark);
  EXPECT_EQ(ClassifyQuotesFile("\xEF\xBB\xBF\xFF"), TFileEncoding::feUtf8WithMark)
      << "the mark is the file's word, whatever follows";
  EXPECT_EQ(ClassifyQuotesFile("\xFF\xFEh\0"), TFileEncoding::feUtf16Le);
  EXPECT_EQ(ClassifyQuotesFile("\xFE\xFF\0h"), TFileEncoding::feUtf16Be);
  // Valid UTF-8 from the first byte to the last: a bad byte anywhere, even far on, and even
  // after a NUL, makes the file 8-bit.
  std::string far(100'000, 'a');
  far += "\xC3\xA9";
  EXPECT_EQ(ClassifyQuotesFile(far), TFileEncoding::feUtf8);
  EXPECT_EQ(ClassifyQuotesFile(far + std::string(1, '\0') + "\xE9"), TFileEncoding::feAnsi);
  EXPECT_EQ(ClassifyQuotesFile(far.substr(0, 99'999) + "\xE2\x80"), TFileEncoding::feAnsi)
      << "cut off at the end";
}

}  // namespace
}  // namespace zanto::test
