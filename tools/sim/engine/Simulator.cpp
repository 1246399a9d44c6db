#include "engine/Simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "engine/Profiles.h"
#include "engine/Responder.h"
#include "platform/PortMap.h"

namespace qv::sim {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// One byte at 57600 baud with a start and a stop bit.
constexpr auto kByteTime = std::chrono::nanoseconds(1'000'000'000LL * 10 / 57600);

std::string visible(const std::string& bytes) {
  std::string out;
  for (unsigned char ch : bytes) {
    if (ch == '\r') {
      out += "\\r";
    } else if (ch == '\n') {
      out += "\\n";
    } else if (ch < 32 || ch == 127) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", ch);
      out += buf;
    } else {
      out += static_cast<char>(ch);
    }
  }
  return out;
}

std::string lowerAscii(std::string s) {
  for (char& ch : s) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return s;
}

std::string readLink(const std::string& path) {
  char buf[4096];
  ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
  return n < 0 ? std::string() : std::string(buf, static_cast<size_t>(n));
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

std::optional<int> toInt(const std::string& s) {
  if (s.empty() || s.size() > 9) return std::nullopt;
  size_t i = s[0] == '-' ? 1 : 0;
  if (i == s.size()) return std::nullopt;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return std::nullopt;
  }
  return std::stoi(s);
}

std::optional<bool> toSwitch(const std::string& s) {
  if (s == "on" || s == "1" || s == "true") return true;
  if (s == "off" || s == "0" || s == "false") return false;
  return std::nullopt;
}

const char* warmUpWord(WarmUp w) {
  switch (w) {
    case WarmUp::NotNeeded:
      return "not-needed";
    case WarmUp::Required:
      return "required";
    case WarmUp::Warming:
      return "warming";
    case WarmUp::Warmed:
      return "warmed";
  }
  return "?";
}

std::string joinCodes(const std::vector<int>& codes) {
  std::string out;
  for (int c : codes) out += (out.empty() ? "" : " ") + std::to_string(c);
  return out.empty() ? "-" : out;
}

}  // namespace

struct Simulator::Impl {
  explicit Impl(Config c) : config(std::move(c)) {
    auto p = findProfile(config.profile);
    if (!p) throw std::invalid_argument("unknown profile: " + config.profile);
    profile = *p;
    faults = config.faults;
    responder = std::make_unique<Responder>(profile, config, Clock::now());
    rng.seed(faults.seed);
  }

  // Everything below up to the server-thread section is guarded by `mutex`.
  Config config;
  Profile profile;
  mutable std::mutex mutex;  // guards the responder, faults, received, outbox, requests, paths
  mutable std::condition_variable receivedChanged;
  std::unique_ptr<Responder> responder;
  Faults faults;
  std::vector<std::string> received;
  std::deque<std::string> outbox;  // unsolicited bytes asked for by control calls
  bool hangUpRequested = false;
  bool comeBackRequested = false;
  bool running = false;
  bool online = false;
  std::string portsDir, link, ptyPath, lastError;
  Clock::time_point faultsSince{};  // the periodic faults count from here

  // Server-thread state (the thread owns the descriptors while it runs).
  int master = -1;
  int holdSlave = -1;  // keeps the line up while the console has the port closed
  int wakeRead = -1, wakeWrite = -1;
  std::atomic<bool> stopping{false};
  std::thread thread;
  std::mt19937 rng;
  std::string input;
  Clock::time_point startedAt{}, hungUpAt{}, lastUnsolicited{}, lastGarbage{}, lineFreeAt{};
  Clock::time_point scheduleSince{};  // the faultsSince the hang-up schedule refers to
  bool scheduledHangUpDone = false;

  void logLine(const std::string& text) {
    if (config.verbose) std::cerr << "qvlaser-sim: " << text << std::endl;
    if (config.log) config.log(text);
  }

  void wake() {
    if (wakeWrite >= 0) {
      char b = 1;
      [[maybe_unused]] ssize_t n = ::write(wakeWrite, &b, 1);
    }
  }

  void drainWake() {
    char buf[64];
    while (::read(wakeRead, buf, sizeof buf) > 0) {
    }
  }

