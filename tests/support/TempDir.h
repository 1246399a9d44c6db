// Temporary folders for tests: a folder removed with everything in it at the end, and a ports
// folder that QVLASER_PORTS_DIR names while it lives.
#pragma once

#include <string>

namespace qv::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path()/name
  std::string file(const std::string& name) const;

 private:
  std::string path_;
};

// A temporary ports folder set as QVLASER_PORTS_DIR, with QVLASER_PORTS_ONLY=1 so that neither
// the default folder nor the machine's real devices are seen (both restored at the end).
class PortsDir {
 public:
  PortsDir();
  ~PortsDir();
  PortsDir(const PortsDir&) = delete;
  PortsDir& operator=(const PortsDir&) = delete;

  const std::string& path() const { return dir_.path(); }
  // Makes the link COM<port> point to target (replacing an existing one).
  void link(int port, const std::string& target);
  // Makes COM<port> a link to a path that does not exist.
  void linkDangling(int port);
  void unlink(int port);

 private:
  TempDir dir_;
  bool hadDir_ = false, hadOnly_ = false;
  std::string previousDir_, previousOnly_;
};

}  // namespace qv::test
