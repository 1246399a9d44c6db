// Probe figures: the time ProbeSerialPorts takes on a silent port and on one that answers "r01"
// at once, each on a pseudo-terminal registered in a temporary ports folder.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/PortDiscovery.h"
#include "platform/Clock.h"

namespace {

// A pseudo-terminal whose far end answers every "r01\r" with reply (none when empty).
class Answerer {
 public:
  explicit Answerer(std::string reply) : reply_(std::move(reply)) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master_);
    unlockpt(master_);
    path_ = ptsname(master_);
    hold_ = open(path_.c_str(), O_RDWR | O_NOCTTY);  // keeps the line up between probes
    thread_ = std::thread([this] { run(); });
  }
  ~Answerer() {
    stop_ = true;
    thread_.join();
    close(hold_);
    close(master_);
  }
  const std::string& path() const { return path_; }

 private:
  void run() {
    std::string got;
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      char buf[64];
      ssize_t n = read(master_, buf, sizeof buf);
      if (n <= 0) continue;
      got.append(buf, n);
      size_t pos;
      while ((pos = got.find("r01\r")) != std::string::npos) {
        got.erase(0, pos + 4);
        if (!reply_.empty()) (void)!write(master_, reply_.data(), reply_.size());
      }
    }
  }
  std::string reply_, path_;
  int master_ = -1, hold_ = -1;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void measure(const char* what, const std::string& dir, int port, const Answerer& peer) {
  const std::string link = dir + "/COM" + std::to_string(port);
  std::filesystem::create_symlink(peer.path(), link);
  std::vector<double> ms;
  std::string label;
  for (int i = 0; i < 30; ++i) {
    TSerialPortItems items{{"COM" + std::to_string(port), port}};
    const int64_t t0 = qv::counterNow();
    ProbeSerialPorts(items, "no", "");
    ms.push_back(qv::counterMs(t0, qv::counterNow()));
    label = items[0].Text;
  }
  std::sort(ms.begin(), ms.end());
  std::printf("probe of %s (%s): median %.2f ms, worst %.2f ms over %zu probes\n", what,
              label.c_str(), ms[ms.size() / 2], ms.back(), ms.size());
}

}  // namespace

int main() {
  char tmpl[] = "/tmp/qvbench-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  setenv("QVLASER_PORTS_DIR", dir.c_str(), 1);
  setenv("QVLASER_PORTS_ONLY", "1", 1);
  {
    Answerer silent(""), answering("S/N: 1234\r\n");
    measure("a silent port", dir, 1, silent);
    measure("an answering port", dir, 2, answering);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
