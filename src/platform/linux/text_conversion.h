// The program's texts as Qt and D-Bus take them (UTF-16 in QString, UTF-8 on the bus).
#pragma once

#include <QString>
#include <string_view>

#include "platform/text.h"

namespace zanto::platform::linux_desktop {

// 8-bit text is in the code page such files come from, Windows-1252 (a quotes file written
// on Windows); Unicode text is UTF-8. What cannot be read shows as U+FFFD.
QString ToQString(Text text);

// The program's own texts (captions, messages, paths): UTF-8.
QString ProgramText(std::string_view utf8);

}  // namespace zanto::platform::linux_desktop
