// qvlaser-cli [--port N] [-PORT:N] [--extensions DIR] [--json] COMMAND …: the console's logic
// without a window.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>

#include "CliOutput.h"
#include "CliSession.h"
#include "catalogue/CommandCatalogue.h"
#include "catalogue/PortDiscovery.h"
#include "console/ConsoleTexts.h"
#include "platform/Clock.h"
#include "recording/ParamExport.h"
#include "recording/ParamFileReader.h"
#include "shell/CommandLine.h"
#include "shell/SettingsFile.h"

namespace qv::cli {
namespace {

struct Globals {
  std::optional<int> port;
  CommandLineOverrides consoleForms;  // "-PORT:n" and the other forms of the window's command line
  std::string extensionsDir = executableFolder();
  bool json = false;
  int timeoutMs = 20000;
};

// --port, else the window's "-PORT:n", else the settings file's port, else 1.
int portOf(const Globals& g) { return g.port ? *g.port : consolePort(g.consoleForms); }

// --- identify / watch ------------------------------------------------------------------------

int cmdIdentify(const Globals& g) {
  Output out(g.json);
  Session s(portOf(g), out, g.extensionsDir);
  const int rc = s.identify(g.timeoutMs);
  if (rc != kOk) return rc;
  out.value(s.identity());
  s.disconnect();
  return kOk;
}

constexpr int kWatchLookMs = 100;

int cmdWatch(const Globals& g, double seconds, int detectIntervalMs, int reconnectWaitMs,
             bool all) {
  Output out(g.json);
  Session s(portOf(g), out, g.extensionsDir);
  const int rc = s.identify(g.timeoutMs);
  if (rc != kOk) return rc;
  out.line(s.identity());
  // A person reads what changed; a script (JSON) or --all gets every event.
  s.streamEvents(g.json || all);
  // From now on a lost connection is repaired by automatic detection, as in the window.
  s.console().AutoDetect()->SetInterval(detectIntervalMs);
  s.console().AutoDetect()->SetActive(true);
  const int64_t end = counterNow() + int64_t(seconds * 1000.0) * counterFrequency() / 1000;
  int result = kOk;
  while (!gInterrupted && counterNow() < end) {
    const int left = static_cast<int>(counterMs(counterNow(), end)) + 1;
    const int seen = s.disconnectedCount;
    // The count changes only in a main-thread handler: no need to look every few milliseconds
    // while the laser is polled (an interruption is seen within a tenth of a second).
    s.runUntil([&] { return s.disconnectedCount != seen; }, left, kWatchLookMs);
    if (s.disconnectedCount == seen) break;
    // A disconnection: give automatic detection its chance to bring the laser back.
    const int connected = s.connectedCount;
    const int wait = std::min(reconnectWaitMs, std::max(0, int(counterMs(counterNow(), end))));
    s.runUntil([&] { return s.connectedCount != connected; }, wait);
    if (s.connectedCount == connected && counterNow() < end && !gInterrupted) {
      std::cerr << "The laser on COM" << s.laser().Port() << " disconnected and did not come back."
                << std::endl;
      result = kNoLaser;
      break;
    }
  }
  s.disconnect();
  return result;
}

// --- send ------------------------------------------------------------------------------------

int cmdSend(const Globals& g, const std::string& line, bool asIs) {
  Output out(g.json);
  Session s(portOf(g), out, g.extensionsDir);
  TQVLaserControl& c = s.console();
  bool failed = false;
  c.OnConnectFail = [&](TQVLaserControl&) { failed = true; };
  c.OnTerminalSent = [&](TQVLaserControl&, const std::string& text) {
    s.lastActivity = counterNow();
    out.line({{"sent", cp1252ToUtf8(text)}});
  };
  c.OnTerminalReceived = [&](TQVLaserControl&, const std::string& text) {
    s.lastActivity = counterNow();
    out.line({{"received", cp1252ToUtf8(text)}});
  };
  // The operator's own attempt: a port that cannot be opened is said, as for the other commands.
  c.SetUserConnect(true);
  c.TerminalOnlyClick();
  if (failed || !s.laser().Connected()) {
    s.runFor(0);  // the console says why once the event has been handled
    return kPortFailed;
  }
  s.lastActivity = counterNow();
  const std::string text = utf8ToCp1252(line);
  if (asIs) {
    c.SendCommandLine(text);  // as text pasted with Ctrl+Alt+V
  } else {
    c.MutableDisplay().cmdBox = TypedCommandText(text);  // as typed into the command line
    c.SendCmdClick();
  }
  // One second after the line went quiet, with nothing left to send.
  s.runUntil(
      [&] {
        return s.laser().QueuedCommands() == 0 && counterMs(s.lastActivity, counterNow()) >= 1000;
      },
      -1);
  s.disconnect();
  return kOk;
}

// --- set -------------------------------------------------------------------------------------

struct SetRequest {
  std::string what;
  std::vector<std::string> args;
};

int parseBranch(const std::string& text) {
  const auto v = parseDecimal(text);
  if (!v || *v != std::floor(*v) || *v < 1 || *v > 4) return -1;
  return static_cast<int>(*v);
}

// "1 and 2", "1, 2 and 3": the branches b in [1, n] for which shown(b) holds.
std::string branchList(const std::function<bool(int)>& shown, int n) {
  std::vector<std::string> list;
  for (int b = 1; b <= n; ++b) {
    if (shown(b)) list.push_back(std::to_string(b));
  }
  std::string text;
  for (size_t i = 0; i < list.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == list.size() ? " and " : ", ") + list[i];
  }
  return text;
}

// A read-out with its unit: "12.50 A", "20.00 kHz" (the prefix of the read-out goes to the unit).
std::string withUnit(const std::string& readout, const std::string& unit) {
  if (!readout.empty() && (readout.back() == 'k' || readout.back() == 'M'))
    return readout.substr(0, readout.size() - 1) + " " + readout.back() + unit;
  return readout + " " + unit;
}

const char* const kTriggerWords[] = {"internal", "external", "cw", "hv-on"};
const TTriggerMode kTriggerModes[] = {tmInternal, tmExternal, tmCW, tmHVOn};

int cmdSet(const Globals& g, const SetRequest& r, bool verbose) {
  Output out(g.json);
  Session s(portOf(g), out, g.extensionsDir);
  const int rc = s.identify(g.timeoutMs);
  if (rc != kOk) return rc;
  TQVLaserControl& c = s.console();
  const TConsoleDisplay& d = c.Display();
  const TPanelLayout& layout = d.layout;
  auto stop = [&](const std::string& text) {
    std::cerr << text << std::endl;
    s.disconnect();
    return kFailure;
  };
  const auto& a = r.args;

  // What the request does, and the line that tells its outcome once the read-backs are in. A
  // control the console does not show for this laser (ArrangePanels decided) is refused here,
  // before anything is sent.
  std::function<bool()> act;  // false: the value did not convert (said already, or by `stop`)
  std::function<std::string()> outcome;
  bool waitReset = false, waitCleared = false;
  if (r.what == "current") {
    const int b = a.size() == 2 ? parseBranch(a[0]) : -1;
    if (b < 0) return stop("usage: set current BRANCH VALUE");
    if (!layout.currentEntry[b]) {
      const std::string offered = branchList([&](int k) { return layout.currentEntry[k]; }, 4);
      return stop("This laser has no current field for branch " + std::to_string(b) +
                  (offered.empty() ? "; it has none." : "; it offers current " + offered + "."));
    }
    act = [&, b] {
      if (c.ApplyCurrent(b, a[1])) return true;
      stop("'" + a[1] + "' is not a valid number");
      return false;
    };
    outcome = [&, b] {
      return "current " + std::to_string(b) + ": " + withUnit(d.nomCurrent[b], "A");
    };
  } else if (r.what == "all-currents") {
    const auto v = a.size() == 1 ? parseDecimal(a[0]) : std::nullopt;
    if (!v) return stop("usage: set all-currents VALUE");
    if (branchList([&](int k) { return layout.currentEntry[k]; }, 4).empty())
      return stop("This laser has no current fields.");
    act = [&, v] {
      c.SetAllCurrents(*v);
      return true;
    };
    outcome = [&] {
      std::string text;
      for (int b = 1; b <= 4; ++b) {
        if (!layout.currentEntry[b]) continue;
        text += (text.empty() ? "" : ", ") + ("current " + std::to_string(b) + ": ") +
                withUnit(d.nomCurrent[b], "A");
      }
      return text;
    };
  } else if (r.what == "frequency") {
    const int b = a.size() == 2 ? parseBranch(a[0]) : -1;
    if (b != 1 && b != 2) return stop("usage: set frequency 1|2 TEXT");
    if (!layout.frequencyField[b]) {
      const std::string offered = branchList([&](int k) { return layout.frequencyField[k]; }, 2);
      return stop("This laser has no frequency field " + std::to_string(b) +
                  (offered.empty() ? "; it has none." : "; it offers frequency " + offered + "."));
    }
    act = [&, b] {
      if (c.ApplyFrequency(0xF0000000u | uint32_t(b), a[1])) return true;
      s.disconnect();
      return false;
    };
    // With a pulse picker the second field is the pulse rate.
    outcome = [&, b] {
      const std::string name =
          b == 2 && layout.lblPulsePicker ? "pulse rate" : "frequency " + std::to_string(b);
      return name + ": " + withUnit(d.actFrequency[b], "Hz");
    };
  } else if (r.what == "trigger") {
    const int b = a.size() == 2 ? parseBranch(a[0]) : -1;
    int word = -1;
    for (int i = 0; i < 4 && a.size() == 2; ++i) {
      if (a[1] == kTriggerWords[i]) word = i;
    }
    if ((b != 1 && b != 2) || word < 0)
      return stop("usage: set trigger 1|2 internal|external|cw|hv-on");
    const TTriggerMode mode = kTriggerModes[word];
    if (!layout.offersTriggerButton(b, mode)) {
      std::string offered;
      for (int k = 1; k <= 2; ++k) {
        std::string words;
        for (int i = 0; i < 4; ++i) {
          if (layout.offersTriggerButton(k, kTriggerModes[i]))
            words += (words.empty() ? "" : "|") + std::string(kTriggerWords[i]);
        }
        if (!words.empty())
          offered +=
              (offered.empty() ? "" : " and ") + ("trigger " + std::to_string(k) + " " + words);
      }
      return stop(
          "This laser has no " + a[1] + " button for branch " + std::to_string(b) +
          (offered.empty() ? "; it has no trigger buttons." : "; it offers " + offered + "."));
    }
    // Internal is one setting of the whole laser (tag 0), and nothing reads it back.
    const int tag = mode == tmInternal ? 0 : (b << 8) | mode;
    act = [&, tag] {
      c.TriggerClick(tag);
      return true;
    };
    outcome = [&, b, mode] {
      if (mode == tmInternal) return std::string("trigger: internal (not read back)");
      return "trigger " + std::to_string(b) + ": " + d.triggerMode[b];
    };
  } else if (r.what == "laser") {
    const std::string v = a.size() == 1 ? a[0] : "";
    if (v != "on" && v != "off" && v != "warmup") return stop("usage: set laser on|off|warmup");
    act = [&, v] {
      if (v == "warmup" && d.status.laserOnCaption != kWarmUpCaption) {
        stop("The laser does not need a warm-up now.");
        return false;
      }
      if (v == "off")
        c.LaserOffClick(0);
      else
        c.LaserOnClick(1);
      return true;
    };
    outcome = [&] {
      std::string status;
      for (const std::string& n : LaserStatusNames(c.LaserStatus()))
        status += (status.empty() ? "" : ",") + n;
      return std::string("laser: ") + (s.laser().LaserIsOn() ? "on" : "off") + " (status " +
             status + ")";
    };
  } else if (r.what == "regulator" || r.what == "regulator-level") {
    const bool level = r.what == "regulator-level";
    const std::string v = a.size() == 1 ? a[0] : "";
    if (!level && v != "on" && v != "off") return stop("usage: set regulator on|off");
    if (level && a.size() != 1) return stop("usage: set regulator-level VALUE");
    if (!layout.hasTab("Regulator")) return stop("This laser has no power regulator.");
    if (level) {
      act = [&] {
        if (c.SetRegulatorLevel(a[0])) return true;
        s.disconnect();
        return false;
      };
      outcome = [&] { return "regulator level: " + d.regulatorLevel + " %"; };
    } else {
      act = [&, v] {
        c.ActivateRegulatorClick(v == "on" ? 1 : 0);
        return true;
      };
      outcome = [&] { return std::string("regulator: ") + (d.regulatorOn ? "on" : "off"); };
    }
  } else if (r.what == "pulse-rate") {
    if (a.size() != 1) return stop("usage: set pulse-rate HZ");
    if (!layout.lblPulsePicker) return stop("This laser has no pulse picker.");
    act = [&] {
      if (c.ApplyFrequency(0xF0000002u, a[0])) return true;
      s.disconnect();
      return false;
    };
    outcome = [&] { return "pulse rate: " + withUnit(d.actFrequency[2], "Hz"); };
  } else if (r.what == "clear-error" || r.what == "reset" || r.what == "save-settings") {
    waitCleared = r.what == "clear-error";
    waitReset = r.what == "reset";
    act = [&] {
      if (r.what == "clear-error")
        c.ClearErrorClick();
      else if (r.what == "reset")
        c.ResetClick();
      else
        c.SaveSettingsClick();
      return true;
    };
    outcome = [&] { return r.what + ": done"; };
  } else {
    return stop("unknown setting: " + r.what);
  }

  // Scripts (JSON) and --verbose see every event; a person gets the outcome line and failures.
  if (g.json || verbose)
    s.streamEvents();
  else
    s.sayFailures = true;
  // The warm-up rule of the Laser On button needs the status; the background poll brings it.
  s.runUntil([&] { return s.statusChanges > 0; }, 3000);
  const int failuresBefore = s.commandFailures;
  const int resetsBefore = s.reseted, clearedBefore = s.clearedError;
  if (!act()) return kFailure;

  // The read-backs: a reset or error clearing first ends its phase; then every command queued
  // so far has been answered once the queue has run empty (the poller adds one read at a time,
  // and only to an empty queue).
  const int phaseMs = int(std::max(s.laser().ResetingDuration(), s.laser().ErrorClearingDuration())) + 5000;
  if (waitReset) s.runUntil([&] { return s.reseted != resetsBefore; }, phaseMs);
  if (waitCleared) s.runUntil([&] { return s.clearedError != clearedBefore; }, phaseMs);
  const bool settled = s.runUntilQueueEmpty(15000);
  s.runFor(100);
  const bool connected = s.laser().Connected();
  const std::string said = outcome();
  s.disconnect();
  if (!connected) {
    std::cerr << "The connection ended." << std::endl;
    return kFailure;
  }
  if (!settled) {
    std::cerr << "The read-backs did not arrive in time." << std::endl;
    return kFailure;
  }
  if (!g.json) std::cout << said << std::endl;
  return s.commandFailures != failuresBefore ? kFailure : kOk;
}

// --- record / export -------------------------------------------------------------------------

int cmdRecord(const Globals& g, const std::string& file, double seconds) {
  Output out(g.json);
  Session s(portOf(g), out, g.extensionsDir);
  const int rc = s.identify(g.timeoutMs);
  if (rc != kOk) return rc;
  TQVLaserControl& c = s.console();
  s.view().recordingFile = file;
  bool startFailed = false;
  c.OnNotice = [&](TQVLaserControl&, const std::string& text) {
    s.view().say(text);  // once: the console's box said it too
    startFailed = startFailed || c.RecordingState() == 0;
  };
  c.RecordParamClick();
  s.runUntil([&] { return c.RecordingState() != 1; }, 5000);
  if (c.RecordingState() != 2) {
    if (!startFailed) std::cerr << "The laser did not report its running time." << std::endl;
    c.StopRecording();
    s.runUntil([&] { return c.RecordingState() == 0; }, 2000);
    s.runUntilQueueEmpty(5000);  // the stop's texts go out before the port closes
    s.disconnect();
    return kFailure;
  }
  s.runUntil([&] { return c.RecordingState() != 2; }, int(seconds * 1000.0));
  const bool stillRecording = c.RecordingState() == 2;
  if (stillRecording) c.RecordParamClick();  // the button, confirmed
  s.runUntil([&] { return c.RecordingState() == 0; }, 10000);
  // The stop queued "w9 0", "w19 0" and "w29 0"; a disconnection now would drop them.
  s.runUntilQueueEmpty(5000);
  s.disconnect();
  if (c.RecordingState() != 0) {
    std::cerr << "The recording did not finish." << std::endl;
    return kFailure;
  }
  const ParamFileContents contents = readParamFile(file);
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(file, ec);
  out.value({{"file", file},
             {"samples", contents.samples.size()},
             {"chunks", contents.chunks},
             {"bytes", ec ? 0 : bytes}});
  if (!contents.error.empty()) {
    std::cerr << file << ": " << contents.error << std::endl;
    return kFailure;
  }
  return stillRecording ? kOk : kFailure;
}

int cmdExport(const Globals& g, const std::string& file, bool csv, bool wide) {
  const ParamFileContents contents = readParamFile(file);
  if (!contents.opened) {
    std::cerr << file << ": " << (contents.error.empty() ? "cannot be read" : contents.error)
              << std::endl;
    return kFailure;
  }
  if (wide) {
    writeWideCsv(std::cout, makeWideTable(contents.samples));
  } else if (csv) {
    writeLongCsv(std::cout, contents);
  } else {
    Output out(true);
    out.value(paramFileJson(contents));
    (void)g;
  }
  if (!contents.error.empty()) {
    std::cerr << file << ": " << contents.error << std::endl;
    return kFailure;
  }
  return kOk;
}

// --- ports / catalogue -----------------------------------------------------------------------

int cmdPorts(const Globals& g) {
  Output out(g.json);
  TSerialPortItems items;
  ListSerialPorts(items, "no", "");
  Json list = Json::array();
  for (const TSerialPortItem& i : items) {
    Json j = {{"text", cp1252ToUtf8(i.Text)}};
    j["port"] = i.Number ? Json(*i.Number) : Json(nullptr);
    list.push_back(std::move(j));
  }
  if (g.json) out.value(list);
  else for (const auto& j : list) std::cout << j["text"].get<std::string>() << "\n";
  return kOk;
}

int cmdCatalogue(const Globals& g, int generation, const std::string& variant) {
  TCommandList list;
  BuildCommandCatalogue(list, generation);
  if (variant == "branches") {
    AddBranchCommands(list, generation, false);
  } else if (variant == "single") {
    AddSingleBranchCommands(list, generation, false);
  } else if (variant == "picker") {
    AddBranchCommands(list, generation, false);
    AddPickerRegulatorCommands(list, generation, false);
  }
  Json entries = Json::array();
  for (int i = 0; i < list.Count(); ++i) {
    const TCommandSyntaxPtr e = list.Items(i);
    entries.push_back({{"index", i},
                       {"command", LaserCommandName(e->Command)},
                       {"subid", e->SubID},
                       {"cmd", cp1252ToUtf8(e->CmdStr)},
                       {"pattern", cp1252ToUtf8(e->Pattern)},
                       {"groups", e->Groups},
                       {"line_count", e->LineCount},
                       {"description", cp1252ToUtf8(e->Description)}});
  }
  Output out(g.json);
  if (g.json) {
    out.value(entries);
  } else {
    for (const auto& e : entries) {
      std::cout << e["index"].get<int>() << "\t" << e["command"].get<std::string>() << "\t"
                << e["subid"].get<int>() << "\t" << e["cmd"].get<std::string>() << "\t"
                << e["description"].get<std::string>() << "\n";
    }
  }
  return kOk;
}

int run(int argc, char** argv) {
  CLI::App app{"qvlaser-cli: the Quorvane Laser Control console without a window"};
  app.footer(
      "Settings: the tool reads the window's settings file, QVLaserControlv4.ini beside this "
      "program (or in the window's fallback folder), for the default port and for the seeder "
      "frequency of older pulse-picker lasers; it never writes it.");
  app.set_version_flag("--version", "qvlaser-cli " QV_VERSION_TEXT, "print the version and exit");
  app.require_subcommand(1);
  app.fallthrough();
  Globals g;
  app.add_option("--port", g.port,
                 "COM port number (default: the window's -PORT:n, else the port in the window's "
                 "settings file QVLaserControlv4.ini beside this program, else 1)")
      ->check(CLI::Range(1, 256));
  app.add_flag("--json", g.json, "print JSON");
  app.add_option("--extensions", g.extensionsDir,
                 "folder of the extension files (default: the tool's own folder)")
      ->check(CLI::ExistingDirectory);
  app.add_option("--timeout", g.timeoutMs, "longest identification, ms")->check(CLI::Range(100, 600000));

  auto* identify = app.add_subcommand("identify", "identify the laser and print what was found");

  double watchSeconds = 20;
  int detectInterval = 1000, reconnectWait = 5000;
  bool watchAll = false;
  auto* watch = app.add_subcommand(
      "watch", "identify, then print what changes (JSON and --all: every console event)");
  watch->add_flag("--all", watchAll, "print every event, also values that did not change");
  watch->add_option("--seconds", watchSeconds, "how long to watch")->check(CLI::PositiveNumber);
  watch->add_option("--detect-interval", detectInterval, "automatic detection period, ms")
      ->check(CLI::Range(10, 600000));
  watch->add_option("--reconnect-wait", reconnectWait,
                    "how long automatic detection may take to bring a lost laser back, ms")
      ->check(CLI::Range(0, 3600000));

  std::string sendLine;
  bool sendAsIs = false;
  auto* send = app.add_subcommand(
      "send",
      "terminal only: send a \"|\"-separated command line as typed (letters in lower case)");
  send->add_option("line", sendLine, "the command line")->required();
  send->add_flag("--as-is", sendAsIs, "send the line as it stands, as pasted text (Ctrl+Alt+V)");

  SetRequest setRequest;
  bool verbose = false;
  auto* set = app.add_subcommand(
      "set", "identify, do what the operator's control does, print the value read back");
  set->add_flag("--verbose", verbose, "also print every console event");
  set->add_option("what", setRequest.what,
                  "current, all-currents, frequency, trigger, laser, regulator, "
                  "regulator-level, pulse-rate, clear-error, reset, save-settings")
      ->required();
  set->add_option("args", setRequest.args, "the values");
  auto* clearError = app.add_subcommand("clear-error", "identify, then clear the laser's errors");
  auto* reset = app.add_subcommand("reset", "identify, then reset the controller");
  auto* saveSettings = app.add_subcommand("save-settings", "identify, then save the laser's settings");
  for (CLI::App* sub : {clearError, reset, saveSettings})
    sub->add_flag("--verbose", verbose, "also print every console event");

  std::string recordFile;
  double recordSeconds = 10;
  auto* record = app.add_subcommand("record", "identify and record the laser's parameters");
  record->add_option("file", recordFile, "the recording file")->required();
  record->add_option("--seconds", recordSeconds, "how long to record")
      ->check(CLI::PositiveNumber);

  std::string exportFile;
  bool exportCsv = false;
  auto* exportCmd = app.add_subcommand("export", "print a recording file");
  exportCmd->add_option("file", exportFile, "the recording file")->required();
  exportCmd->add_flag("--csv", exportCsv, "CSV instead of JSON");
  bool exportWide = false;
  exportCmd->add_flag("--wide", exportWide,
                      "CSV with one row per time and one column per recorded quantity");

  auto* ports = app.add_subcommand("ports", "list the serial ports and what answers on them");

  int generation = 3;
  std::string variant;
  auto* catalogue = app.add_subcommand("catalogue", "print the command catalogue");
  catalogue->add_option("--generation", generation, "controller generation")
      ->required()
      ->check(CLI::IsMember({2, 3}));
  catalogue->add_option("--variant", variant, "catalogue variant")
      ->check(CLI::IsMember({"branches", "single", "picker"}));

  // The window's own forms ("-PORT:7", "/port:7", "-MemLeaks") are taken out before CLI11 sees them.
  std::vector<std::string> args(argv + 1, argv + argc);
  g.consoleForms = extractCommandLineOverrides(args);
  if (g.consoleForms.memLeaks) enableLeakReport();
  std::reverse(args.begin(), args.end());  // CLI11 takes a vector in reverse order
  try {
    app.parse(args);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kFailure;
  }

  installSignalHandlers();
  if (*identify) return cmdIdentify(g);
  if (*watch) return cmdWatch(g, watchSeconds, detectInterval, reconnectWait, watchAll);
  if (*send) return cmdSend(g, sendLine, sendAsIs);
  if (*set) return cmdSet(g, setRequest, verbose);
  if (*clearError) return cmdSet(g, {"clear-error", {}}, verbose);
  if (*reset) return cmdSet(g, {"reset", {}}, verbose);
  if (*saveSettings) return cmdSet(g, {"save-settings", {}}, verbose);
  if (*record) return cmdRecord(g, recordFile, recordSeconds);
  if (*exportCmd) return cmdExport(g, exportFile, exportCsv, exportWide);
  if (*ports) return cmdPorts(g);
  if (*catalogue) return cmdCatalogue(g, generation, variant);
  return kFailure;
}

}  // namespace
}  // namespace qv::cli

int main(int argc, char** argv) {
  int rc = qv::cli::kFailure;
  try {
    rc = qv::cli::run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "qvlaser-cli: " << e.what() << std::endl;
  }
  qv::reportLeaksIfEnabled();  // "-MemLeaks", where the build has a leak checker
  return rc;
}
