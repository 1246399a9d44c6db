#include "shell/SettingsFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <ostream>

#include "shell/Actions.h"

namespace qv {

namespace fs = std::filesystem;

namespace {

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool fileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// An integer key within [lo, hi]; anything else gives the default.
long long readRanged(const IniStore& ini, const char* section, const char* key, long long def,
                     long long lo, long long hi) {
  const long long v = ini.readInteger(section, key, def);
  return (v < lo || v > hi) ? def : v;
}

}  // namespace

std::string executablePath() {
  std::error_code ec;
  const fs::path p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

std::string executableFolder() {
  const std::string exe = executablePath();
  return exe.empty() ? std::string() : fs::path(exe).parent_path().string();
}

std::string settingsBaseName(const std::string& programPath) {
  const std::string stem = fs::path(programPath).stem().string();
  return stem.empty() ? std::string(kSettingsBaseName) : stem;
}

std::string fallbackSettingsFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (xdg && *xdg) {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = joinPath(home && *home ? home : "/tmp", ".config");
  }
  return joinPath(base, "QVLaserControl");
}

bool folderWritable(const std::string& folder) {
  if (folder.empty()) return false;
  std::string probe = joinPath(folder, ".qvwrite-XXXXXX");
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

SettingsLocation locateSettingsFile(const std::string& programFolder, const std::string& baseName) {
  const std::string name = baseName + ".ini";
  const std::string beside = joinPath(programFolder, name);
  if (folderWritable(programFolder)) return {beside, beside};
  const std::string fallback = joinPath(fallbackSettingsFolder(), name);
  if (!fileExists(fallback) && fileExists(beside)) return {beside, fallback};
  return {fallback, fallback};
}

StartSettings readStartSettings(const IniStore& ini, const CommandLineOverrides& overrides) {
  StartSettings s;
  constexpr long long kIntMin = std::numeric_limits<std::int32_t>::min();
  constexpr long long kIntMax = std::numeric_limits<std::int32_t>::max();
  // A port the serial layer cannot open is treated as missing.
  s.port = overrides.port ? *overrides.port
                          : static_cast<int>(readRanged(ini, "Laser", "Port", 1, 1, 256));
  s.left = overrides.left ? *overrides.left
                          : static_cast<int>(readRanged(ini, "WindowPosition", "Left", 0, kIntMin, kIntMax));
  s.top = overrides.top ? *overrides.top
                        : static_cast<int>(readRanged(ini, "WindowPosition", "Top", 0, kIntMin, kIntMax));
  s.autoDetect = ini.readBool("Automation", "AutoDetect", true);
  s.detectInterval = static_cast<std::int32_t>(
      readRanged(ini, "Automation", "DetectInterval", 50, kIntMin, kIntMax));
  for (std::size_t i = 0; i < kHotKeyCount; ++i) {
    const HotKeySlot& slot = hotKeySlots()[i];
    s.hotKeys[i] = static_cast<TShortCut>(readRanged(ini, "HotKeys", slot.settingsKey, slot.builtIn, 0, 0xFFFF));
  }
  for (int i = 1; i <= 9; ++i)
    s.presetCurrents[static_cast<std::size_t>(i)] = ini.readString("PresetCurrents", std::to_string(i), "");
  return s;
}

int consolePort(const CommandLineOverrides& overrides, const std::string& programFolder) {
  if (overrides.port) return *overrides.port;
  const std::string folder = programFolder.empty() ? executableFolder() : programFolder;
  IniStore ini;
  ini.load(locateSettingsFile(folder).readPath);
  return readStartSettings(ini, {}).port;
}

std::int32_t readSeederFrequency(const IniStore& ini) {
  return static_cast<std::int32_t>(readRanged(ini, "Laser", "SeederFrequency", kDefaultSeederFrequency,
                                              std::numeric_limits<std::int32_t>::min(),
                                              std::numeric_limits<std::int32_t>::max()));
}

void writeShutdownSettings(IniStore& ini, const ShutdownSettings& s) {
  ini.writeInteger("Laser", "Port", s.port);
  ini.writeBool("Automation", "AutoDetect", s.options.DetectEnabled);
  ini.writeInteger("Automation", "DetectInterval", s.options.DetectInterval);
  for (std::size_t i = 0; i < kHotKeyCount; ++i)
    ini.writeInteger("HotKeys", hotKeySlots()[i].settingsKey, s.options.HotKeys[i]);
  for (int i = 1; i <= 9; ++i)
    ini.writeString("PresetCurrents", std::to_string(i), s.options.PresetCurrents[static_cast<std::size_t>(i)]);
  if (s.left != s.startLeft) ini.writeInteger("WindowPosition", "Left", s.left);
  if (s.top != s.startTop) ini.writeInteger("WindowPosition", "Top", s.top);
}

bool saveSettingsFile(const IniStore& ini, const std::string& path, std::ostream& err) {
  std::error_code ec;
  const fs::path folder = fs::path(path).parent_path();
  if (!folder.empty()) fs::create_directories(folder, ec);
  errno = 0;
  if (ini.save(path)) return true;
  const int e = errno;
  err << "Quorvane Laser Control: the settings could not be saved to " << path;
  if (e != 0) err << ": " << std::strerror(e);
  err << '\n';
  return false;
}

}  // namespace qv
