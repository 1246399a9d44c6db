// What the window program adds around its window: closing on the session's termination signals
// (as the close button would, so the settings are saved), and two developer diagnostics, each
// switched on by an environment variable:
//   QV_STARTUP_TRACE=FILE   appends one line per milestone: "<name> <steady clock in ns>", with
//                           the names start (the program entered main), shown (the window's
//                           first picture is on screen) and identified (the caption names a
//                           laser); the clock is the system's monotonic clock, so another
//                           process can compare it with its own.
//   QV_WINDOW_PICTURE=FILE  once a laser is identified and the window has settled
//                           (QV_WINDOW_PICTURE_DELAY_MS, 1500 by default), saves a PNG picture of
//                           the window and closes it.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QSocketNotifier;
class TQVLaserControlMainFrm;

namespace qv {

// One milestone into the QV_STARTUP_TRACE file, if it is set.
void traceStartup(const char* name);

class ProgramHooks : public QObject {
 public:
  // Installs the signal handlers (SIGINT, SIGTERM, SIGHUP) and the diagnostics asked for.
  explicit ProgramHooks(TQVLaserControlMainFrm& window);
  ~ProgramHooks() override;
  ProgramHooks(const ProgramHooks&) = delete;
  ProgramHooks& operator=(const ProgramHooks&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void terminationSignal();
  void titleChanged(const QString& title);
  void takePicture();

  TQVLaserControlMainFrm& window_;
  QSocketNotifier* signals_ = nullptr;
  bool traceShown_ = false;
  bool identified_ = false;
  QString picture_;
};

}  // namespace qv