  // Sleeps up to ms, cut short only by stop(). False when stopping.
  bool pause(int ms) {
    auto until = Clock::now() + milliseconds(ms);
    while (!stopping.load()) {
      auto left = std::chrono::duration_cast<milliseconds>(until - Clock::now()).count();
      if (left <= 0) return true;
      pollfd p{wakeRead, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) > 0) drainWake();
    }
    return false;
  }

  bool openPty(std::string& error) {
    int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m < 0 || ::grantpt(m) != 0 || ::unlockpt(m) != 0) {
      error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
      if (m >= 0) ::close(m);
      return false;
    }
    char name[128];
    if (::ptsname_r(m, name, sizeof name) != 0) {
      error = std::string("ptsname: ") + std::strerror(errno);
      ::close(m);
      return false;
    }
    int s = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s < 0) {
      error = std::string("cannot open ") + name + ": " + std::strerror(errno);
      ::close(m);
      return false;
    }
    // Raw line at 57600 8N1, no echo: bytes pass unchanged in both directions.
    termios t{};
    ::tcgetattr(s, &t);
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B57600);
    ::cfsetospeed(&t, B57600);
    t.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(s, TCSANOW, &t);
    ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
    master = m;
    holdSlave = s;
    std::lock_guard<std::mutex> lock(mutex);
    ptyPath = name;
    online = true;
    return true;
  }

  void closePty() {
    if (master >= 0) ::close(master);
    if (holdSlave >= 0) ::close(holdSlave);
    master = holdSlave = -1;
    std::lock_guard<std::mutex> lock(mutex);
    online = false;
  }

  // Points the link at the current pty, replacing whatever stands there (atomically).
  bool pointLink(std::string& error) {
    std::string target, path;
    {
      std::lock_guard<std::mutex> lock(mutex);
      target = ptyPath;
      path = link;
    }
    std::string tmp = path + ".tmp" + std::to_string(::getpid());
    ::unlink(tmp.c_str());
    if (::symlink(target.c_str(), tmp.c_str()) != 0 || ::rename(tmp.c_str(), path.c_str()) != 0) {
      error = "cannot make the link " + path + ": " + std::strerror(errno);
      ::unlink(tmp.c_str());
      return false;
    }
    return true;
  }

  // Removes the link when it still points at our pty (another simulator may have taken it).
  void removeLink() {
    std::string target, path;
    {
      std::lock_guard<std::mutex> lock(mutex);
      target = ptyPath;
      path = link;
    }
    if (!path.empty() && !target.empty() && readLink(path) == target) ::unlink(path.c_str());
  }

  void hangUpNow() {
    if (master < 0) return;
    removeLink();
    closePty();
    {
      std::lock_guard<std::mutex> lock(mutex);
      ptyPath.clear();
    }
    input.clear();
    hungUpAt = Clock::now();
    logLine("hung up");
  }

  void comeBackNow() {
    if (master >= 0) return;
    std::string error;
    if (!openPty(error) || !pointLink(error)) {
      closePty();
      std::lock_guard<std::mutex> lock(mutex);
      lastError = error;
      logLine("cannot come back: " + error);
      return;
    }
    logLine("back on " + ptyPath);
  }

  // Writes bytes to the line, paced when asked. What the line does not take within waitMs is
  // dropped: a reply may wait for a slow reader, the laser's own chatter must not hold up the
  // replies when nobody has the port open.
  void writeOut(const std::string& bytes, bool pace, int waitMs = 1000) {
    if (master < 0 || bytes.empty()) return;
    size_t chunk = pace ? 1 : bytes.size();
    size_t done = 0;
    // Each byte is due one byte time after the one before; the schedule restarts only when the
    // line was idle, so a late wake-up is made good by the bytes after it instead of adding up.
    if (pace) lineFreeAt = std::max(Clock::now(), lineFreeAt);
    while (done < bytes.size() && !stopping.load()) {
      if (pace) {
        if (lineFreeAt > Clock::now()) std::this_thread::sleep_until(lineFreeAt);
        lineFreeAt += kByteTime;
      }
      ssize_t n = ::write(master, bytes.data() + done, std::min(chunk, bytes.size() - done));
      if (n > 0) {
        done += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN) return;
      pollfd p{master, POLLOUT, 0};
      if (::poll(&p, 1, waitMs) <= 0) return;  // nobody drains the line
    }
  }

  void send(std::string bytes, const Faults& f, int waitMs = 1000) {
    if (f.lowerCase) bytes = lowerAscii(bytes);
    writeOut(bytes, f.paceLine, waitMs);
  }

  void handleCommand(const std::string& text) {
    std::string reply;
    Faults f;
    std::string status;
    {
      std::lock_guard<std::mutex> lock(mutex);
      received.push_back(text);
      f = faults;
      bool rebooting = config.silentWhileResetting && responder->state().resetting;
      if (f.silent || rebooting || (!f.noAnswerTo.empty() && matchesSelector(f.noAnswerTo, text))) {
        reply.clear();
      } else if (!f.errorFor.empty() && matchesSelector(f.errorFor, text)) {
        reply = "ERROR\r\n";
      } else {
        reply = responder->answer(text, Clock::now());
      }
      status = responder->statusText();
    }
    receivedChanged.notify_all();
    logLine("<- " + visible(text));
    if (reply.empty()) return;
    if (!f.noCarriageReturnFor.empty() && matchesSelector(f.noCarriageReturnFor, text)) {
      std::string bare;
      for (char ch : reply) {
        if (ch != '\r') bare += ch;
      }
      reply = bare;
    }
    if (f.doubleReply) reply += status + "\r\n";
    if (f.latencyMs > 0 && !pause(f.latencyMs)) return;
    if (f.lowerCase) reply = lowerAscii(reply);
    if (f.splitPauseMs > 0 && reply.size() >= 2) {
      size_t firstLine = reply.find_first_of("\r\n");
      size_t cut =
          std::max<size_t>(1, (firstLine == std::string::npos ? reply.size() : firstLine) / 2);
      writeOut(reply.substr(0, cut), f.paceLine);
      if (!pause(f.splitPauseMs)) return;
      writeOut(reply.substr(cut), f.paceLine);
    } else {
      writeOut(reply, f.paceLine);
    }
    logLine("-> " + visible(reply));
  }

  // Cuts complete commands (ended by a carriage return or a line feed) from the input.
  void takeInput(const char* data, size_t n) {
    input.append(data, n);
    size_t start = 0;
    for (size_t i = 0; i < input.size(); ++i) {
      if (input[i] == '\r' || input[i] == '\n') {
        std::string cmd = input.substr(start, i - start);
        start = i + 1;
        bool blank = cmd.find_first_not_of(" \t") == std::string::npos;
        if (!blank) handleCommand(cmd);
      }
    }
    input.erase(0, start);
    if (input.size() > 4096) input.clear();  // a line that never ends is noise
  }

  void run() {
    char buf[256];
    while (!stopping.load()) {
      auto now = Clock::now();
      Faults f;
      bool wantHangUp, wantComeBack;
      std::deque<std::string> out;
      std::string due;
      Clock::time_point since;
      {
        std::lock_guard<std::mutex> lock(mutex);
        f = faults;
        wantHangUp = hangUpRequested;
        wantComeBack = comeBackRequested;
        hangUpRequested = comeBackRequested = false;
        out.swap(outbox);
        due = responder->due(now);
        since = faultsSince;
      }
      if (wantHangUp) hangUpNow();
      if (wantComeBack) comeBackNow();
      if (since != scheduleSince) {  // new fault switches: the hang-up timer starts over
        scheduleSince = since;
        scheduledHangUpDone = false;
      }
      if (f.hangUpAfterMs >= 0 && !scheduledHangUpDone && master >= 0 &&
          now >= since + milliseconds(f.hangUpAfterMs)) {
        scheduledHangUpDone = true;
        hangUpNow();
      }
      if (master < 0 && f.comeBackAfterMs >= 0 && hungUpAt != Clock::time_point{} &&
          now >= hungUpAt + milliseconds(f.comeBackAfterMs)) {
        hungUpAt = {};
        comeBackNow();
      }

      if (master >= 0) {
        for (const std::string& bytes : out) {
          send(bytes, f);
          logLine("-> (asked for) " + visible(bytes));
        }
        if (!due.empty() && !f.silent) {
          send(due, f);
          logLine("-> " + visible(due));
        }
        if (f.unsolicitedEveryMs > 0 && !f.silent &&
            now >= std::max(lastUnsolicited, since) + milliseconds(f.unsolicitedEveryMs)) {
          lastUnsolicited = now;
          send(f.unsolicitedText + "\r\n", f, 0);
          logLine("-> (unsolicited) " + visible(f.unsolicitedText + "\r\n"));
        }
        if (f.garbageEveryMs > 0 && !f.silent &&
            now >= std::max(lastGarbage, since) + milliseconds(f.garbageEveryMs)) {
          lastGarbage = now;
          std::string junk(std::uniform_int_distribution<int>(1, 16)(rng), '\0');
          for (char& ch : junk)
            ch = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng));
          writeOut(junk, f.paceLine, 0);
          logLine("-> (garbage) " + visible(junk));
        }
      }

      pollfd fds[2] = {{wakeRead, POLLIN, 0}, {master, POLLIN, 0}};
      int n = ::poll(fds, master >= 0 ? 2 : 1, 10);
      if (n <= 0) continue;
      if (fds[0].revents & POLLIN) drainWake();
      if (master >= 0 && (fds[1].revents & POLLIN)) {
        ssize_t got = ::read(master, buf, sizeof buf);
        if (got > 0) takeInput(buf, static_cast<size_t>(got));
      }
    }
  }
};

