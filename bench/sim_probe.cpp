// Runs zanto-sim, or any program, as a child process and reports what it costs.
//
// usage: zanto-sim-probe start ZANTO_SIM EXE_PATH SCENARIO
//   zanto-sim's start: the wall-clock time until its first balloon, the processor time (user
//   and system) it has used by then, and, once it has ended, its peak resident memory. The
//   scenario goes in through standard input, which stays open until the first balloon has
//   come and the child has gone idle waiting for more: its processor time is then that of
//   the start alone, read while nothing else runs in it, and other programs on the machine
//   do not inflate it.
//   prints: first_balloon_ms=... start_cpu_ms=... wall_ms=... peak_rss_bytes=...
//
// usage: zanto-sim-probe whole ZANTO_SIM EXE_PATH SCENARIO
//   zanto-sim from its start to its end, the scenario's input closed as soon as it is
//   written: everything the process costs, its exit included. It must show a balloon.
// usage: zanto-sim-probe run PROGRAM [ARGUMENT...]
//   any program, the same way, with nothing on its standard input.
//   prints: wall_ms=... cpu_ms=... peak_rss_bytes=...
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Owns a file descriptor.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.fd_, -1));
    return *this;
  }
  int get() const { return fd_; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  void Close() { Reset(); }

 private:
  int fd_ = -1;
};

struct Pipe {
  Fd read, write;
  bool Open() {
    int fds[2];
    if (::pipe(fds) != 0) return false;
    read.Reset(fds[0]);
    write.Reset(fds[1]);
    return true;
  }
};

// The processor time a process has used so far, in ms; negative when it cannot be read.
double CpuMs(pid_t pid) {
  clockid_t clock;
  timespec ts{};
  if (::clock_getcpuclockid(pid, &clock) != 0 || ::clock_gettime(clock, &ts) != 0) return -1;
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Waits until the process uses no more processor time: it is blocked, waiting for input.
double CpuMsOnceIdle(pid_t pid) {
  double before = CpuMs(pid);
  for (int i = 0; i < 200; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const double now = CpuMs(pid);
    if (now == before) return now;
    before = now;
  }
  return -1;
}

// A child with its standard input and output on pipes of ours.
class Child {
 public:
  bool Start(std::vector<std::string> args) {
    Pipe in, out;
    if (!in.Open() || !out.Open()) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.read.get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out.write.get(), STDOUT_FILENO);
    for (int fd : {in.read.get(), in.write.get(), out.read.get(), out.write.get()})
      posix_spawn_file_actions_addclose(&actions, fd);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    start_ = Clock::now();
    const int spawned = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      std::fprintf(stderr, "zanto-sim-probe: cannot start %s\n", argv[0]);
      return false;
    }
    input_ = std::move(in.write);
    output_ = std::move(out.read);
    return true;
  }
  pid_t Pid() const { return pid_; }
  double MsSinceStart() const { return Ms(Clock::now() - start_); }
  bool Write(const std::string& text) {
    return ::write(input_.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
  }
  void CloseInput() { input_.Close(); }
  // What the child writes next; empty once it has closed its output.
  std::string Read() {
    char chunk[65536];
    for (;;) {
      const ssize_t got = ::read(output_.get(), chunk, sizeof chunk);
      if (got < 0 && errno == EINTR) continue;
      return got <= 0 ? std::string() : std::string(chunk, static_cast<std::size_t>(got));
    }
  }
  // Waits for the end: whether it exited with 0, and its processor time (ms) and peak
  // resident memory (bytes), measured by the system for the whole process.
  bool Wait(double& cpuMs, long long& peakRss) {
    int status = 0;
    struct rusage usage {};
    while (::wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
            (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    peakRss = static_cast<long long>(usage.ru_maxrss) * 1024;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

 private:
  pid_t pid_ = 0;
  Clock::time_point start_;
  Fd input_, output_;
};

constexpr std::string_view kBalloon = "\"title\":\"Did you know?\"";

bool ReadScenario(const char* path, std::string& text) {
  std::ifstream file(path);
  std::stringstream scenario;
  scenario << file.rdbuf();
  if (!file) {
    std::fprintf(stderr, "zanto-sim-probe: cannot read %s\n", path);
    return false;
  }
  text = scenario.str();
  return true;
}

int Start(const std::string& sim, const std::string& exe, const std::string& scenario) {
  Child child;
  if (!child.Start({sim, "--exe", exe, "-"}) || !child.Write(scenario)) return 1;
  // The trace is flushed line by line: the first balloon is seen the moment it is shown.
  std::string seen;
  double firstBalloon = -1;
  double startCpu = -1;
  for (std::string got; !(got = child.Read()).empty();) {
    if (firstBalloon >= 0) continue;
    seen += got;
    if (seen.find(kBalloon) == std::string::npos) continue;
    firstBalloon = child.MsSinceStart();
    startCpu = CpuMsOnceIdle(child.Pid());
    child.CloseInput();  // the scenario is over: the program is taken down
  }
  child.CloseInput();
  double cpu = 0;
  long long peakRss = 0;
  const bool exited = child.Wait(cpu, peakRss);
  const double wall = child.MsSinceStart();
  if (!exited || firstBalloon < 0 || startCpu < 0) {
    std::fprintf(stderr, "zanto-sim-probe: zanto-sim failed, showed no balloon, or never idled\n");
    return 1;
  }
  std::printf("first_balloon_ms=%.3f start_cpu_ms=%.3f wall_ms=%.3f peak_rss_bytes=%lld\n",
              firstBalloon, startCpu, wall, peakRss);
  return 0;
}

// The whole of a process, from its start to its end. `mustShow`, when not empty, is what
// its output must hold for the run to count.
int Whole(std::vector<std::string> args, const std::string& input, std::string_view mustShow) {
  Child child;
  if (!child.Start(std::move(args)) || !child.Write(input)) return 1;
  child.CloseInput();
  std::string seen;
  for (std::string got; !(got = child.Read()).empty();) seen += got;
  double cpu = 0;
  long long peakRss = 0;
  const bool exited = child.Wait(cpu, peakRss);
  const double wall = child.MsSinceStart();
  if (!exited || seen.find(mustShow) == std::string::npos) {
    std::fprintf(stderr, "zanto-sim-probe: the program failed or did not show what it should\n");
    return 1;
  }
  std::printf("wall_ms=%.3f cpu_ms=%.3f peak_rss_bytes=%lld\n", wall, cpu, peakRss);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string scenario;
  if (args.size() == 4 && args[0] == "start")
    return ReadScenario(argv[4], scenario) ? Start(args[1], args[2], scenario) : 2;
  if (args.size() == 4 && args[0] == "whole")
    return ReadScenario(argv[4], scenario)
               ? Whole({args[1], "--exe", args[2], "-"}, scenario, kBalloon)
               : 2;
  if (args.size() >= 2 && args[0] == "run")
    return Whole(std::vector<std::string>(args.begin() + 1, args.end()), "", "");
  std::fprintf(stderr,
               "usage: zanto-sim-probe start|whole ZANTO_SIM EXE_PATH SCENARIO\n"
               "       zanto-sim-probe run PROGRAM [ARGUMENT...]\n");
  return 2;
}
