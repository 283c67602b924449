// What the simulated desktop saw, one JSON object a line, flushed per line.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace zanto::sim {

// One JSON object, built field by field in the order written.
class JsonObject {
 public:
  JsonObject& Add(std::string_view key, std::int64_t value);
  JsonObject& Add(std::string_view key, std::string_view bytes);
  JsonObject& Add(std::string_view key, const char* bytes) {
    return Add(key, std::string_view(bytes));
  }
  JsonObject& Add(std::string_view key, platform::Text text);
  JsonObject& AddBool(std::string_view key, bool value);
  JsonObject& AddRaw(std::string_view key, std::string_view json);
  std::string Text() const { return text_ + "}"; }

 private:
  void Key(std::string_view key);
  std::string text_ = "{";
};

// Texts are 8-bit strings: printable ASCII stands as itself (escaped where JSON needs it),
// every other byte as \u00XX.
std::string JsonString(std::string_view bytes);
// The same for any text: 8-bit text as above; Unicode text with every other character as
// \uXXXX, one escape per UTF-16 code unit (two for a character beyond U+FFFF).
std::string JsonString(platform::Text text);

class Trace {
 public:
  explicit Trace(std::ostream& out) : out_(out) {}
  void Write(const JsonObject& object);
  // Silenced, nothing more is written (the program being taken down after the scenario).
  void Mute() { muted_ = true; }
  bool Muted() const { return muted_; }

 private:
  std::ostream& out_;
  bool muted_ = false;
};

}  // namespace zanto::sim
