// How fast TLaser gets user commands through: back to back against an instant simulator, side by
// side with the same exchange done by a plain Python loop with pyserial and by the floor (a
// minimal C++ loop without threads: write, poll, read on the same pseudo-terminal), and against
// a simulator that paces its output to 57600 baud.
//
//   bench_laser_exchange [commands] [rounds]        (default 3000 commands, 3 rounds)
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/Simulator.h"
#include "link/QVLaser.h"
#include "link/QVUtils.h"
#include "platform/Clock.h"

namespace {

constexpr int kPort = 21;
constexpr double kBitsPerByte = 10.0;
constexpr double kBaud = 57600.0;
const std::string kCommand = "r60\r";         // status read
const std::string kAnswer = "LASER_OFF\r\n";  // its answer from the simulator

template <typename Pred>
bool pump(Pred done, int timeoutMs) {
  const std::int64_t end =
      qv::counterNow() + std::int64_t(timeoutMs) * qv::counterFrequency() / 1000;
  while (!done()) {
    if (qv::counterNow() > end) return false;
    CheckSynchronize(5);
  }
  return true;
}

double seconds(std::int64_t from, std::int64_t to) {
  return double(to - from) / double(qv::counterFrequency());
}

// Connects, waits for identification, then sends n status reads at once and times them.
double laserRate(int n) {
  TLaser laser;
  laser.SetPort(kPort);
  laser.OnConnect = [&](TObject*) { laser.BuildCommandCatalogue(); };
  laser.OnLaserConnected = [&](TObject*) { laser.BuildCommandCatalogue(); };
  int answers = 0;
  laser.OnLaserON = [&](TLaser&, bool) { ++answers; };
  if (!laser.Connect() ||
      !pump([&] { return !laser.Connecting() && laser.QueuedCommands() == 0; }, 10000)) {
    std::fprintf(stderr, "identification failed\n");
    return 0;
  }
  for (int i = 0; i < 20; ++i) laser.ReadStatus();  // warm up
  pump([&] { return answers == 20; }, 10000);
  answers = 0;
  const std::int64_t t0 = qv::counterNow();
  for (int i = 0; i < n; ++i) laser.ReadStatus();
  if (!pump([&] { return answers == n; }, 120000)) std::fprintf(stderr, "lost answers\n");
  const std::int64_t t1 = qv::counterNow();
  if (laser.CommandErrors() != 0)
    std::fprintf(stderr, "command errors: %d\n", laser.CommandErrors());
  laser.Disconnect();
  return answers / seconds(t0, t1);
}

double pythonRate(const std::string& device, int n) {
  const std::string script =
      "import serial,sys,time\n"
      "s=serial.Serial(sys.argv[1],57600,timeout=2)\n"
      "n=int(sys.argv[2])\n"
      "for _ in range(20):\n s.write(b'r60\\r'); s.readline()\n"
      "t=time.perf_counter()\n"
      "for _ in range(n):\n s.write(b'r60\\r'); s.readline()\n"
      "print(n/(time.perf_counter()-t))\n";
  const std::string file = std::filesystem::temp_directory_path() / "qv_bench_loop.py";
  if (FILE* f = std::fopen(file.c_str(), "w")) {
    std::fputs(script.c_str(), f);
    std::fclose(f);
  }
  const std::string cmd = "/usr/bin/python3 " + file + " " + device + " " + std::to_string(n);
  double rate = 0;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    if (std::fscanf(p, "%lf", &rate) != 1) rate = 0;
    pclose(p);
  }
  std::filesystem::remove(file);
  return rate;
}

