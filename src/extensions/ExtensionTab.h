// One extension window (the console's TCustomizedTab), loaded from an extension file: its
// description (buttons, labels, custom catalogue commands, the serial numbers it is for, where it
// docks) and, while a listed laser is connected, the open window as plain state. Widgets render
// that state; they add no rules. All texts are single-byte (Windows-1252), like the laser's replies.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/QVLaserControl.h"

namespace qv {
struct WindowRect {
  int left = 0, top = 0, width = 0, height = 0;
};
}  // namespace qv

// What an extension window needs of the console that holds it.
class TCustomizedHost {
 public:
  using TReceiver = std::function<void(int subId, const std::string& reply)>;
  virtual ~TCustomizedHost() = default;
  // Split at "|", trimmed, non-empty parts sent as raw lines.
  virtual void SendCommandList(const std::string& text) = 0;
  // Appends an lcCustomized entry (sub-id 0, groups (-1, 0)) to the laser's catalogue.
  virtual void AddCustomizedCommand(const std::string& commandText, const std::string& pattern) = 0;
  // The laser object's single OnCustomizedCmd receiver; an empty function removes it.
  virtual void SetCustomizedReceiver(TReceiver receiver) = 0;
  // The main window's outer bounds, for docking.
  virtual qv::WindowRect MainWindowBounds() = 0;
};

enum TCustomizedFontStyle : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

struct TCustomizedControl {
  std::int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  std::string FontName;           // empty = keep the default font
  std::int32_t FontSize = -1;     // -1 = keep the default size
  std::uint8_t FontStyle = 0;     // TCustomizedFontStyle bits; 0 = keep the default style
  std::string Caption;
  std::string Command;            // button: command list; display label: reply template
};

struct TCustomizedCommand {
  std::string CommandText;  // trimmed
  std::string Pattern;      // "\A" + trimmed pattern + "\Z"
};

// The open window, without widgets.
struct TCustomizedWindow {
  struct Item {
    int Tag = 0;  // position of the description in Buttons or Labels
    std::string Caption;
    std::int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  };
  std::string Caption;
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool Docked = false;  // false: the window system places it
  std::vector<Item> Buttons;
  std::vector<Item> Labels;
};

enum TCustomizedPosition : int { cpLeft = 0, cpRight = 1, cpTop = 2, cpBottom = 3, cpNone = 4 };

constexpr std::uint32_t kNoCaptionCommand = 0xFFFFFFFFu;

class TExtensionTab : public TCustomizedTab {
 public:
  explicit TExtensionTab(std::shared_ptr<TCustomizedHost> owner) : owner_(std::move(owner)) {}
  ~TExtensionTab() override;
  TExtensionTab(const TExtensionTab&) = delete;
  TExtensionTab& operator=(const TExtensionTab&) = delete;

  // What the console calls: at the end of detection, at disconnection, after a reset.
  bool ServesLaser(std::int32_t serial) const override;
  void OpenFor(TQVLaserControl& console) override;
  void Close() override { CloseWindow(); }
  bool IsOpen() const override { return Window != nullptr; }
  void SendStartupCommands() override { SendOnStart(); }

  // Setters used by the loader.
  void SetName(const std::string& name, const std::string& captionCommand);
  void SetLayout(const std::string& position, int width, int height, int spaceX, int spaceY);
  void SetOnStart(const std::string& text);
  void AddSerialNumber(std::uint16_t number);
  void AddButton(int left, int top, int width, int height, const std::string& fontName,
                 int fontSize, bool bold, bool italic, bool underline, bool strikeOut,
                 const std::string& command, const std::string& name);
  void AddLabel(int left, int top, const std::string& fontName, int fontSize, bool bold,
                bool italic, bool underline, bool strikeOut, const std::string& type,
                const std::string& name);
  void AddCustomCommand(const std::string& commandText, const std::string& pattern);

  // Run time.
  void OpenIfListed(std::uint16_t serialNumber);
  void OpenWindow();
  void CloseWindow();
  void PlaceWindow();                            // against the owner's main window
  void PlaceWindow(const qv::WindowRect& main);  // against given bounds
  void SendOnStart();
  void UpdateCaption(const std::string& reply);
  void HandleButtonClick(int tag);
  void HandleCustomizedReply(int subId, const std::string& reply);

  // The display label's current text; empty without one.
  std::string DisplayLabelText() const;

  // Fields, as loaded.
  std::string Name;
  std::string OnStart;
  std::uint32_t CaptionCommandIndex = 0;
  std::vector<std::uint16_t> SerialNumbers;
  std::vector<TCustomizedCommand> CustomCommands;
  std::vector<TCustomizedControl> Buttons;
  std::vector<TCustomizedControl> Labels;
  int Height = 100, Width = 100, SpaceX = 0, SpaceY = 0;
  int Position = cpNone;
  std::string FileName;  // the file it came from

  std::unique_ptr<TCustomizedWindow> Window;
  std::optional<std::size_t> DisplayLabel;  // index into Window->Labels

  // For the view (widgets or the command-line tool).
  std::function<void(TExtensionTab&)> OnWindowOpened;   // after the window is built
  std::function<void(TExtensionTab&)> OnWindowClosed;
  std::function<void(TExtensionTab&)> OnWindowMoved;
  std::function<void(TExtensionTab&)> OnCaptionChange;  // the caption text changed
  std::function<void(TExtensionTab&)> OnLabelChange;    // the display label's text changed

 private:
  void setCaption(const std::string& caption);
  void setDisplayText(const std::string& text);
  bool hasCaptionCommand() const { return CaptionCommandIndex < CustomCommands.size(); }

  std::shared_ptr<TCustomizedHost> owner_;  // shared by the tabs of one console
};

namespace qv {
// Where a docked window goes beside the main window; nothing for an undocked one.
struct WindowPoint {
  int left = 0, top = 0;
};
std::optional<WindowPoint> dockedPosition(int position, int width, int height, int spaceX,
                                          int spaceY, const WindowRect& main);
}  // namespace qv
