#include "Models/OpenRTB/ApplicationInfo.h"

namespace qor {

ApplicationInfo ApplicationInfo::fromMainBundle() {
  ApplicationInfo app;
  app.ext = Extension{};
  return app;
}

}  // namespace qor
