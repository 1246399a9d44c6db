#include "recording/ParamCodec.h"

// The low-level DES interface is deprecated in OpenSSL 3 but, unlike the EVP one, needs no legacy
// provider at run time.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>
#include <zlib.h>

#include <cstring>

namespace qv {

void putLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void putLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void putLe64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t getLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t getLe32(const uint8_t* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

uint64_t getLe64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

namespace {

const DES_key_schedule& keySchedule() {
  static const DES_key_schedule schedule = [] {
    DES_cblock key;
    std::memcpy(key, kRecordingKey.data(), sizeof key);
    DES_key_schedule ks;
    // Unchecked: the key's low bits are text, not odd parity, and are ignored anyway.
    DES_set_key_unchecked(&key, &ks);
    return ks;
  }();
  return schedule;
}

void desEcb(std::span<const uint8_t> in, uint8_t* out, int direction) {
  const DES_key_schedule& ks = keySchedule();
  for (size_t i = 0; i + 8 <= in.size(); i += 8) {
    DES_cblock block, result;
    std::memcpy(block, in.data() + i, 8);
    DES_ecb_encrypt(&block, &result, const_cast<DES_key_schedule*>(&ks), direction);
    std::memcpy(out + i, result, 8);
  }
}

}  // namespace

void desEcbEncrypt(std::span<const uint8_t> in, uint8_t* out) { desEcb(in, out, DES_ENCRYPT); }
void desEcbDecrypt(std::span<const uint8_t> in, uint8_t* out) { desEcb(in, out, DES_DECRYPT); }

bool packChunk(std::span<const uint8_t> plain, std::vector<uint8_t>& pack,
               std::vector<uint8_t>& out) {
  if (plain.size() > kMaxChunkPlain) return false;
  uLongf packed = compressBound(static_cast<uLong>(plain.size()));
  pack.resize(packed);
  if (compress2(pack.data(), &packed, plain.data(), static_cast<uLong>(plain.size()),
                Z_DEFAULT_COMPRESSION) != Z_OK)
    return false;
  const size_t n = (packed + 7) / 8 * 8;
  if (n > 0xFFFF) return false;
  pack.resize(packed);
  pack.resize(n, 0);  // zero fill of the last block
  const size_t at = out.size();
  out.resize(at + 2 + n);
  putLe16(out.data() + at, static_cast<uint16_t>(n));
  desEcbEncrypt(pack, out.data() + at + 2);
  return true;
}

ChunkStatus unpackChunk(std::span<const uint8_t> enciphered, std::vector<uint8_t>& plain,
                        std::string& error) {
  plain.clear();
  const size_t blocks = enciphered.size() / 8 * 8;
  std::vector<uint8_t> packed(blocks);
  desEcbDecrypt(enciphered.first(blocks), packed.data());

  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) {
    error = "zlib could not be initialised";
    return ChunkStatus::kCorrupt;
  }
  zs.next_in = packed.data();
  zs.avail_in = static_cast<uInt>(packed.size());
  uint8_t window[4096];
  int rc = Z_OK;
  while (rc == Z_OK) {
    zs.next_out = window;
    zs.avail_out = sizeof window;
    rc = inflate(&zs, Z_NO_FLUSH);
    plain.insert(plain.end(), window, window + (sizeof window - zs.avail_out));
    // Z_BUF_ERROR with input left would mean no progress; with none left the stream ended early.
    if (rc == Z_BUF_ERROR && zs.avail_in == 0) break;
  }
  const char* msg = zs.msg;
  inflateEnd(&zs);
  if (rc == Z_STREAM_END) return ChunkStatus::kOk;
  if ((rc == Z_BUF_ERROR || rc == Z_OK) && zs.avail_in == 0) return ChunkStatus::kTruncated;
  error = msg ? msg : "invalid compressed data";
  plain.clear();
  return ChunkStatus::kCorrupt;
}

}  // namespace qv
