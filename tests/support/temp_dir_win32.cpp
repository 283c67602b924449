// The private folder on Windows: made and emptied through the wide calls, and through the
// extended form of a path, so that names in any script and over-long paths go too.
#include <windows.h>

#include <memory>
#include <stdexcept>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"
#include "support/temp_dir.h"

namespace zanto::test {

namespace {

using platform::win32::ExtendedLengthPath;
using platform::win32::Utf8;
using platform::win32::Wide;

struct FindCloser {
  void operator()(HANDLE search) const { FindClose(search); }
};

void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW found{};
  const HANDLE first = FindFirstFileW(ExtendedLengthPath(dir + L"\\*").c_str(), &found);
  const std::unique_ptr<void, FindCloser> search(first == INVALID_HANDLE_VALUE ? nullptr : first);
  if (search) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = dir + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path);
      else
        DeleteFileW(ExtendedLengthPath(path).c_str());
    } while (FindNextFileW(search.get(), &found));
  }
  RemoveDirectoryW(ExtendedLengthPath(dir).c_str());
}

}  // namespace

TempDir::TempDir() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH, temp);
  const std::wstring base =
      std::wstring(temp, length) + Wide(kPrefix) + std::to_wstring(GetCurrentProcessId()) + L"-";
  for (unsigned attempt = 0;; ++attempt) {
    const std::wstring path =
        base + std::to_wstring(attempt) + L"-\u0426\u0438\u0442\u0430\u0442\u044b-\u540d\u8a00";
    if (CreateDirectoryW(path.c_str(), nullptr)) {
      path_ = Utf8(path);
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS)
      throw std::runtime_error("cannot make a temporary folder");
  }
}

TempDir::~TempDir() {
  RemoveTree(Wide(path_));
}

std::string TempDir::Write(std::string_view name, std::string_view bytes) const {
  const std::string path = File(name);
  platform::win32::KernelHandle file = platform::win32::OwnFileHandle(
      CreateFileW(ExtendedLengthPath(Wide(path)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!file ||
      !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size())
    throw std::runtime_error("cannot write " + path);
  return path;
}

void TempDir::SetYear(std::string_view name, int year) const {
  SYSTEMTIME local{};
  local.wYear = static_cast<WORD>(year);
  local.wMonth = 7;
  local.wDay = 1;
  local.wHour = 12;
  SYSTEMTIME utc{};
  FILETIME when{};
  platform::win32::KernelHandle file = platform::win32::OwnFileHandle(
      CreateFileW(ExtendedLengthPath(Wide(File(name))).c_str(), FILE_WRITE_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file || !TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
      !SystemTimeToFileTime(&utc, &when) || !SetFileTime(file.get(), nullptr, &when, &when))
    throw std::runtime_error("cannot date " + File(name));
}

std::string TempDir::Deep(std::size_t length) const {
  std::wstring relative;
  const std::wstring path = Wide(path_);
  for (wchar_t level = L'a'; relative.empty() || path.size() + 1 + relative.size() <= length;
       ++level) {
    if (!relative.empty()) relative += L'\\';
    relative += std::wstring(99, level) + L"\u00e9";
    CreateDirectoryW(ExtendedLengthPath(path + L"\\" + relative).c_str(), nullptr);
  }
  return Utf8(relative);
}

}  // namespace zanto::test
