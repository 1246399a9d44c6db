// The command catalogue: logical laser commands, one catalogue entry, and the ordered list that
// turns a (command, sub-id) pair into a command text and a reply pattern.
//
// TCommandList is built and changed on the main thread and read by the writer and parser threads
// while commands are in flight. Entries are immutable once added and are handed out as shared
// pointers, so a reader keeps its entry alive even when the main thread rebuilds the list.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <shared_mutex>
#include <stdexcept>
#include <string>
#include <vector>

// The 59 logical commands, in their fixed order (the order matters to IndexOfText).
// clang-format off
enum TLaserCommand : std::uint8_t {
  lcReadStatus, lcReadSN, lcReadLHC03SN, lcReadRunningTime, lcReadFlowRate, lcReadCurrent,
  lcReadCurrentMonitor, lcReadCurrentDA, lcReadVoltageMonitor, lcReadMaxCurrent,
  lcReadCurrentLimit, lcReadFrequency, lcReadTriggerMode, lcReadErrorCode, lcReadTemperature,
  lcReadHumidity, lcReadFirmwareVersion, lcReadWarningCode, lcReadPower, lcReadOvenTemperature,
  lcReadActualOvenTemperature, lcReadOvenTempError, lcReadOvenHeatingValue, lcReadLDRunningTime,
  lcReadState, lcReadPulseCount, lcReadPulseNumber, lcReadRegulatorLevel,
  lcReadActualRegulatorLevel, lcReadRegulatorState, lcReadSeederFrequency,
  lcReadActualSeederFrequency, lcReadProtectionPulseRange, lcReadProtectionCurrentLimit,
  lcReadFreeTriggerMode, lcReadFreeTriggerPPB, lcSetInternal, lcSetExternal, lcSetCW, lcSetHVOn,
  lcClearError, lcSaveSettings, lcReset, lcSetPassword, lcSetStatus, lcSetCurrent,
  lcSetMaxCurrent, lcSetCurrentLimit, lcSetFrequency, lcSetTemperature, lcSetPulseCount,
  lcSetPulseNumber, lcSetRegulatorLevel, lcSetActualRegulatorLevel, lcSetRegulator,
  lcSetCommands, lcCustomized, lcUnknown, lcWaitBeforeNext
};
// clang-format on
constexpr int kLaserCommandCount = 59;

// "lcReadStatus" ... "lcWaitBeforeNext"; "" for a value outside the enumeration.
const char* LaserCommandName(TLaserCommand command);

// Longest text a command text, pattern or description can hold.
constexpr std::size_t kMaxCommandText = 255;

// One catalogue entry. Groups[0] is the capture group carrying the branch number (-1: none);
// Groups[1..] are the value groups in the order the laser object consumes them (0 = whole match).
struct TCommandSyntax {
  TLaserCommand Command = lcReadStatus;
  std::uint8_t SubID = 0;
  std::string CmdStr;       // sent without line terminator; trimmed of codes 0..32 when added
  std::string Pattern;      // reply pattern in the catalogue's dialect (catalogue/Pattern.h)
  std::string Description;  // for people; nothing reads it back
  std::vector<std::int16_t> Groups;
  std::uint8_t LineCount = 1;  // reply lines the pattern spans: 1 + occurrences of "\r\n"
};
using TCommandSyntaxPtr = std::shared_ptr<const TCommandSyntax>;

// The list's index error; what() is "List index out of bounds (<index>)".
class EListError : public std::out_of_range {
 public:
  explicit EListError(int index);
  int Index() const { return index_; }

 private:
  int index_;
};

// A command text taken apart: "w99 101" gives 'w', 99, "101"; "WAIT" gives 'W', 0, "".
struct TCommandTextParts {
  char Letter = '\0';  // '\0' for an empty text
  long long Number = 0;
  std::string Argument;
};
TCommandTextParts SplitCommandText(const std::string& text);

// True when both texts are empty, or both start with the same letter (any case) and carry the
// same digit run after it once leading zeros are dropped ("w97 101" and "W97").
bool SameCommandText(const std::string& a, const std::string& b);

// 1 plus the number of four-character sequences backslash r backslash n in a pattern.
std::uint8_t LineCount(const std::string& pattern);

// The text without leading and trailing characters of code 0..32.
std::string TrimCommandText(const std::string& text);

class TCommandList {
 public:
  using TChangeEvent = std::function<void(TCommandList& sender)>;

  TCommandList() = default;
  TCommandList(const TCommandList&) = delete;
  TCommandList& operator=(const TCommandList&) = delete;

  // Appends an entry, fires OnChange, returns the new index. The five forms of the catalogue:
  int Add(TLaserCommand command, std::uint8_t subId, const std::string& cmdStr,
          const std::string& pattern, std::vector<std::int16_t> groups,
          const std::string& description);
  int Add(TLaserCommand command, std::uint8_t subId, const std::string& cmdStr,
          const std::string& pattern, std::int16_t valueGroup, const std::string& description);
  int Add(TLaserCommand command, const std::string& cmdStr, const std::string& pattern,
          std::int16_t valueGroup, const std::string& description);
  int Add(TLaserCommand command, const std::string& cmdStr, const std::string& pattern,
          const std::string& description);
  int Add(TLaserCommand command, const std::string& cmdStr, const std::string& pattern,
          std::vector<std::int16_t> groups, const std::string& description);

  void Clear();            // always fires OnChange, even on an empty list
  void Delete(int index);  // out of range: nothing, no OnChange
  void DeleteCommand(TLaserCommand command, int subId);

  // The entry at index; throws EListError outside 0..Count()-1.
  TCommandSyntaxPtr Items(int index) const;
  // Items(IndexOfCommand(...)); throws EListError(-1) for an absent pair.
  TCommandSyntaxPtr FindCommand(TLaserCommand command, int subId) const;
  // The entry at index, or null; never throws (for worker threads).
  TCommandSyntaxPtr TryItem(int index) const;
  int Count() const;

  // Exact pair first; else the first entry of the command where either sub-id is 0; else -1.
  int IndexOfCommand(TLaserCommand command, int subId) const;
  // The entry a typed or raw command line names (letter, number, and the fixed argument of
  // commands up to lcReset); -1 if none.
  int IndexOfText(const std::string& text) const;

  // All entries in list order, taken in one step (for a parser that scans the whole list).
  std::vector<TCommandSyntaxPtr> Snapshot() const;
  // Replaces every entry with those of another list in one step, so readers see either the old
  // or the new catalogue and never a half-built one; fires OnChange once. The builders use it.
  void Assign(const TCommandList& source);

  // Main thread only. Called after every change with the list; never with the lock held.
  TChangeEvent OnChange;

 private:
  int append(TCommandSyntax entry);
  void changed();

  mutable std::shared_mutex lock_;  // guards entries_ (not OnChange: main thread only)
  std::vector<TCommandSyntaxPtr> entries_;
};
