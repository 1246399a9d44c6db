// The serial ports the system knows, in port-number order, each marked with what a quick probe
// found on it: the serial number of a laser that answered "r01", " - Busy", " - Not exists".
// Runs on the main thread and blocks it: an answering port takes a few ms, a silent one about
// the 50 ms read deadline.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct TSerialPortItem {
  std::string Text;
  std::optional<int> Number;  // the number after "COM" (0 when not a number); none for the
                              // fallback items and "No serial port present"
};
using TSerialPortItems = std::vector<TSerialPortItem>;

// Fills Items from the port enumeration and probes them. CurrentPort is the name of the port
// the console is connected through ("no" when not connected), CurrentLabel its label. False
// when the enumeration failed and the fallback COM1..COM4 was used.
bool ListSerialPorts(TSerialPortItems& Items, const std::string& CurrentPort,
                     const std::string& CurrentLabel);
// The same from a given list of port names in the system's order (nothing: not readable).
bool ListSerialPortNames(TSerialPortItems& Items,
                         const std::optional<std::vector<std::string>>& Names,
                         const std::string& CurrentPort, const std::string& CurrentLabel);
// Annotates every item in place (the current port by label, without opening it). A port gets
// ReadDeadlineMs after its "r01" to answer with a whole line.
constexpr int kProbeReadDeadlineMs = 50;
void ProbeSerialPorts(TSerialPortItems& Items, const std::string& CurrentPort,
                      const std::string& CurrentLabel, int ReadDeadlineMs = kProbeReadDeadlineMs);

// The serial number in a probe reply: the text after "S/N:" up to the next carriage return,
// trimmed of blanks and control characters, as a decimal integer; nothing when the reply has no
// "S/N:" or the text is not a whole decimal number.
std::optional<int> ParseProbeSerial(const std::string& reply);
