// Reading recording files back, whole, cut short and damaged.
#include "recording/ParamFileReader.h"

#include <gtest/gtest.h>

#include "RecordingFiles.h"
#include "recording/ParamCodec.h"
#include "support/TempDir.h"

namespace {

using qvtest::Bytes;

class ParamFileReaderTest : public ::testing::Test {
 protected:
  ParamFileReaderTest() {
    header_.HeadSerial = 157;
    header_.LaserSerial = 4711;
    header_.RunningMinutes = 90061;
    header_.Diode2Minutes = 12;
    // The low 32 bits of the start are 0xFFFFFF00: the recording spans their wrap.
    header_.StartTime = 0x18FFFFFF00;
    for (int i = 0; i < 152; ++i)
      samples_.push_back(qvtest::sampleAt(i * 0x10, static_cast<int16_t>(60 + i % 5), i * 0.5));
    // More than 2^31 ms after the start: the offset counts modulo 2^32, not as a negative.
    samples_.back().TimeOffset = static_cast<int32_t>(0x80000010u);
    file_ = qvtest::buildRecording(header_, samples_, {147, 5});
    path_ = folder_.file("r.qlp");
  }

  qv::ParamFileContents readCut(size_t length) {
    qvtest::writeBytes(path_, Bytes(file_.begin(), file_.begin() + length));
    return qv::readParamFile(path_);
  }

  qv::test::TempDir folder_;
  TParamFileHeader header_;
  std::vector<TLaserParams> samples_;
  Bytes file_;
  std::string path_;
};

TEST_F(ParamFileReaderTest, ReadsHeaderSamplesAndAbsoluteTimes) {
  const auto c = readCut(file_.size());
  ASSERT_TRUE(c.opened);
  EXPECT_EQ(c.error, "");
  EXPECT_EQ(c.chunks, 2u);
  EXPECT_EQ(c.stoppedAt, file_.size());
  EXPECT_EQ(+c.header.HeadSerial, 157);
  EXPECT_EQ(+c.header.LaserSerial, 4711);
  EXPECT_EQ(+c.header.RunningMinutes, 90061u);
  EXPECT_EQ(+c.header.Diode1Minutes, 0xFFFFFFFFu);
  EXPECT_EQ(+c.header.Diode2Minutes, 12u);
  EXPECT_EQ(+c.header.StartTime, 0x18FFFFFF00);
  ASSERT_EQ(c.samples.size(), samples_.size());
  for (size_t i = 0; i < samples_.size(); ++i) {
    EXPECT_EQ(+c.samples[i].params.Code, +samples_[i].Code);
    EXPECT_EQ(c.samples[i].params.Value, samples_[i].Value);
    EXPECT_EQ(+c.samples[i].params.TimeOffset, +samples_[i].TimeOffset);
  }
  EXPECT_EQ(c.samples[16].time, 0x18FFFFFF00 + 0x100);  // past the wrap of the low 32 bits
  EXPECT_EQ(c.samples.back().time, 0x18FFFFFF00 + 0x80000010);
}

// Every possible cut: never a crash, never a sample that was not in the file, every complete
// chunk before the cut read back, and a clean result only at the chunk boundaries.
TEST_F(ParamFileReaderTest, EveryTruncationReturnsWhatWasThere) {
  const size_t firstEnd = 44 + 2 + qv::getLe16(file_.data() + 44);
  for (size_t cut = 0; cut <= file_.size(); ++cut) {
    SCOPED_TRACE(cut);
    const auto c = readCut(cut);
    if (cut < 44) {
      EXPECT_FALSE(c.opened);
      EXPECT_FALSE(c.error.empty());
      EXPECT_TRUE(c.samples.empty());
      continue;
    }
    ASSERT_TRUE(c.opened);
    const bool boundary = cut == 44 || cut == firstEnd || cut == file_.size();
    EXPECT_EQ(c.error.empty(), boundary) << c.error;
    ASSERT_LE(c.samples.size(), samples_.size());
    for (size_t i = 0; i < c.samples.size(); ++i) {
      EXPECT_EQ(c.samples[i].params.Value, samples_[i].Value);
      EXPECT_EQ(+c.samples[i].params.TimeOffset, +samples_[i].TimeOffset);
    }
    if (cut >= firstEnd) {
      EXPECT_GE(c.samples.size(), 147u);
    }
    if (!boundary) {
      EXPECT_EQ(c.stoppedAt, cut < firstEnd ? 44u : firstEnd);
    }
  }
}

TEST_F(ParamFileReaderTest, DamageStopsAtTheChunkItHits) {
  const size_t firstEnd = 44 + 2 + qv::getLe16(file_.data() + 44);
  struct Damage {
    const char* what;
    size_t at;
    uint8_t value;   // the byte at `at` becomes this one (it must differ)
    size_t samples;  // read before the stop
  };
  const Damage cases[] = {
      {"signature", 3, 'X', 0},
      {"first chunk body", 44 + 2 + 40, static_cast<uint8_t>(file_[44 + 2 + 40] ^ 1), 0},
      {"second chunk body", firstEnd + 2 + 9, static_cast<uint8_t>(file_[firstEnd + 2 + 9] ^ 0x80),
       147},
      {"second length word not a multiple of 8", firstEnd,
       static_cast<uint8_t>(file_[firstEnd] ^ 3), 147},
      {"first length word zero", 45, 0, 0},
  };
  for (const Damage& d : cases) {
    SCOPED_TRACE(d.what);
    Bytes bad = file_;
    bad[d.at] = d.value;
    if (d.at == 45) bad[44] = 0;
    qvtest::writeBytes(path_, bad);
    const auto c = qv::readParamFile(path_);
    EXPECT_FALSE(c.error.empty());
    EXPECT_EQ(c.samples.size(), d.samples);
    if (d.at >= 44) {
      EXPECT_TRUE(c.opened);
      EXPECT_EQ(c.stoppedAt, d.samples ? firstEnd : 44u);
    }
  }
}

// A damaged header may give a start time at the end of the range: the times wrap, the samples
// are all there.
TEST_F(ParamFileReaderTest, StartTimeAtTheEndOfTheRangeWraps) {
  header_.StartTime = INT64_MAX;
  qvtest::writeBytes(path_, qvtest::buildRecording(header_, samples_, {147, 5}));
  const auto c = qv::readParamFile(path_);
  EXPECT_EQ(c.error, "");
  ASSERT_EQ(c.samples.size(), samples_.size());
  EXPECT_EQ(c.samples[0].time, INT64_MAX);
  EXPECT_EQ(c.samples[1].time, INT64_MIN + 0xF);
}

TEST_F(ParamFileReaderTest, MissingFileIsReported) {
  qv::ParamFileReader reader;
  EXPECT_FALSE(reader.open(folder_.file("absent.qlp")));
  EXPECT_NE(reader.error().find("absent.qlp"), std::string::npos);
  std::vector<qv::RecordedSample> out;
  EXPECT_FALSE(reader.nextChunk(out));
}

}  // namespace
