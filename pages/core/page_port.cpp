#include "pages/core/page_port.h"

#include <QFile>

namespace deveder {

OpenResult OpenPageLink(const PageContext& ctx) {
  return OpenLink(QFile::encodeName(ctx.link.portPath).toStdString(), ctx.link.Options());
}

}  // namespace deveder
