// qvlaser-sim: a virtual laser power supply on a pseudo-terminal, published as COM<n>.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/Simulator.h"
#include "platform/PortMap.h"

namespace {

volatile std::sig_atomic_t gStop = 0;
void onSignal(int) {
  gStop = 1;
}

std::string usage() {
  std::ostringstream o;
  o << "Usage: qvlaser-sim --com N [--profile P] [options]\n"
       "\n"
       "A virtual laser power supply. It opens a pseudo-terminal, links it as COM<N> in the ports\n"
       "folder (QVLASER_PORTS_DIR when set, else $XDG_RUNTIME_DIR/qvlaser/ports or\n"
       "/tmp/qvlaser-<uid>/ports), prints the link and the pty, and answers the laser's line\n"
       "protocol until interrupted (Ctrl-C, SIGTERM); then it removes its link.\n"
       "Commands end with a carriage return (a following line feed is ignored; a bare line feed\n"
       "also ends a command); each reply line ends with CR LF. Nothing is sent unasked except\n"
       "READY after a reset and what the fault switches call for.\n"
       "\n"
       "Profiles (--profile, default gen3-2branch):\n";
  for (const std::string& name : qv::sim::Simulator::profiles()) {
    o << "  " << name << "\n      " << qv::sim::Simulator::describeProfile(name) << "\n";
  }
  o << "\n"
       "Options:\n"
       "  --com N               port number 1..256 (required)\n"
       "  --ports-dir DIR       publish the link in DIR instead of the ports folder\n"
       "  --replace             replace an existing COM<N> link that still points somewhere\n"
       "  --verbose             log every exchange to stderr\n"
       "  --error CODES         start in an error state with these codes (comma-separated)\n"
       "  --warning CODES       start with these warning codes (state 800x)\n"
       "  --error-class 0|1     state digit while errors are set (default 1)\n"
       "  --warmup-required     start needing a warm-up (state 2.00; w60 1 then gives error\n"
       "                        1042; w60 2 warms up: 2.25, then 2.50)\n"
       "  --warmup-ms MS        length of a warm-up (default 3000)\n"
       "  --reset-ms MS         from the OK of a reset (w99 101) to its READY (default 1500)\n"
       "  --reset-silent        answer nothing between a reset's OK and its READY (by default\n"
       "                        the controller keeps answering while it resets)\n"
       "  --password TEXT       the only service password w01 accepts (default: any)\n"
       "\n"
       "Fault switches (SELECTOR: a command such as r99, w61 or \"w99 101\", several joined by\n"
       "commas, or * for every command):\n"
       "  --silent              answer nothing at all\n"
       "  --no-answer SELECTOR  no answer to these commands\n"
       "  --error-for SELECTOR  answer ERROR to these commands\n"
       "  --no-cr SELECTOR      replies to these commands end in a bare line feed\n"
       "  --lower               send everything in lower case\n"
       "  --split MS            send every reply in two writes, MS apart\n"
       "  --double              send every reply together with an unsolicited status reply in\n"
       "                        the same write\n"
       "  --unsolicited MS      send an unsolicited line every MS ms\n"
       "  --unsolicited-text T  that line (default LASER_OFF)\n"
       "  --garbage MS          send 1 to 16 random bytes every MS ms\n"
       "  --seed N              seed of the random bytes (default 1)\n"
       "  --latency MS          wait MS before every reply\n"
       "  --pace                send no faster than 57600 baud (10 bits per byte)\n"
       "  --hangup-after S      close the pty and remove the link S seconds after start\n"
       "  --come-back-after S   come back on a new pty under the same link S seconds after a\n"
       "                        hang-up\n"
       "  --list-profiles       print the profile names and exit\n"
       "  --help                this text\n"
       "  --version             print the version and exit\n"
       "\n"
       "Control channel: while running, qvlaser-sim reads lines from stdin and answers each on\n"
       "stdout. The same lines work in-process through Simulator::control.\n"
    << qv::sim::Simulator::controlHelp();
  return o.str();
}

bool parseCodes(const std::string& text, std::vector<int>& out) {
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    char* end = nullptr;
    long v = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || v < 0 || v > 65535) return false;
    out.push_back(static_cast<int>(v));
  }
  return true;
}

bool parseInt(const std::string& text, int& out) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') return false;
  out = static_cast<int>(v);
  return true;
}

