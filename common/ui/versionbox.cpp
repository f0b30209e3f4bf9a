#include "common/ui/versionbox.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace varenta {

VersionBox::VersionBox(const QString& versionText, const QIcon& icon, QWidget* parent, const QString& caption)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(caption);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(icon.pixmap(48, 48));
    image->setFixedSize(56, 56);
    image->setAlignment(Qt::AlignCenter);

    label1_ = new QLabel(versionText, this);
    label1_->setObjectName(QStringLiteral("Label1"));
    QFont big = label1_->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.2);
    label1_->setFont(big);

    auto* label2 = new QLabel(QStringLiteral("for Windows System"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    auto* label3 = new QLabel(QStringLiteral("お問い合わせ：販売店または製品添付の連絡先までご連絡ください。"), this);
    label3->setObjectName(QStringLiteral("Label3"));
    label3->setWordWrap(true);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(image, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(label1_, 0, 1);
    grid->addWidget(label2, 1, 1);
    grid->addWidget(label3, 2, 0, 1, 2);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    grid->addLayout(row, 3, 0, 1, 2);
    setMinimumWidth(360);
}

QString VersionBox::versionText() const { return label1_->text(); }

void VersionBox::showModal(QWidget* parent, const QString& versionText, const QIcon& icon, const QString& caption)
{
    VersionBox box(versionText, icon, parent, caption);
    box.exec();
}

}  // namespace varenta
