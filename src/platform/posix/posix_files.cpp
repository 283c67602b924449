#include "platform/posix/posix_files.h"

#include <fcntl.h>
#include <sys/mman.h>
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

namespace {

// As the quote list does for its own buffers (see AdviseLargePages there): large pages for
// the text, where the system gives them for the asking. A million quotes are some 100 MB.
void AdviseLargePages(char* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
  const std::uintptr_t last = (begin + bytes) & ~(kLargePage - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

}  // namespace

ReadResult ReadToEnd(int fd, std::size_t expected, std::string& bytes,
                     std::optional<std::size_t> failReadAfter) {
  // Straight into the text, with no buffer in between: a million quotes are some 100 MB, and
  // each pass over them costs about as much as reading them. (A string is not made longer
  // without being filled; the fill lands on pages the system has only just cleared.)
  bytes.clear();
  bytes.reserve(expected);
  AdviseLargePages(bytes.data(), bytes.capacity());
  bytes.resize(expected);
  std::size_t used = 0;
  ReadResult result = ReadResult::Ok;
  for (;;) {
    // Once the text is full, a small read tells whether the file has grown since.
    char more[1 << 12];
    const bool full = used == bytes.size();
    char* const into = full ? more : bytes.data() + used;
    std::size_t want = full ? sizeof more : bytes.size() - used;
    if (failReadAfter) {
      if (used >= *failReadAfter) {
        result = ReadResult::CannotRead;
        break;
      }
      want = std::min(want, *failReadAfter - used);
    }
    const ssize_t got = ::read(fd, into, want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      result = ReadResult::CannotRead;
      break;
    }
    if (got == 0) break;
    if (full) {
      bytes.append(more, static_cast<std::size_t>(got));
      bytes.resize(bytes.size() + std::max(bytes.size() / 8, sizeof more));
      AdviseLargePages(bytes.data(), bytes.capacity());
    }
    used += static_cast<std::size_t>(got);
  }
  if (result == ReadResult::Ok)
    bytes.resize(used);
  else
    bytes = std::string();  // never text that was only partly read
  return result;
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
  const ReadResult result =
      ReadToEnd(fd.get(), static_cast<std::size_t>(st.st_size), bytes, failReadAfter);
  if (leased) ::fcntl(fd.get(), F_SETLEASE, F_UNLCK);
  return result;
}

}  // namespace zanto::platform::posix
