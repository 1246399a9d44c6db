// The byte level of recording files: cipher, chunk framing and record layouts.
#include "recording/ParamCodec.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <random>

#include "recording/QVLaserParam_Bin.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes randomBytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(gen());
  return b;
}

// Made once with: printf '0123456789abcdef' | openssl enc -des-ecb -provider legacy
//   -provider default -K 51564c6173657250 -nopad   (the key is "QVLaserP", the first 8 bytes)
TEST(DesEcb, MatchesAnIndependentImplementation) {
  const std::string plain = "0123456789abcdef";
  const Bytes expected = {0xdc, 0xbd, 0x06, 0x9a, 0xca, 0xf8, 0x21, 0xd2,
                          0xdb, 0x26, 0x38, 0xc3, 0xb8, 0x4c, 0x2c, 0xb5};
  Bytes out(16);
  qv::desEcbEncrypt({reinterpret_cast<const uint8_t*>(plain.data()), 16}, out.data());
  EXPECT_EQ(out, expected);
  Bytes back(16);
  qv::desEcbDecrypt(out, back.data());
  EXPECT_EQ(std::string(back.begin(), back.end()), plain);
}

// Incompressible input makes zlib store it: stream = 2 + 5 + L + 4 bytes. 1019 bytes therefore
// give a 1030-byte stream, which must be framed as 1032 enciphered bytes with a zero fill.
TEST(PackChunk, LengthWordCoversTheZeroFilledStream) {
  const Bytes plain = randomBytes(1019, 7);
  Bytes pack, out = {0xAA};  // appends after what is there
  ASSERT_TRUE(qv::packChunk(plain, pack, out));
  ASSERT_EQ(out.size(), 1u + 2 + 1032);
  EXPECT_EQ(out[0], 0xAA);
  EXPECT_EQ(qv::getLe16(out.data() + 1), 1032);

  Bytes packed(1032);
  qv::desEcbDecrypt({out.data() + 3, 1032}, packed.data());
  z_stream zs{};
  ASSERT_EQ(inflateInit(&zs), Z_OK);
  Bytes inflated(2000);
  zs.next_in = packed.data();
  zs.avail_in = 1032;
  zs.next_out = inflated.data();
  zs.avail_out = 2000;
  EXPECT_EQ(inflate(&zs, Z_FINISH), Z_STREAM_END);
  EXPECT_EQ(zs.total_in, 1030u);
  EXPECT_EQ(zs.total_out, 1019u);
  inflateEnd(&zs);
  EXPECT_EQ(packed[1030], 0);
  EXPECT_EQ(packed[1031], 0);
  inflated.resize(1019);
  EXPECT_EQ(inflated, plain);
}

TEST(UnpackChunk, RoundTripTruncationAndDamage) {
  Bytes plain(2058);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 7 / 13);
  Bytes pack, framed;
  ASSERT_TRUE(qv::packChunk(plain, pack, framed));
  const std::span<const uint8_t> body(framed.data() + 2, framed.size() - 2);
  Bytes got;
  std::string err;

  EXPECT_EQ(qv::unpackChunk(body, got, err), qv::ChunkStatus::kOk);
  EXPECT_EQ(got, plain);

  // Cut at a block boundary: what inflates is a true prefix of the plain bytes.
  const size_t half = body.size() / 2 / 8 * 8;
  EXPECT_EQ(qv::unpackChunk(body.first(half), got, err), qv::ChunkStatus::kTruncated);
  ASSERT_LE(got.size(), plain.size());
  EXPECT_TRUE(std::equal(got.begin(), got.end(), plain.begin()));

  // A damaged block in the middle is caught by zlib or its checksum, never passed on.
  Bytes damaged(body.begin(), body.end());
  damaged[half] ^= 0x40;
  EXPECT_EQ(qv::unpackChunk(damaged, got, err), qv::ChunkStatus::kCorrupt);
  EXPECT_TRUE(got.empty());
  EXPECT_FALSE(err.empty());

  EXPECT_EQ(qv::unpackChunk({}, got, err), qv::ChunkStatus::kTruncated);
  EXPECT_TRUE(got.empty());
}

TEST(Records, LittleEndianLayout) {
  TLaserParams s;
  s.TimeOffset = -2;  // 0xFFFFFFFE
  s.Value = qv::paramValue(1.5);  // 0x3FF8000000000000
  s.Code = 0x1234;
  uint8_t bytes[14];
  qv::encodeSample(s, bytes);
  const Bytes expectedSample = {0xFE, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F, 0x34, 0x12};
  EXPECT_EQ(Bytes(bytes, bytes + 14), expectedSample);
  const TLaserParams back = qv::decodeSample(bytes);
  EXPECT_EQ(+back.TimeOffset, -2);
  EXPECT_EQ(qv::paramDouble(back.Value), 1.5);
  EXPECT_EQ(+back.Code, 0x1234);

  TParamFileHeader h;
  h.HeadSerial = 0x0102;
  h.LaserSerial = 0x0304;
  h.RunningMinutes = 0x05060708;
  h.Diode1Minutes = 0xFFFFFFFF;
  h.Diode2Minutes = 0x090A0B0C;
  h.StartTime = 0x1122334455667788;
  uint8_t hb[25];
  qv::encodeHeader(h, hb);
  const Bytes expectedHeader = {0,    0x02, 0x01, 0x04, 0x03, 0x08, 0x07, 0x06, 0x05,
                                0xFF, 0xFF, 0xFF, 0xFF, 0x0C, 0x0B, 0x0A, 0x09, 0x88,
                                0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11};
  EXPECT_EQ(Bytes(hb, hb + 25), expectedHeader);
  const TParamFileHeader hback = qv::decodeHeader(hb);
  EXPECT_EQ(+hback.HeadSerial, +h.HeadSerial);
  EXPECT_EQ(+hback.Diode2Minutes, +h.Diode2Minutes);
  EXPECT_EQ(+hback.StartTime, +h.StartTime);
}

}  // namespace
