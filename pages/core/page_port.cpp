#include "pages/core/page_port.h"

#include <QFile>

#include "protocol/printer_info.h"

namespace deveder {

PortHandle OpenPagePort(const PageContext& ctx) {
  return OpenPrinterPort(QFile::encodeName(ctx.link.portPath).toStdString());
}

bool SettleCommandForm(PortHandle port, char* buffer, int size, PrinterInfo& printer) {
  // A printer that went away while it was drained or asked is no printer
  // that said nothing: the action ends here.
  if (DrainPort(port, buffer, size) < 0 || PortReplyLost()) return false;
  return printer.named() || (ProbePrinterModel(port, buffer, size, printer) >= 0 && !PortReplyLost());
}

}  // namespace deveder
