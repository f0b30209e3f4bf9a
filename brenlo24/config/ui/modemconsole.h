#pragma once
// The "UM05モニタ" console: the general dialog (Form7) in its enlarged
// layout, over the ModemConsole of the core.  It opens without a question
// (Pum05 shows it at once) and stays open until "終了" or its frame closes
// it; while it is open the rest of the program takes no input.
#include "brenlo24/config/modem.h"

#include <QDialog>

#include <memory>

class QComboBox;
class QPlainTextEdit;
class QPushButton;

namespace varenta {

class Form1;

class ModemConsoleWindow final : public QDialog, public ConsoleHost {
    Q_OBJECT
public:
    explicit ModemConsoleWindow(Form1& main);
    ~ModemConsoleWindow() override;

    // Resets the console to its opening state and shows it (with a beep).
    void open() override;

    // Connecting, or waiting for an AT result (what a scripted wait-idle
    // waits on).
    bool busy() const { return console_->busy(); }
    ModemConsole& console() { return *console_; }
    QString text() const;

    // ConsoleHost
    void showStatus(const std::string& text) override;
    void appendText(const std::string& text) override;
    void clearText() override;
    void setButtonsEnabled(bool on) override;
    void setSendCaption(const std::string& caption) override;
    void waitEvents() override;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void finish();

    Form1& main_;
    std::unique_ptr<ModemConsole> console_;
    QPlainTextEdit* text_;
    QComboBox* combo_;
    QPushButton* ok_;
    QPushButton* end_;
};

}  // namespace varenta
