#include "CliSession.h"

#include <csignal>
#include <iostream>

#include "console/ConsoleTexts.h"
#include "platform/Clock.h"
#include "platform/IniStore.h"
#include "shell/SettingsFile.h"

namespace qv::cli {

std::atomic<bool> gInterrupted{false};

namespace {

void onSignal(int) { gInterrupted.store(true); }

Json maskJson(TBranchMask mask) {
  Json a = Json::array();
  for (int b = 1; b <= 7; ++b) {
    if (mask.Contains(b)) a.push_back(b);
  }
  return a;
}

const char* modeName(TTriggerMode m) {
  static const char* const kNames[] = {"tmInternal", "tmExternal",  "tmCW",
                                       "tmExternLVDS", "tmGatedBNC", "tmGatedLVDS",
                                       "tmnop",      "tmHVOn",      "tmError"};
  return m <= tmError ? kNames[m] : "tmError";
}

// Wraps a laser event the console already handles, so the tool also sees it afterwards.
template <typename Fn, typename Extra>
void chain(Fn& event, Extra extra) {
  Fn previous = event;
  event = [previous, extra](auto&&... args) {
    if (previous) previous(args...);
    extra(args...);
  };
}

// A file name as the file system gives it: UTF-8 on this system, so kept when it is valid UTF-8;
// anything else is taken as Windows-1252, like the texts inside the file.
std::string fileNameText(const std::string& name) {
  size_t i = 0;
  while (i < name.size()) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    const int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || (len > 1 && c < 0xC2) || i + static_cast<size_t>(len) > name.size())
      return cp1252ToUtf8(name);
    for (int k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(name[i + static_cast<size_t>(k)]) & 0xC0) != 0x80)
        return cp1252ToUtf8(name);
    i += static_cast<size_t>(len);
  }
  return name;
}

}  // namespace

void installSignalHandlers() {
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
}

void CliView::say(const std::string& text, const std::string& title) {
  if (text == lastSaid_) return;
  lastSaid_ = text;
  // The console's texts use CR LF; a terminal wants LF.
  std::string t;
  for (char c : text) {
    if (c != '\r') t += c;
  }
  std::cerr << (title.empty() ? "" : title + ": ") << t << std::endl;
}

void CliView::ShowMessage(const std::string& title, const std::string& text, MessageKind) {
  say(text, title);
}

void CliView::ShowConversionError(const std::string& text) {
  say(text);
}

std::optional<std::string> CliView::AskRecordingFile(const std::string& proposedName) {
  proposedFile = proposedName;
  return recordingFile;
}

bool CliView::ConfirmStopRecording(const std::string&) { return true; }

Session::Session(int port, Output& out, const std::string& extensionsDir) : out_(out) {
  auto timer = std::make_unique<LoopTimer>();
  timer_ = timer.get();
  console_ = std::make_unique<TQVLaserControl>(std::move(timer), &view_);
  auto automation = std::make_unique<TLaserCtrlAutomation>();
  automation->SetActive(false);
  console_->SetAutoDetect(std::move(automation));
  laser().SetPort(static_cast<TPort>(port));
  console_->Options().Port = static_cast<uint16_t>(port);
  hookLaser();
  extensions_ = std::make_unique<ExtensionManager>(*console_);
  extensions_->OnCaptionChange = [this](TExtensionTab& t) {
    emit({{"event", "ExtensionCaption"}, {"file", fileNameText(t.FileName)},
          {"caption", cp1252ToUtf8(t.Window ? t.Window->Caption : std::string())}});
  };
  extensions_->OnLabelChange = [this](TExtensionTab& t) {
    emit({{"event", "ExtensionLabel"}, {"file", fileNameText(t.FileName)},
          {"text", cp1252ToUtf8(t.DisplayLabelText())}});
  };
  // An unknown program folder is no reason to read the files of the current one.
  if (!extensionsDir.empty()) extensions_->loadFolder(extensionsDir);
}

