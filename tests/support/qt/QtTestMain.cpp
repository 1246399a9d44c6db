// main() of the widget and window suites: one QApplication for the whole binary, on Qt's
// offscreen platform unless the caller chose one, and the main-thread bridge, so the console's
// hand-overs run on Qt's event loop exactly as in the program.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/MainThreadBridge.h"

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  qv::MainThreadBridge bridge;
  return RUN_ALL_TESTS();
}
