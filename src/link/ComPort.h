// TComPort: owns one serial port opened by number (57600 8N1 by default), with reads and writes
// that are started without blocking and signal the caller's operation record when they complete,
// and a Close that wakes every thread waiting on the port.
//
// Created, opened and closed on the main thread; Read and the input operations are used by one
// reader thread, Write/WriteText by one writer thread, each with its own record.
// A hang-up of the line is reported through Lost(), OnPortLost and operations that complete with
// qv::IoStatus::Lost; the port stays Connected until it is closed.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/QVUtils.h"
#include "platform/Event.h"
#include "platform/SerialDevice.h"

using TPort = uint16_t;  // 1..256
enum class TParity : uint8_t { No, Odd, Even, Mark, Space };
enum TStopBits : uint8_t { sb1, sb1_5, sb2 };

// The per-thread operation record: its event() is set when the operation completes.
using TOverlapped = qv::SerialOperation;
std::unique_ptr<TOverlapped> CreateOverlapped();
void FreeOverlapped(std::unique_ptr<TOverlapped>& ov);

// The check line the console adds to its "Cannot open port" message for this failure kind,
// empty when there is none. For a refused permission it names the group that owns the device
// and the command that joins it.
std::string OpenFailureHint(qv::OpenError e, const std::string& devicePath);

class TComPort : public TObject {
 public:
  explicit TComPort(TObject* Owner = nullptr);
  ~TComPort() override;
  TComPort(const TComPort&) = delete;
  TComPort& operator=(const TComPort&) = delete;

  // Opens the port when closed; returns Connected. A failure leaves LastOpenError() set.
  virtual bool Open();
  // Closes the port when open; true when it is closed afterwards.
  virtual bool Close();
  void Read(void* buffer, uint32_t count, TOverlapped& ov);
  void Write(const void* buffer, uint32_t count, TOverlapped& ov);
  void WriteText(const std::string& text, TOverlapped& ov);
  void ApplyTimeouts();

  // For the reader thread: bytes waiting (-1 when unknown), a wait that completes when input is
  // there, dropping what the driver holds.
  int QueuedBytes() const;
  void WaitForInput(TOverlapped& ov);
  // Blocks the reader thread itself until input is waiting (no hop through the port's I/O
  // thread); InterruptInputWait, a hang-up, Close or the time-out end it early.
  qv::SerialDevice::InputWait WaitInputHere(int timeoutMs);
  void InterruptInputWait();
  void PurgeInput();
  // The result of the last operation on ov; with wait, blocks until it has completed (a Close
  // completes it). True when it completed with Done.
  bool GetOverlappedResult(TOverlapped& ov, uint32_t& bytes, bool wait);

  TPort Port() const { return port_; }
  void SetPort(TPort value);
  uint32_t BaudRate() const { return baudRate_; }
  TParity Parity() const { return parity_; }
  void SetParity(TParity value);
  uint8_t ByteSize() const { return byteSize_; }
  void SetByteSize(uint8_t value);
  TStopBits StopBits() const { return stopBits_; }
  void SetStopBits(TStopBits value);
  uint32_t InBufferSize() const { return inBufferSize_; }
  void SetInBufferSize(uint32_t value);
  uint32_t OutBufferSize() const { return outBufferSize_; }
  void SetOutBufferSize(uint32_t value);
  uint32_t ReadIntervalTimeout() const { return timeouts_.readInterval; }
  void SetReadIntervalTimeout(uint32_t value);
  uint32_t ReadTotalTimeoutMultiplier() const { return timeouts_.readMultiplier; }
  void SetReadTotalTimeoutMultiplier(uint32_t value);
  uint32_t ReadTotalTimeoutConstant() const { return timeouts_.readConstant; }
  void SetReadTotalTimeoutConstant(uint32_t value);
  uint32_t WriteTotalTimeoutMultiplier() const { return timeouts_.writeMultiplier; }
  void SetWriteTotalTimeoutMultiplier(uint32_t value);
  uint32_t WriteTotalTimeoutConstant() const { return timeouts_.writeConstant; }
  void SetWriteTotalTimeoutConstant(uint32_t value);
  bool Connected() const { return connected_.load(); }
  void SetConnected(bool value);
  int Handle() const { return device_.fd(); }

  // Why the last Open failed (None after a successful one) and the device path it tried.
  qv::OpenError LastOpenError() const { return lastOpenError_; }
  const std::string& DevicePath() const { return devicePath_; }
  // The line hung up since the last Open.
  bool Lost() const { return device_.lost(); }

  // Set by Close so that waiters on the port give up; reset by Open.
  qv::Event AbortEvent{qv::Event::Reset::Manual};

  TNotifyEvent OnConnect;
  TNotifyEvent OnDisconnect;
  // Raised once per open when the line hangs up, on the port's I/O thread: it must not block,
  // wait for the main thread or close the port (set a flag or an event instead).
  TNotifyEvent OnPortLost;

 private:
  // Writes the control block to the open device; false when the driver refuses it.
  bool applyControlBlock();

  qv::SerialDevice device_;
  TPort port_ = 1;
  uint32_t baudRate_ = 57600;
  TParity parity_ = TParity::No;
  uint8_t byteSize_ = 8;
  TStopBits stopBits_ = sb1;
  uint32_t inBufferSize_ = 1024;
  uint32_t outBufferSize_ = 1024;
  qv::SerialTimeouts
      timeouts_;  // read interval, read multiplier, read constant, write multiplier, write constant
  qv::LineSettings dcb_;  // the port control block: the line settings last read or written
  std::atomic<bool> connected_{false};
  qv::OpenError lastOpenError_ = qv::OpenError::None;
  std::string devicePath_;
};
