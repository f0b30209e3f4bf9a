#include "common/ui/qtprocessrunner.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>

namespace varenta {

namespace {
// The longest the window goes without serving its events during a wait.
constexpr int kWaitSliceMs = 50;
}  // namespace

QtProcessRunner::QtProcessRunner() = default;

QtProcessRunner::~QtProcessRunner() { terminate(); }

bool QtProcessRunner::start(const ProcessRequest& request)
{
    terminate();
    process_ = std::make_unique<QProcess>();
    QStringList args;
    for (const std::string& a : request.arguments)
        args << QString::fromStdString(a);
    if (!request.workingFolder.empty())
        process_->setWorkingDirectory(QString::fromStdString(request.workingFolder));
    // The estimator's standard output and error go nowhere: nobody reads
    // them, and a full pipe must never block the child.
    process_->setStandardOutputFile(QProcess::nullDevice());
    process_->setStandardErrorFile(QProcess::nullDevice());
    process_->start(QString::fromStdString(request.program), args, QIODevice::ReadOnly);
    if (!process_->waitForStarted(5000)) {
        process_.reset();
        return false;
    }
    return true;
}

bool QtProcessRunner::waitFinished(int ms, const Progress& progress)
{
    if (!process_)
        return true;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (process_->state() == QProcess::NotRunning)
            return true;
        const qint64 left = static_cast<qint64>(ms) - clock.elapsed();
        if (left <= 0)
            return false;
        if (process_->waitForFinished(static_cast<int>(std::min<qint64>(left, kWaitSliceMs))))
            return true;
        if (!progress.keepGoing())
            return process_->state() == QProcess::NotRunning;
    }
}

void QtProcessRunner::terminate()
{
    if (!process_)
        return;
    if (process_->state() != QProcess::NotRunning) {
        process_->kill();
        process_->waitForFinished(2000);
    }
    process_.reset();
}

}  // namespace varenta
