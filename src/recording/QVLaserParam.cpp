#include "recording/QVLaserParam.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "recording/ParamCodec.h"

namespace {

// Chunks are flushed as soon as this many plain bytes have gathered: 147 samples.
constexpr size_t kFlushThreshold = 2048;

bool writeAll(int fd, const uint8_t* p, size_t n, std::string& error) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      return false;
    }
    if (w == 0) {
      error = "nothing could be written";
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

}  // namespace

// ---- TParamBufferMonitor ----

TParamBufferMonitor::TParamBufferMonitor(TLaserParamBuffer& owner) : Buffer(owner) {}

TParamBufferMonitor::~TParamBufferMonitor() { Shutdown(); }

void TParamBufferMonitor::Execute() {
  TLaserParamBuffer& b = Buffer;
  while (KeepRunning()) {
    // Drain. The newest sample stays queued until a newer one arrives or the recording stops,
    // so that only a stop (or a failure) writes the last one. The stop is read once: one that
    // arrives meanwhile is handled in the next round, after everything before it was drained.
    const bool stopping = b.Stopping_;
    while (!Terminated()) {
      if (b.Failed_) {
        b.discardSamples();
        break;
      }
      // As many as complete the chunk, so the threshold is met after exactly 147 samples.
      const size_t room =
          (kFlushThreshold - b.PlainBuffer.size() + qv::kSampleSize - 1) / qv::kSampleSize;
      if (b.takeSamples(b.PlainBuffer, room, stopping, Taken) == 0) break;
      if (b.PlainBuffer.size() >= kFlushThreshold) Flush();
    }
    if (Terminated()) break;
    if (b.Open_ && (stopping || b.Failed_)) Finish();
    Deactivate();
    // A wake-up that came between the checks above and the reset would be lost; look again.
    if (b.hasWork()) Activate();
  }
}

void TParamBufferMonitor::Flush() {
  TLaserParamBuffer& b = Buffer;
  ChunkBuffer.clear();
  const bool packed = qv::packChunk(b.PlainBuffer, PackBuffer, ChunkBuffer);
  b.PlainBuffer.clear();
  PackBuffer.clear();
  std::string error;
  if (!packed) {
    error = "the chunk could not be compressed";
  } else if (writeAll(b.FileStream, ChunkBuffer.data(), ChunkBuffer.size(), error)) {
    b.Written_ += ChunkBuffer.size();
    ChunkBuffer.clear();
    return;
  }
  ChunkBuffer.clear();
  // Cut a partly written chunk off again, so the file ends after the last complete one.
  if (::ftruncate(b.FileStream, static_cast<off_t>(b.Written_)) != 0) {
    // Nothing more to do: a reader stops at the incomplete chunk and keeps the ones before.
  }
  b.WriteError_ = "Cannot write to " + b.FileName_ + ": " + error;
  b.Failed_ = true;
}

void TParamBufferMonitor::Finish() {
  TLaserParamBuffer& b = Buffer;
  if (!b.Failed_ && !b.PlainBuffer.empty()) Flush();
  b.PlainBuffer.clear();
  // Closed here rather than on the main thread, which never waits for the disk.
  if (::close(b.FileStream) != 0 && !b.Failed_) {
    b.WriteError_ = "Cannot write to " + b.FileName_ + ": " + std::strerror(errno);
    b.Failed_ = true;
  }
  b.FileStream = -1;
  const std::string error = b.Failed_ ? b.WriteError_ : std::string();
  if (b.Destroying_) {
    b.discardSamples();
    b.Open_ = false;
    b.Closed_.set();
    return;
  }
  Synchronize([&b, &error] {
    b.discardSamples();
    b.Open_ = false;
    b.Closed_.set();
    if (!error.empty() && b.OnWriteError) b.OnWriteError(&b, error);
    if (b.OnFinished) b.OnFinished(&b);
  });
}

// ---- TLaserParamBuffer ----

TLaserParamBuffer::TLaserParamBuffer() : Monitor(std::make_unique<TParamBufferMonitor>(*this)) {}

TLaserParamBuffer::~TLaserParamBuffer() {
  if (Open_) {
    Destroying_ = true;
    Stopping_ = true;
    Monitor->Activate();
    // The thread writes the last chunk and closes the file; a finish it was already handing to
    // this thread runs meanwhile.
    (void)WaitKeepingSynchronize(Closed_);
  }
  Monitor->Shutdown();
  Monitor.reset();
  if (FileStream >= 0) ::close(FileStream);
}

bool TLaserParamBuffer::Start(const std::string& FileName, const TParamFileHeader& Header,
                              std::string* Why) {
  auto fail = [&](std::string reason) {
    if (Why) *Why = std::move(reason);
    return false;
  };
  if (Open_) return fail("a recording is still open");
  const int fd = ::open(FileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return fail("Cannot create " + FileName + ": " + std::strerror(errno));
  uint8_t prologue[qv::kFilePrologueSize];
  std::memcpy(prologue, qv::kParamFileSignature.data(), qv::kSignatureSize);
  qv::encodeHeader(Header, prologue + qv::kSignatureSize);
  std::string error;
  if (!writeAll(fd, prologue, sizeof prologue, error)) {
    ::close(fd);
    return fail("Cannot write to " + FileName + ": " + error);
  }
  discardSamples();
  PlainBuffer.clear();
  FileStream = fd;
  FileName_ = FileName;
  Written_ = sizeof prologue;
  WriteError_.clear();
  StartTime_ = Header.StartTime;
  Failed_ = false;
  Destroying_ = false;
  Stopping_ = false;
  Closed_.reset();
  Open_ = true;
  return true;
}

void TLaserParamBuffer::AddSample(int16_t Code, const TParamValue& Value, int64_t Time) {
  if (!Recording()) return;
  TLaserParams s;
  s.TimeOffset = static_cast<int32_t>(static_cast<uint32_t>(Time) -
                                      static_cast<uint32_t>(StartTime_));
  s.Value = Value;
  s.Code = Code;
  {
    std::unique_lock lock(Lock);
    Samples.push_back(s);
  }
  Monitor->Activate();
}

void TLaserParamBuffer::Stop() {
  if (!Open_ || Stopping_) return;
  Stopping_ = true;
  Monitor->Activate();
}

int TLaserParamBuffer::Count() const {
  std::shared_lock lock(Lock);
  return static_cast<int>(Samples.size());
}

size_t TLaserParamBuffer::takeSamples(std::vector<uint8_t>& into, size_t most, bool all,
                                      std::vector<TLaserParams>& scratch) {
  scratch.clear();
  {
    std::unique_lock lock(Lock);
    const size_t n = Samples.size();
    size_t k = all ? n : (n > 0 ? n - 1 : 0);
    k = std::min(k, most);
    scratch.assign(Samples.begin(), Samples.begin() + static_cast<std::ptrdiff_t>(k));
    Samples.erase(Samples.begin(), Samples.begin() + static_cast<std::ptrdiff_t>(k));
  }
  const size_t at = into.size();
  into.resize(at + scratch.size() * qv::kSampleSize);
  for (size_t i = 0; i < scratch.size(); ++i)
    qv::encodeSample(scratch[i], into.data() + at + i * qv::kSampleSize);
  return scratch.size();
}

void TLaserParamBuffer::discardSamples() {
  std::unique_lock lock(Lock);
  Samples.clear();
}

bool TLaserParamBuffer::hasWork() const {
  return (Open_ && (Stopping_ || Failed_)) || Count() >= 2;
}
