// The console as qvlaser-cli runs it: a TQVLaserControl with a loop timer, a view that answers
// the console's questions from the command line, identification with its result object, and the
// console's events as stream objects.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "CliOutput.h"
#include "console/QVLaserControl.h"
#include "extensions/ExtensionManager.h"

namespace qv::cli {

// Exit statuses of the tool.
enum ExitCode : int { kOk = 0, kFailure = 1, kPortFailed = 2, kNoLaser = 3 };

// Set by SIGINT/SIGTERM; loops end when it is set.
extern std::atomic<bool> gInterrupted;
void installSignalHandlers();

class CliView : public TQVLaserControlView {
 public:
  void ShowMessage(const std::string& title, const std::string& text, MessageKind kind) override;
  void ShowConversionError(const std::string& text) override;
  std::optional<std::string> AskRecordingFile(const std::string& proposedName) override;
  bool ConfirmStopRecording(const std::string& question) override;

  // Prints a text for the person on stderr, but not twice in a row: the console tells some things
  // both in a box and as a notice.
  void say(const std::string& text, const std::string& title = {});

  std::optional<std::string> recordingFile;  // the answer to the save dialog
  std::string proposedFile;                  // what the console proposed

 private:
  std::string lastSaid_;
};

class Session {
 public:
  // extensionsDir: the folder whose "*.ext" files describe extension windows.
  Session(int port, Output& out, const std::string& extensionsDir);
  ~Session();

  TQVLaserControl& console() { return *console_; }
  TLaser& laser() { return console_->Laser(); }
  CliView& view() { return view_; }
  Output& out() { return out_; }

  // Runs the console's loop until done() holds, the time is up (false) or an interrupt.
  bool runUntil(const std::function<bool()>& done, int timeoutMs, int lookMs = 5);
  void runFor(int ms);
  // Runs until every command queued so far has had its exchange (the queue ran empty) or the
  // laser is gone; false when that took longer than timeoutMs. Background reads join the queue
  // only when it is empty, so they never keep it from running empty.
  bool runUntilQueueEmpty(int timeoutMs);

  // Connects as the connect button does and waits for the whole setup. kOk, kPortFailed or
  // kNoLaser (with the reason on stderr).
  int identify(int timeoutMs);
  // The identification object (after identify).
  Json identity();
  ExtensionManager& extensions() { return *extensions_; }
  // Prints the console's events from now on as stream objects: every event in JSON or with
  // `all`, else what a person watching wants to read (ChangeFilter).
  void streamEvents(bool all = true);
  // While events are not printed: command failures are said on stderr.
  bool sayFailures = false;
  // Disconnects as the connect button does (no automatic detection afterwards).
  void disconnect();

  // Counters of what the console reported, for the commands' end conditions.
  int connectedCount = 0;
  int disconnectedCount = 0;
  int statusChanges = 0;
  int commandFailures = 0;
  int recordingsFinished = 0;
  int reseted = 0;
  int clearedError = 0;
  bool connectFailed = false;
  bool laserConnectFailed = false;
  bool firmwareRead = false;
  int64_t lastActivity = 0;  // counter value of the last terminal traffic

 private:
  void emit(Json object);
  void hookLaser();
  bool maxCurrentReadable(int branch) const;

  Output& out_;
  CliView view_;
  LoopTimer* timer_ = nullptr;  // owned by the console
  std::unique_ptr<TQVLaserControl> console_;
  std::unique_ptr<ExtensionManager> extensions_;  // its windows belong to the console
  bool streaming_ = false;
  bool streamAll_ = true;
  ChangeFilter filter_;
  bool maxCurrentSeen_[8] = {};
};

// The seeder frequency the console's settings file gives pulse-picker lasers of generation 2.
double settingsSeederFrequency();

}  // namespace qv::cli
