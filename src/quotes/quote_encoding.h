// What a quotes file's bytes are, by what the file itself says. Notepad and most quote
// collections write UTF-8, "Unicode" in Notepad is UTF-16 with a byte-order mark, and
// older files are 8-bit text in the system's code page, read exactly as they always were.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zanto {

enum class TFileEncoding {
  feAnsi,          // anything else: 8-bit text, every byte as it is
  feUtf8,          // valid UTF-8 from the first byte to the last, holding a byte of 0x80 or more
  feUtf8WithMark,  // begins with the UTF-8 byte-order mark (EF BB BF)
  feUtf16Le,       // begins with FF FE
  feUtf16Be,       // begins with FE FF
};

TFileEncoding ClassifyQuotesFile(std::string_view bytes);

// The encoding a byte-order mark at the start says; feAnsi where there is none.
TFileEncoding MarkedKind(std::string_view bytes);

// How many bytes of the mark the kind of file begins with (never part of a quote).
std::size_t MarkLength(TFileEncoding kind);

// Where the first byte of 0x80 or more is; the size when there is none.
std::size_t FirstHighByte(std::string_view bytes);

// Whether every byte from `from` on belongs to a well-formed UTF-8 sequence.
bool IsValidUtf8From(std::string_view bytes, std::size_t from);

// The UTF-8 of UTF-16 text (without its mark), up to its first U+0000. A lone surrogate
// and an odd last byte read as U+FFFD; nothing around them is lost.
std::string Utf8FromUtf16Text(std::string_view bytes, bool bigEndian);

// UTF-8 with each malformed sequence replaced by U+FFFD (a file that says it is UTF-8 and
// is not quite).
std::string RepairedUtf8(std::string_view bytes);

}  // namespace zanto
