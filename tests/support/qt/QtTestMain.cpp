// main() of the widget and window suites: one QApplication for the whole binary, on Qt's
// offscreen platform unless the caller chose one, and the main-thread bridge, so the console's
// hand-overs run on Qt's event loop exactly as in the program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>

#include "ui/MainThreadBridge.h"

namespace {

// Key clicks with Ctrl leave Qt's idea of the held modifiers at Ctrl on the offscreen platform,
// so a later test that asks whether Ctrl is down (the Advanced tab asks for the password then)
// would see it held. Every test starts with no key held, as if run alone.
class ReleaseModifiers : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override {
    QWidget target;
    QTest::sendKeyEvent(QTest::Release, &target, Qt::Key_Control, QString(), Qt::NoModifier);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  qv::MainThreadBridge bridge;
  testing::UnitTest::GetInstance()->listeners().Append(new ReleaseModifiers);
  return RUN_ALL_TESTS();
}
