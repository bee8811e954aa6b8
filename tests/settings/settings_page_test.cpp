// The settings page against the simulated printer over a real pty: the
// exact lines of a Read and a Write in both forms and both system
// languages, what the replies do to the controls, and the failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "pages/core/memory_controls.h"
#include "pages/settings/settings_page.h"
#include "protocol/text_codec.h"
#include "resources/dialogs.h"
#include "resources/strings.h"
#include "sim/printer_sim.h"
#include "test_support.h"

using namespace deveder;
using Lines = std::vector<std::string>;

namespace {

constexpr const char* kNumberedModel = "TQ250L;250;CPCL,ESCPOS,TSPL";  // no fourth field
constexpr const char* kNamedModel = "TQ250L;250;CPCL,ESCPOS,TSPL;1";

std::string GetN(int index) { return "\x1b\x1b! U1 getvar \"0\" \"" + std::to_string(index) + "\"\r\n"; }
std::string Get(const std::string& name) { return "\x1b\x1b! U1 getvar \"" + name + "\"\r\n"; }
std::string SetN(int index, const std::string& value) {
  return "\x1b\x1b! U1 setvar \"0\" \"" + std::to_string(index) + "\" \"" + value + "\"\r\n";
}
std::string Set(const std::string& name, const std::string& value) {
  return "\x1b\x1b! U1 setvar \"" + name + "\" \"" + value + "\"\r\n";
}

// The page over in-memory controls of the system language's template, with
// a simulated printer as its port.
struct Rig {
  explicit Rig(int lang, const std::string& modelReply = kNumberedModel)
      : controls(Dialog144(lang)), ctx{controls, ui, info, LinkChoice{}, lang} {
    sim::Options o;
    o.modelReply = modelReply;
    printer = std::make_unique<sim::PrinterSim>(o);
    EXPECT_TRUE(printer->Start());
    ctx.link.portPath = QString::fromStdString(printer->PortPath());
    page.OnCreate(ctx);
    idleFds = SlaveFds();
  }
  void Store(const std::string& name, const std::string& value) {
    auto lock = printer->Lock();
    ASSERT_TRUE(printer->Store().Set(name, value)) << name;
  }
  std::string Stored(const std::string& name) {
    auto lock = printer->Lock();
    return printer->Store().Get(name).value_or("?");
  }
  bool Read() {
    printer->ClearLog();
    ui.messages.clear();
    return page.OnControl(kSetReadButton, ControlEvent::Clicked, ctx) && page.ReadOnce();
  }
  // Runs a Write and waits until the printer has taken `expected` lines.
  bool Write(std::size_t expected) {
    printer->ClearLog();
    ui.messages.clear();
    const long before = printer->BytesReceived();
    const bool ok = page.OnWriteSettings(ctx).ok();
    // A line is logged before it is handled; the byte count moves after.
    printer->WaitFor(
        [&] {
          const Lines lines = printer->Lines();
          long size = 0;
          for (const std::string& l : lines) size += static_cast<long>(l.size());
          return lines.size() >= expected && printer->BytesReceived() >= before + size;
        },
        2000);
    return ok;
  }
  // Descriptors of this process open on the slave (the simulator keeps one
  // of its own while it runs).
  int SlaveFds() const { return tst::SlaveFds(*printer); }

  MemoryControls controls;
  tst::RecordingUi ui;
  PrinterInfo info;
  PageContext ctx;
  SettingsPage page;
  std::unique_ptr<sim::PrinterSim> printer;
  int idleFds = 0;
};

const QString kReadOk = "Read OK";
const QString kReadOkZh = QStringLiteral("读取成功！");

}  // namespace

