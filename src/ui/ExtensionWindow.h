// The extension windows on the desktop: one Qt tool window per open TExtensionTab, built from
// the tab's window state, docked beside the main window as the tab computes it, and following
// what the tab reports (caption, display label, moves, closing). The tabs decide everything.
#pragma once

#include <QPointer>
#include <QWidget>
#include <map>
#include <vector>

#include "extensions/ExtensionManager.h"

class QLabel;

namespace qv {

// A window's outer bounds (frame included), which extension windows dock against.
WindowRect outerBounds(const QWidget& window);

// One open extension window: a tool window without a close button that refuses to be closed.
// Its outer size is the tab's Width x Height; buttons and labels sit where the file puts them.
class ExtensionToolWindow : public QWidget {
 public:
  ExtensionToolWindow(TExtensionTab& tab, QWidget* owner);

  // Size and, when docked, position from the tab's window state (again once the window
  // system has told the frame's size).
  void applyGeometry();
  void showCaption();
  void showDisplayLabel();

  QLabel* displayLabel() const { return display_; }

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  TExtensionTab& tab_;
  QLabel* display_ = nullptr;
  QMargins frame_{-1, -1, -1, -1};  // the frame the size was last fitted to
};

// Listens to an extension manager and owns the Qt windows of its tabs. The manager's events are
// this object's for its lifetime (create it after the manager, destroy it before). With a main
// window, the windows are owned by it and docked against its outer frame, and they follow it when
// it moves or is resized. TQVLaserControlMain::Create hands the manager its own WindowBounds, so
// the main window sets that to outerBounds(*this) as well.
class ExtensionWindows : public QObject {
 public:
  ExtensionWindows(ExtensionManager& manager, QWidget* mainWindow);
  ~ExtensionWindows() override;
  ExtensionWindows(const ExtensionWindows&) = delete;
  ExtensionWindows& operator=(const ExtensionWindows&) = delete;

  // Docks every open window again (the main window calls it on moves and resizes; a main
  // window given to the constructor is followed without it).
  void placeWindows();

  // The window of a tab while it is open; null otherwise.
  ExtensionToolWindow* window(const TExtensionTab& tab) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void opened(TExtensionTab& tab);
  void closed(TExtensionTab& tab);

  ExtensionManager& manager_;
  QPointer<QWidget> main_;
  std::map<const TExtensionTab*, QPointer<ExtensionToolWindow>> windows_;
  std::vector<QPointer<ExtensionToolWindow>> closing_;  // closed, their deletion still due
};

}  // namespace qv
