// The window's command line and the options dialog's port text: any arguments and any text are
// taken or ignored, and what is taken lies in its range.
//
// Input: arguments separated by 0 bytes; the first one is also the port text.
#include <cstdint>

#include "FuzzInput.h"
#include "shell/CommandLine.h"
#include "shell/SetOption.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::fuzz::Input in(data, size);
  std::vector<std::string> args;
  while (!in.empty() && args.size() < 64) args.push_back(in.text());

  const qv::CommandLineOverrides o = qv::parseCommandLine(args);
  if (o.port && (*o.port < 1 || *o.port > 256)) qv::fuzz::fail("a port outside 1..256 taken");
  std::vector<const char*> argv{"QVLaserControlv4"};  // the program's name comes first
  for (const std::string& a : args) argv.push_back(a.c_str());
  const qv::CommandLineOverrides o2 =
      qv::parseCommandLine(static_cast<int>(argv.size()), argv.data());
  // The C form sees each argument up to its first 0 byte, which the splitting above removed.
  if (o2.port != o.port || o2.left != o.left || o2.top != o.top || o2.memLeaks != o.memLeaks)
    qv::fuzz::fail("the two forms of the command line disagree");

  std::vector<std::string> rest = args;
  const qv::CommandLineOverrides o3 = qv::extractCommandLineOverrides(rest);
  if (rest.size() > args.size()) qv::fuzz::fail("extracting added arguments");
  if (o3.port && (*o3.port < 1 || *o3.port > 256))
    qv::fuzz::fail("a port outside 1..256 extracted");

  for (const std::string& a : args) {
    if (const auto n = ParseLaserPortText(a); n && (*n < 1 || *n > 256))
      qv::fuzz::fail("a port text outside COM1..COM256 taken", a);
    (void)qv::parseSignedDecimal(a);
    TOptionFrm form;
    form.LaserPortText = a;
    form.DelayedCheckSerialPort();
    const bool ok = form.BitBtn1Click();
    if (ok && (form.LaserPortTag < 1 || form.LaserPortTag > 256))
      qv::fuzz::fail("the options dialog took a port outside 1..256", a);
  }
  return 0;
}
