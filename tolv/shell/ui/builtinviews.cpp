#include "tolv/shell/ui/builtinviews.h"

#include "tolv/data/ui/rawtableview.h"

namespace varenta {

void registerBuiltInViews(ViewRegistry& registry)
{
    registry.add(std::make_unique<RawTableView>());
}

}  // namespace varenta