TEST(SettingsRead, NumberedFormOnAChineseSystem) {
  Rig r(kLangChinese);
  ASSERT_TRUE(r.Read());
  // Drain and probe by name; heat_section and heat_time by name too.
  EXPECT_EQ(r.printer->Lines(),
            tst::ProvenRead(Lines{Get("model"), Get("model"), GetN(7), GetN(9), Get("heat_section"), Get("heat_time"), GetN(10),
                   GetN(31), GetN(32), GetN(33), GetN(43), GetN(42), GetN(37), GetN(34), GetN(35), GetN(44), GetN(45),
                   GetN(46), GetN(47), GetN(51), GetN(50), GetN(49), GetN(48), Get("model")}));
  EXPECT_EQ(r.ui.messages, std::vector<QString>{kReadOkZh});
  EXPECT_EQ(r.ui.captions, std::vector<QString>{QStringLiteral("通用设置")});
  EXPECT_EQ(r.SlaveFds(), r.idleFds);
  EXPECT_FALSE(r.page.NeedsRead());
  EXPECT_EQ(r.info.namedFormFlag, 0);

  const MemoryControls& c = r.controls;
  EXPECT_EQ(c.Text(kSetModel), "TQ250L");
  EXPECT_EQ(c.Text(kSetMfg), "Zivuvo");
  EXPECT_EQ(c.Text(kSetSerial), "ZV2026120900417");
  EXPECT_EQ(CurrentItemText(c, kSetHeatSections), "4");
  EXPECT_EQ(c.Text(kSetHeatTime), "60");
  EXPECT_EQ(c.Text(kSetUsbMfg), "Zivuvo");
  EXPECT_EQ(c.Text(kSetUsbModel), "TQ250L Label Printer");
  EXPECT_EQ(CurrentItemText(c, kSetDensity), "3");
  EXPECT_EQ(CurrentItemText(c, kSetSpeed), "4");
  EXPECT_EQ(c.CurrentIndex(kSetMedia), 1);
  EXPECT_EQ(CurrentItemText(c, kSetEncode), "gbk");
  EXPECT_EQ(CurrentItemText(c, kSetCodePage), "gbk");
  EXPECT_EQ(c.CurrentIndex(kSetCodePage), 94);
  EXPECT_EQ(c.Text(kSetSliceOffset), "12");
  EXPECT_EQ(c.Text(kSetXOffset), "0");
  EXPECT_EQ(c.Text(kSetYOffset), "8");
  EXPECT_EQ(c.Text(kSetLineHeight), "32");
  EXPECT_EQ(CurrentItemText(c, kSetPpl), "tspl");
  // CPCL, ESC/POS for a listed model, TSPL: 15 + 12 + 2 names.
  EXPECT_EQ(c.ItemCount(kSetApp), 29);
  EXPECT_EQ(CurrentItemText(c, kSetApp), "取件码");
  EXPECT_EQ(c.Text(kSetAppNameEn), "Express");
  EXPECT_EQ(c.Text(kSetAppNameCn), QStringLiteral("快递"));
  EXPECT_TRUE(c.Checked(kSetWarnTriple));
  EXPECT_FALSE(c.Checked(kSetWarnLoop));
  EXPECT_TRUE(c.Checked(kSetCoverLocate));
  EXPECT_FALSE(c.Checked(kSetCoverNoAction));
  EXPECT_EQ(CurrentItemText(c, kSetMenuLang), QStringLiteral("中文"));
  // The printer's D2 of 6 also holds a bit the page does not show.
  EXPECT_EQ(BuildMswDigits(c), "2420000000000000");
}

TEST(SettingsRead, NamedFormOnAnEnglishSystemThenWithoutProbe) {
  Rig r(kLangEnglish, kNamedModel);
  ASSERT_TRUE(r.Read());
  const Lines rows{Get("mfg"),          Get("sn"),      Get("usbd"),         Get("density"),     Get("speed"),
                   Get("media"),        Get("encode"),  Get("codepage"),     Get("slice_offset"), Get("xoffset"),
                   Get("yoffset"),      Get("line_height"), Get("ppl"),      Get("warn_format"), Get("cover_action"),
                   Get("menu_lang"),    Get("msw"),     Get("model")};
  Lines expected{Get("model"), Get("model")};
  expected.insert(expected.end(), rows.begin(), rows.end());
  // No heating controls on this layout, and no application rows.
  EXPECT_EQ(r.printer->Lines(), tst::ProvenRead(expected));
  EXPECT_EQ(r.ui.messages, std::vector<QString>{kReadOk});
  EXPECT_EQ(r.ui.captions, std::vector<QString>{"SETUP"});
  EXPECT_EQ(Items(r.controls, kSetApp), QStringList{"Common"});
  EXPECT_EQ(r.controls.CurrentIndex(kSetApp), 0);
  EXPECT_EQ(r.controls.Text(kSetAppNameEn), "");
  EXPECT_EQ(r.info.namedFormFlag, 'O');

  // The flag is set now: only the drained line asks for the model.
  ASSERT_TRUE(r.Read());
  expected.erase(expected.begin());
  EXPECT_EQ(r.printer->Lines(), tst::ProvenRead(expected));
}

