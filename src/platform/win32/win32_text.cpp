#include "platform/win32/win32_text.h"

#include "platform/unicode.h"

namespace zanto::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16 units");

std::wstring Wide(std::string_view utf8) {
  const std::u16string units = Utf16FromUtf8(utf8);
  return std::wstring(units.begin(), units.end());
}

std::string Utf8(std::wstring_view wide) {
  const std::u16string units(wide.begin(), wide.end());
  return Utf8FromUtf16(units);
}

std::wstring ExtendedLengthPath(std::wstring path) {
  // MAX_PATH counts the terminating NUL; a directory must leave room for an 8.3 name too,
  // so the prefix is taken from 248 characters on.
  constexpr std::size_t kClassicLimit = 248;
  if (path.size() < kClassicLimit) return path;
  if (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) return path;
  // The prefixed form is passed on as it is: no forward slash is turned round any more.
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  const bool drive = path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
  if (drive) return L"\\\\?\\" + path;
  if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  return path;  // relative: the program never builds one
}

}  // namespace zanto::platform::win32
