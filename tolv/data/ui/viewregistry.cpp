#include "tolv/data/ui/viewregistry.h"

#include "tolv/data/ui/documentwindow.h"
#include "tolv/data/ui/shellservices.h"

#include <algorithm>

namespace varenta {

std::string ViewKind::title(ShellServices&) const { return viewTitle(kind()); }

void ViewKind::setUpWindow(DocumentWindow& w)
{
    if (isTextView(kind()))
        w.useTextPanes();
    else
        w.useGraphPane(kind() == viewkind::kRawGraph);
}

void ViewKind::layoutWindow(DocumentWindow&) {}

void ViewRegistry::add(std::unique_ptr<ViewKind> view)
{
    if (!view)
        return;
    const int k = view->kind();
    views_.erase(std::remove_if(views_.begin(), views_.end(), [k](const auto& v) { return v->kind() == k; }),
                 views_.end());
    views_.push_back(std::move(view));
}

ViewKind* ViewRegistry::find(int kind) const
{
    for (const auto& v : views_)
        if (v->kind() == kind)
            return v.get();
    return nullptr;
}

std::vector<int> ViewRegistry::kinds() const
{
    std::vector<int> k;
    for (const auto& v : views_)
        k.push_back(v->kind());
    std::sort(k.begin(), k.end());
    return k;
}

void ProcessingHooks::add(int order, std::string name, Hook hook)
{
    Entry e{order, std::move(name), std::move(hook)};
    auto it = std::upper_bound(hooks_.begin(), hooks_.end(), e.order,
                               [](int o, const Entry& x) { return o < x.order; });
    hooks_.insert(it, std::move(e));
}

void ProcessingHooks::run(ShellServices& shell) const
{
    // One measurement is processed whole; the stop request is served
    // between measurements by the stepping run.
    for (const Entry& e : hooks_)
        if (e.hook)
            e.hook(shell);
}

std::vector<std::string> ProcessingHooks::names() const
{
    std::vector<std::string> n;
    for (const Entry& e : hooks_)
        n.push_back(e.name);
    return n;
}

}  // namespace varenta
