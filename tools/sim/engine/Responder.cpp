#include "engine/Responder.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <optional>

namespace qv::sim {
namespace {

const std::string kOk = "OK\r\n";
const std::string kError = "ERROR\r\n";
const char kDegree = static_cast<char>(0xB0);  // the degree sign, one byte

std::string trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

std::string format(const char* f, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* f, ...) {
  char buf[256];
  va_list ap;
  va_start(ap, f);
  std::vsnprintf(buf, sizeof buf, f, ap);
  va_end(ap);
  return buf;
}

std::string line(const std::string& s) {
  return s + "\r\n";
}

// A plain decimal number: digits with an optional fraction ("12", "12.5", "12.50", ".5").
// Signs, exponents and anything else are refused, as the power supply's own parser would.
std::optional<double> parseDecimal(const std::string& s) {
  if (s.empty() || s.size() > 16) return std::nullopt;
  size_t digits = 0, dots = 0;
  for (char ch : s) {
    if (std::isdigit(static_cast<unsigned char>(ch))) {
      ++digits;
    } else if (ch == '.') {
      ++dots;
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0 || dots > 1) return std::nullopt;
  return std::strtod(s.c_str(), nullptr);
}

std::optional<int> parseWhole(const std::string& s) {
  if (s.empty() || s.size() > 9) return std::nullopt;
  for (char ch : s) {
    if (!std::isdigit(static_cast<unsigned char>(ch))) return std::nullopt;
  }
  return std::stoi(s);
}

std::string codeList(const std::vector<int>& codes) {
  std::string out;
  for (int c : codes) out += line(std::to_string(c));
  return out + "\r\n";  // the empty line closes the list
}

const char* triggerWord(Trigger t) {
  switch (t) {
    case Trigger::Internal:
      return "INTERNAL";
    case Trigger::External:
      return "EXTERNAL";
    case Trigger::CW:
      return "CW";
    case Trigger::HVOn:
      return "HV-ON";
  }
  return "CW";
}

std::string seederText(double hz) {
  if (hz >= 1e6) return format("%.3f MHZ", hz / 1e6);
  if (hz >= 1e3) return format("%.3f KHZ", hz / 1e3);
  return format("%.3f HZ", hz);
}

// Branch of the current reads and sets: r61/w61 1, r62/w62 2, r161/w161 3, r162/w162 4.
int currentBranchOf(int number) {
  switch (number) {
    case 61:
      return 1;
    case 62:
      return 2;
    case 161:
      return 3;
    case 162:
      return 4;
  }
  return 0;
}

// Branch of the maximum-current reads and sets: 67 1, 69 2, 167 3, 169 4.
int maxBranchOf(int number) {
  switch (number) {
    case 67:
      return 1;
    case 69:
      return 2;
    case 167:
      return 3;
    case 169:
      return 4;
  }
  return 0;
}

}  // namespace

Command parseCommand(const std::string& text) {
  Command c;
  std::string t = trim(text);
  if (t.empty()) return c;
  c.letter = static_cast<char>(std::tolower(static_cast<unsigned char>(t[0])));
  size_t space = t.find(' ');
  std::string digits = t.substr(1, space == std::string::npos ? std::string::npos : space - 1);
  if (!digits.empty() && digits.size() <= 6 &&
      std::all_of(digits.begin(), digits.end(),
                  [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)); })) {
    c.number = std::stoi(digits);
  }
  if (space != std::string::npos) c.argument = trim(t.substr(space + 1));
  return c;
}

