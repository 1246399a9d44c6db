// The simulator on a real pseudo-terminal: the COM<n> link, the exchange, every fault switch, the
// control channel, hang-up and coming back, and the qvlaser-sim program itself.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "engine/Simulator.h"

namespace qv::sim {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kWaitMs = 5000;  // generous deadline for anything that must happen

std::string readLink(const std::string& path) {
  char buf[512];
  ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
  return n < 0 ? std::string() : std::string(buf, static_cast<size_t>(n));
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs = kWaitMs) {
  auto until = Clock::now() + milliseconds(timeoutMs);
  while (Clock::now() < until) {
    if (condition()) return true;
    std::this_thread::sleep_for(milliseconds(5));
  }
  return condition();
}

// The console's end of the line: the port opened through its link, raw.
class Line {
 public:
  explicit Line(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ >= 0) {
      termios t{};
      ::tcgetattr(fd_, &t);
      ::cfmakeraw(&t);
      ::tcsetattr(fd_, TCSANOW, &t);
    }
  }
  ~Line() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool isOpen() const { return fd_ >= 0; }
  void send(const std::string& bytes) {
    ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // What one read returns once bytes are there (empty after timeoutMs without any).
  std::string chunk(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN)) return {};
    char buf[512];
    ssize_t n = ::read(fd_, buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
  }
  // Reads until `text` has arrived (or the deadline passed); returns everything read.
  std::string until(const std::string& text, int timeoutMs = kWaitMs) {
    auto end = Clock::now() + milliseconds(timeoutMs);
    while (got_.find(text) == std::string::npos && Clock::now() < end) {
      got_ += chunk(static_cast<int>(
          std::max<long>(1, std::chrono::duration_cast<milliseconds>(end - Clock::now()).count())));
    }
    std::string out;
    size_t at = got_.find(text);
    if (at == std::string::npos) {
      out.swap(got_);
    } else {
      out = got_.substr(0, at + text.size());
      got_.erase(0, at + text.size());
    }
    return out;
  }
  std::string ask(const std::string& cmd) {
    send(cmd + "\r");
    return until("\r\n");
  }
  // Everything that arrives within ms (a window in which nothing, or something, is expected).
  std::string quiet(int ms) {
    std::string out;
    swap(out, got_);
    auto end = Clock::now() + milliseconds(ms);
    while (Clock::now() < end) out += chunk(5);
    return out;
  }
  bool hungUp(int timeoutMs = kWaitMs) {
    return waitFor(
        [&] {
          pollfd p{fd_, POLLIN, 0};
          if (::poll(&p, 1, 0) <= 0) return false;
          if (p.revents & (POLLHUP | POLLERR)) return true;
          char b;
          ssize_t n = ::read(fd_, &b, 1);
          return n == 0 || (n < 0 && errno == EIO);
        },
        timeoutMs);
  }

 private:
  int fd_ = -1;
  std::string got_;
};

Config withFaults(const Faults& f) {
  Config c;
  c.faults = f;
  return c;
}

class SimulatorFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qvsim-test-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    sim_.reset();
    std::filesystem::remove_all(dir_);
  }
  Simulator& start(Config config = {}, int port = 4) {
    sim_ = std::make_unique<Simulator>(std::move(config));
    EXPECT_TRUE(sim_->start(port, dir_)) << sim_->lastError();
    return *sim_;
  }
  std::string link(int port = 4) const { return dir_ + "/COM" + std::to_string(port); }

  std::string dir_;
  std::unique_ptr<Simulator> sim_;
};

TEST_F(SimulatorFixture, PublishesTheLinkAnswersAndRemovesTheLinkOnStop) {
  Simulator& sim = start();
  EXPECT_EQ(sim.linkPath(), link());
  EXPECT_EQ(readLink(link()), sim.ptyPath());
  Line line(link());
  ASSERT_TRUE(line.isOpen());
  EXPECT_EQ(line.ask("r01"), "S/N: 1234\r\n");
  // A line feed after the carriage return is tolerated; two commands in one write get two replies.
  line.send("r60\r\nr62\r\n");
  EXPECT_EQ(line.until("A\r\n"), "LASER_OFF\r\n14.00 A\r\n");
  EXPECT_TRUE(sim.waitForReceived("r62", 1, kWaitMs));
  EXPECT_EQ(sim.received(), (std::vector<std::string>{"r01", "r60", "r62"}));
  sim.stop();
  EXPECT_FALSE(exists(link()));
  EXPECT_FALSE(sim.running());
}

TEST_F(SimulatorFixture, ALiveLinkIsNotTakenOverButADanglingOneIs) {
  start();
  Simulator second;
  EXPECT_FALSE(second.start(4, dir_));
  EXPECT_NE(second.lastError().find("COM4"), std::string::npos);
  ASSERT_EQ(::symlink("/dev/pts/does-not-exist", link(5).c_str()), 0);
  EXPECT_TRUE(second.start(5, dir_)) << second.lastError();
  EXPECT_EQ(readLink(link(5)), second.ptyPath());
  // Stopping the first leaves the second's link alone.
  sim_->stop();
  EXPECT_TRUE(exists(link(5)));
}

