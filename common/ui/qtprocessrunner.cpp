#include "common/ui/qtprocessrunner.h"

#include "common/writebehind.h"

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace varenta {

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
    QByteArray script;
    const bool feed = request.inputIsScript && !request.inputFile.empty();
    if (feed) {
        QFile f(QString::fromStdString(request.inputFile));
        if (f.open(QIODevice::ReadOnly))
            script = f.readAll();
        script.replace("\r\n", "\n");
    } else {
        process_->setStandardInputFile(request.inputFile.empty() ? QProcess::nullDevice()
                                                                 : QString::fromStdString(request.inputFile));
    }
    // Nobody reads the output, and a full pipe must never block the child.
    process_->setStandardOutputFile(QProcess::nullDevice());
    process_->setStandardErrorFile(QProcess::nullDevice());
    // The other program sees every file written behind the steps so far.
    flushFileWrites();
    process_->start(QString::fromStdString(request.program), args);
    if (!process_->waitForStarted(5000)) {
        process_.reset();
        return false;
    }
    if (feed) {
        process_->write(script);
        process_->closeWriteChannel();
    }
    return true;
}

bool QtProcessRunner::waitForEnd(int ms)
{
    if (!process_ || process_->state() == QProcess::NotRunning)
        return true;
    if (process_->waitForFinished(ms))
        return true;
    return process_->state() == QProcess::NotRunning;
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
