// Background polling of an idle laser: reads per second against the floor that the 10 ms
// feeding delay sets, and the CPU time this process uses per second while connected and polling
// and while disconnected. The simulator runs in a child process so that its CPU time is not
// counted.
//
//   bench_laser_polling [seconds]        (default 5 per figure)
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "engine/Simulator.h"
#include "link/QVLaser.h"
#include "link/QVUtils.h"
#include "platform/Clock.h"

namespace {

constexpr int kPort = 22;

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Context switches of every thread of this process so far, by thread name.
std::map<std::string, long> switchesByThread() {
  std::map<std::string, long> m;
  for (const auto& t : std::filesystem::directory_iterator("/proc/self/task")) {
    std::string name = "?";
    if (FILE* f = std::fopen((t.path() / "comm").c_str(), "r")) {
      char buf[64] = {};
      if (std::fgets(buf, sizeof buf, f)) name = buf;
      std::fclose(f);
      while (!name.empty() && name.back() == '\n') name.pop_back();
    }
    FILE* f = std::fopen((t.path() / "status").c_str(), "r");
    if (!f) continue;
    char line[256];
    long v = 0;
    while (std::fgets(line, sizeof line, f))
      if (std::sscanf(line, "voluntary_ctxt_switches: %ld", &v) == 1 ||
          std::sscanf(line, "nonvoluntary_ctxt_switches: %ld", &v) == 1)
        m[name] += v;
    std::fclose(f);
  }
  return m;
}

long contextSwitches() {
  long total = 0;
  for (const auto& [name, n] : switchesByThread()) total += n;
  return total;
}

double now() {
  return double(qv::counterNow()) / double(qv::counterFrequency());
}

template <typename Pred>
bool pump(Pred done, double seconds) {
  const double end = now() + seconds;
  while (!done()) {
    if (now() > end) return false;
    CheckSynchronize(50);
  }
  return true;
}

// Runs the main loop for the given time; returns CPU seconds used per wall second.
double cpuWhilePumping(double seconds) {
  const double c0 = cpuSeconds(), t0 = now();
  pump([] { return false; }, seconds);
  return (cpuSeconds() - c0) / (now() - t0);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  char tmpl[] = "/tmp/qv-bench-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  setenv("QVLASER_PORTS_DIR", dir.c_str(), 1);

  // The simulator in a child process, forked before this process starts any thread.
  int ready[2];
  if (pipe(ready) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) {
    close(ready[0]);
    qv::sim::Simulator sim{std::string("gen3-2branch")};
    const char ok = sim.start(kPort, dir) ? '1' : '0';
    (void)!write(ready[1], &ok, 1);
    pause();  // until the parent's SIGTERM
    _exit(0);
  }
  close(ready[1]);
  char ok = '0';
  if (read(ready[0], &ok, 1) != 1 || ok != '1') {
    std::fprintf(stderr, "simulator did not start\n");
    return 1;
  }

  {
    TLaser laser;
    laser.SetPort(kPort);
    laser.OnConnect = [&](TObject*) { laser.BuildCommandCatalogue(); };
    laser.OnLaserConnected = [&](TObject*) { laser.BuildCommandCatalogue(); };
    long states = 0;
    laser.OnLaserState = [&](TLaser&, std::int32_t) { ++states; };
    if (!laser.Connect() ||
        !pump([&] { return !laser.Connecting() && laser.QueuedCommands() == 0; }, 10)) {
      std::fprintf(stderr, "identification failed\n");
      kill(child, SIGTERM);
      return 1;
    }
    // A background list of one state read, as idle as polling gets.
    laser.BeginBackgroundQueries();
    laser.ReadState();
    laser.EndBackgroundQueries();
    pump([&] { return states > 5; }, 5);

    const long s0 = states;
    const auto byThread0 = switchesByThread();
    const long x0 = contextSwitches();
    const double c0 = cpuSeconds(), t0 = now();
    pump([] { return false; }, seconds);
    const double t1 = now(), c1 = cpuSeconds();
    const long x1 = contextSwitches();
    const auto byThread1 = switchesByThread();
    const double rate = double(states - s0) / (t1 - t0);
    std::printf("3. background reads while idle (one state read in the list), %.0f s\n", seconds);
    std::printf("   %.1f reads/s; floor of the 10 ms feeding delay: 100/s -> fraction %.3f\n", rate,
                rate / 100.0);
    std::printf("   mean cycle %.2f ms (10 ms delay + exchange)\n", 1000.0 / rate);
    std::printf("4. CPU time of this process per second of wall time\n");
    std::printf(
        "   connected and polling: %.2f %% of one core (%.1f us and %.1f thread switches "
        "per read)\n",
        100.0 * (c1 - c0) / (t1 - t0), 1e6 * (c1 - c0) / double(states - s0),
        double(x1 - x0) / double(states - s0));
    std::printf("   switches per read by thread:");
    for (const auto& [name, n] : byThread1) {
      const auto it = byThread0.find(name);
      const long before = it == byThread0.end() ? 0 : it->second;
      std::printf(" %s %.1f", name.c_str(), double(n - before) / double(states - s0));
    }
    std::printf("\n");
    laser.SetBkQueryEnabled(false);
    pump([] { return false; }, 0.2);
    std::printf("   connected, polling off: %.2f %% of one core\n",
                100.0 * cpuWhilePumping(seconds));
    laser.Disconnect();
    std::printf("   disconnected:          %.2f %% of one core\n",
                100.0 * cpuWhilePumping(seconds));
  }
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  std::filesystem::remove_all(dir);
  return 0;
}
