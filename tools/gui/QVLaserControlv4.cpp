// QVLaserControlv4: the operator console window. Arguments: -PORT:n, -LEFT:x, -TOP:y and
// -MemLeaks (also with "/"); Qt's own options (-platform, -display, ...) are taken by Qt first.
#include <QApplication>
#include <string>
#include <vector>

#include "shell/CommandLine.h"
#include "ui/MainThreadBridge.h"
#include "ui/QVLaserControlMain.h"
#include "ui/QVLaserControlMainProgram.h"
#include "widgets/ConsoleImages.h"

int main(int argc, char** argv) {
  qv::traceStartup("start");
  QApplication app(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("quorvane-laser-control"));
  QGuiApplication::setApplicationDisplayName(QStringLiteral("Quorvane Laser Control"));
  QApplication::setWindowIcon(qv::applicationIcon());
  qv::MainThreadBridge bridge;
  int status = 0;
  {
    TQVLaserControlMainFrm window(std::vector<std::string>(argv + 1, argv + argc));
    qv::ProgramHooks hooks(window);
    window.show();
    status = QApplication::exec();
  }
  qv::reportLeaksIfEnabled();
  return status;
}
