// The link under faults for a long time: the console core in this process against the virtual
// laser in a child process, polling, a recording running, a hang-up and come-back every 30 s, a
// burst of garbage every 45 s, one 1 MiB flood without line ends, and a user command every
// second. Every minute it prints the resident memory, open descriptors and threads of this process,
// the reconnections and the samples written so far; at the end it reads every recording back and
// says whether memory and descriptors stayed flat.
//
//   bench_soak [minutes] [folder]        (default 5 minutes; folder: where the recordings go,
//                                         default a new one under /tmp, removed when all is well)
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "console/ConsoleTimer.h"
#include "console/QVLaserControl.h"
#include "engine/Simulator.h"
#include "platform/Clock.h"
#include "recording/ParamFileReader.h"

namespace {

constexpr int kPort = 41;
constexpr double kHangUpEvery = 30, kComeBackAfter = 3, kGarbageEvery = 45, kFloodAt = 150;
constexpr size_t kFloodBytes = 1 << 20;

double now() {
  return double(qv::counterNow()) / double(qv::counterFrequency());
}

long statusField(const char* key) {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long v = -1;
  const size_t n = std::strlen(key);
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, key, n) == 0) v = std::atol(line + n);
  std::fclose(f);
  return v;
}

long countEntries(const char* dir) {
  long n = 0;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(dir, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
    ++n;
  return n;
}

// The virtual laser's side: a child process that takes one word a line from a pipe.
[[noreturn]] void runLaser(int commands, int ready, const std::string& dir) {
  qv::sim::Simulator sim{std::string("gen3-2branch")};
  const char ok = sim.start(kPort, dir) ? '1' : '0';
  (void)!write(ready, &ok, 1);
  close(ready);
  std::mt19937 rnd(7);
  std::string pending;
  char buf[256];
  for (;;) {
    const ssize_t n = read(commands, buf, sizeof buf);
    if (n <= 0) break;
    pending.append(buf, size_t(n));
    for (size_t eol; (eol = pending.find('\n')) != std::string::npos;) {
      const std::string word = pending.substr(0, eol);
      pending.erase(0, eol + 1);
      if (word == "hangup") {
        sim.hangUp();
      } else if (word == "comeback") {
        sim.comeBack();
      } else if (word == "garbage") {
        // Up to 200 bytes of anything, line ends included.
        std::string g(size_t(20 + rnd() % 180), '\0');
        for (char& c : g) c = char(rnd());
        sim.sendRaw(g);
      } else if (word == "flood") {
        std::string f(kFloodBytes, '\0');
        for (char& c : f) {
          c = char(0x20 + rnd() % 0x5F);  // printable, never a line end
        }
        sim.sendRaw(f);
      }
      sim.clearReceived();  // an hour of commands would otherwise pile up in the child
    }
  }
  sim.stop();
  _exit(0);
}

struct View : TQVLaserControlView {
  std::string nextFile;
  void ShowMessage(const std::string&, const std::string&, MessageKind) override {}
  std::optional<std::string> AskRecordingFile(const std::string&) override { return nextFile; }
  bool ConfirmStopRecording(const std::string&) override { return true; }
  void Pause(int) override {}
};

struct Minute {
  long rssKb, fds, threads;
};

}  // namespace

