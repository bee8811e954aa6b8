#include "pages/comm/comm_page.h"

#include "link/port.h"
#include "protocol/command_line.h"
#include "resources/dialog_template.h"

namespace deveder {

void CommPage::OnCreate(PageContext& ctx) {
  ControlModel& c = ctx.controls;
  baud_ = 9600;
  c.SetCurrentIndex(kPortTypeBox, 0);
  c.SetCurrentIndex(kBaudBox, 2);
  SetSerialPortFlag(false);
  ListPrinterPorts(table_, source_, false);
  for (int i = 0; i < table_.count; ++i) c.AddItem(kPortBox, QString::fromStdString(table_.paths[i]));
  if (table_.count > 0) {
    c.SetCurrentIndex(kPortBox, 0);
    selected_ = 0;
    ctx.printer.Clear();
    known_ = table_.count;
  } else {
    known_ = 0;
    selected_ = -1;
  }
}

bool CommPage::Tick(PageContext& ctx) {
  ControlModel& c = ctx.controls;
  ListPrinterPorts(table_, source_, SerialPortFlag());
  if (table_.count == 0) {
    c.ClearItems(kPortBox);
    selected_ = -1;
    return false;  // the known count stays as it was
  }
  bool changed = false;
  if (table_.count != known_) {
    if (known_ > 0) {
      for (int i = 0; i < known_; ++i) c.DeleteItem(kPortBox, 0);
    }
    known_ = table_.count;
    changed = true;
  }
  for (int i = 0; i < table_.count; ++i) {
    const QString path = QString::fromStdString(table_.paths[i]);
    bool present = false;
    const int n = c.ItemCount(kPortBox);
    for (int k = 0; k < n && !present; ++k) present = c.ItemText(kPortBox, k).startsWith(path, Qt::CaseInsensitive);
    if (!present) c.AddItem(kPortBox, path);
  }
  const int cur = c.CurrentIndex(kPortBox);
  if (selected_ == -1 || cur == -1) {
    selected_ = 0;
    c.SetCurrentIndex(kPortBox, 0);
    ctx.printer.Clear();
    return true;
  }
  if (cur != selected_) {
    selected_ = cur;
    c.SetCurrentIndex(kPortBox, cur);
    ctx.printer.Clear();
  } else if (changed) {
    ctx.printer.Clear();
  }
  return false;
}

bool CommPage::OnControl(int id, ControlEvent event, PageContext& ctx) {
  if (event != ControlEvent::SelectionChanged) return false;
  ControlModel& c = ctx.controls;
  if (id == kBaudBox) {
    // The entries are plain digits; the decimal reading keeps what the
    // printer-side code page would give.
    baud_ = static_cast<int>(ParseDecimal(CurrentItemText(c, kBaudBox).toStdString()));
    return true;
  }
  if (id == kPortTypeBox) {
    const bool serial = c.CurrentIndex(kPortTypeBox) == 1;
    SetSerialPortFlag(serial);
    c.SetVisible(kBaudBox, serial);
    c.SetVisible(kStaticId, serial);
    return true;
  }
  return false;
}

}  // namespace deveder
