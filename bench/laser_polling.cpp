// Background polling of an idle laser: reads per second against the floor that the 10 ms
// feeding delay sets, and the CPU time this process uses per second while connected and polling
// and while disconnected (with the wake-ups of its threads); beside it a plain Python loop with
// pyserial polling the same read at the same rate, and `qvlaser-cli watch` against the same
// kind of laser beside a pyserial loop polling the reads the console polls, at its rate. The
// simulator runs in a child process so that its CPU time is not counted.
//
//   bench_laser_polling [seconds] [qvlaser-cli]   (default 5 s per figure; the program next to
//                                                  this one's folder in the build tree)
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

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

// Processor time of every thread of a process so far, in seconds (scheduler statistics, so
// finer than the clock ticks of /proc/<pid>/stat).
double processCpuSeconds(pid_t pid) {
  double total = 0;
  std::error_code ec;
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  for (const auto& t : std::filesystem::directory_iterator(tasks, ec)) {
    if (FILE* f = std::fopen((t.path() / "schedstat").c_str(), "r")) {
      unsigned long long ns = 0;
      if (std::fscanf(f, "%llu", &ns) == 1) total += double(ns) / 1e9;
      std::fclose(f);
    }
  }
  return total;
}

// Context switches of every thread of a process so far, by thread name.
std::map<std::string, long> processSwitches(pid_t pid) {
  std::map<std::string, long> m;
  std::error_code ec;
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  for (const auto& t : std::filesystem::directory_iterator(tasks, ec)) {
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

// The same for this process.
std::map<std::string, long> switchesByThread() {
  return processSwitches(::getpid());
}

long contextSwitches() {
  long total = 0;
  for (const auto& [name, n] : switchesByThread()) total += n;
  return total;
}

long total(const std::map<std::string, long>& m) {
  long n = 0;
  for (const auto& [name, v] : m) n += v;
  return n;
}

// The simulator's child process, asked over a pipe: 'c' the number of commands it received so
// far, 'l' the distinct commands among the last 60.
struct SimChild {
  pid_t pid = -1;
  int ask = -1, reply = -1;
  std::string pty;

  long count() {
    const char c = 'c';
    long n = -1;
    if (write(ask, &c, 1) != 1 || read(reply, &n, sizeof n) != sizeof n) return -1;
    return n;
  }
  std::vector<std::string> recent() {
    const char c = 'l';
    std::uint32_t len = 0;
    if (write(ask, &c, 1) != 1 || read(reply, &len, sizeof len) != sizeof len) return {};
    std::string text(len, '\0');
    std::size_t got = 0;
    while (got < len) {
      const ssize_t r = read(reply, text.data() + got, len - got);
      if (r <= 0) return {};
      got += std::size_t(r);
    }
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string w; std::getline(in, w, '\n');)
      if (!w.empty()) out.push_back(w);
    return out;
  }
};

// Forks the simulator before this process starts any thread.
bool startSimulator(SimChild& s, const std::string& dir) {
  int up[2], down[2];
  if (pipe(up) != 0 || pipe(down) != 0) return false;
  s.pid = fork();
  if (s.pid == 0) {
    close(up[0]);
    close(down[1]);
    qv::sim::Simulator sim{std::string("gen3-2branch")};
    const bool ok = sim.start(kPort, dir);
    const std::string pty = ok ? sim.ptyPath() : std::string();
    const std::uint32_t len = std::uint32_t(pty.size());
    (void)!write(up[1], &len, sizeof len);
    (void)!write(up[1], pty.data(), len);
    char c;
    while (read(down[0], &c, 1) == 1) {
      const std::vector<std::string> got = sim.received();
      if (c == 'c') {
        const long n = long(got.size());
        (void)!write(up[1], &n, sizeof n);
      } else {
        std::set<std::string> seen;
        std::string text;
        for (std::size_t i = got.size() > 60 ? got.size() - 60 : 0; i < got.size(); ++i)
          if (seen.insert(got[i]).second) text += got[i] + "\n";
        const std::uint32_t n = std::uint32_t(text.size());
        (void)!write(up[1], &n, sizeof n);
        (void)!write(up[1], text.data(), n);
      }
    }
    _exit(0);
  }
  close(up[1]);
  close(down[0]);
  s.reply = up[0];
  s.ask = down[1];
  std::uint32_t len = 0;
  if (read(s.reply, &len, sizeof len) != sizeof len || len == 0) return false;
  s.pty.resize(len);
  return read(s.reply, s.pty.data(), len) == ssize_t(len);
}

struct PythonPoll {
  double reads = 0, cpu = 0, wall = 0;
};

// A plain Python loop that polls the given reads in turn at `rate` reads per second, on its own
// clock (write, readline, sleep until the next slot); its processor time is taken inside the
// loop, so the interpreter's start is not counted.
PythonPoll pythonPolling(const std::string& device, const std::vector<std::string>& commands,
                         double rate, double seconds) {
  std::string list;
  for (const std::string& c : commands) list += (list.empty() ? "" : ",") + c;
  const std::string script =
      "import serial,sys,time\n"
      "s=serial.Serial(sys.argv[1],57600,timeout=2)\n"
      "cmds=[c.encode()+b'\\r' for c in sys.argv[2].split(',')]\n"
      "period=1.0/float(sys.argv[3]); secs=float(sys.argv[4])\n"
      "for c in cmds:\n s.write(c); s.readline()\n"
      "c0=time.process_time(); t0=time.monotonic(); nxt=t0; n=0\n"
      "while time.monotonic()-t0<secs:\n"
      " s.write(cmds[n%len(cmds)]); s.readline(); n+=1\n"
      " nxt+=period; d=nxt-time.monotonic()\n"
      " if d>0: time.sleep(d)\n"
      "print(n, time.process_time()-c0, time.monotonic()-t0)\n";
  const std::string file = std::filesystem::temp_directory_path() / "qv_bench_poll.py";
  if (FILE* f = std::fopen(file.c_str(), "w")) {
    std::fputs(script.c_str(), f);
    std::fclose(f);
  }
  const std::string cmd = "/usr/bin/python3 " + file + " " + device + " " + list + " " +
                          std::to_string(rate) + " " + std::to_string(seconds);
  PythonPoll r;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    if (std::fscanf(p, "%lf %lf %lf", &r.reads, &r.cpu, &r.wall) != 3) r = PythonPoll{};
    pclose(p);
  }
  std::filesystem::remove(file);
  return r;
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

  SimChild sim;
  if (!startSimulator(sim, dir)) {
    std::fprintf(stderr, "simulator did not start\n");
    return 1;
  }
  const pid_t child = sim.pid;
  std::string cliPath = argc > 2 ? argv[2] : std::string();
  if (cliPath.empty()) {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    cliPath = (self.parent_path().parent_path() / "tools" / "cli" / "qvlaser-cli").string();
  }
  double laserRate = 0;
  std::string stateCmd;

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
    stateCmd =
        laser.CommandList().TryItem(laser.CommandList().IndexOfCommand(lcReadState, 0))->CmdStr;
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
    laserRate = rate;
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
    pump([] { return false; }, 0.2);
    // The main loop here waits a second at a time, so that what wakes up is the link's own.
    const auto d0 = switchesByThread();
    const double dc0 = cpuSeconds(), dt0 = now();
    while (now() - dt0 < seconds) CheckSynchronize(1000);
    const double dt1 = now(), dc1 = cpuSeconds();
    const auto d1 = switchesByThread();
    long workerWakes = 0;
    std::string detail;
    for (const auto& [name, n] : d1) {
      const auto it = d0.find(name);
      const long w = n - (it == d0.end() ? 0 : it->second);
      if (name != "bench_laser_pol") workerWakes += w;
      char buf[96];
      std::snprintf(buf, sizeof buf, " %s %.1f", name.c_str(), double(w) / (dt1 - dt0));
      detail += buf;
    }
    std::printf("   disconnected:          %.2f %% of one core\n",
                100.0 * (dc1 - dc0) / (dt1 - dt0));
    std::printf(
        "   wake-ups per second while disconnected: %.1f of the link's threads (by thread:%s;"
        " the main thread's come from this program's one-second loop)\n",
        double(workerWakes) / (dt1 - dt0), detail.c_str());
  }

  std::printf("5. a pyserial loop polling the same read (%s) at the same rate, %.0f s\n",
              stateCmd.c_str(), seconds);
  const PythonPoll py = pythonPolling(sim.pty, {stateCmd}, laserRate, seconds);
  if (py.wall > 0)
    std::printf("   %.1f reads/s, %.2f %% of one core (%.1f us per read)\n", py.reads / py.wall,
                100.0 * py.cpu / py.wall, 1e6 * py.cpu / std::max(1.0, py.reads));
  else
    std::printf("   (python3 with pyserial not available)\n");

  if (std::filesystem::exists(cliPath)) {
    std::printf("6. %s watch, %.0f s after its identification\n", cliPath.c_str(), seconds);
    std::fflush(stdout);  // the child's freopen would write what is buffered a second time
    const pid_t cli = fork();
    if (cli == 0) {
      if (FILE* devnull = std::freopen("/dev/null", "w", stdout)) (void)devnull;
      const std::string port = std::to_string(kPort), secs = std::to_string(int(seconds) + 30);
      execl(cliPath.c_str(), cliPath.c_str(), "--port", port.c_str(), "watch", "--seconds",
            secs.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    usleep(4000000);  // identification and detection
    const long n0 = sim.count();
    const auto w0 = processSwitches(cli);
    const double cc0 = processCpuSeconds(cli), ct0 = now();
    usleep(useconds_t(seconds * 1e6));
    const double ct1 = now(), cc1 = processCpuSeconds(cli);
    const auto w1 = processSwitches(cli);
    const long n1 = sim.count();
    const std::vector<std::string> polled = sim.recent();
    kill(cli, SIGINT);
    waitpid(cli, nullptr, 0);
    const double cliRate = double(n1 - n0) / (ct1 - ct0);
    std::string list;
    for (const std::string& c : polled) list += " " + c;
    std::printf(
        "   %.1f reads/s (%s), %.2f %% of one core (%.1f us and %.1f thread switches per"
        " read)\n",
        cliRate, list.c_str() + (list.empty() ? 0 : 1), 100.0 * (cc1 - cc0) / (ct1 - ct0),
        1e6 * (cc1 - cc0) / double(std::max(1L, n1 - n0)),
        double(total(w1) - total(w0)) / double(std::max(1L, n1 - n0)));
    std::printf("   switches per read by thread:");
    for (const auto& [name, w] : w1) {
      const auto it = w0.find(name);
      std::printf(" %s %.1f", name.c_str(),
                  double(w - (it == w0.end() ? 0 : it->second)) / double(std::max(1L, n1 - n0)));
    }
    std::printf("\n");
    const PythonPoll pyCli = pythonPolling(sim.pty, polled, cliRate, seconds);
    if (pyCli.wall > 0)
      std::printf(
          "   pyserial loop, the same reads at the same rate: %.1f reads/s, %.2f %% of one"
          " core\n",
          pyCli.reads / pyCli.wall, 100.0 * pyCli.cpu / pyCli.wall);
  } else {
    std::printf("6. (no %s: cli watch not measured)\n", cliPath.c_str());
  }
  close(sim.ask);
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  std::filesystem::remove_all(dir);
  return 0;
}
