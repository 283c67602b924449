// Texts as the program holds them: bytes, and what they are. A quotes file is 8-bit text in
// the system's code page or Unicode, as the file itself says; the program's own texts
// (captions, messages, paths) are UTF-8. A desktop shows each as what it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zanto::platform {

enum class TextEncoding : std::uint8_t {
  Ansi,  // the system's 8-bit code page, the bytes taken as they are
  Utf8,
};

struct Text {
  std::string_view bytes;
  TextEncoding encoding = TextEncoding::Ansi;
  bool operator==(const Text&) const = default;
};

// A text field of the shell record: its bytes, already cut to the field, and what they are.
struct RecordText {
  std::string bytes;
  TextEncoding encoding = TextEncoding::Ansi;
  Text view() const { return {bytes, encoding}; }
  // Holds Unicode text, for which the record has to be the wide one.
  bool unicode() const { return encoding == TextEncoding::Utf8 && !bytes.empty(); }
};

// The longest beginning of `text` that a field of `limit` characters holds, counted as the
// record counts them: bytes of 8-bit text; UTF-16 code units of Unicode text, where a
// character beyond U+FFFF takes two and is never cut in half (nor is a UTF-8 sequence).
std::string_view FieldPrefix(Text text, std::size_t limit);

// How many characters the record needs for `text`, counted as FieldPrefix counts.
std::size_t FieldLength(Text text);

}  // namespace zanto::platform
