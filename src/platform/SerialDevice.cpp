#include "platform/SerialDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/Clock.h"

namespace qv {
namespace {

struct BaudEntry {
  uint32_t rate;
  speed_t code;
};
constexpr BaudEntry kBauds[] = {
    {50, B50},           {75, B75},         {110, B110},         {134, B134},
    {150, B150},         {200, B200},       {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},     {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},   {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400}, {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600}, {1000000, B1000000}, {1500000, B1500000},
    {2000000, B2000000},
};

int64_t msToTicks(uint64_t ms) {
  return static_cast<int64_t>(ms) * (counterFrequency() / 1000);
}

}  // namespace

OpenError openErrorFromErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      return OpenError::NotExists;
    case EBUSY:
    case EWOULDBLOCK:
      return OpenError::Busy;
    case EACCES:
    case EPERM:
    case EROFS:
      return OpenError::NoPermission;
    default:
      return OpenError::Other;
  }
}

const char* openErrorText(OpenError e) {
  switch (e) {
    case OpenError::None:
      return "no error";
    case OpenError::NotExists:
      return "not exists";
    case OpenError::Busy:
      return "busy";
    case OpenError::NoPermission:
      return "no permission";
    case OpenError::Other:
      break;
  }
  return "failed";
}

// ---- SerialOperation ----

SerialOperation::SerialOperation() = default;

SerialOperation::~SerialOperation() {
  SerialDevice* device = nullptr;
  {
    std::lock_guard lock(mutex_);
    device = device_;
  }
  if (device) device->cancel(*this);
  // A completion that is still signalling holds mutex_ until it is done with the events.
  std::lock_guard lock(mutex_);
}

IoStatus SerialOperation::status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

uint32_t SerialOperation::bytes() const {
  std::lock_guard lock(mutex_);
  return bytes_;
}

int SerialOperation::osError() const {
  std::lock_guard lock(mutex_);
  return error_;
}

bool SerialOperation::waitDone(int timeoutMs) {
  return done_.wait(timeoutMs);
}

void SerialOperation::complete(IoStatus s, uint32_t n, int err) {
  std::lock_guard lock(mutex_);
  status_ = s;
  bytes_ = n;
  error_ = err;
  device_ = nullptr;
  event_.set();
  done_.set();
}

// ---- SerialDevice ----

SerialDevice::SerialDevice() = default;

SerialDevice::~SerialDevice() {
  close();
}

OpenError SerialDevice::open(const std::string& path) {
  if (isOpen()) return OpenError::None;
  osError_ = 0;
  if (path.empty()) {
    osError_ = ENOENT;
    return OpenError::NotExists;
  }
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    osError_ = errno;
    return openErrorFromErrno(osError_);
  }
  // The lock is what keeps a second opener out even where TIOCEXCL does not (root, some ptys).
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    osError_ = errno;
    ::close(fd);
    return (osError_ == EWOULDBLOCK || osError_ == EAGAIN) ? OpenError::Busy : OpenError::Other;
  }
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    osError_ = errno;
    ::close(fd);
    return OpenError::Other;
  }
  (void)::ioctl(fd, TIOCEXCL);
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~CRTSCTS;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  // VMIN 1: with O_NONBLOCK an empty line reads as EAGAIN, so a read of 0 bytes means hang-up.
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  (void)::tcsetattr(fd, TCSANOW, &tio);
  (void)::tcflush(fd, TCIFLUSH);
  int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  int readerWake = wake >= 0 ? ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC) : -1;
  if (readerWake < 0) {
    osError_ = errno;
    if (wake >= 0) ::close(wake);
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    return OpenError::Other;
  }
  {
    std::lock_guard lock(mutex_);
    fd_ = fd;
    wakeFd_ = wake;
    readerWakeFd_ = readerWake;
    closing_ = false;
    lost_ = false;
  }
  io_ = std::thread([this] { run(); });
  return OpenError::None;
}

bool SerialDevice::isOpen() const {
  return fd_.load() >= 0;
}

bool SerialDevice::close() {
  if (!isOpen()) return true;
  if (io_.joinable() && io_.get_id() == std::this_thread::get_id()) return false;
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  wake();
  interruptInputWait();
  if (io_.joinable()) io_.join();
  int fd, wake, readerWake;
  {
    std::unique_lock lock(mutex_);
    // A reader still inside its poll leaves at once (closing_ is set and its wake is signalled);
    // the descriptor is closed only after it has, so that it never polls a reused number.
    inputWaitersLeft_.wait(lock, [this] { return inputWaiters_ == 0; });
    finish(read_, IoStatus::Aborted, 0);
    finish(write_, IoStatus::Aborted, 0);
    finish(waitInput_, IoStatus::Aborted, 0);
    fd = fd_;
    wake = wakeFd_;
    readerWake = readerWakeFd_;
    fd_ = -1;
    wakeFd_ = -1;
    readerWakeFd_ = -1;
  }
  (void)::ioctl(fd, TIOCNXCL);  // the exclusive flag outlives our descriptor on a shared tty
  ::close(fd);
  ::close(wake);
  ::close(readerWake);
  return true;
}

