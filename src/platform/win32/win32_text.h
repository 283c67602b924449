// The program's texts are UTF-8; Windows takes UTF-16. Every text crosses here, so that a
// name in any script, and a file name Windows itself allows but no code page can spell,
// arrives as it is.
#pragma once

#include <string>
#include <string_view>

namespace zanto::platform::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// The form of a full path that every file call takes whatever its length: over the classic
// limit of 260 characters a drive path gets the "\\?\" prefix and a network path the
// "\\?\UNC\" one. Shorter paths, and paths already in a device form, stay as they are (the
// prefix would switch off the system's own clean-up of the name, which short paths keep).
std::wstring ExtendedLengthPath(std::wstring path);

}  // namespace zanto::platform::win32
