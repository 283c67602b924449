#include "platform/posix/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace zanto::platform::posix {

Fd::~Fd() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<FileStamp> StatFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  std::tm local{};
  const std::time_t mtime = st.st_mtime;
  if (!::localtime_r(&mtime, &local)) return std::nullopt;
  return FileStamp{S_ISDIR(st.st_mode), local.tm_year + 1900};
}

ReadResult ReadFileDenyWriters(const std::string& path, std::string& bytes,
                               std::optional<std::size_t> failReadAfter) {
  // Non-blocking, so that a pipe or device named like the file cannot hold the program up.
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return ReadResult::CannotOpen;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::CannotOpen;
  // A read lease is granted only while nobody has the file open for writing: the nearest
  // this system comes to opening it with other writers denied. Where leases are not to be
  // had at all (a file of another user, a file system without them) the file is read
  // unguarded rather than not at all.
  const bool leased = ::fcntl(fd.get(), F_SETLEASE, F_RDLCK) == 0;
  if (!leased && (errno == EAGAIN || errno == EBUSY)) return ReadResult::CannotOpen;
  // Reserved, not resized: the text is written once, by the copy out of each chunk, instead
  // of being zero-filled first. The size is only a hint; the file is read to its end.
  bytes.clear();
  bytes.reserve(static_cast<std::size_t>(st.st_size));
  char chunk[1 << 16];
  ReadResult result = ReadResult::Ok;
  for (;;) {
    std::size_t want = sizeof chunk;
    if (failReadAfter) {
      if (bytes.size() >= *failReadAfter) {
        result = ReadResult::CannotRead;
        break;
      }
      want = std::min(want, *failReadAfter - bytes.size());
    }
    const ssize_t got = ::read(fd.get(), chunk, want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      result = ReadResult::CannotRead;
      break;
    }
    if (got == 0) break;
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  if (leased) ::fcntl(fd.get(), F_SETLEASE, F_UNLCK);
  if (result != ReadResult::Ok) bytes.clear();
  return result;
}

}  // namespace zanto::platform::posix
