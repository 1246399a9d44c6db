// The trend window, the recording viewer and the terminal's time and hex forms on the real main
// window against the virtual laser in this process; recordings written by the recorder itself.
// Pictures of each window go to $QV_PICTURES_DIR when it is set, for a person to look at.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTest>
#include <QTextEdit>
#include <QValueAxis>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "console/QVLaserControl.h"
#include "engine/Simulator.h"
#include "recording/ParamExport.h"
#include "recording/QVLaserParam.h"
#include "support/TempDir.h"
#include "ui/MainThreadBridge.h"
#include "ui/QVLaserControlFrame.h"
#include "ui/QVLaserControlMain.h"
#include "ui/RecordingViewer.h"
#include "ui/SetOptionForm.h"
#include "ui/ShortCutKeys.h"
#include "ui/TrendPlot.h"
#include "ui/TrendWindow.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool until(const std::function<bool()>& done, int ms = 15000) {
  return qv::runEventLoopUntil(done, ms);
}

void picture(QWidget& w, const char* name) {
  qv::runEventLoopUntil([] { return false; }, 200);  // laid out and painted
  if (const char* dir = std::getenv("QV_PICTURES_DIR"))
    w.grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
}

// A recording written by the recorder: `minutes` of samples of a two-branch laser, one moment
// every `stepMs`, each with state, both currents and a temperature.
std::string writeRecording(const std::string& path, int64_t start, int64_t spanMs, int stepMs) {
  TLaserParamBuffer buffer;
  bool finished = false;
  buffer.OnFinished = [&](TObject*) { finished = true; };
  TParamFileHeader h;
  h.LaserSerial = 2210;
  h.HeadSerial = 1234;
  h.RunningMinutes = 74'045;
  h.StartTime = start;
  std::string why;
  EXPECT_TRUE(buffer.Start(path, h, &why)) << why;
  for (int64_t t = 0; t <= spanMs; t += stepMs) {
    const double phase = double(t) / 60'000.0;
    buffer.AddSample(99, qv::paramValue(3), start + t);
    buffer.AddSample(61, qv::paramValue(20 + 5 * std::sin(phase)), start + t);
    buffer.AddSample(62, qv::paramValue(18 + 2 * std::cos(phase)), start + t);
    buffer.AddSample(87, qv::paramValue(25 + phase / 10), start + t);
  }
  buffer.Stop();
  EXPECT_TRUE(until([&] { return finished; }));
  return path;
}

class TrendWindowTest : public ::testing::Test {
 protected:
  static constexpr int kPort = 6;
  void SetUp() override { QGuiApplication::setQuitOnLastWindowClosed(false); }
  void TearDown() override {
    window.reset();
    sim.reset();
    QGuiApplication::setQuitOnLastWindowClosed(true);
  }
  void open(std::vector<std::string> args) {
    std::ofstream(folder.file("QVLaserControlv4.ini")) << "[Automation]\nAutoDetect=0\n";
    window = std::make_unique<TQVLaserControlMainFrm>(std::move(args), folder.path());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  void connectSim(const std::string& profile) {
    sim = std::make_unique<qv::sim::Simulator>(profile);
    ASSERT_TRUE(sim->start(kPort, ports.path())) << sim->lastError();
    open({"-PORT:6"});
    QTest::keyClick(window->windowHandle(), Qt::Key_L, Qt::ControlModifier);
    ASSERT_TRUE(until([&] {
      return window->Console().Laser().Connected() && !window->Console().Laser().Detecting() &&
             !window->Frame().Animating();
    })) << "no identification";
  }
  std::vector<RecordingViewer*> viewers() {
    std::vector<RecordingViewer*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* v = qobject_cast<RecordingViewer*>(w)) out.push_back(v);
    return out;
  }

  qv::test::PortsDir ports;
  qv::test::TempDir folder;
  std::unique_ptr<qv::sim::Simulator> sim;
  std::unique_ptr<TQVLaserControlMainFrm> window;
};

