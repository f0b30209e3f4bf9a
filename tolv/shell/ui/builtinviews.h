#pragma once
// The view kinds built into the processing program.  Each view part adds
// its kind here; kinds not listed are not offered by the menus.
#include "tolv/data/ui/viewregistry.h"

namespace varenta {

void registerBuiltInViews(ViewRegistry& registry);

}  // namespace varenta
