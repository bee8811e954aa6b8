#include "pages/comm/comm_page.h"

#include "link/link.h"
#include "link/tcp_connect.h"
#include "protocol/command_line.h"
#include "resources/dialog_template.h"

namespace deveder {

void CommPage::OnCreate(PageContext& ctx) {
  ControlModel& c = ctx.controls;
  baud_ = 9600;
  c.SetCurrentIndex(kPortTypeBox, 0);
  c.SetCurrentIndex(kBaudBox, 2);
  serial_ = false;
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

void CommPage::OfferAddress(const QString& address) {
  const std::optional<TcpAddress> parsed = ParseTcpAddress(address.toStdString());
  if (!parsed || parsed->host == "0.0.0.0") return;
  offered_.removeAll(address);
  offered_.prepend(address);
  constexpr qsizetype kOffered = 5;
  while (offered_.size() > kOffered) offered_.removeLast();
}

// "ETH": USB printers and network addresses. A typed address is the user's
// and stays in the box while the list around it changes.
bool CommPage::TickNetwork(PageContext& ctx) {
  ControlModel& c = ctx.controls;
  ListPrinterPorts(table_, source_, false);
  QStringList want;
  for (int i = 0; i < table_.count; ++i) want << QString::fromStdString(table_.paths[i]);
  for (const QString& a : offered_)
    if (!want.contains(a)) want << a;
  const QString text = c.Text(kPortBox);
  if (Items(c, kPortBox) != want) {
    SetItems(c, kPortBox, want);
    const qsizetype at = want.indexOf(text);
    if (at >= 0) c.SetCurrentIndex(kPortBox, static_cast<int>(at));
    else c.SetText(kPortBox, text);
  }
  if (c.Text(kPortBox).isEmpty() && !want.isEmpty()) c.SetCurrentIndex(kPortBox, 0);
  // Another port is another printer.
  const QString now = c.Text(kPortBox);
  if (now != lastPort_) {
    lastPort_ = now;
    ctx.printer.Clear();
  }
  return false;
}

bool CommPage::Tick(PageContext& ctx) {
  if (network_) return TickNetwork(ctx);
  ControlModel& c = ctx.controls;
  ListPrinterPorts(table_, source_, serial_);
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

ControlResult CommPage::OnControl(int id, ControlEvent event, PageContext& ctx) {
  if (event != ControlEvent::SelectionChanged) return ControlResult::Unhandled();
  ControlModel& c = ctx.controls;
  if (id == kBaudBox) {
    // The entries are plain digits; the decimal reading keeps what the
    // printer-side code page would give.
    baud_ = static_cast<int>(ParseDecimal(CurrentItemText(c, kBaudBox).toStdString()));
    return ControlResult::Handled();
  }
  if (id == kPortTypeBox) {
    const bool serial = c.CurrentIndex(kPortTypeBox) == 1;
    const bool network = c.CurrentIndex(kPortTypeBox) == 2;
    if (network != network_) {
      // The box is built anew for the other kind of list.
      network_ = network;
      c.ClearItems(kPortBox);
      known_ = 0;
      selected_ = -1;
      lastPort_.clear();
    }
    serial_ = serial;
    c.SetVisible(kBaudBox, serial);
    c.SetVisible(kStaticId, serial);
    return ControlResult::Handled();
  }
  return ControlResult::Unhandled();
}

}  // namespace deveder
