// The window program's start-up and its memory: QVLaserControlv4 is started as a child process
// (offscreen platform, a private ports folder with the virtual laser in this process) and tells
// through QV_STARTUP_TRACE when it entered main, when its window was first shown and when the
// laser was identified; the figures are taken from the moment before it was spawned. Then one
// instance polls the laser for a while and its resident memory (VmRSS, and its peak VmHWM) and
// processor time are read from /proc.
//
//   bench_startup [runs] [seconds]      (default 5 start-ups after one to warm the disk cache,
//                                        and 60 s of polling)
//   QV_GUI=path                         the program (default: tools/gui/QVLaserControlv4 in the
//                                        build tree of this benchmark)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/Simulator.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kPort = 29;

long long nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The milestones the program wrote: name -> steady clock in ns.
std::map<std::string, long long> milestones(const std::string& trace) {
  std::map<std::string, long long> out;
  std::istringstream in(slurp(trace));
  std::string name;
  long long ns = 0;
  while (in >> name >> ns) out.emplace(name, ns);
  return out;
}

class Program {
 public:
  Program(const std::string& exe, const std::string& folder, const std::string& trace) {
    fs::remove(trace);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("QV_STARTUP_TRACE=" + trace);
    env.push_back("XDG_CONFIG_HOME=" + folder + "/config");
    std::vector<char*> envp, argv;
    for (std::string& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args{exe, "-PORT:" + std::to_string(kPort)};
    for (std::string& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    started_ = nowNs();
    if (posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Program() { stop(); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool running() const { return pid_ > 0; }
  long long started() const { return started_; }
  pid_t pid() const { return pid_; }
  // Ends it as the session would (SIGTERM: the window closes and saves its settings).
  void stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 10000; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  long long started_ = 0;
};

// Waits until the trace holds the milestone; its time after the start in ms, or -1.
double waitFor(const std::string& trace, const std::string& name, long long started,
               int timeoutMs = 20000) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < end) {
    const auto m = milestones(trace);
    if (const auto it = m.find(name); it != m.end()) return double(it->second - started) / 1e6;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return -1;
}

// A field of /proc/<pid>/status in kB, or -1.
long statusKb(pid_t pid, const std::string& field) {
  std::istringstream in(slurp("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(field + ":", 0) != 0) continue;
    return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
  }
  return -1;
}

// User plus system time of a process so far, in seconds.
double cpuSeconds(pid_t pid) {
  const std::string stat = slurp("/proc/" + std::to_string(pid) + "/stat");
  const auto close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream in(stat.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && in >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

struct Stats {
  double min = 0, median = 0, max = 0;
};
Stats stats(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  if (v.empty()) return {};
  return {v.front(), v[v.size() / 2], v.back()};
}

std::string defaultProgram() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return (self.parent_path().parent_path() / "tools/gui/QVLaserControlv4").string();
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;
  const char* given = std::getenv("QV_GUI");
  const std::string built = given && *given ? given : defaultProgram();
  if (access(built.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "bench_startup: %s is not built\n", built.c_str());
    return 1;
  }

  // The program in a folder of its own (its settings file goes there), the laser in another.
  char tmpl[] = "/tmp/qvbench-startup-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  const std::string folder = tmpl;
  const std::string ports = folder + "/ports";
  fs::create_directories(ports);
  const std::string exe = folder + "/QVLaserControlv4";
  fs::copy_file(built, exe);
  fs::permissions(exe, fs::perms::owner_all);
  setenv("QVLASER_PORTS_DIR", ports.c_str(), 1);
  setenv("QVLASER_PORTS_ONLY", "1", 1);
  qv::sim::Simulator sim{std::string("gen3-2branch")};
  if (!sim.start(kPort, ports)) {
    std::fprintf(stderr, "bench_startup: %s\n", sim.lastError().c_str());
    return 1;
  }
  const std::string trace = folder + "/trace";

  std::printf(
      "QVLaserControlv4 start-up against the virtual laser (gen3-2branch, COM%d), %d runs "
      "after one warm-up\n",
      kPort, runs);
  std::vector<double> mainAt, shownAt, identifiedAt;
  for (int i = 0; i <= runs; ++i) {
    Program p(exe, folder, trace);
    if (!p.running()) {
      std::fprintf(stderr, "bench_startup: cannot start %s\n", exe.c_str());
      return 1;
    }
    const double identified = waitFor(trace, "identified", p.started());
    const auto m = milestones(trace);
    p.stop();
    if (identified < 0 || !m.count("start") || !m.count("shown")) {
      std::fprintf(stderr, "bench_startup: run %d did not get through its start-up\n", i);
      return 1;
    }
    if (i == 0) continue;  // the warm-up
    mainAt.push_back(double(m.at("start") - p.started()) / 1e6);
    shownAt.push_back(double(m.at("shown") - p.started()) / 1e6);
    identifiedAt.push_back(identified);
  }
  auto row = [](const char* what, const Stats& s, const char* target) {
    std::printf("  %-34s min %7.1f  median %7.1f  max %7.1f ms   %s\n", what, s.min, s.median,
                s.max, target);
  };
  row("spawn to main()", stats(mainAt), "");
  row("spawn to window first shown", stats(shownAt), "(target < 500 ms)");
  row("spawn to laser identified", stats(identifiedAt), "(target < 1000 ms)");

  std::printf("\nOne instance polling the laser for %d s:\n", seconds);
  Program p(exe, folder, trace);
  if (waitFor(trace, "identified", p.started()) < 0) {
    std::fprintf(stderr, "bench_startup: the polling instance did not identify the laser\n");
    return 1;
  }
  const long rssIdentified = statusKb(p.pid(), "VmRSS");
  const double cpuIdentified = cpuSeconds(p.pid());
  const int before = sim.countReceived("*");
  const auto pollStart = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double wall = std::chrono::duration<double>(Clock::now() - pollStart).count();
  const long rss = statusKb(p.pid(), "VmRSS");
  const long hwm = statusKb(p.pid(), "VmHWM");
  const double cpu = cpuSeconds(p.pid()) - cpuIdentified;
  const int reads = sim.countReceived("*") - before;
  p.stop();
  std::printf("  resident memory when identified  %7.1f MB\n", double(rssIdentified) / 1024);
  std::printf("  resident memory after polling    %7.1f MB   (target < 80 MB)\n",
              double(rss) / 1024);
  std::printf("  peak resident memory             %7.1f MB\n", double(hwm) / 1024);
  std::printf("  commands answered per second     %7.1f\n", double(reads) / wall);
  std::printf("  processor time while polling     %7.1f ms per second\n", 1000 * cpu / wall);

  sim.stop();
  std::error_code ec;
  fs::remove_all(folder, ec);
  return 0;
}
