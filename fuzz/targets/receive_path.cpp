// The receive path of a connected laser: bytes from the line, cut into reads at any points,
// through the parser thread's framing, matching against the catalogue, code lists and the
// dispatch of the answers, with any command pending. The parser runs on its own thread as in the
// program; this side plays the reader (each read as the reader appends it) and the writer (the
// command in flight), and runs the main thread's hand-overs. The port is a pseudo-terminal that
// nothing writes to; the reader, writer and timer threads are never started, so each step waits
// only for the parser to come to rest.
//
// Input: a catalogue byte, then steps: 0 = a command is sent (the next byte picks it),
// 1 = a read (length byte, bytes), 2 = a reset starts or ends, 3 = the laser-on request flips.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzInput.h"
#include "catalogue/CommandCatalogue.h"
#include "link/QVLaser.h"
#include "link/QVLaserThreads.h"
#include "platform/Clock.h"

class TReceivePathProbe {
 public:
  static constexpr int kPort = 201;

  // One pseudo-terminal for the whole run, published as COM201 in a folder of this process.
  static void setUpOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
      qv::fuzz::fail("no pseudo-terminal");
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir =
        std::string(tmp && *tmp ? tmp : "/tmp") + "/qv-fuzz-ports-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    const std::string link = dir + "/COM" + std::to_string(kPort);
    std::error_code ec;
    std::filesystem::remove(link, ec);
    std::filesystem::create_symlink(::ptsname(master), link);
    ::setenv("QVLASER_PORTS_DIR", dir.c_str(), 1);
    std::atexit([] {
      std::error_code e;
      std::filesystem::remove_all(std::getenv("QVLASER_PORTS_DIR"), e);
    });
  }

  explicit TReceivePathProbe(TLaser& laser) : L(laser) {
    // Threads start at their first activation; shut down first, they never do.
    L.Reader_->Shutdown();
    L.Writer_->Shutdown();
    L.InnerTimer_->Shutdown();
    L.SetPort(kPort);
  }

  // Every input starts on a new connection of the same laser object (making a laser per input
  // would cost more than the input: its threads end at their next look, every few ms).
  void connect() {
    L.Disconnect();
    L.AbandonQueue();
    {
      std::lock_guard lk(L.ReceiveLock_);
      L.ReceivedText_.clear();
    }
    L.Reseting_ = false;
    L.LaserOnRequested_ = false;
    L.ResetCommandErrors();
    if (!L.Open()) qv::fuzz::fail("the pseudo-terminal did not open");
  }

  void catalogue(uint8_t b) {
    L.LHCVersion_ = static_cast<uint8_t>(1 + b % 4);
    L.BuildCommandCatalogue();
    if (b & 0x10) L.AddBranchCommands();
    if (b & 0x20) L.AddSingleBranchCommands();
    if (b & 0x40) L.AddPickerRegulatorCommands();
    L.CacheSpecialCommands();
  }

  // The writer sends a command: an entry of the catalogue, or a text it does not know.
  void send(uint8_t pick) {
    L.AbandonQueue();
    const auto entries = L.CommandList_->Snapshot();
    if (pick >= 0xF0 || entries.empty()) {
      L.Enqueue("Z" + std::to_string(pick), -1);
    } else {
      const size_t i = pick % entries.size();
      L.Enqueue(entries[i]->CmdStr, static_cast<int32_t>(i));
    }
    (void)L.TakeHead();
  }

  void read(const std::string& bytes) {
    L.Reader_->Append(bytes.data(), static_cast<uint32_t>(bytes.size()));
    settle();
  }

  void flipReset() { L.Reseting_ = !L.Reseting_; }
  void flipLaserOn() { L.LaserOnRequested_ = !L.LaserOnRequested_; }

  // Waits, running the hand-overs, until the parser has nothing left to do with what it holds:
  // parked with no complete line, or waiting for the rest of a code list.
  void settle() {
    const int64_t end = qv::counterNow() + 5 * qv::counterFrequency();
    for (;;) {
      CheckSynchronize(0);
      if (resting()) return;
      if (qv::counterNow() > end) qv::fuzz::fail("the parser did not come to rest");
      ::usleep(20);
    }
  }

 private:
  bool resting() {
    std::string text;
    {
      std::lock_guard lk(L.ReceiveLock_);
      text = L.ReceivedText_;
    }
    const TLaser::TPending p = L.PeekPending();
    if (p.Valid && p.Entry &&
        (p.Entry->Command == lcReadErrorCode || p.Entry->Command == lcReadWarningCode))
      return !codeListComplete(text);
    return !L.Parser_->Active() && text.find('\r') == std::string::npos;
  }
  // The code-list reader's test for a closing empty line.
  static bool codeListComplete(const std::string& t) {
    bool inText = false;
    for (char c : t) {
      if (c == '\n' && !inText) return true;
      if (c == '\r' || c == ' ' || c == '\t') {
        if (c == '\r') inText = false;
      } else if (c != '\n') {
        inText = true;
      }
    }
    return false;
  }

  TLaser& L;
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TReceivePathProbe::setUpOnce();
  qv::fuzz::Input in(data, size);
  static TLaser laser;
  static TReceivePathProbe probe(laser);
  probe.connect();
  probe.catalogue(in.byte());
  int steps = 0;
  while (!in.empty() && ++steps < 256) {
    switch (in.byte() % 4) {
      case 0:
        probe.send(in.byte());
        break;
      case 1:
        probe.read(in.take(1 + in.byte() % 128));
        break;
      case 2:
        probe.flipReset();
        break;
      default:
        probe.flipLaserOn();
        break;
    }
  }
  // The line's last words, so that a code list waiting for its end gets one.
  probe.read("\r\n");
  return 0;
}
