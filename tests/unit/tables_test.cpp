// Every table of the system checked whole against one written out here: the
// code page rows with their numbers, the application lists, the items of
// every list of every dialog, the variables with their numbers and the test
// commands. A swapped pair of rows anywhere shows.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "pages/bluetooth/bluetooth_page.h"
#include "pages/core/memory_controls.h"
#include "pages/settings/settings_page.h"
#include "pages/settings/settings_tables.h"
#include "pages/test/test_page.h"
#include "pages/wifi/wifi_page.h"
#include "protocol/printer_info.h"
#include "protocol/text_codec.h"
#include "resources/dialogs.h"
#include "test_support.h"

using namespace deveder;

namespace {

// A settings page as it is created, over in-memory controls.
struct Memory144 {
  explicit Memory144(int lang) : controls(Dialog144(lang)), ctx{controls, ui, info, LinkChoice{}, lang} {
    page.OnCreate(ctx);
  }
  MemoryControls controls;
  tst::RecordingUi ui;
  PrinterInfo info;
  PageContext ctx;
  SettingsPage page;
};

QStringList Split(const char* lines) { return QString::fromUtf8(lines).split(QLatin1Char('\n')); }

// Row by row, as number and caption.
constexpr const char* kCodePages =
    "1 CP437(U.S.A,Standard Europe)\n2 Katakana\n3 CP720(Arabic)\n4 CP737(Greek)\n5 CP755\n6 CP772(Lithuanian)\n"
    "7 CP774(Lithuanian)\n8 CP775(Baltic)\n9 CP850(Multilingual)\n10 CP851(Greek1)\n11 CP852(Latin2)\n"
    "12 CP853(Turkish)\n13 CP854\n14 CP855(Cyrillic)\n15 CP856\n16 CP857(Turkish)\n17 CP858(Euro)\n18 CP859\n"
    "19 CP860(Portuguese)\n20 CP861(Icelandic)\n21 CP862(Hebrew)\n22 CP863(Canadian/French)\n23 CP864(Arabic)\n"
    "24 CP865(Nordic)\n25 CP866(Cyrillic #2)\n26 CP867\n27 CP868\n28 CP869(Greek2)\n29 CP874(Thai)\n"
    "30 CP928(Greek)\n31 CP1098(Farsi)\n32 CP1001(Arabic)\n33 CP1118\n34 CP1119\n35 CP1125\n36 WPC1250(Latin2)\n"
    "37 WPC1251(Cyrillic)\n38 WPC1252(Latin)\n39 WPC1253(Greek)\n40 WPC1254(Turkish)\n41 WPC1255(Hebrew)\n"
    "42 WPC1256(Arabic)\n43 WPC1257(Baltic Rim)\n44 WPC1258(Vietnamese)\n45 CP2001\n46 CP3001\n47 CP3002\n"
    "48 CP3011\n49 CP3012\n50 CP3021\n51 CP3041\n52 CP3840\n53 CP3841\n54 CP3842\n55 CP3843\n56 CP3844\n"
    "57 CP3845\n58 CP3846\n59 CP3847\n60 CP3848\n61 CP3849\n62 ISO8859-1(Latin1)\n63 ISO8859-2(Latin2)\n"
    "64 ISO8859-3(Latin3)\n65 ISO8859-4(Baltic)\n66 ISO8859-5(Cyrillic)\n67 ISO8859-6(Arabic)\n"
    "68 ISO8859-7(Greek)\n69 ISO8859-8(Hebrew)\n70 ISO8859-9(Turkish)\n71 ISO8859-10(Latin6)\n"
    "72 ISO8859-13(Estonian)\n73 ISO8859-15(Latin9)\n74 TCVN3_S\n75 TCVN3_C\n76 KZ1048\n77 TIS11\n78 TIS13\n"
    "79 TIS14\n80 TIS16\n81 TIS17\n82 TIS18\n83 KU42\n84 MIK\n85 IRAN\n86 IRAN II\n87 LATVIAN\n88 ABICOMP\n"
    "89 MONGOLIAN\n90 VISCII\n91 Hirakana\n92 Simplified Kanji\n93 Simplified Kanji\n10000 utf8\n10001 gbk\n"
    "10002 gb2312\n10003 gb18030\n10004 gb13000\n10005 big5\n10006 shift-jis\n10007 jis\n10008 euc-kr\n"
    "10009 utf16B\n10010 utf16L\n10011 euc";

}  // namespace

