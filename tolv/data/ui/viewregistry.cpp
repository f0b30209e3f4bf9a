#include "tolv/data/ui/viewregistry.h"

#include "common/appstate.h"
#include "tolv/data/ui/documentwindow.h"
#include "tolv/data/ui/picturepane.h"
#include "tolv/data/ui/shellservices.h"

#include <QMdiArea>
#include <QPlainTextEdit>

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

void ViewKind::presentWindow(ShellServices& shell, FocusPane focus, const std::function<void()>& fillNew,
                             const std::function<void()>& fillOpen)
{
    DocumentWindow* w = shell.documentWindow(kind());
    bool filled = false;
    if (!w) {
        w = shell.openDocumentWindow(kind());
        if (!w)
            return;
        if (fillNew) {
            fillNew();
            filled = true;
        }
    } else if (w->isMinimized()) {
        DocumentWindow* active = shell.activeDocumentWindow();
        if (active && active != w && active->isMaximized())
            w->showMaximized();
        else
            w->showNormal();
    } else if (fillOpen) {
        fillOpen();
        filled = true;
    }
    // The fill may serve events, in which the window can be closed.
    if (filled) {
        w = shell.documentWindow(kind());
        if (!w)
            return;
    }
    switch (focus) {
    case FocusPane::Picture:
        w->picture1()->setFocus();
        break;
    case FocusPane::MainText:
        w->richTextBox1()->setFocus();
        break;
    case FocusPane::Window:
        w->widget()->setFocus();
        break;
    }
    if (w->mdiArea())
        w->mdiArea()->setActiveSubWindow(w);
}

DocumentWindow* ViewKind::windowToRefresh(ShellServices& shell, RefreshReason reason, bool canFill)
{
    if (DocumentWindow* w = shell.documentWindow(kind()))
        return w;
    if (reason != RefreshReason::Loaded || !shell.runtime().state(statebit::viewBit(kind())) || !canFill)
        return nullptr;
    return shell.openDocumentWindow(kind());
}

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