Session::~Session() { console_.reset(); }

void Session::hookLaser() {
  TQVLaserControl& c = *console_;
  TLaser& l = laser();
  c.OnConnectFail = [this](TQVLaserControl&) {
    connectFailed = true;
    emit({{"event", "OnConnectFail"}, {"port", laser().Port()}});
  };
  c.OnLaserConnectFail = [this](TQVLaserControl&) {
    laserConnectFailed = true;
    emit({{"event", "OnLaserConnectFail"}, {"port", laser().Port()}});
  };
  c.OnLaserConnected = [this](TObject*) {
    ++connectedCount;
    // The console drops its parameter subscribers at every disconnection; subscribe again.
    console_->OnLaserParam = [this](TLaser&, TLaserCommand cmd, uint8_t sub) {
      emit({{"event", "OnLaserParam"}, {"command", LaserCommandName(cmd)}, {"subid", sub}});
    };
    emit({{"event", "OnLaserConnected"},
          {"serial_label", console_->Display().serialLabel},
          {"caption", CaptionText(ShowLaserSerial(laser(), settingsSeederFrequency()))}});
  };
  c.OnLaserDisconnected = [this](TObject*) {
    ++disconnectedCount;
    emit({{"event", "OnLaserDisconnected"}});
  };
  c.OnLaserStatusChanged = [this](TQVLaserControl&, TQVLaserStatus s) {
    ++statusChanges;
    emit({{"event", "OnLaserStatusChanged"}, {"status", LaserStatusNames(s)}});
  };
  c.OnLaserError = [this](TQVLaserControl& k) {
    emit({{"event", "OnLaserError"}, {"text", k.Display().status.symbolHint}});
  };
  c.OnLaserWarning = [this](TQVLaserControl& k) {
    emit({{"event", "OnLaserWarning"}, {"text", k.Display().status.badgeHint}});
  };
  c.OnLaserErrorDismissed = [this](TQVLaserControl&) { emit({{"event", "OnLaserErrorDismissed"}}); };
  c.OnLaserWarningDismissed = [this](TQVLaserControl&) {
    emit({{"event", "OnLaserWarningDismissed"}});
  };
  c.OnLaserON = [this](TLaser&, bool on) {
    const int caption = console_->Display().status.caption;
    Json j = {{"event", "OnLaserON"}, {"is_on", on}};
    if (caption == kCaptionLaserOn) j["text"] = "LASER ON";
    emit(j);
  };
  c.OnLaserSN = [this](TLaser&, int32_t v) { emit({{"event", "OnLaserSN"}, {"value", v}}); };
  c.OnLaserCurrent = [this](TLaser&, uint8_t b, double v) {
    Json j = {{"event", "OnLaserCurrent"}, {"branch", b}, {"value", v}};
    if (b >= 1 && b <= 4) j["text"] = console_->Display().nomCurrent[b];
    emit(j);
  };
  c.OnLaserMaxCurrent = [this](TLaser&, uint8_t b, double v) {
    Json j = {{"event", "OnLaserMaxCurrent"}, {"branch", b}, {"value", v}};
    if (b >= 1 && b <= 4) j["text"] = console_->Display().maxCurrent[b];
    emit(j);
  };
  c.OnLaserFrequency = [this](TLaser&, uint8_t b, double v) {
    emit({{"event", "OnLaserFrequency"}, {"branch", b}, {"value", v},
          {"text", console_->Display().actFrequency[b == 1 ? 1 : 2]}});
  };
  c.OnLaserTriggerMode = [this](TLaser&, uint8_t b, TTriggerMode m) {
    emit({{"event", "OnLaserTriggerMode"}, {"branch", b}, {"mode", modeName(m)},
          {"text", console_->Display().triggerMode[b == 1 ? 1 : 2]}});
  };
  c.OnLaserPulsePickerCount = [this](TLaser&, double v) {
    emit({{"event", "OnLaserPulsePickerCount"}, {"value", v},
          {"text", console_->Display().actFrequency[2]}});
  };
  c.OnLaserPulsePickerNumber = [this](TLaser&, double v) {
    emit({{"event", "OnLaserPulsePickerNumber"}, {"value", v}});
  };
  c.OnLaserNominalRegulatorLevel = [this](TLaser&, double v) {
    emit({{"event", "OnLaserNominalRegulatorLevel"}, {"value", v},
          {"text", console_->Display().regulatorLevel}});
  };
  c.OnLaserRegualtorState = [this](TLaser&, bool on) {
    emit({{"event", "OnLaserRegualtorState"}, {"is_on", on}});
  };
  c.OnLaserCommandError = [this](TLaser&, TLaserCommand cmd, uint8_t sub, const std::string& s) {
    ++commandFailures;
    if (sayFailures && !streaming_)
      std::cerr << cp1252ToUtf8(s) << ": the laser answered ERROR" << std::endl;
    emit({{"event", "OnLaserCommandError"}, {"command", LaserCommandName(cmd)}, {"subid", sub},
          {"cmd", cp1252ToUtf8(s)}});
  };
  c.OnLaserCommandTimeout = [this](TLaser&, TLaserCommand cmd, uint8_t sub,
                                   const std::string& s) {
    ++commandFailures;
    if (sayFailures && !streaming_)
      std::cerr << cp1252ToUtf8(s) << ": the laser did not answer" << std::endl;
    emit({{"event", "OnLaserCommandTimeout"}, {"command", LaserCommandName(cmd)}, {"subid", sub},
          {"cmd", cp1252ToUtf8(s)}});
  };
  c.OnNotice = [this](TQVLaserControl&, const std::string& text) {
    view_.say(text);
    emit({{"event", "OnNotice"}, {"text", text}});
  };
  c.OnRecordingFinished = [this](TQVLaserControl&, const std::string& file) {
    ++recordingsFinished;
    emit({{"event", "OnRecordingFinished"}, {"file", file}});
  };
  c.OnTerminalSent = [this](TQVLaserControl&, const std::string&) {
    lastActivity = counterNow();
  };
  c.OnTerminalReceived = [this](TQVLaserControl&, const std::string&) {
    lastActivity = counterNow();
  };

  // Events the console leaves to others.
  l.OnFirmwareVersion = [this](TLaser&, TFirmwareVersion) { firmwareRead = true; };
  // Seen, not printed: they are the laser's events, not the console's.
  l.OnClearedError = [this](TObject*) { ++clearedError; };
  chain(l.OnReseted, [this](TObject*) { ++reseted; });
  chain(l.OnMaxCurrent, [this](TLaser&, uint8_t b, double) {
    if (b < 8) maxCurrentSeen_[b] = true;
  });
}

