// Extension files ("*.ext"): one file becomes one TExtensionTab when its [Extension] section
// names serial numbers. Files are read as Windows-1252; a file in UTF-8 (with or without a byte
// order mark) is converted to Windows-1252 first, so its texts reach the laser as single bytes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "extensions/ExtensionTab.h"

namespace qv {
class IniStore;
}

// The console's CustomizedWnds.
using TCustomizedTabList = std::vector<std::unique_ptr<TCustomizedTab>>;

// Reads one file; appends a filled TExtensionTab to `list` when the file qualifies and returns
// it, else returns null. Reports nothing.
TExtensionTab* LoadExtensionFile(const std::string& path, std::shared_ptr<TCustomizedHost> owner,
                                 TCustomizedTabList& list);

namespace qv {
// The same from a store already loaded (the file's contents).
std::unique_ptr<TExtensionTab> loadExtension(const IniStore& ini, std::shared_ptr<TCustomizedHost> owner);
// UTF-8 text to Windows-1252 when the text is valid UTF-8 with a byte above 127 (or a byte
// order mark); other text is returned as it is. Characters without a Windows-1252 form become "?".
std::string extensionTextToSingleByte(const std::string& text);
}  // namespace qv
