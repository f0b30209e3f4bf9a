#include "common/ui/uiprogress.h"

#include <QCoreApplication>
#include <QThread>

namespace varenta {

void uiServeEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void uiWait(int ms)
{
    if (ms <= 0)
        return;
    if (ms <= 50) {
        QThread::msleep(static_cast<unsigned long>(ms));
        return;
    }
    int left = ms;
    while (left > 0) {
        const int slice = left < 50 ? left : 50;
        QThread::msleep(static_cast<unsigned long>(slice));
        uiServeEvents();
        left -= slice;
    }
}

Progress makeUiProgress(std::function<bool()> stopRequested, std::function<void(const std::string&)> text)
{
    Progress p;
    p.poll = [stopRequested] {
        uiServeEvents();
        return !(stopRequested && stopRequested());
    };
    p.text = std::move(text);
    p.wait = [stopRequested](int ms) {
        int left = ms;
        do {
            const int slice = left < 50 ? (left > 0 ? left : 0) : 50;
            if (slice > 0)
                QThread::msleep(static_cast<unsigned long>(slice));
            uiServeEvents();
            if (stopRequested && stopRequested())
                return false;
            left -= 50;
        } while (left > 0);
        return true;
    };
    return p;
}

}  // namespace varenta
