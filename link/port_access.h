// Who may open a printer port, who holds it, and why an open failed.
//
// Everything here reads the system's own files (/proc, /etc/group,
// /etc/passwd, the device nodes) below a set of roots, so that a prepared
// tree can stand in for the machine. Nothing here opens a port.
#pragma once

#include <string>
#include <vector>

namespace deveder {

// Where the system's files are. The defaults are the machine's own.
struct SystemRoots {
  std::string sys = "/sys";
  std::string dev = "/dev";
  std::string proc = "/proc";
  std::string etc = "/etc";
  std::string run = "/run";

  // sys/, dev/, proc/, etc/ and run/ under `root`.
  static SystemRoots Under(const std::string& root);
  bool IsMachine() const { return dev == "/dev" && proc == "/proc"; }
  // Where a device path is found: "/dev/X" lies under the dev root, any
  // other path is taken as it is.
  std::string Node(const std::string& path) const;
};

struct GroupEntry {
  std::string name;
  unsigned gid = 0;
  std::vector<std::string> members;
};

// The process's user and the groups of its login session (its credentials).
struct Identity {
  unsigned uid = 0;
  unsigned gid = 0;                    // primary group of the process
  std::vector<unsigned> sessionGroups; // supplementary groups of the process
  std::string user;                    // name from passwd, "uid N" when unknown
  unsigned passwdGid = 0;              // primary group in passwd
  bool known = false;                  // the status file could be read

  bool InSession(unsigned group) const;
};

Identity ReadIdentity(const SystemRoots& roots);
std::vector<GroupEntry> ReadGroups(const SystemRoots& roots);
const GroupEntry* FindGroup(const std::vector<GroupEntry>& groups, unsigned gid);
const GroupEntry* FindGroup(const std::vector<GroupEntry>& groups, const std::string& name);
// The user is in the group by the group file or as the primary group in passwd.
bool IsGroupMember(const Identity& who, const GroupEntry& group);

// A device node as the file system shows it.
struct NodeInfo {
  bool exists = false;
  bool charDevice = false;
  unsigned uid = 0, gid = 0;
  unsigned mode = 0;     // permission bits
  std::string owner;     // user name, or the number
  std::string group;     // group name, or the number
  std::string Describe() const;  // "crw-rw---- root:dialout"
};
NodeInfo InspectNode(const SystemRoots& roots, const std::string& path);

// A process that has the port open.
struct Holder {
  int pid = 0;
  std::string name;  // from /proc/PID/comm
  // It also holds the master of this pseudo-terminal: it is the other end
  // (a simulated printer, a terminal), not a second user of the port.
  bool ptyMaster = false;
};

// Processes other than this one with `path` open, found through their
// descriptors in /proc. `hidden` is set when some processes' descriptors
// could not be read (another user's, without privileges).
std::vector<Holder> FindHolders(const SystemRoots& roots, const std::string& path, bool* hidden = nullptr);

// Processes whose name is `name`.
std::vector<int> FindProcesses(const SystemRoots& roots, const std::string& name);

// Why an open of a port failed, in the system's terms.
enum class OpenCause {
  NoDevice,           // no such node: unplugged, switched off, wrong path
  NotInGroup,         // the port's group may open it; the user is not in it
  GroupNotInSession,  // the user was added to it, this session predates that
  PermissionOther,    // denied for another reason (mode, ACL, owner)
  Busy,               // another program has it
  Other,
};

struct OpenDiagnosis {
  OpenCause cause = OpenCause::Other;
  int err = 0;
  std::string path;
  std::string group;             // the node's group (permission causes)
  std::string user;
  NodeInfo node;
  std::vector<Holder> holders;   // Busy
};

OpenDiagnosis DiagnoseOpenFailure(const SystemRoots& roots, const std::string& path, int err);

}  // namespace deveder
