// The options dialog's port list: how long it takes from opening the list to the probed items,
// with an answering and a silent virtual laser in a private ports folder, and how long the main
// thread was kept from its event loop meanwhile (the largest gap between ticks of a 1 ms timer).
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/Simulator.h"
#include "ui/MainThreadBridge.h"
#include "ui/SetOptionForm.h"

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  qv::MainThreadBridge bridge;

  char folder[] = "/tmp/qv-bench-probe-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  setenv("QVLASER_PORTS_DIR", folder, 1);
  setenv("QVLASER_PORTS_ONLY", "1", 1);
  {
    qv::sim::Simulator answering("gen2");
    qv::sim::Config quiet;
    quiet.faults.silent = true;
    qv::sim::Simulator silent(quiet);
    if (!answering.start(3, folder) || !silent.start(4, folder)) {
      std::fprintf(stderr, "cannot start the virtual lasers\n");
      return 1;
    }

    qv::OptionDialog dialog;
    dialog.show();
    auto* port = dialog.findChild<QComboBox*>(QStringLiteral("LaserPort"));
    constexpr int kRounds = 10;
    double totalMs = 0, worstFillMs = 0, worstGapMs = 0;
    for (int round = 0; round < kRounds; ++round) {
      QElapsedTimer clock, sinceTick;
      double gap = 0;
      QTimer ticker;
      ticker.setInterval(1);
      QObject::connect(&ticker, &QTimer::timeout, [&] {
        gap = std::max(gap, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
      });
      const int before = dialog.probesFinished();
      clock.start();
      sinceTick.start();
      ticker.start();
      port->showPopup();
      const double openMs = clock.nsecsElapsed() / 1e6;
      qv::runEventLoopUntil([&] { return dialog.probesFinished() > before; }, 20000);
      const double fillMs = clock.nsecsElapsed() / 1e6;
      ticker.stop();
      port->hidePopup();
      totalMs += fillMs;
      worstFillMs = std::max(worstFillMs, fillMs);
      worstGapMs = std::max(worstGapMs, std::max(gap, openMs));
    }
    std::printf("port list of 2 ports (1 answering, 1 silent), %d openings:\n", kRounds);
    std::printf("  list filled after   %.1f ms on average, %.1f ms at most\n", totalMs / kRounds,
                worstFillMs);
    std::printf("  main thread stalled %.1f ms at most (largest gap between 1 ms ticks)\n",
                worstGapMs);
    std::printf("  items: ");
    for (int i = 0; i < port->count(); ++i)
      std::printf("%s\"%s\"", i ? ", " : "", qPrintable(port->itemText(i)));
    std::printf("\n");
  }
  std::filesystem::remove_all(folder);
  return 0;
}
