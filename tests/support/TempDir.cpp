#include "support/TempDir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "platform/PortMap.h"

namespace qv::test {

TempDir::TempDir() {
  std::string base = std::filesystem::temp_directory_path().string() + "/qvtest-XXXXXX";
  std::vector<char> buf(base.begin(), base.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& name) const {
  return path_ + "/" + name;
}

namespace {
void saveEnv(const char* name, bool& had, std::string& value) {
  const char* prev = std::getenv(name);
  had = prev != nullptr;
  if (prev) value = prev;
}
void restoreEnv(const char* name, bool had, const std::string& value) {
  if (had) {
    ::setenv(name, value.c_str(), 1);
  } else {
    ::unsetenv(name);
  }
}
}  // namespace

PortsDir::PortsDir() {
  saveEnv("QVLASER_PORTS_DIR", hadDir_, previousDir_);
  saveEnv("QVLASER_PORTS_ONLY", hadOnly_, previousOnly_);
  ::setenv("QVLASER_PORTS_DIR", dir_.path().c_str(), 1);
  ::setenv("QVLASER_PORTS_ONLY", "1", 1);
}

PortsDir::~PortsDir() {
  restoreEnv("QVLASER_PORTS_DIR", hadDir_, previousDir_);
  restoreEnv("QVLASER_PORTS_ONLY", hadOnly_, previousOnly_);
}

void PortsDir::link(int port, const std::string& target) {
  unlink(port);
  std::filesystem::create_symlink(target, dir_.file(portName(port)));
}

void PortsDir::linkDangling(int port) {
  link(port, dir_.file("missing-device-" + std::to_string(port)));
}

void PortsDir::unlink(int port) {
  std::error_code ec;
  std::filesystem::remove(dir_.file(portName(port)), ec);
}

}  // namespace qv::test
