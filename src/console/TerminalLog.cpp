#include "console/TerminalLog.h"

#include <algorithm>
#include <cctype>

#include "console/ConsoleTexts.h"

namespace qv {

void TerminalLog::Sent(const std::string& text) {
  if (text.empty() || !ShowsInTerminal(text)) return;
  LogEdit edit;
  edit.colour = LogColour::Sent;
  edit.position = text_.size();
  std::string prefix;
  if (!text_.empty()) {
    const size_t lineStart = [&] {
      const size_t br = text_.rfind("\r\n");
      return br == std::string::npos ? size_t{0} : br + 2;
    }();
    if (trimBlanks(text_.substr(lineStart)).empty()) {
      // A blank last line (the tab after an answer's line break) is taken over by the command.
      edit.position = lineStart;
      edit.removed = text_.size() - lineStart;
    } else {
      prefix = "\r\n";
    }
  }
  edit.text = prefix + text + "\t";
  apply(edit);
}

void TerminalLog::Received(const std::string& chunk) {
  if (chunk.empty()) return;
  std::string text = text_.empty() ? "\t" : "";
  for (size_t i = 0; i < chunk.size(); ++i) {
    text += chunk[i];
    if (chunk[i] == '\r' && i + 1 < chunk.size() && chunk[i + 1] == '\n') {
      text += "\n\t";
      ++i;
    }
  }
  LogEdit edit;
  edit.position = text_.size();
  edit.text = std::move(text);
  edit.colour = LogColour::Received;
  apply(edit);
}

void TerminalLog::Clear() {
  LogEdit edit;
  edit.removed = text_.size();
  apply(edit);
}

void TerminalLog::apply(const LogEdit& edit) {
  // Cut the runs at the edit's position (edits only ever touch the end of the log).
  size_t keep = edit.position;
  std::vector<LogRun> runs;
  for (const LogRun& run : runs_) {
    if (keep == 0) break;
    const size_t take = std::min(keep, run.text.size());
    runs.push_back({run.text.substr(0, take), run.colour});
    keep -= take;
  }
  text_.erase(edit.position, edit.removed);
  text_.insert(edit.position, edit.text);
  if (!edit.text.empty()) {
    if (!runs.empty() && runs.back().colour == edit.colour) runs.back().text += edit.text;
    else runs.push_back({edit.text, edit.colour});
  }
  runs_ = std::move(runs);
  if (OnEdit) OnEdit(edit);
}

void CommandHistory::Add(const std::string& entry) {
  if (entry.empty()) return;
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  const std::string key = lower(entry);
  for (const std::string& e : entries_) {
    if (lower(e) == key) return;
  }
  entries_.push_back(entry);
}

}  // namespace qv
