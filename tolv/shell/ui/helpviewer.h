#pragma once
// The help window: shows a topic page of the help pages in the program
// folder, with back/forward and a contents link.
#include <QWidget>

class QTextBrowser;

namespace varenta {

class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);

    // Shows a page file (an anchor selects a place in it).  A missing page
    // shows a short notice naming it.  Returns false when the file is missing.
    bool showPage(const QString& file, const QString& anchor = {});
    QString currentFile() const { return current_; }
    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_;
    QString current_;
};

}  // namespace varenta
