// Output of qvlaser-cli: one JSON value (or one object a line for streams) with --json, the same
// content as "key=value" text lines otherwise; and the Windows-1252 to UTF-8 conversion of the
// laser's single-byte texts.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace qv::cli {

using Json = nlohmann::ordered_json;

// Windows-1252 bytes as UTF-8 (bytes the code page leaves undefined map to U+0080..U+009F).
std::string cp1252ToUtf8(const std::string& bytes);

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
