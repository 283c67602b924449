#include "support/temp_dir.h"

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace zanto::test {

TempDir::TempDir() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / (std::string(kPrefix) + "XXXXXX")).string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(std::string_view name, std::string_view bytes) const {
  const std::string path = File(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
  return path;
}

void TempDir::SetYear(std::string_view name, int year) const {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = 6;
  tm.tm_mday = 1;
  tm.tm_hour = 12;
  tm.tm_isdst = -1;
  const std::time_t when = std::mktime(&tm);
  const struct timeval times[2] = {{when, 0}, {when, 0}};
  if (::utimes(File(name).c_str(), times) != 0) throw std::runtime_error("utimes failed");
}

std::string TempDir::Deep(std::size_t length) const {
  std::string relative;
  for (char level = 'a'; relative.empty() || File(relative).size() <= length; ++level) {
    if (!relative.empty()) relative += kSeparator;
    relative += std::string(99, level) + "\xC3\xA9";  // 'é': 100 characters
    std::filesystem::create_directory(File(relative));
  }
  return relative;
}

}  // namespace zanto::test
