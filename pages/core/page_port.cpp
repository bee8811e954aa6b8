#include "pages/core/page_port.h"

#include <QFile>

#include "protocol/text_codec.h"
#include "resources/strings.h"

namespace deveder {

namespace {

// Why the port did not open, when it is more than a failure to open.
QString OpenFailureDetail(int langId) {
  const bool zh = langId == kLangChinese;
  if (PortLastErrorWasBusy()) {
    const std::optional<PortHolder> holder = PortBusyHolder();
    if (!holder) return zh ? QStringLiteral("端口正被另一个程序使用") : QStringLiteral("The port is in use by another program");
    const QString who = holder->name.empty() ? QStringLiteral("PID %1").arg(holder->pid)
                                             : QStringLiteral("%1 (PID %2)").arg(QString::fromStdString(holder->name))
                                                   .arg(holder->pid);
    return zh ? QStringLiteral("端口正被 %1 使用").arg(who) : QStringLiteral("The port is in use by %1").arg(who);
  }
  if (PortLastErrorWasNotADevice()) {
    const char* en = "";
    const char* cn = "";
    switch (PortLastPathKind()) {
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
  return {};
}

}  // namespace

PortHandle OpenPagePort(const PageContext& ctx) {
  return OpenPrinterPort(QFile::encodeName(ctx.link.portPath).toStdString());
}

QString OpenFailureText(int langId) {
  QString text = LoadString(kStrUnconnectPrinter, langId);
  const QString detail = OpenFailureDetail(langId);
  if (!detail.isEmpty()) text += QLatin1Char('\n') + detail;
  return text;
}

void ShowOpenFailure(PageContext& ctx) { ctx.ui.ShowMessage(OpenFailureText(ctx.langId)); }

}  // namespace deveder