bool parseSeconds(const std::string& text, int& ms) {
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || v < 0 || v > 1e6) return false;
  ms = static_cast<int>(v * 1000.0 + 0.5);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  qv::sim::Config config;
  int port = 0;
  std::string portsDir;
  bool replace = false;
  std::vector<std::string> args(argv + 1, argv + argc);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    bool ok = true;
    qv::sim::Faults& f = config.faults;
    if (a == "--help" || a == "-h") {
      std::cout << usage();
      return 0;
    } else if (a == "--version") {
      std::cout << "qvlaser-sim " QV_VERSION_TEXT "\n";
      return 0;
    } else if (a == "--list-profiles") {
      for (const std::string& name : qv::sim::Simulator::profiles()) std::cout << name << "\n";
      return 0;
    } else if (a == "--com") {
      ok = value(v) && parseInt(v, port);
    } else if (a == "--profile") {
      ok = value(config.profile);
    } else if (a == "--ports-dir") {
      ok = value(portsDir);
    } else if (a == "--replace") {
      replace = true;
    } else if (a == "--verbose") {
      config.verbose = true;
    } else if (a == "--error") {
      ok = value(v) && parseCodes(v, config.errors);
    } else if (a == "--warning") {
      ok = value(v) && parseCodes(v, config.warnings);
    } else if (a == "--error-class") {
      int c = 0;
      ok = value(v) && parseInt(v, c) && (c == 0 || c == 1);
      if (ok) config.errorClass = c;
    } else if (a == "--warmup-required") {
      config.warmUpRequired = true;
    } else if (a == "--warmup-ms") {
      ok = value(v) && parseInt(v, config.warmUpMs) && config.warmUpMs >= 0;
    } else if (a == "--reset-ms") {
      ok = value(v) && parseInt(v, config.resetReadyMs) && config.resetReadyMs >= 0;
    } else if (a == "--reset-silent") {
      config.silentWhileResetting = true;
    } else if (a == "--password") {
      ok = value(config.password);
    } else if (a == "--silent") {
      f.silent = true;
    } else if (a == "--no-answer") {
      ok = value(f.noAnswerTo);
    } else if (a == "--error-for") {
      ok = value(f.errorFor);
    } else if (a == "--no-cr") {
      ok = value(f.noCarriageReturnFor);
    } else if (a == "--lower") {
      f.lowerCase = true;
    } else if (a == "--split") {
      ok = value(v) && parseInt(v, f.splitPauseMs);
    } else if (a == "--double") {
      f.doubleReply = true;
    } else if (a == "--unsolicited") {
      ok = value(v) && parseInt(v, f.unsolicitedEveryMs);
    } else if (a == "--unsolicited-text") {
      ok = value(f.unsolicitedText);
    } else if (a == "--garbage") {
      ok = value(v) && parseInt(v, f.garbageEveryMs);
    } else if (a == "--seed") {
      int s = 0;
      ok = value(v) && parseInt(v, s);
      f.seed = static_cast<unsigned>(s);
    } else if (a == "--latency") {
      ok = value(v) && parseInt(v, f.latencyMs);
    } else if (a == "--pace") {
      f.paceLine = true;
    } else if (a == "--hangup-after") {
      ok = value(v) && parseSeconds(v, f.hangUpAfterMs);
    } else if (a == "--come-back-after") {
      ok = value(v) && parseSeconds(v, f.comeBackAfterMs);
    } else {
      std::cerr << "qvlaser-sim: unknown option " << a << " (see --help)\n";
      return 2;
    }
    if (!ok) {
      std::cerr << "qvlaser-sim: bad or missing value for " << a << " (see --help)\n";
      return 2;
    }
  }
  if (port < qv::kMinPort || port > qv::kMaxPort) {
    std::cerr << "qvlaser-sim: --com N (1..256) is required (see --help)\n";
    return 2;
  }

  std::unique_ptr<qv::sim::Simulator> sim;
  try {
    sim = std::make_unique<qv::sim::Simulator>(config);
  } catch (const std::exception& e) {
    std::cerr << "qvlaser-sim: " << e.what() << " (see --list-profiles)\n";
    return 2;
  }

  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  // Started in the background of an interactive shell, reading the terminal would stop the whole
  // simulator; with SIGTTIN ignored such a read fails instead and the control channel waits.
  std::signal(SIGTTIN, SIG_IGN);

  if (!sim->start(port, portsDir, replace)) {
    std::cerr << "qvlaser-sim: " << sim->lastError() << "\n";
    return 1;
  }
  std::cout << qv::portName(port) << ": " << sim->linkPath() << " -> " << sim->ptyPath()
            << " (profile " << config.profile << ")" << std::endl;

  // Control channel on stdin; at its end keep serving until a signal.
  bool stdinOpen = true;
  std::string pending;
  while (!gStop) {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    int n = ::poll(&p, stdinOpen ? 1 : 0, 100);
    if (n <= 0 || !stdinOpen) continue;
    char buf[512];
    ssize_t got = ::read(STDIN_FILENO, buf, sizeof buf);
    if (got < 0 && (errno == EIO || errno == EINTR || errno == EAGAIN)) {
      ::poll(nullptr, 0, 200);  // in the background of a terminal: try again later
      continue;
    }
    if (got <= 0) {
      stdinOpen = false;
      continue;
    }
    pending.append(buf, static_cast<size_t>(got));
    for (size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
      std::string line = pending.substr(0, nl);
      pending.erase(0, nl + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line == "quit" || line == "exit") {
        gStop = 1;
        break;
      }
      std::string answer = sim->control(line);
      if (!answer.empty()) std::cout << answer << std::endl;
    }
  }
  sim->stop();
  return 0;
}
