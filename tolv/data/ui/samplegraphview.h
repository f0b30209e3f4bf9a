#pragma once
// The common part of the views that draw the samples of the current burst
// as a picture (raw data graph, component 2-D graph): shown only while the
// burst has samples, drawn into Picture1, redrawn once a resize settles.
#include "tolv/data/ui/viewregistry.h"

#include <QSize>

namespace varenta {

class SampleGraphView : public ViewKind {
public:
    void show(ShellServices& shell) override;
    void setUpWindow(DocumentWindow& w) override;
    void redraw(ShellServices& shell) override { draw(shell); }

    // The screen drawing of the view (picture and images); false when
    // nothing was drawn.
    virtual bool draw(ShellServices& shell) = 0;

protected:
    bool canDraw(ShellServices& shell) const;
    // Forgets the picture state when the window closes.
    void forgetPicture(ShellServices& shell);

    ShellServices* shell_ = nullptr;
    QSize pictureSize_;
    bool resizeQueued_ = false;
};

}  // namespace varenta
