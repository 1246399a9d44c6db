// Test helpers for recording files: whole-file access and a file built
// directly from the codec (independent of the recorder thread).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recording/QVLaserParam_Bin.h"

namespace qvtest {

using Bytes = std::vector<uint8_t>;

Bytes readBytes(const std::string& path);
void writeBytes(const std::string& path, const Bytes& bytes);

// Signature, header and the samples in chunks of the given sizes.
Bytes buildRecording(const TParamFileHeader& header, const std::vector<TLaserParams>& samples,
                     const std::vector<size_t>& chunkSizes);

TLaserParams sampleAt(int32_t offset, int16_t code, double value);

}  // namespace qvtest
