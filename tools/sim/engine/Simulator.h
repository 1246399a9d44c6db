// A virtual laser power supply on a pseudo-terminal. It answers the laser's line protocol as one
// of several kinds of laser (profiles), changes state as the commands and the control calls ask,
// and can be told to misbehave on the line (faults). Tests run it in-process on its own thread;
// the qvlaser-sim program wraps it.
//
//   qv::sim::Simulator sim("gen3-picker");                    // or Simulator(config)
//   ASSERT_TRUE(sim.start(3, tempDir)) << sim.lastError();   // tempDir/COM3 -> /dev/pts/N
//   sim.setErrors({80});                                       // change state while running
//   EXPECT_TRUE(sim.waitForReceived("r90", 1, 5000));          // what the console sent
//   sim.stop();                                                // closes the pty, removes COM3
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv::sim {

// Switches that make the line misbehave; all off by default. A command selector is a
// comma-separated list of command texts such as "r99", "w61" or "w99 101": a received command is
// selected when its letter (any case) and number agree and, if the selector names an argument, the
// argument agrees too. "*" selects every command.
struct Faults {
  bool silent = false;              // answer nothing at all
  std::string noAnswerTo;           // selector: no answer to these commands
  std::string errorFor;             // selector: answer "ERROR" to these commands
  std::string noCarriageReturnFor;  // selector: the reply ends in a bare line feed
  bool lowerCase = false;           // every byte sent is lower-cased
  int splitPauseMs = 0;             // > 0: every reply goes out in two writes this far apart
  bool doubleReply = false;         // every reply shares its write with an unsolicited r60 reply
  int unsolicitedEveryMs = 0;       // > 0: the unsolicited line below at this period
  std::string unsolicitedText = "LASER_OFF";
  int garbageEveryMs = 0;    // > 0: a burst of 1 to 16 random bytes at this period
  int latencyMs = 0;         // pause before every reply
  bool paceLine = false;     // output no faster than 57600 baud at 10 bits per byte
  int hangUpAfterMs = -1;    // >= 0: close the pty and remove the link this long after start
                             // (or after setFaults); once per start or setFaults
  int comeBackAfterMs = -1;  // >= 0: a new pty under the same link this long after any hang-up
  unsigned seed = 1;         // for the random bytes
};

enum class WarmUp { NotNeeded, Required, Warming, Warmed };
enum class Trigger { Internal, External, CW, HVOn };

// What the laser holds. Arrays are indexed by branch 1..4 (index 0 unused).
struct LaserState {
  bool laserOn = false;
  WarmUp warmUp = WarmUp::NotNeeded;
  std::vector<int> errors;    // the error list; non-empty means an error state
  std::vector<int> warnings;  // the warning list; non-empty raises the state to 800x
  int errorClass = 1;         // state digit reported while the error list is not empty (0 or 1)
  std::array<double, 5> current{};       // nominal current, A
  std::array<double, 5> maxCurrent{};    // maximum the nominal current may be set to, A
  std::array<double, 5> currentLimit{};  // ceiling of the maximum current, A
  std::array<double, 5> frequency{};     // trigger frequency, Hz
  std::array<Trigger, 5> trigger{};
  int pulseCount = 1;            // pulse-picker division count
  int pulseNumber = 1;           // pulses per shot
  double regulatorLevel = 50.0;  // %
  bool regulatorOn = true;
  int freeTriggerMode = 0;
  int freeTriggerPPB = 1;
  bool resetting = false;  // between a reset's "OK" and its "READY"
  bool passwordAccepted = false;
  int saves = 0;   // settings saved (w98 101)
  int resets = 0;  // resets answered (w99 101)
};

struct Config {
  std::string profile = "gen3-2branch";  // one of Simulator::profiles()
  Faults faults;
  std::vector<int> errors;            // start with this error list
  std::vector<int> warnings;          // start with this warning list
  int errorClass = 1;                 // state digit while errors are set (LaserState::errorClass)
  bool warmUpRequired = false;        // start needing a warm-up (profiles may need one anyway)
  int warmUpMs = 3000;                // how long a warm-up takes
  int resetReadyMs = 1500;            // from a reset's "OK" to its "READY"
  bool silentWhileResetting = false;  // between a reset's "OK" and its "READY", answer nothing
  std::string password;               // the accepted service password; empty accepts any
  bool verbose = false;               // log every exchange to stderr
  std::function<void(const std::string&)> log;  // receives the same lines when set
};

class Simulator {
 public:
  // Throws std::invalid_argument for an unknown profile.
  explicit Simulator(Config config = {});
  explicit Simulator(const std::string& profile);  // that profile, everything else default
  ~Simulator();                                    // stop()
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  static std::vector<std::string> profiles();
  static std::string describeProfile(const std::string& name);  // one line, empty if unknown

  // Opens a pty and publishes the link "COM<port>" to it in portsDir (empty: the ports folder the
  // console searches first: QVLASER_PORTS_DIR, else the default folder, created if missing).
  // An existing link is replaced only when it dangles or `replace` is set. False with
  // lastError() on failure.
  bool start(int port, const std::string& portsDir = {}, bool replace = false);
  void stop();                   // closes the pty, removes the link if still ours; idempotent
  bool running() const;          // between start and stop, also while hung up
  bool online() const;           // the pty exists (false while hung up)
  std::string linkPath() const;  // <portsDir>/COM<port>
  std::string ptyPath() const;   // the current slave device; empty while hung up
  std::string lastError() const;

  // State, read and changed while running (any thread).
  LaserState state() const;
  void modify(const std::function<void(LaserState&)>& change);
  void setErrors(std::vector<int> codes);  // a non-empty list switches the laser off
  void setWarnings(std::vector<int> codes);
  void setWarmUpRequired(bool required);  // true: not warmed up, laser off
  Faults faults() const;
  void setFaults(const Faults& faults);
  void hangUp();                           // close the pty and remove the link now
  void comeBack();                         // a new pty under the same link now
  void sendLine(const std::string& text);  // unsolicited: text + "\r\n"
  void sendRaw(const std::string& bytes);  // unsolicited bytes as they are

  // The commands received so far, without their terminators, in order.
  std::vector<std::string> received() const;
  void clearReceived();
  int countReceived(const std::string& selector) const;
  // Waits until at least `count` received commands match the selector.
  bool waitForReceived(const std::string& selector, int count, int timeoutMs) const;

  // One line of the control channel (the same language as qvlaser-sim's stdin; "help" lists it).
  // Returns the answer; an answer beginning "error:" means the line was refused.
  std::string control(const std::string& line);
  static std::string controlHelp();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qv::sim
