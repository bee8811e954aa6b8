#include "pages/core/page_port.h"

#include <QFile>
#include <string>

namespace deveder {

OpenResult OpenPageLink(const PageContext& ctx) {
  OpenResult port = OpenLink(QFile::encodeName(ctx.link.portPath).toStdString(), ctx.link.Options());
  // A serial line runs at the speed chosen for it; a line that refuses the
  // speed is closed and the action fails as one whose port did not open.
  if (port.ok() && ctx.link.serial && ctx.link.lineBaud != 0 && port.link->LineSpeed() != ctx.link.lineBaud) {
    const IoResult set = port.link->Configure(ctx.link.lineBaud);
    if (!set.ok()) {
      port.link.reset();
      port.fault = PortFault::OpenFailed;
      port.err = set.err;
      port.detail = "the line refused " + std::to_string(ctx.link.lineBaud) + " baud";
    }
  }
  return port;
}

}  // namespace deveder
