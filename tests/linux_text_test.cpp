// Texts on Linux desktops: 8-bit quotes are Windows-1252, the code page such files come
// from; Unicode quotes and the program's own texts are UTF-8.
#include <gtest/gtest.h>

#include "platform/linux/text_conversion.h"

namespace zanto::platform::linux_desktop {
namespace {

TEST(TextConversion, EightBitTextIsWindows1252AndUnicodeTextIsUtf8) {
  EXPECT_EQ(ToQString({"caf\xE9 cr\xE8me", TextEncoding::Ansi}), QString::fromUtf8("café crème"));
  EXPECT_EQ(ToQString({"\x93quoted\x94 \x96 \x80 \x85 \x99", TextEncoding::Ansi}),
            QString::fromUtf8("“quoted” – € … ™"))
      << "the punctuation Windows puts between 0x80 and 0x9F";
  EXPECT_EQ(ToQString({"\x81\x8D\x8F\x90\x9D", TextEncoding::Ansi}),
            QStringView(u"\u0081\u008D\u008F\u0090\u009D").toString())
      << "the five bytes Windows-1252 leaves unassigned keep their own code points";
  EXPECT_EQ(ToQString({"\xD0\x96 \xF0\x9F\x98\x80", TextEncoding::Utf8}),
            QStringView(u"\u0416 \U0001F600").toString());
  EXPECT_EQ(ToQString({"bad \xFF", TextEncoding::Utf8}), QStringView(u"bad \uFFFD").toString());
  EXPECT_EQ(ProgramText("Zanto|Settings..."), QStringLiteral("Zanto|Settings..."));
  EXPECT_EQ(ProgramText("/home/zo\xC3\xAB/quotes.txt"), QString::fromUtf8("/home/zoë/quotes.txt"));
}

}  // namespace
}  // namespace zanto::platform::linux_desktop
