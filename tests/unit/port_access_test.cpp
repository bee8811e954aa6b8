// Why a port did not open, diagnosed over prepared trees, and the line the
// user sees for each cause in both languages.
#include <gtest/gtest.h>

#include <cerrno>

#include "fake_system.h"
#include "link/port_access.h"
#include "pages/core/port_cause.h"
#include "protocol/text_codec.h"

using namespace deveder;
using deveder::tst::FakeSystem;

namespace {

std::string Gid(unsigned g) { return std::to_string(g); }

// alice, a serial port of group dialout (0660), and the given memberships.
struct Machine {
  FakeSystem fs;
  SystemRoots roots;
  Machine(const std::string& dialoutMembers, const std::string& sessionGroups, unsigned mode = 0660) {
    fs.Groups("", dialoutMembers);
    fs.Session(sessionGroups);
    fs.SerialPort("ttyUSB0", mode);
    roots = SystemRoots::Under(fs.Root());
  }
};

}  // namespace

TEST(PortAccess, IdentityAndGroupsFromTheSystemFiles) {
  Machine m("alice,bob", "4242 " + Gid(FakeSystem::NodeGid()));
  const Identity who = ReadIdentity(m.roots);
  EXPECT_TRUE(who.known);
  EXPECT_EQ(who.user, "alice");
  EXPECT_EQ(who.uid, 4242u);
  EXPECT_TRUE(who.InSession(FakeSystem::NodeGid()));
  EXPECT_FALSE(who.InSession(m.fs.LpGid()));
  const auto groups = ReadGroups(m.roots);
  const GroupEntry* dialout = FindGroup(groups, std::string("dialout"));
  ASSERT_NE(dialout, nullptr);
  EXPECT_EQ(dialout->members, (std::vector<std::string>{"alice", "bob"}));
  EXPECT_TRUE(IsGroupMember(who, *dialout));
  EXPECT_FALSE(IsGroupMember(who, *FindGroup(groups, std::string("lp"))));
  // The primary group of passwd counts as membership without a listing.
  EXPECT_TRUE(IsGroupMember(who, *FindGroup(groups, std::string("alice"))));

  const NodeInfo node = InspectNode(m.roots, "/dev/ttyUSB0");
  EXPECT_TRUE(node.exists);
  EXPECT_FALSE(node.charDevice);
  EXPECT_EQ(node.group, "dialout");
  EXPECT_EQ(node.Describe().substr(0, 10), "-rw-rw----");
  EXPECT_FALSE(InspectNode(m.roots, "/dev/ttyUSB1").exists);
}

TEST(PortAccess, PermissionCausesTellGroupSessionAndOtherReasonsApart) {
  {
    Machine m("", "4242");
    const OpenDiagnosis d = DiagnoseOpenFailure(m.roots, "/dev/ttyUSB0", EACCES);
    EXPECT_EQ(d.cause, OpenCause::NotInGroup);
    EXPECT_EQ(d.group, "dialout");
    EXPECT_EQ(d.user, "alice");
    const QString en = OpenFailureReason(d, kLangEnglish);
    EXPECT_TRUE(en.contains("belongs to group dialout and user alice is not in it")) << en.toStdString();
    EXPECT_TRUE(en.contains("Fix: sudo usermod -aG dialout alice, then log out and in again")) << en.toStdString();
    const QString zh = OpenFailureReason(d, kLangChinese);
    EXPECT_TRUE(zh.contains(QStringLiteral("dialout 组"))) << zh.toStdString();
    EXPECT_TRUE(zh.contains(QStringLiteral("sudo usermod -aG dialout alice"))) << zh.toStdString();
    EXPECT_FALSE(en.contains('\n'));
  }
  {
    Machine m("alice", "4242");  // listed in the group file, not in this session
    const OpenDiagnosis d = DiagnoseOpenFailure(m.roots, "/dev/ttyUSB0", EACCES);
    EXPECT_EQ(d.cause, OpenCause::GroupNotInSession);
    EXPECT_TRUE(OpenFailureReason(d, kLangEnglish).contains("newgrp dialout"));
  }
  {
    // In the group already, yet denied: the mode leaves the group out.
    Machine m("alice", "4242 " + Gid(FakeSystem::NodeGid()), 0600);
    const OpenDiagnosis d = DiagnoseOpenFailure(m.roots, "/dev/ttyUSB0", EACCES);
    EXPECT_EQ(d.cause, OpenCause::PermissionOther);
    EXPECT_TRUE(OpenFailureReason(d, kLangEnglish).contains("(-rw-------")) << OpenFailureReason(d, kLangEnglish).toStdString();
  }
  {
    // A group that may not open the node is no way in, member or not.
    Machine m("", "4242", 0606);
    EXPECT_EQ(DiagnoseOpenFailure(m.roots, "/dev/ttyUSB0", EPERM).cause, OpenCause::PermissionOther);
  }
}

