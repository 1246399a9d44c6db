#include "console/TerminalLog.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <string_view>

#include "console/ConsoleTexts.h"
#include "platform/Clock.h"
#include "recording/QVLaserParam_Bin.h"

namespace qv {

namespace {

// A command text's own line breaks ("\r\n", "\r" or "\n") as the single "\n" of an edit.
std::string breaksAsNewlines(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// A line that holds nothing but blanks, or a timestamp and blanks (the start an answer's line
// break made for a next line that did not come).
bool blankLine(const std::string& line) {
  std::string_view rest = line;
  constexpr std::string_view kForm = "00:00:00.000 ";
  if (rest.size() >= kForm.size()) {
    bool stamp = true;
    for (size_t i = 0; i < kForm.size() && stamp; ++i) {
      stamp = kForm[i] == '0' ? std::isdigit(static_cast<unsigned char>(rest[i])) != 0
                              : rest[i] == kForm[i];
    }
    if (stamp) rest.remove_prefix(kForm.size());
  }
  return trimBlanks(std::string(rest)).empty();
}

}  // namespace

std::string terminalTimestamp(int64_t unixMs) {
  const qv::CalendarTime c = qv::calendarTime(unixMs, true);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d ", c.fields.tm_hour, c.fields.tm_min,
                c.fields.tm_sec, c.ms);
  return buf;
}

std::string hexBytes(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
    out += ' ';
  }
  return out;
}

std::string TerminalLog::stamp() const {
  if (!timestamps_) return {};
  return terminalTimestamp(Now ? Now() : unixTimeMs());
}

void TerminalLog::Sent(const std::string& text) {
  if (text.empty() || !ShowsInTerminal(text)) return;
  LogEdit edit;
  edit.colour = LogColour::Sent;
  edit.position = length_;
  std::string prefix;
  if (length_ > 0) {
    Line& last = lines_.back();
    if (blankLine(last.text)) {
      // A blank last line (the tab after an answer's line break) is taken over by the command.
      edit.position = length_ - last.text.size();
      edit.removed = last.text.size();
      length_ -= last.text.size();
      last.text.clear();
      last.segments.clear();
    } else {
      prefix = "\n";
    }
  }
  // Every line of a command (one normally) carries its own time when timestamps are on.
  std::string body = breaksAsNewlines(text);
  if (timestamps_) {
    const std::string t = stamp();
    for (size_t at = body.find('\n'); at != std::string::npos; at = body.find('\n', at + 1)) {
      body.insert(at + 1, t);
      at += t.size();
    }
    body = t + body;
  }
  edit.text = prefix + body + "\t";
  append(edit.text, edit.colour);
  publish(edit);
}

void TerminalLog::Received(const std::string& chunk) {
  if (chunk.empty()) return;
  const std::string t = stamp();
  std::string text = length_ == 0 ? t + "\t" : "";
  const size_t prefix = text.size();
  size_t i = 0;
  // The line feed of a carriage return that ended the last chunk: that break is made already.
  if (afterCarriageReturn_ && chunk[0] == '\n') {
    if (hexView_) text += hexBytes("\n");
    i = 1;
  }
  afterCarriageReturn_ = false;
  for (; i < chunk.size(); ++i) {
    const char c = chunk[i];
    if (c == '\r' && i + 1 < chunk.size() && chunk[i + 1] == '\n') {
      if (hexView_) text += hexBytes("\r\n");
      text += "\n" + t + "\t";  // the next line of the answer starts at the tab stop
      ++i;
    } else if (c == '\r' || c == '\n') {
      if (hexView_) text += hexBytes(std::string_view(&c, 1));
      text += '\n' + t;
      afterCarriageReturn_ = c == '\r' && i + 1 == chunk.size();
    } else if (hexView_) {
      text += hexBytes(std::string_view(&c, 1));
    } else {
      text += c;
    }
  }
  if (text.size() == prefix) return;  // only the rest of a break already made
  LogEdit edit;
  edit.position = length_;
  edit.text = std::move(text);
  edit.colour = LogColour::Received;
  append(edit.text, edit.colour);
  publish(edit);
}

void TerminalLog::Clear() {
  LogEdit edit;
  edit.removed = length_;
  lines_.clear();
  length_ = 0;
  afterCarriageReturn_ = false;
  if (OnEdit) OnEdit(edit);
}

void TerminalLog::append(const std::string& text, LogColour colour) {
  if (lines_.empty()) lines_.emplace_back();
  size_t start = 0;
  while (start <= text.size()) {
    const size_t br = text.find('\n', start);
    const size_t n = (br == std::string::npos ? text.size() : br) - start;
    Line& line = lines_.back();
    if (n > 0) {
      line.text.append(text, start, n);
      if (!line.segments.empty() && line.segments.back().colour == colour) {
        line.segments.back().length += n;
      } else {
        line.segments.push_back({colour, n});
      }
      length_ += n;
    }
    if (br == std::string::npos) break;
    line.breakColour = colour;
    lines_.emplace_back();
    ++length_;
    start = br + 1;
  }
}

void TerminalLog::publish(const LogEdit& edit) {
  if (OnEdit) OnEdit(edit);
  dropOldest();
}

void TerminalLog::dropOldest() {
  if (lines_.size() <= kMaxLines && length_ <= kMaxChars) return;
  // Down to nine tenths of both budgets at once, so the view gets one removal per many lines.
  const size_t keepLines = kMaxLines - kMaxLines / 10;
  const size_t keepChars = kMaxChars - kMaxChars / 10;
  LogEdit edit;  // removes at position 0, inserts nothing
  while (lines_.size() > 1 && (lines_.size() > keepLines || length_ > keepChars)) {
    const size_t n = lines_.front().text.size() + 1;  // with its line break
    edit.removed += n;
    length_ -= n;
    lines_.pop_front();
  }
  if (length_ > keepChars) {
    // One line longer than the budget (a stream without line breaks): its oldest characters go.
    Line& line = lines_.front();
    const size_t cut = length_ - keepChars;
    line.text.erase(0, cut);
    size_t left = cut;
    auto seg = line.segments.begin();
    while (left > 0 && seg != line.segments.end()) {
      const size_t take = std::min(left, seg->length);
      seg->length -= take;
      left -= take;
      if (seg->length == 0) ++seg;
    }
    line.segments.erase(line.segments.begin(), seg);
    edit.removed += cut;
    length_ -= cut;
  }
  if (OnEdit) OnEdit(edit);
}

std::string TerminalLog::Text() const {
  std::string text;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines_[i].text;
  }
  return text;
}

std::vector<LogRun> TerminalLog::Runs() const {
  std::vector<LogRun> runs;
  auto add = [&runs](std::string_view text, LogColour colour) {
    if (text.empty()) return;
    if (!runs.empty() && runs.back().colour == colour)
      runs.back().text += text;
    else
      runs.push_back({std::string(text), colour});
  };
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    size_t at = 0;
    for (const Segment& seg : line.segments) {
      add(std::string_view(line.text).substr(at, seg.length), seg.colour);
      at += seg.length;
    }
    if (i + 1 < lines_.size()) add("\r\n", line.breakColour);
  }
  return runs;
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
