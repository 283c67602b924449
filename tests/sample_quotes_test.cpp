// The quotes.txt that ships with the program: a year of daily quotes that a user who never
// edits it sees as they were written, typographic marks and accents included.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/sim_desktop.h"
#include "platform/unicode.h"
#include "quotes/quote_file.h"
#include "quotes/quote_list.h"

namespace zanto {
namespace {

constexpr std::size_t kDaysOfAYear = 365;
// What a balloon shows of a quote, in UTF-16 units: more is cut off.
constexpr std::size_t kBalloonUnits = 255;
constexpr std::string_view kDash = " \u2014 ";

std::string ShippedBytes() {
  std::ifstream in(ZANTO_SAMPLE_QUOTES, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The file as the program finds it beside its executable.
TQuoteList ShippedList() {
  std::ostringstream out;
  sim::Trace trace{out};
  sim::SimOptions options;
  const std::string path = ZANTO_SAMPLE_QUOTES;
  options.executablePath = path.substr(0, path.find_last_of('/') + 1) + "zanto";
  sim::SimDesktop desktop(options, trace);
  return LoadQuoteList(desktop);
}

bool StartsName(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || c >= 0x80;
}

bool EndsName(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80;
}

TEST(SampleQuotes, TheFileIsPlainUtf8TextOfOneQuoteALine) {
  const std::string bytes = ShippedBytes();
  ASSERT_FALSE(bytes.empty()) << ZANTO_SAMPLE_QUOTES;
  EXPECT_TRUE(platform::IsValidUtf8(bytes));
  EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF") << "no byte-order mark";
  EXPECT_EQ(bytes.find('\r'), std::string::npos) << "line feeds alone end the lines";
  EXPECT_EQ(bytes.find('\0'), std::string::npos) << "a NUL would end the file early";
  EXPECT_EQ(bytes.back(), '\n') << "the last line ends as the others do";

  const TQuoteList list = ShippedList();
  EXPECT_EQ(list.Encoding(), platform::TextEncoding::Utf8)
      << "read as 8-bit text, its marks and accents would show as other characters";
  EXPECT_EQ(list.Count(), static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')))
      << "the program reads as many quotes as the file has lines";
  EXPECT_GE(list.Count(), kDaysOfAYear) << "a daily user would see them repeat within a year";
}

TEST(SampleQuotes, EveryQuoteIsWholeInABalloonOnceAndCredited) {
  const TQuoteList list = ShippedList();
  ASSERT_GE(list.Count(), kDaysOfAYear);
  std::set<std::string> seen;
  std::vector<std::string> faults;
  const auto fault = [&](std::size_t index, const std::string& why) {
    faults.push_back("line " + std::to_string(index + 1) + ": " + why + ": " +
                     std::string(list[index]));
  };
  for (std::size_t i = 0; i < list.Count(); ++i) {
    const std::string line(list[i]);
    if (line.empty()) {
      fault(i, "empty");
      continue;
    }
    if (!seen.insert(line).second) fault(i, "twice in the file");
    if (platform::Utf16FromUtf8(line).size() > kBalloonUnits)
      fault(i, "longer than a balloon shows");
    if (line.find_first_of("\"'") != std::string::npos)
      fault(i, "a straight quote where a typographic one belongs");
    if (line.front() == ' ' || line.back() == ' ') fault(i, "a space at an end");

    const std::size_t dash = line.rfind(kDash);
    if (dash == std::string::npos) {
      fault(i, "no \" \u2014 \" before a name");
      continue;
    }
    const std::string quotation = line.substr(0, dash);
    const std::string name = line.substr(dash + kDash.size());
    if (name.empty() || !StartsName(static_cast<unsigned char>(name.front())) ||
        !EndsName(static_cast<unsigned char>(name.back())))
      fault(i, "no name after the dash");
    if (!quotation.starts_with("\u201C") || !quotation.ends_with("\u201D"))
      fault(i, "the quotation is not within \u201C and \u201D");
  }
  EXPECT_TRUE(faults.empty()) << [&] {
    std::string all;
    for (const std::string& f : faults) all += f + "\n";
    return all;
  }();
}

}  // namespace
}  // namespace zanto
