#include "tolv/data/ui/documentwindow.h"

#include "common/windowgeometry.h"

#include "common/ui/fontdialog.h"
#include "common/ui/qtutil.h"
#include "tolv/data/docrules.h"
#include "tolv/data/ui/picturepane.h"
#include "tolv/data/ui/shellservices.h"
#include "tolv/data/ui/viewregistry.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QBoxLayout>
#include <QKeyEvent>
#include <QMdiArea>
#include <QScreen>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

namespace varenta {

namespace {

QPlainTextEdit* makePane(QWidget* parent, const char* name)
{
    auto* p = new QPlainTextEdit(parent);
    p->setObjectName(QString::fromLatin1(name));
    p->setLineWrapMode(QPlainTextEdit::NoWrap);
    p->setWordWrapMode(QTextOption::NoWrap);
    p->setUndoRedoEnabled(false);
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setFamily(QStringLiteral("ＭＳ ゴシック"));
    f.setPointSize(10);
    p->setFont(f);
    return p;
}

void setPaneBackground(QPlainTextEdit* pane, const QColor& c)
{
    QPalette pal = pane->palette();
    pal.setColor(QPalette::Base, c);
    pane->setPalette(pal);
}

}  // namespace

DocumentWindow::DocumentWindow(ShellServices& shell, ViewKind& view, QWidget* parent)
    : QMdiSubWindow(parent), shell_(shell), view_(view), kind_(view.kind())
{
    setObjectName(QStringLiteral("Form1"));
    setProperty("Tag", QString::number(kind_));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(qs(view_.title(shell_)));

    body_ = new QWidget(this);
    text2_ = makePane(body_, "RichTextBox2");
    text2_->setReadOnly(true);
    text2_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text2_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text1_ = makePane(body_, "RichTextBox1");
    text1_->setReadOnly(!isTextView(kind_));
    graphArea_ = new QWidget(body_);
    picture_ = new PicturePane(graphArea_);
    vscroll_ = new QScrollBar(Qt::Vertical, graphArea_);
    vscroll_->setObjectName(QStringLiteral("VScroll1"));

    // Text view: heading pane over the main pane; graph view: the picture
    // with the scroll bar at its right.  Hidden parts take no room.
    auto* graphRow = new QHBoxLayout(graphArea_);
    graphRow->setContentsMargins(0, 0, 0, 0);
    graphRow->setSpacing(0);
    graphRow->addWidget(picture_, 1);
    graphRow->addWidget(vscroll_);
    auto* lay = new QVBoxLayout(body_);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    lay->addWidget(text2_);
    lay->addWidget(text1_, 1);
    lay->addWidget(graphArea_, 1);
    setWidget(body_);

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(80);
    connect(timer_, &QTimer::timeout, this, &DocumentWindow::syncHeading);
    timer_->start();
    connect(text1_->horizontalScrollBar(), &QScrollBar::valueChanged, this, &DocumentWindow::syncHeading);

    for (QWidget* w : {static_cast<QWidget*>(text1_), static_cast<QWidget*>(text2_)}) {
        w->installEventFilter(this);
        static_cast<QPlainTextEdit*>(w)->viewport()->installEventFilter(this);
    }
    picture_->installEventFilter(this);
    connect(picture_, &PicturePane::pressed, this, [this](const QPoint& pos, Qt::MouseButton b) {
        activePane_ = Pane::Graph;
        if (b != Qt::LeftButton)
            return;
        if (shell_.runtime().state(statebit::kStepping))
            return;
        view_.graphPressed(shell_, *this, pos);
    });
    connect(vscroll_, &QScrollBar::sliderMoved, this, [this](int v) {
        if (!shell_.runtime().state(statebit::kStepping))
            view_.scrolled(shell_, *this, v, true);
    });
    connect(vscroll_, &QScrollBar::valueChanged, this, [this](int v) {
        if (vscroll_->isSliderDown() || shell_.runtime().state(statebit::kStepping))
            return;
        view_.scrolled(shell_, *this, v, false);
    });
    connect(vscroll_, &QScrollBar::sliderReleased, this, [this] {
        if (!shell_.runtime().state(statebit::kStepping))
            view_.scrolled(shell_, *this, vscroll_->value(), false);
    });

    view_.setUpWindow(*this);
    applyFontAndColours();
    resize(640, 420);
}

DocumentWindow::~DocumentWindow() = default;

void DocumentWindow::useTextPanes()
{
    text1_->show();
    text2_->show();
    graphArea_->hide();
    activePane_ = Pane::Main;
}

void DocumentWindow::useGraphPane(bool withScroll)
{
    text1_->hide();
    text2_->hide();
    graphArea_->show();
    picture_->show();
    vscroll_->setVisible(withScroll);
    activePane_ = Pane::Graph;
}

long long DocumentWindow::caretRow() const { return text1_->textCursor().blockNumber(); }

long long DocumentWindow::caretColumn() const { return text1_->textCursor().positionInBlock(); }

void DocumentWindow::applyFontAndColours()
{
    const Settings& s = shell_.settings();
    const int item = 190 + kind_;
    const QFont f = fontFromSettings(text1_->font(), s.value(item, 0), s.value(item, 1), s.value(item, 2),
                                     s.value(item, 3));
    text1_->setFont(f);
    text2_->setFont(f);
    picture_->setFont(f);
    picture_->setTextColour(colorFromText(s.value(item, 4), Qt::black));
    picture_->setBackground(colorFromText(s.value(item, 5), Qt::white));
    setPaneBackground(text2_, colorFromText(s.value(item, 6), QColor(0xF0, 0xF0, 0xF0)));
    setPaneBackground(text1_, colorFromText(s.value(item, 7), Qt::white));
    // The heading pane shows its two lines in full.
    const QFontMetrics fm(f);
    text2_->setFixedHeight(fm.lineSpacing() * 2 + 2 * text2_->frameWidth() + 8);
}

bool DocumentWindow::chooseFont()
{
    Settings& s = shell_.settings();
    const int item = 190 + kind_;
    FontChoice initial{text1_->font(), colorFromText(s.value(item, 4), Qt::black)};
    const auto choice = fontChooser()(this, initial);
    if (!choice)
        return false;
    const QFont& f = choice->font;
    s.set(item, 0, ss(f.family()));
    s.set(item, 1, ss(QString::number(f.pointSizeF() > 0 ? f.pointSizeF() : f.pointSize())));
    s.set(item, 2, f.bold() ? "True" : "False");
    s.set(item, 3, f.italic() ? "True" : "False");
    s.set(item, 4, std::to_string(colorNumber(choice->colour)));
    applyFontAndColours();
    if (!isTextView(kind_))
        view_.redraw(shell_);
    return true;
}

bool DocumentWindow::chooseBackground()
{
    Settings& s = shell_.settings();
    const int item = 190 + kind_;
    int value = 7;
    QColor current = text1_->palette().color(QPalette::Base);
    if (activePane_ == Pane::Heading) {
        value = 6;
        current = text2_->palette().color(QPalette::Base);
    } else if (activePane_ == Pane::Graph) {
        value = 5;
        current = picture_->background();
    }
    const auto c = colourChooser()(this, current);
    if (!c)
        return false;
    s.set(item, value, std::to_string(colorNumber(*c)));
    applyFontAndColours();
    view_.redraw(shell_);
    return true;
}

void DocumentWindow::copy()
{
    if (activePane_ == Pane::Graph || !isTextView(kind_)) {
        QApplication::clipboard()->setImage(picture_->image().isNull() ? picture_->grab().toImage()
                                                                       : picture_->image());
        return;
    }
    (activePane_ == Pane::Heading ? text2_ : text1_)->copy();
}

void DocumentWindow::cut()
{
    if (activePane_ == Pane::Graph)
        return;
    QPlainTextEdit* pane = activePane_ == Pane::Heading ? text2_ : text1_;
    if (pane->isReadOnly()) {
        pane->copy();
        return;
    }
    pane->cut();
    edited_ = true;
}

void DocumentWindow::paste()
{
    if (activePane_ == Pane::Graph)
        return;
    QPlainTextEdit* pane = activePane_ == Pane::Heading ? text2_ : text1_;
    if (pane->isReadOnly())
        return;
    if (!view_.editKey(shell_, *this))
        return;
    pane->paste();
}

void DocumentWindow::selectAll()
{
    if (activePane_ == Pane::Graph)
        return;
    (activePane_ == Pane::Heading ? text2_ : text1_)->selectAll();
}

void DocumentWindow::restorePosition()
{
    const Settings& s = shell_.settings();
    const int item = 180 + kind_;
    if (s.isBlank(item, 2) || s.isBlank(item, 3))
        return;
    const int top = static_cast<int>(s.integer(item, 0));
    const int left = static_cast<int>(s.integer(item, 1));
    const int width = static_cast<int>(s.integer(item, 2));
    const int height = static_cast<int>(s.integer(item, 3));
    if (width <= 0 || height <= 0)
        return;
    // Kept inside the document area of the main window: a picture pane is
    // drawn and exported at the size shown, never larger than the area.
    QRect area(0, 0, width, height);
    if (QMdiArea* mdi = mdiArea(); mdi && mdi->isVisible())
        area = mdi->viewport()->rect();
    else if (QScreen* sc = screen())
        area = QRect(QPoint(0, 0), sc->availableGeometry().size());
    const PlaceRect b =
        boundedPlacement({left, top, width, height}, {0, 0, area.width(), area.height()}, 160, 120);
    setGeometry(b.left, b.top, b.width, b.height);
}

void DocumentWindow::savePosition()
{
    if (isMinimized() || isMaximized())
        return;
    Settings& s = shell_.settings();
    const int item = 180 + kind_;
    const QRect g = geometry();
    s.setInt(item, 0, g.top());
    s.setInt(item, 1, g.left());
    s.setInt(item, 2, g.width());
    s.setInt(item, 3, g.height());
}

void DocumentWindow::closeForced()
{
    forced_ = true;
    close();
}

void DocumentWindow::syncHeading()
{
    QScrollBar* a = text1_->horizontalScrollBar();
    QScrollBar* b = text2_->horizontalScrollBar();
    if (b->maximum() < a->value())
        b->setMaximum(a->maximum());
    if (b->value() != a->value())
        b->setValue(a->value());
}

void DocumentWindow::closeEvent(QCloseEvent* e)
{
    RuntimeState& st = shell_.runtime();
    if (!forced_) {
        int open = 0;
        for (int k = 0; k < viewkind::kCount; ++k)
            if (shell_.documentWindow(k))
                ++open;
        if (!shell_.toolbarVisible() && open <= 1) {
            shell_.prompter().message(kForbiddenTitle, kLastWindowRefusal, MsgIcon::Warning, MsgButtons::Ok);
            e->ignore();
            return;
        }
        savePosition();
    }
    st.setState(statebit::viewBit(kind_), false);
    view_.closed(shell_);
    emit closing(kind_);
    bool anyOther = false;
    for (int k = 0; k < viewkind::kCount; ++k)
        if (k != kind_ && shell_.documentWindow(k))
            anyOther = true;
    if (!anyOther)
        st.setState(statebit::kSaveDocGeometry, false);
    timer_->stop();
    QMdiSubWindow::closeEvent(e);
}

bool DocumentWindow::eventFilter(QObject* watched, QEvent* e)
{
    const bool onMain = watched == text1_ || watched == text1_->viewport();
    const bool onHeading = watched == text2_ || watched == text2_->viewport();
    const bool onGraph = watched == picture_;
    switch (e->type()) {
    case QEvent::FocusIn:
        if (onMain)
            activePane_ = Pane::Main;
        else if (onHeading)
            activePane_ = Pane::Heading;
        else if (onGraph)
            activePane_ = Pane::Graph;
        break;
    case QEvent::MouseButtonPress:
        if (onMain)
            activePane_ = Pane::Main;
        else if (onHeading)
            activePane_ = Pane::Heading;
        break;
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(e);
        if (onMain && me->button() == Qt::LeftButton && !shell_.runtime().state(statebit::kStepping))
            view_.caretMoved(shell_, *this);
        break;
    }
    case QEvent::ContextMenu: {
        auto* ce = static_cast<QContextMenuEvent*>(e);
        if (onMain || onHeading) {
            popupFromText(ce->globalPos());
            return true;
        }
        if (onGraph) {
            activePane_ = Pane::Graph;
            popupFromGraph(ce->globalPos());
            return true;
        }
        break;
    }
    case QEvent::KeyPress: {
        auto* ke = static_cast<QKeyEvent*>(e);
        if (ke->key() == Qt::Key_F10 && (ke->modifiers() & Qt::ShiftModifier)) {
            if (onGraph)
                popupFromGraph(picture_->mapToGlobal(QPoint(10, 10)));
            else
                popupFromText(text1_->mapToGlobal(text1_->cursorRect().center()));
            return true;
        }
        if (onMain && !(ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            const QString t = ke->text();
            if (!t.isEmpty()) {
                const int code = t.at(0).unicode();
                if (code >= 32 && code <= 122 && !text1_->isReadOnly()) {
                    if (!view_.editKey(shell_, *this))
                        return true;
                }
            }
        }
        break;
    }
    case QEvent::KeyRelease: {
        auto* ke = static_cast<QKeyEvent*>(e);
        if (onMain && !ke->isAutoRepeat() && !shell_.runtime().state(statebit::kStepping)) {
            switch (ke->key()) {
            case Qt::Key_PageUp:
            case Qt::Key_PageDown:
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_Left:
            case Qt::Key_Right:
                view_.caretMoved(shell_, *this);
                break;
            default: break;
            }
        }
        break;
    }
    default: break;
    }
    return QMdiSubWindow::eventFilter(watched, e);
}

void DocumentWindow::popupFromText(const QPoint& globalPos)
{
    const int ctx = textPaneHelpContext(kind_, shell_.dataSet().header.modelCode);
    shell_.showPopupMenu(popupbit::kTextPane, ctx, globalPos, false);
}

void DocumentWindow::popupFromGraph(const QPoint& globalPos)
{
    const int ctx = graphPaneHelpContext(kind_, shell_.dataSet().header.modelCode);
    shell_.showPopupMenu(graphPanePopupMask(kind_), ctx, globalPos, true);
}

void DocumentWindow::resizeEvent(QResizeEvent* e)
{
    QMdiSubWindow::resizeEvent(e);
    view_.layoutWindow(*this);
}

}  // namespace varenta
