#pragma once
// The main window of the processing program (MDIForm1): menus, toolbar with
// the repetition count, status panels, the measurement scroll strip, the
// three timers, the document windows of the views, and the dispatch of
// every command.  Other parts of the program plug in through the view
// registry, the processing hooks, named commands, the scheduler jobs and
// ShellHooks.
#include "common/appstate.h"
#include "common/clock.h"
#include "common/commandtable.h"
#include "common/initfile.h"
#include "common/progress.h"
#include "common/settings.h"
#include "common/ui/qtprompter.h"
#include "tolv/data/dataset.h"
#include "tolv/data/session.h"
#include "tolv/data/ui/shellservices.h"
#include "tolv/data/ui/viewregistry.h"
#include "tolv/shell/scheduler.h"

#include <QMainWindow>
#include <QPointer>
#include <QRect>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QAction;
class QComboBox;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QScrollBar;
class QTimer;
class QToolBar;
class QToolButton;

namespace varenta {

class DocumentWindow;
class HelpViewer;

// Bits of the run word (item 89 value 1) that keep the bars hidden.
namespace runbit {
constexpr std::uint32_t kToolbarHidden = 0x01;
constexpr std::uint32_t kStatusBarHidden = 0x02;
constexpr std::uint32_t kScrollStripHidden = 0x2000;
}  // namespace runbit

struct ShellOptions {
    std::string programFolder;      // resolved program folder
    std::string argument;           // the command-line argument (up to five comma-separated fields)
    Prompter* prompter = nullptr;   // nullptr: message boxes and the input dialog
    const Clock* clock = nullptr;   // nullptr: the program clock
    // The open dialog: the chosen path, "" when cancelled.  Empty: the
    // platform file dialog.
    std::function<std::string()> openDialog;
    bool enterFolder = true;        // make the program folder the current folder
};

// Work of other parts of the program that the main window starts.
struct ShellHooks {
    std::function<void()> scanTick;                      // Timer2: one scan of arriving files
    std::function<void(bool forceStop)> toggleScan;      // the stop button stops the scan (true)
    std::function<void()> evaluateScan;                  // after each initialization: start or stop the scan
    std::function<void()> openSerialOutput;              // start flag 0x20000, at each initialization
    std::function<void()> printRawGraph;                 // forward display steps with graph printing on
    std::function<void()> closeConditions;               // the main window was minimised
    std::function<void(const std::string&)> headerInfo;  // after a stepping run
    std::function<void()> schedulesMoved;                // a schedule time moved on
    std::function<void(DataSet&)> conditionSamples;      // conversion of the counts read
    std::function<void(bool enabled)> resultsViews;      // results file present or not
};

class MDIForm1 : public QMainWindow, public ShellServices {
    Q_OBJECT
public:
    explicit MDIForm1(ShellOptions options, QWidget* parent = nullptr);
    ~MDIForm1() override;

    // The start-up sequence: command line, initialization, the window
    // shown, the file that was open last reopened.
    void startUp();

    // ---- commands ----
    // Runs a command by menu or toolbar name ("Mopen", "Bexecute" ...)
    // when its rule allows it now.
    RunOutcome runCommand(const QString& name);
    bool commandAvailable(const QString& name) const;
    // Registers (or replaces) the work behind a menu item; its menu entry,
    // right-click entry and toolbar button become usable.
    void setCommand(const QString& name, std::function<void()> work);
    // The rule that says whether a command may run now (menus, toolbar keys
    // and scripts follow it).
    void setCommandRule(const QString& name, std::function<bool()> mayRun);
    const CommandTable& commandTable() const { return commands_; }
    // Commands and views say that their state changed.
    void updateCommandStates();
    // Adds a view kind (the view menu item and toolbar button come alive).
    void addView(std::unique_ptr<ViewKind> view);

    // The open command with a path already chosen; the initialization-and-
    // open step with a path (empty: no file).
    void openPath(const std::string& path);
    void initializeAndOpen(const std::string& path);
    void closeFile();
    void refreshFile();
    void step(int mode);
    void showView(int kind);
    void showHelp(int context);
    void zoom(bool valueAxis, bool in);
    void tileWindows(bool horizontalStrips);
    void applyBars();
    // Moves and shrinks the shown window so that its frame lies inside the
    // available screen area.
    void keepInsideScreen();
    void updateScrollBar();
    QIcon programIcon() const;
    // The open dialog (or the one the options give).
    std::string chooseOpenPath();
    // Closes the window without the exit warning (scripted runs); the
    // settings are saved and the files closed as on every exit.
    void closeWithoutWarning();
    // Every text shown in the Status panel is also passed to this sink.
    void setStatusEcho(std::function<void(const std::string&)> echo) { statusEcho_ = std::move(echo); }
    // Timer1 and Timer3 by the automatic-function word (after the settings
    // changed), and Rtime's display with them.
    void applyAutomaticTimers();
    // The start flags held for the run (the conditions dialog may change
    // some of them).
    void setStartFlags(std::uint32_t flags) { start_.flags = flags; }

