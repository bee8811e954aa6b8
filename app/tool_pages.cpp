// The page logics of the tool, in one place.
#include "app/app.h"

namespace deveder {

PageLogics MakeToolPages() {
  PageLogics p;
  return p;
}

}  // namespace deveder
