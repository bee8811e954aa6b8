#include "resources/window_texts.h"

#include "protocol/text_codec.h"
#include "resources/strings.h"

namespace deveder {

namespace {

constexpr TextRow<WindowText> kTexts[] = {
    {WindowText::UnwrittenEditsTitle, "Changes not written", "参数未写入"},
    {WindowText::UnwrittenEdits,
     "The page %1 holds changes that were not written to the printer. Close the window and lose them?",
     "页面“%1”中有尚未写入打印机的修改。关闭窗口将丢失这些修改，是否关闭？"},
    {WindowText::CloseAnyway, "&Close", "关闭(&C)"},
    {WindowText::KeepOpen, "&Keep open", "不关闭(&K)"},
    {WindowText::ClosesAfterAction, "The window closes when the action under way ends.",
     "当前操作结束后窗口将关闭。"},
    {WindowText::ClosesAfterFont, "The window closes when the font download ends.", "字体下载结束后窗口将关闭。"},
    {WindowText::StopLeavesPart,
     "Stopping it now leaves the printer with part of the file: download the file again before using it.",
     "现在停止，打印机中只有部分文件，使用前请重新下载。"},
    {WindowText::ClosesAfterFirmware,
     "The window closes when the firmware download ends. It cannot be stopped safely: do not unplug or "
     "switch off the printer until it ends.",
     "程序更新结束后窗口将关闭。更新无法安全中止：结束前请勿拔下打印机或关闭电源。"},
    {WindowText::FontStopped, "Font download stopped.", "字体下载已停止。"},
    {WindowText::StopDownload, "&Stop download", "停止下载(&S)"},
    {WindowText::NoPort, "No printer port", "未找到打印机端口"},
    {WindowText::NotAsked, "printer not asked yet", "尚未询问打印机"},
    {WindowText::NamedForm, "named commands", "命名指令"},
    {WindowText::NumberedForm, "numbered commands", "编号指令"},
    {WindowText::LineSpeed, "line speed %1 baud", "波特率 %1"},
    {WindowText::SerialNumber, "SN %1", "序列号 %1"},
    {WindowText::Running, "%1 …", "%1 …"},
    {WindowText::Sent, "%1 sent", "%1 已发送"},
    {WindowText::Done, "%1: done", "%1：完成"},
    {WindowText::FontDone, "Font: %1 bytes sent, printer confirmed", "字体：已发送 %1 字节，打印机已确认"},
    {WindowText::FirmwareDone, "Firmware: %1 bytes sent; the printer restarts", "程序更新：已发送 %1 字节，打印机将重新启动"},
    {WindowText::SampleDone, "%1: %2 bytes sent", "%1：已发送 %2 字节"},
    {WindowText::Failed, "%1: %2", "%1：%2"},
    {WindowText::NotDone, "%1: not done", "%1：未执行"},
    {WindowText::ProgressBytes, "%p % of %1 bytes", "%p %，共 %1 字节"},
    {WindowText::BaudTip,
     "The line speed of every action on this port: Read, Write, the tests and the downloads. It shows the speed "
     "the port has until you pick another.",
     "此端口上所有操作（读取、写入、测试与下载）的波特率；未另行选择时显示端口当前的波特率。"},
    {WindowText::TrafficButton, "Traffic &log", "通信记录(&L)"},
    {WindowText::TrafficTitle, "Requests and replies of the last actions", "最近操作的请求与应答"},
    {WindowText::BackupButton, "Bac&kup", "备份(&K)"},
    {WindowText::BackupSave, "&Save the printer's values to a file…", "将打印机参数保存到文件(&S)…"},
    {WindowText::BackupRestore, "&Restore the printer's values from a file…", "从文件恢复打印机参数(&R)…"},
    {WindowText::BackupVerify, "&Verify the printer against a file…", "将打印机与文件核对(&V)…"},
    {WindowText::BackupFilter, "Backup (*.json)", "备份文件 (*.json)"},
    {WindowText::SaveAction, "Save to file", "保存到文件"},
    {WindowText::RestoreAction, "Restore from file", "从文件恢复"},
    {WindowText::VerifyAction, "Verify against file", "与文件核对"},
    {WindowText::BackupSaved, "The settings, WiFi and Bluetooth values saved to %1", "通用设置、WIFI 和蓝牙参数已保存到 %1"},
    {WindowText::CannotWrite, "Cannot write %1: %2", "无法写入 %1：%2"},
    {WindowText::NotABackup, "%1 cannot be used:\n%2", "无法使用 %1：\n%2"},
    {WindowText::NoRegularFile, "it is no regular file of at most 1 MiB", "它不是不超过 1 MiB 的普通文件"},
    {WindowText::ConfirmRestore,
     "Write the values of %1 to %2? The pages %3 are written and read back.",
     "将 %1 中的参数写入 %2 吗？将写入并读回以下页面：%3。"},
    {WindowText::RestoreDone, "Restored from %1", "已从 %1 恢复"},
    {WindowText::RestoreDiffers, "Written from %2; read back, values differ: %1",
     "已从 %2 写入，但读回的参数有 %1 项不同"},
    {WindowText::RestoreStopped, "The restore stopped. Pages written: %1.", "恢复已中止。已写入的页面：%1。"},
    {WindowText::NoPagesWritten, "none", "无"},
    {WindowText::VerifySame, "The printer holds what %1 holds", "打印机中的参数与 %1 一致"},
    {WindowText::VerifyDiffers, "Differences from %2: %1", "与 %2 不同的参数：%1 项"},
    {WindowText::DifferenceLine, "%1: file %2, printer %3", "%1：文件 %2，打印机 %3"},
    {WindowText::NotSent, "(not sent)", "（未发送）"},
    {WindowText::ConfirmTitle, "Confirm", "确认"},
    {WindowText::ConfirmFactoryDefault,
     "Restore the factory defaults of %1? Every setting the printer holds goes back to its value as shipped.",
     "确定将 %1 恢复出厂设置吗？打印机的所有设置都将恢复为出厂时的值。"},
    {WindowText::ConfirmFirmware,
     "Download the firmware %1 (%2 bytes) to %3? Do not unplug or switch off the printer until it ends.",
     "将程序文件 %1（%2 字节）下载到 %3 吗？结束前请勿拔下打印机或关闭电源。"},
    {WindowText::EmptyFirmware, "The firmware file is empty: there is nothing to download.",
     "程序文件为空，没有可下载的内容。"},
    {WindowText::PrinterOnPort, "%1 on %2", "%2 上的 %1"},
    {WindowText::HexDumpLeave,
     "The printer is now in hex-dump mode: it prints what it receives as hex instead of acting on it. "
     "Switch it off and on again to leave dump mode.",
     "打印机已进入调试模式：收到的数据将以十六进制打印出来而不被执行。关闭电源再打开即可退出调试模式。"},
    {WindowText::OctetOutOfRange, "%1 is not a valid entry: an address field holds a number from 0 to 255.",
     "%1 不是有效的数值：地址的每一段为 0 到 255 之间的数。"},
};

}  // namespace

QString LoadWindowText(WindowText id, int langId) { return TextOf(kTexts, id, langId); }

QString NamePrinter(const char* model, const QString& port, int langId) {
  if (!model || !*model) return port;
  return LoadWindowText(WindowText::PrinterOnPort, langId).arg(QString::fromLatin1(model), port);
}

QString FontInterruptedAdvice(int percentSent, int langId) {
  return langId == kLangChinese
             ? QStringLiteral("打印机中可能只有部分字体（已发送 %1 %），使用前请重新下载。").arg(percentSent)
             : QStringLiteral("The printer may hold part of the font (%1 % sent): download it again before printing "
                              "with it.")
                   .arg(percentSent);
}

QString NoAnswerAdvice(const QString& port, PortKind kind, int langId) {
  const bool zh = langId == kLangChinese;
  switch (kind) {
    case PortKind::Network:
      return (zh ? QStringLiteral("网络打印机 %1 没有应答。请检查打印机已开机并已连入网络，地址和端口正确。"
                                  "deveder-cli doctor 可检查端口。")
                 : QStringLiteral("No answer from the network printer at %1. Check that it is switched on and on the "
                                  "network, and that the address and port are right. deveder-cli doctor checks the port."))
          .arg(port);
    case PortKind::Serial:
      return (zh ? QStringLiteral("%1 上的打印机没有应答。请检查打印机已开机、串口线已接好，并且波特率与打印机一致"
                                  "（在通信设定页的波特率框中选择）。deveder-cli doctor 可检查端口。")
                 : QStringLiteral("No answer from the printer on %1. Check that it is switched on and its cable is in, "
                                  "and that the BaudRate box on the COMM page shows the printer's own speed (pick it "
                                  "there). deveder-cli doctor checks the port."))
          .arg(port);
    case PortKind::Usb:
      break;
  }
  return (zh ? QStringLiteral("%1 上的打印机没有应答。请检查打印机已开机、USB 线已接好。deveder-cli doctor 可检查端口。")
             : QStringLiteral("No answer from the printer on %1. Check that it is switched on and its USB cable is "
                              "in. deveder-cli doctor checks the port."))
      .arg(port);
}

QString FirmwareInterruptedAdvice(int percentSent, int langId) {
  return langId == kLangChinese
             ? QStringLiteral("打印机可能正处于下载中途，只有部分新程序（已发送 %1 %）：在一次下载完成之前可能无法正常启动，"
                              "请重新下载。")
                   .arg(percentSent)
             : QStringLiteral("The printer may be mid-download with part of a new image (%1 % sent): it may not start "
                              "normally until a download completes; run the download again.")
                   .arg(percentSent);
}

}  // namespace deveder
