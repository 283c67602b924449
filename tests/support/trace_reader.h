// Reads back the simulated desktop's trace: one flat JSON object a line, field by field. Every
// test that looks at what the program did to the desktop reads it through here.
#pragma once

#include <cstdint>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/trace.h"

namespace zanto::test {

// One line of the trace: a flat JSON object, read back field by field.
struct TraceLine {
  std::string text;
  // The field's value: a string unescaped, anything else as written. Empty when absent.
  // The texts of a wide shell record come back as UTF-8, every other text byte for byte.
  std::string Get(const std::string& key) const;
  // The strings of an array field, unescaped (as UTF-8 when `unicode`).
  std::vector<std::string> Strings(const std::string& key, bool unicode = false) const;
  bool Wide() const;
  // A number field; -1 when absent.
  std::int64_t Number(const std::string& key) const;
  bool Has(const std::string& key) const;
  bool Is(const std::string& op) const { return Get("op") == op; }
};

using TraceLines = std::vector<TraceLine>;

// The lines of a trace as written.
TraceLines ReadTrace(std::string_view text);
// The lines of that op ("shell", "window", "errorbox", ...), in order.
TraceLines OpsOf(const TraceLines& lines, const std::string& op);
// The shell requests of that kind ("NIM_ADD", "NIM_MODIFY", ...), in order.
TraceLines ShellRequestsOf(const TraceLines& lines, const std::string& msg);
// Whether a shell request is a balloon: a change of the info fields alone.
bool IsBalloon(const TraceLine& line);

// A trace kept for the test to read back: the simulated desktop writes to Sink(), and the
// test reads the lines written since it last took them, or takes them.
class TraceRecorder {
 public:
  TraceRecorder() = default;
  TraceRecorder(const TraceRecorder&) = delete;
  TraceRecorder& operator=(const TraceRecorder&) = delete;

  sim::Trace& Sink() { return trace_; }
  TraceLines Lines() const { return ReadTrace(out_.str()); }
  TraceLines Take() {
    TraceLines lines = Lines();
    out_.str("");
    return lines;
  }

 private:
  std::ostringstream out_;
  sim::Trace trace_{out_};
};

}  // namespace zanto::test
