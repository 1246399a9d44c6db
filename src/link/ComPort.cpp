#include "link/ComPort.h"

#include "platform/DeviceAccess.h"
#include "platform/PortMap.h"

namespace {

qv::StopBits toDevice(TStopBits s) {
  switch (s) {
    case sb1:
      return qv::StopBits::One;
    case sb1_5:
      return qv::StopBits::OneAndHalf;
    case sb2:
      return qv::StopBits::Two;
  }
  return qv::StopBits::One;
}

}  // namespace

std::unique_ptr<TOverlapped> CreateOverlapped() {
  return std::make_unique<TOverlapped>();
}

void FreeOverlapped(std::unique_ptr<TOverlapped>& ov) {
  ov.reset();
}

std::string OpenFailureHint(qv::OpenError e, const std::string& devicePath) {
  if (e != qv::OpenError::NoPermission) return {};
  const std::string hint = qv::permissionHint(qv::deviceAccess(devicePath), qv::currentUserName());
  if (!hint.empty()) return hint;
  return "Check the permission to use the device: your user must be a member of the group that "
         "owns it (log in again after joining it).";
}

TComPort::TComPort(TObject* /*Owner*/) {
  device_.setLostHandler([this] {
    if (OnPortLost) OnPortLost(this);
  });
  device_.setTimeouts(timeouts_);
}

TComPort::~TComPort() {
  if (Connected()) TComPort::Close();
}

bool TComPort::Open() {
  if (Connected()) return true;
  devicePath_ = qv::devicePathForPort(port_);
  lastOpenError_ = device_.open(devicePath_);
  if (lastOpenError_ != qv::OpenError::None) return false;
  connected_.store(true);
  // Driver queue sizes have no termios form; the sizes are kept only.
  ApplyTimeouts();
  (void)device_.readLineSettings(dcb_);
  dcb_.baudRate = baudRate_;
  dcb_.parity = static_cast<qv::Parity>(parity_);
  dcb_.stopBits = toDevice(stopBits_);
  dcb_.byteSize = byteSize_;
  (void)applyControlBlock();
  AbortEvent.reset();
  if (OnConnect) OnConnect(this);
  return true;
}

bool TComPort::Close() {
  if (!Connected()) return true;
  AbortEvent.set();
  // Closing the device completes every operation in progress, which wakes their threads.
  const bool ok = device_.close();
  connected_.store(!ok);
  if (ok && OnDisconnect) OnDisconnect(this);
  return ok;
}

void TComPort::Read(void* buffer, uint32_t count, TOverlapped& ov) {
  if (Connected()) device_.startRead(buffer, count, ov);
}

void TComPort::Write(const void* buffer, uint32_t count, TOverlapped& ov) {
  if (Connected()) device_.startWrite(buffer, count, ov);
}

void TComPort::WriteText(const std::string& text, TOverlapped& ov) {
  if (Connected()) Write(text.data(), static_cast<uint32_t>(text.size()), ov);
}

void TComPort::ApplyTimeouts() {
  device_.setTimeouts(timeouts_);
}

int TComPort::QueuedBytes() const {
  return Connected() ? device_.queuedInput() : -1;
}

void TComPort::WaitForInput(TOverlapped& ov) {
  if (Connected()) device_.startWaitInput(ov);
}

qv::SerialDevice::InputWait TComPort::WaitInputHere(int timeoutMs) {
  if (!Connected()) return qv::SerialDevice::InputWait::Closed;
  return device_.waitInput(timeoutMs);
}

void TComPort::InterruptInputWait() {
  device_.interruptInputWait();
}

void TComPort::PurgeInput() {
  if (Connected()) device_.purgeInput();
}

bool TComPort::GetOverlappedResult(TOverlapped& ov, uint32_t& bytes, bool wait) {
  if (wait && ov.status() != qv::IoStatus::Idle) (void)ov.waitDone(qv::kInfinite);
  bytes = ov.bytes();
  return ov.status() == qv::IoStatus::Done;
}

bool TComPort::applyControlBlock() {
  return device_.applyLineSettings(dcb_);
}

void TComPort::SetPort(TPort value) {
  if (value < qv::kMinPort || value > qv::kMaxPort || value == port_) return;
  port_ = value;
  if (Connected()) {
    Close();
    Open();
  }
}

void TComPort::SetConnected(bool value) {
  if (value == Connected()) return;
  if (value) {
    Open();
  } else {
    Close();
  }
}

void TComPort::SetParity(TParity value) {
  if (value == parity_) return;
  dcb_.parity = static_cast<qv::Parity>(value);
  if (!Connected() || applyControlBlock()) {
    parity_ = value;
  } else {
    dcb_.parity = static_cast<qv::Parity>(parity_);
  }
}

void TComPort::SetByteSize(uint8_t value) {
  if (value == byteSize_) return;
  dcb_.byteSize = value;
  if (!Connected() || applyControlBlock()) {
    byteSize_ = value;
  } else {
    dcb_.byteSize = byteSize_;
  }
}

void TComPort::SetStopBits(TStopBits value) {
  if (value == stopBits_) return;
  dcb_.stopBits = toDevice(value);
  if (!Connected() || applyControlBlock()) {
    stopBits_ = value;
  } else {
    dcb_.stopBits = toDevice(stopBits_);
  }
}

void TComPort::SetInBufferSize(uint32_t value) {
  inBufferSize_ = value;
}
void TComPort::SetOutBufferSize(uint32_t value) {
  outBufferSize_ = value;
}

void TComPort::SetReadIntervalTimeout(uint32_t value) {
  timeouts_.readInterval = value;
  if (Connected()) ApplyTimeouts();
}
void TComPort::SetReadTotalTimeoutMultiplier(uint32_t value) {
  timeouts_.readMultiplier = value;
  if (Connected()) ApplyTimeouts();
}
void TComPort::SetReadTotalTimeoutConstant(uint32_t value) {
  timeouts_.readConstant = value;
  if (Connected()) ApplyTimeouts();
}
void TComPort::SetWriteTotalTimeoutMultiplier(uint32_t value) {
  timeouts_.writeMultiplier = value;
  if (Connected()) ApplyTimeouts();
}
void TComPort::SetWriteTotalTimeoutConstant(uint32_t value) {
  timeouts_.writeConstant = value;
  if (Connected()) ApplyTimeouts();
}
