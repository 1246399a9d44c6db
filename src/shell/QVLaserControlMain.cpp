#include "shell/QVLaserControlMain.h"

#include <clocale>

#include "console/ConsoleTexts.h"
#include "console/QVLaserControl.h"

// The actions' view of the console and of this window.
class TQVLaserControlMain::ConsoleActions : public qv::ActionHost {
 public:
  ConsoleActions(TQVLaserControl& console, TQVLaserControlMain& main) : console_(console), main_(main) {}

  void connectLaserClick() override { console_.ConnectLaserClick(); }
  bool buttonVisible(Button b) override {
    const TPanelLayout& l = console_.Display().layout;
    switch (b) {
      case Button::InternalTrigger1:
      case Button::ExternalTrigger1:
      case Button::CWMode1: return l.triggerButtons[1];
      case Button::InternalTrigger2:
      case Button::ExternalTrigger2:
      case Button::CWMode2: return l.triggerButtons[2];
      case Button::HVOn1: return l.hvOn;
    }
    return false;
  }
  void triggerClick(Button b) override {
    // The buttons' tags: the mode ordinal in the low byte, the branch above it.
    static const int kTags[] = {0, 0, 257, 513, 258, 514, 263};
    console_.TriggerClick(kTags[static_cast<int>(b)]);
  }
  void laserOnClick(bool laserOnButton) override { console_.LaserOnClick(laserOnButton ? 1 : 0); }
  void setAllCurrents(double value) override { console_.SetAllCurrents(value); }
  bool advancedPanelVisible() override { return console_.Display().advancedOpen; }
  void closeAdvancedPanelClick() override { console_.CloseAdvancedPanelClick(); }
  bool selectTab(const std::string& caption) override {
    return console_.SelectTab(caption, main_.ControlKeyDown && main_.ControlKeyDown());
  }
  void closeMainWindow() override {
    if (main_.CloseWindow) main_.CloseWindow();
  }
  const TOptions& options() override { return console_.Options(); }
  void showTrends() override {
    if (main_.ShowTrends) main_.ShowTrends();
  }

 private:
  TQVLaserControl& console_;
  TQVLaserControlMain& main_;
};

TQVLaserControlMain::TQVLaserControlMain(TQVLaserControl& console, std::vector<std::string> args,
                                         std::string programFolder, std::string settingsBase)
    : console_(console),
      args_(std::move(args)),
      programFolder_(programFolder.empty() ? qv::executableFolder() : programFolder),
      settingsBase_(!settingsBase.empty()   ? std::move(settingsBase)
                    : programFolder.empty() ? qv::settingsBaseName(qv::executablePath())
                                            : std::string(qv::kSettingsBaseName)),
      extensions_(console),
      host_(std::make_unique<ConsoleActions>(console, *this)) {}

TQVLaserControlMain::~TQVLaserControlMain() {
  // The console may outlive the window object: leave no handler pointing here.
  console_.OnLaserConnected = nullptr;
  console_.OnLaserDisconnected = nullptr;
  console_.AfterChangeOption = nullptr;
}

const TStartUpRecord& TQVLaserControlMain::Create() {
  record_ = {};
  // 1. The command line is parsed once; "MemLeaks" acts first.
  record_.commandLine = qv::parseCommandLine(args_);
  if (record_.commandLine.memLeaks) qv::enableLeakReport();
  // 2. "." is the decimal separator of every number formatted or parsed.
  std::setlocale(LC_NUMERIC, "C");
  // 3.
  UpdateCaption(0);
  // 4. A missing or unreadable file is an empty store.
  location_ = qv::locateSettingsFile(programFolder_, settingsBase_);
  ini_.clear();
  if (ini_.load(location_.readPath) && !ini_.sections().empty()) record_.settingsRead = location_.readPath;
  // 5.-7.
  const qv::StartSettings s = qv::readStartSettings(ini_, record_.commandLine);
  console_.Laser().SetPort(static_cast<TPort>(s.port));
  record_.port = console_.Laser().Port();
  startLeft_ = record_.left = s.left;
  startTop_ = record_.top = s.top;
  if (MoveWindow) MoveWindow(s.left, s.top);
  // 8. The console adopts an inactive object, then learns the two settings one by one.
  console_.SetAutoDetect(std::make_unique<TLaserCtrlAutomation>());
  TLaserCtrlAutomation& automation = *console_.AutoDetect();
  automation.SetActive(s.autoDetect);
  automation.SetInterval(s.detectInterval);
  record_.autoDetectActive = automation.Active();
  record_.autoDetectInterval = automation.Interval();
  // 9.
  TOptions& o = console_.Options();
  o = TOptions{};
  o.Port = console_.Laser().Port();
  o.DetectEnabled = automation.Active();
  o.DetectInterval = automation.Interval();
  o.HotKeys = s.hotKeys;
  o.PresetCurrents = s.presetCurrents;
  o.UpdateEnabled = false;
  o.UpdateInterval = 0;
  record_.options = o;
  // 10.
  console_.OnLaserConnected = [this](TObject*) { ShowLaserSerial(); };
  console_.OnLaserDisconnected = [this](TObject*) { ResetCaption(); };
  console_.AfterChangeOption = [this](TQVLaserControl&) { ApplyHotKeys(); };
  ApplyHotKeys();
  // 11.
  extensions_.setMainWindowBounds([this] { return WindowBounds ? WindowBounds() : qv::WindowRect{}; });
  for (const std::string& path : qv::extensionFilesIn(programFolder_))
    if (extensions_.loadFile(path)) record_.extensionFiles.push_back(path);
  return record_;
}

bool TQVLaserControlMain::Destroy(int currentLeft, int currentTop, std::ostream& err) {
  qv::ShutdownSettings s;
  s.port = console_.Laser().Port();
  s.options = console_.Options();
  s.left = currentLeft;
  s.top = currentTop;
  s.startLeft = startLeft_;
  s.startTop = startTop_;
  qv::writeShutdownSettings(ini_, s);
  if (location_.writePath.empty())
    location_ = qv::locateSettingsFile(programFolder_, settingsBase_);
  return qv::saveSettingsFile(ini_, location_.writePath, err);
}

void TQVLaserControlMain::UpdateCaption(std::uint16_t sn) {
  caption_ = CaptionText(sn);
  title_ = ::ApplicationTitle(sn);
  if (OnCaptionChange) OnCaptionChange();
}

void TQVLaserControlMain::ShowLaserSerial() {
  // The seeder frequency is read from the store at each connection, so a value typed into the
  // file by hand is used (the program never writes it).
  UpdateCaption(::ShowLaserSerial(console_.Laser(), qv::readSeederFrequency(ini_)));
}

void TQVLaserControlMain::ResetCaption() { UpdateCaption(0); }

void TQVLaserControlMain::ApplyHotKeys() { actions_.ApplyHotKeys(console_.Options().HotKeys); }

void TQVLaserControlMain::UpdateLaserAction() {
  const TLaser& l = console_.Laser();
  actions_.UpdateLaserAction(l.Connected(), l.Detecting());
}

bool TQVLaserControlMain::HandleShortCut(TShortCut sc) {
  UpdateLaserAction();
  return actions_.handleShortCut(sc, *host_);
}

void TQVLaserControlMain::ExecuteAction(qv::ActionId id) {
  UpdateLaserAction();
  actions_.execute(id, *host_);
}

void TQVLaserControlMain::CanResize() { extensions_.placeWindows(); }
