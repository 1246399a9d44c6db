#include "RecordingFiles.h"

#include <gtest/gtest.h>
#include <fstream>
#include <iterator>

#include "recording/ParamCodec.h"

namespace qvtest {

Bytes readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes buildRecording(const TParamFileHeader& header, const std::vector<TLaserParams>& samples,
                     const std::vector<size_t>& chunkSizes) {
  Bytes file(qv::kParamFileSignature.begin(), qv::kParamFileSignature.end());
  file.resize(qv::kFilePrologueSize);
  qv::encodeHeader(header, file.data() + qv::kSignatureSize);
  size_t next = 0;
  Bytes plain, pack;
  for (size_t n : chunkSizes) {
    plain.assign(n * qv::kSampleSize, 0);
    for (size_t i = 0; i < n; ++i)
      qv::encodeSample(samples.at(next++), plain.data() + i * qv::kSampleSize);
    EXPECT_TRUE(qv::packChunk(plain, pack, file));
  }
  return file;
}

TLaserParams sampleAt(int32_t offset, int16_t code, double value) {
  TLaserParams s;
  s.TimeOffset = offset;
  s.Code = code;
  s.Value = qv::paramValue(value);
  return s;
}

}  // namespace qvtest
