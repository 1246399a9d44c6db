#include "extensions/ExtensionManager.h"

#include <algorithm>
#include <filesystem>

#include "console/QVLaserControl.h"

namespace {

// The catalogue holds single-byte texts of at most 255 characters.
std::string cut255(const std::string& s) { return s.size() > 255 ? s.substr(0, 255) : s; }

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

void TConsoleCustomizedHost::SendCommandList(const std::string& text) { console_.SendCommandList(text); }

void TConsoleCustomizedHost::AddCustomizedCommand(const std::string& commandText,
                                                  const std::string& pattern) {
  console_.Laser().CommandList().Add(lcCustomized, cut255(commandText), cut255(pattern), "");
}

void TConsoleCustomizedHost::SetCustomizedReceiver(TReceiver receiver) {
  if (!receiver) {
    console_.Laser().OnCustomizedCmd = nullptr;
    return;
  }
  console_.Laser().OnCustomizedCmd = [receiver = std::move(receiver)](
                                         TLaser&, std::uint8_t subId, const std::string& buf) {
    receiver(subId, buf);
  };
}

qv::WindowRect TConsoleCustomizedHost::MainWindowBounds() {
  return MainWindowBoundsProvider ? MainWindowBoundsProvider() : qv::WindowRect{};
}

namespace qv {

std::vector<std::string> extensionFilesIn(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(folder.empty() ? "." : folder, ec);
  if (ec) return {};
  for (const fs::directory_entry& entry : it) {
    const std::string name = entry.path().filename().string();
    if (name == "." || name == ".." || name.size() < 4) continue;
    if (lower(name.substr(name.size() - 4)) != ".ext") continue;
    std::error_code e2;
    if (entry.is_directory(e2)) continue;
    names.push_back(name);
  }
  // By name without regard to case, so the opening order (and with it which window receives
  // custom replies) does not depend on the file system.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string la = lower(a), lb = lower(b);
    return la != lb ? la < lb : a < b;
  });
  std::vector<std::string> paths;
  for (const std::string& n : names)
    paths.push_back(folder.empty() ? n : (folder.back() == '/' ? folder + n : folder + "/" + n));
  return paths;
}

ExtensionManager::ExtensionManager(TQVLaserControl& console)
    : console_(console),
      host_(std::make_shared<TConsoleCustomizedHost>(console)),
      sink_(std::make_shared<Sink>()) {
  sink_->manager = this;
}

ExtensionManager::~ExtensionManager() { sink_->manager = nullptr; }

int ExtensionManager::loadFolder(const std::string& folder) {
  int n = 0;
  for (const std::string& path : extensionFilesIn(folder))
    if (loadFile(path)) ++n;
  return n;
}

TExtensionTab* ExtensionManager::loadFile(const std::string& path) {
  TExtensionTab* tab = LoadExtensionFile(path, host_, console_.CustomizedWnds());
  if (!tab) return nullptr;
  hook(*tab);
  tabs_.push_back(tab);
  return tab;
}

void ExtensionManager::setMainWindowBounds(std::function<WindowRect()> provider) {
  host_->MainWindowBoundsProvider = std::move(provider);
}

void ExtensionManager::placeWindows() {
  for (TExtensionTab* tab : tabs_) tab->PlaceWindow();
}

ExtensionManager::WindowInfo ExtensionManager::infoOf(const TExtensionTab& tab) {
  WindowInfo info;
  info.file = tab.FileName;
  info.name = tab.Name;
  if (tab.Window) info.caption = tab.Window->Caption;
  info.hasLabel = tab.DisplayLabel.has_value();
  info.label = tab.DisplayLabelText();
  return info;
}

std::vector<ExtensionManager::WindowInfo> ExtensionManager::openWindows() const {
  std::vector<WindowInfo> result;
  for (const TExtensionTab* tab : tabs_)
    if (tab->IsOpen()) result.push_back(infoOf(*tab));
  return result;
}

bool ExtensionManager::waitForStartupReplies(int timeoutMs) {
  auto* timer = dynamic_cast<LoopTimer*>(&console_.UpdateTimer());
  const TLaser& laser = console_.Laser();
  // Commands queued after the start-up commands (the background reads) start only once the
  // queue has run empty, so the first empty queue means every earlier command was answered.
  return runConsoleLoop(timer, [&laser] { return !laser.Connected() || laser.QueuedCommands() == 0; },
                        timeoutMs);
}

void ExtensionManager::hook(TExtensionTab& tab) {
  std::weak_ptr<Sink> weak = sink_;
  auto forward = [weak](TabEvent ExtensionManager::*event) {
    return [weak, event](TExtensionTab& t) {
      const auto sink = weak.lock();
      if (sink && sink->manager && sink->manager->*event) (sink->manager->*event)(t);
    };
  };
  tab.OnWindowOpened = forward(&ExtensionManager::OnOpened);
  tab.OnWindowClosed = forward(&ExtensionManager::OnClosed);
  tab.OnWindowMoved = forward(&ExtensionManager::OnMoved);
  tab.OnCaptionChange = forward(&ExtensionManager::OnCaptionChange);
  tab.OnLabelChange = forward(&ExtensionManager::OnLabelChange);
}

}  // namespace qv
