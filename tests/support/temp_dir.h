// A private folder for one test, removed with everything in it afterwards.
#pragma once

#include <string>
#include <string_view>

namespace zanto::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }
  // Writes a file of exactly these bytes; returns its path.
  std::string Write(std::string_view name, std::string_view bytes) const;
  // Sets a file's last-write time to noon of 1 July of a year, local time.
  void SetYear(std::string_view name, int year) const;

 private:
  std::string path_;
};

}  // namespace zanto::test
