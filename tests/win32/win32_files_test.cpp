// Files and paths on Windows: the quotes file is found and read beside the program whatever
// its folder is called and however deep it lies, and the paths the program shows are the
// paths as they are.
#include <gtest/gtest.h>

#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"
#include "quotes/quote_file.h"
#include "win32_test_support.h"

namespace zanto::platform::win32::test {

WideTempDir::WideTempDir() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp, length) + L"zanto-" + std::to_wstring(GetCurrentProcessId()) +
          L"-\u0426\u0438\u0442\u0430\u0442\u044b-\u540d\u8a00";
  CreateDirectoryW(path_.c_str(), nullptr);
}

namespace {
void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(ExtendedLengthPath(dir + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = dir + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path);
      else
        DeleteFileW(ExtendedLengthPath(path).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(ExtendedLengthPath(dir).c_str());
}
}  // namespace

WideTempDir::~WideTempDir() {
  RemoveTree(path_);
}

std::wstring WideTempDir::Deep(std::size_t length) const {
  std::wstring dir = path_;
  for (int level = 0; dir.size() <= length; ++level) {
    dir += L"\\" + std::wstring(99, static_cast<wchar_t>(L'a' + level)) + L"\u00e9";
    CreateDirectoryW(ExtendedLengthPath(dir).c_str(), nullptr);
  }
  return dir;
}

std::wstring WideTempDir::Write(const std::wstring& path, const std::string& bytes) {
  KernelHandle file =
      ownFileHandle(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (file)
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  return path;
}

namespace {

TEST(Win32Text, NamesInAnyScriptCrossIntoUtf8AndBack) {
  for (const std::wstring& name :
       {std::wstring(L"C:\\\u0426\u0438\u0442\u0430\u0442\u044b\\quotes.txt"),
        std::wstring(L"D:\\\u540d\u8a00\\\U0001F600.txt"), std::wstring(L"plain"),
        std::wstring(L"lone \xD800 surrogate"), std::wstring()}) {
    EXPECT_EQ(Wide(Utf8(name)), name);
  }
  EXPECT_EQ(Utf8(L"\u0416"), "\xD0\x96");
}

TEST(Win32Text, OnlyPathsBeyondTheClassicLimitTakeTheExtendedForm) {
  const std::wstring deep = L"C:\\" + std::wstring(300, L'x') + L"\\quotes.txt";
  EXPECT_EQ(ExtendedLengthPath(L"C:\\Zanto\\quotes.txt"), L"C:\\Zanto\\quotes.txt");
  EXPECT_EQ(ExtendedLengthPath(deep), L"\\\\?\\" + deep);
  EXPECT_EQ(ExtendedLengthPath(L"\\\\?\\" + deep), L"\\\\?\\" + deep) << "already extended";
  EXPECT_EQ(ExtendedLengthPath(L"\\\\server\\share\\" + std::wstring(300, L'y')),
            L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'y'));
  EXPECT_EQ(ExtendedLengthPath(L"C:/" + std::wstring(300, L'z') + L"/q.txt"),
            L"\\\\?\\C:\\" + std::wstring(300, L'z') + L"\\q.txt")
      << "the extended form takes no forward slashes";
}

class Win32Files : public ::testing::Test {
 protected:
  Win32Desktop desktop{GetModuleHandleW(nullptr)};
  WideTempDir dir;
};

TEST_F(Win32Files, TheProgramsOwnPathIsTheSystemsWhateverItHolds) {
  wchar_t module[32768] = {};
  const DWORD length = GetModuleFileNameW(nullptr, module, 32768);
  EXPECT_EQ(desktop.executablePath(), Utf8(std::wstring_view(module, length)));
  EXPECT_EQ(QuotesFilePath(desktop.executablePath(), desktop.pathDelimiters()).substr(0, 2),
            Utf8(std::wstring_view(module, length)).substr(0, 2));
}

TEST_F(Win32Files, AFileInAFolderNoCodePageCanSpellIsFoundAndReadWhole) {
  const std::string bytes = "caf\xE9\r\nline two\r\n";  // the bytes are read as they are
  for (const std::wstring& folder : {dir.Path(), dir.Deep(300)}) {
    SCOPED_TRACE(Utf8(folder));
    const std::string path = Utf8(WideTempDir::Write(folder + L"\\quotes.txt", bytes));
    EXPECT_TRUE(QuotesFileExists(desktop, path));
    std::string read;
    EXPECT_EQ(desktop.readFileDenyWriters(path, read), ReadResult::Ok);
    EXPECT_EQ(read, bytes);

    // Held open for writing by another program: it cannot be opened, and says so.
    KernelHandle writer = ownFileHandle(
        CreateFileW(ExtendedLengthPath(Wide(path)).c_str(), GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    EXPECT_EQ(desktop.readFileDenyWriters(path, read), ReadResult::CannotOpen);
  }
}

TEST_F(Win32Files, AFolderNamedLikeTheFileIsNoFileAtAnyDepth) {
  for (const std::wstring& folder : {dir.Path(), dir.Deep(280)}) {
    const std::wstring named = folder + L"\\quotes.txt";
    CreateDirectoryW(ExtendedLengthPath(named).c_str(), nullptr);
    const auto stamp = desktop.fileStamp(Utf8(named));
    ASSERT_TRUE(stamp);
    EXPECT_TRUE(stamp->directory);
    EXPECT_FALSE(QuotesFileExists(desktop, Utf8(named)));
    EXPECT_FALSE(desktop.fileStamp(Utf8(folder + L"\\nothing.txt")));
  }
}

}  // namespace
}  // namespace zanto::platform::win32::test
