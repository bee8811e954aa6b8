#include "link/port_access.h"
#include "link/sys_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace deveder {

namespace {

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::string part;
  std::istringstream in(s);
  while (std::getline(in, part, sep)) out.push_back(part);
  if (!s.empty() && s.back() == sep) out.emplace_back();
  return out;
}

bool ParseUnsigned(const std::string& s, unsigned& out) {
  if (s.empty() || s.size() > 10) return false;
  unsigned long v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned long>(c - '0');
  }
  if (v > 0xFFFFFFFFul) return false;
  out = static_cast<unsigned>(v);
  return true;
}

// Lines of a colon-separated database (group, passwd).
std::vector<std::vector<std::string>> ReadTable(const std::string& file) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(ReadSmallFile(file));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    rows.push_back(Split(line, ':'));
  }
  return rows;
}

std::string UserName(const SystemRoots& roots, unsigned uid) {
  for (const auto& row : ReadTable(roots.etc + "/passwd")) {
    unsigned id = 0;
    if (row.size() >= 3 && ParseUnsigned(row[2], id) && id == uid) return row[0];
  }
  return std::to_string(uid);
}

std::string ModeText(unsigned mode, bool charDevice) {
  std::string s = charDevice ? "c" : "-";
  const char* rwx = "rwx";
  for (int bit = 8; bit >= 0; --bit) s += (mode & (1u << bit)) ? rwx[(8 - bit) % 3] : '-';
  return s;
}

}  // namespace

SystemRoots SystemRoots::Under(const std::string& root) {
  SystemRoots r;
  r.sys = root + "/sys";
  r.dev = root + "/dev";
  r.proc = root + "/proc";
  r.etc = root + "/etc";
  r.run = root + "/run";
  return r;
}

std::string SystemRoots::Node(const std::string& path) const {
  if (path.rfind("/dev/", 0) == 0) return dev + path.substr(4);
  return path;
}

bool Identity::InSession(unsigned group) const {
  return group == gid || std::find(sessionGroups.begin(), sessionGroups.end(), group) != sessionGroups.end();
}

Identity ReadIdentity(const SystemRoots& roots) {
  Identity who;
  std::istringstream in(ReadSmallFile(roots.proc + "/self/status"));
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string key = line.substr(0, colon);
    std::istringstream values(line.substr(colon + 1));
    std::string v;
    if (key == "Uid" && values >> v) who.known = ParseUnsigned(v, who.uid);
    else if (key == "Gid" && values >> v) ParseUnsigned(v, who.gid);
    else if (key == "Groups") {
      unsigned g = 0;
      while (values >> v)
        if (ParseUnsigned(v, g)) who.sessionGroups.push_back(g);
    }
  }
  who.user = std::to_string(who.uid);
  who.passwdGid = who.gid;
  for (const auto& row : ReadTable(roots.etc + "/passwd")) {
    unsigned id = 0;
    if (row.size() >= 4 && ParseUnsigned(row[2], id) && id == who.uid) {
      who.user = row[0];
      ParseUnsigned(row[3], who.passwdGid);
      break;
    }
  }
  return who;
}

std::vector<GroupEntry> ReadGroups(const SystemRoots& roots) {
  std::vector<GroupEntry> groups;
  for (const auto& row : ReadTable(roots.etc + "/group")) {
    GroupEntry g;
    if (row.size() < 3 || !ParseUnsigned(row[2], g.gid)) continue;
    g.name = row[0];
    if (row.size() >= 4)
      for (const std::string& m : Split(row[3], ','))
        if (!m.empty()) g.members.push_back(m);
    groups.push_back(std::move(g));
  }
  return groups;
}

const GroupEntry* FindGroup(const std::vector<GroupEntry>& groups, unsigned gid) {
  for (const GroupEntry& g : groups)
    if (g.gid == gid) return &g;
  return nullptr;
}

const GroupEntry* FindGroup(const std::vector<GroupEntry>& groups, const std::string& name) {
  for (const GroupEntry& g : groups)
    if (g.name == name) return &g;
  return nullptr;
}

bool IsGroupMember(const Identity& who, const GroupEntry& group) {
  return group.gid == who.passwdGid ||
         std::find(group.members.begin(), group.members.end(), who.user) != group.members.end();
}

std::string NodeInfo::Describe() const {
  if (!exists) return "missing";
  return ModeText(mode, charDevice) + " " + owner + ":" + group;
}

