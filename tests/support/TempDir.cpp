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

std::string TempDir::file(const std::string& name) const { return path_ + "/" + name; }

PortsDir::PortsDir() {
  if (const char* prev = std::getenv("QVLASER_PORTS_DIR")) {
    hadPrevious_ = true;
    previous_ = prev;
  }
  ::setenv("QVLASER_PORTS_DIR", dir_.path().c_str(), 1);
}

PortsDir::~PortsDir() {
  if (hadPrevious_) {
    ::setenv("QVLASER_PORTS_DIR", previous_.c_str(), 1);
  } else {
    ::unsetenv("QVLASER_PORTS_DIR");
  }
}

void PortsDir::link(int port, const std::string& target) {
  unlink(port);
  std::filesystem::create_symlink(target, dir_.file(portName(port)));
}

void PortsDir::linkDangling(int port) { link(port, dir_.file("missing-device-" + std::to_string(port))); }

void PortsDir::unlink(int port) {
  std::error_code ec;
  std::filesystem::remove(dir_.file(portName(port)), ec);
}

}  // namespace qv::test
