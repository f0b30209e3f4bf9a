#pragma once
// The general input dialog (Form7): a message, an optional input box with a
// preset answer and a drop-down list, an optional check box, and an optional
// countdown that accepts the answer by itself.
#include "common/prompter.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace varenta {

class InputDialog : public QDialog {
    Q_OBJECT
public:
    explicit InputDialog(QWidget* parent = nullptr);

    void setRequest(const InputRequest& r);
    // Answer and check as they stand (valid once the dialog has closed).
    InputResult result() const;

    // Shows the dialog modally after a beep and returns its result.
    static InputResult ask(QWidget* parent, const InputRequest& r);

    // The countdown, for the timer and for tests.
    bool countdownRunning() const;
    int counter() const { return counter_; }
    // One tick of Timer1 (every 1000 ms while a countdown runs).
    void tick();

public slots:
    void reject() override;

    QComboBox* inputBox() const { return combo_; }
    QCheckBox* checkBox() const { return check_; }

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void finishWith(const QString& answer);
    void stopCountdown();

    QPlainTextEdit* text_;
    QComboBox* combo_;
    QCheckBox* check_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QTimer* timer_;
    InputRequest req_;
    QString answer_;
    bool checked_ = false;
    int counter_ = 0;
    bool firstTick_ = true;
    QString rememberedCaption_;
};

}  // namespace varenta
