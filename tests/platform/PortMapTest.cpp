#include "platform/PortMap.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "support/TempDir.h"

namespace qv {
namespace {

TEST(PortMapTest, ParsesPortNames) {
  struct Case {
    const char* name;
    std::optional<int> port;
  } cases[] = {{"COM1", 1},
               {"com12", 12},
               {"COM256", 256},
               {"COM257", std::nullopt},
               {"COM0", std::nullopt},
               {"COM01", std::nullopt},
               {"COMX", std::nullopt},
               {"COM", std::nullopt},
               {"TTY1", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(parsePortName(c.name), c.port) << c.name;
}

TEST(PortMapTest, FolderLinkFirstThenDefaultFolderThenTable) {
  test::TempDir runtime;
  const char* oldRuntime = std::getenv("XDG_RUNTIME_DIR");
  std::string saved = oldRuntime ? oldRuntime : "";
  ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  {
    test::PortsDir ports;
    ::unsetenv("QVLASER_PORTS_ONLY");
    EXPECT_EQ(defaultPortsDirectory(), runtime.path() + "/qvlaser/ports");
    ports.linkDangling(3);
    EXPECT_EQ(devicePathForPort(3), ports.path() + "/COM3");  // dangling still counts
    EXPECT_EQ(devicePathForPort(12), "/dev/ttyS11");
    EXPECT_EQ(devicePathForPort(33), "/dev/ttyUSB0");
    EXPECT_EQ(devicePathForPort(96), "/dev/ttyACM31");
    EXPECT_EQ(devicePathForPort(97), "");
    EXPECT_EQ(devicePathForPort(0), "");
    ::setenv("QVLASER_PORTS_ONLY", "1", 1);
    EXPECT_EQ(devicePathForPort(12), "");
    EXPECT_EQ(devicePathForPort(3), ports.path() + "/COM3");
  }
  if (oldRuntime) {
    ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
}

TEST(PortMapTest, EnumeratesFolderLinksSortedAndFailsOnUnreadableFolder) {
  test::PortsDir ports;
  EXPECT_EQ(enumeratePorts(), std::vector<int>{});
  ports.linkDangling(10);
  ports.link(3, "/dev/null");
  ports.link(4, "/dev/null");
  EXPECT_EQ(enumeratePorts(), (std::vector<int>{3, 4, 10}));
  ::setenv("QVLASER_PORTS_DIR", (ports.path() + "/missing").c_str(), 1);
  EXPECT_EQ(enumeratePorts(), std::nullopt);
}

// The machine's folder (filled by a udev rule) comes after the user's own links and before the
// table, and is listed with them.
TEST(PortMapTest, MachineFolderAfterTheUsersAndBeforeTheTable) {
  test::TempDir env, user, system;
  auto link = [](const test::TempDir& dir, int port) {
    ASSERT_EQ(::symlink("/dev/null", dir.file(portName(port)).c_str()), 0);
  };
  link(env, 1);
  link(user, 1);
  link(user, 2);
  link(system, 1);
  link(system, 2);
  link(system, 3);
  const PortFolders folders{env.path(), false, user.path(), system.path()};
  EXPECT_EQ(devicePathForPort(1, folders), env.file("COM1"));
  EXPECT_EQ(devicePathForPort(2, folders), user.file("COM2"));
  EXPECT_EQ(devicePathForPort(3, folders), system.file("COM3"));
  EXPECT_EQ(devicePathForPort(4, folders), "/dev/ttyS3");
  const auto listed = enumeratePorts(folders);
  ASSERT_TRUE(listed);
  for (int n : {1, 2, 3})
    EXPECT_NE(std::find(listed->begin(), listed->end(), n), listed->end()) << n;

  const PortFolders only{env.path(), true, user.path(), system.path()};
  EXPECT_EQ(devicePathForPort(1, only), env.file("COM1"));
  EXPECT_EQ(devicePathForPort(3, only), "");
  EXPECT_EQ(enumeratePorts(only), std::vector<int>{1});

  EXPECT_EQ(systemPortsDirectory(), "/dev/qvlaser");
  ::setenv("QVLASER_PORTS_ONLY", "1", 1);
  EXPECT_EQ(currentPortFolders().system, "");
  ::unsetenv("QVLASER_PORTS_ONLY");
  EXPECT_EQ(currentPortFolders().system, "/dev/qvlaser");
}

}  // namespace
}  // namespace qv
