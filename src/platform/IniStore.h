// An ini file held in memory: loaded whole, written back whole.
//
// Section and key names compare without regard to case (ASCII). Lines the store does not own
// (comments, blank lines, unknown sections and keys) keep their text and order on a rewrite.
// Values are the text after the first "=", trimmed of blanks and tabs. A value that does not
// parse as the type asked for yields the caller's default. Saving writes a temporary file in
// the same folder, flushes it to disk and renames it over the target, so an interrupted save
// leaves either the old file or the new one. Not thread-safe: one owner uses it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qv {

class IniStore {
 public:
  IniStore() = default;

  // Replaces the content with the file's. A missing file gives an empty store and true; a file
  // that exists but cannot be read gives an empty store and false.
  bool load(const std::string& path);
  // Parses ini text (LF or CRLF lines, optionally after a UTF-8 byte-order mark) into the
  // store, replacing its content.
  void loadFromText(const std::string& text);
  // Writes the store to path atomically; false (and errno kept) when it could not.
  bool save(const std::string& path) const;
  // The file's text as save would write it.
  std::string text() const;

  bool sectionExists(const std::string& section) const;
  bool valueExists(const std::string& section, const std::string& key) const;
  std::vector<std::string> sections() const;                        // in file order
  std::vector<std::string> keys(const std::string& section) const;  // in file order

  std::optional<std::string> readValue(const std::string& section, const std::string& key) const;
  std::string readString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // Signed decimal ("-20"), or hexadecimal with "0x" or "$"; anything else gives the default.
  long long readInteger(const std::string& section, const std::string& key,
                        long long defaultValue) const;
  // An integer (non-zero = true) or "true"/"false" in any case.
  bool readBool(const std::string& section, const std::string& key, bool defaultValue) const;
  // A decimal number with "." as separator.
  double readFloat(const std::string& section, const std::string& key, double defaultValue) const;

  // Replaces the first occurrence of the key, else appends it to its section (created at the end
  // when missing). Values are stored as given; a line break in a value is replaced by a blank.
  void writeString(const std::string& section, const std::string& key, const std::string& value);
  void writeInteger(const std::string& section, const std::string& key, long long value);
  void writeBool(const std::string& section, const std::string& key, bool value);  // "1" / "0"

  void deleteKey(const std::string& section, const std::string& key);
  void eraseSection(const std::string& section);
  void clear();

 private:
  struct Line {
    std::string raw;  // the line as read (or formed), without its terminator
    std::string key;  // empty for lines that are not key=value
    std::string value;
  };
  struct Section {
    std::string name;    // as written in the file; empty for the lines before any header
    std::string header;  // the header line as read
    std::vector<Line> lines;
  };

  Section* findSection(const std::string& name);
  const Section* findSection(const std::string& name) const;
  const Line* findLine(const std::string& section, const std::string& key) const;

  std::vector<Section> sections_{Section{}};  // [0]: the lines before the first header
  std::string eol_ = "\n";                    // line ending of the loaded file, kept on save
  bool bom_ = false;  // the loaded file began with a UTF-8 byte-order mark, kept on save
};

}  // namespace qv
