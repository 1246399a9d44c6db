// The console frame while it polls a laser: processor time of this process per second, with
// nothing changing and with the laser's currents changing on every poll, next to what
// `qvlaser-cli watch` uses on the same laser in the same two cases; and the paints per second of
// the frame's widgets, by widget, so that only what changed is seen to be repainted.
//
//   bench_frame_polling [seconds]        (default 5 per figure)
//
// The simulator runs in a child process (forked before any thread starts) so that its time is
// not counted; a pipe tells it when to keep changing its currents.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/Simulator.h"
#include "settings/Options.h"
#include "ui/MainThreadBridge.h"
#include "ui/QVLaserControlFrame.h"
#include "widgets/GraphicsEx.h"

namespace {

constexpr int kPort = 23;

double cpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double wallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The simulator's child: answers the line; while the control byte '1' is in force it changes the
// currents of both branches every 5 ms, so that every read of them finds a new value.
[[noreturn]] void simulatorChild(const std::string& dir, int readyFd, int controlFd) {
  qv::sim::Simulator sim{std::string("gen3-2branch")};
  const char ok = sim.start(kPort, dir) ? '1' : '0';
  (void)!write(readyFd, &ok, 1);
  fcntl(controlFd, F_SETFL, O_NONBLOCK);
  bool changing = false;
  double amps = 10.0;
  for (;;) {
    char c = 0;
    const ssize_t n = read(controlFd, &c, 1);
    if (n == 0) break;  // the parent is gone
    if (n == 1) changing = c == '1';
    if (changing) {
      amps = amps >= 20.0 ? 10.0 : amps + 0.01;
      sim.modify([&](qv::sim::LaserState& s) {
        s.current[1] = amps;
        s.current[2] = 30.0 - amps;
      });
    }
    usleep(5000);
  }
  sim.stop();
  _exit(0);
}

// Counts paint events by widget name.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++total;
      QString name = watched->objectName();
      if (name.isEmpty() || name == "Unit") {
        const QObject* p = watched->parent();
        name = QStringLiteral("%1 of %2")
                   .arg(name.isEmpty() ? watched->metaObject()->className() : name,
                        p ? p->objectName() : QString());
      }
      ++byWidget[name.toStdString()];
    }
    return false;
  }
  void reset() {
    total = 0;
    byWidget.clear();
  }
  long total = 0;
  std::map<std::string, long> byWidget;
};

// The application's own event loop for a while, as the program runs it (no polling loop of ours).
void runFor(double seconds) {
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
  loop.exec();
}

struct Figures {
  double cpuPercent = 0;
  double readsPerSecond = 0;
  double paintsPerSecond = 0;
  std::vector<std::pair<std::string, double>> paints;  // the most painted widgets, per second
};

Figures measureFrame(TQVLaserControlFrame& frame, PaintCounter& paints, long& reads,
                     double seconds) {
  paints.reset();
  const long r0 = reads;
  const double c0 = cpuSeconds(RUSAGE_SELF), t0 = wallSeconds();
  runFor(seconds);
  const double t1 = wallSeconds(), c1 = cpuSeconds(RUSAGE_SELF);
  (void)frame;
  Figures f;
  const double wall = t1 - t0;
  f.cpuPercent = 100.0 * (c1 - c0) / wall;
  f.readsPerSecond = double(reads - r0) / wall;
  f.paintsPerSecond = double(paints.total) / wall;
  for (const auto& [name, n] : paints.byWidget) f.paints.emplace_back(name, double(n) / wall);
  std::sort(f.paints.begin(), f.paints.end(),
            [](const auto& a, const auto& b) { return a.second > b.second; });
  if (f.paints.size() > 8) f.paints.resize(8);
  return f;
}

// CPU seconds of one `qvlaser-cli watch` run of the given length (the child's own rusage).
double cliRun(const std::string& cli, double seconds) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    const std::string port = std::to_string(kPort);
    const std::string secs = std::to_string(seconds);
    execl(cli.c_str(), cli.c_str(), "--port", port.c_str(), "--json", "watch", "--seconds",
          secs.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage u{};
  wait4(pid, &status, 0, &u);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "qvlaser-cli exited with %d\n", WEXITSTATUS(status));
  }
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The steady CPU share of `watch`: a long run minus a short one, so identification cancels out.
double cliPercent(const std::string& cli, double seconds) {
  const double shortRun = cliRun(cli, 2.0);
  const double longRun = cliRun(cli, 2.0 + seconds);
  return 100.0 * std::max(0.0, longRun - shortRun) / seconds;
}

void printFrame(const char* what, const Figures& f) {
  std::printf("   %s: %.2f %% of one core, %.1f reads/s, %.1f paints/s\n", what, f.cpuPercent,
              f.readsPerSecond, f.paintsPerSecond);
  for (const auto& [name, rate] : f.paints) std::printf("      %6.1f/s  %s\n", rate, name.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
  const std::string cli = (self.parent_path().parent_path() / "tools/cli/qvlaser-cli").string();
  char tmpl[] = "/tmp/qv-frame-bench-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  setenv("QVLASER_PORTS_DIR", dir.c_str(), 1);
  setenv("QVLASER_PORTS_ONLY", "1", 1);
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

  int ready[2], control[2];
  if (pipe(ready) != 0 || pipe(control) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) {
    close(ready[0]);
    close(control[1]);
    simulatorChild(dir, ready[1], control[0]);
  }
  close(ready[1]);
  close(control[0]);
  char ok = '0';
  if (read(ready[0], &ok, 1) != 1 || ok != '1') {
    std::fprintf(stderr, "simulator did not start\n");
    return 1;
  }
  auto changing = [&](bool on) { (void)!write(control[1], on ? "1" : "0", 1); };

  QApplication app(argc, argv);
  qv::MainThreadBridge bridge;
  PaintCounter paints;
  app.installEventFilter(&paints);
  Figures idle, busy;
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
    runFor(1.5);  // the first answers and their paints

    idle = measureFrame(frame, paints, reads, seconds);
    changing(true);
    runFor(0.3);
    busy = measureFrame(frame, paints, reads, seconds);
    changing(false);
    app.removeEventFilter(&paints);
    frame.ConnectLaserClick();  // the port is the command line tool's next
    qv::runEventLoopUntil([&] { return !console.Laser().Connected(); }, 5000);
  }
  releaseBlinkingTimer();

  const double cliIdle = cliPercent(cli, seconds);
  changing(true);
  const double cliBusy = cliPercent(cli, seconds);
  changing(false);

  std::printf("Console frame polling gen3-2branch (simulator in a child process), %.0f s each\n",
              seconds);
  std::printf("1. nothing changing\n");
  printFrame("frame", idle);
  std::printf("   qvlaser-cli watch: %.2f %% of one core\n", cliIdle);
  std::printf("   frame / cli: %.2f (target at most 1.5)\n",
              cliIdle > 0 ? idle.cpuPercent / cliIdle : 0.0);
  std::printf("2. currents changing on every read\n");
  printFrame("frame", busy);
  std::printf("   qvlaser-cli watch: %.2f %% of one core\n", cliBusy);
  std::printf("   frame / cli: %.2f (target at most 1.5)\n",
              cliBusy > 0 ? busy.cpuPercent / cliBusy : 0.0);

  close(control[1]);  // the child ends when its control pipe closes
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  std::filesystem::remove_all(dir);
  return 0;
}
