// The terminal's log as a model the view renders (commands red, answers blue, answers at the tab
// stop) and its command history.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

enum class LogColour { Sent, Received };  // red (255,0,0) and blue (0,0,255)

// "14:41:37.123 ": the local time of a logged line, with milliseconds and a blank after it.
std::string terminalTimestamp(int64_t unixMs);
// Received bytes as two hex digits each, a blank after each ("4F 4B 0D 0A "), so control
// characters and bytes above 127 can be seen.
std::string hexBytes(std::string_view bytes);

// One coloured run of the log's text.
struct LogRun {
  std::string text;
  LogColour colour;
};

// One edit of the log: remove `removed` positions at `position`, then insert `text` there in
// `colour`. Positions count as a text document does: every character is one position and so is
// every line break, which an edit's text writes as a single "\n".
struct LogEdit {
  size_t position = 0;
  size_t removed = 0;
  std::string text;
  LogColour colour = LogColour::Received;
};

// The log keeps at most kMaxLines lines and kMaxChars positions: when either is exceeded, the
// oldest lines go, whole and in one edit, until nine tenths of both are left (a single line
// longer than that loses its oldest characters). Every edit costs the same however much was
// logged before.
//
// What a view does: start from an empty document (or, when it comes later, from Runs(), each
// "\r\n" in them written as one paragraph break) and apply every OnEdit in order: put the cursor
// at `position`, select `removed` positions to the right, replace them with `text` in `colour`
// (each "\n" a paragraph break). Edits only ever touch the end of the log (the last line and
// what follows it) or, when old lines are dropped, remove text at position 0 with nothing
// inserted. Clear is one edit that removes everything. The view then holds exactly Length()
// positions and needs no bound of its own.
class TerminalLog {
 public:
  static constexpr size_t kMaxLines = 10000;
  static constexpr size_t kMaxChars = size_t{1} << 20;

  // A command was written (without its carriage return). Hidden commands leave no trace.
  void Sent(const std::string& text);
  // A chunk of raw characters was read. A carriage return, a line feed, or the two together
  // (also when a chunk ends between them) make one line break; the lines of one answer start at
  // the tab stop.
  void Received(const std::string& chunk);
  void Clear();

  // Each line the log begins from now on starts with its local time (terminalTimestamp).
  void SetTimestamps(bool on) { timestamps_ = on; }
  bool Timestamps() const { return timestamps_; }
  // Received bytes are logged from now on as hex (hexBytes); a carriage return and line feed
  // still end the line after their own digits.
  void SetHexView(bool on) { hexView_ = on; }
  bool HexView() const { return hexView_; }
  // The clock of the timestamps, Unix ms (the system clock unless a test sets another).
  std::function<int64_t()> Now;

  // The whole log with its line breaks as "\r\n", and its coloured runs the same way. Both are
  // put together on each call: for tests and for a view that starts late, not for every edit.
  std::string Text() const;
  std::vector<LogRun> Runs() const;
  // Positions in the log (a line break counts one); lines (at least 1 unless the log is empty).
  size_t Length() const { return length_; }
  size_t LineCount() const { return lines_.size(); }
  // Called after every edit, so a view can apply it instead of redrawing.
  std::function<void(const LogEdit&)> OnEdit;

 private:
  struct Segment {
    LogColour colour;
    size_t length;
  };
  struct Line {
    std::string text;
    std::vector<Segment> segments;                // the colours of text, in order
    LogColour breakColour = LogColour::Received;  // of the line break that ends it
  };

  // Appends text (line breaks written "\n") in one colour at the end of the log.
  void append(const std::string& text, LogColour colour);
  void dropOldest();
  void publish(const LogEdit& edit);

  std::deque<Line> lines_;  // empty, or the lines with the last one open
  size_t length_ = 0;       // positions: every character and every line break
  // The last received character was a carriage return that ended a line: a line feed right
  // after it belongs to the same break.
  bool afterCarriageReturn_ = false;
  bool timestamps_ = false;
  bool hexView_ = false;
  std::string stamp() const;  // the timestamp of a line begun now, or "" while they are off
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
