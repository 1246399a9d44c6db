#include "platform/PortMap.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qv