TEST(PortAccess, MissingBusyAndOtherFailures) {
  Machine m("alice", "4242");
  for (int err : {ENOENT, ENODEV, ENXIO}) {
    const OpenDiagnosis d = DiagnoseOpenFailure(m.roots, "/dev/ttyUSB7", err);
    EXPECT_EQ(d.cause, OpenCause::NoDevice) << err;
    EXPECT_TRUE(OpenFailureReason(d, kLangEnglish).startsWith("No such device: /dev/ttyUSB7 (unplugged"));
  }
  EXPECT_TRUE(OpenFailureReason("", ENOENT, kLangEnglish, m.roots).startsWith("No printer port was found"));

  // Holders are found by their descriptors, under the path as given and as
  // it resolves; this process and processes holding other files are not.
  m.fs.Process(300, "cat", {"/dev/ttyUSB0"});
  m.fs.Process(301, "minicom", {"/dev/null", "/dev/ttyUSB0"});
  m.fs.Process(302, "bash", {"/dev/ttyUSB1"});
  m.fs.Link("dev/serial/by-id/usb-Printer", "../../ttyUSB0");
  m.fs.Process(303, "screen", {m.fs.Path("dev/ttyUSB0")});
  const OpenDiagnosis busy = DiagnoseOpenFailure(m.roots, "/dev/ttyUSB0", EBUSY);
  EXPECT_EQ(busy.cause, OpenCause::Busy);
  ASSERT_EQ(busy.holders.size(), 3u);
  EXPECT_EQ(busy.holders[0].name, "cat");
  EXPECT_EQ(busy.holders[1].pid, 301);
  EXPECT_EQ(OpenFailureReason(busy, kLangEnglish),
            "Busy: /dev/ttyUSB0 is in use by cat (pid 300), minicom (pid 301), screen (pid 303). Fix: close that "
            "program and try again.");
  EXPECT_EQ(FindHolders(m.roots, "/dev/serial/by-id/usb-Printer").size(), 1u);  // the resolved name: screen
  EXPECT_TRUE(OpenFailureReason(DiagnoseOpenFailure(m.roots, "/dev/ttyUSB3", EBUSY), kLangChinese)
                  .contains(QStringLiteral("端口被占用")));

  const QString io = OpenFailureReason(DiagnoseOpenFailure(m.roots, "/dev/ttyUSB0", EIO), kLangEnglish);
  EXPECT_TRUE(io.startsWith("Cannot open /dev/ttyUSB0: ")) << io.toStdString();
}

TEST(PortAccess, TheProgramAtTheOtherEndOfAPseudoTerminalIsMarked) {
  Machine m("alice", "4242");
  m.fs.Process(400, "deveder-printer", {"/dev/ptmx", "/dev/pts/3"});
  m.fs.Write("proc/400/fdinfo/3", "pos:\t0\nflags:\t02104002\ntty-index:\t3\n");
  m.fs.Process(401, "screen", {"/dev/ptmx", "/dev/pts/3"});
  m.fs.Write("proc/401/fdinfo/3", "pos:\t0\ntty-index:\t30\n");  // another terminal's master
  m.fs.Process(402, "cat", {"/dev/pts/3"});
  const std::vector<Holder> holders = FindHolders(m.roots, "/dev/pts/3");
  ASSERT_EQ(holders.size(), 3u);
  EXPECT_TRUE(holders[0].ptyMaster);
  EXPECT_FALSE(holders[1].ptyMaster);
  EXPECT_FALSE(holders[2].ptyMaster);
}