TEST(SettingsRead, RepliesAndTheirControls) {
  Rig r(kLangChinese);
  struct Case {
    const char* name;
    const char* value;
    std::function<void(const MemoryControls&)> check;
  };
  const Case cases[] = {
      {"media", "label_reflect", [](const MemoryControls& c) { EXPECT_EQ(c.CurrentIndex(kSetMedia), 3); }},
      {"media", "LABEL_REFLECT", [](const MemoryControls& c) { EXPECT_EQ(c.CurrentIndex(kSetMedia), 0); }},
      {"codepage", "10005", [](const MemoryControls& c) { EXPECT_EQ(CurrentItemText(c, kSetCodePage), "big5"); }},
      {"codepage", "93", [](const MemoryControls& c) { EXPECT_EQ(c.CurrentIndex(kSetCodePage), 92); }},
      {"codepage", "0", [](const MemoryControls& c) { EXPECT_EQ(c.CurrentIndex(kSetCodePage), -1); }},
      {"codepage", "10000", [](const MemoryControls& c) { EXPECT_EQ(CurrentItemText(c, kSetCodePage), "utf8"); }},
      {"codepage", "94", [](const MemoryControls& c) { EXPECT_EQ(c.CurrentIndex(kSetCodePage), -1); }},
      {"menu_lang", "2", [](const MemoryControls& c) { EXPECT_EQ(c.CurrentIndex(kSetMenuLang), 0); }},
      {"menu_lang", " +1x", [](const MemoryControls& c) { EXPECT_EQ(c.CurrentIndex(kSetMenuLang), 1); }},
      {"usbd", "OnlyMaker",
       [](const MemoryControls& c) {
         EXPECT_EQ(c.Text(kSetUsbMfg), "OnlyMaker");
         EXPECT_EQ(c.Text(kSetUsbModel), "");
       }},
      {"usbd", ";Model;X",
       [](const MemoryControls& c) {
         EXPECT_EQ(c.Text(kSetUsbMfg), "");
         EXPECT_EQ(c.Text(kSetUsbModel), "Model;X");
       }},
      {"app_str", "NewName/",
       [](const MemoryControls& c) {
         EXPECT_EQ(c.Text(kSetAppNameEn), "NewName");
         EXPECT_EQ(c.Text(kSetAppNameCn), QStringLiteral("快递"));  // from the previous Read
       }},
      {"app_str", "/\xD0\xC2", [](const MemoryControls& c) {
         EXPECT_EQ(c.Text(kSetAppNameEn), "NewName");
         EXPECT_EQ(c.Text(kSetAppNameCn), QStringLiteral("新"));
       }},
      {"app", "40", [](const MemoryControls& c) { EXPECT_EQ(c.CurrentIndex(kSetApp), -1); }},
      {"app", "28", [](const MemoryControls& c) { EXPECT_EQ(CurrentItemText(c, kSetApp), "驿站小扁担"); }},
      {"density", "9", [](const MemoryControls& c) { EXPECT_EQ(CurrentItemText(c, kSetDensity), "3"); }},
      {"encode", "SHIFT", [](const MemoryControls& c) { EXPECT_EQ(CurrentItemText(c, kSetEncode), "shift-jis"); }},
      {"warn_format", "0", [](const MemoryControls& c) { EXPECT_TRUE(c.Checked(kSetWarnLoop) && !c.Checked(kSetWarnTriple)); }},
      {"cover_action", "-3", [](const MemoryControls& c) { EXPECT_TRUE(c.Checked(kSetCoverNoAction) && !c.Checked(kSetCoverLocate)); }},
      // A reply beyond 99 characters is shown as empty text.
      {"slice_offset", "123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789012",
       [](const MemoryControls& c) { EXPECT_EQ(c.Text(kSetSliceOffset), ""); }},
  };
  ASSERT_TRUE(r.Read());
  for (const Case& k : cases) {
    r.Store(k.name, k.value);
    ASSERT_TRUE(r.Read()) << k.name << " " << k.value;
    k.check(r.controls);
    if (HasFailure()) FAIL() << k.name << " = " << k.value;
  }
}