// The floor: one thread, blocking on the descriptor itself, no framing beyond the line end.
double floorRate(const std::string& device, int n) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return 0;
  termios tio{};
  ::tcgetattr(fd, &tio);
  ::cfmakeraw(&tio);
  ::cfsetispeed(&tio, B57600);
  ::cfsetospeed(&tio, B57600);
  ::tcsetattr(fd, TCSANOW, &tio);
  auto exchange = [&] {
    if (::write(fd, kCommand.data(), kCommand.size()) != ssize_t(kCommand.size())) return false;
    char buf[256];
    std::size_t got = 0;
    for (;;) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 2000) <= 0) return false;
      const ssize_t r = ::read(fd, buf + got, sizeof buf - got);
      if (r <= 0) return false;
      got += std::size_t(r);
      if (got >= 2 && buf[got - 1] == '\n' && buf[got - 2] == '\r') return true;
      if (got == sizeof buf) got = 0;
    }
  };
  for (int i = 0; i < 20; ++i) exchange();
  int done = 0;
  const std::int64_t t0 = qv::counterNow();
  while (done < n && exchange()) ++done;
  const std::int64_t t1 = qv::counterNow();
  ::close(fd);
  return done / seconds(t0, t1);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 3000;
  const int rounds = std::max(1, argc > 2 ? std::atoi(argv[2]) : 3);
  char tmpl[] = "/tmp/qv-bench-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  setenv("QVLASER_PORTS_DIR", dir.c_str(), 1);

  qv::sim::Simulator sim{std::string("gen3-2branch")};
  if (!sim.start(kPort, dir)) {
    std::fprintf(stderr, "simulator: %s\n", sim.lastError().c_str());
    return 1;
  }

  std::printf(
      "1. back-to-back status reads (r60), instant simulator, %d commands, %d rounds "
      "(TLaser, pyserial, floor in turn; medians)\n",
      n, rounds);
  std::vector<double> oursV, pythonV, floorV;
  for (int r = 0; r < rounds; ++r) {
    oursV.push_back(laserRate(n));
    pythonV.push_back(pythonRate(sim.ptyPath(), n));
    floorV.push_back(floorRate(sim.ptyPath(), n));
    std::printf("   round %d: TLaser %.0f, pyserial %.0f, floor %.0f commands/s\n", r + 1,
                oursV.back(), pythonV.back(), floorV.back());
  }
  const double ours = median(oursV), python = median(pythonV), floor = median(floorV);
  std::printf("   TLaser:               %8.0f commands/s (%.1f us each)\n", ours, 1e6 / ours);
  std::printf("   Python pyserial loop: %8.0f commands/s (%.1f us each)\n", python,
              python > 0 ? 1e6 / python : 0.0);
  std::printf("   floor (C++ loop):     %8.0f commands/s (%.1f us each)\n", floor,
              floor > 0 ? 1e6 / floor : 0.0);
  std::printf("   ratio TLaser/Python:  %8.2f\n", python > 0 ? ours / python : 0.0);
  std::printf("   ratio TLaser/floor:   %8.2f\n", floor > 0 ? ours / floor : 0.0);

  qv::sim::Faults f = sim.faults();
  f.paceLine = true;
  sim.setFaults(f);
  const int paced = std::max(100, n / 6);
  const double line = laserRate(paced);
  const double pythonPaced = pythonRate(sim.ptyPath(), paced);
  const double answerLimit = kBaud / kBitsPerByte / double(kAnswer.size());
  const double fullLimit = kBaud / kBitsPerByte / double(kAnswer.size() + kCommand.size());
  std::printf("2. status reads with the simulator's output paced to 57600 baud, %d commands\n",
              paced);
  std::printf("   TLaser:              %8.1f commands/s\n", line);
  std::printf("   Python pyserial loop: %8.1f commands/s (same pacing; ratio %.2f)\n", pythonPaced,
              pythonPaced > 0 ? line / pythonPaced : 0.0);
  std::printf(
      "   line limit, answer bytes only (%zu bytes, what the pacing enforces): %.1f/s -> "
      "fraction %.3f\n",
      kAnswer.size(), answerLimit, line / answerLimit);
  std::printf(
      "   line limit, command and answer (%zu bytes, a real half-duplex exchange): %.1f/s "
      "-> fraction %.3f\n",
      kAnswer.size() + kCommand.size(), fullLimit, line / fullLimit);
  sim.stop();
  std::filesystem::remove_all(dir);
  return 0;
}
