// The file operations the program needs, as a POSIX system offers them. Shared by every
// desktop that runs on such a system.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/desktop.h"

namespace zanto::platform::posix {

// Owns a file descriptor.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd();
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// What stat says of a path: whether it is a directory, and the local year of its
// last-write time. Nothing when the path does not exist or cannot be looked at.
std::optional<FileStamp> StatFile(const std::string& path);

// Reads what is left of an open file into `sink`, a piece at a time. `expected` is the size
// to make room for, as fstat gave it: only a hint, for the file is read to its end whatever
// it has become since. `failReadAfter` makes the read fail once that many bytes have been
// read (for tests of a read that breaks off).
ReadResult ReadToEnd(int fd, std::size_t expected, FileSink& sink,
                     std::optional<std::size_t> failReadAfter = std::nullopt);

// Reads a whole regular file with other writers kept out as far as POSIX allows: the file is
// opened only when nobody has it open for writing (a read lease is granted), and the lease
// holds writers off until the read is done. `failReadAfter` is as for ReadToEnd. A writer
// that comes while the lease is held makes the system send the lease-break signal (SIGIO) to
// this process, whose default action ends it: a long-running caller keeps that signal from
// doing so.
ReadResult ReadFileDenyWriters(const std::string& path, FileSink& sink,
                               std::optional<std::size_t> failReadAfter = std::nullopt);

}  // namespace zanto::platform::posix
