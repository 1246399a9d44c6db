#include "catalogue/LaserCommand.h"

#include "platform/Text.h"

#include <charconv>
#include <climits>
#include <mutex>

namespace {

// clang-format off
constexpr const char* kNames[kLaserCommandCount] = {
    "lcReadStatus", "lcReadSN", "lcReadLHC03SN", "lcReadRunningTime", "lcReadFlowRate",
    "lcReadCurrent", "lcReadCurrentMonitor", "lcReadCurrentDA", "lcReadVoltageMonitor",
    "lcReadMaxCurrent", "lcReadCurrentLimit", "lcReadFrequency", "lcReadTriggerMode",
    "lcReadErrorCode", "lcReadTemperature", "lcReadHumidity", "lcReadFirmwareVersion",
    "lcReadWarningCode", "lcReadPower", "lcReadOvenTemperature", "lcReadActualOvenTemperature",
    "lcReadOvenTempError", "lcReadOvenHeatingValue", "lcReadLDRunningTime", "lcReadState",
    "lcReadPulseCount", "lcReadPulseNumber", "lcReadRegulatorLevel",
    "lcReadActualRegulatorLevel", "lcReadRegulatorState", "lcReadSeederFrequency",
    "lcReadActualSeederFrequency", "lcReadProtectionPulseRange", "lcReadProtectionCurrentLimit",
    "lcReadFreeTriggerMode", "lcReadFreeTriggerPPB", "lcSetInternal", "lcSetExternal", "lcSetCW",
    "lcSetHVOn", "lcClearError", "lcSaveSettings", "lcReset", "lcSetPassword", "lcSetStatus",
    "lcSetCurrent", "lcSetMaxCurrent", "lcSetCurrentLimit", "lcSetFrequency", "lcSetTemperature",
    "lcSetPulseCount", "lcSetPulseNumber", "lcSetRegulatorLevel", "lcSetActualRegulatorLevel",
    "lcSetRegulator", "lcSetCommands", "lcCustomized", "lcUnknown", "lcWaitBeforeNext"};
// clang-format on

std::string cut(std::string text) {
  if (text.size() > kMaxCommandText) text.resize(kMaxCommandText);
  return text;
}

// A signed decimal 32-bit integer, or 0 when the text is not one (as the laser's firmware and the
// console treat "WAIT": no number).
long long parseNumber(const std::string& text) {
  std::size_t start = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    start = 1;
  }
  if (start >= text.size()) return 0;
  long long value = 0;
  auto [end, ec] = std::from_chars(text.data() + start, text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return 0;
  if (negative) value = -value;
  if (value < INT_MIN || value > INT_MAX) return 0;
  return value;
}

// The digit run that starts at the second character, without leading zeros unless it has no
// other digit.
std::string digitRun(const std::string& text) {
  std::size_t end = 1;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  std::string run = text.substr(1, end - 1);
  std::size_t firstNonZero = run.find_first_not_of('0');
  if (firstNonZero == std::string::npos) return run;
  return run.substr(firstNonZero);
}

}  // namespace

const char* LaserCommandName(TLaserCommand command) {
  int value = static_cast<int>(command);
  return value < kLaserCommandCount ? kNames[value] : "";
}

EListError::EListError(int index)
    : std::out_of_range("List index out of bounds (" + std::to_string(index) + ")"),
      index_(index) {}

std::string TrimCommandText(const std::string& text) { return qv::trimBlanks(text); }

TCommandTextParts SplitCommandText(const std::string& text) {
  TCommandTextParts parts;
  if (text.empty()) return parts;
  parts.Letter = text[0];
  std::size_t space = text.find(' ');
  std::size_t numberEnd = space == std::string::npos ? text.size() : space;
  parts.Number = numberEnd > 1 ? parseNumber(text.substr(1, numberEnd - 1)) : 0;
  if (space != std::string::npos && space + 1 < text.size())
    parts.Argument = TrimCommandText(text.substr(space + 1));
  return parts;
}

bool SameCommandText(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return a.empty() && b.empty();
  auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
  char la = upper(a[0]);
  char lb = upper(b[0]);
  if (la < 'A' || la > 'Z' || la != lb) return false;
  return digitRun(a) == digitRun(b);
}

std::uint8_t LineCount(const std::string& pattern) {
  int count = 1;
  std::size_t at = pattern.find("\\r\\n");
  while (at != std::string::npos && count < 255) {
    ++count;
    at = pattern.find("\\r\\n", at + 4);
  }
  return static_cast<std::uint8_t>(count);
}

int TCommandList::Add(TLaserCommand command, std::uint8_t subId, const std::string& cmdStr,
                      const std::string& pattern, std::vector<std::int16_t> groups,
                      const std::string& description) {
  TCommandSyntax entry;
  entry.Command = command;
  entry.Pattern = cut(pattern);
  entry.SubID = subId;
  entry.CmdStr = cut(TrimCommandText(cmdStr));
  entry.Description = cut(description);
  entry.Groups = std::move(groups);
  entry.LineCount = LineCount(entry.Pattern);
  return append(std::move(entry));
}