TEST_F(SimulatorFixture, SilentAndPerCommandFaults) {
  Faults f;
  f.noAnswerTo = "r99";
  f.errorFor = "r61";
  f.noCarriageReturnFor = "r62";
  Simulator& sim = start(withFaults(f));
  Line line(link());
  line.send("r99\r");
  EXPECT_EQ(line.quiet(300), "");
  EXPECT_EQ(line.ask("r61"), "ERROR\r\n");
  line.send("r62\r");
  EXPECT_EQ(line.until("\n"), "14.00 A\n");  // the line never gets its carriage return
  EXPECT_EQ(line.ask("r01"), "S/N: 1234\r\n");

  f = {};
  f.silent = true;
  f.unsolicitedEveryMs = 20;  // silence wins over everything
  sim.setFaults(f);
  line.send("r01\r");
  EXPECT_EQ(line.quiet(300), "");
  EXPECT_TRUE(sim.waitForReceived("r01", 2, kWaitMs));
}

TEST_F(SimulatorFixture, ReplyShapeFaults) {
  Faults f;
  f.lowerCase = true;
  Simulator& sim = start(withFaults(f));
  Line line(link());
  EXPECT_EQ(line.ask("r01"), "s/n: 1234\r\n");

  f = {};
  f.doubleReply = true;
  sim.setFaults(f);
  line.send("r01\r");
  EXPECT_EQ(line.until("LASER_OFF\r\n"), "S/N: 1234\r\nLASER_OFF\r\n");

  f = {};
  f.splitPauseMs = 300;
  sim.setFaults(f);
  line.send("r01\r");
  std::string first = line.chunk(kWaitMs);
  EXPECT_FALSE(first.empty());
  EXPECT_EQ(first.find("\r"), std::string::npos) << "the first write ends inside the line";
  std::string rest = line.until("\r\n");
  EXPECT_EQ(first + rest, "S/N: 1234\r\n");
}

TEST_F(SimulatorFixture, UnsolicitedLinesAndRandomBytesArriveUnasked) {
  Faults f;
  f.unsolicitedEveryMs = 30;
  f.unsolicitedText = "HELLO";
  Simulator& sim = start(withFaults(f));
  Line line(link());
  EXPECT_EQ(line.until("HELLO\r\n"), "HELLO\r\n");
  EXPECT_EQ(line.until("HELLO\r\n"), "HELLO\r\n");
  f = {};
  f.garbageEveryMs = 30;
  f.seed = 7;
  sim.setFaults(f);
  line.quiet(20);  // drop what was on its way
  EXPECT_FALSE(line.quiet(500).empty());
  EXPECT_TRUE(sim.received().empty());
}

TEST_F(SimulatorFixture, LatencyAndLinePacingDelayTheReply) {
  Faults f;
  f.latencyMs = 400;
  Simulator& sim = start(withFaults(f));
  Line line(link());
  line.send("r01\r");
  EXPECT_EQ(line.quiet(150), "");
  EXPECT_EQ(line.until("\r\n"), "S/N: 1234\r\n");

  // 200 code lines of 6 bytes and the closing line are 1202 bytes: at 5760 bytes per second they
  // take more than 200 ms.
  std::vector<int> codes(200, 1042);
  sim.setErrors(codes);
  f = {};
  f.paceLine = true;
  sim.setFaults(f);
  auto started = Clock::now();
  line.send("r90\r");
  std::string list = line.until("\r\n\r\n");
  EXPECT_EQ(list.size(), 1202u);
  EXPECT_GE(Clock::now() - started, milliseconds(200));
}

TEST_F(SimulatorFixture, HangsUpAndComesBackUnderTheSameLink) {
  Faults f;
  f.hangUpAfterMs = 200;
  f.comeBackAfterMs = 300;
  Simulator& sim = start(withFaults(f));
  std::string firstPty = sim.ptyPath();
  Line line(link());
  EXPECT_EQ(line.ask("r01"), "S/N: 1234\r\n");
  EXPECT_TRUE(line.hungUp());
  EXPECT_TRUE(waitFor([&] { return !sim.online(); }));
  EXPECT_FALSE(exists(link()));
  EXPECT_TRUE(sim.running());
  ASSERT_TRUE(waitFor([&] { return exists(link()); }));
  EXPECT_EQ(readLink(link()), sim.ptyPath());
  Line again(link());
  EXPECT_EQ(again.ask("r01"), "S/N: 1234\r\n");

  // By hand as well.
  sim.setFaults({});
  sim.hangUp();
  EXPECT_TRUE(again.hungUp());
  EXPECT_TRUE(waitFor([&] { return !exists(link()); }));
  sim.comeBack();
  ASSERT_TRUE(waitFor([&] { return exists(link()); }));
  Line third(link());
  EXPECT_EQ(third.ask("r60"), "LASER_OFF\r\n");
  (void)firstPty;
}

