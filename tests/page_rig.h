// One reading page (settings, WiFi or Bluetooth) over in-memory controls,
// against a simulated printer of its own: its Read and Write, what the
// controls show afterwards and what the printer received.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "link/link.h"
#include "pages/bluetooth/bluetooth_page.h"
#include "pages/core/memory_controls.h"
#include "pages/settings/settings_page.h"
#include "pages/wifi/wifi_page.h"
#include "protocol/text_codec.h"
#include "resources/dialogs.h"
#include "resources/strings.h"
#include "sim/printer_sim.h"
#include "test_support.h"

namespace deveder::tst {

enum class PageKind { Settings, Wifi, Bluetooth };

inline const char* PageName(PageKind k) {
  return k == PageKind::Settings ? "settings" : k == PageKind::Wifi ? "wifi" : "bluetooth";
}

inline constexpr const char* kNamedModelReply = "TQ250L;250;CPCL,ESCPOS,TSPL;1";
inline constexpr const char* kNumberedModelReply = "TQ250L;250;CPCL,ESCPOS,TSPL";

// True when a simulated printer split its replies no further apart than
// asked (give or take what a reply's way through the pty adds): on a loaded
// machine its thread may wake late, and a test cannot then tell whether the
// tool or the test machine split the reply.
inline bool SplitAsAsked(const sim::PrinterSim& printer, bool serial) {
  return printer.LongestSplitGapUs() < (serial ? kSerialReplySilence.count() - 3000 : kUsbReplySilence.count() - 500);
}

// The reply timing of a terminal in USB or serial mode with a shorter
// first-byte wait: the same rules, met in a fraction of the time.
inline ReplyTiming ShortTiming(bool serial, std::chrono::milliseconds firstByte = std::chrono::milliseconds(150)) {
  ReplyTiming t = DefaultReplyTiming(LinkKind::Terminal, serial);
  t.firstByte = firstByte;
  return t;
}

struct PageRig {
  PageRig(PageKind kind, int lang, const sim::Options& options = {}, bool serial = false,
          std::optional<ReplyTiming> timing = std::nullopt)
      : kind_(kind),
        lang_(lang),
        serial_(serial),
        dialog_(kind == PageKind::Settings ? Dialog144(lang) : kind == PageKind::Wifi ? Dialog162(lang)
                                                                                     : Dialog132(lang)),
        controls(dialog_),
        ctx{controls, ui, info, LinkChoice{}, lang} {
    printer = std::make_unique<sim::PrinterSim>(options);
    EXPECT_TRUE(printer->Start());
    ctx.link.portPath = QString::fromStdString(printer->PortPath());
    ctx.link.serial = serial;
    ctx.link.timing = timing;
    if (kind == PageKind::Settings) page = std::make_unique<SettingsPage>();
    else if (kind == PageKind::Wifi) page = std::make_unique<WifiPage>();
    else page = std::make_unique<BluetoothPage>();
    page->OnCreate(ctx);
  }

  // True when the Read ran to its end.
  bool Read() {
    ui.messages.clear();
    page->Read(ctx);
    return !page->NeedsRead() && std::find(ui.messages.begin(), ui.messages.end(), kMsgConnectionLost) ==
                                     ui.messages.end();
  }
  // Presses the page's Write and returns the lines the printer took.
  std::vector<std::string> Write() {
    printer->ClearLog();
    ui.messages.clear();
    const int button = kind_ == PageKind::Settings ? kSetWriteButton
                       : kind_ == PageKind::Wifi   ? wifi::kWriteButton
                                                   : bluetooth::kUpdateButton;
    page->OnControl(button, ControlEvent::Clicked, ctx);
    return SettledLines(*printer);
  }
  // Every control of the page: text, selection, check and enabled state.
  std::string State() const {
    std::string out;
    for (const ControlTemplate& t : dialog_.controls) {
      if (t.id == kStaticId) continue;
      out += std::to_string(t.id) + "=" + controls.Text(t.id).toStdString() + "|" +
             std::to_string(controls.CurrentIndex(t.id)) + "|" + (controls.Checked(t.id) ? "x" : "-") +
             (controls.Enabled(t.id) ? "e" : "d") + "\n";
    }
    return out;
  }
  void Set(const std::string& name, const std::string& value) {
    auto lock = printer->Lock();
    ASSERT_TRUE(printer->Store().Set(name, value)) << name;
  }
  std::string Get(const std::string& name) {
    auto lock = printer->Lock();
    return printer->Store().Get(name).value_or("(none)");
  }

  PageKind kind_;
  int lang_;
  bool serial_;
  const DialogTemplate& dialog_;
  std::unique_ptr<sim::PrinterSim> printer;
  MemoryControls controls;
  RecordingUi ui;
  PrinterInfo info;
  PageContext ctx;
  std::unique_ptr<PageLogic> page;
};

}  // namespace deveder::tst
