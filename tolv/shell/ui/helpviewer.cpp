#include "tolv/shell/ui/helpviewer.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace varenta {

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("VarentaK - ヘルプ"));
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    browser_->setOpenExternalLinks(true);
    auto* back = new QPushButton(QStringLiteral("戻る(&B)"), this);
    auto* forward = new QPushButton(QStringLiteral("進む(&F)"), this);
    auto* home = new QPushButton(QStringLiteral("目次(&C)"), this);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
    connect(home, &QPushButton::clicked, this, [this] {
        const QString dir = QFileInfo(current_).absolutePath();
        showPage(dir + QStringLiteral("/AbstractD.htm"));
    });
    auto* row = new QHBoxLayout;
    row->addWidget(back);
    row->addWidget(forward);
    row->addWidget(home);
    row->addStretch(1);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(row);
    lay->addWidget(browser_, 1);
    resize(640, 520);
}

bool HelpViewer::showPage(const QString& file, const QString& anchor)
{
    current_ = file;
    if (!QFileInfo::exists(file)) {
        browser_->setHtml(QStringLiteral("<h3>ヘルプ</h3><p>ヘルプのページが見つかりません：</p><p><tt>%1</tt></p>")
                              .arg(file.toHtmlEscaped()));
        return false;
    }
    QUrl url = QUrl::fromLocalFile(file);
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    browser_->setSource(url);
    return true;
}

}  // namespace varenta
