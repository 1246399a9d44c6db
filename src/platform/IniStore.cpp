#include "platform/IniStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace qv {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string trimBlanks(const std::string& s) {
  std::size_t begin = 0;
  std::size_t end = s.size();
  while (begin < end && isBlank(s[begin])) ++begin;
  while (end > begin && isBlank(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool sameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

// A line break inside a value or name would split it into two lines on the next load.
std::string oneLine(const std::string& s) {
  std::string result = s;
  for (char& c : result)
    if (c == '\r' || c == '\n') c = ' ';
  return result;
}

bool writeAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string folderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// A signed decimal integer, or hexadecimal after "0x" or "$"; nothing for anything else.
std::optional<long long> parseInteger(const std::string& s) {
  if (s.empty()) return std::nullopt;
  std::size_t at = 0;
  bool negative = false;
  if (s[at] == '+' || s[at] == '-') negative = s[at++] == '-';
  int base = 10;
  if (s.compare(at, 1, "$") == 0) {
    base = 16;
    at += 1;
  } else if (s.compare(at, 2, "0x") == 0 || s.compare(at, 2, "0X") == 0) {
    base = 16;
    at += 2;
  }
  if (at >= s.size() || s[at] == '+' || s[at] == '-') return std::nullopt;
  unsigned long long magnitude = 0;
  auto [end, ec] = std::from_chars(s.data() + at, s.data() + s.size(), magnitude, base);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  constexpr unsigned long long kMax = 9223372036854775807ULL;
  if (magnitude > kMax + (negative ? 1 : 0)) return std::nullopt;
  if (!negative) return static_cast<long long>(magnitude);
  if (magnitude == kMax + 1) return -static_cast<long long>(kMax) - 1;
  return -static_cast<long long>(magnitude);
}

}  // namespace

bool IniStore::load(const std::string& path) {
  clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;  // a missing file is an empty store
  std::string text;
  char buffer[65536];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  int savedErrno = errno;
  ::close(fd);
  if (!ok) {
    errno = savedErrno;
    return false;
  }
  loadFromText(text);
  return true;
}

void IniStore::loadFromText(const std::string& content) {
  clear();
  // Editors on Windows often start the file with a UTF-8 byte-order mark; without this the
  // first section header would not be recognised.
  const std::string kBom = "\xEF\xBB\xBF";
  bom_ = content.compare(0, kBom.size(), kBom) == 0;
  const std::string text = bom_ ? content.substr(kBom.size()) : content;
  std::size_t firstBreak = text.find('\n');
  if (firstBreak != std::string::npos && firstBreak > 0 && text[firstBreak - 1] == '\r')
    eol_ = "\r\n";
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    std::string raw = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    // Every carriage return before the line feed belongs to the line end: a file passed twice
    // through a CR LF conversion has "\r\r\n", and a kept "\r" would turn into a line end
    // of its own (and leave the value) once the file is saved with bare line feeds.
    while (!raw.empty() && raw.back() == '\r') raw.pop_back();

    std::string trimmed = trimBlanks(raw);
    if (trimmed.size() >= 2 && trimmed.front() == '[') {
      std::size_t close = trimmed.find(']');
      if (close != std::string::npos) {
        sections_.push_back(Section{trimBlanks(trimmed.substr(1, close - 1)), raw, {}});
        continue;
      }
    }
    Line line;
    line.raw = raw;
    std::size_t eq = raw.find('=');
    bool comment = !trimmed.empty() && (trimmed[0] == ';' || trimmed[0] == '#');
    if (!comment && eq != std::string::npos) {
      line.key = trimBlanks(raw.substr(0, eq));
      line.value = trimBlanks(raw.substr(eq + 1));
    }
    sections_.back().lines.push_back(std::move(line));
  }
}

std::string IniStore::text() const {
  std::string out = bom_ ? "\xEF\xBB\xBF" : "";
  for (std::size_t s = 0; s < sections_.size(); ++s) {
    const Section& section = sections_[s];
    if (s > 0) out += section.header + eol_;
    for (const Line& line : section.lines) out += line.raw + eol_;
  }
  return out;
}

bool IniStore::save(const std::string& path) const {
  std::string data = text();
  std::string temp = path + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  // Keep the permissions of the file being replaced; a new file gets the usual ones.
  struct stat old {};
  mode_t mode;
  if (::stat(path.c_str(), &old) == 0) {
    mode = old.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, data) && ::fsync(fd) == 0;
  int savedErrno = errno;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    errno = savedErrno;
    return false;
  }
  // Make the rename itself durable.
  int dir = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

IniStore::Section* IniStore::findSection(const std::string& name) {
  for (std::size_t s = 1; s < sections_.size(); ++s)
    if (sameName(sections_[s].name, name)) return &sections_[s];
  return nullptr;
}

const IniStore::Section* IniStore::findSection(const std::string& name) const {
  return const_cast<IniStore*>(this)->findSection(name);
}

