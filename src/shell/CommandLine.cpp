#include "shell/CommandLine.h"

#include <atomic>
#include <cctype>
#include <charconv>

#if defined(__SANITIZE_ADDRESS__)
#define QV_HAVE_LEAK_CHECK 1
#include <sanitizer/lsan_interface.h>
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QV_HAVE_LEAK_CHECK 1
#include <sanitizer/lsan_interface.h>
#endif
#endif

namespace qv {

namespace {

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool isSwitchChar(char c) { return c == '-' || c == '/'; }

std::atomic<bool> gLeakReport{false};

}  // namespace

std::optional<int> parseSignedDecimal(const std::string& text) {
  if (text.empty()) return std::nullopt;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  // from_chars takes "-" but not "+"; a leading "+" is still a signed decimal number.
  if (*first == '+') {
    ++first;
    if (first == last || *first == '-') return std::nullopt;
  }
  int value = 0;
  auto [ptr, ec] = std::from_chars(first, last, value, 10);
  if (ec != std::errc() || ptr != last) return std::nullopt;
  return value;
}

CommandLineOverrides parseCommandLine(const std::vector<std::string>& args) {
  CommandLineOverrides result;
  for (const std::string& arg : args) {
    if (arg.empty() || !isSwitchChar(arg[0])) continue;
    if (upper(arg.substr(1)) == "MEMLEAKS") {
      result.memLeaks = true;
      continue;
    }
    // The first ":" at or after the second character splits name and value.
    const auto colon = arg.find(':', 1);
    if (colon == std::string::npos) continue;
    const std::string name = upper(arg.substr(1, colon - 1));
    const auto value = parseSignedDecimal(arg.substr(colon + 1));
    if (!value) continue;
    if (name == "PORT") {
      // A number the serial layer cannot open is as unusable as one that does not parse.
      if (*value >= 1 && *value <= 256) result.port = *value;
    } else if (name == "LEFT") {
      result.left = *value;
    } else if (name == "TOP") {
      result.top = *value;
    }
  }
  return result;
}

CommandLineOverrides extractCommandLineOverrides(std::vector<std::string>& args) {
  std::vector<std::string> ours, rest;
  for (const std::string& arg : args) {
    bool mine = false;
    if (!arg.empty() && isSwitchChar(arg[0])) {
      if (upper(arg.substr(1)) == "MEMLEAKS") {
        mine = true;
      } else if (const auto colon = arg.find(':', 1); colon != std::string::npos) {
        const std::string name = upper(arg.substr(1, colon - 1));
        mine = name == "PORT" || name == "LEFT" || name == "TOP";
      }
    }
    (mine ? ours : rest).push_back(arg);
  }
  args = std::move(rest);
  return parseCommandLine(ours);
}

std::vector<std::string> recordingFileArguments(const std::vector<std::string>& args) {
  std::vector<std::string> rest = args;
  extractCommandLineOverrides(rest);
  std::vector<std::string> files;
  for (const std::string& arg : rest)
    if (!arg.empty() && arg[0] != '-') files.push_back(arg);
  return files;
}

CommandLineOverrides parseCommandLine(int argc, const char* const* argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
  return parseCommandLine(args);
}

void enableLeakReport() { gLeakReport = true; }
bool leakReportEnabled() { return gLeakReport; }

bool leakReportSupported() {
#ifdef QV_HAVE_LEAK_CHECK
  return true;
#else
  return false;
#endif
}

void reportLeaksIfEnabled() {
  if (!gLeakReport) return;
#ifdef QV_HAVE_LEAK_CHECK
  __lsan_do_recoverable_leak_check();
#endif
}

}  // namespace qv
