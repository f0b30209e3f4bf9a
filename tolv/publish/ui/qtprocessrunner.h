#pragma once
// The process seam over QProcess.  The window style has no meaning on this
// platform; processes run without a window.  A process started before the
// last one keeps running until it ends by itself (the download client is
// never stopped by the program).
#include "tolv/publish/process.h"

#include <QObject>
#include <QPointer>

class QProcess;

namespace varenta {

class QtProcessRunner : public QObject, public ProcessRunner {
    Q_OBJECT
public:
    explicit QtProcessRunner(QObject* parent = nullptr);
    ~QtProcessRunner() override;
    bool start(const ProcessRequest& request) override;
    bool waitForEnd(int ms) override;
    void terminate() override;

private:
    QPointer<QProcess> current_;
};

}  // namespace varenta
