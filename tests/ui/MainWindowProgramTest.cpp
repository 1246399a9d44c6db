// The window program itself, run as a child process on the offscreen platform against the
// virtual laser: it starts, shows its window, identifies the laser, and ends through its normal
// shutdown when the session asks it to (SIGTERM), with the settings saved next to it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/Simulator.h"
#include "platform/Clock.h"
#include "platform/IniStore.h"
#include "support/TempDir.h"
#include "support/Wait.h"

extern char** environ;

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class MainWindowProgramTest : public testing::Test {
 protected:
  static constexpr int kPort = 6;

  void SetUp() override {
    const char* build = std::getenv("QV_BUILD_DIR");
    ASSERT_NE(build, nullptr) << "QV_BUILD_DIR names the build tree";
    const std::string built = std::string(build) + "/tools/gui/QVLaserControlv4";
    ASSERT_EQ(::access(built.c_str(), X_OK), 0) << built << " is not built";
    // A copy in a folder of its own, which is then its program folder (the settings file goes
    // there, not into the build tree).
    exe_ = folder_.file("QVLaserControlv4");
    std::filesystem::copy_file(built, exe_);
    std::filesystem::permissions(exe_, std::filesystem::perms::owner_all);
  }
  void TearDown() override {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  void start(const std::vector<std::string>& args) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("QV_STARTUP_TRACE=" + trace());
    env.push_back("XDG_CONFIG_HOME=" + folder_.file("config"));
    std::vector<char*> envp, argv;
    for (std::string& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> all{exe_};
    all.insert(all.end(), args.begin(), args.end());
    for (std::string& s : all) argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, folder_.file("stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_EQ(::posix_spawn(&pid_, exe_.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
  }
  // The exit status once the program has ended by itself; -1 when it did not within the time.
  int waitForExit(int ms = 20000) {
    int status = 0;
    const bool ended =
        qv::test::waitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, ms);
    if (!ended) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  std::string trace() const { return folder_.file("trace"); }
  bool traced(const std::string& milestone, int ms = 20000) const {
    return qv::test::waitUntil(
        [&] { return slurp(trace()).find(milestone + " ") != std::string::npos; }, ms);
  }

  qv::test::PortsDir ports_;
  qv::test::TempDir folder_;
  std::string exe_;
  pid_t pid_ = -1;
};

TEST_F(MainWindowProgramTest, IdentifiesTheLaserAndSavesItsSettingsWhenTheSessionEndsIt) {
  qv::sim::Simulator sim("gen3-2branch");
  ASSERT_TRUE(sim.start(kPort, ports_.path())) << sim.lastError();
  start({"-PORT:6", "-TOP:40"});
  // Found by automatic detection (on by default), identified and polled.
  ASSERT_TRUE(traced("start"));
  EXPECT_TRUE(traced("shown"));
  ASSERT_TRUE(traced("identified")) << slurp(folder_.file("stderr"));
  EXPECT_TRUE(sim.waitForReceived("r01", 1, 5000));
  std::istringstream lines(slurp(trace()));
  std::vector<std::string> order;
  for (std::string name, ns; lines >> name >> ns;) order.push_back(name);
  EXPECT_EQ(order, (std::vector<std::string>{"start", "shown", "identified"}));

  ASSERT_EQ(::kill(pid_, SIGTERM), 0);
  EXPECT_EQ(waitForExit(), 0) << slurp(folder_.file("stderr"));
  qv::IniStore ini;
  ASSERT_TRUE(ini.load(folder_.file("QVLaserControlv4.ini")));
  EXPECT_EQ(ini.readString("Laser", "Port", ""), "6");
  EXPECT_EQ(ini.readString("HotKeys", "ConnectLaser", ""), "16460");
  EXPECT_FALSE(ini.sectionExists("WindowPosition"));  // where the command line put it
}

}  // namespace