TEST(SettingsRead, MswRepliesOfOtherLengthsLeaveTheGroupAndBadDigitsEndTheRead) {
  Rig r(kLangEnglish);
  r.Store("msw", "77A000000000000");  // 15 bytes
  ASSERT_TRUE(r.Read());
  EXPECT_FALSE(BuildMswDigits(r.controls));  // still nothing selected
  r.Store("msw", "77A00000000000000");  // 17 bytes
  ASSERT_TRUE(r.Read());
  EXPECT_FALSE(BuildMswDigits(r.controls));
  EXPECT_EQ(r.ui.messages, std::vector<QString>{kReadOk});

  r.Store("msw", "77A0000000000000");
  ASSERT_TRUE(r.Read());
  for (int on : {kSetFontCmdNo, kSetFontSavedYes, kSetMbcs, kSetRewindNo, kSetEnlargeNo, kSetBufferYes})
    EXPECT_TRUE(r.controls.Checked(on)) << on;
  EXPECT_EQ(CurrentItemText(r.controls, kSetFontSize), "倍宽倍高");

  // A fresh page meets a digit string with a non-hexadecimal byte: the Read
  // ends as a broken line, before the group changes, and unlocks nothing.
  Rig bad(kLangEnglish);
  bad.Store("msw", "77A00000000000Z0");
  bad.Store("mfg", "Other");
  EXPECT_FALSE(bad.Read());
  EXPECT_EQ(bad.ui.messages, std::vector<QString>{kMsgConnectionLost});
  EXPECT_FALSE(BuildMswDigits(bad.controls));
  EXPECT_EQ(bad.controls.Text(kSetMfg), "Other");  // rows before stay filled
  EXPECT_TRUE(bad.page.NeedsRead());
  EXPECT_EQ(bad.SlaveFds(), bad.idleFds);
  EXPECT_FALSE(bad.Write(0));
  EXPECT_EQ(bad.ui.messages, std::vector<QString>{"PleaseReadFirst!"});
}

// A printer that answers nothing is not read at all: no control changes,
// and a Write stays refused until a Read has worked.
TEST(SettingsRead, SilentPrinterIsALostConnection) {
  for (const char* model : {kNumberedModel, kNamedModel}) {
    Rig r(kLangChinese, model);
    ControlModel& c = r.controls;
    c.SetText(kSetMfg, "old");
    c.SetText(kSetSliceOffset, "7");
    c.SetCurrentIndex(kSetMedia, 2);
    if (std::string(model) == kNamedModel) r.info.namedFormFlag = kNamedFormFlag;
    r.printer->SetFaults({.silent = true});
    EXPECT_FALSE(r.Read());
    EXPECT_EQ(r.ui.messages, std::vector<QString>{kMsgConnectionLost});
    EXPECT_EQ(r.printer->Lines().size(), 3u);  // the drain's two and the probe, or the drain's two and "mfg"
    EXPECT_EQ(c.Text(kSetMfg), "old");
    EXPECT_EQ(c.Text(kSetSliceOffset), "7");
    EXPECT_EQ(c.Text(kSetModel), "");
    EXPECT_EQ(c.CurrentIndex(kSetMedia), 2);
    EXPECT_TRUE(r.page.NeedsRead());
    EXPECT_FALSE(r.Write(0));
    EXPECT_EQ(r.ui.messages, std::vector<QString>{QStringLiteral("请读取参数!")});
    EXPECT_EQ(r.SlaveFds(), r.idleFds);
  }
  // After a Read that worked, a silent one leaves the page as it was.
  Rig r(kLangEnglish);
  ASSERT_TRUE(r.Read());
  r.printer->SetFaults({.silent = true});
  r.Read();
  EXPECT_EQ(r.ui.messages, std::vector<QString>{kMsgConnectionLost});
  EXPECT_FALSE(r.page.NeedsRead());
  EXPECT_EQ(r.controls.Text(kSetMfg), "Zivuvo");
}

