#include "platform/sim/trace.h"

#include "platform/unicode.h"

namespace zanto::sim {

namespace {

// One character of a JSON string: printable ASCII as itself, anything else escaped.
void AppendJsonUnit(std::string& out, char16_t c) {
  static constexpr char kHex[] = "0123456789abcdef";
  if (c == '"' || c == '\\') {
    out += '\\';
    out += static_cast<char>(c);
  } else if (c >= 0x20 && c < 0x7F) {
    out += static_cast<char>(c);
  } else {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0xF];
  }
}

}  // namespace

std::string JsonString(std::string_view bytes) {
  std::string out = "\"";
  for (char ch : bytes) AppendJsonUnit(out, static_cast<unsigned char>(ch));
  out += '"';
  return out;
}

std::string JsonString(platform::Text text) {
  if (text.encoding == platform::TextEncoding::Ansi) return JsonString(text.bytes);
  std::string out = "\"";
  for (char16_t unit : platform::Utf16FromUtf8(text.bytes)) AppendJsonUnit(out, unit);
  out += '"';
  return out;
}

void JsonObject::Key(std::string_view key) {
  if (text_.size() > 1) text_ += ',';
  text_ += JsonString(key);
  text_ += ':';
}

JsonObject& JsonObject::Add(std::string_view key, std::int64_t value) {
  Key(key);
  text_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::Add(std::string_view key, std::string_view bytes) {
  Key(key);
  text_ += JsonString(bytes);
  return *this;
}

JsonObject& JsonObject::Add(std::string_view key, platform::Text text) {
  Key(key);
  text_ += JsonString(text);
  return *this;
}

JsonObject& JsonObject::AddBool(std::string_view key, bool value) {
  Key(key);
  text_ += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::AddRaw(std::string_view key, std::string_view json) {
  Key(key);
  text_ += json;
  return *this;
}

void Trace::Write(const JsonObject& object) {
  if (muted_) return;
  out_ << object.Text() << '\n';
  out_.flush();
}

}  // namespace zanto::sim
