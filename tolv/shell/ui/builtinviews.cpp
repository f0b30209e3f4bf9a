#include "tolv/shell/ui/builtinviews.h"

#include "tolv/data/ui/rawgraphview.h"
#include "tolv/data/ui/rawtableview.h"
#include "tolv/data/ui/resultsgraphview.h"
#include "tolv/data/ui/resultstableview.h"
#include "tolv/data/ui/velocitygraphview.h"

namespace varenta {

void registerBuiltInViews(ViewRegistry& registry)
{
    registry.add(std::make_unique<RawTableView>());
    registry.add(std::make_unique<RawGraphView>());
    registry.add(std::make_unique<VelocityGraphView>());
    registry.add(std::make_unique<ResultsTableView>());
    registry.add(std::make_unique<ResultsGraphView>());
}

}  // namespace varenta