void SerialDevice::interruptInputWait() {
  uint64_t one = 1;
  std::lock_guard lock(mutex_);
  if (readerWakeFd_ >= 0) (void)!::write(readerWakeFd_, &one, sizeof one);
}

SerialDevice::InputWait SerialDevice::waitInput(int timeoutMs) {
  int fd, readerWake;
  {
    std::lock_guard lock(mutex_);
    if (fd_ < 0 || closing_) return InputWait::Closed;
    if (lost_) return InputWait::Lost;
    fd = fd_;
    readerWake = readerWakeFd_;
    ++inputWaiters_;
  }
  pollfd pfd[2] = {{readerWake, POLLIN, 0}, {fd, POLLIN, 0}};
  timespec ts{};
  if (timeoutMs >= 0) {
    ts.tv_sec = timeoutMs / 1000;
    ts.tv_nsec = long(timeoutMs % 1000) * 1'000'000L;
  }
  int rc;
  do {
    rc = ::ppoll(pfd, 2, timeoutMs >= 0 ? &ts : nullptr, nullptr);
  } while (rc < 0 && errno == EINTR);
  InputWait result = InputWait::TimedOut;
  bool wakeIo = false;
  {
    std::lock_guard lock(mutex_);
    if (rc > 0 && (pfd[0].revents & POLLIN)) {
      uint64_t v;
      (void)!::read(readerWake, &v, sizeof v);
    }
    const bool hangUp = rc > 0 && (pfd[1].revents & (POLLHUP | POLLERR | POLLNVAL));
    int queued = 0;
    if (hangUp && (pfd[1].revents & POLLIN) && ::ioctl(fd, FIONREAD, &queued) != 0) queued = 0;
    if (closing_) {
      result = InputWait::Closed;
    } else if (rc > 0 && (pfd[1].revents & POLLIN) && (!hangUp || queued > 0)) {
      result = InputWait::Ready;  // bytes first: those that came before a hang-up are read
    } else if (hangUp) {
      markLostLocked();
      wakeIo = lostPending_;  // the I/O thread runs the lost handler
      result = InputWait::Lost;
    } else if (rc > 0 && (pfd[0].revents & POLLIN)) {
      result = InputWait::Interrupted;
    } else if (lost_) {
      result = InputWait::Lost;
    }
    if (--inputWaiters_ == 0) inputWaitersLeft_.notify_all();
  }
  if (wakeIo) wake();
  return result;
}

void SerialDevice::wake() {
  uint64_t one = 1;
  std::lock_guard lock(mutex_);
  if (wakeFd_ >= 0) (void)!::write(wakeFd_, &one, sizeof one);
}

bool SerialDevice::applyLineSettings(const LineSettings& s) {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) return false;
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return false;
  speed_t code = 0;
  bool found = false;
  for (const auto& b : kBauds) {
    if (b.rate == s.baudRate) {
      code = b.code;
      found = true;
    }
  }
  if (!found || s.byteSize < 5 || s.byteSize > 8 || s.stopBits == StopBits::OneAndHalf)
    return false;
  if (s.parity > Parity::Space) return false;
  ::cfsetispeed(&tio, code);
  ::cfsetospeed(&tio, code);
  tio.c_cflag &= ~CSIZE;
  tio.c_cflag |= s.byteSize == 5 ? CS5 : s.byteSize == 6 ? CS6 : s.byteSize == 7 ? CS7 : CS8;
  tio.c_cflag &= ~(PARENB | PARODD | CMSPAR | CSTOPB);
  switch (s.parity) {
    case Parity::No:
      break;
    case Parity::Odd:
      tio.c_cflag |= PARENB | PARODD;
      break;
    case Parity::Even:
      tio.c_cflag |= PARENB;
      break;
    case Parity::Mark:
      tio.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case Parity::Space:
      tio.c_cflag |= PARENB | CMSPAR;
      break;
  }
  if (s.stopBits == StopBits::Two) tio.c_cflag |= CSTOPB;
  return ::tcsetattr(fd_, TCSANOW, &tio) == 0;
}

