#pragma once
// The view kinds of the processing program (0 raw data table ... 7
// directional contour graph) as a registry: each built view registers a
// ViewKind; the main window offers only the kinds that are registered, and
// dispatches the view commands, refreshes, mouse and key actions through
// it.  The processing step of the stepping run calls the hooks registered
// in ProcessingHooks, in their order.
#include "tolv/data/docrules.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPoint;

namespace varenta {

class DocumentWindow;
class ShellServices;

// Why the open views are refreshed.
enum class RefreshReason {
    Loaded,              // a data set was opened (views switched on are opened)
    MeasurementChanged,  // another measurement is on display
    Processed,           // the current measurement was processed
    Redisplay,           // the same measurement shown again
};

class ViewKind {
public:
    virtual ~ViewKind() = default;
    virtual int kind() const = 0;
    // Window title (the component graph names wind for wind data).
    virtual std::string title(ShellServices& shell) const;

    // The command behind the view's menu item and toolbar button: open the
    // window when needed, fill it, give it the focus.
    virtual void show(ShellServices& shell) = 0;
    // After a load or a change of measurement.  Views whose window is not
    // open do nothing, unless the reason is Loaded and the view's open bit
    // is set in the run-time state (then they open as show() does).
    virtual void refresh(ShellServices& shell, RefreshReason reason) = 0;

    // The document window's panes for this kind (called once, when the
    // window is made) and on resize.
    virtual void setUpWindow(DocumentWindow& w);
    virtual void layoutWindow(DocumentWindow& w);

    // Main text pane: the caret moved (click, paging or arrow keys released).
    virtual void caretMoved(ShellServices& shell, DocumentWindow& w) {}
    // Main text pane: a printable key; false refuses it.
    virtual bool editKey(ShellServices& shell, DocumentWindow& w) { return false; }
    // Graph pane: a mouse press at a position of the picture.
    virtual void graphPressed(ShellServices& shell, DocumentWindow& w, const QPoint& pos) {}
    // VScroll1 of the window: dragging (only Dno changes) or changed.
    virtual void scrolled(ShellServices& shell, DocumentWindow& w, int value, bool dragging) {}
    // A data number chosen in another view (raw table caret, raw graph
    // click): views that follow the cursor redraw there.
    virtual void cursorMoved(ShellServices& shell, long long dataNumber) {}
    // Redraw after a font, colour or zoom change.
    virtual void redraw(ShellServices& shell) {}
    // The window is closing (by the user or with the data set).
    virtual void closed(ShellServices& shell) {}

protected:
    // The pane that gets the focus when the view is shown.
    enum class FocusPane { Picture, MainText, Window };

    // The body of show(): opens the window when it is not open and fills it
    // (fillNew), or brings a minimized window back (maximized when the
    // active window is maximized); fillOpen, when given, runs for a window
    // that was open and not minimized.  Then the chosen pane gets the focus
    // and the window becomes the active one.  Nothing happens when the window
    // cannot be opened, or is gone after the fill.
    void presentWindow(ShellServices& shell, FocusPane focus, const std::function<void()>& fillNew,
                       const std::function<void()>& fillOpen = {});
    // The window refresh() works on: the open one; when none is open and the
    // reason is Loaded, the window opened when the view's open bit is set
    // and canFill; nullptr otherwise.
    DocumentWindow* windowToRefresh(ShellServices& shell, RefreshReason reason, bool canFill);
};

class ViewRegistry {
public:
    void add(std::unique_ptr<ViewKind> view);
    ViewKind* find(int kind) const;
    bool has(int kind) const { return find(kind) != nullptr; }
    std::vector<int> kinds() const;

private:
    std::vector<std::unique_ptr<ViewKind>> views_;
};

// The processing of one measurement, step by step (results record, results
// table, spectra ...), each registered with an order number.
class ProcessingHooks {
public:
    using Hook = std::function<void(ShellServices&)>;
    void add(int order, std::string name, Hook hook);
    void run(ShellServices& shell) const;
    std::vector<std::string> names() const;
    bool empty() const { return hooks_.empty(); }

private:
    struct Entry {
        int order;
        std::string name;
        Hook hook;
    };
    std::vector<Entry> hooks_;
};

}  // namespace varenta