// A model that lacks some variables: each of them is an empty reply, read
// by the usual rules, and the rest stay with their names.
TEST(SettingsRead, UnknownVariablesAreEmptyRepliesAndShiftNothing) {
  Rig r(kLangChinese);
  ControlModel& c = r.controls;
  for (int id : {kSetMfg, kSetHeatTime, kSetAppNameEn}) c.SetText(id, "old");
  c.SetCurrentIndex(kSetDensity, 2);
  c.SetCurrentIndex(kSetCodePage, 5);
  SelectRadio(c, kSetMbcs, kSetSbcs);
  {
    auto lock = r.printer->Lock();
    for (const char* v : {"mfg", "heat_time", "density", "codepage", "app_str", "msw"}) r.printer->Store().Forget(v);
  }
  ASSERT_TRUE(r.Read());
  EXPECT_EQ(r.ui.messages, std::vector<QString>{kReadOkZh});
  EXPECT_EQ(c.Text(kSetMfg), "old");          // only a reply replaces it
  EXPECT_EQ(c.Text(kSetHeatTime), "");        // an empty reply empties it
  EXPECT_EQ(c.CurrentIndex(kSetDensity), 2);  // an empty reply names no item
  EXPECT_EQ(c.CurrentIndex(kSetCodePage), -1);
  EXPECT_EQ(c.Text(kSetAppNameEn), "old");
  EXPECT_TRUE(c.Checked(kSetMbcs));
  // The answered neighbours are where they belong.
  EXPECT_EQ(c.Text(kSetSerial), "ZV2026120900417");
  EXPECT_EQ(CurrentItemText(c, kSetHeatSections), "4");
  EXPECT_EQ(CurrentItemText(c, kSetSpeed), "4");
  EXPECT_EQ(CurrentItemText(c, kSetEncode), "gbk");
  EXPECT_EQ(c.Text(kSetSliceOffset), "12");
  EXPECT_EQ(c.CurrentIndex(kSetApp), 0);
  EXPECT_TRUE(c.Checked(kSetWarnTriple));
  EXPECT_FALSE(r.page.NeedsRead());
}

TEST(SettingsRead, NoPortAndHangUp) {
  Rig r(kLangEnglish);
  r.ctx.link.portPath = "/dev/deveder-no-such-port";
  EXPECT_FALSE(r.Read());
  EXPECT_FALSE(r.page.OnWriteSettings(r.ctx));
  EXPECT_EQ(r.ui.messages, (std::vector<QString>{"Unconnect Printer", "Unconnect Printer"}));

  Rig h(kLangEnglish);
  sim::Faults f;
  f.hangUpAfterBytes = 23 * 2 + 60;  // inside the settings rows
  h.printer->SetFaults(f);
  EXPECT_FALSE(h.Read());
  EXPECT_TRUE(h.printer->HungUp());
  EXPECT_EQ(h.ui.messages, std::vector<QString>{kMsgConnectionLost});
  // A Read that did not end in step changes no control.
  EXPECT_EQ(h.controls.Text(kSetMfg), "");
  EXPECT_TRUE(h.page.NeedsRead());
  EXPECT_EQ(h.SlaveFds(), 0);
}

TEST(SettingsWrite, RefusedBeforeARead) {
  for (int lang : {kLangEnglish, kLangChinese}) {
    Rig r(lang);
    EXPECT_TRUE(r.page.OnControl(kSetWriteButton, ControlEvent::Clicked, r.ctx));
    EXPECT_EQ(r.ui.messages, std::vector<QString>{LoadString(kStrPleaseReadFirst, lang)});
    EXPECT_FALSE(r.printer->WaitFor([&] { return r.printer->BytesReceived() > 0; }, 100));
    EXPECT_EQ(r.SlaveFds(), r.idleFds);
  }
}

