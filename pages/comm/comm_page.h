// The communication page's logic: port type, port box and baud rate, kept
// current by the port walk every 100 ms.
#pragma once

#include "link/port_walk.h"
#include <QStringList>

#include "pages/core/page_logic.h"

namespace deveder {

inline constexpr int kCommTimerId = 1;
inline constexpr int kCommTimerPeriodMs = 100;

enum CommControl {
  kPortBox = 1005,
  kPortTypeBox = 1008,
  kBaudBox = 1199,
};

class CommPage : public PageLogic {
 public:
  explicit CommPage(DeviceSource& source) : source_(source) {}

  int DialogId() const override { return 130; }
  // Initialisation: USB mode, 9600 baud, the first walk.
  void OnCreate(PageContext& ctx) override;
  // Selection changes of the port type box and the baud box.
  ControlResult OnControl(int id, ControlEvent event, PageContext& ctx) override;

  // One tick of timer 1. True when the selection had to be re-made: the
  // main window then reads the page it shows if that is page 1, 2 or 3.
  bool Tick(PageContext& ctx);

  int BaudValue() const { return baud_; }
  // The port type is the serial port: the serial walk, and every action's
  // link in serial mode.
  bool SerialMode() const { return serial_; }
  // "ETH": the USB printers of the walk, the network addresses offered, and
  // whatever address the user types into the port box.
  bool NetworkMode() const { return network_; }
  // A network printer's address to list in "ETH" mode (the local address of
  // the printer last read on the WiFi page); the latest comes first.
  void OfferAddress(const QString& address);
  int SelectedIndex() const { return selected_; }
  int KnownCount() const { return known_; }
  const PortTable& Table() const { return table_; }

 private:
  bool TickNetwork(PageContext& ctx);

  DeviceSource& source_;
  bool network_ = false;
  bool serial_ = false;
  QStringList offered_;
  QString lastPort_;
  PortTable table_;
  int baud_ = 9600;
  int selected_ = -1;
  int known_ = 0;
};

}  // namespace deveder
