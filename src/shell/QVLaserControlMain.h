// The main window's logic without widgets: creation in its fixed order (settings file, command
// line, port, window position, automation object, options, event hooks, hot keys, extension
// files), the caption, the actions on the console, and shutdown (settings written back).
#pragma once

#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "extensions/ExtensionManager.h"
#include "platform/IniStore.h"
#include "shell/Actions.h"
#include "shell/CommandLine.h"
#include "shell/SettingsFile.h"

class TQVLaserControl;

// What creation found and applied, in its order.
struct TStartUpRecord {
  qv::CommandLineOverrides commandLine;
  std::string settingsRead;             // the file read ("" = none found)
  int port = 1;                         // given to the laser object
  int left = 0, top = 0;                // the window was moved there
  bool autoDetectActive = false;        // the automation object after its two settings
  std::int32_t autoDetectInterval = 0;
  TOptions options;                     // the console's record as filled
  std::vector<std::string> extensionFiles;  // loaded, in order, those that made a window
};

class TQVLaserControlMain {
 public:
  // programFolder: where the settings file and the extension files are looked for; empty = the
  // running program, whose folder it is and after whose name the settings file is called.
  // settingsBase: the settings file's name without ".ini" for a given folder (empty =
  // QVLaserControlv4). The console must outlive this object.
  TQVLaserControlMain(TQVLaserControl& console, std::vector<std::string> args,
                      std::string programFolder = {}, std::string settingsBase = {});
  ~TQVLaserControlMain();
  TQVLaserControlMain(const TQVLaserControlMain&) = delete;
  TQVLaserControlMain& operator=(const TQVLaserControlMain&) = delete;

  // Creation steps, in order. MoveWindow is called once with the start position.
  const TStartUpRecord& Create();
  // Shutdown with the window's edges at that moment: writes the settings and saves the file.
  // False when the file could not be written (said on err); nothing else is affected.
  bool Destroy(int currentLeft, int currentTop, std::ostream& err = std::cerr);

  void UpdateCaption(std::uint16_t sn);
  void ShowLaserSerial();   // the console's OnLaserConnected
  void ResetCaption();      // the console's OnLaserDisconnected
  void ApplyHotKeys();      // the console's AfterChangeOption, and once at start
  // The enabling rule, to be run whenever the window is idle.
  void UpdateLaserAction();
  // A short-cut pressed in the window: true when an action owns it.
  bool HandleShortCut(TShortCut sc);
  // One action run by other means than its key (the window's action object was triggered):
  // the enabling rule first, as for a key.
  void ExecuteAction(qv::ActionId id);
  // The main window was resized: re-dock every extension window.
  void CanResize();

  const std::string& Caption() const { return caption_; }
  const std::string& ApplicationTitle() const { return title_; }
  int StartLeft() const { return startLeft_; }
  int StartTop() const { return startTop_; }
  qv::IniStore& IniFile() { return ini_; }
  const qv::SettingsLocation& SettingsFile() const { return location_; }
  qv::ShellActions& Actions() { return actions_; }
  qv::ExtensionManager& Extensions() { return extensions_; }
  const TStartUpRecord& StartUp() const { return record_; }

  // For the window: move it, close it (Alt+X), and report its bounds (docking).
  std::function<void(int left, int top)> MoveWindow;
  std::function<void()> CloseWindow;
  // The live trend window (its action, Ctrl+T by default): open it, or raise it when open.
  std::function<void()> ShowTrends;
  std::function<qv::WindowRect()> WindowBounds;
  // The Ctrl key's state at this moment, which selecting the "Advanced" tab consults as a click
  // on it does (Ctrl+D therefore asks for the service password). Unset = not held.
  std::function<bool()> ControlKeyDown;
  // After every caption change.
  std::function<void()> OnCaptionChange;

 private:
  class ConsoleActions;

  TQVLaserControl& console_;
  std::vector<std::string> args_;
  std::string programFolder_;
  std::string settingsBase_;
  qv::SettingsLocation location_;
  qv::IniStore ini_;
  qv::ShellActions actions_;
  qv::ExtensionManager extensions_;
  std::unique_ptr<ConsoleActions> host_;
  TStartUpRecord record_;
  std::string caption_, title_;
  int startLeft_ = 0, startTop_ = 0;
};
