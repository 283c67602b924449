#include "platform/text.h"

#include "platform/unicode.h"

namespace zanto::platform {

namespace {

// The bytes of `text` that take at most `limit` UTF-16 units, and how many units they take.
std::pair<std::size_t, std::size_t> Utf8Prefix(std::string_view text, std::size_t limit) {
  std::size_t bytes = 0, units = 0;
  while (bytes < text.size()) {
    const auto lead = static_cast<unsigned char>(text[bytes]);
    // ASCII needs no decoding, and is nearly all of most quotes.
    const Decoded d = lead < 0x80 ? Decoded{lead, 1, true} : DecodeUtf8(text, bytes);
    const std::size_t need = Utf16Units(d.codePoint);
    if (units + need > limit) break;
    units += need;
    bytes += d.length;
  }
  return {bytes, units};
}

}  // namespace

std::string_view FieldPrefix(Text text, std::size_t limit) {
  if (text.encoding == TextEncoding::Ansi) return text.bytes.substr(0, limit);
  return text.bytes.substr(0, Utf8Prefix(text.bytes, limit).first);
}

std::size_t FieldLength(Text text) {
  if (text.encoding == TextEncoding::Ansi) return text.bytes.size();
  return Utf8Prefix(text.bytes, text.bytes.size() * 2).second;
}

}  // namespace zanto::platform
