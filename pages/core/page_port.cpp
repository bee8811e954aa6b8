#include "pages/core/page_port.h"

#include <QFile>

namespace deveder {

PortHandle OpenPagePort(const PageContext& ctx) {
  return OpenPrinterPort(QFile::encodeName(ctx.link.portPath).toStdString());
}

}  // namespace deveder
