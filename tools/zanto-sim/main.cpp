// zanto-sim: the real program over the simulated desktop. A scenario goes in, the trace of
// everything the program did to the desktop comes out.
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "platform/sim/sim_desktop.h"
#include "simulation.h"

namespace {

constexpr const char* kUsage =
    "usage: zanto-sim [--exe PATH] [--utc HH:MM:SS.mmm] [--shell VERSION|none] [--show N]\n"
    "                 [--timers N] [--shell-busy MS] [SCRIPT | -]\n";

int Usage(const std::string& problem) {
  std::cerr << "zanto-sim: " << problem << '\n' << kUsage;
  return 2;
}

template <class T>
bool Number(std::string_view text, T& value) {
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && ptr == text.data() + text.size();
}

// HH:MM:SS.mmm as milliseconds since midnight.
bool ParseUtc(const std::string& text, std::uint32_t& ms) {
  unsigned h = 0, m = 0, s = 0, milli = 0;
  if (text.size() != 12 || text[2] != ':' || text[5] != ':' || text[8] != '.') return false;
  if (!Number(std::string_view(text).substr(0, 2), h) ||
      !Number(std::string_view(text).substr(3, 2), m) ||
      !Number(std::string_view(text).substr(6, 2), s) ||
      !Number(std::string_view(text).substr(9, 3), milli))
    return false;
  if (h > 23 || m > 59 || s > 59) return false;
  ms = ((h * 60 + m) * 60 + s) * 1000 + milli;
  return true;
}

// MAJOR.MINOR as major * 65536 + minor.
bool ParseShell(const std::string& text, std::optional<std::uint32_t>& version) {
  if (text == "none") {
    version.reset();
    return true;
  }
  const std::size_t dot = text.find('.');
  std::uint32_t major = 0, minor = 0;
  if (dot == std::string::npos || !Number(std::string_view(text).substr(0, dot), major) ||
      !Number(std::string_view(text).substr(dot + 1), minor) || major > 0xFFFF || minor > 0xFFFF)
    return false;
  version = major << 16 | minor;
  return true;
}

std::string CurrentDirectory() {
  std::string dir(4096, '\0');
  while (!::getcwd(dir.data(), dir.size())) {
    if (errno != ERANGE) return ".";
    dir.resize(dir.size() * 2);
  }
  dir.resize(dir.find('\0'));
  return dir;
}

}  // namespace

int main(int argc, char** argv) {
  zanto::sim::SimOptions options;
  options.executablePath.clear();
  std::string scriptPath = "-";
  bool haveScript = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "--exe") {
      if (!value(v) || v.empty()) return Usage("--exe needs a path");
      options.executablePath = v;
    } else if (arg == "--utc") {
      if (!value(v) || !ParseUtc(v, options.utcMillisecondsOfDay))
        return Usage("--utc needs HH:MM:SS.mmm");
    } else if (arg == "--shell") {
      if (!value(v) || !ParseShell(v, options.shellVersion))
        return Usage("--shell needs MAJOR.MINOR or none");
    } else if (arg == "--show") {
      if (!value(v) || !Number(v, options.showCommand)) return Usage("--show needs a number");
    } else if (arg == "--timers") {
      std::size_t n = 0;
      if (!value(v) || !Number(v, n)) return Usage("--timers needs a number");
      options.timerLimit = n;
    } else if (arg == "--shell-busy") {
      if (!value(v) || !Number(v, options.shellBusyUntil))
        return Usage("--shell-busy needs a number of milliseconds");
    } else if (!haveScript && (arg == "-" || arg.rfind("--", 0) != 0)) {
      scriptPath = arg;
      haveScript = true;
    } else {
      return Usage("unknown argument '" + arg + "'");
    }
  }
  if (options.executablePath.empty()) options.executablePath = CurrentDirectory() + "/zanto.exe";

  std::ifstream file;
  if (scriptPath != "-") {
    file.open(scriptPath);
    if (!file) return Usage("cannot read the script " + scriptPath);
  }
  std::istream& script = scriptPath == "-" ? std::cin : file;

  return zanto::RunSimulation(options, script, std::cout, std::cerr);
}