bool SerialDevice::readLineSettings(LineSettings& s) const {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) return false;
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return false;
  speed_t code = ::cfgetospeed(&tio);
  for (const auto& b : kBauds) {
    if (b.code == code) s.baudRate = b.rate;
  }
  switch (tio.c_cflag & CSIZE) {
    case CS5:
      s.byteSize = 5;
      break;
    case CS6:
      s.byteSize = 6;
      break;
    case CS7:
      s.byteSize = 7;
      break;
    default:
      s.byteSize = 8;
      break;
  }
  if (!(tio.c_cflag & PARENB)) {
    s.parity = Parity::No;
  } else if (tio.c_cflag & CMSPAR) {
    s.parity = (tio.c_cflag & PARODD) ? Parity::Mark : Parity::Space;
  } else {
    s.parity = (tio.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
  }
  s.stopBits = (tio.c_cflag & CSTOPB) ? StopBits::Two : StopBits::One;
  return true;
}

void SerialDevice::setTimeouts(const SerialTimeouts& t) {
  std::lock_guard lock(mutex_);
  timeouts_ = t;
}

SerialTimeouts SerialDevice::timeouts() const {
  std::lock_guard lock(mutex_);
  return timeouts_;
}

void SerialDevice::purgeInput() {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) return;
  finish(read_, IoStatus::Aborted, 0);
  (void)::tcflush(fd_, TCIFLUSH);
}

int SerialDevice::queuedInput() const {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) return -1;
  int n = 0;
  if (::ioctl(fd_, FIONREAD, &n) != 0) return -1;
  return n;
}

void SerialDevice::setLostHandler(std::function<void()> handler) {
  std::lock_guard lock(mutex_);
  lostHandler_ = std::move(handler);
}

bool SerialDevice::start(Request& slot, SerialOperation& op, void* buffer, uint32_t count,
                         int64_t deadline) {
  if (slot.op && slot.op != &op) {
    op.complete(IoStatus::Failed, 0, EBUSY);
    return false;
  }
  {
    std::lock_guard ol(op.mutex_);
    op.status_ = IoStatus::Pending;
    op.bytes_ = 0;
    op.error_ = 0;
    op.device_ = this;
  }
  op.done_.reset();
  op.event_.reset();
  if (fd_ < 0) {
    op.complete(IoStatus::Aborted, 0, 0);
    return false;
  }
  slot = Request{&op, static_cast<uint8_t*>(buffer), count, 0, deadline, 0};
  return true;
}

void SerialDevice::finish(Request& slot, IoStatus s, int err) {
  if (!slot.op) return;
  SerialOperation* op = slot.op;
  uint32_t n = slot.done;
  slot = Request{};
  op->complete(s, n, err);
}

void SerialDevice::startRead(void* buffer, uint32_t count, SerialOperation& op) {
  bool notify = false;
  {
    std::lock_guard lock(mutex_);
    const SerialTimeouts& t = timeouts_;
    const int64_t now = counterNow();
    const uint64_t total = uint64_t(t.readMultiplier) * count + t.readConstant;
    int64_t deadline = (t.readMultiplier || t.readConstant) ? now + msToTicks(total) : 0;
    if (!start(read_, op, buffer, count, deadline)) return;
    if (lost_) {
      finish(read_, IoStatus::Lost, 0);
      return;
    }
    if (count == 0) {
      finish(read_, IoStatus::Done, 0);
      return;
    }
    serviceRead(now);  // what is there already needs no trip through the I/O thread
    if (read_.op && t.readInterval == kNoWait && !t.readMultiplier && !t.readConstant) {
      finish(read_, IoStatus::Done, 0);
    }
    notify = read_.op != nullptr || lostPending_;
  }
  if (notify) wake();
}

void SerialDevice::startWrite(const void* buffer, uint32_t count, SerialOperation& op) {
  bool notify = false;
  {
    std::lock_guard lock(mutex_);
    const SerialTimeouts& t = timeouts_;
    const uint64_t total = uint64_t(t.writeMultiplier) * count + t.writeConstant;
    int64_t deadline = (t.writeMultiplier || t.writeConstant) ? counterNow() + msToTicks(total) : 0;
    // The bytes are copied so that the caller may drop its buffer at once.
    pendingWrite_.assign(static_cast<const char*>(buffer), count);
    if (!start(write_, op, pendingWrite_.data(), count, deadline)) return;
    if (lost_) {
      finish(write_, IoStatus::Lost, 0);
      return;
    }
    serviceWrite();
    notify = write_.op != nullptr || lostPending_;
  }
  if (notify) wake();
}

void SerialDevice::startWaitInput(SerialOperation& op) {
  bool notify = false;
  {
    std::lock_guard lock(mutex_);
    if (!start(waitInput_, op, nullptr, 0, 0)) return;
    if (lost_) return;  // stays pending until close: nothing will ever arrive
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) == 0 && n > 0) {
      finish(waitInput_, IoStatus::Done, 0);
      return;
    }
    notify = true;
  }
  if (notify) wake();
}

