// The console's automatic-detection timer (UpdateTimer) on Qt's event loop.
#pragma once

#include <QTimer>

#include "console/ConsoleTimer.h"

namespace qv {

class QtConsoleTimer : public ConsoleTimer {
 public:
  QtConsoleTimer();
  void setInterval(int ms) override;
  int interval() const override { return timer_.interval(); }
  void setEnabled(bool on) override;
  bool enabled() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
};

}  // namespace qv
