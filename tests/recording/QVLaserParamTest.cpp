// The parameter buffer and its recorder thread, checked through the files they write.
#include "recording/QVLaserParam.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <bit>
#include <csignal>
#include <filesystem>
#include <memory>
#include <random>

#include "RecordingFiles.h"
#include "recording/ParamFileReader.h"
#include "support/MainLoop.h"
#include "support/TempDir.h"

namespace {

constexpr int kDeadlineMs = 30000;
// Low 32 bits 0xFFFFF000: recordings of more than 4 s cross their wrap.
constexpr int64_t kStart = 0x18FFFFF000;

TParamFileHeader headerAt(int64_t start) {
  TParamFileHeader h;
  h.HeadSerial = 157;
  h.LaserSerial = 4711;
  h.RunningMinutes = 600;
  h.Diode1Minutes = 61;
  h.StartTime = start;
  return h;
}

uintmax_t fileSize(const std::string& path) {
  std::error_code ec;
  const auto n = std::filesystem::file_size(path, ec);
  return ec ? 0 : n;
}

class ParamBufferTest : public ::testing::Test {
 protected:
  ParamBufferTest() {
    buffer_->OnFinished = [this](TObject* sender) {
      EXPECT_EQ(sender, buffer_.get());
      ++finished_;
    };
    buffer_->OnWriteError = [this](TObject*, const std::string& message) {
      errors_.push_back(message);
    };
  }

  void start(int64_t startTime = kStart) {
    std::string why;
    ASSERT_TRUE(buffer_->Start(path_, headerAt(startTime), &why)) << why;
  }

  // Sample i: code 60 + i % 7, value i / 4, taken i ms after the start.
  void add(int from, int to) {
    for (int i = from; i < to; ++i)
      buffer_->AddSample(static_cast<int16_t>(60 + i % 7), qv::paramValue(i / 4.0), kStart + i);
  }

  void stopAndWait() {
    const int before = finished_;
    buffer_->Stop();
    ASSERT_TRUE(qv::test::pumpUntil([&] { return finished_ > before; }, kDeadlineMs));
  }

  static void expectSamples(const qv::ParamFileContents& c, int n) {
    ASSERT_EQ(c.samples.size(), static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(+c.samples[i].params.Code, 60 + i % 7) << i;
      EXPECT_EQ(qv::paramDouble(c.samples[i].params.Value), i / 4.0) << i;
      EXPECT_EQ(+c.samples[i].params.TimeOffset, i) << i;
    }
  }

  qv::test::TempDir dir_;
  std::string path_ = dir_.file("rec.qlp");
  std::unique_ptr<TLaserParamBuffer> buffer_ = std::make_unique<TLaserParamBuffer>();
  int finished_ = 0;
  std::vector<std::string> errors_;
};

TEST_F(ParamBufferTest, StartThenStopLeavesSignatureAndHeaderOnly) {
  start();
  stopAndWait();
  EXPECT_EQ(fileSize(path_), 44u);
  const auto c = qv::readParamFile(path_);
  ASSERT_TRUE(c.opened);
  EXPECT_EQ(c.error, "");
  EXPECT_EQ(c.chunks, 0u);
  EXPECT_EQ(+c.header.StartTime, kStart);
  EXPECT_EQ(+c.header.HeadSerial, 157);
  EXPECT_EQ(+c.header.Diode1Minutes, 61u);
  EXPECT_EQ(+c.header.Diode2Minutes, 0xFFFFFFFFu);
  // No second finish, and a stop while idle does nothing.
  buffer_->Stop();
  EXPECT_FALSE(qv::test::pumpUntil([&] { return finished_ > 1; }, 200));
  EXPECT_EQ(finished_, 1);
  EXPECT_TRUE(errors_.empty());
}

// Chunks hold exactly 147 samples; only the last can hold fewer, and none is empty.
TEST_F(ParamBufferTest, ChunksOf147) {
  const struct {
    int samples;
    size_t chunks;
  } cases[] = {{1, 1}, {146, 1}, {147, 1}, {148, 2}, {294, 2}, {295, 3}, {5000, 35}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.samples);
    start();
    add(0, k.samples);
    stopAndWait();
    const auto c = qv::readParamFile(path_);
    EXPECT_EQ(c.error, "");
    EXPECT_EQ(c.chunks, k.chunks);
    expectSamples(c, k.samples);
  }
  EXPECT_TRUE(errors_.empty());
}

// The newest sample waits for a newer one: 147 queued samples write nothing yet (146 are
// taken, 2044 bytes), the 148th lets the 147th go and completes the first chunk.
TEST_F(ParamBufferTest, NewestSampleWaitsForANewerOne) {
  start();
  add(0, 147);
  ASSERT_TRUE(qv::test::waitUntil([&] { return buffer_->Count() == 1; }, kDeadlineMs));
  EXPECT_EQ(fileSize(path_), 44u);
  add(147, 148);
  ASSERT_TRUE(qv::test::waitUntil([&] { return fileSize(path_) > 44; }, kDeadlineMs));
  EXPECT_EQ(buffer_->Count(), 1);
  stopAndWait();
  const auto c = qv::readParamFile(path_);
  EXPECT_EQ(c.chunks, 2u);
  expectSamples(c, 148);
}

