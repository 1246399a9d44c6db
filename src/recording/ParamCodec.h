// Byte-level pieces of the recording file: little-endian numbers, the DES-ECB cipher under the
// program's key, and the chunk codec (zlib stream, zero fill to 8 bytes, encipher, length word).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The program's fixed recording key; the DES key schedule uses its first 8 bytes.
inline constexpr std::string_view kRecordingKey = "QVLaserParamsKey";

// Little-endian stores and loads, independent of the host's byte order.
void putLe16(uint8_t* p, uint16_t v);
void putLe32(uint8_t* p, uint32_t v);
void putLe64(uint8_t* p, uint64_t v);
uint16_t getLe16(const uint8_t* p);
uint32_t getLe32(const uint8_t* p);
uint64_t getLe64(const uint8_t* p);

// DES in electronic-codebook mode under kRecordingKey. The size of data must be a multiple of 8.
// Works in place when in and out are the same buffer.
void desEcbEncrypt(std::span<const uint8_t> in, uint8_t* out);
void desEcbDecrypt(std::span<const uint8_t> in, uint8_t* out);

// Largest plain content that packChunk accepts: its length word must fit 16 bits.
inline constexpr size_t kMaxChunkPlain = 60000;

// Compresses plain into one complete zlib stream at the default level (into pack), zero-fills it
// to a multiple of 8, enciphers it and appends the 16-bit length word and the enciphered bytes to
// out. pack is scratch space. Returns false (out unchanged) if zlib fails or plain is too large.
bool packChunk(std::span<const uint8_t> plain, std::vector<uint8_t>& pack,
               std::vector<uint8_t>& out);

// Outcome of unpacking the enciphered bytes of one chunk.
enum class ChunkStatus {
  kOk,         // one complete zlib stream, checksum verified
  kTruncated,  // the stream ends early; plain holds what inflated up to there
  kCorrupt,    // not a valid zlib stream; plain is cleared
};

// Deciphers the enciphered bytes of a chunk (their size must be a multiple of 8; a trailing
// partial block is ignored), inflates the zlib stream at their start and ignores the zero fill
// after its end. On kCorrupt, error says what zlib reported.
ChunkStatus unpackChunk(std::span<const uint8_t> enciphered, std::vector<uint8_t>& plain,
                        std::string& error);

}  // namespace qv
