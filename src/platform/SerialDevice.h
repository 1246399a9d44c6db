// One serial device on termios, opened exclusively, with reads, writes and input waits that are
// started without blocking and completed by the device's own I/O thread, which signals the
// operation's event (the Windows "overlapped" model).
//
// Time-outs follow the Windows rules: a read completes when `count` bytes arrived, when the line
// was quiet for readInterval ms after the first byte (0: no interval limit), or when
// readMultiplier * count + readConstant ms passed since the read started (both 0: no total limit);
// readInterval = kNoWait with both totals 0 returns at once with what is there. A write completes
// when every byte is handed to the driver or after writeMultiplier * count + writeConstant ms
// (both 0: no limit). Driver buffer sizes do not exist on termios; they are kept and ignored.
//
// Hang-up (POLLHUP, EIO, or readable with nothing to read) means the line is lost: every operation
// in progress completes with IoStatus::Lost, the lost handler runs once (on the I/O thread), reads
// and writes started later complete at once with Lost, and an input wait started later stays
// pending until close() so that a loop which ignores the status parks instead of spinning.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Event.h"

namespace qv {

// Why an open failed.
enum class OpenError { None, NotExists, Busy, NoPermission, Other };
// The OpenError for an errno value of open().
OpenError openErrorFromErrno(int err);
// A short English text for logs and messages ("not exists", "busy", "no permission", "failed").
const char* openErrorText(OpenError e);

enum class Parity : uint8_t { No, Odd, Even, Mark, Space };
enum class StopBits : uint8_t { One, OneAndHalf, Two };

struct LineSettings {
  uint32_t baudRate = 57600;
  uint8_t byteSize = 8;  // 5..8
  Parity parity = Parity::No;
  StopBits stopBits = StopBits::One;  // OneAndHalf has no termios form and is refused
};

constexpr uint32_t kNoWait = 0xFFFFFFFFu;

struct SerialTimeouts {
  uint32_t readInterval = 1;
  uint32_t readMultiplier = 1;
  uint32_t readConstant = 0;
  uint32_t writeMultiplier = 1;
  uint32_t writeConstant = 0;
};

enum class IoStatus { Idle, Pending, Done, Aborted, Lost, Failed };

// One operation record, owned by the one thread that uses it; at most one operation at a time.
// Its event (manual reset) is set when the operation completes; the starter resets it.
class SerialOperation {
 public:
  SerialOperation();
  ~SerialOperation();  // cancels an operation still in progress
  SerialOperation(const SerialOperation&) = delete;
  SerialOperation& operator=(const SerialOperation&) = delete;

  Event& event() { return event_; }
  IoStatus status() const;
  uint32_t bytes() const;  // bytes transferred by the last completed operation
  int osError() const;     // errno of a Failed operation
  // Waits until the operation is no longer pending; true when it completed in time.
  [[nodiscard]] bool waitDone(int timeoutMs);

 private:
  friend class SerialDevice;
  void complete(IoStatus s, uint32_t n, int err);  // called with the device lock held

  Event event_{Event::Reset::Manual};
  Event done_{Event::Reset::Manual};  // private twin of event_ for waitDone
  mutable std::mutex
      mutex_;  // guards status_, bytes_, error_, device_; held while a completion signals
  IoStatus status_ = IoStatus::Idle;
  uint32_t bytes_ = 0;
  int error_ = 0;
  class SerialDevice* device_ = nullptr;  // the device it is pending on
};

class SerialDevice {
 public:
  SerialDevice();
  ~SerialDevice();  // closes
  SerialDevice(const SerialDevice&) = delete;
  SerialDevice& operator=(const SerialDevice&) = delete;

  // Opens path exclusively in raw mode (line settings untouched otherwise) and starts the I/O
  // thread. osError() keeps the errno of a failed open.
  OpenError open(const std::string& path);
  bool isOpen() const;
  int osError() const { return osError_; }
  // Stops the I/O thread, completes operations in progress with Aborted, closes the device.
  // Must not be called from the lost handler. True when the device is closed afterwards.
  bool close();

  bool applyLineSettings(const LineSettings& s);  // false when the driver refuses
  bool readLineSettings(LineSettings& s) const;
  void setTimeouts(const SerialTimeouts& t);
  SerialTimeouts timeouts() const;
  void purgeInput();
  int queuedInput() const;  // bytes waiting in the driver, -1 on failure

  // buffer must stay valid until the operation completes (or close() returns).
  void startRead(void* buffer, uint32_t count, SerialOperation& op);
  void startWrite(const void* buffer, uint32_t count, SerialOperation& op);
  // Completes (0 bytes) as soon as input is waiting.
  void startWaitInput(SerialOperation& op);
  void cancel(SerialOperation& op);

  // Blocks the calling thread on the descriptor itself until input is waiting, so that a reader
  // learns of its bytes without a trip through the I/O thread. Ends early on a hang-up (the line
  // is then lost, as for the operations), on interruptInputWait(), on close() and after
  // timeoutMs (kInfinite: no limit). One caller at a time.
  enum class InputWait { Ready, Interrupted, TimedOut, Lost, Closed };
  InputWait waitInput(int timeoutMs);
  // Ends a waitInput that is blocked now, or the next one if none is (like a set event that the
  // next wait consumes). Any thread.
  void interruptInputWait();

  bool lost() const { return lost_.load(); }
  // Runs once per open when the line hangs up, on the I/O thread: must not block or close.
  void setLostHandler(std::function<void()> handler);
  int fd() const { return fd_.load(); }
  // How often the I/O thread has woken since the device was created (shows a spinning loop).
  uint64_t ioWakeups() const { return wakeups_.load(); }

 private:
  struct Request {
    SerialOperation* op = nullptr;
    uint8_t* buffer = nullptr;
    uint32_t count = 0;
    uint32_t done = 0;
    int64_t deadline = 0;  // counter value, 0 = none
    int64_t lastByte = 0;  // counter value of the last byte read
  };
  void run();
  bool start(Request& slot, SerialOperation& op, void* buffer, uint32_t count, int64_t deadline);
  void finish(Request& slot, IoStatus s, int err);
  void markLostLocked();
  void serviceRead(int64_t now);
  void serviceWrite();
  void wake();

  mutable std::mutex mutex_;  // guards the requests, the descriptors' use, closing_, timeouts_,
                              // pendingWrite_, lostPending_ and lostHandler_
  Request read_, write_, waitInput_;
  std::string pendingWrite_;  // copy of the bytes of the write in progress
  bool closing_ = false;
  bool lostPending_ = false;  // the lost handler is still to run
  SerialTimeouts timeouts_;
  std::atomic<bool> lost_{false};
  std::function<void()> lostHandler_;
  std::atomic<int> fd_{-1};
  std::atomic<uint64_t> wakeups_{0};
  int wakeFd_ = -1;        // eventfd that breaks the I/O thread's poll
  int readerWakeFd_ = -1;  // eventfd that breaks a waitInput
  int inputWaiters_ = 0;   // waitInput calls inside their poll; close waits for them to leave
  std::condition_variable inputWaitersLeft_;
  int osError_ = 0;
  std::thread io_;
};

}  // namespace qv