    // ---- parts, for the program and its tests ----
    QAction* action(const QString& name) const;
    QToolButton* toolButton(const QString& key) const;
    QLabel* panelLabel(const char* key) const;
    QComboBox* repetitionCombo() const { return combo1_; }
    QScrollBar* hScroll1() const { return hscroll_; }
    QWidget* scrollStrip() const { return strip_; }
    QMdiArea* mdiArea() const { return mdi_; }
    QToolBar* toolbar() const { return toolbar_; }
    QMenu* popupMenu() const { return popup_; }
    int popupContext() const { return popupContext_; }
    HelpViewer* helpViewer() const { return help_; }
    QTimer* timer1() const { return timer1_; }
    QTimer* timer2() const { return timer2_; }
    QTimer* timer3() const { return timer3_; }
    SchedulerJobs& schedulerJobs() { return jobs_; }
    ShellHooks& hooks() { return hooks_; }
    const std::string& userFolderBase() const { return userBase_; }
    const std::string& errorRowText() const { return errorRow_; }
    void setWebFolder(const std::string& folder) { webFolder_ = folder; }
    // Replaces the prompter (nullptr: the one the window was made with).
    void setPrompter(Prompter* p) { prompter_ = p ? p : basePrompter_; }
    StatusPanels& statusPanels() { return panels_; }

    // ---- ShellServices ----
    Settings& settings() override { return settings_; }
    RuntimeState& runtime() override { return state_; }
    const StartOptions& startOptions() const override { return start_; }
    DataSet& dataSet() override { return data_; }
    DataSession& session() override { return *session_; }
    InitStore& initStore() override { return *init_; }
    Prompter& prompter() override { return *prompter_; }
    const Clock& clock() const override { return *clock_; }
    std::string programFolder() const override { return folder_; }
    std::string webFolder() const override { return webFolder_.empty() ? folder_ : webFolder_; }
    const ChannelTable& channels() const override;
    bool ensureRawData() override;
    void setPanel(const char* key, const std::string& text) override;
    std::string panelText(const char* key) const override;
    void setBusy(bool on, const std::string& message) override;
    void beep() override;
    DocumentWindow* documentWindow(int kind) const override;
    DocumentWindow* openDocumentWindow(int kind) override;
    DocumentWindow* activeDocumentWindow() const override;
    bool toolbarVisible() const override;
    void showPopupMenu(std::uint32_t mask, int helpContext, const QPoint& globalPos, bool graphActive) override;
    void selectMeasurement(long long number) override;
    void redisplay() override;
    int resultsZoomChannel() const override { return resultsZoomChannel_; }
    void setResultsZoomChannel(int channel) override { resultsZoomChannel_ = channel; }
    ViewRegistry& views() override { return views_; }
    ProcessingHooks& processing() override { return processing_; }
    void serveEvents() override;
    bool stopRequested() const override { return state_.stopRequest; }

    // Copies the loader's panel texts to the status bar.
    void syncPanels();

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    friend class ShellStepHost;

    void buildMenus();
    void buildToolbar();
    void buildStatusBar();
    void buildCentral();
    void buildPopup();
    void installCommandRules();
    void installDataHooks();
    QAction* addAction(QMenu* menu, const char* name, const char* caption, const QKeySequence& key, int help,
                       bool hidden = false);
    void afterInitialization();
    void applyWindowSettings();
    void updateViewChecks();
    void timer1Tick();
    void timer2Tick();
    void timer3Tick();
    void scrollMoved(int value);
    void scrollDone();
    SaveSnapshot windowSnapshot(bool withDocuments) const;
    void echoStatus();

    ShellOptions options_;
    std::string folder_;
    std::string webFolder_;
    std::string userBase_;
    std::string errorRow_;
    std::string dialogFilter_;

    Settings settings_;
    RuntimeState state_;
    StartOptions start_;
    DataSet data_;
    StatusPanels panels_;
    std::unique_ptr<InitStore> init_;
    std::unique_ptr<DataSession> session_;
    QtPrompter qtPrompter_;
    Prompter* prompter_ = nullptr;
    Prompter* basePrompter_ = nullptr;
    const Clock* clock_ = nullptr;
    Progress progress_;

    ViewRegistry views_;
    ProcessingHooks processing_;
    SchedulerJobs jobs_;
    SchedulerMemory schedulerMemory_;
    ShellHooks hooks_;
    CommandTable commands_;
    std::function<void(const std::string&)> statusEcho_;
    std::string echoedStatus_;
    bool noExitWarning_ = false;
    std::map<QString, QAction*> actions_;
    std::map<QString, QToolButton*> buttons_;
    std::map<std::string, QLabel*> panelLabels_;
    std::array<QPointer<DocumentWindow>, 8> docs_{};

    QMdiArea* mdi_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QComboBox* combo1_ = nullptr;
    QWidget* strip_ = nullptr;
    QScrollBar* hscroll_ = nullptr;
    QMenu* popup_ = nullptr;
    int popupContext_ = 1001;
    HelpViewer* help_ = nullptr;
    QTimer* timer1_ = nullptr;
    QTimer* timer2_ = nullptr;
    QTimer* timer3_ = nullptr;
    QTimer* ownClock_ = nullptr;
    int resultsZoomChannel_ = 1;
    bool startedUp_ = false;
    bool scrollBusy_ = false;
    QRect appliedGeometry_;
    std::uint32_t appliedState_ = 0xFFFFFFFFu;
};

// The menu entry of a view kind ("MnumD" ...), nullptr for none.
const char* viewCommandName(int kind);

// The filter of the open dialog in Qt's form ("caption (*.a *.b);;...").
QString qtFileFilter(const std::string& pipeFilter);

}  // namespace varenta
