#include "platform/DeviceAccess.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace qv {

namespace {

std::string groupName(gid_t gid) {
  std::vector<char> buffer(16384);
  struct group entry {};
  struct group* found = nullptr;
  if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
    return found->gr_name;
  return std::to_string(gid);
}

}  // namespace

std::optional<DeviceAccess> deviceAccess(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  DeviceAccess a;
  char resolved[PATH_MAX];
  a.device = ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
  a.group = groupName(st.st_gid);
  a.groupMayUse = (st.st_mode & S_IRGRP) && (st.st_mode & S_IWGRP);
  return a;
}

std::string currentUserName() {
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  const uid_t uid = ::getuid();
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
    return found->pw_name;
  return std::to_string(uid);
}

std::string permissionHint(const std::optional<DeviceAccess>& access, const std::string& user) {
  if (!access) return {};
  if (!access->groupMayUse) {
    return "Your user may not use " + access->device + ", and neither may its group " +
           access->group +
           ": a udev rule must give the device a group and the mode 0660 (see the README).";
  }
  return "Your user may not use " + access->device + ": it belongs to the group " + access->group +
         ". Join the group with \"sudo usermod -aG " + access->group + " " + user +
         "\", then log out and in again.";
}

}  // namespace qv