TEST_F(SimulatorFixture, ResetSendsReadyAfterItsOk) {
  Config c;
  c.resetReadyMs = 300;
  c.silentWhileResetting = true;
  Simulator& sim = start(c);
  Line line(link());
  EXPECT_EQ(line.ask("w99 101"), "OK\r\n");
  line.send("r01\r");  // the rebooting controller does not answer
  EXPECT_EQ(line.until("READY\r\n"), "READY\r\n");
  EXPECT_EQ(sim.state().resets, 1);
  EXPECT_FALSE(sim.state().resetting);
  EXPECT_EQ(line.ask("r01"), "S/N: 1234\r\n");
}

TEST_F(SimulatorFixture, ControlChannelChangesStateAndFaultsWhileRunning) {
  Config c;
  c.profile = "gen3-picker";
  Simulator& sim = start(c);
  Line line(link());
  EXPECT_EQ(sim.control("error 80 93"), "ok");
  EXPECT_EQ(line.ask("r99"), "1\r\n");
  line.send("r90\r");
  EXPECT_EQ(line.until("\r\n\r\n"), "80\r\n93\r\n\r\n");
  EXPECT_EQ(sim.control("error"), "ok");
  EXPECT_EQ(sim.control("warning 170"), "ok");
  EXPECT_EQ(line.ask("r99"), "8002\r\n");
  EXPECT_EQ(sim.control("warmup required"), "ok");
  EXPECT_NE(sim.control("state").find("state 8002.00"), std::string::npos) << sim.control("state");
  EXPECT_EQ(sim.control("current 1 22.5"), "ok");
  EXPECT_EQ(line.ask("r61"), "22.50 A\r\n");
  EXPECT_EQ(sim.control("fault error-for r61,r01"), "ok");
  EXPECT_EQ(line.ask("r01"), "ERROR\r\n");
  EXPECT_EQ(sim.control("fault error-for -"), "ok");
  EXPECT_EQ(line.ask("r01"), "S/N: 2210\r\n");
  EXPECT_EQ(sim.control("say SOMETHING ELSE"), "ok");
  EXPECT_EQ(line.until("\r\n"), "SOMETHING ELSE\r\n");
  EXPECT_EQ(sim.control("fault unsolicited 0"), "ok");
  EXPECT_NE(sim.control("received").find("r61"), std::string::npos);
  for (const char* bad :
       {"bogus", "error x", "fault split abc", "fault nothing on", "current 9 1"}) {
    EXPECT_EQ(sim.control(bad).rfind("error:", 0), 0u) << bad;
  }
}

TEST(SimulatorProfiles, UnknownProfileIsRefusedAndEveryProfileIsDescribed) {
  EXPECT_THROW(Simulator("gen9"), std::invalid_argument);
  for (const char* name :
       {"gen3-2branch", "gen3-picker", "gen3-single", "gen3-4branch", "gen2", "nohead"}) {
    EXPECT_FALSE(Simulator::describeProfile(name).empty()) << name;
  }
  EXPECT_EQ(Simulator::profiles().front(), "gen3-2branch");
}

// The program: --help documents profiles, faults and the control channel; it serves on its link
// and removes it when terminated.
TEST_F(SimulatorFixture, ProgramServesUntilTerminated) {
  const char* build = std::getenv("QV_BUILD_DIR");
  std::string exe = std::string(build ? build : "") + "/tools/sim/qvlaser-sim";
  if (!build || !exists(exe)) GTEST_SKIP() << "qvlaser-sim not built";

  std::string help = dir_ + "/help.txt";
  ASSERT_EQ(std::system((exe + " --help > " + help).c_str()), 0);
  std::string text;
  {
    FILE* f = std::fopen(help.c_str(), "r");
    ASSERT_NE(f, nullptr);
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    std::fclose(f);
  }
  for (const std::string& name : Simulator::profiles()) {
    EXPECT_NE(text.find(name), std::string::npos) << name;
  }
  for (const char* word : {"--hangup-after", "--pace", "--no-answer", "Control channel",
                           "fault silent", "QVLASER_PORTS_DIR"}) {
    EXPECT_NE(text.find(word), std::string::npos) << word;
  }

  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::execl(exe.c_str(), exe.c_str(), "--com", "9", "--ports-dir", dir_.c_str(), "--profile",
            "gen2", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ASSERT_TRUE(waitFor([&] { return exists(link(9)); }));
  {
    Line line(link(9));
    EXPECT_EQ(line.ask("r02"), "ERROR\r\n");
    EXPECT_EQ(line.ask("r91"), "FLOW: 3.25 L/MIN\r\n");
  }
  ::kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(exists(link(9)));
}

}  // namespace
}  // namespace qv::sim