const IniStore::Line* IniStore::findLine(const std::string& section, const std::string& key) const {
  // A section may appear more than once; its keys are looked for in every appearance.
  if (key.empty()) return nullptr;
  for (std::size_t s = 1; s < sections_.size(); ++s) {
    if (!sameName(sections_[s].name, section)) continue;
    for (const Line& line : sections_[s].lines)
      if (!line.key.empty() && sameName(line.key, key)) return &line;
  }
  return nullptr;
}

bool IniStore::sectionExists(const std::string& section) const {
  return findSection(section) != nullptr;
}

bool IniStore::valueExists(const std::string& section, const std::string& key) const {
  return findLine(section, key) != nullptr;
}

std::vector<std::string> IniStore::sections() const {
  std::vector<std::string> names;
  for (std::size_t s = 1; s < sections_.size(); ++s) {
    bool seen = false;
    for (const std::string& n : names) seen = seen || sameName(n, sections_[s].name);
    if (!seen) names.push_back(sections_[s].name);
  }
  return names;
}

std::vector<std::string> IniStore::keys(const std::string& section) const {
  std::vector<std::string> names;
  for (std::size_t s = 1; s < sections_.size(); ++s) {
    if (!sameName(sections_[s].name, section)) continue;
    for (const Line& line : sections_[s].lines) {
      if (line.key.empty()) continue;
      bool seen = false;
      for (const std::string& n : names) seen = seen || sameName(n, line.key);
      if (!seen) names.push_back(line.key);
    }
  }
  return names;
}

std::optional<std::string> IniStore::readValue(const std::string& section,
                                               const std::string& key) const {
  const Line* line = findLine(section, key);
  if (!line) return std::nullopt;
  return line->value;
}

std::string IniStore::readString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  return readValue(section, key).value_or(defaultValue);
}

long long IniStore::readInteger(const std::string& section, const std::string& key,
                                long long defaultValue) const {
  std::optional<std::string> value = readValue(section, key);
  if (!value) return defaultValue;
  return parseInteger(*value).value_or(defaultValue);
}

bool IniStore::readBool(const std::string& section, const std::string& key,
                        bool defaultValue) const {
  std::optional<std::string> value = readValue(section, key);
  if (!value) return defaultValue;
  if (sameName(*value, "true")) return true;
  if (sameName(*value, "false")) return false;
  std::optional<long long> number = parseInteger(*value);
  return number ? *number != 0 : defaultValue;
}

double IniStore::readFloat(const std::string& section, const std::string& key,
                           double defaultValue) const {
  std::optional<std::string> value = readValue(section, key);
  if (!value || value->empty()) return defaultValue;
  double number = 0;
  const char* begin = value->data();
  const char* end = value->data() + value->size();
  if (*begin == '+') ++begin;
  auto [stop, ec] = std::from_chars(begin, end, number, std::chars_format::general);
  if (ec != std::errc() || stop != end || !std::isfinite(number)) return defaultValue;
  return number;
}

void IniStore::writeString(const std::string& section, const std::string& key,
                           const std::string& value) {
  std::string name = oneLine(trimBlanks(key));
  if (name.empty()) return;
  std::string text = oneLine(value);
  for (std::size_t s = 1; s < sections_.size(); ++s) {
    if (!sameName(sections_[s].name, section)) continue;
    for (Line& line : sections_[s].lines) {
      if (!line.key.empty() && sameName(line.key, name)) {
        // Keep the key's spelling as the file has it.
        line.raw = line.key + "=" + text;
        line.value = trimBlanks(text);
        return;
      }
    }
  }
  Section* target = findSection(section);
  if (!target) {
    std::string header = oneLine(section);
    sections_.push_back(Section{header, "[" + header + "]", {}});
    target = &sections_.back();
  }
  // New keys go after the section's last key, ahead of trailing blank lines and comments.
  auto insertAt = target->lines.end();
  while (insertAt != target->lines.begin() && (insertAt - 1)->key.empty()) --insertAt;
  target->lines.insert(insertAt, Line{name + "=" + text, name, trimBlanks(text)});
}

void IniStore::writeInteger(const std::string& section, const std::string& key, long long value) {
  writeString(section, key, std::to_string(value));
}

void IniStore::writeBool(const std::string& section, const std::string& key, bool value) {
  writeString(section, key, value ? "1" : "0");
}

void IniStore::deleteKey(const std::string& section, const std::string& key) {
  for (std::size_t s = 1; s < sections_.size(); ++s) {
    if (!sameName(sections_[s].name, section)) continue;
    auto& lines = sections_[s].lines;
    for (auto it = lines.begin(); it != lines.end();) {
      if (!it->key.empty() && sameName(it->key, key))
        it = lines.erase(it);
      else
        ++it;
    }
  }
}

void IniStore::eraseSection(const std::string& section) {
  for (std::size_t s = sections_.size(); s-- > 1;)
    if (sameName(sections_[s].name, section)) sections_.erase(sections_.begin() + s);
}

void IniStore::clear() {
  sections_.clear();
  sections_.push_back(Section{});
  eol_ = "\n";
  bom_ = false;
}

}  // namespace qv
