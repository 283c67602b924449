// What every desktop shares without touching one: texts between UTF-8 and UTF-16, and the
// keyboard's way through a window made from its definition.
#include <gtest/gtest.h>

#include <string>

#include "app/settings_definition.h"
#include "platform/form_navigation.h"
#include "platform/unicode.h"

namespace zanto::platform {
namespace {

TEST(Unicode, EveryScriptAndEveryNameWindowsAllowsSurvivesTheRoundTrip) {
  const std::u16string names[] = {
      u"C:\\Users\\Zo\u00eb\\quotes.txt",
      u"C:\\\u0426\u0438\u0442\u0430\u0442\u044b\\quotes.txt",  // Cyrillic
      u"D:\\\u540d\u8a00\\quotes.txt",                          // Chinese
      u"E:\\\U0001F600\\quotes.txt",                            // beyond U+FFFF
      u"F:\\lone \xD800 high and \xDC00 low surrogates",        // NTFS allows them
      u"",
  };
  for (const std::u16string& name : names)
    EXPECT_EQ(Utf16FromUtf8(Utf8FromUtf16(name)), name) << Utf8FromUtf16(name);
  EXPECT_EQ(Utf8FromUtf16(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8FromUtf16(u"a\xD800z", false), "a\xEF\xBF\xBDz")
      << "text (not a name) shows a lone surrogate as U+FFFD";
}

TEST(Unicode, MalformedInputReadsAsReplacementCharactersAndLosesNothingAround) {
  // Each: bytes, and the UTF-16 they read as.
  const std::pair<std::string, std::u16string> cases[] = {
      {"ab\x80"
       "cd",
       u"ab\uFFFDcd"},      // a stray continuation byte
      {"\xC3", u"\uFFFD"},  // cut off at the end
      {"\xE2\x80"
       "x",
       u"\uFFFDx"},                                       // cut off before a letter
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong: each byte on its own
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xFF\xFE", u"\uFFFD\uFFFD"},
      {"\xEF\xBF\xBD", u"\uFFFD"},  // a real U+FFFD
  };
  for (const auto& [bytes, units] : cases) EXPECT_EQ(Utf16FromUtf8(bytes), units) << bytes;
}

TEST(Unicode, OnlyWellFormedTextCountsAsUtf8) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain ASCII\r\n"));
  EXPECT_TRUE(IsValidUtf8("don\xE2\x80\x99t \xD0\x96 \xF0\x9F\x98\x80 \xEF\xBF\xBD"));
  for (const char* bad : {"caf\xE9", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x80",
                          "\x80", "\xF8\x88\x80\x80\x80"})
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
}

// The settings window's controls by name.
int Index(const FormDef& def, const char* name) {
  const int index = def.indexOf(name);
  EXPECT_GE(index, 0) << name;
  return index;
}

TEST(FormNavigation, TabGoesThroughTheButtonsThePagesAndTheShownPagesControls) {
  const FormDef& def = SettingsFormDefinition();
  const int cancel = Index(def, "BitBtn1"), ok = Index(def, "BitBtn2");
  const int pages = Index(def, "PageControl"), list = Index(def, "ListView1");
  for (int page : {0, 1, 2}) {
    const std::vector<int> cycle = TabCycle(def, [&](int) { return page; });
    std::vector<int> expected = {cancel, ok, pages};
    if (page == 1) expected.push_back(list);  // only the Quotes page has a control to stop on
    EXPECT_EQ(cycle, expected) << "page " << page;
  }
  const std::vector<int> quotes = TabCycle(def, [](int) { return 1; });
  EXPECT_EQ(NextTabStop(quotes, cancel, false), ok);
  EXPECT_EQ(NextTabStop(quotes, list, false), cancel) << "round again";
  EXPECT_EQ(NextTabStop(quotes, cancel, true), list) << "Shift+Tab goes back round";
  EXPECT_EQ(NextTabStop(quotes, -1, false), cancel) << "from nowhere: the first";
  EXPECT_EQ(NextTabStop(quotes, -1, true), list) << "backwards from nowhere: the last";
  EXPECT_EQ(NextTabStop({}, cancel, false), -1);
}

TEST(FormNavigation, CtrlTabTurnsThePagesRoundAndAccessKeysFindTheirButtons) {
  const FormDef& def = SettingsFormDefinition();
  EXPECT_EQ(PagesOf(def, def.indexOf("PageControl")),
            (std::vector<int>{def.indexOf("TabSheet1"), def.indexOf("TabSheet2"),
                              def.indexOf("TabSheet3")}));
  EXPECT_EQ(NeighbourPage(0, 3, false), 1);
  EXPECT_EQ(NeighbourPage(2, 3, false), 0);
  EXPECT_EQ(NeighbourPage(0, 3, true), 2);
  EXPECT_EQ(NeighbourPage(-1, 3, false), 0);
  EXPECT_EQ(NeighbourPage(0, 0, false), -1);
  EXPECT_EQ(ButtonForAccessKey(def, 'c'), def.indexOf("BitBtn1"));
  EXPECT_EQ(ButtonForAccessKey(def, 'O'), def.indexOf("BitBtn2"));
  EXPECT_EQ(ButtonForAccessKey(def, 'a'), -1) << "\"C&ancel\" it is not";

  FormDef amp;
  ControlDef button;
  button.kind = ControlKind::Button;
  button.caption = "Fish && &Chips";
  amp.controls.push_back(button);
  EXPECT_EQ(ButtonForAccessKey(amp, 'c'), 0);
  EXPECT_EQ(ButtonForAccessKey(amp, ' '), -1) << "\"&&\" marks no key";
}

}  // namespace
}  // namespace zanto::platform
