#include "platform/posix/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
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

ReadResult ReadToEnd(int fd, std::size_t expected, FileSink& sink,
                     std::optional<std::size_t> failReadAfter) {
  // Pieces small enough for the taker to look at while they are still in the processor's
  // cache, and large enough that the calls cost nothing beside the copying.
  constexpr std::size_t kPiece = std::size_t{256} << 10;
  sink.Expect(expected);
  std::size_t used = 0;
  for (;;) {
    std::size_t want = kPiece;
    if (failReadAfter) {
      if (used >= *failReadAfter) return ReadResult::CannotRead;
      want = std::min(want, *failReadAfter - used);
    }
    const std::span<char> room = sink.Room(want);
    const ssize_t got = ::read(fd, room.data(), room.size());
    if (got < 0 && errno == EINTR) {
      sink.Filled(0);
      continue;
    }
    if (got < 0) return ReadResult::CannotRead;
    sink.Filled(static_cast<std::size_t>(got));
    if (got == 0) return ReadResult::Ok;
    used += static_cast<std::size_t>(got);
  }
}

ReadResult ReadFileDenyWriters(const std::string& path, FileSink& sink,
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
  const ReadResult result =
      ReadToEnd(fd.get(), static_cast<std::size_t>(st.st_size), sink, failReadAfter);
  if (leased) ::fcntl(fd.get(), F_SETLEASE, F_UNLCK);
  return result;
}

}  // namespace zanto::platform::posix