TEST(SettingsWrite, SendsBackWhatWasReadNumberedOnAChineseSystem) {
  Rig r(kLangChinese);
  ASSERT_TRUE(r.Read());
  ASSERT_TRUE(r.Write(22));
  EXPECT_EQ(r.printer->Lines(),
            (Lines{Set("model", "TQ250L"), SetN(7, "Zivuvo"), SetN(9, "ZV2026120900417"),
                   SetN(10, "Zivuvo;TQ250L Label Printer"), SetN(31, "3"), Set("heat_section", "4"),
                   Set("heat_time", "60"), SetN(32, "4"), SetN(33, "label"), SetN(43, "gbk"), SetN(42, "10001"),
                   SetN(37, "12"), SetN(34, "0"), SetN(35, "8"), SetN(44, "32"), SetN(45, "tspl"), SetN(46, "0"),
                   SetN(47, "Express/\xBF\xEC\xB5\xDD"), SetN(51, "1"), SetN(50, "0"), SetN(49, "1"),
                   SetN(48, "2460000000000000")}));
  EXPECT_EQ(r.ui.messages, std::vector<QString>{QStringLiteral("设置完成！")});
  EXPECT_EQ(r.ui.captions.back(), QStringLiteral("通用设置"));

  // Edited values reach the printer's store.
  r.controls.SetCurrentIndex(kSetDensity, 6);
  r.controls.SetCurrentIndex(kSetCodePage, 93);
  SelectRadio(r.controls, kSetMbcs, kSetSbcs);
  ASSERT_TRUE(r.Write(22));
  EXPECT_EQ(r.Stored("density"), "6");
  EXPECT_EQ(r.Stored("codepage"), "10000");
  // The digits and bits the page does not show stay as read.
  EXPECT_EQ(r.Stored("msw"), "3460000000000000");
  EXPECT_EQ(r.SlaveFds(), r.idleFds);
}

TEST(SettingsWrite, NamedOnAnEnglishSystem) {
  Rig r(kLangEnglish, kNamedModel);
  ASSERT_TRUE(r.Read());
  r.controls.SetText(kSetSerial, "");
  r.controls.SetText(kSetMfg, "");
  r.controls.SetText(kSetUsbModel, "");
  ASSERT_TRUE(r.Write(17));
  EXPECT_EQ(r.printer->Lines(),
            (Lines{Set("model", "TQ250L"), Set("mfg", ""), Set("usbd", "Zivuvo;"), Set("density", "3"),
                   Set("speed", "4"), Set("media", "label"), Set("encode", "gbk"), Set("codepage", "10001"),
                   Set("slice_offset", "12"), Set("xoffset", "0"), Set("yoffset", "8"), Set("line_height", "32"),
                   Set("ppl", "tspl"), Set("warn_format", "1"), Set("cover_action", "0"), Set("menu_lang", "1"),
                   Set("msw", "2460000000000000")}));
  EXPECT_EQ(r.ui.messages, std::vector<QString>{"Write OK"});
  EXPECT_EQ(r.Stored("mfg"), "");
}

TEST(SettingsWrite, UnselectedEscposPairStopsSilentlyBeforeMsw) {
  Rig r(kLangChinese);
  r.Store("msw", "123");  // never a digit string: the group stays unselected
  ASSERT_TRUE(r.Read());
  EXPECT_FALSE(r.Write(21));
  const Lines sent = r.printer->Lines();
  ASSERT_EQ(sent.size(), 21u);
  EXPECT_EQ(sent.front(), Set("model", "TQ250L"));
  EXPECT_EQ(sent.back(), SetN(49, "1"));
  EXPECT_TRUE(r.ui.messages.empty());
  EXPECT_EQ(r.SlaveFds(), r.idleFds);
}

TEST(SettingsWrite, RefusesAValueTooLongAndReportsAHangUp) {
  Rig r(kLangEnglish);
  ASSERT_TRUE(r.Read());
  r.controls.SetText(kSetLineHeight, QString(5000, QLatin1Char('9')));
  EXPECT_FALSE(r.Write(0));
  EXPECT_EQ(r.ui.messages, std::vector<QString>{ValueTooLongMessage(kLangEnglish)});
  EXPECT_FALSE(r.printer->WaitFor([&] { return !r.printer->Lines().empty(); }, 100));

  // The printer goes away on the first line. With the serial flag each line
  // is followed by a pause, so the next write meets the closed line.
  r.controls.SetText(kSetLineHeight, "32");
  sim::Faults f;
  f.hangUpAfterBytes = r.printer->BytesReceived() + 1;
  r.printer->SetFaults(f);
  r.ctx.link.serial = true;
  EXPECT_FALSE(r.Write(0));
  EXPECT_TRUE(r.printer->HungUp());
  EXPECT_EQ(r.ui.messages, std::vector<QString>{kMsgConnectionLost});
  EXPECT_EQ(r.SlaveFds(), 0);
}
