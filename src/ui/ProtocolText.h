// Texts between the Qt views and the core. Protocol texts (what the laser sends and receives,
// extension files) are single bytes in Windows-1252; the console's operator texts are UTF-8.
#pragma once

#include <QString>
#include <string>

namespace qv {

// Windows-1252 bytes to a QString (the five codes that encoding leaves unassigned map to the
// C1 control of the same number, so nothing is lost).
QString fromProtocolText(const std::string& bytes);
// A QString to Windows-1252; characters it cannot hold become "?".
std::string toProtocolText(const QString& text);

inline QString fromUtf8(const std::string& text) { return QString::fromStdString(text); }
inline std::string toUtf8(const QString& text) { return text.toStdString(); }

}  // namespace qv
