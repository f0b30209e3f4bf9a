#pragma once
// The graph pane of a document window (Picture1): shows the picture a graph
// view drew into an image of the pane's size, and reports presses and size
// changes to the view.
#include <QColor>
#include <QImage>
#include <QWidget>

#include <functional>

namespace varenta {

class PicturePane : public QWidget {
    Q_OBJECT
public:
    explicit PicturePane(QWidget* parent = nullptr);

    // The picture shown (drawn by the view at size()).
    const QImage& image() const { return image_; }
    void setImage(const QImage& image);
    // An image of the pane's size filled with the background, to draw into.
    QImage blankImage() const;

    QColor background() const { return background_; }
    void setBackground(const QColor& c);
    // Colour of the graph's text (the font dialog's colour).
    QColor textColour() const { return textColour_; }
    void setTextColour(const QColor& c) { textColour_ = c; }

signals:
    void pressed(const QPoint& pos, Qt::MouseButton button);
    void resized();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QImage image_;
    QColor background_ = Qt::white;
    QColor textColour_ = Qt::black;
};

// Calls settled once a run of size changes of the pane has settled: delayMs
// after the first change of the run.  queued, kept by the caller, is true
// while the call is due (the caller may clear it when the window closes).
void onSettledResize(PicturePane* pane, bool& queued, int delayMs, std::function<void()> settled);

}  // namespace varenta
