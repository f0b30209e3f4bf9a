#pragma once
// Publishing commands of the processing program: the web pages of the
// measurement on display (MakeWebPages), their upload and copy (PublishWeb,
// the hidden menu command "Mtrans") and the download of the newest
// measurement file ("DownloadLatest", with the confirmation of the
// conditions dialog's download button, which runs the same download).
//
//     Publishing* pub = attachPublishing(window);
//     attachConditionsDialog(window, [pub] { return pub->download(); });
#include "tolv/publish/transfer.h"
#include "tolv/publish/webpages.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>

namespace varenta {

class MDIForm1;

class Publishing : public QObject {
    Q_OBJECT
public:
    explicit Publishing(MDIForm1& window);
    ~Publishing() override;

    // The inputs of the pages from the measurement and windows on display.
    WebPagesInput pageInput() const;
    // MakeWebPages; false (and the failure in lastPages()) when a template,
    // placeholder or picture is missing.
    bool makePages();
    // PublishWeb.  Refused (false) while another transfer runs.
    bool publish();
    // DownloadLatest without the confirmation; false when refused.
    bool download();
    // DownloadLatest as the menu and the conditions dialog run it: the
    // confirmation first.
    void confirmAndDownload();

    const WebPagesOutcome& lastPages() const { return pages_; }
    const PublishOutcome& lastPublish() const { return published_; }
    const DownloadOutcome& lastDownload() const { return downloaded_; }
    bool transferring() const { return busy_; }
    // Also receives every status text of the transfers (the automatic
    // cycle logs them).
    std::function<void(const std::string&)> onStatus;
    // Replaces the process runner (tests).
    void setRunner(std::unique_ptr<ProcessRunner> runner) { runner_ = std::move(runner); }

private:
    Progress progress(bool withStop);

    MDIForm1& w_;
    std::unique_ptr<ProcessRunner> runner_;
    WebPagesOutcome pages_;
    PublishOutcome published_;
    DownloadOutcome downloaded_;
    bool busy_ = false;
};

// Creates the publishing part (owned by the window) and registers "Mtrans"
// and "DownloadLatest" in its command table.
Publishing* attachPublishing(MDIForm1& window);

}  // namespace varenta
