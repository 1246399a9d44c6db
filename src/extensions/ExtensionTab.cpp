#include "extensions/ExtensionTab.h"

#include "platform/Text.h"

#include <algorithm>
#include <charconv>

#include "extensions/ReplySubstitute.h"

namespace {

std::string trim(const std::string& s) { return qv::trimBlanks(s); }

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::optional<long long> parseDecimal(const std::string& text) {
  if (text.empty()) return std::nullopt;
  const char* first = text.data();
  const char* last = first + text.size();
  if (*first == '+' && text.size() > 1 && first[1] != '-') ++first;
  long long value = 0;
  auto [ptr, ec] = std::from_chars(first, last, value, 10);
  if (ec != std::errc() || ptr != last) return std::nullopt;
  return value;
}

std::uint8_t fontStyle(bool bold, bool italic, bool underline, bool strikeOut) {
  return static_cast<std::uint8_t>((bold ? fsBold : 0) | (italic ? fsItalic : 0) |
                                   (underline ? fsUnderline : 0) | (strikeOut ? fsStrikeOut : 0));
}

}  // namespace

namespace qv {
std::optional<WindowPoint> dockedPosition(int position, int width, int height, int spaceX,
                                          int spaceY, const WindowRect& m) {
  switch (position) {
    case cpLeft: return WindowPoint{m.left - width - spaceX, m.top + spaceY};
    case cpRight: return WindowPoint{m.left + m.width + spaceX, m.top + spaceY};
    case cpTop: return WindowPoint{m.left + spaceX, m.top - height - spaceY};
    case cpBottom: return WindowPoint{m.left + spaceX, m.top + m.height + spaceY};
    default: return std::nullopt;
  }
}
}  // namespace qv

TExtensionTab::~TExtensionTab() {
  // Destruction closes the window, which also takes the laser's receiver back.
  if (Window) CloseWindow();
}

void TExtensionTab::SetName(const std::string& name, const std::string& captionCommand) {
  if (name == Name) return;
  Name = trim(name);
  const std::string cc = upper(captionCommand);
  CaptionCommandIndex = kNoCaptionCommand;
  if (cc.compare(0, 7, "COMMAND") == 0 && cc.size() >= 7) {
    // Command1 is index 0; a number that names no command index (0, negative, or beyond what
    // the index can hold) selects none rather than wrapping round to a command that exists.
    const auto n = parseDecimal(cc.substr(7));
    if (n && *n >= 1 && *n <= static_cast<long long>(kNoCaptionCommand))
      CaptionCommandIndex = static_cast<std::uint32_t>(*n - 1);
  }
  if (Window) setCaption(Name);
}

void TExtensionTab::SetLayout(const std::string& position, int width, int height, int spaceX,
                               int spaceY) {
  static const char* const kWords[] = {"LEFT", "RIGHT", "TOP", "BOTTOM"};
  Position = cpNone;
  const std::string p = upper(trim(position));
  for (int i = 0; i < 4; ++i)
    if (p == kWords[i]) {
      Position = i;
      break;
    }
  Width = width;
  Height = height;
  SpaceX = spaceX;
  SpaceY = spaceY;
}

void TExtensionTab::SetOnStart(const std::string& text) { OnStart = trim(text); }

void TExtensionTab::AddSerialNumber(std::uint16_t number) {
  if (std::find(SerialNumbers.begin(), SerialNumbers.end(), number) == SerialNumbers.end())
    SerialNumbers.push_back(number);
}

void TExtensionTab::AddButton(int left, int top, int width, int height,
                               const std::string& fontName, int fontSize, bool bold, bool italic,
                               bool underline, bool strikeOut, const std::string& command,
                               const std::string& name) {
  TCustomizedControl c;
  c.Left = left;
  c.Top = top;
  c.Width = width;
  c.Height = height;
  c.FontName = fontName;
  c.FontSize = fontSize;
  c.FontStyle = fontStyle(bold, italic, underline, strikeOut);
  c.Caption = name;
  c.Command = command;
  Buttons.push_back(std::move(c));
}

void TExtensionTab::AddLabel(int left, int top, const std::string& fontName, int fontSize,
                              bool bold, bool italic, bool underline, bool strikeOut,
                              const std::string& type, const std::string& name) {
  TCustomizedControl c;
  c.Left = left;
  c.Top = top;
  c.FontName = fontName;
  c.FontSize = fontSize;
  c.FontStyle = fontStyle(bold, italic, underline, strikeOut);
  if (upper(type) == "QVCOMMAND")
    c.Command = name;
  else
    c.Caption = name;
  Labels.push_back(std::move(c));
}

void TExtensionTab::AddCustomCommand(const std::string& commandText, const std::string& pattern) {
  CustomCommands.push_back({trim(commandText), "\\A" + trim(pattern) + "\\Z"});
}

