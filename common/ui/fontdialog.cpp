#include "common/ui/fontdialog.h"

#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace varenta {

namespace {

void paintSwatch(QPushButton* b, const QColor& c)
{
    QPixmap pm(28, 14);
    pm.fill(c);
    b->setIcon(QIcon(pm));
    b->setIconSize(pm.size());
}

}  // namespace

std::optional<FontChoice> chooseFont(QWidget* parent, const FontChoice& initial)
{
    QDialog dlg(parent);
    dlg.setObjectName(QStringLiteral("FontDialog"));
    dlg.setWindowTitle(QStringLiteral("フォント"));
    auto* fd = new QFontDialog(&dlg);
    fd->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    fd->setWindowFlags(Qt::Widget);
    fd->setCurrentFont(initial.font);
    QColor colour = initial.colour;
    auto* colourButton = new QPushButton(QStringLiteral("色(&C)..."), &dlg);
    colourButton->setObjectName(QStringLiteral("FontColour"));
    paintSwatch(colourButton, colour);
    QObject::connect(colourButton, &QPushButton::clicked, &dlg, [&] {
        if (auto c = colourChooser()(&dlg, colour)) {
            colour = *c;
            paintSwatch(colourButton, colour);
        }
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("文字色："), &dlg));
    row->addWidget(colourButton);
    row->addStretch(1);
    auto* lay = new QVBoxLayout(&dlg);
    lay->addWidget(fd);
    lay->addLayout(row);
    lay->addWidget(buttons);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return FontChoice{fd->currentFont(), colour};
}

std::optional<QColor> chooseColour(QWidget* parent, const QColor& initial)
{
    const QColor c = QColorDialog::getColor(initial, parent, QStringLiteral("色の設定"));
    if (!c.isValid())
        return std::nullopt;
    return c;
}

FontChooser& fontChooser()
{
    static FontChooser f = chooseFont;
    return f;
}

ColourChooser& colourChooser()
{
    static ColourChooser c = chooseColour;
    return c;
}

}  // namespace varenta
