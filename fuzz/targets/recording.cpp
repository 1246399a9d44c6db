// Recording files: any file reads back without a crash, whole or chunk by chunk, and both ways
// agree; a recording written by the recorder thread from any samples reads back the same
// samples, in order, with their times.
//
// Input: mode byte; odd: the rest is a file to read. Even: a 25-byte header, then samples of
// 12 bytes (code 2, value 8, time step 2) to record and read back.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "FuzzInput.h"
#include "link/QVUtils.h"
#include "platform/Clock.h"
#include "recording/ParamCodec.h"
#include "recording/ParamFileReader.h"
#include "recording/QVLaserParam.h"

namespace {

std::string scratchFile(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/qv-fuzz-" + std::to_string(::getpid()) + "-" +
         name;
}

void readAny(const std::string& bytes) {
  static const std::string path = scratchFile("read.qlp");
  {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  const qv::ParamFileContents whole = qv::readParamFile(path);
  qv::ParamFileReader reader;
  size_t samples = 0;
  if (reader.open(path)) {
    std::vector<qv::RecordedSample> chunk;
    while (reader.nextChunk(chunk)) samples += chunk.size();
  }
  if (whole.opened && (samples != whole.samples.size() || reader.chunks() != whole.chunks))
    qv::fuzz::fail("reading whole and chunk by chunk disagree");
  if (!whole.opened && !whole.samples.empty()) qv::fuzz::fail("samples from a file not opened");
  std::remove(path.c_str());
}

// The absolute time of an offset, wrapping at the end of the range as the reader does.
int64_t at(int64_t start, int32_t offset) {
  return static_cast<int64_t>(static_cast<uint64_t>(start) + static_cast<uint32_t>(offset));
}

void roundTrip(qv::fuzz::Input& in) {
  static const std::string path = scratchFile("write.qlp");
  TParamFileHeader header;
  const std::string h = in.take(sizeof header);
  std::memcpy(&header, h.data(), h.size());
  std::vector<TLaserParams> want;
  int64_t time = header.StartTime;
  while (in.left() >= 12 && want.size() < 2000) {
    const std::string s = in.take(12);
    const auto* b = reinterpret_cast<const uint8_t*>(s.data());
    TLaserParams p;
    p.Code = static_cast<int16_t>(qv::getLe16(b));
    std::memcpy(p.Value.data(), b + 2, 8);
    time = static_cast<int64_t>(static_cast<uint64_t>(time) + qv::getLe16(b + 10));
    p.TimeOffset =
        static_cast<int32_t>(static_cast<uint32_t>(time) - static_cast<uint32_t>(header.StartTime));
    want.push_back(p);
  }

  TLaserParamBuffer buffer;
  bool finished = false;
  buffer.OnFinished = [&](TObject*) { finished = true; };
  std::string why;
  if (!buffer.Start(path, header, &why)) qv::fuzz::fail("the recording did not start", why);
  for (const TLaserParams& p : want)
    buffer.AddSample(p.Code, p.Value, at(header.StartTime, p.TimeOffset));
  buffer.Stop();
  const int64_t end = qv::counterNow() + 10 * qv::counterFrequency();
  while (!finished && qv::counterNow() < end) CheckSynchronize(10);
  if (!finished) qv::fuzz::fail("the recording did not finish");

  const qv::ParamFileContents got = qv::readParamFile(path);
  std::remove(path.c_str());
  if (!got.opened || !got.error.empty()) qv::fuzz::fail("a recording did not read back", got.error);
  if (std::memcmp(&got.header, &header, sizeof header) != 0)
    qv::fuzz::fail("the header did not read back");
  if (got.samples.size() != want.size()) qv::fuzz::fail("samples lost or added");
  for (size_t i = 0; i < want.size(); ++i) {
    const TLaserParams& g = got.samples[i].params;
    if (g.Code != want[i].Code || g.Value != want[i].Value || g.TimeOffset != want[i].TimeOffset)
      qv::fuzz::fail("a sample changed");
    if (got.samples[i].time != at(header.StartTime, want[i].TimeOffset))
      qv::fuzz::fail("a sample's time changed");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::fuzz::Input in(data, size);
  if (in.byte() & 1)
    readAny(in.rest());
  else
    roundTrip(in);
  return 0;
}
