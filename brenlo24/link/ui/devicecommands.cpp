// Device commands of the main window: status check, start, stop and
// initialization of the logger, monitoring, and the hand-over to the
// device-information dialog.
#include "brenlo24/link/ui/form1.h"

#include "common/progfolder.h"
#include "common/ui/busycursor.h"
#include "common/ui/qtutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace varenta {

CommandParameters Form1::commandParameters() const
{
    CommandParameters p;
    bool ok = false;
    const int machine = text4_->text().trimmed().toInt(&ok);
    p.machineNumber = ok ? machine : settings_.machineNumber;
    p.durationMinutes = comboValue(combo3_[0], 20);
    p.intervalMinutes = comboValue(combo3_[1], 20);
    p.startMinute = comboValue(combo3_[2], 0);
    p.startHour = comboValue(combo3_[3], 0);
    for (std::size_t i = 0; i < 8; ++i)
        p.flagBoxes[i] = check1_[i]->isChecked();
    p.firstNumber = static_cast<std::int32_t>(text2_[0]->text().trimmed().toLongLong());
    p.lastNumber = static_cast<std::int32_t>(text2_[1]->text().trimmed().toLongLong());
    p.selectedSpeed = settings_.selectedSpeed;
    p.channelSlots = channels_.slotValues;
    return p;
}

DeviceCommands Form1::deviceCommands()
{
    return DeviceCommands(
        prompter(), [this](std::string_view code, int mode) { return link_->sendCommand(code, mode); },
        [this](const std::string& t) { showStatus(t); });
}

CommandInputs Form1::commandInputs() const
{
    CommandInputs in;
    in.optionFlags = settings_.optionFlags;
    in.resultsBox = check3_[6]->isChecked();
    in.calFlag1 = check3_[3]->isChecked();
    in.calFlag2 = check3_[4]->isChecked();
    return in;
}

void Form1::onCheck() { deviceCommands().check(); }

void Form1::onStartMeasuring() { deviceCommands().startMeasuring(link_->current()); }

void Form1::onStopMeasuring() { deviceCommands().stopMeasuring(); }

void Form1::onInitialise()
{
    if (!deviceCommands().initialise().sent())
        return;
    // The logger restarts at its own speed setting: the selected speed goes
    // back into the list and the port is opened again.
    if (combo2_->findText(QString::number(settings_.selectedSpeed)) < 0)
        combo2_->addItem(QString::number(settings_.selectedSpeed));
    combo2_->setCurrentText(QString::number(settings_.selectedSpeed));
    openPort();
}

void Form1::onMonitor(bool start)
{
    const CommandInputs in = commandInputs();
    if (start)
        deviceCommands().monitorStart(in);
    else
        deviceCommands().monitorStop(in);
}

void Form1::setDeviceDialogOpener(std::function<void()> open)
{
    deviceDialogOpener_ = std::move(open);
    command1_[1]->setEnabled(static_cast<bool>(deviceDialogOpener_));
}

}  // namespace varenta
