// The program's one top-level window: a fixed 679 by 196 client area filled by the console
// frame, the caption the shell computes, the shell's actions as QActions (reached only through
// their keys), the key preview (short-cuts and the numeric key filter, before the focused
// control sees a key), the options dialog and the extension windows. The settings file is read
// when the window is made and written back when it closes. Decisions are the shell's
// (TQVLaserControlMain) and the console's; this window forwards keys and shows states.
#pragma once

#include <QMainWindow>
#include <QMetaObject>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/QVLaserControlMain.h"

class QAction;
class QInputMethodEvent;
class QKeyEvent;
class TQVLaserControl;
class TQVLaserControlFrame;
class TrendWindow;
class RecordingViewer;

namespace qv {
class ExtensionWindows;
class OptionDialog;
}  // namespace qv

class TQVLaserControlMainFrm : public QMainWindow {
  Q_OBJECT

 public:
  // args: the command line after the program name. programFolder and settingsBase as for
  // TQVLaserControlMain (empty: the running program's folder and name). Runs the shell's
  // creation steps (settings, command line, port, position, automation, options, hot keys,
  // extension files), then makes the options dialog.
  explicit TQVLaserControlMainFrm(std::vector<std::string> args, std::string programFolder = {},
                                  std::string settingsBase = {});
  // Writes the settings if closing did not already, then takes the window apart in the order
  // the shell needs: dialog, extension windows, shell, console.
  ~TQVLaserControlMainFrm() override;
  TQVLaserControlMainFrm(const TQVLaserControlMainFrm&) = delete;
  TQVLaserControlMainFrm& operator=(const TQVLaserControlMainFrm&) = delete;

  TQVLaserControlFrame& Frame() const { return *frame_; }
  TQVLaserControl& Console() const;
  TQVLaserControlMain& Shell() const { return *shell_; }
  qv::OptionDialog& OptionDialog() const { return *options_; }
  qv::ExtensionWindows& ExtensionWindows() const { return *extensionWindows_; }
  // The action object of a shell action (objectName = the action's name).
  QAction* Action(qv::ActionId id) const;

  // The live trend window, made on first use; null before.
  TrendWindow* Trends() const { return trends_; }
  void ShowTrends();
  // Opens a recording in a viewer window of its own (an Open item, a dropped file, or a file
  // named on the command line) and returns it.
  RecordingViewer* OpenRecording(const QString& path);
  void OpenRecordingClick();

  // Where the message about settings that cannot be saved goes (std::cerr unless set).
  void SetErrorStream(std::ostream* err) { err_ = err; }
  // The settings have been written back (or tried to be): true once the window closed.
  bool ShutDownDone() const { return shutDown_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildActions();
  // The shell's enabling rule and short-cuts into the action objects; only what changed.
  void updateActions();
  void showCaption();
  // Key preview: a key for this window before its focused control gets it. True = consumed.
  bool previewKey(QKeyEvent& key, bool shortcutOverride);
  // The numeric key filter on a key that types characters into the focused edit, and on text
  // an input method commits to it. True = consumed (what passes is sent to the edit anew).
  bool filterTypedKey(QKeyEvent& key);
  bool filterComposedText(QWidget& receiver, QInputMethodEvent& event);
  // The edit of this window that has the focus, or null.
  QWidget* focusedEdit() const;
  // The characters the edit receives instead of `typed`; nothing when all pass unchanged.
  std::optional<std::u32string> filterCharacters(QWidget* edit, const std::u32string& typed) const;
  void shutDown();

  TQVLaserControlFrame* frame_ = nullptr;  // the central widget, owned by this window
  TrendWindow* trends_ = nullptr;          // a tool window owned by this window; goes first
  std::unique_ptr<TQVLaserControlMain> shell_;
  std::unique_ptr<qv::ExtensionWindows> extensionWindows_;
  qv::OptionDialog* options_ = nullptr;  // owned by this window, made after it
  std::vector<QAction*> actions_;        // one per action table row, in its order
  std::vector<TShortCut> shownShortCuts_;
  QMetaObject::Connection idle_;
  std::ostream* err_ = nullptr;
  bool shutDown_ = false;
};
