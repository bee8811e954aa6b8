#include "resources/strings.h"

#include "protocol/text_codec.h"

namespace deveder {

namespace {

constexpr TextRow<int> kStrings[] = {
    {143, "COMM", "通信设定"},
    {144, "BT SETUP", "蓝牙配置"},
    {145, "FONT", "字体下载"},
    {146, "FIRMWARE", "程序更新"},
    {147, "Can't Open Printer", "无法打开打印机"},
    {148, "Unconnect Printer", "打印机未连接"},
    {149, "SETUP", "通用设置"},
    {150, "DATA", "WIFI配置"},
    {151, "TEST", "测试"},
    {152, "Read OK", "读取成功！"},
    {153, "Write OK", "设置完成！"},
    {154, "PleaseReadFirst!", "请读取参数!"},
    {155, "File Not Exist", "文件不存在"},
    {156, "Change Baudrate Fail!", "切换波特率失败"},
    {157, "Communicate Fail!", "通讯失败"},
};

}  // namespace

QString LoadString(int id, int langId) { return TextOf(kStrings, id, langId); }

QString ProgramTitle(int langId) {
  return QString::fromUtf8(langId == kLangChinese ? "Zivuvo机工具 V1.05.210518" : "DividiVidi  V1.05.210518");
}

QString ValueTooLongMessage(int langId) {
  return langId == kLangChinese ? QStringLiteral("数值过长，无法发送（一条命令最多 4095 字节）")
                                : QStringLiteral("Value too long to send (a command line holds at most 4095 bytes)");
}

QString NoTextConversionMessage(int langId) {
  return langId == kLangChinese
             ? QStringLiteral("系统缺少代码页 936 (GBK) 的文字转换，无法与打印机交换文字")
             : QStringLiteral("This system cannot convert text to code page 1252, so no text can be exchanged with the printer");
}

}  // namespace deveder
