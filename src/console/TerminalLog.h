// The terminal's log as a model the view renders (commands red, answers blue, answers at the tab
// stop) and its command history.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qv {

enum class LogColour { Sent, Received };  // red (255,0,0) and blue (0,0,255)

// One coloured run of the log's text.
struct LogRun {
  std::string text;
  LogColour colour;
};

// One edit of the log: remove `removed` characters at `position`, then insert `text` there.
struct LogEdit {
  size_t position = 0;
  size_t removed = 0;
  std::string text;
  LogColour colour = LogColour::Received;
};

class TerminalLog {
 public:
  // A command was written (without its carriage return). Hidden commands leave no trace.
  void Sent(const std::string& text);
  // A chunk of raw characters was read.
  void Received(const std::string& text);
  void Clear();

  const std::string& Text() const { return text_; }
  const std::vector<LogRun>& Runs() const { return runs_; }
  // Called after every edit, so a view can apply it instead of redrawing.
  std::function<void(const LogEdit&)> OnEdit;

 private:
  void apply(const LogEdit& edit);

  std::string text_;
  std::vector<LogRun> runs_;
};

// Command lines sent before, oldest first; an entry is added once (compared without case).
class CommandHistory {
 public:
  void Add(const std::string& entry);
  void Clear() { entries_.clear(); }
  const std::vector<std::string>& Entries() const { return entries_; }

 private:
  std::vector<std::string> entries_;
};

}  // namespace qv