TEST(Tables, CodePageRowsWithTheirNumbers) {
  const QStringList rows = Split(kCodePages);
  ASSERT_EQ(rows.size(), kCodePageCount);
  Memory144 page(kLangEnglish);
  const QStringList shown = Items(page.controls, kSetCodePage);
  ASSERT_EQ(shown.size(), rows.size());
  for (int row = 0; row < kCodePageCount; ++row) {
    const long number = rows[row].section(' ', 0, 0).toLong();
    EXPECT_EQ(shown[row], rows[row].section(' ', 1)) << row;
    EXPECT_EQ(CodePageNumberOfRow(row), number) << row;
    EXPECT_EQ(CodePageRowOfNumber(number), number == 93 ? 92 : row) << number;
  }
}

TEST(Tables, ApplicationListForEachLanguageMaskAndModel) {
  const std::string cpcl = "取件码 通用快递 兔喜 韵达超市 行者 优速快递 中通快运 邮政快递 EMS邮政 ESC物流 云店主 宸芯科技 来取 溪鸟 快递+";
  const std::string escposModel =
      "百世快运 飞豹快运 中铁快递 壹米滴答 速尔快递 商单 管家婆物流 华师傅 SAMPLE_PRINTER 博驰物流 商道软件 信丰物流";
  const std::string escpos = "伊利云商 货销宝 云销宝";
  const std::string tspl = "熊猫快收 驿站小扁担";
  struct Case {
    std::uint8_t mask;
    const char* model;
    std::string items;  // space-separated; '_' stands for a space inside a name
  };
  const Case cases[] = {
      {0, "TQ250L", "标准模式"},
      {kLangZpl, "TQ250L", "标准模式"},
      {kLangCpcl, "TQ210", cpcl},
      {kLangEscpos, "TQ210", "标准模式 " + escposModel},
      {kLangEscpos, "TQ250", "标准模式 " + escposModel},
      {kLangEscpos, "TQ250L", "标准模式 " + escposModel},
      {kLangEscpos, "TQ250l", "标准模式 " + escpos},
      {kLangTspl, "TQ80", "标准模式 " + tspl},
      {kLangCpcl | kLangEscpos | kLangTspl, "TQ250", cpcl + " " + escposModel + " " + tspl},
      {kLangCpcl | kLangEscpos | kLangTspl | kLangZpl, "TQ80", cpcl + " " + escpos + " " + tspl},
  };
  MemoryControls c(Dialog144(kLangChinese));
  for (const Case& k : cases) {
    FillAppList(c, k.mask, k.model);
    QStringList want = QString::fromStdString(k.items).split(QLatin1Char(' '));
    want.replaceInStrings(QStringLiteral("_"), QStringLiteral(" "));
    EXPECT_EQ(Items(c, kSetApp), want) << int(k.mask) << " " << k.model;
  }
}

// Every list of every dialog, in both languages: the items it starts with
// (the code page and application lists as the settings page fills them).
TEST(Tables, EveryListOfEveryDialogHoldsItsItems) {
  const std::map<std::pair<int, int>, const char*> lists = {
      {{130, 1008}, "USB\n串口\nETH"},
      {{130, 1199}, "1200\n4800\n9600\n19200\n38400\n57600\n115200"},
      {{132, 1005}, "9600\n38400\n57600\n115200\n230400\n460800\n921600"},
      {{132, 1008}, "1F00\n40680\n240404\n240408\n100680\n680"},
      {{134, 1072}, "标准字库\n扩展字库\nDEMO数据"},
      {{144, kSetDensity}, "0\n1\n2\n3\n4\n5\n6"},
      {{144, kSetSpeed}, "0\n1\n2\n3\n4\n5\n6"},
      {{144, kSetMedia}, "票据\n标签 穿透\n黑标 穿透\n标签 反射\n黑标 反射"},
      {{144, kSetEncode}, "auto\ngbk\nbig5\neuc\nshift-jis\nutf8\ngb18030"},
      {{144, kSetPpl}, "auto\ncpcl\nescpos\ntspl"},
      {{144, kSetMenuLang}, "英文\n中文"},
      {{144, kSetFontSize}, "标准\n倍宽\n倍高\n倍宽倍高"},
      {{144, kSetHeatSections}, "1\n2\n3\n4\n5\n6\n7\n8\n9"},
  };
  for (int lang : {kLangEnglish, kLangChinese}) {
    int seen = 0;
    for (int dialog : {102, 130, 132, 134, 136, 144, 148, 162}) {
      for (const ControlTemplate& t : FindDialogTemplate(dialog, lang).controls) {
        if (t.kind != ControlKind::ComboList && t.kind != ControlKind::ComboEdit) continue;
        const auto it = lists.find({dialog, t.id});
        if (dialog == 144 && (t.id == kSetCodePage || t.id == kSetApp)) continue;  // filled by the page
        if (dialog == 130 && t.id == 1005) continue;                                // the port walk's
        if (it == lists.end()) {
          ADD_FAILURE() << "list " << t.id << " of dialog " << dialog << " is in no table";
          continue;
        }
        ++seen;
        EXPECT_EQ(t.items ? Split(t.items) : QStringList{}, Split(it->second)) << dialog << "/" << t.id << " " << lang;
      }
    }
    EXPECT_EQ(seen, static_cast<int>(lists.size()) - (lang == kLangEnglish ? 1 : 0)) << lang;
  }
  Memory144 zh(kLangChinese), en(kLangEnglish);
  EXPECT_EQ(Items(zh.controls, kSetApp), QStringList{QStringLiteral("标准模式")});
  EXPECT_EQ(Items(en.controls, kSetApp), QStringList{QStringLiteral("Common")});
}

