// One pass of the recording's background read set: the console connects to a simulated laser
// with three ovens, starts a recording (which registers the wide read set), and the time from
// one state read to the next, that is one round of the set, is measured over several passes.
// Also printed: the items of the set, the parameters each pass brings, the samples written and
// commands on the line per second. The simulator paces its output at 57600 baud.
//
//   bench_recording_pass [passes] [profile]        (default 5 passes, gen3-picker)
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/QVLaserControl.h"
#include "engine/Profiles.h"
#include "engine/Simulator.h"
#include "platform/Clock.h"
#include "recording/ParamFileReader.h"

namespace {

constexpr int kPort = 23;

double now() {
  return double(qv::counterNow()) / double(qv::counterFrequency());
}

class BenchView : public TQVLaserControlView {
 public:
  explicit BenchView(std::string file) : file_(std::move(file)) {}
  std::optional<std::string> AskRecordingFile(const std::string&) override { return file_; }
  bool ConfirmStopRecording(const std::string&) override { return true; }
  void Pause(int) override {}

 private:
  std::string file_;
};

}  // namespace

int main(int argc, char** argv) {
  const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::string profile = argc > 2 ? argv[2] : "gen3-picker";
  char tmpl[] = "/tmp/qv-bench-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  setenv("QVLASER_PORTS_DIR", dir.c_str(), 1);
  setenv("QVLASER_PORTS_ONLY", "1", 1);

  int status = 0;
  {
    qv::sim::Config config;
    config.profile = profile;
    config.faults.paceLine = true;  // answers come at the line's own rate
    qv::sim::Simulator sim{config};
    if (!sim.start(kPort, dir)) {
      std::fprintf(stderr, "simulator did not start: %s\n", sim.lastError().c_str());
      return 1;
    }
    BenchView view(dir + "/bench.qlp");
    auto timer = std::make_unique<qv::LoopTimer>();
    qv::LoopTimer* loopTimer = timer.get();
    TQVLaserControl console(std::move(timer), &view);
    console.SetAutoDetect(std::make_unique<TLaserCtrlAutomation>());
    int connected = 0;
    console.OnLaserConnected = [&](TObject*) { ++connected; };
    auto run = [&](const std::function<bool()>& done, int ms) {
      return qv::runConsoleLoop(loopTimer, done, ms);
    };
    TLaser& laser = console.Laser();
    laser.SetPort(kPort);
    console.ConnectLaserClick();
    if (!run([&] { return connected > 0; }, 30000)) {
      std::fprintf(stderr, "the console did not set the laser up\n");
      return 1;
    }

    // Times of the state reads (the set's first item) and parameters between them.
    std::vector<double> stateAt;
    std::vector<long> paramsAt;
    long params = 0;
    console.OnLaserParam = [&](TLaser&, TLaserCommand command, std::uint8_t) {
      if (console.RecordingState() != 2) return;
      ++params;
      if (command == lcReadState) {
        stateAt.push_back(now());
        paramsAt.push_back(params);
      }
    };
    console.RecordParamClick();
    if (!run([&] { return console.RecordingState() == 2; }, 10000)) {
      std::fprintf(stderr, "the recording did not start\n");
      return 1;
    }
    const int items = laser.BkgrndPool().Count();
    const int sent0 = static_cast<int>(sim.received().size());
    // One extra state read: the first pass may have started before the set was complete.
    const bool ran =
        run([&] { return static_cast<int>(stateAt.size()) >= passes + 2; }, passes * 60000);
    const int sent = static_cast<int>(sim.received().size()) - sent0;
    console.RecordParamClick();  // stop
    run([&] { return console.RecordingState() == 0; }, 10000);
    const qv::ParamFileContents contents = qv::readParamFile(dir + "/bench.qlp");
    laser.Disconnect();

    if (!ran || stateAt.size() < 3) {
      std::fprintf(stderr, "fewer than two whole passes came in\n");
      status = 1;
    } else {
      std::vector<double> pass;
      for (std::size_t i = 2; i < stateAt.size(); ++i) pass.push_back(stateAt[i] - stateAt[i - 1]);
      double sum = 0;
      for (double p : pass) sum += p;
      const double mean = sum / double(pass.size());
      const double total = stateAt.back() - stateAt[1];
      std::printf("recording pass, profile %s (%d ovens), %zu passes\n", profile.c_str(),
                  qv::sim::findProfile(profile) ? qv::sim::findProfile(profile)->ovens : 0,
                  pass.size());
      std::printf("   items in the background set: %d\n", items);
      std::printf("   pass time: mean %.0f ms, min %.0f ms, max %.0f ms\n", 1000 * mean,
                  1000 * *std::min_element(pass.begin(), pass.end()),
                  1000 * *std::max_element(pass.begin(), pass.end()));
      std::printf("   parameters per pass: %.1f\n",
                  double(paramsAt.back() - paramsAt[1]) / double(pass.size()));
      std::printf("   commands on the line per second: %.1f\n", double(sent) / total);
      std::printf("   samples in the file: %zu (%s)\n", contents.samples.size(),
                  contents.error.empty() ? "file readable" : contents.error.c_str());
    }
  }
  std::filesystem::remove_all(dir);
  return status;
}
