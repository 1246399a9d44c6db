#include "extensions/ExtensionFile.h"

#include "platform/Text.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

#include "platform/IniStore.h"

namespace {

constexpr int kMaxSections = 1024;

int readInt(const qv::IniStore& ini, const std::string& section, const char* key, int def) {
  const long long v = ini.readInteger(section, key, def);
  if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return def;
  return static_cast<int>(v);
}

std::string trim(const std::string& s) { return qv::trimBlanks(s); }

// A whole piece as a signed decimal number.
std::optional<long long> parsePiece(const std::string& text) {
  if (text.empty()) return std::nullopt;
  std::size_t i = (text[0] == '+' || text[0] == '-') ? 1 : 0;
  if (i == text.size()) return std::nullopt;
  long long v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    v = v * 10 + (text[i] - '0');
    if (v > 0xFFFFFFFFLL) return std::nullopt;  // beyond any integer a file could mean
  }
  return text[0] == '-' ? -v : v;
}

// Windows-1252 bytes 0x80..0x9F and the code points they stand for.
constexpr char32_t k1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char to1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (int i = 0; i < 32; ++i)
    if (k1252High[i] == cp && cp != 0) return static_cast<char>(0x80 + i);
  return '?';
}

}  // namespace

namespace qv {

std::string extensionTextToSingleByte(const std::string& text) {
  std::string_view s(text);
  bool bom = s.size() >= 3 && static_cast<unsigned char>(s[0]) == 0xEF &&
             static_cast<unsigned char>(s[1]) == 0xBB && static_cast<unsigned char>(s[2]) == 0xBF;
  if (bom) s.remove_prefix(3);
  std::u32string cps;
  bool high = false;
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + static_cast<std::size_t>(len) > s.size()) return text;  // not UTF-8
    char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; k < len; ++k) {
      const auto c = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((c & 0xC0) != 0x80) return text;
      cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms and surrogates are not UTF-8 either.
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
        (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
      return text;
    if (len > 1) high = true;
    cps.push_back(cp);
    i += static_cast<std::size_t>(len);
  }
  if (!high && !bom) return text;
  std::string out;
  out.reserve(cps.size());
  for (char32_t cp : cps) out += to1252(cp);
  return out;
}

std::unique_ptr<TExtensionTab> loadExtension(const IniStore& ini, std::shared_ptr<TCustomizedHost> owner) {
  const std::string ext = "Extension";
  if (!ini.sectionExists(ext) || !ini.valueExists(ext, "SN")) return nullptr;
  auto tab = std::make_unique<TExtensionTab>(std::move(owner));
  tab->SetName(ini.readString(ext, "Name", "Customized"), ini.readString(ext, "CaptionCommand", ""));
  tab->SetLayout(ini.readString(ext, "Position", "Right"), readInt(ini, ext, "Width", 100),
                 readInt(ini, ext, "Height", 100), readInt(ini, ext, "SpaceX", 0),
                 readInt(ini, ext, "SpaceY", 0));
  tab->SetOnStart(ini.readString(ext, "OnStart", ""));

  // Serial numbers: comma-separated; empty pieces are skipped, the first piece that is not a
  // number (blanks only included) ends the list.
  const std::string sn = ini.readString(ext, "SN", "");
  std::size_t pos = 0;
  while (pos <= sn.size()) {
    const std::size_t comma = sn.find(',', pos);
    const std::string piece = sn.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
    if (!piece.empty()) {
      const auto n = parsePiece(trim(piece));
      if (!n) break;
      tab->AddSerialNumber(static_cast<std::uint16_t>(*n));
    }
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }

  auto readControl = [&ini](const std::string& section, bool button, TExtensionTab& t) {
    const int left = readInt(ini, section, "Left", 0);
    const int top = readInt(ini, section, "Top", 0);
    const std::string fontName = ini.readString(section, "Font.Name", "");
    const int fontSize = readInt(ini, section, "Font.Size", -1);
    const bool bold = ini.readBool(section, "Font.Bold", false);
    const bool italic = ini.readBool(section, "Font.Italic", false);
    const bool underline = ini.readBool(section, "Font.Underline", false);
    const bool strikeOut = ini.readBool(section, "Font.StrikeOut", false);
    const std::string name = ini.readString(section, "Name", section);
    if (button)
      t.AddButton(left, top, readInt(ini, section, "Width", 50), readInt(ini, section, "Height", 30),
                  fontName, fontSize, bold, italic, underline, strikeOut,
                  ini.readString(section, "Command", ""), name);
    else
      t.AddLabel(left, top, fontName, fontSize, bold, italic, underline, strikeOut,
                 ini.readString(section, "Type", ""), name);
  };
  // Missing counted sections still yield entries, so a count is all it takes to make many:
  // a count beyond any window's use is cut rather than filling memory.
  auto count = [&ini, &ext](const char* key) { return std::min(readInt(ini, ext, key, 0), kMaxSections); };
  const int buttons = count("Buttons");
  for (int i = 1; i <= buttons; ++i) readControl("Button" + std::to_string(i), true, *tab);
  const int labels = count("Labels");
  for (int i = 1; i <= labels; ++i) readControl("Label" + std::to_string(i), false, *tab);
  const int commands = count("NewCommands");
  for (int k = 1; k <= commands; ++k) {
    const std::string section = "Command" + std::to_string(k);
    tab->AddCustomCommand(ini.readString(section, "CommandText", ""), ini.readString(section, "Pattern", ""));
  }
  return tab;
}

}  // namespace qv

TExtensionTab* LoadExtensionFile(const std::string& path, std::shared_ptr<TCustomizedHost> owner,
                                 TCustomizedTabList& list) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return nullptr;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return nullptr;
  qv::IniStore ini;
  ini.loadFromText(qv::extensionTextToSingleByte(text));
  auto tab = qv::loadExtension(ini, std::move(owner));
  if (!tab) return nullptr;
  const auto slash = path.find_last_of('/');
  tab->FileName = slash == std::string::npos ? path : path.substr(slash + 1);
  TExtensionTab* result = tab.get();
  list.push_back(std::move(tab));
  return result;
}
