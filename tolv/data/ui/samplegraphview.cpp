#include "tolv/data/ui/samplegraphview.h"

#include "tolv/data/ui/documentwindow.h"
#include "tolv/data/ui/picturepane.h"
#include "tolv/data/ui/shellservices.h"

namespace varenta {

bool SampleGraphView::canDraw(ShellServices& shell) const
{
    return shell.dataSet().hasMeasurementFile && !shell.runtime().noSamples;
}

void SampleGraphView::show(ShellServices& shell)
{
    shell_ = &shell;
    if (shell.runtime().noSamples)
        return;
    presentWindow(shell, FocusPane::Picture, [&] {
        if (shell.dataSet().hasMeasurementFile)
            draw(shell);
    });
}

void SampleGraphView::setUpWindow(DocumentWindow& w)
{
    ViewKind::setUpWindow(w);
    PicturePane* pane = w.picture1();
    onSettledResize(pane, resizeQueued_, 80, [this, pane] {
        if (shell_ && pane->isVisible() && pane->size() != pictureSize_)
            draw(*shell_);
    });
}

void SampleGraphView::forgetPicture(ShellServices& shell)
{
    shell_ = &shell;
    resizeQueued_ = false;
    pictureSize_ = QSize();
}

}  // namespace varenta
