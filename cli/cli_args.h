// deveder-cli's command line and the lists it reads: every word checked,
// every problem a usage error that names it, nothing looked up or opened.
#pragma once

#include <QByteArray>
#include <functional>
#include <string>
#include <vector>

#include "cli/cli_commands.h"

namespace deveder::cli {

struct CommandLine {
  Options options;
  Args words;  // the command and its arguments, options taken out
  bool help = false;
  bool version = false;
  bool all = false;
  bool portList = false;           // --ports given
  std::vector<std::string> ports;  // every --port given, and those of --ports, in order
};

// Reads the ports of a --ports FILE into the list; empty, or why not.
using PortListReader = std::function<std::string(const std::string& file, std::vector<std::string>& ports)>;

// Sorts the words into options and the command. Empty, or the usage error.
// Stops at --version.
std::string ParseCommandLine(const std::vector<std::string>& argv, const PortListReader& readList, CommandLine& out);

// The rules between options once all are known (--ports only with --all, one
// --port without it). Empty, or the usage error.
std::string CheckCommandLine(const CommandLine& line);

// A port as given: a device path or a network address. Empty, or why it
// names no port.
std::string PortTextProblem(const std::string& port);

// The ports of a --ports file: one a line, device paths or network
// addresses; blank lines and # comments skipped. Empty, or the first line
// that names no port.
std::string ParsePortList(const QByteArray& bytes, std::vector<std::string>& ports);
// The same from a file, which must be a regular file of at most 64 KiB.
std::string ReadPortListFile(const std::string& file, std::vector<std::string>& ports);

// The backup file of one printer in --all: the port without its /dev/, a
// slash as "_" and every other character but letters, digits, "." and "-"
// as %XX, so that no two ports share a name ("/x/a_b" gives _x_a%5Fb.json,
// "/x/a/b" _x_a_b.json); only "/dev/X" and "X" meet.
std::string BackupFileName(const std::string& port);

// Whether the command's own output is what it exists for (values, lists,
// findings): with standard output closed it could only fail.
bool PrintsValues(const CommandLine& line);

}  // namespace deveder::cli