int TCommandList::Add(TLaserCommand command, std::uint8_t subId, const std::string& cmdStr,
                      const std::string& pattern, std::int16_t valueGroup,
                      const std::string& description) {
  return Add(command, subId, cmdStr, pattern, std::vector<std::int16_t>{-1, valueGroup},
             description);
}

int TCommandList::Add(TLaserCommand command, const std::string& cmdStr, const std::string& pattern,
                      std::int16_t valueGroup, const std::string& description) {
  return Add(command, 0, cmdStr, pattern, std::vector<std::int16_t>{-1, valueGroup}, description);
}

int TCommandList::Add(TLaserCommand command, const std::string& cmdStr, const std::string& pattern,
                      const std::string& description) {
  return Add(command, 0, cmdStr, pattern, std::vector<std::int16_t>{-1, 0}, description);
}

int TCommandList::Add(TLaserCommand command, const std::string& cmdStr, const std::string& pattern,
                      std::vector<std::int16_t> groups, const std::string& description) {
  return Add(command, 0, cmdStr, pattern, std::move(groups), description);
}

int TCommandList::append(TCommandSyntax entry) {
  int index;
  {
    std::unique_lock guard(lock_);
    entries_.push_back(std::make_shared<const TCommandSyntax>(std::move(entry)));
    index = static_cast<int>(entries_.size()) - 1;
  }
  changed();
  return index;
}

void TCommandList::changed() {
  if (OnChange) OnChange(*this);
}

void TCommandList::Clear() {
  {
    std::unique_lock guard(lock_);
    entries_.clear();
  }
  changed();
}

void TCommandList::Delete(int index) {
  {
    std::unique_lock guard(lock_);
    if (index < 0 || index >= static_cast<int>(entries_.size())) return;
    entries_.erase(entries_.begin() + index);
  }
  changed();
}

void TCommandList::DeleteCommand(TLaserCommand command, int subId) {
  // Only the main thread writes, so nothing can shift the index between lookup and erase.
  Delete(IndexOfCommand(command, subId));
}

TCommandSyntaxPtr TCommandList::Items(int index) const {
  TCommandSyntaxPtr entry = TryItem(index);
  if (!entry) throw EListError(index);
  return entry;
}

TCommandSyntaxPtr TCommandList::FindCommand(TLaserCommand command, int subId) const {
  // Lookup and fetch under one read section, so a worker never gets the entry of a shifted index.
  std::shared_lock guard(lock_);
  int index = -1;
  int fallback = -1;
  for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
    const TCommandSyntax& e = *entries_[static_cast<std::size_t>(i)];
    if (e.Command != command) continue;
    if (e.SubID == subId) {
      index = i;
      break;
    }
    if (fallback < 0 && (e.SubID == 0 || subId == 0)) fallback = i;
  }
  if (index < 0) index = fallback;
  if (index < 0) throw EListError(-1);
  return entries_[static_cast<std::size_t>(index)];
}

TCommandSyntaxPtr TCommandList::TryItem(int index) const {
  std::shared_lock guard(lock_);
  if (index < 0 || index >= static_cast<int>(entries_.size())) return nullptr;
  return entries_[static_cast<std::size_t>(index)];
}

int TCommandList::Count() const {
  std::shared_lock guard(lock_);
  return static_cast<int>(entries_.size());
}

int TCommandList::IndexOfCommand(TLaserCommand command, int subId) const {
  std::shared_lock guard(lock_);
  int fallback = -1;
  for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
    const TCommandSyntax& e = *entries_[static_cast<std::size_t>(i)];
    if (e.Command != command) continue;
    if (e.SubID == subId) return i;
    if (fallback < 0 && (e.SubID == 0 || subId == 0)) fallback = i;
  }
  return fallback;
}

int TCommandList::IndexOfText(const std::string& text) const {
  TCommandTextParts wanted = SplitCommandText(text);
  if (wanted.Letter == '\0') return -1;
  std::shared_lock guard(lock_);
  for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
    const TCommandSyntax& e = *entries_[static_cast<std::size_t>(i)];
    TCommandTextParts have = SplitCommandText(e.CmdStr);
    if (have.Letter != wanted.Letter || have.Number != wanted.Number) continue;
    // Up to lcReset the argument is part of the command ("w71 1" vs "w71 2"); after it the
    // argument is the value being written.
    if (e.Command <= lcReset && have.Argument != wanted.Argument) continue;
    return i;
  }
  return -1;
}

std::vector<TCommandSyntaxPtr> TCommandList::Snapshot() const {
  std::shared_lock guard(lock_);
  return entries_;
}

void TCommandList::Assign(const TCommandList& source) {
  if (&source != this) {
    std::vector<TCommandSyntaxPtr> entries = source.Snapshot();
    std::unique_lock guard(lock_);
    entries_ = std::move(entries);
  }
  changed();
}
