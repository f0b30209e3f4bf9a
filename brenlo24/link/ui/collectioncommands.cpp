// Collection commands of the main window: data and result collection, its
// stop, storing the packets, the automatic collection, the newest-measurement
// search and the text conversion that follows it.
#include "brenlo24/link/ui/form1.h"
#include "brenlo24/link/ui/textconversion.h"

#include "common/progfolder.h"
#include "common/ui/busycursor.h"
#include "common/ui/qtutil.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace varenta {

void Form1::onCollect()
{
    // The range travels in bytes 32-39 from Text2(0) and (1).
    writeError_.clear();
    deviceCommands().collect(commandInputs());
}

void Form1::onCollectStop()
{
    // The next data, header or result packet is stored but not
    // acknowledged; the logger stops and the time-out ends the run.
    link_->requestStop();
}

Status Form1::storePacket(const Packet& p, const StatusRecord& current)
{
    const Status st = writer_.store(p, current.modelCode(), lastStore_);
    if (st != Status::Ok) {
        // Not on disk: the error stays in the status line, the packet is
        // not acknowledged and the logger sends it again.
        writeError_ = lastStore_.error;
        showStatus(lastStore_.error);
        return st;
    }
    switch (lastStore_.what) {
    case StoreOutcome::What::ResultSector:
        refreshPanel();
        break;
    case StoreOutcome::What::ResultLine:
        refreshPanel();
        label3_[1]->setText(qs(lastStore_.panelNumber));
        label3_[2]->setText(qs(lastStore_.panelDate));
        label3_[3]->setText(qs(lastStore_.panelTime));
        break;
    default:
        break;
    }
    return Status::Ok;
}

void Form1::receiveTimedOut(bool collected)
{
    // A run in which the disk refused a packet says so beside the end text.
    if (!writeError_.empty()) {
        showStatus(std::string(collected ? linktext::kCollectionDone : linktext::kReceiveTimeout) + "  " +
                   writeError_);
        writeError_.clear();
    }
}

void Form1::autoCollectCheck()
{
    schedule_.hour = comboValue(combo4_[0], schedule_.hour);
    schedule_.minute = comboValue(combo4_[1], schedule_.minute);
    schedule_.interval = comboValue(combo4_[2], schedule_.interval);
    const AutoCollectTick t = varenta::autoCollectCheck(schedule_, appClock().now(), settings_.optionFlags,
                                                        check3_[0]->isChecked(), check3_[6]->isChecked(),
                                                        settings_.autoFirstNumber);
    if (!t.due)
        return;
    setComboValue(combo4_[0], schedule_.hour);
    setComboValue(combo4_[1], schedule_.minute);
    if (!t.send)
        return;
    text2_[0]->setText(QString::number(t.firstNumber));
    text2_[1]->setText(QString::number(t.lastNumber));
    writeError_.clear();
    link_->sendCommand(t.code, sendmode::kArmTimeout);
}

NewestSearch Form1::searchNewestMeasurement(const std::string& path)
{
    BusyCursor busy;
    link_->clearFlags(linkflag::kStopRequested);
    Progress progress;
    progress.poll = [this] {
        QCoreApplication::processEvents();
        return !(link_->flags() & linkflag::kStopRequested);
    };
    progress.text = [this](const std::string& t) { showStatus(t); };
    HeaderDecodeOptions opt;
    if (!initTable_.isBlank(96, 4) && initTable_.real(96, 4) > 0)
        opt.intervalSeconds = initTable_.real(96, 4);
    const NewestSearch r = findNewestMeasurement(path, -1, progress, opt);
    if (!r.finalText.empty())
        showStatus(r.finalText);
    return r;
}

void Form1::onTextConversion()
{
    // "desc|pattern|desc|pattern|" as the file dialog's filters.
    QStringList filters;
    const QStringList parts = qs(fileDialog_.filter).split(QLatin1Char('|'), Qt::SkipEmptyParts);
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << QStringLiteral("%1 (%2)").arg(parts[i].trimmed(), parts[i + 1]);
    QString selected = filters.value(fileDialog_.filterIndex - 1);
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("テキストデータファイルに変換"),
                                                      qs(fileDialog_.folder), filters.join(QStringLiteral(";;")),
                                                      &selected);
    if (path.isEmpty())
        return;
    const NewestSearch found = searchNewestMeasurement(ss(path));
    if (found.found && textConverter_)
        textConverter_(ss(path), found);
    else if (found.found)
        convertCollectedFileToText(*this, ss(path), found);
}

}  // namespace varenta