bool Session::maxCurrentReadable(int branch) const {
  const TCommandList& list = console_->Laser().CommandList();
  const TCommandSyntaxPtr e = list.TryItem(list.IndexOfCommand(lcReadMaxCurrent, branch));
  return e && (e->SubID == branch || e->SubID == 0);
}

void Session::emit(Json object) {
  if (!streaming_) return;
  if (!out_.json() && !streamAll_ && !filter_.shows(object)) return;
  out_.line(object);
}

void Session::streamEvents(bool all) {
  streaming_ = true;
  streamAll_ = all;
}

bool Session::runUntil(const std::function<bool()>& done, int timeoutMs, int lookMs) {
  const bool held = runConsoleLoop(
                        timer_, [&] { return gInterrupted.load() || done(); }, timeoutMs,
                        lookMs) &&
                    !gInterrupted.load();
  // What the last hand-over left for afterwards (a message the console opens once an event has
  // been handled) runs before the command goes on, even when the condition held at once.
  CheckSynchronize(0);
  return held;
}

bool Session::runUntilQueueEmpty(int timeoutMs) {
  return runUntil([&] { return !laser().Connected() || laser().QueuedCommands() == 0; }, timeoutMs);
}

void Session::runFor(int ms) {
  runUntil([] { return false; }, ms);
}