void SerialDevice::cancel(SerialOperation& op) {
  std::lock_guard lock(mutex_);
  for (Request* slot : {&read_, &write_, &waitInput_}) {
    if (slot->op == &op) finish(*slot, IoStatus::Aborted, 0);
  }
}

void SerialDevice::markLostLocked() {
  if (lost_) return;
  lost_ = true;
  finish(read_, IoStatus::Lost, 0);
  finish(write_, IoStatus::Lost, 0);
  finish(waitInput_, IoStatus::Lost, 0);
  lostPending_ = true;
}

void SerialDevice::serviceRead(int64_t now) {
  Request& r = read_;
  if (!r.op) return;
  for (;;) {
    ssize_t n = ::read(fd_, r.buffer + r.done, r.count - r.done);
    if (n > 0) {
      r.done += static_cast<uint32_t>(n);
      r.lastByte = now;
      if (r.done == r.count) {
        finish(r, IoStatus::Done, 0);
        return;
      }
      continue;
    }
    if (n == 0 || errno == EIO) {
      markLostLocked();
      return;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN) finish(r, IoStatus::Failed, errno);
    return;
  }
}

void SerialDevice::serviceWrite() {
  Request& w = write_;
  if (!w.op) return;
  while (w.done < w.count) {
    ssize_t n = ::write(fd_, w.buffer + w.done, w.count - w.done);
    if (n > 0) {
      w.done += static_cast<uint32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return;
    if (n < 0 && errno == EIO) {
      markLostLocked();
      return;
    }
    finish(w, IoStatus::Failed, n < 0 ? errno : EIO);
    return;
  }
  finish(w, IoStatus::Done, 0);
}

void SerialDevice::run() {
  pthread_setname_np(pthread_self(), "qv-serial-io");
  std::unique_lock lock(mutex_);
  while (!closing_) {
    pollfd pfd[2] = {{wakeFd_, POLLIN, 0}, {fd_, 0, 0}};
    nfds_t nfds = 1;
    if (!lost_) {
      // Even with no events asked for, poll reports a hang-up.
      if (read_.op || waitInput_.op) pfd[1].events |= POLLIN;
      if (write_.op) pfd[1].events |= POLLOUT;
      nfds = 2;
    }
    int64_t next = 0;
    auto consider = [&next](int64_t t) {
      if (t && (!next || t < next)) next = t;
    };
    const SerialTimeouts t = timeouts_;
    if (read_.op) {
      consider(read_.deadline);
      if (read_.done && t.readInterval && t.readInterval != kNoWait) {
        consider(read_.lastByte + msToTicks(t.readInterval));
      }
    }
    if (write_.op) consider(write_.deadline);
    timespec ts{};
    timespec* tsp = nullptr;
    if (next) {
      int64_t left = next - counterNow();
      if (left < 0) left = 0;
      ts.tv_sec = left / counterFrequency();
      ts.tv_nsec = left % counterFrequency();
      tsp = &ts;
    }
    lock.unlock();
    int rc = ::ppoll(pfd, nfds, tsp, nullptr);
    lock.lock();
    wakeups_.fetch_add(1);
    if (rc > 0 && (pfd[0].revents & POLLIN)) {
      uint64_t v;
      (void)!::read(wakeFd_, &v, sizeof v);
    }
    if (closing_) break;
    const int64_t now = counterNow();
    if (rc > 0 && nfds == 2 && !lost_) {
      const short re = pfd[1].revents;
      if ((re & POLLIN) && read_.op) serviceRead(now);  // bytes that came before a hang-up
      if (re & (POLLHUP | POLLERR | POLLNVAL)) {
        markLostLocked();
      } else if (!lost_) {
        if ((re & POLLIN) && waitInput_.op) finish(waitInput_, IoStatus::Done, 0);
        if ((re & POLLOUT) && write_.op) serviceWrite();
      }
    }
    if (read_.op) {
      bool quiet = read_.done && t.readInterval && t.readInterval != kNoWait &&
                   now - read_.lastByte >= msToTicks(t.readInterval);
      if (quiet || (read_.deadline && now >= read_.deadline)) finish(read_, IoStatus::Done, 0);
    }
    if (write_.op && write_.deadline && now >= write_.deadline) finish(write_, IoStatus::Done, 0);
    if (lostPending_) {
      lostPending_ = false;
      auto handler = lostHandler_;
      lock.unlock();
      if (handler) handler();
      lock.lock();
    }
  }
}

}  // namespace qv
