// Where serial port number n lives on this machine, and which ports exist.
//
// Port n (1..256) is the link "COM<n>" in the folder named by QVLASER_PORTS_DIR when that link
// exists; otherwise the link in the default ports folder ($XDG_RUNTIME_DIR/qvlaser/ports, or
// /tmp/qvlaser-<uid>/ports); otherwise the link in the machine's ports folder /dev/qvlaser, which
// a udev rule fills for every user (a USB adapter keeps its number whatever order it is plugged
// in); otherwise a fixed table: COM1..32 = /dev/ttyS0..31,
// COM33..64 = /dev/ttyUSB0..31, COM65..96 = /dev/ttyACM0..31. A link counts as present even
// when it dangles, so that opening it reports "not exists" rather than falling through.
// With QVLASER_PORTS_ONLY set (to anything but "" or "0") only the QVLASER_PORTS_DIR folder
// counts: no default folder, no table. Tests and the simulator's users rely on this to keep
// away from the machine's real devices.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qv {

constexpr int kMinPort = 1;
constexpr int kMaxPort = 256;

// The folder named by QVLASER_PORTS_DIR, or empty when the variable is unset or empty.
std::string environmentPortsDirectory();
// QVLASER_PORTS_ONLY is in force.
bool portsFolderOnly();
// The default ports folder (not created).
std::string defaultPortsDirectory();
// The machine's ports folder, /dev/qvlaser (not created).
std::string systemPortsDirectory();
// The folder a program that publishes a port (the simulator) registers its link in:
// QVLASER_PORTS_DIR when set, else the default folder.
std::string publishPortsDirectory();

// "COM<n>".
std::string portName(int port);
// The number in "COM<n>" (case-insensitive, 1..256), or nothing.
std::optional<int> parsePortName(const std::string& name);

// The folders port links are looked up in, first to last; an empty one is skipped. With
// QVLASER_PORTS_ONLY in force only `environment` counts and the table is not used either.
struct PortFolders {
  std::string environment;
  bool environmentOnly = false;
  std::string user;
  std::string system;
};
PortFolders currentPortFolders();

// The device path for port n by the rules above; empty when n is out of range or unmapped.
std::string devicePathForPort(int port);
std::string devicePathForPort(int port, const PortFolders& folders);

// Every port that has a link in either folder or a table device that exists, sorted, unique.
// Returns nothing when neither folder nor /dev can be listed.
std::optional<std::vector<int>> enumeratePorts();
std::optional<std::vector<int>> enumeratePorts(const PortFolders& folders);

}  // namespace qv