TEST_F(ParamBufferTest, OffsetsCountAcrossTheWrapOfTheLow32Bits) {
  start();
  const int64_t times[] = {kStart + 1500, kStart + 0x1000, kStart + 0x1234, kStart + 86400000};
  for (int64_t t : times) buffer_->AddSample(1, qv::paramValue(0), t);
  stopAndWait();
  const auto c = qv::readParamFile(path_);
  ASSERT_EQ(c.samples.size(), 4u);
  EXPECT_EQ(+c.samples[0].params.TimeOffset, 1500);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(c.samples[i].time, times[i]);
}

TEST_F(ParamBufferTest, SecondRecordingStartsClean) {
  start();
  add(0, 300);
  buffer_->Stop();
  add(300, 310);  // after the stop: not part of any recording
  ASSERT_TRUE(qv::test::pumpUntil([&] { return finished_ == 1; }, kDeadlineMs));
  const std::string first = path_;
  path_ = dir_.file("second.qlp");
  start(kStart + 5);
  EXPECT_EQ(buffer_->StartTime(), kStart + 5);
  EXPECT_EQ(buffer_->Count(), 0);
  buffer_->AddSample(99, qv::paramValue(1), kStart + 6);
  stopAndWait();
  const auto c = qv::readParamFile(path_);
  EXPECT_EQ(+c.header.StartTime, kStart + 5);
  ASSERT_EQ(c.samples.size(), 1u);
  EXPECT_EQ(+c.samples[0].params.Code, 99);
  EXPECT_EQ(+c.samples[0].params.TimeOffset, 1);
  expectSamples(qv::readParamFile(first), 300);
}

TEST_F(ParamBufferTest, StartFailsAndSaysWhy) {
  const struct {
    std::string path;
    const char* reason;
  } cases[] = {{dir_.file("no/such/folder.qlp"), "No such file or directory"},
               {dir_.path(), "Is a directory"},
               {"/dev/full", "No space left on device"}};
  for (const auto& k : cases) {
    std::string why;
    EXPECT_FALSE(buffer_->Start(k.path, headerAt(kStart), &why)) << k.path;
    EXPECT_NE(why.find(k.reason), std::string::npos) << why;
    EXPECT_FALSE(buffer_->Recording());
  }
  // Still idle and usable; and a second Start while recording is refused.
  start();
  std::string why;
  EXPECT_FALSE(buffer_->Start(dir_.file("other.qlp"), headerAt(kStart), &why));
  EXPECT_FALSE(why.empty());
  stopAndWait();
  EXPECT_EQ(finished_, 1);
}

// The file may grow by one chunk and a bit; the second chunk fails half written. The recording
// ends with the error event, the partial chunk is cut off again, and later samples are dropped.
TEST_F(ParamBufferTest, WriteFailureEndsTheRecordingAndKeepsWhatWasWritten) {
  std::mt19937_64 gen(3);  // values that do not compress: a chunk is about 2070 bytes
  start();
  auto addRandom = [&](int n) {
    for (int i = 0; i < n; ++i)
      buffer_->AddSample(5, qv::paramValue(std::bit_cast<double>(gen() >> 2)), kStart + i);
  };
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit = old;
  limit.rlim_cur = 44 + 2200 + 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  addRandom(148);
  ASSERT_TRUE(qv::test::waitUntil([&] { return fileSize(path_) > 44; }, kDeadlineMs));
  const uintmax_t oneChunk = fileSize(path_);
  addRandom(200);
  const bool ended = qv::test::pumpUntil([&] { return finished_ == 1; }, kDeadlineMs);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldSignal);
  ASSERT_TRUE(ended);

  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_NE(errors_[0].find("File too large"), std::string::npos) << errors_[0];
  EXPECT_NE(errors_[0].find(path_), std::string::npos) << errors_[0];
  EXPECT_FALSE(buffer_->Recording());
  EXPECT_EQ(fileSize(path_), oneChunk);
  const auto c = qv::readParamFile(path_);
  EXPECT_EQ(c.error, "");
  EXPECT_EQ(c.chunks, 1u);
  EXPECT_EQ(c.samples.size(), 147u);

  // The console's stop after the event changes nothing; samples go nowhere.
  addRandom(10);
  buffer_->Stop();
  EXPECT_FALSE(qv::test::pumpUntil([&] { return finished_ > 1; }, 200));
  EXPECT_EQ(buffer_->Count(), 0);
  EXPECT_EQ(fileSize(path_), oneChunk);
  // And the next recording works.
  path_ = dir_.file("after.qlp");
  start();
  add(0, 3);
  stopAndWait();
  expectSamples(qv::readParamFile(path_), 3);
}

// Stops and samples that arrive while the thread is about to park must neither hang the finish
// nor lose a sample: many short recordings, each read back whole.
TEST_F(ParamBufferTest, ShortRecordingsBackToBackAllFinishComplete) {
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    start();
    const int n = round % 4;
    add(0, n);
    stopAndWait();
    const auto c = qv::readParamFile(path_);
    EXPECT_EQ(c.error, "");
    expectSamples(c, n);
    if (HasFailure()) break;
  }
  EXPECT_EQ(finished_, 300);
}

// Destroying the buffer during a recording or right after Stop still writes every sample.
TEST_F(ParamBufferTest, DestructionCompletesTheFile) {
  for (const bool stopFirst : {true, false}) {
    SCOPED_TRACE(stopFirst);
    buffer_ = std::make_unique<TLaserParamBuffer>();
    start();
    add(0, 200);
    if (stopFirst) buffer_->Stop();
    buffer_.reset();
    const auto c = qv::readParamFile(path_);
    EXPECT_EQ(c.error, "");
    EXPECT_EQ(c.chunks, 2u);
    expectSamples(c, 200);
  }
}

}  // namespace
