// A scripted peer on a pseudo-terminal: the test stands in for the laser and decides every byte
// it sends and when. The port under test opens slavePath() (or the COM<n> link made by linkAs).
//
// Received bytes are collected by a background thread. expectLine/readWritten consume them in
// order; responders answer complete lines automatically. Replies may be delayed; hangUp() closes
// the master so the other side sees the line go away.
#pragma once

#include <termios.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qv::test {

class PtyPeer {
 public:
  // A responder sees every complete received line (without its terminator) and returns the
  // reply bytes, or nothing to stay silent. It runs on the peer's thread and must not call the
  // peer.
  using Responder = std::function<std::optional<std::string>(const std::string& line)>;

  // The slave starts in raw mode at 9600 baud with two stop bits, so a test can see what the
  // opener changed (a pseudo-terminal always keeps 8 data bits and no parity).
  PtyPeer();
  ~PtyPeer();
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  const std::string& slavePath() const { return slavePath_; }
  // Links dir/COM<port> to the slave.
  void linkAs(const std::string& dir, int port);

  // Sends bytes now / after delayMs (without blocking the caller).
  void send(const std::string& bytes);
  void sendAfter(int delayMs, const std::string& bytes);
  // Answers every received line equal to request with reply after delayMs.
  void respond(const std::string& request, const std::string& reply, int delayMs = 0);
  // General form; replaces every earlier responder.
  void setResponder(Responder r, int delayMs = 0);
  void clearResponders();

  // The next line not yet consumed (terminator '\r' by default, not included), waiting up to
  // timeoutMs; nothing when none arrived in time.
  std::optional<std::string> expectLine(int timeoutMs = 5000, char terminator = '\r');
  // Waits up to timeoutMs until at least minBytes unconsumed bytes are there; consumes and
  // returns all unconsumed bytes (possibly fewer than minBytes on time-out).
  std::string readWritten(size_t minBytes = 1, int timeoutMs = 5000);
  // Everything received since the start (consumed or not).
  std::string allReceived() const;
  size_t linesReceived() const;

  // Closes the master: the opener sees a hang-up.
  void hangUp();
  bool hungUp() const;
  // The slave's current line settings.
  termios slaveTermios() const;

 private:
  struct Scheduled {
    int64_t due;
    std::string bytes;
  };
  void run();
  void writeAll(const std::string& bytes);
  void wake();

  int master_ = -1;
  int holdSlave_ = -1;  // keeps the line up while the port under test is closed
  int wakeFd_ = -1;
  std::string slavePath_;
  std::vector<std::string> links_;

  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable changed_;
  std::string received_;
  size_t consumed_ = 0;  // offset of the first byte not yet consumed by expectLine/readWritten
  size_t lineScan_ = 0;  // offset up to which responders have seen lines
  size_t lines_ = 0;
  std::vector<Responder> responders_;
  std::vector<int> responderDelays_;
  std::vector<Scheduled> scheduled_;
  bool stop_ = false;
  bool hungUp_ = false;
  std::thread thread_;
};

}  // namespace qv::test
