// Failures are exceptions carrying the message the user reads in the error box.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zanto {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// The silent kind: it ends the handler and shows nothing.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};

class EListError : public Exception {
 public:
  using Exception::Exception;
};

class EOutOfResources : public Exception {
 public:
  using Exception::Exception;
};

class EFOpenError : public Exception {
 public:
  using Exception::Exception;
};

class EReadError : public Exception {
 public:
  using Exception::Exception;
};

// printf-style formatting of one message with one argument.
template <class Arg>
std::string Formatted(const char* format, Arg arg) {
  const int size = std::snprintf(nullptr, 0, format, arg);
  if (size <= 0) return format;
  std::string text(static_cast<std::size_t>(size) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, arg);
  text.resize(static_cast<std::size_t>(size));
  return text;
}

// The text the standard error box shows for a failure's message: a full stop is added only
// when the last character's code is above that of "." (so not after ".", "!" or ")").
inline std::string ErrorBoxText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
    text += '.';
  return text;
}

}  // namespace zanto
