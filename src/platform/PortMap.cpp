#include "platform/PortMap.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>

namespace qv {
namespace {

bool linkPresent(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool devicePresent(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::string tableDevice(int port) {
  if (port >= 1 && port <= 32) return "/dev/ttyS" + std::to_string(port - 1);
  if (port >= 33 && port <= 64) return "/dev/ttyUSB" + std::to_string(port - 33);
  if (port >= 65 && port <= 96) return "/dev/ttyACM" + std::to_string(port - 65);
  return {};
}

// Adds the ports whose "COM<n>" links stand in dir; false when dir cannot be listed.
bool collectLinks(const std::string& dir, std::set<int>& ports) {
  if (dir.empty()) return false;
  std::error_code ec;
  std::filesystem::directory_iterator it(dir, ec);
  if (ec) return false;
  for (const auto& entry : it) {
    if (auto n = parsePortName(entry.path().filename().string())) ports.insert(*n);
  }
  return true;
}

}  // namespace

std::string environmentPortsDirectory() {
  const char* env = std::getenv("QVLASER_PORTS_DIR");
  return env ? std::string(env) : std::string();
}

bool portsFolderOnly() {
  const char* env = std::getenv("QVLASER_PORTS_ONLY");
  return env && *env && std::string(env) != "0";
}

std::string defaultPortsDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/qvlaser/ports";
  return "/tmp/qvlaser-" + std::to_string(::getuid()) + "/ports";
}

std::string systemPortsDirectory() {
  return "/dev/qvlaser";
}

std::string publishPortsDirectory() {
  std::string env = environmentPortsDirectory();
  return env.empty() ? defaultPortsDirectory() : env;
}

std::string portName(int port) {
  return "COM" + std::to_string(port);
}

std::optional<int> parsePortName(const std::string& name) {
  if (name.size() < 4 || name.size() > 6) return std::nullopt;
  for (int i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
  }
  if (name[3] == '0') return std::nullopt;
  int n = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return std::nullopt;
    n = n * 10 + (name[i] - '0');
  }
  if (n < kMinPort || n > kMaxPort) return std::nullopt;
  return n;
}

PortFolders currentPortFolders() {
  PortFolders f;
  f.environment = environmentPortsDirectory();
  f.environmentOnly = portsFolderOnly();
  if (!f.environmentOnly) {
    f.user = defaultPortsDirectory();
    f.system = systemPortsDirectory();
  }
  return f;
}

std::string devicePathForPort(int port) {
  return devicePathForPort(port, currentPortFolders());
}

std::string devicePathForPort(int port, const PortFolders& folders) {
  if (port < kMinPort || port > kMaxPort) return {};
  for (const std::string* dir : {&folders.environment, &folders.user, &folders.system}) {
    if (dir->empty()) continue;
    std::string path = *dir + "/" + portName(port);
    if (linkPresent(path)) return path;
    if (folders.environmentOnly) return {};
  }
  if (folders.environmentOnly) return {};
  return tableDevice(port);
}

std::optional<std::vector<int>> enumeratePorts() {
  return enumeratePorts(currentPortFolders());
}

std::optional<std::vector<int>> enumeratePorts(const PortFolders& folders) {
  std::set<int> ports;
  bool listed = collectLinks(folders.environment, ports);
  if (folders.environmentOnly) {
    if (!listed) return std::nullopt;
    return std::vector<int>(ports.begin(), ports.end());
  }
  listed = collectLinks(folders.user, ports) || listed;
  listed = collectLinks(folders.system, ports) || listed;
  std::error_code ec;
  if (std::filesystem::is_directory("/dev", ec)) {
    listed = true;
    for (int n = 1; n <= 96; ++n) {
      if (devicePresent(tableDevice(n))) ports.insert(n);
    }
  }
  if (!listed) return std::nullopt;
  return std::vector<int>(ports.begin(), ports.end());
}

}  // namespace qv