bool matchesSelector(const std::string& selector, const std::string& commandText) {
  Command c = parseCommand(commandText);
  size_t start = 0;
  while (start <= selector.size()) {
    size_t comma = selector.find(',', start);
    std::string item = trim(
        selector.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (item == "*") return true;
    if (!item.empty()) {
      Command s = parseCommand(item);
      if (s.letter == c.letter && s.number == c.number &&
          (s.argument.empty() || s.argument == c.argument)) {
        return true;
      }
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return false;
}

Responder::Responder(const Profile& profile, const Config& config, Clock::time_point now)
    : profile_(profile), config_(config), onSince_(now) {
  LaserState& s = state_;
  s.current = profile.current;
  s.maxCurrent = profile.maxCurrent;
  s.currentLimit = profile.currentLimit;
  s.frequency = profile.frequency;
  s.trigger.fill(Trigger::Internal);
  s.pulseCount = profile.pulseCount;
  s.pulseNumber = profile.pulseNumber;
  s.regulatorLevel = 50.0;
  s.regulatorOn = true;
  s.freeTriggerMode = 0;
  s.freeTriggerPPB = 5;
  s.warnings = config.warnings;
  s.errorClass = config.errorClass;
  s.warmUp = (profile.needsWarmUp || config.warmUpRequired) ? WarmUp::Required : WarmUp::NotNeeded;
  applyProtectionClass();
  saved_ = state_;
  setErrors(config.errors);
}

void Responder::setErrors(std::vector<int> codes) {
  state_.errors = std::move(codes);
  if (!state_.errors.empty()) state_.laserOn = false;
}

void Responder::setWarmUpRequired(bool required) {
  state_.warmUp = required ? WarmUp::Required : WarmUp::NotNeeded;
  if (required) state_.laserOn = false;
}

void Responder::advance(Clock::time_point now) {
  if (state_.warmUp == WarmUp::Warming && now >= warmedAt_) state_.warmUp = WarmUp::Warmed;
}

std::string Responder::due(Clock::time_point now) {
  advance(now);
  if (now < readyAt_) return {};
  readyAt_ = Clock::time_point::max();
  // The controller comes back from its reset with the saved settings, the laser off and the
  // error list cleared; the warm-up it has done stays done.
  LaserState& s = state_;
  s.resetting = false;
  s.laserOn = false;
  s.errors.clear();
  s.passwordAccepted = false;
  s.current = saved_.current;
  s.maxCurrent = saved_.maxCurrent;
  s.currentLimit = saved_.currentLimit;
  s.frequency = saved_.frequency;
  s.trigger = saved_.trigger;
  s.pulseCount = saved_.pulseCount;
  s.pulseNumber = saved_.pulseNumber;
  s.regulatorLevel = saved_.regulatorLevel;
  s.regulatorOn = saved_.regulatorOn;
  applyProtectionClass();
  return line("READY");
}

Responder::Clock::time_point Responder::nextDue() const {
  Clock::time_point t = readyAt_;
  if (state_.warmUp == WarmUp::Warming) t = std::min(t, warmedAt_);
  return t;
}

std::string Responder::statusText() const {
  return state_.laserOn ? "LASER_ON" : "LASER_OFF";
}

std::string Responder::stateText(Clock::time_point now) {
  advance(now);
  const LaserState& s = state_;
  int digit = !s.errors.empty() ? s.errorClass : (s.laserOn ? 3 : 2);
  std::string out = s.warnings.empty() ? "" : "800";
  out += std::to_string(digit);
  if (digit == 2) {
    switch (s.warmUp) {
      case WarmUp::NotNeeded:
        break;
      case WarmUp::Required:
        out += ".00";
        break;
      case WarmUp::Warming:
        out += ".25";
        break;
      case WarmUp::Warmed:
        out += ".50";
        break;
    }
  }
  return out;
}

int Responder::runningMinutes(Clock::time_point now) const {
  int minutes = profile_.runningMinutes + onMinutes_;
  if (state_.laserOn) {
    minutes +=
        static_cast<int>(std::chrono::duration_cast<std::chrono::minutes>(now - onSince_).count());
  }
  return minutes;
}

void Responder::applyProtectionClass() {
  if (profile_.generation < 3 || !profile_.pulsePicker || profile_.pulseRange[3] <= 0) return;
  int n = state_.pulseCount;
  int cls = n <= profile_.pulseRange[3] ? 3 : (n <= profile_.pulseRange[2] ? 2 : 1);
  for (int b = 1; b <= 3; ++b) {
    double limit = profile_.protectionLimit[cls][b];
    if (limit <= 0) continue;
    double ceiling = state_.currentLimit[b] > 0 ? std::min(limit, state_.currentLimit[b]) : limit;
    state_.maxCurrent[b] = ceiling;
    state_.current[b] = std::min(state_.current[b], ceiling);
  }
}

std::string Responder::answer(const std::string& commandText, Clock::time_point now) {
  if (trim(commandText).empty()) return {};
  advance(now);
  Command c = parseCommand(commandText);
  if (c.number < 0) return kError;
  switch (c.letter) {
    case 'r':
      return read(c, now);
    case 'w':
      return write(c, now);
    case 'p':
      if (c.number == 66) {
        auto v = parseDecimal(c.argument);
        if (!v || *v > 999.99) return kError;
        state_.currentLimit[1] = *v;
        state_.maxCurrent[1] = std::min(state_.maxCurrent[1], *v);
        state_.current[1] = std::min(state_.current[1], *v);
        return kOk;
      }
      return kError;
  }
  return kError;
}

std::string Responder::read(const Command& c, Clock::time_point now) {
  const Profile& p = profile_;
  const LaserState& s = state_;
  const bool gen3 = p.generation >= 3;
  const int n = c.number;

  switch (n) {
    case 1:
      return line(format("S/N: %d", p.serial));
    case 2:
      return gen3 ? line(format("S/N LASER-HEAD: %d", p.headSerial)) : kError;
    case 12:
      return line(p.firmware);
    case 51: {
      int m = runningMinutes(now);
      return line(format("%d H", m / 60)) + line(format("%d M", m % 60));
    }
    case 60:
      return line(statusText());
    case 90:
      return codeList(s.errors);
    case 99:
      return line(stateText(now));
    case 61:
    case 62:
    case 161:
    case 162: {
      int b = currentBranchOf(n);
      return p.currentBranch[b] ? line(format("%.2f A", s.current[b])) : kError;
    }
    case 52:
    case 53:
    case 54:
    case 55:
    case 56:
    case 57:
    case 152:
    case 153:
    case 154:
    case 155:
    case 156:
    case 157: {
      int b = (n % 100 <= 54 ? 1 : 2) + (n > 100 ? 2 : 0);
      if (!p.currentBranch[b]) return kError;
      double i = s.laserOn ? s.current[b] : 0.0;
      switch ((n % 100 - 52) % 3) {
        case 0:
          return line(format("VMON %d = %.2f", b, s.laserOn ? 1.6 + 0.02 * i : 0.0));
        case 1:
          return line(format("IMON %d = %.2f", b, i));
        default:
          return line(format("IDA %d = %.2f", b, i));
      }
    }
    case 65:
      return p.singleBranch ? line(format("IMAX = %.2f A", s.maxCurrent[2])) : kError;
    case 67:
    case 69:
    case 167:
    case 169: {
      int b = maxBranchOf(n);
      return p.currentBranch[b] ? line(format("IMAX%d = %.2f A", b, s.maxCurrent[b])) : kError;
    }
    case 70:
      return p.singleBranch ? line(std::string("TRIGGER_MODE: ") + triggerWord(s.trigger[2]))
                            : kError;
    case 71:
      if (p.singleBranch) return line(format("FREQUENCY = %.2f HZ", s.frequency[2]));
      [[fallthrough]];
    case 72: {
      int b = n - 70;
      if (p.singleBranch || !p.triggerBranch[b]) return kError;
      return line(format("LASER%d %s", b, triggerWord(s.trigger[b])));
    }
    case 73:
      if (p.singleBranch || !p.frequencyBranch[1]) return kError;
      return line(format("FREQUENCY = %.2f HZ", s.frequency[1]));
    case 74:
      if (gen3) return kError;
      if (p.frequencyOnR74) {
        return p.frequencyBranch[2] ? line(format("FREQUENCY = %.2f HZ", s.frequency[2])) : kError;
      }
      return p.pulsePicker ? line(format("FACTOR = %d", s.pulseCount)) : kError;
    case 75:
      if (gen3 || !p.pulsePicker || p.frequencyOnR74) return kError;
      return line(format("PULSES PER SHOT = %d", s.pulseNumber));
    case 91:
      return gen3 ? codeList(s.warnings) : line("FLOW: 3.25 L/MIN");
  }

  if (!gen3) return kError;
  switch (n) {
    case 5:
    case 15:
    case 25:
    case 6:
    case 16:
    case 26:
    case 7:
    case 17:
    case 27: {
      int oven = n / 10 + 1;
      if (oven > p.ovens) return kError;
      double set = 40.0 + 5.0 * oven;
      switch (n % 10) {
        case 5:
          return line(format("W_O%d = %.2f", oven, set));
        case 6:
          return line(format("X_O%d = %.2f", oven, set - 0.03));
        default:
          return line(format("E_O%d = %.2f", oven, -0.03));
      }
    }
    case 20:
      return line(format("TEMPERATURE POWER-SUPPLY: %.1f %cC", 31.5, kDegree));
    case 32:
      return line("WATER FLOW = 3.25 L/MIN");
    case 58:
    case 59:
      return line(format("LD %d OPERATING HOURS %d.%02d HH.MM", n - 57, 1000 - 13 * (n - 58), 30));
    case 80:
    case 81:
      return line(format("HUMIDITY LASER %d = %.1f %%", n - 79, 12.5 + (n - 80)));
    case 82:
    case 83:
      return line(format("HUMIDITY RESONATOR %d = %.1f %%", n - 81, 10.2 + 0.5 * (n - 82)));
    case 84:
      return line("HUMIDITY 5 = 20.0 %");
    case 86:
    case 87:
      return line(format("TEMPERATURE LASER %d: %.1f %cC", n - 85, 25.0 + 0.2 * (n - 86), kDegree));
    case 88:
    case 89:
      return line(
          format("TEMPERATURE RESONATOR %d = %.1f %cC", n - 87, 30.1 + 0.2 * (n - 88), kDegree));
    case 203: {
      double watts = 0;
      if (s.laserOn) {
        for (int b = 1; b <= 4; ++b) watts += p.currentBranch[b] ? 0.25 * s.current[b] : 0.0;
      }
      return line(format("MED. POWER = %.2f W", watts));
    }
  }

  if (p.pulsePicker) {
    static const char* const kClassWord[4] = {"", "MAX", "MED", "MIN"};
    switch (n) {
      case 170:
        return line("SEEDER-FREQUENCY = " + seederText(p.seederHz));
      case 171:
        return line("ACT. SEEDER-FREQUENCY = " + seederText(p.seederHz * 0.99995));
      case 172:
        return line(format("PULSE COUNT = %d", s.pulseCount));
      case 173:
        return line(format("PULSE NUMBER = %d", s.pulseNumber));
      case 180:
      case 182:
      case 184: {
        int cls = (n - 178) / 2;
        return line(format("%s PERIOD = %d PULSES", kClassWord[cls], p.pulseRange[cls]));
      }
      case 181:
      case 183:
      case 185:
      case 191:
      case 192:
      case 193:
      case 194:
      case 195:
      case 196: {
        int branch = n < 190 ? 2 : (n <= 193 ? 1 : 3);
        int cls = n < 190 ? (n - 179) / 2 : (n - 190 - (branch == 3 ? 3 : 0));
        return line(format("%s PERIOD MAX. CURRENT I%d = %.2f A", kClassWord[cls], branch,
                           p.protectionLimit[cls][branch]));
      }
    }
  }
  if (p.regulator) {
    switch (n) {
      case 175:
        return line(format("VREG SOLL = %.2f %%", s.regulatorLevel));
      case 176:
        return line(format("VREG = %.2f %%", s.regulatorOn ? s.regulatorLevel : 0.0));
      case 178:
        return line(format("VREG_ACTIVE = %d", s.regulatorOn ? 1 : 0));
    }
  }
  if (p.freeTrigger) {
    switch (n) {
      case 232:
        return line(format("FREE TRIGGER ACTIVE (%d)", s.freeTriggerMode));
      case 233:
        return line(format("PPB IN FT = %d", s.freeTriggerPPB));
    }
  }
  return kError;
}

std::string Responder::setCurrent(int branch, const std::string& arg) {
  if (!profile_.currentBranch[branch]) return kError;
  auto v = parseDecimal(arg);
  if (!v || *v > state_.maxCurrent[branch] + 1e-9) return kError;
  state_.current[branch] = *v;
  return kOk;
}

std::string Responder::setMaxCurrent(int branch, const std::string& arg) {
  if (!profile_.currentBranch[branch]) return kError;
  auto v = parseDecimal(arg);
  if (!v || *v > state_.currentLimit[branch] + 1e-9) return kError;
  state_.maxCurrent[branch] = *v;
  state_.current[branch] = std::min(state_.current[branch], *v);
  return kOk;
}

std::string Responder::setFrequency(int branch, const std::string& arg) {
  auto v = parseDecimal(arg);
  if (!v || *v <= 0 || *v > profile_.maxFrequency) return kError;
  state_.frequency[branch] = *v;
  return kOk;
}

std::string Responder::write(const Command& c, Clock::time_point now) {
  const Profile& p = profile_;
  LaserState& s = state_;
  const bool gen3 = p.generation >= 3;
  const std::string& a = c.argument;

  switch (c.number) {
    case 1:
      if (a.empty() || (!config_.password.empty() && a != config_.password)) return kError;
      s.passwordAccepted = true;
      return kOk;
    case 9:
    case 19:
    case 29: {
      int oven = c.number / 10 + 1;
      if (!gen3 || oven > p.ovens) return kError;
      if (a == "1") return line(format("Y: %d DIGITS", 500 + 12 * oven));
      return a == "0" ? kOk : kError;
    }
    case 60:
      if (a == "0") {
        if (s.laserOn) {
          onMinutes_ += static_cast<int>(
              std::chrono::duration_cast<std::chrono::minutes>(now - onSince_).count());
        }
        s.laserOn = false;
      } else if (a == "1") {
        if (!s.errors.empty()) return kOk;  // accepted, but an error keeps the laser off
        if (s.warmUp == WarmUp::Required || s.warmUp == WarmUp::Warming) {
          setErrors({1042});  // not warmed up
          return kOk;
        }
        if (!s.laserOn) onSince_ = now;
        s.laserOn = true;
      } else if (a == "2") {
        if (s.warmUp != WarmUp::Warming && s.warmUp != WarmUp::Warmed) {
          s.warmUp = WarmUp::Warming;
          warmedAt_ = now + std::chrono::milliseconds(config_.warmUpMs);
        }
      } else {
        return kError;
      }
      return kOk;
    case 61:
    case 62:
    case 161:
    case 162:
      return setCurrent(currentBranchOf(c.number), a);
    case 67:
    case 69:
    case 167:
    case 169:
      return setMaxCurrent(maxBranchOf(c.number), a);
    case 70:
      if (p.singleBranch) {
        if (a == "0")
          s.trigger[2] = Trigger::External;
        else if (a == "1")
          s.trigger[2] = Trigger::Internal;
        else if (a == "2")
          s.trigger[2] = Trigger::CW;
        else
          return kError;
        return kOk;
      }
      if (a != "1") return kError;
      for (int b = 1; b <= 4; ++b) s.trigger[b] = Trigger::Internal;
      return kOk;
    case 71:
      if (p.singleBranch) return setFrequency(2, a);
      [[fallthrough]];
    case 72: {
      int b = c.number - 70;
      if (p.singleBranch || !p.triggerBranch[b]) return kError;
      if (a == "1")
        s.trigger[b] = Trigger::External;
      else if (a == "2")
        s.trigger[b] = Trigger::CW;
      else if (a == "7" && gen3)
        s.trigger[b] = Trigger::HVOn;
      else
        return kError;
      return kOk;
    }
    case 73:
      if (p.singleBranch || !p.frequencyBranch[1]) return kError;
      return setFrequency(1, a);
    case 74:
    case 75:
    case 172:
    case 173: {
      bool count = c.number == 74 || c.number == 172;
      if (gen3 != (c.number > 100)) return kError;
      if (!gen3 && p.frequencyOnR74) {
        return c.number == 74 && p.frequencyBranch[2] ? setFrequency(2, a) : kError;
      }
      if (!p.pulsePicker) return kError;
      auto v = parseWhole(a);
      if (!v || *v < 1 || *v > 65535) return kError;
      if (count) {
        // Periods longer than the longest protection class are refused.
        if (gen3 && p.pulseRange[1] > 0 && *v > p.pulseRange[1]) return kError;
        s.pulseCount = *v;
        applyProtectionClass();
      } else {
        s.pulseNumber = *v;
      }
      return kOk;
    }
    case 175:
      if (!gen3 || !p.regulator) return kError;
      if (auto v = parseDecimal(a); v && *v <= 100.0) {
        s.regulatorLevel = *v;
        return kOk;
      }
      return kError;
    case 178:
      if (!gen3 || !p.regulator || (a != "0" && a != "1")) return kError;
      s.regulatorOn = a == "1";
      return kOk;
    case 97:
      if (a != "101") return kError;
      s.errors.clear();
      return kOk;
    case 98:
      if (a != "101") return kError;
      saved_ = s;
      ++s.saves;
      return kOk;
    case 99:
      if (a != "101") return kError;
      s.resetting = true;
      ++s.resets;
      readyAt_ = now + std::chrono::milliseconds(config_.resetReadyMs);
      return kOk;
  }
  return kError;
}

}  // namespace qv::sim
