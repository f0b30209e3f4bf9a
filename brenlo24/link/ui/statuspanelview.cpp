// The status panel of the main window: the logger's record shown in the
// value boxes and the channel table with its pages, and the start controls
// taken from an echo.
#include "brenlo24/link/ui/form1.h"

#include "common/ui/qtutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace varenta {

void Form1::copySettingsToStartControls(const StatusRecord& r)
{
    setComboValue(combo3_[0], r.durationMinutes);
    setComboValue(combo3_[1], r.intervalMinutes);
    setComboValue(combo3_[2], r.nextMinute);
    setComboValue(combo3_[3], r.nextHour);
    const int code = r.measureFlags & 3;
    for (int i = 0; i < 4; ++i) {
        QSignalBlocker block(check1_[static_cast<std::size_t>(i)]);
        check1_[static_cast<std::size_t>(i)]->setChecked(i == code);
    }
    check1_[4]->setChecked(r.measureFlags & 0x80);
    check1_[5]->setChecked(r.measureFlags & 0x40);
    check1_[6]->setChecked(r.measureFlags & 0x20);
}

void Form1::showChannelTable() { showChannelTableKeepingFlags(); }

void Form1::showChannelTableKeepingFlags()
{
    const StatusRecord& r = link_->current();
    channels_.setSlots(r.channelSlots);
    // The combos' change events do nothing meanwhile; the flag is left as
    // it was (the receiver may be running).
    const bool wasRunning = link_->flags() & linkflag::kHandlerRunning;
    link_->setFlags(linkflag::kHandlerRunning);
    for (int k = 0; k < 8; ++k) {
        const int pos = ChannelTypes::positionFor(channels_.slotValues[static_cast<std::size_t>(k)]);
        QComboBox* c = combo5_[static_cast<std::size_t>(k)];
        c->setCurrentIndex(pos >= 0 && pos < c->count() ? pos : -1);
    }
    if (!wasRunning)
        link_->clearFlags(linkflag::kHandlerRunning);
}

void Form1::refreshPanel()
{
    const StatusRecord& r = link_->current();
    // The value boxes hold samples only for echo and monitor packets: after
    // a device-information packet, and while the record is still the one
    // read from "Brenlo.tbl" at start-up, they show "-----".
    const bool info = packetKindNibble(static_cast<std::uint8_t>(link_->lastReceivedKind())) == kKindDeviceInfo ||
                      packetKindNibble(static_cast<std::uint8_t>(r.kind)) == kKindDeviceInfo;
    if (!r.valid) {
        for (int i = 1; i <= 13; ++i)
            label3_[static_cast<std::size_t>(i)]->clear();
        sdLabel_->clear();
        batteryLabel_->clear();
        return;
    }
    const StatusPanel p = statusPanelFor(r, settings_.pageOffset, info);
    label3_[1]->setText(qs(p.number));
    label3_[2]->setText(qs(p.date));
    label3_[3]->setText(qs(p.time));
    label3_[4]->setText(qs(p.schedule));
    label3_[5]->setText(qs(p.next));
    sdLabel_->setText(qs(p.sdUsage));
    batteryLabel_->setText(qs(p.battery));
    modelLabel_->setText(QStringLiteral("機種 %1  P%2").arg(r.modelCode()).arg(r.word90));
    for (int i = 0; i < 8; ++i) {
        label2_[static_cast<std::size_t>(6 + i)]->setText(qs(p.valueNumbers[static_cast<std::size_t>(i)]));
        label3_[static_cast<std::size_t>(6 + i)]->setText(qs(p.values[static_cast<std::size_t>(i)]));
    }
    for (int i = 4; i < 23; ++i) {
        const bool on = (p.indicators >> (i - 4)) & 1u;
        label1_[static_cast<std::size_t>(i)]->setText(on ? QStringLiteral("■") : QString());
    }
}

void Form1::onPage(int step)
{
    settings_.pageOffset = step > 0 ? pageUp(settings_.pageOffset) : pageDown(settings_.pageOffset);
    refreshPanel();
}

void Form1::onChannelTypeChosen(int k, int position)
{
    if (link_->flags() & linkflag::kHandlerRunning)
        return;
    channels_.setSlot(k, channelTypes_.slotFor(position));
}

void Form1::onSampleBoxToggled(int k, bool on)
{
    if (!on)
        return;
    for (int i = 0; i < 4; ++i)
        if (i != k) {
            QSignalBlocker block(check1_[static_cast<std::size_t>(i)]);
            check1_[static_cast<std::size_t>(i)]->setChecked(false);
        }
}

}  // namespace varenta
