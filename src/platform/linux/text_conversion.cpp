#include "platform/linux/text_conversion.h"

namespace zanto::platform::linux_desktop {

namespace {

// Windows-1252 from 0x80 to 0x9F; the five bytes it leaves unassigned keep their own
// code points, as Windows reads them.
constexpr char16_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

}  // namespace

QString ToQString(Text text) {
  if (text.encoding == TextEncoding::Utf8)
    return QString::fromUtf8(text.bytes.data(), static_cast<qsizetype>(text.bytes.size()));
  QString out(static_cast<qsizetype>(text.bytes.size()), Qt::Uninitialized);
  QChar* to = out.data();
  for (char ch : text.bytes) {
    const auto c = static_cast<unsigned char>(ch);
    *to++ = QChar(c >= 0x80 && c < 0xA0 ? kWindows1252[c - 0x80] : static_cast<char16_t>(c));
  }
  return out;
}

QString ProgramText(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace zanto::platform::linux_desktop
