// Extension files and the reply substitution: any file text loads or is refused; a loaded
// extension opens its window, places it, sends its start-up commands, and takes any reply into
// its caption and display label; the substitution takes any reply, pattern and template.
//
// Input: file text, 0, reply, 0, pattern, 0, template.
#include <cstdint>

#include "FuzzInput.h"
#include "extensions/ExtensionFile.h"
#include "extensions/ReplySubstitute.h"
#include "platform/IniStore.h"

namespace {

struct Host : TCustomizedHost {
  TReceiver receiver;
  void SendCommandList(const std::string&) override {}
  void AddCustomizedCommand(const std::string&, const std::string&) override {}
  void SetCustomizedReceiver(TReceiver r) override { receiver = std::move(r); }
  qv::WindowRect MainWindowBounds() override { return {100, 50, 600, 200}; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::fuzz::Input in(data, size);
  const std::string file = in.text();
  const std::string reply = in.text(), pattern = in.text(), replacement = in.rest();

  (void)qv::substituteReply(reply, pattern, replacement);
  (void)qv::expandReplyTemplate(replacement, {reply, pattern, std::string()});
  (void)qv::extensionTextToSingleByte(file);

  qv::IniStore ini;
  ini.loadFromText(file);
  auto host = std::make_shared<Host>();
  std::unique_ptr<TExtensionTab> tab = qv::loadExtension(ini, host);
  if (!tab) return 0;
  for (std::uint16_t sn : tab->SerialNumbers) (void)tab->ServesLaser(sn);
  tab->OpenWindow();
  tab->PlaceWindow();
  tab->PlaceWindow(qv::WindowRect{0, 0, 0, 0});
  tab->SendOnStart();
  tab->UpdateCaption(reply);
  for (size_t i = 0; i <= tab->Buttons.size(); ++i) tab->HandleButtonClick(static_cast<int>(i));
  for (int sub = -1; sub <= static_cast<int>(tab->CustomCommands.size()); ++sub)
    tab->HandleCustomizedReply(sub, reply);
  if (host->receiver) host->receiver(0, reply);
  (void)tab->DisplayLabelText();
  tab->CloseWindow();
  return 0;
}
