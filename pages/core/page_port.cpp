#include "pages/core/page_port.h"

#include <QFile>

#include "protocol/printer_info.h"

namespace deveder {

PortHandle OpenPagePort(const PageContext& ctx) {
  return OpenPrinterPort(QFile::encodeName(ctx.link.portPath).toStdString());
}

bool SettleCommandForm(PortHandle port, char* buffer, int size, PrinterInfo& printer) {
  if (DrainPort(port, buffer, size) < 0) return false;
  return printer.named() || ProbePrinterModel(port, buffer, size, printer) >= 0;
}

}  // namespace deveder
