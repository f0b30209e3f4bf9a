#pragma once
// The version box (Form6): version text, platform line, program icon, the
// supplier's contact line and an OK button.  Both programs use it with their
// own texts.
#include <QDialog>
#include <QIcon>

class QLabel;

namespace varenta {

class VersionBox : public QDialog {
    Q_OBJECT
public:
    VersionBox(const QString& versionText, const QIcon& icon, QWidget* parent = nullptr,
               const QString& caption = QStringLiteral("Varentix - バージョン情報"));

    QString versionText() const;

    // Shows the box modally.
    static void showModal(QWidget* parent, const QString& versionText, const QIcon& icon,
                          const QString& caption = QStringLiteral("Varentix - バージョン情報"));

private:
    QLabel* label1_;
};

}  // namespace varenta
