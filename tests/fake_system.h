// A prepared tree standing in for the machine's /sys, /dev, /proc, /etc and
// /run: device nodes are plain files with chosen modes, holders are
// descriptor links in a fake /proc.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>

namespace deveder::tst {

class FakeSystem {
 public:
  // The fake user and its primary group: numbers no test machine gives out.
  static constexpr unsigned kUid = 4242;
  static constexpr unsigned kGid = 4242;

  FakeSystem() {
    Write("etc/passwd", "root:x:0:0:root:/root:/bin/bash\nalice:x:4242:4242:Alice:/home/alice:/bin/bash\n");
    Write("sys/class/.keep", "");
    Write("proc/.keep", "");
  }

  std::string Root() const { return dir_.path().toStdString(); }
  std::string Path(const std::string& rel) const { return Root() + "/" + rel; }

  void Write(const std::string& rel, const std::string& text) {
    const QString path = QString::fromStdString(Path(rel));
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(text.data(), static_cast<qint64>(text.size()));
  }
  void Dir(const std::string& rel) { QDir().mkpath(QString::fromStdString(Path(rel))); }
  void Link(const std::string& rel, const std::string& target) {
    const QString path = QString::fromStdString(Path(rel));
    QDir().mkpath(QFileInfo(path).path());
    (void)symlink(target.c_str(), path.toLocal8Bit().constData());
  }

  // The group a fake device node gets: dialout's own number where this
  // process may give it away (root), else the process's own group.
  static unsigned NodeGid() { return geteuid() == 0 ? 20u : static_cast<unsigned>(getegid()); }

  // /etc/group with lp and dialout; `lpMembers`/`dialoutMembers` as listed.
  // Dialout carries the number the fake device nodes have.
  void Groups(const std::string& lpMembers, const std::string& dialoutMembers) {
    const unsigned lp = NodeGid() == 7 ? 8 : 7;
    Write("etc/group", "root:x:0:\nlp:x:" + std::to_string(lp) + ":" + lpMembers + "\ndialout:x:" +
                           std::to_string(NodeGid()) + ":" + dialoutMembers + "\nalice:x:4242:\n");
    lpGid_ = lp;
  }
  unsigned LpGid() const { return lpGid_; }

  // The process's credentials: alice with these supplementary groups.
  void Session(const std::string& groups) {
    Write("proc/self/status", "Name:\tdeveder-cli\nUid:\t4242\t4242\t4242\t4242\nGid:\t4242\t4242\t4242\t4242\nGroups:\t" +
                                  groups + "\n");
  }

  // A device node under dev/ owned by the dialout number, with `mode`.
  void Node(const std::string& devRel, unsigned mode = 0660) {
    Write("dev/" + devRel, "");
    const std::string path = Path("dev/" + devRel);
    if (geteuid() == 0) (void)chown(path.c_str(), 0, NodeGid());
    chmod(path.c_str(), mode);
  }

  // A serial port that sysfs lists, with its node.
  void SerialPort(const std::string& name, unsigned mode = 0660) {
    Dir("sys/class/tty/" + name + "/device");
    Node(name, mode);
  }

  // A process: its name and the paths its descriptors lead to.
  void Process(int pid, const std::string& name, std::initializer_list<std::string> open = {}) {
    const std::string base = "proc/" + std::to_string(pid);
    Write(base + "/comm", name + "\n");
    Dir(base + "/fd");
    int fd = 3;
    for (const std::string& target : open) Link(base + "/fd/" + std::to_string(fd++), target);
  }

 private:
  QTemporaryDir dir_;
  unsigned lpGid_ = 7;
};

}  // namespace deveder::tst
