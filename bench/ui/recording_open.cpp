// Opening a one-hour recording in the recording viewer: the recorder writes the file first
// (the wide set a recording polls, read about 40 times a second), then the time from Open to
// the first picture of the window, several times; the median and the fastest.
//
//   bench_recording_open [rounds]      (default 5)
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "recording/QVLaserParam.h"
#include "recording/QVLaserParam_Bin.h"
#include "ui/MainThreadBridge.h"
#include "ui/RecordingViewer.h"

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  qv::MainThreadBridge bridge;
  const std::string file = std::filesystem::temp_directory_path() / "qv-bench-hour.qlp";

  // Codes of the recording's reads: state, currents, monitors, DA, voltages, trigger,
  // frequency, ovens, temperatures.
  const int16_t codes[] = {99, 61, 62, 53, 56, 54, 57, 52, 55, 71, 73, 5, 6, 7, 15, 16, 17, 86, 87};
  const int64_t start = 1796996497000;
  size_t samples = 0;
  {
    TLaserParamBuffer buffer;
    bool finished = false;
    buffer.OnFinished = [&](TObject*) { finished = true; };
    TParamFileHeader h;
    h.LaserSerial = 2210;
    h.StartTime = start;
    if (!buffer.Start(file, h)) return 1;
    size_t k = 0;
    for (int64_t t = 0; t < 3'600'000; t += 25, ++k) {  // one read every 25 ms
      const int16_t code = codes[k % std::size(codes)];
      buffer.AddSample(code, qv::paramValue(20 + std::sin(double(t) / 60'000.0 + code)), start + t);
      ++samples;
      if (k % 4096 == 0) qv::processPendingEvents();
    }
    buffer.Stop();
    qv::runEventLoopUntil([&] { return finished; }, 60'000);
  }
  std::vector<double> ms;
  for (int r = 0; r < rounds; ++r) {
    QElapsedTimer timer;
    timer.start();
    auto* viewer = new RecordingViewer;
    viewer->Open(QString::fromStdString(file));
    viewer->show();
    (void)viewer->grab();  // the first picture, with the plot drawn
    ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    delete viewer;
  }
  std::sort(ms.begin(), ms.end());
  std::printf("open a one-hour recording (%zu samples, %ju bytes) in the viewer, %d rounds:\n",
              samples, uintmax_t(std::filesystem::file_size(file)), rounds);
  std::printf("   median %.0f ms, fastest %.0f ms (target: under 1000 ms)\n", ms[ms.size() / 2],
              ms.front());
  std::filesystem::remove(file);
  return 0;
}
