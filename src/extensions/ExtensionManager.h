// Extension windows of one console: loads the extension files into the console's CustomizedWnds,
// connects them to the console (commands, catalogue, custom replies) and reports what the
// windows do to one observer (the window's widgets, or the command-line tool's output).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "extensions/ExtensionFile.h"
#include "extensions/ExtensionTab.h"

class TQVLaserControl;

// TCustomizedHost on a console: commands through its SendCommandList, custom entries into its
// laser's catalogue, and the laser's OnCustomizedCmd as the receiver.
class TConsoleCustomizedHost : public TCustomizedHost {
 public:
  explicit TConsoleCustomizedHost(TQVLaserControl& console) : console_(console) {}
  void SendCommandList(const std::string& text) override;
  void AddCustomizedCommand(const std::string& commandText, const std::string& pattern) override;
  void SetCustomizedReceiver(TReceiver receiver) override;
  qv::WindowRect MainWindowBounds() override;

  // The main window's outer bounds; unset = a zero rectangle (no main window).
  std::function<qv::WindowRect()> MainWindowBoundsProvider;

 private:
  TQVLaserControl& console_;
};

namespace qv {

class ExtensionManager {
 public:
  using TabEvent = std::function<void(TExtensionTab& tab)>;

  // The console must outlive the manager's use of it; the tabs belong to the console.
  explicit ExtensionManager(TQVLaserControl& console);
  ~ExtensionManager();
  ExtensionManager(const ExtensionManager&) = delete;
  ExtensionManager& operator=(const ExtensionManager&) = delete;

  // Every "*.ext" file directly in the folder, by name; returns how many made a window.
  int loadFolder(const std::string& folder);
  // One file; null when it does not describe a window.
  TExtensionTab* loadFile(const std::string& path);

  // The tabs this manager loaded, in loading order.
  const std::vector<TExtensionTab*>& tabs() const { return tabs_; }
  void setMainWindowBounds(std::function<WindowRect()> provider);
  // Re-docks every open window (the main window was resized).
  void placeWindows();

  // What a report shows of one window (texts single-byte, as the laser sends them).
  struct WindowInfo {
    std::string file;     // the file's name, without its folder
    std::string name;     // the window's Name (caption or caption template)
    std::string caption;  // the caption shown
    std::string label;    // the display label's text ("" without one)
    bool hasLabel = false;
  };
  // The open windows, in loading order.
  std::vector<WindowInfo> openWindows() const;
  static WindowInfo infoOf(const TExtensionTab& tab);

  // For a program without a window (qvlaser-cli): after the console's setup, runs the console's
  // loop until every command queued so far, the windows' start-up commands included, has been
  // answered (the laser's queue ran empty once). False when that took longer than timeoutMs.
  // Needs the console's timer to be a qv::LoopTimer (or none at all).
  bool waitForStartupReplies(int timeoutMs);

  // Reported for every loaded tab; the tab is passed with its state already changed.
  TabEvent OnOpened, OnClosed, OnMoved, OnCaptionChange, OnLabelChange;

 private:
  // Outlives the manager inside the tabs' handlers, so a tab that closes after the manager is
  // gone (the console's destruction) reports to nobody instead of to freed memory.
  struct Sink {
    ExtensionManager* manager = nullptr;
  };
  void hook(TExtensionTab& tab);

  TQVLaserControl& console_;
  std::shared_ptr<TConsoleCustomizedHost> host_;
  std::shared_ptr<Sink> sink_;
  std::vector<TExtensionTab*> tabs_;
};

// The same files list the main window loads at start: the program's own folder.
std::vector<std::string> extensionFilesIn(const std::string& folder);

}  // namespace qv
