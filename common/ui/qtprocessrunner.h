#pragma once
// The process seam over QProcess.
#include "common/process.h"

#include <memory>

class QProcess;

namespace varenta {

class QtProcessRunner final : public ProcessRunner {
public:
    QtProcessRunner();
    ~QtProcessRunner() override;
    bool start(const ProcessRequest& request) override;
    bool waitForEnd(int ms) override;
    void terminate() override;

private:
    std::unique_ptr<QProcess> process_;
};

}  // namespace varenta
