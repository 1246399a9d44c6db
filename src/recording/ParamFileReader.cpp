#include "recording/ParamFileReader.h"

#include <cstring>

#include "recording/ParamCodec.h"

namespace qv {

namespace {

size_t readUpTo(std::ifstream& in, uint8_t* buf, size_t n) {
  in.read(reinterpret_cast<char*>(buf), static_cast<std::streamsize>(n));
  return static_cast<size_t>(in.gcount());
}

}  // namespace

bool ParamFileReader::fail(std::string why) {
  error_ = std::move(why) + " at offset " + std::to_string(offset_);
  done_ = true;
  return false;
}

bool ParamFileReader::open(const std::string& path) {
  error_.clear();
  offset_ = 0;
  chunks_ = 0;
  header_ = {};
  in_.close();
  in_.clear();
  in_.open(path, std::ios::binary);
  if (!in_) {
    error_ = "cannot open " + path + ": " + std::strerror(errno);
    done_ = true;
    return false;
  }
  done_ = false;
  uint8_t prologue[kFilePrologueSize];
  const size_t got = readUpTo(in_, prologue, sizeof prologue);
  if (got < kSignatureSize ||
      std::memcmp(prologue, kParamFileSignature.data(), kSignatureSize) != 0)
    return fail("not a recording file (signature missing)");
  if (got < kFilePrologueSize) {
    offset_ = kSignatureSize;
    return fail("header truncated");
  }
  header_ = decodeHeader(prologue + kSignatureSize);
  offset_ = kFilePrologueSize;
  return true;
}

bool ParamFileReader::nextChunk(std::vector<RecordedSample>& out) {
  out.clear();
  if (done_) return false;
  uint8_t word[2];
  const size_t got = readUpTo(in_, word, 2);
  if (got == 0) {
    done_ = true;  // clean end of the file
    return false;
  }
  if (got == 1) return fail("chunk length word truncated");
  const size_t n = getLe16(word);
  if (n == 0 || n % 8 != 0) return fail("bad chunk length " + std::to_string(n));

  std::vector<uint8_t> enciphered(n);
  const size_t have = readUpTo(in_, enciphered.data(), n);
  enciphered.resize(have);
  std::vector<uint8_t> plain;
  std::string zerr;
  const ChunkStatus status = unpackChunk(enciphered, plain, zerr);
  if (status == ChunkStatus::kCorrupt) return fail("corrupt chunk (" + zerr + ")");

  const int64_t start = header_.StartTime;
  for (size_t at = 0; at + kSampleSize <= plain.size(); at += kSampleSize) {
    RecordedSample s;
    s.params = decodeSample(plain.data() + at);
    // Added without sign: a damaged header's start time near the end of the range wraps
    // instead of overflowing.
    s.time = static_cast<int64_t>(static_cast<uint64_t>(start) +
                                  static_cast<uint32_t>(s.params.TimeOffset));
    out.push_back(s);
  }
  ++chunks_;

  std::string fault;
  if (have < n)
    fault = "chunk truncated (" + std::to_string(have) + " of " + std::to_string(n) + " bytes)";
  else if (status == ChunkStatus::kTruncated)
    fault = "chunk's compressed stream incomplete";
  else if (plain.size() % kSampleSize != 0)
    fault = "chunk holds a partial sample";
  if (!fault.empty()) {
    fail(fault);
    return !out.empty();
  }
  offset_ += 2 + n;
  return true;
}

ParamFileContents readParamFile(const std::string& path) {
  ParamFileContents c;
  ParamFileReader reader;
  c.opened = reader.open(path);
  if (c.opened) {
    c.header = reader.header();
    std::vector<RecordedSample> chunk;
    while (reader.nextChunk(chunk)) c.samples.insert(c.samples.end(), chunk.begin(), chunk.end());
  }
  c.chunks = reader.chunks();
  c.error = reader.error();
  c.stoppedAt = reader.offset();
  return c;
}

}  // namespace qv
