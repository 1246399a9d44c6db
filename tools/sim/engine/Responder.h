// The laser's side of the line protocol: turns one received command into its reply and keeps the
// laser's state. No I/O and no lock of its own; the Simulator serialises every call.
#pragma once

#include <chrono>
#include <string>

#include "engine/Profiles.h"
#include "engine/Simulator.h"

namespace qv::sim {

// A received command split into letter, number and argument: "w61 12.50" is 'w', 61, "12.50".
struct Command {
  char letter = 0;       // lower case
  int number = -1;       // -1 when the text has no number after the letter
  std::string argument;  // text after the first blank, trimmed
};
Command parseCommand(const std::string& text);

// True when the command is selected by the comma-separated selector (see Faults).
bool matchesSelector(const std::string& selector, const std::string& commandText);

class Responder {
 public:
  using Clock = std::chrono::steady_clock;

  Responder(const Profile& profile, const Config& config, Clock::time_point now);

  // The reply to one command: its lines, each ended by "\r\n"; empty for an empty command.
  std::string answer(const std::string& commandText, Clock::time_point now);
  // What the laser sends by itself at `now` (the "READY" of a finished reset); usually empty.
  std::string due(Clock::time_point now);
  // When due() next may have something; Clock::time_point::max() when nothing is pending.
  Clock::time_point nextDue() const;

  // The state reply (r99) and the status reply (r60) as they would be sent now, without "\r\n".
  std::string stateText(Clock::time_point now);
  std::string statusText() const;

  LaserState& state() { return state_; }
  const LaserState& state() const { return state_; }
  const Profile& profile() const { return profile_; }
  void setErrors(std::vector<int> codes);
  void setWarmUpRequired(bool required);

 private:
  std::string read(const Command& c, Clock::time_point now);
  std::string write(const Command& c, Clock::time_point now);
  void advance(Clock::time_point now);
  void applyProtectionClass();
  std::string setCurrent(int branch, const std::string& arg);
  std::string setMaxCurrent(int branch, const std::string& arg);
  std::string setFrequency(int branch, const std::string& arg);
  int runningMinutes(Clock::time_point now) const;

  Profile profile_;
  Config config_;
  LaserState state_;
  LaserState saved_;  // what a reset restores (w98 101 saves)
  Clock::time_point warmedAt_{};
  Clock::time_point readyAt_ = Clock::time_point::max();
  Clock::time_point onSince_{};
  int onMinutes_ = 0;  // minutes on before onSince_
};

}  // namespace qv::sim