bool TExtensionTab::ServesLaser(std::int32_t serial) const {
  return serial >= 0 && serial <= 0xFFFF &&
         std::find(SerialNumbers.begin(), SerialNumbers.end(), static_cast<std::uint16_t>(serial)) !=
             SerialNumbers.end();
}

void TExtensionTab::OpenFor(TQVLaserControl& /*console*/) { OpenWindow(); }

void TExtensionTab::OpenIfListed(std::uint16_t serialNumber) {
  if (std::find(SerialNumbers.begin(), SerialNumbers.end(), serialNumber) != SerialNumbers.end())
    OpenWindow();
}

void TExtensionTab::OpenWindow() {
  // A second opening without a closing in between replaces the window rather than leaking it.
  if (Window) {
    Window.reset();
    if (OnWindowClosed) OnWindowClosed(*this);
  }
  DisplayLabel.reset();
  Window = std::make_unique<TCustomizedWindow>();
  Window->Width = Width;
  Window->Height = Height;
  PlaceWindow();
  UpdateCaption("");
  for (std::size_t i = 0; i < Buttons.size(); ++i) {
    const TCustomizedControl& d = Buttons[i];
    Window->Buttons.push_back({static_cast<int>(i), d.Caption, d.Left, d.Top, d.Width, d.Height});
  }
  for (std::size_t i = 0; i < Labels.size(); ++i) {
    const TCustomizedControl& d = Labels[i];
    TCustomizedWindow::Item item{static_cast<int>(i), d.Caption, d.Left, d.Top, 0, 0};
    if (!d.Command.empty()) {
      item.Caption.clear();
      DisplayLabel = i;  // a later template label replaces an earlier one
    }
    Window->Labels.push_back(std::move(item));
  }
  if (OnWindowOpened) OnWindowOpened(*this);
  if (hasCaptionCommand() || DisplayLabel)
    owner_->SetCustomizedReceiver(
        [this](int subId, const std::string& reply) { HandleCustomizedReply(subId, reply); });
  for (const TCustomizedCommand& c : CustomCommands) owner_->AddCustomizedCommand(c.CommandText, c.Pattern);
  SendOnStart();
}

void TExtensionTab::CloseWindow() {
  if (Window) {
    Window.reset();
    DisplayLabel.reset();
    if (OnWindowClosed) OnWindowClosed(*this);
  }
  owner_->SetCustomizedReceiver(nullptr);
}

void TExtensionTab::PlaceWindow() {
  if (Window) PlaceWindow(owner_->MainWindowBounds());
}

void TExtensionTab::PlaceWindow(const qv::WindowRect& main) {
  if (!Window) return;
  const auto p = qv::dockedPosition(Position, Width, Height, SpaceX, SpaceY, main);
  if (!p) return;
  const bool moved = !Window->Docked || Window->Left != p->left || Window->Top != p->top;
  Window->Left = p->left;
  Window->Top = p->top;
  Window->Docked = true;
  if (moved && OnWindowMoved) OnWindowMoved(*this);
}

void TExtensionTab::SendOnStart() {
  if (Window && !OnStart.empty()) owner_->SendCommandList(OnStart);
}

void TExtensionTab::UpdateCaption(const std::string& reply) {
  if (!Window) return;
  if (!hasCaptionCommand())
    setCaption(Name);
  else
    setCaption(qv::substituteReply(reply, CustomCommands[CaptionCommandIndex].Pattern, Name));
}

void TExtensionTab::HandleButtonClick(int tag) {
  if (tag < 0 || static_cast<std::size_t>(tag) >= Buttons.size()) return;
  const std::string& command = Buttons[static_cast<std::size_t>(tag)].Command;
  if (!command.empty()) owner_->SendCommandList(command);
}

void TExtensionTab::HandleCustomizedReply(int /*subId*/, const std::string& reply) {
  if (!Window) return;
  UpdateCaption(reply);
  if (!Window || !DisplayLabel) return;
  if (CustomCommands.empty())
    setDisplayText(reply);
  else
    setDisplayText(qv::substituteReply(reply, CustomCommands[0].Pattern, Labels[0].Command));
}

std::string TExtensionTab::DisplayLabelText() const {
  if (!Window || !DisplayLabel) return {};
  return Window->Labels[*DisplayLabel].Caption;
}

void TExtensionTab::setCaption(const std::string& caption) {
  if (!Window || Window->Caption == caption) return;
  Window->Caption = caption;
  if (OnCaptionChange) OnCaptionChange(*this);
}

void TExtensionTab::setDisplayText(const std::string& text) {
  if (!Window || !DisplayLabel) return;
  std::string& current = Window->Labels[*DisplayLabel].Caption;
  if (current == text) return;
  current = text;
  if (OnLabelChange) OnLabelChange(*this);
}
