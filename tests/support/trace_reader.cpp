#include "support/trace_reader.h"

#include "platform/codes.h"
#include "platform/unicode.h"

namespace zanto::test {

namespace {

// The raw text of a field's value in a flat JSON object, from just after "key":.
std::size_t FindValue(const std::string& text, const std::string& key) {
  const std::string needle = "\"" + key + "\":";
  std::size_t pos = 0;
  int depth = 0;
  bool inString = false;
  // Only fields of the outer object count, not those of nested objects.
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
      continue;
    }
    if (c == '{' || c == '[') ++depth;
    if (c == '}' || c == ']') --depth;
    if (c == '"') {
      if (depth == 1 && text.compare(i, needle.size(), needle) == 0) {
        pos = i + needle.size();
        return pos;
      }
      inString = true;
    }
  }
  return std::string::npos;
}

// The JSON string that begins at `pos`: 8-bit text takes each escaped code as a byte,
// Unicode text comes back as UTF-8.
std::string DecodeJsonString(const std::string& text, std::size_t pos, bool unicode) {
  std::u16string units;
  for (std::size_t i = pos + 1; i < text.size() && text[i] != '"'; ++i) {
    if (text[i] != '\\') {
      units += static_cast<unsigned char>(text[i]);
      continue;
    }
    const char e = text[++i];
    if (e == 'u') {
      units += static_cast<char16_t>(std::stoi(text.substr(i + 1, 4), nullptr, 16));
      i += 4;
    } else {
      units += static_cast<unsigned char>(e);
    }
  }
  if (unicode) return platform::Utf8FromUtf16(units);
  std::string out;
  for (char16_t unit : units) out += static_cast<char>(unit);
  return out;
}

}  // namespace

bool TraceLine::Has(const std::string& key) const {
  return FindValue(text, key) != std::string::npos;
}

std::string TraceLine::Get(const std::string& key) const {
  std::size_t pos = FindValue(text, key);
  if (pos == std::string::npos) return {};
  if (text[pos] != '"') {
    std::size_t end = pos;
    int depth = 0;
    for (; end < text.size(); ++end) {
      const char c = text[end];
      if (c == '[' || c == '{') ++depth;
      if (c == ']' || c == '}') {
        if (depth == 0) break;
        --depth;
      }
      if (c == ',' && depth == 0) break;
    }
    return text.substr(pos, end - pos);
  }
  return DecodeJsonString(text, pos, Wide());
}

bool TraceLine::Wide() const {
  const std::size_t pos = FindValue(text, "wide");
  return pos != std::string::npos && text.compare(pos, 4, "true") == 0;
}

std::vector<std::string> TraceLine::Strings(const std::string& key, bool unicode) const {
  std::vector<std::string> out;
  std::size_t pos = FindValue(text, key);
  if (pos == std::string::npos || text[pos] != '[') return out;
  for (++pos; pos < text.size() && text[pos] != ']';) {
    if (text[pos] == '"') {
      out.push_back(DecodeJsonString(text, pos, unicode));
      for (++pos; pos < text.size() && text[pos] != '"'; ++pos)
        if (text[pos] == '\\') ++pos;
    }
    ++pos;
  }
  return out;
}

std::int64_t TraceLine::Number(const std::string& key) const {
  const std::string value = Get(key);
  return value.empty() ? -1 : std::stoll(value);
}

TraceLines ReadTrace(std::string_view text) {
  TraceLines lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.push_back({std::string(text.substr(0, end))});
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return lines;
}

TraceLines OpsOf(const TraceLines& lines, const std::string& op) {
  TraceLines out;
  for (const TraceLine& line : lines)
    if (line.Is(op)) out.push_back(line);
  return out;
}

TraceLines ShellRequestsOf(const TraceLines& lines, const std::string& msg) {
  TraceLines out;
  for (const TraceLine& line : lines)
    if (line.Is("shell") && line.Get("msg") == msg) out.push_back(line);
  return out;
}

bool IsBalloon(const TraceLine& line) {
  return line.Is("shell") && line.Get("msg") == "NIM_MODIFY" &&
         line.Number("uFlags") == platform::nif::Info;
}

}  // namespace zanto::test