TEST_F(TrendWindowTest, PlotsThePollingOfASimulatedLaserAndSavesIt) {
  connectSim("gen3-2branch");
  // Ctrl+T, a key no other action has, opens it.
  QTest::keyClick(window->windowHandle(), Qt::Key_T, Qt::ControlModifier);
  TrendWindow* trends = window->Trends();
  ASSERT_NE(trends, nullptr);
  EXPECT_TRUE(trends->isVisible());
  qv::TrendStore& store = trends->Store();
  const auto has = [&](const char* label, size_t points) {
    const int i = store.indexOf(label);
    return i >= 0 && store.series()[size_t(i)].points.size() >= points;
  };
  ASSERT_TRUE(until([&] {
    return has("state", 3) && has("current 1 (A)", 3) && has("current 2 (A)", 3);
  })) << store.series().size();
  trends->Plot().refresh(true);
  // One line per series, one value axis per unit ("A" and the plain numbers).
  const TrendPlot& plot = trends->Plot();
  ASSERT_EQ(plot.lines().size(), store.series().size());
  const int current = store.indexOf("current 1 (A)");
  EXPECT_GE(plot.lines()[size_t(current)]->count(), 3);
  QStringList titles;
  for (QValueAxis* a : plot.valueAxes()) titles << a->titleText();
  EXPECT_TRUE(titles.contains("A")) << titles.join(",").toStdString();
  EXPECT_TRUE(titles.contains("number")) << titles.join(",").toStdString();
  // The rolling window: ten minutes by default, ending at the newest point.
  EXPECT_EQ(plot.timeAxis()->max().toMSecsSinceEpoch(), store.newest());
  EXPECT_EQ(plot.timeAxis()->max().toMSecsSinceEpoch() - plot.timeAxis()->min().toMSecsSinceEpoch(),
            10 * 60'000);
  // A hidden series keeps its line but draws nothing; its unit's axis goes when it was the last.
  const int state = store.indexOf("state");
  const size_t axes = plot.valueAxes().size();
  store.setVisible(size_t(state), false);
  trends->Plot().refresh();
  EXPECT_EQ(plot.lines()[size_t(state)]->count(), 0);
  EXPECT_EQ(plot.valueAxes().size(), store.visibleUnits().size());
  EXPECT_LE(plot.valueAxes().size(), axes);
  store.setVisible(size_t(state), true);
  trends->SetSpan(60'000);
  until([] { return false; }, 3000);  // a few seconds of polling to look at
  trends->Plot().refresh();
  until([] { return false; }, 200);  // the chart lays itself out
  // The cursor near the right end of the plot, where the newest points are, lists them.
  const QRectF area = trends->Plot().chart()->plotArea();
  const QPoint right = trends->Plot().mapFromScene(
      trends->Plot().chart()->mapToScene(QPointF(area.right() - 1, area.center().y())));
  trends->Plot().showCursorAt(right.x());
  EXPECT_TRUE(trends->Plot().cursorText().contains("current 1 (A): "))
      << trends->Plot().cursorText().toStdString();
  picture(*trends, "trends-live");

  ASSERT_TRUE(trends->SaveCsv(QString::fromStdString(folder.file("trends.csv"))));
  const std::string csv = readFile(folder.file("trends.csv"));
  const std::string head = csv.substr(0, csv.find('\n'));
  EXPECT_EQ(head.rfind("time (UTC),", 0), 0u) << head;
  EXPECT_NE(head.find("current 1 (A)"), std::string::npos) << head;
  EXPECT_TRUE(QRegularExpression("\n\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z,")
                  .match(QString::fromStdString(csv))
                  .hasMatch());
  ASSERT_TRUE(trends->SavePng(QString::fromStdString(folder.file("trends.png"))));
  EXPECT_GT(std::filesystem::file_size(folder.file("trends.png")), 1000u);

  // Paused, the span stands while points keep coming; the span choice is the store's window.
  trends->SetPaused(true);
  const int64_t shownTo = store.span().to;
  const size_t points = store.pointCount();
  ASSERT_TRUE(until([&] { return store.pointCount() > points + 2; }));
  EXPECT_EQ(store.span().to, shownTo);
  trends->SetPaused(false);
  trends->SetSpan(60'000);
  EXPECT_EQ(store.windowMs(), 60'000);
  window->Frame().TabSet1()->setCurrentIndex(3);  // System, with its Trends and Open Rec.
  picture(window->Frame(), "system-tab");
  // The window keeps its curves while the laser is away.
  QTest::keyClick(window->windowHandle(), Qt::Key_L, Qt::ControlModifier);
  ASSERT_TRUE(until([&] { return !window->Console().Laser().Connected(); }));
  EXPECT_GE(store.series().size(), 3u);
}

TEST_F(TrendWindowTest, TheTrendsKeyIsAConfigurableSlot) {
  open({});
  auto* field = window->OptionDialog().findChild<QWidget*>("TrendsKey");
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(window->Console().Options().HotKeys[hkShowTrends], qv::ctrlKey('T'));
  EXPECT_EQ(window->Action(qv::ActionId::ShowTrends)->shortcut(), QKeySequence("Ctrl+T"));
  if (auto* page = window->OptionDialog().findChild<QWidget*>("HotKeysTab")) {
    page->adjustSize();
    picture(*page, "options-hot-keys");
  }
  // The System tab's button opens the same window.
  window->Frame().findChild<QPushButton*>("ShowTrends")->click();
  ASSERT_NE(window->Trends(), nullptr);
  EXPECT_TRUE(window->Trends()->isVisible());
}

TEST_F(TrendWindowTest, ViewerShowsARecordingNamedOnTheCommandLineAndExportsAsTheCliDoes) {
  const int64_t start = 1796996497000;
  const std::string file = writeRecording(folder.file("run.qlp"), start, 10 * 60'000, 1000);
  open({file});
  ASSERT_TRUE(until([&] { return !viewers().empty(); }));
  RecordingViewer& v = *viewers().front();
  EXPECT_TRUE(v.HeaderText().contains("laser serial: 2210")) << v.HeaderText().toStdString();
  EXPECT_TRUE(v.HeaderText().contains("running time: 1234 h 05 min"));
  EXPECT_TRUE(
      v.HeaderText().contains(QString::fromStdString("start: " + qv::localTimeText(start))));
  EXPECT_EQ(v.StatusText(), "read: complete");
  // Every recorded quantity, over the whole recording.
  EXPECT_EQ(v.Store().series().size(), 4u);
  EXPECT_EQ(v.Plot().timeAxis()->min().toMSecsSinceEpoch(), start);
  EXPECT_EQ(v.Plot().timeAxis()->max().toMSecsSinceEpoch(), start + 10 * 60'000);
  picture(v, "viewer-recording");

  const qv::ParamFileContents contents = qv::readParamFile(file);
  std::ostringstream wide, json;
  qv::writeWideCsv(wide, qv::makeWideTable(contents.samples));
  ASSERT_TRUE(
      v.Export(QString::fromStdString(folder.file("w.csv")), RecordingViewer::ExportForm::WideCsv));
  EXPECT_EQ(readFile(folder.file("w.csv")), wide.str());
  EXPECT_EQ(wide.str().substr(0, wide.str().find('\n')),
            "time (UTC),current 1 (A),current 2 (A),temperature 2 (\xC2\xB0"
            "C),state");
  ASSERT_TRUE(
      v.Export(QString::fromStdString(folder.file("r.json")), RecordingViewer::ExportForm::Json));
  EXPECT_EQ(nlohmann::json::parse(readFile(folder.file("r.json")))["samples"].size(),
            contents.samples.size());
  v.close();
}

TEST_F(TrendWindowTest, ADamagedRecordingShowsWhatCouldBeReadAndWhereItStopped) {
  const std::string file = writeRecording(folder.file("cut.qlp"), 1796996497000, 5 * 60'000, 500);
  const std::string bytes = readFile(file);
  ASSERT_GT(bytes.size(), 3000u);
  // Cut in the middle of a later chunk, and a file that is no recording at all.
  std::ofstream(folder.file("cut.qlp"), std::ios::binary | std::ios::trunc)
      << bytes.substr(0, bytes.size() * 2 / 3);
  std::ofstream(folder.file("junk.qlp"), std::ios::binary) << std::string(100, '\xB0');
  open({});
  RecordingViewer* cut = window->OpenRecording(QString::fromStdString(folder.file("cut.qlp")));
  EXPECT_TRUE(cut->StatusText().startsWith("read: stopped: ")) << cut->StatusText().toStdString();
  EXPECT_TRUE(cut->StatusText().contains("offset")) << cut->StatusText().toStdString();
  EXPECT_EQ(cut->Store().series().size(), 4u);
  EXPECT_GT(cut->Store().pointCount(), 100u);
  picture(*cut, "viewer-damaged");
  RecordingViewer* junk = window->OpenRecording(QString::fromStdString(folder.file("junk.qlp")));
  EXPECT_FALSE(junk->Contents().opened);
  EXPECT_TRUE(junk->StatusText().startsWith("read: ")) << junk->StatusText().toStdString();
  EXPECT_TRUE(junk->Store().series().empty());
  EXPECT_FALSE(junk->Export(QString::fromStdString(folder.file("x.csv")),
                            RecordingViewer::ExportForm::WideCsv));
  RecordingViewer* missing = window->OpenRecording(QString::fromStdString(folder.file("none.qlp")));
  EXPECT_FALSE(missing->Contents().opened);
  for (RecordingViewer* v : {cut, junk, missing}) v->close();
}

TEST_F(TrendWindowTest, TerminalShowsTimesAndHexAndSavesItsLog) {
  connectSim("gen3-2branch");
  TQVLaserControlFrame& f = window->Frame();
  // Without Ctrl (no password prompt); the key clicks before may leave it seen as held.
  ASSERT_TRUE(window->Console().SelectTab("Advanced", false));
  f.LogTimestampsAction()->setChecked(true);
  auto* log = f.findChild<QTextEdit*>("ReceiveBuffer");
  TQVLaserControl& c = window->Console();
  c.SendCommandLine("r01");
  ASSERT_TRUE(until([&] { return log->toPlainText().contains("S/N"); }));
  EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} r01\\t",
                                 QRegularExpression::MultilineOption)
                  .match(log->toPlainText())
                  .hasMatch())
      << log->toPlainText().toStdString();
  f.LogTimestampsAction()->setChecked(false);
  f.LogHexViewAction()->setChecked(true);
  c.SendCommandLine("r60");
  // The laser's setup may still be going on and logging its own answers in hex: wait for the
  // line of r60 itself to end.
  ASSERT_TRUE(until([&] {
    return QRegularExpression("r60\\t[^\\n]*0D 0A").match(log->toPlainText()).hasMatch();
  })) << log->toPlainText().toStdString();
  // "LASER_" of the answer, in hex after the command.
  EXPECT_TRUE(
      QRegularExpression("r60\\t[^\\n]*4C 41 53 45 52 5F").match(log->toPlainText()).hasMatch())
      << log->toPlainText().toStdString();
  picture(f, "terminal-forms");
  ASSERT_TRUE(f.SaveTerminalLog(QString::fromStdString(folder.file("log.txt"))));
  const std::string saved = readFile(folder.file("log.txt"));
  EXPECT_EQ(saved, c.TerminalLog().Text());
  EXPECT_NE(saved.find("\r\n"), std::string::npos);
  EXPECT_FALSE(f.SaveTerminalLog(QString::fromStdString(folder.file("no/such/dir/log.txt"))));
}

}  // namespace