// Each variable with its group and number, in the order its page reads it.
TEST(Tables, EveryVariableWithItsNumber) {
  const std::vector<std::string> settings = {
      "mfg 0 7",        "sn 0 9",          "heat_section -1 0", "heat_time -1 0", "usbd 0 10",
      "density 0 31",   "speed 0 32",      "media 0 33",        "encode 0 43",    "codepage 0 42",
      "slice_offset 0 37", "xoffset 0 34", "yoffset 0 35",      "line_height 0 44", "ppl 0 45",
      "app 0 46",       "app_str 0 47",    "warn_format 0 51",  "cover_action 0 50", "menu_lang 0 49",
      "msw 0 48"};
  const std::vector<std::string> wifi = {"wlan.mac 2 29", "wlan.lip 2 28", "wlan.mode 2 25", "wlan.dhcp 2 26",
                                         "wlan.ap 2 23",  "wlan.sta 2 24", "wlan.apac 2 27"};
  auto text = [](const PrinterVar& v) {
    return std::string(v.name) + " " + std::to_string(v.group) + " " + std::to_string(v.index);
  };
  MemoryControls zh(Dialog144(kLangChinese));
  std::vector<std::string> asked;
  for (const PrinterVar& v : SettingsReadRequests(zh, kLangChinese)) asked.push_back(text(v));
  EXPECT_EQ(asked, settings);
  std::vector<std::string> wifiAsked;
  for (const char* name : WifiVariables()) wifiAsked.push_back(text(*WifiVariable(name)));
  EXPECT_EQ(wifiAsked, wifi);

  // Bluetooth's numbers as its Update sends them, in its order.
  MemoryControls bt(Dialog132(kLangEnglish));
  bt.SetText(bluetooth::kAddressEdit, "00:1A:7D");
  bt.SetText(bluetooth::kNameEdit, "n");
  bt.SetText(bluetooth::kPinEdit, "0000");
  bt.SetCurrentIndex(bluetooth::kBaudList, 0);
  bt.SetCurrentIndex(bluetooth::kCodList, 5);
  const std::string set = "\x1b\x1b! U1 setvar \"1\" \"";
  EXPECT_EQ(BuildBluetoothWrite(bt, LineForm::Numbered, kLangEnglish, nullptr).lines,
            (std::vector<std::string>{set + "16\" \"001A7D\"\r\n", set + "18\" \"n\"\r\n", set + "17\" \"0000\"\r\n",
                                      set + "19\" \"9600\"\r\n", set + "20\" \"680\"\r\n"}));
}

TEST(Tables, EveryTestCommandInBothForms) {
  struct Row {
    int button;
    const char* named;
    const char* numbered;
  };
  const Row rows[] = {
      {1015, "\"print_test\" \"testpage\"", "\"3\" \"testpage\""},
      {1064, "\"print_test\" \"bluetooth\"", "\"3\" \"bluetooth\""},
      {1065, "\"factory_default\"", "\"4\""},
      {1066, "\"dump\" \"open\"", "\"2\" \"open\""},
      {1068, "\"print_test\" \"raw_advl\"", "\"3\" \"raw_advl\""},
      {1069, "\"print_test\" \"mark_advl\"", "\"3\" \"mark_advl\""},
      {1106, "\"print_test\" \"cal\"", "\"3\" \"cal\""},
  };
  for (const Row& r : rows) {
    const TestCommand* command = FindTestCommand(r.button);
    ASSERT_NE(command, nullptr) << r.button;
    EXPECT_EQ(TestCommandLine(*command, LineForm::Named), std::string("\x1b\x1b! U1 do ") + r.named + "\r\n");
    EXPECT_EQ(TestCommandLine(*command, LineForm::Numbered), std::string("\x1b\x1b! U1 do ") + r.numbered + "\r\n");
  }
  EXPECT_EQ(FindTestCommand(1104), nullptr);
}
