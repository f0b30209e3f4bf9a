#pragma once
// What the views of the processing program reach of the main window: the
// program-wide objects (settings, run-time state, data set and loader), the
// status panels, the document windows, the right-click menu and the event
// loop.  The main window implements it; views and tests use only this.
#include "common/appstate.h"
#include "common/channeltable.h"
#include "common/clock.h"
#include "common/initfile.h"
#include "common/prompter.h"
#include "common/settings.h"
#include "tolv/data/dataset.h"

#include <cstdint>
#include <string>

class QPoint;

namespace varenta {

class DataSession;
class DocumentWindow;
class ViewRegistry;
class ProcessingHooks;

// Keys of the status panels.
namespace panel {
inline constexpr const char* kMno = "Mno";
inline constexpr const char* kSno = "Sno";
inline constexpr const char* kDno = "Dno";
inline constexpr const char* kDate = "Date";
inline constexpr const char* kTime = "Time";
inline constexpr const char* kStatus = "Status";
inline constexpr const char* kRtime = "Rtime";
}  // namespace panel

class ShellServices {
public:
    virtual ~ShellServices() = default;

    // ---- program-wide objects ----
    virtual Settings& settings() = 0;
    virtual RuntimeState& runtime() = 0;
    virtual const StartOptions& startOptions() const = 0;
    virtual DataSet& dataSet() = 0;
    virtual DataSession& session() = 0;
    virtual InitStore& initStore() = 0;
    virtual Prompter& prompter() = 0;
    virtual const Clock& clock() const = 0;
    // The program folder, where exports and images are written.
    virtual std::string programFolder() const = 0;
    // The current web folder (the folder the scan works on; the program
    // folder while no scan has chosen one).
    virtual std::string webFolder() const = 0;
    virtual const ChannelTable& channels() const = 0;
    // Reads the current measurement's samples unless they are loaded
    // already (state bit 0x2000); false when they cannot be read.
    virtual bool ensureRawData() = 0;

    // ---- status panels and busy state ----
    virtual void setPanel(const char* key, const std::string& text) = 0;
    virtual std::string panelText(const char* key) const = 0;
    virtual void setBusy(bool on, const std::string& message) = 0;
    virtual void beep() = 0;

    // ---- document windows ----
    // The open window of a view kind, or nullptr.
    virtual DocumentWindow* documentWindow(int kind) const = 0;
    // Opens the window of a kind (created on first use, reused afterwards)
    // and sets its open bit.
    virtual DocumentWindow* openDocumentWindow(int kind) = 0;
    virtual DocumentWindow* activeDocumentWindow() const = 0;
    virtual bool toolbarVisible() const = 0;

    // ---- commands the views call ----
    // The right-click menu with an enable mask and a help context.
    virtual void showPopupMenu(std::uint32_t mask, int helpContext, const QPoint& globalPos, bool graphActive) = 0;
    // Makes a measurement current and redisplays it.
    virtual void selectMeasurement(long long number) = 0;
    // Redisplays the current measurement (the stepping run's redisplay).
    virtual void redisplay() = 0;
    // The results-graph channel the value zoom acts on (1 upper, 3 lower).
    virtual int resultsZoomChannel() const = 0;
    virtual void setResultsZoomChannel(int channel) = 0;

    // ---- extension points ----
    virtual ViewRegistry& views() = 0;
    virtual ProcessingHooks& processing() = 0;

    // ---- event loop ----
    virtual void serveEvents() = 0;
    virtual bool stopRequested() const = 0;
};

}  // namespace varenta
