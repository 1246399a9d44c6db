#include "catalogue/PortDiscovery.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/Clock.h"
#include "platform/PortMap.h"
#include "platform/SerialDevice.h"

namespace {

constexpr int kWriteWaitMs = 1000;
constexpr int kReadWaitMs = 100;
constexpr uint32_t kReadChunk = 10;

int numberAfterCom(const std::string& name) {
  const std::string rest = name.substr(3);
  if (rest.empty()) return 0;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(rest.c_str(), &end, 10);
  if (errno || *end || v < INT_MIN || v > INT_MAX ||
      std::isspace(static_cast<unsigned char>(rest[0]))) {
    return 0;
  }
  return static_cast<int>(v);
}

bool startsWithCom(const std::string& name) {
  if (name.size() < 3) return false;
  for (int i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return false;
  }
  return true;
}

// Probes one port that opened; returns the reply text and whether a whole line came.
bool probeOpenPort(qv::SerialDevice& dev, std::string& reply, int readDeadlineMs) {
  qv::SerialTimeouts t;
  t.readInterval = 1;
  t.readMultiplier = 1;
  t.readConstant = 0;
  t.writeMultiplier = 1;
  t.writeConstant = 0;
  dev.setTimeouts(t);
  qv::LineSettings line;
  (void)dev.readLineSettings(line);
  line.baudRate = 57600;
  line.byteSize = 8;
  line.parity = qv::Parity::No;
  line.stopBits = qv::StopBits::One;
  (void)dev.applyLineSettings(line);

  qv::SerialOperation op;  // one record and its event for every step, as the port is ours alone
  static const char kQuery[] = "r01\r";
  dev.startWrite(kQuery, 4, op);
  (void)op.event().wait(kWriteWaitMs);
  (void)op.waitDone(qv::kInfinite);  // the write's own time-out ends it
  op.event().reset();

  bool complete = false;
  const int64_t deadline =
      qv::counterNow() + int64_t(readDeadlineMs) * qv::counterFrequency() / 1000;
  char buf[kReadChunk];
  do {
    dev.startRead(buf, kReadChunk, op);
    qv::sleepMs(1);
    (void)op.event().wait(kReadWaitMs);
    (void)op.waitDone(qv::kInfinite);  // the read's total time-out ends it
    // A read that timed out empty does not end the probe: the answer has until the deadline.
    if (op.status() != qv::IoStatus::Done) break;
    reply.append(buf, op.bytes());
    complete = reply.find('\r') != std::string::npos;
    op.event().reset();
  } while (qv::counterNow() < deadline && !complete);
  return complete;
}

}  // namespace

std::optional<int> ParseProbeSerial(const std::string& reply) {
  const size_t at = reply.find("S/N:");
  if (at == std::string::npos) return std::nullopt;
  const size_t from = at + 4;
  const size_t cr = reply.find('\r', from);
  std::string text = reply.substr(from, cr == std::string::npos ? std::string::npos : cr - from);
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!text.empty() && blank(text.front())) text.erase(text.begin());
  while (!text.empty() && blank(text.back())) text.pop_back();
  size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
  if (i == text.size()) return std::nullopt;
  for (size_t k = i; k < text.size(); ++k) {
    if (!std::isdigit(static_cast<unsigned char>(text[k]))) return std::nullopt;
  }
  errno = 0;
  long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (errno || v < INT_MIN || v > INT_MAX) return std::nullopt;
  return static_cast<int>(v);
}

void ProbeSerialPorts(TSerialPortItems& Items, const std::string& CurrentPort,
                      const std::string& CurrentLabel, int ReadDeadlineMs) {
  for (auto& item : Items) {
    if (item.Text == CurrentPort) {
      item.Text += " - " + CurrentLabel;
      continue;
    }
    std::string path;
    if (auto n = qv::parsePortName(item.Text)) path = qv::devicePathForPort(*n);
    qv::SerialDevice dev;
    switch (dev.open(path)) {
      case qv::OpenError::None:
        break;
      case qv::OpenError::NotExists:
        item.Text += " - Not exists";
        continue;
      case qv::OpenError::Busy:
        item.Text += " - Busy";
        continue;
      default:
        continue;  // no permission or another failure: plain name
    }
    std::string reply;
    if (probeOpenPort(dev, reply, ReadDeadlineMs)) {
      if (auto sn = ParseProbeSerial(reply)) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, " - SN%.4d", *sn);
        item.Text += suffix;
      }
    }
    dev.close();
  }
}

bool ListSerialPortNames(TSerialPortItems& Items,
                         const std::optional<std::vector<std::string>>& Names,
                         const std::string& CurrentPort, const std::string& CurrentLabel) {
  Items.clear();
  if (!Names) {
    for (int n = 1; n <= 4; ++n) Items.push_back({"COM" + std::to_string(n), std::nullopt});
    return false;
  }
  for (const auto& name : *Names) {
    if (!startsWithCom(name)) continue;
    const int number = numberAfterCom(name);
    auto pos = Items.begin();
    while (pos != Items.end() && *pos->Number <= number) ++pos;
    Items.insert(pos, {name, number});
  }
  if (!Items.empty()) ProbeSerialPorts(Items, CurrentPort, CurrentLabel);
  if (Items.empty()) Items.push_back({"No serial port present", std::nullopt});
  return true;
}

bool ListSerialPorts(TSerialPortItems& Items, const std::string& CurrentPort,
                     const std::string& CurrentLabel) {
  std::optional<std::vector<std::string>> names;
  if (auto ports = qv::enumeratePorts()) {
    names.emplace();
    for (int n : *ports) names->push_back(qv::portName(n));
  }
  return ListSerialPortNames(Items, names, CurrentPort, CurrentLabel);
}