NodeInfo InspectNode(const SystemRoots& roots, const std::string& path) {
  NodeInfo n;
  struct stat st {};
  if (path.empty() || stat(roots.Node(path).c_str(), &st) != 0) return n;
  n.exists = true;
  n.charDevice = S_ISCHR(st.st_mode);
  n.uid = st.st_uid;
  n.gid = st.st_gid;
  n.mode = st.st_mode & 07777;
  n.owner = UserName(roots, n.uid);
  const std::vector<GroupEntry> groups = ReadGroups(roots);
  const GroupEntry* g = FindGroup(groups, n.gid);
  n.group = g ? g->name : std::to_string(n.gid);
  return n;
}

std::vector<Holder> FindHolders(const SystemRoots& roots, const std::string& path, bool* hidden) {
  std::vector<Holder> holders;
  if (hidden) *hidden = false;
  if (path.empty()) return holders;
  // A descriptor's link names the file as it was resolved when opened.
  std::vector<std::string> names{path};
  char real[PATH_MAX];
  if (realpath(roots.Node(path).c_str(), real)) names.emplace_back(real);
  const int self = roots.IsMachine() ? static_cast<int>(getpid()) : -1;
  // A pseudo-terminal's slave /dev/pts/N: its master shows "tty-index: N".
  std::string ptyIndex;
  for (const std::string& n : names)
    if (n.rfind("/dev/pts/", 0) == 0) ptyIndex = n.substr(9);

  DIR* procDir = opendir(roots.proc.c_str());
  if (!procDir) return holders;
  while (dirent* e = readdir(procDir)) {
    unsigned pid = 0;
    if (!ParseUnsigned(e->d_name, pid) || static_cast<int>(pid) == self) continue;
    const std::string base = roots.proc + "/" + e->d_name;
    DIR* fds = opendir((base + "/fd").c_str());
    if (!fds) {
      if (errno == EACCES && hidden) *hidden = true;
      continue;
    }
    bool holds = false, master = false;
    while (dirent* f = readdir(fds)) {
      if (f->d_name[0] == '.') continue;
      const std::string target = LinkText(base + "/fd/" + f->d_name);
      if (target.empty()) continue;
      if (std::find(names.begin(), names.end(), target) != names.end()) holds = true;
      if (!ptyIndex.empty() && (target == "/dev/ptmx" || target == "/dev/pts/ptmx")) {
        std::istringstream info(ReadSmallFile(base + "/fdinfo/" + f->d_name));
        for (std::string line; std::getline(info, line);)
          if (line.rfind("tty-index:", 0) == 0) {
            std::istringstream v(line.substr(10));
            std::string index;
            master = master || (v >> index && index == ptyIndex);
          }
      }
    }
    closedir(fds);
    if (holds) holders.push_back(Holder{static_cast<int>(pid), ReadFirstLine(base + "/comm"), master});
  }
  closedir(procDir);
  std::sort(holders.begin(), holders.end(), [](const Holder& a, const Holder& b) { return a.pid < b.pid; });
  return holders;
}

std::vector<int> FindProcesses(const SystemRoots& roots, const std::string& name) {
  std::vector<int> pids;
  DIR* procDir = opendir(roots.proc.c_str());
  if (!procDir) return pids;
  while (dirent* e = readdir(procDir)) {
    unsigned pid = 0;
    if (!ParseUnsigned(e->d_name, pid)) continue;
    if (ReadFirstLine(roots.proc + "/" + e->d_name + "/comm") == name) pids.push_back(static_cast<int>(pid));
  }
  closedir(procDir);
  std::sort(pids.begin(), pids.end());
  return pids;
}

OpenDiagnosis DiagnoseOpenFailure(const SystemRoots& roots, const std::string& path, int err) {
  OpenDiagnosis d;
  d.err = err;
  d.path = path;
  d.node = InspectNode(roots, path);
  switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      d.cause = OpenCause::NoDevice;
      return d;
    case EBUSY:
    case EAGAIN:  // a lock held by another opener
      d.cause = OpenCause::Busy;
      d.holders = FindHolders(roots, path);
      return d;
    case EACCES:
    case EPERM:
      break;
    default:
      d.cause = OpenCause::Other;
      return d;
  }
  const Identity who = ReadIdentity(roots);
  d.user = who.user;
  d.cause = OpenCause::PermissionOther;
  if (!d.node.exists) return d;
  d.group = d.node.group;
  // Only a group that may read and write the node is a way in.
  const bool groupMayOpen = (d.node.mode & 060) == 060 && d.node.gid != 0;
  if (!groupMayOpen || who.InSession(d.node.gid)) return d;
  const std::vector<GroupEntry> groups = ReadGroups(roots);
  const GroupEntry* g = FindGroup(groups, d.node.gid);
  if (!g) return d;
  d.cause = IsGroupMember(who, *g) ? OpenCause::GroupNotInSession : OpenCause::NotInGroup;
  return d;
}

}  // namespace deveder
