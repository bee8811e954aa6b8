// Values as arguments of a command line: sent exactly as meant, or refused
// with the character named; and the simulated printer's log of lines no tool
// should send.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "pages/core/write_values.h"
#include "protocol/line_value.h"
#include "protocol/text_codec.h"
#include "resources/dialog_template.h"
#include "sim/interpreter.h"
#include "sim/printer_sim.h"

using namespace deveder;

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

TEST(LineValue, EveryCharacterALineCannotCarryIsRefusedAndNamed) {
  struct Case {
    QString text;
    ValueFault fault;
    char32_t character;
    const char* shown;
  };
  const Case cases[] = {
      {U("a\rb"), ValueFault::ControlCharacter, 0x0D, "CR (0x0D)"},
      {U("a\nb"), ValueFault::ControlCharacter, 0x0A, "LF (0x0A)"},
      {U("\x1b\x1b! U1 do"), ValueFault::ControlCharacter, 0x1B, "ESC (0x1B)"},
      {QString(QChar(0)) + U("x"), ValueFault::ControlCharacter, 0x00, "NUL (0x00)"},
      {U("x\x7f"), ValueFault::ControlCharacter, 0x7F, "DEL (0x7F)"},
      {U("ab\"cd"), ValueFault::DoubleQuote, '"', "\" (0x22)"},
      {U("a\xF0\x9F\x98\x80" "b"), ValueFault::NotInCodePage, 0x1F600, "\xF0\x9F\x98\x80 (U+1F600)"},
      // A raw printer byte is carried as its byte, but not a raw CR or quote.
      {QString(QChar(0xF70D)), ValueFault::ControlCharacter, 0x0D, "CR (0x0D)"},
      {QString(QChar(0xF722)), ValueFault::DoubleQuote, '"', "\" (0x22)"},
      // The first of two faults is the one named.
      {U("\xF0\x9F\x98\x80\r"), ValueFault::NotInCodePage, 0x1F600, "\xF0\x9F\x98\x80 (U+1F600)"},
      {U("\r\xF0\x9F\x98\x80"), ValueFault::ControlCharacter, 0x0D, "CR (0x0D)"},
  };
  for (int lang : {kLangEnglish, kLangChinese}) {
    for (const Case& c : cases) {
      const LineValue v = TextToLineValue(c.text, lang);
      EXPECT_EQ(v.fault, c.fault) << c.shown << " " << lang;
      EXPECT_EQ(v.character, c.character) << c.shown;
      EXPECT_TRUE(v.bytes.empty());
      EXPECT_EQ(DescribeCharacter(v.character), U(c.shown));
    }
  }
}

TEST(LineValue, TextTheCodePageHoldsGoesExactly) {
  // Chinese in GBK on a Chinese system; on any other it has no byte.
  const LineValue zh = TextToLineValue(U("打印机 A1"), kLangChinese);
  ASSERT_TRUE(zh.ok());
  EXPECT_EQ(zh.bytes, "\xB4\xF2\xD3\xA1\xBB\xFA A1");
  const LineValue en = TextToLineValue(U("打印机"), kLangEnglish);
  EXPECT_EQ(en.fault, ValueFault::NotInCodePage);
  EXPECT_EQ(en.character, U'打');
  // Windows-1252 text, raw bytes the code page leaves undefined, an empty text.
  EXPECT_EQ(TextToLineValue(U("café €5, x;y"), kLangEnglish).bytes, "caf\xE9 \x80" "5, x;y");
  EXPECT_EQ(TextToLineValue(QString(QChar(0xF781)) + QChar(0xF79D), kLangEnglish).bytes, "\x81\x9D");
  EXPECT_TRUE(TextToLineValue(QString(), kLangEnglish).ok());
  // The lossy conversion stays for display; the exact one says where it fails.
  qsizetype at = -1;
  EXPECT_FALSE(ToPrinterBytesExact(U("ab\xF0\x9F\x98\x80"), kLangEnglish, &at));
  EXPECT_EQ(at, 2);
  EXPECT_EQ(ToPrinterBytes(U("ab\xF0\x9F\x98\x80"), kLangEnglish), "ab??");
}

