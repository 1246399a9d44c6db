#include "platform/DeviceAccess.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/TempDir.h"

namespace {

std::string ownGroupName() {
  const struct group* g = ::getgrgid(::getgid());
  return g ? g->gr_name : std::to_string(::getgid());
}

// A device file stand-in reached through a COM link, as the ports folder holds it.
struct Device {
  qv::test::TempDir dir;
  std::string file = dir.file("ttyX0");
  std::string link = dir.file("COM3");
  explicit Device(mode_t mode) {
    ::close(::open(file.c_str(), O_CREAT | O_WRONLY, 0600));
    ::chmod(file.c_str(), mode);
    EXPECT_EQ(::symlink(file.c_str(), link.c_str()), 0);
  }
};

TEST(DeviceAccessTest, TheHintNamesTheDevicesGroupAndTheCommandThatJoinsIt) {
  Device d(0660);
  const auto access = qv::deviceAccess(d.link);
  ASSERT_TRUE(access);
  EXPECT_EQ(access->device, d.file);  // the link is followed to the device itself
  EXPECT_EQ(access->group, ownGroupName());
  EXPECT_TRUE(access->groupMayUse);
  EXPECT_EQ(qv::permissionHint(access, "alice"),
            "Your user may not use " + d.file + ": it belongs to the group " + ownGroupName() +
                ". Join the group with \"sudo usermod -aG " + ownGroupName() +
                " alice\", then log out and in again.");
}

TEST(DeviceAccessTest, ADeviceItsGroupMayNotUseNeedsARuleNotAGroup) {
  for (mode_t mode : {0600, 0640, 0620}) {
    Device d(mode);
    const auto access = qv::deviceAccess(d.link);
    ASSERT_TRUE(access);
    EXPECT_FALSE(access->groupMayUse) << std::oct << mode;
    const std::string hint = qv::permissionHint(access, "alice");
    EXPECT_NE(hint.find("udev rule"), std::string::npos) << hint;
    EXPECT_EQ(hint.find("usermod"), std::string::npos) << hint;
  }
}

TEST(DeviceAccessTest, NothingIsSaidOfADeviceThatIsNotThere) {
  qv::test::TempDir dir;
  const std::string dangling = dir.file("COM9");
  ASSERT_EQ(::symlink(dir.file("gone").c_str(), dangling.c_str()), 0);
  EXPECT_FALSE(qv::deviceAccess(dangling));
  EXPECT_FALSE(qv::deviceAccess(""));
  EXPECT_EQ(qv::permissionHint(std::nullopt, "alice"), "");
  EXPECT_FALSE(qv::currentUserName().empty());
}

}  // namespace
