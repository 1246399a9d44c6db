// QVLaserControlv4: the operator console window. Arguments: -PORT:n, -LEFT:x, -TOP:y and
// -MemLeaks (also with "/"); Qt's own options (-platform, -display, ...) are taken by Qt first.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "shell/CommandLine.h"
#include "ui/MainThreadBridge.h"
#include "ui/QVLaserControlMain.h"
#include "ui/QVLaserControlMainProgram.h"
#include "widgets/ConsoleImages.h"

namespace {

constexpr const char* kUsage =
    "Usage: QVLaserControlv4 [-PORT:n] [-LEFT:x] [-TOP:y] [-MemLeaks] [Qt options] [FILE.qlp...]\n"
    "\n"
    "The operator console of Quorvane lasers. It connects to the laser on COM port n (1..256;\n"
    "default: the port in its settings file, else 1), identifies it and polls its state.\n"
    "\n"
    "  -PORT:n    connect through COM<n>; the settings file's port is then not read\n"
    "  -LEFT:x    left edge of the window in pixels\n"
    "  -TOP:y     top edge of the window in pixels\n"
    "  -MemLeaks  report memory still held at exit\n"
    "  FILE.qlp   open a recording of the laser's parameters in the recording viewer\n"
    "  --help     this text\n"
    "  --version  print the version and exit\n"
    "\n"
    "The options may also start with \"/\" and are not case-sensitive. Qt's own options\n"
    "(-platform, -display, ...) are taken by Qt. COM<n> is the link COM<n> in the folder\n"
    "QVLASER_PORTS_DIR, else in $XDG_RUNTIME_DIR/qvlaser/ports, else /dev/ttyS<n-1> (1..32),\n"
    "/dev/ttyUSB<n-33> (33..64), /dev/ttyACM<n-65> (65..96).\n";

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt starts, so that they work without a display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("QVLaserControlv4 %s\n", QV_VERSION_TEXT);
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
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
