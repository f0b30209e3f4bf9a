#include "common/ui/inputdialog.h"

#include "common/ui/qtutil.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace varenta {

InputDialog::InputDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form7"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("Text1"));
    text_->setReadOnly(true);
    text_->setFocusPolicy(Qt::NoFocus);
    text_->setMinimumSize(380, 90);
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    combo_ = new QComboBox(this);
    combo_->setObjectName(QStringLiteral("Combo1"));
    combo_->setEditable(true);
    combo_->setInsertPolicy(QComboBox::NoInsert);
    combo_->installEventFilter(this);
    combo_->lineEdit()->installEventFilter(this);

    check_ = new QCheckBox(this);
    check_->setObjectName(QStringLiteral("Check1"));

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("Command1"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel_->setObjectName(QStringLiteral("Command2"));

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &InputDialog::tick);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(check_);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(text_, 1);
    lay->addWidget(combo_);
    lay->addLayout(buttons);

    connect(ok_, &QPushButton::clicked, this, [this] { finishWith(combo_->currentText().trimmed()); });
    connect(cancel_, &QPushButton::clicked, this, [this] { finishWith(QStringLiteral("can")); });
}

void InputDialog::setRequest(const InputRequest& r)
{
    req_ = r;
    setWindowTitle(qs(r.caption));
    text_->setPlainText(displayText(r.message));
    QPalette pal = text_->palette();
    pal.setColor(QPalette::Text, (r.style & InputRequest::RedMessage) ? QColor(Qt::red) : QColor(Qt::black));
    text_->setPalette(pal);

    combo_->clear();
    for (const std::string& c : r.choices)
        combo_->addItem(qs(c));
    const QString preset = qs(r.preset);
    combo_->setEditText(preset);
    combo_->lineEdit()->setSelection(static_cast<int>(preset.size()), -static_cast<int>(preset.size()));
    combo_->setVisible(r.style & InputRequest::ShowInput);

    check_->setText(qs(r.checkCaption));
    check_->setChecked(r.style & InputRequest::CheckTicked);
    check_->setVisible(r.style & InputRequest::ShowCheck);
    checked_ = check_->isChecked();
}

InputResult InputDialog::result() const
{
    InputResult r;
    r.answer = ss(answer_);
    r.check.assign(1, checked_ ? '1' : '0');
    return r;
}

InputResult InputDialog::ask(QWidget* parent, const InputRequest& r)
{
    InputDialog dlg(parent);
    dlg.setRequest(r);
    QApplication::beep();
    dlg.exec();
    return dlg.result();
}

bool InputDialog::countdownRunning() const { return timer_->isActive(); }

void InputDialog::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    answer_.clear();
    firstTick_ = true;
    if (req_.countdown >= 2) {
        counter_ = req_.countdown;
        timer_->start();
    } else {
        counter_ = 0;
        timer_->stop();
    }
    if (combo_->isVisible()) {
        combo_->setFocus();
        const int n = static_cast<int>(combo_->currentText().size());
        combo_->lineEdit()->setSelection(n, -n);
    } else {
        ok_->setFocus();
    }
}

void InputDialog::tick()
{
    if (firstTick_) {
        rememberedCaption_ = windowTitle();
        firstTick_ = false;
    }
    if (counter_ >= 2) {
        --counter_;
        setWindowTitle(rememberedCaption_ + QLatin1Char(' ') + QString::number(counter_));
        return;
    }
    stopCountdown();
    finishWith(combo_->currentText().trimmed());
}

void InputDialog::stopCountdown() { timer_->stop(); }

void InputDialog::finishWith(const QString& answer)
{
    stopCountdown();
    answer_ = answer;
    checked_ = check_->isChecked();
    if (answer == QLatin1String("can"))
        QDialog::reject();
    else
        QDialog::accept();
}

void InputDialog::reject()
{
    // The close box and Escape count as cancel; the check result is kept
    // whatever way the dialog ends.
    stopCountdown();
    answer_ = QStringLiteral("can");
    checked_ = check_->isChecked();
    QDialog::reject();
}

bool InputDialog::eventFilter(QObject* watched, QEvent* e)
{
    if ((watched == combo_ || watched == combo_->lineEdit()) && e->type() == QEvent::KeyPress)
        stopCountdown();
    return QDialog::eventFilter(watched, e);
}

}  // namespace varenta
