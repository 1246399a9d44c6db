#include "support/PtyPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/Clock.h"
#include "platform/PortMap.h"

namespace qv::test {

namespace {
int64_t msFromNow(int ms) {
  return counterNow() + int64_t(ms) * counterFrequency() / 1000;
}
}  // namespace

PtyPeer::PtyPeer() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    throw std::runtime_error("cannot create a pseudo-terminal");
  }
  char name[128];
  if (::ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("ptsname failed");
  slavePath_ = name;
  holdSlave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (holdSlave_ < 0) throw std::runtime_error("cannot open the pseudo-terminal's slave");
  termios tio{};
  ::tcgetattr(holdSlave_, &tio);
  ::cfmakeraw(&tio);
  ::cfsetispeed(&tio, B9600);
  ::cfsetospeed(&tio, B9600);
  tio.c_cflag &= ~CSIZE;
  tio.c_cflag |= CS8 | CSTOPB;
  ::tcsetattr(holdSlave_, TCSANOW, &tio);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  thread_ = std::thread([this] { run(); });
}

PtyPeer::~PtyPeer() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake();
  thread_.join();
  for (const auto& l : links_) {
    std::error_code ec;
    std::filesystem::remove(l, ec);
  }
  if (master_ >= 0) ::close(master_);
  if (holdSlave_ >= 0) ::close(holdSlave_);
  ::close(wakeFd_);
}

void PtyPeer::linkAs(const std::string& dir, int port) {
  std::string link = dir + "/" + portName(port);
  std::error_code ec;
  std::filesystem::remove(link, ec);
  std::filesystem::create_symlink(slavePath_, link);
  links_.push_back(link);
}

void PtyPeer::wake() {
  uint64_t one = 1;
  (void)!::write(wakeFd_, &one, sizeof one);
}

void PtyPeer::send(const std::string& bytes) {
  sendAfter(0, bytes);
}

void PtyPeer::sendAfter(int delayMs, const std::string& bytes) {
  {
    std::lock_guard lock(mutex_);
    scheduled_.push_back({msFromNow(delayMs), bytes});
  }
  wake();
}

void PtyPeer::respond(const std::string& request, const std::string& reply, int delayMs) {
  std::lock_guard lock(mutex_);
  responders_.push_back([request, reply](const std::string& line) -> std::optional<std::string> {
    if (line == request) return reply;
    return std::nullopt;
  });
  responderDelays_.push_back(delayMs);
}

void PtyPeer::setResponder(Responder r, int delayMs) {
  std::lock_guard lock(mutex_);
  responders_.assign(1, std::move(r));
  responderDelays_.assign(1, delayMs);
}

void PtyPeer::clearResponders() {
  std::lock_guard lock(mutex_);
  responders_.clear();
  responderDelays_.clear();
}

std::optional<std::string> PtyPeer::expectLine(int timeoutMs, char terminator) {
  std::unique_lock lock(mutex_);
  size_t pos = std::string::npos;
  bool got = changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    pos = received_.find(terminator, consumed_);
    return pos != std::string::npos;
  });
  if (!got) return std::nullopt;
  std::string line = received_.substr(consumed_, pos - consumed_);
  consumed_ = pos + 1;
  return line;
}

std::string PtyPeer::readWritten(size_t minBytes, int timeoutMs) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                    [&] { return received_.size() - consumed_ >= minBytes; });
  std::string out = received_.substr(consumed_);
  consumed_ = received_.size();
  return out;
}

std::string PtyPeer::allReceived() const {
  std::lock_guard lock(mutex_);
  return received_;
}

size_t PtyPeer::linesReceived() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

void PtyPeer::hangUp() {
  {
    std::lock_guard lock(mutex_);
    if (hungUp_) return;
    hungUp_ = true;
    ::close(holdSlave_);
    holdSlave_ = -1;
    ::close(master_);
    master_ = -1;
    changed_.notify_all();
  }
  // The peer thread's poll still holds the master; the line drops once it lets go.
  wake();
}

bool PtyPeer::hungUp() const {
  std::lock_guard lock(mutex_);
  return hungUp_;
}

termios PtyPeer::slaveTermios() const {
  termios tio{};
  std::lock_guard lock(mutex_);
  if (holdSlave_ >= 0) ::tcgetattr(holdSlave_, &tio);
  return tio;
}

void PtyPeer::writeAll(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size() && master_ >= 0) {
    ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EAGAIN) {
      pollfd p{master_, POLLOUT, 0};
      ::poll(&p, 1, 10);
    } else if (!(n < 0 && errno == EINTR)) {
      return;
    }
  }
}

void PtyPeer::run() {
  std::unique_lock lock(mutex_);
  while (!stop_) {
    // Due replies go out first, in the order they were scheduled.
    const int64_t now = counterNow();
    int64_t next = 0;
    std::vector<Scheduled> due;
    for (auto it = scheduled_.begin(); it != scheduled_.end();) {
      if (it->due <= now) {
        due.push_back(std::move(*it));
        it = scheduled_.erase(it);
      } else {
        if (!next || it->due < next) next = it->due;
        ++it;
      }
    }
    for (const auto& s : due) writeAll(s.bytes);

    pollfd pfd[2] = {{wakeFd_, POLLIN, 0}, {master_, POLLIN, 0}};
    nfds_t n = master_ >= 0 ? 2 : 1;
    int timeout = -1;
    if (next)
      timeout = static_cast<int>(
          std::max<int64_t>(0, (next - counterNow()) * 1000 / counterFrequency()) + 1);
    lock.unlock();
    int rc = ::poll(pfd, n, timeout);
    lock.lock();
    if (rc <= 0) continue;
    if (pfd[0].revents & POLLIN) {
      uint64_t v;
      (void)!::read(wakeFd_, &v, sizeof v);
    }
    if (n == 2 && master_ >= 0 && (pfd[1].revents & (POLLIN | POLLHUP | POLLERR))) {
      char buf[512];
      ssize_t got = ::read(master_, buf, sizeof buf);
      if (got > 0) {
        received_.append(buf, static_cast<size_t>(got));
        size_t pos;
        while ((pos = received_.find('\r', lineScan_)) != std::string::npos) {
          std::string line = received_.substr(lineScan_, pos - lineScan_);
          lineScan_ = pos + 1;
          ++lines_;
          for (size_t i = 0; i < responders_.size(); ++i) {
            if (auto reply = responders_[i](line)) {
              scheduled_.push_back({msFromNow(responderDelays_[i]), *reply});
              break;
            }
          }
        }
        changed_.notify_all();
      } else if (got < 0 && errno != EAGAIN && errno != EINTR) {
        // EIO with no slave open: nothing to read until someone opens it again.
        lock.unlock();
        ::poll(nullptr, 0, 5);
        lock.lock();
      }
    }
  }
}

}  // namespace qv::test
