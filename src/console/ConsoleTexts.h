// Texts and number rules of the operator console that need no laser object: read-out number
// format, typed-number conversion, serial labels and captions, the port message, the error and
// warning lists, the proposed recording file name and the terminal's hiding rule.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Read-out number format: Value scaled by 1e6 ("M") or 1e3 ("k") from those magnitudes on.
double SplitPrefix(double value, std::string& prefix);
// Format("%.2f%s", scaled value, prefix): 12.5 -> "12.50", 20000 -> "20.00k".
std::string ShowValue(double value);
// Format("%.2f", value) with the point as decimal separator.
std::string FormatFixed2(double value);

namespace qv {

// Decimal number as typed by the operator (point as separator, optional sign and exponent,
// surrounding blanks allowed); nullopt when the text does not convert.
std::optional<double> parseDecimal(const std::string& text);

// Delphi-style Trim: removes leading and trailing characters with codes below 33.
std::string trimBlanks(const std::string& text);

}  // namespace qv

// Result of converting a frequency field's text.
struct TFrequencyText {
  enum Kind { Empty, Invalid, Value } kind = Empty;
  double value = 0;
};
// "1.5k" -> 1500, "20M" -> 20000000, " 50 " -> 50, "" -> Empty, "k" -> Invalid.
TFrequencyText ParseFrequencyText(const std::string& text);

// Display names of the trigger modes by ordinal (tmInternal = 0 .. tmError = 8).
std::string TriggerModeName(int ordinal);

// A serial from 1 to 99 is shown raised by 100 (57 -> 157); others stay.
int AdjustSerial(int serial);
// Format("SN%4d") and Format("SN%4d (PS%4d)").
std::string SerialLabel(int serial);
std::string SerialLabel(int headSerial, int psSerial);
// Header label while no serial is known.
inline constexpr const char* kNoSerialLabel = "TESSARIX";

// Main window caption and application title for a shown serial (0 = no laser).
inline constexpr const char* kProductName = "Quorvane Laser Control";
std::string CaptionText(uint16_t shownSerial);
std::string ApplicationTitle(uint16_t shownSerial);
// The serial the caption shows for a connected laser (ShowLaserSerial steps 1 to 3).
uint16_t CaptionSerial(int lhcVersion, int32_t lhcsn, uint16_t sn);

// The message for a port that cannot be opened; a non-empty hint (the serial layer's check line
// for the failure kind, such as refused permission) is added as a further line.
std::string PortMessage(int port, const std::string& hint = "");

// "Laser error list" / "Laser warning list" texts; explain returns the text for a code, if any.
using TExplainFn = std::function<std::optional<std::string>(int code)>;
std::string ErrorListText(const std::vector<uint16_t>& codes, const TExplainFn& explain);
std::string WarningListText(const std::vector<uint16_t>& codes, const TExplainFn& explain);

// Proposed recording file name: SN<head serial, 4 digits>_yyyy-mm-dd_hhnnss_LT.qlp.
std::string RecordingFileName(int32_t headSerial, const std::tm& localTime);

// False for the password command ("w01 …", "w1 …"), which is neither echoed nor remembered.
bool ShowsInTerminal(const std::string& text);
// The password command: "w01 " + password with every "," made ".".
std::string PasswordCommand(const std::string& password);
// The terminal's command line turns letters to lower case as they are typed, those of
// Windows-1252 included ("R01" becomes "r01"); text pasted with Ctrl+Alt+V goes out as it stands.
std::string TypedCommandText(const std::string& text);
// A "|"-separated command line cut into its trimmed, non-empty parts, in order.
std::vector<std::string> SplitCommandList(const std::string& text);

// A one-line entry field: its text and selection (the caret is selStart when selLength is 0).
struct TEditField {
  std::string text;
  size_t selStart = 0;
  size_t selLength = 0;
};
// What a typed character does to a frequency field (digits, one point, a final "k" or "M").
struct TKeyOutcome {
  bool passed = false;  // the field received the character (already applied to printable ones)
  bool apply = false;   // Enter: the console applies the field (ApplyFrequency)
};
TKeyOutcome FrequencyKeyPress(TEditField& field, char key);
