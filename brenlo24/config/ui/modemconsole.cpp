#include "brenlo24/config/ui/modemconsole.h"

#include "brenlo24/link/ui/form1.h"
#include "common/ui/qtutil.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace varenta {

ModemConsoleWindow::ModemConsoleWindow(Form1& main) : QDialog(&main), main_(main)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QString::fromUtf8(modemtext::kTitle));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowModality(Qt::ApplicationModal);

    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("Text1"));
    text_->setFrameShape(QFrame::Box);
    text_->setFont(QFont(QStringLiteral("ＭＳ ゴシック"), 10));
    text_->setMinimumSize(560, 320);
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    combo_ = new QComboBox(this);
    combo_->setObjectName(QStringLiteral("Combo1"));
    combo_->setEditable(true);
    combo_->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& c : modemCommandList())
        combo_->addItem(qs(c));

    ok_ = new QPushButton(this);
    ok_->setObjectName(QStringLiteral("Command1"));
    ok_->setDefault(true);
    end_ = new QPushButton(QString::fromUtf8(modemtext::kEnd), this);
    end_->setObjectName(QStringLiteral("Command2"));

    auto* row = new QHBoxLayout;
    row->addWidget(combo_, 1);
    row->addWidget(ok_);
    row->addWidget(end_);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(text_, 1);
    lay->addLayout(row);

    connect(ok_, &QPushButton::clicked, this, [this] { console_->okPressed(ss(combo_->currentText())); });
    connect(end_, &QPushButton::clicked, this, &ModemConsoleWindow::reject);
    console_ = std::make_unique<ModemConsole>(main_.link(), main_.link().line(), *this);
}

ModemConsoleWindow::~ModemConsoleWindow() = default;

void ModemConsoleWindow::open()
{
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    // One console for the window's life: a wait of an earlier session that
    // is still unwinding sees the reset and ends.
    console_->reset();
    ok_->setText(QString::fromUtf8(modemtext::kStart));
    ok_->setEnabled(true);
    end_->setEnabled(true);
    text_->clear();
    combo_->setCurrentIndex(0);
    combo_->setEditText(QStringLiteral("AT"));
    QApplication::beep();
    show();
    raise();
    activateWindow();
}

QString ModemConsoleWindow::text() const { return text_->toPlainText(); }

void ModemConsoleWindow::showStatus(const std::string& text) { main_.showStatus(text); }

void ModemConsoleWindow::appendText(const std::string& text)
{
    text_->moveCursor(QTextCursor::End);
    text_->insertPlainText(qs(text));
    text_->moveCursor(QTextCursor::End);
    text_->verticalScrollBar()->setValue(text_->verticalScrollBar()->maximum());
    text_->setFocus();
}

void ModemConsoleWindow::clearText() { text_->clear(); }

void ModemConsoleWindow::setButtonsEnabled(bool on)
{
    ok_->setEnabled(on);
    end_->setEnabled(on);
}

void ModemConsoleWindow::setSendCaption(const std::string& caption) { ok_->setText(qs(caption)); }

void ModemConsoleWindow::waitEvents() { main_.waitEvents(); }

void ModemConsoleWindow::finish() { console_->close(); }

void ModemConsoleWindow::reject()
{
    finish();
    QDialog::reject();
}

void ModemConsoleWindow::closeEvent(QCloseEvent* e)
{
    finish();
    QDialog::closeEvent(e);
}

}  // namespace varenta