int Session::identify(int timeoutMs) {
  for (bool& seen : maxCurrentSeen_) seen = false;
  console_->ConnectLaserClick();
  runUntil([&] { return connectedCount > 0 || connectFailed || laserConnectFailed; }, timeoutMs);
  if (connectFailed) return kPortFailed;
  if (connectedCount == 0) {
    if (!laserConnectFailed && !gInterrupted) {
      std::cerr << "No laser identified itself on COM" << laser().Port() << " in time."
                << std::endl;
    } else if (laserConnectFailed) {
      std::cerr << "No laser answered on COM" << laser().Port() << "." << std::endl;
    }
    return kNoLaser;
  }
  // The setup queued the maximum currents; the identity shows them, so wait for the answers of
  // those the catalogue has.
  const TBranchMask mask = laser().CurrentMask();
  runUntil(
      [&] {
        for (int b = 1; b <= 7; ++b) {
          if (mask.Contains(b) && maxCurrentReadable(b) && !maxCurrentSeen_[b]) return false;
        }
        return true;
      },
      3000);
  // The extension windows' captions as they stand after the replies to their start-up commands.
  if (!extensions_->openWindows().empty()) extensions_->waitForStartupReplies(3000);
  return laser().Connected() ? kOk : kNoLaser;
}

Json Session::identity() {
  TLaser& l = laser();
  Json j;
  j["port"] = l.Port();
  j["sn"] = l.SN();
  j["lhcsn"] = l.LHCSN();
  j["lhc_version"] = l.LHCVersion();
  if (firmwareRead) {
    const TFirmwareVersion fw = l.FirmwareVersion();
    j["firmware"] = {{"major", fw.Major}, {"minor", fw.Minor}, {"day", fw.Day},
                     {"month", fw.Month}, {"year", fw.Year}};
  } else {
    j["firmware"] = nullptr;
  }
  j["current_mask"] = maskJson(l.CurrentMask());
  j["trigger_mask"] = maskJson(l.TriggerMask());
  j["frequency_mask"] = maskJson(l.FrequencyMask());
  j["pulse_picker"] = l.HasPulsePicker();
  j["regulator"] = l.HasRegulator();
  Json max = Json::object();
  for (int b = 1; b <= 4; ++b) {
    if (!l.CurrentMask().Contains(b)) continue;
    max[std::to_string(b)] = maxCurrentSeen_[b] ? Json(l.MaxCurrent(b)) : Json(nullptr);
  }
  j["max_current"] = max;
  j["serial_label"] = console_->Display().serialLabel;
  j["caption"] = CaptionText(CaptionSerial(l.LHCVersion(), l.LHCSN(), l.SN()));
  j["tabs"] = console_->Display().layout.tabs;
  Json ext = Json::array();
  for (const ExtensionManager::WindowInfo& w : extensions_->openWindows())
    ext.push_back({{"file", fileNameText(w.file)}, {"name", cp1252ToUtf8(w.name)},
                   {"caption", cp1252ToUtf8(w.caption)}});
  j["extensions"] = ext;
  return j;
}

void Session::disconnect() {
  // No automatic attempt after this; a laser still connecting ignores the connect button, so
  // the port is closed directly.
  if (console_->AutoDetect()) console_->AutoDetect()->SetActive(false);
  if (laser().Connected()) laser().Disconnect();
  CheckSynchronize(0);
}

double settingsSeederFrequency() {
  IniStore ini;
  // The window's file, not one named after this tool.
  ini.load(locateSettingsFile(executableFolder(), kSettingsBaseName).readPath);
  return readSeederFrequency(ini);
}

}  // namespace qv::cli