int main(int argc, char** argv) {
  const double minutes = argc > 1 ? std::atof(argv[1]) : 5.0;
  std::string dir;
  bool ownDir = false;
  if (argc > 2) {
    dir = argv[2];
    std::filesystem::create_directories(dir);
  } else {
    char tmpl[] = "/tmp/qv-soak-XXXXXX";
    dir = mkdtemp(tmpl);
    ownDir = true;
  }
  setenv("QVLASER_PORTS_DIR", dir.c_str(), 1);
  signal(SIGPIPE, SIG_IGN);

  // The laser in a child process, forked before this process starts any thread, so that its
  // memory and threads are not counted here.
  int ready[2], commands[2];
  if (pipe(ready) != 0 || pipe(commands) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) {
    close(ready[0]);
    close(commands[1]);
    runLaser(commands[0], ready[1], dir);
  }
  close(ready[1]);
  close(commands[0]);
  char ok = '0';
  if (read(ready[0], &ok, 1) != 1 || ok != '1') {
    std::fprintf(stderr, "the virtual laser did not start\n");
    return 1;
  }
  close(ready[0]);
  auto tell = [&](const char* word) {
    const std::string line = std::string(word) + "\n";
    (void)!write(commands[1], line.data(), line.size());
  };

  std::vector<std::string> files;
  std::vector<Minute> perMinute;
  int connected = 0, disconnected = 0, userCommands = 0, finished = 0;
  size_t samplesDone = 0;  // read back from the recordings already finished
  size_t filesCounted = 0;
  bool failed = false;
  {
    View view;
    auto timerOwned = std::make_unique<qv::LoopTimer>();
    qv::LoopTimer* timer = timerOwned.get();
    TQVLaserControl console(std::move(timerOwned), &view);
    auto automation = std::make_unique<TLaserCtrlAutomation>();
    automation->SetActive(true);
    console.SetAutoDetect(std::move(automation));
    console.Laser().SetPort(kPort);
    console.Options().Port = kPort;
    bool wantRecording = false;
    console.OnLaserConnected = [&](TObject*) {
      ++connected;
      wantRecording = true;
    };
    console.OnLaserDisconnected = [&](TObject*) { ++disconnected; };
    console.OnRecordingFinished = [&](TQVLaserControl&, const std::string&) { ++finished; };

    auto samplesSoFar = [&] {
      // Finished files are counted once; the one being written is read as it stands.
      const size_t done = console.RecordingState() == 0 ? files.size() : files.size() - 1;
      for (; filesCounted < done; ++filesCounted)
        samplesDone += qv::readParamFile(files[filesCounted]).samples.size();
      size_t n = samplesDone;
      if (filesCounted < files.size()) n += qv::readParamFile(files.back()).samples.size();
      return n;
    };

    console.ConnectLaserClick();
    const double t0 = now(), end = t0 + minutes * 60.0;
    double nextHangUp = t0 + kHangUpEvery, comeBackAt = 0, nextGarbage = t0 + kGarbageEvery;
    double nextUser = t0 + 1, nextMinute = t0 + 60;
    bool flooded = false;
    std::printf("soak: %.1f min, recordings in %s\n", minutes, dir.c_str());
    std::printf("min  rss_kB  fds threads connects disconnects samples recordings user_cmds\n");
    std::fflush(stdout);
    double t = t0;
    // The last minute's line comes at the end itself.
    while ((t = now()) < end + 0.5) {
      qv::runConsoleLoop(
          timer, [] { return false; }, 20);
      if (wantRecording && console.Laser().Connected() && !console.Laser().Connecting() &&
          console.RecordingState() == 0) {
        wantRecording = false;
        view.nextFile = dir + "/rec-" + std::to_string(files.size() + 1) + ".qlp";
        console.RecordParamClick();
        if (console.RecordingState() != 0) files.push_back(view.nextFile);
      }
      if (t >= nextHangUp) {
        nextHangUp += kHangUpEvery;
        tell("hangup");
        comeBackAt = t + kComeBackAfter;
      }
      if (comeBackAt != 0 && t >= comeBackAt) {
        comeBackAt = 0;
        tell("comeback");
      }
      if (t >= nextGarbage) {
        nextGarbage += kGarbageEvery;
        tell("garbage");
      }
      if (!flooded && t >= t0 + kFloodAt) {
        flooded = true;
        tell("flood");
      }
      if (t >= nextUser) {
        nextUser += 1;
        if (console.Laser().Connected() && !console.Laser().Connecting()) {
          // What an operator does: set a current, switch the trigger, ask for everything.
          switch (userCommands++ % 3) {
            case 0:
              console.ApplyCurrent(1, userCommands % 2 ? "1.5" : "2.25");
              break;
            case 1:
              console.TriggerClick((userCommands % 2 ? 0 : 1) | (1 << 8));
              break;
            default:
              console.RequestAllValues();
              break;
          }
        }
      }
      if (t >= nextMinute) {
        nextMinute += 60;
        const Minute m{statusField("VmRSS:"), countEntries("/proc/self/fd"),
                       countEntries("/proc/self/task")};
        perMinute.push_back(m);
        std::printf("%3zu %7ld %4ld %7ld %8d %11d %7zu %10zu %9d\n", perMinute.size(), m.rssKb,
                    m.fds, m.threads, connected, disconnected, samplesSoFar(), files.size(),
                    userCommands);
        std::fflush(stdout);
      }
    }
    // The last recording ends as the operator would end it.
    if (console.RecordingState() != 0) console.RecordParamClick();
    qv::runConsoleLoop(
        timer, [&] { return console.RecordingState() == 0; }, 10000);
    if (console.Laser().Connected()) console.Laser().Disconnect();
    qv::runConsoleLoop(
        timer, [] { return false; }, 200);
  }
  close(commands[1]);
  waitpid(child, nullptr, 0);

  // Every recording reads back to its end: each ended at a fault or at the stop above, with every
  // chunk written before it.
  size_t samples = 0, chunks = 0, bad = 0;
  for (const std::string& f : files) {
    const qv::ParamFileContents c = qv::readParamFile(f);
    samples += c.samples.size();
    chunks += c.chunks;
    if (!c.opened || !c.error.empty()) {
      ++bad;
      std::printf("  %s: %s (stopped at %llu)\n", f.c_str(), c.error.c_str(),
                  static_cast<unsigned long long>(c.stoppedAt));
    }
  }
  std::printf("recordings %zu, finished %d, read back whole %zu, samples %zu, chunks %zu\n",
              files.size(), finished, files.size() - bad, samples, chunks);
  if (bad != 0 || files.empty()) failed = true;

  // Flat: from the second minute on (the first minutes fill caches and pools), memory may move by
  // noise only and descriptors and threads come back to where they were.
  if (perMinute.size() >= 3) {
    const Minute& base = perMinute[1];
    long maxRss = 0, maxFds = 0, maxThreads = 0;
    for (size_t i = 1; i < perMinute.size(); ++i) {
      maxRss = std::max(maxRss, perMinute[i].rssKb);
      maxFds = std::max(maxFds, perMinute[i].fds);
      maxThreads = std::max(maxThreads, perMinute[i].threads);
    }
    const long growth = perMinute.back().rssKb - base.rssKb;
    const bool rssFlat = growth <= std::max(2048L, base.rssKb / 20);
    const bool fdsFlat = maxFds <= base.fds + 2;
    std::printf("rss from minute 2 to the end: %ld -> %ld kB (%+ld kB, peak %ld kB) %s\n",
                base.rssKb, perMinute.back().rssKb, growth, maxRss, rssFlat ? "flat" : "GROWS");
    std::printf("descriptors: %ld at minute 2, peak %ld %s; threads: %ld, peak %ld\n", base.fds,
                maxFds, fdsFlat ? "flat" : "GROW", base.threads, maxThreads);
    if (!rssFlat || !fdsFlat) failed = true;
  } else {
    std::printf("(too short to judge memory and descriptors: 3 minutes at least)\n");
  }
  std::printf("verdict: %s\n", failed ? "FAIL" : "PASS");
  if (!failed && ownDir) std::filesystem::remove_all(dir);
  return failed ? 1 : 0;
}
