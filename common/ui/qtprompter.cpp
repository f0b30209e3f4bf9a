#include "common/ui/qtprompter.h"

#include "common/ui/inputdialog.h"
#include "common/ui/qtutil.h"

#include <QApplication>
#include <QMessageBox>

namespace varenta {

MsgAnswer QtPrompter::message(const std::string& title, const std::string& text, MsgIcon icon, MsgButtons buttons)
{
    QMessageBox box(parent_ ? parent_ : QApplication::activeWindow());
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setWindowTitle(qs(title));
    box.setText(displayText(text));
    switch (icon) {
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    }
    QMessageBox::StandardButtons sb;
    QMessageBox::StandardButton def = QMessageBox::Ok;
    switch (buttons) {
    case MsgButtons::Ok: sb = QMessageBox::Ok; def = QMessageBox::Ok; break;
    case MsgButtons::OkCancel: sb = QMessageBox::Ok | QMessageBox::Cancel; def = QMessageBox::Ok; break;
    case MsgButtons::YesNo: sb = QMessageBox::Yes | QMessageBox::No; def = QMessageBox::Yes; break;
    case MsgButtons::YesNoCancel:
        sb = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        def = QMessageBox::Cancel;
        break;
    case MsgButtons::RetryCancel: sb = QMessageBox::Retry | QMessageBox::Cancel; def = QMessageBox::Retry; break;
    }
    box.setStandardButtons(sb);
    box.setDefaultButton(def);
    if (sb.testFlag(QMessageBox::Cancel))
        box.setEscapeButton(QMessageBox::Cancel);
    else if (sb.testFlag(QMessageBox::No))
        box.setEscapeButton(QMessageBox::No);
    const int r = box.exec();
    switch (r) {
    case QMessageBox::Ok: return MsgAnswer::Ok;
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Retry: return MsgAnswer::Retry;
    default: return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }
}

std::string QtPrompter::ask(const std::string& title, const std::string& prompt, const std::string& preset,
                            int countdownSeconds, const std::string& checkText, bool* checked)
{
    return askThroughInput(*this, title, prompt, preset, countdownSeconds, checkText, checked);
}

InputResult QtPrompter::input(const InputRequest& r)
{
    return InputDialog::ask(parent_ ? parent_ : QApplication::activeWindow(), r);
}

}  // namespace varenta
