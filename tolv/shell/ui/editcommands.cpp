// Edit commands: the clipboard, selection, font and colour of the active
// document window, and the zoom of its axes.
#include "tolv/data/ui/documentwindow.h"
#include "tolv/shell/ui/commandfamilies.h"
#include "tolv/shell/ui/mdiform1.h"
#include "tolv/shell/viewsettings.h"

namespace varenta {

namespace {

void zoom(MDIForm1& w, bool valueAxis, bool in)
{
    DocumentWindow* d = w.activeDocumentWindow();
    if (!d)
        return;
    const int kind = d->kind();
    const bool changed =
        valueAxis ? zoomValueAxis(w.settings(), w.runtime().autoWord, kind, in, w.resultsZoomChannel())
                  : zoomTimeAxis(w.settings(), kind, in);
    if (!changed)
        return;
    d->view().redraw(w);
    // The component graph follows the raw graph's window.
    if (kind == viewkind::kRawGraph)
        if (ViewKind* xy = w.views().find(viewkind::kComponentGraph); xy && w.documentWindow(viewkind::kComponentGraph))
            xy->redraw(w);
}

}  // namespace

void installEditCommands(MDIForm1& w)
{
    auto onActive = [&w](const char* name, std::function<void(DocumentWindow&)> fn) {
        w.setCommand(QString::fromLatin1(name), [&w, fn = std::move(fn)] {
            if (DocumentWindow* d = w.activeDocumentWindow())
                fn(*d);
        });
    };
    onActive("Mcut", [](DocumentWindow& d) { d.cut(); });
    onActive("Mcopy", [](DocumentWindow& d) { d.copy(); });
    onActive("Mpast", [](DocumentWindow& d) { d.paste(); });
    onActive("Mselall", [](DocumentWindow& d) { d.selectAll(); });
    onActive("Mfont", [](DocumentWindow& d) { d.chooseFont(); });
    onActive("Mbackcolor", [](DocumentWindow& d) { d.chooseBackground(); });

    const struct {
        const char* name;
        bool valueAxis;
        bool in;
    } zooms[] = {{"Mzoom", false, true},  {"MzoomY", true, true},   {"MzoomU", false, false},
                 {"MzoomYU", true, false}, {"MPzoom", false, true}, {"MPzoomY", true, true},
                 {"MPzoomU", false, false}, {"MPzoomYU", true, false}};
    for (const auto& z : zooms)
        w.setCommand(QString::fromLatin1(z.name), [&w, z] { zoom(w, z.valueAxis, z.in); });
}

void MDIForm1::zoom(bool valueAxis, bool in) { varenta::zoom(*this, valueAxis, in); }

}  // namespace varenta
