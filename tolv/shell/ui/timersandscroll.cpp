// The main window's timers (schedules, scan of arriving files, clock) and
// the measurement scroll strip.
#include "tolv/shell/ui/mdiform1.h"

#include "common/ui/uiprogress.h"
#include "tolv/data/session.h"
#include "tolv/shell/shellrules.h"

#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>

namespace varenta {

void MDIForm1::applyAutomaticTimers()
{
    if (automaticTimersOn(state_.autoWord)) {
        ownClock_->stop();
        timer1_->start();
        timer3_->start();
        timer3Tick();
    } else {
        timer1_->stop();
        timer3_->stop();
        ownClock_->start();
        const DateTime t = clock_->now();
        setPanel(panel::kRtime, clockText(t.hour, t.minute, t.second, false));
    }
}

void MDIForm1::updateScrollBar()
{
    const QSignalBlocker block(hscroll_);
    if (!data_.hasMeasurementFile || data_.latestNumber < 1) {
        hscroll_->setRange(1, 1);
        hscroll_->setValue(1);
        hscroll_->setEnabled(false);
        return;
    }
    hscroll_->setRange(1, std::max(1, session_->scrollMaximum()));
    hscroll_->setValue(session_->syncScrollValue());
    hscroll_->setEnabled(true);
}

void MDIForm1::scrollMoved(int value)
{
    if (!data_.hasMeasurementFile || state_.state(statebit::kStepping) || scrollBusy_)
        return;
    state_.setState(statebit::kStepping, true);
    session_->scrollChanged(value);
    syncPanels();
    state_.setState(statebit::kStepping, false);
}

void MDIForm1::scrollDone()
{
    if (!data_.hasMeasurementFile || state_.state(statebit::kStepping) || scrollBusy_)
        return;
    scrollBusy_ = true;
    session_->scrollChanged(hscroll_->value());
    hscroll_->setEnabled(false);
    syncPanels();
    state_.setState(statebit::kRawLoaded | statebit::kProcessed, false);
    redisplay();
    hscroll_->setEnabled(true);
    scrollBusy_ = false;
}

void MDIForm1::timer1Tick()
{
    SchedulerJobs jobs = jobs_;
    jobs.status = [this](const std::string& t) { setPanel(panel::kStatus, t); };
    jobs.schedulesMoved = [this] {
        if (hooks_.schedulesMoved)
            hooks_.schedulesMoved();
    };
    schedulerTick(settings_, state_.autoWord, clock_->now(), jobs, schedulerMemory_);
}

void MDIForm1::timer2Tick()
{
    // The scan owns the whole tick: its texts, and whether the timer runs on.
    if (hooks_.scanTick) {
        hooks_.scanTick();
        return;
    }
    timer2_->stop();
    setPanel(panel::kStatus, scanTickText(start_.flags, true, userBase_));
    uiWait(200);
    setPanel(panel::kStatus, scanTickText(start_.flags, false, userBase_));
    timer2_->start();
}

void MDIForm1::timer3Tick()
{
    const DateTime t = clock_->now();
    setPanel(panel::kRtime, clockText(t.hour, t.minute, t.second, true));
}

}  // namespace varenta