TEST(LineValue, MessagesNameTheFieldAndTheCharacterInTheInterfaceLanguage) {
  const ValueRefusal cr{U("mfg"), ValueFault::ControlCharacter, 0x0D};
  EXPECT_EQ(ValueRefusalMessage(cr, kLangEnglish),
            U("Cannot send mfg: it holds the character CR (0x0D), which a printer command cannot carry"));
  EXPECT_EQ(ValueRefusalMessage(cr, kLangChinese), U("无法发送 mfg：其中的字符 CR (0x0D) 不能放进打印机命令"));
  const ValueRefusal emoji{U("bluetooth.friendly_name"), ValueFault::NotInCodePage, 0x1F600};
  EXPECT_TRUE(ValueRefusalMessage(emoji, kLangEnglish).contains(U("code page 1252 has no character \xF0\x9F\x98\x80")));
  EXPECT_TRUE(ValueRefusalMessage(emoji, kLangChinese).contains(U("代码页 936")));
  const std::vector<KeptValue> kept{{"mfg", "a\rb"}, {"usbd", "\"x\";y"}};
  EXPECT_TRUE(KeptValuesMessage(kept, kLangEnglish).endsWith(U(": mfg, usbd")));
  EXPECT_TRUE(KeptValuesMessage(kept, kLangChinese).endsWith(U("：mfg, usbd")));
}

// The printer logs as a fault every line with a control byte between its
// ESC ESC and its CR LF, or with an odd number of quotes.
TEST(SimFaultLog, LinesNoToolShouldSendAreLoggedAsFaults) {
  sim::PrinterSim printer;  // not started: replies go nowhere
  sim::Interpreter in(printer);
  auto feed = [&](const std::string& bytes) {
    in.Feed(bytes.data(), bytes.size());
    in.Quiet();
  };
  feed("\x1b\x1b! U1 setvar \"mfg\" \"a;b,c\"\r\n");
  feed("\x1b\x1b! U1 getvar \"model\"\r\n");
  EXPECT_TRUE(printer.FaultyLines().empty());
  const std::string bad[] = {
      std::string("\x1b\x1b! U1 setvar \"mfg\" \"a\nb\"\r\n"),
      std::string("\x1b\x1b! U1 setvar \"mfg\" \"a\x1b\x1b" "b\"\r\n"),
      std::string("\x1b\x1b! U1 setvar \"mfg\" \"a") + '\0' + "b\"\r\n",
      std::string("\x1b\x1b! U1 setvar \"mfg\" \"a\x7f\"\r\n"),
      std::string("\x1b\x1b! U1 setvar \"bluetooth.friendly_name\" \"a\"b\"\r\n"),
      // A name with CR LF inside: the line ends there, with its quote open.
      std::string("\x1b\x1b! U1 do \"download\" \"fontext\" \"inj\r\n"),
  };
  for (const std::string& line : bad) feed(line);
  EXPECT_EQ(printer.FaultyLines(), std::vector<std::string>(std::begin(bad), std::end(bad)));
}

// Messages name a value by the field the page shows it in: every field of
// the three pages that hold the printer's values has a name of its own on
// its page, in both languages.
TEST(FieldCaption, EveryValueFieldOfAPageHasANameOfItsOwn) {
  for (int lang : {kLangEnglish, kLangChinese}) {
    for (int dialog : {144, 162, 132}) {
      std::map<QString, int> seen;
      for (const ControlTemplate& c : FindDialogTemplate(dialog, lang).controls) {
        if (c.kind != ControlKind::Edit && c.kind != ControlKind::IpAddress && c.kind != ControlKind::ComboList &&
            c.kind != ControlKind::ComboEdit)
          continue;
        const QString name = FieldCaption(FindDialogTemplate(dialog, lang), c.id);
        EXPECT_FALSE(name.isEmpty()) << dialog << "/" << c.id << " in " << lang;
        const auto [it, fresh] = seen.emplace(name, c.id);
        EXPECT_TRUE(fresh) << name.toStdString() << " names " << it->second << " and " << c.id << " in " << lang;
      }
    }
  }
  const struct {
    int dialog, control;
    const char *en, *zh;
  } named[] = {
      {162, 1179, "STA Mode SSID", "STA 模式 SSID"},  // another SSID is the AP's
      {162, 1155, "WIFI Mode", "WIFI 模式"},          // a choice by its group
      {162, 1159, "STA Mode", "STA 模式"},            // a whole list by its group
      {144, 1105, "MFG", "厂商"},
      {144, 1109, "USB Device MFG", "MFG"},  // the Chinese page has one MFG
      {132, 1011, "BSSID", "名称"},
  };
  for (const auto& n : named) {
    EXPECT_EQ(FieldCaption(FindDialogTemplate(n.dialog, kLangEnglish), n.control), U(n.en));
    EXPECT_EQ(FieldCaption(FindDialogTemplate(n.dialog, kLangChinese), n.control), U(n.zh));
  }
}
