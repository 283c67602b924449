// A private folder for one test, removed with everything in it afterwards. Paths are UTF-8
// on every system. On Windows the folder's name holds Cyrillic and Chinese, which no 8-bit
// code page spells together, so that every path a test makes there needs the wide calls.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zanto::test {

class TempDir {
 public:
#ifdef _WIN32
  static constexpr char kSeparator = '\\';
#else
  static constexpr char kSeparator = '/';
#endif
  // Every such folder's name begins so, in the system's temporary folder.
  static constexpr std::string_view kPrefix = "zanto-test-";

  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const {
    return path_;
  }
  // A path inside: `name` may name folders below this one, as Deep gives them.
  std::string File(std::string_view name) const {
    return path_ + kSeparator + std::string(name);
  }
  // Writes a file of exactly these bytes; returns its path.
  std::string Write(std::string_view name, std::string_view bytes) const;
  // Sets a file's last-write time to noon of 1 July of a year, local time.
  void SetYear(std::string_view name, int year) const;
  // Makes nested folders of 100-character names below this one, at least one, until the
  // whole path is longer than `length` (in bytes; on Windows in UTF-16 units, as its path
  // limit counts); returns the deepest, relative to this folder.
  std::string Deep(std::size_t length) const;

 private:
  std::string path_;
};

}  // namespace zanto::test
