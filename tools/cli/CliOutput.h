// Output of qvlaser-cli: one JSON value (or one object a line for streams) with --json, the same
// content as "key=value" text lines otherwise; and the Windows-1252 to UTF-8 conversion of the
// laser's single-byte texts.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <string>

namespace qv::cli {

using Json = nlohmann::ordered_json;

// Windows-1252 bytes as UTF-8 (bytes the code page leaves undefined map to U+0080..U+009F).
std::string cp1252ToUtf8(const std::string& bytes);
// A UTF-8 text (as the command line gives it) as Windows-1252 bytes, the inverse of the above;
// characters the code page lacks, and bytes that are not UTF-8, become "?".
std::string utf8ToCp1252(const std::string& text);

// Which stream objects a person watching the laser reads (plain `watch`): every connection and
// disconnection, status change, command failure and notice; of the values, and of the failed
// connection attempts that automatic detection repeats, only those that differ from the last one
// shown for the same event and branch (or extension file). The value-less parameter events never
// show. After a (dis)connection every value is news again, and after a status change so are the
// error and warning lists.
class ChangeFilter {
 public:
  bool shows(const Json& event);

 private:
  std::map<std::string, Json> lastShown_;
};

class Output {
 public:
  explicit Output(bool json) : json_(json) {}
  bool json() const { return json_; }
  // A whole value: JSON as one document, else readable lines.
  void value(const Json& v);
  // One object of a stream: JSON on one line, else "name key=value …".
  void line(const Json& object);

 private:
  bool json_;
};

}  // namespace qv::cli
