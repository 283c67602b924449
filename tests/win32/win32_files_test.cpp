// Files and paths on Windows: the quotes file is found and read beside the program whatever
// its folder is called and however deep it lies, and the paths the program shows are the
// paths as they are.
#include <gtest/gtest.h>

#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"
#include "quotes/quote_file.h"
#include "support/temp_dir.h"

namespace zanto::platform::win32::test {

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

using zanto::test::TempDir;

class Win32Files : public ::testing::Test {
 protected:
  Win32Desktop desktop{GetModuleHandleW(nullptr)};
  TempDir dir;  // named in Cyrillic and Chinese
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
  for (const std::string& name : {std::string("quotes.txt"), dir.Deep(300) + "\\quotes.txt"}) {
    SCOPED_TRACE(name);
    const std::string path = dir.Write(name, bytes);
    EXPECT_TRUE(QuotesFileExists(desktop, path));
    std::string read;
    EXPECT_EQ(desktop.readFileDenyWriters(path, read), ReadResult::Ok);
    EXPECT_EQ(read, bytes);

    // Held open for writing by another program: it cannot be opened, and says so.
    KernelHandle writer = OwnFileHandle(
        CreateFileW(ExtendedLengthPath(Wide(path)).c_str(), GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    EXPECT_EQ(desktop.readFileDenyWriters(path, read), ReadResult::CannotOpen);
  }
}

TEST_F(Win32Files, AFolderNamedLikeTheFileIsNoFileAtAnyDepth) {
  for (const std::string& folder : {dir.Path(), dir.File(dir.Deep(280))}) {
    const std::string named = folder + "\\quotes.txt";
    CreateDirectoryW(ExtendedLengthPath(Wide(named)).c_str(), nullptr);
    const auto stamp = desktop.fileStamp(named);
    ASSERT_TRUE(stamp);
    EXPECT_TRUE(stamp->directory);
    EXPECT_FALSE(QuotesFileExists(desktop, named));
    EXPECT_FALSE(desktop.fileStamp(folder + "\\nothing.txt"));
  }
}

TEST_F(Win32Files, OnlyAFileWithADosDateCountsAsThereAtAnyDepth) {
  for (const std::string& name : {std::string("quotes.txt"), dir.Deep(280) + "\\quotes.txt"}) {
    SCOPED_TRACE(name);
    const std::string path = dir.Write(name, "x\r\n");
    for (const auto& [year, there] : {std::pair{1979, false}, std::pair{1980, true},
                                      std::pair{2107, true}, std::pair{2108, false}}) {
      dir.SetYear(name, year);
      EXPECT_EQ(QuotesFileExists(desktop, path), there) << year;
    }
  }
}

}  // namespace
}  // namespace zanto::platform::win32::test
