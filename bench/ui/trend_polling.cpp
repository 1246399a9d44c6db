// The live trend window's processor time while the console polls a laser whose currents change
// on every read: this process's time per second with the trend window open and without it, on
// the same connection, alternated several times; the median of each and their difference as a
// share of one core.
//
//   bench_trend_polling [seconds per figure] [rounds]      (default 5 and 3)
//
// The simulator runs in a child process (forked before any thread starts) so that its time is
// not counted.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/Simulator.h"
#include "settings/Options.h"
#include "ui/MainThreadBridge.h"
#include "ui/QVLaserControlFrame.h"
#include "ui/TrendWindow.h"

namespace {

constexpr int kPort = 24;

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double wallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] void simulatorChild(const std::string& dir, int readyFd) {
  qv::sim::Simulator sim{std::string("gen3-2branch")};
  const char ok = sim.start(kPort, dir) ? '1' : '0';
  (void)!write(readyFd, &ok, 1);
  double amps = 10.0;
  for (;;) {
    if (getppid() == 1) break;  // the parent is gone
    amps = amps >= 20.0 ? 10.0 : amps + 0.01;
    sim.modify([&](qv::sim::LaserState& s) {
      s.current[1] = amps;
      s.current[2] = 30.0 - amps;
    });
    usleep(5000);
  }
  sim.stop();
  _exit(0);
}

void runFor(double seconds) {
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
  loop.exec();
}

// Percent of one core this process used while the event loop ran for `seconds`.
double measure(double seconds, long& reads, double& readsPerSecond) {
  const long r0 = reads;
  const double c0 = cpuSeconds(), t0 = wallSeconds();
  runFor(seconds);
  const double wall = wallSeconds() - t0;
  readsPerSecond = double(reads - r0) / wall;
  return 100.0 * (cpuSeconds() - c0) / wall;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  char tmpl[] = "/tmp/qv-trend-bench-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  setenv("QVLASER_PORTS_DIR", dir.c_str(), 1);
  setenv("QVLASER_PORTS_ONLY", "1", 1);
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int ready[2];
  if (pipe(ready) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) {
    close(ready[0]);
    simulatorChild(dir, ready[1]);
  }
  close(ready[1]);
  char ok = '0';
  if (read(ready[0], &ok, 1) != 1 || ok != '1') {
    std::fprintf(stderr, "simulator did not start\n");
    return 1;
  }

  QApplication app(argc, argv);
  qv::MainThreadBridge bridge;
  std::vector<double> without, with;
  double rate = 0;
  size_t points = 0;
  {
    TQVLaserControlFrame frame;
    TQVLaserControl& console = frame.Console();
    console.SetAutoDetect(std::make_unique<TLaserCtrlAutomation>());
    console.Laser().SetPort(kPort);
    bool connected = false;
    console.OnLaserConnected = [&](TObject*) { connected = true; };
    frame.show();
    frame.ConnectLaserClick();
    if (!qv::runEventLoopUntil([&] { return connected && !frame.Animating(); }, 20000)) {
      std::fprintf(stderr, "identification failed\n");
      kill(child, SIGTERM);
      return 1;
    }
    long reads = 0;
    console.OnLaserParam = [&](TLaser&, TLaserCommand, uint8_t) { ++reads; };
    runFor(1.5);
    for (int r = 0; r < rounds; ++r) {
      without.push_back(measure(seconds, reads, rate));
      auto trends = std::make_unique<TrendWindow>(console, nullptr);
      trends->show();
      runFor(0.5);
      with.push_back(measure(seconds, reads, rate));
      points = trends->Store().pointCount();
    }
  }
  kill(child, SIGTERM);
  const double a = median(without), b = median(with);
  std::printf("trend window while polling (%d rounds of %.1f s, %.0f reads/s):\n", rounds, seconds,
              rate);
  std::printf("   console alone:         %.2f %% of one core (median)\n", a);
  std::printf("   with the trend window: %.2f %% of one core (median)\n", b);
  std::printf("   added by the trends:   %.2f %% of one core (target: at most 0.5)\n", b - a);
  std::printf("   points held after one round: %zu\n", points);
  return 0;
}
