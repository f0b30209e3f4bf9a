// Processing commands: the stepping runs (display forward and back, the
// processing run, redisplay), the stop request and the lanes of the raw
// data graph.
#include "common/ui/qtutil.h"
#include "tolv/data/session.h"
#include "tolv/shell/stepping.h"
#include "tolv/shell/ui/commandfamilies.h"
#include "tolv/shell/ui/mdiform1.h"
#include "tolv/shell/viewsettings.h"

#include <QComboBox>
#include <QToolButton>

namespace varenta {

// The stepping run's view of the main window.
class ShellStepHost final : public StepHost {
public:
    explicit ShellStepHost(MDIForm1& w) : w_(w) {}
    bool fileOpen() const override { return w_.data_.hasMeasurementFile; }
    long long currentNumber() const override { return w_.data_.currentNumber; }
    void setCurrentNumber(long long n) override { w_.data_.currentNumber = n; }
    long long latestNumber() const override { return w_.data_.latestNumber; }
    bool refreshHeader() override
    {
        const Status st = w_.session_->selectMeasurement(w_.data_.currentNumber, false);
        w_.syncPanels();
        w_.updateScrollBar();
        return st == Status::Ok;
    }
    void loadRaw() override { w_.ensureRawData(); }
    void process() override { w_.processing_.run(w_); }
    void refreshViews(bool processed) override
    {
        const RefreshReason why = processed ? RefreshReason::Processed : RefreshReason::MeasurementChanged;
        for (int kind : {0, 1, 4, 5, 6, 7, 2, 3})
            if (ViewKind* v = w_.views_.find(kind); v && w_.documentWindow(kind))
                v->refresh(w_, why);
        w_.syncPanels();
    }
    void markUnreadable(long long number, int count) override
    {
        w_.setPanel(panel::kSno, std::to_string(number) + "(" + std::to_string(count) + ")");
    }
    bool printEachStep() const override
    {
        return w_.settings_.integer(85, 7) == 1 && (w_.state_.autoWord & autofn::kGraphPrint) &&
               static_cast<bool>(w_.hooks_.printRawGraph);
    }
    void printRawGraph() override { w_.hooks_.printRawGraph(); }
    long long repetitions() const override { return textToInt(ss(w_.combo1_->currentText())); }
    void setRepetitionText(const std::string& text) override { w_.combo1_->setEditText(qs(text)); }
    void pressButton(StepButton b, bool down) override
    {
        const char* key = b == StepButton::Execute ? "Bexecute" : (b == StepButton::Calculate ? "Bcalculate" : "Bbackexe");
        if (QToolButton* t = w_.toolButton(QString::fromLatin1(key)))
            t->setDown(down);
    }
    void serveEvents() override { w_.serveEvents(); }
    void finished() override
    {
        if (w_.hooks_.headerInfo)
            w_.hooks_.headerInfo(w_.session_->headerInfo(false));
    }

private:
    MDIForm1& w_;
};

void MDIForm1::step(int mode)
{
    ShellStepHost host(*this);
    runStepping(mode, state_, host);
    syncPanels();
    updateScrollBar();
    // A processing run may have created the results file: its views become
    // available at once.
    updateCommandStates();
}

void installProcessCommands(MDIForm1& w)
{
    const struct {
        const char* name;
        int mode;
    } steps[] = {{"Mexecute", stepmode::kForwardDisplay}, {"Mbackexe", stepmode::kBackwardDisplay},
                 {"Mcalculate", stepmode::kForwardProcess}, {"Mreexecute", stepmode::kRedisplay},
                 {"MPexecute", stepmode::kRedisplay},      {"MPcalculate", stepmode::kReprocess}};
    for (const auto& s : steps)
        w.setCommand(QString::fromLatin1(s.name), [&w, mode = s.mode] { w.step(mode); });
    w.setCommand(QStringLiteral("Mend"), [&w] { w.runtime().stopRequest = true; });
    w.setCommand(QStringLiteral("Bend"), [&w] {
        w.runtime().stopRequest = true;
        if (w.hooks().toggleScan)
            w.hooks().toggleScan(true);
    });
    for (const auto& [name, delta] : {std::pair{"Bup", +1}, std::pair{"Bdown", -1}})
        w.setCommand(QString::fromLatin1(name), [&w, delta = delta] {
            DataSet& d = w.dataSet();
            if (stepLaneChannels(w.settings(), d.graphChannel, d.header.channelCount, delta))
                w.redisplay();
        });
}

}  // namespace varenta