Simulator::Simulator(Config config) : impl_(std::make_unique<Impl>(std::move(config))) {}

Simulator::Simulator(const std::string& profile)
    : Simulator([&] {
        Config c;
        c.profile = profile;
        return c;
      }()) {}

Simulator::~Simulator() {
  stop();
}

std::vector<std::string> Simulator::profiles() {
  std::vector<std::string> names;
  for (const Profile& p : allProfiles()) names.push_back(p.name);
  return names;
}

std::string Simulator::describeProfile(const std::string& name) {
  auto p = findProfile(name);
  return p ? p->description : std::string();
}

bool Simulator::start(int port, const std::string& portsDir, bool replace) {
  Impl& d = *impl_;
  {
    std::lock_guard<std::mutex> lock(d.mutex);
    if (d.running) {
      d.lastError = "already running";
      return false;
    }
  }
  auto fail = [&](const std::string& why) {
    std::lock_guard<std::mutex> lock(d.mutex);
    d.lastError = why;
    return false;
  };
  if (port < kMinPort || port > kMaxPort) return fail("port must be 1..256");
  std::string dir = portsDir.empty() ? publishPortsDirectory() : portsDir;
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) return fail("cannot create the ports folder " + dir + ": " + ec.message());
  std::string path = dir + "/" + portName(port);
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && !replace) {
    struct stat target {};
    if (!S_ISLNK(st.st_mode) || ::stat(path.c_str(), &target) == 0) {
      return fail(path + " is already there (another simulator?); use another port or replace it");
    }
  }
  {
    std::lock_guard<std::mutex> lock(d.mutex);
    d.portsDir = dir;
    d.link = path;
  }
  int pipeFds[2];
  if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0) return fail("pipe failed");
  d.wakeRead = pipeFds[0];
  d.wakeWrite = pipeFds[1];
  std::string error;
  if (!d.openPty(error) || !d.pointLink(error)) {
    d.closePty();
    ::close(d.wakeRead);
    ::close(d.wakeWrite);
    d.wakeRead = d.wakeWrite = -1;
    return fail(error);
  }
  d.stopping = false;
  d.scheduledHangUpDone = false;
  d.startedAt = d.lastUnsolicited = d.lastGarbage = d.scheduleSince = Clock::now();
  {
    std::lock_guard<std::mutex> lock(d.mutex);
    d.running = true;
    d.faultsSince = d.startedAt;
  }
  d.logLine(path + " -> " + d.ptyPath + " (" + d.profile.name + ")");
  d.thread = std::thread([&d] { d.run(); });
  return true;
}

