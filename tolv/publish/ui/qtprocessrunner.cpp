#include "tolv/publish/ui/qtprocessrunner.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

namespace varenta {

QtProcessRunner::QtProcessRunner(QObject* parent) : QObject(parent) {}

QtProcessRunner::~QtProcessRunner() = default;

bool QtProcessRunner::start(const ProcessRequest& request)
{
    auto* p = new QProcess(this);
    // A finished process is dropped once it has ended.
    connect(p, &QProcess::finished, p, &QObject::deleteLater);
    QStringList args;
    for (const std::string& a : request.arguments)
        args << QString::fromStdString(a);
    if (!request.workingFolder.empty())
        p->setWorkingDirectory(QString::fromStdString(request.workingFolder));
    QByteArray script;
    const bool feed = request.inputIsScript && !request.inputFile.empty();
    if (feed) {
        QFile f(QString::fromStdString(request.inputFile));
        if (f.open(QIODevice::ReadOnly))
            script = f.readAll();
        script.replace("\r\n", "\n");
    } else {
        p->setStandardInputFile(request.inputFile.empty() ? QProcess::nullDevice()
                                                          : QString::fromStdString(request.inputFile));
    }
    p->setStandardOutputFile(QProcess::nullDevice());
    p->setStandardErrorFile(QProcess::nullDevice());
    p->start(QString::fromStdString(request.program), args);
    if (!p->waitForStarted(5000)) {
        p->deleteLater();
        current_ = nullptr;
        return false;
    }
    if (feed) {
        p->write(script);
        p->closeWriteChannel();
    }
    current_ = p;
    return true;
}

bool QtProcessRunner::waitForEnd(int ms)
{
    if (!current_ || current_->state() == QProcess::NotRunning)
        return true;
    if (current_->waitForFinished(ms))
        return true;
    return current_->state() == QProcess::NotRunning;
}

void QtProcessRunner::terminate()
{
    if (!current_ || current_->state() == QProcess::NotRunning)
        return;
    current_->kill();
    current_->waitForFinished(2000);
}

}  // namespace varenta
