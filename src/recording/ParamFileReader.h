// Reads recording files back: checks the signature, reads the header, then yields the samples
// chunk by chunk with their absolute times. A truncated or damaged file never crashes the reader:
// it returns what it could read and says where and why it stopped.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "recording/QVLaserParam_Bin.h"

namespace qv {

struct RecordedSample {
  TLaserParams params;
  int64_t time = 0;  // Unix ms: the header's start time plus the offset taken modulo 2^32
};

class ParamFileReader {
 public:
  // Opens the file, checks the signature and reads the header; false (with error()) otherwise.
  bool open(const std::string& path);
  const TParamFileHeader& header() const { return header_; }

  // Replaces out with the samples of the next chunk. False at the end of the file or at a fault
  // (error() is then set). A chunk cut short by the end of the file still yields the samples that
  // could be inflated: the call returns true with error() already set, and the next one false.
  bool nextChunk(std::vector<RecordedSample>& out);

  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }
  uint64_t offset() const { return offset_; }  // start of the chunk being read, or where it stopped
  size_t chunks() const { return chunks_; }    // chunks read so far (a salvaged one included)

 private:
  bool fail(std::string why);

  std::ifstream in_;
  TParamFileHeader header_;
  std::string error_;
  uint64_t offset_ = 0;
  size_t chunks_ = 0;
  bool done_ = true;
};

// The whole file at once, for tests and the export tool.
struct ParamFileContents {
  bool opened = false;  // signature and header were read
  TParamFileHeader header;
  std::vector<RecordedSample> samples;
  size_t chunks = 0;
  std::string error;  // empty when the file was read to its end without a fault
  uint64_t stoppedAt = 0;
};
ParamFileContents readParamFile(const std::string& path);

}  // namespace qv
