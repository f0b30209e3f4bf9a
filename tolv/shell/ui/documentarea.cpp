// The document area of the main window: the document windows of the views,
// their arrangement, the window placement from the settings and back, the
// bars and the right-click menu.
#include "tolv/shell/ui/mdiform1.h"

#include "common/ui/qtutil.h"
#include "common/windowgeometry.h"
#include "tolv/data/docrules.h"
#include "tolv/data/ui/documentwindow.h"
#include "tolv/shell/shellrules.h"
#include "tolv/shell/ui/toolbaricons.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace varenta {

void MDIForm1::tileWindows(bool horizontalStrips)
{
    QList<QMdiSubWindow*> wins;
    for (QMdiSubWindow* w : mdi_->subWindowList())
        if (w->isVisible() && !w->isMinimized())
            wins << w;
    if (wins.isEmpty())
        return;
    const QRect area = mdi_->viewport()->rect();
    const int n = static_cast<int>(wins.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* w = wins[i];
        if (w->isMaximized())
            w->showNormal();
        if (horizontalStrips) {
            const int h = area.height() / n;
            w->setGeometry(0, i * h, area.width(), i == n - 1 ? area.height() - i * h : h);
        } else {
            const int wd = area.width() / n;
            w->setGeometry(i * wd, 0, i == n - 1 ? area.width() - i * wd : wd, area.height());
        }
    }
}

void MDIForm1::applyWindowSettings()
{
    // Applied when the settings hold a placement other than the one applied
    // last, so that reopening a file under protection (settings not saved)
    // does not move the window back.
    const int top = static_cast<int>(settings_.integer(88, 0));
    const int left = static_cast<int>(settings_.integer(88, 1));
    const int width = static_cast<int>(settings_.integer(88, 2));
    const int height = static_cast<int>(settings_.integer(88, 3));
    const std::uint32_t stateBits = settings_.hex(89, 0) & statebit::kWindowStateMask;
    const QRect wanted(left, top, width, height);
    if (wanted == appliedGeometry_ && stateBits == appliedState_)
        return;
    appliedGeometry_ = wanted;
    appliedState_ = stateBits;
    // A placement from another installation (or another screen) is kept
    // inside the available screen area.
    if (width > 0 && height > 0) {
        QRect g = wanted;
        if (QScreen* s = screen()) {
            const QRect avail = s->availableGeometry();
            const PlaceRect b = boundedPlacement({left, top, width, height},
                                                 {avail.left(), avail.top(), avail.width(), avail.height()}, 320, 240);
            g = QRect(b.left, b.top, b.width, b.height);
        }
        if (isMaximized() || isMinimized())
            showNormal();
        setGeometry(g);
        keepInsideScreen();
    }
    if (!startedUp_)
        return;
    if (stateBits & statebit::kMaximised)
        showMaximized();
    else if (stateBits & statebit::kMinimised)
        showMinimized();
}

void MDIForm1::keepInsideScreen()
{
    // Once shown the window has a frame: the frame, not only the client
    // area, must lie inside the available screen area.
    QScreen* sc = screen();
    if (!sc || !isVisible() || isMaximized() || isMinimized())
        return;
    const QRect avail = sc->availableGeometry();
    const QRect frame = frameGeometry();
    const QRect client = geometry();
    if (avail.contains(frame))
        return;
    const int extraW = frame.width() - client.width(), extraH = frame.height() - client.height();
    const PlaceRect b = boundedPlacement({frame.left(), frame.top(), frame.width(), frame.height()},
                                         {avail.left(), avail.top(), avail.width(), avail.height()}, 320, 240);
    setGeometry(b.left + (client.left() - frame.left()), b.top + (client.top() - frame.top()), b.width - extraW,
                b.height - extraH);
}

void MDIForm1::applyBars()
{
    toolbar_->setVisible(!(state_.runWord & runbit::kToolbarHidden));
    statusBar()->setVisible(!(state_.runWord & runbit::kStatusBarHidden));
    strip_->setVisible(!(state_.runWord & runbit::kScrollStripHidden));
    updateViewChecks();
}

void MDIForm1::updateViewChecks()
{
    if (QAction* a = action(QStringLiteral("Mbar")))
        a->setChecked(!(state_.runWord & runbit::kToolbarHidden));
    if (QAction* a = action(QStringLiteral("Mstatus")))
        a->setChecked(!(state_.runWord & runbit::kStatusBarHidden));
    if (QAction* a = action(QStringLiteral("Mscroll")))
        a->setChecked(!(state_.runWord & runbit::kScrollStripHidden));
}

