#include "ui/QtConsoleTimer.h"

namespace qv {

QtConsoleTimer::QtConsoleTimer() {
  timer_.setInterval(500);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (onTimer) onTimer();
  });
}

void QtConsoleTimer::setInterval(int ms) {
  // A running timer restarts its period, as a window timer does when its interval changes.
  timer_.setInterval(ms < 1 ? 1 : ms);
}

void QtConsoleTimer::setEnabled(bool on) {
  if (on == timer_.isActive()) return;
  if (on)
    timer_.start();
  else
    timer_.stop();
}

}  // namespace qv
