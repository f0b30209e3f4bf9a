#include "tolv/data/ui/picturepane.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace varenta {

PicturePane::PicturePane(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Picture1"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setMinimumSize(40, 40);
}

void PicturePane::setImage(const QImage& image)
{
    image_ = image;
    update();
}

QImage PicturePane::blankImage() const
{
    QImage img(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    img.fill(background_);
    return img;
}

void PicturePane::setBackground(const QColor& c)
{
    background_ = c;
    update();
}

void PicturePane::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), background_);
    if (!image_.isNull())
        p.drawImage(0, 0, image_);
}

void PicturePane::mousePressEvent(QMouseEvent* e)
{
    setFocus(Qt::MouseFocusReason);
    emit pressed(e->position().toPoint(), e->button());
    QWidget::mousePressEvent(e);
}

void PicturePane::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    emit resized();
}

void onSettledResize(PicturePane* pane, bool& queued, int delayMs, std::function<void()> settled)
{
    QObject::connect(pane, &PicturePane::resized, pane, [pane, &queued, delayMs, settled = std::move(settled)] {
        if (queued)
            return;
        queued = true;
        QTimer::singleShot(delayMs, pane, [&queued, settled] {
            queued = false;
            settled();
        });
    });
}

}  // namespace varenta
