// The console's settings file: named after the window's program (QVLaserControlv4.ini), where it
// lives, what is read from it at start and what is written back at shutdown. The store itself is
// qv::IniStore.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/IniStore.h"
#include "settings/Options.h"
#include "shell/CommandLine.h"

namespace qv {

constexpr const char* kSettingsBaseName = "QVLaserControlv4";
constexpr std::int32_t kDefaultSeederFrequency = 20000000;

// The running program's file and folder (from /proc/self/exe); empty when unknown.
std::string executablePath();
std::string executableFolder();
// The settings file's name, without ".ini", for a program: the program's file name without its
// extension, so a renamed window keeps its own settings; kSettingsBaseName for an unknown program.
std::string settingsBaseName(const std::string& programPath);

// $XDG_CONFIG_HOME/QVLaserControl, or ~/.config/QVLaserControl without it (not created).
std::string fallbackSettingsFolder();
// True when a file can be created in the folder (tried, not guessed from the mode bits).
bool folderWritable(const std::string& folder);

// The settings file is "<base>.ini" in the program's folder; when that folder cannot be written
// it is the same name in the fallback folder. Until a fallback file exists, one next to the
// program is still read (an administrator may ship one there).
struct SettingsLocation {
  std::string readPath;
  std::string writePath;
};
SettingsLocation locateSettingsFile(const std::string& programFolder,
                                    const std::string& baseName = kSettingsBaseName);

// What start-up takes from the store and the command line.
struct StartSettings {
  int port = 1;
  int left = 0;
  int top = 0;
  bool autoDetect = true;
  std::int32_t detectInterval = 50;
  std::array<TShortCut, kHotKeyCount> hotKeys{};  // built-in short-cuts where the file has none
  std::array<std::string, 10> presetCurrents;     // [1]..[9]
};
StartSettings readStartSettings(const IniStore& ini, const CommandLineOverrides& overrides);

// The port the window would use, for other programs (qvlaser-cli): the command line's, else the
// one in the window's settings file (QVLaserControlv4.ini) in programFolder, else 1.
// programFolder empty = the running program's folder.
int consolePort(const CommandLineOverrides& overrides, const std::string& programFolder = {});

// "Laser" "SeederFrequency", read at each connection of a pulse-picker laser; never written.
std::int32_t readSeederFrequency(const IniStore& ini);

// What shutdown writes: the port in use, the live options, and the window edges against the
// ones applied at start ("WindowPosition" keys only for an edge that moved).
struct ShutdownSettings {
  int port = 1;
  TOptions options;
  int left = 0, top = 0;
  int startLeft = 0, startTop = 0;
};
void writeShutdownSettings(IniStore& ini, const ShutdownSettings& s);

// Saves the store; on failure says so on `err` (with the reason) and returns false.
bool saveSettingsFile(const IniStore& ini, const std::string& path, std::ostream& err);

}  // namespace qv
