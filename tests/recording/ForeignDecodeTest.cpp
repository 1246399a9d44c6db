// A recording written by the buffer, decoded by tools that are not ours: Python's struct and zlib
// and the openssl command (DES-ECB from its legacy provider). Skipped when they are missing.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "recording/QVLaserParam.h"
#include "support/MainLoop.h"
#include "support/TempDir.h"

namespace {

constexpr const char* kDecoder = R"PY(
import struct, subprocess, sys, zlib
KEY = b"QVLaserParamsKey"[:8].hex()   # DES uses the first 8 bytes of the key text
def des_ecb_decrypt(data):
    return subprocess.run(["openssl", "enc", "-d", "-des-ecb", "-provider", "legacy",
                           "-provider", "default", "-K", KEY, "-nopad"],
                          input=data, capture_output=True, check=True).stdout
try:
    des_ecb_decrypt(bytes(8))
except (OSError, subprocess.CalledProcessError):
    sys.exit(77)
data = open(sys.argv[1], "rb").read()
if data[:19] != b"QuorvaneLaserParams":
    sys.exit("bad signature")
print("H %d %d %d %d %d %d %d" % struct.unpack("<BHHIIIq", data[19:44]))
pos = 44
while pos < len(data):
    (n,) = struct.unpack("<H", data[pos:pos + 2])
    body = data[pos + 2:pos + 2 + n]
    pos += 2 + n
    if n % 8 or len(body) != n:
        sys.exit("bad chunk length %d" % n)
    z = zlib.decompressobj()
    plain = z.decompress(des_ecb_decrypt(body))
    if not z.eof or len(z.unused_data) >= 8 or any(z.unused_data):
        sys.exit("stream not followed by a zero fill only")
    print("C %d" % (len(plain) // 14))
    for i in range(0, len(plain), 14):
        off, value, code = struct.unpack("<i8sh", plain[i:i + 14])
        print("S %d %d %s" % (off, code, value.hex()))
)PY";

std::string hex(const TParamValue& v) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (uint8_t b : v) {
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s;
}

TEST(ForeignDecode, PythonZlibAndOpensslReadTheFileByteForByte) {
  qv::test::TempDir dir;
  const std::string file = dir.file("foreign.qlp");
  const std::string script = dir.file("decode.py");
  std::ofstream(script) << kDecoder;

  TParamFileHeader h;
  h.HeadSerial = 0xBEEF;
  h.LaserSerial = 321;
  h.RunningMinutes = 123456;
  h.Diode1Minutes = 7;
  h.StartTime = 1394028429123;  // 2014-03-05 14:07:09.123 UTC
  std::ostringstream expected;
  expected << "H 0 48879 321 123456 7 4294967295 1394028429123\n";

  TLaserParamBuffer buffer;
  int finished = 0;
  buffer.OnFinished = [&](TObject*) { ++finished; };
  std::string why;
  ASSERT_TRUE(buffer.Start(file, h, &why)) << why;
  const int total = 300;  // chunks of 147, 147 and 6
  for (int i = 0; i < total; ++i) {
    if (i % 147 == 0) expected << "C " << (i + 147 <= total ? 147 : total - i) << "\n";
    TParamValue v = qv::paramValue(i * 1.25 - 40);
    if (i % 50 == 3) v = TParamValue{1, 2, 3, 0xF4, 5, 6, 7, 8};  // a packed code list
    const int16_t code = static_cast<int16_t>(i % 3 ? 60 + i % 9 : -2);
    buffer.AddSample(code, v, h.StartTime + i * 250);
    expected << "S " << i * 250 << " " << code << " " << hex(v) << "\n";
  }
  buffer.Stop();
  ASSERT_TRUE(qv::test::pumpUntil([&] { return finished == 1; }, 30000));

  FILE* p = popen(("python3 " + script + " " + file + " 2>&1").c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char line[512];
  while (fgets(line, sizeof line, p)) out += line;
  const int status = pclose(p);
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (code == 127 || code == 77) GTEST_SKIP() << "python3 or openssl with DES-ECB not available";
  ASSERT_EQ(code, 0) << out;
  EXPECT_EQ(out, expected.str());
}

}  // namespace
