#pragma once
// The unattended cycle of the processing program: the scan of arriving
// files on Timer2 (ToggleWebScan, the toolbar button "BwebScan"), the
// processing of an arrived master file (ProcessArrivedMaster) and of the
// registered master file (AutoProcessRegistered, the scheduler's automatic
// processing), the weekly backup, and the log of every status text of
// these functions in "tolv-auto.log".
//
// The scan starts by itself (at start-up and after every initialization)
// when start flag 0x02 is set and item 83 value 4 holds an interval above 0.
#include "common/prompter.h"
#include "tolv/publish/autolog.h"
#include "tolv/publish/webscan.h"

#include <QObject>

#include <memory>
#include <string>
#include <vector>

class QToolButton;

namespace varenta {

class MDIForm1;
class Publishing;

inline constexpr const char* kScanStopped = "Ｗｅｂサイトスキャン停止！";
inline constexpr const char* kScanStarted = "Ｗｅｂサイトスキャン起動！";
inline constexpr const char* kBackingUp = "バックアップ中";
inline constexpr const char* kBackupDone = "バックアップ終了";

// While an automatic step runs nobody is there to answer: every message
// and question is written to the log and gets its default (Ok, Yes, Cancel
// for Retry/Cancel, the preset of a question).  Otherwise the window's own
// prompter answers.
class UnattendedPrompter final : public Prompter {
public:
    UnattendedPrompter(Prompter& inner, AutoLog& log) : inner_(inner), log_(log) {}
    MsgAnswer message(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons) override;
    std::string ask(const std::string& title, const std::string& prompt, const std::string& preset, int countdown,
                    const std::string& checkText, bool* checked) override;
    InputResult input(const InputRequest& r) override;
    // Nested: unattended while at least one automatic step runs.
    struct Scope {
        explicit Scope(UnattendedPrompter& p) : p_(p) { ++p_.depth_; }
        ~Scope() { --p_.depth_; }
        UnattendedPrompter& p_;
    };
    bool unattended() const { return depth_ > 0; }

private:
    Prompter& inner_;
    AutoLog& log_;
    int depth_ = 0;
};

class Automation : public QObject {
    Q_OBJECT
public:
    Automation(MDIForm1& window, Publishing& publishing);

    bool scanning() const { return scanning_; }
    // ToggleWebScan.
    void toggle(bool forceStop);
    // After an initialization: start the scan when the settings say so.
    void evaluate();
    // One scan tick (Timer2).
    void tick();
    void processArrived(const std::string& masterPath);
    void autoProcessRegistered(const std::string& masterPath);
    // A status text of the automatic functions: the Status panel and the log.
    void status(const std::string& text);

    WebScanner& scanner() { return scanner_; }
    AutoLog& log() { return log_; }
    UnattendedPrompter& unattendedPrompter() { return prompter_; }
    QToolButton* button() const { return button_; }
    void setButton(QToolButton* b) { button_ = b; }
    const std::vector<TakeOutcome>& lastTaken() const { return taken_; }

private:
    void processNewest();
    void backup();
    ScanHost host();

    MDIForm1& w_;
    Publishing& pub_;
    AutoLog log_;
    UnattendedPrompter prompter_;
    WebScanner scanner_;
    WeeklyBackup backup_;
    std::vector<std::string> table_;
    std::vector<TakeOutcome> taken_;
    QToolButton* button_ = nullptr;
    bool scanning_ = false;
    bool inTick_ = false;
};

// Creates the automation part (owned by the window): the scan button, the
// command "ToggleWebScan", the Timer2 tick, the scan check after every
// initialization and the scheduler's automatic processing.
Automation* attachAutomation(MDIForm1& window, Publishing& publishing);

}  // namespace varenta

namespace varenta {
// SIGTERM and SIGINT end the program as the exit command does (scan
// stopped, settings saved), without the exit question.
void installTerminationHandler(MDIForm1& window);
}  // namespace varenta