DocumentWindow* MDIForm1::documentWindow(int kind) const
{
    if (kind < 0 || kind >= viewkind::kCount)
        return nullptr;
    return docs_[static_cast<std::size_t>(kind)].data();
}

DocumentWindow* MDIForm1::openDocumentWindow(int kind)
{
    if (DocumentWindow* d = documentWindow(kind))
        return d;
    ViewKind* v = views_.find(kind);
    if (!v)
        return nullptr;
    auto* d = new DocumentWindow(*this, *v);
    if (const char* cmd = viewCommandName(kind))
        for (const auto& [key, b] : buttons_)
            if (b->property("command").toString() == QLatin1String(cmd))
                d->setWindowIcon(toolbarIcon(key));
    mdi_->addSubWindow(d);
    d->restorePosition();
    docs_[static_cast<std::size_t>(kind)] = d;
    state_.setState(statebit::viewBit(kind), true);
    state_.setState(statebit::kSaveDocGeometry, true);
    connect(d, &DocumentWindow::closing, this, [this](int k) {
        if (k >= 0 && k < viewkind::kCount)
            docs_[static_cast<std::size_t>(k)] = nullptr;
        QTimer::singleShot(0, this, [this] { updateCommandStates(); });
    });
    DocumentWindow* active = activeDocumentWindow();
    if (active && active != d && active->isMaximized())
        d->showMaximized();
    else
        d->show();
    mdi_->setActiveSubWindow(d);
    updateCommandStates();
    return d;
}

DocumentWindow* MDIForm1::activeDocumentWindow() const
{
    return qobject_cast<DocumentWindow*>(mdi_->activeSubWindow());
}

void MDIForm1::showPopupMenu(std::uint32_t mask, int helpContext, const QPoint& globalPos, bool graphActive)
{
    if (!popupAllowed(state_.stateWord))
        return;
    const PopupItems it = popupItems(mask, state_.stateWord, graphActive);
    actions_[QStringLiteral("MPexecute")]->setEnabled(it.execute);
    actions_[QStringLiteral("MPcalculate")]->setEnabled(it.calculate);
    actions_[QStringLiteral("MPcset")]->setEnabled(it.conditions && commandAvailable(QStringLiteral("Mcset")));
    actions_[QStringLiteral("MPewrite")]->setEnabled(it.errorRow && commandAvailable(QStringLiteral("Mewrite")));
    actions_[QStringLiteral("MPmodifi")]->setEnabled(it.modify && commandAvailable(QStringLiteral("Mmodifi")));
    actions_[QStringLiteral("MPhelp")]->setEnabled(it.help);
    actions_[QStringLiteral("MPcopy")]->setEnabled(it.copy);
    // The zoom entries follow their sub-menus (every entry starts disabled).
    popup_->findChild<QMenu*>(QStringLiteral("MPzm"))->setEnabled(it.zoomIn);
    popup_->findChild<QMenu*>(QStringLiteral("MPzmU"))->setEnabled(it.zoomOut);
    for (const char* n : {"MPzoom", "MPzoomY"})
        actions_[QString::fromLatin1(n)]->setEnabled(it.zoomIn);
    for (const char* n : {"MPzoomU", "MPzoomYU"})
        actions_[QString::fromLatin1(n)]->setEnabled(it.zoomOut);
    if (it.help)
        popupContext_ = helpContext;
    popup_->popup(globalPos);
}

SaveSnapshot MDIForm1::windowSnapshot(bool withDocuments) const
{
    SaveSnapshot s;
    s.mainState = isMinimized() ? WindowShow::Minimised : (isMaximized() ? WindowShow::Maximised : WindowShow::Normal);
    const QRect g = (isMinimized() || isMaximized()) ? normalGeometry() : geometry();
    s.main = {g.top(), g.left(), g.width(), g.height()};
    s.withDocuments = withDocuments;
    for (int k = 0; k < viewkind::kCount; ++k) {
        DocumentWindow* d = documentWindow(k);
        if (!d)
            continue;
        DocumentWindowInfo& info = s.documents[static_cast<std::size_t>(k)];
        info.open = true;
        info.normal = !d->isMinimized() && !d->isMaximized();
        const QRect dg = d->geometry();
        info.geometry = {dg.top(), dg.left(), dg.width(), dg.height()};
    }
    return s;
}

}  // namespace varenta