void Simulator::stop() {
  Impl& d = *impl_;
  {
    std::lock_guard<std::mutex> lock(d.mutex);
    if (!d.running) return;
    d.running = false;
  }
  d.stopping = true;
  d.wake();
  if (d.thread.joinable()) d.thread.join();
  d.removeLink();
  d.closePty();
  ::close(d.wakeRead);
  ::close(d.wakeWrite);
  d.wakeRead = d.wakeWrite = -1;
  std::lock_guard<std::mutex> lock(d.mutex);
  d.ptyPath.clear();
}

bool Simulator::running() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->running;
}

bool Simulator::online() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->running && impl_->online;
}

std::string Simulator::linkPath() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->link;
}

std::string Simulator::ptyPath() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->ptyPath;
}

std::string Simulator::lastError() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->lastError;
}

LaserState Simulator::state() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->responder->stateText(Clock::now());  // brings a finished warm-up into the state
  return impl_->responder->state();
}

void Simulator::modify(const std::function<void(LaserState&)>& change) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  change(impl_->responder->state());
}

void Simulator::setErrors(std::vector<int> codes) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->responder->setErrors(std::move(codes));
}

void Simulator::setWarnings(std::vector<int> codes) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->responder->state().warnings = std::move(codes);
}

void Simulator::setWarmUpRequired(bool required) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->responder->setWarmUpRequired(required);
}

