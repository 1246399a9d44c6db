// The console's command-line overrides: "-PORT:n", "-LEFT:n", "-TOP:n" (or "/" instead of "-")
// and the "MemLeaks" switch. Unusable arguments are ignored without a message.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qv {

struct CommandLineOverrides {
  std::optional<int> port;  // set: the "Laser" "Port" key is not read
  std::optional<int> left;  // set: "WindowPosition" "Left" is not read
  std::optional<int> top;   // set: "WindowPosition" "Top" is not read
  bool memLeaks = false;    // report never-freed memory at shutdown
};

// Takes the arguments after the program name, in order; a later argument overrides an earlier one.
// A port outside 1..256 counts as unusable.
CommandLineOverrides parseCommandLine(const std::vector<std::string>& args);
CommandLineOverrides parseCommandLine(int argc, const char* const* argv);

// A signed decimal integer that fills the whole text and fits 32 bits.
std::optional<int> parseSignedDecimal(const std::string& text);

// For programs with their own options (qvlaser-cli): removes the console's forms (any "PORT",
// "LEFT" or "TOP" with ":", usable or not, and "MemLeaks") from args and parses them.
CommandLineOverrides extractCommandLineOverrides(std::vector<std::string>& args);

// The recordings the window is asked to show: every argument that is not one of the console's
// forms above and does not begin with "-", in order ("/data/run.qlp" is a file, "/port:7" is not).
std::vector<std::string> recordingFileArguments(const std::vector<std::string>& args);

// Leak report at shutdown: switched on by "MemLeaks". Where the build has a leak checker
// (AddressSanitizer), reportLeaksIfEnabled runs it and prints what it finds on stderr;
// otherwise the switch is accepted and has no effect.
void enableLeakReport();
bool leakReportEnabled();
bool leakReportSupported();
void reportLeaksIfEnabled();

}  // namespace qv
