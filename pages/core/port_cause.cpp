#include "pages/core/port_cause.h"

#include <QFile>
#include <cstring>

#include "link/link.h"
#include "link/tcp_connect.h"
#include "pages/core/page_port.h"
#include "protocol/text_codec.h"
#include "resources/strings.h"

namespace deveder {

namespace {

QString Q(const std::string& s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }

QString HolderList(const std::vector<Holder>& holders) {
  QStringList names;
  for (const Holder& h : holders) names << QStringLiteral("%1 (pid %2)").arg(Q(h.name)).arg(h.pid);
  return names.join(QStringLiteral(", "));
}

}  // namespace

QString FailureText::Line(int langId) const {
  if (fix.isEmpty()) return reason;
  return reason + (langId == kLangChinese ? QStringLiteral("解决：") : QStringLiteral(" Fix: ")) + fix;
}

FailureText DescribeOpenFailure(const OpenDiagnosis& d, int langId) {
  const bool zh = langId == kLangChinese;
  const QString path = Q(d.path);
  const QString group = Q(d.group), user = Q(d.user);
  switch (d.cause) {
    case OpenCause::NoDevice:
      if (d.path.empty())
        return {zh ? QStringLiteral("没有找到打印机端口。") : QStringLiteral("No printer port was found."),
                zh ? QStringLiteral("连接打印机并开机，或指定端口。")
                   : QStringLiteral("plug the printer in and switch it on, or name the port.")};
      return {zh ? QStringLiteral("设备不存在：%1（打印机已拔出或关机？）。").arg(path)
                 : QStringLiteral("No such device: %1 (unplugged or switched off?).").arg(path),
              zh ? QStringLiteral("连接打印机并开机，或选择其他端口。")
                 : QStringLiteral("plug the printer in and switch it on, or choose another port.")};
    case OpenCause::NotInGroup:
      return {zh ? QStringLiteral("权限不足：%1 属于 %2 组，用户 %3 不在该组。").arg(path, group, user)
                 : QStringLiteral("Permission denied: %1 belongs to group %2 and user %3 is not in it.")
                       .arg(path, group, user),
              zh ? QStringLiteral("sudo usermod -aG %1 %2，然后注销并重新登录。").arg(group, user)
                 : QStringLiteral("sudo usermod -aG %1 %2, then log out and in again.").arg(group, user)};
    case OpenCause::GroupNotInSession:
      return {zh ? QStringLiteral("权限不足：用户 %1 已加入 %2 组，但当前登录会话早于此更改。").arg(user, group)
                 : QStringLiteral("Permission denied: user %1 was added to group %2 after this login session "
                                  "began.")
                       .arg(user, group),
              zh ? QStringLiteral("注销并重新登录（或运行 newgrp %1）。").arg(group)
                 : QStringLiteral("log out and in again (or run: newgrp %1).").arg(group)};
    case OpenCause::PermissionOther:
      if (!d.node.exists)
        return {zh ? QStringLiteral("权限不足：%1。").arg(path) : QStringLiteral("Permission denied: %1.").arg(path),
                {}};
      return {zh ? QStringLiteral("权限不足：%1（%2）。").arg(path, Q(d.node.Describe()))
                 : QStringLiteral("Permission denied: %1 (%2).").arg(path, Q(d.node.Describe())),
              zh ? QStringLiteral("用 udev 规则把该端口交给 lp 或 dialout 组。")
                 : QStringLiteral("a udev rule that gives the port to group lp or dialout.")};
    case OpenCause::Busy:
      if (!d.holders.empty())
        return {zh ? QStringLiteral("端口被占用：%1 正被 %2 使用。").arg(path, HolderList(d.holders))
                   : QStringLiteral("Busy: %1 is in use by %2.").arg(path, HolderList(d.holders)),
                zh ? QStringLiteral("关闭该程序后重试。") : QStringLiteral("close that program and try again.")};
      return {zh ? QStringLiteral("端口被占用：另一个程序打开了 %1。").arg(path)
                 : QStringLiteral("Busy: another program has %1 open.").arg(path),
              zh ? QStringLiteral("关闭它后重试（deveder-cli doctor 可找出是哪个程序）。")
                 : QStringLiteral("close it and try again (deveder-cli doctor finds which).")};
    case OpenCause::Other:
      break;
  }
  const QString why = Q(std::strerror(d.err));
  return {zh ? QStringLiteral("无法打开 %1：%2。").arg(path, why) : QStringLiteral("Cannot open %1: %2.").arg(path, why),
          {}};
}

QString OpenFailureReason(const OpenDiagnosis& d, int langId) { return DescribeOpenFailure(d, langId).Line(langId); }

QString OpenFailureReason(const std::string& path, int err, int langId, const SystemRoots& roots) {
  return OpenFailureReason(DiagnoseOpenFailure(roots, path, err), langId);
}

QString OpenFailureReason(const OpenResult& open, const std::string& path, int langId) {
  const bool zh = langId == kLangChinese;
  // The port layer itself refused: another program holds the port's lock,
  // or the path is no device.
  if (open.fault == PortFault::Busy) {
    const std::optional<PortHolder>& holder = open.holder;
    OpenDiagnosis d = DiagnoseOpenFailure(SystemRoots{}, path, EBUSY);
    d.cause = OpenCause::Busy;
    if (holder) d.holders = {Holder{holder->pid, holder->name, false}};
    return OpenFailureReason(d, langId);
  }
  if (open.fault == PortFault::NotADevice) {
    const char* en = "";
    const char* cn = "";
    switch (open.pathKind) {
      case PathKind::RegularFile: en = " (a regular file)"; cn = "（是普通文件）"; break;
      case PathKind::Directory: en = " (a directory)"; cn = "（是文件夹）"; break;
      case PathKind::Fifo: en = " (a FIFO)"; cn = "（是管道）"; break;
      case PathKind::Socket: en = " (a socket)"; cn = "（是套接字）"; break;
      case PathKind::BlockDevice: en = " (a block device)"; cn = "（是块设备）"; break;
      case PathKind::Device:
      case PathKind::Other: break;
    }
    return zh ? QStringLiteral("端口路径不是设备") + QString::fromUtf8(cn)
              : QStringLiteral("The port path is not a device") + QString::fromUtf8(en);
  }
  // A network printer: the port layer's text names the address and why the
  // connection failed.
  if (LooksLikeTcpAddress(path)) {
    const QString why = Q(open.ErrorText());
    return langId == kLangChinese
               ? QStringLiteral("无法连接 %1。解决：检查打印机的地址，以及它是否开机并在网络上。").arg(why)
               : QStringLiteral("Cannot connect to %1. Fix: check the printer's address, and that it is switched on "
                                "and on the network.")
                     .arg(why);
  }
  return OpenFailureReason(path, open.err, langId);
}

std::optional<ActionResult> OpenForWrite(PageContext& ctx, bool readFromThisPrinter, OpenResult& port) {
  if (!TextConversionAvailable(ctx.langId)) return RefuseWith(ctx, NoTextConversionMessage(ctx.langId));
  port = OpenPageLink(ctx);
  if (!port.ok()) return ShowPortOpenFailure(ctx, port);
  if (readFromThisPrinter) return std::nullopt;
  port.link.reset();
  return Refuse(ctx, kStrPleaseReadFirst);
}

ActionResult CloseAndRefuse(OpenResult& port, PageContext& ctx, const QString& message) {
  port.link.reset();
  return RefuseWith(ctx, message);
}

ActionResult CloseAndLose(OpenResult& port, PageContext& ctx) {
  port.link.reset();
  return Lost(ctx);
}

ActionResult ShowPortOpenFailure(PageContext& ctx, const OpenResult& open) {
  const std::string path = QFile::encodeName(ctx.link.portPath).toStdString();
  ActionResult r = RefuseWith(ctx, LoadString(kStrUnconnectPrinter, ctx.langId), OpenFailureReason(open, path, ctx.langId));
  r.messageId = kStrUnconnectPrinter;
  return r;
}

}  // namespace deveder