Faults Simulator::faults() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->faults;
}

void Simulator::setFaults(const Faults& faults) {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->faults = faults;
    impl_->faultsSince = Clock::now();
  }
  impl_->wake();
}

void Simulator::hangUp() {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->hangUpRequested = true;
  }
  impl_->wake();
}

void Simulator::comeBack() {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->comeBackRequested = true;
  }
  impl_->wake();
}

void Simulator::sendLine(const std::string& text) {
  sendRaw(text + "\r\n");
}

void Simulator::sendRaw(const std::string& bytes) {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->outbox.push_back(bytes);
  }
  impl_->wake();
}

std::vector<std::string> Simulator::received() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->received;
}

void Simulator::clearReceived() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->received.clear();
}

int Simulator::countReceived(const std::string& selector) const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  int n = 0;
  for (const std::string& c : impl_->received) n += matchesSelector(selector, c) ? 1 : 0;
  return n;
}

bool Simulator::waitForReceived(const std::string& selector, int count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(impl_->mutex);
  return impl_->receivedChanged.wait_for(lock, milliseconds(timeoutMs), [&] {
    int n = 0;
    for (const std::string& c : impl_->received) n += matchesSelector(selector, c) ? 1 : 0;
    return n >= count;
  });
}

std::string Simulator::controlHelp() {
  return "Control lines (stdin of qvlaser-sim, or Simulator::control):\n"
         "  state                      the state reply, laser on/off, warm-up, errors, warnings\n"
         "  error [CODE...]            set the error list (none: clear it); switches the laser "
         "off\n"
         "  warning [CODE...]          set the warning list (none: clear it)\n"
         "  error-class 0|1            state digit reported while errors are set (default 1)\n"
         "  warmup required|done|none  need a warm-up / count as warmed up / need none\n"
         "  laser on|off               switch the laser as if w60 1 / w60 0 had arrived\n"
         "  current B AMPS             set the nominal current of branch B\n"
         "  say TEXT                   send TEXT and CR LF unsolicited\n"
         "  ready                      send READY unsolicited\n"
         "  hangup | comeback          close the pty and remove the link / come back on a new pty\n"
         "  received                   the commands received so far\n"
         "  faults                     the fault switches in force\n"
         "  fault silent|lower|double|pace on|off\n"
         "  fault no-answer|error-for|no-cr SELECTOR|-   (SELECTOR: r99 or w61,r62 or *)\n"
         "  fault split|latency|garbage|hangup-after|come-back-after MS   (0 or -1: off)\n"
         "  fault unsolicited MS [TEXT]\n"
         "  help\n";
}

