// Runs zanto-sim as a child process and reports what its start costs: the wall-clock time
// until its first balloon, the processor time (user and system) it has used by then, and,
// once it has ended, its peak resident memory.
//
// The scenario goes in through standard input, which stays open until the first balloon
// has come and the child has gone idle waiting for more: its processor time is then that
// of the start alone, read while nothing else runs in it, and other programs on the
// machine do not inflate it.
//
// usage: zanto-sim-probe ZANTO_SIM EXE_PATH SCENARIO
// prints: first_balloon_ms=... start_cpu_ms=... wall_ms=... peak_rss_bytes=...
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: zanto-sim-probe ZANTO_SIM EXE_PATH SCENARIO\n");
    return 2;
  }
  std::ifstream scenarioFile(argv[3]);
  std::stringstream scenario;
  scenario << scenarioFile.rdbuf();
  if (!scenarioFile) {
    std::fprintf(stderr, "zanto-sim-probe: cannot read %s\n", argv[3]);
    return 2;
  }

  Pipe in, out;
  if (!in.Open() || !out.Open()) return 1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in.read.get(), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out.write.get(), STDOUT_FILENO);
  for (int fd : {in.read.get(), in.write.get(), out.read.get(), out.write.get()})
    posix_spawn_file_actions_addclose(&actions, fd);
  std::string sim = argv[1], exeFlag = "--exe", exe = argv[2], fromInput = "-";
  char* childArgs[] = {sim.data(), exeFlag.data(), exe.data(), fromInput.data(), nullptr};

  const Clock::time_point start = Clock::now();
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, sim.c_str(), &actions, nullptr, childArgs, environ);
  posix_spawn_file_actions_destroy(&actions);
  in.read.Close();
  out.write.Close();
  if (spawned != 0) {
    std::fprintf(stderr, "zanto-sim-probe: cannot start %s\n", sim.c_str());
    return 1;
  }
  const std::string text = scenario.str();
  if (::write(in.write.get(), text.data(), text.size()) != static_cast<ssize_t>(text.size()))
    return 1;

  // The trace is flushed line by line: the first balloon is seen the moment it is shown.
  constexpr std::string_view kBalloon = "\"title\":\"Did you know?\"";
  std::string seen;
  double firstBalloon = -1;
  double startCpu = -1;
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(out.read.get(), chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    if (firstBalloon >= 0) continue;
    seen.append(chunk, static_cast<std::size_t>(got));
    if (seen.find(kBalloon) == std::string::npos) continue;
    firstBalloon = Ms(Clock::now() - start);
    startCpu = CpuMsOnceIdle(pid);
    in.write.Close();  // the scenario is over: the program is taken down
  }
  in.write.Close();
  int status = 0;
  struct rusage usage {};
  while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  const double wall = Ms(Clock::now() - start);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || firstBalloon < 0 || startCpu < 0) {
    std::fprintf(stderr, "zanto-sim-probe: zanto-sim failed, showed no balloon, or never idled\n");
    return 1;
  }
  std::printf("first_balloon_ms=%.3f start_cpu_ms=%.3f wall_ms=%.3f peak_rss_bytes=%lld\n",
              firstBalloon, startCpu, wall, static_cast<long long>(usage.ru_maxrss) * 1024);
  return 0;
}
