// Files, the process and the clock on Windows. Paths travel as UTF-8 and meet the system
// through its wide calls, so that a folder in any script, and one nested deeper than the
// classic 260 characters, is found where it is.
#include <algorithm>
#include <cstdint>

#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_text.h"

namespace zanto::platform::win32 {

std::string Win32Desktop::executablePath() {
  // Long paths do not fit MAX_PATH: grow until the whole name fits.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return Utf8(path);
    }
    if (path.size() >= 65536) return {};
    path.resize(path.size() * 2);
  }
}

std::string_view Win32Desktop::pathDelimiters() {
  return "\\:";
}

std::optional<FileStamp> Win32Desktop::fileStamp(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(ExtendedLengthPath(Wide(path)).c_str(), GetFileExInfoStandard, &data))
    return std::nullopt;
  FileStamp stamp;
  stamp.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  FILETIME local{};
  SYSTEMTIME time{};
  if (FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) && FileTimeToSystemTime(&local, &time))
    stamp.localYear = time.wYear;
  return stamp;
}

ReadResult Win32Desktop::readFileDenyWriters(const std::string& path, FileSink& sink) {
  KernelHandle file = OwnFileHandle(CreateFileW(ExtendedLengthPath(Wide(path)).c_str(),
                                                GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return ReadResult::CannotOpen;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0)
    sink.Expect(static_cast<std::size_t>(
        std::min<unsigned long long>(static_cast<unsigned long long>(size.QuadPart), SIZE_MAX)));
  // Pieces the taker can look at while they are still in the processor's cache; the file is
  // read to its end whatever its size has become.
  constexpr DWORD kPiece = DWORD{256} << 10;
  for (;;) {
    const std::span<char> room = sink.Room(kPiece);
    DWORD got = 0;
    if (!ReadFile(file.get(), room.data(), static_cast<DWORD>(room.size()), &got, nullptr))
      return ReadResult::CannotRead;
    sink.Filled(got);
    if (got == 0) return ReadResult::Ok;
  }
}

std::uint32_t Win32Desktop::utcMillisecondsOfDay() {
  SYSTEMTIME t{};
  GetSystemTime(&t);
  return ((t.wHour * 60u + t.wMinute) * 60u + t.wSecond) * 1000u + t.wMilliseconds;
}

std::int64_t Win32Desktop::localTimeMilliseconds() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  FILETIME f{};
  if (!SystemTimeToFileTime(&t, &f)) return 0;
  ULARGE_INTEGER ticks{};
  ticks.LowPart = f.dwLowDateTime;
  ticks.HighPart = f.dwHighDateTime;
  return static_cast<std::int64_t>(ticks.QuadPart / 10000);  // 100-ns ticks since 1601
}

int Win32Desktop::startupShowCommand() {
  STARTUPINFOW info{};
  info.cb = sizeof info;
  GetStartupInfoW(&info);
  return (info.dwFlags & STARTF_USESHOWWINDOW) ? info.wShowWindow : SW_SHOWNORMAL;
}

}  // namespace zanto::platform::win32
