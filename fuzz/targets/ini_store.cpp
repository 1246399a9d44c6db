// The settings store: any file text parses; what the store would save parses again to the same
// sections, keys and values; a value written through the store reads back as written (line
// breaks become blanks) and survives a save.
//
// Input: file text, 0, section, 0, key, 0, value.
#include <cstdint>

#include "FuzzInput.h"
#include "platform/IniStore.h"

namespace {

void sameContent(const qv::IniStore& a, const qv::IniStore& b, const std::string& text) {
  if (a.sections() != b.sections()) qv::fuzz::fail("sections changed by a save", text);
  for (const std::string& s : a.sections()) {
    if (a.keys(s) != b.keys(s)) qv::fuzz::fail("keys changed by a save", text);
    for (const std::string& k : a.keys(s))
      if (a.readValue(s, k) != b.readValue(s, k)) qv::fuzz::fail("a value changed by a save", text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::fuzz::Input in(data, size);
  const std::string file = in.text();
  const std::string section = in.text(), key = in.text(), value = in.rest();

  qv::IniStore ini;
  ini.loadFromText(file);
  for (const std::string& s : ini.sections())
    for (const std::string& k : ini.keys(s)) {
      (void)ini.readInteger(s, k, 0);
      (void)ini.readFloat(s, k, 0.0);
      (void)ini.readBool(s, k, false);
    }
  const std::string saved = ini.text();
  qv::IniStore again;
  again.loadFromText(saved);
  sameContent(ini, again, file);
  if (again.text() != saved) qv::fuzz::fail("a second save differs from the first", file);

  // A value written by the program. Names the file format cannot hold (a line break, a "=" or
  // "]" in them, blanks around them, empty keys) are outside what the program writes.
  auto plain = [](const std::string& n) {
    if (n.empty() || n.front() <= ' ' || n.back() <= ' ' || n.front() == '#') return false;
    for (unsigned char c : n)
      if (c == '\r' || c == '\n' || c == '=' || c == '[' || c == ']' || c == ';' || c < ' ')
        return false;
    return true;
  };
  if (!plain(section) || !plain(key)) return 0;
  ini.writeString(section, key, value);
  std::string expected;
  for (char c : value) expected += (c == '\r' || c == '\n') ? ' ' : c;
  // Values are read trimmed of blanks and tabs.
  const size_t b = expected.find_first_not_of(" \t");
  expected =
      b == std::string::npos ? "" : expected.substr(b, expected.find_last_not_of(" \t") - b + 1);
  qv::IniStore written;
  written.loadFromText(ini.text());
  sameContent(ini, written, file);
  if (written.readString(section, key, "\x01") != expected)
    qv::fuzz::fail("a written value did not read back", section + "/" + key + "=" + value);
  return 0;
}