std::string Simulator::control(const std::string& line) {
  std::vector<std::string> w = words(line);
  if (w.empty()) return "";
  const std::string& cmd = w[0];
  auto codes = [&](std::vector<int>& out) {
    for (size_t i = 1; i < w.size(); ++i) {
      auto v = toInt(w[i]);
      if (!v || *v < 0 || *v > 65535) return false;
      out.push_back(*v);
    }
    return true;
  };
  if (cmd == "help") return controlHelp();
  if (cmd == "state") {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    Responder& r = *impl_->responder;
    std::string text = r.stateText(Clock::now());
    const LaserState& s = r.state();
    return "state " + text + ", " + r.statusText() + ", warm-up " + warmUpWord(s.warmUp) +
           ", errors " + joinCodes(s.errors) + ", warnings " + joinCodes(s.warnings) +
           (s.resetting ? ", resetting" : "");
  }
  if (cmd == "error" || cmd == "warning") {
    std::vector<int> list;
    if (!codes(list)) return "error: codes are numbers 0..65535";
    if (cmd == "error") {
      setErrors(list);
    } else {
      setWarnings(list);
    }
    return "ok";
  }
  if (cmd == "error-class" && w.size() == 2 && (w[1] == "0" || w[1] == "1")) {
    modify([&](LaserState& s) { s.errorClass = w[1] == "1" ? 1 : 0; });
    return "ok";
  }
  if (cmd == "warmup" && w.size() == 2) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    LaserState& s = impl_->responder->state();
    if (w[1] == "required") {
      impl_->responder->setWarmUpRequired(true);
    } else if (w[1] == "done") {
      s.warmUp = WarmUp::Warmed;
    } else if (w[1] == "none") {
      s.warmUp = WarmUp::NotNeeded;
    } else {
      return "error: warmup required|done|none";
    }
    return "ok";
  }
  if (cmd == "laser" && w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->responder->answer(w[1] == "on" ? "w60 1" : "w60 0", Clock::now());
    return "ok";
  }
  if (cmd == "current" && w.size() == 3) {
    auto b = toInt(w[1]);
    char* end = nullptr;
    double amps = std::strtod(w[2].c_str(), &end);
    if (!b || *b < 1 || *b > 4 || end == w[2].c_str() || *end != '\0') {
      return "error: current BRANCH(1..4) AMPS";
    }
    modify([&](LaserState& s) { s.current[*b] = amps; });
    return "ok";
  }
  if (cmd == "say") {
    std::string text = line.substr(line.find("say") + 3);
    size_t b = text.find_first_not_of(" \t");
    sendLine(b == std::string::npos ? std::string() : text.substr(b));
    return "ok";
  }
  if (cmd == "ready") {
    sendLine("READY");
    return "ok";
  }
  if (cmd == "hangup") {
    hangUp();
    return "ok";
  }
  if (cmd == "comeback") {
    comeBack();
    return "ok";
  }
  if (cmd == "received") {
    std::string out;
    for (const std::string& c : received()) out += c + "\n";
    return out.empty() ? "(nothing)" : out.substr(0, out.size() - 1);
  }
  if (cmd == "faults") {
    Faults f = faults();
    auto sel = [](const std::string& s) { return s.empty() ? std::string("-") : s; };
    std::ostringstream o;
    o << "silent " << (f.silent ? "on" : "off") << ", no-answer " << sel(f.noAnswerTo)
      << ", error-for " << sel(f.errorFor) << ", no-cr " << sel(f.noCarriageReturnFor) << ", lower "
      << (f.lowerCase ? "on" : "off") << ", split " << f.splitPauseMs << ", double "
      << (f.doubleReply ? "on" : "off") << ", unsolicited " << f.unsolicitedEveryMs << " \""
      << f.unsolicitedText << "\", garbage " << f.garbageEveryMs << ", latency " << f.latencyMs
      << ", pace " << (f.paceLine ? "on" : "off") << ", hangup-after " << f.hangUpAfterMs
      << ", come-back-after " << f.comeBackAfterMs;
    return o.str();
  }
  if (cmd == "fault" && w.size() >= 3) {
    Faults f = faults();
    const std::string& name = w[1];
    const std::string& value = w[2];
    auto sw = toSwitch(value);
    auto ms = toInt(value);
    std::string selector = value == "-" ? std::string() : value;
    if (name == "silent" && sw) {
      f.silent = *sw;
    } else if (name == "lower" && sw) {
      f.lowerCase = *sw;
    } else if (name == "double" && sw) {
      f.doubleReply = *sw;
    } else if (name == "pace" && sw) {
      f.paceLine = *sw;
    } else if (name == "no-answer") {
      f.noAnswerTo = selector;
    } else if (name == "error-for") {
      f.errorFor = selector;
    } else if (name == "no-cr") {
      f.noCarriageReturnFor = selector;
    } else if (name == "split" && ms) {
      f.splitPauseMs = *ms;
    } else if (name == "latency" && ms) {
      f.latencyMs = *ms;
    } else if (name == "garbage" && ms) {
      f.garbageEveryMs = *ms;
    } else if (name == "hangup-after" && ms) {
      f.hangUpAfterMs = *ms;
    } else if (name == "come-back-after" && ms) {
      f.comeBackAfterMs = *ms;
    } else if (name == "unsolicited" && ms) {
      f.unsolicitedEveryMs = *ms;
      if (w.size() > 3) {
        size_t at = line.find(w[3], line.find(value) + value.size());
        f.unsolicitedText = line.substr(at);
      }
    } else {
      return "error: unknown fault or value (see help)";
    }
    setFaults(f);
    return "ok";
  }
  return "error: unknown control line (see help)";
}

}  // namespace qv::sim
