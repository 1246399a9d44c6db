// Who may use a device file: what the console tells an operator whose user may not open a port.
#pragma once

#include <optional>
#include <string>

namespace qv {

struct DeviceAccess {
  std::string device;        // the file a port link leads to (links followed)
  std::string group;         // the name of its group, or its number when the name is unknown
  bool groupMayUse = false;  // members of that group may read and write it
};

// Nothing when the path leads nowhere.
std::optional<DeviceAccess> deviceAccess(const std::string& path);

// The login name of this process's user, or its number when the name is unknown.
std::string currentUserName();

// The line that says how to get the use of a device this user may not open: the group that owns
// it and the command that joins it, or, when the group itself may not use it, that a udev rule
// must give it one. Empty when nothing is known of the device.
std::string permissionHint(const std::optional<DeviceAccess>& access, const std::string& user);

}  // namespace qv
