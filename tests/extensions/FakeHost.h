// A console stand-in for extension windows: records what is sent and appended.
#pragma once

#include <string>
#include <vector>

#include "extensions/ExtensionTab.h"

struct FakeCustomizedHost : TCustomizedHost {
  std::vector<std::string> sent;                                // command lists as given
  std::vector<std::pair<std::string, std::string>> appended;    // catalogue entries
  TReceiver receiver;
  qv::WindowRect main{100, 50, 600, 200};

  void SendCommandList(const std::string& text) override { sent.push_back(text); }
  void AddCustomizedCommand(const std::string& c, const std::string& p) override { appended.emplace_back(c, p); }
  void SetCustomizedReceiver(TReceiver r) override { receiver = std::move(r); }
  qv::WindowRect MainWindowBounds() override { return main; }
  void reply(const std::string& text) {
    if (receiver) receiver(0, text);
  }
};
