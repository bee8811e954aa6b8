// The page logics of the tool, in one place.
#include "app/app.h"
#include "pages/font/font_page.h"

namespace deveder {

PageLogics MakeToolPages() {
  PageLogics p;
  p.font = std::make_unique<FontPage>();
  return p;
}

}  // namespace deveder
